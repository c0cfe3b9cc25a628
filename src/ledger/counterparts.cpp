// Counterparts from body rows: each counted row goes into the ledger line of
// its account, asset and tax group, is linked to that line, and (for a
// tax-liable document) adds its net amount to the tax-summary lines of every
// jurisdiction of the document's tax area.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/engine_object.h"
#include "engine/statements.h"
#include "engine/trace_events.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"
#include "ustax/usa74_fields.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "CLSMG_TARVOLIN";

// The document's recordset of a role; 91 naming it when the document has none.
std::shared_ptr<Recordset> Require(CoreDocument& document, DocumentTable table,
                                   std::string_view name) {
  auto recordset = document.Recordsets().Get(table);
  if (!recordset) Raise(err::kObjectNotSet, kSource, "the document has no " + std::string(name));
  return recordset;
}

// The debit/credit side of a counterpart line; Empty when the document is
// neither a customer's nor a supplier's. Kind 6 documents reverse the side.
Variant CounterpartSide(const Recordset& header) {
  const Decimal party = NzDecimal(header.Get("DO11_TIPOCF_CG44"));
  const bool reversed = NzDecimal(header.Get("DO11_TIPODOC")) == Decimal(6);
  if (party == Decimal(0)) return Variant(static_cast<int16_t>(reversed ? 1 : 2));
  if (party == Decimal(1)) return Variant(static_cast<int16_t>(reversed ? 2 : 1));
  return Variant();
}

// The first record's field as text, "" when the statement gives no row.
std::string FirstText(Connection& connection, const std::string& sql, std::string_view field) {
  auto rs = connection.Execute(sql, nullptr, execute_option::kCommandText);
  std::string text;
  if (rs->State() == ObjectState::kOpen) {
    if (!rs->Eof()) text = NzStr(rs->Get(field));
    rs->Close();
  }
  return text;
}

// A field of a work cursor, resolved by name on first use (raising 3265 then,
// as a look-up by name would) and kept while the cursor serves the same rows.
class FieldHandle {
 public:
  explicit FieldHandle(std::string_view name) : name_(name) {}
  FieldRef Of(const Recordset& recordset) {
    if (!ref_) ref_ = recordset.Resolve(name_);
    return *ref_;
  }
  void Forget() noexcept { ref_.reset(); }

 private:
  std::string_view name_;
  std::optional<FieldRef> ref_;
};

// What these procedures remember of a recordset's lines, trusted while
// nobody else changed them. When the lines were empty and every line since
// was added (and remembered) here, what is not remembered does not exist.
class LinesMemo {
 public:
  virtual ~LinesMemo() = default;
  // Forgets all when the lines changed behind these procedures' back; true
  // when every line there is was remembered. `all` shows every line.
  bool Check(const Recordset& all) {
    if (all.RowsVersion() != version_) {
      Clear();
      complete_ = all.RecordCount() == 0;
      version_ = all.RowsVersion();
    }
    return complete_;
  }
  // After these procedures' own writes, none of which moves a line's key and
  // each of whose added lines was remembered.
  void Settle(const Recordset& lines) { version_ = lines.RowsVersion(); }
  void Forget() {
    Clear();
    version_ = UINT64_MAX;
    complete_ = false;
  }

 protected:
  virtual void Clear() = 0;

 private:
  uint64_t version_ = UINT64_MAX;
  bool complete_ = false;
};

// The first line found for each key (the exact texts a filter was built
// from): the filter would find that line again.
template <class Value>
class FirstLines : public LinesMemo {
 public:
  Value* Find(const Recordset& all, const std::string& key, bool& complete) {
    complete = Check(all);
    auto it = first_.find(key);
    return it == first_.end() ? nullptr : &it->second;
  }
  Value& Keep(const std::string& key) { return first_[key]; }

 private:
  void Clear() override { first_.clear(); }
  std::unordered_map<std::string, Value> first_;
};

