// Test support for the US sales-tax code: an empty tax-summary recordset USA74
// with the fields the recordset is created with (order, types, sizes,
// precision and scale), a summary row as the counterparts builder adds it, and
// an engine on a Texas document.
#pragma once

#include <memory>
#include <string>

#include "support/documents.h"
#include "support/errors.h"
#include "tarvolin/recordset/recordset.h"
#include "ustax/usa74_fields.h"

namespace tarvolin::testing_support {

inline std::shared_ptr<Recordset> NewUsa74() {
  auto rs = Recordset::Create();
  const auto text = [&](std::string_view name, DataType type, int32_t size) {
    rs->AppendField(std::string(name), type, size);
  };
  const auto decimal = [&](std::string_view name, int32_t size, uint8_t precision = 0,
                           uint8_t scale = 0) {
    rs->AppendField(std::string(name), DataType::kDecimal, size,
                    field_attr::kIsNullable | field_attr::kMayBeNull, precision, scale);
  };
  decimal(usa74::kNumRiga, 2);
  text(usa74::kConto, DataType::kChar, 10);
  text(usa74::kDescrConto, DataType::kVarChar, 50);
  text(usa74::kTaxJurisdiction, DataType::kChar, 10);
  text(usa74::kDescrTaxJurisdiction, DataType::kVarChar, 50);
  text(usa74::kTaxGroup, DataType::kChar, 10);
  text(usa74::kDescrTaxGroup, DataType::kVarChar, 50);
  for (auto name : {usa74::kImponibile, usa74::kImponibileVal, usa74::kImporto, usa74::kImportoVal})
    decimal(name, 13, 13, 2);
  decimal(usa74::kCalcOrder, 2);
  decimal(usa74::kTaxPerc, 7, 7, 4);
  decimal(usa74::kTaxAmPerc, 7, 7, 4);
  decimal(usa74::kMaxAmount, 13, 13, 2);
  decimal(usa74::kActualTaxPerc, 7, 7, 4);
  for (auto name : {usa74::kFlgCalcTaxOnTax, usa74::kFlgCalcTaxAboveMax, usa74::kRoundingMethod,
                    usa74::kFlgPercRic, usa74::kFlgTaxOnTax})
    decimal(name, 1, 1, 0);
  decimal(usa74::kImpNotRound, 38, 38, 20);
  text(usa74::kAssetCode, DataType::kVarChar, 20);
  rs->Open();
  return rs;
}

// A plain tax row (no account, no asset) with its base in company currency and
// the Integer 0 in every amount, rate and flag. The new row stays current.
inline void AddUsa74Row(Recordset& rs, const std::string& jurisdiction, const std::string& group,
                        int order, int method, const std::string& base) {
  const Variant zero(int16_t{0});
  rs.AddNew();
  rs.Set(usa74::kNumRiga, Variant(int32_t{rs.RecordCount()}));
  rs.Set(usa74::kConto, Variant(""));
  rs.Set(usa74::kDescrConto, Variant(""));
  rs.Set(usa74::kTaxJurisdiction, Variant(jurisdiction));
  rs.Set(usa74::kTaxGroup, Variant(group));
  rs.Set(usa74::kCalcOrder, Variant(int16_t(order)));
  rs.Set(usa74::kRoundingMethod, Variant(int16_t(method)));
  rs.Set(usa74::kAssetCode, Variant(""));
  for (auto name :
       {usa74::kImponibileVal, usa74::kImporto, usa74::kImportoVal, usa74::kTaxPerc,
        usa74::kTaxAmPerc, usa74::kMaxAmount, usa74::kActualTaxPerc, usa74::kFlgCalcTaxOnTax,
        usa74::kFlgCalcTaxAboveMax, usa74::kFlgPercRic, usa74::kFlgTaxOnTax})
    rs.Set(name, zero);
  rs.Set(usa74::kImponibile, Variant(Decimal::Parse(base)));
  rs.Update();
}

// An engine on a document of company 1 dated 2026-03-16 in tax area TX-MSP,
// in USD, over the demo database.
class UsTaxBench : public EngineBench {
 protected:
  UsTaxBench() {
    header_->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 3, 16)));
    header_->Set("DO11_TAXAREA_NV01", Variant("TX-MSP"));
    header_->Set("DO11_VALUTA_CG08", Variant("USD"));
  }
};

}  // namespace tarvolin::testing_support
