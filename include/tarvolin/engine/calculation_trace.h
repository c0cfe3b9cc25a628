// How the engine reached its figures, told as it works: an observer a host
// sets on the engine (CLSMG_TARVOLIN::set_trace) to explain a recalculation or
// to warn about a row that bears no tax.
//
// The engine calls the observer at the points where it decides, with the
// values it decided on, so what an observer learns is the calculation itself
// and never a second working of it. With no observer set each point costs one
// null check. Every event has a default that does nothing: an observer
// overrides the ones it wants.
//
// Within one recalculation the events come in the order the engine works: for
// each body row its foot discounts and then its posting to a counterpart line
// and to the tax bases; then, tax group by tax group and within a group from
// the highest calculation order down, each tax line's rate look-up followed
// (when a rate was found) by its calculation. An event and what it refers to
// are valid only during the call. An observer must not raise: what it throws
// travels through the engine as the engine's own error.
#pragma once

#include <cstdint>
#include <string>

#include "tarvolin/automation/decimal.h"
#include "tarvolin/automation/variant.h"

namespace tarvolin {

// One of the three percentage foot discounts taken off a row, in cascade.
struct PercentageFootDiscount {
  int32_t row = 0;                 // DO30_PROGRIGA
  int discount = 0;                // 1 to 3: DO13_SCPERMERCE1 to DO13_SCPERMERCE3
  bool document_currency = false;  // worked on the row's _VAL amount
  Variant percentage;
  Variant amount_after;  // the row's amount once this discount is off
};

// A row's share of one of the two absolute foot discounts. Every eligible row
// but the last takes its incidence of the total, rounded; the last eligible
// row (the last in the body's order that is neither excluded from foot
// discounts nor free goods) takes what the others left, so that the shares add
// up to the total.
struct AbsoluteFootDiscountShare {
  int32_t row = 0;   // DO30_PROGRIGA
  int discount = 0;  // 1: DO13_SCIMPMERCE, 2: DO13_SCIMPART26 (_VAL in document currency)
  bool document_currency = false;  // worked on the _VAL amounts
  bool last_eligible_row = false;  // took the remainder
  Variant row_amount;              // the row's amount before foot discounts
  Variant base;                    // the amounts of all eligible rows
  Variant total;                   // the discount
  Variant incidence;               // the row's percentage of the base; Empty for the last row
  Variant share;                   // taken off the row
  Variant remaining;               // left for the rows after this one
};

// Why a row added, or did not add, to the tax bases.
enum class TaxBaseOutcome {
  kAdded,                // to one tax line per jurisdiction of the area
  kNotLiable,            // DO11_FLGTAXLIABLE is not 1
  kNoTaxArea,            // DO11_TAXAREA_NV01 is blank
  kTaxAreaWithoutLines,  // the area gives no jurisdictions (unknown, or without lines)
};

// A body row added into its counterpart line and, for a tax-liable document,
// into the tax bases of its tax group.
struct RowPosting {
  int32_t row = 0;           // DO30_PROGRIGA
  Variant counterpart_line;  // CG42_NUMRIGACONT of the line the row went into
  std::string account;       // the line's key: account, asset, tax group
  std::string asset;
  std::string tax_group;
  Variant net;      // DO30_IMPNETSCP, added to the line's total
  Variant net_val;  // DO30_IMPNETSCP_VAL, added to the line's document-currency total
  TaxBaseOutcome tax = TaxBaseOutcome::kAdded;
  std::string tax_area;   // the header's DO11_TAXAREA_NV01
  Variant taxable;        // added to the base of each jurisdiction (kAdded)
  Variant document_date;  // the header's DO11_DATADOC
};

// The rate of a jurisdiction and tax group, as the tax calculation asked for it.
struct TaxDetailLookup {
  std::string jurisdiction;
  std::string tax_group;
  bool found = false;
  // Answered from the engine object's cache: the pair was looked up before,
  // for an earlier document whatever its date, and the date below is empty.
  bool cached = false;
  std::string date;          // "YYYYMMDD": the date the rate had to be in force on
  Variant effective_date{};  // NV05_EFFECTIVEDATE of the rate chosen (queried and found)
  Variant type{};            // NV05_TAXTYPE of the rate chosen (queried and found)
  Variant maximum;           // NV05_MAXIMUMAMOUNTQTY, 0 for none
  Variant below;             // NV05_TAXBELOWMAX
  Variant above;             // NV05_TAXABOVEMAX
  Variant tax_on_tax;        // NV02_CALCULATETAXONTAX
};

// The tax of one tax line that has a rate.
struct TaxLineCalculation {
  std::string jurisdiction;
  std::string tax_group;
  Variant own_base;          // USA74_IMPONIBILE
  Variant tax_on_tax_added;  // the taxes of the group's lines before it (tax on tax), else 0
  Variant tax_base;          // own base + tax on tax
  Variant maximum;           // 0 for none
  Variant below;             // percentage up to the maximum (or on the whole base)
  Variant above;             // percentage above the maximum
  bool above_maximum = false;
  Decimal below_part;    // tax on the base up to the maximum (the whole base when within), exact
  Decimal above_part;    // tax on the base above the maximum, exact (0 when within)
  Decimal unrounded;     // below_part + above_part
  Variant intermediate;  // USA74_IMPNOTROUND: each part rounded half to even to tax_decimals
  int tax_decimals = 0;
  Variant rounding_method;  // USA74_ROUNDINGMETHOD: 0 nearest, 1 up, 2 down
  int currency_decimals = 0;
  Variant tax;                   // USA74_IMPORTO
  bool converted = false;        // the document is in another currency
  Variant tax_val;               // USA74_IMPORTO_VAL
  Variant exchange_rate{};       // DO11_CAMBIO (converted)
  std::string currency{};        // DO11_VALUTA_CG08 (converted)
  Variant effective_rate;        // USA74_ACTUALTAXPERC
  bool rate_recomputed = false;  // the effective rate is the tax over the own base
};

class CalculationTrace {
 public:
  virtual ~CalculationTrace() = default;

  virtual void PercentageDiscountApplied(const PercentageFootDiscount&) {}
  virtual void AbsoluteDiscountShared(const AbsoluteFootDiscountShare&) {}
  virtual void RowPosted(const RowPosting&) {}
  virtual void TaxDetailLookedUp(const TaxDetailLookup&) {}
  virtual void TaxLineCalculated(const TaxLineCalculation&) {}
};

}  // namespace tarvolin
