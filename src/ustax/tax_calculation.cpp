// The US sales tax of a document, computed over the tax-summary recordset USA74
// (one row per tax jurisdiction and tax group, with its taxable base), and the
// three procedures the recalculation runs after it: the tax total and the total
// tax rate written back on the body rows of each tax group.
#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/engine_object.h"
#include "engine/trace_events.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"
#include "ustax/usa74_fields.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "CLSMG_TARVOLIN";

const Variant kZero(int16_t{0});
const Variant kOne(int16_t{1});
const Variant kMinusOne(int16_t{-1});

std::shared_ptr<Recordset> RecordsetOf(CoreDocument& document, DocumentTable table) {
  auto recordset = document.Recordsets().Get(table);
  if (!recordset) {
    Raise(err::kObjectNotSet, kSource,
          "the document has no " + std::string(DocumentTableName(table)) + " recordset");
  }
  return recordset;
}

// Half to even at `digits` decimals. A negative count (a negative tax-decimals
// setting, kept as read) rounds to whole units: the setting cannot ask for
// fewer decimals than none.
Decimal RoundHalfEven(const Decimal& value, int digits) {
  return value.RoundHalfEven(std::clamp(digits, 0, Decimal::kMaxScale));
}

// The rounding functions' shared shape: the sign is set aside, `integer_part`
// works on the scaled magnitude, the sign comes back before the division.
// Variant arithmetic keeps a Decimal value Decimal (10^n is a Double, as the
// power operator gives, and a Decimal times a Double is a Decimal).
template <class IntegerPart>
Variant RoundScaled(const Variant& value, const Variant& decimals, IntegerPart integer_part) {
  const Variant factor =
      decimals.IsNull() ? Variant::Null() : Variant(std::pow(10.0, decimals.CDbl()));
  const bool negative = value < kZero;
  const Variant magnitude = negative ? value * kMinusOne : value;
  Variant whole = integer_part(magnitude * factor);
  if (negative) whole = whole * kMinusOne;
  return whole / factor;
}

}  // namespace

// ---- Rounding functions ----

Variant CLSMG_TARVOLIN::RoundUsa(const Variant& value, const Variant& decimals) {
  return WithLabel("RoundUsa:", [&] {
    // To nearest, halves away from zero.
    return RoundScaled(value, decimals,
                       [](const Variant& scaled) { return (scaled + Variant(0.5)).Int(); });
  });
}

Variant CLSMG_TARVOLIN::RoundUPUsa(const Variant& value, const Variant& decimals) {
  return WithLabel("RoundUPUsa:", [&] {
    // Up in magnitude: any fraction left adds a unit.
    return RoundScaled(value, decimals, [](const Variant& scaled) {
      Variant whole = scaled.Int();
      if (scaled - whole > kZero) whole = whole + kOne;
      return whole;
    });
  });
}

Variant CLSMG_TARVOLIN::RoundDWUsa(const Variant& value, const Variant& decimals) {
  return WithLabel("RoundDWUsa:", [&] {
    // Down in magnitude: truncation.
    return RoundScaled(value, decimals, [](const Variant& scaled) { return scaled.Int(); });
  });
}

// ---- The tax of every summary row ----

