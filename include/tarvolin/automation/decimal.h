// Decimal: the OLE Automation DECIMAL. Value = sign * mantissa / 10^scale with a
// 96-bit unsigned mantissa and a scale of 0..28. Sixteen bytes, no heap.
//
// Arithmetic is exact while the result fits; otherwise the scale is lowered one
// digit at a time rounding half to even. Raises Error 6 (Overflow) when a result
// cannot be represented and Error 11 (Division by zero) for x / 0.
// Parsing malformed text raises Error 13 (Type mismatch).
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvolin {

class Decimal {
 public:
  static constexpr int kMaxScale = 28;

  constexpr Decimal() noexcept = default;  // 0, scale 0
  Decimal(int32_t value) noexcept;         // NOLINT: an integer is a Decimal
  static Decimal FromInt64(int64_t value) noexcept;
  // Raw parts: mantissa = hi:mid:lo. Raises 6 when scale > 28.
  static Decimal FromParts(uint32_t lo, uint32_t mid, uint32_t hi, int scale, bool negative);

  // Text: optional sign, digits, optional "." and digits, optional exponent
  // ("1.5E-3"); surrounding blanks allowed. Keeps the scale written ("12.50" has
  // scale 2). More than 28 decimals are rounded half to even. Malformed text
  // raises 13 naming the text; a magnitude beyond the range raises 6.
  static Decimal Parse(std::string_view text);
  static std::optional<Decimal> TryParse(std::string_view text) noexcept;

  // Rounds the Double to 15 significant digits (half to even) and drops trailing
  // zeros: 2.675 becomes exactly 2.675. |value| >= 7.9228162514264337593543950335E28,
  // NaN or infinity raise 6; magnitudes below 1E-28 give 0.
  static Decimal FromDouble(double value);

  double ToDouble() const noexcept;                 // the nearest Double
  int16_t ToInt16() const;                          // half to even; 6 when out of range
  int32_t ToInt32() const;                          // half to even; 6 when out of range
  std::optional<int64_t> ToInt64() const noexcept;  // only when integral and in range

  // Our text: keeps the value's scale ("12.50"), "-" for negatives, "." separator.
  std::string ToString() const;
  // The platform's text (CStr): no trailing zeros ("1.5", "0", "-0.25").
  std::string ToCStr() const;

  int scale() const noexcept { return scale_; }
  bool is_negative() const noexcept { return negative_; }
  bool is_zero() const noexcept { return lo_ == 0 && mid_ == 0 && hi_ == 0; }
  uint32_t lo() const noexcept { return lo_; }
  uint32_t mid() const noexcept { return mid_; }
  uint32_t hi() const noexcept { return hi_; }

  Decimal operator-() const noexcept;
  Decimal Abs() const noexcept;
  friend Decimal operator+(const Decimal& a, const Decimal& b);
  friend Decimal operator-(const Decimal& a, const Decimal& b);
  friend Decimal operator*(const Decimal& a, const Decimal& b);
  friend Decimal operator/(const Decimal& a, const Decimal& b);
  Decimal& operator+=(const Decimal& b) { return *this = *this + b; }
  Decimal& operator-=(const Decimal& b) { return *this = *this - b; }
  Decimal& operator*=(const Decimal& b) { return *this = *this * b; }
  Decimal& operator/=(const Decimal& b) { return *this = *this / b; }

  // By value: 1.50 == 1.5.
  friend bool operator==(const Decimal& a, const Decimal& b) noexcept;
  friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) noexcept;

  Decimal Int() const;  // toward minus infinity (VB Int), keeps scale 0
  Decimal Fix() const;  // toward zero (VB Fix), keeps scale 0

  // Rounds to `digits` decimals (0..28), half to even; never raises the scale.
  Decimal RoundHalfEven(int digits) const;
  // Rounds to `digits` decimals, half away from zero; never raises the scale.
  Decimal RoundHalfAwayFromZero(int digits) const;
  // Sets the scale exactly: adds trailing zeros or rounds half to even.
  // Raises 6 when the mantissa would not fit.
  Decimal WithScale(int scale) const;
  // Drops trailing zeros of the fraction.
  Decimal Normalized() const noexcept;

 private:
  uint32_t lo_ = 0;
  uint32_t mid_ = 0;
  uint32_t hi_ = 0;
  uint8_t scale_ = 0;
  bool negative_ = false;
};

static_assert(sizeof(Decimal) == 16);

}  // namespace tarvolin
