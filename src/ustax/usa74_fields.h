// Field names of the tax-summary working recordset USA74, in the order the
// recordset is created. One place to spell them, for the tax code and its tests.
#pragma once

#include <string_view>

namespace tarvolin::usa74 {

inline constexpr std::string_view kNumRiga = "USA74_NUMRIGA";
inline constexpr std::string_view kConto = "USA74_CONTO";
inline constexpr std::string_view kDescrConto = "USA74_DESCRCONTO";
inline constexpr std::string_view kTaxJurisdiction = "USA74_TAXJURISDICTION";
inline constexpr std::string_view kDescrTaxJurisdiction = "USA74_DESCRTAXJURISDICTION";
inline constexpr std::string_view kTaxGroup = "USA74_TAXGROUP";
inline constexpr std::string_view kDescrTaxGroup = "USA74_DESCRTAXGROUP";
inline constexpr std::string_view kImponibile = "USA74_IMPONIBILE";
inline constexpr std::string_view kImponibileVal = "USA74_IMPONIBILE_VAL";
inline constexpr std::string_view kImporto = "USA74_IMPORTO";
inline constexpr std::string_view kImportoVal = "USA74_IMPORTO_VAL";
inline constexpr std::string_view kCalcOrder = "USA74_CALCORDER";
inline constexpr std::string_view kTaxPerc = "USA74_TAXPERC";
inline constexpr std::string_view kTaxAmPerc = "USA74_TAXAMPERC";
inline constexpr std::string_view kMaxAmount = "USA74_MAXAMOUNT";
inline constexpr std::string_view kActualTaxPerc = "USA74_ACTUALTAXPERC";
inline constexpr std::string_view kFlgCalcTaxOnTax = "USA74_FLGCALCTAXONTAX";
inline constexpr std::string_view kFlgCalcTaxAboveMax = "USA74_FLGCALCTAXABOVEMAX";
inline constexpr std::string_view kRoundingMethod = "USA74_ROUNDINGMETHOD";
inline constexpr std::string_view kFlgPercRic = "USA74_FLGPERCRIC";
inline constexpr std::string_view kFlgTaxOnTax = "USA74_FLGTAXONTAX";
inline constexpr std::string_view kImpNotRound = "USA74_IMPNOTROUND";
inline constexpr std::string_view kAssetCode = "USA74_ASSETCODE";

// The order CalculateTax walks the rows in: by tax group, then the highest
// calculation order first, so tax on tax sees the jurisdictions computed before it.
inline constexpr std::string_view kCalculationSort =
    "USA74_TAXGROUP ASC, USA74_CALCORDER DESC, USA74_TAXJURISDICTION ASC";

}  // namespace tarvolin::usa74
