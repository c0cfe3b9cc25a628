// Row prices: the related-unit changes with their derivation codes, the
// choice between net, gross and the host's own change for an entered price,
// and the error service's answers on statements that really fail.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "support/documents.h"
#include "support/errors.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

using testing_support::EngineBench;

// A value of the row as the tests write it: "Null", or the number as text.
std::string Shown(const Variant& value) {
  if (value.IsNull()) return "Null";
  return NzDec(value).CStr();
}

class RowPrices : public EngineBench {
 protected:
  RowPrices() {
    header_->Set("DO11_VALUTA_CG08", Variant("USD"));
    header_->Set("DO11_FLGDEFPIEDE", Variant(int16_t{0}));
    body_ = NewDocumentRecordset(DocumentTable::kBody);
    // Row 2 carries the GENERAL rate a row without one of its own takes.
    for (int32_t progressive : {1, 2}) {
      body_->AddNew();
      body_->Set("DO30_PROGRIGA", Variant(progressive));
      body_->Set("DO30_TAXGROUP_NV04", Variant("GENERAL"));
      body_->Set("DO30_INDTIPORIGA", Variant(int16_t{0}));
      body_->Set("DO30_TOTSTAX", Variant(static_cast<int16_t>(progressive == 2 ? 8 : 0)));
      body_->Set("DO30_FLGPRSCVAR", Variant(false));
      body_->Update();
    }
    body_->MoveFirst();
    document_->Set(DocumentTable::kBody, body_);
  }

  void SetRow(const std::map<std::string, Variant>& fields) {
    for (const auto& [field, value] : fields) body_->Set(field, value);
  }
  std::string Row(std::string_view field) const { return Shown(body_->Get(field)); }

  std::shared_ptr<Recordset> body_;
};

const Variant kNull = Variant::Null();
Variant Dec(const char* text) { return Variant(Decimal::Parse(text)); }
Variant Int(int16_t value) { return Variant(value); }

// Fields of the row, without their DO30_ prefix: "FATCONV=12 PREZZO2=Null".
std::map<std::string, std::string> Pairs(const std::string& text) {
  std::map<std::string, std::string> pairs;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    const size_t eq = word.find('=');
    pairs["DO30_" + word.substr(0, eq)] = word.substr(eq + 1);
  }
  return pairs;
}

