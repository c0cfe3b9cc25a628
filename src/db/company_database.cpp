#include "tarvolin/db/company_database.h"

#include <cstdlib>
#include <filesystem>

#include "tarvolin/automation/error.h"

namespace tarvolin {
namespace embedded {
extern const char kCompanySchema[];
extern const char kExternalAssetsSchema[];
extern const char kDemoCompany[];
extern const char kDemoExternalAssets[];
}  // namespace embedded

namespace {

namespace fs = std::filesystem;
constexpr std::string_view kSource = "CompanyDatabase";
constexpr int32_t kPathFileAccessError = 75;
// Tables whose presence tells a company database from any other SQLite file.
constexpr const char* kMarkerTables[] = {"DO11_DOCTESTATA", "DO30_DOCCORPO", "NV05_TAXDETAIL",
                                         "CO60_CONFVEXNAV"};

bool HoldsTables(const std::string& path) {
  if (!fs::exists(path) || fs::file_size(path) == 0) return false;
  auto db = SqliteConnection::Open(path, {.create = false, .read_only = true});
  auto rs = db->Execute("SELECT COUNT(*) AS N FROM sqlite_master WHERE type = 'table'");
  return rs->Get("N").CLng() > 0;
}

// A database is a regular file: renaming over a folder fails late, and over a
// device it would replace the device itself.
void RefuseIrregular(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return;
  if (fs::is_directory(status)) {
    RaiseText(kPathFileAccessError, kSource,
              "Path/File access error: cannot write " + path + ": it is a folder");
  }
  if (!fs::is_regular_file(status)) {
    RaiseText(kPathFileAccessError, kSource,
              "Path/File access error: cannot write " + path + ": it is not a regular file");
  }
}

// Builds one database file aside, then moves it over target.
void BuildFile(const std::string& target, const char* schema, const char* data) {
  const std::string aside = target + ".building";
  fs::remove(aside);
  try {
    auto db = SqliteConnection::Open(aside);
    db->BeginTrans();
    db->ExecuteScript(schema);
    if (data != nullptr) db->ExecuteScript(data);
    db->CommitTrans();
    db->Close();
  } catch (...) {
    fs::remove(aside);
    throw;
  }
  fs::rename(aside, target);
}

std::string ExternalName(SqliteConnection& db) {
  if (!db.HasTable("CO60_CONFVEXNAV")) return {};
  auto rs = db.Execute("SELECT CO60_DATABASE FROM CO60_CONFVEXNAV ORDER BY CO60_ID LIMIT 1");
  if (rs->Eof() || rs->Get("CO60_DATABASE").IsNull()) return {};
  std::string name = rs->Get("CO60_DATABASE").CStr();
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

}  // namespace

std::string DefaultDatabasePath() {
  const char* env = std::getenv("TARVOLIN_DB");
  return env != nullptr && *env != '\0' ? std::string(env) : std::string("tarvolin.db");
}

std::string ExternalDatabasePath(const std::string& company_path, const std::string& name) {
  return (fs::path(company_path).parent_path() / (name + ".db")).string();
}

std::vector<std::string> InitCompanyDatabase(const std::string& path, InitOptions options) {
  RefuseIrregular(path);
  if (!options.force && HoldsTables(path)) {
    RaiseText(err::kObjectOpen, kSource,
              "database \"" + path + "\" already holds tables; use --force to replace it");
  }
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent);
  std::vector<std::string> written;
  std::string external;
  if (options.demo) {
    // The asset database first: the company file names it, so it must not
    // appear before its second database is in place.
    auto probe = SqliteConnection::Open(":memory:");
    probe->ExecuteScript(embedded::kCompanySchema);
    probe->ExecuteScript(embedded::kDemoCompany);
    external = ExternalName(*probe);
  }
  if (!external.empty()) {
    const std::string external_path = ExternalDatabasePath(path, external);
    RefuseIrregular(external_path);
    BuildFile(external_path, embedded::kExternalAssetsSchema, embedded::kDemoExternalAssets);
    written.push_back(external_path);
  }
  BuildFile(path, embedded::kCompanySchema, options.demo ? embedded::kDemoCompany : nullptr);
  written.insert(written.begin(), path);
  return written;
}

std::shared_ptr<SqliteConnection> OpenCompanyDatabase(const std::string& path) {
  if (!fs::exists(path)) {
    RaiseText(err::kConnectionUnusable, kSource,
              "no company database at \"" + path + "\"; create one with \"tarvolin db init\"");
  }
  auto db = SqliteConnection::Open(path, {.create = false});
  for (const char* table : kMarkerTables) {
    if (!db->HasTable(table)) {
      RaiseText(err::kConnectionUnusable, kSource,
                "\"" + path + "\" is not a company database (no table " + table + ")");
    }
  }
  const std::string external = ExternalName(*db);
  if (!external.empty()) {
    const std::string external_path = ExternalDatabasePath(path, external);
    if (fs::exists(external_path)) db->Attach(external, external_path);
  }
  return db;
}

}  // namespace tarvolin
