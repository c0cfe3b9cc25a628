#include "tarvolin/db/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <vector>

#include "db/landed_cost_functions.h"
#include "db/sql_tokenizer.h"
#include "db/statement_error.h"
#include "db/transaction_levels.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/db/column_type.h"
#include "tarvolin/db/sql_dialect.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "SqliteConnection";

constexpr size_t kMostPrepared = 64;
constexpr size_t kMostAdapted = 256;

// Finalizes a prepared statement on every path.
struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

// A statement being run: one the connection keeps is reset for its next use
// on every path (so it holds no read lock), any other finalized.
class StatementInUse {
 public:
  StatementInUse(sqlite3_stmt* stmt, bool kept) : stmt_(stmt), kept_(kept) {}
  ~StatementInUse() {
    if (kept_) {
      sqlite3_reset(stmt_);
    } else {
      sqlite3_finalize(stmt_);
    }
  }
  StatementInUse(const StatementInUse&) = delete;
  StatementInUse& operator=(const StatementInUse&) = delete;

 private:
  sqlite3_stmt* stmt_;
  bool kept_;
};

Variant IntegerValue(sqlite3_int64 value) {
  if (value >= INT32_MIN && value <= INT32_MAX) return Variant(static_cast<int32_t>(value));
  return Variant(Decimal::FromInt64(value));
}

std::string_view Text(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return text == nullptr
             ? std::string_view()
             : std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
}

[[noreturn, gnu::cold, gnu::noinline]] void RaiseBadValue(sqlite3_stmt* stmt, int column,
                                                          const FieldInfo& field,
                                                          std::string_view what) {
  RaiseText(err::kDatabaseError, kSource,
            "column " + field.name + " holds \"" + std::string(Text(stmt, column)) +
                "\", which is not " + std::string(what));
}

Variant TextValue(sqlite3_stmt* stmt, int column) {
  return Variant(std::string(Text(stmt, column)));
}

// SQLite keeps every decimal as a binary double: its shortest text that reads
// back as the same double is the decimal that was written.
std::optional<Decimal> DecimalOfDouble(double stored, int scale) {
  char digits[40];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, stored);
  if (ec != std::errc()) return std::nullopt;
  Decimal value = Decimal::Parse(std::string_view(digits, static_cast<size_t>(end - digits)));
  if (value.scale() > scale) value = value.RoundHalfEven(scale);
  return value;
}

// The decimal a cell holds, however SQLite stored it; nullopt for text that
// is no number.
std::optional<Decimal> StoredDecimal(sqlite3_stmt* stmt, int column, int storage, int scale) {
  if (storage == SQLITE_INTEGER) return Decimal::FromInt64(sqlite3_column_int64(stmt, column));
  if (storage == SQLITE_FLOAT) return DecimalOfDouble(sqlite3_column_double(stmt, column), scale);
  return Decimal::TryParse(Text(stmt, column));
}

// The server hands decimals back at their column's scale.
Decimal AtColumnScale(const Decimal& value, int scale) {
  if (scale <= value.scale()) return value;
  try {
    return value.WithScale(scale);
  } catch (const Error&) {  // too many digits for that scale: kept as stored
    return value;
  }
}

Variant DecimalCell(sqlite3_stmt* stmt, int column, int storage, const FieldInfo& field) {
  const std::optional<Decimal> value = StoredDecimal(stmt, column, storage, field.numeric_scale);
  if (!value) RaiseBadValue(stmt, column, field, "a number");
  return Variant(AtColumnScale(*value, field.numeric_scale));
}

Variant DateCell(sqlite3_stmt* stmt, int column, int storage, const FieldInfo& field) {
  if (storage == SQLITE_TEXT) {
    if (auto date = Date::Parse(Text(stmt, column))) return Variant(*date);
  }
  RaiseBadValue(stmt, column, field, "a date");
}

// A cell of a column whose type says nothing of it: as SQLite stored it.
Variant StoredValue(sqlite3_stmt* stmt, int column, int storage) {
  switch (storage) {
    case SQLITE_INTEGER:
      return IntegerValue(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, column));
    default:
      return TextValue(stmt, column);
  }
}

