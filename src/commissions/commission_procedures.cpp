// The document's commission calculator driven by the engine: regimes assigned
// (ImpostaProvvigioni), then commissions computed (RicalcolaProvvigioni). The
// calculator works on clones of the document's recordsets, so what it writes
// is the document; the engine writes no commission field here.
//
// Errors go to the document's error service statement by statement; a
// failure code of the calculator is shown to the user, not raised.
#include <string>

#include "engine/engine_object.h"
#include "engine/failure_message.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/commissions/commission_calculator.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

using R = CommissionRecordset;

const Variant kZero(int16_t{0});

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

Recordset& Need(const std::shared_ptr<Recordset>& recordset, std::string_view procedure,
                std::string_view what) {
  if (!recordset) Raise(err::kObjectNotSet, procedure, std::string(what) + " is not set");
  return *recordset;
}

// One procedure's work with the document's calculator: every statement under
// the document's error service, the calculator raising 91 while there is none.
class CalculatorRun {
 public:
  CalculatorRun(CLSMG_TARVOLIN& engine, CoreDocument& document, const char* procedure)
      : guard(document.Dialogue().Errors(), procedure),
        engine_(engine),
        document_(document),
        procedure_(procedure) {}

  ErrorGuard guard;
  std::shared_ptr<CommissionCalculator> held;

  CommissionCalculator& Calculator() {
    if (!held) Raise(err::kObjectNotSet, procedure_, "the document has no commission calculator");
    return *held;
  }

  // Both procedures start alike; false when the procedure is to end here.
  bool Start() {
    bool off = false;
    if (!guard([&] { off = NzDec(document_.DocumentSetting("INDREGPROV")) == kZero; })) {
      return false;
    }
    if (off) return false;
    return guard([&] {
      CommissionSwitches& switches = document_.Commissions().Switches();
      if (!document_.State().header_agents) {
        switches.service_no_header_agents = true;
        switches.document_header_agents = false;
      }
      if (!document_.State().row_agents) {
        switches.service_no_row_agents = true;
        switches.document_row_agents = false;
      }
    });
  }

  // A clone of the document's recordset, or Nothing when it has none.
  bool Give(CommissionRecordset property, DocumentTable table) {
    return guard([&] {
      const auto recordset = document_.Recordsets().Get(table);
      Calculator().SetRecordset(property, recordset ? recordset->Clone() : nullptr);
    });
  }
  bool GiveWhenPresent(CommissionRecordset property, DocumentTable table) {
    return !document_.Recordsets().Get(table) || Give(property, table);
  }

  // The calculator's header and body clones take the document's position.
  bool Position(const std::optional<Variant>& bookmark) {
    auto& recordsets = document_.Recordsets();
    const auto header = [&]() -> Recordset& {
      return Need(recordsets.Get(DocumentTable::kHeader), procedure_, "the header recordset");
    };
    const auto header_clone = [&]() -> Recordset& {
      return Need(Calculator().GetRecordset(R::Recordset_DO11_DOCTESTATA), procedure_,
                  "Recordset_DO11_DOCTESTATA");
    };
    const auto body = [&]() -> Recordset& {
      return Need(recordsets.Get(DocumentTable::kBody), procedure_, "the body-rows recordset");
    };
    if (!guard([&] { header_clone().SetSort(header().Sort()); })) return false;
    if (!guard([&] { header_clone().SetFilter(header().Filter()); })) return false;
    if (!guard([&] { header_clone().SetBookmark(header().GetBookmark()); })) return false;
    if (bookmark) {
      return guard([&] {
        const auto row = Bookmark::FromVariant(*bookmark);
        if (!row) Raise(err::kBadArgument, procedure_, "BookmarkRiga is not a bookmark");
        BodyClone().SetBookmark(*row);
      });
    }
    // A filter that leaves the body with no known position is not copied.
    bool copy = true;
    if (!guard([&] { copy = !(body().AbsolutePosition() == -1 && !body().Filter().empty()); })) {
      return false;
    }
    if (copy) {
      if (!guard([&] { BodyClone().SetSort(body().Sort()); })) return false;
      if (!guard([&] { BodyClone().SetFilter(body().Filter()); })) return false;
    }
    return guard([&] { BodyClone().SetBookmark(body().GetBookmark()); });
  }

