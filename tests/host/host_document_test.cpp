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

TEST(HostDocument, RecordsetsAreTypedFromTheSchema) {
  auto body = NewDocumentRecordset(DocumentTable::kBody);
  EXPECT_EQ(body->State(), ObjectState::kOpen);
  const FieldInfo& quantity = body->Field(body->Resolve("DO30_QTA1").index());
  EXPECT_EQ(quantity.type, DataType::kDecimal);
  EXPECT_GT(quantity.numeric_scale, 0);
  auto grouped = NewDocumentRecordset(DocumentTable::kGroupedRows);
  // Grouped rows carry the body's fields, the order data's and the grid flag.
  for (int i = 0; i < body->FieldCount(); ++i) {
    EXPECT_TRUE(grouped->TryResolve(body->Field(i).name).has_value()) << body->Field(i).name;
  }
  EXPECT_TRUE(grouped->TryResolve("DO31_QTA1CONS").has_value());
  EXPECT_FALSE(grouped->TryResolve("DO31_PROGRIGA").has_value());
  EXPECT_TRUE(grouped->TryResolve("GRIGLIA").has_value());
  try {
    NewDocumentRecordset(DocumentTable::kTaxSummary);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kItemNotFound);
    EXPECT_NE(e.description().find("USA74"), std::string::npos);
  }
  DocumentTable table{};
  EXPECT_TRUE(DocumentTableFromName("do30_doccorpo", table));
  EXPECT_EQ(table, DocumentTable::kBody);
  EXPECT_FALSE(DocumentTableFromName("DO99_NOTHING", table));
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

TEST(HostDocument, CalculationHelperConvertsAtTheDocumentRate) {
  HostCalculationHelper helper;
  auto company = Company();
  company->currency_decimals.push_back({"CAD", 2});
  helper.SetCurrentCompany(company);
  EXPECT_EQ(helper
                .ToCompanyCurrency(Variant(Decimal::Parse("136.50")),
                                   Variant(Decimal::Parse("1.365")), "CAD")
                .dec(),
            Decimal::Parse("100.00"));
  EXPECT_EQ(helper
                .ToDocumentCurrency(Variant(Decimal::Parse("10.01")),
                                    Variant(Decimal::Parse("1.365")), "CAD")
                .dec(),
            Decimal::Parse("13.66"));  // 13.66365
  EXPECT_EQ(helper.ToCompanyCurrency(Variant(int16_t{5}), Variant(), "CAD").CInt(), 0);
}

}  // namespace
}  // namespace tarvolin
