// Decimal arithmetic on a 96-bit mantissa. Results are computed exactly in a
// wider intermediate (up to 192 bits) and then rounded half to even, using the
// discarded digits as sticky information, so every result is the correctly
// rounded exact value. The arithmetic paths never touch the heap; only error
// reporting and text conversion build strings.
#include "tarvolin/automation/decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>
#include <utility>

#include "tarvolin/automation/error.h"

namespace tarvolin {
namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::string_view kSource = "Decimal";
constexpr int kMaxScale = Decimal::kMaxScale;
constexpr u128 kMax96 = (u128{1} << 96) - 1;

constexpr uint32_t kPow10U32[10] = {1,      10,      100,      1000,      10000,
                                    100000, 1000000, 10000000, 100000000, 1000000000};

// 10^0 .. 10^38: every power of ten a u128 holds.
constexpr std::array<u128, 39> kPow10 = [] {
  std::array<u128, 39> t{};
  t[0] = 1;
  for (size_t i = 1; i < t.size(); ++i) t[i] = t[i - 1] * 10;
  return t;
}();

// kMax96 / 10^k: the largest mantissa that can still be multiplied by 10^k.
constexpr std::array<u128, 10> kMaxBeforeShift = [] {
  std::array<u128, 10> t{};
  for (size_t i = 0; i < t.size(); ++i) t[i] = kMax96 / kPow10[i];
  return t;
}();

// Unsigned 192-bit integer in 32-bit limbs (least significant first). 32-bit
// limbs keep division by small constants in 64-bit hardware arithmetic.
struct U192 {
  uint32_t w[6] = {};

  static U192 From(u128 v) {
    U192 r;
    for (int i = 0; i < 4; ++i) r.w[i] = static_cast<uint32_t>(v >> (32 * i));
    return r;
  }
  u128 Low128() const {
    return (u128{w[3]} << 96) | (u128{w[2]} << 64) | (u128{w[1]} << 32) | w[0];
  }
  bool FitsIn96() const { return (w[3] | w[4] | w[5]) == 0; }
  bool IsZero() const { return (w[0] | w[1] | w[2] | w[3] | w[4] | w[5]) == 0; }
  bool IsOdd() const { return (w[0] & 1) != 0; }

  int BitLength() const {
    for (int i = 5; i >= 0; --i) {
      if (w[i] != 0) return 32 * i + 32 - __builtin_clz(w[i]);
    }
    return 0;
  }

