#include <gtest/gtest.h>

#include "engine/statements.h"
#include "support/documents.h"
#include "support/errors.h"

namespace tarvolin {
namespace {

Decimal D(const char* text) { return Decimal::Parse(text); }

class LandedCosts : public testing_support::EngineBench {
 protected:
  LandedCosts()
      : body_(NewDocumentRecordset(DocumentTable::kBody)),
        costs_(NewDocumentRecordset(DocumentTable::kLandedCosts)) {
    header_->Set("DO11_DITTA_CG18", Variant(int32_t{1}));
    header_->Set("DO11_NUMREG_CO99", Variant("PO-77"));
    header_->Set("DO11_TIPOCF_CG44", Variant(int16_t{1}));
    header_->Set("DO11_DOCUM_MG36", Variant("PIMP"));
    header_->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 7, 15)));
    AddRow(1, 0, "LANT-LED", "", "10");
    AddRow(2, 0, "BOOT-WX", "", "2.5");
    AddRow(3, 0, "TENT-4P", "GREEN", "1");
    AddRow(4, 1, "LANT-LED", "", "10");  // not a goods row: never loaded
    AddRow(5, 0, "NO-COST", "", "3");
    document_->Set(DocumentTable::kBody, body_);
    document_->Set(DocumentTable::kLandedCosts, costs_);
  }

  void AddRow(int progressive, int type, const char* item, const char* option, const char* qty) {
    AppendRow(*body_, {});
    body_->Set("DO30_DITTA_CG18", Variant(int32_t{1}));
    body_->Set("DO30_NUMREG_CO99", Variant("PO-77"));
    body_->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
    body_->Set("DO30_INDTIPORIGA", Variant(int16_t(type)));
    body_->Set("DO30_CODART_MG66", Variant(item));
    body_->Set("DO30_OPZIONE_MG5E", Variant(option));
    body_->Set("DO30_QTA1", Variant(D(qty)));
    body_->Set("DO30_IMPNETSCP", Variant(D("100.00")));
  }

  std::vector<std::string> Nets() {
    std::vector<std::string> nets;
    for (body_->MoveFirst(); !body_->Eof(); body_->MoveNext()) {
      nets.push_back(Variant(body_->Get("DO30_IMPNETSCP").CDec()).CStr());
    }
    return nets;
  }
  Decimal Cost(int progressive, const char* field) {
    auto clone = costs_->Clone();
    clone->SetFilter("DO50_PROGRIGA_DO30 = " + std::to_string(progressive));
    return clone->Eof() ? Decimal(-1) : clone->Get(field).CDec();
  }

  std::shared_ptr<Recordset> body_, costs_;
};

TEST_F(LandedCosts, CustomersAndTypesWithoutTheSwitchGetNoNewCost) {
  engine_->AnnotazioneSpeseTrasportoACosto();
  header_->Set("DO11_TIPOCF_CG44", Variant(int16_t{0}));
  const int64_t before = connection_->statements();
  engine_->AnnotazioneSpeseTrasportoACosto();  // a customer's document: untouched
  EXPECT_EQ(connection_->statements(), before);
  EXPECT_EQ(Cost(1, "DO50_SPESETR"), D("9.50"));

  header_->Set("DO11_TIPOCF_CG44", Variant(int16_t{1}));
  header_->Set("DO11_DOCUM_MG36", Variant("SINV"));  // switch 0: reset, nothing new
  engine_->AnnotazioneSpeseTrasportoACosto();
  EXPECT_EQ(Cost(1, "DO50_SPESETR"), Decimal(0));
  EXPECT_EQ(Cost(1, "DO50_FLGSPESETR"), Decimal(0));
  // The reset leaves the rows' amounts as they are.
  EXPECT_EQ(Nets()[0], "109.5");
  // Duty annotated on a type that carries it, then reset on one that has no switch row.
  header_->Set("DO11_DOCUM_MG36", Variant("PIMP"));
  engine_->AnnotazioneSpeseDaziACosto();
  EXPECT_EQ(Cost(2, "DO50_SPESEDZ"), D("12.75"));
  header_->Set("DO11_DOCUM_MG36", Variant("NOTYPE"));
  engine_->AnnotazioneSpeseDaziACosto();
  EXPECT_EQ(Cost(2, "DO50_SPESEDZ"), Decimal(0));
  EXPECT_EQ(Cost(2, "DO50_FLGSPESEDZ"), Decimal(0));
  EXPECT_EQ(costs_->RecordCount(), 3);
}

}  // namespace
}  // namespace tarvolin
