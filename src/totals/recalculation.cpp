// The recalculation of a whole document from its body rows.
#include <array>

#include "totals/accumulators.h"

#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

const Variant kZero(int16_t{0});

bool IsZero(const Variant& value) { return NzDec(value) == kZero; }

// Writes value when it differs from the stored one (compared as numbers).
// A document-currency twin: Null in a company-currency document, else
// written when changed.
bool WriteValTwin(Recordset& rs, std::string_view field, const Variant& value,
                  bool company_currency) {
  if (company_currency) {
    if (!rs.Get(field).IsNull()) rs.Set(field, Variant::Null());
    return false;
  }
  return WriteIfChanged(rs, field, value);
}

// Adds (sign 1) or takes out (sign -1) the visible commission lines into
// their agents' totals, leaving agents whose totals were set by hand alone.
void AddToAgents(Recordset& lines, Recordset& agents, int sign) {
  static constexpr std::pair<const char*, const char*> kAmounts[] = {
      {"DO21_IMPONPROV", "DO32_IMPONPROV"},
      {"DO21_IMPONPROV_VAL", "DO32_IMPONPROV_VAL"},
      {"DO21_IMPORPROV", "DO32_IMPORPROV"},
      {"DO21_IMPORPROV_VAL", "DO32_IMPORPROV_VAL"},
  };
  const Variant factor(static_cast<int16_t>(sign));
  for (lines.MoveFirst(); !lines.Eof(); lines.MoveNext()) {
    agents.SetFilter("DO21_IDAGENTE_MG17 = " + NzDec(lines.Get("DO32_IDAGENTE_MG17")).CStr());
    if (agents.Eof() || !IsZero(agents.Get("DO21_FLGPROVVAR"))) continue;
    for (const auto& [total, amount] : kAmounts) {
      agents.Set(total, NzDec(agents.Get(total)) + factor * NzDec(lines.Get(amount)));
    }
    const Variant percentage = NzDec(lines.Get("DO32_PERCPROV"));
    if (IsZero(agents.Get("DO21_IMPONPROV"))) {
      agents.Set("DO21_PROVMEDIA", percentage);
    } else if (percentage != NzDec(agents.Get("DO21_PROVMEDIA"))) {
      agents.Set("DO21_PROVMEDIA", NzDec(agents.Get("DO21_IMPORPROV")) /
                                       NzDec(agents.Get("DO21_IMPONPROV")) * Variant(int16_t{100}));
    }
  }
  agents.ClearFilter();
}

}  // namespace

// The recalculation as a method object: the flags and the values the steps
// share are members, each step a method, and Run reads as the algorithm.
class DocumentRecalculation {
 public:
  struct Flags {
    bool net_of_foot_discounts, counterparts, document_totals, schedule, last_row, commissions;
  };

  DocumentRecalculation(CLSMG_TARVOLIN& engine, Flags flags)
      : engine_(engine),
        self_(engine),
        document_(engine.RequireCc()),
        recordsets_(document_->Recordsets()),
        state_(document_->State()),
        flags_(flags),
        totals_(CLSMG_TARVOLIN::kAccumulatorCount) {}

  void Run() {
    // Landed costs come out of the rows while they are recalculated.
    self_.AzzeramentoSpeseTrasportoACosto();
    self_.AzzeramentoSpeseDaziACosto();
    ReadCurrencyAndTakeClones();
    PrepareTheDocument();
    ReadFootDiscounts();
    SumTheFootDiscountBase();
    StartTheCounterparts();
    StartTheTotals();
    KeepTheOldSchedule();
    StartTheCommissions();
    RunTheBodyRowPass();
    PriceTheExpenses();
    CalculateTheTax();
    WriteHeaderTotals();
    KeepOrReplaceSchedule();
    if (flags_.document_totals) {
      WriteAccessoryTotals();
      WriteGoodsTotals();
    }
    RecalculateCommissionsOnNetAmounts();
    if (agents_in_use_ && flags_.commissions && agents_->RecordCount() > 0) agents_->MoveFirst();
    SyncGroupedRows();
    self_.AnnotazioneSpeseTrasportoACosto();
    self_.AnnotazioneSpeseDaziACosto();
    engine_.SalvaTotali(totals_);
  }

 private:
  static constexpr std::string_view kProcedure = "RicalcolaTotaliDaRigheCorpo";

  Variant& Total(size_t slot) { return totals_[slot]; }
  bool HasTotalsRecord() const { return totals_rs_ && !totals_rs_->Bof() && !totals_rs_->Eof(); }

