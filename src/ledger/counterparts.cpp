// Counterparts from body rows: each counted row goes into the ledger line of
// its account, asset and tax group, is linked to that line, and (for a
// tax-liable document) adds its net amount to the tax-summary lines of every
// jurisdiction of the document's tax area.
#include <initializer_list>
#include <string>

#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/engine.h"
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

bool IsOneOf(const Decimal& value, std::initializer_list<int32_t> kinds) {
  for (int32_t kind : kinds) {
    if (value == Decimal(kind)) return true;
  }
  return false;
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

}  // namespace

void CLSMG_TARVOLIN::AggiungiContropartitaDaCorpo(std::shared_ptr<Recordset> RecordsetCorpo) {
  WithLabel("AggiungiContropartitaDaCorpo:", [&] {
    if (!RecordsetCorpo) Raise(err::kObjectNotSet, kSource, "RecordsetCorpo is not set");
    Recordset& row = *RecordsetCorpo;
    auto document = RequireCc();

    const Decimal row_type = NzDecimal(row.Get("DO30_INDTIPORIGA"));
    if (IsOneOf(row_type, {2, 3, 5, 6, 8, 10, 11, 13})) return;
    if (IsOneOf(row_type, {4, 12, 15, 16, 17})) {
      document->State().counterpart_row_setting = Variant(int16_t{0});
    }

    const std::string account = NzStr(row.Get("DO30_CPMERCE_CG24"));
    const std::string asset = NzStr(row.Get("DO30_ASSETCODE"));
    const std::string group = NzStr(row.Get("DO30_TAXGROUP_NV04"));

    // Look the line up on a clone, so the document's own cursor stays put.
    auto line = Require(*document, DocumentTable::kCounterparts, "CG42_RIGHECONT")->Clone();
    bool found = false;
    if (line->RecordCount() > 0) {
      line->SetFilter("CG42_CONTOPAR_CG24 = '" + SqlQuoted(account) + "' AND ASSETCODE = '" +
                      SqlQuoted(asset) + "' AND TAXGROUPCODE = '" + SqlQuoted(group) + "'");
      Bookmark match;
      if (!line->Eof()) {
        match = line->GetBookmark();
        found = true;
      }
      line->ClearFilter();
      if (found) line->SetBookmark(match);
    }

    if (!found) {
      Connection& connection = *RequireConnection();
      const auto company = document->Company();
      const std::string account_sql =
          std::string(" SELECT") + "    CASE" + "        WHEN CG39_DESCR IS NULL THEN CG24_DESCR" +
          "        ELSE CG39_DESCR" + "    END AS CG24_DESCR" + " FROM" +
          "    CG24_TABPDC WITH (NOLOCK)" + " LEFT OUTER JOIN CG39_PRSDESPDC WITH (NOLOCK) ON" +
          "    CG39_DITTA_CG18 = " + NzDec(Variant(company->company_number)).CStr() + " AND" +
          "    CG39_GRUPPO_CG10 = CG24_GRUPPO_CG10 AND" + "    CG39_CONTO_CG24 = CG24_CONTO" +
          " WHERE" + "    CG24_GRUPPO_CG10 = " + company->accounts_group + " AND" +
          "    CG24_CONTO = '" + SqlQuoted(account) + "'";
      const std::string account_description = FirstText(connection, account_sql, "CG24_DESCR");

      std::string asset_description;
      if (!asset.empty()) {
        const std::string database = GetVexNavDb();
        if (!database.empty()) {
          const std::string asset_sql =
              std::string("SELECT TOP 1") + kCrLf + "    VS02_DESCRIPTION" + kCrLf + "FROM" +
              kCrLf + "    [" + database + "].dbo.VS02_ASSET" + kCrLf + "WHERE" + kCrLf +
              "    VS02_COMPANYID = " + std::to_string(document->CompanyNumber()) + kCrLf +
              "    AND VS02_ASSETNO = '" + SqlQuoted(asset) + "'";
          asset_description = FirstText(connection, asset_sql, "VS02_DESCRIPTION");
        }
      }

      line->AddNew();
      line->Set("CG42_NUMRIGACONT", Variant(int32_t{line->AbsolutePosition()}));
      line->Set("CG42_CONTOPAR_CG24", Variant(account));
      line->Set("CG24_DESCR", Variant(account_description));
      if (Variant side =
              CounterpartSide(*Require(*document, DocumentTable::kHeader, "DO11_DOCTESTATA"));
          !side.IsEmpty()) {
        line->Set("CG42_INDDAAV", side);
      }
      line->Set("CG42_IMPTOTALE", Variant(int16_t{0}));
      line->Set("CG42_IMPTOTALEVAL", Variant(int16_t{0}));
      line->Set("CG43_IMPOSTA", Variant(int16_t{0}));
      line->Set("ASSETCODE", Variant(asset));
      line->Set("ASSETDESCR", Variant(asset_description));
      line->Set("TAXGROUPCODE", Variant(group));
    }

    auto links = Require(*document, DocumentTable::kCounterpartLinks, "CG42_COLLEGAMENTI");
    links->AddNew();
    links->Set("DO30_PROGRIGA", row.Get("DO30_PROGRIGA"));
    links->Set("CG42_NUMRIGACONT", line->Get("CG42_NUMRIGACONT"));
    links->Update();

    line->Set("CG42_IMPTOTALE", line->Get("CG42_IMPTOTALE") + NzDec(row.Get("DO30_IMPNETSCP")));
    line->Set("CG42_IMPTOTALEVAL",
              line->Get("CG42_IMPTOTALEVAL") + NzDec(row.Get("DO30_IMPNETSCP_VAL")));
    line->Update();

    const auto header = Require(*document, DocumentTable::kHeader, "DO11_DOCTESTATA");
    if (NzDecimal(header->Get("DO11_FLGTAXLIABLE")) == Decimal(1) && ReloadTaxAreaLines()) {
      const Variant amount = document->NoConversion() ? NzDec(row.Get("DO30_IMPNETSCP"))
                                                      : NzDec(row.Get("DO30_IMPNETSCP_VAL"));
      auto area_lines = RstTaxAreaLines()->Clone();
      for (area_lines->MoveFirst(); !area_lines->Eof(); area_lines->MoveNext()) {
        AggiungiImponibileTassa(NzStr(area_lines->Get("NV03_TAXJURCODE_NV02")), group, account,
                                asset, amount, NzDec(area_lines->Get("NV03_CALCULATIONORD")).CInt(),
                                NzDec(area_lines->Get("NV01_ROUNDTAX")));
      }
    }
  });
}

