// The company database on a PostgreSQL server: a Connection through libpq.
//
// Named by a URI, postgresql://user@host:port/dbname (or postgres://...).
// Statements arrive as T-SQL and are adapted to PostgreSQL (sql_dialect.h).
// Values travel as text both ways: NUMERIC is read exactly into Decimal,
// DATE and TIMESTAMP columns into dates. Column names the server folds to
// lower case come back upper case, as the schema spells them. A second
// database the engine names as [name].dbo.TABLE is the schema "name" of the
// same database.
//
// A statement that fails inside a transaction rolls back to just before it
// (a savepoint per statement), so the transaction stays usable as it does
// on SQLite and SQL Server.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "tarvolin/db/connection.h"

struct pg_conn;
struct pg_result;

namespace tarvolin {

namespace db_detail {
struct FailedStatement;
}  // namespace db_detail

// True for a text naming a PostgreSQL server rather than an SQLite file.
bool IsPostgresUri(std::string_view text);

class PostgresConnection : public Connection {
 public:
  // Connects. A URI that does not parse, a server that cannot be reached or
  // refuses the login raises 3709 naming the server and the cause.
  static std::shared_ptr<PostgresConnection> Open(const std::string& uri);
  ~PostgresConnection() override;
  PostgresConnection(const PostgresConnection&) = delete;
  PostgresConnection& operator=(const PostgresConnection&) = delete;

  std::shared_ptr<Recordset> Execute(std::string_view command_text,
                                     int32_t* records_affected = nullptr,
                                     int32_t options = execute_option::kUnspecified) override;
  int BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  int TransactionLevel() const override { return transaction_level_; }
  void Close() override;
  bool IsOpen() const override { return conn_ != nullptr; }

  // Runs a script of PostgreSQL statements as written (no T-SQL adaptation).
  void ExecuteScript(std::string_view sql);
  // True when the schema (the current one when empty) has a table of that name.
  bool HasTable(std::string_view table, std::string_view schema = {}) const;
  bool HasSchema(std::string_view schema) const;
  // Inside a transaction: waits until no other transaction holds key, and
  // holds it until this one ends. Workers registering the same document
  // take turns; different documents do not wait for each other.
  void LockUntilTransactionEnds(std::string_view key);
  // "host:port/dbname": the server, for messages (never the password).
  const std::string& server() const { return server_; }

 private:
  PostgresConnection(pg_conn* conn, std::string server);
  pg_conn* Handle() const;
  void LoadDateColumns();
  void RunPlain(const std::string& sql);
  bool Exists(const std::string& sql) const;
  // Nothing when the server accepted the statement; otherwise its error (or
  // 3709 when the connection is gone), with the server's message for it.
  void Check(const pg_result* result, const db_detail::FailedStatement& statement) const;
  [[noreturn]] void Fail(std::string message, const db_detail::FailedStatement& statement) const;

  pg_conn* conn_;
  std::string server_;
  int transaction_level_ = 0;
  std::unordered_set<std::string> date_columns_;  // upper case
};

}  // namespace tarvolin
