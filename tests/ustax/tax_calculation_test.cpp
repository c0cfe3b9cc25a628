#include <gtest/gtest.h>

#include "tarvolin/engine/value_helpers.h"
#include "ustax/usa74_fixture.h"

namespace tarvolin {
namespace {

using testing_support::AddUsa74Row;
using testing_support::ErrorOf;
namespace f = usa74;

Decimal D(const char* text) { return Decimal::Parse(text); }

class UsTaxCalculation : public testing_support::UsTaxBench {
 protected:
  void SetUp() override {
    UsTaxBench::SetUp();
    summary_ = testing_support::NewUsa74();
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
  // The summary row of a jurisdiction (codes are unique within a test).
  std::shared_ptr<Recordset> Row(const std::string& jurisdiction) {
    auto row = summary_->Clone();
    row->SetFilter("USA74_TAXJURISDICTION = '" + jurisdiction + "'");
    EXPECT_EQ(row->RecordCount(), 1) << jurisdiction;
    return row;
  }
  Decimal Get(const std::string& jurisdiction, std::string_view field) {
    return NzDecimal(Row(jurisdiction)->Get(field));
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

  std::shared_ptr<Recordset> summary_;
};

TEST_F(UsTaxCalculation, FixtureHasTheFieldsOfTheEngineTaxSummary) {
  engine_->OpenCastIva(std::nullopt);
  auto created = document_->Get(DocumentTable::kTaxSummary);
  ASSERT_NE(created, summary_);
  ASSERT_EQ(created->FieldCount(), summary_->FieldCount());
  for (int i = 0; i < created->FieldCount(); ++i) {
    const FieldInfo &a = created->Field(i), &b = summary_->Field(i);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.type, b.type) << a.name;
    EXPECT_EQ(a.defined_size, b.defined_size) << a.name;
    EXPECT_EQ(a.precision, b.precision) << a.name;
    EXPECT_EQ(a.numeric_scale, b.numeric_scale) << a.name;
  }
}

TEST_F(UsTaxCalculation, RoundingFunctionsWorkOnTheMagnitude) {
  CLSMG_TARVOLIN& e = *engine_;
  const Variant two(int16_t{2});
  const auto dec = [](const Variant& v) { return v.dec(); };
  EXPECT_EQ(dec(e.RoundUsa(Variant(D("1.235")), two)), D("1.24"));
  EXPECT_EQ(dec(e.RoundUsa(Variant(D("-1.235")), two)), D("-1.24"));
  EXPECT_EQ(dec(e.RoundUsa(Variant(D("1.225")), two)), D("1.23"));  // not half to even
  EXPECT_EQ(dec(e.RoundUsa(Variant(D("5.3625")), two)), D("5.36"));
  EXPECT_EQ(dec(e.RoundUPUsa(Variant(D("5.3625")), two)), D("5.37"));
  EXPECT_EQ(dec(e.RoundUPUsa(Variant(D("-1.231")), two)), D("-1.24"));
  EXPECT_EQ(dec(e.RoundUPUsa(Variant(D("1.2300")), two)), D("1.23"));  // nothing left over
  EXPECT_EQ(dec(e.RoundDWUsa(Variant(D("-1.231")), two)), D("-1.23"));
  EXPECT_EQ(dec(e.RoundDWUsa(Variant(D("174.9993")), two)), D("174.99"));
  EXPECT_EQ(dec(e.RoundUsa(Variant(D("1234.5")), Variant(int16_t{-2}))), D("1200"));
  // A Double stays a Double; Null passes through.
  const Variant from_double = e.RoundUsa(Variant(2.5), Variant(int16_t{0}));
  EXPECT_EQ(from_double.type(), VarType::kDouble);
  EXPECT_EQ(from_double.CDbl(), 3);
  EXPECT_TRUE(e.RoundDWUsa(Variant::Null(), two).IsNull());

  Error error = ErrorOf([&] { e.RoundUsa(Variant("abc"), two); });
  EXPECT_EQ(error.number(), err::kTypeMismatch);
  EXPECT_EQ(error.source(), "RoundUsa:\r\nVariant");
  const Variant huge(D("79228162514264337593543950335"));
  error = ErrorOf([&] { e.RoundUPUsa(huge, two); });
  EXPECT_EQ(error.number(), err::kOverflow);
  EXPECT_EQ(error.source(), "RoundUPUsa:\r\nDecimal");
  EXPECT_EQ(ErrorOf([&] { e.RoundDWUsa(huge, two); }).source(), "RoundDWUsa:\r\nDecimal");
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

  EXPECT_EQ(Get("OVER", f::kImpNotRound), D("38"));
  EXPECT_EQ(Get("OVER", f::kImporto), D("38"));
  EXPECT_EQ(Get("OVER", f::kFlgCalcTaxAboveMax), 1);
  EXPECT_EQ(Get("OVER", f::kActualTaxPerc), D("3.8"));
  EXPECT_EQ(Get("OVER", f::kFlgPercRic), 1);
  EXPECT_EQ(Get("OVER", f::kMaxAmount), D("600"));
  EXPECT_EQ(Get("OVER", f::kTaxAmPerc), D("2"));
  // On the maximum is within it: one rate, the nominal percentage.
  EXPECT_EQ(Get("EQUAL", f::kImporto), D("30"));
  EXPECT_EQ(Get("EQUAL", f::kFlgCalcTaxAboveMax), 0);
  EXPECT_EQ(Get("EQUAL", f::kActualTaxPerc), D("5"));
  EXPECT_EQ(Get("EQUAL", f::kFlgPercRic), 0);
  EXPECT_EQ(Get("NOMAX", f::kImporto), D("50000"));
  EXPECT_EQ(Get("CREDIT", f::kImporto), D("-50"));
  EXPECT_EQ(Get("CREDIT", f::kFlgCalcTaxAboveMax), 0);
  // A negative maximum puts the base above it: -100 at 5% and 150 at 2%.
  EXPECT_EQ(Get("NEGMAX", f::kImporto), D("-2"));
  EXPECT_EQ(Get("NEGMAX", f::kActualTaxPerc), D("-4"));
  // Each part is rounded by itself to the tax decimals (4), half to even.
  EXPECT_EQ(Get("HALVES", f::kImpNotRound), D("0"));
  EXPECT_EQ(Get("EVEN", f::kImpNotRound), D("0.0002"));
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

  EXPECT_EQ(Get("A2", f::kImporto), D("10"));
  EXPECT_EQ(Get("A1", f::kImporto), D("5.5"));  // 5% of 100 + 10
  EXPECT_EQ(Get("A1", f::kFlgCalcTaxOnTax), 1);
  EXPECT_EQ(Get("A1", f::kFlgTaxOnTax), 1);
  EXPECT_EQ(Get("A1", f::kActualTaxPerc), D("5.5"));  // on its own base
  EXPECT_EQ(Get("A1", f::kFlgPercRic), 1);
  EXPECT_EQ(Get("A0", f::kImpNotRound), D("2.155"));  // 1% of 200 + 10 + 5.5
  EXPECT_EQ(Get("A0", f::kImporto), D("2.16"));
  EXPECT_EQ(Get("A0", f::kActualTaxPerc), D("1.08"));
  EXPECT_EQ(Get("B1", f::kImporto), D("10"));
  EXPECT_EQ(Get("B1", f::kFlgCalcTaxOnTax), 0);
  EXPECT_EQ(Get("B1", f::kFlgTaxOnTax), 1);
  EXPECT_EQ(Get("B1", f::kActualTaxPerc), D("10"));
  EXPECT_EQ(Get("B1", f::kFlgPercRic), 0);
  EXPECT_EQ(Get("C9", f::kImporto), D("7"));
  EXPECT_EQ(Get("C9", f::kTaxPerc), D("0"));
  EXPECT_EQ(Get("C1", f::kImporto), D("10"));
  EXPECT_EQ(Get("C1", f::kFlgCalcTaxOnTax), 0);
  EXPECT_EQ(Get("D1", f::kFlgCalcTaxOnTax), 1);
  EXPECT_EQ(Get("D1", f::kActualTaxPerc), D("10"));
  EXPECT_EQ(Get("D1", f::kFlgPercRic), 1);
  EXPECT_EQ(Get("P1", f::kImporto), D("10"));
  EXPECT_EQ(Get("P1", f::kActualTaxPerc), D("0"));
  EXPECT_EQ(Get("Q1", f::kImporto), D("1"));
  EXPECT_EQ(Get("Q1", f::kActualTaxPerc), D("0"));
  EXPECT_EQ(Get("Q1", f::kFlgPercRic), 1);
}

TEST_F(UsTaxCalculation, RoundingMethodsAndDocumentCurrency) {
  header_->Set("DO11_VALUTA_CG08", Variant("CAD"));
  header_->Set("DO11_CAMBIO", Variant(D("1.3585")));
  Line("R4", "R", 4, "100", "1.2345", 0, 7);  // unknown method on the first row: Empty
  Line("R3", "R", 3, "100", "1.2345", 0, 1);
  Line("R2", "R", 2, "100", "1.2399", 0, 2);
  Line("R1", "R", 1, "100", "5", 0, 9);  // unknown method: the previous row's tax
  Line("R0", "R", 0, "100", "1.225", 0, 0);
  engine_->CalculateTax();
  EXPECT_TRUE(Row("R4")->Get(f::kImporto).IsEmpty());
  EXPECT_EQ(Get("R4", f::kImportoVal), D("0"));
  EXPECT_EQ(Get("R4", f::kImpNotRound), D("1.2345"));
  EXPECT_EQ(Get("R3", f::kImporto), D("1.24"));
  EXPECT_EQ(Get("R3", f::kImportoVal), D("1.68"));  // 1.24 x 1.3585
  EXPECT_EQ(Get("R2", f::kImporto), D("1.23"));
  EXPECT_EQ(Get("R1", f::kImporto), D("1.23"));
  EXPECT_EQ(Get("R1", f::kImpNotRound), D("5"));
  EXPECT_EQ(Get("R0", f::kImporto), D("1.23"));

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
  const auto taxes = [&](const std::string& group) {
    auto rows = summary_->Clone();
    rows->SetFilter("USA74_TAXGROUP = '" + group + "'");
    rows->SetSort("USA74_CALCORDER DESC");
    std::vector<std::string> out;
    for (; !rows->Eof(); rows->MoveNext())
      out.push_back(NzDecimal(rows->Get(f::kImporto)).ToCStr());
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(taxes("GENERAL"), (V{"24.94", "2", "3.99", "1"}));
  EXPECT_EQ(taxes("CLOTHING"), (V{"16.13", "1.29", "2.58", "0.65"}));
  EXPECT_EQ(taxes("GROCERY"), (V{"0", "0", "0", "0"}));
  EXPECT_EQ(taxes("FREIGHT"), (V{"0.81", "0.06", "0.13", "0.03"}));
  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("53.61"));
  // Decimals, area lines and 16 pairs (the untaxed ones too), once each.
  EXPECT_EQ(log().size(), 18u);
  engine_->CalculateTax();
  EXPECT_EQ(log().size(), 18u);

  // On and after 2026-07-01 the city takes 1.25% (a new engine sees the new rate).
  header_->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 7, 1)));
  summary_ = testing_support::NewUsa74();
  document_->Set(DocumentTable::kTaxSummary, summary_);
  engine_ = NewEngine();
  AreaLines("GENERAL", "1000");
  engine_->CalculateTax();
  EXPECT_EQ(Get("TX-CI-MSP", f::kImporto), D("12.5"));
  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("82.5"));
}

