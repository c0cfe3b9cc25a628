#include "tarvolin/automation/decimal.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "support/errors.h"

namespace tarvolin {
namespace {

using testing_support::ErrorOf;
using testing_support::Raises;

constexpr const char* kMax = "79228162514264337593543950335";

Decimal D(std::string_view text) { return Decimal::Parse(text); }

struct Case {
  std::string a;
  char op;
  std::string b, result;  // the result's text, or "error N"
};

// a op b as text (scale kept), or "error N" for the error it raises.
std::string Calculate(const Case& c) {
  std::string text;
  const Error error = ErrorOf([&] {
    const Decimal a = D(c.a), b = D(c.b);
    text = (c.op == '+' ? a + b : c.op == '-' ? a - b : c.op == '*' ? a * b : a / b).ToString();
  });
  return error.number() == 0 ? text : "error " + std::to_string(error.number());
}

void ExpectResults(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(Calculate(c), c.result) << c.a << " " << c.op << " " << c.b;
}

TEST(DecimalLimits, SumsAtThe96BitLimitAndSmallAddends) {
  const std::string tiny = "0.0000000000000000000000000001";
  ExpectResults({
      {"79228162514264337593543950334", '+', "0.5", "79228162514264337593543950334"},  // even
      {kMax, '+', "0.49", kMax},
      {kMax, '-', "0.5", "79228162514264337593543950334"},
      {kMax, '+', "0.5", "error 6"},  // a tie on the odd maximum rounds up to 2^96
      {kMax, '+', "1", "error 6"},
      {"-" + std::string(kMax), '-', "1", "error 6"},
      // Rounding up to 2^96 at scale 1 falls back one more digit instead.
      {"7922816251426433759354395033.5", '+', "0.05", "7922816251426433759354395034"},
      // Small addends keep the largest scale that fits.
      {"0.1", '+', tiny, "0.1000000000000000000000000001"},
      {"1000", '+', tiny, "1000.0000000000000000000000000"},
      {kMax, '+', tiny, kMax},
      {tiny, '-', "1", "-0.9999999999999999999999999999"},
      {"1.5", '-', "2", "-0.5"},
      {"1.5", '-', "1.5", "0.0"},
      // Scales apart, in and just beyond 64 bits once aligned.
      {"2.5", '-', "0.75", "1.75"},
      {"-2.5", '+', "0.75", "-1.75"},
      {"0.75", '-', "2.5", "-1.75"},
      {"1.50", '-', "1.5", "0.00"},
      {"18446744073709551615", '+', "0.1", "18446744073709551615.1"},
      {"1844674407370955161.5", '+', "0.01", "1844674407370955161.51"},
      {"1844674407370955.1615", '+', "1.5", "1844674407370956.6615"},
      {"-1844674407370955.1615", '-', "1.5", "-1844674407370956.6615"},
  });
  EXPECT_TRUE(Raises([] { return D(kMax) + D("0.5"); }, err::kOverflow, "Decimal", kMax));
  EXPECT_EQ(D(tiny).scale(), 28);
  EXPECT_FALSE((D("1.5") - D("1.5")).is_negative());
}

TEST(DecimalRounding, DiscardedDigitsRoundHalfEvenWithSticky) {
  // 10000 + x at scale 28 needs 32 digits: four are discarded.
  ExpectResults({
      {"10000", '+', "0.0000000000000000000000005000", "10000.000000000000000000000000"},
      {"10000", '+', "0.0000000000000000000000015000", "10000.000000000000000000000002"},
      {"10000", '+', "0.0000000000000000000000005001", "10000.000000000000000000000001"},
      {"10000", '-', "0.0000000000000000000000005001", "9999.999999999999999999999999"},
      {"-10000", '-', "0.0000000000000000000000015000", "-10000.000000000000000000000002"},
  });
}

TEST(DecimalMultiply, ScaleBeyond28RoundsOrVanishes) {
  ExpectResults({
      {"0.00000000000001", '*', "0.00000000000001", "0.0000000000000000000000000001"},
      {"0.0000000000000001", '*', "0.0000000000000001", "0"},
      {"0.000000000000005", '*', "0.00000000000001", "0"},  // 5E-29: tie to even 0
      {"0.000000000000015", '*', "0.00000000000001", "0.0000000000000000000000000002"},
      {"0.000000000000025", '*', "-0.00000000000001", "-0.0000000000000000000000000002"},
      {"0.0000000000000051", '*', "0.00000000000001", "0.0000000000000000000000000001"},
      {"1.0000000000000000000000000001", '*', "1.0000000000000000000000000001",
       "1.0000000000000000000000000002"},
      // 99999999999999999999999999999 does not fit; rounding carries into a new digit.
      {"3.3333333333333333333333333333", '*', "3", "10.000000000000000000000000000"},
      {kMax, '*', "0.1", "7922816251426433759354395033.5"},
      {"1.50", '*', "2.0", "3.000"},
      {kMax, '*', "1.1", "error 6"},
      {"-4000000000000000", '*', "40000000000000", "error 6"},
  });
  EXPECT_TRUE((D("0.0000000000000001") * D("0.0000000000000001")).is_zero());
}

TEST(DecimalDivide, QuotientDigitsTrailingZerosAndErrors) {
  ExpectResults({
      {"10", '/', "3", "3.3333333333333333333333333333"},
      {"2", '/', "3", "0.6666666666666666666666666667"},
      {"-1", '/', "3", "-0.3333333333333333333333333333"},
      {"100", '/', "3", "33.333333333333333333333333333"},
      {"10.00", '/', "2", "5"},
      {"1", '/', "4", "0.25"},
      {"100", '/', "0.5", "200"},
      {"-7.5", '/', "-2.5", "3"},
      {kMax, '/', kMax, "1"},
      {"1", '/', kMax, "0"},
      // Exact ties in the last kept digit: half to even.
      {"0.0000000000000000000000000003", '/', "2", "0.0000000000000000000000000002"},
      {"0.0000000000000000000000000005", '/', "2", "0.0000000000000000000000000002"},
      {kMax, '/', "2", "39614081257132168796771975168"},
      {"79228162514264337593543950333", '/', "2", "39614081257132168796771975166"},
      // Exact quotient just below 2^96: rounding would need 97 bits, so one digit less.
      {"55459713759985036315480765235", '/', "7", "7922816251426433759354395034"},
      // Here 10 * q still fits but the next quotient digit does not.
      {"5545971375998503631548076527", '/', "7", "792281625142643375935439503.9"},
      {"0", '/', "0", "error 11"},
      {kMax, '/', "0.1", "error 6"},
      {"55459713759985036315480765235", '/', "0.7", "error 6"},
  });
  EXPECT_TRUE(Raises([] { return Decimal(5) / D("0.00"); }, err::kDivisionByZero, "Decimal"));
}

TEST(DecimalDouble, FromDoubleKeepsFifteenDigitsAndToDoubleGivesTheNearest) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {2.675, "2.675"},
      {0.1, "0.1"},
      {1 / 3.0, "0.333333333333333"},
      {-1.5, "-1.5"},
      {123456789012345678.0, "123456789012346000"},
      // Exact 16-digit ties: half to even.
      {1000000000000005.0, "1000000000000000"},
      {1000000000000015.0, "1000000000000020"},
      // Below 1E-14 the 28th decimal is the last one kept.
      {1.23456789012345678e-20, "0.0000000000000000000123456789"},
      // One rounding only: the 15-digit form 1.23456789500000E-20 would tie upward.
      {1.2345678949999999e-20, "0.0000000000000000000123456789"},
      {1e-29, "0"},
      {-1e-29, "0"},
      // Below 1E-28 nothing is kept, also where rounding at 1E-28 would give 1E-28.
      {6e-29, "0"},
      {9.99e-29, "0"},
      {1e-28, "0.0000000000000000000000000001"},
      {7.9e28, "79000000000000000000000000000"},
      // Exact 16-digit ties below 1E15, and roundings that carry to a power of ten.
      {123456789012345.5, "123456789012346"},
      {123456789012344.5, "123456789012344"},
      {-123456789012344.5, "-123456789012344"},
      {9.9999999999999991e-06, "0.00001"},
      {0.009999999999999995, "0.01"},
      {999999999999999.38, "999999999999999"},
      {0.3 * 3, "0.9"},
      {12345.0, "12345"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decimal::FromDouble(c.value).ToString(), c.text) << c.value;
  EXPECT_FALSE(Decimal::FromDouble(-1e-29).is_negative());
  for (double bad :
       {1e29, -1e29, 79228162514264337593543950336.0, std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity()}) {
    EXPECT_TRUE(Raises([&] { return Decimal::FromDouble(bad); }, err::kOverflow)) << bad;
  }

