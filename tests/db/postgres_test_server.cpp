#include "db/postgres_test_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "tarvolin/automation/error.h"
#include "tarvolin/db/postgres_connection.h"

namespace tarvolin::testing_support {
namespace {

namespace fs = std::filesystem;

struct TestServer {
  std::string socket_folder;  // "" when there is no server
  std::string missing;
  std::string own_state;  // the state file of a server this process started
};

std::string Script() { return std::string(TARVOLIN_SOURCE_DIR) + "/scripts/postgres-test-server"; }

std::string ReadState(const std::string& state) {
  std::ifstream in(state);
  std::string folder;
  std::getline(in, folder);
  return folder;
}

TestServer& Server() {
  static TestServer server;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string state;
    if (const char* shared = std::getenv("TARVOLIN_TEST_POSTGRES")) {
      state = shared;
    } else {
      state = (fs::temp_directory_path() / ("tarvolin-pg-" + std::to_string(::getpid()))).string();
      const std::string command = "'" + Script() + "' start '" + state + "' >&2";
      if (std::system(command.c_str()) != 0) {
        server.missing = "the PostgreSQL test server did not start (see the log above)";
        return;
      }
      server.own_state = state;
    }
    server.socket_folder = ReadState(state);
    if (server.socket_folder.empty()) {
      server.missing = "no PostgreSQL server binaries: the PostgreSQL tests skip";
    }
  });
  return server;
}

// Stops the server this process started, when the run ends.
class StopServer : public ::testing::Environment {
 public:
  void TearDown() override {
    TestServer& server = Server();
    if (server.own_state.empty()) return;
    const std::string command = "'" + Script() + "' stop '" + server.own_state + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not stop the server\n");
  }
};

[[maybe_unused]] ::testing::Environment* const kStopServer =
    ::testing::AddGlobalTestEnvironment(new StopServer);

}  // namespace

const char* BackendName(Backend backend) {
  return backend == Backend::kPostgres ? "PostgreSQL" : "SQLite";
}

std::string PostgresTestUri(const std::string& name) {
  const TestServer& server = Server();
  if (server.socket_folder.empty()) return "";
  return "postgresql://postgres@/" + name + "?host=" + server.socket_folder;
}

const std::string& PostgresTestServerMissing() { return Server().missing; }

ServerDatabase::ServerDatabase() {
  static std::atomic<int> counter{0};
  name_ = "tv_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  const std::string admin = PostgresTestUri("postgres");
  if (admin.empty()) RaiseText(err::kConnectionUnusable, "ServerDatabase", Server().missing);
  PostgresConnection::Open(admin)->ExecuteScript("CREATE DATABASE " + name_);
  uri_ = PostgresTestUri(name_);
}

ServerDatabase::~ServerDatabase() {
  try {
    PostgresConnection::Open(PostgresTestUri("postgres"))
        ->ExecuteScript("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
  } catch (const Error&) {  // the server goes with its folder at the end of the run
  }
}

}  // namespace tarvolin::testing_support
