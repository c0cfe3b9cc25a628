#include "tarvolin/host/host_document.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/db/schema_catalog.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "HostDocument";

Decimal RoundToCurrency(const Decimal& value, int16_t decimals) {
  return value.RoundHalfAwayFromZero(std::clamp<int>(decimals, 0, Decimal::kMaxScale));
}

}  // namespace

std::string MessageCatalogue::Text(std::string_view default_text, int32_t number,
                                   const VariantArray& parameters) const {
  const auto it = texts_.find(number);
  std::string text(it != texts_.end() ? std::string_view(it->second) : default_text);
  // Highest first, so %1 does not eat the start of %10.
  for (size_t i = parameters.size(); i >= 1; --i) {
    const std::string mark = "%" + std::to_string(i);
    const std::string value = parameters[i - 1].IsNull() ? "" : parameters[i - 1].CStr();
    for (size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + value.size())) {
      text.replace(at, mark.size(), value);
    }
  }
  return text;
}

namespace {

// A closed recordset with the table's fields.
std::shared_ptr<Recordset> DocumentTableFields(DocumentTable table) {
  const std::string_view name = DocumentTableName(table);
  auto recordset = Recordset::Create();
  if (table == DocumentTable::kCounterpartLinks) {
    recordset->AppendField("DO30_PROGRIGA", DataType::kInteger);
    recordset->AppendField("CG42_NUMRIGACONT", DataType::kInteger);
    return recordset;
  }
  const std::string_view typed_from =
      table == DocumentTable::kGroupedRows ? DocumentTableName(DocumentTable::kBody) : name;
  const auto* fields =
      table == DocumentTable::kTaxSummary ? nullptr : SchemaCatalog::Embedded().Fields(typed_from);
  if (fields == nullptr) {
    Raise(err::kItemNotFound, kSource, "no table " + std::string(name) + " in the schema");
  }
  for (const FieldInfo& field : *fields) recordset->AppendField(field);
  if (table == DocumentTable::kGroupedRows) {
    // A grouped row carries the order data of its rows too, and 1 in GRIGLIA
    // marks a grid row standing for the body rows whose parent it is.
    for (const FieldInfo& field :
         *SchemaCatalog::Embedded().Fields(DocumentTableName(DocumentTable::kBodyOrderData))) {
      if (field.name != "DO31_DITTA_CG18" && field.name != "DO31_NUMREG_CO99" &&
          field.name != "DO31_PROGRIGA") {
        recordset->AppendField(field);
      }
    }
    recordset->AppendField("GRIGLIA", DataType::kSmallInt);
  }
  if (table == DocumentTable::kCounterparts) {
    // The lines carry what the ledger needs besides the stored columns.
    recordset->AppendField("CG24_DESCR", DataType::kVarChar, 80);
    recordset->AppendField("CG43_IMPOSTA", DataType::kDecimal, 0,
                           field_attr::kIsNullable | field_attr::kMayBeNull, 18, 5);
    recordset->AppendField("ASSETCODE", DataType::kVarChar, 20);
    recordset->AppendField("ASSETDESCR", DataType::kVarChar, 100);
    recordset->AppendField("TAXGROUPCODE", DataType::kVarChar, 10);
  }
  return recordset;
}

}  // namespace

std::shared_ptr<Recordset> NewDocumentRecordset(DocumentTable table) {
  // Each table's fields are defined once: every recordset made for it
  // shares them (the engine makes several per document).
  static std::once_flag once[kDocumentTableCount];
  static std::shared_ptr<Recordset> fields[kDocumentTableCount];
  const auto t = static_cast<size_t>(table);
  if (t >= kDocumentTableCount) {
    Raise(err::kBadArgument, kSource, "no document table " + std::to_string(t));
  }
  std::call_once(once[t], [&] { fields[t] = DocumentTableFields(table); });
  return Recordset::CreateWithFieldsOf(*fields[t]);
}

HostDocument::HostDocument(std::shared_ptr<CurrentCompany> company)
    : company_(std::move(company)) {}

std::shared_ptr<CurrentCompany> HostDocument::Company() {
  if (!company_) Raise(err::kObjectNotSet, kSource, "the document has no current company");
  return company_;
}

int32_t HostDocument::CompanyNumber() { return Company()->company_number; }

bool HostDocument::InUse(DocumentTable table) {
  const auto& flag = state_.in_use[static_cast<int>(table)];
  return flag ? *flag : recordsets_[static_cast<int>(table)] != nullptr;
}

bool HostDocument::NoConversion() {
  if (state_.no_conversion) return *state_.no_conversion;
  const auto header = Get(DocumentTable::kHeader);
  if (!header || header->Bof() || header->Eof()) return true;
  // Asked several times per body row: no text is made.
  const auto currency = header->TryResolve("DO11_VALUTA_CG08");
  if (!currency) return true;
  const Variant& code = header->Get(*currency);
  return NzStrEquals(code, Company()->currency_code) || NzStrEquals(code, "");
}

Variant HostDocument::DocumentSetting(std::string_view property) {
  for (const auto& [name, value] : settings_) {
    if (name == property) return value;
  }
  return {};
}

std::shared_ptr<Recordset> HostDocument::Get(DocumentTable table) {
  return recordsets_[static_cast<int>(table)];
}

void HostDocument::Set(DocumentTable table, std::shared_ptr<Recordset> recordset) {
  recordsets_[static_cast<int>(table)] = std::move(recordset);
}

