// The document's commission calculator driven by the engine: regimes assigned
// (ImpostaProvvigioni), then commissions computed (RicalcolaProvvigioni). The
// calculator works on clones of the document's recordsets, so what it writes
// is the document; the engine writes no commission field here.
//
// Errors go to the document's error service statement by statement; a
// failure code of the calculator is shown to the user, not raised.
#include <algorithm>
#include <functional>
#include <string>

#include "tarvolin/automation/error_policy.h"
#include "tarvolin/commissions/commission_calculator.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

using R = CommissionRecordset;
using CalculatorRef = std::function<CommissionCalculator&()>;

const Variant kZero(int16_t{0});
constexpr int32_t kInformationStyle = 64;

struct FailureText {
  int32_t code;
  const char* text;
  int32_t number;
};
constexpr FailureText kFailures[] = {
    {1, "VALIDAZIONE DATI", 59755},
    {2, "MANCANO I PARAMETRI GENERALI DOCUMENTI", 67593},
    {3, "REGIME PROVVIGIONE NON VALIDO", 67594},
    {4, "ERRORE NEL RECUPERO DEL PREZZO", 67111},
    {5, "MANCANO I DATI DELL'AGENTE SELEZIONATO", 67595},
    {6, "ERRORE NEL RECUPERO DEL PREZZO TEORICO", 67596},
    {99, "ERRORE VB", 67112},
};
constexpr FailureText kGenericFailure = {0, "ERRORE GENERICO", 25207};

std::shared_ptr<Recordset> CloneOrNothing(const std::shared_ptr<Recordset>& recordset) {
  return recordset ? recordset->Clone() : nullptr;
}

Recordset& Need(const std::shared_ptr<Recordset>& recordset, std::string_view procedure,
                std::string_view what) {
  if (!recordset) Raise(err::kObjectNotSet, procedure, std::string(what) + " is not set");
  return *recordset;
}

// Both procedures start alike; false when the procedure is to end here.
bool CommonStart(CoreDocument& document, ErrorGuard& guard) {
  bool off = false;
  if (!guard([&] { off = NzDec(document.DocumentSetting("INDREGPROV")) == kZero; })) return false;
  if (off) return false;
  return guard([&] {
    CommissionSwitches& switches = document.Commissions().Switches();
    if (!document.State().header_agents) {
      switches.service_no_header_agents = true;
      switches.document_header_agents = false;
    }
    if (!document.State().row_agents) {
      switches.service_no_row_agents = true;
      switches.document_row_agents = false;
    }
  });
}

// The calculator's header and body clones take the document's position.
bool Position(CoreDocument& document, ErrorGuard& guard, const CalculatorRef& calculator,
              const std::optional<Variant>& bookmark, std::string_view procedure) {
  auto& recordsets = document.Recordsets();
  const auto header = [&]() -> Recordset& {
    return Need(recordsets.Get(DocumentTable::kHeader), procedure, "the header recordset");
  };
  const auto header_clone = [&]() -> Recordset& {
    return Need(calculator().GetRecordset(R::Recordset_DO11_DOCTESTATA), procedure,
                "Recordset_DO11_DOCTESTATA");
  };
  const auto body = [&]() -> Recordset& {
    return Need(recordsets.Get(DocumentTable::kBody), procedure, "the body-rows recordset");
  };
  const auto body_clone = [&]() -> Recordset& {
    return Need(calculator().GetRecordset(R::Recordset_DO30_DOCCORPO), procedure,
                "Recordset_DO30_DOCCORPO");
  };
  if (!guard([&] { header_clone().SetSort(header().Sort()); })) return false;
  if (!guard([&] { header_clone().SetFilter(header().Filter()); })) return false;
  if (!guard([&] { header_clone().SetBookmark(header().GetBookmark()); })) return false;
  if (bookmark) {
    return guard([&] {
      const auto row = Bookmark::FromVariant(*bookmark);
      if (!row) Raise(err::kBadArgument, procedure, "BookmarkRiga is not a bookmark");
      body_clone().SetBookmark(*row);
    });
  }
  // A filter that leaves the body with no known position is not copied.
  bool copy = true;
  if (!guard([&] { copy = !(body().AbsolutePosition() == -1 && !body().Filter().empty()); })) {
    return false;
  }
  if (copy) {
    if (!guard([&] { body_clone().SetSort(body().Sort()); })) return false;
    if (!guard([&] { body_clone().SetFilter(body().Filter()); })) return false;
  }
  return guard([&] { body_clone().SetBookmark(body().GetBookmark()); });
}

