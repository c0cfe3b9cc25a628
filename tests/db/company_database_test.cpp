#include "tarvolin/db/company_database.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>

#include <fstream>

#include "support/errors.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

class CompanyDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarvolin_company_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

using testing_support::Raises;

TEST_F(CompanyDatabaseTest, InitBuildsTheDemoAndRefusesToOverwrite) {
  const std::string path = Path("company.db");
  const auto written = InitCompanyDatabase(path, {});
  ASSERT_EQ(written.size(), 2u);
  EXPECT_TRUE(fs::exists(ExternalDatabasePath(path, "TVASSETS")));
  {
    auto db = OpenCompanyDatabase(path);
    EXPECT_TRUE(dynamic_cast<SqliteConnection&>(*db).IsAttached("TVASSETS"));
    auto rs = db->Execute("SELECT COUNT(*) AS N FROM NV05_TAXDETAIL");
    EXPECT_GT(rs->Get("N").CLng(), 0);
    db->ExecuteNonQuery("DELETE FROM NV05_TAXDETAIL");
  }
  for (const std::string& part : {path, std::string("--force")}) {
    EXPECT_TRUE(Raises([&] { InitCompanyDatabase(path, {}); }, err::kObjectOpen, "", part));
  }
  // The refused init left the data as it was; --force builds it anew.
  const auto rates = [&] {
    return OpenCompanyDatabase(path)
        ->Execute("SELECT COUNT(*) AS N FROM NV05_TAXDETAIL")
        ->Get("N")
        .CLng();
  };
  EXPECT_EQ(rates(), 0);
  // What a crash left beside the database replaced is not taken into the new one.
  std::ofstream(path + "-wal") << "left by a crash";
  std::ofstream(path + "-journal") << "left by a crash";
  InitCompanyDatabase(path, {.demo = true, .force = true});
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_FALSE(fs::exists(path + "-journal"));
  EXPECT_GT(rates(), 0);
  EXPECT_FALSE(fs::exists(path + ".building"));
  // Both files are in write-ahead-log mode (2 in the header's version bytes).
  for (const std::string& file : {path, ExternalDatabasePath(path, "TVASSETS")}) {
    std::ifstream in(file, std::ios::binary);
    char header[20] = {};
    in.read(header, sizeof header);
    EXPECT_EQ(header[18], 2) << file;
    EXPECT_EQ(header[19], 2) << file;
  }
}

TEST_F(CompanyDatabaseTest, EmptyInitHasTheSchemaOnly) {
  const std::string path = Path("empty.db");
  EXPECT_EQ(InitCompanyDatabase(path, {.demo = false}).size(), 1u);
  auto db = OpenCompanyDatabase(path);
  EXPECT_TRUE(db->Execute("SELECT * FROM DO30_DOCCORPO")->Eof());
  EXPECT_FALSE(dynamic_cast<SqliteConnection&>(*db).IsAttached("TVASSETS"));
  // The schema types document recordsets: decimals and dates come typed.
  auto rs = db->Execute("SELECT DO11_DATADOC FROM DO11_DOCTESTATA");
  EXPECT_EQ(rs->Field(0).type, DataType::kDate);
}

TEST_F(CompanyDatabaseTest, OpenNamesThePathOfWhatItCannotUse) {
  const std::string missing = Path("missing.db"), other = Path("other.db"), text = Path("text.db");
  SqliteConnection::Open(other)->ExecuteScript("CREATE TABLE X (A INT)");
  std::ofstream(text) << "plain text, certainly not an SQLite database header at all....";
  const struct {
    std::string path, named;
  } cases[] = {{missing, missing},
               {missing, "tarvolin db init"},
               {other, other},
               {other, "not a company database"},
               {text, text}};
  for (const auto& c : cases) {
    EXPECT_TRUE(
        Raises([&] { OpenCompanyDatabase(c.path); }, err::kConnectionUnusable, "", c.named));
  }
  EXPECT_FALSE(fs::exists(missing));  // opening never creates
}

}  // namespace
}  // namespace tarvolin
