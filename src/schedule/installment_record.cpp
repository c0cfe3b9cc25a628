// One installment row of the payment schedule, filled from its arguments and
// from the document's header and totals.
#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

bool IsZero(const Variant& value) { return NzDecimal(value).is_zero(); }

// Fills one new installment row, field group by field group, in the order
// the fields have always been written.
class InstallmentRecord {
 public:
  using Args = ICLSMG_TARVOLIN::AddScadenzaArgs;

  InstallmentRecord(CoreDocument& document, Recordset& schedule, const Recordset& header,
                    const Recordset& totals, const Args& args)
      : document_(document),
        schedule_(schedule),
        header_(header),
        totals_(totals),
        args_(args),
        company_(document.Company()),
        same_currency_(args.CodiceValuta == document.Services().CompanyCurrencyCode()) {}

  void Add() {
    Variant tax = args_.ImportoIvaEuro;
    Variant tax_currency = args_.ImportoIvaValuta;
    // A document on goods in use carries no tax on its installments.
    if (!IsZero(document_.DocumentSetting("INDCAUBENIUS"))) {
      tax = Variant(int16_t{0});
      tax_currency = Variant(int16_t{0});
    }
    schedule_.AddNew();
    schedule_.Set("DO79_DITTA_CG18", Variant(document_.CompanyNumber()));
    schedule_.Set("DO79_NUMREG_CO99", header_.Get("DO11_NUMREG_CO99"));
    schedule_.Set("DO79_PROGEFF", Variant(int32_t{schedule_.AbsolutePosition()}));
    WriteDebtor();
    WriteDocumentTotal();
    WriteTermsAndEffect();
    WriteAmounts(tax, tax_currency);
    WriteHeaderReferences();
    schedule_.Update();
  }

 private:
  // The account the installment is on: the one given, or the customer's or
  // supplier's control account with the party itself.
  void WriteDebtor() {
    const bool account_branch = args_.IndConto != 0 && args_.IndConto != 1;
    if (account_branch) {
      schedule_.Set("DO79_INDCONTO", Variant(args_.IndConto));
      schedule_.Set("DO79_CONTO_CG24", Variant(args_.CodiceConto));
      return;
    }
    const Variant& party_type = header_.Get("DO11_TIPOCF_CG44");
    schedule_.Set("DO79_INDCONTO", party_type);
    schedule_.Set("DO79_CONTO_CG24",
                  Variant(IsZero(party_type) ? company_->customers_control_account
                                             : company_->suppliers_control_account));
    schedule_.Set("DO79_DITTACF_CG18", header_.Get("DO11_DITTA_CG18"));
    schedule_.Set("DO79_TIPOCF_CG44", party_type);
    // An invoicing customer that replaces the customer on conversion is the debtor.
    const bool invoicing_party = NzDecimal(header_.Get("DO11_FLGCLIFAT")) == Decimal(1) &&
                                 NzDecimal(header_.Get("DO11_INDCONVCLIFAT")) == Decimal(2) &&
                                 !NzStr(header_.Get("DO11_CLIFORFATT")).empty();
    schedule_.Set("DO79_CLIFOR_CG44", invoicing_party ? header_.Get("DO11_CLIFORFATT")
                                                      : header_.Get("DO11_CLIFOR_CG44"));
  }

  // The document total, without its tax for an intra-community document or
  // one without a customer or supplier.
  void WriteDocumentTotal() {
    schedule_.Set("DO79_GRUPPO_CG10", Variant(company_->accounts_group));
    const bool without_tax = args_.DocumentoIntraOrNoClienteFornitore;
    const Variant& total = totals_.Get("DO13_TOTDOCUMENTO");
    schedule_.Set("DO79_TOTDOC", without_tax ? total - totals_.Get("DO13_TOTIVA") : total);
    if (!same_currency_) {
      const Variant& total_currency = totals_.Get("DO13_TOTDOCUMENTO_VAL");
      schedule_.Set("DO79_TOTDOCVAL",
                    without_tax ? total_currency - totals_.Get("DO13_TOTIVA_VAL") : total_currency);
    }
  }