  // The document currency and whether it is the company's; the clones the
  // passes walk.
  void ReadCurrencyAndTakeClones() {
    header_ = recordsets_.Get(DocumentTable::kHeader);
    if (!header_) Raise(err::kObjectNotSet, kProcedure, "no header");
    currency_ = Upper(NzStr(header_->Get("DO11_VALUTA_CG08")));
    company_currency_ = NzStr(Variant(document_->Services().CompanyCurrencyCode())) == currency_;
    body_rows_ = recordsets_.Get(DocumentTable::kBody);
    if (!body_rows_) Raise(err::kObjectNotSet, kProcedure, "no body rows");
    body_ = body_rows_->Clone();
    body_->SetSort(body_rows_->Sort());
    if (document_->InUse(DocumentTable::kCommissionRows)) {
      if (auto rows = recordsets_.Get(DocumentTable::kCommissionRows)) commissions_ = rows->Clone();
    }
  }

  // Whether accounting results are rebuilt; the one-record tables get their
  // record; the document is told the options; the edited-row count restarts.
  void PrepareTheDocument() {
    registers_ = NzDec(document_->DocumentSetting("INDREGCON")) == Variant(int16_t{1});
    exclude_accounting_ = document_->Services().ExcludeAccounting() && !registers_;
    for (DocumentTable table : {DocumentTable::kTotals, DocumentTable::kAccessoryData}) {
      auto rs = recordsets_.Get(table);
      if (document_->InUse(table) && (!rs || rs->RecordCount() == 0)) {
        recordsets_.CreateRecord(table);
      }
    }
    document_->Notices().EnsurePairedRecord();
    document_->Notices().Options(exclude_accounting_, flags_.counterparts, flags_.schedule);
    engine_.num_righe_modificate_ = 0;
  }

  void ReadFootDiscounts() {
    totals_rs_ = recordsets_.Get(DocumentTable::kTotals);
    totals_in_use_ = document_->InUse(DocumentTable::kTotals) && HasTotalsRecord();
    const auto discount = [&](const char* field) {
      return totals_in_use_ ? NzDec(totals_rs_->Get(field)) : kZero;
    };
    perc1_ = discount("DO13_SCPERMERCE1");
    perc2_ = discount("DO13_SCPERMERCE2");
    perc3_ = discount("DO13_SCPERMERCE3");
    amount1_ = discount("DO13_SCIMPMERCE");
    amount1_val_ = discount("DO13_SCIMPMERCE_VAL");
    amount2_ = discount("DO13_SCIMPART26");
    amount2_val_ = discount("DO13_SCIMPART26_VAL");
    const Variant perc_art26 = discount("DO13_SCPERCART26");
    const bool company = company_currency_;
    amount_discounts_ = (!IsZero(amount1_) && company) || (!IsZero(amount1_val_) && !company) ||
                        (!IsZero(amount2_) && company) || (!IsZero(amount2_val_) && !company);
    foot_discounts_ = !IsZero(perc1_) || !IsZero(perc2_) || !IsZero(perc3_) || amount_discounts_ ||
                      !IsZero(perc_art26);
  }

  // The base the absolute foot discounts are spread over, and the last row
  // that takes them.
  void SumTheFootDiscountBase() {
    if (!totals_in_use_ || !flags_.net_of_foot_discounts || !amount_discounts_) return;
    body_->SetFilter("DO30_FLGESCLSCPIEDE = 0 AND DO30_INDTIPOOMAG = 0");
    for (; !body_->Eof(); body_->MoveNext()) {
      Total(acc::kFootDiscountBase) =
          Total(acc::kFootDiscountBase) + NzDec(body_->Get("DO30_IMPORTO"));
      Total(acc::Val(acc::kFootDiscountBase)) =
          Total(acc::Val(acc::kFootDiscountBase)) + NzDec(body_->Get("DO30_IMPORTO_VAL"));
      last_discountable_ = body_->Get("DO30_PROGRIGA").CLng();
    }
    body_->ClearFilter();
  }

