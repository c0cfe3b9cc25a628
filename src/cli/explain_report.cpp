#include "explain_report.h"

#include <map>
#include <sstream>
#include <utility>

#include "host/json_writer.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/engine/value_helpers.h"
#include "text_report.h"

namespace tarvolin::cli {
namespace {

const Variant kZero(int16_t{0});

// ---- Values as shown ----

// A value with its exact digits: a Decimal with its scale, a date as ISO text.
std::string Text(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
      return "";
    case VarType::kNull:
      return "Null";
    case VarType::kDecimal:
      return value.dec().ToString();
    case VarType::kDate:
      return value.CDate().ToIso();
    default:
      return value.CStr();
  }
}
std::string Text(const Decimal& value) { return value.ToString(); }

// An amount with at least `decimals` decimals (36 as 36.00), as a currency shows it.
std::string Amount(const Variant& value, int decimals) {
  std::string text = Text(value);
  if (value.type() != VarType::kDecimal && value.type() != VarType::kInteger &&
      value.type() != VarType::kLong) {
    return text;
  }
  const size_t point = text.find('.');
  const int has = point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
  if (has >= decimals) return text;
  if (point == std::string::npos) text += '.';
  return text.append(static_cast<size_t>(decimals - has), '0');
}

// A date value or "YYYYMMDD" text as "YYYYMMDD", "" when it is not a date.
std::string Ymd(const Variant& value) {
  if (value.IsEmpty() || value.IsNull()) return "";
  try {
    return value.CDate().ToYmdText();
  } catch (const Error&) {
    return NzStr(value);
  }
}

std::string IsoOfYmd(const std::string& ymd) {
  if (ymd.size() != 8) return ymd;
  return ymd.substr(0, 4) + "-" + ymd.substr(4, 2) + "-" + ymd.substr(6, 2);
}

std::string MethodText(const Variant& method) {
  if (method == Variant(int16_t{0})) return "to nearest (halves away from zero)";
  if (method == Variant(int16_t{1})) return "up (away from zero)";
  if (method == Variant(int16_t{2})) return "down (toward zero)";
  return "by method " + Text(method) +
         ", which is not defined: the line keeps the tax of the line before";
}

std::string TypeText(const Variant& type) {
  if (type == Variant(int16_t{0})) return "type 0, sales tax";
  if (type == Variant(int16_t{1})) return "type 1, excise tax";
  if (type == Variant(int16_t{2})) return "type 2, sales and use tax";
  if (type == Variant(int16_t{3})) return "type 3, use tax only";
  return "type " + Text(type);
}

// ---- The explanation's model, shared by the text and the JSON ----

struct RowView {
  int32_t row = 0;
  std::string item;
  Variant amount, net;         // in the currency the discounts were worked in
  std::string not_discounted;  // why no foot discount touched the row, when none did
  std::vector<const PercentageFootDiscount*> percentages;
  std::vector<const AbsoluteFootDiscountShare*> shares;
};

struct CounterpartView {
  Variant line, total;
  std::string account, asset, tax_group;
  std::vector<const RowPosting*> rows;
};

// Another rate of a jurisdiction and group, and why it was not the one.
struct OtherRate {
  Variant effective_date, type, below;
  std::string reason;
};

struct TaxLineView {
  const ExplainRecorder::TaxLine* line = nullptr;
  std::string description;
  Variant order, own_base;
  std::vector<std::pair<std::string, Variant>> tax_on_tax_from;  // earlier lines and their tax
  std::vector<OtherRate> others;
};

struct GroupView {
  std::string tax_group, description;
  std::vector<const RowPosting*> rows;
  std::vector<TaxLineView> lines;
  Variant tax;
  int decimals = 2;  // of the company currency, as the tax lines were rounded
};

struct Model {
  std::string document, date, currency, company_currency, tax_area;
  bool liable = false;
  bool foot_discounts = false;
  std::vector<RowView> rows;
  std::vector<CounterpartView> counterparts;
  std::vector<GroupView> groups;
  Variant taxable, tax, total;
};

// Why each other rate of the pair lost to the one chosen (or why none was in
// force). The engine's rule: types 0 and 2 only; the newest effective date on
// or before the document date; type 2 before type 0 on the same date.
std::vector<OtherRate> OtherRates(Connection& connection, const TaxDetailLookup& chosen) {
  std::vector<OtherRate> others;
  if (chosen.cached) return others;  // the date it was chosen for is not known
  const std::string sql =
      "SELECT NV05_TAXTYPE, NV05_EFFECTIVEDATE, NV05_TAXBELOWMAX FROM NV05_TAXDETAIL WITH "
      "(NOLOCK) WHERE NV05_TAXJURCODE_NV02 = '" +
      SqlQuoted(chosen.jurisdiction) + "' AND NV05_TAXGROUPCODE_NV04 = '" +
      SqlQuoted(chosen.tax_group) + "' ORDER BY NV05_EFFECTIVEDATE DESC, NV05_TAXTYPE DESC";
  auto rates = connection.Execute(sql, nullptr, execute_option::kCommandText);
  const std::string chosen_date = Ymd(chosen.effective_date);
  bool skipped_chosen = false;
  for (; !rates->Eof(); rates->MoveNext()) {
    OtherRate rate{rates->Get("NV05_EFFECTIVEDATE"), rates->Get("NV05_TAXTYPE"),
                   rates->Get("NV05_TAXBELOWMAX"), ""};
    const std::string date = Ymd(rate.effective_date);
    const bool sales_type = rate.type == Variant(int16_t{0}) || rate.type == Variant(int16_t{2});
    if (chosen.found && !skipped_chosen && sales_type && date == chosen_date &&
        rate.type == chosen.type) {
      skipped_chosen = true;  // the rate chosen itself
      continue;
    }
    if (!sales_type) {
      rate.reason = "only types 0 and 2 are sales tax";
    } else if (date > chosen.date) {
      rate.reason = "not yet in force on " + IsoOfYmd(chosen.date);
    } else if (date == chosen_date) {
      rate.reason = "same date as the rate chosen, whose type 2 comes first";
    } else {
      rate.reason = "older: the rate of " + IsoOfYmd(chosen_date) + " replaces it";
    }
    others.push_back(std::move(rate));
  }
  return others;
}

// The report's model, read from the recorded trace and the recalculated
// document, one part of the report a step.
class ModelBuilder {
 public:
  explicit ModelBuilder(const Explanation& e)
      : e_(e), document_(e.document), recorder_(e.recorder) {}

