// Calculated expenses: each expense row the body-row pass collected is priced
// from its expense kind, the totals it is based on and the expense's brackets
// in the document currency, recalculated, and added into the counterparts,
// the sundry-expense totals and the withholding and contribution bases.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_object.h"
#include "engine/statements.h"
#include "tarvolin/automation/error_policy.h"
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

// Prices the expense rows of one recalculation, one entry of the expense
// arrays at a time, and adds each into the totals, counterparts and bases.
class ExpenseCalculation {
 public:
  ExpenseCalculation(ICLSMG_TARVOLIN& self, CLSMG_TARVOLIN::ExpenseArgs& args,
                     CoreDocument& document, Connection& connection,
                     std::shared_ptr<Recordset> header, const CLSMG_TARVOLIN& engine)
      : self_(self),
        args_(args),
        document_(document),
        connection_(connection),
        header_(std::move(header)),
        body_(*args.RstCorpo),
        totals_(*args.AccumulatoriTotali),
        calculation_(document.Calculation()),
        company_(args.DocInValutaAzienda),
        company_currency_(document.Services().CompanyCurrencyCode()),
        currency_(args.CodiceValuta),
        prog_riga_(engine.ArrSpeseProgRiga()),
        tipo_spesa_(engine.ArrSpeseTipoSpesa()),
        tipo_tot_(engine.ArrSpeseTipoTot()),
        tipo_aliq_(engine.ArrSpeseTipoAliq()) {}

  void Run(size_t count) {
    for (size_t i = 0; i < count; ++i) PriceEntry(i);
    body_.ClearFilter();
  }

 private:
  void PriceEntry(size_t i) {
    // The row of the entry, alone.
    body_.SetFilter("DO30_PROGRIGA = " + std::to_string(prog_riga_[i]));
    if (body_.RecordCount() != 1) return;
    if (BelongsToLink()) return;
    // The amount and the row's prices, unless kept by hand (9).
    if (NzDec(body_.Get("DO30_INDPROVRIGA")) != Variant(int16_t{9})) {
      const Variant amount = Amount(tipo_spesa_[i], tipo_tot_[i]);
      if (tipo_spesa_[i] != 0) SetRowPrices(amount);
    }
    // The row's amounts follow its prices.
    calculation_.RecalculateRow(args_.RstCorpo, true);
    if (args_.ContropartiteCastellettoIva && tipo_aliq_[i] != 1) AddCounterpart();
    if (!args_.TotaliDocumento) return;
    AddSundryExpenseTotals();
    AddWithholdingBases();
  }

  // A row linked as kind 5 belongs to the link: left alone.
  bool BelongsToLink() {
    ExpenseLinks* links = calculation_.ExpenseLinkLookup();
    if (links == nullptr) return false;
    args_.RecordLinkato = links->Find(body_.Get("DO30_NUMREG_CO99"), body_.Get("DO30_PROGRIGA"));
    return args_.RecordLinkato &&
           NzDec(args_.RecordLinkato->Get("LP11_INDTIPOSPESA")) == Variant(int16_t{5});
  }

  // The base of totals kinds 0, 1 and 3 (kind 2 asks the document).
  Variant TotalsBase(int16_t kind) {
    switch (kind) {
      case 0:
        return totals_[company_ ? acc::kNetGoods : acc::Val(acc::kNetGoods)];
      case 1:
        return totals_[company_ ? acc::kGrossGoods : acc::Val(acc::kGrossGoods)];
      case 3: {
        auto totals = document_.Recordsets().Get(DocumentTable::kTotals);
        if (!totals || totals->Bof() || totals->Eof()) {
          Raise(err::kNoCurrentRecord, kSource, "the document has no totals record (DO13)");
        }
        return company_
                   ? NzDec(totals->Get("DO13_TOTIMPONIBILE")) + NzDec(totals->Get("DO13_TOTIVA"))
                   : NzDec(totals->Get("DO13_TOTIMPONIBILE_VAL")) +
                         NzDec(totals->Get("DO13_TOTIVA_VAL"));
      }
      default:
        return kZero;
    }
  }

