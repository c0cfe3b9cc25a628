#include "tarvolin/db/company_database.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>

#include <fstream>

#include "tarvolin/automation/error.h"

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

int ErrorOf(const std::function<void()>& f, std::string* description = nullptr) {
  try {
    f();
  } catch (const Error& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

TEST_F(CompanyDatabaseTest, InitBuildsTheDemoAndRefusesToOverwrite) {
  const std::string path = Path("company.db");
  const auto written = InitCompanyDatabase(path, {});
  ASSERT_EQ(written.size(), 2u);
  EXPECT_TRUE(fs::exists(ExternalDatabasePath(path, "TVASSETS")));
  {
    auto db = OpenCompanyDatabase(path);
    EXPECT_TRUE(db->IsAttached("TVASSETS"));
    auto rs = db->Execute("SELECT COUNT(*) AS N FROM NV05_TAXDETAIL");
    EXPECT_GT(rs->Get("N").CLng(), 0);
    db->ExecuteNonQuery("DELETE FROM NV05_TAXDETAIL");
  }
  std::string description;
  EXPECT_EQ(ErrorOf([&] { InitCompanyDatabase(path, {}); }, &description), err::kObjectOpen);
  EXPECT_NE(description.find(path), std::string::npos);
  EXPECT_NE(description.find("--force"), std::string::npos);
  // The refused init left the data as it was; --force builds it anew.
  EXPECT_EQ(OpenCompanyDatabase(path)
                ->Execute("SELECT COUNT(*) AS N FROM NV05_TAXDETAIL")
                ->Get("N")
                .CLng(),
            0);
  InitCompanyDatabase(path, {.demo = true, .force = true});
  EXPECT_GT(OpenCompanyDatabase(path)
                ->Execute("SELECT COUNT(*) AS N FROM NV05_TAXDETAIL")
                ->Get("N")
                .CLng(),
            0);
  EXPECT_FALSE(fs::exists(path + ".building"));
}

TEST_F(CompanyDatabaseTest, EmptyInitHasTheSchemaOnly) {
  const std::string path = Path("empty.db");
  EXPECT_EQ(InitCompanyDatabase(path, {.demo = false}).size(), 1u);
  auto db = OpenCompanyDatabase(path);
  EXPECT_TRUE(db->Execute("SELECT * FROM DO30_DOCCORPO")->Eof());
  EXPECT_FALSE(db->IsAttached("TVASSETS"));
  // The schema types document recordsets: decimals and dates come typed.
  auto rs = db->Execute("SELECT DO11_DATADOC FROM DO11_DOCTESTATA");
  EXPECT_EQ(rs->Field(0).type, DataType::kDate);
}

TEST_F(CompanyDatabaseTest, OpenNamesThePathOfWhatItCannotUse) {
  std::string description;
  const std::string missing = Path("missing.db");
  EXPECT_EQ(ErrorOf([&] { OpenCompanyDatabase(missing); }, &description), err::kConnectionUnusable);
  EXPECT_NE(description.find(missing), std::string::npos);
  EXPECT_NE(description.find("tarvolin db init"), std::string::npos);
  EXPECT_FALSE(fs::exists(missing));  // opening never creates

  const std::string other = Path("other.db");
  SqliteConnection::Open(other)->ExecuteScript("CREATE TABLE X (A INT)");
  EXPECT_EQ(ErrorOf([&] { OpenCompanyDatabase(other); }, &description), err::kConnectionUnusable);
  EXPECT_NE(description.find("not a company database"), std::string::npos);

  const std::string text = Path("text.db");
  std::ofstream(text) << "plain text, certainly not an SQLite database header at all....";
  EXPECT_EQ(ErrorOf([&] { OpenCompanyDatabase(text); }, &description), err::kConnectionUnusable);
  EXPECT_NE(description.find(text), std::string::npos);
}

}  // namespace
}  // namespace tarvolin
