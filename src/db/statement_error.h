// The one way a statement the database refused leaves a connection, whatever
// the backend: Error kDatabaseError from the connection, the database's own
// message as the description, the statement in the context.
#pragma once

#include <string>
#include <string_view>

namespace tarvolin::db_detail {

struct FailedStatement {
  std::string_view written;   // as the caller wrote it
  std::string_view ran = {};  // as the backend ran it, when adapted ("" or equal: not shown)
  std::string_view sqlstate = {};
  // An engine statement: the table it works on is added to the description
  // when the message does not name it, so one line says where it failed.
  bool name_table = false;
};

[[noreturn]] void RaiseStatementError(std::string_view source, std::string message,
                                      const FailedStatement& statement);

}  // namespace tarvolin::db_detail
