#include "tarvolin/host/document_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/errors.h"
#include "support/recordsets.h"

namespace tarvolin {
namespace {

using testing_support::Fields;
using testing_support::Raises;

std::string Document(std::string_view recordsets, std::string_view sections = "") {
  return R"({"format": 1, "company": {"number": 1, "currency": "USD"}, )" + std::string(sections) +
         R"("recordsets": {)" + std::string(recordsets) + "}}";
}

// The description of the kBadDocumentFile the text raises; "" when it reads.
std::string ReadError(std::string_view text) {
  try {
    ParseDocumentFile(text, "t.json");
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kBadDocumentFile) << e.what();
    EXPECT_EQ(e.source(), "DocumentFile");
    return e.description();
  }
  return "";
}

std::string SamplePath() {
  return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "data" /
          "samples" / "invoice.json")
      .string();
}

// A document with a bit of everything the format carries.
DocumentFile SampleDocument() {
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  company->first_decimals = Variant(int16_t{3});
  company->accounts_group = "1";
  company->currency_decimals = {{"USD", 2}, {"JPY", 0}};
  company->site_defaults = 1;
  auto parameters = std::make_shared<HostDocumentParameters>();
  parameters->entries.push_back({11, "SINV", Variant("S"), Variant(), Variant(int16_t{3})});
  company->document_parameters = parameters;
  DocumentFile file{std::make_shared<HostDocument>(company),
                    std::make_shared<HostSession>("jdoe", "SALES"), 4};
  HostDocument& doc = *file.document;
  doc.SetDocumentSetting("INDREGCON", Variant(int16_t{1}));
  doc.SetDocumentSetting("RATE", Variant(Decimal::Parse("0.12500")));
  doc.SetDocumentSetting("CAUSBLOCCO", Variant::Null());
  doc.SetDocumentSetting("FLAG", Variant(true));
  doc.catalogue().Set(1234, "Row %1 has no \"tax\" group");
  file.session->catalogue().Set(1234, "Row %1 has no \"tax\" group");
  file.document->set_error_answer(4);

  auto header = NewDocumentRecordset(DocumentTable::kHeader);
  AppendRow(*header, {1, "INV-0001"});
  header->Set("DO11_CAMBIO", Variant(Decimal::Parse("1.35851234")));
  header->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 3, 2)));
  header->Set("DO11_DATACAMBIO", Variant(Date::FromYmd(2026, 3, 2, 14, 30, 5)));
  header->Set("DO11_CIG", Variant::Null());
  doc.Set(DocumentTable::kHeader, header);

  auto body = NewDocumentRecordset(DocumentTable::kBody);
  for (int row = 1; row <= 3; ++row) AppendRow(*body, {1, "INV-0001", row});
  body->MoveFirst();
  body->Set("DO30_QTA1", Variant(Decimal::Parse("12.50")));
  body->Set("DO30_IMPORTO", Variant(Decimal::Parse("1234567890123.12345")));
  body->Set("DO30_IMPORTO_VAL", Variant::Null());
  body->Set("DO30_DESCRART", Variant("Lantern, 400 lm \"pro\" \xC3\xA9t\xC3\xA9"));
  body->Set("DO30_FLGPRSCVAR", Variant(true));
  body->MoveNext();
  const Variant second_row = body->GetBookmark().ToVariant();
  body->Set("DO30_QTA1", Variant(Decimal::Parse("-0.00001")));
  doc.Set(DocumentTable::kBody, body);
  doc.Set(DocumentTable::kSchedule, NewDocumentRecordset(DocumentTable::kSchedule));

  // The host's counterparts carry a working field the schema lacks.
  std::vector<FieldInfo> fields;
  auto typed = NewDocumentRecordset(DocumentTable::kCounterparts);
  for (int i = 0; i < typed->FieldCount(); ++i) fields.push_back(typed->Field(i));
  fields.push_back({"HOST_NOTE", DataType::kVarChar, 40});
  auto counterparts = MakeRecordset(fields, {{1, "INV-0001", 1}});
  counterparts->Set("HOST_NOTE", Variant("checked"));
  doc.Set(DocumentTable::kCounterparts, counterparts);

  auto tax = MakeRecordset({{"USA74_TAXJUR", DataType::kChar, 10},
                            {"USA74_IMPNOTROUND", DataType::kNumeric, 0, 96, 38, 20}},
                           {{"TX-ST", Decimal::Parse("24.93750000000000000001")}});
  doc.Set(DocumentTable::kTaxSummary, tax);

  DocumentState& state = doc.State();
  state.in_use[static_cast<int>(DocumentTable::kHeaderAgents)] = false;
  state.highest_row_progressive = 3;
  state.excluded_row_bookmark = second_row;
  state.no_conversion = true;
  state.header_agents = true;
  state.document_mode = 2;
  state.substituted_payment_code = "NET30";
  state.first_reference_date = Variant(Date::FromYmd(2026, 4, 30));
  state.second_reference_date = Variant::Null();
  return file;
}