  // Accounts changed by hand are recalculated (said when the type registers);
  // the counterparts and the tax summary start empty.
  void StartTheCounterparts() {
    if (!flags_.counterparts || exclude_accounting_) return;
    if (header_->Get("DO11_FLGCONTIVAR") == Variant(int16_t{1}) && registers_) {
      document_->Dialogue().MessageBox(
          engine_.GetTestoMessaggio("I conti merce che sono stati precedentemente variati\r"
                                    "verranno ricalcolati dalle righe di corpo del documento",
                                    29634, Variant()),
          "", DialogueServices::kInformationStyle);
    }
    if (!IsZero(header_->Get("DO11_FLGCONTIVAR"))) header_->Set("DO11_FLGCONTIVAR", kZero);
    document_->Notices().CounterpartsStep(false);
    self_.OpenCastIva();
  }

  // Totals start from 0, but for the foot-discount base just summed.
  void StartTheTotals() {
    if (!flags_.document_totals) return;
    for (size_t i = acc::kQuantity1; i < totals_.size(); ++i) totals_[i] = kZero;
    for (Variant& value : state_.running_totals) value = kZero;
  }

  // A copy of the schedule to put back if the rebuilt one does not differ,
  // and whether it carried advance payments.
  void KeepTheOldSchedule() {
    if (state_.new_document) return;
    schedule_locked_ = state_.schedule_locked;
    auto schedule = recordsets_.Get(DocumentTable::kSchedule);
    old_schedule_ = engine_.CopiaRecordset(schedule);
    Variant advances = kZero;
    if (old_schedule_ && old_schedule_->RecordCount() > 0) {
      for (old_schedule_->MoveFirst(); !old_schedule_->Eof(); old_schedule_->MoveNext()) {
        advances = advances + NzDec(old_schedule_->Get("DO79_ACCONTO"));
      }
      old_schedule_->MoveFirst();
    }
    has_advances_ = advances > kZero;
  }

  // The document may turn the schedule off; the agents' calculated totals go.
  void StartTheCommissions() {
    document_->Notices().ScheduleDecision(flags_.schedule, exclude_accounting_, company_currency_);
    if (flags_.last_row) state_.highest_row_progressive = 0;
    agents_ = recordsets_.Get(DocumentTable::kAgents);
    agents_in_use_ = document_->InUse(DocumentTable::kAgents) && agents_;
    commissions_in_use_ = document_->InUse(DocumentTable::kCommissionRows);
    if (agents_in_use_ && commissions_in_use_ && flags_.commissions) {
      agents_->SetFilter("DO21_FLGPROVVAR = 0");
      while (agents_->RecordCount() > 0) {
        agents_->MoveFirst();
        agents_->Delete();
      }
      agents_->ClearFilter();
    }
    document_->Notices().RowPassProperties(true, kZero, kZero, "", "");
  }

  void RunTheBodyRowPass() {
    engine_.arr_spese_prog_riga_.clear();
    engine_.arr_spese_tipo_spesa_.clear();
    engine_.arr_spese_tipo_tot_.clear();
    engine_.arr_spese_tipo_aliq_.clear();
    pass_.TotaliDocumento = flags_.document_totals;
    pass_.ImportoNettoScontiPiede = flags_.net_of_foot_discounts;
    pass_.ContropartiteCastellettoIva = flags_.counterparts;
    pass_.UltimoProgressivoRiga = flags_.last_row;
    pass_.TotaliProvvigioni = flags_.commissions;
    pass_.RstCorpo = body_;
    pass_.EscludiContabilita = exclude_accounting_;
    pass_.DocInValutaAzienda = company_currency_;
    pass_.ScPerMerce1 = perc1_;
    pass_.ScPerMerce2 = perc2_;
    pass_.ScPerMerce3 = perc3_;
    pass_.ProgRigaUltimaScontabile = last_discountable_;
    pass_.ResiduoScImpMerce = pass_.TotScImpMerce = amount1_;
    pass_.ResiduoScImpArt26 = pass_.TotScImpArt26 = amount2_;
    pass_.ResiduoScImpMerceVal = pass_.TotScImpMerceVal = amount1_val_;
    pass_.ResiduoScImpArt26Val = pass_.TotScImpArt26Val = amount2_val_;
    pass_.CodiceValuta = currency_;
    pass_.AccumulatoriTotali = &totals_;
    pass_.RstProvv = commissions_;
    engine_.RicalcolaTotaliDaRigheCorpo_CicloRighe(pass_);
  }

