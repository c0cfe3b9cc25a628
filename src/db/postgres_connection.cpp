#include "tarvolin/db/postgres_connection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <vector>

#include "db/sql_tokenizer.h"
#include "db/statement_error.h"
#include "db/transaction_levels.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/db/column_type.h"
#include "tarvolin/db/sql_dialect.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "PostgresConnection";

// Type oids of the built-in types (pg_type.h).
constexpr Oid kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kTextOid = 25,
              kOidOid = 26, kFloat4Oid = 700, kFloat8Oid = 701, kBpcharOid = 1042,
              kVarcharOid = 1043, kDateOid = 1082, kTimestampOid = 1114, kTimestampTzOid = 1184,
              kNumericOid = 1700;

// Clears a result on every path.
struct Result {
  PGresult* res = nullptr;
  explicit Result(PGresult* r) : res(r) {}
  ~Result() { PQclear(res); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
};

// The first line of a libpq message, without its trailing line break.
std::string FirstLine(const char* message) {
  std::string text = message == nullptr ? "" : message;
  const size_t end = text.find('\n');
  if (end != std::string::npos) text.resize(end);
  if (text.rfind("ERROR:  ", 0) == 0 || text.rfind("FATAL:  ", 0) == 0) text.erase(0, 8);
  return text.empty() ? std::string("unknown error") : text;
}

// The URI with any password replaced, for messages.
std::string Redacted(std::string_view uri) {
  const size_t scheme = uri.find("://");
  if (scheme == std::string_view::npos) return std::string(uri);
  const size_t start = scheme + 3;
  const size_t at = uri.find('@', start);
  const size_t slash = uri.find('/', start);
  if (at == std::string_view::npos || (slash != std::string_view::npos && slash < at)) {
    return std::string(uri);
  }
  const size_t colon = uri.find(':', start);
  if (colon == std::string_view::npos || colon > at) return std::string(uri);
  return std::string(uri.substr(0, colon + 1)) + "***" + std::string(uri.substr(at));
}

// The text with the URI's password, if it has one, replaced.
std::string WithoutPassword(std::string text, std::string_view uri) {
  const std::string redacted = Redacted(uri);
  if (redacted == uri) return text;
  const size_t start = uri.find("://") + 3;
  const size_t colon = uri.find(':', start);
  const std::string password(uri.substr(colon + 1, uri.find('@', start) - colon - 1));
  if (password.empty()) return text;
  for (size_t at = text.find(password); at != std::string::npos; at = text.find(password, at)) {
    text.replace(at, password.size(), "***");
  }
  return text;
}

std::string ServerOf(PGconn* conn) {
  const char* host = PQhost(conn);
  const char* port = PQport(conn);
  const char* db = PQdb(conn);
  std::string server = host == nullptr || *host == '\0' ? "localhost" : host;
  if (port != nullptr && *port != '\0') server += ":" + std::string(port);
  if (db != nullptr) server += "/" + std::string(db);
  return server;
}

// The declared type a result column has, in the schema's spellings.
FieldInfo FieldOf(const PGresult* res, int column, const std::string& name) {
  const Oid type = PQftype(res, column);
  const int mod = PQfmod(res, column);
  std::string declared;
  switch (type) {
    case kBoolOid:
      declared = "BIT";
      break;
    case kInt8Oid:
      declared = "BIGINT";
      break;
    case kInt2Oid:
      declared = "SMALLINT";
      break;
    case kInt4Oid:
    case kOidOid:
      declared = "INT";
      break;
    case kFloat4Oid:
    case kFloat8Oid:
      declared = "FLOAT";
      break;
    case kNumericOid:
      // An expression's NUMERIC has no declared scale: its values keep their own.
      declared = mod >= 4 ? "DECIMAL(" + std::to_string(((mod - 4) >> 16) & 0xffff) + "," +
                                std::to_string((mod - 4) & 0xffff) + ")"
                          : "DECIMAL(38,0)";
      break;
    case kBpcharOid:
      declared = "CHAR(" + std::to_string(mod >= 4 ? mod - 4 : 1) + ")";
      break;
    case kVarcharOid:
      declared = mod >= 4 ? "VARCHAR(" + std::to_string(mod - 4) + ")" : "VARCHAR";
      break;
    case kTextOid:
      declared = "TEXT";
      break;
    case kDateOid:
    case kTimestampOid:
    case kTimestampTzOid:
      declared = "DATETIME";
      break;
    default:
      break;
  }
  return FieldFromDeclaredType(name, declared);
}

Variant IntegerValue(int64_t value) {
  if (value >= INT32_MIN && value <= INT32_MAX) return Variant(static_cast<int32_t>(value));
  return Variant(Decimal::FromInt64(value));
}

// One cell's text as the value the field's type expects.
Variant CellValue(const PGresult* res, int row, int column, const FieldInfo& field) {
  if (PQgetisnull(res, row, column)) return Variant::Null();
  const std::string_view text(PQgetvalue(res, row, column),
                              static_cast<size_t>(PQgetlength(res, row, column)));
  const auto bad_value = [&](std::string_view what) -> Variant {
    RaiseText(err::kDatabaseError, kSource,
              "column " + field.name + " holds \"" + std::string(text) + "\", which is not " +
                  std::string(what));
  };
  switch (field.type) {
    case DataType::kDecimal:
    case DataType::kNumeric:
    case DataType::kCurrency:
    case DataType::kBigInt: {
      auto value = Decimal::TryParse(text);
      if (!value) return bad_value("a number");
      if (field.numeric_scale > value->scale()) {
        try {
          *value = value->WithScale(field.numeric_scale);
        } catch (const Error&) {  // too many digits for that scale: keep it as stored
        }
      }
      return Variant(*value);
    }
    case DataType::kDate:
      if (auto date = Date::Parse(text)) return Variant(*date);
      return bad_value("a date");
    case DataType::kBoolean:
      return Variant(text == "t");
    case DataType::kDouble:
    case DataType::kSingle: {
      double value = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (ec != std::errc() || end != text.data() + text.size()) return bad_value("a number");
      return Variant(value);
    }
    case DataType::kSmallInt:
    case DataType::kTinyInt:
    case DataType::kInteger: {
      int64_t value = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (ec != std::errc() || end != text.data() + text.size()) return bad_value("a number");
      return IntegerValue(value);
    }
    default:
      return Variant(std::string(text));
  }
}

// The server folds unquoted names to lower case; the schema and the engine
// spell them in upper case.
std::string ColumnName(const char* name) {
  const std::string text = name;
  const bool has_upper =
      std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  return has_upper ? text : Upper(text);
}

std::shared_ptr<Recordset> ToRecordset(const PGresult* res) {
  auto recordset = Recordset::Create();
  const int columns = PQnfields(res);
  std::vector<FieldInfo> fields;
  for (int i = 0; i < columns; ++i) {
    std::string name = ColumnName(PQfname(res, i));
    const auto clash = [&](const FieldInfo& f) { return Upper(f.name) == Upper(name); };
    if (std::any_of(fields.begin(), fields.end(), clash)) name += "#" + std::to_string(i + 1);
    fields.push_back(FieldOf(res, i, name));
    recordset->AppendField(fields.back());
  }
  recordset->Open();
  const int rows = PQntuples(res);
  for (int r = 0; r < rows; ++r) {
    recordset->AddNew();
    for (int i = 0; i < columns; ++i) {
      recordset->Set(FieldRef(i), CellValue(res, r, i, fields[static_cast<size_t>(i)]));
    }
    recordset->Update();
  }
  recordset->MoveFirst();
  return recordset;
}

// What the server answered to the statements of one command text: the first
// rows returned, the last count of rows changed, the first failure.
struct StatementResults {
  std::shared_ptr<Recordset> rows;
  int32_t affected = -1;
  std::string failure;
  std::string sqlstate;
  bool schema_changed = false;
};

StatementResults CollectResults(PGconn* conn) {
  StatementResults out;
  for (PGresult* next; (next = PQgetResult(conn)) != nullptr;) {
    Result part(next);
    switch (PQresultStatus(part.res)) {
      case PGRES_TUPLES_OK:
        if (!out.rows && out.failure.empty()) out.rows = ToRecordset(part.res);
        break;
      case PGRES_COMMAND_OK: {
        const std::string_view tag = PQcmdStatus(part.res);
        out.schema_changed = out.schema_changed || tag.rfind("CREATE", 0) == 0 ||
                             tag.rfind("ALTER", 0) == 0 || tag.rfind("DROP", 0) == 0;
        const char* count = PQcmdTuples(part.res);
        if (count != nullptr && *count != '\0') out.affected = std::atoi(count);
        break;
      }
      case PGRES_EMPTY_QUERY:
        break;
      default:
        if (out.failure.empty()) {
          out.failure = FirstLine(PQresultErrorMessage(part.res));
          const char* state = PQresultErrorField(part.res, PG_DIAG_SQLSTATE);
          out.sqlstate = state == nullptr ? "" : state;
        }
        break;
    }
  }
  return out;
}

void IgnoreNotice(void*, const char*) {}

}  // namespace