TEST_F(RowPrices, RelatedUnitChangesFollowTheDerivationCodes) {
  const struct {
    const char* about;
    const char* row;
    int price;          // 1, 2 or 3 (CF)
    const char* value;  // the new price, "Null" for Null
    bool first_flag, second_flag;
    const char* expect;
  } cases[] = {
      {"price 1 -> price 2 (code 2, factor 12) -> CF follows price 2 (code 4)",
       "INDCALCPRE2=2 FATCONV=12 INDCALCPRECF=4 FATCONVCF=0.5", 1, "10", true, true,
       "PREZZO1=10 PREZZO1IVA=10 PREZZO2=120 PREZZO2IVA=120 PREZZOCF=60 FLGPRSCVAR=-1"},
      {"code 1 with price 2 already set leaves it",
       "INDCALCPRE1=2 INDCALCPRE2=1 FATCONV=12 PREZZO2=50", 1, "10", true, false, "PREZZO2=50"},
      {"code 1 with price 2 at 0 inverts price 1's code 2, to the price decimals (4)",
       "INDCALCPRE1=2 INDCALCPRE2=1 FATCONV=12", 1, "10", true, false, "PREZZO2=0.8333"},
      {"a factor of 0 derives nothing", "INDCALCPRE2=2 FATCONV=0", 1, "10", true, true,
       "PREZZO2=Null FLGPRSCVAR=-1"},
      {"a Null price 1 changes no price but derives from the stored one",
       "PREZZO1=5 INDCALCPRE2=3 FATCONV=2", 1, "Null", true, false,
       "PREZZO1=5 PREZZO2=2.5 FLGPRSCVAR=-1"},
      {"price 1 at 0 sets its twin and derives nothing", "PREZZO1=5 INDCALCPRE2=2 FATCONV=2", 1,
       "0", true, true, "PREZZO1=0 PREZZO1IVA=0 PREZZO2=Null"},
      {"CF at 0 is stored as Null and its twin stays", "PREZZOCF=7 PREZZOCFIVA=7.56", 3, "0", true,
       true, "PREZZOCF=Null PREZZOCFIVA=7.56"},
      {"price 2 -> price 1 (price 1 code 3) -> CF from price 1 (CF code 2)",
       "INDCALCPRE1=3 FATCONV=4 INDCALCPRECF=2 FATCONVCF=3", 2, "10", true, true,
       "PREZZO2=10 PREZZO1=2.5 PREZZOCF=7.5"},
      {"CF -> price 2 (price 2 code 5) -> price 1 from price 2 (price 1 code 2)",
       "INDCALCPRE2=5 FATCONVCF=4 INDCALCPRE1=2 FATCONV=3", 3, "10", true, true,
       "PREZZOCF=10 PREZZO2=2.5 PREZZO1=7.5"},
      {"a row with a rate: the twin adds the rate amount, to the price decimals", "TOTSTAX=8.25", 1,
       "10.01", false, false, "PREZZO1=10.01 PREZZO1IVA=10.8358"},
  };
  const auto value = [](const std::string& text) {
    return text == "Null" ? kNull : Dec(text.c_str());
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.about);
    body_ = NewDocumentRecordset(DocumentTable::kBody);
    AppendRow(*body_, {});
    body_->Set("DO30_PROGRIGA", Variant(int32_t{1}));
    SetRow(
        {{"DO30_FLGPRSCVAR", Variant(false)}, {"DO30_PREZZO2", kNull}, {"DO30_PREZZOCF", kNull}});
    document_->Set(DocumentTable::kBody, body_);
    for (const auto& [field, text] : Pairs(c.row)) body_->Set(field, value(text));
    std::shared_ptr<Recordset>& rs = body_;
    const Variant num = value(c.value);
    if (c.price == 1) engine_->CambiaDocCorpoPrezzo1Rel(rs, num, c.first_flag, c.second_flag);
    if (c.price == 2) engine_->CambiaDocCorpoPrezzo2Rel(rs, num, c.first_flag, c.second_flag);
    if (c.price == 3) engine_->CambiaDocCorpoPrezzoCFRel(rs, num, c.first_flag, c.second_flag);
    for (const auto& [field, text] : Pairs(c.expect)) EXPECT_EQ(Row(field), text) << field;
    EXPECT_TRUE(document_->asked_errors().empty());
  }
}

TEST_F(RowPrices, GrossPricesAndALoopOfDerivations) {
  // Gross prices: the twin is the price itself.
  header_->Set("DO11_FLGDEFPIEDE", Variant(int16_t{1}));
  SetRow({{"DO30_TOTSTAX", Int(8)}});
  engine_->CambiaDocCorpoPrezzo1Rel(body_, Dec("10.80"), false, false);
  EXPECT_EQ(Row("DO30_PREZZO1IVA"), "10.8");
  EXPECT_EQ(document_->price_notifications(), 1);

  // Price 2 from 1, CF from 2, 1 from CF: the fourth level is refused and
  // reported by the change that asked for it.
  SetRow({{"DO30_INDCALCPRE2", Int(2)},
          {"DO30_FATCONV", Int(2)},
          {"DO30_INDCALCPRECF", Int(4)},
          {"DO30_FATCONVCF", Int(2)},
          {"DO30_INDCALCPRE1", Int(4)}});
  engine_->CambiaDocCorpoPrezzo1Rel(body_, Dec("1"), true, true);
  ASSERT_EQ(document_->asked_errors().size(), 1u);
  const AskedError& asked = document_->asked_errors()[0];
  EXPECT_EQ(asked.procedure, "CambiaDocCorpoPrezzoCFRel");
  EXPECT_EQ(asked.number, 28);
  EXPECT_NE(asked.description.find("row DO30_PROGRIGA 1 derive from each other in a loop"),
            std::string::npos);
  EXPECT_EQ(Row("DO30_PREZZO2"), "2");
  EXPECT_EQ(Row("DO30_PREZZOCF"), "4");
}

