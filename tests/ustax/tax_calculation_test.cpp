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
