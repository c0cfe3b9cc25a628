// Read-only access to the US sales-tax setup (areas, jurisdictions, groups,
// dated rates) and to the two settings the tax code needs. Results are kept in
// the engine object so that a recalculation, and the following ones of the same
// engine object, query the company database as little as possible:
//  - each jurisdiction and tax-group pair is queried once per engine object,
//    whatever the document date (found or not);
//  - the tax-area lines only when the document's tax area changes;
//  - the tax decimals once per engine object.
//
// Codes put into statements go through SqlQuoted, so a code holding a quote
// stays inside its literal; codes without quotes give the statements unchanged.
#include <string>

#include "engine/engine_object.h"
#include "engine/statements.h"
#include "engine/trace_events.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "CLSMG_TARVOLIN";

std::shared_ptr<Recordset> HeaderOf(CoreDocument& document) {
  auto header = document.Recordsets().Get(DocumentTable::kHeader);
  if (!header) {
    Raise(err::kObjectNotSet, kSource, "the document has no header recordset (DO11_DOCTESTATA)");
  }
  return header;
}

// The document date as "YYYYMMDD". A document without a date is refused rather
// than looked up with an empty date, which would cache "no rate" for the pair
// for the life of the engine object.
std::string DocumentDateText(const Recordset& header) {
  const Variant& date = header.Get("DO11_DATADOC");
  if (NzStr(date).empty()) {
    Raise(err::kInvalidUseOfNull, kSource, "the document date DO11_DATADOC is blank");
  }
  return date.CDate().ToYmdText();
}

std::string Description(const std::shared_ptr<Connection>& connection, std::string_view prefix,
                        std::string_view table, const std::string& code) {
  std::string result;
  Swallowing([&] {
    if (NzStr(Variant(code)).empty()) return;
    if (!connection) Raise(err::kObjectNotSet, kSource, "ADOConnection is not set");
    auto found = connection->Execute(statements::Description(prefix, table, code), nullptr,
                                     execute_option::kCommandText);
    if (!found->Eof()) result = NzStr(found->Get("DESCRIZIONE"));
    found->Close();
  });
  return result;
}

}  // namespace

bool CLSMG_TARVOLIN::GetTaxDetails(const std::string& jurisdiction, const std::string& group,
                                   Variant& MaxAmount, Variant& TaxBelowMax, Variant& TaxAboveMax,
                                   Variant& CalcTaxOnTax) {
  return WithLabel("GetTaxDetails:", [&] {
    // Codes as passed: no trimming, case kept. The date is not part of the key.
    const std::string key = "$$" + jurisdiction + "$$" + group + "$$";
    std::string date;                 // looked up for; stays "" when the cache answers
    std::shared_ptr<Recordset> rate;  // the rate chosen, when queried
    if (!DictTaxDetailFound().Exists(key)) {
      auto document = RequireCc();
      date = DocumentDateText(*HeaderOf(*document));
      rate = RequireConnection()->Execute(statements::TaxDetail(jurisdiction, group, date), nullptr,
                                          execute_option::kCommandText);
      // Read everything before adding, so the five caches never disagree on keys.
      Variant found(int16_t{0}), max_amount(int16_t{0}), below(int16_t{0}), above(int16_t{0}),
          tax_on_tax(int16_t{0});
      if (!rate->Eof()) {
        found = Variant(int16_t{1});
        max_amount = NzDec(rate->Get("NV05_MAXIMUMAMOUNTQTY"));
        below = NzDec(rate->Get("NV05_TAXBELOWMAX"));
        above = NzDec(rate->Get("NV05_TAXABOVEMAX"));
        // Null when the jurisdiction is missing from NV02: no tax on tax.
        tax_on_tax = NzDec(rate->Get("NV02_CALCULATETAXONTAX"));
      }
      DictTaxDetailFound().Add(key, found);
      DictTaxMaxAmountQty().Add(key, max_amount);
      DictTaxBelowMax().Add(key, below);
      DictTaxAboveMax().Add(key, above);
      DictTaxOnTax().Add(key, tax_on_tax);
    }
    MaxAmount = DictTaxMaxAmountQty().Item(key);
    TaxBelowMax = DictTaxBelowMax().Item(key);
    TaxAboveMax = DictTaxAboveMax().Item(key);
    CalcTaxOnTax = DictTaxOnTax().Item(key);
    const bool found = !(DictTaxDetailFound().Item(key) == Variant(int16_t{0}));
    if (trace_)
      trace_->TaxDetailLookedUp(TracedTaxDetail(jurisdiction, group, found, date, rate.get(),
                                                MaxAmount, TaxBelowMax, TaxAboveMax, CalcTaxOnTax));
    return found;
  });
}