  // The caller guarantees the product fits.
  void MulSmall(uint32_t m) {
    uint64_t carry = 0;
    for (uint32_t& limb : w) {
      const uint64_t t = uint64_t{limb} * m + carry;
      limb = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
  }
  void MulPow10(int n) {
    while (n > 0) {
      const int k = std::min(n, 9);
      MulSmall(kPow10U32[k]);
      n -= k;
    }
  }
  void AddSmall(uint32_t v) {
    uint64_t carry = v;
    for (int i = 0; i < 6 && carry != 0; ++i) {
      const uint64_t t = uint64_t{w[i]} + carry;
      w[i] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
  }
  void Add(const U192& o) {
    uint64_t carry = 0;
    for (int i = 0; i < 6; ++i) {
      const uint64_t t = uint64_t{w[i]} + o.w[i] + carry;
      w[i] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
  }
  // Requires *this >= o.
  void Sub(const U192& o) {
    uint64_t borrow = 0;
    for (int i = 0; i < 6; ++i) {
      const uint64_t t = uint64_t{w[i]} - o.w[i] - borrow;
      w[i] = static_cast<uint32_t>(t);
      borrow = (t >> 32) & 1;
    }
  }
  // Divides in place; returns the remainder.
  uint32_t DivSmall(uint32_t d) {
    uint64_t rem = 0;
    for (int i = 5; i >= 0; --i) {
      const uint64_t cur = (rem << 32) | w[i];
      w[i] = static_cast<uint32_t>(cur / d);
      rem = cur % d;
    }
    return static_cast<uint32_t>(rem);
  }

  friend std::strong_ordering operator<=>(const U192& a, const U192& b) {
    for (int i = 5; i >= 0; --i) {
      if (a.w[i] != b.w[i]) return a.w[i] <=> b.w[i];
    }
    return std::strong_ordering::equal;
  }
};

// Full product of two 96-bit values.
U192 Mul96(u128 a, u128 b) {
  const uint32_t x[3] = {static_cast<uint32_t>(a), static_cast<uint32_t>(a >> 32),
                         static_cast<uint32_t>(a >> 64)};
  const uint32_t y[3] = {static_cast<uint32_t>(b), static_cast<uint32_t>(b >> 32),
                         static_cast<uint32_t>(b >> 64)};
  U192 r;
  for (int i = 0; i < 3; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < 3; ++j) {
      const uint64_t t = uint64_t{x[i]} * y[j] + r.w[i + j] + carry;
      r.w[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    r.w[i + 3] = static_cast<uint32_t>(carry);
  }
  return r;
}

// Lowers the scale of w / 10^scale until w fits 96 bits and the scale is at
// most 28, rounding the exact value half to even. `sticky` says non-zero digits
// below w were already discarded. Returns false when even scale 0 cannot hold
// the value.
bool RoundToFit(U192& w, int& scale, bool sticky) {
  uint32_t last = 0;  // the most significant discarded digit
  for (;;) {
    while (!w.FitsIn96() || scale > kMaxScale) {
      if (w.IsZero()) {  // only the scale is too large
        sticky = sticky || last != 0;
        last = 0;
        scale = kMaxScale;
        break;
      }
      int k = scale - kMaxScale;
      const int bits = w.BitLength();
      // w >= 2^(bits-1) and 10^(k-1) <= 2^(bits-97), so w / 10^(k-1) still
      // does not fit: at least k digits must go.
      if (bits > 96) k = std::max(k, (bits - 97) * 3 / 10 + 1);
      if (k > scale) return false;
      k = std::min(k, 9);
      const uint32_t r = w.DivSmall(kPow10U32[k]);
      const uint32_t below = kPow10U32[k - 1];
      sticky = sticky || last != 0 || r % below != 0;
      last = r / below;
      scale -= k;
    }
    if (last > 5 || (last == 5 && (sticky || w.IsOdd()))) {
      w.AddSmall(1);
      if (!w.FitsIn96()) {
        // Rounded up to exactly 2^96. Rounding that value again gives the same
        // result as rounding the exact value one digit shorter.
        last = 0;
        sticky = false;
        continue;
      }
    }
    return true;
  }
}

u128 Mant(const Decimal& d) { return (u128{d.hi()} << 64) | (u128{d.mid()} << 32) | d.lo(); }

Decimal Make(u128 m, int scale, bool negative) {
  return Decimal::FromParts(static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32),
                            static_cast<uint32_t>(m >> 64), scale, negative);
}

void StripTrailingZeros(u128& m, int& scale) {
  if (m == 0) {
    scale = 0;
    return;
  }
  while (scale > 0 && (m >> 64) != 0) {
    U192 t = U192::From(m);
    if (t.DivSmall(10) != 0) return;
    m = t.Low128();
    --scale;
  }
  if (scale == 0) return;
  auto m64 = static_cast<uint64_t>(m);
  // Zeros by groups first: a Double's fifteen digits often end in a dozen.
  for (const auto& [group, digits] :
       {std::pair<uint64_t, int>{100000000, 8}, {10000, 4}, {100, 2}}) {
    while (scale >= digits && m64 % group == 0) {
      m64 /= group;
      scale -= digits;
    }
  }
  while (scale > 0 && m64 % 10 == 0) {
    m64 /= 10;
    --scale;
  }
  m = m64;
}

// Writes the decimal digits of m (at least one) ending at `end`; returns the start.
char* WriteDigits(u128 m, char* end) {
  U192 t = U192::From(m);
  char* p = end;
  do {
    uint32_t chunk = t.DivSmall(1000000000);
    const bool more = !t.IsZero();
    for (int i = 0; i < 9 && (more || chunk != 0 || p == end); ++i) {
      *--p = static_cast<char>('0' + chunk % 10);
      chunk /= 10;
    }
  } while (!t.IsZero());
  return p;
}

// Text of d with its scale kept, into buf (at least 40 chars); returns the length.
size_t Format(const Decimal& d, char* buf) {
  char digits[40];
  char* const end = digits + sizeof digits;
  const char* first = WriteDigits(Mant(d), end);
  const auto ndigits = static_cast<size_t>(end - first);
  const auto scale = static_cast<size_t>(d.scale());
  size_t n = 0;
  if (d.is_negative()) buf[n++] = '-';
  if (ndigits <= scale) {
    buf[n++] = '0';
    buf[n++] = '.';
    for (size_t i = ndigits; i < scale; ++i) buf[n++] = '0';
    for (const char* p = first; p != end; ++p) buf[n++] = *p;
    return n;
  }
  const size_t int_digits = ndigits - scale;
  for (size_t i = 0; i < int_digits; ++i) buf[n++] = first[i];
  if (scale > 0) {
    buf[n++] = '.';
    for (size_t i = int_digits; i < ndigits; ++i) buf[n++] = first[i];
  }
  return n;
}

std::string Quoted(std::string_view text) {
  std::string s;
  s.reserve(text.size() + 2);
  s += '"';
  s += text;
  s += '"';
  return s;
}

[[noreturn]] void RaiseOperation(int32_t number, const Decimal& a, std::string_view op,
                                 const Decimal& b) {
  Raise(number, kSource, a.ToCStr() + " " + std::string(op) + " " + b.ToCStr());
}

// Out of line so that FromParts stays small enough to inline into the arithmetic.
[[noreturn, gnu::cold, gnu::noinline]] void RaiseBadScale(int scale) {
  Raise(err::kOverflow, kSource, "scale " + std::to_string(scale) + " is outside 0..28");
}

enum class ParseStatus { kOk, kMalformed, kOverflow };

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits of a number's text. The first kKeptDigits significant ones are
// kept exactly (more than any result can use); later ones only count and feed
// the sticky bit.
struct DigitRun {
  static constexpr int kKeptDigits = 50;
  U192 w;
  int kept = 0;
  int64_t dropped = 0;
  int64_t fraction = 0;  // digits after the point
  bool sticky = false;
  bool any_digit = false;
};

void AddDigit(DigitRun& run, uint32_t digit) {
  if (run.kept == 0 && digit == 0) return;
  if (run.kept < DigitRun::kKeptDigits) {
    run.w.MulSmall(10);
    run.w.AddSmall(digit);
    ++run.kept;
    return;
  }
  ++run.dropped;
  run.sticky = run.sticky || digit != 0;
}

// Digits with at most one point, from i to the first other character.
DigitRun ReadDigits(std::string_view text, size_t& i, size_t n) {
  DigitRun run;
  bool point = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      run.any_digit = true;
      if (point) ++run.fraction;
      AddDigit(run, static_cast<uint32_t>(c - '0'));
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  return run;
}

// The exponent after an e or E at i (0 without one); false for an e without
// digits.
bool ReadExponent(std::string_view text, size_t& i, size_t n, int64_t& exponent) {
  exponent = 0;
  if (i >= n || (text[i] != 'e' && text[i] != 'E')) return true;
  ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool any_digit = false;
  for (; i < n && IsDigit(text[i]); ++i) {
    any_digit = true;
    // Beyond this every value is an overflow or zero; saturate.
    if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
  }
  if (negative) exponent = -exponent;
  return any_digit;
}

// w * 10^-scale64 as a Decimal, rounded where it has more digits than fit.
ParseStatus FitDigits(U192& w, int64_t scale64, bool sticky, bool negative, Decimal& out) {
  int scale = 0;
  if (scale64 < 0) {
    if (!w.IsZero()) {
      if (scale64 < -kMaxScale || !w.FitsIn96()) return ParseStatus::kOverflow;
      w.MulPow10(static_cast<int>(-scale64));
      if (!w.FitsIn96()) return ParseStatus::kOverflow;
    }
  } else if (scale64 > 2 * DigitRun::kKeptDigits + kMaxScale) {
    // w < 10^50, so the value is far below half of 10^-28.
    w = U192{};
    scale = kMaxScale;
  } else {
    scale = static_cast<int>(scale64);
    if (!RoundToFit(w, scale, sticky)) return ParseStatus::kOverflow;
  }
  out = Make(w.Low128(), scale, negative);
  return ParseStatus::kOk;
}

ParseStatus ParseText(std::string_view text, Decimal& out) noexcept {
  size_t i = 0;
  size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  while (n > i && IsBlank(text[n - 1])) --n;

  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  DigitRun run = ReadDigits(text, i, n);
  if (!run.any_digit) return ParseStatus::kMalformed;
  int64_t exponent = 0;
  if (!ReadExponent(text, i, n, exponent) || i != n) return ParseStatus::kMalformed;
  // A copy: the digit run itself stays in registers while it is read.
  U192 w = run.w;
  return FitDigits(w, run.fraction - exponent - run.dropped, run.sticky, negative, out);
}

enum class RoundMode { kHalfEven, kHalfAway };

// m / 10^digits rounded to an integer.
u128 RoundDigits(u128 m, int digits, RoundMode mode) {
  if (digits == 0) return m;
  const u128 divisor = kPow10[digits];
  const u128 q = m / divisor;
  const u128 r = m % divisor;
  const u128 half = divisor / 2;
  const bool up =
      mode == RoundMode::kHalfEven ? (r > half || (r == half && (q & 1) != 0)) : r >= half;
  return up ? q + 1 : q;
}

void CheckDigits(int digits, const char* what) {
  if (digits < 0 || digits > kMaxScale) {
    Raise(err::kInvalidProcedureCall, kSource,
          std::string(what) + " " + std::to_string(digits) + " is outside 0..28");
  }
}

// a + b, with the signs given, for the usual amounts: 64 bits hold both,
// aligned to the larger scale, and unless the sum carries out, the result.
// nullopt else.
std::optional<Decimal> AddIn64Bits(const Decimal& a, bool na, const Decimal& b, bool nb) {
  if (a.hi() != 0 || b.hi() != 0) return std::nullopt;
  uint64_t ma = (uint64_t{a.mid()} << 32) | a.lo();
  uint64_t mb = (uint64_t{b.mid()} << 32) | b.lo();
  const int diff = a.scale() - b.scale();
  if (diff < -9 || diff > 9) return std::nullopt;
  if (diff > 0 && __builtin_mul_overflow(mb, uint64_t{kPow10U32[diff]}, &mb)) return std::nullopt;
  if (diff < 0 && __builtin_mul_overflow(ma, uint64_t{kPow10U32[-diff]}, &ma)) return std::nullopt;
  const int scale = std::max(a.scale(), b.scale());
  if (na != nb) return ma >= mb ? Make(ma - mb, scale, na) : Make(mb - ma, scale, nb);
  if (ma + mb < ma) return std::nullopt;
  return Make(ma + mb, scale, na);
}

// a + b (or a - b when subtract is set, nb then being b's sign reversed) when
// the scales differ by more than nine digits: in 192 bits.
Decimal AddFarApart(const Decimal& a, bool na, const Decimal& b, bool nb, bool subtract) {
  const int diff = a.scale() - b.scale();
  int scale = std::max(a.scale(), b.scale());
  U192 xa = U192::From(Mant(a));
  U192 xb = U192::From(Mant(b));
  if (diff < 0) {
    xa.MulPow10(-diff);
  } else {
    xb.MulPow10(diff);
  }
  bool negative = na;
  if (na == nb) {
    xa.Add(xb);
  } else if (xa >= xb) {
    xa.Sub(xb);
  } else {
    xb.Sub(xa);
    xa = xb;
    negative = nb;
  }
  if (!RoundToFit(xa, scale, false)) RaiseOperation(err::kOverflow, a, subtract ? "-" : "+", b);
  return Make(xa.Low128(), scale, negative);
}

// a + b, or a - b when subtract is set.
Decimal AddSigned(const Decimal& a, const Decimal& b, bool subtract) {
  const bool na = a.is_negative();
  const bool nb = b.is_negative() != subtract;
  if (const auto sum = AddIn64Bits(a, na, b, nb)) return *sum;
  const int diff = a.scale() - b.scale();
  if (diff < -9 || diff > 9) return AddFarApart(a, na, b, nb, subtract);
  int scale = std::max(a.scale(), b.scale());
  const u128 ma = Mant(a);
  const u128 mb = Mant(b);
  // Aligned operands stay below 2^126, their sum below 2^127.
  const u128 xa = diff < 0 ? ma * kPow10U32[-diff] : ma;
  const u128 xb = diff > 0 ? mb * kPow10U32[diff] : mb;
  u128 m;
  bool negative = na;
  if (na == nb) {
    m = xa + xb;
  } else if (xa >= xb) {
    m = xa - xb;
  } else {
    m = xb - xa;
    negative = nb;
  }
  if (m <= kMax96) return Make(m, scale, negative);
  U192 w = U192::From(m);
  if (!RoundToFit(w, scale, false)) RaiseOperation(err::kOverflow, a, subtract ? "-" : "+", b);
  return Make(w.Low128(), scale, negative);
}

std::strong_ordering CompareMagnitude(const Decimal& a, const Decimal& b) {
  const int diff = a.scale() - b.scale();
  const u128 ma = Mant(a);
  const u128 mb = Mant(b);
  if (diff >= -9 && diff <= 9) {
    const u128 xa = diff < 0 ? ma * kPow10U32[-diff] : ma;
    const u128 xb = diff > 0 ? mb * kPow10U32[diff] : mb;
    return xa <=> xb;
  }
  U192 xa = U192::From(ma);
  U192 xb = U192::From(mb);
  if (diff < 0) {
    xa.MulPow10(-diff);
  } else {
    xb.MulPow10(diff);
  }
  return xa <=> xb;
}

}  // namespace

Decimal::Decimal(int32_t value) noexcept
    : lo_(value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value)),
      negative_(value < 0) {}

Decimal Decimal::FromInt64(int64_t value) noexcept {
  const uint64_t magnitude =
      value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  Decimal d;
  d.lo_ = static_cast<uint32_t>(magnitude);
  d.mid_ = static_cast<uint32_t>(magnitude >> 32);
  d.negative_ = value < 0;
  return d;
}

Decimal Decimal::FromParts(uint32_t lo, uint32_t mid, uint32_t hi, int scale, bool negative) {
  if (scale < 0 || scale > kMaxScale) [[unlikely]] {
    RaiseBadScale(scale);
  }
  Decimal d;
  d.lo_ = lo;
  d.mid_ = mid;
  d.hi_ = hi;
  d.scale_ = static_cast<uint8_t>(scale);
  d.negative_ = negative && (lo | mid | hi) != 0;
  return d;
}

Decimal Decimal::Parse(std::string_view text) {
  Decimal d;
  switch (ParseText(text, d)) {
    case ParseStatus::kOk:
      return d;
    case ParseStatus::kMalformed:
      Raise(err::kTypeMismatch, kSource, Quoted(text));
    case ParseStatus::kOverflow:
      break;
  }
  Raise(err::kOverflow, kSource, Quoted(text));
}

std::optional<Decimal> Decimal::TryParse(std::string_view text) noexcept {
  Decimal d;
  if (ParseText(text, d) != ParseStatus::kOk) return std::nullopt;
  return d;
}

namespace {

// The 15 significant digits of a Double between 1e-7 and 1e15, rounded half
// to even from its exact binary value as the text conversion rounds them,
// without the text: the product by an exact power of ten, that product's
// exact error, and the rounding decided on their exact sum. nullopt where a
// step would not be exact.
// Whether digits (the integer part of scaled) rounds up, half to even, when
// the exact value is scaled + error: the sum is compared with digits + 1/2
// without being formed.
bool RoundsUp(double scaled, double error, double digits) {
  const double from_half = (scaled - digits) - 0.5;  // exact
  double sign;
  if (from_half == 0 || error == 0 || (from_half > 0) == (error > 0)) {
    sign = from_half != 0 ? from_half : error;
  } else {
    const double a = std::fabs(from_half), b = std::fabs(error);
    sign = a == b ? 0.0 : (a > b ? from_half : error);
  }
  return sign > 0 || (sign == 0 && std::fmod(digits, 2.0) != 0);
}

std::optional<Decimal> FifteenDigits(double value) noexcept {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-7 && magnitude < 1e15)) return std::nullopt;
  // log10 may be one off near a power of ten: the digit count corrects it.
  int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int shift = 14 - exponent;
    if (shift < 0 || shift > 22) return std::nullopt;
    const double scaled = magnitude * kPowers[shift];
    if (!(scaled < 9007199254740992.0)) return std::nullopt;  // 2^53: fractions exact below
    const double error = std::fma(magnitude, kPowers[shift], -scaled);
    double digits = std::floor(scaled);
    if (digits >= 1e15) {
      ++exponent;
      continue;
    }
    if (digits < 1e14) {
      --exponent;
      continue;
    }
    if (RoundsUp(scaled, error, digits)) digits += 1;
    // A carry to 10^15 is the next power of ten, as the text would show it.
    const auto m = static_cast<uint64_t>(digits);
    return Decimal::FromParts(static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32), 0, shift,
                              value < 0)
        .Normalized();
  }
  return std::nullopt;
}

}  // namespace

