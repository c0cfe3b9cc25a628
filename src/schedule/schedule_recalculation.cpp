// The payment schedule rebuilt from the payment terms (through the document's
// payment-terms calculator) or from the installments entered by hand, and the
// comparison that tells the driver whether a rebuilt schedule differs from the
// one it replaced in anything that matters.
#include <algorithm>
#include <array>
#include <string_view>

#include "engine/engine_object.h"
#include "engine/failure_message.h"
#include "engine/statements.h"
#include "recordset/value_rules.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/schedule/payment_terms.h"

namespace tarvolin {
namespace {

constexpr char kProcedure[] = "RicalcolaScadenze";

constexpr FailureText kFailures[] = {
    {1, "MANCANO I PARAMETRI PER LA CONNESSIONE", 67599},
    {2, "MANCANO LE RATE", 67600},
    {3, "MANCA LA DESCRIZIONE DEL SOTTOTIPO EFFETTO", 67601},
    {4, "MANCA LA DATA DI RIFERIMENTO", 36754},
    {5, "ERRORE NEL CALCOLO DELLA DATA SCADENZA", 67602},
    {7, "IMPORTO FISSO SUPERIORE AL TOTALE DOCUMENTO", 67603},
    {8, "MANCA RIFERIMENTO ALLA DITTA CORRENTE", 67604},
    {9, "ERRORE NEL CALCOLO DELL'ARROTONDAMENTO", 67605},
    {10, "ERRORE DI CONVERSIONE DA VALUTA A EURO", 67396},
    {11, "ERRORE DI CONVERSIONE DA EURO A VALUTA", 67099},
    {12, "MANCA IL CLIENTE/FORNITORE", 67619},
    {99, "ERRORE VB", 67112},
};
constexpr FailureText kGenericFailure = {0, "ERRORE GENERICO", 25207};

// Fields of a schedule row that a rebuild may change without the schedule
// counting as different (states, notes and advance links of the host).
constexpr std::array<std::string_view, 11> kFieldsThatDoNotCount = {"DO79_INDTIPOMOV",
                                                                    "DO79_INDPRES_S",
                                                                    "DO79_INDGENSTATO_S",
                                                                    "DO79_INDSTATO_S",
                                                                    "DO79_IMPEFFNETPREV_S",
                                                                    "FLGACCONTOASSOCIATO",
                                                                    "NOTEAMMIN",
                                                                    "NOTERAGGR",
                                                                    "DO79_FLAGNOTE",
                                                                    "RESIDUO",
                                                                    "DO79_ACCONTO"};

bool HasCurrentRecord(const std::shared_ptr<Recordset>& recordset) {
  return recordset && !recordset->Bof() && !recordset->Eof();
}

bool Is(const Variant& value, int32_t number) { return NzDecimal(value) == Decimal(number); }

// A clone of an agents recordset carrying its sort (the cursor the agent
// rules filter without disturbing the document's).
std::shared_ptr<Recordset> SortedClone(const std::shared_ptr<Recordset>& source) {
  if (!source) Raise(err::kObjectNotSet, kProcedure, "the document has no agents recordset");
  auto clone = source->Clone();
  if (!source->Sort().empty()) clone->SetSort(source->Sort());
  return clone;
}

// The running totals of the stamps and collection expenses of the installments.
struct ExpenseTotals {
  Variant stamps = Variant(int16_t{0});
  Variant stamps_currency = Variant(int16_t{0});
  Variant collection = Variant(int16_t{0});
  Variant collection_currency = Variant(int16_t{0});
};

// The rebuild as a method object: the procedure's values are members, each
// step a method, and every statement runs on its own under the error
// service's answers (retry it, go on after it, or leave). A step returns
// false when the procedure ends there: the service said leave, or the
// document has no schedule to rebuild. A condition whose statement failed and
// was passed over counts as not met.
class ScheduleRebuild {
 public:
  ScheduleRebuild(CLSMG_TARVOLIN& engine, CoreDocument& document)
      : engine_(engine),
        document_(document),
        recordsets_(document.Recordsets()),
        state_(document.State()),
        run_(document.Dialogue().Errors(), kProcedure) {}

  void Run() {
    if (!ReadHeader() || !ReadAccount() || !ReadBank() || !ReferenceAgent() || !EmptySchedule() ||
        !ReadCurrency() || !ReadSuspension() || !ReadPaymentCode()) {
      return;
    }
    if (!(payment_code_.empty() ? FromHandEntered() : FromCalculator())) return;
    if (!WriteExpenseTotals()) return;
    run_([&] {
      auto schedule = recordsets_.Get(DocumentTable::kSchedule);
      if (schedule && schedule->RecordCount() > 0) schedule->MoveFirst();
    });
  }

