// The body-row pass: one walk over the document's body rows that collects the
// calculated-expense rows, sets each row's amount net of the foot discounts,
// feeds the counterparts, keeps the highest row progressive, adds every row
// into the accumulators and rolls commission lines up into the agent rows.
//
// Fields are resolved once before the walk and the commission lines are found
// through an equality filter (indexed by the recordset), so the pass costs what
// the body holds, whatever its size.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "engine/engine_object.h"
#include "engine/statements.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/calculation_trace.h"
#include "tarvolin/engine/value_helpers.h"
#include "totals/accumulators.h"

namespace tarvolin {
namespace {

constexpr std::string_view kLabel = "RicalcolaTotaliDaRigheCorpo_CicloRighe:";
constexpr std::string_view kSource = "CLSMG_TARVOLIN";
constexpr int16_t kFieldKindAmount = 2;  // Arrotondamento: amount decimals of the currency

const Variant kZero(int16_t{0});

// Row classes by DO30_INDTIPORIGA.
bool IsGoodsRow(const Decimal& type) { return IsOneOfCodes(type, {0, 1, 7, 9, 14, 18}); }
bool IsSundryExpenseRow(const Decimal& type) { return type == Decimal(4); }
bool IsDocumentAmountRow(const Decimal& type) {
  return IsOneOfCodes(type, {0, 1, 4, 7, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19});
}

// The totalizer 1..4 of a row; 0 for any other value.
int Totalizer(const Variant& value) {
  const Decimal totalizer = NzDecimal(value);
  for (int32_t k = 1; k <= 4; ++k) {
    if (totalizer == Decimal(k)) return k;
  }
  return 0;
}

struct BodyFields {
  explicit BodyFields(const Recordset& rs)
      : tipo_dati(rs.Resolve("DO30_INDTIPODATI")),
        cod_spesa(rs.Resolve("DO30_CODSPESA_MG04")),
        prov_riga(rs.Resolve("DO30_INDPROVRIGA")),
        prog_riga(rs.Resolve("DO30_PROGRIGA")),
        importo(rs.Resolve("DO30_IMPORTO")),
        importo_val(rs.Resolve("DO30_IMPORTO_VAL")),
        netto(rs.Resolve("DO30_IMPNETSCP")),
        netto_val(rs.Resolve("DO30_IMPNETSCP_VAL")),
        escl_sc_piede(rs.Resolve("DO30_FLGESCLSCPIEDE")),
        tipo_omag(rs.Resolve("DO30_INDTIPOOMAG")),
        tipo_riga(rs.Resolve("DO30_INDTIPORIGA")),
        totaliz(rs.Resolve("DO30_INDTOTALIZ")),
        qta1(rs.Resolve("DO30_QTA1")),
        qta2(rs.Resolve("DO30_QTA2")),
        colli(rs.Resolve("DO30_COLLI")),
        peso_l(rs.Resolve("DO30_PESOL")),
        peso_n(rs.Resolve("DO30_PESON")),
        volume(rs.Resolve("DO30_VOLUME")),
        costo(rs.Resolve("DO30_COSTOTOT")),
        costo_val(rs.Resolve("DO30_COSTOTOT_VAL")) {}
  FieldRef tipo_dati, cod_spesa, prov_riga, prog_riga, importo, importo_val, netto, netto_val,
      escl_sc_piede, tipo_omag, tipo_riga, totaliz, qta1, qta2, colli, peso_l, peso_n, volume,
      costo, costo_val;
};

struct CommissionFields {
  explicit CommissionFields(const Recordset& rs)
      : agente(rs.Resolve("DO32_IDAGENTE_MG17")),
        perc(rs.Resolve("DO32_PERCPROV")),
        amounts{rs.Resolve("DO32_IMPONPROV"), rs.Resolve("DO32_IMPONPROV_VAL"),
                rs.Resolve("DO32_IMPORPROV"), rs.Resolve("DO32_IMPORPROV_VAL")} {}
  FieldRef agente, perc;
  FieldRef amounts[4];  // base, base _VAL, commission, commission _VAL
};

struct AgentFields {
  explicit AgentFields(const Recordset& rs)
      : agente(rs.Resolve("DO21_IDAGENTE_MG17")),
        flg_var(rs.Resolve("DO21_FLGPROVVAR")),
        media(rs.Resolve("DO21_PROVMEDIA")),
        amounts{rs.Resolve("DO21_IMPONPROV"), rs.Resolve("DO21_IMPONPROV_VAL"),
                rs.Resolve("DO21_IMPORPROV"), rs.Resolve("DO21_IMPORPROV_VAL")} {}
  FieldRef agente, flg_var, media;
  FieldRef amounts[4];  // in the order of CommissionFields::amounts
};

// The engine's expense-row arrays, grown by the pass.
struct ExpenseArrays {
  std::vector<int32_t>& prog_riga;
  std::vector<int16_t>& tipo_spesa;
  std::vector<int16_t>& tipo_tot;
  std::vector<int16_t>& tipo_aliq;
};

class BodyRowPass {
 public:
  BodyRowPass(ICLSMG_TARVOLIN& self, CoreDocument& cc, std::shared_ptr<Connection> connection,
              CLSMG_TARVOLIN::BodyPassArgs& args, ExpenseArrays expenses, CalculationTrace* trace)
      : self_(self),
        cc_(cc),
        connection_(std::move(connection)),
        args_(args),
        acc_(*args.AccumulatoriTotali),
        body_(*args.RstCorpo),
        f_(body_),
        expenses_(expenses),
        excluded_(Bookmark::FromVariant(cc.State().excluded_row_bookmark)),
        totals_in_use_(cc.InUse(DocumentTable::kTotals)),
        company_currency_(cc.Services().CompanyCurrencyCode()),
        company_currency_code_(company_currency_),
        document_currency_code_(args.CodiceValuta),
        roll_up_(args.TotaliProvvigioni && cc.InUse(DocumentTable::kAgents) &&
                 cc.InUse(DocumentTable::kCommissionRows)),
        trace_(trace) {
    if (args.TotaliDocumento) {
      free_goods_cost_ = NzDec(cc.DocumentSetting("INDOMAGCOSTO")) == Variant(int16_t{1});
    }
    if (roll_up_) {
      if (!args.RstProvv) {
        Raise(err::kObjectNotSet, kSource, "the commission lines recordset (DO32) is not set");
      }
      commission_.emplace(*args.RstProvv);
    }
  }