void CLSMG_TARVOLIN::AggiungiImponibileTassa(const std::string& jurisdiction,
                                             const std::string& group, const std::string&,
                                             const std::string&, const Variant& amount,
                                             int16_t order, const Variant& rounding) {
  auto document = RequireCc();
  auto summary = Require(*document, DocumentTable::kTaxSummary, "USA74");
  // A filtered clone: the document's recordset keeps its own view, and the
  // line number below counts every line, not the filtered ones.
  auto line = summary->Clone();
  line->SetFilter("USA74_CONTO = '' AND USA74_ASSETCODE = '' AND USA74_TAXJURISDICTION = '" +
                  SqlQuoted(jurisdiction) + "' AND USA74_TAXGROUP = '" + SqlQuoted(group) + "'");
  if (line->Eof()) {
    line->AddNew();
    line->Set(usa74::kNumRiga, Variant(int32_t{summary->Clone()->RecordCount()}));
    line->Set(usa74::kConto, Variant(""));
    line->Set(usa74::kDescrConto, Variant(""));
    line->Set(usa74::kTaxJurisdiction, Variant(jurisdiction));
    line->Set(usa74::kDescrTaxJurisdiction, Variant(GetTaxJurisdictionDescr(jurisdiction)));
    line->Set(usa74::kTaxGroup, Variant(group));
    line->Set(usa74::kDescrTaxGroup, Variant(GetTaxGroupDescr(group)));
    line->Set(usa74::kCalcOrder, Variant(order));
    line->Set(usa74::kRoundingMethod, rounding);
    line->Set(usa74::kAssetCode, Variant(""));
    for (std::string_view field :
         {usa74::kImponibile, usa74::kImponibileVal, usa74::kImporto, usa74::kImportoVal,
          usa74::kTaxPerc, usa74::kTaxAmPerc, usa74::kMaxAmount, usa74::kActualTaxPerc,
          usa74::kFlgCalcTaxOnTax, usa74::kFlgCalcTaxAboveMax, usa74::kFlgPercRic,
          usa74::kFlgTaxOnTax}) {
      line->Set(field, Variant(int16_t{0}));
    }
    line->Update();
  }
  if (document->NoConversion()) {
    line->Set(usa74::kImponibile, NzDec(line->Get(usa74::kImponibile)) + amount);
  } else {
    // The company-currency base is converted from the whole document-currency
    // base each time, so row roundings never add up.
    line->Set(usa74::kImponibileVal, NzDec(line->Get(usa74::kImponibileVal)) + amount);
    const Variant rate =
        Require(*document, DocumentTable::kHeader, "DO11_DOCTESTATA")->Get("DO11_CAMBIO");
    line->Set(usa74::kImponibile, Self().InValutaAzienda(line->Get(usa74::kImponibileVal), rate));
  }
  line->Update();
}

}  // namespace tarvolin
