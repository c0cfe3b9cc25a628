#include "recordset/value_rules.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "tarvolin/automation/error.h"

namespace tarvolin::recordset_detail {
namespace {

constexpr std::string_view kSource = "Recordset";

char Fold(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string_view TrimTrailingBlanks(std::string_view s) noexcept {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

uint64_t Mix(uint64_t x) noexcept {  // splitmix64 finaliser
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// Distinct seeds keep numbers, texts and Null apart.
constexpr uint64_t kNullSeed = 0x6e756c6cULL;
constexpr uint64_t kTextSeed = 0x74657874ULL;
constexpr uint64_t kDecimalSeed = 0x64656331ULL;
constexpr uint64_t kOtherSeed = 0x6f746872ULL;

uint64_t HashInt(int64_t v) noexcept { return Mix(static_cast<uint64_t>(v)); }

uint64_t HashDecimal(const Decimal& d) noexcept {
  if (auto i = d.ToInt64()) return HashInt(*i);
  const Decimal n = d.Normalized();
  uint64_t h = Mix(kDecimalSeed ^ n.lo());
  h = Mix(h ^ (static_cast<uint64_t>(n.mid()) << 32 | n.hi()));
  return Mix(h ^ (static_cast<uint64_t>(n.scale()) << 1 | (n.is_negative() ? 1 : 0)));
}

uint64_t HashDouble(double d) noexcept {
  if (d == 0) return HashInt(0);  // also -0
  // Integral doubles of up to 15 digits are exact as Decimal: hash as integers
  // without the cost of the conversion.
  if (std::fabs(d) < 1e15 && d == std::trunc(d)) return HashInt(static_cast<int64_t>(d));
  if (std::isfinite(d) && std::fabs(d) < 7.9e28) {
    try {
      // Compared with a Decimal, a Double goes through the 15-digit rule.
      return HashDecimal(Decimal::FromDouble(d));
    } catch (const Error&) {
    }
  }
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return Mix(kOtherSeed ^ bits);
}

uint64_t HashText(std::string_view s) noexcept {
  s = TrimTrailingBlanks(s);
  uint64_t h = 0xcbf29ce484222325ULL ^ kTextSeed;  // FNV-1a over folded bytes
  for (char c : s) {
    h ^= static_cast<unsigned char>(Fold(c));
    h *= 0x100000001b3ULL;
  }
  return Mix(h);
}

bool IsNumberLike(const Variant& v) noexcept {
  switch (v.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
    case VarType::kBoolean:
    case VarType::kDecimal:
    case VarType::kByte:
      return true;
    default:
      return false;
  }
}

size_t CodePoints(std::string_view s) noexcept {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

bool IsText(DataType type) noexcept {
  return type == DataType::kChar || type == DataType::kVarChar || type == DataType::kLongVarChar ||
         type == DataType::kVarWChar;
}

Variant Convert(const FieldInfo& field, const Variant& value) {
  switch (field.type) {
    case DataType::kSmallInt:
      return Variant(value.CInt());
    case DataType::kTinyInt: {
      const int16_t v = value.CInt();
      if (v < -128 || v > 127) Raise(err::kOverflow, "Variant");
      return Variant(v);
    }
    case DataType::kInteger:
      return Variant(value.CLng());
    case DataType::kBigInt: {
      const Decimal d = value.CDec().RoundHalfEven(0);
      if (!d.ToInt64()) Raise(err::kOverflow, "Variant");
      return Variant(d);
    }
    case DataType::kSingle:
    case DataType::kDouble:
      return Variant(value.CDbl());
    case DataType::kCurrency:
    case DataType::kDecimal:
    case DataType::kNumeric: {
      Decimal d = value.CDec();
      int scale = field.numeric_scale;
      if (scale == 0 && field.type == DataType::kCurrency) scale = 4;
      if (scale > 0 && d.scale() > scale) d = d.RoundHalfEven(scale);
      return Variant(d);
    }
    case DataType::kBoolean:
      return Variant(value.CBool());
    case DataType::kDate:
      return Variant(value.CDate());
    case DataType::kVariant:
      return value;
    default:  // text
      return Variant(value.CStr());
  }
}

}  // namespace

std::optional<FieldClass> ClassOf(DataType type) noexcept {
  switch (type) {
    case DataType::kSmallInt:
    case DataType::kInteger:
    case DataType::kSingle:
    case DataType::kDouble:
    case DataType::kCurrency:
    case DataType::kDecimal:
    case DataType::kTinyInt:
    case DataType::kBigInt:
    case DataType::kNumeric:
      return FieldClass::kNumber;
    case DataType::kBoolean:
      return FieldClass::kBoolean;
    case DataType::kDate:
      return FieldClass::kDate;
    case DataType::kChar:
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kVarWChar:
      return FieldClass::kText;
    case DataType::kVariant:
      return FieldClass::kVariant;
  }
  return std::nullopt;
}

int CompareText(std::string_view a, std::string_view b) noexcept {
  a = TrimTrailingBlanks(a);
  b = TrimTrailingBlanks(b);
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(Fold(a[i]));
    const auto cb = static_cast<unsigned char>(Fold(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithFolded(std::string_view text, std::string_view pattern) noexcept {
  if (text.size() < pattern.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (Fold(text[i]) != pattern[i]) return false;
  }
  return true;
}

bool ContainsFolded(std::string_view text, std::string_view pattern) noexcept {
  if (pattern.empty()) return true;
  for (size_t start = 0; start + pattern.size() <= text.size(); ++start) {
    if (StartsWithFolded(text.substr(start), pattern)) return true;
  }
  return false;
}

std::optional<int> CompareValues(FieldClass cls, const Variant& a, const Variant& b) noexcept {
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  const bool a_text = a.IsString();
  const bool b_text = b.IsString();
  if ((a_text || a.IsEmpty()) && (b_text || b.IsEmpty()) &&
      (a_text || b_text || cls == FieldClass::kText)) {
    return CompareText(a_text ? std::string_view(a.str()) : std::string_view(),
                       b_text ? std::string_view(b.str()) : std::string_view());
  }
  if (a.IsObject() || a.IsArray() || b.IsObject() || b.IsArray()) return std::nullopt;
  try {
    return Compare(a, b);
  } catch (const Error&) {
    return std::nullopt;
  }
}

int SortCompare(FieldClass cls, const Variant& a, const Variant& b) noexcept {
  auto rank = [cls](const Variant& v) {
    if (v.IsNull()) return 0;
    if (v.IsEmpty()) return cls == FieldClass::kText ? 2 : 1;
    if (IsNumberLike(v)) return 1;
    if (v.IsString()) return 2;
    return 3;
  };
  const int ra = rank(a);
  const int rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 2) {
    return CompareText(a.IsString() ? std::string_view(a.str()) : std::string_view(),
                       b.IsString() ? std::string_view(b.str()) : std::string_view());
  }
  if (ra != 1) return 0;
  try {
    return Compare(a, b).value_or(0);
  } catch (const Error&) {
    return 0;
  }
}

uint64_t KeyHash(FieldClass cls, const Variant& value) noexcept {
  if (value.IsNull()) return Mix(kNullSeed);
  if (cls == FieldClass::kText || value.IsString()) {
    if (value.IsString()) return HashText(value.str());
    if (value.IsEmpty()) return HashText({});
    return Mix(kOtherSeed);
  }
  try {
    switch (value.type()) {
      case VarType::kEmpty:
        return HashInt(0);
      case VarType::kInteger:
      case VarType::kLong:
      case VarType::kByte:
        return HashInt(value.CLng());
      case VarType::kBoolean:
        return HashInt(value.CBool() ? -1 : 0);
      case VarType::kDate:
        return HashDouble(value.CDate().serial);
      case VarType::kSingle:
      case VarType::kDouble:
        return HashDouble(value.CDbl());
      case VarType::kDecimal:
        return HashDecimal(value.dec());
      case VarType::kCurrency:
        return HashDecimal(value.CDec());
      default:
        return Mix(kOtherSeed);
    }
  } catch (const Error&) {
    return Mix(kOtherSeed);
  }
}

namespace {

// Whether the value already is what Convert would make of it for the field:
// the engine mostly writes Decimals into decimal fields and whole numbers
// into integer fields.
bool AlreadyConverted(const FieldInfo& field, const Variant& value) {
  switch (field.type) {
    case DataType::kCurrency:
    case DataType::kDecimal:
    case DataType::kNumeric: {
      if (value.type() != VarType::kDecimal) return false;
      int scale = field.numeric_scale;
      if (scale == 0 && field.type == DataType::kCurrency) scale = 4;
      return scale == 0 || value.dec().scale() <= scale;
    }
    case DataType::kSmallInt:
      return value.type() == VarType::kInteger;
    case DataType::kInteger:
      return value.type() == VarType::kLong;
    case DataType::kSingle:
    case DataType::kDouble:
      return value.type() == VarType::kDouble;
    case DataType::kBoolean:
      return value.type() == VarType::kBoolean;
    case DataType::kDate:
      return value.type() == VarType::kDate;
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kVarWChar:
      // No more bytes than the field holds characters: it fits, whatever
      // the text. A fixed-length kChar may need padding: not this way.
      return value.IsString() && (field.defined_size <= 0 ||
                                  value.str().size() <= static_cast<size_t>(field.defined_size));
    default:
      return false;
  }
}

}  // namespace

void ConvertForField(const FieldInfo& field, Variant& value) {
  if (value.IsNull() || value.IsEmpty() || field.type == DataType::kVariant) return;
  if (AlreadyConverted(field, value)) return;
  Variant converted;
  try {
    converted = Convert(field, value);
  } catch (const Error& e) {
    Raise(
        err::kWrongValueType, kSource,
        "field " + field.name + " cannot hold " + value.Describe() + " (" + e.description() + ")");
  }
  if (IsText(field.type) && field.defined_size > 0) {
    const std::string& text = converted.str();
    const size_t length = CodePoints(text);
    const auto size = static_cast<size_t>(field.defined_size);
    if (length > size) {
      Raise(err::kWrongValueType, kSource,
            "field " + field.name + " holds at most " + std::to_string(size) +
                " characters: " + value.Describe());
    }
    if (field.type == DataType::kChar && length < size) {
      std::string padded = text;
      padded.append(size - length, ' ');
      converted = Variant(std::move(padded));
    }
  }
  value = std::move(converted);
}

}  // namespace tarvolin::recordset_detail

namespace tarvolin {

bool IsNumeric(DataType type) noexcept {
  // The unsigned integer types (17-19, 21) have no name of ours: no recordset
  // here makes them, a database schema might.
  const int code = static_cast<int>(type);
  return recordset_detail::ClassOf(type) == recordset_detail::FieldClass::kNumber ||
         (code >= 17 && code <= 21);
}

Variant AtFieldScale(const Variant& value, const FieldInfo& field, int most) {
  const bool decimal_field = field.type == DataType::kDecimal || field.type == DataType::kNumeric ||
                             field.type == DataType::kCurrency;
  const int scale = std::min<int>(field.numeric_scale, most);
  if (!decimal_field || scale <= 0) return value;
  switch (value.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDecimal: {
      const Decimal number = value.CDec();
      if (number.scale() >= scale) return value;
      try {
        return Variant(number.WithScale(scale));
      } catch (const Error&) {
        return value;  // too many digits to pad: shown as it is
      }
    }
    default:
      return value;
  }
}

}  // namespace tarvolin