Decimal Decimal::FromDouble(double value) {
  char buf[64];
  // 2^96 as a Double: the first magnitude that cannot fit.
  if (!(std::fabs(value) < 79228162514264337593543950336.0)) {
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    Raise(err::kOverflow, kSource, std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
  }
  // Below the smallest step the type keeps, nothing is left.
  if (std::fabs(value) < 1e-28) return Decimal();
  // A whole number of at most 15 digits is its own 15-digit rounding.
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    return FromInt64(static_cast<int64_t>(value));
  }
  if (auto digits = FifteenDigits(value)) return *digits;
  // 15 significant digits, exactly rounded from the binary value. When the
  // 15th digit would fall below 10^-28, round at 10^-28 instead.
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
  int exponent = 0;
  const size_t e = text.find('e');
  const char* exp_first = buf + e + 1;
  if (*exp_first == '+') ++exp_first;
  std::from_chars(exp_first, res.ptr, exponent);
  if (exponent - 14 < -kMaxScale) {
    res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, kMaxScale);
    text = std::string_view(buf, static_cast<size_t>(res.ptr - buf));
  }
  Decimal d;
  if (ParseText(text, d) != ParseStatus::kOk) Raise(err::kOverflow, kSource, text);
  return d.Normalized();
}

double Decimal::ToDouble() const noexcept {
  // Both the digits and the power of ten are exact Doubles: one correctly
  // rounded division gives the nearest Double, as the text would.
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (hi() == 0 && mid() < (1u << 21) && scale_ <= 22) {
    const double magnitude = static_cast<double>((uint64_t{mid()} << 32) | lo()) / kPowers[scale_];
    return negative_ ? -magnitude : magnitude;
  }
  char buf[48];
  char* const end = buf + sizeof buf;
  // Digits then "e-scale": from_chars gives the nearest Double of that text.
  char* p = end;
  int s = scale_;
  do {
    *--p = static_cast<char>('0' + s % 10);
    s /= 10;
  } while (s != 0);
  *--p = '-';
  *--p = 'e';
  p = WriteDigits(Mant(*this), p);
  if (negative_) *--p = '-';
  double result = 0;
  std::from_chars(p, end, result);
  return result;
}