  Model Build() {
    ReadHeader();
    ReadRows();
    ReadCounterparts();
    ReadTaxLines();
    ReadTotals();
    return std::move(model_);
  }

 private:
  void ReadHeader() {
    if (auto header = ReportRows(document_, DocumentTable::kHeader)) {
      model_.document = NzStr(header->Get("DO11_DOCUM_MG36")) + " " +
                        Text(header->Get("DO11_NUMDOC")) + " (registration " +
                        NzStr(header->Get("DO11_NUMREG_CO99")) + ")";
      model_.date = Text(header->Get("DO11_DATADOC"));
      model_.currency = NzStr(header->Get("DO11_VALUTA_CG08"));
      model_.tax_area = NzStr(header->Get("DO11_TAXAREA_NV01"));
      model_.liable = NzDecimal(header->Get("DO11_FLGTAXLIABLE")) == Decimal(1);
    }
    model_.company_currency = document_.Company()->currency_code;
    model_.foot_discounts =
        !recorder_.percentage_discounts().empty() || !recorder_.absolute_discounts().empty();
  }

  // Body rows, in the document's order.
  void ReadRows() {
    if (auto body = ReportRows(document_, DocumentTable::kBody)) {
      for (; !body->Eof(); body->MoveNext()) model_.rows.push_back(RowOf(*body));
    }
  }

