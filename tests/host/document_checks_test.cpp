// The host's checks on a document before the engine sees it, run through
// tarvolin recalc --register on edited copies of the sample invoice: each
// fault gives error 31037 naming the record and field (exit 2), and neither
// the database nor the output file is touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/recalc_command.h"
#include "db/demo_database.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

Json Sample() {
  std::ifstream in(fs::path(__FILE__).parent_path().parent_path().parent_path() / "data" /
                   "samples" / "invoice.json");
  return Json::parse(in);
}

Json& Header(Json& document) { return document["recordsets"]["DO11_DOCTESTATA"][0]; }
Json& Row(Json& document, int row) { return document["recordsets"]["DO30_DOCCORPO"][row - 1]; }

TEST(DocumentChecks, ADocumentThatIsNotWhollyTheCompanysIsRefusedBeforeAnyWrite) {
  testing_support::DemoDatabase demo;
  // A number no double holds goes in as written text.
  constexpr const char* kRaw = "\"(raw)";
  struct Case {
    std::string about;
    void (*edit)(Json&);
    std::string error;  // empty: accepted
    std::string warning = {};
  };
  const Case cases[] = {
      {"a company the database does not have", [](Json& d) { d["company"]["number"] = 3; },
       "company.number: 3 is not a company of the database (TV07_DITTE)"},
      {"a row of another company", [](Json& d) { Row(d, 2)["DO30_DITTA_CG18"] = 2; },
       "DO30_DOCCORPO row 2, field DO30_DITTA_CG18: 2 is not the document's company (1)"},
      {"a row without its company", [](Json& d) { Row(d, 3).erase("DO30_DITTA_CG18"); },
       "DO30_DOCCORPO row 3, field DO30_DITTA_CG18: no value: every record carries the "
       "document's company (1)"},
      {"no registration number",
       [](Json& d) {
         for (auto& [name, rows] : d["recordsets"].items()) {
           for (auto& row : rows) {
             for (auto& [field, value] : row.items()) {
               if (field.ends_with("_NUMREG_CO99")) value = "";
             }
           }
         }
       },
       "DO11_DOCTESTATA row 1, field DO11_NUMREG_CO99: the registration number is empty"},
      {"a row of another document",
       [](Json& d) { d["recordsets"]["DO13_DOCTOTALI"][0]["DO13_NUMREG_CO99"] = "2026000105"; },
       "DO13_DOCTOTALI row 1, field DO13_NUMREG_CO99: \"2026000105\" is not the document's "
       "registration number (\"2026000104\")"},
      {"an unknown currency", [](Json& d) { Header(d)["DO11_VALUTA_CG08"] = "XTS"; },
       "DO11_DOCTESTATA row 1, field DO11_VALUTA_CG08: \"XTS\" is not a currency of the database"},
      {"an unknown tax area", [](Json& d) { Header(d)["DO11_TAXAREA_NV01"] = "ZZ-NONE"; },
       "field DO11_TAXAREA_NV01: \"ZZ-NONE\" is not a tax area of the database (NV01_TAXAREA)"},
      {"an amount too large for its column",
       [](Json& d) { Row(d, 1)["DO30_IMPORTO"] = "(raw)12345678901234567890.123"; },
       "DO30_DOCCORPO row 1, field DO30_IMPORTO: 12345678901234567890.123 has 20 digits before "
       "the decimal point; the field holds 13"},
      {"a number no double holds", [](Json& d) { Row(d, 2)["DO30_IMPORTO"] = "(raw)1e400"; },
       "DO30_DOCCORPO row 2, field DO30_IMPORTO: 1e400 is out of range"},
      {"an unknown tax area where the document is not liable",
       [](Json& d) {
         Header(d)["DO11_TAXAREA_NV01"] = "ZZ-NONE";
         Header(d)["DO11_FLGTAXLIABLE"] = 0;
       },
       "", "tarvolin: warning: "},
  };
  const fs::path out = demo.dir() / "out.json";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.about);
    Json document = Sample();
    c.edit(document);
    std::string text = document.dump(1);
    for (size_t at = text.find(kRaw); at != std::string::npos; at = text.find(kRaw, at)) {
      text.erase(at, std::string_view(kRaw).size());
      text.erase(text.find('"', at), 1);
    }
    const fs::path file = demo.dir() / "document.json";
    std::ofstream(file) << text;
    std::ostringstream stdout_text, err;
    const int code =
        cli::RecalcMain({file.string(), "--db", demo.path(), "--register", "--out", out.string()},
                        stdout_text, err);
    const int stored = demo.connection()
                           .Execute(
                               "SELECT (SELECT COUNT(*) FROM DO73_DOCCONTROPARTITE) + "
                               "(SELECT COUNT(*) FROM DO74_USATAX) AS N")
                           ->Get("N")
                           .CLng();
    if (c.error.empty()) {
      EXPECT_EQ(code, 0) << err.str();
      EXPECT_NE(err.str().find(c.warning), std::string::npos) << err.str();
      EXPECT_GT(stored, 0);
      continue;
    }
    EXPECT_EQ(code, 2);
    EXPECT_NE(err.str().find("error 31037 in DocumentFile: " + file.string() + ": "),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find(c.error), std::string::npos) << err.str();
    EXPECT_EQ(stored, 0);
    EXPECT_FALSE(fs::exists(out));
  }

  // A folder given as the document is a file access error, not bad JSON.
  std::ostringstream stdout_text, err;
  EXPECT_EQ(cli::RecalcMain({demo.dir().string(), "--db", demo.path()}, stdout_text, err), 1);
  EXPECT_NE(err.str().find("error 75 in DocumentFile: Path/File access error: " +
                           demo.dir().string() + " is a folder"),
            std::string::npos)
      << err.str();
}

}  // namespace
}  // namespace tarvolin
