#include "tarvolin/host/document_checks.h"

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "DocumentFile";
// Every stored record of a document carries these two keys.
constexpr std::string_view kCompanySuffix = "_DITTA_CG18";
constexpr std::string_view kRegistrationSuffix = "_NUMREG_CO99";

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string Shown(const Variant& value) {
  if (value.IsString()) return "\"" + value.CStr() + "\"";
  return value.CStr();
}

class Checker {
 public:
  Checker(const DocumentFile& file, std::string_view file_name, Connection& connection)
      : file_(file), file_name_(file_name), connection_(connection) {}

  std::vector<std::string> Run() {
    HostDocument& document = *file_.document;
    const auto company = document.Company();
    if (!Exists("TV07_DITTE", "TV07_DITTA", std::to_string(company->company_number))) {
      Fail("company.number", std::to_string(company->company_number) +
                                 " is not a company of the database (TV07_DITTE)");
    }
    const auto header = document.Get(DocumentTable::kHeader);
    if (!header || header->RecordCount() == 0) {
      Fail("DO11_DOCTESTATA", "no header row: the document has no registration number");
    }
    header->MoveFirst();
    registration_ = NzStr(header->Get("DO11_NUMREG_CO99"));
    if (registration_.empty()) {
      Fail("DO11_DOCTESTATA row 1, field DO11_NUMREG_CO99",
           "the registration number is empty; the document could not be stored apart");
    }
    for (int t = 0; t < kDocumentTableCount; ++t) {
      const auto table = static_cast<DocumentTable>(t);
      if (const auto recordset = document.Get(table)) CheckRecords(table, *recordset);
    }
    header->MoveFirst();
    CheckHeader(*header);
    return std::move(warnings_);
  }

 private:
  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    RaiseText(err::kBadDocumentFile, kSource, std::string(file_name_) + ": " + where + ": " + what);
  }

  bool Exists(std::string_view table, std::string_view column, const std::string& literal) {
    const auto found = connection_.Execute("SELECT COUNT(*) AS N FROM " + std::string(table) +
                                           " WHERE " + std::string(column) + " = " + literal);
    return found->Get("N").CLng() > 0;
  }

  // The engine's working recordsets: their rows are built by the engine, which
  // leaves the keys unassigned; a key they do carry must still be the document's.
  static bool KeysOptional(DocumentTable table) {
    return table == DocumentTable::kCounterparts || table == DocumentTable::kCounterpartLinks ||
           table == DocumentTable::kTaxSummary;
  }

  // Where a value is, named only when a check fails.
  struct Place {
    const std::string& table;
    int row;
    const std::string& field;
    std::string Text() const { return table + " row " + std::to_string(row) + ", field " + field; }
  };

  // Each record's keys and every amount's integer digits, which a column of
  // precision p and scale s holds only up to p - s of.
  void CheckRecords(DocumentTable table, Recordset& recordset) {
    const std::string name(DocumentTableName(table));
    int row = 0;
    for (recordset.MoveFirst(); !recordset.Eof(); recordset.MoveNext()) {
      ++row;
      for (int f = 0; f < recordset.FieldCount(); ++f) {
        const FieldInfo& field = recordset.Field(f);
        CheckValue(table, Place{name, row, field.name}, field, recordset.Get(FieldRef(f)));
      }
    }
    if (row > 0) recordset.MoveFirst();
  }

  void CheckValue(DocumentTable table, const Place& place, const FieldInfo& field,
                  const Variant& value) {
    const bool absent = value.IsEmpty() || value.IsNull();
    if (EndsWithNoCase(field.name, kCompanySuffix)) {
      CheckCompany(table, place, value, absent);
    } else if (EndsWithNoCase(field.name, kRegistrationSuffix)) {
      CheckRegistration(table, place, value, absent);
    } else if ((field.type == DataType::kDecimal || field.type == DataType::kNumeric) &&
               field.precision > 0 && !absent) {
      CheckWholeDigits(place, field, value);
    }
  }

  void CheckCompany(DocumentTable table, const Place& place, const Variant& value, bool absent) {
    const int32_t company = file_.document->Company()->company_number;
    if (absent && !KeysOptional(table)) {
      Fail(place.Text(), "no value: every record carries the document's company (" +
                             std::to_string(company) + ")");
    }
    if (!absent && NzDecimal(value) != Decimal(company)) {
      Fail(place.Text(),
           Shown(value) + " is not the document's company (" + std::to_string(company) + ")");
    }
  }

  void CheckRegistration(DocumentTable table, const Place& place, const Variant& value,
                         bool absent) {
    if (absent && !KeysOptional(table)) {
      Fail(place.Text(), "no value: every record carries the document's registration number (\"" +
                             registration_ + "\")");
    }
    if (!absent && NzStr(value) != registration_) {
      Fail(place.Text(),
           Shown(value) + " is not the document's registration number (\"" + registration_ + "\")");
    }
  }

  void CheckWholeDigits(const Place& place, const FieldInfo& field, const Variant& value) {
    const int digits = field.precision - field.numeric_scale;
    const std::string whole = NzDecimal(value).Fix().Abs().ToString();
    const int have = whole == "0" ? 0 : static_cast<int>(whole.size());
    if (have > digits) {
      Fail(place.Text(), value.CStr() + " has " + std::to_string(have) +
                             " digits before the decimal point; the field holds " +
                             std::to_string(digits));
    }
  }

  void CheckHeader(Recordset& header) {
    const std::string where = "DO11_DOCTESTATA row 1, field ";
    const std::string currency = NzStr(header.Get("DO11_VALUTA_CG08"));
    if (!currency.empty() &&
        !Exists("CG08_TABVALUTE", "CG08_CODICE", "'" + SqlQuoted(currency) + "'")) {
      Fail(where + "DO11_VALUTA_CG08",
           "\"" + currency + "\" is not a currency of the database (CG08_TABVALUTE)");
    }
    const std::string area = NzStr(header.Get("DO11_TAXAREA_NV01"));
    if (!area.empty() && !Exists("NV01_TAXAREA", "NV01_CODE", "'" + SqlQuoted(area) + "'")) {
      const std::string what = "\"" + area + "\" is not a tax area of the database (NV01_TAXAREA)";
      if (NzDecimal(header.Get("DO11_FLGTAXLIABLE")) != Decimal(0)) {
        Fail(where + "DO11_TAXAREA_NV01", what);
      }
      warnings_.push_back(std::string(file_name_) + ": " + where + "DO11_TAXAREA_NV01: " + what +
                          " (the document is not liable to tax)");
    }
  }

  const DocumentFile& file_;
  std::string_view file_name_;
  Connection& connection_;
  std::string registration_;
  std::vector<std::string> warnings_;
};

}  // namespace

std::vector<std::string> CheckDocument(const DocumentFile& file, std::string_view file_name,
                                       Connection& connection) {
  return Checker(file, file_name, connection).Run();
}

}  // namespace tarvolin