// A clone of one of the document's recordsets, made once and reused while the
// document keeps that recordset over the same rows: the procedures below run
// for every body row and must not clone, or resolve names, each time.
class WorkCursor {
 public:
  explicit WorkCursor(LinesMemo* first, std::initializer_list<FieldHandle*> handles = {},
                      std::span<FieldHandle> more_handles = {})
      : handles_(handles), first_(first) {
    for (FieldHandle& handle : more_handles) handles_.push_back(&handle);
  }

  // The cursor over `source`'s rows, with whatever filter its last use left.
  // Any recordset over the same rows is served by the same cursor.
  Recordset& Over(const std::shared_ptr<Recordset>& source) {
    if (!cursor_ || source->State() != ObjectState::kOpen ||
        cursor_->State() != ObjectState::kOpen || !cursor_->SharesRowsWith(*source)) {
      cursor_ = source->Clone();  // 3704, as before, when the source is closed
      for (FieldHandle* handle : handles_) handle->Forget();
      if (first_) first_->Forget();
    }
    return *cursor_;
  }
  // The same, showing every row whatever a failed earlier use left filtered.
  Recordset& Unfiltered(const std::shared_ptr<Recordset>& source) {
    Recordset& cursor = Over(source);
    if (!cursor.Filter().empty()) cursor.ClearFilter();
    return cursor;
  }

 private:
  std::shared_ptr<Recordset> cursor_;
  std::vector<FieldHandle*> handles_;
  LinesMemo* first_;
};

// Appends one of the texts a filter is built from, after its length, so that
// different texts always give different keys.
void AppendKey(std::string& key, std::string_view text) {
  const auto size = static_cast<uint32_t>(text.size());
  key.append(reinterpret_cast<const char*>(&size), sizeof size);
  key.append(text);
}

}  // namespace

struct LedgerCursors {
  // The body row's fields; the cursor only tells when the body changed.
  FieldHandle row_type{"DO30_INDTIPORIGA"}, row_account{"DO30_CPMERCE_CG24"},
      row_asset{"DO30_ASSETCODE"}, row_group{"DO30_TAXGROUP_NV04"},
      row_progressive{"DO30_PROGRIGA"}, row_net{"DO30_IMPNETSCP"},
      row_net_val{"DO30_IMPNETSCP_VAL"};
  WorkCursor body{
      nullptr,
      {&row_type, &row_account, &row_asset, &row_group, &row_progressive, &row_net, &row_net_val}};

  FieldHandle link_progressive{"DO30_PROGRIGA"}, link_number{"CG42_NUMRIGACONT"};
  WorkCursor links{nullptr,
                   {&link_progressive, &link_number}};  // only tells when the links changed

  FieldHandle line_number{"CG42_NUMRIGACONT"}, line_total{"CG42_IMPTOTALE"},
      line_total_val{"CG42_IMPTOTALEVAL"};
  FirstLines<Bookmark> first_line;
  WorkCursor lines{&first_line, {&line_number, &line_total, &line_total_val}};

  FieldHandle area_jurisdiction{"NV03_TAXJURCODE_NV02"}, area_order{"NV03_CALCULATIONORD"},
      area_rounding{"NV01_ROUNDTAX"};
  WorkCursor area{nullptr, {&area_jurisdiction, &area_order, &area_rounding}};

