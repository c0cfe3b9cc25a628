#include <gtest/gtest.h>

#include "tarvolin/engine/value_helpers.h"
#include "ustax/usa74_fixture.h"

namespace tarvolin {
namespace {

using testing_support::AddUsa74Row;
using testing_support::Raises;
namespace f = usa74;
using Strings = std::vector<std::string>;

Decimal D(const char* text) { return Decimal::Parse(text); }

// The fields the calculation writes on a summary row, and the labels used for them.
constexpr std::string_view kOutcomeFields[] = {
    f::kImporto,         f::kImpNotRound, f::kActualTaxPerc,     f::kFlgPercRic,
    f::kFlgCalcTaxOnTax, f::kFlgTaxOnTax, f::kFlgCalcTaxAboveMax};
constexpr const char* kOutcomeLabels[] = {"tax",    "exact",    "rate", "recalc",
                                          "on-tax", "tot-flag", "above"};

class UsTaxCalculation : public testing_support::UsTaxBench {
 protected:
  UsTaxCalculation() : summary_(testing_support::NewUsa74()) {
    document_->Set(DocumentTable::kTaxSummary, summary_);
  }

  // A rate in the engine's caches, as a lookup would have left it: the pair is
  // then never queried.
  void Seed(const std::string& jurisdiction, const std::string& group, const char* max,
            const char* below, const char* above = "0", int tax_on_tax = 0) {
    const std::string key = "$$" + jurisdiction + "$$" + group + "$$";
    engine_->DictTaxDetailFound().Add(key, Variant(int16_t{1}));
    engine_->DictTaxMaxAmountQty().Add(key, Variant(D(max)));
    engine_->DictTaxBelowMax().Add(key, Variant(D(below)));
    engine_->DictTaxAboveMax().Add(key, Variant(D(above)));
    engine_->DictTaxOnTax().Add(key, Variant(Decimal(tax_on_tax)));
  }
  // A summary row with its rate seeded (method 0 unless given).
  void Line(const std::string& jurisdiction, const std::string& group, int order, const char* base,
            const char* below, int tax_on_tax = 0, int method = 0) {
    Seed(jurisdiction, group, "0", below, "0", tax_on_tax);
    AddUsa74Row(*summary_, jurisdiction, group, order, method, base);
  }
  // The summary rows matching criteria (codes are unique within a test).
  std::shared_ptr<Recordset> Rows(const std::string& criteria) {
    auto rows = summary_->Clone();
    rows->SetFilter(criteria);
    return rows;
  }
  Decimal Get(const std::string& jurisdiction, std::string_view field) {
    return NzDecimal(Rows("USA74_TAXJURISDICTION = '" + jurisdiction + "'")->Get(field));
  }
  // What the calculation wrote on a jurisdiction's row, amounts by value.
  std::string Outcome(const std::string& jurisdiction) {
    auto row = Rows("USA74_TAXJURISDICTION = '" + jurisdiction + "'");
    EXPECT_EQ(row->RecordCount(), 1) << jurisdiction;
    std::string out;
    for (int i = 0; i < 7; ++i) {
      const Variant value = row->Get(kOutcomeFields[i]);
      out += std::string(i == 0 ? "" : " ") + kOutcomeLabels[i] + " " +
             (value.IsEmpty() ? "Empty" : NzDecimal(value).ToCStr());
    }
    return out;
  }
  void ExpectOutcomes(const std::vector<std::pair<std::string, std::string>>& expected) {
    for (const auto& [jurisdiction, outcome] : expected) {
      EXPECT_EQ(Outcome(jurisdiction), outcome) << jurisdiction;
    }
  }
  // The tax of every row of a group, highest calculation order first.
  Strings Taxes(const std::string& group) {
    auto rows = Rows("USA74_TAXGROUP = '" + group + "'");
    rows->SetSort("USA74_CALCORDER DESC");
    Strings out;
    for (; !rows->Eof(); rows->MoveNext())
      out.push_back(NzDecimal(rows->Get(f::kImporto)).ToCStr());
    return out;
  }
  // Summary rows for every jurisdiction of the header's tax area.
  void AreaLines(const std::string& group, const char* base) {
    ASSERT_TRUE(engine_->ReloadTaxAreaLines());
    for (auto lines = engine_->RstTaxAreaLines()->Clone(); !lines->Eof(); lines->MoveNext()) {
      AddUsa74Row(*summary_, NzStr(lines->Get("NV03_TAXJURCODE_NV02")), group,
                  NzDec(lines->Get("NV03_CALCULATIONORD")).CInt(),
                  NzDec(lines->Get("NV01_ROUNDTAX")).CInt(), base);
    }
  }
  void NewSummary() {
    summary_ = testing_support::NewUsa74();
    document_->Set(DocumentTable::kTaxSummary, summary_);
  }
  // A body with a row per tax group, each with DO30_TOTSTAX set to rate.
  std::shared_ptr<Recordset> Body(std::initializer_list<const char*> groups, const Variant& rate) {
    auto body = NewDocumentRecordset(DocumentTable::kBody);
    for (const char* group : groups) {
      AppendRow(*body, {});
      body->Set("DO30_TAXGROUP_NV04", Variant(group));
      body->Set("DO30_TOTSTAX", rate);
    }
    document_->Set(DocumentTable::kBody, body);
    return body;
  }
  static Strings RowRates(Recordset& body) {
    Strings rates;
    for (body.MoveFirst(); !body.Eof(); body.MoveNext())
      rates.push_back(NzStr(body.Get("DO30_TOTSTAX")));
    return rates;
  }

