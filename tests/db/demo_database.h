// The demo company database for tests: built with InitCompanyDatabase in a
// directory of its own (unique per process and object), opened with its asset
// database attached, and removed with everything in it when the object goes.
// On the PostgreSQL backend it is a new database on the test server
// (postgres_test_server.h), dropped when the object goes.
//
// Tests that change data should do it inside a transaction they roll back, or
// on document numbers no other test reads, so one build can serve a suite.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "db/postgres_test_server.h"
#include "tarvolin/db/company_database.h"
#include "tarvolin/db/sqlite_connection.h"

namespace tarvolin::testing_support {

class DemoDatabase {
 public:
  explicit DemoDatabase(Backend backend = Backend::kSqlite) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarvolin_demo_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::filesystem::filesystem_error("cannot create a temporary directory", pattern,
                                              std::error_code(errno, std::generic_category()));
    }
    dir_ = pattern;
    try {
      if (backend == Backend::kPostgres) {
        server_database_ = std::make_unique<ServerDatabase>();
        path_ = server_database_->uri();
      } else {
        path_ = (dir_ / "company.db").string();
      }
      InitCompanyDatabase(path_, {});
      connection_ = OpenCompanyDatabase(path_);
    } catch (...) {
      Remove();
      throw;
    }
  }
  ~DemoDatabase() {
    if (connection_) connection_->Close();
    connection_.reset();
    server_database_.reset();
    Remove();
  }
  DemoDatabase(const DemoDatabase&) = delete;
  DemoDatabase& operator=(const DemoDatabase&) = delete;

  // The SQLite connection; only for a database built on SQLite.
  SqliteConnection& connection() const { return dynamic_cast<SqliteConnection&>(*connection_); }
  // The connection, whatever the backend.
  Connection& database() const { return *connection_; }
  // The file's path, or the server database's URI.
  const std::string& path() const { return path_; }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  void Remove() noexcept {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::filesystem::path dir_;
  std::string path_;
  std::unique_ptr<ServerDatabase> server_database_;
  std::shared_ptr<Connection> connection_;
};

}  // namespace tarvolin::testing_support
