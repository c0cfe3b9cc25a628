// Reading the document file: the sections of a parsed file into a new
// document, all or nothing.
#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

#include "host/document_file_values.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {
namespace {

using document_file::BoolMember;
using document_file::kDefaultAttributes;
using document_file::kFormatVersion;
using document_file::kSource;
using document_file::kStateFlags;
using document_file::Shown;
using document_file::Value;
using document_file::ValueReader;

constexpr int32_t kFileNotFound = 53;
constexpr int32_t kPathFileAccessError = 75;

constexpr std::string_view kSections[] = {
    "format",      "company",      "session",     "settings",       "state",
    "messages",    "error_answer", "recordsets",  "shown_messages", "asked_errors",
    "edited_rows", "totals",       "calculation", "warnings"};
constexpr std::string_view kCompanyKeys[] = {"number",
                                             "currency",
                                             "first_decimals",
                                             "second_decimals",
                                             "accounts_group",
                                             "customers_control_account",
                                             "suppliers_control_account",
                                             "currencies",
                                             "site_defaults",
                                             "document_parameters"};
constexpr std::string_view kParameterKeys[] = {"enabled", "entries"};
constexpr std::string_view kParameterEntryKeys[] = {"type_id", "document", "section", "deposit",
                                                    "priority_table"};
constexpr std::string_view kSessionKeys[] = {"user", "group"};
constexpr std::string_view kTableFormKeys[] = {"fields", "rows"};
constexpr std::string_view kFieldKeys[] = {"name",      "type",  "size",
                                           "precision", "scale", "attributes"};
constexpr std::string_view kStateKeys[] = {"in_use",
                                           "highest_row_progressive",
                                           "excluded_row_bookmark",
                                           "no_conversion",
                                           "clear_discount_detail",
                                           "new_document",
                                           "schedule_locked",
                                           "totals_changed",
                                           "grouped_rows",
                                           "row_edit",
                                           "document_mode",
                                           "hand_entered_installments",
                                           "installment_table",
                                           "payment_substituted",
                                           "substituted_payment_code",
                                           "header_agents",
                                           "row_agents",
                                           "type9_never_suspended",
                                           "use_reference_dates",
                                           "first_reference_date",
                                           "second_reference_date"};

bool IsKnownType(int type) {
  switch (static_cast<DataType>(type)) {
    case DataType::kSmallInt:
    case DataType::kInteger:
    case DataType::kSingle:
    case DataType::kDouble:
    case DataType::kCurrency:
    case DataType::kDate:
    case DataType::kBoolean:
    case DataType::kVariant:
    case DataType::kDecimal:
    case DataType::kTinyInt:
    case DataType::kBigInt:
    case DataType::kChar:
    case DataType::kNumeric:
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kVarWChar:
      return true;
  }
  return false;
}

// Reads a parsed file into a new document. Every failure names the file and
// the place: "<file>: <where>: <what>".
class Reader : private ValueReader {
 public:
  explicit Reader(std::string_view file_name) : ValueReader(file_name) {}

  DocumentFile Read(std::string_view text) const {
    Value root;
    std::string error;
    if (!json::Parse(text, root, error)) Fail("", "not valid JSON: " + error);
    if (!root.IsObject()) Fail("", "the file holds " + Shown(root) + ", not a JSON object");
    CheckKeys(root, kSections, "", "section");
    const Value* format = root.Find("format");
    if (format == nullptr) Fail("", "no \"format\" (the format version, 1)");
    if (!format->IsNumber() || format->text != kFormatVersion) {
      Fail("format", Shown(*format) + " is not a supported version (this program reads format " +
                         std::string(kFormatVersion) + ")");
    }
    const Value* company = root.Find("company");
    if (company == nullptr) Fail("", "no \"company\" section");
    const Value* recordsets = root.Find("recordsets");
    if (recordsets == nullptr) Fail("", "no \"recordsets\" section");

    DocumentFile file;
    file.document = std::make_shared<HostDocument>(ReadCompany(*company));
    file.session = ReadSession(root.Find("session"));
    if (const Value* settings = root.Find("settings")) ReadSettings(*settings, *file.document);
    if (const Value* messages = root.Find("messages")) {
      ReadMessages(*messages, *file.document, *file.session);
    }
    if (const Value* answer = root.Find("error_answer")) {
      file.error_answer = Integer(*answer, "error_answer", std::numeric_limits<int32_t>::min(),
                                  std::numeric_limits<int32_t>::max());
      file.document->set_error_answer(*file.error_answer);
    }
    ReadRecordsets(*recordsets, *file.document);
    // After the recordsets: the excluded row is a row of the body.
    if (const Value* state = root.Find("state")) ReadState(*state, *file.document);
    if (const Value* calculation = root.Find("calculation")) {
      ReadCalculation(*calculation, *file.document);
    }
    // shown_messages, asked_errors, edited_rows, totals and warnings report a run; they
    // are accepted so that a written file can be read again, and not read.
    return file;
  }