bool IsTransactionConflict(const Error& error) {
  const std::string& context = error.context();
  return context.find("\nsqlstate: 40001") != std::string::npos ||
         context.find("\nsqlstate: 40P01") != std::string::npos;
}

bool IsPostgresUri(std::string_view text) {
  return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

std::shared_ptr<PostgresConnection> PostgresConnection::Open(const std::string& uri) {
  char* parse_error = nullptr;
  PQconninfoOption* parsed = PQconninfoParse(uri.c_str(), &parse_error);
  if (parsed == nullptr) {
    const std::string cause =
        parse_error != nullptr ? WithoutPassword(FirstLine(parse_error), uri) : "out of memory";
    PQfreemem(parse_error);
    RaiseText(err::kConnectionUnusable, kSource,
              "cannot use the database URI \"" + Redacted(uri) + "\": " + cause);
  }
  PQconninfoFree(parsed);
  PGconn* conn = PQconnectdb(uri.c_str());
  if (conn == nullptr) {
    RaiseText(err::kConnectionUnusable, kSource,
              "cannot connect to PostgreSQL server \"" + Redacted(uri) + "\": out of memory");
  }
  const std::string server = ServerOf(conn);
  if (PQstatus(conn) != CONNECTION_OK) {
    const std::string cause = WithoutPassword(FirstLine(PQerrorMessage(conn)), uri);
    PQfinish(conn);
    RaiseText(err::kConnectionUnusable, kSource,
              "cannot connect to PostgreSQL server " + server + ": " + cause);
  }
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  std::shared_ptr<PostgresConnection> connection(new PostgresConnection(conn, server));
  connection->RunPlain(
      "SET client_encoding TO 'UTF8'; SET DateStyle TO 'ISO, MDY'; "
      "SET client_min_messages TO warning");
  connection->LoadDateColumns();
  return connection;
}

PostgresConnection::PostgresConnection(pg_conn* conn, std::string server)
    : conn_(conn), server_(std::move(server)) {}

PostgresConnection::~PostgresConnection() { PQfinish(conn_); }

pg_conn* PostgresConnection::Handle() const {
  if (conn_ == nullptr) Raise(err::kConnectionUnusable, kSource, "the connection is closed");
  return conn_;
}

void PostgresConnection::Close() {
  if (conn_ == nullptr) return;
  PQfinish(conn_);
  conn_ = nullptr;
  transaction_level_ = 0;
}

void PostgresConnection::Fail(std::string message,
                              const db_detail::FailedStatement& statement) const {
  if (message.empty()) message = FirstLine(PQerrorMessage(conn_));
  if (PQstatus(conn_) == CONNECTION_BAD) {
    RaiseText(err::kConnectionUnusable, kSource,
              "lost the connection to PostgreSQL server " + server_ + ": " + message);
  }
  db_detail::RaiseStatementError(kSource, std::move(message), statement);
}

void PostgresConnection::Check(const PGresult* result,
                               const db_detail::FailedStatement& statement) const {
  const ExecStatusType status = PQresultStatus(result);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
  Fail(FirstLine(PQresultErrorMessage(result)), statement);
}

void PostgresConnection::RunPlain(const std::string& sql) {
  Result result(PQexec(Handle(), sql.c_str()));
  Check(result.res, {.written = sql});
}

std::shared_ptr<Recordset> PostgresConnection::Execute(std::string_view command_text,
                                                       int32_t* records_affected,
                                                       int32_t /*options*/) {
  PGconn* conn = Handle();
  SqlDialectOptions dialect;
  dialect.is_date_column = [this](std::string_view column) {
    return date_columns_.count(Upper(column)) != 0;
  };
  const std::string sql = AdaptTsqlForPostgres(command_text, dialect);
  // Inside a transaction a failed statement would spoil the whole of it on
  // this server: each one runs under a savepoint it can be undone to.
  const bool guarded = transaction_level_ > 0;
  const std::string sent =
      guarded ? "SAVEPOINT tv_statement;\n" + sql + "\n;RELEASE SAVEPOINT tv_statement" : sql;
  if (PQsendQuery(conn, sent.c_str()) == 0) {
    RaiseText(err::kConnectionUnusable, kSource,
              "lost the connection to PostgreSQL server " + server_ + ": " +
                  FirstLine(PQerrorMessage(conn)));
  }
  StatementResults results = CollectResults(conn);
  if (!results.failure.empty()) {
    if (PQstatus(conn) == CONNECTION_BAD) {
      transaction_level_ = 0;  // the server rolled the transaction back
    } else if (guarded) {
      RunPlain("ROLLBACK TO SAVEPOINT tv_statement; RELEASE SAVEPOINT tv_statement");
    }
    // The server names tables in lower case: the engine's name is added.
    Fail(std::move(results.failure),
         {.written = command_text, .ran = sql, .sqlstate = results.sqlstate, .name_table = true});
  }
  if (results.schema_changed) LoadDateColumns();
  if (records_affected != nullptr) *records_affected = results.affected;
  // Closed when the statement returned no rows.
  return results.rows ? results.rows : Recordset::Create();
}

int PostgresConnection::BeginTrans() {
  return db_detail::BeginLevel(transaction_level_, [&](const std::string& sql) { RunPlain(sql); });
}

void PostgresConnection::CommitTrans() {
  db_detail::CommitLevel(transaction_level_, kSource,
                         [&](const std::string& sql) { RunPlain(sql); });
}

void PostgresConnection::RollbackTrans() {
  db_detail::RollbackLevel(transaction_level_, kSource,
                           [&](const std::string& sql) { RunPlain(sql); });
}

void PostgresConnection::ExecuteScript(std::string_view sql) {
  RunPlain(std::string(sql));
  LoadDateColumns();
}

bool PostgresConnection::Exists(const std::string& sql) const {
  Result result(PQexec(Handle(), sql.c_str()));
  Check(result.res, {.written = sql});
  return PQntuples(result.res) > 0;
}

bool PostgresConnection::HasTable(std::string_view table, std::string_view schema) const {
  const std::string in_schema =
      schema.empty() ? std::string("current_schema()") : QuoteSqlText(schema);
  return Exists("SELECT 1 FROM information_schema.tables WHERE table_schema = " + in_schema +
                " AND upper(table_name) = upper(" + QuoteSqlText(table) + ")");
}

void PostgresConnection::LockUntilTransactionEnds(std::string_view key) {
  if (transaction_level_ == 0) Raise(err::kNotAllowed, kSource, "no transaction to lock in");
  RunPlain("SELECT pg_advisory_xact_lock(hashtext(" + QuoteSqlText(key) + "))");
}

bool PostgresConnection::HasSchema(std::string_view schema) const {
  return Exists("SELECT 1 FROM information_schema.schemata WHERE schema_name = " +
                QuoteSqlText(schema));
}

void PostgresConnection::LoadDateColumns() {
  static constexpr const char* kDateColumns =
      "SELECT DISTINCT upper(column_name) FROM information_schema.columns"
      " WHERE table_schema NOT IN ('pg_catalog', 'information_schema')"
      " AND data_type IN ('date', 'timestamp without time zone',"
      " 'timestamp with time zone')";
  Result result(PQexec(Handle(), kDateColumns));
  Check(result.res, {.written = kDateColumns});
  date_columns_.clear();
  for (int r = 0; r < PQntuples(result.res); ++r)
    date_columns_.insert(PQgetvalue(result.res, r, 0));
}

}  // namespace tarvolin
