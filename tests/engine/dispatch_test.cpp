#include "tarvolin/engine/dispatch.h"

#include <gtest/gtest.h>

#include "engine/engine_object.h"
#include "support/errors.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin {
namespace {

CalculationHelperFactory Helpers() {
  return [] { return std::make_shared<HostCalculationHelper>(); };
}

// An engine that records what reaches the members the table forwards to.
class RecordingEngine : public CLSMG_TARVOLIN {
 public:
  RecordingEngine() : CLSMG_TARVOLIN(Helpers()) {}

  void AddRigaModificata(std::shared_ptr<Recordset>& RecordsetCorpo) override {
    received = RecordsetCorpo;
    RecordsetCorpo = replacement;
    if (raise) Raise(err::kNoCurrentRecord, "Recordset");
  }
  std::string CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale(
      const std::optional<Variant>& fvarDitta) override {
    ditta = fvarDitta;
    return "SELECT";
  }

  std::shared_ptr<Recordset> received;
  std::shared_ptr<Recordset> replacement = Recordset::Create();
  bool raise = false;
  std::optional<Variant> ditta = Variant("not called");
};

using testing_support::Raises;

TEST(Dispatch, ArgumentsAreConvertedToTheDeclaredTypes) {
  RecordingEngine engine;
  // Text to Integer through CInt, then read back as an Integer.
  Invoke(engine, "NumRigheModificate", {Variant("2")}, InvokeKind::kPropertyLet);
  const Variant count = Invoke(engine, "NumRigheModificate", {});
  EXPECT_EQ(count.type(), VarType::kInteger);
  EXPECT_EQ(count.CInt(), 2);
  // Decimal to Double: 2.675 is exact, so it rounds up.
  const Variant rounded = Invoke(engine, "RoundN", {Variant(Decimal::Parse("2.675")), Variant(2)});
  EXPECT_EQ(rounded.type(), VarType::kDouble);
  EXPECT_DOUBLE_EQ(rounded.CDbl(), 2.68);

  // Conversion errors keep the platform's number and source.
  EXPECT_TRUE(Raises(
      [&] {
        Invoke(engine, "RoundN", {Variant(1.0), Variant("abc")});
      },
      err::kTypeMismatch, "Variant"));
  EXPECT_TRUE(Raises(
      [&] {
        Invoke(engine, "NumRigheModificate", {Variant(int32_t{40000})}, InvokeKind::kPropertyLet);
      },
      err::kOverflow));
  EXPECT_EQ(engine.NumRigheModificate(), 2);
  EXPECT_TRUE(Raises([&] { Invoke(engine, "RoundN", {Variant::Null()}); }, err::kInvalidUseOfNull));
  // Converted before the member runs: these members are not in this build (438).
  EXPECT_TRUE(Raises([&] { Invoke(engine, "RicalcolaTotaliDaRigheCorpo", {Variant("yes")}); },
                     err::kTypeMismatch));
  EXPECT_TRUE(
      Raises([&] { Invoke(engine, "OpenCastIva", {Variant::Null()}); }, err::kInvalidUseOfNull));

  // Objects must be of the parameter's class; Nothing is accepted.
  EXPECT_TRUE(Raises([&] { Invoke(engine, "AddRigaModificata", {Variant("rows")}); },
                     err::kTypeMismatch, "", "RecordsetCorpo"));
  EXPECT_TRUE(Raises(
      [&] { Invoke(engine, "cc", {Variant(Recordset::Create())}, InvokeKind::kPropertySet); },
      err::kTypeMismatch, "", "CoreDocument"));
  Invoke(engine, "AddRigaModificata", {Variant(ObjectRef())});
  EXPECT_EQ(engine.received, nullptr);
}

TEST(Dispatch, OptionalParametersTakeTheirDefaultsOrArriveMissing) {
  RecordingEngine engine;
  EXPECT_EQ(Invoke(engine, "CalcolaIncidenza", {Variant(1), Variant(3)}).CStr(), "33.333333");
  EXPECT_EQ(Invoke(engine, "CalcolaIncidenza", {Variant(1), Variant(3), Variant(2)}).CStr(),
            "33.33");
  EXPECT_EQ(Invoke(engine, "RoundN", {Variant(2.5)}).CStr(), "3");

  const std::string_view priority = "CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale";
  EXPECT_EQ(Invoke(engine, priority, {}).CStr(), "SELECT");
  EXPECT_FALSE(engine.ditta.has_value());
  Invoke(engine, priority, {Variant(int16_t{7})});
  ASSERT_TRUE(engine.ditta.has_value());
  EXPECT_EQ(engine.ditta->CInt(), 7);
}

TEST(Dispatch, NamesCountsAndKindsAreChecked) {
  RecordingEngine engine;
  EXPECT_EQ(Invoke(engine, "roundn", {Variant(1.5)}).CStr(), "2");
  EXPECT_EQ(Invoke(engine, "ROUNDN", {Variant(1.25), Variant(1)}).CStr(), "1.3");

  EXPECT_TRUE(
      Raises([&] { Invoke(engine, "RoundNumber", {}); }, err::kNotSupported, "", "RoundNumber"));
  EXPECT_TRUE(Raises([&] { Invoke(engine, "CalcolaIncidenza", {Variant(1)}); },
                     err::kArgumentNotOptional, "", "ImportoTotale"));
  EXPECT_TRUE(Raises(
      [&] {
        Invoke(engine, "RoundN", {Variant(1), Variant(2), Variant(3)});
      },
      err::kWrongArgumentCount, "", "RoundN"));
  // A read-only property cannot be assigned; an assignment takes one value.
  EXPECT_TRUE(
      Raises([&] { Invoke(engine, "ArrRigheModificate", {Variant(1)}, InvokeKind::kPropertyLet); },
             err::kNotSupported));
  EXPECT_TRUE(Raises([&] { Invoke(engine, "NumRigheModificate", {}, InvokeKind::kPropertyLet); },
                     err::kWrongArgumentCount));
  // A price member reaches the engine, which needs a document.
  EXPECT_TRUE(Raises(
      [&] {
        Invoke(engine, "CambiaDocCorpoPrezzo2Rel",
               {Variant(ObjectRef()), Variant(1), Variant(false), Variant(false)});
      },
      err::kObjectNotSet));
}

TEST(Dispatch, PropertiesRoundTrip) {
  RecordingEngine engine;
  Invoke(engine, "ADOConnectionString", {Variant(12.5)}, InvokeKind::kPropertyLet);
  EXPECT_EQ(Invoke(engine, "ADOConnectionString", {}).CStr(), "12.5");
  auto company = std::make_shared<CurrentCompany>();
  auto document = std::make_shared<HostDocument>(company);
  Invoke(engine, "CC", {Variant(document)}, InvokeKind::kPropertySet);
  EXPECT_EQ(Invoke(engine, "cc", {}).object(), document);
  EXPECT_EQ(Invoke(engine, "Cls_Calcoli", {}).As<CalculationHelper>()->current_company(), company);
  EXPECT_TRUE(Invoke(engine, "ActiveInterface", {}).IsNothing());
  EXPECT_TRUE(Invoke(engine, "ArrRigheModificate", {}).IsArray());
}

TEST(Dispatch, ByRefRecordsetsComeBackEvenWhenTheMemberRaises) {
  RecordingEngine engine;
  auto rows = Recordset::Create();
  std::vector<Variant> args = {Variant(rows)};
  Invoke(engine, "AddRigaModificata", args);
  EXPECT_EQ(engine.received, rows);
  EXPECT_EQ(args[0].object(), engine.replacement);

  engine.raise = true;
  engine.replacement = Recordset::Create();
  EXPECT_TRUE(Raises([&] { Invoke(engine, "AddRigaModificata", args); }, err::kNoCurrentRecord));
  EXPECT_EQ(args[0].object(), engine.replacement);
}

}  // namespace
}  // namespace tarvolin
