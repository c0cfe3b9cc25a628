#include "tarvolin/host/tax_warnings.h"

#include <algorithm>

#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

const Variant kZero(int16_t{0});

std::string Amount(const Variant& value) {
  return value.type() == VarType::kDecimal ? value.dec().ToString() : NzDec(value).CStr();
}

// "YYYYMMDD" as "YYYY-MM-DD".
std::string IsoDate(const std::string& ymd) {
  if (ymd.size() != 8) return ymd;
  return ymd.substr(0, 4) + "-" + ymd.substr(4, 2) + "-" + ymd.substr(6, 2);
}

std::string Why(TaxBaseOutcome outcome, const std::string& area) {
  switch (outcome) {
    case TaxBaseOutcome::kNotLiable:
      return "the document is not liable to tax (DO11_FLGTAXLIABLE is not 1)";
    case TaxBaseOutcome::kNoTaxArea:
      return "the document has no tax area (DO11_TAXAREA_NV01 is blank)";
    case TaxBaseOutcome::kTaxAreaWithoutLines:
      return "tax area " + area +
             " gives no jurisdictions (it has no NV03_TAXAREALINE lines, or NV01_TAXAREA does "
             "not know it)";
    case TaxBaseOutcome::kAdded:
      break;
  }
  return "";
}

const char* KindOf(TaxBaseOutcome outcome) {
  switch (outcome) {
    case TaxBaseOutcome::kNotLiable:
      return "not-liable";
    case TaxBaseOutcome::kNoTaxArea:
      return "no-tax-area";
    case TaxBaseOutcome::kTaxAreaWithoutLines:
      return "tax-area-without-lines";
    case TaxBaseOutcome::kAdded:
      break;
  }
  return "";
}

}  // namespace

std::string RowList(const std::vector<int32_t>& rows) {
  std::string text;
  for (size_t i = 0; i < rows.size();) {
    size_t end = i;
    while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1) ++end;
    if (!text.empty()) text += ", ";
    text += std::to_string(rows[i]);
    if (end > i) text += "-" + std::to_string(rows[end]);
    i = end + 1;
  }
  return text;
}

void ZeroTaxWarnings::RowPosted(const RowPosting& posting) {
  if (NzDec(posting.net) == kZero && NzDec(posting.net_val) == kZero) return;
  Rows& rows = posting.tax == TaxBaseOutcome::kAdded
                   ? with_bases_[{posting.tax_area, posting.tax_group}]
                   : without_bases_[{static_cast<int>(posting.tax), posting.tax_area}];
  if (rows.rows.empty()) rows.first_seen = seen_++;
  rows.rows.push_back(posting.row);
  rows.net = NzDec(rows.net) + NzDec(posting.net);
}

void ZeroTaxWarnings::TaxDetailLookedUp(const TaxDetailLookup& lookup) {
  Rates& rates = rates_[lookup.tax_group];
  rates.any_found = rates.any_found || lookup.found;
  if (lookup.cached) {
    rates.cached = true;
  } else {
    rates.date = lookup.date;
  }
}

std::vector<TaxWarning> ZeroTaxWarnings::Take() {
  std::vector<std::pair<size_t, TaxWarning>> found;
  const auto rows_text = [](const Rows& rows) {
    return "no sales tax on row" + std::string(rows.rows.size() > 1 ? "s " : " ") +
           RowList(rows.rows) + " (net " + Amount(rows.net) + "): ";
  };
  for (const auto& [key, rows] : without_bases_) {
    const auto outcome = static_cast<TaxBaseOutcome>(std::get<0>(key));
    const std::string& area = std::get<1>(key);
    found.push_back(
        {rows.first_seen,
         {KindOf(outcome), area, "", rows.rows, rows.net, rows_text(rows) + Why(outcome, area)}});
  }
  for (const auto& [key, rows] : with_bases_) {
    const auto& [area, group] = key;
    const auto rates = rates_.find(group);
    // No look-up: the tax was not calculated, so nothing can be said.
    if (rates == rates_.end() || rates->second.any_found) continue;
    std::string why;
    if (group.empty()) {
      why = "the rows have no tax group (DO30_TAXGROUP_NV04 is blank)";
    } else {
      why = "no jurisdiction of tax area " + area + " has a rate for tax group " + group;
      if (!rates->second.date.empty()) {
        why += " in force on " + IsoDate(rates->second.date);
      } else {
        why += " (as looked up for an earlier document of this engine object and kept)";
      }
    }
    found.push_back(
        {rows.first_seen, {"no-rate", area, group, rows.rows, rows.net, rows_text(rows) + why}});
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TaxWarning> warnings;
  warnings.reserve(found.size());
  for (auto& [order, warning] : found) warnings.push_back(std::move(warning));
  without_bases_.clear();
  with_bases_.clear();
  rates_.clear();
  seen_ = 0;
  return warnings;
}

}  // namespace tarvolin