int16_t Decimal::ToInt16() const {
  const u128 m = RoundDigits(Mant(*this), scale_, RoundMode::kHalfEven);
  if (m > (negative_ ? u128{32768} : u128{32767})) {
    Raise(err::kOverflow, kSource, ToCStr() + " does not fit an Integer");
  }
  const auto v = static_cast<int32_t>(m);
  return static_cast<int16_t>(negative_ ? -v : v);
}

int32_t Decimal::ToInt32() const {
  const u128 m = RoundDigits(Mant(*this), scale_, RoundMode::kHalfEven);
  if (m > (negative_ ? u128{2147483648u} : u128{2147483647u})) {
    Raise(err::kOverflow, kSource, ToCStr() + " does not fit a Long");
  }
  const auto v = static_cast<int64_t>(m);
  return static_cast<int32_t>(negative_ ? -v : v);
}

std::optional<int64_t> Decimal::ToInt64() const noexcept {
  const u128 divisor = kPow10[scale_];
  const u128 m = Mant(*this);
  if (m % divisor != 0) return std::nullopt;
  const u128 q = m / divisor;
  constexpr u128 kLimit = u128{1} << 63;
  if (negative_) {
    if (q > kLimit) return std::nullopt;
    return static_cast<int64_t>(uint64_t{0} - static_cast<uint64_t>(q));
  }
  if (q >= kLimit) return std::nullopt;
  return static_cast<int64_t>(q);
}

