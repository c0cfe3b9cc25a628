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

namespace tarvolin {
namespace {

std::string Sample() {
  return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "data" /
          "samples" / "invoice.json")
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
