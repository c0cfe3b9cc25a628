#include "tarvolin/host/host_document.h"

#include <gtest/gtest.h>

#include "tarvolin/automation/error.h"

namespace tarvolin {
namespace {

std::shared_ptr<CurrentCompany> Company() {
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  company->currency_decimals = {{"USD", 2}, {"JPY", 0}};
  return company;
}

TEST(HostDocument, StateDefaultsFollowTheDocument) {
  HostDocument document(Company());
  EXPECT_FALSE(document.InUse(DocumentTable::kHeaderAgents));
  document.Set(DocumentTable::kHeaderAgents, NewDocumentRecordset(DocumentTable::kHeaderAgents));
  EXPECT_TRUE(document.InUse(DocumentTable::kHeaderAgents));
  document.State().in_use[static_cast<int>(DocumentTable::kHeaderAgents)] = false;
  EXPECT_FALSE(document.InUse(DocumentTable::kHeaderAgents));

  auto header = NewDocumentRecordset(DocumentTable::kHeader);
  AppendRow(*header, {});
  header->Set("DO11_VALUTA_CG08", Variant("USD"));
  document.Set(DocumentTable::kHeader, header);
  EXPECT_TRUE(document.NoConversion());
  header->Set("DO11_VALUTA_CG08", Variant("CAD"));
  EXPECT_FALSE(document.NoConversion());
  document.State().no_conversion = true;
  EXPECT_TRUE(document.NoConversion());
}

TEST(HostDocument, ServicesRoundToTheCurrencyAndRecordWhatWasShown) {
  HostDocument document(Company());
  CalculationServices& calc = document.Calculation();
  EXPECT_EQ(calc.DiscountByPercentage(Variant(Decimal::Parse("99.99")), Variant(int16_t{10}), "USD")
                .dec(),
            Decimal::Parse("89.99"));  // 9.999 rounds to 10.00
  EXPECT_EQ(
      calc.PercentageOf(Variant(Decimal::Parse("12.50")), Variant(Decimal::Parse("8.25")), "USD")
          .dec(),
      Decimal::Parse("1.03"));
  EXPECT_EQ(calc.PercentageOf(Variant(int16_t{150}), Variant(int16_t{1}), "JPY").dec(), Decimal(2));
  EXPECT_EQ(document.Dialogue().NumberAsSql(Variant(Decimal::Parse("-12.50"))), "-12.5");
  document.Dialogue().MessageBox("Rate cambiate", "Scadenze", 64);
  ASSERT_EQ(document.messages().size(), 1u);
  EXPECT_EQ(document.messages()[0].style, 64);

  document.set_error_answer(5);
  ErrorGuard guard(document.Dialogue().Errors(), "RicalcolaScadenze");
  EXPECT_TRUE(guard([] { Raise(err::kDivisionByZero, "x"); }));
  ASSERT_EQ(document.asked_errors().size(), 1u);
  EXPECT_EQ(document.asked_errors()[0].procedure, "RicalcolaScadenze");
  EXPECT_EQ(document.asked_errors()[0].number, err::kDivisionByZero);
}

}  // namespace
}  // namespace tarvolin
