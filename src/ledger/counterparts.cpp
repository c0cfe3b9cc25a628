// Counterparts from body rows: each counted row goes into the ledger line of
// its account, asset and tax group, is linked to that line, and (for a
// tax-liable document) adds its net amount to the tax-summary lines of every
// jurisdiction of the document's tax area.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
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

// The first line found for each key (the exact texts a filter was built
// from), trusted while nobody but this procedure changed the lines: then the
// filter would find that line again.
class FirstLines {
 public:
  std::optional<Bookmark> Find(const Recordset& lines, const std::string& key) {
    if (lines.RowsVersion() != version_) {
      first_.clear();
      return std::nullopt;
    }
    auto it = first_.find(key);
    if (it == first_.end()) return std::nullopt;
    return it->second;
  }
  void Keep(const std::string& key, Bookmark line) { first_.insert_or_assign(key, line); }
  // After this procedure's own writes, none of which moves a line's key.
  void Settle(const Recordset& lines) { version_ = lines.RowsVersion(); }
  void Forget() noexcept {
    first_.clear();
    version_ = UINT64_MAX;
  }

 private:
  uint64_t version_ = UINT64_MAX;
  std::unordered_map<std::string, Bookmark> first_;
};

// A clone of one of the document's recordsets, made once and reused while the
// document keeps that recordset over the same rows: the procedures below run
// for every body row and must not clone, or resolve names, each time.
class WorkCursor {
 public:
  explicit WorkCursor(FirstLines* first, std::initializer_list<FieldHandle*> handles = {})
      : handles_(handles), first_(first) {}

