#include "tarvolin/automation/error_policy.h"

namespace tarvolin {

Error Relabelled(const Error& error, std::string_view label) {
  std::string source(label);
  source += kCrLf;
  source += error.source();
  return Error(error.number(), std::move(source), error.description());
}

}  // namespace tarvolin
