// The readable report of a recalculated document that `tarvolin recalc
// --format text` prints.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tarvolin/host/host_document.h"
#include "tarvolin/host/tax_warnings.h"

namespace tarvolin::cli {

// The report: the document's number, date and currency; its body rows
// (progressive, item, quantity, amount, net amount); the tax summary, one line
// per tax group and jurisdiction (base, effective rate, tax); the totals
// (taxable amount, tax, document total, amount to pay); and the messages the
// engine showed; then, only when there are any, the warnings about rows that
// bear no tax. Amounts are printed with their exact decimal text, never
// through a binary double. The document's own cursors are left where they are.
// A clone of the document's recordset of `table`, in the document's sort and
// on its first row; nullptr when the document has none or it has no rows.
std::shared_ptr<Recordset> ReportRows(HostDocument& document, DocumentTable table);

std::string FormatTextReport(HostDocument& document, const std::vector<TaxWarning>& warnings = {});

}  // namespace tarvolin::cli
