// The embedded company database: a Connection over an SQLite file.
//
// Statements arrive as T-SQL and are adapted to SQLite (sql_dialect.h) before
// they run. Dates are stored as ISO text; date columns are learnt from the
// schema (columns declared DATE or DATETIME) so 'YYYYMMDD' literals compared
// with them are rewritten. A second database the engine names as
// [name].dbo.TABLE is an SQLite file attached under that name.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "tarvolin/db/connection.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tarvolin {

namespace db_detail {
struct FailedStatement;
}  // namespace db_detail

struct SqliteOpenOptions {
  bool create = true;  // create the file when missing
  bool read_only = false;
};

class SqliteConnection : public Connection {
 public:
  // Opens path (":memory:" for a private in-memory database). A file that
  // cannot be opened raises 3709 naming the path.
  static std::shared_ptr<SqliteConnection> Open(const std::string& path,
                                                SqliteOpenOptions options = {});
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  std::shared_ptr<Recordset> Execute(std::string_view command_text,
                                     int32_t* records_affected = nullptr,
                                     int32_t options = execute_option::kUnspecified) override;
  int BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  int TransactionLevel() const override { return transaction_level_; }
  void Close() override;
  bool IsOpen() const override { return db_ != nullptr; }

  // Runs a script of SQLite statements as written (no T-SQL adaptation).
  void ExecuteScript(std::string_view sql);
  // Attaches another SQLite file under name, for [name].dbo.TABLE.
  void Attach(std::string_view name, const std::string& path);
  bool IsAttached(std::string_view name) const;
  // True when the main database has a table of that name.
  bool HasTable(std::string_view table) const;
  const std::string& path() const { return path_; }

 private:
  SqliteConnection(sqlite3* db, std::string path);
  sqlite3* Handle() const;
  void LoadDateColumns();
  void RegisterFunctions();
  // The engine runs the same few statements for every document: each text is
  // adapted once, and each that holds one statement is prepared once and
  // reset after every use, until the schema may have changed or the
  // connection closes.
  // A kept statement, with the fields of its results once it gave some:
  // results share them until SQLite prepares the statement again.
  struct Kept {
    sqlite3_stmt* stmt = nullptr;
    std::shared_ptr<Recordset> shape;
    int reprepared = 0;  // SQLite's count when the shape was taken
  };
  const std::string& Adapted(std::string_view command_text);
  Kept* Prepared(const std::string& sql);
  Kept* KeepPrepared(const std::string& sql, sqlite3_stmt* stmt);
  void ForgetPrepared() noexcept;
  // The statement of sql that starts at next, prepared, with next moved past
  // it; null when only a comment is left. A text of one statement is taken
  // from the kept ones, or kept (kept points to it then, else null).
  sqlite3_stmt* PrepareNext(const std::string& sql, const char*& next, const char* end,
                            const db_detail::FailedStatement& failed, Kept*& kept);
  // The rows of a statement whose first step gave rc.
  std::shared_ptr<Recordset> ReadRows(sqlite3_stmt* stmt, int columns, int rc,
                                      const db_detail::FailedStatement& failed, Kept* kept) const;
  // rc when SQLite reports success (OK, ROW, DONE); otherwise the statement's
  // error, with SQLite's message for it.
  int Check(int rc, const db_detail::FailedStatement& statement) const;
  void RunPlain(const std::string& sql);

  sqlite3* db_;
  std::string path_;
  int transaction_level_ = 0;
  std::unordered_set<std::string> date_columns_;  // upper case
  // Looked up by the caller's text as it is, without a copy of it.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept {
      return std::hash<std::string_view>()(text);
    }
  };
  std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>
      adapted_;                                     // SQLite text by T-SQL text
  std::unordered_map<std::string, Kept> prepared_;  // by SQLite text
};

}  // namespace tarvolin
