#include "tarvolin/automation/variant.h"

#include <gtest/gtest.h>

#include "support/errors.h"

namespace tarvolin {
namespace {

Decimal D(const char* text) { return Decimal::Parse(text); }

using testing_support::Raises;

TEST(VariantArithmetic, ResultSubtypesFollowPrecisionOrder) {
  const Variant empty;
  EXPECT_EQ((empty + empty).type(), VarType::kInteger);
  EXPECT_EQ((empty + Variant(int32_t{5})).type(), VarType::kLong);
  EXPECT_EQ((Variant(int16_t{2}) + Variant(int16_t{3})).type(), VarType::kInteger);
  // Integer overflow widens to Long, Long overflow to Double.
  const Variant widened = Variant(int16_t{32767}) + Variant(int16_t{1});
  EXPECT_EQ(widened.type(), VarType::kLong);
  EXPECT_EQ(widened.CLng(), 32768);
  EXPECT_EQ((Variant(int32_t{2147483647}) * Variant(int16_t{2})).type(), VarType::kDouble);
  // A Decimal anywhere makes the result Decimal, exactly.
  const Variant sum = Variant(0.1) + Variant(D("0.2"));
  EXPECT_EQ(sum.type(), VarType::kDecimal);
  EXPECT_EQ(sum.dec(), D("0.3"));
  EXPECT_EQ((Variant(D("1.10")) * Variant(int16_t{3})).dec().ToString(), "3.30");
  // Division: Double unless a Decimal takes part.
  EXPECT_EQ((Variant(int16_t{1}) / Variant(int16_t{4})).type(), VarType::kDouble);
  EXPECT_EQ((Variant(D("10")) / Variant(int16_t{3})).dec().ToString(),
            "3.3333333333333333333333333333");
  // Text holding a number adds numerically; two texts concatenate.
  EXPECT_EQ((Variant("2.5") + Variant(int16_t{1})).CDbl(), 3.5);
  EXPECT_EQ((Variant("2") + Variant("3")).str(), "23");
  EXPECT_EQ((Variant(empty) + Variant("x")).str(), "x");
  // Anything with a Date is a Date.
  const Variant tomorrow = Variant(Date::FromYmd(2026, 12, 31)) + Variant(int16_t{1});
  EXPECT_EQ(tomorrow.type(), VarType::kDate);
  EXPECT_EQ(tomorrow.CDate().ToIso(), "2027-01-01");
  // Negation of the smallest Integer cannot stay an Integer.
  EXPECT_EQ((-Variant(int16_t{-32768})).type(), VarType::kLong);
}

TEST(VariantArithmetic, NullPropagatesAndErrorsCarryPlatformNumbers) {
  const Variant null = Variant::Null();
  EXPECT_TRUE((null + Variant(int16_t{1})).IsNull());
  EXPECT_TRUE((Variant(D("1")) * null).IsNull());
  EXPECT_TRUE((null / Variant(int16_t{0})).IsNull());
  EXPECT_EQ(Concat(null, Variant("a")).str(), "a");
  EXPECT_TRUE(Concat(null, null).IsNull());
  EXPECT_TRUE(Raises([] { (void)(Variant(int16_t{1}) / Variant(int16_t{0})); }, 11));
  EXPECT_TRUE(Raises([] { (void)(Variant(int16_t{0}) / Variant(int16_t{0})); }, 6));
  EXPECT_TRUE(Raises([] { (void)(Variant(D("0")) / Variant(D("0"))); }, 6));
  EXPECT_TRUE(Raises([] { (void)(Variant("abc") * Variant(int16_t{2})); }, 13));
  EXPECT_TRUE(Raises([] { (void)(Variant(1e308) * Variant(10.0)); }, 6));
}

TEST(VariantCompare, VbRulesForMixedSubtypes) {
  // The Integer 0 and a Decimal 0 are different values that compare equal.
  EXPECT_TRUE(Variant(int16_t{0}) == Variant(D("0.00")));
  EXPECT_NE(Variant(int16_t{0}).type(), Variant(D("0.00")).type());
  EXPECT_TRUE(Variant() == Variant(int32_t{0}));
  EXPECT_TRUE(Variant() == Variant(""));
  EXPECT_TRUE(Variant(int32_t{99}) < Variant("1"));  // a number sorts before a text
  // Double against Decimal goes through the 15-digit conversion: 2.675 is exact.
  EXPECT_TRUE(Variant(2.675) == Variant(D("2.675")));
  EXPECT_TRUE(Variant(true) == Variant(int16_t{-1}));
  // Null makes every comparison false, including <>.
  const Variant null = Variant::Null();
  EXPECT_FALSE(null == null);
  EXPECT_FALSE(null != Variant(int16_t{1}));
  EXPECT_FALSE(Compare(null, Variant()).has_value());
  EXPECT_TRUE(Variant("abc") != Variant("ABC"));  // text compares binary
}

TEST(VariantConvert, ConversionsAndTheirErrors) {
  EXPECT_EQ(Variant().CStr(), "");
  EXPECT_EQ(Variant(true).CStr(), "True");
  EXPECT_EQ(Variant(D("1.50")).CStr(), "1.5");
  EXPECT_EQ(Variant(0.1).CStr(), "0.1");
  EXPECT_EQ(Variant(1e15).CStr(), "1E+15");
  EXPECT_EQ(Variant(0.00001).CStr(), "1E-05");
  EXPECT_EQ(Variant(0.0001).CStr(), "0.0001");
  EXPECT_EQ(Variant(-123456.5).CStr(), "-123456.5");
  EXPECT_EQ(Variant(1.0 / 3).CStr(), "0.333333333333333");
  // CInt and CLng round half to even.
  EXPECT_EQ(Variant(2.5).CInt(), 2);
  EXPECT_EQ(Variant(3.5).CInt(), 4);
  EXPECT_EQ(Variant("-2.5").CLng(), -2);
  EXPECT_EQ(Variant(D("1234.5")).CLng(), 1234);
  EXPECT_TRUE(Raises([] { (void)Variant(int32_t{40000}).CInt(); }, 6));
  EXPECT_TRUE(Raises([] { (void)Variant(3e9).CLng(); }, 6));
  EXPECT_TRUE(Raises([] { (void)Variant("12a").CDec(); }, 13));
  EXPECT_TRUE(Raises([] { (void)Variant("").CDbl(); }, 13));
  EXPECT_TRUE(Raises([] { (void)Variant::Null().CStr(); }, 94));
  EXPECT_TRUE(Raises([] { (void)Variant::Null().CDec(); }, 94));
  EXPECT_TRUE(Raises([] { (void)Variant("yes").CBool(); }, 13));
  EXPECT_EQ(Variant(" 12.50 ").CDec().ToString(), "12.50");
  EXPECT_EQ(Variant(2.675).CDec().ToString(), "2.675");
  EXPECT_TRUE(Variant("TRUE").CBool());
  EXPECT_FALSE(Variant(D("0.00")).CBool());
  EXPECT_EQ(Variant("2026-02-28").CDate(), Date::FromYmd(2026, 2, 28));
  EXPECT_TRUE(Raises([] { (void)Variant("2026-02-30").CDate(); }, 13));
  // The message names the value at fault.
  try {
    (void)Variant("12a").CDbl();
    FAIL();
  } catch (const Error& e) {
    EXPECT_NE(e.description().find("\"12a\""), std::string::npos) << e.description();
  }
}

TEST(VariantConvert, IntAndFixKeepSubtype) {
  EXPECT_EQ(Variant(-2.5).Int().CDbl(), -3);
  EXPECT_EQ(Variant(-2.5).Fix().CDbl(), -2);
  EXPECT_EQ(Variant(D("-7.25")).Int().dec(), D("-8"));
  EXPECT_EQ(Variant(D("-7.25")).Fix().type(), VarType::kDecimal);
  EXPECT_TRUE(Variant::Null().Int().IsNull());
}

TEST(VariantDate, SerialsMatchTheAutomationCalendar) {
  EXPECT_EQ(Date::FromYmd(1899, 12, 30).serial, 0);
  EXPECT_EQ(Date::FromYmd(1900, 1, 1).serial, 2);
  EXPECT_EQ(Date::FromYmd(2026, 12, 6).serial, 46362);
  const Date noon = Date::FromYmd(2024, 2, 29, 12, 30, 15);
  EXPECT_EQ(noon.ToIso(), "2024-02-29 12:30:15");
  EXPECT_EQ(noon.ToYmdText(), "20240229");
  EXPECT_EQ(Date::Parse("20240229")->ToIso(), "2024-02-29");
  EXPECT_EQ(Date::Parse("2/29/2024")->ToIso(), "2024-02-29");
  EXPECT_FALSE(Date::Parse("2023-02-29").has_value());
  EXPECT_FALSE(Date::Parse("2100-02-29").has_value());  // a century, not a fourth one
  EXPECT_TRUE(Date::Parse("2000-02-29").has_value());
}

TEST(VariantArray, ArraysAreValues) {
  Variant a(VariantArray{Variant(int16_t{1}), Variant("x")});
  Variant b = a;
  b.mutable_array()[0] = Variant(int16_t{2});
  EXPECT_EQ(a.array()[0].CInt(), 1);
  EXPECT_EQ(b.array()[0].CInt(), 2);
  EXPECT_TRUE(Raises([&] { (void)(a == b); }, 13));
  // An array of Variants reports the array flag plus its element type.
  EXPECT_EQ(static_cast<int>(a.type()), 8204);
  EXPECT_TRUE(a.IsArray());
  EXPECT_FALSE(Variant(int16_t{1}).IsArray());
}

}  // namespace
}  // namespace tarvolin
