#include "db/statement_error.h"

#include "db/sql_tokenizer.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/db/connection.h"

namespace tarvolin::db_detail {

void RaiseStatementError(std::string_view source, std::string message,
                         const FailedStatement& statement) {
  if (statement.name_table) {
    const std::string table = SqlTableOf(statement.written);
    if (!table.empty() && message.find(table) == std::string::npos) {
      message += " (statement on " + table + ")";
    }
  }
  std::string context = "statement: ";
  context += statement.written;
  if (!statement.ran.empty() && statement.ran != statement.written) {
    context += "\nrun as: ";
    context += statement.ran;
  }
  if (!statement.sqlstate.empty()) {
    context += "\nsqlstate: ";
    context += statement.sqlstate;
  }
  throw Error(err::kDatabaseError, std::string(source), std::move(message))
      .WithContext(std::move(context));
}

}  // namespace tarvolin::db_detail
