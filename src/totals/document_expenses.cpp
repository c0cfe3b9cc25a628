// Calculated expenses: each expense row the body-row pass collected is priced
// from its expense kind, the totals it is based on and the expense's brackets
// in the document currency, recalculated, and added into the counterparts,
// the sundry-expense totals and the withholding and contribution bases.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "engine/statements.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/engine/value_helpers.h"
#include "totals/accumulators.h"

namespace tarvolin {
namespace {

constexpr std::string_view kLabel = "RicalcolaTotaliDaRigheCorpo_CalcoloSpese:";
constexpr std::string_view kSource = "CLSMG_TARVOLIN";

// Fields the expense calculation clears on a priced row.
constexpr const char* kRowDiscountsAndMarkups[] = {
    "DO30_SCPER1", "DO30_SCPER2", "DO30_SCPER3",  "DO30_SCPER4",  "DO30_SCPER5",
    "DO30_SCPER6", "DO30_SCIMP",  "DO30_MAGPER1", "DO30_MAGPER2", "DO30_MAGIMP"};

// The withholding and contribution flags of a row and the base each feeds.
constexpr std::pair<const char*, WithholdingBase> kWithholdingFlags[] = {
    {"DO30_FLGCONTRIBINTEG", WithholdingBase::kIntegrativeContribution},
    {"DO30_FLGRITACC", WithholdingBase::kWithholdingTax},
    {"DO30_FLGRITENAS", WithholdingBase::kAgentsFundWithholding},
    {"DO30_FLGCONTRIBPREV", WithholdingBase::kSocialSecurityContribution},
};

// A number of the first bracket; a value that is not one stops with an error
// naming the expense, the currency and the field.
Variant BracketNumber(const Recordset& bracket, std::string_view field, const std::string& code,
                      const std::string& currency) {
  try {
    return NzDec(bracket.Get(field));
  } catch (const Error& error) {
    RaiseText(error.number(), kSource,
              "MG05_SCAGLSPESE, expense " + code + ", currency " + currency + ", field " +
                  std::string(field) + ": " + error.description());
  }
}

}  // namespace

void CLSMG_TARVOLIN::RicalcolaTotaliDaRigheCorpo_CalcoloSpese(ExpenseArgs& args) {
  WithLabel(kLabel, [&] {
    auto document = RequireCc();
    auto connection = RequireConnection();
    if (!args.RstCorpo) Raise(err::kObjectNotSet, kSource, "the body rows recordset is not set");
    if (args.AccumulatoriTotali == nullptr ||
        args.AccumulatoriTotali->size() < static_cast<size_t>(kAccumulatorCount)) {
      Raise(err::kSubscriptOutOfRange, kSource,
            "AccumulatoriTotali must hold " + std::to_string(kAccumulatorCount) + " values");
    }
    const auto count = static_cast<size_t>(std::max<int16_t>(args.NumSpese, 0));
    if (count > arr_spese_prog_riga_.size()) {
      Raise(err::kSubscriptOutOfRange, kSource,
            std::to_string(count) + " expense rows counted, " +
                std::to_string(arr_spese_prog_riga_.size()) + " collected");
    }
    auto header = document->Recordsets().Get(DocumentTable::kHeader);
    if (!header) Raise(err::kObjectNotSet, kSource, "the document has no header (DO11)");
    Recordset& body = *args.RstCorpo;
    VariantArray& totals = *args.AccumulatoriTotali;
    CalculationServices& calculation = document->Calculation();
    const Variant zero(int16_t{0});
    const bool company = args.DocInValutaAzienda;
    const std::string company_currency = document->Services().CompanyCurrencyCode();
    const std::string& currency = args.CodiceValuta;
    const auto add = [&](size_t index, const Variant& value) {
      totals[index] = totals[index] + value;
    };

    // The base of totals kinds 0, 1 and 3 (kind 2 asks the document).
    const auto totals_base = [&](int16_t kind) -> Variant {
      switch (kind) {
        case 0:
          return totals[company ? acc::kNetGoods : acc::Val(acc::kNetGoods)];
        case 1:
          return totals[company ? acc::kGrossGoods : acc::Val(acc::kGrossGoods)];
        case 3: {
          auto totals = document->Recordsets().Get(DocumentTable::kTotals);
          if (!totals || totals->Bof() || totals->Eof()) {
            Raise(err::kNoCurrentRecord, kSource, "the document has no totals record (DO13)");
          }
          return company
                     ? NzDec(totals->Get("DO13_TOTIMPONIBILE")) + NzDec(totals->Get("DO13_TOTIVA"))
                     : NzDec(totals->Get("DO13_TOTIMPONIBILE_VAL")) +
                           NzDec(totals->Get("DO13_TOTIVA_VAL"));
        }
        default:
          return zero;
      }
    };

    for (size_t i = 0; i < count; ++i) {
      // 1. The row of the entry, alone.
      body.SetFilter("DO30_PROGRIGA = " + std::to_string(arr_spese_prog_riga_[i]));
      if (body.RecordCount() != 1) continue;
      Variant amount = zero;

      // 2. A row linked as kind 5 belongs to the link: left alone.
      if (ExpenseLinks* links = calculation.ExpenseLinkLookup()) {
        args.RecordLinkato = links->Find(body.Get("DO30_NUMREG_CO99"), body.Get("DO30_PROGRIGA"));
        if (args.RecordLinkato &&
            NzDec(args.RecordLinkato->Get("LP11_INDTIPOSPESA")) == Variant(int16_t{5})) {
          continue;
        }
      }

      // 3-5. The amount and the row's prices, unless kept by hand (9).
      const int16_t kind = arr_spese_tipo_spesa_[i];
      const int16_t totals_kind = arr_spese_tipo_tot_[i];
      if (NzDec(body.Get("DO30_INDPROVRIGA")) != Variant(int16_t{9})) {
        const std::string code = NzStr(body.Get("DO30_CODSPESA_MG04"));
        const bool bracketed = kind >= 1 && kind <= 5;
        const bool by_limit = kind >= 3;
        if (bracketed) {
          Variant base = totals_kind == 2 ? calculation.ExpenseBase(code, company, zero, true)
                                          : totals_base(totals_kind);
          const std::string sql = statements::ExpenseBrackets(
              code, currency,
              by_limit ? std::optional(document->Dialogue().NumberAsSql(base)) : std::nullopt);
          args.RstLavoro = connection->Execute(sql, nullptr, execute_option::kCommandText);
          Recordset& bracket = *args.RstLavoro;
          if (bracket.State() == ObjectState::kOpen && !bracket.Eof()) {
            const Variant limit = BracketNumber(bracket, "MG05_FINOA", code, currency);
            const Variant fixed = BracketNumber(bracket, "MG05_IMPORTO", code, currency);
            const Variant percentage = BracketNumber(bracket, "MG05_PERC", code, currency);
            if (kind != 3) {
              if (totals_kind == 2) base = calculation.ExpenseBase(code, company, limit, false);
              amount =
                  calculation.PercentageOf(base, percentage, company ? company_currency : currency);
            }
            if (kind == 2 || kind == 3 || kind == 5) amount = amount + fixed;
          }
          if (bracket.State() == ObjectState::kOpen) bracket.Close();
          args.RstLavoro.reset();
        }
        if (kind != 0) {
          const bool non_deductible = Self().RigaSpesaNonDefiscalizzabile(args.RstCorpo);
          if (non_deductible) {
            WriteIfChanged(body, "DO30_PREZZO1", amount);
            WriteIfChanged(body, "DO30_PREZZO2", zero);
          } else {
            Self().ImpostaPrezziPerRigaDaLordo(header, args.RstCorpo, amount, 1, false);
          }
          for (const char* field : kRowDiscountsAndMarkups) WriteIfChanged(body, field, zero);
        }
      }

      // 6. The row's amounts follow its prices.
      calculation.RecalculateRow(args.RstCorpo, true);

      // 7. Counterparts and the document amount.
      if (args.ContropartiteCastellettoIva && arr_spese_tipo_aliq_[i] != 1) {
        Self().AggiungiContropartitaDaCorpo(args.RstCorpo);
        add(acc::kTaxable, NzDec(body.Get("DO30_IMPORTO")));
        add(acc::Val(acc::kTaxable), NzDec(body.Get("DO30_IMPORTO_VAL")));
      }
      if (!args.TotaliDocumento) continue;

      // 9. Sundry-expense totals by totalizer, without the rate a gross price holds.
      const Variant rate = calculation.PrimaryRowRate(args.RstCorpo);
      if (args.AliquotaRiga != nullptr) *args.AliquotaRiga = rate;
      const Variant gross_prices = NzDec(header->Get("DO11_FLGDEFPIEDE"));
      const Variant totalizer = NzDec(body.Get("DO30_INDTOTALIZ"));
      for (int32_t k = 1; k <= 4; ++k) {
        if (totalizer != Variant(k)) continue;
        const auto index = acc::kSundryExpenses1 + 2 * static_cast<size_t>(k - 1);
        const Variant amount_company = NzDec(body.Get("DO30_IMPORTO"));
        const Variant amount_document = NzDec(body.Get("DO30_IMPORTO_VAL"));
        if (Self().RigaSpesaNonDefiscalizzabile(args.RstCorpo) || NzDec(rate) == zero ||
            gross_prices == zero) {
          add(index, amount_company);
          add(index + 1, amount_document);
        } else {
          add(index,
              Variant(calculation.AmountWithoutRate(amount_company, rate, company_currency)));
          add(index + 1, Variant(calculation.AmountWithoutRate(amount_document, rate, currency)));
        }
      }

      // 10. Withholding and contribution bases.
      for (const auto& [flag, base] : kWithholdingFlags) {
        if (NzDec(body.Get(flag)) != Variant(int16_t{1})) continue;
        calculation.SetWithholdingBase(
            base, calculation.GetWithholdingBase(base) + NzDec(body.Get("DO30_IMPNETSCP")));
      }
    }
    body.ClearFilter();
  });
}

}  // namespace tarvolin