  RowView RowOf(Recordset& body) const {
    RowView row;
    row.row = NzDec(body.Get("DO30_PROGRIGA")).CLng();
    row.item = NzStr(body.Get("DO30_CODART_MG66"));
    if (row.item.empty()) row.item = NzStr(body.Get("DO30_CODSPESA_MG04"));
    bool document_currency = false;
    for (const auto& step : recorder_.percentage_discounts()) {
      if (step.row != row.row) continue;
      row.percentages.push_back(&step);
      document_currency = step.document_currency;
    }
    for (const auto& share : recorder_.absolute_discounts()) {
      if (share.row != row.row) continue;
      row.shares.push_back(&share);
      document_currency = share.document_currency;
    }
    row.amount = body.Get(document_currency ? "DO30_IMPORTO_VAL" : "DO30_IMPORTO");
    row.net = body.Get(document_currency ? "DO30_IMPNETSCP_VAL" : "DO30_IMPNETSCP");
    if (row.percentages.empty() && row.shares.empty()) row.not_discounted = WhyNotDiscounted(body);
    return row;
  }

  std::string WhyNotDiscounted(Recordset& body) const {
    if (NzDecimal(body.Get("DO30_FLGESCLSCPIEDE")) != Decimal(0)) {
      return "excluded from foot discounts (DO30_FLGESCLSCPIEDE)";
    }
    if (NzDecimal(body.Get("DO30_INDTIPOOMAG")) != Decimal(0)) {
      return "free goods take no foot discounts";
    }
    return model_.foot_discounts ? "no foot discount" : "";
  }

  // Counterpart lines, in the order they were made, with their totals.
  void ReadCounterparts() {
    std::map<std::string, Variant> line_totals;
    if (auto lines = ReportRows(document_, DocumentTable::kCounterparts)) {
      for (; !lines->Eof(); lines->MoveNext()) {
        line_totals[Text(lines->Get("CG42_NUMRIGACONT"))] = lines->Get("CG42_IMPTOTALE");
      }
    }
    std::map<std::string, size_t> line_index;
    for (const RowPosting& posting : recorder_.postings()) {
      const std::string key = Text(posting.counterpart_line);
      auto [at, added] = line_index.try_emplace(key, model_.counterparts.size());
      if (added) {
        model_.counterparts.push_back({posting.counterpart_line,
                                       line_totals[key],
                                       posting.account,
                                       posting.asset,
                                       posting.tax_group,
                                       {}});
      }
      model_.counterparts[at->second].rows.push_back(&posting);
    }
  }

  // Tax lines, by group in calculation order, with what the summary holds.
  void ReadTaxLines() {
    summary_ = ReportRows(document_, DocumentTable::kTaxSummary);
    for (const ExplainRecorder::TaxLine& line : recorder_.tax_lines()) {
      const std::string& group = line.rate.tax_group;
      if (model_.groups.empty() || model_.groups.back().tax_group != group) {
        model_.groups.push_back(NewGroup(group));
      }
      GroupView& view = model_.groups.back();
      view.lines.push_back(LineOf(line, view));
      if (line.calculation) {
        view.tax = view.tax + NzDec(line.calculation->tax);
        view.decimals = line.calculation->currency_decimals;
      }
    }
  }

  GroupView NewGroup(const std::string& group) const {
    GroupView view;
    view.tax_group = group;
    view.tax = kZero;
    for (const RowPosting& posting : recorder_.postings()) {
      if (posting.tax == TaxBaseOutcome::kAdded && posting.tax_group == group) {
        view.rows.push_back(&posting);
      }
    }
    return view;
  }

