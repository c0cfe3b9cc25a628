#include <gtest/gtest.h>

#include "tarvolin/engine/value_helpers.h"
#include "ustax/usa74_fixture.h"

namespace tarvolin {
namespace {

using testing_support::ErrorOf;
using testing_support::Raises;

class UsTaxSetup : public testing_support::UsTaxBench {
 protected:
  // Looks a pair up: "found" or "none", then max, below, above and tax on tax by value.
  std::string Rate(CLSMG_TARVOLIN& engine, const std::string& jurisdiction,
                   const std::string& group) {
    std::string out =
        engine.GetTaxDetails(jurisdiction, group, max_, below_, above_, on_tax_) ? "found" : "none";
    for (const Variant* value : {&max_, &below_, &above_, &on_tax_}) {
      out += " " + NzDecimal(*value).ToCStr();
    }
    return out;
  }
  void SetDate(int year, int month, int day) {
    header_->Set("DO11_DATADOC", Variant(Date::FromYmd(year, month, day)));
  }
  void SetArea(const char* area) { header_->Set("DO11_TAXAREA_NV01", Variant(area)); }

  Variant max_, below_, above_, on_tax_;
};

TEST_F(UsTaxSetup, RateInForceOnTheDocumentDateIsCachedPerPair) {
  EXPECT_EQ(Rate(*engine_, "TX-CI-MSP", "GENERAL"), "found 0 1 0 0");  // not 1.25 of 2026-07-01
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(connection_->options()[0], execute_option::kCommandText);
  EXPECT_EQ(max_.type(), VarType::kDecimal);
  // The pair keeps its rate for a document of another date on the same engine.
  SetDate(2026, 8, 1);
  EXPECT_EQ(Rate(*engine_, "TX-CI-MSP", "GENERAL"), "found 0 1 0 0");
  EXPECT_EQ(log().size(), 1u);

  // A jurisdiction missing from NV02 has no tax on tax.
  Sql("INSERT INTO NV05_TAXDETAIL (NV05_TAXJURCODE_NV02, NV05_TAXGROUPCODE_NV04, NV05_TAXTYPE,"
      " NV05_EFFECTIVEDATE, NV05_TAXBELOWMAX) VALUES ('ZZ-GONE', 'GENERAL', 0, '2020-01-01', 3)");
  EXPECT_EQ(Rate(*NewEngine(), "ZZ-GONE", "GENERAL"), "found 0 3 0 0");
  EXPECT_EQ(on_tax_.type(), VarType::kInteger);

  // Rates stored with a time of day are in force on their own day, and between
  // two rates of one day type 2 still wins over type 0, whatever the times.
  Sql("INSERT INTO NV05_TAXDETAIL (NV05_TAXJURCODE_NV02, NV05_TAXGROUPCODE_NV04, NV05_TAXTYPE,"
      " NV05_EFFECTIVEDATE, NV05_TAXBELOWMAX) VALUES"
      " ('ZZ-TIME', 'GENERAL', 0, '2026-03-20 00:00:00', 4),"
      " ('ZZ-TIME', 'GENERAL', 0, '2026-03-23 00:00:00', 5),"
      " ('ZZ-TIME', 'GENERAL', 0, '2026-03-24 10:30:00', 6.5),"
      " ('ZZ-TIME', 'GENERAL', 2, '2026-03-24', 7),"
      " ('ZZ-TIME', 'GENERAL', 0, '2026-03-25 18:00:00', 8)");
  for (const auto& [day, rate] : {std::pair{23, "found 0 5 0 0"}, std::pair{24, "found 0 7 0 0"},
                                  std::pair{25, "found 0 8 0 0"}}) {
    SetDate(2026, 3, day);
    EXPECT_EQ(Rate(*NewEngine(), "ZZ-TIME", "GENERAL"), rate) << "2026-03-" << day;
  }

  // No rate: False with four Integer zeros, cached like a found one.
  Rate(*engine_, "CA-ST", "GENERAL");
  const int64_t before = connection_->statements();
  EXPECT_EQ(Rate(*engine_, "TX-CO-PEC", "GROCERY"), "none 0 0 0 0");
  EXPECT_EQ(Rate(*engine_, "TX-CO-PEC", "GROCERY"), "none 0 0 0 0");
  EXPECT_EQ(connection_->statements(), before + 1);
  for (const Variant* value : {&max_, &below_, &above_, &on_tax_}) {
    EXPECT_EQ(value->Describe(), "Integer 0");
  }
  EXPECT_EQ(engine_->DictTaxDetailFound().Item("$$TX-CO-PEC$$GROCERY$$").CInt(), 0);
  EXPECT_EQ(engine_->DictTaxDetailFound().Item("$$CA-ST$$GENERAL$$").CInt(), 1);
  for (Dictionary* cache : {&engine_->DictTaxMaxAmountQty(), &engine_->DictTaxBelowMax(),
                            &engine_->DictTaxAboveMax(), &engine_->DictTaxOnTax()}) {
    EXPECT_EQ(cache->Keys(), engine_->DictTaxDetailFound().Keys());
  }

  // A quote in a code stays inside its literal.
  EXPECT_EQ(Rate(*engine_, "O'HARE", "GENERAL"), "none 0 0 0 0");
  EXPECT_NE(log().back().find("NV05_TAXJURCODE_NV02 = 'O''HARE'\r\n"), std::string::npos);
  EXPECT_TRUE(engine_->DictTaxDetailFound().Exists("$$O'HARE$$GENERAL$$"));
}

TEST_F(UsTaxSetup, AreaLinesAreQueriedOnlyWhenTheAreaChanges) {
  EXPECT_TRUE(engine_->ReloadTaxAreaLines());
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(connection_->options()[0], execute_option::kCommandText);
  auto lines = engine_->RstTaxAreaLines();
  EXPECT_EQ(lines->RecordCount(), 4);
  EXPECT_EQ(NzStr(lines->Get("NV03_TAXJURCODE_NV02")), "TX-DI-MTA");  // order 10 first
  lines->MoveLast();
  EXPECT_TRUE(engine_->ReloadTaxAreaLines());  // same area: position left to the caller
  EXPECT_EQ(NzStr(lines->Get("NV03_TAXJURCODE_NV02")), "TX-ST");
  EXPECT_EQ(log().size(), 1u);

  // A blank area forgets the loaded one but keeps its lines.
  SetArea("   ");
  EXPECT_FALSE(engine_->ReloadTaxAreaLines());
  EXPECT_EQ(engine_->LoadedTaxArea(), "");
  EXPECT_EQ(engine_->RstTaxAreaLines(), lines);
  SetArea("TX-MSP");
  EXPECT_TRUE(engine_->ReloadTaxAreaLines());
  EXPECT_EQ(log().size(), 2u);

  // An area without lines is at end of file, the second time without a query.
  SetArea("OUT-STATE");
  EXPECT_FALSE(engine_->ReloadTaxAreaLines());
  EXPECT_FALSE(engine_->ReloadTaxAreaLines());
  EXPECT_EQ(log().size(), 3u);
  EXPECT_EQ(engine_->LoadedTaxArea(), "OUT-STATE");

  SetArea("X'Y");
  EXPECT_FALSE(engine_->ReloadTaxAreaLines());
  EXPECT_NE(log().back().find("NV03_TAXAREACODE_NV01 = 'X''Y'\r\n"), std::string::npos);
}

TEST_F(UsTaxSetup, TaxDecimalsAreReadOncePerEngineAndClamped) {
  engine_->GetDecimaliTasse();
  EXPECT_EQ(engine_->DecimaliTasse(), 4);
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(connection_->options()[0], execute_option::kCommandText);
  engine_->GetDecimaliTasse();
  EXPECT_EQ(log().size(), 1u);

  const auto read = [&](const std::string& value) {
    Sql("UPDATE FW95_SETTINGS SET FW95_VALORE = " + value);
    auto engine = NewEngine();
    engine->GetDecimaliTasse();
    return engine->DecimaliTasse();
  };
  EXPECT_EQ(read("'25'"), 20);
  EXPECT_EQ(read("'20'"), 20);
  EXPECT_EQ(read("'-3'"), -3);    // kept as read; the rounding treats it as 0 decimals
  EXPECT_EQ(read("'x'"), 5);      // does not convert
  EXPECT_EQ(read("'99999'"), 5);  // does not fit an Integer

  // Blank counts as not read: the next call reads again.
  Sql("UPDATE FW95_SETTINGS SET FW95_VALORE = ' '");
  auto engine = NewEngine();
  const int64_t before = connection_->statements();
  engine->GetDecimaliTasse();
  EXPECT_EQ(engine->DecimaliTasse(), 0);
  Sql("UPDATE FW95_SETTINGS SET FW95_VALORE = '3'");
  engine->GetDecimaliTasse();
  EXPECT_EQ(engine->DecimaliTasse(), 3);
  EXPECT_EQ(connection_->statements(), before + 2);

  Sql("DELETE FROM FW95_SETTINGS");
  EXPECT_EQ(read("'1'"), 5);  // no row
  Sql("DROP TABLE FW95_SETTINGS");
  engine = NewEngine();
  engine->GetDecimaliTasse();  // a failing query is ignored
  EXPECT_EQ(engine->DecimaliTasse(), 5);
}

TEST_F(UsTaxSetup, FailuresRaiseUnderTheProcedureLabel) {
  Sql("DROP TABLE NV05_TAXDETAIL");
  EXPECT_TRUE(Raises([&] { Rate(*engine_, "TX-ST", "GENERAL"); }, err::kDatabaseError,
                     "GetTaxDetails:\r\nSqliteConnection", "NV05_TAXDETAIL"));
  EXPECT_EQ(engine_->DictTaxDetailFound().Count(), 0);  // nothing cached
  header_->Set("DO11_DATADOC", Variant::Null());
  EXPECT_TRUE(Raises([&] { Rate(*engine_, "TX-ST", "GENERAL"); }, err::kInvalidUseOfNull,
                     "GetTaxDetails:\r\nCLSMG_TARVOLIN", "DO11_DATADOC"));

  // A failed area query keeps the area loaded before, so the next call asks again
  // rather than serving the old area's lines.
  ASSERT_TRUE(engine_->ReloadTaxAreaLines());
  SetArea("CA-PMS");
  Sql("DROP TABLE NV03_TAXAREALINE");
  EXPECT_TRUE(Raises([&] { engine_->ReloadTaxAreaLines(); }, err::kDatabaseError,
                     "ReloadTaxAreaLines:\r\nSqliteConnection"));
  EXPECT_EQ(engine_->LoadedTaxArea(), "TX-MSP");
  const int64_t before = connection_->statements();
  EXPECT_EQ(ErrorOf([&] { engine_->ReloadTaxAreaLines(); }).number(), err::kDatabaseError);
  EXPECT_EQ(connection_->statements(), before + 1);

  Sql("DROP TABLE CO60_CONFVEXNAV");
  EXPECT_TRUE(Raises([&] { engine_->GetVexNavDb(); }, err::kDatabaseError,
                     "GetVexNavDb:\r\nSqliteConnection"));
  document_->Set(DocumentTable::kHeader, nullptr);
  EXPECT_TRUE(
      Raises([&] { engine_->ReloadTaxAreaLines(); }, err::kObjectNotSet, "", "DO11_DOCTESTATA"));
}

}  // namespace
}  // namespace tarvolin
