#include "engine/trace_events.h"

#include "tarvolin/engine/value_helpers.h"
#include "ustax/usa74_fields.h"

namespace tarvolin {

TaxDetailLookup TracedTaxDetail(const std::string& jurisdiction, const std::string& group,
                                bool found, const std::string& date, const Recordset* rate,
                                const Variant& maximum, const Variant& below, const Variant& above,
                                const Variant& tax_on_tax) {
  TaxDetailLookup lookup{.jurisdiction = jurisdiction,
                         .tax_group = group,
                         .found = found,
                         .cached = rate == nullptr,
                         .date = rate == nullptr ? std::string() : date,
                         .maximum = maximum,
                         .below = below,
                         .above = above,
                         .tax_on_tax = tax_on_tax};
  if (rate != nullptr && !rate->Eof()) {
    lookup.effective_date = rate->Get("NV05_EFFECTIVEDATE");
    lookup.type = rate->Get("NV05_TAXTYPE");
  }
  return lookup;
}

TaxLineCalculation TracedTaxLine(CoreDocument& document, const Recordset& line,
                                 const TaxLineWork& work) {
  TaxLineCalculation calculation{
      .jurisdiction = NzStr(line.Get(usa74::kTaxJurisdiction)),
      .tax_group = NzStr(line.Get(usa74::kTaxGroup)),
      .own_base = NzDec(line.Get(usa74::kImponibile)),
      .tax_on_tax_added = NzDec(line.Get(usa74::kFlgTaxOnTax)) != Variant(int16_t{0})
                              ? NzDec(work.tax_on_tax_base)
                              : Variant(int16_t{0}),
      .tax_base = work.tax_base,
      .maximum = line.Get(usa74::kMaxAmount),
      .below = line.Get(usa74::kTaxPerc),
      .above = line.Get(usa74::kTaxAmPerc),
      .above_maximum = !work.within_max,
      .below_part = work.within_max ? work.unrounded : work.up_to_max,
      .above_part = work.within_max ? Decimal() : work.over_max,
      .unrounded = work.unrounded,
      .intermediate = line.Get(usa74::kImpNotRound),
      .tax_decimals = work.tax_decimals,
      .rounding_method = line.Get(usa74::kRoundingMethod),
      .currency_decimals = work.currency_decimals,
      .tax = line.Get(usa74::kImporto),
      .converted = work.converted,
      .tax_val = line.Get(usa74::kImportoVal),
      .effective_rate = line.Get(usa74::kActualTaxPerc),
      .rate_recomputed = NzDec(line.Get(usa74::kFlgPercRic)) != Variant(int16_t{0})};
  if (work.converted) {
    if (auto header = document.Recordsets().Get(DocumentTable::kHeader)) {
      calculation.exchange_rate = header->Get("DO11_CAMBIO");
      calculation.currency = NzStr(header->Get("DO11_VALUTA_CG08"));
    }
  }
  return calculation;
}

RowPosting TracedRowPosting(const Recordset& row, const Recordset& counterpart,
                            const Recordset& header, bool liable, bool has_area_lines,
                            const Variant& taxable) {
  RowPosting posting{.row = NzDec(row.Get("DO30_PROGRIGA")).CLng(),
                     .counterpart_line = counterpart.Get("CG42_NUMRIGACONT"),
                     .account = NzStr(row.Get("DO30_CPMERCE_CG24")),
                     .asset = NzStr(row.Get("DO30_ASSETCODE")),
                     .tax_group = NzStr(row.Get("DO30_TAXGROUP_NV04")),
                     .net = NzDec(row.Get("DO30_IMPNETSCP")),
                     .net_val = NzDec(row.Get("DO30_IMPNETSCP_VAL")),
                     .tax_area = NzStr(header.Get("DO11_TAXAREA_NV01")),
                     .taxable = taxable,
                     .document_date = header.Get("DO11_DATADOC")};
  if (!liable) {
    posting.tax = TaxBaseOutcome::kNotLiable;
  } else if (posting.tax_area.empty()) {
    posting.tax = TaxBaseOutcome::kNoTaxArea;
  } else if (!has_area_lines) {
    posting.tax = TaxBaseOutcome::kTaxAreaWithoutLines;
  }
  return posting;
}

}  // namespace tarvolin
