#include "tarvolin/host/document_file.h"

#include "tarvolin/automation/text.h"
#include "tarvolin/engine/value_helpers.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <system_error>

#include "host/json_reader.h"
#include "host/json_writer.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/host/output_file.h"

namespace tarvolin {
namespace {

using json::Value;

constexpr std::string_view kSource = "DocumentFile";
constexpr std::string_view kFormatVersion = "1";
constexpr int32_t kFileNotFound = 53;
constexpr int32_t kPathFileAccessError = 75;
constexpr int32_t kDefaultAttributes = field_attr::kIsNullable | field_attr::kMayBeNull;
// Longer texts are cut in error descriptions.
constexpr size_t kShownTextLength = 60;

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

struct BoolMember {
  std::string_view name;
  bool DocumentState::*member;
};
constexpr BoolMember kStateFlags[] = {
    {"clear_discount_detail", &DocumentState::clear_discount_detail},
    {"new_document", &DocumentState::new_document},
    {"schedule_locked", &DocumentState::schedule_locked},
    {"totals_changed", &DocumentState::totals_changed},
    {"grouped_rows", &DocumentState::grouped_rows},
    {"row_edit", &DocumentState::row_edit},
    {"payment_substituted", &DocumentState::payment_substituted},
    {"header_agents", &DocumentState::header_agents},
    {"row_agents", &DocumentState::row_agents},
    {"type9_never_suspended", &DocumentState::type9_never_suspended},
    {"use_reference_dates", &DocumentState::use_reference_dates},
};
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

size_t CodePoints(std::string_view text) {
  size_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

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

// A value as an error description shows it: JSON text, long strings cut.
std::string Shown(const Value& value) {
  switch (value.kind) {
    case Value::Kind::kNull:
      return "null";
    case Value::Kind::kBoolean:
      return value.boolean ? "true" : "false";
    case Value::Kind::kNumber:
      return value.text;
    case Value::Kind::kString: {
      if (value.text.size() <= kShownTextLength) return json::Quoted(value.text);
      size_t cut = kShownTextLength;
      while (cut > 0 && (static_cast<unsigned char>(value.text[cut]) & 0xC0) == 0x80) --cut;
      return json::Quoted(value.text.substr(0, cut) + "...");
    }
    case Value::Kind::kArray:
      return "an array";
    case Value::Kind::kObject:
      return "an object";
  }
  return {};
}

// "YYYY-MM-DD", optionally followed by a time; the calendar check is Date::Parse's.
bool HasIsoDateShape(std::string_view text) {
  if (text.size() < 10) return false;
  for (size_t i = 0; i < 10; ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? text[i] != '-' : !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return text.size() == 10 || text[10] == ' ' || text[10] == 'T';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Reads a parsed file into a new document. Every failure names the file and
// the place: "<file>: <where>: <what>".
class Reader {
 public:
  explicit Reader(std::string_view file_name) : file_(file_name) {}

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
  [[noreturn]] void Fail(std::string_view where, std::string_view what) const {
    std::string description = file_ + ": ";
    if (!where.empty()) description.append(where).append(": ");
    description.append(what);
    RaiseText(err::kBadDocumentFile, kSource, description);
  }

  void ExpectObject(const Value& value, std::string_view where) const {
    if (!value.IsObject()) Fail(where, Shown(value) + " is not an object");
  }

  // Every key known and given once.
  template <size_t N>
  void CheckKeys(const Value& object, const std::string_view (&known)[N], std::string_view where,
                 std::string_view what) const {
    ExpectObject(object, where);
    for (size_t i = 0; i < object.members.size(); ++i) {
      const std::string& key = object.members[i].first;
      if (std::find(std::begin(known), std::end(known), key) == std::end(known)) {
        Fail(where, "unknown " + std::string(what) + " " + json::Quoted(key));
      }
      CheckNotRepeated(object, i, where);
    }
  }

  void CheckNotRepeated(const Value& object, size_t index, std::string_view where) const {
    const std::string& key = object.members[index].first;
    for (size_t j = 0; j < index; ++j) {
      if (object.members[j].first == key) Fail(where, json::Quoted(key) + " given twice");
    }
  }

  static std::string Member(std::string_view where, std::string_view key) {
    return where.empty() ? std::string(key) : std::string(where) + "." + std::string(key);
  }

  // A number, or text holding one, for a number field.
  std::string_view NumberText(const Value& value, std::string_view where) const {
    if (!value.IsNumber() && !value.IsString()) Fail(where, Shown(value) + " is not a number");
    return value.text;
  }

  Decimal DecimalOf(const Value& value, std::string_view where) const {
    const std::string_view text = NumberText(value, where);
    try {
      return Decimal::Parse(text);
    } catch (const Error& e) {
      Fail(where,
           Shown(value) + (e.number() == err::kOverflow ? " is out of range" : " is not a number"));
    }
  }

  int64_t WholeNumber(const Value& value, std::string_view where, int64_t min, int64_t max) const {
    const Decimal number = DecimalOf(value, where);
    if (number != number.Fix()) Fail(where, Shown(value) + " is not a whole number");
    const std::optional<int64_t> whole = number.Fix().ToInt64();
    if (!whole || *whole < min || *whole > max) {
      Fail(where, Shown(value) + " is out of range (" + std::to_string(min) + " to " +
                      std::to_string(max) + ")");
    }
    return *whole;
  }

  // A JSON number (not text) that is whole, for the file's own settings.
  int32_t Integer(const Value& value, std::string_view where, int32_t min, int32_t max) const {
    if (!value.IsNumber()) Fail(where, Shown(value) + " is not a number");
    return static_cast<int32_t>(WholeNumber(value, where, min, max));
  }

  double DoubleOf(const Value& value, std::string_view where) const {
    const std::string_view text = Trimmed(NumberText(value, where));
    double number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || end != text.data() + text.size()) {
      Fail(where, Shown(value) + " is not a number");
    }
    if (ec != std::errc() || !std::isfinite(number)) Fail(where, Shown(value) + " is out of range");
    return number;
  }

  bool Boolean(const Value& value, std::string_view where) const {
    if (value.kind == Value::Kind::kBoolean) return value.boolean;
    if (value.IsNumber() && value.integral) {
      if (value.text == "0") return false;
      if (value.text == "1" || value.text == "-1") return true;
    }
    Fail(where, Shown(value) + " is not a boolean (true, false, 0, 1 or -1)");
  }

  Date DateOf(const Value& value, std::string_view where) const {
    if (value.IsString() && HasIsoDateShape(value.text)) {
      if (const auto date = Date::Parse(value.text)) return *date;
    }
    Fail(where, Shown(value) + " is not a date (YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)");
  }

  std::string Text(const Value& value, std::string_view where) const {
    if (!value.IsString()) Fail(where, Shown(value) + " is not text (text is written in quotes)");
    return value.text;
  }

  // A number as a Variant of its own: whole numbers as Integer, Long or
  // Decimal by size, others as Decimal, exactly as written.
  Variant NumberVariant(const Value& value, std::string_view where) const {
    const Decimal number = DecimalOf(value, where);
    if (value.integral) {
      if (const auto whole = number.ToInt64()) {
        if (*whole >= std::numeric_limits<int16_t>::min() &&
            *whole <= std::numeric_limits<int16_t>::max()) {
          return Variant(static_cast<int16_t>(*whole));
        }
        if (*whole >= std::numeric_limits<int32_t>::min() &&
            *whole <= std::numeric_limits<int32_t>::max()) {
          return Variant(static_cast<int32_t>(*whole));
        }
      }
    }
    return Variant(number);
  }

  // A setting or a value for a field of any type: number, text, boolean or null.
  Variant Scalar(const Value& value, std::string_view where) const {
    switch (value.kind) {
      case Value::Kind::kNull:
        return Variant::Null();
      case Value::Kind::kBoolean:
        return Variant(value.boolean);
      case Value::Kind::kNumber:
        return NumberVariant(value, where);
      case Value::Kind::kString:
        return Variant(value.text);
      default:
        Fail(where, Shown(value) + " is not a single value");
    }
  }

  Variant FieldValue(const FieldInfo& field, const Value& value, std::string_view where) const {
    if (value.IsNull()) return Variant::Null();
    if (value.IsArray() || value.IsObject()) Fail(where, Shown(value) + " is not a field value");
    switch (field.type) {
      case DataType::kSmallInt:
        return Variant(static_cast<int16_t>(WholeNumber(value, where, -32768, 32767)));
      case DataType::kTinyInt:
        return Variant(static_cast<int16_t>(WholeNumber(value, where, -128, 127)));
      case DataType::kInteger:
        return Variant(
            static_cast<int32_t>(WholeNumber(value, where, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max())));
      case DataType::kBigInt:
        return Variant(
            Decimal::FromInt64(WholeNumber(value, where, std::numeric_limits<int64_t>::min(),
                                           std::numeric_limits<int64_t>::max())));
      case DataType::kSingle:
      case DataType::kDouble:
        return Variant(DoubleOf(value, where));
      case DataType::kCurrency:
      case DataType::kDecimal:
      case DataType::kNumeric:
        return Variant(DecimalOf(value, where));
      case DataType::kBoolean:
        return Variant(Boolean(value, where));
      case DataType::kDate:
        return Variant(DateOf(value, where));
      case DataType::kVariant:
        return Scalar(value, where);
      case DataType::kChar:
      case DataType::kVarChar:
      case DataType::kLongVarChar:
      case DataType::kVarWChar:
        break;
    }
    std::string text = Text(value, where);
    if (field.defined_size > 0 && CodePoints(text) > static_cast<size_t>(field.defined_size)) {
      Fail(where,
           Shown(value) + " is longer than " + std::to_string(field.defined_size) + " characters");
    }
    return Variant(std::move(text));
  }

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
    if (fields != nullptr) {
      std::vector<FieldInfo> infos;
      if (recordset) {
        for (int i = 0; i < recordset->FieldCount(); ++i) infos.push_back(recordset->Field(i));
      }
      const size_t schema_fields = infos.size();
      for (size_t i = 0; i < fields->items.size(); ++i) {
        const std::string where = name + " field " + std::to_string(i + 1);
        FieldInfo info = ReadFieldInfo(fields->items[i], where);
        for (size_t j = 0; j < infos.size(); ++j) {
          if (EqualsNoCase(infos[j].name, info.name)) {
            Fail(where, info.name + (j < schema_fields ? " is a field of the schema already"
                                                       : " is listed twice"));
          }
        }
        infos.push_back(std::move(info));
      }
      if (infos.empty()) Fail(name, "no fields");
      recordset = Recordset::Create();
      for (FieldInfo& info : infos) recordset->AppendField(std::move(info));
      recordset->Open();
    }

    for (size_t r = 0; r < rows->items.size(); ++r) {
      const Value& row = rows->items[r];
      const std::string row_where = name + " row " + std::to_string(r + 1);
      if (!row.IsObject()) Fail(row_where, Shown(row) + " is not a row object");
      recordset->AddNew();
      std::vector<bool> given(static_cast<size_t>(recordset->FieldCount()), false);
      for (const auto& [field_name, field_value] : row.members) {
        const auto ref = recordset->TryResolve(field_name);
        if (!ref) Fail(row_where + ", field " + field_name, "no such field in " + name);
        const FieldInfo& field = recordset->Field(ref->index());
        const std::string where = row_where + ", field " + field.name;
        if (given[static_cast<size_t>(ref->index())]) Fail(where, "given twice");
        given[static_cast<size_t>(ref->index())] = true;
        Variant converted = FieldValue(field, field_value, where);
        try {
          recordset->Set(*ref, std::move(converted));
        } catch (const Error& e) {
          Fail(where, Shown(field_value) + " cannot be stored: " + e.description());
        }
      }
      recordset->Update();
    }
    recordset->MoveFirst();
    return recordset;
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

  std::string file_;
};

// Formats a document. Values are written by their subtype: Decimal with its
// scale, dates as ISO text; Empty fields are left out.
class Formatter {
 public:
  std::string Format(const DocumentFile& file, const EngineOutcome* outcome) {
    if (!file.document) Raise(err::kObjectNotSet, kSource, "the document file has no document");
    HostDocument& document = *file.document;
    writer_.BeginObject();
    writer_.Key("format");
    writer_.Number(kFormatVersion);
    WriteCompany(*document.Company());
    if (file.session) {
      writer_.Key("session");
      writer_.BeginObject();
      TextMember("user", file.session->CurrentUser());
      TextMember("group", file.session->group());
      writer_.EndObject();
    }
    writer_.Key("settings");
    writer_.BeginObject();
    for (const auto& [name, value] : document.document_settings()) {
      writer_.Key(name);
      WriteVariant(value, "settings." + name);
    }
    writer_.EndObject();
    WriteState(document);
    WriteMessages(document, file.session.get());
    if (file.error_answer) {
      NumberMember("error_answer", *file.error_answer);
    }
    writer_.Key("recordsets");
    writer_.BeginObject();
    for (int i = 0; i < kDocumentTableCount; ++i) {
      const auto table = static_cast<DocumentTable>(i);
      if (const auto recordset = document.Get(table)) WriteRecordset(table, *recordset);
    }
    writer_.EndObject();
    WriteCalculation(document);
    WriteReport(document, outcome);
    writer_.EndObject();
    return writer_.Finish();
  }

 private:
  [[noreturn]] static void Unwritable(std::string_view where, std::string_view what) {
    RaiseText(err::kBadDocumentFile, kSource,
              std::string(where) + ": " + std::string(what) + " cannot be written to a file");
  }

  void WriteDouble(double value, std::string_view where) {
    if (!std::isfinite(value)) Unwritable(where, "the Double " + std::to_string(value));
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    writer_.Number(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
  }

  void WriteVariant(const Variant& value, std::string_view where) {
    switch (value.type()) {
      case VarType::kEmpty:
      case VarType::kNull:
        writer_.Null();
        return;
      case VarType::kInteger:
      case VarType::kLong:
      case VarType::kByte:
        writer_.Number(std::to_string(value.CLng()));
        return;
      case VarType::kSingle:
      case VarType::kDouble:
        WriteDouble(value.CDbl(), where);
        return;
      case VarType::kCurrency:
      case VarType::kDecimal:
        writer_.Number(value.CDec().ToString());
        return;
      case VarType::kBoolean:
        writer_.Boolean(value.CBool());
        return;
      case VarType::kDate:
        writer_.String(value.CDate().ToIso());
        return;
      case VarType::kString:
        writer_.String(value.str());
        return;
      case VarType::kVariantArray:
        writer_.BeginArray(true);
        for (const Variant& item : value.array()) WriteVariant(item, where);
        writer_.EndArray();
        return;
      case VarType::kObject:
        if (value.IsNothing()) {
          writer_.Null();
          return;
        }
        if (const auto dictionary = std::dynamic_pointer_cast<Dictionary>(value.object())) {
          WriteDictionary(*dictionary, where);
          return;
        }
        Unwritable(where, "an object (" + std::string(value.object()->TypeName()) + ")");
      default:
        Unwritable(where, value.Describe());
    }
  }

  void WriteDictionary(const Dictionary& dictionary, std::string_view where) {
    writer_.BeginObject();
    const std::vector<std::string> keys = dictionary.Keys();
    const VariantArray items = dictionary.Items();
    for (size_t i = 0; i < keys.size(); ++i) {
      writer_.Key(keys[i]);
      WriteVariant(items[i], std::string(where) + "." + keys[i]);
    }
    writer_.EndObject();
  }

  void WriteCompany(const CurrentCompany& company) {
    writer_.Key("company");
    writer_.BeginObject();
    NumberMember("number", company.company_number);
    TextMember("currency", company.currency_code);
    // The settings are numbers however the host holds them (the engine reads
    // them as numbers), so a text "2" is written as 2 and reads back.
    if (!company.first_decimals.IsEmpty()) {
      writer_.Key("first_decimals");
      WriteVariant(
          company.first_decimals.IsNull() ? company.first_decimals : NzDec(company.first_decimals),
          "company.first_decimals");
    }
    if (!company.second_decimals.IsEmpty()) {
      writer_.Key("second_decimals");
      WriteVariant(company.second_decimals.IsNull() ? company.second_decimals
                                                    : NzDec(company.second_decimals),
                   "company.second_decimals");
    }
    TextMember("accounts_group", company.accounts_group);
    TextMember("customers_control_account", company.customers_control_account);
    TextMember("suppliers_control_account", company.suppliers_control_account);
    writer_.Key("currencies");
    writer_.BeginObject(true);
    for (const auto& [code, decimals] : company.currency_decimals) {
      NumberMember(code, decimals);
    }
    writer_.EndObject();
    WriteDocumentDefaults(company);
    writer_.EndObject();
  }

  void WriteDocumentDefaults(const CurrentCompany& company) {
    if (company.site_defaults != 0) NumberMember("site_defaults", company.site_defaults);
    const auto* parameters =
        dynamic_cast<const HostDocumentParameters*>(company.document_parameters.get());
    if (parameters == nullptr) return;
    writer_.Key("document_parameters");
    writer_.BeginObject();
    WriteFlag("enabled", parameters->enabled);
    writer_.Key("entries");
    writer_.BeginArray();
    for (const auto& entry : parameters->entries) {
      writer_.BeginObject(true);
      NumberMember("type_id", entry.type_id);
      TextMember("document", entry.code);
      for (const auto& [name, value] :
           {std::pair<const char*, const Variant*>{"section", &entry.section},
            {"deposit", &entry.deposit},
            {"priority_table", &entry.priority_table}}) {
        if (value->IsEmpty()) continue;
        writer_.Key(name);
        WriteVariant(*value, "company.document_parameters");
      }
      writer_.EndObject();
    }
    writer_.EndArray();
    writer_.EndObject();
  }

  void WriteFlag(std::string_view name, bool value) {
    writer_.Key(name);
    writer_.Boolean(value);
  }
  void NumberMember(std::string_view name, int64_t value) {
    writer_.Key(name);
    writer_.Number(std::to_string(value));
  }
  void TextMember(std::string_view name, std::string_view text) {
    writer_.Key(name);
    writer_.String(text);
  }

  void WriteDateVariant(std::string_view name, const Variant& value) {
    if (value.IsEmpty()) return;
    writer_.Key(name);
    WriteVariant(value, "state." + std::string(name));
  }

  // Its 1-based row number in the body as written; 0 when it names no row.
  static int BodyRowOf(HostDocument& document, const Variant& bookmark) {
    const auto wanted = Bookmark::FromVariant(bookmark);
    const auto body = document.Get(DocumentTable::kBody);
    if (!wanted || !body || body->State() != ObjectState::kOpen) return 0;
    const auto cursor = body->Clone();
    int row = 1;
    for (cursor->MoveFirst(); !cursor->Eof(); cursor->MoveNext(), ++row) {
      if (cursor->GetBookmark() == *wanted) return row;
    }
    return 0;
  }

  // Each installment up to its last column that is not Empty, so the table reads back the same.
  void WriteInstallmentTable(const std::vector<std::array<Variant, 15>>& table) {
    writer_.Key("installment_table");
    writer_.BeginArray();
    for (size_t r = 0; r < table.size(); ++r) {
      const auto& columns = table[r];
      size_t used = columns.size();
      while (used > 0 && columns[used - 1].IsEmpty()) --used;
      writer_.BeginArray(true);
      for (size_t c = 0; c < used; ++c) {
        WriteVariant(columns[c], "state.installment_table installment " + std::to_string(r + 1) +
                                     " column " + std::to_string(c + 1));
      }
      writer_.EndArray();
    }
    writer_.EndArray();
  }

  void WriteState(HostDocument& document) {
    const DocumentState& state = document.State();
    const auto flag = [&](std::string_view name) {
      for (const BoolMember& m : kStateFlags) {
        if (m.name == name) WriteFlag(name, state.*(m.member));
      }
    };
    writer_.Key("state");
    writer_.BeginObject();
    writer_.Key("in_use");
    writer_.BeginObject(true);
    for (int i = 0; i < kDocumentTableCount; ++i) {
      if (!state.in_use[i]) continue;
      WriteFlag(DocumentTableName(static_cast<DocumentTable>(i)), *state.in_use[i]);
    }
    writer_.EndObject();
    NumberMember("highest_row_progressive", state.highest_row_progressive);
    // A bookmark that names no body row (none, or a deleted one) is left out.
    if (state.excluded_row_bookmark.IsNull()) {
      writer_.Key("excluded_row_bookmark");
      writer_.Null();
    } else if (const int row = BodyRowOf(document, state.excluded_row_bookmark); row > 0) {
      NumberMember("excluded_row_bookmark", row);
    }
    if (state.no_conversion) WriteFlag("no_conversion", *state.no_conversion);
    flag("clear_discount_detail");
    flag("new_document");
    flag("schedule_locked");
    flag("totals_changed");
    flag("grouped_rows");
    flag("row_edit");
    NumberMember("document_mode", state.document_mode);
    NumberMember("hand_entered_installments", state.hand_entered_installments);
    if (!state.installment_table.empty()) WriteInstallmentTable(state.installment_table);
    flag("payment_substituted");
    TextMember("substituted_payment_code", state.substituted_payment_code);
    flag("header_agents");
    flag("row_agents");
    flag("type9_never_suspended");
    flag("use_reference_dates");
    WriteDateVariant("first_reference_date", state.first_reference_date);
    WriteDateVariant("second_reference_date", state.second_reference_date);
    writer_.EndObject();
  }

  // The document's catalogue and the session's are filled alike on reading;
  // should they differ, the document's text wins.
  void WriteMessages(HostDocument& document, HostSession* session) {
    std::map<int32_t, std::string> texts;
    if (session) texts = session->catalogue().texts();
    for (const auto& [number, text] : document.catalogue().texts()) texts[number] = text;
    if (texts.empty()) return;
    writer_.Key("messages");
    writer_.BeginObject();
    for (const auto& [number, text] : texts) {
      TextMember(std::to_string(number), text);
    }
    writer_.EndObject();
  }

  void WriteFieldInfo(const FieldInfo& field) {
    writer_.BeginObject(true);
    TextMember("name", field.name);
    NumberMember("type", static_cast<int>(field.type));
    NumberMember("size", field.defined_size);
    NumberMember("precision", field.precision);
    NumberMember("scale", field.numeric_scale);
    if (field.attributes != kDefaultAttributes) {
      NumberMember("attributes", field.attributes);
    }
    writer_.EndObject();
  }

  // The fields a file must describe: all of them for the tax summary, those
  // beyond the schema for the other tables.
  static std::vector<FieldInfo> DescribedFields(DocumentTable table, const Recordset& recordset) {
    std::vector<FieldInfo> described;
    std::shared_ptr<Recordset> schema;
    if (table != DocumentTable::kTaxSummary) schema = NewDocumentRecordset(table);
    for (int i = 0; i < recordset.FieldCount(); ++i) {
      const FieldInfo& field = recordset.Field(i);
      if (!schema || !schema->TryResolve(field.name)) described.push_back(field);
    }
    return described;
  }

  void WriteRecordset(DocumentTable table, Recordset& recordset) {
    const std::string name(DocumentTableName(table));
    writer_.Key(name);
    const std::vector<FieldInfo> described = DescribedFields(table, recordset);
    const bool with_fields = table == DocumentTable::kTaxSummary || !described.empty();
    if (with_fields) {
      writer_.BeginObject();
      writer_.Key("fields");
      writer_.BeginArray();
      for (const FieldInfo& field : described) WriteFieldInfo(field);
      writer_.EndArray();
      writer_.Key("rows");
    }
    writer_.BeginArray();
    // A closed recordset has no rows to show; it is written empty.
    if (recordset.State() == ObjectState::kOpen) {
      const auto cursor = recordset.Clone();
      int row = 1;
      for (cursor->MoveFirst(); !cursor->Eof(); cursor->MoveNext(), ++row) {
        writer_.BeginObject();
        for (int i = 0; i < cursor->FieldCount(); ++i) {
          const Variant& value = cursor->Get(FieldRef(i));
          if (value.IsEmpty()) continue;
          const std::string& field = cursor->Field(i).name;
          writer_.Key(field);
          WriteVariant(AtFieldScale(value, cursor->Field(i)),
                       name + " row " + std::to_string(row) + ", field " + field);
        }
        writer_.EndObject();
      }
    }
    writer_.EndArray();
    if (with_fields) writer_.EndObject();
  }

  // Written when the document has linked expense records or a base not 0.
  void WriteCalculation(const HostDocument& document) {
    const auto& bases = document.withholding_bases();
    const bool any_base = std::any_of(
        bases.begin(), bases.end(), [](const Variant& base) { return !NzDecimal(base).is_zero(); });
    const auto& links = document.expense_links();
    if (!links && !any_base) return;
    writer_.Key("calculation");
    writer_.BeginObject();
    if (links) {
      writer_.Key("expense_links");
      writer_.BeginArray();
      const auto cursor = links->Clone();
      for (cursor->MoveFirst(); !cursor->Eof(); cursor->MoveNext()) {
        writer_.BeginObject(true);
        for (int i = 0; i < cursor->FieldCount(); ++i) {
          if (cursor->Get(FieldRef(i)).IsEmpty()) continue;
          writer_.Key(cursor->Field(i).name);
          WriteVariant(cursor->Get(FieldRef(i)), "calculation.expense_links");
        }
        writer_.EndObject();
      }
      writer_.EndArray();
    }
    writer_.Key("withholding_bases");
    writer_.BeginArray(true);
    for (const Variant& base : bases) WriteVariant(base, "calculation.withholding_bases");
    writer_.EndArray();
    writer_.EndObject();
  }

  void WriteReport(const HostDocument& document, const EngineOutcome* outcome) {
    if (!document.messages().empty()) {
      writer_.Key("shown_messages");
      writer_.BeginArray();
      for (const ShownMessage& message : document.messages()) {
        writer_.BeginObject(true);
        TextMember("text", message.text);
        TextMember("title", message.title);
        NumberMember("style", message.style);
        writer_.EndObject();
      }
      writer_.EndArray();
    }
    if (!document.asked_errors().empty()) {
      writer_.Key("asked_errors");
      writer_.BeginArray();
      for (const AskedError& asked : document.asked_errors()) {
        writer_.BeginObject(true);
        TextMember("procedure", asked.procedure);
        NumberMember("number", asked.number);
        TextMember("source", asked.source);
        TextMember("description", asked.description);
        NumberMember("answer", asked.answer);
        writer_.EndObject();
      }
      writer_.EndArray();
    }
    if (outcome == nullptr) return;
    writer_.Key("edited_rows");
    if (outcome->edited_rows.IsArray()) {
      WriteVariant(outcome->edited_rows, "edited_rows");
    } else {
      writer_.BeginArray(true);
      if (!outcome->edited_rows.IsEmpty()) WriteVariant(outcome->edited_rows, "edited_rows");
      writer_.EndArray();
    }
    writer_.Key("totals");
    if (outcome->totals) {
      WriteDictionary(*outcome->totals, "totals");
    } else {
      writer_.BeginObject();
      writer_.EndObject();
    }
    if (!outcome->warnings.empty()) WriteWarnings(outcome->warnings);
  }

  void WriteWarnings(const std::vector<TaxWarning>& warnings) {
    writer_.Key("warnings");
    writer_.BeginArray();
    for (const TaxWarning& warning : warnings) {
      writer_.BeginObject(true);
      TextMember("kind", warning.kind);
      TextMember("tax_area", warning.tax_area);
      if (!warning.tax_group.empty()) TextMember("tax_group", warning.tax_group);
      writer_.Key("rows");
      writer_.BeginArray(true);
      for (int32_t row : warning.rows) writer_.Number(std::to_string(row));
      writer_.EndArray();
      writer_.Key("net");
      WriteVariant(warning.net, "warnings.net");
      TextMember("text", warning.text);
      writer_.EndObject();
    }
    writer_.EndArray();
  }

  json::Writer writer_;
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

std::string FormatDocumentFile(const DocumentFile& file, const EngineOutcome* outcome) {
  return Formatter().Format(file, outcome);
}

void WriteDocumentFile(const std::string& path, const DocumentFile& file,
                       const EngineOutcome* outcome) {
  // Formatting can fail: do it before touching the file system.
  OutputFile output(path, FormatDocumentFile(file, outcome), kSource);
  output.Commit();
}

}  // namespace tarvolin
