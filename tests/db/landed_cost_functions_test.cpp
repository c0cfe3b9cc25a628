// The unit-cost functions the company database provides for landed costs,
// called as the engine calls them, on the demo company database.
#include <gtest/gtest.h>

#include <string>

#include "db/demo_database.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

TEST(LandedCostFunctions, UnitCostInForceForTheOptionOrTheItemElseNull) {
  testing_support::DemoDatabase demo;
  // Each call gives one row: the exact option's cost, else the item's row for
  // any option; the one in force at the date; Null when there is none.
  const struct {
    const char *function, *item, *option, *date, *cost;
    int company = 1;
  } cases[] = {
      {"FNMG_GETSPTRASPMP", "TENT-4P", "GREEN", "20260310", "4.5"},
      {"FNMG_GETSPTRASPMP", "TENT-4P", "", "20260310", "4"},
      {"FNMG_GETSPTRASPMP", "TENT-4P", "BLUE", "20260310", "4"},
      {"FNMG_GETSPDAZIMP", "TENT-4P", "GREEN", "20260310", "7.35"},
      {"FNMG_GETSPTRASPMP", "LANT-LED", "", "20260630", "0.85"},
      {"FNMG_GETSPTRASPMP", "LANT-LED", "", "20260701", "0.95"},
      {"FNMG_GETSPTRASPMP", "LANT-LED", "", "20260310", "0.7", 2},
      {"FNMG_GETSPDAZIMP", "BOOT-WX", "", "20260630", "4.8"},
      {"FNMG_GETSPDAZIMP", "BOOT-WX", "", "20260701", "5.1"},
      {"FNMG_GETSPTRASPMP", "STOVE-2B", "", "20250531", "Null"},
      {"FNMG_GETSPTRASPMP", "STOVE-2B", "", "20250601", "2.2"},
      {"FNMG_GETSPDAZIMP", "STOVE-2B", "", "20260310", "Null"},
      {"FNMG_GETSPTRASPMP", "RACK-12", "", "20260310", "Null"},
  };
  for (const auto& c : cases) {
    const std::string sql = "SELECT DBO." + std::string(c.function) + "(" +
                            std::to_string(c.company) + ", '" + c.item + "', '" + c.option +
                            "', '" + c.date + "') AS COSTO";
    auto rs = demo.connection().Execute(sql, nullptr, execute_option::kCommandText);
    ASSERT_EQ(rs->RecordCount(), 1) << sql;
    const Variant cost = rs->Get("COSTO");
    EXPECT_EQ(cost.IsNull() ? "Null" : NzStr(cost), c.cost) << sql;
  }
}

}  // namespace
}  // namespace tarvolin
