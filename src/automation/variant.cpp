#include "tarvolin/automation/variant.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "Variant";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Text to Double with "." as separator whatever the machine's locale.
std::optional<double> ParseDouble(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// VB prints a Double with up to 15 significant digits, switching to an
// exponent for very large or very small magnitudes ("1E+15", "1E-05").
std::string FormatDouble(double value) {
  if (value == 0) return "0";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  std::string_view text(buffer);
  const bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  const size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = std::stoi(std::string(text.substr(e + 1)));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -4) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    char exp_text[16];
    std::snprintf(exp_text, sizeof exp_text, "E%c%02d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    return out + exp_text;
  }
  if (exponent < 0) {
    return out + "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  const auto int_digits = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= int_digits) {
    return out + digits + std::string(int_digits - digits.size(), '0');
  }
  return out + digits.substr(0, int_digits) + "." + digits.substr(int_digits);
}

// The numeric view of an operand for arithmetic. Kinds are ordered by precision.
struct Num {
  enum Kind { kInt16 = 0, kInt32 = 1, kDouble = 2, kDecimal = 3 } kind = kInt16;
  int64_t i = 0;
  double d = 0;
  Decimal m;
  bool is_date = false;

  double AsDouble() const {
    switch (kind) {
      case kInt16:
      case kInt32:
        return static_cast<double>(i);
      case kDouble:
        return d;
      case kDecimal:
        return m.ToDouble();
    }
    return 0;
  }
  Decimal AsDecimal() const {
    switch (kind) {
      case kInt16:
      case kInt32:
        return Decimal::FromInt64(i);
      case kDouble:
        return Decimal::FromDouble(d);
      case kDecimal:
        return m;
    }
    return {};
  }
};

Variant FromInteger(int64_t value, Num::Kind kind) {
  if (kind == Num::kInt16 && value >= INT16_MIN && value <= INT16_MAX) {
    return Variant(static_cast<int16_t>(value));
  }
  if (value >= INT32_MIN && value <= INT32_MAX) return Variant(static_cast<int32_t>(value));
  return Variant(static_cast<double>(value));
}

Variant CheckedDouble(double value) {
  if (!std::isfinite(value)) Raise(err::kOverflow, kSource);
  return Variant(value);
}

enum class Op { kAdd, kSub, kMul };

Variant Arithmetic(const Num& a, const Num& b, Op op) {
  const Num::Kind kind = std::max(a.kind, b.kind);
  Variant result;
  switch (kind) {
    case Num::kInt16:
    case Num::kInt32: {
      const int64_t r = op == Op::kAdd ? a.i + b.i : op == Op::kSub ? a.i - b.i : a.i * b.i;
      result = FromInteger(r, kind);
      break;
    }
    case Num::kDouble: {
      const double x = a.AsDouble(), y = b.AsDouble();
      result = CheckedDouble(op == Op::kAdd ? x + y : op == Op::kSub ? x - y : x * y);
      break;
    }
    case Num::kDecimal: {
      const Decimal x = a.AsDecimal(), y = b.AsDecimal();
      result = op == Op::kAdd ? x + y : op == Op::kSub ? x - y : x * y;
      break;
    }
  }
  if (a.is_date || b.is_date) return Variant(Date{result.CDbl()});
  return result;
}

}  // namespace

Variant::Variant(VariantArray v) : value_(std::make_shared<VariantArray>(std::move(v))) {}

Variant Variant::Null() noexcept {
  Variant v;
  v.value_ = NullTag{};
  return v;
}

const std::string& Variant::Text::Empty() noexcept {
  static const std::string kEmpty;
  return kEmpty;
}

bool Variant::IsNothing() const noexcept {
  const auto* object = std::get_if<ObjectRef>(&value_);
  return object != nullptr && !*object;
}

bool Variant::IsNumber() const noexcept {
  switch (type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDouble:
    case VarType::kDecimal:
    case VarType::kBoolean:
    case VarType::kDate:
      return true;
    default:
      return false;
  }
}

bool Variant::IsNumeric() const noexcept {
  if (IsEmpty() || IsNumber()) return type() != VarType::kDate;
  if (const auto* text = std::get_if<Text>(&value_)) {
    return ParseDouble(text->get()).has_value();
  }
  return false;
}

