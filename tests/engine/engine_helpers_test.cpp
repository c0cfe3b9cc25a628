#include <gtest/gtest.h>

#include "db/demo_database.h"
#include "tarvolin/db/counting_connection.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin {
namespace {

int ErrorOf(const std::function<void()>& f, Error* out = nullptr) {
  try {
    f();
  } catch (const Error& e) {
    if (out) *out = e;
    return e.number();
  }
  return 0;
}

std::shared_ptr<CLSMG_TARVOLIN> NewEngine() {
  return std::make_shared<CLSMG_TARVOLIN>([] { return std::make_shared<HostCalculationHelper>(); });
}

std::shared_ptr<CurrentCompany> Company1() {
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  company->first_decimals = Variant("2");
  company->second_decimals = Variant(int16_t{5});
  company->currency_decimals = {{"USD", 2}, {"CAD", 2}, {"JPY", 0}};
  return company;
}

TEST(EngineValueHelpers, NullSafeReads) {
  EXPECT_EQ(NzStr(Variant("  abc  ")), "  abc");
  EXPECT_EQ(NzStr(Variant("   ")), "");
  EXPECT_EQ(NzStr(Variant::Null()), "");
  EXPECT_EQ(NzStr(), "");
  EXPECT_EQ(NzStr(Variant(Decimal::Parse("1.50"))), "1.5");
  EXPECT_EQ(NzDec(Variant("   ")).type(), VarType::kInteger);
  EXPECT_EQ(NzDec(Variant::Null()).type(), VarType::kInteger);
  EXPECT_EQ(NzDec(Variant("1.5")).dec(), Decimal::Parse("1.5"));
  EXPECT_EQ(NzDec(Variant(2.675)).dec().ToString(), "2.675");
  EXPECT_EQ(ErrorOf([] { NzDec(Variant("x1")); }), err::kTypeMismatch);
  EXPECT_EQ(SqlQuoted("O'Brien"), "O''Brien");
}

TEST(EngineRounding, RoundNHalvesAwayFromZeroExactly) {
  auto engine = NewEngine();
  EXPECT_EQ(engine->RoundN(2.5, 0), 3);
  EXPECT_EQ(engine->RoundN(-2.5, 0), -3);
  EXPECT_EQ(engine->RoundN(2.675, 2), 2.68);  // 2.67499999... as a double
  EXPECT_EQ(engine->RoundN(-2.675, 2), -2.68);
  EXPECT_EQ(engine->RoundN(1.005, 2), 1.01);
  EXPECT_EQ(engine->RoundN(1234.5, -2), 1200);
  EXPECT_EQ(engine->RoundN(1250, -2), 1300);
  EXPECT_EQ(engine->RoundN(0.125, 2), 0.13);
  EXPECT_EQ(engine->RoundN(-0.0049, 2), 0);
  EXPECT_EQ(ErrorOf([&] { engine->RoundN(1e300, 20); }), err::kOverflow);

  const Variant fraction = engine->InValutaAzienda(Variant(int16_t{100}), Variant(int16_t{3}));
  EXPECT_EQ(fraction.type(), VarType::kDouble);
  EXPECT_EQ(fraction.CDbl(), 33.33);
  EXPECT_EQ(engine->InValutaAzienda(Variant(int16_t{100}), Variant(int16_t{0})).type(),
            VarType::kInteger);
  EXPECT_EQ(engine->InValutaAzienda(Variant(int16_t{100}), Variant()).CInt(), 0);
  EXPECT_EQ(
      engine->InValutaAzienda(Variant(Decimal::Parse("250.00")), Variant(Decimal::Parse("1.3650")))
          .CDbl(),
      183.15);
  EXPECT_EQ(ErrorOf([&] { engine->InValutaAzienda(Variant::Null(), Variant(int16_t{2})); }),
            err::kInvalidUseOfNull);

  EXPECT_EQ(engine->CalcolaIncidenza(Variant(int16_t{1}), Variant(int16_t{3}), 6).CDbl(),
            33.333333);
  EXPECT_EQ(engine->CalcolaIncidenza(Variant(int16_t{5}), Variant(int16_t{0}), 6).type(),
            VarType::kInteger);
  EXPECT_EQ(engine->CalcolaIncidenza(Variant(int16_t{2}), Variant(int16_t{3}), 2).CDbl(), 66.67);
  // An unrecognised kind of field rounds to no decimals, needing no document.
  EXPECT_EQ(engine->Arrotondamento(Variant(Decimal::Parse("1.2345")), 7, Variant("USD")).CDbl(), 1);
}

class EngineCurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    counting_ = std::make_shared<CountingConnection>(
        std::shared_ptr<Connection>(&demo_.connection(), [](Connection*) {}));
    document_ = std::make_shared<HostDocument>(Company1());
    engine_ = NewEngine();
    engine_->set_cc(document_);
    engine_->set_ADOConnection(counting_);
  }

  testing_support::DemoDatabase demo_;
  std::shared_ptr<CountingConnection> counting_;
  std::shared_ptr<HostDocument> document_;
  std::shared_ptr<CLSMG_TARVOLIN> engine_;
};