TEST_F(UsTaxCalculation, CaliforniaRoundsUpAndTennesseeDown) {
  header_->Set("DO11_TAXAREA_NV01", Variant("CA-PMS"));
  AreaLines("GENERAL", "1000");
  auto body = NewDocumentRecordset(DocumentTable::kBody);
  for (const char* group : {"GENERAL", "CLOTHING", "GENERAL"}) {
    AppendRow(*body, {});
    body->Set("DO30_TAXGROUP_NV04", Variant(group));
    body->Set("DO30_TOTSTAX", Variant(int16_t{9}));
  }
  document_->Set(DocumentTable::kBody, body);
  engine_->CalculateTax();
  engine_->ImpostaTotSTaxRighe();
  EXPECT_EQ(Get("CA-ST", f::kImporto), D("60"));
  EXPECT_EQ(Get("CA-DI-PMT", f::kImpNotRound), D("5.3625"));  // on 1,000 + 72.50
  EXPECT_EQ(Get("CA-DI-PMT", f::kImporto), D("5.37"));
  EXPECT_EQ(Get("CA-DI-PMT", f::kFlgCalcTaxOnTax), 1);
  EXPECT_EQ(Get("CA-DI-PMT", f::kActualTaxPerc), D("0.537"));
  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("77.87"));
  std::vector<std::string> rates;
  for (body->MoveFirst(); !body->Eof(); body->MoveNext())
    rates.push_back(NzDecimal(body->Get("DO30_TOTSTAX")).ToCStr());
  EXPECT_EQ(rates, (std::vector<std::string>{"7.787", "9", "7.787"}));

  header_->Set("DO11_TAXAREA_NV01", Variant("TN-SYH"));
  summary_ = testing_support::NewUsa74();
  document_->Set(DocumentTable::kTaxSummary, summary_);
  AreaLines("GENERAL", "2500");
  AreaLines("CLOTHING", "2499.99");
  engine_->CalculateTax();
  const auto at = [&](const char* jurisdiction, const char* group) {
    auto row = summary_->Clone();
    row->SetFilter(std::string("USA74_TAXJURISDICTION = '") + jurisdiction +
                   "' AND USA74_TAXGROUP = '" + group + "'");
    return row;
  };
  auto county = at("TN-CO-SYH", "GENERAL");
  EXPECT_EQ(NzDecimal(county->Get(f::kImporto)), D("36"));  // 1,600 at 2.25%, 900 at 0
  EXPECT_EQ(NzDecimal(county->Get(f::kActualTaxPerc)), D("1.44"));
  EXPECT_EQ(NzDecimal(county->Get(f::kFlgCalcTaxAboveMax)), 1);
  auto state = at("TN-ST", "CLOTHING");
  EXPECT_EQ(NzDecimal(state->Get(f::kImpNotRound)), D("174.9993"));
  EXPECT_EQ(NzDecimal(state->Get(f::kImporto)), D("174.99"));  // down
  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("421.99"));     // 175 + 36 + 174.99 + 36
}

