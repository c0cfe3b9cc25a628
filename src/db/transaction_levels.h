// Nested transactions as savepoints, for the connections that run SQL text:
// level 1 is the transaction itself, deeper levels are savepoints named by
// their level. The spelling is the one SQLite and PostgreSQL both read.
#pragma once

#include <string>
#include <string_view>

#include "tarvolin/automation/error.h"

namespace tarvolin::db_detail {

// run executes one piece of SQL text; level is the connection's count.
template <class Run>
int BeginLevel(int& level, Run&& run) {
  run(level == 0 ? std::string("BEGIN") : "SAVEPOINT tv_" + std::to_string(level));
  return ++level;
}

template <class Run>
void CommitLevel(int& level, std::string_view source, Run&& run) {
  if (level == 0) Raise(err::kNotAllowed, source, "no transaction to commit");
  --level;
  run(level == 0 ? std::string("COMMIT") : "RELEASE SAVEPOINT tv_" + std::to_string(level));
}

template <class Run>
void RollbackLevel(int& level, std::string_view source, Run&& run) {
  if (level == 0) Raise(err::kNotAllowed, source, "no transaction to roll back");
  --level;
  if (level == 0) {
    run("ROLLBACK");
    return;
  }
  const std::string name = "tv_" + std::to_string(level);
  run("ROLLBACK TO SAVEPOINT " + name + "; RELEASE SAVEPOINT " + name);
}

}  // namespace tarvolin::db_detail