TEST(DocumentFileTest, AcceptsEachValueFormForItsField) {
  const DocumentFile file = ParseDocumentFile(Document(R"("do30_doccorpo": [
        {"DO30_PROGRIGA": "7", "do30_qta1": "1.234567", "DO30_PREZZO1": 1.5E2,
         "DO30_FLGPRSCVAR": -1, "DO30_SCPER1": " 12.5 "},
        {"DO30_PROGRIGA": 8, "DO30_FLGPRSCVAR": 0}])"),
                                              "forms.json");
  const auto body = file.document->Get(DocumentTable::kBody);
  // More decimals than the field keeps: rounded as the field rounds (half to even).
  EXPECT_EQ(Fields(*body, {"DO30_PROGRIGA", "DO30_QTA1", "DO30_SCPER1", "DO30_FLGPRSCVAR"}),
            "Long 7, Decimal 1.23457, Decimal 12.5, Boolean True");
  EXPECT_EQ(body->Get("DO30_PREZZO1").dec(), Decimal(150));
  body->MoveNext();
  EXPECT_EQ(Fields(*body, {"DO30_PROGRIGA", "DO30_FLGPRSCVAR"}), "Long 8, Boolean False");
  // Without "session" the document still has one, with no user.
  EXPECT_EQ(file.session->CurrentUser(), "");
}

TEST(DocumentFileTest, RefusesBadInputNamingThePlace) {
  // The complete description for the common case.
  EXPECT_EQ(ReadError(Document(R"("DO30_DOCCORPO": [{"DO30_QTA1": 1}, {"DO30_QTA1": "abc"}])")),
            R"(t.json: DO30_DOCCORPO row 2, field DO30_QTA1: "abc" is not a number)");

  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {R"({"format": 1,)", "t.json: not valid JSON: parse error at line 1, column 14"},
      {"[1]", "t.json: the file holds an array, not a JSON object"},
      {R"({"company": {"number": 1, "currency": "USD"}, "recordsets": {}})", "no \"format\""},
      {R"({"format": 2, "company": {}, "recordsets": {}})",
       "t.json: format: 2 is not a supported version"},
      {R"({"format": 1, "recordsets": {}})", "t.json: no \"company\" section"},
      {R"({"format": 1, "company": {"number": 1, "currency": "USD"}})", "no \"recordsets\""},
      {Document("", R"("recordset": {}, )"), "t.json: unknown section \"recordset\""},
      {Document("", R"("format": 1, )"), "t.json: \"format\" given twice"},
      {Document("", R"("state": {"new_documnet": true}, )"),
       "t.json: state: unknown key \"new_documnet\""},
      {Document(R"("DO99_NOPE": [])"), "t.json: recordsets: \"DO99_NOPE\" is not a document"},
      {Document(R"("DO30_DOCCORPO": [], "do30_doccorpo": [])"), "DO30_DOCCORPO given twice"},
      {Document(R"("DO30_DOCCORPO": [{}, {"DO30_QTAX": 1}])"),
       "t.json: DO30_DOCCORPO row 2, field DO30_QTAX: no such field"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_QTA1": 1, "do30_qta1": 2}])"),
       "DO30_DOCCORPO row 1, field DO30_QTA1: given twice"},
      {Document(R"("DO30_DOCCORPO": [[]])"), "t.json: DO30_DOCCORPO row 1: an array is not"},
      {Document(R"("DO11_DOCTESTATA": [{"DO11_DATADOC": "2026-13-01"}])"),
       "DO11_DOCTESTATA row 1, field DO11_DATADOC: \"2026-13-01\" is not a date"},
      {Document(R"("DO11_DOCTESTATA": [{"DO11_DATADOC": "3/2/2026"}])"), "is not a date"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_DESCRART": ")" + std::string(81, 'x') + R"("}])"),
       "field DO30_DESCRART: \"xxxxx"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_DESCRART": ")" + std::string(81, 'x') + R"("}])"),
       "...\" is longer than 80 characters"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_PROGRIGA": 1.5}])"),
       "field DO30_PROGRIGA: 1.5 is not a whole number"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_INDTIPORIGA": 70000}])"),
       "field DO30_INDTIPORIGA: 70000 is out of range (-32768 to 32767)"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_QTA1": 1e40}])"), "1e40 is out of range"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_FLGPRSCVAR": 2}])"), "2 is not a boolean"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_CODART_MG66": 123}])"),
       "field DO30_CODART_MG66: 123 is not text"},
      {Document(R"("DO30_DOCCORPO": [{"DO30_QTA1": {"a": 1}}])"), "an object is not a field"},
      {Document(R"("USA74": [])"), "t.json: USA74: has no schema"},
      {Document(R"("USA74": {"fields": [{"name": "X", "type": 999}], "rows": []})"),
       "t.json: USA74 field 1.type: 999 is not a field type"},
      {Document(R"("DO30_DOCCORPO": {"fields": [{"name": "DO30_QTA1", "type": 5}], "rows": []})"),
       "DO30_QTA1 is a field of the schema already"},
      {Document(R"("DO30_DOCCORPO": [{}])", R"("state": {"excluded_row_bookmark": 2}, )"),
       "state.excluded_row_bookmark: row 2 is not a row of DO30_DOCCORPO (it has 1)"},
      {Document("", R"("state": {"in_use": {"DO77_X": true}}, )"),
       "state.in_use: \"DO77_X\" is not a document recordset"},
      {Document("", R"("messages": {"12a": "x"}, )"), "messages: \"12a\" is not a message number"},
      {Document("", R"("settings": {"A": [1]}, )"), "settings.A: an array is not a single value"},
      {R"({"format": 1, "company": {"number": 1, "currency": "USD", "document_parameters": )"
       R"({"entries": [{"type_id": "x"}]}}, "recordsets": {}})",
       "t.json: company.document_parameters.entries[1].type_id: \"x\" is not a number"},
      {R"({"format": 1, "company": {"number": 1, "currency": "USD", "document_parameters": )"
       R"({"enable": true}}, "recordsets": {}})",
       "company.document_parameters: unknown key \"enable\""},
  };
  for (const auto& c : cases) {
    EXPECT_NE(ReadError(c.text).find(c.expected), std::string::npos)
        << "input: " << c.text << "\ndescription: " << ReadError(c.text);
  }
}

