// The message that tells the user a collaborator (payment-terms or commission
// calculator) failed: what failed, a carriage return, and the text of its
// result code, each through the message catalogue.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/engine_object.h"

namespace tarvolin {

// A result code with its default text and message number.
struct FailureText {
  int32_t code;
  const char* text;
  int32_t number;
};

// other stands for every code failures does not list.
inline std::string FailureMessage(CLSMG_TARVOLIN& engine, const char* first_line,
                                  int32_t first_number, std::span<const FailureText> failures,
                                  const FailureText& other, int32_t code) {
  const FailureText* failure = &other;
  for (const FailureText& listed : failures) {
    if (listed.code == code) failure = &listed;
  }
  return engine.GetTestoMessaggio(first_line, first_number, Variant()) + "\r" +
         engine.GetTestoMessaggio(failure->text, failure->number, Variant());
}

}  // namespace tarvolin