  TaxLineView LineOf(const ExplainRecorder::TaxLine& line, GroupView& group) {
    TaxLineView view;
    view.line = &line;
    if (FindSummaryLine(line.rate.jurisdiction, group.tax_group)) {
      view.description = NzStr(summary_->Get("USA74_DESCRTAXJURISDICTION"));
      view.order = summary_->Get("USA74_CALCORDER");
      view.own_base = summary_->Get("USA74_IMPONIBILE");
      if (group.description.empty()) {
        group.description = NzStr(summary_->Get("USA74_DESCRTAXGROUP"));
      }
    }
    if (line.calculation && line.calculation->tax_on_tax_added != kZero) {
      for (const TaxLineView& before : group.lines) {
        if (before.line->calculation) {
          view.tax_on_tax_from.emplace_back(before.line->rate.jurisdiction,
                                            before.line->calculation->tax);
        }
      }
    }
    view.others = OtherRates(e_.connection, line.rate);
    return view;
  }

  // Leaves the summary on the jurisdiction's own line of the group.
  bool FindSummaryLine(const std::string& jurisdiction, const std::string& group) {
    if (!summary_) return false;
    for (summary_->MoveFirst(); !summary_->Eof(); summary_->MoveNext()) {
      if (NzStr(summary_->Get("USA74_TAXJURISDICTION")) == jurisdiction &&
          NzStr(summary_->Get("USA74_TAXGROUP")) == group &&
          NzStr(summary_->Get("USA74_CONTO")).empty() &&
          NzStr(summary_->Get("USA74_ASSETCODE")).empty()) {
        return true;
      }
    }
    return false;
  }

  void ReadTotals() {
    if (auto totals = ReportRows(document_, DocumentTable::kTotals)) {
      model_.taxable = totals->Get("DO13_TOTIMPONIBILE");
      model_.tax = totals->Get("DO13_TOTIVA");
      model_.total = totals->Get("DO13_TOTDOCUMENTO");
    }
  }

