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

namespace {

struct TaxSummaryFields {
  explicit TaxSummaryFields(const Recordset& rs)
      : jurisdiction(rs.Resolve(usa74::kTaxJurisdiction)),
        group(rs.Resolve(usa74::kTaxGroup)),
        base(rs.Resolve(usa74::kImponibile)),
        tax(rs.Resolve(usa74::kImporto)),
        tax_val(rs.Resolve(usa74::kImportoVal)),
        perc(rs.Resolve(usa74::kTaxPerc)),
        above_perc(rs.Resolve(usa74::kTaxAmPerc)),
        max(rs.Resolve(usa74::kMaxAmount)),
        actual_perc(rs.Resolve(usa74::kActualTaxPerc)),
        flg_tax_on_tax_added(rs.Resolve(usa74::kFlgCalcTaxOnTax)),
        flg_above_max(rs.Resolve(usa74::kFlgCalcTaxAboveMax)),
        method(rs.Resolve(usa74::kRoundingMethod)),
        flg_perc_ric(rs.Resolve(usa74::kFlgPercRic)),
        flg_tax_on_tax(rs.Resolve(usa74::kFlgTaxOnTax)),
        not_rounded(rs.Resolve(usa74::kImpNotRound)) {}
  FieldRef jurisdiction, group, base, tax, tax_val, perc, above_perc, max, actual_perc,
      flg_tax_on_tax_added, flg_above_max, method, flg_perc_ric, flg_tax_on_tax, not_rounded;
};

// The lines on a clone: the values land in the document's rows, whose own
// position and order stay as they were.
std::shared_ptr<Recordset> LinesInCalculationOrder(CoreDocument& document) {
  auto rows = RecordsetOf(document, DocumentTable::kTaxSummary)->Clone();
  rows->SetSort(usa74::kCalculationSort);
  return rows;
}

// The walk over the tax-summary lines in calculation order: each line's rates,
// its base with the tax on tax of the group so far, the split at the maximum
// amount, the rounding, the conversion to the document currency and the
// effective rate, written on the line.
class TaxCalculation {
 public:
  TaxCalculation(CLSMG_TARVOLIN& engine, CoreDocument& document, int tax_decimals,
                 CalculationTrace* trace)
      : engine_(engine),
        document_(document),
        tax_decimals_(tax_decimals),
        trace_(trace),
        rows_(LinesInCalculationOrder(document)),
        f_(*rows_) {}

  void Run() {
    for (; !rows_->Eof(); rows_->MoveNext()) {
      const std::string jurisdiction = NzStr(rows_->Get(f_.jurisdiction));
      const std::string group = NzStr(rows_->Get(f_.group));
      // Tax on tax adds up within a tax group only.
      if (group != current_group_) tax_on_tax_base_ = kZero;
      // A line whose jurisdiction and group have no rate is left as it is.
      if (ReadRates(jurisdiction, group)) CalculateLine();
      current_group_ = NzStr(rows_->Get(f_.group));
    }
  }

 private:
  void CalculateLine() {
    AddTaxOnTax();
    SplitAtMaximum();
    RoundTax();
    ConvertTax();
    WriteEffectiveRate();
    if (trace_) Trace();
    tax_on_tax_base_ = tax_on_tax_base_ + row_tax_;
  }

  // The rates of the line's jurisdiction and group (GetTaxDetails sets all
  // four, found or not), written on the line; false when the setup has none.
  bool ReadRates(const std::string& jurisdiction, const std::string& group) {
    if (!engine_.GetTaxDetails(jurisdiction, group, max_amount_, below_max_, above_max_,
                               tax_on_tax_)) {
      return false;
    }
    rows_->Set(f_.perc, below_max_);
    rows_->Set(f_.above_perc, above_max_);
    rows_->Set(f_.max, max_amount_);
    rows_->Set(f_.flg_tax_on_tax, tax_on_tax_);
    return true;
  }

  // The line's base, plus the tax of the group's lines before it where the
  // jurisdiction taxes tax.
  void AddTaxOnTax() {
    tax_base_ = NzDec(rows_->Get(f_.base));
    if (tax_on_tax_ == kZero) return;
    if (tax_on_tax_base_ != kZero) rows_->Set(f_.flg_tax_on_tax_added, kOne);
    tax_base_ = tax_base_ + tax_on_tax_base_;
  }