  void Run() {
    for (body_.MoveFirst(); !body_.Eof(); body_.MoveNext()) Row();
    acc_[acc::kToPay] = acc_[acc::kTaxable];
    acc_[acc::kDocumentTotal] = acc_[acc::kTaxable];
    acc_[acc::Val(acc::kToPay)] = acc_[acc::Val(acc::kTaxable)];
    acc_[acc::Val(acc::kDocumentTotal)] = acc_[acc::Val(acc::kTaxable)];
  }

 private:
  const Variant& Field(FieldRef field) const { return body_.Get(field); }
  Variant Dec(FieldRef field) const { return NzDec(body_.Get(field)); }
  void Modified() { self_.AddRigaModificata(args_.RstCorpo); }
  void Add(size_t slot, const Variant& value) { acc_[slot] += value; }

  void Row() {
    if (excluded_ && body_.GetBookmark() == *excluded_) return;
    bool counted = true;
    if (args_.TotaliDocumento && !args_.EscludiContabilita &&
        NzDecimal(Field(f_.tipo_dati)) == Decimal(3) && CollectExpense()) {
      counted = false;
    }
    args_.AzzeraPerRiga = kZero;
    if (counted && totals_in_use_ && args_.ImportoNettoScontiPiede &&
        NzDecimal(Field(f_.tipo_dati)) != Decimal(2) && !NzDecimal(Field(f_.importo)).is_zero()) {
      NetOfFootDiscounts();
    }
    if (counted && args_.ContropartiteCastellettoIva && !args_.EscludiContabilita) {
      self_.AggiungiContropartitaDaCorpo(args_.RstCorpo);
    }
    if (args_.UltimoProgressivoRiga) {
      int32_t& highest = cc_.State().highest_row_progressive;
      if (Field(f_.prog_riga) > Variant(highest)) highest = Field(f_.prog_riga).CLng();
    }
    if (counted && args_.TotaliDocumento) AddToTotals();
    if (roll_up_) RollUpCommissions();
  }

