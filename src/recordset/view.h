// View: the rows a cursor shows, in its order. Either natural (every row of the
// store in insertion order, including rows added later by any clone) or fixed
// (a list taken when a filter or sort was set, plus rows this cursor adds).
// Positions count every listed row, deleted or not; rank questions about live
// rows are O(log n), so deletions never make a walk quadratic.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "recordset/live_set.h"
#include "recordset/row_store.h"

namespace tarvolin::recordset_detail {

class View {
 public:
  View() = default;  // natural
  // `rows` must be live now; `ascending` when they are in row-id order.
  static View Fixed(std::vector<RowId> rows, bool ascending, const RowStore& store);

  bool natural() const noexcept { return natural_; }
  // Applies deletions made through any cursor since the last call.
  void Sync(const RowStore& store);

  size_t Size(const RowStore& store) const noexcept {
    return natural_ ? store.RowCount() : rows_.size();
  }
  RowId RowAt(size_t position) const noexcept { return natural_ ? position : rows_[position]; }
  // The rank questions expect Sync to have run.
  size_t LiveCount(const RowStore& store) const noexcept { return Live(store).live(); }
  size_t LiveBefore(const RowStore& store, size_t position) const noexcept {
    return Live(store).LiveBefore(position);
  }
  size_t KthLive(const RowStore& store, size_t k) const noexcept { return Live(store).KthLive(k); }
  bool HasDeleted(const RowStore& store) const noexcept { return LiveCount(store) != Size(store); }
  // The row's position in this view, deleted or not; nullopt when not listed.
  std::optional<size_t> PositionOf(const RowStore& store, RowId row) const;
  // A row added through this cursor joins the end of a fixed view.
  void Append(RowId row);

 private:
  const LiveSet& Live(const RowStore& store) const noexcept {
    return natural_ ? store.live() : live_;
  }

  bool natural_ = true;
  bool ascending_ = true;
  std::vector<RowId> rows_;
  std::vector<std::pair<RowId, size_t>> by_row_;  // (row, position) by row, unless ascending
  LiveSet live_;
  size_t log_mark_ = 0;  // deletions of the store already applied
};

}  // namespace tarvolin::recordset_detail
