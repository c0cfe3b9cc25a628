#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

std::string RightTrimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool IsBlanks(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// Whether NzDec gives the Integer 0 for this value.
bool IsNothingToConvert(const Variant& value) {
  return value.IsNull() || value.IsEmpty() || (value.IsString() && IsBlanks(value.str()));
}

}  // namespace

std::string NzStr(const std::optional<Variant>& Valore) {
  return Valore ? NzStr(*Valore) : std::string();
}

std::string NzStr(const Variant& Valore) {
  if (Valore.IsNull() || Valore.IsEmpty()) return {};
  if (Valore.IsString()) {
    // Trimmed in place of a copy: codes are read on every row.
    const std::string& text = Valore.str();
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
  return RightTrimmed(Valore.CStr());
}

bool NzStrEquals(const Variant& Valore, std::string_view text) {
  const auto trimmed = [](std::string_view t) {
    const size_t end = t.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : t.substr(0, end + 1);
  };
  if (Valore.IsString()) return trimmed(Valore.str()) == trimmed(text);
  return NzStr(Valore) == trimmed(text);
}

Variant NzDec(const Variant& Valore) {
  if (Valore.type() == VarType::kDecimal) return Valore;
  if (IsNothingToConvert(Valore)) return Variant(int16_t{0});
  return Variant(Valore.CDec());
}

Decimal NzDecimal(const Variant& Valore) {
  if (Valore.type() == VarType::kDecimal) return Valore.dec();
  if (IsNothingToConvert(Valore)) return Decimal();
  return Valore.CDec();
}

bool IsOneOfCodes(const Decimal& value, std::initializer_list<int32_t> codes) {
  // Compared as a whole number once, not as a Decimal against each code.
  const std::optional<int64_t> whole = value.ToInt64();
  if (!whole) return false;
  for (int32_t code : codes) {
    if (*whole == code) return true;
  }
  return false;
}

std::string SqlQuoted(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

bool WriteIfChanged(Recordset& rs, std::string_view field, const Variant& value) {
  if (NzDec(rs.Get(field)) == NzDec(value)) return false;
  rs.Set(field, value);
  return true;
}

}  // namespace tarvolin