  // Bank, agent, payment terms, effect and due date.
  void WriteTermsAndEffect() {
    schedule_.Set("DO79_BANCAAPP_CG12", header_.Get("DO11_BANCA_CG12"));
    schedule_.Set("DO79_AGENAPP_CG13", header_.Get("DO11_CODCAB_CG13"));
    // An omitted bank progressive counts as none.
    if (args_.ProgressivoBanca && !IsZero(*args_.ProgressivoBanca)) {
      schedule_.Set("DO79_PROGR_EF08", *args_.ProgressivoBanca);
    }
    schedule_.Set("DO79_NUMRATA", Variant(int32_t{schedule_.AbsolutePosition()}));
    schedule_.Set("DO79_TOTRATE", Variant(args_.TotaleRate));
    if (!args_.CodiceAgente.empty()) {
      schedule_.Set("DO79_IDAGENTE_MG17", Variant(args_.CodiceAgente).CLng());
    }
    schedule_.Set("DO79_CODPAG_CG62", Variant(args_.CondizioneDiPagamento));
    const bool consolidated = NzDecimal(header_.Get("DO11_FLGDACONSOLID")) == Decimal(1);
    schedule_.Set("DO79_INDTIPOMOV", Variant(static_cast<int16_t>(consolidated ? 1 : 0)));
    schedule_.Set("DO79_FLGEFFVAR", Variant(int16_t{0}));
    schedule_.Set("DO79_FLGSOSPESO", Variant(static_cast<int16_t>(args_.ScadenzaSospesa ? 1 : 0)));
    schedule_.Set("DO79_TIPOEFF", Variant(args_.TipoEffetto));
    if (!IsZero(Variant(args_.SottoTipoEffetto))) {
      schedule_.Set("DO79_STIPOEFF", Variant(args_.SottoTipoEffetto));
    }
    schedule_.Set("DO79_SCADE_S", Variant(args_.DataScadenza));
    schedule_.Set("DO79_IMPRITACC", Variant(int16_t{0}));
    schedule_.Set("DO79_FLAGNOTE", Variant(int16_t{0}));
  }

  // The amounts in both currencies; a company-currency document has Null
  // in the document-currency fields.
  void WriteAmounts(const Variant& tax, const Variant& tax_currency) {
    const Variant null = Variant::Null();
    const bool same = same_currency_;
    schedule_.Set("DO79_IMPEFF_S", args_.ImportoScadenzaEuro);
    schedule_.Set("DO79_IMPEFFVAL_S", same ? null : args_.ImportoScadenzaValuta);
    schedule_.Set("DO79_IMPEFFIVA", tax);
    schedule_.Set("DO79_IMPEFFIVA_VAL", same ? null : tax_currency);
    schedule_.Set("DO79_IMPRITACC", args_.ImportoRitenutaEuro);
    if (!same) schedule_.Set("DO79_IMPRITACCVAL", args_.ImportoRitenutaValuta);
    schedule_.Set("DO79_BOLLI", args_.BolliEuro);
    schedule_.Set("DO79_BOLLIVAL", same ? null : args_.BolliValuta);
    schedule_.Set("DO79_SPINC", args_.SpeseIncassoEuro);
    schedule_.Set("DO79_SPINCVAL", same ? null : args_.SpeseIncassoValuta);
    schedule_.Set("DO79_ABBUONO", args_.ImportoAbbuono);
    schedule_.Set("DO79_ACCONTO", args_.ImportoAcconto);
    schedule_.Set("DO79_IMPORTOPAGATO", args_.ImportoPagato);
    // Here the unsuffixed field is in document currency, the EURO one in company currency.
    schedule_.Set("DO79_SCONTOINCOND",
                  same ? args_.ImportoScontoIncondEuro : args_.ImportoScontoIncondValuta);
    schedule_.Set("DO79_OMAGGIOSENZARIV",
                  same ? args_.ImportoOmaggiNoRivEuro : args_.ImportoOmaggiNoRivValuta);
    if (!same) {
      schedule_.Set("DO79_SCONTOINCONDEURO", args_.ImportoScontoIncondEuro);
      schedule_.Set("DO79_OMAGGIOSENZARIVEURO", args_.ImportoOmaggiNoRivEuro);
    }
  }

  void WriteHeaderReferences() {
    schedule_.Set("DO79_ID_MG35", header_.Get("DO11_ID_MG35"));
    schedule_.Set("DO79_CIG", header_.Get("DO11_CIG"));
    schedule_.Set("DO79_CUP", header_.Get("DO11_CUP"));
    // An omitted interest start date or goods kind leaves the field as the new row has it.
    if (args_.DataDecorrenza) schedule_.Set("DO79_DATADECORR", *args_.DataDecorrenza);
    if (args_.TipoMerce) schedule_.Set("DO79_INDMERCEART62", *args_.TipoMerce);
  }

  CoreDocument& document_;
  Recordset& schedule_;
  const Recordset& header_;
  const Recordset& totals_;
  const Args& args_;
  std::shared_ptr<CurrentCompany> company_;
  const bool same_currency_;
};

}  // namespace

void CLSMG_TARVOLIN::AddScadenza(std::shared_ptr<Recordset>& RecordsetScadenze,
                                 const AddScadenzaArgs& args) {
  WithLabel("AddScadenza:", [&] {
    auto document = RequireCc();
    if (!RecordsetScadenze) Raise(err::kObjectNotSet, "AddScadenza", "no schedule recordset");
    auto header = document->Recordsets().Get(DocumentTable::kHeader);
    auto totals = document->Recordsets().Get(DocumentTable::kTotals);
    if (!header || !totals) {
      Raise(err::kObjectNotSet, "AddScadenza", "the document has no header or no totals");
    }
    InstallmentRecord(*document, *RecordsetScadenze, *header, *totals, args).Add();
  });
}

}  // namespace tarvolin
