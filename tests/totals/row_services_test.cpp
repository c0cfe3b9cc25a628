#include <gtest/gtest.h>

#include "engine/engine_object.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin {
namespace {

std::shared_ptr<HostDocument> Document() {
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  return std::make_shared<HostDocument>(company);
}

std::shared_ptr<Recordset> Body(std::initializer_list<std::pair<int, Variant>> rows) {
  auto body = NewDocumentRecordset(DocumentTable::kBody);
  for (const auto& [progressive, parent] : rows) {
    body->AddNew();
    body->Set("DO30_DITTA_CG18", Variant(int32_t{1}));
    body->Set("DO30_NUMREG_CO99", Variant("P'1"));
    body->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
    body->Set("DO30_PROGPADRE", parent);
    body->Update();
  }
  body->MoveFirst();
  return body;
}

TEST(RowServices, ModifiedRowsAreDistinctAndFollowTheParent) {
  auto engine = std::make_shared<CLSMG_TARVOLIN>(nullptr);
  auto document = Document();
  engine->set_cc(document);
  auto body = Body({{1, Variant::Null()},
                    {2, Variant(int32_t{1})},
                    {3, Variant(int32_t{1})},
                    {4, Variant::Null()}});
  for (int pass = 0; pass < 2; ++pass) {
    for (body->MoveFirst(); !body->Eof(); body->MoveNext()) engine->AddRigaModificata(body);
  }
  EXPECT_EQ(engine->NumRigheModificate(), 2);
  const Variant rows = engine->ArrRigheModificate();
  ASSERT_EQ(rows.array().size(), 2u);
  EXPECT_EQ(rows.array()[0].CLng(), 1);  // two children of row 1 count as row 1
  EXPECT_EQ(rows.array()[1].CLng(), 4);
  // The property hands out a copy.
  Variant copy = engine->ArrRigheModificate();
  copy.mutable_array()[0] = Variant(int32_t{99});
  EXPECT_EQ(engine->ArrRigheModificate().array()[0].CLng(), 1);

  document->set_modified_row_tracking(false);
  body->MoveFirst();
  engine->AddRigaModificata(body);
  EXPECT_EQ(engine->NumRigheModificate(), 2);
}

TEST(RowServices, DiscountDetailOfOneRowIsRemovedWhole) {
  auto engine = std::make_shared<CLSMG_TARVOLIN>(nullptr);
  auto document = Document();
  engine->set_cc(document);
  auto details = NewDocumentRecordset(DocumentTable::kDiscountDetail);
  for (int row : {1, 2, 2, 2}) {
    details->AddNew();
    details->Set("DO69_DITTA_CG18", Variant(int32_t{1}));
    details->Set("DO69_NUMREG_CO99", Variant("P'1"));
    details->Set("DO69_PROGRIGA_DO30", Variant(int32_t{row}));
    details->Update();
  }
  document->Set(DocumentTable::kDiscountDetail, details);
  auto body = Body({{1, Variant::Null()}, {2, Variant::Null()}, {3, Variant::Null()}});
  body->MoveLast();
  engine->ClearDettaglioSConti(body);  // row 3 has none
  EXPECT_EQ(details->RecordCount(), 4);
  body->MovePrevious();
  engine->ClearDettaglioSConti(body);
  EXPECT_EQ(details->RecordCount(), 1);
  details->MoveFirst();
  EXPECT_EQ(details->Get("DO69_PROGRIGA_DO30").CLng(), 1);

  document->Set(DocumentTable::kDiscountDetail, nullptr);
  try {
    engine->ClearDettaglioSConti(body);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.source().rfind("MemorizzaScontoArt26\r\n", 0), 0u) << e.source();
  }
}

TEST(RowServices, ExpenseRowsNotReducedByVatExtraction) {
  auto engine = std::make_shared<CLSMG_TARVOLIN>(nullptr);
  auto body = NewDocumentRecordset(DocumentTable::kBody);
  std::shared_ptr<Recordset> none;
  EXPECT_FALSE(engine->RigaSpesaNonDefiscalizzabile(none));
  EXPECT_FALSE(engine->RigaSpesaNonDefiscalizzabile(body));  // no current row
  AppendRow(*body, {});
  body->Set("DO30_INDTIPORIGA", Variant(int16_t{4}));
  EXPECT_TRUE(engine->RigaSpesaNonDefiscalizzabile(body));  // flag Empty counts as 0
  body->Set("DO30_FLGSPDEFILE", Variant(int16_t{1}));
  EXPECT_FALSE(engine->RigaSpesaNonDefiscalizzabile(body));
  body->Set("DO30_FLGSPDEFILE", Variant(int16_t{0}));
  body->Set("DO30_INDTIPORIGA", Variant(int16_t{0}));
  EXPECT_FALSE(engine->RigaSpesaNonDefiscalizzabile(body));
  // A value the engine cannot read as a number reaches the caller under the label.
  auto loose = MakeRecordset({{"DO30_INDTIPORIGA", DataType::kVariant}}, {{Variant("x")}});
  try {
    engine->RigaSpesaNonDefiscalizzabile(loose);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kTypeMismatch);
    EXPECT_EQ(e.source().rfind("RigaSpesaNonDefiscalizzabile:\r\n", 0), 0u);
  }
}

}  // namespace
}  // namespace tarvolin