const std::string& Variant::str() const {
  if (const auto* text = std::get_if<Text>(&value_)) return text->get();
  Raise(err::kTypeMismatch, kSource, "expected a String, found " + Describe());
}

const Decimal& Variant::dec() const {
  if (const auto* value = std::get_if<Decimal>(&value_)) return *value;
  Raise(err::kTypeMismatch, kSource, "expected a Decimal, found " + Describe());
}

const ObjectRef& Variant::object() const {
  if (const auto* value = std::get_if<ObjectRef>(&value_)) return *value;
  Raise(err::kTypeMismatch, kSource, "expected an object, found " + Describe());
}

const ObjectRef& Variant::ObjectOrRaise() const {
  const ObjectRef& ref = object();
  if (!ref) Raise(err::kObjectNotSet, kSource);
  return ref;
}

void Variant::RaiseNotA() const {
  Raise(err::kTypeMismatch, kSource, "unexpected object " + Describe());
}

const VariantArray& Variant::array() const {
  if (const auto* value = std::get_if<ArrayRef>(&value_)) return **value;
  Raise(err::kTypeMismatch, kSource, "expected an array, found " + Describe());
}

VariantArray& Variant::mutable_array() {
  auto* value = std::get_if<ArrayRef>(&value_);
  if (value == nullptr) {
    Raise(err::kTypeMismatch, kSource, "expected an array, found " + Describe());
  }
  if (value->use_count() > 1) *value = std::make_shared<VariantArray>(**value);
  return **value;
}

std::string Variant::CStr() const {
  switch (type()) {
    case VarType::kEmpty:
      return "";
    case VarType::kNull:
      Raise(err::kInvalidUseOfNull, kSource);
    case VarType::kInteger:
      return std::to_string(std::get<int16_t>(value_));
    case VarType::kLong:
      return std::to_string(std::get<int32_t>(value_));
    case VarType::kDouble:
      return FormatDouble(std::get<double>(value_));
    case VarType::kDecimal:
      return std::get<Decimal>(value_).ToCStr();
    case VarType::kString:
      return std::get<Text>(value_).get();
    case VarType::kBoolean:
      return std::get<bool>(value_) ? "True" : "False";
    case VarType::kDate:
      return std::get<Date>(value_).ToIso();
    default:
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to String");
  }
}

Decimal Variant::CDec() const {
  switch (type()) {
    case VarType::kEmpty:
      return {};
    case VarType::kNull:
      Raise(err::kInvalidUseOfNull, kSource);
    case VarType::kInteger:
      return Decimal(std::get<int16_t>(value_));
    case VarType::kLong:
      return Decimal(std::get<int32_t>(value_));
    case VarType::kDouble:
      return Decimal::FromDouble(std::get<double>(value_));
    case VarType::kDecimal:
      return std::get<Decimal>(value_);
    case VarType::kBoolean:
      return Decimal(std::get<bool>(value_) ? -1 : 0);
    case VarType::kDate:
      return Decimal::FromDouble(std::get<Date>(value_).serial);
    case VarType::kString: {
      const std::string_view text = Trim(std::get<Text>(value_).get());
      if (auto value = Decimal::TryParse(text)) return *value;
      // Well-formed but out of range is an overflow, not a mismatch.
      if (ParseDouble(text)) Raise(err::kOverflow, kSource, "\"" + std::string(text) + "\"");
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to Decimal");
    }
    default:
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to Decimal");
  }
}

double Variant::CDbl() const {
  switch (type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      Raise(err::kInvalidUseOfNull, kSource);
    case VarType::kInteger:
      return std::get<int16_t>(value_);
    case VarType::kLong:
      return std::get<int32_t>(value_);
    case VarType::kDouble:
      return std::get<double>(value_);
    case VarType::kDecimal:
      return std::get<Decimal>(value_).ToDouble();
    case VarType::kBoolean:
      return std::get<bool>(value_) ? -1 : 0;
    case VarType::kDate:
      return std::get<Date>(value_).serial;
    case VarType::kString:
      if (auto value = ParseDouble(std::get<Text>(value_).get())) return *value;
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to Double");
    default:
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to Double");
  }
}