  // The summary lines through a filter, and through a bookmark when the line
  // is known; the bases are written through the latter. Remembered: the
  // line of each of the area's jurisdictions, by tax group.
  FirstLines<std::vector<std::optional<Bookmark>>> first_summary;
  // What a new summary line is given: its key and descriptions, then zeros.
  FieldHandle new_number{usa74::kNumRiga}, new_account{usa74::kConto},
      new_account_descr{usa74::kDescrConto}, new_jurisdiction{usa74::kTaxJurisdiction},
      new_jurisdiction_descr{usa74::kDescrTaxJurisdiction}, new_group{usa74::kTaxGroup},
      new_group_descr{usa74::kDescrTaxGroup}, new_order{usa74::kCalcOrder},
      new_rounding{usa74::kRoundingMethod}, new_asset{usa74::kAssetCode};
  FieldHandle new_zeros[12] = {
      FieldHandle(usa74::kImponibile),      FieldHandle(usa74::kImponibileVal),
      FieldHandle(usa74::kImporto),         FieldHandle(usa74::kImportoVal),
      FieldHandle(usa74::kTaxPerc),         FieldHandle(usa74::kTaxAmPerc),
      FieldHandle(usa74::kMaxAmount),       FieldHandle(usa74::kActualTaxPerc),
      FieldHandle(usa74::kFlgCalcTaxOnTax), FieldHandle(usa74::kFlgCalcTaxAboveMax),
      FieldHandle(usa74::kFlgPercRic),      FieldHandle(usa74::kFlgTaxOnTax)};
  WorkCursor summary{
      &first_summary,
      {&new_number, &new_account, &new_account_descr, &new_jurisdiction, &new_jurisdiction_descr,
       &new_group, &new_group_descr, &new_order, &new_rounding, &new_asset},
      new_zeros};
  FieldHandle base{usa74::kImponibile}, base_val{usa74::kImponibileVal};
  WorkCursor summary_at{nullptr, {&base, &base_val}};
  WorkCursor summary_all{nullptr};  // never filtered: counts every line

  // The tax area's lines as the postings need them, read once per set of lines.
  struct AreaLine {
    AreaLine(std::string jurisdiction, int16_t order, Variant rounding)
        : jurisdiction(std::move(jurisdiction)), order(order), rounding(std::move(rounding)) {}
    std::string jurisdiction;
    int16_t order = 0;
    Variant rounding;
    size_t slot = 0;  // the first of the area's lines with this jurisdiction
  };
  std::shared_ptr<Recordset> area_of;  // held, so that its address is never another's
  uint64_t area_version = UINT64_MAX;
  std::vector<AreaLine> area_lines;

  std::string key;  // reused, so that building a key allocates nothing
};

LedgerCursors& CLSMG_TARVOLIN::Cursors() {
  if (!ledger_cursors_) ledger_cursors_ = std::make_shared<LedgerCursors>();
  return *ledger_cursors_;
}

// Adds an amount to the tax-summary lines of jurisdictions and a tax group,
// adding a line where the document has none. The cursors are the caller's,
// already over the document's summary lines.
class TaxBasePosting {
 public:
  TaxBasePosting(CLSMG_TARVOLIN& engine, LedgerCursors& c, CoreDocument& document,
                 std::shared_ptr<Recordset> summary, bool no_conversion)
      : engine_(engine),
        c_(c),
        document_(document),
        summary_(std::move(summary)),
        filtered_(c.summary.Over(summary_)),
        line_(c.summary_at.Unfiltered(summary_)),
        no_conversion_(no_conversion) {}

  // To the line of every jurisdiction of the area; the lines found are
  // remembered by group.
  void AddForArea(const std::vector<LedgerCursors::AreaLine>& area, const std::string& group,
                  const Variant& amount) {
    bool complete = false;
    auto* known = c_.first_summary.Find(line_, group, complete);
    if (known == nullptr) known = &c_.first_summary.Keep(group);
    known->resize(area.size());
    for (const LedgerCursors::AreaLine& jurisdiction : area) {
      std::optional<Bookmark>& line = (*known)[jurisdiction.slot];
      if (line) {
        line_.SetBookmark(*line);
      } else {
        FindOrAddLine(jurisdiction.jurisdiction, group, jurisdiction.order, jurisdiction.rounding,
                      complete);
        line = line_.GetBookmark();
      }
      AddToBase(amount);
      line_.Update();
    }
    c_.first_summary.Settle(line_);
  }

