#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/documents.h"
#include "support/errors.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

using testing_support::Company1;
using testing_support::Raises;
using testing_support::UnboundEngine;

Variant Dec(const char* text) { return Variant(Decimal::Parse(text)); }

TEST(EngineValueHelpers, NullSafeReads) {
  EXPECT_EQ(NzStr(Variant("  abc  ")), "  abc");
  EXPECT_EQ(NzStr(Variant("   ")), "");
  EXPECT_EQ(NzStr(Variant::Null()), "");
  EXPECT_EQ(NzStr(), "");
  EXPECT_EQ(NzStr(Dec("1.50")), "1.5");
  EXPECT_EQ(NzDec(Variant("   ")).Describe(), "Integer 0");
  EXPECT_EQ(NzDec(Variant::Null()).Describe(), "Integer 0");
  EXPECT_EQ(NzDec(Variant("1.5")).Describe(), "Decimal 1.5");
  EXPECT_EQ(NzDec(Variant(2.675)).Describe(), "Decimal 2.675");
  EXPECT_TRUE(Raises([] { NzDec(Variant("x1")); }, err::kTypeMismatch));
  EXPECT_EQ(SqlQuoted("O'Brien"), "O''Brien");
}

TEST(EngineRounding, RoundNHalvesAwayFromZeroExactly) {
  auto engine = UnboundEngine();
  const struct {
    double value;
    int digits;
    double rounded;
  } cases[] = {{2.5, 0, 3},
               {-2.5, 0, -3},
               {2.675, 2, 2.68},  // 2.67499999... as a double
               {-2.675, 2, -2.68},
               {1.005, 2, 1.01},
               {1234.5, -2, 1200},
               {1250, -2, 1300},
               {0.125, 2, 0.13},
               {-0.0049, 2, 0},
               // already whole at that many decimals
               {15.5, 2, 15.5},
               {-7, 3, -7},
               {1200, -2, 1200},
               {0.1, 1, 0.1},
               {99999999999.99, 2, 99999999999.99}};
  for (const auto& c : cases) EXPECT_EQ(engine->RoundN(c.value, c.digits), c.rounded) << c.value;
  EXPECT_FALSE(std::signbit(engine->RoundN(-0.0, 2)));  // as the decimal path gives it
  EXPECT_TRUE(Raises([&] { engine->RoundN(1e300, 20); }, err::kOverflow));

  // Against the rule itself, worked in Decimal: the value to 15 significant
  // digits, scaled, plus a half, floored. Half the values sit within a few
  // units in the last place of a half, where a double alone would misjudge.
  std::mt19937_64 random(7);
  const Decimal half = Decimal::Parse("0.5");
  for (int i = 0; i < 20000; ++i) {
    const int digits = static_cast<int>(random() % 7);
    const double factor = std::pow(10.0, digits);
    const double whole = static_cast<double>(random() % 100000000) / (i % 3 == 0 ? 1000 : 1);
    double value = (std::floor(whole) + (i % 2 == 0 ? 0.5 : (random() % 1000) / 1000.0)) / factor;
    for (int ulps = static_cast<int>(random() % 7) - 3; ulps != 0; ulps += ulps > 0 ? -1 : 1) {
      value = std::nextafter(value, ulps > 0 ? INFINITY : 0.0);
    }
    const double expected =
        std::floor((Decimal::FromDouble(value) * Decimal::FromDouble(factor) + half).ToDouble()) /
        factor;
    ASSERT_EQ(engine->RoundN(value, digits), expected) << value << " to " << digits;
    ASSERT_EQ(engine->RoundN(-value, digits), -expected) << -value << " to " << digits;
  }

  EXPECT_EQ(engine->InValutaAzienda(Variant(int16_t{100}), Variant(int16_t{3})).Describe(),
            "Double 33.33");
  EXPECT_EQ(engine->InValutaAzienda(Variant(int16_t{100}), Variant(int16_t{0})).Describe(),
            "Integer 0");
  EXPECT_EQ(engine->InValutaAzienda(Variant(int16_t{100}), Variant()).CInt(), 0);
  EXPECT_EQ(engine->InValutaAzienda(Dec("250.00"), Dec("1.3650")).CDbl(), 183.15);
  EXPECT_TRUE(Raises([&] { engine->InValutaAzienda(Variant::Null(), Variant(int16_t{2})); },
                     err::kInvalidUseOfNull));

  EXPECT_EQ(engine->CalcolaIncidenza(Variant(int16_t{1}), Variant(int16_t{3}), 6).CDbl(),
            33.333333);
  EXPECT_EQ(engine->CalcolaIncidenza(Variant(int16_t{5}), Variant(int16_t{0}), 6).type(),
            VarType::kInteger);
  EXPECT_EQ(engine->CalcolaIncidenza(Variant(int16_t{2}), Variant(int16_t{3}), 2).CDbl(), 66.67);
  // An unrecognised kind of field rounds to no decimals, needing no document.
  EXPECT_EQ(engine->Arrotondamento(Dec("1.2345"), 7, Variant("USD")).CDbl(), 1);
}