int32_t Variant::CLng() const {
  switch (type()) {
    case VarType::kInteger:
      return std::get<int16_t>(value_);
    case VarType::kLong:
      return std::get<int32_t>(value_);
    case VarType::kDecimal:
      return std::get<Decimal>(value_).ToInt32();
    case VarType::kBoolean:
      return std::get<bool>(value_) ? -1 : 0;
    case VarType::kString: {
      // Exact text is rounded exactly; Decimal keeps "2.5" from drifting.
      if (auto value = Decimal::TryParse(Trim(std::get<Text>(value_).get()))) {
        return value->ToInt32();
      }
      break;
    }
    default:
      break;
  }
  const double value = std::nearbyint(CDbl());  // half to even in the default mode
  if (!(value >= INT32_MIN && value <= INT32_MAX)) {
    Raise(err::kOverflow, kSource, Describe() + " does not fit a Long");
  }
  return static_cast<int32_t>(value);
}

int16_t Variant::CInt() const {
  const int32_t value = CLng();
  if (value < INT16_MIN || value > INT16_MAX) {
    Raise(err::kOverflow, kSource, Describe() + " does not fit an Integer");
  }
  return static_cast<int16_t>(value);
}

bool Variant::CBool() const {
  switch (type()) {
    case VarType::kEmpty:
      return false;
    case VarType::kNull:
      Raise(err::kInvalidUseOfNull, kSource);
    case VarType::kBoolean:
      return std::get<bool>(value_);
    case VarType::kString: {
      const std::string_view text = Trim(std::get<Text>(value_).get());
      if (EqualsNoCase(text, "True")) return true;
      if (EqualsNoCase(text, "False")) return false;
      if (auto value = ParseDouble(text)) return *value != 0;
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to Boolean");
    }
    case VarType::kDecimal:
      return !std::get<Decimal>(value_).is_zero();
    default:
      if (IsNumber()) return CDbl() != 0;
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to Boolean");
  }
}

Date Variant::CDate() const {
  switch (type()) {
    case VarType::kNull:
      Raise(err::kInvalidUseOfNull, kSource);
    case VarType::kDate:
      return std::get<Date>(value_);
    case VarType::kString:
      if (auto value = Date::Parse(std::get<Text>(value_).get())) return *value;
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to Date");
    default:
      if (IsEmpty() || IsNumber()) return Date{CDbl()};
      Raise(err::kTypeMismatch, kSource, "cannot convert " + Describe() + " to Date");
  }
}

namespace {

Num ToNum(const Variant& v) {
  Num n;
  switch (v.type()) {
    case VarType::kEmpty:
      break;
    case VarType::kInteger:
    case VarType::kBoolean:
      n.i = v.CInt();
      break;
    case VarType::kLong:
      n.kind = Num::kInt32;
      n.i = v.CLng();
      break;
    case VarType::kDecimal:
      n.kind = Num::kDecimal;
      n.m = v.dec();
      break;
    case VarType::kDate:
      n.kind = Num::kDouble;
      n.d = v.CDbl();
      n.is_date = true;
      break;
    case VarType::kDouble:
    case VarType::kString:  // text in arithmetic counts as a Double
      n.kind = Num::kDouble;
      n.d = v.CDbl();
      break;
    default:
      Raise(err::kTypeMismatch, kSource, "cannot use " + v.Describe() + " in arithmetic");
  }
  return n;
}

}  // namespace

namespace {

bool IsZeroInteger(const Variant& v) { return v.type() == VarType::kInteger && v.CInt() == 0; }
// The subtypes that a + Integer 0 gives back unchanged (not a Double: -0 + 0
// is +0).
bool IsPlainNumber(const Variant& v) noexcept {
  switch (v.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDecimal:
      return true;
    default:
      return false;
  }
}

}  // namespace

