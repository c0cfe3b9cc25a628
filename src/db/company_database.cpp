#include "tarvolin/db/company_database.h"

#include <cstdlib>
#include <filesystem>

#include "db/sql_tokenizer.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/db/postgres_connection.h"
#include "tarvolin/db/sql_dialect.h"

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

// A log left beside a file being replaced would be replayed into the new one.
void RemoveLogs(const std::string& path) {
  for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(path + suffix);
}

// Builds one database file aside, then moves it over target.
//
// The file is made in write-ahead-log mode, which it keeps: a reader then
// takes no file lock and checks no journal for each statement (a
// recalculation runs thirty), and readers and a writer do not wait for each
// other.
void BuildFile(const std::string& target, const char* schema, const char* data) {
  const std::string aside = target + ".building";
  RemoveLogs(aside);
  fs::remove(aside);
  try {
    auto db = SqliteConnection::Open(aside);
    db->ExecuteScript("PRAGMA journal_mode = WAL");
    db->BeginTrans();
    db->ExecuteScript(schema);
    if (data != nullptr) db->ExecuteScript(data);
    db->CommitTrans();
    db->Close();
  } catch (...) {
    fs::remove(aside);
    throw;
  }
  RemoveLogs(target);
  fs::rename(aside, target);
}

std::string ExternalName(Connection& db) {
  auto rs = db.Execute("SELECT CO60_DATABASE FROM CO60_CONFVEXNAV ORDER BY CO60_ID LIMIT 1");
  if (rs->Eof() || rs->Get("CO60_DATABASE").IsNull()) return {};
  std::string name = rs->Get("CO60_DATABASE").CStr();
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

// The landed-cost functions the SQLite connection registers in C++, as SQL:
// the cost in force on the day for the item and option, falling back to the
// item's row without option.
std::string PostgresCostFunction(const char* name, int kind) {
  return std::string("CREATE OR REPLACE FUNCTION ") + name +
         "(p_company INTEGER, p_item TEXT, p_option TEXT, p_day TEXT) RETURNS NUMERIC\n"
         "LANGUAGE sql STABLE AS $$\n"
         "  SELECT TV05_COSTOUNIT FROM TV05_COSTIUNITARI\n"
         "  WHERE TV05_DITTA_CG18 = p_company AND TV05_INDTIPOCOSTO = " +
         std::to_string(kind) +
         "\n    AND TV05_CODART_MG66 = rtrim(p_item)\n"
         "    AND trim(TV05_OPZIONE_MG5E) IN (rtrim(p_option), '')\n"
         "    AND TV05_DATAINIZIO <= CAST(p_day AS timestamp)\n"
         "  ORDER BY trim(TV05_OPZIONE_MG5E) = rtrim(p_option) DESC, TV05_DATAINIZIO DESC\n"
         "  LIMIT 1\n$$;\n";
}

bool IsWord(const SqlToken& token, std::string_view word) {
  return token.kind == SqlTokenKind::kWord && EqualsNoCase(token.text, word);
}

}  // namespace

// The schema is kept once, in the SQLite spelling; PostgreSQL gets it with
// these changes: no PRAGMA, DATETIME as TIMESTAMP, BIT as SMALLINT (the data
// and the engine write 0 and 1), and text columns compared byte for byte
// (COLLATE "C", as SQLite's default), whatever the database's locale.
std::string PostgresSchema(std::string_view sqlite_ddl) {
  std::string out;
  out.reserve(sqlite_ddl.size() + sqlite_ddl.size() / 8);
  bool skipping = false;   // inside a PRAGMA statement
  bool text_type = false;  // after VARCHAR or CHAR, until its ")"
  for (const SqlToken& token : TokenizeTsql(sqlite_ddl)) {
    if (skipping) {
      skipping = !(token.kind == SqlTokenKind::kSymbol && token.text == ";");
      continue;
    }
    if (IsWord(token, "PRAGMA")) {
      skipping = true;
    } else if (IsWord(token, "DATETIME")) {
      out += "TIMESTAMP";
    } else if (IsWord(token, "BIT")) {
      out += "SMALLINT";
    } else {
      out += token.text;
      if (IsWord(token, "VARCHAR") || IsWord(token, "CHAR")) text_type = true;
      if (text_type && token.kind == SqlTokenKind::kSymbol && token.text == ")") {
        out += " COLLATE \"C\"";
        text_type = false;
      }
    }
  }
  return out;
}

namespace {

std::vector<std::string> InitOnServer(const std::string& uri, InitOptions options,
                                      const std::string& external) {
  auto db = PostgresConnection::Open(uri);
  const auto tables = db->Execute(
      "SELECT table_name AS N FROM information_schema.tables"
      " WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'");
  if (!options.force && !tables->Eof()) {
    RaiseText(err::kObjectOpen, kSource,
              "PostgreSQL database " + db->server() +
                  " already holds tables; use --force to replace them");
  }
  // All or nothing: the server runs the whole build in one transaction.
  std::string script = "BEGIN;\n";
  for (; !tables->Eof(); tables->MoveNext()) {
    script += "DROP TABLE IF EXISTS \"" + tables->Get("N").CStr() + "\" CASCADE;\n";
  }
  if (!external.empty()) {
    const std::string schema = "\"" + external + "\"";
    script += "DROP SCHEMA IF EXISTS " + schema + " CASCADE;\nCREATE SCHEMA " + schema +
              ";\nSET LOCAL search_path TO " + schema + ";\n" +
              PostgresSchema(embedded::kExternalAssetsSchema) + ";\n" +
              embedded::kDemoExternalAssets + ";\nRESET search_path;\n";
  }
  script += PostgresSchema(embedded::kCompanySchema) + ";\n";
  script += PostgresCostFunction("FNMG_GETSPTRASPMP", 1);
  script += PostgresCostFunction("FNMG_GETSPDAZIMP", 2);
  if (options.demo) script += std::string(embedded::kDemoCompany) + ";\n";
  script += "COMMIT;\n";
  try {
    db->ExecuteScript(script);
  } catch (const Error& e) {
    RaiseText(e.number(), kSource,
              "cannot create the company database on PostgreSQL server " + db->server() + ": " +
                  e.description());
  }
  return {db->server()};
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
  if (!IsPostgresUri(path)) RefuseIrregular(path);
  if (!IsPostgresUri(path) && !options.force && HoldsTables(path)) {
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
  if (IsPostgresUri(path)) return InitOnServer(path, options, external);
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

std::shared_ptr<Connection> OpenCompanyDatabase(const std::string& path) {
  if (IsPostgresUri(path)) {
    auto db = PostgresConnection::Open(path);
    for (const char* table : kMarkerTables) {
      if (!db->HasTable(table)) {
        RaiseText(err::kConnectionUnusable, kSource,
                  "PostgreSQL database " + db->server() + " is not a company database (no table " +
                      table + "); create one with \"tarvolin db init\"");
      }
    }
    return db;
  }
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
  const std::string external = db->HasTable("CO60_CONFVEXNAV") ? ExternalName(*db) : "";
  if (!external.empty()) {
    const std::string external_path = ExternalDatabasePath(path, external);
    if (fs::exists(external_path)) db->Attach(external, external_path);
  }
  return db;
}

}  // namespace tarvolin