  std::shared_ptr<Recordset> summary_;
};

TEST_F(UsTaxCalculation, RoundingFunctionsWorkOnTheMagnitude) {
  CLSMG_TARVOLIN& e = *engine_;
  const Variant two(int16_t{2});
  const struct {
    Variant (CLSMG_TARVOLIN::*round)(const Variant&, const Variant&);
    const char *value, *rounded;
  } cases[] = {
      {&CLSMG_TARVOLIN::RoundUsa, "1.235", "1.24"},
      {&CLSMG_TARVOLIN::RoundUsa, "-1.235", "-1.24"},
      {&CLSMG_TARVOLIN::RoundUsa, "1.225", "1.23"},  // not half to even
      {&CLSMG_TARVOLIN::RoundUsa, "5.3625", "5.36"},
      {&CLSMG_TARVOLIN::RoundUPUsa, "5.3625", "5.37"},
      {&CLSMG_TARVOLIN::RoundUPUsa, "-1.231", "-1.24"},
      {&CLSMG_TARVOLIN::RoundUPUsa, "1.2300", "1.23"},  // nothing left over
      {&CLSMG_TARVOLIN::RoundDWUsa, "-1.231", "-1.23"},
      {&CLSMG_TARVOLIN::RoundDWUsa, "174.9993", "174.99"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ((e.*c.round)(Variant(D(c.value)), two).dec(), D(c.rounded)) << c.value;
  }
  EXPECT_EQ(e.RoundUsa(Variant(D("1234.5")), Variant(int16_t{-2})).dec(), D("1200"));
  // A Double stays a Double; Null passes through.
  EXPECT_EQ(e.RoundUsa(Variant(2.5), Variant(int16_t{0})).Describe(), "Double 3");
  EXPECT_TRUE(e.RoundDWUsa(Variant::Null(), two).IsNull());

  EXPECT_TRUE(
      Raises([&] { e.RoundUsa(Variant("abc"), two); }, err::kTypeMismatch, "RoundUsa:\r\nVariant"));
  const Variant huge(D("79228162514264337593543950335"));
  EXPECT_TRUE(Raises([&] { e.RoundUPUsa(huge, two); }, err::kOverflow, "RoundUPUsa:\r\nDecimal"));
  EXPECT_TRUE(Raises([&] { e.RoundDWUsa(huge, two); }, err::kOverflow, "RoundDWUsa:\r\nDecimal"));
}

TEST_F(UsTaxCalculation, MaximumAmountSplitsTheBase) {
  const auto capped = [&](const char* jurisdiction, const char* base, const char* max,
                          const char* below, const char* above) {
    Seed(jurisdiction, jurisdiction, max, below, above);
    AddUsa74Row(*summary_, jurisdiction, jurisdiction, 1, 0, base);
  };
  capped("OVER", "1000", "600", "5", "2");
  capped("EQUAL", "600", "600", "5", "2");
  capped("NOMAX", "1000000", "0", "5", "2");
  capped("CREDIT", "-1000", "600", "5", "2");
  capped("NEGMAX", "50", "-100", "5", "2");
  capped("HALVES", "2", "1", "0.005", "0.005");
  capped("EVEN", "5", "0", "0.005", "0");
  engine_->CalculateTax();

  ExpectOutcomes({
      {"OVER", "tax 38 exact 38 rate 3.8 recalc 1 on-tax 0 tot-flag 0 above 1"},
      // On the maximum is within it: one rate, the nominal percentage.
      {"EQUAL", "tax 30 exact 30 rate 5 recalc 0 on-tax 0 tot-flag 0 above 0"},
      {"NOMAX", "tax 50000 exact 50000 rate 5 recalc 0 on-tax 0 tot-flag 0 above 0"},
      {"CREDIT", "tax -50 exact -50 rate 5 recalc 0 on-tax 0 tot-flag 0 above 0"},
      // A negative maximum puts the base above it: -100 at 5% and 150 at 2%.
      {"NEGMAX", "tax -2 exact -2 rate -4 recalc 1 on-tax 0 tot-flag 0 above 1"},
      // Each part is rounded by itself to the tax decimals (4), half to even.
      {"HALVES", "tax 0 exact 0 rate 0 recalc 1 on-tax 0 tot-flag 0 above 1"},
      {"EVEN", "tax 0 exact 0.0002 rate 0.005 recalc 0 on-tax 0 tot-flag 0 above 0"},
  });
  EXPECT_EQ(Get("OVER", f::kMaxAmount), D("600"));
  EXPECT_EQ(Get("OVER", f::kTaxAmPerc), D("2"));
  EXPECT_EQ(log().size(), 1u);  // the tax decimals only: every rate was cached
}

TEST_F(UsTaxCalculation, TaxOnTaxAddsEarlierJurisdictionsOfTheGroup) {
  Line("A2", "GA", 2, "100", "10");
  Line("A1", "GA", 1, "100", "5", 1);
  Line("A0", "GA", 0, "200", "1", 1);
  Line("B1", "GB", 5, "100", "10", 1);              // first of its group: nothing to add
  AddUsa74Row(*summary_, "C9", "GC", 9, 0, "100");  // no rate: left alone
  summary_->Set(f::kImporto, Variant(int16_t{7}));
  Line("C1", "GC", 1, "100", "10", 1);
  Line("D1", "GD", 1, "100", "10");
  summary_->Set(f::kFlgCalcTaxOnTax, Variant(int16_t{1}));  // a flag is never put back to 0
  Line("P2", "GP", 2, "1", "900");
  Line("P1", "GP", 1, "1", "100", 1);  // 10 on a base of 1: 1000% is written as 0
  Line("Q2", "GQ", 2, "100", "10");
  Line("Q1", "GQ", 1, "0", "10", 1);  // own base 0
  engine_->CalculateTax();

  ExpectOutcomes({
      {"A2", "tax 10 exact 10 rate 10 recalc 0 on-tax 0 tot-flag 0 above 0"},
      // 5% of 100 + 10, the rate on its own base; then 1% of 200 + 10 + 5.5.
      {"A1", "tax 5.5 exact 5.5 rate 5.5 recalc 1 on-tax 1 tot-flag 1 above 0"},
      {"A0", "tax 2.16 exact 2.155 rate 1.08 recalc 1 on-tax 1 tot-flag 1 above 0"},
      {"B1", "tax 10 exact 10 rate 10 recalc 0 on-tax 0 tot-flag 1 above 0"},
      {"C9", "tax 7 exact Empty rate 0 recalc 0 on-tax 0 tot-flag 0 above 0"},
      {"C1", "tax 10 exact 10 rate 10 recalc 0 on-tax 0 tot-flag 1 above 0"},
      {"D1", "tax 10 exact 10 rate 10 recalc 1 on-tax 1 tot-flag 0 above 0"},
      {"P1", "tax 10 exact 10 rate 0 recalc 1 on-tax 1 tot-flag 1 above 0"},
      {"Q1", "tax 1 exact 1 rate 0 recalc 1 on-tax 1 tot-flag 1 above 0"},
  });
  EXPECT_EQ(Get("C9", f::kTaxPerc), D("0"));
}

TEST_F(UsTaxCalculation, RoundingMethodsAndDocumentCurrency) {
  header_->Set("DO11_VALUTA_CG08", Variant("CAD"));
  header_->Set("DO11_CAMBIO", Variant(D("1.3585")));
  Line("R4", "R", 4, "100", "1.2345", 0, 7);  // unknown method on the first row: Empty
  Line("R3", "R", 3, "100", "1.2345", 0, 1);
  Line("R2", "R", 2, "100", "1.2399", 0, 2);
  Line("R1", "R", 1, "100", "5", 0, 9);  // unknown method: the previous row's tax
  Line("R0", "R", 0, "100", "1.225", 0, 0);
  const auto taxes = [&] {
    Strings out;
    for (const char* row : {"R4", "R3", "R2", "R1", "R0"}) {
      out.push_back(Get(row, f::kImporto).ToCStr() + "/" + Get(row, f::kImportoVal).ToCStr());
    }
    return out;
  };
  engine_->CalculateTax();
  EXPECT_TRUE(Rows("USA74_TAXJURISDICTION = 'R4'")->Get(f::kImporto).IsEmpty());
  EXPECT_EQ(Get("R4", f::kImpNotRound), D("1.2345"));
  EXPECT_EQ(Get("R1", f::kImpNotRound), D("5"));
  // Up, down, the previous row's, half away from zero; in CAD 1.24 x 1.3585.
  EXPECT_EQ(taxes(), (Strings{"0/0", "1.24/1.68", "1.23/1.67", "1.23/1.67", "1.23/1.67"}));

  // The company currency's decimals; 2 when its list lacks the currency.
  company_->currency_decimals = {{"USD", 0}};
  engine_->CalculateTax();
  EXPECT_EQ(Get("R3", f::kImporto), D("2"));
  EXPECT_EQ(Get("R2", f::kImporto), D("1"));
  company_->currency_decimals.clear();
  // Kept in company currency: the document-currency tax is left as it is.
  document_->State().no_conversion = true;
  engine_->CalculateTax();
  EXPECT_EQ(Get("R3", f::kImporto), D("1.24"));
  EXPECT_EQ(Get("R3", f::kImportoVal), D("2.72"));  // from the run at 0 decimals
}

TEST_F(UsTaxCalculation, TexasInvoiceOfTheDemoCompany) {
  AreaLines("GENERAL", "399");
  AreaLines("CLOTHING", "258");
  AreaLines("GROCERY", "138");
  AreaLines("FREIGHT", "12.95");
  engine_->CalculateTax();
  // Every line's tax is checked end to end in demo_invoice_tax_test.
  EXPECT_EQ(Taxes("CLOTHING"), (Strings{"16.13", "1.29", "2.58", "0.65"}));
  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("53.61"));
  // Decimals, area lines and 16 pairs (the untaxed ones too), once each.
  EXPECT_EQ(log().size(), 18u);
  engine_->CalculateTax();
  EXPECT_EQ(log().size(), 18u);

  // On and after 2026-07-01 the city takes 1.25% (a new engine sees the new rate).
  header_->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 7, 1)));
  NewSummary();
  engine_ = NewEngine();
  AreaLines("GENERAL", "1000");
  engine_->CalculateTax();
  EXPECT_EQ(Get("TX-CI-MSP", f::kImporto), D("12.5"));
  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("82.5"));
}