Variant operator+(const Variant& a, const Variant& b) {
  // Amounts are Decimals on both sides nearly always: no detour through Num.
  const auto* da = std::get_if<Decimal>(&a.value_);
  const auto* db = std::get_if<Decimal>(&b.value_);
  if (da != nullptr && db != nullptr) return Variant(*da + *db);
  // Weights and volumes are Doubles on both sides.
  const auto* xa = std::get_if<double>(&a.value_);
  const auto* xb = std::get_if<double>(&b.value_);
  if (xa != nullptr && xb != nullptr) return CheckedDouble(*xa + *xb);
  // An Integer 0 (a Null amount read through NzDec) leaves a number as it is,
  // subtype and scale included.
  if (IsZeroInteger(b) && IsPlainNumber(a)) return a;
  if (IsZeroInteger(a) && IsPlainNumber(b)) return b;
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (a.IsEmpty() && b.IsEmpty()) return Variant(int16_t{0});
  const bool a_text = a.IsString(), b_text = b.IsString();
  if ((a_text || a.IsEmpty()) && (b_text || b.IsEmpty())) {
    return Variant(a.CStr() + b.CStr());  // two texts (or a text and Empty) concatenate
  }
  return Arithmetic(ToNum(a), ToNum(b), Op::kAdd);
}

Variant& Variant::operator+=(const Variant& b) {
  auto* da = std::get_if<Decimal>(&value_);
  const auto* db = std::get_if<Decimal>(&b.value_);
  if (da != nullptr && db != nullptr) {
    *da = *da + *db;
    return *this;
  }
  return *this = *this + b;
}

Variant operator-(const Variant& a, const Variant& b) {
  const auto* da = std::get_if<Decimal>(&a.value_);
  const auto* db = std::get_if<Decimal>(&b.value_);
  if (da != nullptr && db != nullptr) return Variant(*da - *db);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  return Arithmetic(ToNum(a), ToNum(b), Op::kSub);
}

Variant operator*(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  return Arithmetic(ToNum(a), ToNum(b), Op::kMul);
}

Variant operator/(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  const Num x = ToNum(a), y = ToNum(b);
  if (x.kind == Num::kDecimal || y.kind == Num::kDecimal) {
    const Decimal dx = x.AsDecimal(), dy = y.AsDecimal();
    if (dy.is_zero()) Raise(dx.is_zero() ? err::kOverflow : err::kDivisionByZero, kSource);
    return Variant(dx / dy);
  }
  const double dx = x.AsDouble(), dy = y.AsDouble();
  if (dy == 0) Raise(dx == 0 ? err::kOverflow : err::kDivisionByZero, kSource);
  return CheckedDouble(dx / dy);
}

Variant Variant::operator-() const {
  if (IsNull()) return Null();
  const Num n = ToNum(*this);
  Num zero;
  return Arithmetic(zero, n, Op::kSub);
}

Variant Concat(const Variant& a, const Variant& b) {
  if (a.IsNull() && b.IsNull()) return Variant::Null();
  return Variant((a.IsNull() ? std::string() : a.CStr()) + (b.IsNull() ? std::string() : b.CStr()));
}

namespace {

// At least one of them a text: texts by their bytes, Empty as "", a number
// below any text.
int CompareWithText(const Variant& a, const Variant& b) {
  const auto sign = [](const auto& x, const auto& y) { return x < y ? -1 : (y < x ? 1 : 0); };
  const bool a_text = a.IsString(), b_text = b.IsString();
  if (a_text && b_text) return sign(a.str().compare(b.str()), 0);
  if (a.IsEmpty()) return sign(std::string_view(), std::string_view(b.str()));
  if (b.IsEmpty()) return sign(std::string_view(a.str()), std::string_view());
  return a_text ? 1 : -1;
}

template <class T>
int Sign(const T& x, const T& y) {
  return x < y ? -1 : (y < x ? 1 : 0);
}

}  // namespace

