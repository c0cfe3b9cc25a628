// Documents and engines for tests: company 1 in USD, a document with one
// header row, and an engine over the demo company database whose statements
// are counted and kept, with the option each one was run with.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/demo_database.h"
#include "engine/engine_object.h"
#include "tarvolin/db/counting_connection.h"
#include "tarvolin/db/postgres_connection.h"
#include "tarvolin/host/host_document.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin::testing_support {

// Company 1: USD, accounts group 1, decimals settings "2" and 5, and the
// currency list USD 2, CAD 2, JPY 0.
inline std::shared_ptr<CurrentCompany> Company1() {
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  company->accounts_group = "1";
  company->first_decimals = Variant("2");
  company->second_decimals = Variant(int16_t{5});
  company->currency_decimals = {{"USD", 2}, {"CAD", 2}, {"JPY", 0}};
  return company;
}

// An engine with the host's calculation helper, set to no document or connection.
inline std::shared_ptr<CLSMG_TARVOLIN> UnboundEngine() {
  return std::make_shared<CLSMG_TARVOLIN>([] { return std::make_shared<HostCalculationHelper>(); });
}

// Counts statements and also keeps the option argument each one was run with.
class RecordingConnection : public CountingConnection {
 public:
  using CountingConnection::CountingConnection;
  std::shared_ptr<Recordset> Execute(std::string_view command_text, int32_t* records_affected,
                                     int32_t options) override {
    options_.push_back(options);
    return CountingConnection::Execute(command_text, records_affected, options);
  }
  const std::vector<int32_t>& options() const { return options_; }

 private:
  std::vector<int32_t> options_;
};

// An engine on a document of Company1 with one (blank) header row, over a
// demo database of the test's own (SQLite unless asked).
class EngineBench : public ::testing::Test {
 protected:
  // On PostgreSQL without a test server the bench stands on SQLite: the test
  // skips in SetUp, after the bench is built.
  explicit EngineBench(Backend backend = Backend::kSqlite)
      : demo_(backend == Backend::kPostgres && !PostgresTestServerMissing().empty()
                  ? Backend::kSqlite
                  : backend),
        connection_(std::make_shared<RecordingConnection>(
            std::shared_ptr<Connection>(&demo_.database(), [](Connection*) {}))),
        company_(Company1()),
        document_(std::make_shared<HostDocument>(company_)),
        header_(NewDocumentRecordset(DocumentTable::kHeader)) {
    AppendRow(*header_, {});
    document_->Set(DocumentTable::kHeader, header_);
    engine_ = NewEngine();
  }

  // Another engine on the same document and connection, with empty caches.
  std::shared_ptr<CLSMG_TARVOLIN> NewEngine() {
    auto engine = UnboundEngine();
    engine->set_cc(document_);
    engine->set_ADOConnection(connection_);
    return engine;
  }
  void Sql(const std::string& script) {
    if (auto* sqlite = dynamic_cast<SqliteConnection*>(&demo_.database())) {
      sqlite->ExecuteScript(script);
    } else {
      dynamic_cast<PostgresConnection&>(demo_.database()).ExecuteScript(script);
    }
  }
  const std::vector<std::string>& log() const { return connection_->log(); }

  DemoDatabase demo_;
  std::shared_ptr<RecordingConnection> connection_;
  std::shared_ptr<CurrentCompany> company_;
  std::shared_ptr<HostDocument> document_;
  std::shared_ptr<Recordset> header_;
  std::shared_ptr<CLSMG_TARVOLIN> engine_;
};

}  // namespace tarvolin::testing_support