// One cell as the value the field's type expects, so a decimal read from
// text or from a binary double comes out exact.
Variant CellValue(sqlite3_stmt* stmt, int column, const FieldInfo& field) {
  const int storage = sqlite3_column_type(stmt, column);
  if (storage == SQLITE_NULL) return Variant::Null();
  switch (field.type) {
    case DataType::kDecimal:
    case DataType::kNumeric:
    case DataType::kCurrency:
    case DataType::kBigInt:
      return DecimalCell(stmt, column, storage, field);
    case DataType::kDate:
      return DateCell(stmt, column, storage, field);
    case DataType::kBoolean:
      if (storage == SQLITE_INTEGER) return Variant(sqlite3_column_int64(stmt, column) != 0);
      return TextValue(stmt, column);
    case DataType::kDouble:
    case DataType::kSingle:
      if (storage == SQLITE_TEXT) return TextValue(stmt, column);
      return Variant(sqlite3_column_double(stmt, column));
    case DataType::kChar:
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kVarWChar:
      return TextValue(stmt, column);
    case DataType::kSmallInt:
    case DataType::kTinyInt:
    case DataType::kInteger:
    default:
      return StoredValue(stmt, column, storage);
  }
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isspace(c) || c == ';'; });
}

std::string_view Rest(const char* next, const char* end) {
  return std::string_view(next, static_cast<size_t>(end - next));
}

// The fields of a statement's columns, a name met again numbered by its
// column (NAME#3) so that every field can be found by name.
std::vector<FieldInfo> ColumnFields(sqlite3_stmt* stmt, int columns) {
  std::vector<FieldInfo> fields;
  for (int i = 0; i < columns; ++i) {
    const char* declared = sqlite3_column_decltype(stmt, i);
    std::string name = sqlite3_column_name(stmt, i);
    const auto clash = [&](const FieldInfo& f) { return Upper(f.name) == Upper(name); };
    if (std::any_of(fields.begin(), fields.end(), clash)) name += "#" + std::to_string(i + 1);
    fields.push_back(FieldFromDeclaredType(name, declared == nullptr ? "" : declared));
  }
  return fields;
}

bool ChangesSchema(std::string_view sql) {
  size_t start = 0;
  while (start < sql.size() && std::isspace(static_cast<unsigned char>(sql[start]))) ++start;
  const std::string head = Upper(sql.substr(start, 8));
  return head.rfind("CREATE", 0) == 0 || head.rfind("ALTER", 0) == 0 ||
         head.rfind("DROP", 0) == 0 || head.rfind("ATTACH", 0) == 0;
}

}  // namespace

std::shared_ptr<SqliteConnection> SqliteConnection::Open(const std::string& path,
                                                         SqliteOpenOptions options) {
  // Before SQLite's first use in the process: no allocation statistics, so
  // no global lock around every allocation. Later the call is refused, harmlessly.
  static const int memstatus_off = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  static_cast<void>(memstatus_off);
  sqlite3* db = nullptr;
  int flags = options.read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (options.create && !options.read_only) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    RaiseText(err::kConnectionUnusable, kSource,
              "cannot open database \"" + path + "\": " + message);
  }
  std::shared_ptr<SqliteConnection> connection(new SqliteConnection(db, path));
  // A file that is not a database only shows itself on the first read.
  try {
    connection->RunPlain("PRAGMA foreign_keys = ON");
    connection->LoadDateColumns();
  } catch (const Error& e) {
    RaiseText(err::kConnectionUnusable, kSource,
              "cannot use database \"" + path + "\": " + e.description());
  }
  connection->RegisterFunctions();
  return connection;
}

SqliteConnection::SqliteConnection(sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)) {
  sqlite3_busy_timeout(db_, 5000);
}

SqliteConnection::~SqliteConnection() {
  ForgetPrepared();
  sqlite3_close_v2(db_);
}

sqlite3* SqliteConnection::Handle() const {
  if (db_ == nullptr) Raise(err::kConnectionUnusable, kSource, "the connection is closed");
  return db_;
}

void SqliteConnection::Close() {
  if (db_ == nullptr) return;
  ForgetPrepared();
  sqlite3_close_v2(db_);
  db_ = nullptr;
  transaction_level_ = 0;
}

int SqliteConnection::Check(int rc, const db_detail::FailedStatement& statement) const {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
  db_detail::RaiseStatementError(kSource, sqlite3_errmsg(db_), statement);
}

void SqliteConnection::RunPlain(const std::string& sql) {
  Check(sqlite3_exec(Handle(), sql.c_str(), nullptr, nullptr, nullptr), {.written = sql});
}

