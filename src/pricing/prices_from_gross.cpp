// The price of a body row from a price the user entered in one of its three
// units, plain or including the row's rate: turned into the price the row
// keeps (net, or gross when the document keeps gross prices) and handed to the
// related-unit change of that unit, which recomputes the other two.
#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {

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
    const Variant zero(int16_t{0});
    const Variant& entered = fvarPrezzoLordo;
    const std::string currency = NzStr(fclsRstTestata->Get("DO11_VALUTA_CG08"));

    // The document keeps gross prices and the row has a rate.
    const bool gross_prices = NzDec(fclsRstTestata->Get("DO11_FLGDEFPIEDE")) == Variant(1);
    Variant rate = zero;
    if (gross_prices) rate = calculation.PrimaryRowRate(fclsRstCorpo);
    const bool gross_case = gross_prices && NzDec(rate) != zero;
    Variant primary = zero;
    Variant secondary = zero;
    if (!gross_case && fbolIvaCompresa) {
      primary = calculation.PrimaryRowRate(fclsRstCorpo);
      if (NzDec(primary) == zero) secondary = calculation.SecondaryRowRate(fclsRstCorpo);
    }
    if (fintUM < 1 || fintUM > 3) return;

    // The host's own change takes a rate-inclusive price the row's rate turns
    // into a net one; every other case goes through the related-unit change.
    bool own = false;
    Variant price = entered;
    if (!gross_case && fbolIvaCompresa) {
      if (NzDec(primary) == zero && NzDec(secondary) != zero) {
        price = Variant(calculation.NetOfIncludedRate(entered, secondary, currency));
      } else {
        own = true;
      }
    } else if (gross_case && !fbolIvaCompresa) {
      FindValuta(Variant(currency));  // the price decimals are the document currency's
      price = entered + Variant(calculation.RateAmount(entered, rate, currency,
                                                       document->Currency().price_decimals));
    }

    const bool changed_before = NzDec(fclsRstCorpo->Get("DO30_FLGPRSCVAR")) != zero;
    if (own) {
      calculation.ChangePrice(fintUM, fclsRstCorpo, price, true, true);
    } else if (fintUM == 1) {
      Self().CambiaDocCorpoPrezzo1Rel(fclsRstCorpo, price, true, true);
    } else if (fintUM == 2) {
      Self().CambiaDocCorpoPrezzo2Rel(fclsRstCorpo, price, true, true);
    } else {
      Self().CambiaDocCorpoPrezzoCFRel(fclsRstCorpo, price, true, true);
    }
    fclsRstCorpo->Set("DO30_FLGPRSCVAR", Variant(changed_before));
  });
}

}  // namespace tarvolin