// Nearly every condition: whole numbers against whole numbers (flags, kinds,
// zero amounts), an amount against an amount or a small whole constant.
std::optional<int> CompareAsIs(const Variant& a, const Variant& b) {
  const auto whole_of = [](const Variant& v) -> std::optional<int32_t> {
    if (const auto* i = std::get_if<int16_t>(&v.value_)) return *i;
    if (const auto* l = std::get_if<int32_t>(&v.value_)) return *l;
    return std::nullopt;
  };
  if (const auto x = whole_of(a)) {
    if (const auto y = whole_of(b)) return Sign(*x, *y);
  }
  const auto decimal_of = [](const Variant& v) -> std::optional<Decimal> {
    if (const auto* d = std::get_if<Decimal>(&v.value_)) return *d;
    if (const auto* i = std::get_if<int16_t>(&v.value_)) return Decimal(*i);
    return std::nullopt;
  };
  if (std::holds_alternative<Decimal>(a.value_) || std::holds_alternative<Decimal>(b.value_)) {
    const auto x = decimal_of(a), y = decimal_of(b);
    if (x && y) return Sign(*x, *y);
  }
  return std::nullopt;
}

std::optional<int> Compare(const Variant& a, const Variant& b) {
  const auto sign = [](const auto& x, const auto& y) { return x < y ? -1 : (y < x ? 1 : 0); };
  if (const auto as_is = CompareAsIs(a, b)) return as_is;
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  const auto incomparable = [](const Variant& v) { return v.IsObject() || v.IsArray(); };
  if (incomparable(a) || incomparable(b)) {
    Raise(err::kTypeMismatch, kSource, "cannot compare " + a.Describe() + " with " + b.Describe());
  }
  if (a.IsString() || b.IsString()) return CompareWithText(a, b);
  const Num x = ToNum(a), y = ToNum(b);
  if (x.kind == Num::kDecimal || y.kind == Num::kDecimal) {
    return sign(x.AsDecimal(), y.AsDecimal());
  }
  if (x.kind == Num::kDouble || y.kind == Num::kDouble) return sign(x.AsDouble(), y.AsDouble());
  return sign(x.i, y.i);
}

bool operator==(const Variant& a, const Variant& b) {
  const auto c = Compare(a, b);
  return c && *c == 0;
}
bool operator!=(const Variant& a, const Variant& b) {
  const auto c = Compare(a, b);
  return c && *c != 0;
}
bool operator<(const Variant& a, const Variant& b) {
  const auto c = Compare(a, b);
  return c && *c < 0;
}
bool operator<=(const Variant& a, const Variant& b) {
  const auto c = Compare(a, b);
  return c && *c <= 0;
}
bool operator>(const Variant& a, const Variant& b) {
  const auto c = Compare(a, b);
  return c && *c > 0;
}
bool operator>=(const Variant& a, const Variant& b) {
  const auto c = Compare(a, b);
  return c && *c >= 0;
}

Variant Variant::Int() const {
  switch (type()) {
    case VarType::kNull:
      return Null();
    case VarType::kEmpty:
      return Variant(int16_t{0});
    case VarType::kInteger:
    case VarType::kLong:
      return *this;
    case VarType::kBoolean:
      return Variant(CInt());
    case VarType::kDecimal:
      return Variant(dec().Int());
    case VarType::kDate:
      return Variant(Date{std::floor(CDbl())});
    default:
      return Variant(std::floor(CDbl()));
  }
}

Variant Variant::Fix() const {
  switch (type()) {
    case VarType::kNull:
      return Null();
    case VarType::kEmpty:
      return Variant(int16_t{0});
    case VarType::kInteger:
    case VarType::kLong:
      return *this;
    case VarType::kBoolean:
      return Variant(CInt());
    case VarType::kDecimal:
      return Variant(dec().Fix());
    case VarType::kDate:
      return Variant(Date{std::trunc(CDbl())});
    default:
      return Variant(std::trunc(CDbl()));
  }
}

std::string Variant::Describe() const {
  switch (type()) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kInteger:
      return "Integer " + CStr();
    case VarType::kLong:
      return "Long " + CStr();
    case VarType::kDouble:
      return "Double " + CStr();
    case VarType::kDecimal:
      return "Decimal " + dec().ToString();
    case VarType::kString:
      return "String \"" + str() + "\"";
    case VarType::kBoolean:
      return "Boolean " + CStr();
    case VarType::kDate:
      return "Date " + CStr();
    case VarType::kObject: {
      const ObjectRef& ref = std::get<ObjectRef>(value_);
      return ref ? "object " + std::string(ref->TypeName()) : "Nothing";
    }
    default:
      return "array of " + std::to_string(array().size());
  }
}

}  // namespace tarvolin
