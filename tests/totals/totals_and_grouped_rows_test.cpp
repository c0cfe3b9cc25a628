#include <gtest/gtest.h>

#include "tarvolin/engine/engine.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin {
namespace {

Decimal D(const char* text) { return Decimal::Parse(text); }

std::shared_ptr<HostDocument> Document() {
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  return std::make_shared<HostDocument>(company);
}

TEST(TotalsStore, HandsOverThirtySixKeyedTotalsInOrder) {
  auto engine = std::make_shared<CLSMG_TARVOLIN>(nullptr);
  auto document = Document();
  engine->set_cc(document);
  VariantArray block(CLSMG_TARVOLIN::kAccumulatorCount, Variant(int16_t{0}));
  block[2] = Variant(D("7.5"));
  block[37] = Variant::Null();
  block[0] = Variant(D("999"));  // not handed over
  engine->SalvaTotali(block);
  const auto& totals = document->totals();
  ASSERT_NE(totals, nullptr);
  ASSERT_EQ(totals->Count(), 36);
  const auto keys = totals->Keys();
  EXPECT_EQ(keys.front(), "DOXX_TOTQTA1");
  EXPECT_EQ(keys[8], "DO13_TOTSPVAR2");
  EXPECT_EQ(keys.back(), "DO13_TOTDOCUMENTO_VAL");
  EXPECT_EQ(totals->Item("DOXX_TOTQTA1").dec(), D("7.5"));
  EXPECT_TRUE(totals->Item("DO13_TOTDOCUMENTO_VAL").IsNull());
  EXPECT_EQ(totals->Item("DO13_TOTIVA").type(), VarType::kInteger);

  VariantArray short_block(10);
  try {
    engine->SalvaTotali(short_block);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kSubscriptOutOfRange);
    EXPECT_EQ(e.source().rfind("SalvaTotali\r\n", 0), 0u);
  }
}

class GroupedRows : public ::testing::Test {
 protected:
  void SetUp() override {
    document_ = Document();
    engine_ = std::make_shared<CLSMG_TARVOLIN>(nullptr);
    engine_->set_cc(document_);
    body_ = NewDocumentRecordset(DocumentTable::kBody);
    grouped_ = NewDocumentRecordset(DocumentTable::kGroupedRows);
    order_ = NewDocumentRecordset(DocumentTable::kBodyOrderData);
    // Row 1 plain; row 10 a grid whose members are rows 11 and 12.
    AddBody(1, Variant::Null(), "2", "20.00", "Lantern");
    AddBody(11, Variant(int32_t{10}), "2", "30.00", "Boot 9");
    AddBody(12, Variant(int32_t{10}), "3", "45.00", "Boot 10");
    AddGrouped(1, 0, "1", "Lantern");
    AddGrouped(10, 1, "99", "Boots by size");
    AddGrouped(20, 0, "4", "Deleted row");
    AppendRow(*order_, {});
    order_->Set("DO31_PROGRIGA", Variant(int32_t{11}));
    order_->Set("DO31_QTA1CONS", Variant(D("1")));
    AppendRow(*order_, {});
    order_->Set("DO31_PROGRIGA", Variant(int32_t{12}));
    order_->Set("DO31_QTA1CONS", Variant(D("2")));
    document_->Set(DocumentTable::kBody, body_);
    document_->Set(DocumentTable::kGroupedRows, grouped_);
    document_->Set(DocumentTable::kBodyOrderData, order_);
  }
  void AddBody(int progressive, Variant parent, const char* qty, const char* amount,
               const char* description) {
    AppendRow(*body_, {});
    body_->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
    body_->Set("DO30_PROGPADRE", parent);
    body_->Set("DO30_QTA1", Variant(D(qty)));
    body_->Set("DO30_IMPORTO", Variant(D(amount)));
    body_->Set("DO30_DESCRART", Variant(description));
  }
  void AddGrouped(int progressive, int grid, const char* qty, const char* description) {
    AppendRow(*grouped_, {});
    grouped_->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
    grouped_->Set("GRIGLIA", Variant(int16_t(grid)));
    grouped_->Set("DO30_QTA1", Variant(D(qty)));
    grouped_->Set("DO30_DESCRART", Variant(description));
  }
  const Variant& GroupedField(int progressive, const char* field) {
    grouped_->MoveFirst();
    grouped_->Find("DO30_PROGRIGA = " + std::to_string(progressive));
    return grouped_->Get(field);
  }

  std::shared_ptr<HostDocument> document_;
  std::shared_ptr<CLSMG_TARVOLIN> engine_;
  std::shared_ptr<Recordset> body_, grouped_, order_;
};

TEST_F(GroupedRows, GridRowsSumTheirMembersAndPlainRowsMirrorTheirRow) {
  engine_->SyncDocCorpoRaggr(0);
  EXPECT_EQ(GroupedField(1, "DO30_QTA1").dec(), D("2"));
  EXPECT_EQ(GroupedField(1, "DO30_IMPORTO").dec(), D("20.00"));
  EXPECT_EQ(GroupedField(10, "DO30_QTA1").dec(), D("5"));  // 2 + 3, whatever it held
  EXPECT_EQ(GroupedField(10, "DO30_IMPORTO").dec(), D("75.00"));
  EXPECT_EQ(GroupedField(10, "DO31_QTA1CONS").dec(), D("3"));
  EXPECT_EQ(GroupedField(10, "DO30_DESCRART").str(), "Boots by size");  // not summed: kept
  EXPECT_EQ(GroupedField(20, "DO30_QTA1").dec(), D("4"));               // its body row is gone
  EXPECT_TRUE(document_->asked_errors().empty());

  // One row only: the others stay as they are.
  body_->MoveFirst();
  body_->Set("DO30_QTA1", Variant(D("8")));
  body_->Set("DO30_DESCRART", Variant::Null());
  body_->MoveNext();
  body_->Set("DO30_QTA1", Variant(D("4")));
  engine_->SyncDocCorpoRaggr(1);
  EXPECT_EQ(GroupedField(1, "DO30_QTA1").dec(), D("8"));
  EXPECT_TRUE(GroupedField(1, "DO30_DESCRART").IsNull());
  EXPECT_EQ(GroupedField(10, "DO30_QTA1").dec(), D("5"));
}

TEST_F(GroupedRows, ErrorsGoToTheErrorServiceNotTheCaller) {
  document_->Set(DocumentTable::kGroupedRows, nullptr);
  document_->set_error_answer(5);  // ignore: nothing left to do without the recordsets
  engine_->SyncDocCorpoRaggr(0);
  ASSERT_EQ(document_->asked_errors().size(), 1u);
  EXPECT_EQ(document_->asked_errors()[0].procedure, "SyncDocCorpoRaggr");
  EXPECT_EQ(document_->asked_errors()[0].number, err::kObjectNotSet);
}

}  // namespace
}  // namespace tarvolin
