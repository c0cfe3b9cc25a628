// The tax-summary recordset's creation, and the writers that replace a
// document's stored counterparts (DO73_DOCCONTROPARTITE) and US tax summary
// (DO74_USATAX) with the document's recordsets: one delete, then one insert
// per row, each statement run at once on the engine's connection. The writers
// open no transaction: the host brackets them (see host/registration.h).
#include <string>
#include <vector>

#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"
#include "ustax/usa74_fields.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "CLSMG_TARVOLIN";

// The USA74 fields in creation order. The two row-number fields carry a size
// and no precision or scale, as the stored layout had them.
struct Usa74Field {
  std::string_view name;
  DataType type;
  int32_t defined_size;
  uint8_t precision;
  uint8_t scale;
};
constexpr Usa74Field kUsa74Fields[] = {
    {usa74::kNumRiga, DataType::kDecimal, 2, 0, 0},
    {usa74::kConto, DataType::kChar, 10, 0, 0},
    {usa74::kDescrConto, DataType::kVarChar, 50, 0, 0},
    {usa74::kTaxJurisdiction, DataType::kChar, 10, 0, 0},
    {usa74::kDescrTaxJurisdiction, DataType::kVarChar, 50, 0, 0},
    {usa74::kTaxGroup, DataType::kChar, 10, 0, 0},
    {usa74::kDescrTaxGroup, DataType::kVarChar, 50, 0, 0},
    {usa74::kImponibile, DataType::kDecimal, 13, 13, 2},
    {usa74::kImponibileVal, DataType::kDecimal, 13, 13, 2},
    {usa74::kImporto, DataType::kDecimal, 13, 13, 2},
    {usa74::kImportoVal, DataType::kDecimal, 13, 13, 2},
    {usa74::kCalcOrder, DataType::kDecimal, 2, 0, 0},
    {usa74::kTaxPerc, DataType::kDecimal, 7, 7, 4},
    {usa74::kTaxAmPerc, DataType::kDecimal, 7, 7, 4},
    {usa74::kMaxAmount, DataType::kDecimal, 13, 13, 2},
    {usa74::kActualTaxPerc, DataType::kDecimal, 7, 7, 4},
    {usa74::kFlgCalcTaxOnTax, DataType::kDecimal, 1, 1, 0},
    {usa74::kFlgCalcTaxAboveMax, DataType::kDecimal, 1, 1, 0},
    {usa74::kRoundingMethod, DataType::kDecimal, 1, 1, 0},
    {usa74::kFlgPercRic, DataType::kDecimal, 1, 1, 0},
    {usa74::kFlgTaxOnTax, DataType::kDecimal, 1, 1, 0},
    {usa74::kImpNotRound, DataType::kDecimal, 38, 38, 20},
    {usa74::kAssetCode, DataType::kVarChar, 20, 0, 0},
};

// How a column's value is formatted in an insert.
enum class Format { kText, kNumber, kNumberNullIfZero, kLiteralZero };

struct Column {
  std::string_view name;
  std::string_view source;  // the recordset field; unused for kLiteralZero
  Format format;
};

// Everything after the company and registration-number columns.
constexpr Column kCounterpartColumns[] = {
    {"DO73_PROG", "CG42_NUMRIGACONT", Format::kNumber},
    {"DO73_CODICE_CG31", "CG42_CODICE_CG31", Format::kNumber},
    {"DO73_CONTOPAR_CG24", "CG42_CONTOPAR_CG24", Format::kText},
    {"DO73_DESCR_CG24", "CG24_DESCR", Format::kText},
    {"DO73_INDDAAV_CG42", "CG42_INDDAAV", Format::kNumber},
    {"DO73_IMPTOTALE_CG42", "CG42_IMPTOTALE", Format::kNumber},
    {"DO73_IMPTOTALEVAL_CG42", "CG42_IMPTOTALEVAL", Format::kNumberNullIfZero},
    {"DO73_PROVCONTOPAR", "", Format::kLiteralZero},
    {"DO73_ASSETCODE", "ASSETCODE", Format::kText},
    {"DO73_TAXGROUP", "TAXGROUPCODE", Format::kText},
    {"DO73_IMPOSTA_CG43", "CG43_IMPOSTA", Format::kNumber},
};
constexpr Column kTaxSummaryColumns[] = {
    {"DO74_USANUMRIGA", usa74::kNumRiga, Format::kNumber},
    {"DO74_USATAXJUR", usa74::kTaxJurisdiction, Format::kText},
    {"DO74_USATAXGROUP", usa74::kTaxGroup, Format::kText},
    {"DO74_USACONTO", usa74::kConto, Format::kText},
    {"DO74_USAIMPORTO", usa74::kImporto, Format::kNumber},
    {"DO74_USAIMPORTO_VAL", usa74::kImportoVal, Format::kNumber},
    {"DO74_USAIMPONIBILE", usa74::kImponibile, Format::kNumber},
    {"DO74_USAIMPONIBILE_VAL", usa74::kImponibileVal, Format::kNumber},
    {"DO74_IMPNOTROUND", usa74::kImpNotRound, Format::kNumber},
    {"DO74_ASSETCODE", usa74::kAssetCode, Format::kText},
};

struct StoredTable {
  std::string_view name;
  std::string_view company_column;
  std::string_view numreg_column;
  const Column* columns;
  size_t column_count;
};
constexpr StoredTable kCounterpartTable = {"DO73_DOCCONTROPARTITE", "DO73_DITTA_CG18",
                                           "DO73_NUMREG_CO99", kCounterpartColumns,
                                           std::size(kCounterpartColumns)};
