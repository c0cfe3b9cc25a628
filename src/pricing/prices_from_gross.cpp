// The price of a body row from a price the user entered in one of its three
// units, plain or including the row's rate: turned into the price the row
// keeps (net, or gross when the document keeps gross prices) and handed to the
// related-unit change of that unit, which recomputes the other two.
#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {

namespace {

const Variant kZero(int16_t{0});

// The rates that decide how an entered price is read: the row's rate when
// the document keeps gross prices, else (for a rate-inclusive price) its
// primary rate or, failing that, its secondary one.
struct RowRates {
  bool gross_case = false;
  Variant rate = kZero;
  Variant primary = kZero;
  Variant secondary = kZero;
};

RowRates RatesOf(CalculationServices& calculation, Recordset& header,
                 const std::shared_ptr<Recordset>& body, bool rate_included) {
  RowRates rates;
  // The document keeps gross prices and the row has a rate.
  const bool gross_prices = NzDec(header.Get("DO11_FLGDEFPIEDE")) == Variant(1);
  if (gross_prices) rates.rate = calculation.PrimaryRowRate(body);
  rates.gross_case = gross_prices && NzDec(rates.rate) != kZero;
  if (!rates.gross_case && rate_included) {
    rates.primary = calculation.PrimaryRowRate(body);
    if (NzDec(rates.primary) == kZero) rates.secondary = calculation.SecondaryRowRate(body);
  }
  return rates;
}

// The price to hand on, and whether the host's own change takes it: a
// rate-inclusive price the row's rate turns into a net one goes to the host;
// every other case to the related-unit change.
struct PriceToSet {
  bool own = false;
  Variant price;
};

PriceToSet PriceFromEntered(ICLSMG_TARVOLIN& self, CoreDocument& document, const RowRates& rates,
                            const Variant& entered, bool rate_included,
                            const std::string& currency) {
  CalculationServices& calculation = document.Calculation();
  PriceToSet result{false, entered};
  if (!rates.gross_case && rate_included) {
    if (NzDec(rates.primary) == kZero && NzDec(rates.secondary) != kZero) {
      result.price = Variant(calculation.NetOfIncludedRate(entered, rates.secondary, currency));
    } else {
      result.own = true;
    }
  } else if (rates.gross_case && !rate_included) {
    self.FindValuta(Variant(currency));  // the price decimals are the document currency's
    result.price = entered + Variant(calculation.RateAmount(entered, rates.rate, currency,
                                                            document.Currency().price_decimals));
  }
  return result;
}

}  // namespace

void CLSMG_TARVOLIN::ImpostaPrezziPerRigaDaLordo(std::shared_ptr<Recordset>& fclsRstTestata,
                                                 std::shared_ptr<Recordset>& fclsRstCorpo,
                                                 const Variant& fvarPrezzoLordo, int16_t fintUM,
                                                 bool fbolIvaCompresa) {
  WithLabel("ImpostaPrezziPerRigaDaLordo:", [&] {
    constexpr std::string_view kProcedure = "ImpostaPrezziPerRigaDaLordo";
    if (!fclsRstTestata) Raise(err::kObjectNotSet, kProcedure, "no header recordset");
    if (!fclsRstCorpo) Raise(err::kObjectNotSet, kProcedure, "no body recordset");
    auto document = RequireCc();
    CalculationServices& calculation = document->Calculation();
    const std::string currency = NzStr(fclsRstTestata->Get("DO11_VALUTA_CG08"));
    const RowRates rates = RatesOf(calculation, *fclsRstTestata, fclsRstCorpo, fbolIvaCompresa);
    if (fintUM < 1 || fintUM > 3) return;
    const PriceToSet to_set =
        PriceFromEntered(Self(), *document, rates, fvarPrezzoLordo, fbolIvaCompresa, currency);

    const bool changed_before = NzDec(fclsRstCorpo->Get("DO30_FLGPRSCVAR")) != kZero;
    if (to_set.own) {
      calculation.ChangePrice(fintUM, fclsRstCorpo, to_set.price, true, true);
    } else if (fintUM == 1) {
      Self().CambiaDocCorpoPrezzo1Rel(fclsRstCorpo, to_set.price, true, true);
    } else if (fintUM == 2) {
      Self().CambiaDocCorpoPrezzo2Rel(fclsRstCorpo, to_set.price, true, true);
    } else {
      Self().CambiaDocCorpoPrezzoCFRel(fclsRstCorpo, to_set.price, true, true);
    }
    fclsRstCorpo->Set("DO30_FLGPRSCVAR", Variant(changed_before));
  });
}

}  // namespace tarvolin
