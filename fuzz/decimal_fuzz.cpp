// The decimal conversions on any text and any double: text that parses
// writes back to text that parses to the same value and scale; a double
// converts or raises overflow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tarvolin/automation/decimal.h"
#include "tarvolin/automation/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvolin;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto number = Decimal::TryParse(text)) {
    const std::string written = number->ToString();
    const auto again = Decimal::TryParse(written);
    if (!again || *again != *number || again->ToString() != written) std::abort();
  }
  if (size >= sizeof(double)) {
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    try {
      const Decimal converted = Decimal::FromDouble(value);
      (void)converted.ToString();
    } catch (const Error&) {
    }
  }
  return 0;
}