TEST_F(EngineCurrency, FindValutaCachesInTheDocument) {
  EXPECT_TRUE(engine_->FindValuta(Variant("EUR")));
  EXPECT_EQ(counting_->statements(), 1);
  EXPECT_EQ(counting_->log()[0],
            " SELECT    CG08_CODICE,    CG08_NUMDEC,    MG49_NUMDEC FROM    CG08_TABVALUTE WITH "
            "(NOLOCK) LEFT JOIN MG49_PARMAGAZDEC WITH (NOLOCK) ON    MG49_DITTA_CG18 = 1 AND    "
            "MG49_CODICE_CG08 = CG08_CODICE ORDER BY    CG08_CODICE");
  EXPECT_EQ(document_->Currency().code, "EUR");
  EXPECT_EQ(document_->Currency().amount_decimals, 2);
  EXPECT_EQ(document_->Currency().price_decimals, 3);
  // The same code again queries nothing; another known one filters the cache.
  EXPECT_TRUE(engine_->FindValuta(Variant("EUR  ")));
  EXPECT_TRUE(engine_->FindValuta(Variant("JPY")));
  EXPECT_EQ(counting_->statements(), 1);
  EXPECT_EQ(document_->Currency().amount_decimals, 0);
  EXPECT_EQ(document_->Currency().price_decimals, 0);  // no MG49 row: Null counts as 0
  // An unknown code reloads once, then falls back to 2 and 2.
  EXPECT_FALSE(engine_->FindValuta(Variant("X'Y")));
  EXPECT_EQ(counting_->statements(), 2);
  EXPECT_EQ(document_->Currency().code, "");
  EXPECT_EQ(document_->Currency().amount_decimals, 2);
  EXPECT_EQ(document_->Currency().price_decimals, 2);

  EXPECT_EQ(engine_->Arrotondamento(Variant(Decimal::Parse("1.23456")), 1, Variant("USD")).CDbl(),
            1.2346);
  EXPECT_EQ(engine_->Arrotondamento(Variant(1.005), 2, Variant("USD")).CDbl(), 1.01);
  EXPECT_EQ(engine_->Arrotondamento(Variant(2.5), 2, Variant("JPY")).CDbl(), 3);
  EXPECT_EQ(engine_->Arrotondamento(Variant(1.23456), 0, Variant()).CDbl(), 1.23);
  EXPECT_EQ(engine_->Arrotondamento(Variant(1.234567), 3, Variant()).CDbl(), 1.23457);
}

TEST_F(EngineCurrency, ErrorsCarryTheChainOfLabels) {
  demo_.connection().ExecuteScript("DROP TABLE MG49_PARMAGAZDEC");
  Error error(0, "", "");
  EXPECT_EQ(ErrorOf([&] { engine_->Arrotondamento(Variant(1.5), 2, Variant("USD")); }, &error),
            err::kDatabaseError);
  EXPECT_EQ(error.source(),
            "Arrotondamento:\r\nFindValuta:\r\nGetRecordsetValute:\r\nSqliteConnection");
  EXPECT_NE(error.description().find("MG49_PARMAGAZDEC"), std::string::npos);
}