  EXPECT_EQ(D("0.1").ToDouble(), 0.1);
  EXPECT_EQ(D("2.675").ToDouble(), 2.675);
  EXPECT_EQ(D("-0.0000000000000000000000000001").ToDouble(), -1e-28);
  EXPECT_EQ(D(kMax).ToDouble(), 79228162514264337593543950335.0);
  EXPECT_EQ(D("0.00").ToDouble(), 0.0);
}

TEST(DecimalText, ParseKeepsTheScaleWritten) {
  const struct {
    std::string text;
    const char *parsed, *shortest;
  } cases[] = {
      {"12.50", "12.50", "12.5"},
      {"  -0.05\t", "-0.05", "-0.05"},
      {"+.5", "0.5", "0.5"},
      {"5.", "5", "5"},
      {"1.5E-3", "0.0015", "0.0015"},
      {"1.50e1", "15.0", "15"},
      {"1e28", "10000000000000000000000000000", "10000000000000000000000000000"},
      {"0.00", "0.00", "0"},
      {"0.000", "0.000", "0"},
      {"-0.0001", "-0.0001", "-0.0001"},
      {"-0", "0", "0"},
      {"-100.00", "-100.00", "-100"},
      {"-0.250", "-0.250", "-0.25"},
      {kMax, kMax, kMax},
      {"7.9228162514264337593543950335", "7.9228162514264337593543950335", nullptr},
      // More than 28 decimals, or more digits than 96 bits hold: half to even.
      {"0.12345678901234567890123456785", "0.1234567890123456789012345678", nullptr},
      {"0.12345678901234567890123456785" + std::string(60, '0') + "1",
       "0.1234567890123456789012345679", nullptr},
      {"1.23456789012345678901234567895", "1.2345678901234567890123456790", nullptr},
      {"79228162514264337593543950334.5", "79228162514264337593543950334", nullptr},
      {"0.00000000000000000000000000005", "0.0000000000000000000000000000", nullptr},
      {"1e-400", "0.0000000000000000000000000000", nullptr},
  };
  for (const auto& c : cases) {
    const Decimal parsed = D(c.text);
    EXPECT_EQ(parsed.ToString(), c.parsed) << c.text;
    if (c.shortest != nullptr) {
      EXPECT_EQ(parsed.ToCStr(), c.shortest) << c.text;
    }
    EXPECT_EQ(D(parsed.ToString()).ToString(), c.parsed) << c.text;  // round trip
  }
  EXPECT_EQ(D("5.").scale(), 0);
  EXPECT_EQ(Decimal::TryParse(" 2.50 ")->ToString(), "2.50");
}

TEST(DecimalText, MalformedRaisesTypeMismatchAndTooLargeOverflowNamingTheText) {
  for (const char* text : {"", "abc", "1.2.3", "-", "1e", ".", "1 2", "+-1", "1e+", "0x10"}) {
    EXPECT_TRUE(Raises([&] { return D(text); }, err::kTypeMismatch, "Decimal",
                       '"' + std::string(text) + '"'));
    EXPECT_FALSE(Decimal::TryParse(text).has_value()) << text;
  }
  for (const char* text : {"79228162514264337593543950335.5", "79228162514264337593543950336",
                           "1e29", "8E28", "-1E400"}) {
    EXPECT_TRUE(Raises([&] { return D(text); }, err::kOverflow, "Decimal", text));
    EXPECT_FALSE(Decimal::TryParse(text).has_value()) << text;
  }
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
  const struct {
    const char *value, *int_part, *fix_part;
  } parts[] = {
      {"-2.5", "-3", "-2"}, {"-2.00", "-2", "-2"}, {"-0.5", "-1", "0"}, {"2.99", "2", "2"}};
  for (const auto& c : parts) {
    EXPECT_EQ(D(c.value).Int().ToString(), c.int_part) << c.value;
    EXPECT_EQ(D(c.value).Fix().ToString(), c.fix_part) << c.value;
  }
  // Half to even, to the type's limits.
  const struct {
    const char* value;
    int16_t rounded;
  } shorts[] = {{"2.5", 2},          {"3.5", 4},
                {"-2.5", -2},        {"2.5000000000000000000000000001", 3},
                {"32767.49", 32767}, {"-32768.5", -32768}};
  for (const auto& c : shorts) EXPECT_EQ(D(c.value).ToInt16(), c.rounded) << c.value;
  EXPECT_TRUE(Raises([] { return D("32767.5").ToInt16(); }, err::kOverflow, "", "32767.5"));
  EXPECT_TRUE(Raises([] { return D("-32769").ToInt16(); }, err::kOverflow));
  EXPECT_EQ(D("-2147483648.5").ToInt32(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(D("2147483646.5").ToInt32(), 2147483646);
  EXPECT_TRUE(Raises([] { return D("2147483647.5").ToInt32(); }, err::kOverflow));
  EXPECT_TRUE(Raises([] { return D(kMax).ToInt32(); }, err::kOverflow));

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
  EXPECT_TRUE(Raises([] { return D(kMax).WithScale(1); }, err::kOverflow));
  EXPECT_TRUE(Raises([] { return D("1").WithScale(29); }, err::kInvalidProcedureCall));
  EXPECT_TRUE(Raises([] { return D("1").RoundHalfEven(-1); }, err::kInvalidProcedureCall));
  EXPECT_EQ(D("1.500").Normalized().ToString(), "1.5");
  EXPECT_EQ(D("100").Normalized().ToString(), "100");
  EXPECT_EQ(D("-0.000").Normalized().scale(), 0);
  EXPECT_TRUE(Raises([] { return Decimal::FromParts(1, 0, 0, 29, false); }, err::kOverflow));
  EXPECT_FALSE(Decimal::FromParts(0, 0, 0, 2, true).is_negative());
}

}  // namespace
}  // namespace tarvolin