// RoundN scales in whole numbers when the result is exactly the same and in
// Decimal otherwise; both sides of each limit must give the hand-worked figure.
TEST(EngineRounding, RoundNAtTheLimitsOfWholeNumberScaling) {
  auto engine = UnboundEngine();
  const struct {
    double value;
    int digits;
    double rounded;
  } cases[] = {
      // 15 significant digits first: ...0495 is a tie, 9 is odd, so it goes up.
      {4503599627370495.0, 0, 4503599627370500.0},
      {4503599627370.49, 3, 4503599627370.49},  // scaled: just below 2^52
      {4503599627370.51, 3, 4503599627370.51},  // scaled: past 2^52, a binary tie
      {4503599627370.5, 0, 4503599627371.0},    // a half exactly, away from zero
      {-4503599627370.5, 0, -4503599627371.0},
      {0.123456789012346, 15, 0.123456789012346},  // the most digits kept
      {1.23456789012345e-10, 12, 1.23e-10},        // 24 decimals cut to 12
      {1.5e-20, 2, 0},                             // too many decimals to drop at once
      {999999999999999.0, 2, 999999999999999.0},   // 15 digits times 100 passes 2^52
      {12345.6789, 2, 12345.68},
      {0.045, 1, 0.0},
      {0.05, 1, 0.1},
      {3.14159, 15, 3.14159},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(engine->RoundN(c.value, c.digits), c.rounded) << c.value << " to " << c.digits;
  }
}

class EngineCurrency : public testing_support::EngineBench {};

TEST_F(EngineCurrency, FindValutaCachesInTheDocument) {
  const auto currency = [&] {
    const auto& c = document_->Currency();
    return c.code + " " + std::to_string(c.amount_decimals) + " " +
           std::to_string(c.price_decimals);
  };
  EXPECT_TRUE(engine_->FindValuta(Variant("EUR")));
  ASSERT_EQ(connection_->statements(), 1);
  EXPECT_EQ(currency(), "EUR 2 3");
  // The same code again queries nothing; another known one filters the cache.
  EXPECT_TRUE(engine_->FindValuta(Variant("EUR  ")));
  EXPECT_TRUE(engine_->FindValuta(Variant("JPY")));
  EXPECT_EQ(connection_->statements(), 1);
  EXPECT_EQ(currency(), "JPY 0 0");  // no MG49 row: Null counts as 0
  // An unknown code reloads once, then falls back to 2 and 2.
  EXPECT_FALSE(engine_->FindValuta(Variant("X'Y")));
  EXPECT_EQ(connection_->statements(), 2);
  EXPECT_EQ(currency(), " 2 2");

  // Price decimals of the currency, then amount decimals, the first and the
  // second decimals settings of the company.
  EXPECT_EQ(engine_->Arrotondamento(Dec("1.23456"), 1, Variant("USD")).CDbl(), 1.2346);
  EXPECT_EQ(engine_->Arrotondamento(Variant(1.005), 2, Variant("USD")).CDbl(), 1.01);
  EXPECT_EQ(engine_->Arrotondamento(Variant(2.5), 2, Variant("JPY")).CDbl(), 3);
  EXPECT_EQ(engine_->Arrotondamento(Variant(1.23456), 0, Variant()).CDbl(), 1.23);
  EXPECT_EQ(engine_->Arrotondamento(Variant(1.234567), 3, Variant()).CDbl(), 1.23457);
}

TEST_F(EngineCurrency, ErrorsCarryTheChainOfLabels) {
  Sql("DROP TABLE MG49_PARMAGAZDEC");
  EXPECT_TRUE(Raises([&] { engine_->Arrotondamento(Variant(1.5), 2, Variant("USD")); },
                     err::kDatabaseError,
                     "Arrotondamento:\r\nFindValuta:\r\nGetRecordsetValute:\r\nSqliteConnection",
                     "MG49_PARMAGAZDEC"));
}

TEST(EngineLifecycle, TerminateReleasesAndCachesRenew) {
  auto engine = UnboundEngine();
  engine->Terminate();  // nothing set: still fine
  engine->Terminate();
  EXPECT_EQ(engine->ArrRigheModificate().Describe(), "array of 0");
  // Cls_Calcoli needs the document's company; the failure reaches the caller.
  EXPECT_TRUE(Raises([] { UnboundEngine()->Cls_Calcoli(); }, err::kObjectNotSet));

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
  auto engine = UnboundEngine();
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

}  // namespace
}  // namespace tarvolin