std::string Decimal::ToString() const {
  char buf[48];
  return std::string(buf, Format(*this, buf));
}

std::string Decimal::ToCStr() const { return Normalized().ToString(); }

Decimal Decimal::operator-() const noexcept {
  Decimal d = *this;
  d.negative_ = !negative_ && !is_zero();
  return d;
}

Decimal Decimal::Abs() const noexcept {
  Decimal d = *this;
  d.negative_ = false;
  return d;
}

Decimal operator+(const Decimal& a, const Decimal& b) { return AddSigned(a, b, false); }

Decimal operator-(const Decimal& a, const Decimal& b) { return AddSigned(a, b, true); }

Decimal operator*(const Decimal& a, const Decimal& b) {
  int scale = a.scale_ + b.scale_;
  const bool negative = a.negative_ != b.negative_;
  if ((a.hi_ | b.hi_) == 0) {
    const u128 p = u128{(uint64_t{a.mid_} << 32) | a.lo_} * ((uint64_t{b.mid_} << 32) | b.lo_);
    if (p <= kMax96 && scale <= kMaxScale) return Make(p, scale, negative);
  }
  U192 w = Mul96(Mant(a), Mant(b));
  if (!RoundToFit(w, scale, false)) RaiseOperation(err::kOverflow, a, "*", b);
  const u128 m = w.Low128();
  // A product too small to keep a digit at scale 28 is plain 0.
  if (m == 0 && a.scale_ + b.scale_ > kMaxScale) return Decimal();
  return Make(m, scale, negative);
}