  // The unrounded tax: the rate below the maximum up to it, the rate above it
  // on the rest. A maximum of 0 means none; a negative one puts every base
  // above it.
  void SplitAtMaximum() {
    within_max_ = max_amount_ == kZero || (max_amount_ > kZero && tax_base_ <= max_amount_);
    const Decimal base = NzDecimal(tax_base_);
    const Decimal below = NzDecimal(below_max_);
    const Decimal hundred(100);
    up_to_max_ = Decimal();
    over_max_ = Decimal();
    if (within_max_) {
      unrounded_ = base * below / hundred;
      rows_->Set(f_.not_rounded, Variant(RoundHalfEven(unrounded_, tax_decimals_)));
      return;
    }
    rows_->Set(f_.flg_above_max, kOne);
    const Decimal max = NzDecimal(max_amount_);
    up_to_max_ = max * below / hundred;
    over_max_ = (base - max) * NzDecimal(above_max_) / hundred;
    unrounded_ = up_to_max_ + over_max_;
    // Each part rounded by itself.
    rows_->Set(f_.not_rounded, Variant(RoundHalfEven(up_to_max_, tax_decimals_) +
                                       RoundHalfEven(over_max_, tax_decimals_)));
  }

  // The tax at the company currency's decimals, by the line's rounding method.
  void RoundTax() {
    // Asked for on first need only: a summary whose rows have no rate needs
    // neither the company nor the header.
    if (!currency_decimals_) {
      const auto company = document_.Company();
      currency_decimals_ = company->AmountDecimals(company->currency_code).value_or(2);
    }
    const Variant decimals(static_cast<int16_t>(*currency_decimals_));
    const Variant method = rows_->Get(f_.method);
    if (method == Variant(int16_t{0})) {
      row_tax_ = engine_.RoundUsa(Variant(unrounded_), decimals);
    } else if (method == Variant(int16_t{1})) {
      row_tax_ = engine_.RoundUPUsa(Variant(unrounded_), decimals);
    } else if (method == Variant(int16_t{2})) {
      row_tax_ = engine_.RoundDWUsa(Variant(unrounded_), decimals);
    }
    // Any other method keeps the previous row's tax (Empty on the first
    // row): no meaning is defined for it, and inventing a rounding would
    // hide a setup error behind a plausible amount.
    rows_->Set(f_.tax, row_tax_);
  }

  // The tax in the document currency, when the document is not in the
  // company's.
  void ConvertTax() {
    if (!no_conversion_) no_conversion_ = document_.NoConversion();
    if (*no_conversion_) return;
    auto header = RecordsetOf(document_, DocumentTable::kHeader);
    const Variant rate = header->Get("DO11_CAMBIO");
    const std::string currency = NzStr(header->Get("DO11_VALUTA_CG08"));
    rows_->Set(f_.tax_val, engine_.Cls_Calcoli()->ToDocumentCurrency(row_tax_, rate, currency));
  }

  // The effective rate: the nominal one unless tax on tax or the maximum
  // changed the base, then the tax over the row's own base.
  void WriteEffectiveRate() {
    if (rows_->Get(f_.flg_tax_on_tax_added) == kZero && rows_->Get(f_.flg_above_max) == kZero) {
      rows_->Set(f_.actual_perc, rows_->Get(f_.perc));
      return;
    }
    const Variant own_base = NzDec(rows_->Get(f_.base));
    if (own_base != kZero) {
      const Decimal percent =
          RoundHalfEven((row_tax_ / own_base * Variant(int16_t{100})).CDec(), 4);
      rows_->Set(f_.actual_perc, percent < Decimal(1000) ? Variant(percent) : kZero);
    } else {
      rows_->Set(f_.actual_perc, kZero);
    }
    rows_->Set(f_.flg_perc_ric, kOne);
  }

  void Trace() {
    trace_->TaxLineCalculated(
        TracedTaxLine(document_, *rows_,
                      {tax_base_, tax_on_tax_base_, within_max_, up_to_max_, over_max_, unrounded_,
                       tax_decimals_, *currency_decimals_, !*no_conversion_}));
  }

  CLSMG_TARVOLIN& engine_;
  CoreDocument& document_;
  const int tax_decimals_;
  CalculationTrace* const trace_;
  std::shared_ptr<Recordset> rows_;
  const TaxSummaryFields f_;
  std::optional<int> currency_decimals_;
  std::optional<bool> no_conversion_;

  std::string current_group_;
  Variant tax_on_tax_base_;  // Empty counts as 0
  Variant row_tax_;          // kept from row to row (see the unknown rounding method)

  // The line being calculated.
  Variant max_amount_, below_max_, above_max_, tax_on_tax_;
  Variant tax_base_;
  bool within_max_ = true;
  Decimal unrounded_, up_to_max_, over_max_;
};

}  // namespace

void CLSMG_TARVOLIN::CalculateTax() {
  WithLabel("CalculateTax:", [&] {
    GetDecimaliTasse();
    const int tax_decimals = decimali_tasse_;
    const auto document = RequireCc();
    TaxCalculation(*this, *document, tax_decimals, trace_).Run();
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