 private:
  // The object a statement works on; a missing one fails the statement (91)
  // rather than the process.
  template <class T>
  static T& Use(const std::shared_ptr<T>& object, std::string_view what) {
    if (!object) Raise(err::kObjectNotSet, kProcedure, what);
    return *object;
  }
  PaymentTermsCalculator& Calculator() { return Use(calculator_, "no payment-terms calculator"); }
  Connection& Database() { return Use(engine_.ADOConnection(), "ADOConnection is not set"); }

  // A header and totals record and a document date.
  bool ReadHeader() {
    bool usable = false;
    if (!run_([&] {
          header_ = recordsets_.Get(DocumentTable::kHeader);
          totals_ = recordsets_.Get(DocumentTable::kTotals);
          usable = HasCurrentRecord(header_) && HasCurrentRecord(totals_);
        })) {
      return false;
    }
    if (!usable) return false;
    bool dated = false;
    if (!run_([&] { dated = !NzStr(Use(header_, "no header").Get("DO11_DATADOC")).empty(); })) {
      return false;
    }
    return dated;
  }

  // The account the installments belong to: the party, or the account of a
  // document without one.
  bool ReadAccount() {
    Variant party_kind;
    if (!run_([&] { party_kind = NzDec(header_->Get("DO11_INDTIPOCODCF")); })) return false;
    if (Is(party_kind, 1) || Is(party_kind, 2)) {
      bool no_code = false;
      if (!run_([&] { no_code = Is(header_->Get("DO11_CLIFOR_CG44"), 0); })) return false;
      if (no_code) return false;
      return run_([&] { args_.IndConto = NzDec(header_->Get("DO11_TIPOCF_CG44")).CInt(); });
    }
    if (!Is(party_kind, 0)) return true;
    args_.DocumentoIntraOrNoClienteFornitore = true;
    std::shared_ptr<Recordset> counterpart, account;
    bool usable = false;
    if (!run_([&] {
          counterpart = recordsets_.Get(DocumentTable::kCounterpart);
          usable = HasCurrentRecord(counterpart);
        })) {
      return false;
    }
    if (!usable) return false;
    if (!run_([&] { args_.CodiceConto = NzStr(counterpart->Get("DO23_CONTOPAR")); })) return false;
    if (args_.CodiceConto.empty()) return false;
    if (!run_.Each(
            [&] {
              account = Database().Execute(
                  statements::AccountKind(document_.Company()->accounts_group, args_.CodiceConto));
            },
            [&] {
              args_.IndConto = -1;
              if (Use(account, "no account result").Eof()) return;
              const Variant side = NzDec(account->Get("CG24_INDATTPASSPOR"));
              if (Is(side, 1)) args_.IndConto = 2;
              if (Is(side, 2)) args_.IndConto = 3;
            },
            [&] { Use(account, "no account result").Close(); })) {
      return false;
    }
    return args_.IndConto != -1;
  }

  // The presentation bank of the document's bank progressive.
  bool ReadBank() {
    args_.BancaPresentazione = Variant::Null();
    args_.AgenziaPresentazione = Variant::Null();
    Variant progressive;
    if (!run_([&] { progressive = header_->Get("DO11_PROGR_EF08"); })) return false;
    args_.ProgressivoBanca = progressive;
    if (Is(progressive, 0)) return true;
    std::shared_ptr<Recordset> banks;
    return run_.Each(
        [&] {
          banks = Database().Execute(
              statements::Bank(document_.CompanyNumber(), NzDec(progressive).CStr()));
        },
        [&] {
          if (Use(banks, "no bank result").Eof()) return;
          args_.BancaPresentazione = banks->Get("EF08_BANCA_CG12");
          args_.AgenziaPresentazione = Is(header_->Get("DO11_TIPOCF_CG44"), 1)
                                           ? NzDec(banks->Get("EF08_CABBONIF_CG13"))
                                           : NzDec(banks->Get("EF08_CABCONTO_CG13"));
        },
        [&] { Use(banks, "no bank result").Close(); });
  }