TEST(DocumentFileTest, WritesTheEngineOutcomeAndReadsItBackAsADocument) {
  DocumentFile file = SampleDocument();
  file.document->Dialogue().MessageBox("Totals changed", "Recalculation", 48);
  file.document->Dialogue().Errors().Ask("Recalc", 11, "", 0,
                                         Error(11, "Variant", "Division by zero"));
  EngineOutcome outcome;
  outcome.edited_rows = Variant(VariantArray{Variant(2.0), Variant(3.0)});
  outcome.totals = std::make_shared<Dictionary>();
  outcome.totals->Add("TOTDOCUMENTO", Variant(Decimal::Parse("1069.80")));
  outcome.totals->Add("DOXX_TOTQTA1", Variant(Decimal::Parse("12.50")));
  const std::string text = FormatDocumentFile(file, &outcome);

  EXPECT_NE(text.find(R"({"text": "Totals changed", "title": "Recalculation", "style": 48})"),
            std::string::npos);
  EXPECT_NE(text.find(R"("number": 11, "source": "Variant", "description": "Division by zero", )"
                      R"("answer": 4)"),
            std::string::npos);
  EXPECT_NE(text.find(R"("edited_rows": [2, 3])"), std::string::npos);
  const size_t total = text.find(R"("TOTDOCUMENTO": 1069.80)");
  EXPECT_NE(total, std::string::npos);
  EXPECT_LT(total, text.find(R"("DOXX_TOTQTA1": 12.50)"));
  EXPECT_LT(text.find(R"("recordsets")"), text.find(R"("shown_messages")"));

  // The report sections are not part of the document read back.
  const DocumentFile read = ParseDocumentFile(text, "out.json");
  EXPECT_TRUE(read.document->messages().empty());
  EXPECT_EQ(FormatDocumentFile(read), FormatDocumentFile(SampleDocument()));
}

TEST(DocumentFileTest, SampleReadsAndFilesAreWrittenWhole) {
  const DocumentFile sample = ReadDocumentFile(SamplePath());
  const auto header = sample.document->Get(DocumentTable::kHeader);
  EXPECT_EQ(header->Get("DO11_TAXAREA_NV01").str(), "TX-MSP");
  EXPECT_EQ(header->Get("DO11_CODPAG_CG62").str(), "NET30");
  EXPECT_EQ(sample.document->Get(DocumentTable::kBody)->RecordCount(), 5);
  EXPECT_EQ(sample.document->Company()->currency_code, "USD");

  const auto dir =
      std::filesystem::temp_directory_path() / ("tarvolin_docfile_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "out.json").string();
  WriteDocumentFile(path, sample);
  EXPECT_EQ(FormatDocumentFile(ReadDocumentFile(path)), FormatDocumentFile(sample));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);

  // A file that cannot be formatted leaves the old one in place.
  DocumentFile broken{std::make_shared<HostDocument>(nullptr), nullptr, std::nullopt};
  EXPECT_TRUE(Raises([&] { WriteDocumentFile(path, broken); }, err::kObjectNotSet));
  EXPECT_EQ(FormatDocumentFile(ReadDocumentFile(path)), FormatDocumentFile(sample));
  std::filesystem::remove_all(dir);

  EXPECT_TRUE(
      Raises([&] { ReadDocumentFile((dir / "missing.json").string()); }, 53, "", "missing.json"));
}

}  // namespace
}  // namespace tarvolin