  const Explanation& e_;
  HostDocument& document_;
  const ExplainRecorder& recorder_;
  std::shared_ptr<Recordset> summary_;
  Model model_;
};

Model Build(const Explanation& e) { return ModelBuilder(e).Build(); }

// ---- Text ----

std::string RowsWithAmounts(const std::vector<const RowPosting*>& rows, bool taxable) {
  std::string text;
  for (const RowPosting* posting : rows) {
    if (!text.empty()) text += ", ";
    text +=
        std::to_string(posting->row) + " (" + Text(taxable ? posting->taxable : posting->net) + ")";
  }
  return text;
}

void RowText(const RowView& row, std::ostream& out) {
  out << "  Row " << row.row << "  " << row.item << "  amount " << Text(row.amount);
  if (row.percentages.empty() && row.shares.empty()) {
    out << ", net " << Text(row.net);
    if (!row.not_discounted.empty()) out << ": " << row.not_discounted;
    out << "\n";
    return;
  }
  out << "\n";
  for (const PercentageFootDiscount* step : row.percentages) {
    out << "    less " << Text(step->percentage) << "% (DO13_SCPERMERCE" << step->discount
        << "): " << Text(step->amount_after) << "\n";
  }
  for (const AbsoluteFootDiscountShare* share : row.shares) {
    if (NzDec(share->total) == kZero) continue;  // a discount the document does not give
    out << "    share of the " << Text(share->total) << " off ("
        << (share->discount == 1 ? "DO13_SCIMPMERCE" : "DO13_SCIMPART26")
        << (share->document_currency ? "_VAL" : "") << "): ";
    if (share->last_eligible_row) {
      out << Text(share->share)
          << ", what the rows before left: the last row that takes foot discounts takes the "
             "remainder, so the shares add up to "
          << Text(share->total) << "\n";
    } else {
      out << Text(share->row_amount) << " / " << Text(share->base) << " = "
          << Text(share->incidence) << "% of " << Text(share->total) << " = " << Text(share->share)
          << "; " << Text(share->remaining) << " left for the rows after\n";
    }
  }
  out << "    net " << Text(row.net) << "\n";
}

// The jurisdiction, the rate chosen and the rates passed over.
void RateText(const GroupView& group, const TaxLineView& view, std::ostream& out) {
  const TaxDetailLookup& rate = view.line->rate;
  out << "    " << rate.jurisdiction;
  if (!view.description.empty()) out << " " << view.description;
  if (!view.order.IsEmpty()) out << " (order " << Text(view.order) << ")";
  out << "\n";
  const std::string in_force_on =
      rate.cached ? "kept from an earlier look-up of this engine object, whatever that date was"
                  : "in force on " + IsoOfYmd(rate.date);
  if (!rate.found) {
    out << "      no rate of type 0 or 2 for " << group.tax_group << " " << in_force_on
        << ": the line keeps its tax of 0 and adds nothing to tax on tax\n";
  } else {
    const auto& c = view.line->calculation;
    out << "      rate " << Text(c ? c->below : rate.below) << "%";
    if (!rate.cached) {
      out << " since " << IsoOfYmd(Ymd(rate.effective_date)) << " (" << TypeText(rate.type)
          << "): the newest rate of type 0 or 2 " << in_force_on;
    } else {
      out << ": " << in_force_on;
    }
    out << "\n";
  }
  for (const OtherRate& other : view.others) {
    out << "        passed over: " << Text(other.below) << "% from "
        << IsoOfYmd(Ymd(other.effective_date)) << " (" << TypeText(other.type)
        << "): " << other.reason << "\n";
  }
}

// The base, with tax on tax, as the calculation took it.
void BaseText(const TaxLineView& view, std::ostream& out) {
  const TaxDetailLookup& rate = view.line->rate;
  const TaxLineCalculation& c = *view.line->calculation;
  out << "      base " << Text(c.own_base);
  if (c.tax_on_tax_added != kZero) {
    out << " + tax on tax " << Text(c.tax_on_tax_added) << " (";
    for (size_t i = 0; i < view.tax_on_tax_from.size(); ++i) {
      out << (i ? ", " : "") << view.tax_on_tax_from[i].first << " "
          << Text(view.tax_on_tax_from[i].second);
    }
    out << ") = " << Text(c.tax_base);
  } else if (rate.tax_on_tax != kZero) {
    out << " (tax on tax, but no line of the group comes before it)";
  }
  out << "\n";
}

void TaxLineText(const GroupView& group, const TaxLineView& view, std::ostream& out) {
  RateText(group, view, out);
  if (!view.line->calculation) {
    out << "      base " << Text(view.own_base) << ", tax 0\n";
    return;
  }
  BaseText(view, out);
  const TaxLineCalculation& c = *view.line->calculation;
  const std::string kept = "kept to " + std::to_string(c.tax_decimals) +
                           " decimals, half to even: " + Amount(c.intermediate, c.tax_decimals);
  if (c.above_maximum) {
    out << "      above the maximum " << Text(c.maximum) << ":\n        " << Text(c.maximum)
        << " x " << Text(c.below) << "% = " << Text(c.below_part) << "\n        "
        << Text(NzDecimal(c.tax_base) - NzDecimal(c.maximum)) << " above it x " << Text(c.above)
        << "% = " << Text(c.above_part) << "\n      " << Text(c.unrounded) << " in all; each part "
        << kept << "\n";
  } else {
    if (c.maximum != kZero) out << "      within the maximum " << Text(c.maximum) << "\n";
    out << "      " << Text(c.tax_base) << " x " << Text(c.below) << "% = " << Text(c.unrounded)
        << "; " << kept << "\n";
  }
  out << "      rounded " << MethodText(c.rounding_method) << " to " << c.currency_decimals
      << " decimals: " << Amount(c.tax, c.currency_decimals) << "\n";
  if (c.converted) {
    out << "      in " << c.currency << " at " << Text(c.exchange_rate) << ": "
        << Amount(c.tax_val, c.currency_decimals) << "\n";
  }
  if (c.rate_recomputed) {
    out << "      effective rate " << Amount(c.tax, c.currency_decimals) << " / "
        << Text(c.own_base) << " = " << Text(c.effective_rate) << "% ("
        << (c.above_maximum ? "the base is above the maximum" : "tax on tax changed the base")
        << ")\n";
  } else {
    out << "      effective rate " << Text(c.effective_rate) << "%\n";
  }
}

std::string WarningsText(const std::vector<TaxWarning>& warnings) {
  std::string text = "\nWarnings\n";
  if (warnings.empty()) return text + "  none\n";
  for (const TaxWarning& warning : warnings) text += "  - " + warning.text + "\n";
  return text;
}

// ---- JSON ----

void Value(json::Writer& writer, const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      writer.Null();
      return;
    case VarType::kDecimal:
      writer.Number(value.dec().ToString());
      return;
    case VarType::kInteger:
    case VarType::kLong:
      writer.Number(value.CStr());
      return;
    case VarType::kBoolean:
      writer.Boolean(value.CBool());
      return;
    case VarType::kDate:
      writer.String(value.CDate().ToIso());
      return;
    default:
      writer.String(value.CStr());
  }
}

