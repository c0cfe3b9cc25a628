// Warnings about body rows that bear no sales tax, and why, gathered from the
// engine's calculation trace (tarvolin/engine/calculation_trace.h). A host sets
// a ZeroTaxWarnings as the engine's trace, or forwards the events to one,
// recalculates, and takes the warnings. Nothing is changed: a warning only
// says why a row with an amount got no tax.
//
// The reasons, one warning per reason and tax area (and tax group):
//   "not-liable"             the document is not liable to tax (DO11_FLGTAXLIABLE)
//   "no-tax-area"            the document has no tax area (DO11_TAXAREA_NV01 blank)
//   "tax-area-without-lines" the tax area gives no jurisdictions
//   "no-rate"                no jurisdiction of the area has a rate for the rows'
//                            tax group in force on the document date
// A tax group with a rate in at least one jurisdiction (a 0% rate included)
// gives no warning: that is a tax the setup decided. Rows whose net amounts
// are 0 are left out.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tarvolin/automation/variant.h"
#include "tarvolin/engine/calculation_trace.h"

namespace tarvolin {

struct TaxWarning {
  std::string kind;           // one of the reasons above
  std::string tax_area;       // the header's tax area ("" when blank)
  std::string tax_group;      // "no-rate": the group; else ""
  std::vector<int32_t> rows;  // DO30_PROGRIGA of the rows, in the order they were posted
  Variant net;                // the sum of their DO30_IMPNETSCP
  std::string text;           // one line for people, naming rows, amount and reason
};

class ZeroTaxWarnings : public CalculationTrace {
 public:
  void RowPosted(const RowPosting& posting) override;
  void TaxDetailLookedUp(const TaxDetailLookup& lookup) override;

  // The warnings of the recalculations observed since the last Take, in the
  // order their rows were posted; the collector starts afresh.
  std::vector<TaxWarning> Take();

 private:
  struct Rows {
    size_t first_seen = 0;  // orders the warnings
    std::vector<int32_t> rows;
    Variant net;
  };
  struct Rates {
    bool any_found = false;
    bool cached = false;
    std::string date;  // "YYYYMMDD" the rates were looked up for
  };
  // Rows without tax bases, by outcome and tax area; rows with tax bases, by
  // tax area and group.
  std::map<std::tuple<int, std::string>, Rows> without_bases_;
  std::map<std::tuple<std::string, std::string>, Rows> with_bases_;
  std::map<std::string, Rates> rates_;  // by tax group
  size_t seen_ = 0;
};

// Rows as a short list: "1-4, 7".
std::string RowList(const std::vector<int32_t>& rows);

}  // namespace tarvolin
