// The engine's statements, built by its own builders, run on the demo company
// database on SQLite and on PostgreSQL: one case for each form of the server's
// dialect they use, on the stored data the engine reads, and the rollback of a
// failed statement in a transaction.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/demo_database.h"
#include "engine/statements.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

namespace sql = statements;
using Strings = std::vector<std::string>;
using testing_support::Backend;

class EngineStatements : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::kPostgres) SKIP_WITHOUT_POSTGRES();
    auto& demo = GetParam() == Backend::kPostgres ? postgres_ : sqlite_;
    if (!demo) demo = std::make_unique<testing_support::DemoDatabase>(GetParam());
    current_ = demo.get();
  }
  static void TearDownTestSuite() {
    sqlite_.reset();
    postgres_.reset();
  }

  static Connection& db() { return current_->database(); }
  // As the engine runs its reads: command text.
  static std::shared_ptr<Recordset> Run(const std::string& statement) {
    return db().Execute(statement, nullptr, execute_option::kCommandText);
  }
  // The first row's field as the engine reads text ("" for Null); "no row" without one.
  static std::string First(const std::string& statement, std::string_view field) {
    auto rs = Run(statement);
    return rs->Eof() ? "no row" : NzStr(rs->Get(field));
  }
  // An amount by value ("1.0" is "1"), "" for Null, "no row" without one.
  static std::string Amount(const std::string& statement, std::string_view field) {
    auto rs = Run(statement);
    if (rs->Eof()) return "no row";
    const Variant value = rs->Get(field);
    return value.IsNull() ? "" : value.CDec().Normalized().ToCStr();
  }
  static Strings Column(const std::string& statement, std::string_view field) {
    Strings values;
    for (auto rs = Run(statement); !rs->Eof(); rs->MoveNext())
      values.push_back(NzStr(rs->Get(field)));
    return values;
  }

 private:
  static inline std::unique_ptr<testing_support::DemoDatabase> sqlite_;
  static inline std::unique_ptr<testing_support::DemoDatabase> postgres_;
  static inline testing_support::DemoDatabase* current_ = nullptr;
};

// TOP 1 with ORDER BY ... DESC, hints, CR LF layout, dates compared as text.
TEST_P(EngineStatements, TaxDetailTakesTheNewestSalesRateInForce) {
  const struct {
    const char *jurisdiction, *date, *rate;
  } cases[] = {
      {"TX-CI-MSP", "20260630", "1"},      // the day before the city's change
      {"TX-CI-MSP", "20260701", "1.25"},   // on the day
      {"TX-ST", "20260316", "6.25"},       // not the newer excise row (type 1)
      {"CA-ST", "20260318", "6"},          // type 2 over 0; never the type 3 row
      {"TX-DI-PEH", "20220331", "no row"}  // not yet in force
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Amount(sql::TaxDetail(c.jurisdiction, "GENERAL", c.date), "NV05_TAXBELOWMAX"), c.rate)
        << c.jurisdiction << " " << c.date;
  }
  // The joined jurisdiction's tax on tax, and the maximum.
  EXPECT_EQ(Amount(sql::TaxDetail("CA-DI-PMT", "GENERAL", "20260318"), "NV02_CALCULATETAXONTAX"),
            "1");
  EXPECT_EQ(Amount(sql::TaxDetail("TN-CO-SYH", "GENERAL", "20260320"), "NV05_MAXIMUMAMOUNTQTY"),
            "1600");
  EXPECT_EQ(Column(sql::TaxAreaLines("CA-PMS"), "NV03_TAXJURCODE_NV02"),
            (Strings{"CA-DI-PMT", "CA-CI-PMS", "CA-CO-TUL", "CA-ST"}));
  EXPECT_EQ(Amount(sql::TaxDecimals(), "FW95_VALORE"), "4");
}

