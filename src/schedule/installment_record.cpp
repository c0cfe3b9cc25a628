// One installment row of the payment schedule, filled from its arguments and
// from the document's header and totals.
#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

bool IsZero(const Variant& value) { return NzDecimal(value).is_zero(); }

}  // namespace

void CLSMG_TARVOLIN::AddScadenza(std::shared_ptr<Recordset>& RecordsetScadenze,
                                 const AddScadenzaArgs& args) {
  WithLabel("AddScadenza:", [&] {
    auto document = RequireCc();
    if (!RecordsetScadenze) Raise(err::kObjectNotSet, "AddScadenza", "no schedule recordset");
    Recordset& schedule = *RecordsetScadenze;
    auto header = document->Recordsets().Get(DocumentTable::kHeader);
    auto totals = document->Recordsets().Get(DocumentTable::kTotals);
    if (!header || !totals) {
      Raise(err::kObjectNotSet, "AddScadenza", "the document has no header or no totals");
    }
    auto company = document->Company();
    const bool same_currency = args.CodiceValuta == document->Services().CompanyCurrencyCode();

    Variant tax = args.ImportoIvaEuro;
    Variant tax_currency = args.ImportoIvaValuta;
    // A document on goods in use carries no tax on its installments.
    if (!IsZero(document->DocumentSetting("INDCAUBENIUS"))) {
      tax = Variant(int16_t{0});
      tax_currency = Variant(int16_t{0});
    }

    schedule.AddNew();
    schedule.Set("DO79_DITTA_CG18", Variant(document->CompanyNumber()));
    schedule.Set("DO79_NUMREG_CO99", header->Get("DO11_NUMREG_CO99"));
    schedule.Set("DO79_PROGEFF", Variant(int32_t{schedule.AbsolutePosition()}));
    const bool account_branch = args.IndConto != 0 && args.IndConto != 1;
    if (account_branch) {
      schedule.Set("DO79_INDCONTO", Variant(args.IndConto));
      schedule.Set("DO79_CONTO_CG24", Variant(args.CodiceConto));
    } else {
      const Variant& party_type = header->Get("DO11_TIPOCF_CG44");
      schedule.Set("DO79_INDCONTO", party_type);
      schedule.Set("DO79_CONTO_CG24",
                   Variant(IsZero(party_type) ? company->customers_control_account
                                              : company->suppliers_control_account));
      schedule.Set("DO79_DITTACF_CG18", header->Get("DO11_DITTA_CG18"));
      schedule.Set("DO79_TIPOCF_CG44", party_type);
      // An invoicing customer that replaces the customer on conversion is the debtor.
      const bool invoicing_party = NzDecimal(header->Get("DO11_FLGCLIFAT")) == Decimal(1) &&
                                   NzDecimal(header->Get("DO11_INDCONVCLIFAT")) == Decimal(2) &&
                                   !NzStr(header->Get("DO11_CLIFORFATT")).empty();
      schedule.Set("DO79_CLIFOR_CG44", invoicing_party ? header->Get("DO11_CLIFORFATT")
                                                       : header->Get("DO11_CLIFOR_CG44"));
    }
    schedule.Set("DO79_GRUPPO_CG10", Variant(company->accounts_group));
    const Variant& total = totals->Get("DO13_TOTDOCUMENTO");
    schedule.Set("DO79_TOTDOC", args.DocumentoIntraOrNoClienteFornitore
                                    ? total - totals->Get("DO13_TOTIVA")
                                    : total);
    if (!same_currency) {
      const Variant& total_currency = totals->Get("DO13_TOTDOCUMENTO_VAL");
      schedule.Set("DO79_TOTDOCVAL", args.DocumentoIntraOrNoClienteFornitore
                                         ? total_currency - totals->Get("DO13_TOTIVA_VAL")
                                         : total_currency);
    }
    schedule.Set("DO79_BANCAAPP_CG12", header->Get("DO11_BANCA_CG12"));
    schedule.Set("DO79_AGENAPP_CG13", header->Get("DO11_CODCAB_CG13"));
    // An omitted bank progressive counts as none.
    if (args.ProgressivoBanca && !IsZero(*args.ProgressivoBanca)) {
      schedule.Set("DO79_PROGR_EF08", *args.ProgressivoBanca);
    }
    schedule.Set("DO79_NUMRATA", Variant(int32_t{schedule.AbsolutePosition()}));
    schedule.Set("DO79_TOTRATE", Variant(args.TotaleRate));
    if (!args.CodiceAgente.empty()) {
      schedule.Set("DO79_IDAGENTE_MG17", Variant(args.CodiceAgente).CLng());
    }
    schedule.Set("DO79_CODPAG_CG62", Variant(args.CondizioneDiPagamento));
    const bool consolidated = NzDecimal(header->Get("DO11_FLGDACONSOLID")) == Decimal(1);
    schedule.Set("DO79_INDTIPOMOV", Variant(static_cast<int16_t>(consolidated ? 1 : 0)));
    schedule.Set("DO79_FLGEFFVAR", Variant(int16_t{0}));
    schedule.Set("DO79_FLGSOSPESO", Variant(static_cast<int16_t>(args.ScadenzaSospesa ? 1 : 0)));
    schedule.Set("DO79_TIPOEFF", Variant(args.TipoEffetto));
    if (!IsZero(Variant(args.SottoTipoEffetto))) {
      schedule.Set("DO79_STIPOEFF", Variant(args.SottoTipoEffetto));
    }
    schedule.Set("DO79_SCADE_S", Variant(args.DataScadenza));
    schedule.Set("DO79_IMPRITACC", Variant(int16_t{0}));
    schedule.Set("DO79_FLAGNOTE", Variant(int16_t{0}));

    const Variant null = Variant::Null();
    schedule.Set("DO79_IMPEFF_S", args.ImportoScadenzaEuro);
    schedule.Set("DO79_IMPEFFVAL_S", same_currency ? null : args.ImportoScadenzaValuta);
    schedule.Set("DO79_IMPEFFIVA", tax);
    schedule.Set("DO79_IMPEFFIVA_VAL", same_currency ? null : tax_currency);
    schedule.Set("DO79_IMPRITACC", args.ImportoRitenutaEuro);
    if (!same_currency) schedule.Set("DO79_IMPRITACCVAL", args.ImportoRitenutaValuta);
    schedule.Set("DO79_BOLLI", args.BolliEuro);
    schedule.Set("DO79_BOLLIVAL", same_currency ? null : args.BolliValuta);
    schedule.Set("DO79_SPINC", args.SpeseIncassoEuro);
    schedule.Set("DO79_SPINCVAL", same_currency ? null : args.SpeseIncassoValuta);
    schedule.Set("DO79_ABBUONO", args.ImportoAbbuono);
    schedule.Set("DO79_ACCONTO", args.ImportoAcconto);
    schedule.Set("DO79_IMPORTOPAGATO", args.ImportoPagato);
    // Here the unsuffixed field is in document currency, the EURO one in company currency.
    schedule.Set("DO79_SCONTOINCOND",
                 same_currency ? args.ImportoScontoIncondEuro : args.ImportoScontoIncondValuta);
    schedule.Set("DO79_OMAGGIOSENZARIV",
                 same_currency ? args.ImportoOmaggiNoRivEuro : args.ImportoOmaggiNoRivValuta);
    if (!same_currency) {
      schedule.Set("DO79_SCONTOINCONDEURO", args.ImportoScontoIncondEuro);
      schedule.Set("DO79_OMAGGIOSENZARIVEURO", args.ImportoOmaggiNoRivEuro);
    }
    schedule.Set("DO79_ID_MG35", header->Get("DO11_ID_MG35"));
    schedule.Set("DO79_CIG", header->Get("DO11_CIG"));
    schedule.Set("DO79_CUP", header->Get("DO11_CUP"));
    // An omitted interest start date or goods kind leaves the field as the new row has it.
    if (args.DataDecorrenza) schedule.Set("DO79_DATADECORR", *args.DataDecorrenza);
    if (args.TipoMerce) schedule.Set("DO79_INDMERCEART62", *args.TipoMerce);
    schedule.Update();
  });
}

}  // namespace tarvolin
