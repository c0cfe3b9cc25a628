// The demo company database for tests: built with InitCompanyDatabase in a
// directory of its own (unique per process and object), opened with its asset
// database attached, and removed with everything in it when the object goes.
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

#include "tarvolin/db/company_database.h"

namespace tarvolin::testing_support {

class DemoDatabase {
 public:
  DemoDatabase() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarvolin_demo_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::filesystem::filesystem_error("cannot create a temporary directory", pattern,
                                              std::error_code(errno, std::generic_category()));
    }
    dir_ = pattern;
    try {
      path_ = (dir_ / "company.db").string();
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
    Remove();
  }
  DemoDatabase(const DemoDatabase&) = delete;
  DemoDatabase& operator=(const DemoDatabase&) = delete;

  SqliteConnection& connection() const { return *connection_; }
  const std::string& path() const { return path_; }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  void Remove() noexcept {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::filesystem::path dir_;
  std::string path_;
  std::shared_ptr<SqliteConnection> connection_;
};

}  // namespace tarvolin::testing_support
