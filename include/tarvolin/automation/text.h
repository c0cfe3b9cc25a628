// Text helpers shared by every layer. Case rules are ASCII only: codes, field
// and table names are ASCII, and the result must not depend on the locale.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace tarvolin {

inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return UpperAscii(x) == UpperAscii(y);
         });
}

inline std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
  return out;
}

}  // namespace tarvolin