 private:
  std::shared_ptr<CurrentCompany> ReadCompany(const Value& object) const {
    CheckKeys(object, kCompanyKeys, "company", "key");
    auto company = std::make_shared<CurrentCompany>();
    const Value* number = object.Find("number");
    if (number == nullptr) Fail("company", "no \"number\"");
    const Value* currency = object.Find("currency");
    if (currency == nullptr) Fail("company", "no \"currency\"");
    company->company_number =
        Integer(*number, "company.number", std::numeric_limits<int32_t>::min(),
                std::numeric_limits<int32_t>::max());
    company->currency_code = Text(*currency, "company.currency");
    for (const std::string_view key : {"first_decimals", "second_decimals"}) {
      const Value* decimals = object.Find(key);
      if (decimals == nullptr) continue;
      const std::string where = Member("company", key);
      if (!decimals->IsNull() && !decimals->IsNumber()) {
        Fail(where, Shown(*decimals) + " is not a number");
      }
      (key == "first_decimals" ? company->first_decimals : company->second_decimals) =
          Scalar(*decimals, where);
    }
    if (const Value* v = object.Find("accounts_group")) {
      company->accounts_group = Text(*v, "company.accounts_group");
    }
    if (const Value* v = object.Find("customers_control_account")) {
      company->customers_control_account = Text(*v, "company.customers_control_account");
    }
    if (const Value* v = object.Find("suppliers_control_account")) {
      company->suppliers_control_account = Text(*v, "company.suppliers_control_account");
    }
    if (const Value* currencies = object.Find("currencies")) {
      ExpectObject(*currencies, "company.currencies");
      for (size_t i = 0; i < currencies->members.size(); ++i) {
        CheckNotRepeated(*currencies, i, "company.currencies");
        const auto& [code, decimals] = currencies->members[i];
        company->currency_decimals.emplace_back(
            code, static_cast<int16_t>(Integer(decimals, Member("company.currencies", code), 0,
                                               Decimal::kMaxScale)));
      }
    }
    ReadDocumentDefaults(object, *company);
    return company;
  }

  // The company's document-default settings: the site switch and the
  // document-parameter service's table.
  void ReadDocumentDefaults(const Value& object, CurrentCompany& company) const {
    if (const Value* v = object.Find("site_defaults")) {
      company.site_defaults =
          static_cast<int16_t>(Integer(*v, "company.site_defaults", -32768, 32767));
    }
    const Value* service = object.Find("document_parameters");
    if (service == nullptr) return;
    CheckKeys(*service, kParameterKeys, "company.document_parameters", "key");
    auto parameters = std::make_shared<HostDocumentParameters>();
    if (const Value* v = service->Find("enabled")) {
      parameters->enabled = Boolean(*v, "company.document_parameters.enabled");
    }
    if (const Value* entries = service->Find("entries")) {
      if (!entries->IsArray()) {
        Fail("company.document_parameters.entries", Shown(*entries) + " is not an array");
      }
      for (size_t i = 0; i < entries->items.size(); ++i) {
        const std::string where =
            "company.document_parameters.entries[" + std::to_string(i + 1) + "]";
        const Value& entry = entries->items[i];
        CheckKeys(entry, kParameterEntryKeys, where, "key");
        HostDocumentParameters::Entry e;
        if (const Value* v = entry.Find("type_id")) {
          e.type_id = Integer(*v, Member(where, "type_id"), std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max());
        }
        if (const Value* v = entry.Find("document")) e.code = Text(*v, Member(where, "document"));
        if (const Value* v = entry.Find("section"))
          e.section = Scalar(*v, Member(where, "section"));
        if (const Value* v = entry.Find("deposit"))
          e.deposit = Scalar(*v, Member(where, "deposit"));
        if (const Value* v = entry.Find("priority_table")) {
          e.priority_table = Scalar(*v, Member(where, "priority_table"));
        }
        parameters->entries.push_back(std::move(e));
      }
    }
    company.document_parameters = std::move(parameters);
  }

  std::shared_ptr<HostSession> ReadSession(const Value* object) const {
    if (object == nullptr) return std::make_shared<HostSession>("", "");
    CheckKeys(*object, kSessionKeys, "session", "key");
    const Value* user = object->Find("user");
    const Value* group = object->Find("group");
    return std::make_shared<HostSession>(user ? Text(*user, "session.user") : "",
                                         group ? Text(*group, "session.group") : "");
  }