void Member(json::Writer& writer, std::string_view key, const Variant& value) {
  writer.Key(key);
  Value(writer, value);
}
void TextMember(json::Writer& writer, std::string_view key, std::string_view text) {
  writer.Key(key);
  writer.String(text);
}
void Member(json::Writer& writer, std::string_view key, const Decimal& value) {
  writer.Key(key);
  writer.Number(value.ToString());
}
void Flag(json::Writer& writer, std::string_view key, bool value) {
  writer.Key(key);
  writer.Boolean(value);
}
void Count(json::Writer& writer, std::string_view key, int64_t value) {
  writer.Key(key);
  writer.Number(std::to_string(value));
}

void RowJson(json::Writer& w, const RowView& row) {
  w.BeginObject();
  Count(w, "row", row.row);
  TextMember(w, "item", row.item);
  Member(w, "amount", row.amount);
  w.Key("percentage_discounts");
  w.BeginArray();
  for (const PercentageFootDiscount* step : row.percentages) {
    w.BeginObject(true);
    Count(w, "discount", step->discount);
    Flag(w, "document_currency", step->document_currency);
    Member(w, "percentage", step->percentage);
    Member(w, "amount_after", step->amount_after);
    w.EndObject();
  }
  w.EndArray();
  w.Key("absolute_discounts");
  w.BeginArray();
  for (const AbsoluteFootDiscountShare* share : row.shares) {
    w.BeginObject(true);
    Count(w, "discount", share->discount);
    Flag(w, "document_currency", share->document_currency);
    Member(w, "base", share->base);
    Member(w, "total", share->total);
    Member(w, "incidence", share->incidence);
    Member(w, "share", share->share);
    Member(w, "remaining", share->remaining);
    Flag(w, "last_eligible_row", share->last_eligible_row);
    w.EndObject();
  }
  w.EndArray();
  Member(w, "net", row.net);
  if (!row.not_discounted.empty()) TextMember(w, "not_discounted", row.not_discounted);
  w.EndObject();
}