constexpr StoredTable kTaxSummaryTable = {"DO74_USATAX", "DO74_USADITTA_CG18",
                                          "DO74_USANUMREG_CO99", kTaxSummaryColumns,
                                          std::size(kTaxSummaryColumns)};

// A value as concatenation gives it: its text, "" for Null and Empty.
std::string TextAsIs(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.CStr();
}

// Defined once: every document's summary shares the field list.
const Recordset& TaxSummaryFields() {
  static const std::shared_ptr<Recordset> fields = [] {
    auto recordset = Recordset::Create();
    for (const Usa74Field& field : kUsa74Fields) {
      recordset->AppendField(std::string(field.name), field.type, field.defined_size,
                             field_attr::kIsNullable, field.precision, field.scale);
    }
    return recordset;
  }();
  return *fields;
}

}  // namespace

void CLSMG_TARVOLIN::OpenCastIva(const std::optional<std::string>&) {
  WithLabel("OpenCastIva:", [&] {
    DocumentRecordsets& recordsets = RequireCc()->Recordsets();
    if (recordsets.Get(DocumentTable::kTaxSummary)) {
      recordsets.Set(DocumentTable::kTaxSummary, nullptr);
    }
    recordsets.Set(DocumentTable::kTaxSummary, Recordset::CreateWithFieldsOf(TaxSummaryFields()));
  });
}

std::string CLSMG_TARVOLIN::SqlTesto(const Variant& value, bool null_if_blank) {
  if (NzStr(value).empty()) return null_if_blank ? "NULL" : "''";
  // Untrimmed: a fixed-length code keeps its trailing blanks in the table.
  return "'" + SqlQuoted(value.CStr()) + "'";
}

std::string CLSMG_TARVOLIN::SqlNumero(const Variant& value, bool null_if_zero) {
  if (NzDecimal(value).is_zero()) return null_if_zero ? "NULL" : "0";
  return RequireCc()->Dialogue().NumberAsSql(value);
}

namespace {

// Deletes the document's stored rows, then inserts one per row of rows (in
// the clone's natural order). rows may be nullptr: then only the delete runs.
void Rewrite(CLSMG_TARVOLIN& engine, CoreDocument& document, Connection& connection,
             const StoredTable& table, const std::shared_ptr<Recordset>& rows) {
  const int32_t company = document.CompanyNumber();
  auto header = document.Recordsets().Get(DocumentTable::kHeader);
  if (!header) Raise(err::kObjectNotSet, kSource, "the document has no DO11_DOCTESTATA");
  const Variant numreg = header->Get("DO11_NUMREG_CO99");

  connection.Execute("  DELETE FROM      " + std::string(table.name) + "  WHERE      " +
                         std::string(table.company_column) + " = " + std::to_string(company) +
                         "      AND " + std::string(table.numreg_column) + " = '" +
                         SqlQuoted(TextAsIs(numreg)) + "'",
                     nullptr, execute_option::kUnspecified);
  if (!rows) return;

  // The statement's head is the same for every row.
  std::string head = "          INSERT INTO" + std::string(kCrLf) + "     " +
                     std::string(table.name) + kCrLf + " (" + kCrLf + "     " +
                     std::string(table.company_column) + kCrLf + "     , " +
                     std::string(table.numreg_column) + kCrLf;
  for (size_t i = 0; i < table.column_count; ++i) {
    head += "     , " + std::string(table.columns[i].name) + kCrLf;
  }
  head += " )" + std::string(kCrLf) + " VALUES" + kCrLf + " (" + kCrLf;

  auto row = rows->Clone();
  if (row->RecordCount() <= 0) return;
  for (row->MoveFirst(); !row->Eof(); row->MoveNext()) {
    std::string sql = head + "     " + std::to_string(document.CompanyNumber()) + kCrLf +
                      "     , " + engine.SqlTesto(numreg, false) + kCrLf;
    for (size_t i = 0; i < table.column_count; ++i) {
      const Column& column = table.columns[i];
      std::string value;
      switch (column.format) {
        case Format::kText:
          value = engine.SqlTesto(row->Get(column.source), false);
          break;
        case Format::kNumber:
          value = engine.SqlNumero(row->Get(column.source), false);
          break;
        case Format::kNumberNullIfZero:
          value = engine.SqlNumero(row->Get(column.source), true);
          break;
        case Format::kLiteralZero:
          value = "0";
          break;
      }
      sql += "     , " + value + kCrLf;
    }
    sql += " )" + std::string(kCrLf);
    connection.Execute(sql, nullptr, execute_option::kUnspecified);
  }
}

}  // namespace

void CLSMG_TARVOLIN::RegistraContropartite() {
  WithLabel("RegistraContropartite:", [&] {
    auto document = RequireCc();
    Rewrite(*this, *document, *RequireConnection(), kCounterpartTable,
            document->Recordsets().Get(DocumentTable::kCounterparts));
  });
}

void CLSMG_TARVOLIN::RegistraCastellettoIVA() {
  WithLabel("RegistraCastellettoIVA:", [&] {
    auto document = RequireCc();
    Rewrite(*this, *document, *RequireConnection(), kTaxSummaryTable,
            document->Recordsets().Get(DocumentTable::kTaxSummary));
  });
}

}  // namespace tarvolin