  // To the line of one jurisdiction, found by the filter. What is remembered
  // is not trusted after it: the line may be one it does not know.
  void Add(const std::string& jurisdiction, const std::string& group, const Variant& amount,
           int16_t order, const Variant& rounding) {
    FindOrAddLine(jurisdiction, group, order, rounding, false);
    AddToBase(amount);
    line_.Update();
  }

 private:
  // Leaves the line cursor on the first line of the jurisdiction and group;
  // `absent` when it is known there is none.
  void FindOrAddLine(const std::string& jurisdiction, const std::string& group, int16_t order,
                     const Variant& rounding, bool absent) {
    if (!absent) {
      filtered_.SetFilter(
          "USA74_CONTO = '' AND USA74_ASSETCODE = '' AND USA74_TAXJURISDICTION = '" +
          SqlQuoted(jurisdiction) + "' AND USA74_TAXGROUP = '" + SqlQuoted(group) + "'");
    }
    if (absent || filtered_.Eof()) AddLine(jurisdiction, group, order, rounding);
    line_.SetBookmark(filtered_.GetBookmark());
  }

  void AddLine(const std::string& jurisdiction, const std::string& group, int16_t order,
               const Variant& rounding) {
    Recordset& line = filtered_;
    const auto set = [&line](FieldHandle& field, Variant value) {
      line.Set(field.Of(line), std::move(value));
    };
    line.AddNew();
    set(c_.new_number, Variant(int32_t{c_.summary_all.Over(summary_).RecordCount()}));
    set(c_.new_account, Variant(""));
    set(c_.new_account_descr, Variant(""));
    set(c_.new_jurisdiction, Variant(jurisdiction));
    set(c_.new_jurisdiction_descr, Variant(engine_.GetTaxJurisdictionDescr(jurisdiction)));
    set(c_.new_group, Variant(group));
    set(c_.new_group_descr, Variant(engine_.GetTaxGroupDescr(group)));
    set(c_.new_order, Variant(order));
    set(c_.new_rounding, rounding);
    set(c_.new_asset, Variant(""));
    for (FieldHandle& field : c_.new_zeros) set(field, Variant(int16_t{0}));
    line.Update();
  }

  void AddToBase(const Variant& amount) {
    const FieldRef base = c_.base.Of(line_);
    if (no_conversion_) {
      line_.Set(base, NzDec(line_.Get(base)) + amount);
      return;
    }
    // The company-currency base is converted from the whole document-currency
    // base each time, so row roundings never add up.
    const FieldRef base_val = c_.base_val.Of(line_);
    line_.Set(base_val, NzDec(line_.Get(base_val)) + amount);
    const Variant rate =
        Require(document_, DocumentTable::kHeader, "DO11_DOCTESTATA")->Get("DO11_CAMBIO");
    line_.Set(base, engine_.InValutaAzienda(line_.Get(base_val), rate));
  }

  CLSMG_TARVOLIN& engine_;
  LedgerCursors& c_;
  CoreDocument& document_;
  const std::shared_ptr<Recordset> summary_;
  Recordset& filtered_;  // finds a line by a filter, and adds lines
  Recordset& line_;      // unfiltered, on the line found
  const bool no_conversion_;
};

// Posts one body row: into the counterpart line of its account, asset and tax
// group (added when missing), linked to that line, and for a tax-liable
// document into the tax bases of every jurisdiction of the area.
class CounterpartPosting {
 public:
  CounterpartPosting(CLSMG_TARVOLIN& engine, LedgerCursors& c, CoreDocument& document,
                     const std::shared_ptr<Recordset>& body)
      : engine_(engine), c_(c), document_(document), row_(*body) {
    c.body.Over(body);
  }

  void Run() {
    if (!Counted()) return;
    ReadRow();
    Recordset& line =
        c_.lines.Unfiltered(Require(document_, DocumentTable::kCounterparts, "CG42_RIGHECONT"));
    if (!FindLine(line)) {
      AddLine(line);
      c_.first_line.Keep(c_.key) = line.GetBookmark();
    }
    Link(line);
    AddToLine(line);
    PostTaxBases(line);
  }

