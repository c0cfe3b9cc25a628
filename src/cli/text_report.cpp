#include "text_report.h"

#include <algorithm>
#include <sstream>
#include <utility>
#include <vector>

#include "tarvolin/engine/value_helpers.h"

namespace tarvolin::cli {
namespace {

// A value as the report shows it: a Decimal with its exact digits and scale,
// anything else as CStr gives it, "" when unassigned.
std::string Exact(const Variant& value) {
  if (value.IsEmpty()) return "";
  if (value.IsNull()) return "Null";
  if (value.type() == VarType::kDecimal) return value.dec().ToString();
  return value.CStr();
}

// A field of the current row; an amount with at least two decimals, so the
// columns line up (3.00, not 3), though the stored tax and unit prices keep
// all of theirs.
std::string Exact(const Recordset& rows, std::string_view field) {
  const FieldRef ref = rows.Resolve(field);
  return Exact(AtFieldScale(rows.Get(ref), rows.Field(ref.index()), 2));
}

std::string TrimRight(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// Columns sized to their widest cell, numbers right-aligned.
class Table {
 public:
  struct Column {
    std::string title;
    bool right_aligned;
  };
  explicit Table(std::vector<Column> columns) : columns_(std::move(columns)) {}

  void Add(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }

  void Print(std::ostream& out) const {
    std::vector<size_t> widths;
    for (const Column& column : columns_) widths.push_back(column.title.size());
    for (const auto& row : rows_) {
      for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::vector<std::string> titles;
    bool titled = false;
    for (const Column& column : columns_) {
      titles.push_back(column.title);
      titled = titled || !column.title.empty();
    }
    if (titled) PrintRow(out, titles, widths);
    for (const auto& row : rows_) PrintRow(out, row, widths);
  }

 private:
  void PrintRow(std::ostream& out, const std::vector<std::string>& cells,
                const std::vector<size_t>& widths) const {
    std::string line = " ";
    for (size_t i = 0; i < cells.size(); ++i) {
      const std::string padding(widths[i] - cells[i].size(), ' ');
      line += ' ';
      line += columns_[i].right_aligned ? padding + cells[i] : cells[i] + padding;
      line += ' ';
    }
    out << TrimRight(line) << "\n";
  }

  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

void Header(HostDocument& document, std::ostream& out) {
  auto header = ReportRows(document, DocumentTable::kHeader);
  if (!header) {
    out << "Document without a header\n";
    return;
  }
  out << "Document " << NzStr(header->Get("DO11_DOCUM_MG36")) << " "
      << Exact(*header, "DO11_NUMDOC") << " of " << Exact(*header, "DO11_DATADOC")
      << " (registration " << NzStr(header->Get("DO11_NUMREG_CO99")) << "), currency "
      << NzStr(header->Get("DO11_VALUTA_CG08"));
  const std::string company_currency = document.Company()->currency_code;
  if (NzStr(header->Get("DO11_VALUTA_CG08")) != company_currency) {
    out << " at " << Exact(*header, "DO11_CAMBIO") << "; amounts in " << company_currency;
  }
  out << "\n";
}

void Body(HostDocument& document, std::ostream& out) {
  out << "\nRows\n";
  auto rows = ReportRows(document, DocumentTable::kBody);
  if (!rows) {
    out << "  none\n";
    return;
  }
  Table table({{"Row", true},
               {"Item", false},
               {"Quantity", true},
               {"Amount", true},
               {"Net amount", true},
               {"Description", false}});
  for (; !rows->Eof(); rows->MoveNext()) {
    std::string item = NzStr(rows->Get("DO30_CODART_MG66"));
    if (item.empty()) item = NzStr(rows->Get("DO30_CODSPESA_MG04"));
    table.Add({Exact(*rows, "DO30_PROGRIGA"), item, Exact(*rows, "DO30_QTA1"),
               Exact(*rows, "DO30_IMPORTO"), Exact(*rows, "DO30_IMPNETSCP"),
               NzStr(rows->Get("DO30_DESCRART"))});
  }
  table.Print(out);
}

void TaxSummary(HostDocument& document, std::ostream& out) {
  out << "\nTax summary\n";
  auto lines = ReportRows(document, DocumentTable::kTaxSummary);
  if (!lines) {
    out << "  none\n";
    return;
  }
  // As the tax is computed: by group, then the jurisdictions in calculation order.
  lines->SetSort("USA74_TAXGROUP ASC, USA74_CALCORDER DESC, USA74_TAXJURISDICTION ASC");
  Table table(
      {{"Group", false}, {"Jurisdiction", false}, {"Base", true}, {"Rate %", true}, {"Tax", true}});
  for (lines->MoveFirst(); !lines->Eof(); lines->MoveNext()) {
    table.Add({TrimRight(NzStr(lines->Get("USA74_TAXGROUP"))),
               TrimRight(NzStr(lines->Get("USA74_TAXJURISDICTION"))),
               Exact(*lines, "USA74_IMPONIBILE"), Exact(*lines, "USA74_ACTUALTAXPERC"),
               Exact(*lines, "USA74_IMPORTO")});
  }
  table.Print(out);
}

void Totals(HostDocument& document, std::ostream& out) {
  out << "\nTotals\n";
  auto totals = ReportRows(document, DocumentTable::kTotals);
  if (!totals) {
    out << "  none\n";
    return;
  }
  Table table({{"", false}, {"", true}, {"", false}});
  const std::pair<const char*, const char*> kLines[] = {
      {"Taxable amount", "DO13_TOTIMPONIBILE"},
      {"Tax", "DO13_TOTIVA"},
      {"Document total", "DO13_TOTDOCUMENTO"},
      {"Amount to pay", "DO13_TOTAPAGARE"},
  };
  for (const auto& [label, field] : kLines) {
    // The document-currency twin, for a document kept in another currency.
    const std::string twin_field = std::string(field) + "_VAL";
    const Variant& twin = totals->Get(twin_field);
    table.Add({label, Exact(*totals, field),
               twin.IsNull() || twin.IsEmpty()
                   ? ""
                   : "(" + Exact(*totals, twin_field) + " in document currency)"});
  }
  table.Print(out);
}

void Agents(HostDocument& document, std::ostream& out) {
  out << "\nAgents\n";
  auto agents = ReportRows(document, DocumentTable::kAgents);
  if (!agents) {
    out << "  none\n";
    return;
  }
  Table table({{"Agent", true}, {"Base", true}, {"Commission", true}, {"Average %", true}});
  for (; !agents->Eof(); agents->MoveNext()) {
    table.Add({Exact(agents->Get("DO21_IDAGENTE_MG17")), Exact(agents->Get("DO21_IMPONPROV")),
               Exact(agents->Get("DO21_IMPORPROV")), Exact(agents->Get("DO21_PROVMEDIA"))});
  }
  table.Print(out);
}

void PaymentSchedule(HostDocument& document, std::ostream& out) {
  out << "\nPayment schedule\n";
  auto installments = ReportRows(document, DocumentTable::kSchedule);
  if (!installments) {
    out << "  none\n";
    return;
  }
  Table table({{"No.", true},
               {"Due", false},
               {"Effect", true},
               {"Amount", true},
               {"Tax", true},
               {"Stamps", true},
               {"Collection", true},
               {"In document currency", true},
               {"Terms", false}});
  for (; !installments->Eof(); installments->MoveNext()) {
    const Variant& due = installments->Get("DO79_SCADE_S");
    table.Add({Exact(*installments, "DO79_NUMRATA"),
               due.type() == VarType::kDate ? due.CDate().ToIso() : Exact(due),
               Exact(*installments, "DO79_TIPOEFF"), Exact(*installments, "DO79_IMPEFF_S"),
               Exact(*installments, "DO79_IMPEFFIVA"), Exact(*installments, "DO79_BOLLI"),
               Exact(*installments, "DO79_SPINC"),
               // Null for a document in company currency.
               installments->Get("DO79_IMPEFFVAL_S").IsNull()
                   ? ""
                   : Exact(*installments, "DO79_IMPEFFVAL_S"),
               NzStr(installments->Get("DO79_CODPAG_CG62"))});
  }
  table.Print(out);
}

void Messages(HostDocument& document, std::ostream& out) {
  out << "\nMessages\n";
  if (document.messages().empty()) {
    out << "  none\n";
    return;
  }
  for (const ShownMessage& message : document.messages()) {
    const std::string& text = message.text;
    // Message texts break lines with CR LF or CR; keep them under the indent.
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        shown += "\n    ";
      } else {
        shown += text[i];
      }
    }
    out << "  - " << (message.title.empty() ? "" : message.title + ": ") << shown << "\n";
  }
}

void Warnings(const std::vector<TaxWarning>& warnings, std::ostream& out) {
  if (warnings.empty()) return;
  out << "\nWarnings\n";
  for (const TaxWarning& warning : warnings) out << "  - " << warning.text << "\n";
}

}  // namespace

std::shared_ptr<Recordset> ReportRows(HostDocument& document, DocumentTable table) {
  auto recordset = document.Get(table);
  if (!recordset) return nullptr;
  auto rows = recordset->Clone();
  rows->SetSort(recordset->Sort());
  if (rows->RecordCount() == 0) return nullptr;
  rows->MoveFirst();
  return rows;
}

std::string FormatTextReport(HostDocument& document, const std::vector<TaxWarning>& warnings) {
  std::ostringstream out;
  Header(document, out);
  Body(document, out);
  TaxSummary(document, out);
  Totals(document, out);
  Agents(document, out);
  PaymentSchedule(document, out);
  Messages(document, out);
  Warnings(warnings, out);
  return out.str();
}

}  // namespace tarvolin::cli
