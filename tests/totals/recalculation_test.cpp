#include <gtest/gtest.h>

#include "db/demo_database.h"
#include "engine/engine_object.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin {
namespace {

Decimal D(const char* text) { return Decimal::Parse(text); }

class Recalculation : public ::testing::Test {
 protected:
  void SetUp() override {
    auto company = std::make_shared<CurrentCompany>();
    company->company_number = 1;
    company->currency_code = "USD";
    company->accounts_group = "1";
    company->currency_decimals = {{"USD", 2}, {"CAD", 2}};
    document_ = std::make_shared<HostDocument>(company);
    header_ = NewDocumentRecordset(DocumentTable::kHeader);
    AppendRow(*header_, {});
    header_->Set("DO11_DITTA_CG18", Variant(int32_t{1}));
    header_->Set("DO11_NUMREG_CO99", Variant("T-1"));
    header_->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 3, 16)));
    header_->Set("DO11_VALUTA_CG08", Variant("USD"));
    header_->Set("DO11_CAMBIO", Variant(D("1")));
    header_->Set("DO11_TAXAREA_NV01", Variant("TX-MSP"));
    header_->Set("DO11_FLGTAXLIABLE", Variant(int16_t{1}));
    header_->Set("DO11_TIPOCF_CG44", Variant(int16_t{0}));
    header_->Set("DO11_DOCUM_MG36", Variant("SINV"));
    header_->Set("DO11_FLGCONTIVAR", Variant(int16_t{1}));
    body_ = NewDocumentRecordset(DocumentTable::kBody);
    AddRow(1, "GENERAL", "1000.00", "2");
    AddRow(2, "CLOTHING", "250.00", "1");
    document_->Set(DocumentTable::kHeader, header_);
    document_->Set(DocumentTable::kBody, body_);
    document_->Set(DocumentTable::kTotals, NewDocumentRecordset(DocumentTable::kTotals));
    document_->Set(DocumentTable::kAccessoryData,
                   NewDocumentRecordset(DocumentTable::kAccessoryData));
    document_->Set(DocumentTable::kLandedCosts, NewDocumentRecordset(DocumentTable::kLandedCosts));
    document_->SetDocumentSetting("INDREGCON", Variant(int16_t{0}));
    document_->SetDocumentSetting("INDCALCOLLI", Variant(int16_t{0}));
    engine_ =
        std::make_shared<CLSMG_TARVOLIN>([] { return std::make_shared<HostCalculationHelper>(); });
    engine_->set_cc(document_);
    engine_->set_ADOConnection(
        std::shared_ptr<Connection>(&demo_.connection(), [](Connection*) {}));
  }
  void AddRow(int progressive, const char* group, const char* amount, const char* packages) {
    AppendRow(*body_, {});
    body_->Set("DO30_DITTA_CG18", Variant(int32_t{1}));
    body_->Set("DO30_NUMREG_CO99", Variant("T-1"));
    body_->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
    body_->Set("DO30_INDTIPORIGA", Variant(int16_t{0}));
    body_->Set("DO30_INDTOTALIZ", Variant(int16_t{1}));
    body_->Set("DO30_TAXGROUP_NV04", Variant(group));
    body_->Set("DO30_CPMERCE_CG24", Variant("4010"));
    body_->Set("DO30_QTA1", Variant(D("1")));
    body_->Set("DO30_COLLI", Variant(D(packages)));
    body_->Set("DO30_IMPORTO", Variant(D(amount)));
  }
  Decimal Total(const char* field) {
    auto totals = document_->Get(DocumentTable::kTotals);
    totals->MoveFirst();
    return NzDecimal(totals->Get(field));
  }

  testing_support::DemoDatabase demo_;
  std::shared_ptr<HostDocument> document_;
  std::shared_ptr<Recordset> header_, body_;
  std::shared_ptr<CLSMG_TARVOLIN> engine_;
};

TEST_F(Recalculation, CompanyCurrencyInvoiceGetsItsTaxAndTotals) {
  ICLSMG_TARVOLIN& api = *engine_;
  api.RicalcolaTotaliDaRigheCorpo(true, true, true, false, true, true);
  // 1000.00 GENERAL at 8.00% in TX-MSP in March: 62.50 + 5.00 + 10.00 + 2.50;
  // 250.00 CLOTHING: 15.625 and 0.625 round to 15.63 and 0.63, so 20.01.
  EXPECT_EQ(Total("DO13_TOTIMPONIBILE"), D("1250"));
  EXPECT_EQ(Total("DO13_TOTIVA"), D("100.01"));
  EXPECT_EQ(Total("DO13_TOTDOCUMENTO"), D("1350.01"));
  EXPECT_EQ(Total("DO13_TOTAPAGARE"), D("1350.01"));
  EXPECT_EQ(Total("DO13_TOTMERCE1"), D("1250"));
  // No foot discounts: gross goods equal net goods.
  EXPECT_EQ(Total("DO13_TOTLORDOMERCE"), D("1250"));
  EXPECT_EQ(Total("DO13_TOTNETTOMERCE"), D("1250"));
  auto totals = document_->Get(DocumentTable::kTotals);
  EXPECT_TRUE(totals->Get("DO13_TOTDOCUMENTO_VAL").IsNull());  // company currency
  EXPECT_TRUE(document_->State().totals_changed);
  EXPECT_EQ(document_->State().highest_row_progressive, 2);
  auto accessory = document_->Get(DocumentTable::kAccessoryData);
  EXPECT_EQ(NzDecimal(accessory->Get("DO14_TOTCOLLI")), D("3"));
  // The hand-changed accounts flag is cleared; no message for this document type.
  EXPECT_EQ(header_->Get("DO11_FLGCONTIVAR").CInt(), 0);
  EXPECT_TRUE(document_->messages().empty());
  ASSERT_NE(document_->totals(), nullptr);
  EXPECT_EQ(document_->totals()->Item("DO13_TOTIVA").dec(), D("100.01"));
  EXPECT_EQ(document_->Get(DocumentTable::kCounterparts)->RecordCount(), 2);
  body_->MoveFirst();
  EXPECT_EQ(body_->Get("DO30_TOTSTAX").dec(), D("8"));
}