  // The agent of reference: the header agent flagged as such when the rows
  // have it, the only header agent, else the first row or header agent.
  bool ReferenceAgent() {
    const bool header_flag = state_.header_agents;
    const bool row_flag = state_.row_agents;
    Variant agent = Variant(int16_t{0});
    std::shared_ptr<Recordset> header_agents, row_agents;
    if (header_flag && !run_([&] {
          header_agents = SortedClone(recordsets_.Get(DocumentTable::kHeaderAgents));
        })) {
      return false;
    }
    if (row_flag &&
        !run_([&] { row_agents = SortedClone(recordsets_.Get(DocumentTable::kAgents)); })) {
      return false;
    }
    if (header_flag && row_flag && !AgentOfBoth(header_agents, row_agents, agent)) return false;
    const auto first_of = [&](const std::shared_ptr<Recordset>& agents, const char* field) {
      return run_([&] {
        if (Use(agents, "no agents").RecordCount() == 0) return;
        agents->MoveFirst();
        const Variant first = NzDec(agents->Get(field));
        if (NzDecimal(first) > Decimal(0)) agent = first;
      });
    };
    if (row_flag && Is(agent, 0) && !first_of(row_agents, "DO21_IDAGENTE_MG17")) return false;
    if (header_flag && Is(agent, 0) && !first_of(header_agents, "DO29_IDAGENTE_MG17")) {
      return false;
    }
    args_.CodiceAgente = NzDecimal(agent) > Decimal(0) ? agent.CStr() : "";
    return true;
  }

  // With agents on both the header and the rows: the header agent flagged
  // as the reference when the rows have it too, else the only header agent.
  bool AgentOfBoth(const std::shared_ptr<Recordset>& header_agents,
                   const std::shared_ptr<Recordset>& row_agents, Variant& agent) {
    bool flagged = false;
    if (!run_([&] {
          Use(header_agents, "no header agents").SetFilter("DO29_FLGAGERIFER = 1");
          flagged = header_agents->RecordCount() > 0;
        })) {
      return false;
    }
    if (flagged) {
      return run_([&] {
        const Variant reference = NzDec(header_agents->Get("DO29_IDAGENTE_MG17"));
        Use(row_agents, "no row agents").SetFilter("DO21_IDAGENTE_MG17 = " + reference.CStr());
        if (row_agents->RecordCount() > 0) agent = reference;
      });
    }
    return run_.Each([&] { Use(header_agents, "no header agents").ClearFilter(); },
                     [&] {
                       if (header_agents->RecordCount() == 1) {
                         agent = NzDec(header_agents->Get("DO29_IDAGENTE_MG17"));
                       }
                     });
  }

  // The old installments go; the new ones are added through this clone.
  bool EmptySchedule() {
    if (!run_([&] {
          schedule_ =
              Use(recordsets_.Get(DocumentTable::kSchedule), "the document has no payment schedule")
                  .Clone();
        })) {
      return false;
    }
    // As many deletions as there are rows: a row that cannot be deleted (and
    // is passed over) must not keep the loop going.
    int32_t rows = 0;
    if (!run_([&] { rows = Use(schedule_, "no schedule").RecordCount(); })) return false;
    for (; rows > 0; --rows) {
      if (!run_.Each([&] { schedule_->MoveFirst(); }, [&] { schedule_->Delete(); })) return false;
    }
    return true;
  }

  // The currency of the installments and its rate.
  bool ReadCurrency() {
    return run_([&] {
      company_currency_ = document_.NoConversion();
      if (company_currency_) {
        args_.CodiceValuta = document_.Services().CompanyCurrencyCode();
        rate_ = Variant(int16_t{0});
      } else {
        args_.CodiceValuta = NzStr(header_->Get("DO11_VALUTA_CG08"));
        rate_ = NzDec(header_->Get("DO11_CAMBIO"));
      }
    });
  }

  // A document block may suspend the installments.
  bool ReadSuspension() {
    bool managed = false;
    if (!run_([&] { managed = Is(document_.DocumentSetting("FLGGESBLOCCHI"), 1); })) return false;
    if (!managed) return true;
    std::string statement;
    if (!run_([&] {
          if (state_.document_mode == 2) {
            const std::string cause = NzStr(document_.DocumentSetting("CAUSBLOCCO"));
            if (Is(document_.DocumentSetting("FLGBLOCCATO"), 1) && !cause.empty()) {
              statement = statements::SuspendingCause(cause);
            }
          } else {
            statement = statements::SuspendedDocument(document_.CompanyNumber(),
                                                      NzStr(header_->Get("DO11_NUMREG_CO99")));
          }
        })) {
      return false;
    }
    if (statement.empty()) return true;
    std::shared_ptr<Recordset> blocks;
    return run_.Each([&] { blocks = Database().Execute(statement); },
                     [&] { suspended_ = !Use(blocks, "no block result").Eof(); },
                     [&] { Use(blocks, "no block result").Close(); });
  }