bool ReportFailure(CLSMG_TARVOLIN& engine, CoreDocument& document, ErrorGuard& guard,
                   const CalculatorRef& calculator, const char* first_line,
                   std::string_view procedure) {
  int32_t result = 0;
  if (!guard([&] { result = calculator().stato(); })) return false;
  if (result == 0) return true;
  return guard([&] {
    const auto* found =
        std::find_if(std::begin(kFailures), std::end(kFailures),
                     [&](const FailureText& failure) { return failure.code == result; });
    const FailureText& failure = found != std::end(kFailures) ? *found : kGenericFailure;
    document.Dialogue().MessageBox(
        engine.GetTestoMessaggio(first_line, 67597, Variant()) + "\r" +
            engine.GetTestoMessaggio(failure.text, failure.number, Variant()),
        procedure, kInformationStyle);
  });
}

// Sets the properties to Nothing, one statement each.
void Release(ErrorGuard& guard, const CalculatorRef& calculator,
             std::initializer_list<CommissionRecordset> properties) {
  for (CommissionRecordset property : properties) {
    if (!guard([&] { calculator().SetRecordset(property, nullptr); })) return;
  }
}

}  // namespace

void CLSMG_TARVOLIN::ImpostaProvvigioni(const std::optional<Variant>& BookmarkRiga) {
  constexpr char kProcedure[] = "ImpostaProvvigioni";
  auto document = cc_;
  if (!document) return;
  ErrorGuard guard(document->Dialogue().Errors(), kProcedure);
  if (!CommonStart(*document, guard)) return;
  auto& recordsets = document->Recordsets();
  CommissionSupport& support = document->Commissions();
  std::shared_ptr<CommissionCalculator> held;
  const CalculatorRef calculator = [&]() -> CommissionCalculator& {
    if (!held) Raise(err::kObjectNotSet, kProcedure, "the document has no commission calculator");
    return *held;
  };

  // Made once and kept by the document; later runs reuse it as it is.
  if (!guard([&] { held = support.Switches().calculator; })) return;
  if (!held) {
    if (!guard([&] { held = MakeCommissionCalculator(); })) return;
    if (!guard([&] { support.Switches().calculator = held; })) return;
    if (!guard([&] { calculator().set_ADOConnection(connection_); })) return;
    if (!guard([&] { calculator().set_ClsDittaCorrente(document->Company()); })) return;
    if (!guard([&] { calculator().set_ClsLeggoPre(support.Preferences()); })) return;
  }

  const auto give = [&](CommissionRecordset property, DocumentTable table) {
    return guard(
        [&] { calculator().SetRecordset(property, CloneOrNothing(recordsets.Get(table))); });
  };
  if (!give(R::Recordset_DO11_DOCTESTATA, DocumentTable::kHeader)) return;
  if (!give(R::Recordset_DO13_DOCTOTALI, DocumentTable::kTotals)) return;
  if (!give(R::Recordset_DO29_DOCTESAGENTI, DocumentTable::kHeaderAgents)) return;

  // The row agents are brought up to date first when the document asks for it.
  CommissionSwitches* switches = nullptr;
  if (!guard([&] { switches = &support.Switches(); })) return;
  if (switches != nullptr) {
    const bool asked = switches->refresh_option;
    const bool remembered = switches->refresh_boolean;
    if (asked && remembered) switches->refresh_boolean = false;
    bool needed = false;
    if (!guard([&] { needed = support.RefreshNeeded(); })) return;
    if (needed) {
      switches->refreshing = true;
      if (!guard([&] { support.RefreshRowAgents(true, true); })) return;
      switches->refreshing = false;
    }
    if (asked) switches->refresh_boolean = remembered;
  }

  if (!give(R::Recordset_DO30_DOCCORPO, DocumentTable::kBody)) return;
  if (!give(R::Recordset_DO32_DOCCORPOPROV, DocumentTable::kCommissionRows)) return;
  if (recordsets.Get(DocumentTable::kDiscountDetail)) {
    if (!give(R::Recordset_DO69_DOCCORPOSCMAG, DocumentTable::kDiscountDetail)) return;
  }
  if (!Position(*document, guard, calculator, BookmarkRiga, kProcedure)) return;
  if (!guard([&] { calculator().set_NomeTabellaDO67Temp(support.Switches().do67_temp_table); })) {
    return;
  }
  if (!guard([&] { calculator().ImpostaRegimiProvvigioni(); })) return;
  if (!ReportFailure(*this, *document, guard, calculator,
                     "Errore in CLSPA_CALCPROVV.ImpostaRegimiProvvigioni", kProcedure)) {
    return;
  }
  Release(guard, calculator,
          {R::Recordset_DO11_DOCTESTATA, R::Recordset_DO13_DOCTOTALI,
           R::Recordset_DO29_DOCTESAGENTI, R::Recordset_DO30_DOCCORPO,
           R::Recordset_DO32_DOCCORPOPROV, R::Recordset_DO69_DOCCORPOSCMAG});
}

