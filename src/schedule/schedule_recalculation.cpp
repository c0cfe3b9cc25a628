// The payment schedule rebuilt from the payment terms (through the document's
// payment-terms calculator) or from the installments entered by hand, and the
// comparison that tells the driver whether a rebuilt schedule differs from the
// one it replaced in anything that matters.
#include <algorithm>
#include <array>
#include <string_view>

#include "engine/failure_message.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/schedule/payment_terms.h"

namespace tarvolin {
namespace {

constexpr char kProcedure[] = "RicalcolaScadenze";
constexpr int32_t kInformationStyle = 64;

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

bool IsNumericType(DataType type) {
  switch (static_cast<int>(type)) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 14:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 131:
      return true;
    default:
      return false;
  }
}

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

}  // namespace

void CLSMG_TARVOLIN::RicalcolaScadenze() {
  auto document = cc_;
  if (!document) return;
  ErrorGuard guard(document->Dialogue().Errors(), kProcedure);
  auto& recordsets = document->Recordsets();
  DocumentState& state = document->State();
  std::shared_ptr<Recordset> header, totals;
  bool proceed = true;

  // 1. A document without header, totals or date has no schedule to rebuild.
  if (!guard([&] {
        header = recordsets.Get(DocumentTable::kHeader);
        totals = recordsets.Get(DocumentTable::kTotals);
        proceed = HasCurrentRecord(header) && HasCurrentRecord(totals) &&
                  !NzStr(header->Get("DO11_DATADOC")).empty();
      }) ||
      !proceed) {
    return;
  }

  // 2. The account the installments belong to.
  int16_t account_kind = 0;
  std::string account_code;
  bool no_party = false;
  if (!guard([&] {
        const Variant party_kind = NzDec(header->Get("DO11_INDTIPOCODCF"));
        if (Is(party_kind, 0)) {
          no_party = true;
          auto counterpart = recordsets.Get(DocumentTable::kCounterpart);
          if (!HasCurrentRecord(counterpart)) {
            proceed = false;
            return;
          }
          account_code = NzStr(counterpart->Get("DO23_CONTOPAR"));
          if (account_code.empty()) {
            proceed = false;
            return;
          }
          auto account = RequireConnection()->Execute(
              " SELECT    CG24_INDATTPASSPOR FROM    CG24_TABPDC WITH (NOLOCK) WHERE    "
              "CG24_GRUPPO_CG10 = " +
              document->Company()->accounts_group + " AND    CG24_CONTO = '" +
              SqlQuoted(account_code) + "'");
          account_kind = -1;
          if (!account->Eof()) {
            const Variant side = NzDec(account->Get("CG24_INDATTPASSPOR"));
            if (Is(side, 1)) account_kind = 2;
            if (Is(side, 2)) account_kind = 3;
          }
          account->Close();
          if (account_kind == -1) proceed = false;
        } else if (Is(party_kind, 1) || Is(party_kind, 2)) {
          if (Is(header->Get("DO11_CLIFOR_CG44"), 0)) {
            proceed = false;
            return;
          }
          account_kind = NzDec(header->Get("DO11_TIPOCF_CG44")).CInt();
        }
      }) ||
      !proceed) {
    return;
  }

  // 3. The presentation bank.
  Variant bank = Variant::Null();
  Variant branch = Variant::Null();
  Variant bank_progressive;
  if (!guard([&] {
        bank_progressive = header->Get("DO11_PROGR_EF08");
        if (Is(bank_progressive, 0)) return;
        auto banks = RequireConnection()->Execute(
            " SELECT    EF08_BANCA_CG12,    EF08_CABCONTO_CG13,    EF08_CABBONIF_CG13 FROM    "
            "EF08_BANCHE WITH (NOLOCK) WHERE    EF08_DITTA_CG18 = " +
            std::to_string(document->CompanyNumber()) +
            " AND    EF08_PROGR = " + NzDec(bank_progressive).CStr());
        if (!banks->Eof()) {
          bank = banks->Get("EF08_BANCA_CG12");
          branch = Is(header->Get("DO11_TIPOCF_CG44"), 1) ? NzDec(banks->Get("EF08_CABBONIF_CG13"))
                                                          : NzDec(banks->Get("EF08_CABCONTO_CG13"));
        }
        banks->Close();
      })) {
    return;
  }

  // 4. The agent of reference.
  Variant agent_id = Variant(int16_t{0});
  if (!guard([&] {
        const bool header_flag = state.header_agents;
        const bool row_flag = state.row_agents;
        if (!header_flag && !row_flag) return;
        std::shared_ptr<Recordset> header_agents, row_agents;
        if (header_flag) header_agents = SortedClone(recordsets.Get(DocumentTable::kHeaderAgents));
        if (row_flag) row_agents = SortedClone(recordsets.Get(DocumentTable::kAgents));
        if (header_flag && row_flag) {
          header_agents->SetFilter("DO29_FLGAGERIFER = 1");
          if (header_agents->RecordCount() > 0) {
            const Variant reference = NzDec(header_agents->Get("DO29_IDAGENTE_MG17"));
            row_agents->SetFilter("DO21_IDAGENTE_MG17 = " + reference.CStr());
            if (row_agents->RecordCount() > 0) agent_id = reference;
          } else {
            header_agents->ClearFilter();
            if (header_agents->RecordCount() == 1) {
              agent_id = NzDec(header_agents->Get("DO29_IDAGENTE_MG17"));
            }
          }
        }
        if (row_flag && Is(agent_id, 0) && row_agents->RecordCount() > 0) {
          row_agents->MoveFirst();
          const Variant first = NzDec(row_agents->Get("DO21_IDAGENTE_MG17"));
          if (NzDecimal(first) > Decimal(0)) agent_id = first;
        }
        if (header_flag && Is(agent_id, 0) && header_agents->RecordCount() > 0) {
          header_agents->MoveFirst();
          const Variant first = NzDec(header_agents->Get("DO29_IDAGENTE_MG17"));
          if (NzDecimal(first) > Decimal(0)) agent_id = first;
        }
      })) {
    return;
  }

  // 5. The schedule is emptied; the installments are added through this clone.
  std::shared_ptr<Recordset> schedule;
  if (!guard([&] {
        auto source = recordsets.Get(DocumentTable::kSchedule);
        if (!source) Raise(err::kObjectNotSet, kProcedure, "the document has no payment schedule");
        schedule = source->Clone();
        while (schedule->RecordCount() > 0) {
          schedule->MoveFirst();
          schedule->Delete();
        }
      })) {
    return;
  }

  // 6. The currency of the installments.
  bool company_currency = false;
  std::string currency;
  Variant rate;
  if (!guard([&] {
        company_currency = document->NoConversion();
        if (company_currency) {
          currency = document->Services().CompanyCurrencyCode();
          rate = Variant(int16_t{0});
        } else {
          currency = NzStr(header->Get("DO11_VALUTA_CG08"));
          rate = NzDec(header->Get("DO11_CAMBIO"));
        }
      })) {
    return;
  }

  // 7. A document block may suspend the installments.
  bool suspended = false;
  if (!guard([&] {
        if (!Is(document->DocumentSetting("FLGGESBLOCCHI"), 1)) return;
        std::string statement;
        if (state.document_mode == 2) {
          const std::string cause = NzStr(document->DocumentSetting("CAUSBLOCCO"));
          if (Is(document->DocumentSetting("FLGBLOCCATO"), 1) && !cause.empty()) {
            statement =
                " SELECT    1 FROM    MG3K_DOCBLOCCHI WITH (NOLOCK) WHERE    "
                "MG3K_CODBLOCCO = '" +
                SqlQuoted(cause) + "' AND    MG3K_FLGSOSPSCAD = 1";
          }
        } else {
          statement =
              " SELECT    1 FROM    DO66_DOCTESTABLOCCHI WITH (NOLOCK) WHERE    "
              "DO66_DITTA_CG18 = " +
              std::to_string(document->CompanyNumber()) + " AND    DO66_NUMREG_CO99 = '" +
              SqlQuoted(NzStr(header->Get("DO11_NUMREG_CO99"))) +
              "' AND    DO66_FLGBLOCCATO = 1 AND    DO66_FLGSOSPSCAD = 1";
        }
        if (statement.empty()) return;
        auto blocks = RequireConnection()->Execute(statement);
        suspended = !blocks->Eof();
        blocks->Close();
      })) {
    return;
  }

  // 8. The agent as the installments carry it.
  const std::string agent_code = NzDecimal(agent_id) > Decimal(0) ? agent_id.CStr() : "";

  AddScadenzaArgs args;
  args.IndConto = account_kind;
  args.CodiceConto = account_code;
  args.CodiceValuta = currency;
  args.DocumentoIntraOrNoClienteFornitore = no_party;
  args.CodiceAgente = agent_code;
  const Variant zero(int16_t{0});
  args.ImportoAbbuono = args.ImportoAcconto = args.ImportoPagato = zero;
  args.ImportoScontoIncondEuro = args.ImportoScontoIncondValuta = zero;
  args.ImportoOmaggiNoRivEuro = args.ImportoOmaggiNoRivValuta = zero;
  args.BancaPresentazione = bank;
  args.AgenziaPresentazione = branch;
  args.ProgressivoBanca = bank_progressive;
  args.TipoMerce = zero;
  ExpenseTotals expenses;

  // 9. Without a payment code the installments are those entered by hand.
  std::string payment_code;
  if (!guard([&] { payment_code = NzStr(header->Get("DO11_CODPAG_CG62")); })) return;

  if (!payment_code.empty()) {
    // 10. The calculator, given the document.
    std::shared_ptr<PaymentTermsCalculator> calculator;
    if (!guard([&] {
          calculator = state.payment_terms;
          if (!calculator) {
            calculator = MakePaymentTermsCalculator();
            state.payment_terms = calculator;
            calculator->connection = RequireConnection();
            calculator->connection_string = connection_string_;
            calculator->company = document->Company();
          }
          PaymentTermsInputs& in = calculator->inputs;
          in.party_type = NzDec(header->Get("DO11_TIPOCF_CG44"));
          in.party_code = NzDec(header->Get("DO11_CLIFOR_CG44"));
          in.option = false;
          in.payment_code = payment_code;
          in.currency = currency;
          in.exchange_rate = rate;
          in.document_date = NzStr(header->Get("DO11_DATADOC"));
          in.payment_start_date = NzStr(header->Get("DO11_DATAINIZIOPAG"));
          const Variant document_type = NzDec(header->Get("DO11_TIPODOC"));
          const Variant subtype = NzDec(header->Get("DO11_STIPODOC"));
          if (Is(document_type, 3) && (Is(subtype, 1) || Is(subtype, 2)) &&
              state.use_reference_dates) {
            in.first_reference_date = Variant(state.first_reference_date.CDate());
          }
          if (state.use_reference_dates) {
            in.second_reference_date = Variant(state.second_reference_date.CDate());
          }
          in.stamps_flag = NzStr(header->Get("DO11_FLGSPBOLLI"));
          in.collection_flag = NzStr(header->Get("DO11_FLGSPINCAS"));
          in.no_staggering = Is(header->Get("DO11_FLGPAGNOSCAG"), 1);
          const Variant fixed = NzDec(header->Get("DO11_IMPORPAGFIX"));
          (company_currency ? in.fixed_amount.company : in.fixed_amount.document) = fixed;
          const Variant fixed_mode = NzDec(header->Get("DO11_INDIMPORFIX"));
          if (Is(fixed_mode, 0) || Is(fixed_mode, 1) || Is(fixed_mode, 2)) {
            in.fixed_amount_mode = fixed_mode;
          }
          in.numeric = zero;
          const Variant document_side = company_currency ? Variant() : zero;
          in.first_amounts = {zero, document_side};
          in.taxable = {
              NzDec(totals->Get("DO13_TOTIMPONIBILE")),
              company_currency ? Variant() : NzDec(totals->Get("DO13_TOTIMPONIBILE_VAL"))};
          if (no_party) {
            in.tax = {zero, document_side};
          } else {
            in.tax = {NzDec(totals->Get("DO13_TOTIVA")),
                      company_currency ? Variant() : NzDec(totals->Get("DO13_TOTIVA_VAL"))};
          }
          in.further_amounts_1 = {zero, document_side};
          in.further_amounts_2 = {zero, document_side};
          int32_t mode = 2;
          calculator->Calculate(mode);
        })) {
      return;
    }

    // 11. A failure is told to the user; the schedule stays empty.
    const int32_t result = calculator->result_code;
    if (result != 0) {
      guard([&] {
        document->Dialogue().MessageBox(FailureMessage(*this, "Errore nel calcolo delle scadenze",
                                                       67598, kFailures, kGenericFailure, result),
                                        kProcedure, kInformationStyle);
      });
      return;
    }

    // 12. The payment code the calculator actually used.
    if (!guard([&] {
          const std::string used = calculator->payment_code;
          if (!used.empty() && used != payment_code) {
            state.payment_substituted = true;
            state.substituted_payment_code = used;
            args.CondizioneDiPagamento = state.substituted_payment_code;
          } else {
            state.payment_substituted = false;
            state.substituted_payment_code.clear();
            args.CondizioneDiPagamento = payment_code;
          }
        })) {
      return;
    }

    // 13. One row per installment, then the calculator's expense totals.
    if (!guard([&] {
          const auto& installments = calculator->installments;
          args.TotaleRate = static_cast<int16_t>(installments.size());
          for (const PaymentInstallment& item : installments) {
            args.TipoEffetto = item.effect_type.CInt();
            args.SottoTipoEffetto = NzStr(item.effect_subtype);
            args.DataScadenza = item.due_date.CDate();
            args.ImportoScadenzaEuro = item.amount.company - item.withholding.company;
            args.ImportoScadenzaValuta = item.amount.document - item.withholding.document;
            args.ImportoIvaEuro = item.tax.company;
            args.ImportoIvaValuta = item.tax.document;
            args.ImportoRitenutaEuro = item.withholding.company;
            args.ImportoRitenutaValuta = item.withholding.document;
            args.BolliEuro = item.stamps.company;
            args.BolliValuta = item.stamps.document;
            args.SpeseIncassoEuro = item.collection_expenses.company;
            args.SpeseIncassoValuta = item.collection_expenses.document;
            args.ScadenzaSospesa =
                args.TipoEffetto == 1 || (args.TipoEffetto == 9 && state.type9_never_suspended)
                    ? false
                    : suspended;
            args.DataDecorrenza = item.interest_start_date;
            Self().AddScadenza(schedule, args);
          }
          expenses.stamps = calculator->total_stamps.company;
          expenses.stamps_currency = calculator->total_stamps.document;
          expenses.collection = calculator->total_collection_expenses.company;
          expenses.collection_currency = calculator->total_collection_expenses.document;
        })) {
      return;
    }
  } else {
    // 14. The installments entered by hand.
    if (!guard([&] {
          args.TotaleRate = state.hand_entered_installments;
          for (int16_t i = 1; i <= state.hand_entered_installments; ++i) {
            if (static_cast<size_t>(i) > state.installment_table.size()) {
              Raise(err::kSubscriptOutOfRange, kProcedure,
                    "hand-entered installment " + std::to_string(i) + " is not in the table of " +
                        std::to_string(state.installment_table.size()));
            }
            const auto& row = state.installment_table[static_cast<size_t>(i) - 1];
            const auto column = [&](int c) -> const Variant& {
              return row[static_cast<size_t>(c) - 1];
            };
            args.TipoEffetto = column(1).CInt();
            args.SottoTipoEffetto = column(2).CStr();
            args.DataScadenza = column(3).CDate();
            args.ImportoScadenzaEuro = column(4);
            args.ImportoScadenzaValuta = column(8);
            args.ImportoIvaEuro = column(5);
            args.ImportoIvaValuta = column(9);
            args.ImportoRitenutaEuro = args.ImportoRitenutaValuta = zero;
            args.BolliEuro = column(6);
            args.BolliValuta = column(10);
            args.SpeseIncassoEuro = column(7);
            args.SpeseIncassoValuta = column(11);
            args.CondizioneDiPagamento = column(12).CStr();
            args.ScadenzaSospesa = Is(column(1), 1) ? false : suspended;
            args.DataDecorrenza = column(13);
            Self().AddScadenza(schedule, args);
            expenses.stamps = expenses.stamps + column(6);
            expenses.stamps_currency = expenses.stamps_currency + column(10);
            expenses.collection = expenses.collection + column(7);
            expenses.collection_currency = expenses.collection_currency + column(11);
            expenses.stamps = expenses.stamps + column(14);
            expenses.stamps_currency = expenses.stamps_currency + column(15);
          }
        })) {
      return;
    }
  }

  // 15. The document's stamp and collection-expense totals follow the installments.
  if (!guard([&] {
        if (company_currency) {
          WriteIfChanged(*totals, "DO13_TOTSPBOLLI", expenses.stamps);
          if (!totals->Get("DO13_TOTSPBOLLI_VAL").IsNull()) {
            totals->Set("DO13_TOTSPBOLLI_VAL", Variant::Null());
          }
          WriteIfChanged(*totals, "DO13_TOTSPINC", expenses.collection);
          if (!totals->Get("DO13_TOTSPINC_VAL").IsNull()) {
            totals->Set("DO13_TOTSPINC_VAL", Variant::Null());
          }
        } else {
          WriteIfChanged(*totals, "DO13_TOTSPBOLLI_VAL", expenses.stamps_currency);
          WriteIfChanged(*totals, "DO13_TOTSPBOLLI", expenses.stamps);
          WriteIfChanged(*totals, "DO13_TOTSPINC_VAL", expenses.collection_currency);
          WriteIfChanged(*totals, "DO13_TOTSPINC", expenses.collection);
        }
      })) {
    return;
  }

  // 16.
  guard([&] {
    auto document_schedule = recordsets.Get(DocumentTable::kSchedule);
    if (document_schedule && document_schedule->RecordCount() > 0) document_schedule->MoveFirst();
  });
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
    pairs.push_back({FieldRef(i), after->Resolve(field.name), IsNumericType(field.type), counts});
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