  bool ReadPaymentCode() {
    const Variant zero(int16_t{0});
    args_.ImportoAbbuono = args_.ImportoAcconto = args_.ImportoPagato = zero;
    args_.ImportoScontoIncondEuro = args_.ImportoScontoIncondValuta = zero;
    args_.ImportoOmaggiNoRivEuro = args_.ImportoOmaggiNoRivValuta = zero;
    args_.TipoMerce = zero;
    return run_([&] { payment_code_ = NzStr(header_->Get("DO11_CODPAG_CG62")); });
  }

  // The document's calculator, made the first time, given the document.
  bool GiveCalculatorTheDocument() {
    if (!run_([&] {
          calculator_ = state_.payment_terms;
          if (calculator_) return;
          calculator_ = MakePaymentTermsCalculator();
          state_.payment_terms = calculator_;
          calculator_->connection = engine_.ADOConnection();
          calculator_->connection_string = engine_.ADOConnectionString();
          calculator_->company = document_.Company();
        })) {
      return false;
    }
    const Variant zero(int16_t{0});
    const Variant document_side = company_currency_ ? Variant() : zero;
    const auto inputs = [&]() -> PaymentTermsInputs& { return Calculator().inputs; };
    return run_.Each(
        [&] { inputs().party_type = NzDec(header_->Get("DO11_TIPOCF_CG44")); },
        [&] { inputs().party_code = NzDec(header_->Get("DO11_CLIFOR_CG44")); },
        [&] { inputs().option = false; }, [&] { inputs().payment_code = payment_code_; },
        [&] { inputs().currency = args_.CodiceValuta; }, [&] { inputs().exchange_rate = rate_; },
        [&] { inputs().document_date = NzStr(header_->Get("DO11_DATADOC")); },
        [&] { inputs().payment_start_date = NzStr(header_->Get("DO11_DATAINIZIOPAG")); },
        [&] {
          const Variant type = NzDec(header_->Get("DO11_TIPODOC"));
          const Variant subtype = NzDec(header_->Get("DO11_STIPODOC"));
          if (Is(type, 3) && (Is(subtype, 1) || Is(subtype, 2)) && state_.use_reference_dates) {
            inputs().first_reference_date = Variant(state_.first_reference_date.CDate());
          }
        },
        [&] {
          if (state_.use_reference_dates) {
            inputs().second_reference_date = Variant(state_.second_reference_date.CDate());
          }
        },
        [&] { inputs().stamps_flag = NzStr(header_->Get("DO11_FLGSPBOLLI")); },
        [&] { inputs().collection_flag = NzStr(header_->Get("DO11_FLGSPINCAS")); },
        [&] { inputs().no_staggering = Is(header_->Get("DO11_FLGPAGNOSCAG"), 1); },
        [&] {
          const Variant fixed = NzDec(header_->Get("DO11_IMPORPAGFIX"));
          (company_currency_ ? inputs().fixed_amount.company : inputs().fixed_amount.document) =
              fixed;
        },
        [&] {
          const Variant mode = NzDec(header_->Get("DO11_INDIMPORFIX"));
          if (Is(mode, 0) || Is(mode, 1) || Is(mode, 2)) inputs().fixed_amount_mode = mode;
        },
        [&] { inputs().numeric = zero; },
        [&] {
          inputs().first_amounts = {zero, document_side};
        },
        [&] {
          inputs().taxable = {
              NzDec(totals_->Get("DO13_TOTIMPONIBILE")),
              company_currency_ ? Variant() : NzDec(totals_->Get("DO13_TOTIMPONIBILE_VAL"))};
        },
        [&] {
          if (args_.DocumentoIntraOrNoClienteFornitore) {
            inputs().tax = {zero, document_side};
          } else {
            inputs().tax = {NzDec(totals_->Get("DO13_TOTIVA")),
                            company_currency_ ? Variant() : NzDec(totals_->Get("DO13_TOTIVA_VAL"))};
          }
        },
        [&] {
          inputs().further_amounts_1 = {zero, document_side};
        },
        [&] {
          inputs().further_amounts_2 = {zero, document_side};
        });
  }