bool CLSMG_TARVOLIN::ReloadTaxAreaLines() {
  return WithLabel("ReloadTaxAreaLines:", [&] {
    const auto header = HeaderOf(*RequireCc());
    const Variant& code = header->Get("DO11_TAXAREA_NV01");
    // Asked for every body row: the area already loaded is known without a text.
    if (!tax_area_lines_loaded_for_.empty() && NzStrEquals(code, tax_area_lines_loaded_for_)) {
      return rst_tax_area_lines_ != nullptr && !rst_tax_area_lines_->Eof();
    }
    const std::string area = NzStr(code);
    if (area.empty()) {
      // Forget the area so that the next non-blank one is always queried; the
      // previous lines stay where they are.
      tax_area_lines_loaded_for_.clear();
      return false;
    }
    if (area != tax_area_lines_loaded_for_) {
      auto lines = RequireConnection()->Execute(statements::TaxAreaLines(area), nullptr,
                                                execute_option::kCommandText);
      // The area is remembered only once its lines are in: after a failed query
      // the next call queries again instead of serving another area's lines.
      rst_tax_area_lines_ = std::move(lines);
      tax_area_lines_loaded_for_ = area;
    }
    return rst_tax_area_lines_ != nullptr && !rst_tax_area_lines_->Eof();
  });
}

void CLSMG_TARVOLIN::GetDecimaliTasse() {
  WithLabel("GetDecimaliTasse:", [&] {
    if (decimali_tasse_ != 0) return;  // read once per engine object
    decimali_tasse_ = 5;
    // From here on a failing step is skipped: whatever fails leaves 5.
    std::shared_ptr<Recordset> setting;
    Swallowing([&] {
      setting = RequireConnection()->Execute(statements::TaxDecimals(), nullptr,
                                             execute_option::kCommandText);
    });
    Swallowing([&] {
      // A blank value gives 0, which counts as "not read" and is read again by
      // the next calculation. A negative value is kept as read; the rounding of
      // the intermediate tax treats it as 0 decimals (see CalculateTax).
      if (setting && !setting->Eof()) decimali_tasse_ = NzDec(setting->Get("FW95_VALORE")).CInt();
    });
    if (decimali_tasse_ > 20) decimali_tasse_ = 20;
  });
}

std::string CLSMG_TARVOLIN::GetVexNavDb() {
  return WithLabel("GetVexNavDb:", [&] {
    std::string database;
    auto found = RequireConnection()->Execute(statements::ExternalDatabase(), nullptr,
                                              execute_option::kUnspecified);
    if (!found->Eof()) database = NzStr(found->Get("CO60_DATABASE"));
    return database;  // not cached: every call asks
  });
}

std::string CLSMG_TARVOLIN::GetTaxGroupDescr(const std::string& code) {
  return Description(connection_, "NV04", "NV04_TAXGROUP", code);
}

std::string CLSMG_TARVOLIN::GetTaxJurisdictionDescr(const std::string& code) {
  return Description(connection_, "NV02", "NV02_TAXJURISDICTION", code);
}

}  // namespace tarvolin
