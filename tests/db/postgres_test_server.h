// The throwaway PostgreSQL server the database tests also run against.
//
// Under ctest the cluster is started once for the whole run by the
// postgres_server fixture (scripts/postgres-test-server), which writes its
// socket folder to the file $TARVOLIN_TEST_POSTGRES. Run directly, the test
// binary starts one itself on first use and stops it when the run ends.
// Without the server binaries there is none: PostgreSQL tests skip, saying so.
#pragma once

#include <string>

namespace tarvolin::testing_support {

enum class Backend { kSqlite, kPostgres };

// "SQLite" or "PostgreSQL", for test names.
const char* BackendName(Backend backend);

// postgresql:// URI of database `name` on the test server; "" when there is
// no server.
std::string PostgresTestUri(const std::string& name);

// Why there is no test server ("" when there is one).
const std::string& PostgresTestServerMissing();

// A new empty database on the test server, dropped when the object goes.
// Raises when there is no test server.
class ServerDatabase {
 public:
  ServerDatabase();
  ~ServerDatabase();
  ServerDatabase(const ServerDatabase&) = delete;
  ServerDatabase& operator=(const ServerDatabase&) = delete;
  const std::string& uri() const { return uri_; }

 private:
  std::string name_;
  std::string uri_;
};

}  // namespace tarvolin::testing_support

// Skips the running test when there is no PostgreSQL test server.
#define SKIP_WITHOUT_POSTGRES()                                                 \
  do {                                                                          \
    if (!::tarvolin::testing_support::PostgresTestServerMissing().empty()) {    \
      GTEST_SKIP() << ::tarvolin::testing_support::PostgresTestServerMissing(); \
    }                                                                           \
  } while (false)
