#include <gtest/gtest.h>

#include "support/documents.h"
#include "support/errors.h"

namespace tarvolin {
namespace {

using testing_support::Raises;

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

TEST_F(LandedCosts, AnnotationLoadsRowsAndZeroingTakesExactlyThatBack) {
  engine_->AnnotazioneSpeseTrasportoACosto();
  EXPECT_EQ(log()[0],
            "SELECT\r\n    NV07_FLGFE\r\nFROM\r\n    NV07_DOCATTIVI WITH (NOLOCK)\r\nWHERE\r\n    "
            "NV07_DITTA_CG18 = 1\r\n    AND NV07_CODDOCUM_MG36 = 'PIMP'");
  EXPECT_EQ(log()[1], "SELECT DBO.FNMG_GETSPTRASPMP(1, 'LANT-LED', '', '20260715') AS COSTO");
  // 10 x 0.95 (the rate from July); 2.5 x 1.01 = 2.525 rounds to even; the
  // GREEN option has a cost of its own; the item without cost gets no record.
  EXPECT_EQ(Cost(1, "DO50_SPESETR"), D("9.50"));
  EXPECT_EQ(Cost(2, "DO50_SPESETR"), D("2.52"));
  EXPECT_EQ(Cost(3, "DO50_SPESETR"), D("4.50"));
  EXPECT_EQ(Cost(4, "DO50_SPESETR"), Decimal(-1));
  EXPECT_EQ(Cost(5, "DO50_SPESETR"), Decimal(-1));
  EXPECT_EQ(costs_->RecordCount(), 3);
  EXPECT_EQ(Nets(), (std::vector<std::string>{"109.5", "102.52", "104.5", "100", "100"}));

  engine_->AnnotazioneSpeseDaziACosto();  // duty goes into the same records
  EXPECT_EQ(costs_->RecordCount(), 3);
  EXPECT_EQ(Cost(2, "DO50_SPESEDZ"), D("12.75"));
  EXPECT_EQ(Cost(3, "DO50_SPESEDZ"), D("7.35"));  // no GREEN row: the item's row
  EXPECT_EQ(Nets(), (std::vector<std::string>{"121.5", "115.27", "111.85", "100", "100"}));

  engine_->AzzeramentoSpeseTrasportoACosto();
  engine_->AzzeramentoSpeseTrasportoACosto();  // twice changes nothing more
  EXPECT_EQ(Nets(), (std::vector<std::string>{"112", "112.75", "107.35", "100", "100"}));
  EXPECT_EQ(Cost(1, "DO50_SPESETR"), Decimal(0));
  engine_->AzzeramentoSpeseDaziACosto();
  EXPECT_EQ(Nets(), (std::vector<std::string>{"100", "100", "100", "100", "100"}));

  // A record whose flag is 0 is cleared without touching the row.
  costs_->MoveFirst();
  costs_->Set("DO50_SPESETR", Variant(D("5")));
  engine_->AzzeramentoSpeseTrasportoACosto();
  EXPECT_EQ(Cost(1, "DO50_SPESETR"), Decimal(0));
  EXPECT_EQ(Nets()[0], "100");
}

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

TEST_F(LandedCosts, FailuresNameTheProcedures) {
  Sql("DROP TABLE TV05_COSTIUNITARI");
  // The row-cost procedure puts its name after the incoming source.
  EXPECT_TRUE(Raises([&] { engine_->AnnotazioneSpeseDaziACosto(); }, err::kDatabaseError,
                     "AnnotazioneSpeseDaziACosto:\r\nSqliteConnection\r\nGetSpeseDazi"));
  engine_->set_cc(nullptr);
  EXPECT_TRUE(Raises([&] { engine_->AzzeramentoSpeseTrasportoACosto(); }, err::kObjectNotSet,
                     "AzzeramentoSpeseTrasportoACosto:\r\n"));
}

}  // namespace
}  // namespace tarvolin