namespace {

// A quotient being worked out by long division: q at scale s (s may start
// negative), r the remainder.
struct LongDivision {
  u128 q;
  u128 r;
  int s;
};

// Up to nine more digits of the quotient, as many as still fit 96 bits;
// false when not one does.
bool NextDigits(LongDivision& d, u128 divisor) {
  int k = std::min(9, d.s < 0 && d.r == 0 ? -d.s : kMaxScale - d.s);
  while (k > 0 && d.q > kMaxBeforeShift[k]) --k;
  if (k == 0) return false;
  u128 t = d.r * kPow10U32[k];  // below 2^126
  u128 next = d.q * kPow10U32[k] + t / divisor;
  if (next > kMax96) {
    // q * 10^k fits but the new digits push it over; one digit fewer fits.
    if (--k == 0) return false;
    t = d.r * kPow10U32[k];
    next = d.q * kPow10U32[k] + t / divisor;
  }
  d.q = next;
  d.r = t % divisor;
  d.s += k;
  return true;
}

// The last digit rounded half to even on the remainder; false when the
// rounded quotient does not fit.
bool RoundLastDigit(LongDivision& d, u128 divisor) {
  const u128 twice = d.r * 2;
  if (twice < divisor || (twice == divisor && (d.q & 1) == 0)) return true;
  if (++d.q <= kMax96) return true;
  // The exact quotient lies in [2^96 - 1/2, 2^96): one digit shorter it
  // rounds to ceil(2^96 / 10).
  if (d.s == 0) return false;
  d.q = (u128{1} << 96) / 10 + 1;
  --d.s;
  return true;
}

}  // namespace