std::shared_ptr<Recordset> SqliteConnection::Execute(std::string_view command_text,
                                                     int32_t* records_affected,
                                                     int32_t /*options*/) {
  sqlite3* db = Handle();
  // A copy: running a statement may change the schema and so the cache.
  const std::string sql = Adapted(command_text);
  const db_detail::FailedStatement failed{.written = command_text, .ran = sql, .name_table = true};
  std::shared_ptr<Recordset> result;
  int32_t affected = -1;
  const char* next = sql.c_str();
  const char* end = next + sql.size();
  while (next < end && !IsBlank(Rest(next, end))) {
    Kept* kept = nullptr;
    sqlite3_stmt* stmt = PrepareNext(sql, next, end, failed, kept);
    if (stmt == nullptr) break;  // only a comment was left
    StatementInUse statement(stmt, kept != nullptr);
    // Columns are read after the first step: a kept statement is prepared
    // again by that step when the schema changed since.
    int rc = Check(sqlite3_step(stmt), failed);
    const int columns = sqlite3_column_count(stmt);
    if (columns == 0 || result) {
      // Only the first statement that returns rows gives the result.
      while (rc == SQLITE_ROW) rc = Check(sqlite3_step(stmt), failed);
      if (columns == 0) affected = sqlite3_changes(db);
      continue;
    }
    result = ReadRows(stmt, columns, rc, failed, kept);
  }
  if (ChangesSchema(sql)) LoadDateColumns();
  if (records_affected != nullptr) *records_affected = affected;
  if (!result) result = Recordset::Create();  // closed: the statement returned no rows
  return result;
}

sqlite3_stmt* SqliteConnection::PrepareNext(const std::string& sql, const char*& next,
                                            const char* end,
                                            const db_detail::FailedStatement& failed, Kept*& kept) {
  const bool whole_text = next == sql.c_str();
  if (whole_text) {
    if (Kept* known = Prepared(sql)) {
      kept = known;
      next = end;
      return known->stmt;
    }
  }
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v2(db_, next, static_cast<int>(end - next), &stmt, &next), failed);
  if (stmt != nullptr && whole_text && IsBlank(Rest(next, end))) kept = KeepPrepared(sql, stmt);
  return stmt;
}

std::shared_ptr<Recordset> SqliteConnection::ReadRows(sqlite3_stmt* stmt, int columns, int rc,
                                                      const db_detail::FailedStatement& failed,
                                                      Kept* kept) const {
  // Columns are described again only when SQLite prepared the statement
  // again (the schema changed).
  const int reprepared = sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
  std::shared_ptr<Recordset> shape;
  if (kept != nullptr && kept->shape && kept->reprepared == reprepared &&
      kept->shape->FieldCount() == columns) {
    shape = kept->shape;
  } else {
    shape = Recordset::Create();
    for (FieldInfo& field : ColumnFields(stmt, columns)) shape->AppendField(std::move(field));
    if (kept != nullptr) *kept = Kept{kept->stmt, shape, reprepared};
  }
  auto recordset = Recordset::CreateWithFieldsOf(*shape);
  for (; rc == SQLITE_ROW; rc = Check(sqlite3_step(stmt), failed)) {
    recordset->AddNew();
    for (int i = 0; i < columns; ++i) {
      recordset->Set(FieldRef(i), CellValue(stmt, i, shape->Field(i)));
    }
    recordset->Update();
  }
  recordset->MoveFirst();
  return recordset;
}

int SqliteConnection::BeginTrans() {
  return db_detail::BeginLevel(transaction_level_, [&](const std::string& sql) { RunPlain(sql); });
}

void SqliteConnection::CommitTrans() {
  db_detail::CommitLevel(transaction_level_, kSource,
                         [&](const std::string& sql) { RunPlain(sql); });
}

void SqliteConnection::RollbackTrans() {
  db_detail::RollbackLevel(transaction_level_, kSource,
                           [&](const std::string& sql) { RunPlain(sql); });
}

void SqliteConnection::ExecuteScript(std::string_view sql) {
  RunPlain(std::string(sql));
  LoadDateColumns();
}

