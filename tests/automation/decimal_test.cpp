#include "tarvolin/automation/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tarvolin/automation/error.h"

namespace tarvolin {
namespace {

constexpr const char* kMax = "79228162514264337593543950335";

Decimal D(std::string_view text) { return Decimal::Parse(text); }

// Runs f and returns the error it raised (number -1 when it raised nothing).
template <typename F>
Error Raised(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  return Error(-1, "", "nothing raised");
}

TEST(DecimalLimits, SumsAtThe96BitLimit) {
  const Decimal max = D(kMax);
  EXPECT_EQ((D("79228162514264337593543950334") + D("0.5")).ToString(),
            "79228162514264337593543950334");  // tie, even stays
  EXPECT_EQ((max + D("0.49")).ToString(), kMax);
  EXPECT_EQ((max - D("0.5")).ToString(), "79228162514264337593543950334");
  // A tie on the odd maximum rounds up to 2^96: overflow.
  const Error e = Raised([&] { return max + D("0.5"); });
  EXPECT_EQ(e.number(), err::kOverflow);
  EXPECT_EQ(e.source(), "Decimal");
  EXPECT_NE(e.description().find(kMax), std::string::npos);
  EXPECT_EQ(Raised([&] { return max + Decimal(1); }).number(), err::kOverflow);
  EXPECT_EQ(Raised([&] { return -max - Decimal(1); }).number(), err::kOverflow);
  // Rounding up to 2^96 at scale 1 falls back one more digit instead.
  EXPECT_EQ((D("7922816251426433759354395033.5") + D("0.05")).ToString(),
            "7922816251426433759354395034");
}

TEST(DecimalLimits, SmallAddendsKeepTheLargestScaleThatFits) {
  const Decimal tiny = D("0.0000000000000000000000000001");
  EXPECT_EQ(tiny.scale(), 28);
  EXPECT_EQ((D("0.1") + tiny).ToString(), "0.1000000000000000000000000001");
  EXPECT_EQ((Decimal(1000) + tiny).ToString(), "1000.0000000000000000000000000");
  EXPECT_EQ((D(kMax) + tiny).ToString(), kMax);
  EXPECT_EQ((tiny - Decimal(1)).ToString(), "-0.9999999999999999999999999999");
  EXPECT_EQ((D("1.5") - Decimal(2)).ToString(), "-0.5");
  EXPECT_EQ((D("1.5") - D("1.5")).ToString(), "0.0");
  EXPECT_FALSE((D("1.5") - D("1.5")).is_negative());
}

TEST(DecimalRounding, DiscardedDigitsRoundHalfEvenWithSticky) {
  const Decimal big(10000);
  // 10000 + x at scale 28 needs 32 digits: four are discarded.
  EXPECT_EQ((big + D("0.0000000000000000000000005000")).ToString(),
            "10000.000000000000000000000000");
  EXPECT_EQ((big + D("0.0000000000000000000000015000")).ToString(),
            "10000.000000000000000000000002");
  EXPECT_EQ((big + D("0.0000000000000000000000005001")).ToString(),
            "10000.000000000000000000000001");
  EXPECT_EQ((big - D("0.0000000000000000000000005001")).ToString(),
            "9999.999999999999999999999999");
  EXPECT_EQ((-big - D("0.0000000000000000000000015000")).ToString(),
            "-10000.000000000000000000000002");
}

TEST(DecimalMultiply, ScaleBeyond28RoundsOrVanishes) {
  EXPECT_EQ((D("0.00000000000001") * D("0.00000000000001")).ToString(),
            "0.0000000000000000000000000001");
  const Decimal gone = D("0.0000000000000001") * D("0.0000000000000001");
  EXPECT_TRUE(gone.is_zero());
  EXPECT_EQ(gone.ToString(), "0");
  const Decimal e14 = D("0.00000000000001");
  EXPECT_TRUE((D("0.000000000000005") * e14).is_zero());  // 5E-29: tie to even 0
  EXPECT_EQ((D("0.000000000000015") * e14).ToString(), "0.0000000000000000000000000002");
  EXPECT_EQ((D("0.000000000000025") * -e14).ToString(), "-0.0000000000000000000000000002");
  EXPECT_EQ((D("0.0000000000000051") * e14).ToString(), "0.0000000000000000000000000001");
  const Decimal one_plus = D("1.0000000000000000000000000001");
  EXPECT_EQ((one_plus * one_plus).ToString(), "1.0000000000000000000000000002");
  // 99999999999999999999999999999 does not fit; rounding carries into a new digit.
  EXPECT_EQ((D("3.3333333333333333333333333333") * Decimal(3)).ToString(),
            "10.000000000000000000000000000");
  EXPECT_EQ((D(kMax) * D("0.1")).ToString(), "7922816251426433759354395033.5");
  EXPECT_EQ((D("1.50") * D("2.0")).ToString(), "3.000");
  EXPECT_EQ(Raised([] { return D(kMax) * D("1.1"); }).number(), err::kOverflow);
  EXPECT_EQ(Raised([] { return D("-4000000000000000") * D("40000000000000"); }).number(),
            err::kOverflow);
}

TEST(DecimalDivide, QuotientDigitsAndTrailingZeros) {
  EXPECT_EQ((Decimal(10) / Decimal(3)).ToString(), "3.3333333333333333333333333333");
  EXPECT_EQ((Decimal(2) / Decimal(3)).ToString(), "0.6666666666666666666666666667");
  EXPECT_EQ((Decimal(-1) / Decimal(3)).ToString(), "-0.3333333333333333333333333333");
  EXPECT_EQ((Decimal(100) / Decimal(3)).ToString(), "33.333333333333333333333333333");
  EXPECT_EQ((D("10.00") / Decimal(2)).ToString(), "5");
  EXPECT_EQ((Decimal(1) / Decimal(4)).ToString(), "0.25");
  EXPECT_EQ((Decimal(100) / D("0.5")).ToString(), "200");
  EXPECT_EQ((D("-7.5") / D("-2.5")).ToString(), "3");
  EXPECT_EQ((D(kMax) / D(kMax)).ToString(), "1");
  EXPECT_TRUE((Decimal(1) / D(kMax)).is_zero());
  // Exact ties in the last kept digit: half to even.
  EXPECT_EQ((D("0.0000000000000000000000000003") / Decimal(2)).ToString(),
            "0.0000000000000000000000000002");
  EXPECT_EQ((D("0.0000000000000000000000000005") / Decimal(2)).ToString(),
            "0.0000000000000000000000000002");
  EXPECT_EQ((D(kMax) / Decimal(2)).ToString(), "39614081257132168796771975168");
  EXPECT_EQ((D("79228162514264337593543950333") / Decimal(2)).ToString(),
            "39614081257132168796771975166");
  // Exact quotient just below 2^96: rounding would need 97 bits, so one digit less.
  EXPECT_EQ((D("55459713759985036315480765235") / Decimal(7)).ToString(),
            "7922816251426433759354395034");
  // Here 10 * q still fits but the next quotient digit does not.
  EXPECT_EQ((D("5545971375998503631548076527") / Decimal(7)).ToString(),
            "792281625142643375935439503.9");
}

TEST(DecimalDivide, ZeroDivisorAndOverflow) {
  Error e = Raised([] { return Decimal(5) / D("0.00"); });
  EXPECT_EQ(e.number(), err::kDivisionByZero);
  EXPECT_EQ(e.source(), "Decimal");
  EXPECT_EQ(Raised([] { return Decimal(0) / Decimal(0); }).number(), err::kDivisionByZero);
  EXPECT_EQ(Raised([] { return D(kMax) / D("0.1"); }).number(), err::kOverflow);
  EXPECT_EQ(Raised([] { return D("55459713759985036315480765235") / D("0.7"); }).number(),
            err::kOverflow);
}

TEST(DecimalDouble, RoundsToFifteenSignificantDigits) {
  EXPECT_EQ(Decimal::FromDouble(2.675).ToString(), "2.675");
  EXPECT_EQ(Decimal::FromDouble(0.1), D("0.1"));
  EXPECT_EQ(Decimal::FromDouble(0.1).ToString(), "0.1");
  EXPECT_EQ(Decimal::FromDouble(1 / 3.0).ToString(), "0.333333333333333");
  EXPECT_EQ(Decimal::FromDouble(-1.5).ToString(), "-1.5");
  EXPECT_EQ(Decimal::FromDouble(123456789012345678.0).ToString(), "123456789012346000");
  // Exact 16-digit ties: half to even.
  EXPECT_EQ(Decimal::FromDouble(1000000000000005.0).ToString(), "1000000000000000");
  EXPECT_EQ(Decimal::FromDouble(1000000000000015.0).ToString(), "1000000000000020");
  // Below 1E-14 the 28th decimal is the last one kept.
  EXPECT_EQ(Decimal::FromDouble(1.23456789012345678e-20).ToString(),
            "0.0000000000000000000123456789");
  // One rounding only: the 15-digit form 1.23456789500000E-20 would tie upward.
  EXPECT_EQ(Decimal::FromDouble(1.2345678949999999e-20).ToString(),
            "0.0000000000000000000123456789");
  EXPECT_TRUE(Decimal::FromDouble(1e-29).is_zero());
  EXPECT_FALSE(Decimal::FromDouble(-1e-29).is_negative());
  EXPECT_EQ(Decimal::FromDouble(7.9e28).ToString(), "79000000000000000000000000000");
  for (double bad :
       {1e29, -1e29, 79228162514264337593543950336.0, std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(Raised([&] { return Decimal::FromDouble(bad); }).number(), err::kOverflow) << bad;
  }
}

TEST(DecimalDouble, ToDoubleIsTheNearest) {
  EXPECT_EQ(D("0.1").ToDouble(), 0.1);
  EXPECT_EQ(D("2.675").ToDouble(), 2.675);
  EXPECT_EQ(D("-0.0000000000000000000000000001").ToDouble(), -1e-28);
  EXPECT_EQ(D(kMax).ToDouble(), 79228162514264337593543950335.0);
  EXPECT_EQ(D("0.00").ToDouble(), 0.0);
}

TEST(DecimalText, ParseKeepsTheScaleWritten) {
  EXPECT_EQ(D("12.50").ToString(), "12.50");
  EXPECT_EQ(D("12.50").ToCStr(), "12.5");
  EXPECT_EQ(D("  -0.05\t").ToString(), "-0.05");
  EXPECT_EQ(D("+.5").ToString(), "0.5");
  EXPECT_EQ(D("5.").scale(), 0);
  EXPECT_EQ(D("1.5E-3").ToString(), "0.0015");
  EXPECT_EQ(D("1.50e1").ToString(), "15.0");
  EXPECT_EQ(D("1e28").ToString(), "10000000000000000000000000000");
  EXPECT_EQ(D("0.00").ToString(), "0.00");
  EXPECT_EQ(D("-0").ToString(), "0");
  EXPECT_EQ(D("-100.00").ToCStr(), "-100");
  EXPECT_EQ(D("0.000").ToCStr(), "0");
  EXPECT_EQ(D("-0.250").ToCStr(), "-0.25");
  EXPECT_EQ(D(kMax).ToString(), kMax);
  // More than 28 decimals, or more digits than 96 bits hold: half to even.
  EXPECT_EQ(D("0.12345678901234567890123456785").ToString(), "0.1234567890123456789012345678");
  EXPECT_EQ(D("0.12345678901234567890123456785" + std::string(60, '0') + "1").ToString(),
            "0.1234567890123456789012345679");
  EXPECT_EQ(D("1.23456789012345678901234567895").ToString(), "1.2345678901234567890123456790");
  EXPECT_EQ(D("79228162514264337593543950334.5").ToString(), "79228162514264337593543950334");
  EXPECT_EQ(D("0.00000000000000000000000000005").ToString(), "0.0000000000000000000000000000");
  for (const char* text : {"12.50", "-0.0001", kMax, "7.9228162514264337593543950335", "0.00"}) {
    EXPECT_EQ(D(D(text).ToString()).ToString(), text);
  }
}

TEST(DecimalText, MalformedRaisesTypeMismatchNamingTheText) {
  for (const char* text : {"", "abc", "1.2.3", "-", "1e", ".", "1 2", "+-1", "1e+", "0x10"}) {
    const Error e = Raised([&] { return D(text); });
    EXPECT_EQ(e.number(), err::kTypeMismatch) << text;
    EXPECT_NE(e.description().find('"' + std::string(text) + '"'), std::string::npos)
        << e.description();
    EXPECT_FALSE(Decimal::TryParse(text).has_value()) << text;
  }
  for (const char* text : {"79228162514264337593543950335.5", "79228162514264337593543950336",
                           "1e29", "8E28", "-1E400"}) {
    const Error e = Raised([&] { return D(text); });
    EXPECT_EQ(e.number(), err::kOverflow) << text;
    EXPECT_NE(e.description().find(text), std::string::npos);
    EXPECT_FALSE(Decimal::TryParse(text).has_value()) << text;
  }
  EXPECT_EQ(Decimal::TryParse(" 2.50 ")->ToString(), "2.50");
  EXPECT_TRUE(D("1e-400").is_zero());
}

TEST(DecimalCompare, ByValueAcrossScales) {
  EXPECT_EQ(D("1.50"), D("1.5"));
  EXPECT_EQ(D("-0.00"), Decimal(0));
  EXPECT_EQ(Decimal(1), D("1.0000000000000000000000000000"));
  EXPECT_LT(D("-2"), D("-1.5"));
  EXPECT_LT(D("-0.1"), D("0"));
  const Decimal max = D(kMax);
  const Decimal max28 = Decimal::FromParts(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 28, false);
  EXPECT_EQ(max28.ToString(), "7.9228162514264337593543950335");
  EXPECT_GT(max, max28);
  EXPECT_LT(-max, -max28);
  // Scales 18 and 28, mantissas near the limit.
  EXPECT_LT(D("7.922816251426433759"), max28);
  EXPECT_GT(D("7.922816251426433760"), max28);
  EXPECT_EQ(D("7.9228162514264337593543950335"), max28);
  EXPECT_NE(D("7.9228162514264337593543950334"), max28);
}

TEST(DecimalIntegers, IntFixAndIntegerConversions) {
  EXPECT_EQ(D("-2.5").Int().ToString(), "-3");
  EXPECT_EQ(D("-2.5").Fix().ToString(), "-2");
  EXPECT_EQ(D("-2.00").Int().ToString(), "-2");
  EXPECT_EQ(D("-0.5").Fix().ToString(), "0");
  EXPECT_EQ(D("-0.5").Int().ToString(), "-1");
  EXPECT_EQ(D("2.99").Int().ToString(), "2");

  EXPECT_EQ(D("2.5").ToInt16(), 2);
  EXPECT_EQ(D("3.5").ToInt16(), 4);
  EXPECT_EQ(D("-2.5").ToInt16(), -2);
  EXPECT_EQ(D("2.5000000000000000000000000001").ToInt16(), 3);
  EXPECT_EQ(D("32767.49").ToInt16(), 32767);
  EXPECT_EQ(D("-32768.5").ToInt16(), -32768);
  const Error e = Raised([] { return D("32767.5").ToInt16(); });
  EXPECT_EQ(e.number(), err::kOverflow);
  EXPECT_NE(e.description().find("32767.5"), std::string::npos);
  EXPECT_EQ(Raised([] { return D("-32769").ToInt16(); }).number(), err::kOverflow);
  EXPECT_EQ(D("-2147483648.5").ToInt32(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(D("2147483646.5").ToInt32(), 2147483646);
  EXPECT_EQ(Raised([] { return D("2147483647.5").ToInt32(); }).number(), err::kOverflow);
  EXPECT_EQ(Raised([] { return D(kMax).ToInt32(); }).number(), err::kOverflow);

  EXPECT_EQ(D("5.00").ToInt64(), 5);
  EXPECT_EQ(D("-9223372036854775808").ToInt64(), std::numeric_limits<int64_t>::min());
  EXPECT_FALSE(D("9223372036854775808").ToInt64().has_value());
  EXPECT_FALSE(D("5.01").ToInt64().has_value());
  EXPECT_EQ(Decimal::FromInt64(std::numeric_limits<int64_t>::min()).ToString(),
            "-9223372036854775808");
}

TEST(DecimalIntegers, RoundingAndScaleChanges) {
  EXPECT_EQ(D("2.345").RoundHalfEven(2).ToString(), "2.34");
  EXPECT_EQ(D("2.355").RoundHalfEven(2).ToString(), "2.36");
  EXPECT_EQ(D("-2.345").RoundHalfAwayFromZero(2).ToString(), "-2.35");
  EXPECT_EQ(D("-0.4").RoundHalfAwayFromZero(0).ToString(), "0");
  EXPECT_EQ(D("1.5").RoundHalfEven(3).ToString(), "1.5");
  EXPECT_EQ(D("1.5").WithScale(3).ToString(), "1.500");
  EXPECT_EQ(D("1.25").WithScale(1).ToString(), "1.2");
  EXPECT_EQ(D("0").WithScale(28).ToString(), "0.0000000000000000000000000000");
  EXPECT_EQ(Raised([] { return D(kMax).WithScale(1); }).number(), err::kOverflow);
  EXPECT_EQ(Raised([] { return D("1").WithScale(29); }).number(), err::kInvalidProcedureCall);
  EXPECT_EQ(Raised([] { return D("1").RoundHalfEven(-1); }).number(), err::kInvalidProcedureCall);
  EXPECT_EQ(D("1.500").Normalized().ToString(), "1.5");
  EXPECT_EQ(D("100").Normalized().ToString(), "100");
  EXPECT_EQ(D("-0.000").Normalized().scale(), 0);
  EXPECT_EQ(Raised([] { return Decimal::FromParts(1, 0, 0, 29, false); }).number(), err::kOverflow);
  EXPECT_FALSE(Decimal::FromParts(0, 0, 0, 2, true).is_negative());
}

}  // namespace
}  // namespace tarvolin
