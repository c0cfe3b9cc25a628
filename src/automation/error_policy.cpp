#include "tarvolin/automation/error_policy.h"

namespace tarvolin {

Error Relabelled(const Error& error, std::string_view label) {
  // An error the procedure raised itself already names it: the label takes
  // that place in the chain rather than repeating it.
  std::string_view incoming = error.source();
  std::string_view name = label;
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  const size_t line_end = incoming.find(kCrLf);
  if (incoming.substr(0, line_end) == name) {
    incoming =
        line_end == std::string_view::npos ? std::string_view() : incoming.substr(line_end + 2);
  }
  std::string source(label);
  source += kCrLf;
  source += incoming;
  return Error(error.number(), std::move(source), error.description()).WithContext(error.context());
}

}  // namespace tarvolin
