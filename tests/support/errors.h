// Catching what the system raises, so tests check the number, the source and
// that the description names the thing at fault, never just "it threw".
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tarvolin/automation/error.h"

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

}  // namespace tarvolin::testing_support