  Recordset& BodyClone() {
    return Need(Calculator().GetRecordset(R::Recordset_DO30_DOCCORPO), procedure_,
                "Recordset_DO30_DOCCORPO");
  }

  bool GiveTemporaryTable() {
    return guard([&] {
      Calculator().set_NomeTabellaDO67Temp(document_.Commissions().Switches().do67_temp_table);
    });
  }

  // A failure code is told to the user; the procedure goes on.
  bool Report(const char* first_line) {
    int32_t result = 0;
    if (!guard([&] { result = Calculator().stato(); })) return false;
    if (result == 0) return true;
    return guard([&] {
      document_.Dialogue().MessageBox(
          FailureMessage(engine_, first_line, 67597, kFailures, kGenericFailure, result),
          procedure_, DialogueServices::kInformationStyle);
    });
  }

  // Sets the properties to Nothing, one statement each.
  void Release(std::initializer_list<CommissionRecordset> properties) {
    for (CommissionRecordset property : properties) {
      if (!guard([&] { Calculator().SetRecordset(property, nullptr); })) return;
    }
  }

 private:
  CLSMG_TARVOLIN& engine_;
  CoreDocument& document_;
  const char* procedure_;
};

// Made once and kept by the document; later runs reuse it as it is.
bool HoldCalculator(CalculatorRun& run, CoreDocument& document,
                    const std::shared_ptr<Connection>& connection) {
  ErrorGuard& guard = run.guard;
  CommissionSupport& support = document.Commissions();
  if (!guard([&] { run.held = support.Switches().calculator; })) return false;
  if (run.held) return true;
  if (!guard([&] { run.held = MakeCommissionCalculator(); })) return false;
  if (!guard([&] { support.Switches().calculator = run.held; })) return false;
  if (!guard([&] { run.Calculator().set_ADOConnection(connection); })) return false;
  if (!guard([&] { run.Calculator().set_ClsDittaCorrente(document.Company()); })) return false;
  return guard([&] { run.Calculator().set_ClsLeggoPre(support.Preferences()); });
}

// The row agents are brought up to date first when the services ask for it,
// with the services' Boolean off meanwhile.
bool RefreshRowAgentsWhenAsked(ErrorGuard& guard, CommissionSupport& support) {
  CommissionSwitches* switches = nullptr;
  if (!guard([&] { switches = &support.Switches(); })) return false;
  if (switches == nullptr || !switches->refresh_option) return true;
  const bool remembered = switches->refresh_boolean;
  if (remembered) switches->refresh_boolean = false;
  bool needed = false;
  if (!guard([&] { needed = support.RefreshNeeded(); })) return false;
  if (needed) {
    switches->refreshing = true;
    if (!guard([&] { support.RefreshRowAgents(true, true); })) return false;
    switches->refreshing = false;
  }
  switches->refresh_boolean = remembered;
  return true;
}

}  // namespace

void CLSMG_TARVOLIN::ImpostaProvvigioni(const std::optional<Variant>& BookmarkRiga) {
  auto document = cc_;
  if (!document) return;
  CalculatorRun run(*this, *document, "ImpostaProvvigioni");
  ErrorGuard& guard = run.guard;
  if (!run.Start()) return;
  CommissionSupport& support = document->Commissions();

  if (!HoldCalculator(run, *document, connection_)) return;
  if (!run.Give(R::Recordset_DO11_DOCTESTATA, DocumentTable::kHeader)) return;
  if (!run.Give(R::Recordset_DO13_DOCTOTALI, DocumentTable::kTotals)) return;
  if (!run.Give(R::Recordset_DO29_DOCTESAGENTI, DocumentTable::kHeaderAgents)) return;

  if (!RefreshRowAgentsWhenAsked(guard, support)) return;

  if (!run.Give(R::Recordset_DO30_DOCCORPO, DocumentTable::kBody)) return;
  if (!run.Give(R::Recordset_DO32_DOCCORPOPROV, DocumentTable::kCommissionRows)) return;
  if (!run.GiveWhenPresent(R::Recordset_DO69_DOCCORPOSCMAG, DocumentTable::kDiscountDetail)) {
    return;
  }
  if (!run.Position(BookmarkRiga) || !run.GiveTemporaryTable()) return;
  if (!guard([&] { run.Calculator().ImpostaRegimiProvvigioni(); })) return;
  if (!run.Report("Errore in CLSPA_CALCPROVV.ImpostaRegimiProvvigioni")) return;
  run.Release({R::Recordset_DO11_DOCTESTATA, R::Recordset_DO13_DOCTOTALI,
               R::Recordset_DO29_DOCTESAGENTI, R::Recordset_DO30_DOCCORPO,
               R::Recordset_DO32_DOCCORPOPROV, R::Recordset_DO69_DOCCORPOSCMAG});
}