  // The installments the calculator gives for the payment terms.
  bool FromCalculator() {
    if (!GiveCalculatorTheDocument()) return false;
    int32_t result = 0;
    if (!run_.Each(
            [&] {
              int32_t mode = 2;
              Calculator().Calculate(mode);
            },
            [&] { result = Calculator().result_code; })) {
      return false;
    }
    if (result != 0) {
      // Told to the user; the schedule stays empty.
      run_([&] { TellCalculatorFailure(result); });
      return false;
    }
    std::string used;
    if (!run_([&] { used = NzStr(Variant(Calculator().payment_code)); })) return false;
    if (!used.empty() && used != payment_code_) {
      if (!run_.Each([&] { state_.payment_substituted = true; },
                     [&] { state_.substituted_payment_code = used; },
                     [&] { args_.CondizioneDiPagamento = state_.substituted_payment_code; })) {
        return false;
      }
    } else if (!run_.Each([&] { state_.payment_substituted = false; },
                          [&] { state_.substituted_payment_code.clear(); },
                          [&] { args_.CondizioneDiPagamento = payment_code_; })) {
      return false;
    }
    size_t count = 0;
    if (!run_([&] {
          count = Calculator().installments.size();
          args_.TotaleRate = static_cast<int16_t>(count);
        })) {
      return false;
    }
    // Indexed, not iterated: the error service may correct the calculator's
    // installments before a retry.
    for (size_t i = 0; i < count; ++i) {
      if (!run_([&] { AddCalculatorInstallment(Calculator().installments.at(i)); })) return false;
    }
    return run_.Each(
        [&] { expenses_.stamps = Calculator().total_stamps.company; },
        [&] { expenses_.stamps_currency = Calculator().total_stamps.document; },
        [&] { expenses_.collection = Calculator().total_collection_expenses.company; },
        [&] { expenses_.collection_currency = Calculator().total_collection_expenses.document; });
  }

  void TellCalculatorFailure(int32_t result) {
    document_.Dialogue().MessageBox(FailureMessage(engine_, "Errore nel calcolo delle scadenze",
                                                   67598, kFailures, kGenericFailure, result),
                                    kProcedure, DialogueServices::kInformationStyle);
  }

  // One AddScadenza call with its arguments: one statement.
  void AddCalculatorInstallment(const PaymentInstallment& item) {
    args_.TipoEffetto = item.effect_type.CInt();
    args_.SottoTipoEffetto = NzStr(item.effect_subtype);
    args_.DataScadenza = item.due_date.CDate();
    args_.ImportoScadenzaEuro = item.amount.company - item.withholding.company;
    args_.ImportoScadenzaValuta = item.amount.document - item.withholding.document;
    args_.ImportoIvaEuro = item.tax.company;
    args_.ImportoIvaValuta = item.tax.document;
    args_.ImportoRitenutaEuro = item.withholding.company;
    args_.ImportoRitenutaValuta = item.withholding.document;
    args_.BolliEuro = item.stamps.company;
    args_.BolliValuta = item.stamps.document;
    args_.SpeseIncassoEuro = item.collection_expenses.company;
    args_.SpeseIncassoValuta = item.collection_expenses.document;
    args_.ScadenzaSospesa =
        args_.TipoEffetto == 1 || (args_.TipoEffetto == 9 && state_.type9_never_suspended)
            ? false
            : suspended_;
    args_.DataDecorrenza = item.interest_start_date;
    engine_.AddScadenza(schedule_, args_);
  }

  // The installments entered by hand (no payment code).
  bool FromHandEntered() {
    const Variant zero(int16_t{0});
    args_.TotaleRate = state_.hand_entered_installments;
    args_.ImportoRitenutaEuro = args_.ImportoRitenutaValuta = zero;
    for (int16_t i = 1; i <= state_.hand_entered_installments; ++i) {
      const auto column = [&](int c) -> const Variant& {
        if (static_cast<size_t>(i) > state_.installment_table.size()) {
          Raise(err::kSubscriptOutOfRange, kProcedure,
                "hand-entered installment " + std::to_string(i) + " is not in the table of " +
                    std::to_string(state_.installment_table.size()));
        }
        return state_.installment_table[static_cast<size_t>(i) - 1][static_cast<size_t>(c) - 1];
      };
      const auto add = [&](Variant& total, int c) {
        return [&total, &column, c] { total = total + column(c); };
      };
      if (!run_([&] {
            args_.TipoEffetto = column(1).CInt();
            args_.SottoTipoEffetto = column(2).CStr();
            args_.DataScadenza = column(3).CDate();
            args_.ImportoScadenzaEuro = column(4);
            args_.ImportoScadenzaValuta = column(8);
            args_.ImportoIvaEuro = column(5);
            args_.ImportoIvaValuta = column(9);
            args_.BolliEuro = column(6);
            args_.BolliValuta = column(10);
            args_.SpeseIncassoEuro = column(7);
            args_.SpeseIncassoValuta = column(11);
            args_.CondizioneDiPagamento = column(12).CStr();
            args_.ScadenzaSospesa = Is(column(1), 1) ? false : suspended_;
            args_.DataDecorrenza = column(13);
            engine_.AddScadenza(schedule_, args_);
          }) ||
          !run_.Each(add(expenses_.stamps, 6), add(expenses_.stamps_currency, 10),
                     add(expenses_.collection, 7), add(expenses_.collection_currency, 11),
                     add(expenses_.stamps, 14), add(expenses_.stamps_currency, 15))) {
        return false;
      }
    }
    return true;
  }