  // A row of a calculated expense is handed to the expense calculation with its
  // amounts cleared (unless INDPROVRIGA 9 keeps them); true when collected.
  bool CollectExpense() {
    if (!connection_) Raise(err::kObjectNotSet, kSource, "ADOConnection is not set");
    args_.RstLavoro = connection_->Execute(statements::Expense(NzStr(Field(f_.cod_spesa))), nullptr,
                                           execute_option::kCommandText);
    Recordset& work = *args_.RstLavoro;
    bool collected = false;
    if (work.State() == ObjectState::kOpen && !work.Eof() &&
        NzDec(work.Get("MG04_INDTIPOSPESA")) != kZero) {
      collected = true;
      Modified();
      if (NzDec(Field(f_.prov_riga)) != Variant(int16_t{9})) {
        body_.Set(f_.importo, kZero);
        body_.Set(f_.netto, kZero);
        if (!args_.DocInValutaAzienda) {
          body_.Set(f_.importo_val, kZero);
          body_.Set(f_.netto_val, kZero);
        }
      }
      args_.HaSpese = true;
      const Variant kind_of_totals = NzDec(work.Get("MG04_INDTIPOTOT"));
      if (kind_of_totals == Variant(int16_t{3})) args_.SpeseTipoTot3 = true;
      if (kind_of_totals == kZero) args_.SpeseTipoTot0 = true;
      if (args_.NumSpese == INT16_MAX) Raise(err::kOverflow, kSource, "too many expense rows");
      ++args_.NumSpese;
      // The arrays follow the count, as a ReDim Preserve to it would.
      const auto size = static_cast<size_t>(args_.NumSpese);
      expenses_.prog_riga.resize(size);
      expenses_.tipo_spesa.resize(size);
      expenses_.tipo_tot.resize(size);
      expenses_.tipo_aliq.resize(size);
      expenses_.prog_riga.back() = Field(f_.prog_riga).CLng();
      expenses_.tipo_spesa.back() = NzDec(work.Get("MG04_INDTIPOSPESA")).CInt();
      expenses_.tipo_tot.back() = kind_of_totals.CInt();
      expenses_.tipo_aliq.back() = NzDec(work.Get("MG04_INDTIPOALIQ")).CInt();
    }
    if (work.State() == ObjectState::kOpen) work.Close();
    args_.RstLavoro.reset();
    return collected;
  }

  // The row's amount net of the foot discounts, worked in the currency the
  // document is in.
  void NetOfFootDiscounts() {
    if (NzDecimal(Field(f_.escl_sc_piede)) != Decimal(0) ||
        NzDecimal(Field(f_.tipo_omag)) != Decimal(0)) {
      NotDiscounted();
      return;
    }
    if (cc_.State().clear_discount_detail) self_.ClearDettaglioSConti(args_.RstCorpo);
    if (args_.DocInValutaAzienda) {
      NetInCompanyCurrency();
    } else {
      NetInDocumentCurrency();
    }
  }

  // Excluded from the foot discounts, or free goods: the net amount is the
  // amount.
  void NotDiscounted() {
    if (Dec(f_.netto) != Dec(f_.importo)) {
      body_.Set(f_.netto, Field(f_.importo));
      Modified();
    }
    if (!args_.DocInValutaAzienda) {
      if (Dec(f_.netto_val) != Dec(f_.importo_val)) {
        body_.Set(f_.netto_val, Field(f_.importo_val));
        Modified();
      }
      return;
    }
    // Amounts a document in the company currency has no use for, cleared
    // without counting the row as modified.
    if (!Field(f_.importo_val).IsNull()) body_.Set(f_.importo_val, Variant::Null());
    if (!Field(f_.netto_val).IsNull()) body_.Set(f_.netto_val, Variant::Null());
  }

