#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

std::string RightTrimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::string NzStr(const std::optional<Variant>& Valore) {
  return Valore ? NzStr(*Valore) : std::string();
}

std::string NzStr(const Variant& Valore) {
  if (Valore.IsNull() || Valore.IsEmpty()) return {};
  return RightTrimmed(Valore.CStr());
}

Variant NzDec(const Variant& Valore) {
  if (Valore.IsNull() || Valore.IsEmpty()) return Variant(int16_t{0});
  if (Valore.IsString() && RightTrimmed(Valore.str()).empty()) return Variant(int16_t{0});
  return Variant(Valore.CDec());
}

Decimal NzDecimal(const Variant& Valore) {
  const Variant value = NzDec(Valore);
  return value.type() == VarType::kDecimal ? value.dec() : Decimal();
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
