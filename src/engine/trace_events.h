// Builders of the calculation-trace events from the engine's working values,
// so that each point that reports is one line and reads nothing unless an
// observer is set. Field values are read from the rows the engine has just
// written; nothing here works a figure out again.
#pragma once

#include <memory>
#include <string>

#include "tarvolin/engine/calculation_trace.h"
#include "tarvolin/engine/core_document.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin {

// The rate look-up's answer: rate is the queried recordset (on the rate chosen,
// or at its end) and date the date asked for; a null rate means the answer came
// from the cache.
TaxDetailLookup TracedTaxDetail(const std::string& jurisdiction, const std::string& group,
                                bool found, const std::string& date, const Recordset* rate,
                                const Variant& maximum, const Variant& below, const Variant& above,
                                const Variant& tax_on_tax);

// What the engine computed and wrote on the tax line `line` is positioned on.
// tax_on_tax_base is the group's running tax before this line's; up_to_max
// and over_max are the two parts of a base above the maximum.
struct TaxLineWork {
  Variant tax_base;
  Variant tax_on_tax_base;
  bool within_max = true;
  Decimal up_to_max;
  Decimal over_max;
  Decimal unrounded;
  int tax_decimals = 0;
  int currency_decimals = 0;
  bool converted = false;
};
TaxLineCalculation TracedTaxLine(CoreDocument& document, const Recordset& line,
                                 const TaxLineWork& work);

// A body row posted: row is positioned on it and counterpart on its line.
RowPosting TracedRowPosting(const Recordset& row, const Recordset& counterpart,
                            const Recordset& header, bool liable, bool has_area_lines,
                            const Variant& taxable);

}  // namespace tarvolin