TEST_F(RowPrices, TheErrorServiceDecidesStatementByStatement) {
  SetRow({{"DO30_PREZZO1", Dec("3")}, {"DO30_INDCALCPRE2", Int(2)}, {"DO30_FATCONV", Int(12)}});

  // 5: the price that is not a number is not written; the change goes on
  // and derives price 2 from the stored price 1.
  document_->set_error_answer(ErrorService::kIgnore);
  engine_->CambiaDocCorpoPrezzo1Rel(body_, Variant("abc"), true, false);
  ASSERT_EQ(document_->asked_errors().size(), 1u);
  EXPECT_EQ(document_->asked_errors()[0].number, 13);
  EXPECT_EQ(Row("DO30_PREZZO1"), "3");
  EXPECT_EQ(Row("DO30_PREZZO2"), "36");
  EXPECT_EQ(Row("DO30_FLGPRSCVAR"), "-1");

  // 4: the document has no header; the host puts it back and the statement
  // that failed runs again, the change completes.
  document_->Set(DocumentTable::kHeader, nullptr);
  auto mending = std::make_shared<testing_support::StatementFaults>("", ErrorService::kRetry);
  mending->mend = [&] { document_->Set(DocumentTable::kHeader, header_); };
  document_->set_error_service(mending);
  engine_->CambiaDocCorpoPrezzo1Rel(body_, Dec("4"), true, false);
  EXPECT_EQ(mending->numbers, std::vector<int32_t>{91});
  EXPECT_EQ(Row("DO30_PREZZO2"), "48");

  // Any other answer leaves at once: not even the flag is set.
  document_->set_error_service(nullptr);
  document_->set_error_answer(3);
  body_->Set("DO30_FLGPRSCVAR", Variant(false));
  engine_->CambiaDocCorpoPrezzo1Rel(body_, Variant("abc"), true, false);
  EXPECT_EQ(Row("DO30_FLGPRSCVAR"), "0");
  EXPECT_EQ(Row("DO30_PREZZO2"), "48");
}

TEST_F(RowPrices, EnteredPricesFollowTheDecisionTable) {
  struct Case {
    const char* about;
    int16_t gross_prices;  // DO11_FLGDEFPIEDE
    int16_t row_rate;      // DO30_TOTSTAX of the row
    bool includes_tax;
    int16_t unit;
    const char* price1;
    const char* twin1;
  };
  // Row 2 gives the secondary rate 8.
  const Case cases[] = {
      {"net prices, plain price: as entered", 0, 0, false, 1, "10.8", "10.8"},
      {"net prices, tax included, no rate of its own: net of the secondary rate", 0, 0, true, 1,
       "10", "10"},
      {"net prices, tax included, a rate: the host's own change", 0, 8, true, 1, "10", "10.8"},
      {"gross prices with a rate, tax included: as entered", 1, 8, true, 1, "10.8", "10.8"},
      {"gross prices with a rate, plain price: plus the rate amount", 1, 8, false, 1, "11.664",
       "11.664"},
      {"gross prices, no rate: the plain case", 1, 0, false, 1, "10.8", "10.8"},
      {"unit 4: nothing changes", 0, 0, false, 4, "0", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.about);
    body_->MoveFirst();
    SetRow({{"DO30_PREZZO1", Int(0)},
            {"DO30_PREZZO1IVA", Int(0)},
            {"DO30_TOTSTAX", Int(c.row_rate)},
            {"DO30_FLGPRSCVAR", Variant(false)}});
    header_->Set("DO11_FLGDEFPIEDE", Int(c.gross_prices));
    engine_->ImpostaPrezziPerRigaDaLordo(header_, body_, Dec("10.80"), c.unit, c.includes_tax);
    EXPECT_EQ(Row("DO30_PREZZO1"), c.price1);
    EXPECT_EQ(Row("DO30_PREZZO1IVA"), c.twin1);
    EXPECT_EQ(Row("DO30_FLGPRSCVAR"), "0");
  }
  EXPECT_TRUE(document_->asked_errors().empty());
}

}  // namespace
}  // namespace tarvolin