// Being reworked for speed; to be split into named steps.
// NOLINTNEXTLINE(readability-function-cognitive-complexity,readability-function-size)
void CLSMG_TARVOLIN::CalculateTax() {
  // The procedure below, as one lambda.
  // NOLINTNEXTLINE(readability-function-cognitive-complexity)
  WithLabel("CalculateTax:", [&] {
    GetDecimaliTasse();
    const int tax_decimals = decimali_tasse_;
    auto document = RequireCc();
    // A clone: the values land in the document's rows, whose own position and
    // order stay as they were.
    auto rows = RecordsetOf(*document, DocumentTable::kTaxSummary)->Clone();
    rows->SetSort(usa74::kCalculationSort);

    const FieldRef f_jurisdiction = rows->Resolve(usa74::kTaxJurisdiction);
    const FieldRef f_group = rows->Resolve(usa74::kTaxGroup);
    const FieldRef f_base = rows->Resolve(usa74::kImponibile);
    const FieldRef f_tax = rows->Resolve(usa74::kImporto);
    const FieldRef f_tax_val = rows->Resolve(usa74::kImportoVal);
    const FieldRef f_perc = rows->Resolve(usa74::kTaxPerc);
    const FieldRef f_above_perc = rows->Resolve(usa74::kTaxAmPerc);
    const FieldRef f_max = rows->Resolve(usa74::kMaxAmount);
    const FieldRef f_actual_perc = rows->Resolve(usa74::kActualTaxPerc);
    const FieldRef f_flg_tax_on_tax_added = rows->Resolve(usa74::kFlgCalcTaxOnTax);
    const FieldRef f_flg_above_max = rows->Resolve(usa74::kFlgCalcTaxAboveMax);
    const FieldRef f_method = rows->Resolve(usa74::kRoundingMethod);
    const FieldRef f_flg_perc_ric = rows->Resolve(usa74::kFlgPercRic);
    const FieldRef f_flg_tax_on_tax = rows->Resolve(usa74::kFlgTaxOnTax);
    const FieldRef f_not_rounded = rows->Resolve(usa74::kImpNotRound);

    // Asked for on first need only: a summary whose rows have no rate needs
    // neither the company nor the header.
    std::optional<int> currency_decimals;
    std::optional<bool> no_conversion;

    std::string current_group;
    Variant tax_on_tax_base;  // Empty counts as 0
    Variant row_tax;          // kept from row to row (see the unknown rounding method)
    for (; !rows->Eof(); rows->MoveNext()) {
      const std::string jurisdiction = NzStr(rows->Get(f_jurisdiction));
      const std::string group = NzStr(rows->Get(f_group));
      if (group != current_group) tax_on_tax_base = kZero;

      Variant max_amount = kZero, below_max = kZero, above_max = kZero, tax_on_tax = kZero;
      if (GetTaxDetails(jurisdiction, group, max_amount, below_max, above_max, tax_on_tax)) {
        rows->Set(f_perc, below_max);
        rows->Set(f_above_perc, above_max);
        rows->Set(f_max, max_amount);
        rows->Set(f_flg_tax_on_tax, tax_on_tax);

        Variant tax_base = NzDec(rows->Get(f_base));
        if (tax_on_tax != kZero) {
          if (tax_on_tax_base != kZero) rows->Set(f_flg_tax_on_tax_added, kOne);
          tax_base = tax_base + tax_on_tax_base;
        }

        // A maximum of 0 means none; a negative one puts every base above it.
        const bool within_max =
            max_amount == kZero || (max_amount > kZero && tax_base <= max_amount);
        const Decimal base = NzDecimal(tax_base);
        const Decimal below = NzDecimal(below_max);
        const Decimal hundred(100);
        Decimal unrounded, up_to_max, over_max;
        if (within_max) {
          unrounded = base * below / hundred;
          rows->Set(f_not_rounded, Variant(RoundHalfEven(unrounded, tax_decimals)));
        } else {
          rows->Set(f_flg_above_max, kOne);
          const Decimal max = NzDecimal(max_amount);
          up_to_max = max * below / hundred;
          over_max = (base - max) * NzDecimal(above_max) / hundred;
          unrounded = up_to_max + over_max;
          // Each part rounded by itself.
          rows->Set(f_not_rounded, Variant(RoundHalfEven(up_to_max, tax_decimals) +
                                           RoundHalfEven(over_max, tax_decimals)));
        }

        if (!currency_decimals) {
          const auto company = document->Company();
          currency_decimals = company->AmountDecimals(company->currency_code).value_or(2);
        }
        const Variant decimals(static_cast<int16_t>(*currency_decimals));
        const Variant method = rows->Get(f_method);
        if (method == Variant(int16_t{0})) {
          row_tax = RoundUsa(Variant(unrounded), decimals);
        } else if (method == Variant(int16_t{1})) {
          row_tax = RoundUPUsa(Variant(unrounded), decimals);
        } else if (method == Variant(int16_t{2})) {
          row_tax = RoundDWUsa(Variant(unrounded), decimals);
        }
        // Any other method keeps the previous row's tax (Empty on the first
        // row): no meaning is defined for it, and inventing a rounding would
        // hide a setup error behind a plausible amount.
        rows->Set(f_tax, row_tax);

        if (!no_conversion) no_conversion = document->NoConversion();
        if (!*no_conversion) {
          auto header = RecordsetOf(*document, DocumentTable::kHeader);
          const Variant rate = header->Get("DO11_CAMBIO");
          const std::string currency = NzStr(header->Get("DO11_VALUTA_CG08"));
          rows->Set(f_tax_val, Self().Cls_Calcoli()->ToDocumentCurrency(row_tax, rate, currency));
        }

        // The effective rate: the nominal one unless tax on tax or the maximum
        // changed the base, then the tax over the row's own base.
        if (rows->Get(f_flg_tax_on_tax_added) == kZero && rows->Get(f_flg_above_max) == kZero) {
          rows->Set(f_actual_perc, rows->Get(f_perc));
        } else {
          const Variant own_base = NzDec(rows->Get(f_base));
          if (own_base != kZero) {
            const Decimal percent =
                RoundHalfEven((row_tax / own_base * Variant(int16_t{100})).CDec(), 4);
            rows->Set(f_actual_perc, percent < Decimal(1000) ? Variant(percent) : kZero);
          } else {
            rows->Set(f_actual_perc, kZero);
          }
          rows->Set(f_flg_perc_ric, kOne);
        }

        if (trace_)
          trace_->TaxLineCalculated(
              TracedTaxLine(*document, *rows,
                            {tax_base, tax_on_tax_base, within_max, up_to_max, over_max, unrounded,
                             tax_decimals, *currency_decimals, !*no_conversion}));
        tax_on_tax_base = tax_on_tax_base + row_tax;
      }
      current_group = NzStr(rows->Get(f_group));
    }
  });
}

