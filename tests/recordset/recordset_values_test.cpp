// Conversion of values assigned to fields.
#include <gtest/gtest.h>

#include <string>

#include "support/errors.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin {
namespace {

using testing_support::Raises;

Decimal D(const char* text) { return Decimal::Parse(text); }

std::shared_ptr<Recordset> AllTypes() {
  auto rs = MakeRecordset({{"CODE", DataType::kChar, 5},
                           {"NAME", DataType::kVarChar, 3},
                           {"AMOUNT", DataType::kDecimal, 0, 0, 18, 2},
                           {"LONG", DataType::kInteger},
                           {"SHORT", DataType::kSmallInt},
                           {"TINY", DataType::kTinyInt},
                           {"BIG", DataType::kBigInt},
                           {"RATE", DataType::kDouble},
                           {"CASH", DataType::kCurrency},
                           {"FLAG", DataType::kBoolean},
                           {"DAY", DataType::kDate},
                           {"ANY", DataType::kVariant}});
  rs->AddNew();
  return rs;
}

TEST(RecordsetValues, NewRowReadsEmptyAndNullStaysNull) {
  auto rs = AllTypes();
  for (int i = 0; i < rs->FieldCount(); ++i) EXPECT_TRUE(rs->Get(FieldRef(i)).IsEmpty()) << i;
  for (const char* name : {"CODE", "AMOUNT", "LONG", "FLAG", "DAY"}) {
    rs->Set(name, Variant::Null());
    EXPECT_TRUE(rs->Get(name).IsNull()) << name;
  }
}

TEST(RecordsetValues, ConvertedToTheFieldType) {
  auto rs = AllTypes();
  // A Double goes through the 15-digit rule, then half to even to the scale;
  // fewer decimals are kept as they are.
  const struct {
    const char* field;
    Variant value;
    const char* stored;
  } cases[] = {
      {"CODE", Variant("ab"), "String \"ab   \""},
      {"NAME", Variant(12), "String \"12\""},
      {"NAME", Variant("abc"), "String \"abc\""},
      {"NAME", Variant("\u00e4\u00f6\u00fc"),
       "String \"\u00e4\u00f6\u00fc\""},                      // 3 characters in 6 bytes
      {"CODE", Variant("\u00e4b"), "String \"\u00e4b   \""},  // padded to 5 characters, not bytes
      {"AMOUNT", Variant(2.675), "Decimal 2.68"},
      {"AMOUNT", Variant(2.665), "Decimal 2.66"},
      {"AMOUNT", Variant(D("1.005")), "Decimal 1.00"},
      {"AMOUNT", Variant(D("3.5")), "Decimal 3.5"},
      {"CASH", Variant(D("1.234567")), "Decimal 1.2346"},
      {"LONG", Variant("12"), "Long 12"},
      {"LONG", Variant(2.5), "Long 2"},
      {"SHORT", Variant(D("7")), "Integer 7"},
      {"BIG", Variant(3.5), "Decimal 4"},
      {"RATE", Variant(D("0.1")), "Double 0.1"},
      {"FLAG", Variant(1), "Boolean True"},
      {"DAY", Variant("2024-03-05"), "Date 2024-03-05"},
      {"ANY", Variant(int16_t{4}), "Integer 4"},
  };
  for (const auto& c : cases) {
    rs->Set(c.field, c.value);
    EXPECT_EQ(rs->Get(c.field).Describe(), c.stored) << c.field << " = " << c.value.Describe();
  }
}

TEST(RecordsetValues, RefusedValuesRaise3421AndLeaveTheFieldAsItWas) {
  auto rs = AllTypes();
  rs->Set("NAME", "abc");
  rs->Set("LONG", 5);
  rs->Set("SHORT", 6);
  rs->Set("TINY", 7);
  const struct {
    const char* field;
    Variant value;
    const char* named;
  } cases[] = {
      {"NAME", Variant("abcd"), "abcd"},     {"NAME", Variant("\u00e4\u00f6\u00fcx"), "x"},
      {"LONG", Variant("twelve"), "twelve"}, {"SHORT", Variant(40000), "40000"},
      {"TINY", Variant(200), "200"},         {"DAY", Variant("not a date"), "not a date"},
      {"FLAG", Variant("maybe"), "maybe"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(Raises([&] { rs->Set(c.field, c.value); }, err::kWrongValueType, "", c.field));
    EXPECT_TRUE(Raises([&] { rs->Set(c.field, c.value); }, err::kWrongValueType, "", c.named));
  }
  EXPECT_EQ(rs->Get("NAME").str(), "abc");
  EXPECT_EQ(rs->Get("LONG").CLng(), 5);
  EXPECT_EQ(rs->Get("SHORT").CLng(), 6);
  EXPECT_EQ(rs->Get("TINY").CLng(), 7);
  EXPECT_TRUE(rs->Get("DAY").IsEmpty());
  // Through a clone the same rules apply, and a resolved field works in every clone.
  const FieldRef name = rs->Resolve("name");
  auto clone = rs->Clone();
  clone->MoveLast();
  EXPECT_TRUE(Raises([&] { clone->Set(name, "wxyz"); }, err::kWrongValueType));
  EXPECT_TRUE(Raises([&] { clone->Get(FieldRef(99)); }, err::kItemNotFound));
  EXPECT_EQ(clone->Get(name).str(), "abc");
}

}  // namespace
}  // namespace tarvolin