TEST_F(UsTaxCalculation, CaliforniaRoundsUpAndTennesseeDown) {
  header_->Set("DO11_TAXAREA_NV01", Variant("CA-PMS"));
  AreaLines("GENERAL", "1000");
  auto body = Body({"GENERAL", "CLOTHING", "GENERAL"}, Variant(int16_t{9}));
  engine_->CalculateTax();
  engine_->ImpostaTotSTaxRighe();
  EXPECT_EQ(Get("CA-ST", f::kImporto), D("60"));
  // On 1,000 + 72.50 of the others, rounded up.
  EXPECT_EQ(Outcome("CA-DI-PMT"),
            "tax 5.37 exact 5.3625 rate 0.537 recalc 1 on-tax 1 tot-flag 1 above 0");
  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("77.87"));
  EXPECT_EQ(RowRates(*body), (Strings{"7.787", "9", "7.787"}));

  header_->Set("DO11_TAXAREA_NV01", Variant("TN-SYH"));
  NewSummary();
  AreaLines("GENERAL", "2500");
  AreaLines("CLOTHING", "2499.99");
  engine_->CalculateTax();
  // 1,600 at 2.25%, 900 at 0.
  auto county = Rows("USA74_TAXJURISDICTION = 'TN-CO-SYH' AND USA74_TAXGROUP = 'GENERAL'");
  EXPECT_EQ(NzDecimal(county->Get(f::kImporto)), D("36"));
  EXPECT_EQ(NzDecimal(county->Get(f::kActualTaxPerc)), D("1.44"));
  EXPECT_EQ(NzDecimal(county->Get(f::kFlgCalcTaxAboveMax)), 1);
  auto state = Rows("USA74_TAXJURISDICTION = 'TN-ST' AND USA74_TAXGROUP = 'CLOTHING'");
  EXPECT_EQ(NzDecimal(state->Get(f::kImpNotRound)), D("174.9993"));
  EXPECT_EQ(NzDecimal(state->Get(f::kImporto)), D("174.99"));  // down
  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("421.99"));     // 175 + 36 + 174.99 + 36
}