  // The calculated expenses the pass met, priced from their brackets.
  void PriceTheExpenses() {
    if (!pass_.HaSpese) return;
    CLSMG_TARVOLIN::ExpenseArgs expenses;
    expenses.NumSpese = pass_.NumSpese;
    expenses.RstCorpo = body_;
    expenses.CodiceValuta = currency_;
    expenses.DocInValutaAzienda = company_currency_;
    expenses.ContropartiteCastellettoIva = flags_.counterparts;
    expenses.TotaliDocumento = flags_.document_totals;
    expenses.AliquotaRiga = &pass_.AzzeraPerRiga;
    expenses.AccumulatoriTotali = &totals_;
    engine_.RicalcolaTotaliDaRigheCorpo_CalcoloSpese(expenses);
  }

  // The tax of the summary's lines, its total, and that total in the
  // document currency.
  void CalculateTheTax() {
    auto summary = recordsets_.Get(DocumentTable::kTaxSummary);
    if (summary && summary->RecordCount() > 0) {
      engine_.CalculateTax();
      engine_.ImpostaTotSTaxRighe();
    }
    Total(acc::kTax) = engine_.GetTotaleTasse();
    Total(acc::Val(acc::kTax)) = kZero;
    if (!document_->NoConversion()) {
      Total(acc::Val(acc::kTax)) = self_.Cls_Calcoli()->ToDocumentCurrency(
          Total(acc::kTax), header_->Get("DO11_CAMBIO"), currency_);
    }
  }

  // Taxable amount, tax, document total and amount to pay, in both currencies.
  void WriteHeaderTotals() {
    for (size_t twin : {size_t{0}, size_t{1}}) {
      Total(acc::kDocumentTotal + twin) = Total(acc::kTaxable + twin) + Total(acc::kTax + twin);
      Total(acc::kToPay + twin) = Total(acc::kDocumentTotal + twin);
    }
    if (!HasTotalsRecord()) return;
    Recordset& totals = *totals_rs_;
    WriteIfChanged(totals, "DO13_TOTIMPONIBILE", Total(acc::kTaxable));
    WriteIfChanged(totals, "DO13_TOTIVA", Total(acc::kTax));
    if (WriteIfChanged(totals, "DO13_TOTDOCUMENTO", Total(acc::kDocumentTotal))) {
      state_.totals_changed = true;
    }
    WriteIfChanged(totals, "DO13_TOTAPAGARE", Total(acc::kToPay));
    WriteTwin("DO13_TOTIMPONIBILE_VAL", Total(acc::Val(acc::kTaxable)));
    WriteTwin("DO13_TOTIVA_VAL", Total(acc::Val(acc::kTax)));
    if (WriteTwin("DO13_TOTDOCUMENTO_VAL", Total(acc::Val(acc::kDocumentTotal)))) {
      state_.totals_changed = true;
    }
    WriteTwin("DO13_TOTAPAGARE_VAL", Total(acc::Val(acc::kToPay)));
  }

  bool WriteTwin(std::string_view field, const Variant& value) {
    return WriteValTwin(*totals_rs_, field, value, company_currency_);
  }

  // The schedule rebuilt; the old one kept when nothing that matters
  // changed, else the user told that advances must be associated again.
  void KeepOrReplaceSchedule() {
    if (!flags_.schedule || exclude_accounting_) return;
    self_.RicalcolaScadenze();
    bool differs = true;
    if (!state_.new_document) {
      differs = engine_.ScadenzeDiverse(old_schedule_, recordsets_.Get(DocumentTable::kSchedule));
    }
    if (!differs && !schedule_locked_) {
      recordsets_.Set(DocumentTable::kSchedule, old_schedule_);
      return;
    }
    if (!has_advances_) return;
    document_->Dialogue().MessageBox(
        engine_.GetTestoMessaggio("Le scadenze associate ad acconti sono state ricalcolate.\r\n"
                                  "Riassociare manualmente gli acconti.\r\n\r\n"
                                  "Prima di riassociare gli acconti, registrare il documento",
                                  74393, Variant()),
        "", DialogueServices::kInformationStyle);
    if (HasTotalsRecord()) {
      Total(acc::kToPay) = Total(acc::kToPay) + NzDec(totals_rs_->Get("DO13_ACCONTO"));
      Total(acc::Val(acc::kToPay)) =
          Total(acc::Val(acc::kToPay)) + NzDec(totals_rs_->Get("DO13_ACCONTO_VAL"));
      totals_rs_->Set("DO13_ACCONTO", kZero);
      if (!company_currency_) totals_rs_->Set("DO13_ACCONTO_VAL", kZero);
      WriteIfChanged(*totals_rs_, "DO13_TOTAPAGARE", Total(acc::kToPay));
      WriteTwin("DO13_TOTAPAGARE_VAL", Total(acc::Val(acc::kToPay)));
    }
    state_.totals_changed = true;
  }