  // The discounts worked on the company-currency amount; the document-currency
  // amounts are cleared.
  void NetInCompanyCurrency() {
    Variant net = Cascade(Dec(f_.importo), company_currency_);
    const Variant& base = acc_[acc::kFootDiscountBase];
    if (base != kZero) {
      net = net - Share(Dec(f_.importo), base, args_.ResiduoScImpMerce, args_.TotScImpMerce);
      net = net - Share(Dec(f_.importo), base, args_.ResiduoScImpArt26, args_.TotScImpArt26);
    }
    WriteNet(f_.netto, net);
    for (const FieldRef field : {f_.importo_val, f_.netto_val}) {
      if (!Field(field).IsNull()) {
        body_.Set(field, Variant::Null());
        Modified();
      }
    }
  }

  // The discounts worked on the document-currency amount; the company-currency
  // net is its conversion.
  void NetInDocumentCurrency() {
    Variant net = Cascade(Dec(f_.importo_val), args_.CodiceValuta);
    const Variant& base = acc_[acc::Val(acc::kFootDiscountBase)];
    if (base != kZero) {
      net = net -
            Share(Dec(f_.importo_val), base, args_.ResiduoScImpMerceVal, args_.TotScImpMerceVal);
      net = net -
            Share(Dec(f_.importo_val), base, args_.ResiduoScImpArt26Val, args_.TotScImpArt26Val);
    }
    WriteNet(f_.netto_val, net);
    WriteNet(f_.netto, self_.InValutaAzienda(net, ExchangeRate()));
  }

  // Written only when it changed, the row then counted as modified.
  void WriteNet(FieldRef field, const Variant& net) {
    if (Dec(field) != net) {
      body_.Set(field, net);
      Modified();
    }
  }

  // The amount less the three percentage foot discounts in cascade.
  Variant Cascade(Variant amount, std::string_view currency) {
    for (const Variant* percentage : {&args_.ScPerMerce1, &args_.ScPerMerce2, &args_.ScPerMerce3}) {
      if (*percentage != kZero) {
        amount = cc_.Calculation().DiscountByPercentage(amount, *percentage, currency);
        if (trace_) TracePercentage(percentage, amount);
      }
    }
    return amount;
  }

  // This row's share of an absolute foot discount. Every row but the last
  // eligible one takes its incidence of the total, rounded by the discount
  // service (always to the company currency), and the last takes exactly what
  // remains, so the shares add up to the total.
  Variant Share(const Variant& row_amount, const Variant& base, Variant& remaining,
                const Variant& total) {
    if (Field(f_.prog_riga) == Variant(args_.ProgRigaUltimaScontabile)) {
      if (trace_) TraceShare(row_amount, base, total, Variant(), remaining, remaining);
      return remaining;
    }
    const Variant incidence = self_.CalcolaIncidenza(row_amount, base, 6);
    const Variant share =
        total - cc_.Calculation().DiscountByPercentage(total, incidence, company_currency_);
    remaining = remaining - share;
    if (trace_) TraceShare(row_amount, base, total, incidence, share, remaining);
    // A Variant copy, no heavier than the move.
    // NOLINTNEXTLINE(performance-no-automatic-move)
    return share;
  }

  Variant ExchangeRate() {
    if (!header_) {
      header_ = cc_.Recordsets().Get(DocumentTable::kHeader);
      if (!header_) Raise(err::kObjectNotSet, kSource, "the document has no header (DO11)");
      cambio_ = header_->Resolve("DO11_CAMBIO");
    }
    return header_->Get(*cambio_);
  }

