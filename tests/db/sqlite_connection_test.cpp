#include "tarvolin/db/sqlite_connection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/errors.h"
#include "tarvolin/db/counting_connection.h"

namespace tarvolin {
namespace {

std::shared_ptr<SqliteConnection> Memory() {
  auto db = SqliteConnection::Open(":memory:");
  db->ExecuteScript(
      "CREATE TABLE T1 (T1_CODICE CHAR(4) NOT NULL, T1_DESCR VARCHAR(20), T1_IMPORTO "
      "DECIMAL(18,2), T1_PERC DECIMAL(9,5), T1_DATA DATETIME, T1_FLG SMALLINT, T1_NUM INT);"
      "INSERT INTO T1 VALUES ('A', 'first', '12.5', 7.25, '2026-01-15', 1, 10);"
      "INSERT INTO T1 VALUES ('B', NULL, '12345678901234.56', NULL, '2026-03-01', 0, NULL);"
      "INSERT INTO T1 VALUES ('C', 'O''Brien', 0.1, 0, NULL, NULL, 30);");
  return db;
}

using testing_support::Raises;

TEST(SqliteConnection, ResultsAreTypedFromTheSchemaAndExact) {
  auto db = Memory();
  auto rs = db->Execute("SELECT * FROM T1 WITH (NOLOCK) ORDER BY T1_CODICE");
  ASSERT_EQ(rs->State(), ObjectState::kOpen);
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Field(0).type, DataType::kChar);
  EXPECT_EQ(rs->Field(0).defined_size, 4);
  EXPECT_EQ(rs->Field(2).type, DataType::kDecimal);
  EXPECT_EQ(rs->Field(2).numeric_scale, 2);
  EXPECT_EQ(rs->Field(4).type, DataType::kDate);
  // Fixed-length text comes back padded; decimals at their column's scale.
  EXPECT_EQ(rs->Get("T1_CODICE").str(), "A   ");
  EXPECT_EQ(rs->Get("T1_IMPORTO").dec().ToString(), "12.50");
  EXPECT_EQ(rs->Get("T1_PERC").dec().ToString(), "7.25000");
  EXPECT_EQ(rs->Get("T1_DATA").CDate(), Date::FromYmd(2026, 1, 15));
  EXPECT_EQ(rs->Get("T1_FLG").type(), VarType::kInteger);
  rs->MoveNext();
  // More digits than a double holds survive the round trip.
  EXPECT_EQ(rs->Get("T1_IMPORTO").dec().ToString(), "12345678901234.56");
  EXPECT_TRUE(rs->Get("T1_DESCR").IsNull());
  rs->MoveNext();
  EXPECT_EQ(rs->Get("T1_IMPORTO").dec().ToString(), "0.10");
  EXPECT_EQ(rs->Get("T1_DESCR").str(), "O'Brien");
}

TEST(SqliteConnection, FailuresNameTheStatementAndTransactionsRollBack) {
  auto db = Memory();
  // One line: the database's message and the table; the statement is the context.
  EXPECT_TRUE(Raises([&] { db->Execute("SELECT NOPE FROM T1"); }, err::kDatabaseError, "",
                     "no such column: NOPE (statement on T1)"));
  EXPECT_EQ(testing_support::ErrorOf([&] { db->Execute("SELECT NOPE FROM T1"); }).context(),
            "statement: SELECT NOPE FROM T1");

  db->BeginTrans();
  db->ExecuteNonQuery("DELETE FROM T1");
  EXPECT_EQ(db->BeginTrans(), 2);
  db->ExecuteNonQuery("INSERT INTO T1 (T1_CODICE) VALUES ('X')");
  db->RollbackTrans();  // the inner level only
  EXPECT_EQ(db->Execute("SELECT COUNT(*) AS N FROM T1")->Get("N").CLng(), 0);
  db->RollbackTrans();
  EXPECT_EQ(db->Execute("SELECT COUNT(*) AS N FROM T1")->Get("N").CLng(), 3);
  EXPECT_TRUE(Raises([&] { db->CommitTrans(); }, err::kNotAllowed));

  // A failure inside InTransaction leaves the rows as they were.
  EXPECT_TRUE(Raises(
      [&] {
        InTransaction(*db, [&] {
          db->ExecuteNonQuery("DELETE FROM T1 WHERE T1_CODICE = 'A'");
          db->ExecuteNonQuery("INSERT INTO T1 (T1_DESCR) VALUES ('no code')");
        });
      },
      err::kDatabaseError, "", "T1_CODICE"));
  EXPECT_EQ(db->Execute("SELECT COUNT(*) AS N FROM T1")->Get("N").CLng(), 3);
  EXPECT_EQ(db->TransactionLevel(), 0);

  db->Close();
  EXPECT_TRUE(Raises([&] { db->Execute("SELECT 1"); }, err::kConnectionUnusable));
}

TEST(SqliteConnection, SecondDatabaseFilesAndCounting) {
  const auto dir =
      std::filesystem::temp_directory_path() /
      ("tarvolin_conn_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const std::string assets = (dir / "assets.db").string();
  {
    auto other = SqliteConnection::Open(assets);
    other->ExecuteScript(
        "CREATE TABLE VS02_ASSET (VS02_COMPANYID INT, VS02_ASSETNO VARCHAR(20), "
        "VS02_DESCRIPTION VARCHAR(50)); INSERT INTO VS02_ASSET VALUES (1, 'FA-1', 'Forklift');");
  }
  auto inner = Memory();
  inner->Attach("NAVDB", assets);
  CountingConnection db(inner);
  auto rs = db.Execute(
      "SELECT TOP 1\r\n    VS02_DESCRIPTION\r\nFROM\r\n    [NAVDB].dbo.VS02_ASSET\r\nWHERE\r\n    "
      "VS02_COMPANYID = 1\r\n    AND VS02_ASSETNO = 'FA-1'");
  EXPECT_EQ(rs->Get("VS02_DESCRIPTION").str(), "Forklift");
  EXPECT_EQ(db.statements(), 1);
  db.SetBeforeEach([](int64_t n, std::string_view) {
    if (n == 2) RaiseText(err::kDatabaseError, "fault", "injected");
  });
  EXPECT_TRUE(Raises([&] { db.Execute("SELECT 1"); }, err::kDatabaseError, "fault", "injected"));

  // A file that is not a database is refused with its path named.
  const std::string junk = (dir / "junk.db").string();
  std::ofstream(junk) << "this is not a database file, just text that is long enough to look"
                         " like a header and more";
  EXPECT_TRUE(Raises([&] { SqliteConnection::Open(junk); }, err::kConnectionUnusable, "", junk));
  std::filesystem::remove_all(dir);
}

// Statements run again are served prepared: they must still see what another
// connection changed since, and must not keep the file locked between runs.
TEST(SqliteConnection, StatementsRunAgainSeeOtherConnectionsChanges) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("tarvolin_kept_" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".db");
  std::filesystem::remove(path);
  auto reader = SqliteConnection::Open(path.string());
  reader->ExecuteScript("CREATE TABLE T (A INT); INSERT INTO T VALUES (1);");
  const auto row_of = [&] { return reader->Execute("SELECT * FROM T WITH (NOLOCK) ORDER BY A"); };
  EXPECT_EQ(row_of()->FieldCount(), 1);

  auto writer = SqliteConnection::Open(path.string());
  writer->ExecuteScript("ALTER TABLE T ADD COLUMN B VARCHAR(5); UPDATE T SET B = 'x';");
  auto rs = row_of();
  ASSERT_EQ(rs->FieldCount(), 2);
  EXPECT_EQ(rs->Get("B").str(), "x");
  // The reader holds no lock once its statement has run: the writer commits.
  writer->BeginTrans();
  writer->Execute("INSERT INTO T (A, B) VALUES (2, 'y')");
  writer->CommitTrans();
  EXPECT_EQ(row_of()->RecordCount(), 2);

  reader->Close();
  writer->Close();
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tarvolin
