// Connection: what the engine's database connection is to it. It executes
// command text and hands back static, disconnected recordsets, runs statements
// that return nothing, and brackets writes in transactions.
//
// Errors: a statement the database refuses raises kDatabaseError with the
// database's own message and the statement in the description; a closed
// connection raises 3709; CommitTrans/RollbackTrans without a transaction 3219.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/variant.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin {

namespace err {
// The number a data provider reports for a statement the server refused.
inline constexpr int32_t kDatabaseError = -2147217900;
}  // namespace err

// The options argument of Execute: 1 command text, -1 unspecified.
namespace execute_option {
inline constexpr int32_t kUnspecified = -1;
inline constexpr int32_t kCommandText = 1;
}  // namespace execute_option

class Connection : public Object {
 public:
  std::string_view TypeName() const override { return "Connection"; }

  // Runs one statement. One that yields a result set gives an open recordset
  // typed from the result's columns, on its first row (Bof and Eof when it has
  // none); one that yields none gives a closed recordset. records_affected,
  // when given, receives the rows changed (-1 for a query).
  virtual std::shared_ptr<Recordset> Execute(std::string_view command_text,
                                             int32_t* records_affected = nullptr,
                                             int32_t options = execute_option::kUnspecified) = 0;
  // Runs a statement for its effect; returns the rows changed.
  int32_t ExecuteNonQuery(std::string_view command_text) {
    int32_t affected = 0;
    Execute(command_text, &affected, execute_option::kCommandText);
    return affected;
  }

  // Nested calls nest (an inner level commits into the outer one). Returns the
  // new level, 1 for the outermost.
  virtual int BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void RollbackTrans() = 0;
  virtual int TransactionLevel() const = 0;

  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
};

// True for an error raised because the transaction collided with another
// one (a serialization failure or a deadlock the server broke): running the
// whole transaction again may succeed.
bool IsTransactionConflict(const Error& error);

// Runs body in a transaction of its own: committed when body returns, rolled
// back when it raises (and the error raised again).
template <class F>
void InTransaction(Connection& connection, F&& body) {
  connection.BeginTrans();
  try {
    body();
  } catch (...) {
    try {
      connection.RollbackTrans();
    } catch (...) {  // the first failure is the one worth reporting
    }
    throw;
  }
  connection.CommitTrans();
}

}  // namespace tarvolin
