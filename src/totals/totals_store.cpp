// Handing the totals of a recalculation to the document.
#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "totals/accumulators.h"

namespace tarvolin {
namespace {

// The keys in the order they are handed over, each with its accumulator.
constexpr std::pair<size_t, const char*> kTotalKeys[] = {
    {acc::kQuantity1, "DOXX_TOTQTA1"},
    {acc::kQuantity2, "DOXX_TOTQTA2"},
    {acc::kPackages, "DO14_TOTCOLLI"},
    {acc::kGrossWeight, "DO14_PESOLORDO"},
    {acc::kNetWeight, "DO14_PESONETTO"},
    {acc::kVolume, "DO14_VOLUME"},
    {acc::kSundryExpenses1, "DO13_TOTSPVAR1"},
    {acc::Val(acc::kSundryExpenses1), "DO13_TOTSPVAR1_VAL"},
    {acc::kSundryExpenses2, "DO13_TOTSPVAR2"},
    {acc::Val(acc::kSundryExpenses2), "DO13_TOTSPVAR2_VAL"},
    {acc::kSundryExpenses3, "DO13_TOTSPVAR3"},
    {acc::Val(acc::kSundryExpenses3), "DO13_TOTSPVAR3_VAL"},
    {acc::kSundryExpenses4, "DO13_TOTSPVAR4"},
    {acc::Val(acc::kSundryExpenses4), "DO13_TOTSPVAR4_VAL"},
    {acc::kGoods1, "DO13_TOTMERCE1"},
    {acc::Val(acc::kGoods1), "DO13_TOTMERCE1_VAL"},
    {acc::kGoods2, "DO13_TOTMERCE2"},
    {acc::Val(acc::kGoods2), "DO13_TOTMERCE2_VAL"},
    {acc::kGoods3, "DO13_TOTMERCE3"},
    {acc::Val(acc::kGoods3), "DO13_TOTMERCE3_VAL"},
    {acc::kGoods4, "DO13_TOTMERCE4"},
    {acc::Val(acc::kGoods4), "DO13_TOTMERCE4_VAL"},
    {acc::kCost, "DO13_TOTCOSTO"},
    {acc::Val(acc::kCost), "DO13_TOTCOSTO_VAL"},
    {acc::kGrossGoods, "DO13_TOTLORDOMERCE"},
    {acc::Val(acc::kGrossGoods), "DO13_TOTLORDOMERCE_VAL"},
    {acc::kNetGoods, "DO13_TOTNETTOMERCE"},
    {acc::Val(acc::kNetGoods), "DO13_TOTNETTOMERCE_VAL"},
    {acc::kTaxable, "DO13_TOTIMPONIBILE"},
    {acc::Val(acc::kTaxable), "DO13_TOTIMPONIBILE_VAL"},
    {acc::kTax, "DO13_TOTIVA"},
    {acc::Val(acc::kTax), "DO13_TOTIVA_VAL"},
    {acc::kToPay, "DO13_TOTAPAGARE"},
    {acc::Val(acc::kToPay), "DO13_TOTAPAGARE_VAL"},
    {acc::kDocumentTotal, "DO13_TOTDOCUMENTO"},
    {acc::Val(acc::kDocumentTotal), "DO13_TOTDOCUMENTO_VAL"},
};

}  // namespace

void CLSMG_TARVOLIN::SalvaTotali(VariantArray& Totali) {
  // This label has no colon: it is the one the procedure has always used.
  WithLabel("SalvaTotali", [&] {
    if (Totali.size() != kAccumulatorCount) {
      Raise(err::kSubscriptOutOfRange, "SalvaTotali",
            "the totals block holds " + std::to_string(Totali.size()) + " values, not 52");
    }
    auto totals = std::make_shared<Dictionary>();
    for (const auto& [index, key] : kTotalKeys) {
      totals->Add(key, Totali[index]);
    }
    RequireCc()->ReceiveTotals(std::move(totals));
  });
}

}  // namespace tarvolin