void CLSMG_TARVOLIN::RicalcolaProvvigioni(const std::optional<Variant>& BookmarkRiga) {
  constexpr char kProcedure[] = "RicalcolaProvvigioni";
  auto document = cc_;
  if (!document) return;
  ErrorGuard guard(document->Dialogue().Errors(), kProcedure);
  if (!CommonStart(*document, guard)) return;
  auto& recordsets = document->Recordsets();
  CommissionSupport& support = document->Commissions();
  const CalculatorRef calculator = [&]() -> CommissionCalculator& {
    const auto& held = support.Switches().calculator;
    if (!held) Raise(err::kObjectNotSet, kProcedure, "the document has no commission calculator");
    return *held;
  };

  const auto give = [&](CommissionRecordset property, DocumentTable table) {
    return guard(
        [&] { calculator().SetRecordset(property, CloneOrNothing(recordsets.Get(table))); });
  };
  if (!give(R::Recordset_DO11_DOCTESTATA, DocumentTable::kHeader)) return;
  if (!give(R::Recordset_DO13_DOCTOTALI, DocumentTable::kTotals)) return;
  if (!give(R::Recordset_DO14_DOCDATIACC, DocumentTable::kAccessoryData)) return;
  if (!give(R::Recordset_DO29_DOCTESAGENTI, DocumentTable::kHeaderAgents)) return;
  if (!give(R::Recordset_DO30_DOCCORPO, DocumentTable::kBody)) return;
  if (!give(R::Recordset_DO31_DOCCORPOORD, DocumentTable::kBodyOrderData)) return;
  if (!give(R::Recordset_DO32_DOCCORPOPROV, DocumentTable::kCommissionRows)) return;
  if (recordsets.Get(DocumentTable::kDiscountDetail)) {
    if (!give(R::Recordset_DO69_DOCCORPOSCMAG, DocumentTable::kDiscountDetail)) return;
  }
  // Our documents have no configuration or project rows.
  if (!guard([&] { calculator().SetRecordset(R::Recordset_DO39_DOCCORPOCONF, nullptr); })) return;
  if (!guard([&] { calculator().SetRecordset(R::Recordset_DO41_DOCCORPOPROGE, nullptr); })) return;
  if (!Position(*document, guard, calculator, BookmarkRiga, kProcedure)) return;
  if (!guard([&] { calculator().set_NomeTabellaDO67Temp(support.Switches().do67_temp_table); })) {
    return;
  }

  // Prices recovered on a row with changed discounts follow the priority table.
  bool recover = false;
  if (!guard([&] {
        recover = support.Switches().price_recovery &&
                  NzDec(Need(calculator().GetRecordset(R::Recordset_DO30_DOCCORPO), kProcedure,
                             "Recordset_DO30_DOCCORPO")
                            .Get("DO30_FLGPRSCVAR")) != kZero;
      })) {
    return;
  }
  if (recover) {
    if (!guard([&] {
          calculator().set_TabellaPrioritaLisPRecuperoPrezzi(GetTabellaPrioritaListiniP().CStr());
        })) {
      return;
    }
  }
  if (!guard([&] { calculator().CalcolaProvvigioni(); })) return;
  if (!ReportFailure(*this, *document, guard, calculator,
                     "Errore in CLSPA_CALCPROVV.CalcolaProvvigioni", kProcedure)) {
    return;
  }
  Release(
      guard, calculator,
      {R::Recordset_DO11_DOCTESTATA, R::Recordset_DO13_DOCTOTALI, R::Recordset_DO14_DOCDATIACC,
       R::Recordset_DO29_DOCTESAGENTI, R::Recordset_DO30_DOCCORPO, R::Recordset_DO31_DOCCORPOORD,
       R::Recordset_DO32_DOCCORPOPROV, R::Recordset_DO39_DOCCORPOCONF,
       R::Recordset_DO69_DOCCORPOSCMAG, R::Recordset_DO41_DOCCORPOPROGE});
}

}  // namespace tarvolin