void TaxLineJson(json::Writer& w, const TaxLineView& view) {
  const TaxDetailLookup& rate = view.line->rate;
  w.BeginObject();
  TextMember(w, "jurisdiction", rate.jurisdiction);
  TextMember(w, "description", view.description);
  Member(w, "order", view.order);
  w.Key("rate");
  w.BeginObject();
  Flag(w, "found", rate.found);
  Flag(w, "cached", rate.cached);
  TextMember(w, "date", IsoOfYmd(rate.date));
  TextMember(w, "effective_date", IsoOfYmd(Ymd(rate.effective_date)));
  Member(w, "type", rate.type);
  Member(w, "maximum", rate.maximum);
  Member(w, "below", rate.below);
  Member(w, "above", rate.above);
  Member(w, "tax_on_tax", rate.tax_on_tax);
  w.Key("passed_over");
  w.BeginArray();
  for (const OtherRate& other : view.others) {
    w.BeginObject(true);
    TextMember(w, "effective_date", IsoOfYmd(Ymd(other.effective_date)));
    Member(w, "type", other.type);
    Member(w, "below", other.below);
    TextMember(w, "reason", other.reason);
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  if (!view.line->calculation) {
    Member(w, "own_base", view.own_base);
    w.EndObject();
    return;
  }
  const TaxLineCalculation& c = *view.line->calculation;
  Member(w, "own_base", c.own_base);
  w.Key("tax_on_tax");
  w.BeginArray(true);
  for (const auto& [jurisdiction, tax] : view.tax_on_tax_from) {
    w.BeginObject(true);
    TextMember(w, "jurisdiction", jurisdiction);
    Member(w, "tax", tax);
    w.EndObject();
  }
  w.EndArray();
  Member(w, "tax_on_tax_added", c.tax_on_tax_added);
  Member(w, "tax_base", c.tax_base);
  Flag(w, "above_maximum", c.above_maximum);
  Member(w, "below_part", c.below_part);
  Member(w, "above_part", c.above_part);
  Member(w, "unrounded", c.unrounded);
  Member(w, "intermediate", c.intermediate);
  Count(w, "tax_decimals", c.tax_decimals);
  Member(w, "rounding_method", c.rounding_method);
  Count(w, "currency_decimals", c.currency_decimals);
  Member(w, "tax", c.tax);
  if (c.converted) {
    TextMember(w, "currency", c.currency);
    Member(w, "exchange_rate", c.exchange_rate);
    Member(w, "tax_val", c.tax_val);
  }
  Member(w, "effective_rate", c.effective_rate);
  Flag(w, "rate_recomputed", c.rate_recomputed);
  w.EndObject();
}

}  // namespace

// ---- The recorder ----

void ExplainRecorder::PercentageDiscountApplied(const PercentageFootDiscount& step) {
  percentage_discounts_.push_back(step);
}
void ExplainRecorder::AbsoluteDiscountShared(const AbsoluteFootDiscountShare& share) {
  absolute_discounts_.push_back(share);
}
void ExplainRecorder::RowPosted(const RowPosting& posting) {
  postings_.push_back(posting);
  warnings_.RowPosted(posting);
}
void ExplainRecorder::TaxDetailLookedUp(const TaxDetailLookup& lookup) {
  tax_lines_.push_back({lookup, std::nullopt});
  warnings_.TaxDetailLookedUp(lookup);
}
void ExplainRecorder::TaxLineCalculated(const TaxLineCalculation& calculation) {
  // It follows the look-up of its own line.
  if (!tax_lines_.empty()) tax_lines_.back().calculation = calculation;
}

std::string FormatExplanationText(const Explanation& explanation) {
  const Model model = Build(explanation);
  std::ostringstream out;
  out << "Document " << model.document << " of " << model.date << ", currency " << model.currency
      << "\n";
  out << "Tax area " << (model.tax_area.empty() ? "(none)" : model.tax_area) << ", "
      << (model.liable ? "liable to tax" : "not liable to tax") << "\n";

  out << "\nRows and foot discounts\n";
  if (model.rows.empty()) out << "  none\n";
  if (!model.foot_discounts && !model.rows.empty()) {
    out << "  no foot discounts: each row's net amount is its amount\n";
  }
  for (const RowView& row : model.rows) RowText(row, out);

  out << "\nCounterparts\n";
  if (model.counterparts.empty()) out << "  none\n";
  for (const CounterpartView& line : model.counterparts) {
    out << "  Line " << Text(line.line) << "  account " << line.account;
    if (!line.asset.empty()) out << ", asset " << line.asset;
    out << ", tax group " << (line.tax_group.empty() ? "(none)" : line.tax_group) << ": "
        << Text(line.total) << " from rows " << RowsWithAmounts(line.rows, false) << "\n";
  }

  out << "\nSales tax\n";
  if (model.groups.empty()) out << "  no tax lines (see the warnings)\n";
  for (const GroupView& group : model.groups) {
    out << "  " << group.tax_group;
    if (!group.description.empty()) out << " " << group.description;
    out << ": rows " << RowsWithAmounts(group.rows, true);
    if (model.currency != model.company_currency) out << " in " << model.currency;
    out << "\n";
    for (const TaxLineView& line : group.lines) TaxLineText(group, line, out);
    out << "    " << group.tax_group << " tax " << Amount(group.tax, group.decimals) << "\n";
  }
  out << "\nTotals\n  Taxable amount " << Text(model.taxable) << ", tax " << Text(model.tax)
      << ", document total " << Text(model.total) << "\n";
  out << WarningsText(explanation.warnings);
  return out.str();
}