TEST(EngineLifecycle, TerminateReleasesAndCachesRenew) {
  auto engine = NewEngine();
  engine->Terminate();  // nothing set: still fine
  engine->Terminate();
  EXPECT_TRUE(engine->ArrRigheModificate().IsArray());
  EXPECT_TRUE(engine->ArrRigheModificate().array().empty());
  // Cls_Calcoli needs the document's company; the failure reaches the caller.
  EXPECT_EQ(ErrorOf([] { NewEngine()->Cls_Calcoli(); }), err::kObjectNotSet);

  auto document = std::make_shared<HostDocument>(Company1());
  engine->set_cc(document);
  engine->set_ActiveInterface(std::make_shared<HostSession>("jdoe", "SALES"));
  engine->set_ADOConnectionString("tarvolin.db");
  engine->set_NumRigheModificate(3);
  auto helper = engine->Cls_Calcoli();
  EXPECT_EQ(engine->Cls_Calcoli(), helper);
  EXPECT_EQ(helper->current_company()->company_number, 1);
  engine->DictTaxOnTax().Add("key", Variant(int16_t{1}));
  EXPECT_TRUE(engine->HasTaxDetailCaches());

  engine->Terminate();
  EXPECT_EQ(engine->cc(), nullptr);
  EXPECT_EQ(engine->ActiveInterface(), nullptr);
  EXPECT_EQ(helper->current_company(), nullptr);  // the old helper let go of the company
  EXPECT_FALSE(engine->HasTaxDetailCaches());
  EXPECT_EQ(engine->ADOConnectionString(), "tarvolin.db");  // left as it was
  EXPECT_EQ(engine->NumRigheModificate(), 3);
  EXPECT_EQ(engine->DictTaxOnTax().Count(), 0);  // a new, empty cache
  engine->set_cc(document);
  EXPECT_NE(engine->Cls_Calcoli(), helper);
}

TEST(EngineMessages, TextComesFromTheDocumentThenTheSessionThenTheDefault) {
  auto engine = NewEngine();
  const Variant params(VariantArray{Variant("INV-7"), Variant(int16_t{3})});
  EXPECT_EQ(engine->GetTestoMessaggio("Documento %1", 12, params), "Documento %1");

  auto session = std::make_shared<HostSession>("jdoe", "SALES");
  session->catalogue().Set(12, "Document %1 has %2 rows");
  engine->set_ActiveInterface(session);
  EXPECT_EQ(engine->GetTestoMessaggio("Documento %1", 12, params), "Document INV-7 has 3 rows");
  EXPECT_EQ(engine->GetTestoMessaggio("Documento", 0, params), "Documento");

  auto document = std::make_shared<HostDocument>(Company1());
  engine->set_cc(document);
  EXPECT_EQ(engine->GetTestoMessaggio("Documento %1 (%2)", 12, params), "Documento INV-7 (3)");
  document->catalogue().Set(12, "Doc %1");
  EXPECT_EQ(engine->GetTestoMessaggio("Documento %1", 12, Variant("not an array")), "Doc %1");
}

TEST(EngineCopies, CopiaRecordsetIsIndependentAndNeverRaises) {
  auto engine = NewEngine();
  auto source =
      MakeRecordset({{"A", DataType::kInteger}}, {{Variant(int32_t{1})}, {Variant(int32_t{2})}});
  source->SetFilter("A = 2");
  auto copy = engine->CopiaRecordset(source);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->RecordCount(), 1);
  copy->Set("A", Variant(int32_t{9}));
  source->ClearFilter();
  source->MoveLast();
  EXPECT_EQ(source->Get("A").CLng(), 2);
  std::shared_ptr<Recordset> nothing;
  EXPECT_EQ(engine->CopiaRecordset(nothing), nullptr);
}

}  // namespace
}  // namespace tarvolin