  // Packages, weights and volume: summed by the pass (below a bound) or
  // computed by the host's calculator, as the document type says.
  void WriteAccessoryTotals() {
    auto accessory = recordsets_.Get(DocumentTable::kAccessoryData);
    if (!document_->InUse(DocumentTable::kAccessoryData) || !accessory || accessory->Bof() ||
        accessory->Eof()) {
      return;
    }
    const Variant packages_setting = NzDec(document_->DocumentSetting("INDCALCOLLI"));
    const Variant volume_setting = NzDec(document_->DocumentSetting("INDCALVOLUME"));
    const Variant weight_setting = NzDec(document_->DocumentSetting("INDCALPESOTOT"));
    const Variant computed_setting(int16_t{3});
    std::optional<std::array<Variant, 4>> computed;
    if (packages_setting == computed_setting || volume_setting == computed_setting ||
        weight_setting == computed_setting) {
      auto for_calculator = body_rows_->Clone();
      for_calculator->SetFilter(body_rows_->Filter());
      for_calculator->SetSort(body_rows_->Sort());
      computed = document_->Services().PackagesAndWeights(for_calculator);
    }
    const auto write = [&](const Variant& setting, const char* field, acc::Slot slot,
                           size_t computed_index, const Decimal& bound) {
      if (setting == kZero && state_.accessory_totals) {
        if (NzDecimal(Total(slot)) < bound) WriteIfChanged(*accessory, field, Total(slot));
      } else if (setting == computed_setting && state_.accessory_totals && computed) {
        WriteIfChanged(*accessory, field, (*computed)[computed_index]);
      }
    };
    write(packages_setting, "DO14_TOTCOLLI", acc::kPackages, 0, Decimal(10000000));
    write(weight_setting, "DO14_PESOLORDO", acc::kGrossWeight, 1, Decimal(100000000));
    write(weight_setting, "DO14_PESONETTO", acc::kNetWeight, 2, Decimal(100000000));
    write(volume_setting, "DO14_VOLUME", acc::kVolume, 3, Decimal(100000000));
  }

  // Sundry expenses and goods by totalizer, cost, gross and net goods, margin.
  void WriteGoodsTotals() {
    if (!totals_in_use_) return;
    static constexpr std::pair<const char*, acc::Slot> kGoodsTotals[] = {
        {"DO13_TOTSPVAR1", acc::kSundryExpenses1},
        {"DO13_TOTSPVAR2", acc::kSundryExpenses2},
        {"DO13_TOTSPVAR3", acc::kSundryExpenses3},
        {"DO13_TOTSPVAR4", acc::kSundryExpenses4},
        {"DO13_TOTMERCE1", acc::kGoods1},
        {"DO13_TOTMERCE2", acc::kGoods2},
        {"DO13_TOTMERCE3", acc::kGoods3},
        {"DO13_TOTMERCE4", acc::kGoods4},
        {"DO13_TOTCOSTO", acc::kCost},
    };
    for (const auto& [field, slot] : kGoodsTotals) {
      WriteIfChanged(*totals_rs_, field, Total(slot));
      WriteTwin(std::string(field) + "_VAL", Total(acc::Val(slot)));
    }
    // Without foot discounts the gross goods total is the net one.
    const acc::Slot gross = foot_discounts_ ? acc::kGrossGoods : acc::kNetGoods;
    WriteIfChanged(*totals_rs_, "DO13_TOTLORDOMERCE", Total(gross));
    WriteTwin("DO13_TOTLORDOMERCE_VAL", Total(acc::Val(gross)));
    WriteIfChanged(*totals_rs_, "DO13_TOTNETTOMERCE", Total(acc::kNetGoods));
    WriteTwin("DO13_TOTNETTOMERCE_VAL", Total(acc::Val(acc::kNetGoods)));
    totals_rs_->Set("DO13_MARGINEDOCUMENTO",
                    Variant(NzDecimal(totals_rs_->Get("DO13_TOTNETTOMERCE")) -
                            NzDecimal(totals_rs_->Get("DO13_TOTCOSTO"))));
  }