namespace {

void DocumentJson(json::Writer& w, const Model& model) {
  w.Key("document");
  w.BeginObject();
  TextMember(w, "name", model.document);
  TextMember(w, "date", model.date);
  TextMember(w, "currency", model.currency);
  TextMember(w, "tax_area", model.tax_area);
  Flag(w, "liable", model.liable);
  w.EndObject();
}

void CounterpartsJson(json::Writer& w, const Model& model) {
  w.Key("counterparts");
  w.BeginArray();
  for (const CounterpartView& line : model.counterparts) {
    w.BeginObject();
    Member(w, "line", line.line);
    TextMember(w, "account", line.account);
    TextMember(w, "asset", line.asset);
    TextMember(w, "tax_group", line.tax_group);
    Member(w, "total", line.total);
    w.Key("rows");
    w.BeginArray(true);
    for (const RowPosting* posting : line.rows) {
      w.BeginObject(true);
      Count(w, "row", posting->row);
      Member(w, "net", posting->net);
      w.EndObject();
    }
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
}

void TaxGroupsJson(json::Writer& w, const Model& model) {
  w.Key("tax_groups");
  w.BeginArray();
  for (const GroupView& group : model.groups) {
    w.BeginObject();
    TextMember(w, "tax_group", group.tax_group);
    w.Key("rows");
    w.BeginArray(true);
    for (const RowPosting* posting : group.rows) {
      w.BeginObject(true);
      Count(w, "row", posting->row);
      Member(w, "taxable", posting->taxable);
      w.EndObject();
    }
    w.EndArray();
    w.Key("lines");
    w.BeginArray();
    for (const TaxLineView& line : group.lines) TaxLineJson(w, line);
    w.EndArray();
    Member(w, "tax", group.tax);
    w.EndObject();
  }
  w.EndArray();
}

void WarningsJson(json::Writer& w, const std::vector<TaxWarning>& warnings) {
  w.Key("warnings");
  w.BeginArray();
  for (const TaxWarning& warning : warnings) {
    w.BeginObject(true);
    TextMember(w, "kind", warning.kind);
    TextMember(w, "tax_group", warning.tax_group);
    w.Key("rows");
    w.BeginArray(true);
    for (int32_t row : warning.rows) w.Number(std::to_string(row));
    w.EndArray();
    TextMember(w, "text", warning.text);
    w.EndObject();
  }
  w.EndArray();
}

}  // namespace

std::string FormatExplanationJson(const Explanation& explanation) {
  const Model model = Build(explanation);
  json::Writer w;
  w.BeginObject();
  DocumentJson(w, model);
  w.Key("rows");
  w.BeginArray();
  for (const RowView& row : model.rows) RowJson(w, row);
  w.EndArray();
  CounterpartsJson(w, model);
  TaxGroupsJson(w, model);
  w.Key("totals");
  w.BeginObject(true);
  Member(w, "taxable", model.taxable);
  Member(w, "tax", model.tax);
  Member(w, "document_total", model.total);
  w.EndObject();
  WarningsJson(w, explanation.warnings);
  w.EndObject();
  return w.Finish();
}

}  // namespace tarvolin::cli
