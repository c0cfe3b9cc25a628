// The PostgreSQL backend on the test server: exact values, the bad servers a
// user can name, and a registration cut off half-way.
#include "tarvolin/db/postgres_connection.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/batch_runner.h"
#include "cli/recalc_command.h"
#include "db/demo_database.h"
#include "db/postgres_test_server.h"
#include "support/errors.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/db/company_database.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {
namespace {

using testing_support::Raises;
using testing_support::ServerDatabase;

TEST(PostgresConnection, ServersThatCannotServeAreNamedWithTheCause) {
  struct Case {
    std::string uri;
    const char* named;
    const char* cause;
  };
  std::vector<Case> cases = {
      {"postgresql://me:secret@[::1/db", "postgresql://me:***@[::1/db", "IPv6"},
      {"postgres://u@/db?host=/tmp&colour=red", "postgres://u@/db", "colour"},
      {"postgresql://u@/db?host=/nonexistent-tarvolin", "/nonexistent-tarvolin:5432/db",
       "No such file"},
  };
  if (testing_support::PostgresTestServerMissing().empty()) {
    cases.push_back({testing_support::PostgresTestUri("no_such_db"), "/no_such_db",
                     "database \"no_such_db\" does not exist"});
    const std::string nobody = testing_support::PostgresTestUri("postgres");
    cases.push_back({"postgresql://nobody@" + nobody.substr(nobody.find('@') + 1), "/postgres",
                     "role \"nobody\" does not exist"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uri);
    EXPECT_TRUE(Raises([&] { OpenCompanyDatabase(c.uri); }, err::kConnectionUnusable,
                       "PostgresConnection", c.named));
    EXPECT_TRUE(Raises([&] { OpenCompanyDatabase(c.uri); }, err::kConnectionUnusable, "", c.cause));
    EXPECT_EQ(
        testing_support::ErrorOf([&] { OpenCompanyDatabase(c.uri); }).description().find("secret"),
        std::string::npos);
  }
}

TEST(PostgresConnection, ValuesAreExactAndAFailedStatementSparesItsTransaction) {
  SKIP_WITHOUT_POSTGRES();
  ServerDatabase server;
  auto db = PostgresConnection::Open(server.uri());
  db->ExecuteScript(
      "CREATE TABLE T (ID INT PRIMARY KEY, TAX DECIMAL(38,20), AMOUNT DECIMAL(13,2), "
      "ON_DAY TIMESTAMP, CODE CHAR(10) COLLATE \"C\", NAME VARCHAR(20) COLLATE \"C\")");
  EXPECT_EQ(db->ExecuteNonQuery("INSERT INTO T VALUES (1, 0.12345678901234567891, 5, "
                                "'20260310', 'CA-ST     ', 'b'), (2, NULL, NULL, NULL, NULL, "
                                "NULL)"),
            2);
  db->BeginTrans();
  EXPECT_TRUE(Raises([&] { db->Execute("INSERT INTO T (ID) VALUES (1)"); }, err::kDatabaseError,
                     "PostgresConnection", "duplicate key value"));
  db->Execute("UPDATE T SET NAME = 'a' WHERE ID = 2");  // the transaction goes on
  db->CommitTrans();
  auto rs = db->Execute("SELECT * FROM T ORDER BY NAME DESC");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Get("TAX").CDec().ToString(), "0.12345678901234567891");
  EXPECT_EQ(rs->Get("AMOUNT").CDec().ToString(), "5.00");
  EXPECT_EQ(rs->Get("ON_DAY").CDate().ToIso(), "2026-03-10");
  EXPECT_EQ(rs->Get("CODE").CStr(), "CA-ST     ");
  rs->MoveNext();
  EXPECT_EQ(rs->Get("NAME").CStr(), "a");
  EXPECT_TRUE(rs->Get("TAX").IsNull());
  // A text compares byte for byte, trailing blanks and letter case included.
  EXPECT_TRUE(db->Execute("SELECT ID FROM T WHERE NAME = 'A' OR NAME = 'a '")->Eof());
}

TEST(PostgresConnection, InitRefusesAFullDatabaseAndALostConnectionStoresNothing) {
  SKIP_WITHOUT_POSTGRES();
  testing_support::DemoDatabase demo(testing_support::Backend::kPostgres);
  EXPECT_TRUE(Raises([&] { InitCompanyDatabase(demo.path(), {}); }, err::kObjectOpen, "",
                     "already holds tables; use --force"));
  {
    ServerDatabase empty;
    EXPECT_TRUE(Raises([&] { OpenCompanyDatabase(empty.uri()); }, err::kConnectionUnusable, "",
                       "is not a company database (no table DO11_DOCTESTATA)"));
  }

  const std::string count_sql =
      "SELECT COUNT(*) AS N FROM DO74_USATAX WHERE DO74_USANUMREG_CO99 = '2026000102'";
  Connection& db = demo.database();
  const int32_t stored = db.Execute(count_sql)->Get("N").CLng();
  auto writer = OpenCompanyDatabase(demo.path());
  const Variant pid = writer->Execute("SELECT pg_backend_pid() AS P")->Get("P");
  writer->BeginTrans();
  writer->Execute("DELETE FROM DO74_USATAX WHERE DO74_USANUMREG_CO99 = '2026000102'");
  db.Execute("SELECT pg_terminate_backend(" + pid.CStr() + ")");
  EXPECT_TRUE(Raises([&] { writer->Execute(count_sql); }, err::kConnectionUnusable,
                     "PostgresConnection", "lost the connection to PostgreSQL server"));
  EXPECT_EQ(writer->TransactionLevel(), 0);
  EXPECT_EQ(db.Execute(count_sql)->Get("N").CLng(), stored);

  // --force builds it again from nothing.
  writer.reset();
  db.Execute("DELETE FROM DO74_USATAX");
  demo.database().Close();
  InitCompanyDatabase(demo.path(), {.demo = true, .force = true});
  EXPECT_EQ(OpenCompanyDatabase(demo.path())->Execute(count_sql)->Get("N").CLng(), stored);
}

// Two workers registering the sample invoice into one server at once, over
// and over: each registration replaces the document's rows, so however they
// interleave the tables end as after one registration.
TEST(PostgresConnection, WorkersRegisteringOneDocumentAtOnceLeaveOneCompleteSet) {
  SKIP_WITHOUT_POSTGRES();
  testing_support::DemoDatabase demo(testing_support::Backend::kPostgres);
  const std::string sample = std::string(TARVOLIN_SOURCE_DIR) + "/data/samples/invoice.json";
  const auto register_once = [&](int worker, int run) {
    const std::string out =
        (demo.dir() / ("out" + std::to_string(worker) + "_" + std::to_string(run))).string();
    std::ostringstream shown, errors;
    const int code = cli::RecalcMain(
        {sample, "--db", demo.path(), "--no-schedule", "--register", "--out", out}, shown, errors);
    return code == 0 ? std::string() : errors.str();
  };
  const auto stored = [&] {
    auto rs = demo.database().Execute(
        "SELECT (SELECT COUNT(*) FROM DO73_DOCCONTROPARTITE) AS C73, (SELECT COUNT(*) FROM "
        "DO74_USATAX) AS C74, (SELECT SUM(DO74_IMPNOTROUND) FROM DO74_USATAX) AS S74");
    return rs->Get("C73").CStr() + " " + rs->Get("C74").CStr() + " " + rs->Get("S74").CStr();
  };
  ASSERT_EQ(register_once(0, 0), "");
  const std::string once = stored();

  std::vector<std::string> failures(2);
  std::vector<std::thread> workers;
  for (int w = 0; w < 2; ++w) {
    workers.emplace_back([&, w] {
      for (int run = 1; run <= 4 && failures[static_cast<size_t>(w)].empty(); ++run) {
        failures[static_cast<size_t>(w)] = register_once(w, run);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(failures, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(stored(), once);
}

// A batch on four workers into one server: 150 copies of the sample invoice,
// each listed twice in a row so that two workers register it at the same
// time. Every copy ends with the rows of one registration, whose tax is the
// document's own total tax: nothing lost, nothing doubled.
TEST(PostgresConnection, FourWorkersRegisterABatchWithNoRowLostOrDoubled) {
  SKIP_WITHOUT_POSTGRES();
  testing_support::DemoDatabase demo(testing_support::Backend::kPostgres);
  std::ifstream in(std::string(TARVOLIN_SOURCE_DIR) + "/data/samples/invoice.json");
  const std::string sample((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string number = "2026000104";
  constexpr int kCopies = 150;
  std::vector<std::string> documents;
  for (int i = 0; i < kCopies; ++i) {
    std::string copy = sample;
    const std::string copy_number = std::to_string(2027000000 + i);
    for (size_t at = copy.find(number); at != std::string::npos; at = copy.find(number, at)) {
      copy.replace(at, number.size(), copy_number);
    }
    const std::string path = (demo.dir() / (copy_number + ".json")).string();
    std::ofstream(path) << copy;
    documents.insert(documents.end(), 2, path);
  }
  cli::BatchSettings settings;
  settings.options.database = demo.path();
  settings.options.register_document = true;
  settings.options.jobs = 4;
  cli::Progress progress = cli::Progress::Silent();
  const cli::BatchResult result = cli::RunBatch(documents, settings, progress);
  ASSERT_EQ(result.ExitCode(), 0);

  // The document's own figures, from recalculating one copy alone.
  const std::string alone = (demo.dir() / "alone.json").string();
  std::ostringstream shown, errors;
  ASSERT_EQ(cli::RecalcMain({documents[0], "--db", demo.path(), "--out", alone}, shown, errors), 0)
      << errors.str();
  const DocumentFile first = ReadDocumentFile(alone);
  const Decimal tax = NzDecimal(first.document->Get(DocumentTable::kTotals)->Get("DO13_TOTIVA"));
  auto per_document = demo.database().Execute(
      "SELECT DO74_USANUMREG_CO99 AS N, COUNT(*) AS C, SUM(DO74_USAIMPORTO) AS T "
      "FROM DO74_USATAX WHERE DO74_USANUMREG_CO99 LIKE '2027%' "
      "GROUP BY DO74_USANUMREG_CO99 ORDER BY DO74_USANUMREG_CO99");
  ASSERT_EQ(per_document->RecordCount(), kCopies);
  const int32_t lines = per_document->Get("C").CLng();
  EXPECT_GT(lines, 0);
  for (; !per_document->Eof(); per_document->MoveNext()) {
    EXPECT_EQ(per_document->Get("C").CLng(), lines) << per_document->Get("N").CStr();
    EXPECT_EQ(NzDecimal(per_document->Get("T")), tax) << per_document->Get("N").CStr();
  }
  // Every copy has as many counterpart rows as every other.
  auto counterparts = demo.database().Execute(
      "SELECT COUNT(*) AS D, MIN(C) AS LEAST, MAX(C) AS MOST FROM (SELECT COUNT(*) AS C "
      "FROM DO73_DOCCONTROPARTITE WHERE DO73_NUMREG_CO99 LIKE '2027%' "
      "GROUP BY DO73_NUMREG_CO99) AS PER_DOCUMENT");
  EXPECT_EQ(counterparts->Get("D").CLng(), kCopies);
  EXPECT_GT(counterparts->Get("LEAST").CLng(), 0);
  EXPECT_EQ(counterparts->Get("LEAST").CLng(), counterparts->Get("MOST").CLng());
}

}  // namespace
}  // namespace tarvolin