void SqliteConnection::Attach(std::string_view name, const std::string& path) {
  std::string quoted_name = "\"";
  for (char c : name) quoted_name += c == '"' ? std::string("\"\"") : std::string(1, c);
  quoted_name += "\"";
  RunPlain("ATTACH DATABASE " + QuoteSqlText(path) + " AS " + quoted_name);
  LoadDateColumns();
}

bool SqliteConnection::IsAttached(std::string_view name) const {
  static constexpr std::string_view kList = "SELECT name FROM pragma_database_list";
  Statement statement;
  Check(sqlite3_prepare_v2(Handle(), kList.data(), static_cast<int>(kList.size()), &statement.stmt,
                           nullptr),
        {.written = kList});
  while (Check(sqlite3_step(statement.stmt), {.written = kList}) == SQLITE_ROW) {
    if (Upper(Text(statement.stmt, 0)) == Upper(name)) return true;
  }
  return false;
}

bool SqliteConnection::HasTable(std::string_view table) const {
  static constexpr std::string_view kFind =
      "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE";
  Statement statement;
  Check(sqlite3_prepare_v2(Handle(), kFind.data(), static_cast<int>(kFind.size()), &statement.stmt,
                           nullptr),
        {.written = kFind});
  Check(sqlite3_bind_text(statement.stmt, 1, table.data(), static_cast<int>(table.size()),
                          SQLITE_TRANSIENT),
        {.written = kFind});
  return Check(sqlite3_step(statement.stmt), {.written = kFind}) == SQLITE_ROW;
}

const std::string& SqliteConnection::Adapted(std::string_view command_text) {
  if (const auto it = adapted_.find(command_text); it != adapted_.end()) {
    return it->second;
  }
  SqlDialectOptions dialect;
  dialect.is_date_column = [this](std::string_view column) {
    return date_columns_.count(Upper(column)) != 0;
  };
  std::string sql = AdaptTsqlForSqlite(command_text, dialect);
  // Texts that differ by value only would grow it without end: it starts over.
  if (adapted_.size() >= kMostAdapted) adapted_.clear();
  return adapted_.emplace(std::string(command_text), std::move(sql)).first->second;
}

SqliteConnection::Kept* SqliteConnection::Prepared(const std::string& sql) {
  const auto it = prepared_.find(sql);
  return it == prepared_.end() ? nullptr : &it->second;
}

SqliteConnection::Kept* SqliteConnection::KeepPrepared(const std::string& sql, sqlite3_stmt* stmt) {
  // Texts that differ by value only would grow it without end: it starts over.
  if (prepared_.size() >= kMostPrepared) ForgetPrepared();
  return &prepared_.emplace(sql, Kept{stmt, nullptr, 0}).first->second;
}

void SqliteConnection::ForgetPrepared() noexcept {
  for (auto& [sql, kept] : prepared_) sqlite3_finalize(kept.stmt);
  prepared_.clear();
}

void SqliteConnection::LoadDateColumns() {
  // The schema may have changed: statements are adapted and prepared afresh.
  adapted_.clear();
  ForgetPrepared();
  static constexpr std::string_view kList = "SELECT name FROM pragma_database_list";
  std::vector<std::string> schemas;
  {
    Statement list;
    Check(sqlite3_prepare_v2(Handle(), kList.data(), static_cast<int>(kList.size()), &list.stmt,
                             nullptr),
          {.written = kList});
    while (Check(sqlite3_step(list.stmt), {.written = kList}) == SQLITE_ROW) {
      schemas.emplace_back(Text(list.stmt, 0));
    }
  }
  date_columns_.clear();
  for (const std::string& schema : schemas) {
    const std::string quoted = QuoteSqlText(schema);
    const std::string sql = "SELECT p.name, p.type FROM \"" + schema +
                            "\".sqlite_master AS m, pragma_table_info(m.name, " + quoted +
                            ") AS p WHERE m.type = 'table'";
    Statement statement;
    Check(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement.stmt, nullptr), {.written = sql});
    while (Check(sqlite3_step(statement.stmt), {.written = sql}) == SQLITE_ROW) {
      const std::string type = Upper(Text(statement.stmt, 1));
      if (type.rfind("DATE", 0) == 0 || type.rfind("SMALLDATETIME", 0) == 0) {
        date_columns_.insert(Upper(Text(statement.stmt, 0)));
      }
    }
  }
}

void SqliteConnection::RegisterFunctions() { RegisterLandedCostFunctions(db_); }

}  // namespace tarvolin
