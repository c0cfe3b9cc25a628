// Catching what the system raises, so tests check the number, the source and
// that the description names the thing at fault, never just "it threw".
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/error_policy.h"

namespace tarvolin::testing_support {

// The error a call raises; number 0 (no source, no description) when it raises none.
template <class F>
Error ErrorOf(F&& call) {
  try {
    call();
  } catch (const Error& error) {
    return error;
  }
  return Error(0, "", "");
}

// Whether call raises number with that source and a description containing
// description_part. The source must match exactly; one ending in a line break
// is a chain of labels the source must start with. "" checks nothing.
template <class F>
::testing::AssertionResult Raises(F&& call, int32_t number, std::string_view source = {},
                                  std::string_view description_part = {}) {
  const Error error = ErrorOf(call);
  const bool source_ok =
      source.empty() || error.source() == source ||
      (source.back() == '\n' && std::string_view(error.source()).starts_with(source));
  if (error.number() == number && source_ok &&
      error.description().find(description_part) != std::string::npos) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "raised " << error.number() << " from \"" << error.source() << "\": \""
         << error.description() << "\"; expected " << number << " from \"" << source
         << "\" naming \"" << description_part << "\"";
}

// An error service that fails the fail_at-th statement of one procedure once
// (0: none) and gives one answer to whatever it is asked; before answering it
// runs mend, the place to correct what made a statement fail.
class StatementFaults : public ErrorService {
 public:
  StatementFaults(std::string procedure, int answer)
      : procedure_(std::move(procedure)), answer_(answer) {}
  void BeforeStatement(std::string_view procedure) override {
    if (procedure != procedure_) return;
    if (++statements == fail_at) Raise(err::kInvalidProcedureCall, "StatementFaults", "injected");
  }
  int Ask(std::string_view, int32_t, std::string_view, int32_t, const Error& error) override {
    ++asked;
    numbers.push_back(error.number());
    if (mend) mend();
    return answer_;
  }
  int fail_at = 0;
  int statements = 0;  // attempts seen so far
  int asked = 0;
  std::vector<int32_t> numbers;  // of the errors asked about, in order
  std::function<void()> mend;

 private:
  std::string procedure_;
  int answer_;
};

}  // namespace tarvolin::testing_support