  // Kinds 1-5 take their amount from the first bracket of the expense in the
  // document currency (3-5 the first at or above the base): a percentage of
  // the base (not kind 3), plus the fixed amount (kinds 2, 3 and 5).
  Variant Amount(int16_t kind, int16_t totals_kind) {
    Variant amount = kZero;
    const std::string code = NzStr(body_.Get("DO30_CODSPESA_MG04"));
    if (kind < 1 || kind > 5) return amount;
    Variant base = totals_kind == 2 ? calculation_.ExpenseBase(code, company_, kZero, true)
                                    : TotalsBase(totals_kind);
    const std::string sql = statements::ExpenseBrackets(
        code, currency_,
        kind >= 3 ? std::optional(document_.Dialogue().NumberAsSql(base)) : std::nullopt);
    args_.RstLavoro = connection_.Execute(sql, nullptr, execute_option::kCommandText);
    Recordset& bracket = *args_.RstLavoro;
    if (bracket.State() == ObjectState::kOpen && !bracket.Eof()) {
      const Variant limit = BracketNumber(bracket, "MG05_FINOA", code, currency_);
      const Variant fixed = BracketNumber(bracket, "MG05_IMPORTO", code, currency_);
      const Variant percentage = BracketNumber(bracket, "MG05_PERC", code, currency_);
      if (kind != 3) {
        if (totals_kind == 2) base = calculation_.ExpenseBase(code, company_, limit, false);
        amount =
            calculation_.PercentageOf(base, percentage, company_ ? company_currency_ : currency_);
      }
      if (kind == 2 || kind == 3 || kind == 5) amount = amount + fixed;
    }
    if (bracket.State() == ObjectState::kOpen) bracket.Close();
    args_.RstLavoro.reset();
    return amount;
  }

  // The amount becomes the row's price, its discounts and markups cleared.
  void SetRowPrices(const Variant& amount) {
    if (self_.RigaSpesaNonDefiscalizzabile(args_.RstCorpo)) {
      WriteIfChanged(body_, "DO30_PREZZO1", amount);
      WriteIfChanged(body_, "DO30_PREZZO2", kZero);
    } else {
      self_.ImpostaPrezziPerRigaDaLordo(header_, args_.RstCorpo, amount, 1, false);
    }
    for (const char* field : kRowDiscountsAndMarkups) WriteIfChanged(body_, field, kZero);
  }

  // Counterparts and the document amount.
  void AddCounterpart() {
    self_.AggiungiContropartitaDaCorpo(args_.RstCorpo);
    Add(acc::kTaxable, NzDec(body_.Get("DO30_IMPORTO")));
    Add(acc::Val(acc::kTaxable), NzDec(body_.Get("DO30_IMPORTO_VAL")));
  }

  // Sundry-expense totals by totalizer, without the rate a gross price holds.
  void AddSundryExpenseTotals() {
    const Variant rate = calculation_.PrimaryRowRate(args_.RstCorpo);
    if (args_.AliquotaRiga != nullptr) *args_.AliquotaRiga = rate;
    const Variant gross_prices = NzDec(header_->Get("DO11_FLGDEFPIEDE"));
    const Variant totalizer = NzDec(body_.Get("DO30_INDTOTALIZ"));
    for (int32_t k = 1; k <= 4; ++k) {
      if (totalizer != Variant(k)) continue;
      const auto index = acc::kSundryExpenses1 + 2 * static_cast<size_t>(k - 1);
      const Variant amount_company = NzDec(body_.Get("DO30_IMPORTO"));
      const Variant amount_document = NzDec(body_.Get("DO30_IMPORTO_VAL"));
      if (self_.RigaSpesaNonDefiscalizzabile(args_.RstCorpo) || NzDec(rate) == kZero ||
          gross_prices == kZero) {
        Add(index, amount_company);
        Add(index + 1, amount_document);
      } else {
        Add(index,
            Variant(calculation_.AmountWithoutRate(amount_company, rate, company_currency_)));
        Add(index + 1, Variant(calculation_.AmountWithoutRate(amount_document, rate, currency_)));
      }
    }
  }

  void AddWithholdingBases() {
    for (const auto& [flag, base] : kWithholdingFlags) {
      if (NzDec(body_.Get(flag)) != Variant(int16_t{1})) continue;
      calculation_.SetWithholdingBase(
          base, calculation_.GetWithholdingBase(base) + NzDec(body_.Get("DO30_IMPNETSCP")));
    }
  }

  void Add(size_t index, const Variant& value) { totals_[index] += value; }

  static inline const Variant kZero{int16_t{0}};

  ICLSMG_TARVOLIN& self_;
  CLSMG_TARVOLIN::ExpenseArgs& args_;
  CoreDocument& document_;
  Connection& connection_;
  std::shared_ptr<Recordset> header_;
  Recordset& body_;
  VariantArray& totals_;
  CalculationServices& calculation_;
  const bool company_;
  const std::string company_currency_;
  const std::string& currency_;
  const std::vector<int32_t>& prog_riga_;
  const std::vector<int16_t>& tipo_spesa_;
  const std::vector<int16_t>& tipo_tot_;
  const std::vector<int16_t>& tipo_aliq_;
};

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
    ExpenseCalculation(Self(), args, *document, *connection, std::move(header), *this).Run(count);
  });
}

}  // namespace tarvolin