 private:
  // Rows of some kinds post nothing; others post but clear the document's
  // counterpart-row setting.
  bool Counted() {
    const Decimal row_type = NzDecimal(row_.Get(c_.row_type.Of(row_)));
    if (IsOneOfCodes(row_type, {2, 3, 5, 6, 8, 10, 11, 13})) return false;
    if (IsOneOfCodes(row_type, {4, 12, 15, 16, 17})) {
      document_.State().counterpart_row_setting = Variant(int16_t{0});
    }
    return true;
  }

  void ReadRow() {
    account_ = NzStr(row_.Get(c_.row_account.Of(row_)));
    asset_ = NzStr(row_.Get(c_.row_asset.Of(row_)));
    group_ = NzStr(row_.Get(c_.row_group.Of(row_)));
  }

  // Leaves the cursor on the first line of the row's account, asset and
  // group; false when there is none.
  bool FindLine(Recordset& line) {
    c_.key.clear();
    AppendKey(c_.key, account_);
    AppendKey(c_.key, asset_);
    AppendKey(c_.key, group_);
    bool complete = false;
    if (const Bookmark* known = c_.first_line.Find(line, c_.key, complete)) {
      line.SetBookmark(*known);
      return true;
    }
    if (complete) return false;
    line.SetFilter("CG42_CONTOPAR_CG24 = '" + SqlQuoted(account_) + "' AND ASSETCODE = '" +
                   SqlQuoted(asset_) + "' AND TAXGROUPCODE = '" + SqlQuoted(group_) + "'");
    std::optional<Bookmark> match;
    if (!line.Eof()) match = line.GetBookmark();
    line.ClearFilter();
    if (!match) return false;
    line.SetBookmark(*match);
    c_.first_line.Keep(c_.key) = *match;
    return true;
  }

  void AddLine(Recordset& line) {
    Connection& connection = *engine_.RequireConnection();
    const auto company = document_.Company();
    const std::string account_description =
        FirstText(connection,
                  statements::AccountDescription(NzDec(Variant(company->company_number)).CStr(),
                                                 company->accounts_group, account_),
                  "CG24_DESCR");
    std::string asset_description;
    if (!asset_.empty()) {
      const std::string database = engine_.GetVexNavDb();
      if (!database.empty()) {
        asset_description = FirstText(
            connection, statements::AssetDescription(database, document_.CompanyNumber(), asset_),
            "VS02_DESCRIPTION");
      }
    }
    line.AddNew();
    line.Set("CG42_NUMRIGACONT", Variant(int32_t{line.AbsolutePosition()}));
    line.Set("CG42_CONTOPAR_CG24", Variant(account_));
    line.Set("CG24_DESCR", Variant(account_description));
    if (Variant side = CounterpartSide(*Header()); !side.IsEmpty()) line.Set("CG42_INDDAAV", side);
    line.Set("CG42_IMPTOTALE", Variant(int16_t{0}));
    line.Set("CG42_IMPTOTALEVAL", Variant(int16_t{0}));
    line.Set("CG43_IMPOSTA", Variant(int16_t{0}));
    line.Set("ASSETCODE", Variant(asset_));
    line.Set("ASSETDESCR", Variant(asset_description));
    line.Set("TAXGROUPCODE", Variant(group_));
  }

  void Link(const Recordset& line) {
    auto links = Require(document_, DocumentTable::kCounterpartLinks, "CG42_COLLEGAMENTI");
    c_.links.Over(links);
    links->AddNew();
    links->Set(c_.link_progressive.Of(*links), row_.Get(c_.row_progressive.Of(row_)));
    links->Set(c_.link_number.Of(*links), line.Get(c_.line_number.Of(line)));
    links->Update();
  }

  void AddToLine(Recordset& line) {
    const FieldRef total = c_.line_total.Of(line), total_val = c_.line_total_val.Of(line);
    line.Set(total, line.Get(total) + NzDec(row_.Get(c_.row_net.Of(row_))));
    line.Set(total_val, line.Get(total_val) + NzDec(row_.Get(c_.row_net_val.Of(row_))));
    line.Update();
    c_.first_line.Settle(line);
  }