  void AddToTotals() {
    const Decimal type = NzDecimal(Field(f_.tipo_riga));
    const int totalizer = Totalizer(Field(f_.totaliz));
    // Read once: nothing below writes the row.
    const Variant amount = Dec(f_.importo), amount_val = Dec(f_.importo_val);
    if (IsSundryExpenseRow(type) && totalizer != 0) {
      const size_t expenses = acc::kSundryExpenses1 + 2 * static_cast<size_t>(totalizer - 1);
      Add(expenses, amount);
      Add(expenses + 1, amount_val);
    }
    if (IsGoodsRow(type)) AddGoods(totalizer, amount, amount_val);
    if (IsDocumentAmountRow(type)) {
      Add(acc::kTaxable, amount);
      Add(acc::Val(acc::kTaxable), amount_val);
    }
  }

  void AddGoods(int totalizer, const Variant& amount, const Variant& amount_val) {
    const Variant quantity = Dec(f_.qta1);
    Add(acc::kQuantity1, quantity);
    Add(acc::kQuantity2, Dec(f_.qta2));
    Add(acc::kPackages, Dec(f_.colli));
    const double quantity_value = quantity.CDbl();
    Add(acc::kGrossWeight, Variant(self_.RoundN(Dec(f_.peso_l).CDbl() * quantity_value, 5)));
    Add(acc::kNetWeight, Variant(self_.RoundN(Dec(f_.peso_n).CDbl() * quantity_value, 5)));
    Add(acc::kVolume, Variant(self_.RoundN(Dec(f_.volume).CDbl() * quantity_value, 5)));
    if (NzDecimal(Field(f_.tipo_omag)) != Decimal(0)) {
      // Free goods enter the cost only where the document type says so.
      if (free_goods_cost_) AddCost();
      return;
    }
    if (totalizer != 0) {
      const size_t goods = acc::kGoods1 + 2 * static_cast<size_t>(totalizer - 1);
      Add(goods, amount);
      Add(goods + 1, amount_val);
    }
    Add(acc::kGrossGoods, amount);
    Add(acc::Val(acc::kGrossGoods), amount_val);
    Add(acc::kNetGoods, Dec(f_.netto));
    Add(acc::Val(acc::kNetGoods), Dec(f_.netto_val));
    AddCost();
  }

  void AddCost() {
    Add(acc::kCost, self_.Arrotondamento(Dec(f_.costo), kFieldKindAmount, company_currency_code_));
    Add(acc::Val(acc::kCost),
        self_.Arrotondamento(Dec(f_.costo_val), kFieldKindAmount, document_currency_code_));
  }

  void RollUpCommissions() {
    Recordset& lines = *args_.RstProvv;
    const CommissionFields& c = *commission_;
    lines.SetFilter("DO32_PROGRIGA = " + Dec(f_.prog_riga).CStr());
    for (; !lines.Eof(); lines.MoveNext()) {
      Variant amounts[4];
      bool any = false;
      for (int i = 0; i < 4; ++i) {
        amounts[i] = NzDec(lines.Get(c.amounts[i]));
        any = any || amounts[i] != kZero;
      }
      if (!any) continue;
      bool is_new = false;
      Recordset& agents = AgentRow(lines.Get(c.agente), is_new);
      const AgentFields& a = *agent_fields_;
      if (NzDec(agents.Get(a.flg_var)) == kZero) {
        for (int i = 0; i < 4; ++i) {
          agents.Set(a.amounts[i], NzDec(agents.Get(a.amounts[i])) + amounts[i]);
        }
        const Variant percentage = NzDec(lines.Get(c.perc));
        if (is_new) {
          agents.Set(a.media, percentage);
        } else if (NzDec(agents.Get(a.amounts[0])) != kZero &&
                   NzDec(agents.Get(a.media)) != percentage) {
          agents.Set(a.media, NzDec(agents.Get(a.amounts[2])) / NzDec(agents.Get(a.amounts[0])) *
                                  Variant(int16_t{100}));
        }
      }
      cc_.Recordsets().AgentsChanged();
    }
    lines.ClearFilter();
  }

