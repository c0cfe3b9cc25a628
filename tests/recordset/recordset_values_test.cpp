// Conversion of values assigned to fields.
#include <gtest/gtest.h>

#include <string>

#include "tarvolin/automation/error.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin {
namespace {

struct Raised {
  int number = 0;
  std::string description;
};

template <class F>
Raised Catch(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return {e.number(), e.description()};
  }
  return {};
}

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
  rs->Set("CODE", "ab");
  EXPECT_EQ(rs->Get("CODE").str(), "ab   ");
  rs->Set("NAME", 12);
  EXPECT_EQ(rs->Get("NAME").str(), "12");

  // A Double goes through the 15-digit rule, then half to even to the scale.
  rs->Set("AMOUNT", 2.675);
  EXPECT_EQ(rs->Get("AMOUNT").dec().ToString(), "2.68");
  rs->Set("AMOUNT", 2.665);
  EXPECT_EQ(rs->Get("AMOUNT").dec().ToString(), "2.66");
  rs->Set("AMOUNT", D("1.005"));
  EXPECT_EQ(rs->Get("AMOUNT").dec().ToString(), "1.00");
  rs->Set("AMOUNT", D("3.5"));  // fewer decimals are kept as they are
  EXPECT_EQ(rs->Get("AMOUNT").dec().ToString(), "3.5");
  rs->Set("CASH", D("1.234567"));
  EXPECT_EQ(rs->Get("CASH").dec().ToString(), "1.2346");

  rs->Set("LONG", "12");
  EXPECT_EQ(rs->Get("LONG").type(), VarType::kLong);
  EXPECT_EQ(rs->Get("LONG").CLng(), 12);
  rs->Set("LONG", 2.5);
  EXPECT_EQ(rs->Get("LONG").CLng(), 2);
  rs->Set("SHORT", D("7"));
  EXPECT_EQ(rs->Get("SHORT").type(), VarType::kInteger);
  rs->Set("BIG", 3.5);
  EXPECT_EQ(rs->Get("BIG").dec().ToString(), "4");
  rs->Set("RATE", D("0.1"));
  EXPECT_EQ(rs->Get("RATE").type(), VarType::kDouble);
  rs->Set("FLAG", 1);
  EXPECT_EQ(rs->Get("FLAG").type(), VarType::kBoolean);
  EXPECT_TRUE(rs->Get("FLAG").CBool());
  rs->Set("DAY", "2024-03-05");
  EXPECT_EQ(rs->Get("DAY").type(), VarType::kDate);
  EXPECT_EQ(rs->Get("DAY").CDate(), Date::FromYmd(2024, 3, 5));
  rs->Set("ANY", int16_t{4});
  EXPECT_EQ(rs->Get("ANY").type(), VarType::kInteger);
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
      {"NAME", Variant("abcd"), "abcd"},
      {"LONG", Variant("twelve"), "twelve"},
      {"SHORT", Variant(40000), "40000"},
      {"TINY", Variant(200), "200"},
      {"DAY", Variant("not a date"), "not a date"},
      {"FLAG", Variant("maybe"), "maybe"},
  };
  for (const auto& c : cases) {
    const Raised e = Catch([&] { rs->Set(c.field, c.value); });
    EXPECT_EQ(e.number, err::kWrongValueType) << c.field;
    EXPECT_NE(e.description.find(c.field), std::string::npos) << e.description;
    EXPECT_NE(e.description.find(c.named), std::string::npos) << e.description;
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
  EXPECT_EQ(Catch([&] { clone->Set(name, "wxyz"); }).number, err::kWrongValueType);
  EXPECT_EQ(Catch([&] { clone->Get(FieldRef(99)); }).number, err::kItemNotFound);
  EXPECT_EQ(clone->Get(name).str(), "abc");
}

}  // namespace
}  // namespace tarvolin