void HostDocument::CreateRecord(DocumentTable table) {
  auto recordset = Get(table);
  if (!recordset) {
    recordset = NewDocumentRecordset(table);
    Set(table, recordset);
  }
  recordset->AddNew();
  const std::string prefix(DocumentTableName(table).substr(0, 4));
  if (auto header = Get(DocumentTable::kHeader); header && !header->Bof() && !header->Eof()) {
    if (auto company = recordset->TryResolve(prefix + "_DITTA_CG18")) {
      recordset->Set(*company, header->Get("DO11_DITTA_CG18"));
    }
    if (auto number = recordset->TryResolve(prefix + "_NUMREG_CO99")) {
      recordset->Set(*number, header->Get("DO11_NUMREG_CO99"));
    }
  }
  recordset->Update();
}

void HostDocument::CounterpartsStep(bool) {
  // The counterparts are rebuilt from the rows: start from empty lines and links.
  Set(DocumentTable::kCounterparts, NewDocumentRecordset(DocumentTable::kCounterparts));
  Set(DocumentTable::kCounterpartLinks, NewDocumentRecordset(DocumentTable::kCounterpartLinks));
}

void HostDocument::AddAgentRow(int16_t) {
  auto agents = Get(DocumentTable::kAgents);
  if (!agents) {
    agents = NewDocumentRecordset(DocumentTable::kAgents);
    Set(DocumentTable::kAgents, agents);
  }
  agents->AddNew();
  // The new row belongs to this document.
  if (auto header = Get(DocumentTable::kHeader); header && !header->Bof() && !header->Eof()) {
    agents->Set("DO21_DITTA_CG18", header->Get("DO11_DITTA_CG18"));
    agents->Set("DO21_NUMREG_CO99", header->Get("DO11_NUMREG_CO99"));
  }
}

void HostDocument::SetDocumentSetting(std::string name, Variant value) {
  for (auto& [existing, stored] : settings_) {
    if (existing == name) {
      stored = std::move(value);
      return;
    }
  }
  settings_.emplace_back(std::move(name), std::move(value));
}

std::string HostDocument::CompanyCurrencyCode() { return Company()->currency_code; }

std::string HostDocument::MessageText(std::string_view text, int32_t number,
                                      const Variant& parameters) {
  return catalogue_.Text(text, number, parameters.IsArray() ? parameters.array() : VariantArray{});
}

int16_t HostDocument::CurrencyDecimals(std::string_view currency) const {
  if (company_) {
    if (auto decimals = company_->AmountDecimals(currency)) return *decimals;
  }
  return 2;
}

Variant HostDocument::DiscountByPercentage(const Variant& amount, const Variant& percentage,
                                           std::string_view currency) {
  const Decimal base = NzDecimal(amount);
  const Decimal discount =
      RoundToCurrency(base * NzDecimal(percentage) / Decimal(100), CurrencyDecimals(currency));
  return Variant(base - discount);
}

Variant HostDocument::PercentageOf(const Variant& amount, const Variant& percentage,
                                   std::string_view currency) {
  return Variant(RoundToCurrency(NzDecimal(amount) * NzDecimal(percentage) / Decimal(100),
                                 CurrencyDecimals(currency)));
}

std::string HostDocument::NumberAsSql(const Variant& number) { return NzDec(number).CStr(); }

int32_t HostDocument::MessageBox(std::string_view text, std::string_view title, int32_t style) {
  messages_.push_back({std::string(text), std::string(title), style});
  return 1;  // OK
}

int HostDocument::Ask(std::string_view procedure, int32_t, std::string_view, int32_t,
                      const Error& error) {
  // Nobody mends anything between two retries here: the same error asked
  // again and again is retried a few times, then the procedure is left.
  AskedError asked{std::string(procedure), error.number(), error.source(), error.description(),
                   error_answer_};
  if (asked.answer == ErrorService::kRetry) {
    const bool again = !asked_errors_.empty() && asked_errors_.back().procedure == procedure &&
                       asked_errors_.back().number == error.number() &&
                       asked_errors_.back().description == error.description();
    consecutive_retries_ = again ? consecutive_retries_ + 1 : 1;
    if (consecutive_retries_ > kMaxRetries) asked.answer = kLeave;
  }
  asked_errors_.push_back(asked);
  return asked.answer;
}

std::shared_ptr<DocumentParameters> HostDocumentParameters::Parameters(int32_t type_id,
                                                                       const std::string& code) {
  auto parameters = std::make_shared<DocumentParameters>();
  for (const Entry& entry : entries) {
    if (entry.type_id == type_id && EqualsNoCase(entry.code, code)) {
      parameters->found = true;
      parameters->section = entry.section;
      parameters->deposit = entry.deposit;
      parameters->priority_table = entry.priority_table;
      break;
    }
  }
  return parameters;
}

std::string HostSession::CatalogueText(int32_t number, const VariantArray& parameters) {
  return catalogue_.Text("", number, parameters);
}

Variant HostCalculationHelper::ToCompanyCurrency(const Variant& amount, const Variant& rate,
                                                 std::string_view) {
  const Decimal divisor = NzDecimal(rate);
  if (divisor.is_zero()) return Variant(int16_t{0});
  const int16_t decimals =
      company_ ? company_->AmountDecimals(company_->currency_code).value_or(2) : int16_t{2};
  return Variant(RoundToCurrency(NzDecimal(amount) / divisor, decimals));
}

Variant HostCalculationHelper::ToDocumentCurrency(const Variant& amount, const Variant& rate,
                                                  std::string_view document_currency) {
  const int16_t decimals =
      company_ ? company_->AmountDecimals(document_currency).value_or(2) : int16_t{2};
  return Variant(RoundToCurrency(NzDecimal(amount) * NzDecimal(rate), decimals));
}

}  // namespace tarvolin