  // A tax-liable document adds the row's net amount (in the document's
  // currency when it is not the company's) to the base of each jurisdiction.
  void PostTaxBases(const Recordset& line) {
    const auto header = Header();
    const bool liable = NzDecimal(header->Get("DO11_FLGTAXLIABLE")) == Decimal(1);
    const bool has_area_lines = liable && engine_.ReloadTaxAreaLines();
    Variant amount;
    if (has_area_lines) {
      const bool no_conversion = document_.NoConversion();
      amount = no_conversion ? NzDec(row_.Get(c_.row_net.Of(row_)))
                             : NzDec(row_.Get(c_.row_net_val.Of(row_)));
      TaxBasePosting bases(engine_, c_, document_,
                           Require(document_, DocumentTable::kTaxSummary, "USA74"), no_conversion);
      bases.AddForArea(AreaLines(), group_, amount);
    }
    if (CalculationTrace* trace = engine_.trace()) {
      trace->RowPosted(TracedRowPosting(row_, line, *header, liable, has_area_lines, amount));
    }
  }

  // The area's lines, read again only when the engine holds other lines or
  // they changed.
  const std::vector<LedgerCursors::AreaLine>& AreaLines() {
    const std::shared_ptr<Recordset>& lines = engine_.RstTaxAreaLines();
    if (c_.area_of == lines && c_.area_version == lines->RowsVersion()) return c_.area_lines;
    c_.area_lines.clear();
    c_.area_of.reset();
    c_.first_summary.Forget();  // it remembers lines by the place of their jurisdiction
    Recordset& area = c_.area.Unfiltered(lines);
    for (area.MoveFirst(); !area.Eof(); area.MoveNext()) {
      LedgerCursors::AreaLine& added =
          c_.area_lines.emplace_back(NzStr(area.Get(c_.area_jurisdiction.Of(area))),
                                     NzDec(area.Get(c_.area_order.Of(area))).CInt(),
                                     NzDec(area.Get(c_.area_rounding.Of(area))));
      const auto first = std::find_if(c_.area_lines.begin(), c_.area_lines.end(),
                                      [&](const LedgerCursors::AreaLine& line) {
                                        return line.jurisdiction == added.jurisdiction;
                                      });
      added.slot = static_cast<size_t>(first - c_.area_lines.begin());
    }
    c_.area_of = lines;
    c_.area_version = lines->RowsVersion();
    return c_.area_lines;
  }

  std::shared_ptr<Recordset> Header() {
    return Require(document_, DocumentTable::kHeader, "DO11_DOCTESTATA");
  }

  CLSMG_TARVOLIN& engine_;
  LedgerCursors& c_;
  CoreDocument& document_;
  Recordset& row_;
  std::string account_, asset_, group_;
};

void CLSMG_TARVOLIN::AggiungiContropartitaDaCorpo(std::shared_ptr<Recordset> RecordsetCorpo) {
  WithLabel("AggiungiContropartitaDaCorpo:", [&] {
    if (!RecordsetCorpo) Raise(err::kObjectNotSet, kSource, "RecordsetCorpo is not set");
    auto document = RequireCc();
    CounterpartPosting(*this, Cursors(), *document, RecordsetCorpo).Run();
  });
}

void CLSMG_TARVOLIN::AggiungiImponibileTassa(const std::string& jurisdiction,
                                             const std::string& group, const std::string&,
                                             const std::string&, const Variant& amount,
                                             int16_t order, const Variant& rounding) {
  auto document = RequireCc();
  auto summary = Require(*document, DocumentTable::kTaxSummary, "USA74");
  TaxBasePosting(*this, Cursors(), *document, summary, document->NoConversion())
      .Add(jurisdiction, group, amount, order, rounding);
}

}  // namespace tarvolin
