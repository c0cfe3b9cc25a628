// Handing the totals of a recalculation to the document.
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/engine.h"

namespace tarvolin {
namespace {

// The keys in the order they are handed over, each with its accumulator.
constexpr std::pair<int, const char*> kTotalKeys[] = {
    {2, "DOXX_TOTQTA1"},        {3, "DOXX_TOTQTA2"},
    {4, "DO14_TOTCOLLI"},       {5, "DO14_PESOLORDO"},
    {6, "DO14_PESONETTO"},      {7, "DO14_VOLUME"},
    {8, "DO13_TOTSPVAR1"},      {9, "DO13_TOTSPVAR1_VAL"},
    {10, "DO13_TOTSPVAR2"},     {11, "DO13_TOTSPVAR2_VAL"},
    {12, "DO13_TOTSPVAR3"},     {13, "DO13_TOTSPVAR3_VAL"},
    {14, "DO13_TOTSPVAR4"},     {15, "DO13_TOTSPVAR4_VAL"},
    {16, "DO13_TOTMERCE1"},     {17, "DO13_TOTMERCE1_VAL"},
    {18, "DO13_TOTMERCE2"},     {19, "DO13_TOTMERCE2_VAL"},
    {20, "DO13_TOTMERCE3"},     {21, "DO13_TOTMERCE3_VAL"},
    {22, "DO13_TOTMERCE4"},     {23, "DO13_TOTMERCE4_VAL"},
    {24, "DO13_TOTCOSTO"},      {25, "DO13_TOTCOSTO_VAL"},
    {26, "DO13_TOTLORDOMERCE"}, {27, "DO13_TOTLORDOMERCE_VAL"},
    {28, "DO13_TOTNETTOMERCE"}, {29, "DO13_TOTNETTOMERCE_VAL"},
    {30, "DO13_TOTIMPONIBILE"}, {31, "DO13_TOTIMPONIBILE_VAL"},
    {32, "DO13_TOTIVA"},        {33, "DO13_TOTIVA_VAL"},
    {34, "DO13_TOTAPAGARE"},    {35, "DO13_TOTAPAGARE_VAL"},
    {36, "DO13_TOTDOCUMENTO"},  {37, "DO13_TOTDOCUMENTO_VAL"},
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
      totals->Add(key, Totali[static_cast<size_t>(index)]);
    }
    RequireCc()->ReceiveTotals(std::move(totals));
  });
}

}  // namespace tarvolin
