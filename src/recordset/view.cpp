#include "recordset/view.h"

#include <algorithm>

namespace tarvolin::recordset_detail {

View View::Fixed(std::vector<RowId> rows, bool ascending, const RowStore& store) {
  View view;
  view.natural_ = false;
  view.ascending_ = ascending;
  view.rows_ = std::move(rows);
  view.live_.Reset(view.rows_.size());
  view.log_mark_ = store.delete_log().size();
  if (!ascending) {
    view.by_row_.reserve(view.rows_.size());
    for (size_t i = 0; i < view.rows_.size(); ++i) view.by_row_.emplace_back(view.rows_[i], i);
    std::sort(view.by_row_.begin(), view.by_row_.end());
  }
  return view;
}

void View::Sync(const RowStore& store) {
  if (natural_) return;
  const std::vector<RowId>& log = store.delete_log();
  for (; log_mark_ < log.size(); ++log_mark_) {
    if (auto position = PositionOf(store, log[log_mark_])) live_.Kill(*position);
  }
}

std::optional<size_t> View::PositionOf(const RowStore& store, RowId row) const {
  if (natural_) {
    if (row < store.RowCount()) return row;
    return std::nullopt;
  }
  if (ascending_) {
    auto it = std::lower_bound(rows_.begin(), rows_.end(), row);
    if (it != rows_.end() && *it == row) return static_cast<size_t>(it - rows_.begin());
    return std::nullopt;
  }
  auto it = std::lower_bound(by_row_.begin(), by_row_.end(), std::pair<RowId, size_t>(row, 0));
  if (it != by_row_.end() && it->first == row) return it->second;
  return std::nullopt;
}

void View::Append(RowId row) {
  if (natural_) return;
  // A new row has the highest id of the store, so both orders stay sorted.
  if (!ascending_) by_row_.emplace_back(row, rows_.size());
  rows_.push_back(row);
  live_.Append(true);
}

}  // namespace tarvolin::recordset_detail