  // A row whose commission base is no longer its net amount has its lines
  // rebuilt by the calculator: its old lines out of the agents first, the
  // new ones in after.
  void RecalculateCommissionsOnNetAmounts() {
    if (!IsZero(document_->DocumentSetting("FLGPVSCPIE")) || !foot_discounts_ ||
        !flags_.commissions || !agents_in_use_ || !commissions_in_use_ || !commissions_ ||
        body_->RecordCount() == 0) {
      return;
    }
    for (body_->MoveFirst(); !body_->Eof(); body_->MoveNext()) {
      const int32_t type = NzDec(body_->Get("DO30_INDTIPORIGA")).CLng();
      if (type != 0 && type != 1 && type != 9 && (type < 15 || type > 19)) continue;
      const std::string criteria =
          "DO32_PROGRIGA = " + body_->Get("DO30_PROGRIGA").CStr() + " AND DO32_FLGVARPROV = 0";
      commissions_->SetFilter(criteria);
      if (commissions_->RecordCount() == 0 || !CommissionBaseChanged()) continue;
      AddToAgents(*commissions_, *agents_, -1);
      commissions_.reset();
      engine_.ImpostaProvvigioni(body_->GetBookmark().ToVariant());
      engine_.RicalcolaProvvigioni(body_->GetBookmark().ToVariant());
      commissions_ = recordsets_.Get(DocumentTable::kCommissionRows)->Clone();
      commissions_->SetFilter(criteria);
      AddToAgents(*commissions_, *agents_, 1);
    }
  }

  // Whether a visible commission line has a base other than the row's net amount.
  bool CommissionBaseChanged() {
    const Variant net =
        NzDec(body_->Get(company_currency_ ? "DO30_IMPNETSCP" : "DO30_IMPNETSCP_VAL"));
    for (; !commissions_->Eof(); commissions_->MoveNext()) {
      const Variant base =
          NzDec(commissions_->Get(company_currency_ ? "DO32_IMPONPROV" : "DO32_IMPONPROV_VAL"));
      if (!IsZero(base) && base != net) return true;
    }
    return false;
  }

  // The grouped rows follow the rows edited, or the current row.
  void SyncGroupedRows() {
    if (!state_.grouped_rows) return;
    if (engine_.num_righe_modificate_ > 0) {
      const VariantArray rows = engine_.arr_righe_modificate_.array();
      for (int16_t i = 0; i < engine_.num_righe_modificate_; ++i) {
        engine_.SyncDocCorpoRaggr(rows.at(static_cast<size_t>(i)).CLng());
      }
    } else if (body_rows_->RecordCount() > 0 && !body_rows_->Bof() && !body_rows_->Eof() &&
               (state_.row_edit || state_.row_insert)) {
      engine_.SyncDocCorpoRaggr(body_rows_->Get("DO30_PROGRIGA").CLng());
    }
  }

  CLSMG_TARVOLIN& engine_;
  ICLSMG_TARVOLIN& self_;  // public members are called as the host calls them
  std::shared_ptr<CoreDocument> document_;
  DocumentRecordsets& recordsets_;
  DocumentState& state_;
  Flags flags_;
  VariantArray totals_;
  CLSMG_TARVOLIN::BodyPassArgs pass_;
  std::shared_ptr<Recordset> header_, body_rows_, body_, commissions_, totals_rs_, agents_;
  std::shared_ptr<Recordset> old_schedule_;
  std::string currency_;
  bool company_currency_ = false;
  bool registers_ = false;
  bool exclude_accounting_ = false;
  bool totals_in_use_ = false;
  Variant perc1_, perc2_, perc3_, amount1_, amount1_val_, amount2_, amount2_val_;
  bool amount_discounts_ = false;
  bool foot_discounts_ = false;
  int32_t last_discountable_ = 0;
  bool schedule_locked_ = false;
  bool has_advances_ = false;
  bool agents_in_use_ = false;
  bool commissions_in_use_ = false;
};

void CLSMG_TARVOLIN::RicalcolaTotaliDaRigheCorpo(bool ImportoNettoScontiPiede,
                                                 bool ContropartiteCastellettoIva,
                                                 bool TotaliDocumento, bool Scadenze,
                                                 bool UltimoProgressivoRiga,
                                                 bool TotaliProvvigioni) {
  WithLabel("RicalcolaTotaliDaRigheCorpo:", [&] {
    DocumentRecalculation(
        *this, {ImportoNettoScontiPiede, ContropartiteCastellettoIva, TotaliDocumento, Scadenze,
                UltimoProgressivoRiga, TotaliProvvigioni})
        .Run();
  });
}

}  // namespace tarvolin