  void ReadSettings(const Value& object, HostDocument& document) const {
    ExpectObject(object, "settings");
    for (size_t i = 0; i < object.members.size(); ++i) {
      CheckNotRepeated(object, i, "settings");
      const auto& [name, value] = object.members[i];
      document.SetDocumentSetting(name, Scalar(value, Member("settings", name)));
    }
  }

  void ReadMessages(const Value& object, HostDocument& document, HostSession& session) const {
    ExpectObject(object, "messages");
    for (size_t i = 0; i < object.members.size(); ++i) {
      CheckNotRepeated(object, i, "messages");
      const auto& [key, text] = object.members[i];
      int32_t number = 0;
      const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), number);
      if (key.empty() || ec != std::errc() || end != key.data() + key.size()) {
        Fail("messages", json::Quoted(key) + " is not a message number");
      }
      std::string value = Text(text, Member("messages", key));
      document.catalogue().Set(number, value);
      session.catalogue().Set(number, std::move(value));
    }
  }

  void ReadRecordsets(const Value& object, HostDocument& document) const {
    ExpectObject(object, "recordsets");
    for (const auto& [name, value] : object.members) {
      DocumentTable table;
      if (!DocumentTableFromName(name, table)) {
        Fail("recordsets", json::Quoted(name) + " is not a document recordset");
      }
      if (document.Get(table)) {
        Fail("recordsets", std::string(DocumentTableName(table)) + " given twice");
      }
      document.Set(table, ReadRecordset(table, value));
    }
  }

  FieldInfo ReadFieldInfo(const Value& object, const std::string& where) const {
    CheckKeys(object, kFieldKeys, where, "key");
    const Value* name = object.Find("name");
    if (name == nullptr) Fail(where, "no \"name\"");
    const Value* type = object.Find("type");
    if (type == nullptr) Fail(where, "no \"type\"");
    FieldInfo info;
    info.name = Text(*name, Member(where, "name"));
    if (info.name.empty()) Fail(Member(where, "name"), "a field needs a name");
    const int32_t type_number =
        Integer(*type, Member(where, "type"), std::numeric_limits<int32_t>::min(),
                std::numeric_limits<int32_t>::max());
    if (!IsKnownType(type_number)) {
      Fail(Member(where, "type"), std::to_string(type_number) + " is not a field type");
    }
    info.type = static_cast<DataType>(type_number);
    const auto optional = [&](std::string_view key, int32_t fallback, int32_t max) {
      const Value* v = object.Find(key);
      return v ? Integer(*v, Member(where, key), 0, max) : fallback;
    };
    info.defined_size = optional("size", 0, std::numeric_limits<int32_t>::max());
    info.precision = static_cast<uint8_t>(optional("precision", 0, 38));
    info.numeric_scale = static_cast<uint8_t>(optional("scale", 0, Decimal::kMaxScale));
    info.attributes = optional("attributes", kDefaultAttributes, 0xFFFF);
    return info;
  }

  // The rows form or {"fields", "rows"}: the fields a schema table has beyond
  // its schema (the host's working fields), or every field of the tax summary.
  std::shared_ptr<Recordset> ReadRecordset(DocumentTable table, const Value& value) const {
    const std::string name(DocumentTableName(table));
    const Value* rows = &value;
    const Value* fields = nullptr;
    if (value.IsObject()) {
      CheckKeys(value, kTableFormKeys, name, "key");
      fields = value.Find("fields");
      rows = value.Find("rows");
      if (rows == nullptr) Fail(name, "no \"rows\"");
      if (fields != nullptr && !fields->IsArray()) {
        Fail(name + " fields", Shown(*fields) + " is not a list of fields");
      }
    }
    if (!rows->IsArray()) Fail(name, Shown(*rows) + " is not a list of rows");
    if (table == DocumentTable::kTaxSummary && fields == nullptr) {
      Fail(name, "has no schema: write it as {\"fields\": [...], \"rows\": [...]}");
    }

    std::shared_ptr<Recordset> recordset;
    if (table != DocumentTable::kTaxSummary) recordset = NewDocumentRecordset(table);
    if (fields != nullptr) recordset = WithFields(name, recordset.get(), *fields);
    for (size_t r = 0; r < rows->items.size(); ++r) {
      ReadRow(name, rows->items[r], r + 1, *recordset);
    }
    recordset->MoveFirst();
    return recordset;
  }

  // A new recordset with the schema's fields (none for the tax summary) and
  // the fields the file lists.
  std::shared_ptr<Recordset> WithFields(const std::string& name, const Recordset* schema,
                                        const Value& fields) const {
    std::vector<FieldInfo> infos;
    if (schema != nullptr) {
      for (int i = 0; i < schema->FieldCount(); ++i) infos.push_back(schema->Field(i));
    }
    const size_t schema_fields = infos.size();
    for (size_t i = 0; i < fields.items.size(); ++i) {
      const std::string where = name + " field " + std::to_string(i + 1);
      FieldInfo info = ReadFieldInfo(fields.items[i], where);
      for (size_t j = 0; j < infos.size(); ++j) {
        if (EqualsNoCase(infos[j].name, info.name)) {
          Fail(where, info.name + (j < schema_fields ? " is a field of the schema already"
                                                     : " is listed twice"));
        }
      }
      infos.push_back(std::move(info));
    }
    if (infos.empty()) Fail(name, "no fields");
    auto recordset = Recordset::Create();
    for (FieldInfo& info : infos) recordset->AppendField(std::move(info));
    recordset->Open();
    return recordset;
  }

  // One row (number is 1-based), each field given once.
  void ReadRow(const std::string& name, const Value& row, size_t number,
               Recordset& recordset) const {
    const std::string row_where = name + " row " + std::to_string(number);
    if (!row.IsObject()) Fail(row_where, Shown(row) + " is not a row object");
    recordset.AddNew();
    std::vector<bool> given(static_cast<size_t>(recordset.FieldCount()), false);
    for (const auto& [field_name, field_value] : row.members) {
      const auto ref = recordset.TryResolve(field_name);
      if (!ref) Fail(row_where + ", field " + field_name, "no such field in " + name);
      const FieldInfo& field = recordset.Field(ref->index());
      const std::string where = row_where + ", field " + field.name;
      if (given[static_cast<size_t>(ref->index())]) Fail(where, "given twice");
      given[static_cast<size_t>(ref->index())] = true;
      Variant converted = FieldValue(field, field_value, where);
      try {
        recordset.Set(*ref, std::move(converted));
      } catch (const Error& e) {
        Fail(where, Shown(field_value) + " cannot be stored: " + e.description());
      }
    }
    recordset.Update();
  }

  void ReadState(const Value& object, HostDocument& document) const {
    CheckKeys(object, kStateKeys, "state", "key");
    DocumentState& state = document.State();
    for (const auto& [key, value] : object.members) {
      const std::string where = Member("state", key);
      // A structured binding is not captured: not every compiler takes it yet.
      const std::string_view name = key;
      const auto flag = std::find_if(std::begin(kStateFlags), std::end(kStateFlags),
                                     [name](const BoolMember& m) { return m.name == name; });
      if (flag != std::end(kStateFlags)) {
        state.*(flag->member) = Boolean(value, where);
      } else if (key == "in_use") {
        ReadInUse(value, state);
      } else if (key == "highest_row_progressive") {
        state.highest_row_progressive = Integer(value, where, std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
      } else if (key == "excluded_row_bookmark") {
        state.excluded_row_bookmark = ExcludedRow(value, document, where);
      } else if (key == "no_conversion") {
        if (value.IsNull()) {
          state.no_conversion.reset();
        } else {
          state.no_conversion = Boolean(value, where);
        }
      } else if (key == "document_mode") {
        state.document_mode = static_cast<int16_t>(Integer(value, where, -32768, 32767));
      } else if (key == "hand_entered_installments") {
        state.hand_entered_installments =
            static_cast<int16_t>(Integer(value, where, -32768, 32767));
      } else if (key == "installment_table") {
        state.installment_table = InstallmentTable(value, where);
      } else if (key == "substituted_payment_code") {
        state.substituted_payment_code = Text(value, where);
      } else if (key == "first_reference_date") {
        state.first_reference_date =
            value.IsNull() ? Variant::Null() : Variant(DateOf(value, where));
      } else if (key == "second_reference_date") {
        state.second_reference_date =
            value.IsNull() ? Variant::Null() : Variant(DateOf(value, where));
      }
    }
  }

  // Rows of up to 15 columns; a column not given stays Empty.
  std::vector<std::array<Variant, 15>> InstallmentTable(const Value& rows,
                                                        const std::string& where) const {
    if (!rows.IsArray()) Fail(where, Shown(rows) + " is not an array of installments");
    std::vector<std::array<Variant, 15>> table;
    for (size_t r = 0; r < rows.items.size(); ++r) {
      const Value& row = rows.items[r];
      const std::string row_where = where + " installment " + std::to_string(r + 1);
      if (!row.IsArray()) Fail(row_where, Shown(row) + " is not an array of columns");
      if (row.items.size() > 15) Fail(row_where, "has more than 15 columns");
      std::array<Variant, 15>& columns = table.emplace_back();
      for (size_t c = 0; c < row.items.size(); ++c) {
        columns[c] = Scalar(row.items[c], row_where + " column " + std::to_string(c + 1));
      }
    }
    return table;
  }

  void ReadInUse(const Value& object, DocumentState& state) const {
    ExpectObject(object, "state.in_use");
    bool seen[kDocumentTableCount] = {};
    for (const auto& [name, value] : object.members) {
      DocumentTable table;
      if (!DocumentTableFromName(name, table)) {
        Fail("state.in_use", json::Quoted(name) + " is not a document recordset");
      }
      const auto index = static_cast<size_t>(table);
      if (seen[index]) Fail("state.in_use", std::string(DocumentTableName(table)) + " given twice");
      seen[index] = true;
      const std::string where = "state.in_use." + std::string(DocumentTableName(table));
      if (value.IsNull()) {
        state.in_use[index].reset();
      } else {
        state.in_use[index] = Boolean(value, where);
      }
    }
  }

  // The host's calculation data: the linked expense records and the four
  // withholding and contribution bases.
  void ReadCalculation(const Value& object, HostDocument& document) const {
    constexpr std::string_view kKeys[] = {"expense_links", "withholding_bases"};
    CheckKeys(object, kKeys, "calculation", "key");
    if (const Value* links = object.Find("expense_links")) {
      if (!links->IsArray()) Fail("calculation.expense_links", Shown(*links) + " is not a list");
      auto recordset = HostDocument::NewExpenseLinks();
      for (size_t r = 0; r < links->items.size(); ++r) {
        const std::string where = "calculation.expense_links row " + std::to_string(r + 1);
        const Value& row = links->items[r];
        if (!row.IsObject()) Fail(where, Shown(row) + " is not a row object");
        recordset->AddNew();
        for (const auto& [name, value] : row.members) {
          const auto ref = recordset->TryResolve(name);
          if (!ref) Fail(where + ", field " + name, "no such field");
          recordset->Set(
              *ref, FieldValue(recordset->Field(ref->index()), value, where + ", field " + name));
        }
        recordset->Update();
      }
      document.set_expense_links(std::move(recordset));
    }
    if (const Value* bases = object.Find("withholding_bases")) {
      if (!bases->IsArray() || bases->items.size() != 4) {
        Fail("calculation.withholding_bases", Shown(*bases) + " is not a list of four amounts");
      }
      const FieldInfo amount{.name = "base", .type = DataType::kDecimal};
      for (size_t i = 0; i < 4; ++i) {
        document.Calculation().SetWithholdingBase(
            static_cast<WithholdingBase>(i),
            FieldValue(amount, bases->items[i],
                       "calculation.withholding_bases[" + std::to_string(i + 1) + "]"));
      }
    }
  }

  // The excluded row is written as its 1-based row number in the body.
  Variant ExcludedRow(const Value& value, HostDocument& document, std::string_view where) const {
    if (value.IsNull()) return Variant::Null();
    const auto body = document.Get(DocumentTable::kBody);
    const int count = body ? body->RecordCount() : 0;
    const int32_t row = Integer(value, where, 1, std::numeric_limits<int32_t>::max());
    if (row > count) {
      Fail(where, "row " + std::to_string(row) + " is not a row of DO30_DOCCORPO (it has " +
                      std::to_string(count) + ")");
    }
    const auto cursor = body->Clone();
    cursor->SetAbsolutePosition(row);
    return cursor->GetBookmark().ToVariant();
  }
};

}  // namespace

DocumentFile ParseDocumentFile(std::string_view json_text, std::string_view file_name) {
  return Reader(file_name).Read(json_text);
}

DocumentFile ReadDocumentFile(const std::string& path) {
  std::error_code folder_ec;
  if (std::filesystem::is_directory(path, folder_ec)) {
    // A folder opens for reading but reads as nothing: name it for what it is.
    RaiseText(kPathFileAccessError, kSource, "Path/File access error: " + path + " is a folder");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      RaiseText(kFileNotFound, kSource, "File not found: " + path);
    }
    RaiseText(kPathFileAccessError, kSource, "Path/File access error: cannot open " + path);
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    RaiseText(kPathFileAccessError, kSource, "Path/File access error: cannot read " + path);
  }
  return ParseDocumentFile(text.str(), path);
}

}  // namespace tarvolin