TEST_F(Recalculation, AllFlagsOffStillTaxesAndHandsOverTheTotals) {
  ICLSMG_TARVOLIN& api = *engine_;
  api.RicalcolaTotaliDaRigheCorpo(true, true, true, false, true, true);
  body_->MoveFirst();
  body_->Set("DO30_IMPORTO", Variant(D("500.00")));
  body_->Set("DO30_IMPNETSCP", Variant(D("500.00")));
  // The summary is not rebuilt, but its tax is: halve the GENERAL bases there.
  auto summary = document_->Get(DocumentTable::kTaxSummary);
  for (summary->MoveFirst(); !summary->Eof(); summary->MoveNext()) {
    if (NzStr(summary->Get("USA74_TAXGROUP")) == "GENERAL") {
      summary->Set("USA74_IMPONIBILE", Variant(D("500.00")));
    }
  }
  api.RicalcolaTotaliDaRigheCorpo(false, false, false, false, false, false);
  // 500.00 GENERAL at 8.00%: 31.25 + 2.50 + 5.00 + 1.25 = 40.00, with CLOTHING's 20.01.
  // Goods totals stay as they were, and the taxable amount, not summed this time, is 0.
  EXPECT_EQ(Total("DO13_TOTMERCE1"), D("1250"));
  EXPECT_EQ(Total("DO13_TOTIVA"), D("60.01"));
  EXPECT_EQ(Total("DO13_TOTIMPONIBILE"), D("0"));
  EXPECT_EQ(document_->totals()->Count(), 36);
}

TEST_F(Recalculation, ACalculatedExpenseIsPricedTotalledAndTaxed) {
  ICLSMG_TARVOLIN& api = *engine_;
  // HANDLING: the lowest USD bracket, 1% of the gross goods 1250.00 + 5.00.
  AddRow(3, "FREIGHT", "0", "0");
  body_->Set("DO30_INDTIPORIGA", Variant(int16_t{4}));
  body_->Set("DO30_INDTIPODATI", Variant(int16_t{3}));
  body_->Set("DO30_CODSPESA_MG04", Variant("HANDLING"));
  body_->Set("DO30_CPMERCE_CG24", Variant("4100"));
  api.RicalcolaTotaliDaRigheCorpo(true, true, true, false, true, true);
  body_->MoveLast();
  EXPECT_EQ(NzDecimal(body_->Get("DO30_PREZZO1")), D("17.50"));
  EXPECT_EQ(NzDecimal(body_->Get("DO30_IMPORTO")), D("17.50"));
  EXPECT_EQ(NzDecimal(body_->Get("DO30_TOTSTAX")), D("8"));
  EXPECT_EQ(Total("DO13_TOTIMPONIBILE"), D("1267.50"));
  EXPECT_EQ(Total("DO13_TOTSPVAR1"), D("17.50"));
  // GENERAL 1000.00: 62.50 + 5.00 + 10.00 + 2.50; CLOTHING 250.00: 15.63 +
  // 1.25 + 2.50 + 0.63; FREIGHT 17.50: 1.09 + 0.09 + 0.18 + 0.04.
  EXPECT_EQ(Total("DO13_TOTIVA"), D("101.41"));
}

TEST_F(Recalculation, EditedRowsDriveTheGroupedRows) {
  auto grouped = NewDocumentRecordset(DocumentTable::kGroupedRows);
  for (int progressive : {1, 2}) {
    AppendRow(*grouped, {});
    grouped->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
    grouped->Set("GRIGLIA", Variant(int16_t{0}));
  }
  document_->Set(DocumentTable::kGroupedRows, grouped);
  document_->State().grouped_rows = true;
  ICLSMG_TARVOLIN& api = *engine_;
  api.RicalcolaTotaliDaRigheCorpo(true, true, true, false, true, true);
  // Both rows got their net amount, so both grouped rows follow them.
  EXPECT_EQ(engine_->NumRigheModificate(), 2);
  grouped->MoveFirst();
  EXPECT_EQ(NzDecimal(grouped->Get("DO30_IMPNETSCP")), D("1000"));
  grouped->MoveNext();
  EXPECT_EQ(NzDecimal(grouped->Get("DO30_IMPNETSCP")), D("250"));
}

}  // namespace
}  // namespace tarvolin