Decimal operator/(const Decimal& a, const Decimal& b) {
  if (b.is_zero()) RaiseOperation(err::kDivisionByZero, a, "/", b);
  if (a.is_zero()) return Decimal();
  const u128 ma = Mant(a);
  const u128 mb = Mant(b);
  // The quotient gains digits while it fits 96 bits, up to scale 28.
  LongDivision d{ma / mb, ma % mb, a.scale_ - b.scale_};
  while (d.s < 0 || (d.s < kMaxScale && d.r != 0)) {
    if (NextDigits(d, mb)) continue;
    if (d.s < 0) RaiseOperation(err::kOverflow, a, "/", b);
    break;
  }
  if (!RoundLastDigit(d, mb)) RaiseOperation(err::kOverflow, a, "/", b);
  // Copies: the division's state stays in registers while it is worked.
  u128 q = d.q;
  int s = d.s;
  StripTrailingZeros(q, s);
  return Make(q, s, a.negative_ != b.negative_);
}

bool operator==(const Decimal& a, const Decimal& b) noexcept {
  // At one scale, equal values have equal parts (a zero is never negative).
  if (a.scale_ == b.scale_) {
    return a.lo_ == b.lo_ && a.mid_ == b.mid_ && a.hi_ == b.hi_ && a.negative_ == b.negative_;
  }
  return (a <=> b) == 0;
}

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) noexcept {
  const int sign_a = a.is_zero() ? 0 : (a.negative_ ? -1 : 1);
  const int sign_b = b.is_zero() ? 0 : (b.negative_ ? -1 : 1);
  if (sign_a != sign_b || sign_a == 0) return sign_a <=> sign_b;
  const std::strong_ordering magnitude = CompareMagnitude(a, b);
  return sign_a > 0 ? magnitude : 0 <=> magnitude;
}

