// Writing the document file: a document, its state and settings and what a
// run reported, as the file's JSON.
#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "host/document_file_values.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/document_file.h"
#include "tarvolin/host/output_file.h"

namespace tarvolin {
namespace {

using document_file::BoolMember;
using document_file::kDefaultAttributes;
using document_file::kFormatVersion;
using document_file::kSource;
using document_file::kStateFlags;
using document_file::ValueWriter;

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
  void WriteVariant(const Variant& value, std::string_view where) {
    values_.WriteVariant(value, where);
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
      values_.WriteDictionary(*outcome->totals, "totals");
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
  ValueWriter values_{writer_};
};

}  // namespace

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