// ---- Totals ----

void CLSMG_TARVOLIN::ImpostaTotSTaxRighe() {
  auto rows = RecordsetOf(*RequireCc(), DocumentTable::kTaxSummary)->Clone();
  rows->SetSort("USA74_TAXGROUP ASC");
  const FieldRef f_group = rows->Resolve(usa74::kTaxGroup);
  const FieldRef f_actual_perc = rows->Resolve(usa74::kActualTaxPerc);
  std::string previous;
  Variant total = kZero;
  for (; !rows->Eof(); rows->MoveNext()) {
    const std::string group = NzStr(rows->Get(f_group));
    if (!previous.empty() && previous != group) {
      ImpostaTotSTaxGruppo(previous, total);
      total = kZero;
    }
    total = total + NzDec(rows->Get(f_actual_perc));
    previous = group;
  }
  if (!previous.empty()) ImpostaTotSTaxGruppo(previous, total);
}

void CLSMG_TARVOLIN::ImpostaTotSTaxGruppo(const std::string& group, const Variant& total) {
  auto body = RecordsetOf(*RequireCc(), DocumentTable::kBody)->Clone();
  body->SetFilter("DO30_TAXGROUP_NV04 = '" + SqlQuoted(group) + "'");
  const FieldRef f_total_rate = body->Resolve("DO30_TOTSTAX");
  for (; !body->Eof(); body->MoveNext()) body->Set(f_total_rate, total);
}

Variant CLSMG_TARVOLIN::GetTotaleTasse() {
  Variant total = kZero;
  auto summary = RequireCc()->Recordsets().Get(DocumentTable::kTaxSummary);
  if (!summary) return total;
  // A clone sees every row, whatever filter the document's cursor carries.
  auto rows = summary->Clone();
  if (rows->RecordCount() == 0) return total;
  const FieldRef f_tax = rows->Resolve(usa74::kImporto);
  // Raw values: a Null tax makes the total Null.
  for (; !rows->Eof(); rows->MoveNext()) total = total + rows->Get(f_tax);
  return total;
}

}  // namespace tarvolin