Decimal Decimal::Int() const {
  const u128 divisor = kPow10[scale_];
  const u128 m = Mant(*this);
  u128 q = m / divisor;
  if (negative_ && m % divisor != 0) ++q;
  return Make(q, 0, negative_);
}

Decimal Decimal::Fix() const { return Make(Mant(*this) / kPow10[scale_], 0, negative_); }

Decimal Decimal::RoundHalfEven(int digits) const {
  CheckDigits(digits, "digits");
  if (scale_ <= digits) return *this;
  return Make(RoundDigits(Mant(*this), scale_ - digits, RoundMode::kHalfEven), digits, negative_);
}

Decimal Decimal::RoundHalfAwayFromZero(int digits) const {
  CheckDigits(digits, "digits");
  if (scale_ <= digits) return *this;
  return Make(RoundDigits(Mant(*this), scale_ - digits, RoundMode::kHalfAway), digits, negative_);
}

Decimal Decimal::WithScale(int scale) const {
  CheckDigits(scale, "scale");
  if (scale <= scale_) return RoundHalfEven(scale);
  const int shift = scale - scale_;
  const u128 m = Mant(*this);
  if (m > kMax96 / kPow10[shift]) {
    Raise(err::kOverflow, kSource, ToCStr() + " with scale " + std::to_string(scale));
  }
  return Make(m * kPow10[shift], scale, negative_);
}

Decimal Decimal::Normalized() const noexcept {
  u128 m = Mant(*this);
  int s = scale_;
  StripTrailingZeros(m, s);
  return Make(m, s, negative_);
}

}  // namespace tarvolin