  // The agent row of a commission line's agent, added when the document has
  // none; the agents recordset is left on it.
  Recordset& AgentRow(const Variant& agent, bool& is_new) {
    std::shared_ptr<Recordset> agents = cc_.Recordsets().Get(DocumentTable::kAgents);
    if (agents && agents->RecordCount() > 0) {
      ResolveAgents(*agents);
      agents->MoveFirst();
      if (agents->Find("DO21_IDAGENTE_MG17 = " + NzDec(agent).CStr())) return *agents;
    }
    cc_.Recordsets().AddAgentRow(0);
    agents = cc_.Recordsets().Get(DocumentTable::kAgents);
    if (!agents) Raise(err::kObjectNotSet, kSource, "the document has no agent rows (DO21)");
    ResolveAgents(*agents);
    agents->Set(agent_fields_->agente, agent);
    is_new = true;
    return *agents;
  }

  void ResolveAgents(const Recordset& agents) {
    if (agents_resolved_for_ != &agents) {
      agent_fields_.emplace(agents);
      agents_resolved_for_ = &agents;
    }
  }

  // What the trace is told of a row's foot discounts. The discount is known by
  // the working value the pass was handed for it.
  void TracePercentage(const Variant* percentage, const Variant& amount_after) {
    const int discount = percentage == &args_.ScPerMerce1   ? 1
                         : percentage == &args_.ScPerMerce2 ? 2
                                                            : 3;
    trace_->PercentageDiscountApplied({.row = Field(f_.prog_riga).CLng(),
                                       .discount = discount,
                                       .document_currency = !args_.DocInValutaAzienda,
                                       .percentage = *percentage,
                                       .amount_after = amount_after});
  }
  void TraceShare(const Variant& row_amount, const Variant& base, const Variant& total,
                  const Variant& incidence, const Variant& share, const Variant& remaining) {
    const bool second = &total == &args_.TotScImpArt26 || &total == &args_.TotScImpArt26Val;
    const bool last = incidence.IsEmpty();
    trace_->AbsoluteDiscountShared({.row = Field(f_.prog_riga).CLng(),
                                    .discount = second ? 2 : 1,
                                    .document_currency = !args_.DocInValutaAzienda,
                                    .last_eligible_row = last,
                                    .row_amount = row_amount,
                                    .base = base,
                                    .total = total,
                                    .incidence = incidence,
                                    .share = share,
                                    .remaining = last ? Variant(int16_t{0}) : remaining});
  }

  ICLSMG_TARVOLIN& self_;
  CoreDocument& cc_;
  std::shared_ptr<Connection> connection_;
  CLSMG_TARVOLIN::BodyPassArgs& args_;
  VariantArray& acc_;
  Recordset& body_;
  const BodyFields f_;
  ExpenseArrays expenses_;
  const std::optional<Bookmark> excluded_;
  const bool totals_in_use_;
  const std::string company_currency_;
  // The currency codes as the rounding asks for them, made once per pass.
  const Variant company_currency_code_, document_currency_code_;
  const bool roll_up_;
  bool free_goods_cost_ = false;
  std::optional<CommissionFields> commission_;
  std::optional<AgentFields> agent_fields_;
  const Recordset* agents_resolved_for_ = nullptr;
  std::shared_ptr<Recordset> header_;
  std::optional<FieldRef> cambio_;
  CalculationTrace* const trace_;
};

}  // namespace

void CLSMG_TARVOLIN::RicalcolaTotaliDaRigheCorpo_CicloRighe(BodyPassArgs& args) {
  WithLabel(kLabel, [&] {
    if (args.AccumulatoriTotali == nullptr ||
        args.AccumulatoriTotali->size() < static_cast<size_t>(kAccumulatorCount)) {
      Raise(err::kSubscriptOutOfRange, kSource,
            "AccumulatoriTotali must hold " + std::to_string(kAccumulatorCount) + " values");
    }
    if (!args.RstCorpo) Raise(err::kObjectNotSet, kSource, "the body rows recordset is not set");
    if (args.RstCorpo->RecordCount() == 0) return;
    BodyRowPass pass(Self(), *RequireCc(), connection_, args,
                     ExpenseArrays{arr_spese_prog_riga_, arr_spese_tipo_spesa_, arr_spese_tipo_tot_,
                                   arr_spese_tipo_aliq_},
                     trace_);
    pass.Run();
  });
}

}  // namespace tarvolin
