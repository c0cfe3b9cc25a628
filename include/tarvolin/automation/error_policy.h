// The three ways a procedure handles an error:
//  - re-raise it with its own label prepended to the source chain (the default);
//  - swallow it (a few helpers);
//  - ask the host's error service, then retry the failed statement (answer 4),
//    go on with the next statement (5) or leave the procedure (any other).
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "tarvolin/automation/error.h"

namespace tarvolin {

inline constexpr char kCrLf[] = "\r\n";

// The error with the same number and description and the source
// label + CR LF + incoming source.
Error Relabelled(const Error& error, std::string_view label);

// Runs body; an Error escaping it is raised again under label.
template <class F>
decltype(auto) WithLabel(std::string_view label, F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (const Error& error) {
    throw Relabelled(error, label);
  }
}

// Runs body and ignores any Error it raises.
template <class F>
void Swallowing(F&& body) {
  try {
    std::forward<F>(body)();
  } catch (const Error&) {
  }
}

// What the host offers to decide on an error; the answer is a number.
class ErrorService {
 public:
  static constexpr int kRetry = 4;
  static constexpr int kIgnore = 5;
  static constexpr int32_t kNumber = 99;  // the number the engine passes
  static constexpr int32_t kStyle = 274;  // abort/retry/ignore, critical, second default

  virtual ~ErrorService() = default;
  // procedure: the asking procedure's name; error: what was raised.
  virtual int Ask(std::string_view procedure, int32_t number, std::string_view text, int32_t style,
                  const Error& error) = 0;
  // Called before every attempt of every statement the service answers for;
  // an Error raised here counts as the statement failing. Hosts leave it
  // alone; tests raise here to fail one statement after another.
  virtual void BeforeStatement(std::string_view /*procedure*/) {}
};

// Runs a procedure's statements one at a time under the error service's
// answers: 4 runs the failed statement again, 5 goes on with the statement
// after it, any other answer leaves the procedure, and every further
// statement is then skipped. One call, one statement: a block guarded as a
// whole would repeat or skip its statements that did not fail.
//   ErrorGuard run(service, "SyncDocCorpoRaggr");
//   if (!run([&] { clone = rows->Clone(); })) return;
//   if (!run.Each([&] { a(); }, [&] { b(); })) return;
class ErrorGuard {
 public:
  ErrorGuard(ErrorService& service, std::string procedure)
      : service_(service), procedure_(std::move(procedure)) {}

  // Runs statement; returns false when the procedure must be left.
  template <class F>
  bool operator()(F&& statement) {
    while (!left_) {
      try {
        service_.BeforeStatement(procedure_);
        statement();
        return true;
      } catch (const Error& error) {
        const int answer =
            service_.Ask(procedure_, ErrorService::kNumber, "", ErrorService::kStyle, error);
        if (answer == ErrorService::kRetry) continue;
        if (answer == ErrorService::kIgnore) return true;
        left_ = true;
      }
    }
    return false;
  }

  // Runs the statements in order, each on its own; false once one says leave.
  template <class... F>
  bool Each(F&&... statements) {
    return ((*this)(std::forward<F>(statements)) && ...);
  }

  bool left() const { return left_; }

 private:
  ErrorService& service_;
  std::string procedure_;
  bool left_ = false;
};

}  // namespace tarvolin