// LEFT JOIN giving Null, ISNULL, CASE, a cross-database name, lowercase text.
TEST_P(EngineStatements, JoinsNullsAndDescriptions) {
  EXPECT_EQ(Column(sql::CurrencyList(1), "MG49_NUMDEC"), (Strings{"4", "3", "", "4"}));
  auto currencies = Run(sql::CurrencyList(1));
  currencies->Move(2);
  EXPECT_TRUE(currencies->Get("MG49_NUMDEC").IsNull());  // JPY: no price decimals row

  EXPECT_EQ(First(sql::Description("NV02", "NV02_TAXJURISDICTION", "CA-DI-PMT"), "DESCRIZIONE"),
            "Port Marisol Transit District");
  EXPECT_EQ(First(sql::AccountDescription("1", "1", "4010"), "CG24_DESCR"),
            "Sales - camping and lighting");  // the company's own
  EXPECT_EQ(First(sql::AccountDescription("1", "1", "4030"), "CG24_DESCR"), "Sales - food");
  const std::string assets = First(sql::ExternalDatabase(), "CO60_DATABASE");
  EXPECT_EQ(assets, "TVASSETS");
  EXPECT_EQ(First(sql::AssetDescription(assets, 1, "FA-0004"), "VS02_DESCRIPTION"),
            "Pallet racking, 12 bays");
  EXPECT_EQ(First(sql::AccountKind("1", "2100"), "CG24_INDATTPASSPOR"), "2");

  // A code without a description reads "", not Null (add, read, undo).
  db().BeginTrans();
  db().Execute("INSERT INTO NV04_TAXGROUP (NV04_CODE) VALUES ('NODESCR')");
  const Variant blank =
      Run(sql::Description("NV04", "NV04_TAXGROUP", "NODESCR"))->Get("DESCRIZIONE");
  db().RollbackTrans();
  EXPECT_TRUE(blank.IsString() && blank.str().empty()) << blank.Describe();
  EXPECT_EQ(First(sql::Description("NV04", "NV04_TAXGROUP", "NODESCR"), "DESCRIZIONE"), "no row");
}

// A bracket holds its limit; IS NULL OR ... sorted Null first; a placeholder; functions.
TEST_P(EngineStatements, BracketsDefaultsAndUnitCosts) {
  EXPECT_EQ(Amount(sql::ExpenseBrackets("SHIPPING", "USD", "99.99"), "MG05_IMPORTO"), "12");
  EXPECT_EQ(Amount(sql::ExpenseBrackets("SHIPPING", "USD", "100"), "MG05_IMPORTO"), "25");
  EXPECT_EQ(Amount(sql::ExpenseBrackets("HANDLING", "USD"), "MG05_FINOA"), "500");  // the lowest

  EXPECT_EQ(First(sql::DocumentDefaults(1, "SINV", "SALES", "jdoe", "2"), "CO16_DEP_MG58"), "MAIN");
  EXPECT_EQ(First(sql::DocumentDefaults(1, "PIMP", "", "", "1"), "CO16_SEZ_CG68"), "PI");
  EXPECT_EQ(First(sql::DocumentDefaults(1, "PIMP", "", "", std::nullopt), "CO16_SEZ_CG68"),
            "no row");
  EXPECT_EQ(Amount(sql::PreferredPriority("1"), "LP09_ID"), "3");  // the higher of two

  EXPECT_EQ(First(sql::DocumentTypeSwitch("NV07_FLGDE", "1", "PIMP"), "NV07_FLGDE"), "1");
  const struct {
    const char *item, *option, *date, *cost;
  } costs[] = {
      {"TENT-4P", "GREEN", "20260310", "4.5"},  // the option's own row
      {"TENT-4P", "BLUE", "20260310", "4"},     // the row for every option
      {"LANT-LED", "", "20260701", "0.95"},     // in force on its first day
      {"STOVE-2B", "", "20250531", ""},         // none yet: Null
  };
  for (const auto& c : costs) {
    EXPECT_EQ(
        Amount(sql::UnitCost("DBO.FNMG_GETSPTRASPMP", "1", c.item, c.option, c.date), "COSTO"),
        c.cost)
        << c.item << " " << c.option << " " << c.date;
  }
}

TEST_P(EngineStatements, AFailedStatementInATransactionUndoesItAll) {
  int number = 0;
  try {
    InTransaction(db(), [&] {
      db().Execute("DELETE FROM NV04_TAXGROUP WHERE NV04_CODE = 'GROCERY'");
      db().Execute("INSERT INTO NV04_TAXGROUP (NV04_CODE) VALUES ('GENERAL')");  // exists
    });
  } catch (const Error& e) {
    number = e.number();
  }
  EXPECT_EQ(number, err::kDatabaseError);
  EXPECT_EQ(db().TransactionLevel(), 0);
  EXPECT_EQ(First(sql::Description("NV04", "NV04_TAXGROUP", "GROCERY"), "DESCRIZIONE"),
            "Groceries (food for home consumption)");
}

INSTANTIATE_TEST_SUITE_P(Backends, EngineStatements,
                         ::testing::Values(Backend::kSqlite, Backend::kPostgres),
                         [](const auto& info) {
                           return std::string(testing_support::BackendName(info.param));
                         });

}  // namespace
}  // namespace tarvolin