  // The document's stamp and collection-expense totals follow the installments.
  bool WriteExpenseTotals() {
    const auto write = [&](const char* field, const Variant& value) {
      return [this, field, &value] { WriteIfChanged(*totals_, field, value); };
    };
    const auto make_null = [&](const char* field) {
      return [this, field] {
        if (!totals_->Get(field).IsNull()) totals_->Set(field, Variant::Null());
      };
    };
    if (company_currency_) {
      return run_.Each(write("DO13_TOTSPBOLLI", expenses_.stamps), make_null("DO13_TOTSPBOLLI_VAL"),
                       write("DO13_TOTSPINC", expenses_.collection),
                       make_null("DO13_TOTSPINC_VAL"));
    }
    return run_.Each(write("DO13_TOTSPBOLLI_VAL", expenses_.stamps_currency),
                     write("DO13_TOTSPBOLLI", expenses_.stamps),
                     write("DO13_TOTSPINC_VAL", expenses_.collection_currency),
                     write("DO13_TOTSPINC", expenses_.collection));
  }

  CLSMG_TARVOLIN& engine_;
  CoreDocument& document_;
  DocumentRecordsets& recordsets_;
  DocumentState& state_;
  ErrorGuard run_;
  std::shared_ptr<Recordset> header_, totals_, schedule_;
  std::shared_ptr<PaymentTermsCalculator> calculator_;
  ICLSMG_TARVOLIN::AddScadenzaArgs args_;
  std::string payment_code_;
  bool company_currency_ = false;
  Variant rate_;
  bool suspended_ = false;
  ExpenseTotals expenses_;
};

}  // namespace

void CLSMG_TARVOLIN::RicalcolaScadenze() {
  if (!cc_) return;
  ScheduleRebuild(*this, *cc_).Run();
}

bool CLSMG_TARVOLIN::ScadenzeDiverse(const std::shared_ptr<Recordset>& old_schedule,
                                     const std::shared_ptr<Recordset>& new_schedule) {
  if (!old_schedule || old_schedule->RecordCount() == 0) return true;
  if (!new_schedule || new_schedule->RecordCount() == 0) return false;
  auto after = new_schedule->Clone();
  bool differs = old_schedule->RecordCount() != after->RecordCount();
  old_schedule->MoveFirst();
  after->MoveFirst();
  // The counterpart of each field of the old schedule, resolved once.
  struct Pair {
    FieldRef before;
    FieldRef after;
    bool numeric;
    bool counts;
  };
  std::vector<Pair> pairs;
  for (int i = 0; i < old_schedule->FieldCount(); ++i) {
    const FieldInfo& field = old_schedule->Field(i);
    const bool counts =
        std::none_of(kFieldsThatDoNotCount.begin(), kFieldsThatDoNotCount.end(),
                     [&](std::string_view name) { return EqualsNoCase(name, field.name); });
    pairs.push_back({FieldRef(i), after->Resolve(field.name), IsNumeric(field.type), counts});
  }
  while (!old_schedule->Eof() && !after->Eof()) {
    for (const Pair& pair : pairs) {
      const Variant& before_value = old_schedule->Get(pair.before);
      const Variant& after_value = after->Get(pair.after);
      const bool different = pair.numeric ? NzDecimal(before_value) != NzDecimal(after_value)
                                          : NzStr(before_value) != NzStr(after_value);
      if (different && pair.counts) return true;
    }
    old_schedule->MoveNext();
    after->MoveNext();
  }
  return differs;
}

}  // namespace tarvolin
