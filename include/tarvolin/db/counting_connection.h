// A connection that forwards to another and counts what it runs, so tests and
// benchmarks can show how many statements an operation costs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tarvolin/db/connection.h"

namespace tarvolin {

class CountingConnection : public Connection {
 public:
  explicit CountingConnection(std::shared_ptr<Connection> inner) : inner_(std::move(inner)) {}

  std::shared_ptr<Recordset> Execute(std::string_view command_text,
                                     int32_t* records_affected = nullptr,
                                     int32_t options = execute_option::kUnspecified) override;
  int BeginTrans() override { return inner_->BeginTrans(); }
  void CommitTrans() override { inner_->CommitTrans(); }
  void RollbackTrans() override { inner_->RollbackTrans(); }
  int TransactionLevel() const override { return inner_->TransactionLevel(); }
  void Close() override { inner_->Close(); }
  bool IsOpen() const override { return inner_->IsOpen(); }

  int64_t statements() const { return static_cast<int64_t>(log_.size()); }
  // Statements run so far, in order, as the caller wrote them.
  const std::vector<std::string>& log() const { return log_; }
  void Reset() { log_.clear(); }
  // Called before each statement with its ordinal (1-based); raising from it
  // makes that statement fail, which is how tests inject faults.
  void SetBeforeEach(std::function<void(int64_t, std::string_view)> hook) {
    before_each_ = std::move(hook);
  }

 private:
  std::shared_ptr<Connection> inner_;
  std::vector<std::string> log_;
  std::function<void(int64_t, std::string_view)> before_each_;
};

}  // namespace tarvolin