  // The cursor over `source`'s rows, with whatever filter its last use left.
  Recordset& Over(const std::shared_ptr<Recordset>& source) {
    if (!cursor_ || source_.lock() != source || source->State() != ObjectState::kOpen ||
        cursor_->State() != ObjectState::kOpen || !cursor_->SharesRowsWith(*source)) {
      cursor_ = source->Clone();  // 3704, as before, when the source is closed
      source_ = source;
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
  std::weak_ptr<Recordset> source_;
  std::shared_ptr<Recordset> cursor_;
  std::vector<FieldHandle*> handles_;
  FirstLines* first_;
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
  FirstLines first_line;
  WorkCursor lines{&first_line, {&line_number, &line_total, &line_total_val}};

  FieldHandle area_jurisdiction{"NV03_TAXJURCODE_NV02"}, area_order{"NV03_CALCULATIONORD"},
      area_rounding{"NV01_ROUNDTAX"};
  WorkCursor area{nullptr, {&area_jurisdiction, &area_order, &area_rounding}};

  // The summary lines through a filter, and through a bookmark when the line
  // is known; the bases are written through the latter.
  FirstLines first_summary;
  WorkCursor summary{&first_summary};
  FieldHandle base{usa74::kImponibile}, base_val{usa74::kImponibileVal};
  WorkCursor summary_at{nullptr, {&base, &base_val}};
  WorkCursor summary_all{nullptr};  // never filtered: counts every line

  std::string key;  // reused, so that building a key allocates nothing
};

LedgerCursors& CLSMG_TARVOLIN::Cursors() {
  if (!ledger_cursors_) ledger_cursors_ = std::make_shared<LedgerCursors>();
  return *ledger_cursors_;
}

// Being reworked for speed; to be split into named steps.
// NOLINTNEXTLINE(readability-function-cognitive-complexity,readability-function-size)
void CLSMG_TARVOLIN::AggiungiContropartitaDaCorpo(std::shared_ptr<Recordset> RecordsetCorpo) {
  WithLabel("AggiungiContropartitaDaCorpo:", [&] {
    if (!RecordsetCorpo) Raise(err::kObjectNotSet, kSource, "RecordsetCorpo is not set");
    Recordset& row = *RecordsetCorpo;
    auto document = RequireCc();
    LedgerCursors& c = Cursors();
    c.body.Over(RecordsetCorpo);

    const Decimal row_type = NzDecimal(row.Get(c.row_type.Of(row)));
    if (IsOneOfCodes(row_type, {2, 3, 5, 6, 8, 10, 11, 13})) return;
    if (IsOneOfCodes(row_type, {4, 12, 15, 16, 17})) {
      document->State().counterpart_row_setting = Variant(int16_t{0});
    }

    const std::string account = NzStr(row.Get(c.row_account.Of(row)));
    const std::string asset = NzStr(row.Get(c.row_asset.Of(row)));
    const std::string group = NzStr(row.Get(c.row_group.Of(row)));

    // Look the line up on a cursor of its own, so the document's stays put.
    Recordset& line =
        c.lines.Unfiltered(Require(*document, DocumentTable::kCounterparts, "CG42_RIGHECONT"));
    c.key.clear();
    AppendKey(c.key, account);
    AppendKey(c.key, asset);
    AppendKey(c.key, group);
    bool found = false;
    if (std::optional<Bookmark> known = c.first_line.Find(line, c.key)) {
      line.SetBookmark(*known);
      found = true;
    } else if (line.RecordCount() > 0) {
      line.SetFilter("CG42_CONTOPAR_CG24 = '" + SqlQuoted(account) + "' AND ASSETCODE = '" +
                     SqlQuoted(asset) + "' AND TAXGROUPCODE = '" + SqlQuoted(group) + "'");
      Bookmark match;
      if (!line.Eof()) {
        match = line.GetBookmark();
        found = true;
      }
      line.ClearFilter();
      if (found) {
        line.SetBookmark(match);
        c.first_line.Keep(c.key, match);
      }
    }

    if (!found) {
      Connection& connection = *RequireConnection();
      const auto company = document->Company();
      const std::string account_sql = statements::AccountDescription(
          NzDec(Variant(company->company_number)).CStr(), company->accounts_group, account);
      const std::string account_description = FirstText(connection, account_sql, "CG24_DESCR");

      std::string asset_description;
      if (!asset.empty()) {
        const std::string database = GetVexNavDb();
        if (!database.empty()) {
          const std::string asset_sql =
              statements::AssetDescription(database, document->CompanyNumber(), asset);
          asset_description = FirstText(connection, asset_sql, "VS02_DESCRIPTION");
        }
      }

      line.AddNew();
      line.Set("CG42_NUMRIGACONT", Variant(int32_t{line.AbsolutePosition()}));
      line.Set("CG42_CONTOPAR_CG24", Variant(account));
      line.Set("CG24_DESCR", Variant(account_description));
      if (Variant side =
              CounterpartSide(*Require(*document, DocumentTable::kHeader, "DO11_DOCTESTATA"));
          !side.IsEmpty()) {
        line.Set("CG42_INDDAAV", side);
      }
      line.Set("CG42_IMPTOTALE", Variant(int16_t{0}));
      line.Set("CG42_IMPTOTALEVAL", Variant(int16_t{0}));
      line.Set("CG43_IMPOSTA", Variant(int16_t{0}));
      line.Set("ASSETCODE", Variant(asset));
      line.Set("ASSETDESCR", Variant(asset_description));
      line.Set("TAXGROUPCODE", Variant(group));
    }

    auto links = Require(*document, DocumentTable::kCounterpartLinks, "CG42_COLLEGAMENTI");
    c.links.Over(links);
    links->AddNew();
    links->Set(c.link_progressive.Of(*links), row.Get(c.row_progressive.Of(row)));
    links->Set(c.link_number.Of(*links), line.Get(c.line_number.Of(line)));
    links->Update();

    const FieldRef total = c.line_total.Of(line), total_val = c.line_total_val.Of(line);
    line.Set(total, line.Get(total) + NzDec(row.Get(c.row_net.Of(row))));
    line.Set(total_val, line.Get(total_val) + NzDec(row.Get(c.row_net_val.Of(row))));
    line.Update();
    c.first_line.Settle(line);

    const auto header = Require(*document, DocumentTable::kHeader, "DO11_DOCTESTATA");
    const bool liable = NzDecimal(header->Get("DO11_FLGTAXLIABLE")) == Decimal(1);
    const bool has_area_lines = liable && ReloadTaxAreaLines();
    Variant amount;  // added to the base of each jurisdiction
    if (has_area_lines) {
      amount = document->NoConversion() ? NzDec(row.Get(c.row_net.Of(row)))
                                        : NzDec(row.Get(c.row_net_val.Of(row)));
      Recordset& area = c.area.Unfiltered(RstTaxAreaLines());
      for (area.MoveFirst(); !area.Eof(); area.MoveNext()) {
        AggiungiImponibileTassa(NzStr(area.Get(c.area_jurisdiction.Of(area))), group, account,
                                asset, amount, NzDec(area.Get(c.area_order.Of(area))).CInt(),
                                NzDec(area.Get(c.area_rounding.Of(area))));
      }
    }
    if (trace_)
      trace_->RowPosted(TracedRowPosting(row, line, *header, liable, has_area_lines, amount));
  });
}

void CLSMG_TARVOLIN::AggiungiImponibileTassa(const std::string& jurisdiction,
                                             const std::string& group, const std::string&,
                                             const std::string&, const Variant& amount,
                                             int16_t order, const Variant& rounding) {
  auto document = RequireCc();
  auto summary = Require(*document, DocumentTable::kTaxSummary, "USA74");
  LedgerCursors& c = Cursors();
  // Cursors of their own: the document's recordset keeps its own view, and
  // the line number below counts every line, not the filtered ones.
  Recordset& filtered = c.summary.Over(summary);
  Recordset& line = c.summary_at.Unfiltered(summary);
  c.key.clear();
  AppendKey(c.key, jurisdiction);
  AppendKey(c.key, group);
  if (std::optional<Bookmark> known = c.first_summary.Find(filtered, c.key)) {
    line.SetBookmark(*known);
  } else {
    filtered.SetFilter("USA74_CONTO = '' AND USA74_ASSETCODE = '' AND USA74_TAXJURISDICTION = '" +
                       SqlQuoted(jurisdiction) + "' AND USA74_TAXGROUP = '" + SqlQuoted(group) +
                       "'");
    if (filtered.Eof()) {
      filtered.AddNew();
      filtered.Set(usa74::kNumRiga, Variant(int32_t{c.summary_all.Over(summary).RecordCount()}));
      filtered.Set(usa74::kConto, Variant(""));
      filtered.Set(usa74::kDescrConto, Variant(""));
      filtered.Set(usa74::kTaxJurisdiction, Variant(jurisdiction));
      filtered.Set(usa74::kDescrTaxJurisdiction, Variant(GetTaxJurisdictionDescr(jurisdiction)));
      filtered.Set(usa74::kTaxGroup, Variant(group));
      filtered.Set(usa74::kDescrTaxGroup, Variant(GetTaxGroupDescr(group)));
      filtered.Set(usa74::kCalcOrder, Variant(order));
      filtered.Set(usa74::kRoundingMethod, rounding);
      filtered.Set(usa74::kAssetCode, Variant(""));
      for (std::string_view field :
           {usa74::kImponibile, usa74::kImponibileVal, usa74::kImporto, usa74::kImportoVal,
            usa74::kTaxPerc, usa74::kTaxAmPerc, usa74::kMaxAmount, usa74::kActualTaxPerc,
            usa74::kFlgCalcTaxOnTax, usa74::kFlgCalcTaxAboveMax, usa74::kFlgPercRic,
            usa74::kFlgTaxOnTax}) {
        filtered.Set(field, Variant(int16_t{0}));
      }
      filtered.Update();
    } else {
      c.first_summary.Keep(c.key, filtered.GetBookmark());
    }
    line.SetBookmark(filtered.GetBookmark());
  }
  const FieldRef base = c.base.Of(line);
  if (document->NoConversion()) {
    line.Set(base, NzDec(line.Get(base)) + amount);
  } else {
    // The company-currency base is converted from the whole document-currency
    // base each time, so row roundings never add up.
    const FieldRef base_val = c.base_val.Of(line);
    line.Set(base_val, NzDec(line.Get(base_val)) + amount);
    const Variant rate =
        Require(*document, DocumentTable::kHeader, "DO11_DOCTESTATA")->Get("DO11_CAMBIO");
    line.Set(base, Self().InValutaAzienda(line.Get(base_val), rate));
  }
  line.Update();
  c.first_summary.Settle(line);
}

}  // namespace tarvolin
