// tarvolin recalc run in-process on the sample invoice over a demo database.
//
// The sample (2026000104, 2026-03-23, TX-MSP, city rate 1.00%) worked by hand,
// each jurisdiction's tax rounded to the nearest cent (halves away from zero):
//   GENERAL  957.60 + 750.00 + 507.00 = 2214.60: 138.41 + 11.07 + 22.15 + 5.54 = 177.17
//   CLOTHING 516.00:                               32.25 +  2.58 +  5.16 + 1.29 =  41.28
//   FREIGHT  85.00 (MISC, not a calculated expense): 5.31 + 0.43 + 0.85 + 0.21 =   6.80
// Taxable amount 2815.60, tax 225.25, document total and amount to pay 3040.85.
// Terms NET30: one direct remittance of 3040.85 (tax 225.25) due 30 days after
// the document date, on 2026-04-22.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/recalc_command.h"
#include "db/demo_database.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {
namespace {

std::string Sample(const char* name = "invoice.json") {
  return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "data" /
          "samples" / name)
      .string();
}

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Recalc(std::vector<std::string> arguments) {
  std::ostringstream out, err;
  const int code = cli::RecalcMain(arguments, out, err);
  return {code, out.str(), err.str()};
}

// Freight by weight (53.88 lb: 35.00) and a 1.5% collection charge (33.22),
// worked in docs/prices-and-expenses.md.
TEST(RecalcCommand, SampleInvoiceWithCalculatedExpenses) {
  testing_support::DemoDatabase demo;
  const Outcome report =
      Recalc({Sample("invoice_expenses.json"), "--db", demo.path(), "--format", "text"});
  ASSERT_EQ(report.code, 0) << report.err;
  for (const char* line :
       {"  Taxable amount  2282.82\n", "  Tax              179.98\n", "  Document total  2462.80\n",
        "    4  FRTWEIGHT      1.00   35.00       35.00", "    5  COLLECT        1.00   33.22",
        "  FREIGHT   TX-ST           35.00  6.2500    2.19\n"}) {
    EXPECT_NE(report.out.find(line), std::string::npos) << line << " in\n" << report.out;
  }
}

TEST(RecalcCommand, SampleInvoiceReportsTheHandWorkedTotalsAndRegisters) {
  testing_support::DemoDatabase demo;
  const Outcome report = Recalc({Sample(), "--db", demo.path(), "--format", "text"});
  ASSERT_EQ(report.code, 0) << report.err;
  EXPECT_EQ(report.err, "");
  for (const char* line :
       {"  Taxable amount  2815.60\n", "  Tax              225.25\n", "  Document total  3040.85\n",
        "  Amount to pay   3040.85\n", "  FREIGHT   TX-CO-PEC       85.00  0.5000    0.43\n",
        "    1  2026-04-22       1  3040.85  225.25    0.00        0.00                        "
        "NET30\n"}) {
    EXPECT_NE(report.out.find(line), std::string::npos) << line << " in\n" << report.out;
  }

  // JSON on standard output: the document file, read back as one.
  const Outcome json = Recalc({Sample(), "--db", demo.path(), "--no-schedule"});
  ASSERT_EQ(json.code, 0) << json.err;
  const DocumentFile file = ParseDocumentFile(json.out, "stdout");
  EXPECT_EQ(NzDecimal(file.document->Get(DocumentTable::kTotals)->Get("DO13_TOTIVA")),
            Decimal::Parse("225.25"));

  // Registered: the twelve summary lines (three groups by four jurisdictions).
  const auto stored_lines = [&] {
    return demo.connection().Execute(
        "SELECT COUNT(*) AS N, SUM(DO74_USAIMPORTO) AS T FROM DO74_USATAX "
        "WHERE DO74_USANUMREG_CO99 = '2026000104'");
  };
  EXPECT_EQ(stored_lines()->Get("N").CLng(), 0);
  const std::string out = (demo.dir() / "after.json").string();
  const Outcome registered =
      Recalc({Sample(), "--db", demo.path(), "--no-schedule", "--register", "--out", out});
  ASSERT_EQ(registered.code, 0) << registered.err;
  EXPECT_EQ(registered.out, "");
  EXPECT_TRUE(std::filesystem::exists(out));
  auto stored = stored_lines();
  EXPECT_EQ(stored->Get("N").CLng(), 12);
  EXPECT_EQ(NzDecimal(stored->Get("T")).RoundHalfEven(2), Decimal::Parse("225.25"));
}

TEST(RecalcCommand, AgentsSampleReportsEachAgentsCommission) {
  // docs/commissions.md works the figures out.
  testing_support::DemoDatabase demo;
  const Outcome report =
      Recalc({Sample("invoice_agents.json"), "--db", demo.path(), "--format", "text"});
  ASSERT_EQ(report.code, 0) << report.err;
  for (const char* line :
       {"    101  2594.07      132.20    5.09624\n", "    102  2594.07      103.77       4.00\n",
        "    105  2594.07       34.21    1.31878\n"}) {
    EXPECT_NE(report.out.find(line), std::string::npos) << line << " in\n" << report.out;
  }
}

TEST(RecalcCommand, FailuresExitWithTheirCodeAndWriteNothing) {
  testing_support::DemoDatabase demo;
  const std::string out = (demo.dir() / "out.json").string();

  const std::string bad = (demo.dir() / "bad.json").string();
  std::ofstream(bad) << R"({"format": 1, "company": {"number": 1, "currency": "USD"}})";
  const Outcome unreadable = Recalc({bad, "--db", demo.path(), "--no-schedule", "--out", out});
  EXPECT_EQ(unreadable.code, 2);
  EXPECT_NE(unreadable.err.find("error 31037 in DocumentFile: " + bad + ": no \"recordsets\""),
            std::string::npos)
      << unreadable.err;

  const Outcome no_database = Recalc({Sample(), "--db", (demo.dir() / "none.db").string()});
  EXPECT_EQ(no_database.code, 1);
  EXPECT_NE(no_database.err.find("error 3709"), std::string::npos) << no_database.err;
  EXPECT_EQ(no_database.out, "");

  // A statement the database refuses: one line naming the table; the statement on request.
  demo.connection().ExecuteScript("ALTER TABLE NV05_TAXDETAIL RENAME COLUMN NV05_TAXTYPE TO GONE");
  for (const bool verbose : {false, true}) {
    std::vector<std::string> arguments = {Sample(), "--db", demo.path(), "--no-schedule"};
    if (verbose) arguments.push_back("--verbose");
    const Outcome refused = Recalc(arguments);
    EXPECT_EQ(refused.code, 1);
    const std::string first_line = refused.err.substr(0, refused.err.find('\n'));
    EXPECT_TRUE(
        first_line.starts_with("tarvolin: database error in RicalcolaTotaliDaRigheCorpo: <- "))
        << first_line;
    EXPECT_TRUE(
        first_line.ends_with(": no such column: NV05_TAXTYPE (statement on NV05_TAXDETAIL)"))
        << first_line;
    EXPECT_EQ(first_line.find("-2147217900"), std::string::npos);
    if (verbose) {
      EXPECT_NE(refused.err.find("\nstatement: SELECT TOP 1\r\n    *\r\nFROM"), std::string::npos);
    } else {
      EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    }
  }

  // Registering counterparts that were not rebuilt is refused as a usage error.
  EXPECT_EQ(Recalc({Sample(), "--register", "--no-counterparts"}).code,
            static_cast<int>(CLI::ExitCodes::ExcludesError));
}

}  // namespace
}  // namespace tarvolin