void CLSMG_TARVOLIN::RicalcolaProvvigioni(const std::optional<Variant>& BookmarkRiga) {
  auto document = cc_;
  if (!document) return;
  CalculatorRun run(*this, *document, "RicalcolaProvvigioni");
  ErrorGuard& guard = run.guard;
  if (!run.Start()) return;
  CommissionSupport& support = document->Commissions();
  // Made by ImpostaProvvigioni; none here is an error like any other.
  if (!guard([&] { run.held = support.Switches().calculator; })) return;

  if (!run.Give(R::Recordset_DO11_DOCTESTATA, DocumentTable::kHeader)) return;
  if (!run.Give(R::Recordset_DO13_DOCTOTALI, DocumentTable::kTotals)) return;
  if (!run.Give(R::Recordset_DO14_DOCDATIACC, DocumentTable::kAccessoryData)) return;
  if (!run.Give(R::Recordset_DO29_DOCTESAGENTI, DocumentTable::kHeaderAgents)) return;
  if (!run.Give(R::Recordset_DO30_DOCCORPO, DocumentTable::kBody)) return;
  if (!run.Give(R::Recordset_DO31_DOCCORPOORD, DocumentTable::kBodyOrderData)) return;
  if (!run.Give(R::Recordset_DO32_DOCCORPOPROV, DocumentTable::kCommissionRows)) return;
  if (!run.GiveWhenPresent(R::Recordset_DO69_DOCCORPOSCMAG, DocumentTable::kDiscountDetail)) {
    return;
  }
  // Our documents have no configuration or project rows.
  if (!guard([&] { run.Calculator().SetRecordset(R::Recordset_DO39_DOCCORPOCONF, nullptr); })) {
    return;
  }
  if (!guard([&] { run.Calculator().SetRecordset(R::Recordset_DO41_DOCCORPOPROGE, nullptr); })) {
    return;
  }
  if (!run.Position(BookmarkRiga) || !run.GiveTemporaryTable()) return;

  // Prices recovered on a row with changed discounts follow the priority table.
  bool recover = false;
  if (!guard([&] {
        recover = support.Switches().price_recovery &&
                  NzDec(run.BodyClone().Get("DO30_FLGPRSCVAR")) != kZero;
      })) {
    return;
  }
  if (recover) {
    if (!guard([&] {
          run.Calculator().set_TabellaPrioritaLisPRecuperoPrezzi(
              GetTabellaPrioritaListiniP().CStr());
        })) {
      return;
    }
  }
  if (!guard([&] { run.Calculator().CalcolaProvvigioni(); })) return;
  if (!run.Report("Errore in CLSPA_CALCPROVV.CalcolaProvvigioni")) return;
  run.Release({R::Recordset_DO11_DOCTESTATA, R::Recordset_DO13_DOCTOTALI,
               R::Recordset_DO14_DOCDATIACC, R::Recordset_DO29_DOCTESAGENTI,
               R::Recordset_DO30_DOCCORPO, R::Recordset_DO31_DOCCORPOORD,
               R::Recordset_DO32_DOCCORPOPROV, R::Recordset_DO39_DOCCORPOCONF,
               R::Recordset_DO69_DOCCORPOSCMAG, R::Recordset_DO41_DOCCORPOPROGE});
}

}  // namespace tarvolin