TEST_F(UsTaxCalculation, GroupRatesTotalsAndFailures) {
  Line("T1", "G", 2, "100", "4.5");
  Line("T2", "G", 1, "100", "1.25");
  Line("T3", "O'K", 1, "100", "3");
  AddUsa74Row(*summary_, "T4", "", 1, 0, "100");  // rows without a group have no rate
  auto body = Body({"G", "O'K", "X", "G"}, Variant());
  engine_->CalculateTax();
  engine_->ImpostaTotSTaxRighe();
  EXPECT_EQ(RowRates(*body), (Strings{"5.75", "3", "", "5.75"}));

  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("8.75"));
  summary_->MoveFirst();
  summary_->Set(f::kImporto, Variant::Null());
  EXPECT_TRUE(engine_->GetTotaleTasse().IsNull());
  document_->Set(DocumentTable::kTaxSummary, testing_support::NewUsa74());
  EXPECT_EQ(engine_->GetTotaleTasse().type(), VarType::kInteger);
  document_->Set(DocumentTable::kTaxSummary, nullptr);
  EXPECT_EQ(engine_->GetTotaleTasse().type(), VarType::kInteger);

  EXPECT_TRUE(Raises([&] { engine_->CalculateTax(); }, err::kObjectNotSet,
                     "CalculateTax:\r\nCLSMG_TARVOLIN", "USA74"));
  document_->Set(DocumentTable::kTaxSummary, summary_);
  AddUsa74Row(*summary_, "TX-ST", "NEW", 1, 0, "10");
  Sql("DROP TABLE NV05_TAXDETAIL");
  EXPECT_TRUE(Raises([&] { engine_->CalculateTax(); }, err::kDatabaseError,
                     "CalculateTax:\r\nGetTaxDetails:\r\nSqliteConnection"));
}

}  // namespace
}  // namespace tarvolin
