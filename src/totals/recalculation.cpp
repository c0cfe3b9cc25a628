// The recalculation of a whole document from its body rows.
#include <array>

#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/engine.h"
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

void CLSMG_TARVOLIN::RicalcolaTotaliDaRigheCorpo(bool ImportoNettoScontiPiede,
                                                 bool ContropartiteCastellettoIva,
                                                 bool TotaliDocumento, bool Scadenze,
                                                 bool UltimoProgressivoRiga,
                                                 bool TotaliProvvigioni) {
  WithLabel("RicalcolaTotaliDaRigheCorpo:", [&] {
    auto document = RequireCc();
    DocumentRecordsets& recordsets = document->Recordsets();
    DocumentState& state = document->State();
    VariantArray totals(kAccumulatorCount);

    // 1. Landed costs come out of the rows while they are recalculated.
    Self().AzzeramentoSpeseTrasportoACosto();
    Self().AzzeramentoSpeseDaziACosto();

    // 2. Currency.
    auto header = recordsets.Get(DocumentTable::kHeader);
    if (!header) Raise(err::kObjectNotSet, "RicalcolaTotaliDaRigheCorpo", "no header");
    std::string currency = NzStr(header->Get("DO11_VALUTA_CG08"));
    for (char& c : currency) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool company_currency =
        NzStr(Variant(document->Services().CompanyCurrencyCode())) == currency;

    // 3. Clones.
    auto body_rows = recordsets.Get(DocumentTable::kBody);
    if (!body_rows) Raise(err::kObjectNotSet, "RicalcolaTotaliDaRigheCorpo", "no body rows");
    auto body = body_rows->Clone();
    body->SetSort(body_rows->Sort());
    std::shared_ptr<Recordset> commissions;
    if (document->InUse(DocumentTable::kCommissionRows)) {
      if (auto rows = recordsets.Get(DocumentTable::kCommissionRows)) commissions = rows->Clone();
    }

    // 4. Whether accounting results are rebuilt.
    const bool registers = NzDec(document->DocumentSetting("INDREGCON")) == Variant(int16_t{1});
    bool exclude_accounting = document->Services().ExcludeAccounting() && !registers;

    // 5. The one-record tables must have their record.
    for (DocumentTable table : {DocumentTable::kTotals, DocumentTable::kAccessoryData}) {
      auto rs = recordsets.Get(table);
      if (document->InUse(table) && (!rs || rs->RecordCount() == 0)) recordsets.CreateRecord(table);
    }
    document->Notices().EnsurePairedRecord();

    // 6, 7.
    document->Notices().Options(exclude_accounting, ContropartiteCastellettoIva, Scadenze);
    num_righe_modificate_ = 0;

    // 8. Foot discounts.
    auto totals_rs = recordsets.Get(DocumentTable::kTotals);
    const bool totals_in_use = document->InUse(DocumentTable::kTotals) && totals_rs &&
                               !totals_rs->Bof() && !totals_rs->Eof();
    const auto discount = [&](const char* field) {
      return totals_in_use ? NzDec(totals_rs->Get(field)) : kZero;
    };
    const Variant perc1 = discount("DO13_SCPERMERCE1"), perc2 = discount("DO13_SCPERMERCE2"),
                  perc3 = discount("DO13_SCPERMERCE3");
    const Variant amount1 = discount("DO13_SCIMPMERCE"),
                  amount1_val = discount("DO13_SCIMPMERCE_VAL"),
                  amount2 = discount("DO13_SCIMPART26"),
                  amount2_val = discount("DO13_SCIMPART26_VAL"),
                  perc_art26 = discount("DO13_SCPERCART26");
    const bool amount_discounts =
        (!IsZero(amount1) && company_currency) || (!IsZero(amount1_val) && !company_currency) ||
        (!IsZero(amount2) && company_currency) || (!IsZero(amount2_val) && !company_currency);
    const bool foot_discounts = !IsZero(perc1) || !IsZero(perc2) || !IsZero(perc3) ||
                                amount_discounts || !IsZero(perc_art26);

    // 9. The base the absolute foot discounts are spread over.
    int32_t last_discountable = 0;
    if (totals_in_use && ImportoNettoScontiPiede && amount_discounts) {
      body->SetFilter("DO30_FLGESCLSCPIEDE = 0 AND DO30_INDTIPOOMAG = 0");
      for (; !body->Eof(); body->MoveNext()) {
        totals[0] = totals[0] + NzDec(body->Get("DO30_IMPORTO"));
        totals[1] = totals[1] + NzDec(body->Get("DO30_IMPORTO_VAL"));
        last_discountable = body->Get("DO30_PROGRIGA").CLng();
      }
      body->ClearFilter();
    }

    // 10. Counterparts start again.
    if (ContropartiteCastellettoIva && !exclude_accounting) {
      if (header->Get("DO11_FLGCONTIVAR") == Variant(int16_t{1})) {
        if (registers) {
          document->Dialogue().MessageBox(
              GetTestoMessaggio("I conti merce che sono stati precedentemente variati\r"
                                "verranno ricalcolati dalle righe di corpo del documento",
                                29634, Variant()),
              "", 64);
        }
      }
      if (!IsZero(header->Get("DO11_FLGCONTIVAR"))) header->Set("DO11_FLGCONTIVAR", kZero);
      document->Notices().CounterpartsStep(false);
      Self().OpenCastIva();
    }

    // 11. Totals start from 0. Accumulators 0 and 1 hold the base of the foot
    // discounts just taken in step 9, not a document total: they stay.
    if (TotaliDocumento) {
      for (size_t i = 2; i < totals.size(); ++i) totals[i] = kZero;
      for (Variant& value : state.running_totals) value = kZero;
    }

    // 12. The old schedule and its advance payments.
    const std::string advances_message =
        "Le scadenze associate ad acconti sono state ricalcolate.\r\n"
        "Riassociare manualmente gli acconti.\r\n\r\n"
        "Prima di riassociare gli acconti, registrare il documento";
    bool schedule_locked = false;
    std::shared_ptr<Recordset> old_schedule;
    bool has_advances = false;
    if (!state.new_document) {
      schedule_locked = state.schedule_locked;
      auto schedule = recordsets.Get(DocumentTable::kSchedule);
      old_schedule = CopiaRecordset(schedule);
      Variant advances = kZero;
      if (old_schedule && old_schedule->RecordCount() > 0) {
        for (old_schedule->MoveFirst(); !old_schedule->Eof(); old_schedule->MoveNext()) {
          advances = advances + NzDec(old_schedule->Get("DO79_ACCONTO"));
        }
        old_schedule->MoveFirst();
      }
      has_advances = advances > kZero;
    }

    // 13-15.
    document->Notices().ScheduleDecision(Scadenze, exclude_accounting, company_currency);
    if (UltimoProgressivoRiga) state.highest_row_progressive = 0;
    auto agents = recordsets.Get(DocumentTable::kAgents);
    const bool agents_in_use = document->InUse(DocumentTable::kAgents) && agents;
    const bool commissions_in_use = document->InUse(DocumentTable::kCommissionRows);
    if (agents_in_use && commissions_in_use && TotaliProvvigioni) {
      agents->SetFilter("DO21_FLGPROVVAR = 0");
      while (agents->RecordCount() > 0) {
        agents->MoveFirst();
        agents->Delete();
      }
      agents->ClearFilter();
    }
    document->Notices().RowPassProperties(true, kZero, kZero, "", "");

    // 16. The body-row pass.
    arr_spese_prog_riga_.clear();
    arr_spese_tipo_spesa_.clear();
    arr_spese_tipo_tot_.clear();
    arr_spese_tipo_aliq_.clear();
    BodyPassArgs pass;
    pass.TotaliDocumento = TotaliDocumento;
    pass.ImportoNettoScontiPiede = ImportoNettoScontiPiede;
    pass.ContropartiteCastellettoIva = ContropartiteCastellettoIva;
    pass.UltimoProgressivoRiga = UltimoProgressivoRiga;
    pass.TotaliProvvigioni = TotaliProvvigioni;
    pass.RstCorpo = body;
    pass.EscludiContabilita = exclude_accounting;
    pass.DocInValutaAzienda = company_currency;
    pass.ScPerMerce1 = perc1;
    pass.ScPerMerce2 = perc2;
    pass.ScPerMerce3 = perc3;
    pass.ProgRigaUltimaScontabile = last_discountable;
    pass.ResiduoScImpMerce = pass.TotScImpMerce = amount1;
    pass.ResiduoScImpArt26 = pass.TotScImpArt26 = amount2;
    pass.ResiduoScImpMerceVal = pass.TotScImpMerceVal = amount1_val;
    pass.ResiduoScImpArt26Val = pass.TotScImpArt26Val = amount2_val;
    pass.CodiceValuta = currency;
    pass.AccumulatoriTotali = &totals;
    pass.RstProvv = commissions;
    RicalcolaTotaliDaRigheCorpo_CicloRighe(pass);

    // 17. Calculated expenses.
    if (pass.HaSpese) {
      ExpenseArgs expenses;
      expenses.NumSpese = pass.NumSpese;
      expenses.RstCorpo = body;
      expenses.CodiceValuta = currency;
      expenses.DocInValutaAzienda = company_currency;
      expenses.ContropartiteCastellettoIva = ContropartiteCastellettoIva;
      expenses.TotaliDocumento = TotaliDocumento;
      expenses.AliquotaRiga = &pass.AzzeraPerRiga;
      expenses.AccumulatoriTotali = &totals;
      RicalcolaTotaliDaRigheCorpo_CalcoloSpese(expenses);
    }

    // 18, 19. Sales tax.
    auto summary = recordsets.Get(DocumentTable::kTaxSummary);
    if (summary && summary->RecordCount() > 0) {
      CalculateTax();
      ImpostaTotSTaxRighe();
    }
    totals[32] = GetTotaleTasse();
    totals[33] = kZero;
    if (!document->NoConversion()) {
      totals[33] = Self().Cls_Calcoli()->ToDocumentCurrency(totals[32], header->Get("DO11_CAMBIO"),
                                                            currency);
    }

    // 20. Header totals.
    totals[36] = totals[30] + totals[32];
    totals[37] = totals[31] + totals[33];
    totals[34] = totals[36];
    totals[35] = totals[37];
    if (totals_rs && !totals_rs->Bof() && !totals_rs->Eof()) {
      WriteIfChanged(*totals_rs, "DO13_TOTIMPONIBILE", totals[30]);
      WriteIfChanged(*totals_rs, "DO13_TOTIVA", totals[32]);
      if (WriteIfChanged(*totals_rs, "DO13_TOTDOCUMENTO", totals[36])) state.totals_changed = true;
      WriteIfChanged(*totals_rs, "DO13_TOTAPAGARE", totals[34]);
      WriteValTwin(*totals_rs, "DO13_TOTIMPONIBILE_VAL", totals[31], company_currency);
      WriteValTwin(*totals_rs, "DO13_TOTIVA_VAL", totals[33], company_currency);
      if (WriteValTwin(*totals_rs, "DO13_TOTDOCUMENTO_VAL", totals[37], company_currency)) {
        state.totals_changed = true;
      }
      WriteValTwin(*totals_rs, "DO13_TOTAPAGARE_VAL", totals[35], company_currency);
    }

    // 21. Payment schedule: kept as it was when nothing that matters changed.
    if (Scadenze && !exclude_accounting) {
      Self().RicalcolaScadenze();
      bool differs = true;
      if (!state.new_document) {
        differs = ScadenzeDiverse(old_schedule, recordsets.Get(DocumentTable::kSchedule));
      }
      if (!differs && !schedule_locked) {
        recordsets.Set(DocumentTable::kSchedule, old_schedule);
      } else if (has_advances) {
        document->Dialogue().MessageBox(GetTestoMessaggio(advances_message, 74393, Variant()), "",
                                        64);
        if (totals_rs && !totals_rs->Bof() && !totals_rs->Eof()) {
          totals[34] = totals[34] + NzDec(totals_rs->Get("DO13_ACCONTO"));
          totals[35] = totals[35] + NzDec(totals_rs->Get("DO13_ACCONTO_VAL"));
          totals_rs->Set("DO13_ACCONTO", kZero);
          if (!company_currency) totals_rs->Set("DO13_ACCONTO_VAL", kZero);
          WriteIfChanged(*totals_rs, "DO13_TOTAPAGARE", totals[34]);
          WriteValTwin(*totals_rs, "DO13_TOTAPAGARE_VAL", totals[35], company_currency);
        }
        state.totals_changed = true;
      }
    }

    // 22. Goods, expense and accessory totals.
    if (TotaliDocumento) {
      auto accessory = recordsets.Get(DocumentTable::kAccessoryData);
      if (document->InUse(DocumentTable::kAccessoryData) && accessory && !accessory->Bof() &&
          !accessory->Eof()) {
        const Variant packages_setting = NzDec(document->DocumentSetting("INDCALCOLLI"));
        const Variant volume_setting = NzDec(document->DocumentSetting("INDCALVOLUME"));
        const Variant weight_setting = NzDec(document->DocumentSetting("INDCALPESOTOT"));
        std::optional<std::array<Variant, 4>> computed;
        const Variant three(int16_t{3});
        if (packages_setting == three || volume_setting == three || weight_setting == three) {
          auto for_calculator = body_rows->Clone();
          for_calculator->SetFilter(body_rows->Filter());
          for_calculator->SetSort(body_rows->Sort());
          computed = document->Services().PackagesAndWeights(for_calculator);
        }
        const auto write = [&](const Variant& setting, const char* field, int index,
                               int computed_index, const Decimal& bound) {
          if (setting == kZero && state.accessory_totals) {
            if (NzDecimal(totals[static_cast<size_t>(index)]) < bound) {
              WriteIfChanged(*accessory, field, totals[static_cast<size_t>(index)]);
            }
          } else if (setting == three && state.accessory_totals && computed) {
            WriteIfChanged(*accessory, field, (*computed)[static_cast<size_t>(computed_index)]);
          }
        };
        write(packages_setting, "DO14_TOTCOLLI", 4, 0, Decimal(10000000));
        write(weight_setting, "DO14_PESOLORDO", 5, 1, Decimal(100000000));
        write(weight_setting, "DO14_PESONETTO", 6, 2, Decimal(100000000));
        write(volume_setting, "DO14_VOLUME", 7, 3, Decimal(100000000));
      }
      if (totals_in_use) {
        static constexpr std::pair<const char*, int> kGoodsTotals[] = {
            {"DO13_TOTSPVAR1", 8},  {"DO13_TOTSPVAR2", 10}, {"DO13_TOTSPVAR3", 12},
            {"DO13_TOTSPVAR4", 14}, {"DO13_TOTMERCE1", 16}, {"DO13_TOTMERCE2", 18},
            {"DO13_TOTMERCE3", 20}, {"DO13_TOTMERCE4", 22}, {"DO13_TOTCOSTO", 24},
        };
        for (const auto& [field, index] : kGoodsTotals) {
          WriteIfChanged(*totals_rs, field, totals[static_cast<size_t>(index)]);
          WriteValTwin(*totals_rs, std::string(field) + "_VAL",
                       totals[static_cast<size_t>(index) + 1], company_currency);
        }
        // Without foot discounts the gross goods total is the net one.
        const size_t gross = foot_discounts ? 26 : 28;
        WriteIfChanged(*totals_rs, "DO13_TOTLORDOMERCE", totals[gross]);
        WriteValTwin(*totals_rs, "DO13_TOTLORDOMERCE_VAL", totals[gross + 1], company_currency);
        WriteIfChanged(*totals_rs, "DO13_TOTNETTOMERCE", totals[28]);
        WriteValTwin(*totals_rs, "DO13_TOTNETTOMERCE_VAL", totals[29], company_currency);
        totals_rs->Set("DO13_MARGINEDOCUMENTO",
                       Variant(NzDecimal(totals_rs->Get("DO13_TOTNETTOMERCE")) -
                               NzDecimal(totals_rs->Get("DO13_TOTCOSTO"))));
      }
    }

    // 23. Commissions on amounts net of foot discounts: a row whose commission
    // base is no longer its net amount has its lines rebuilt by the calculator,
    // its old lines taken out of the agents first and the new ones put in after.
    if (IsZero(document->DocumentSetting("FLGPVSCPIE")) && foot_discounts && TotaliProvvigioni &&
        agents_in_use && commissions_in_use && commissions && body->RecordCount() > 0) {
      for (body->MoveFirst(); !body->Eof(); body->MoveNext()) {
        const int32_t type = NzDec(body->Get("DO30_INDTIPORIGA")).CLng();
        if (type != 0 && type != 1 && type != 9 && (type < 15 || type > 19)) continue;
        const std::string criteria =
            "DO32_PROGRIGA = " + body->Get("DO30_PROGRIGA").CStr() + " AND DO32_FLGVARPROV = 0";
        commissions->SetFilter(criteria);
        if (commissions->RecordCount() == 0) continue;
        const Variant net =
            NzDec(body->Get(company_currency ? "DO30_IMPNETSCP" : "DO30_IMPNETSCP_VAL"));
        bool affected = false;
        for (; !commissions->Eof() && !affected; commissions->MoveNext()) {
          const Variant base =
              NzDec(commissions->Get(company_currency ? "DO32_IMPONPROV" : "DO32_IMPONPROV_VAL"));
          affected = !IsZero(base) && base != net;
        }
        if (!affected) continue;
        AddToAgents(*commissions, *agents, -1);
        commissions.reset();
        ImpostaProvvigioni(body->GetBookmark().ToVariant());
        RicalcolaProvvigioni(body->GetBookmark().ToVariant());
        commissions = recordsets.Get(DocumentTable::kCommissionRows)->Clone();
        commissions->SetFilter(criteria);
        AddToAgents(*commissions, *agents, 1);
      }
    }

    // 24-26.
    if (agents_in_use && TotaliProvvigioni && agents->RecordCount() > 0) agents->MoveFirst();
    if (state.grouped_rows) {
      if (num_righe_modificate_ > 0) {
        const VariantArray rows = arr_righe_modificate_.array();
        for (int16_t i = 0; i < num_righe_modificate_; ++i) {
          SyncDocCorpoRaggr(rows.at(static_cast<size_t>(i)).CLng());
        }
      } else if (body_rows->RecordCount() > 0 && !body_rows->Bof() && !body_rows->Eof() &&
                 (state.row_edit || state.row_insert)) {
        SyncDocCorpoRaggr(body_rows->Get("DO30_PROGRIGA").CLng());
      }
    }

    // 27, 28.
    Self().AnnotazioneSpeseTrasportoACosto();
    Self().AnnotazioneSpeseDaziACosto();
    SalvaTotali(totals);
  });
}

}  // namespace tarvolin