TEST_F(UsTaxCalculation, GroupRatesTotalsAndFailures) {
  Line("T1", "G", 2, "100", "4.5");
  Line("T2", "G", 1, "100", "1.25");
  Line("T3", "O'K", 1, "100", "3");
  AddUsa74Row(*summary_, "T4", "", 1, 0, "100");  // rows without a group have no rate
  auto body = NewDocumentRecordset(DocumentTable::kBody);
  for (const char* group : {"G", "O'K", "X", "G"}) {
    AppendRow(*body, {});
    body->Set("DO30_TAXGROUP_NV04", Variant(group));
  }
  document_->Set(DocumentTable::kBody, body);
  engine_->CalculateTax();
  engine_->ImpostaTotSTaxRighe();
  std::vector<std::string> rates;
  for (body->MoveFirst(); !body->Eof(); body->MoveNext())
    rates.push_back(NzStr(body->Get("DO30_TOTSTAX")));
  EXPECT_EQ(rates, (std::vector<std::string>{"5.75", "3", "", "5.75"}));

  EXPECT_EQ(engine_->GetTotaleTasse().dec(), D("8.75"));
  summary_->MoveFirst();
  summary_->Set(f::kImporto, Variant::Null());
  EXPECT_TRUE(engine_->GetTotaleTasse().IsNull());
  document_->Set(DocumentTable::kTaxSummary, testing_support::NewUsa74());
  EXPECT_EQ(engine_->GetTotaleTasse().type(), VarType::kInteger);
  document_->Set(DocumentTable::kTaxSummary, nullptr);
  EXPECT_EQ(engine_->GetTotaleTasse().type(), VarType::kInteger);

  Error error = ErrorOf([&] { engine_->CalculateTax(); });
  EXPECT_EQ(error.number(), err::kObjectNotSet);
  EXPECT_EQ(error.source(), "CalculateTax:\r\nCLSMG_TARVOLIN");
  EXPECT_NE(error.description().find("USA74"), std::string::npos);
  document_->Set(DocumentTable::kTaxSummary, summary_);
  AddUsa74Row(*summary_, "TX-ST", "NEW", 1, 0, "10");
  Sql("DROP TABLE NV05_TAXDETAIL");
  error = ErrorOf([&] { engine_->CalculateTax(); });
  EXPECT_EQ(error.number(), err::kDatabaseError);
  EXPECT_EQ(error.source(), "CalculateTax:\r\nGetTaxDetails:\r\nSqliteConnection");
}

}  // namespace
}  // namespace tarvolin
