// A body row's three prices (unit 1, unit 2, customer/supplier unit), each
// with its rate-inclusive twin; each price may derive from one of the other
// two through a conversion factor. Changing one price sets its twin and, when
// asked, the prices derived from it, through the other two changes.
//
// Every statement runs under the document's error service: retry repeats the
// statement that failed, ignore goes on with the next, anything else leaves.
#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

// The platform's "Out of stack space": what endless nesting would end in.
constexpr int32_t kOutOfStackSpace = 28;
// One level per price: a change never needs to reach deeper than the third.
constexpr int kDeepestChange = 3;

enum Price { kPrice1 = 0, kPrice2 = 1, kPriceCF = 2 };

struct PriceFields {
  const char* price;
  const char* twin;
  const char* code;  // how the price derives (0..5)
  const char* procedure;
};
constexpr PriceFields kPrices[3] = {
    {"DO30_PREZZO1", "DO30_PREZZO1IVA", "DO30_INDCALCPRE1", "CambiaDocCorpoPrezzo1Rel"},
    {"DO30_PREZZO2", "DO30_PREZZO2IVA", "DO30_INDCALCPRE2", "CambiaDocCorpoPrezzo2Rel"},
    {"DO30_PREZZOCF", "DO30_PREZZOCFIVA", "DO30_INDCALCPRECF", "CambiaDocCorpoPrezzoCFRel"},
};
// Each price's first and second partner, in the order of its method's flags.
constexpr Price kPartners[3][2] = {{kPrice2, kPriceCF}, {kPrice1, kPriceCF}, {kPrice1, kPrice2}};

// 0 when partner is price's first partner, 1 when its second.
int Position(Price price, Price partner) { return kPartners[price][0] == partner ? 0 : 1; }

const char* Factor(Price a, Price b) {
  return a == kPriceCF || b == kPriceCF ? "DO30_FATCONVCF" : "DO30_FATCONV";
}

// The price target takes after source changed, from target's code (2, 3:
// first partner x or / the factor; 4, 5: second partner) or, with code 1 and a
// target still 0, from source's code inverted. False when nothing follows.
bool Derived(const Recordset& row, Price source, Price target, Variant& result) {
  const Decimal target_code = NzDecimal(row.Get(kPrices[target].code));
  bool multiply = false;
  if (target_code == Decimal(1)) {
    if (!NzDecimal(row.Get(kPrices[target].price)).is_zero()) return false;
    const Decimal source_code = NzDecimal(row.Get(kPrices[source].code));
    const int32_t divide = 2 + 2 * Position(source, target);  // source = target x factor
    if (source_code == Decimal(divide)) {
      multiply = false;
    } else if (source_code == Decimal(divide + 1)) {
      multiply = true;
    } else {
      return false;
    }
  } else {
    const int32_t times = 2 + 2 * Position(target, source);  // target = source x factor
    if (target_code == Decimal(times)) {
      multiply = true;
    } else if (target_code == Decimal(times + 1)) {
      multiply = false;
    } else {
      return false;
    }
  }
  const Decimal factor = NzDecimal(row.Get(Factor(source, target)));
  if (factor.is_zero()) return false;
  const Decimal price = NzDecimal(row.Get(kPrices[source].price));
  result = Variant(multiply ? price * factor : price / factor);
  return true;
}

// Changes target's price to value, recomputing the third price but not the
// caller's.
void ChangeFrom(ICLSMG_TARVOLIN& self, Price caller, Price target, std::shared_ptr<Recordset>& body,
                const Variant& value) {
  const bool first = Position(target, caller) != 0;
  switch (target) {
    case kPrice1:
      self.CambiaDocCorpoPrezzo1Rel(body, value, first, !first);
      break;
    case kPrice2:
      self.CambiaDocCorpoPrezzo2Rel(body, value, first, !first);
      break;
    case kPriceCF:
      self.CambiaDocCorpoPrezzoCFRel(body, value, first, !first);
      break;
  }
}

void ChangeRelatedPrice(ICLSMG_TARVOLIN& self, CoreDocument& cc, Price which,
                        std::shared_ptr<Recordset>& body, const Variant& num, bool flag_first,
                        bool flag_second) {
  const PriceFields& f = kPrices[which];
  const Variant zero(int16_t{0});
  ErrorGuard guard(cc.Dialogue().Errors(), f.procedure);
  if (!body) Raise(err::kObjectNotSet, f.procedure, "no body rows recordset");
  const auto header = [&]() -> Recordset& {
    auto rs = cc.Recordsets().Get(DocumentTable::kHeader);
    if (!rs) Raise(err::kObjectNotSet, f.procedure, "the document has no header (DO11)");
    return *rs;
  };
  std::string currency;
  if (!guard([&] { currency = Upper(NzStr(header().Get("DO11_VALUTA_CG08"))); })) return;
  // The price decimals below are those of the document currency.
  if (!guard([&] { self.FindValuta(Variant(currency)); })) return;

  const bool given = which == kPrice1 ? !num.IsEmpty() && !num.IsNull() : !num.IsEmpty();
  if (given) {
    if (!guard([&] {
          const Variant value = NzDec(num);
          if (NzDec(body->Get(f.price)) == value) return;
          // A customer/supplier price of 0 means the row has none.
          const bool none = which == kPriceCF && NzDecimal(value).is_zero();
          body->Set(f.price, none ? Variant::Null() : value);
        })) {
      return;
    }
    bool stored = true;
    if (which != kPrice1 && !guard([&] { stored = !body->Get(f.price).IsNull(); })) return;
    if (stored) {
      Variant rate = zero;
      Variant gross_prices = zero;
      bool non_deductible = false;
      if (!guard([&] { rate = cc.Calculation().PrimaryRowRate(body); })) return;
      if (!guard([&] { gross_prices = NzDec(header().Get("DO11_FLGDEFPIEDE")); })) return;
      if (!guard([&] { non_deductible = self.RigaSpesaNonDefiscalizzabile(body); })) return;
      if (!guard([&] {
            const Variant price = NzDec(body->Get(f.price));
            if ((non_deductible || gross_prices == zero) && !NzDecimal(rate).is_zero()) {
              WriteIfChanged(*body, f.twin,
                             price + Variant(cc.Calculation().RateAmount(
                                         price, rate, currency, cc.Currency().price_decimals)));
            } else {
              WriteIfChanged(*body, f.twin, body->Get(f.price));
            }
          })) {
        return;
      }
    }
  }
  if (!guard([&] { body->Set("DO30_FLGPRSCVAR", Variant(true)); })) return;

  bool has_price = false;
  if (!guard([&] { has_price = !NzDecimal(body->Get(f.price)).is_zero(); })) return;
  if (has_price) {
    for (int position = 0; position < 2; ++position) {
      if (!(position == 0 ? flag_first : flag_second)) continue;
      const Price target = kPartners[which][position];
      Variant value;
      bool follows = false;
      if (!guard([&] { follows = Derived(*body, which, target, value); })) return;
      if (!follows) continue;
      if (!guard([&] { value = self.Arrotondamento(value, 1, Variant(currency)); })) return;
      if (!guard([&] { ChangeFrom(self, which, target, body, value); })) return;
    }
  }
  guard([&] { cc.Calculation().RowPricesChanged(body); });
}

// Counts the nesting of one change; prices set up to derive from each other
// in a loop stop at the fourth level with an error naming the row.
class NestedChange {
 public:
  NestedChange(int& depth, std::string_view procedure, const std::shared_ptr<Recordset>& body)
      : depth_(depth) {
    if (depth_ >= kDeepestChange) {
      std::string row = "?";
      Swallowing([&] { row = NzStr(body->Get("DO30_PROGRIGA")); });
      RaiseText(kOutOfStackSpace, procedure,
                "The prices of body row DO30_PROGRIGA " + row +
                    " derive from each other in a loop (DO30_INDCALCPRE1, DO30_INDCALCPRE2, "
                    "DO30_INDCALCPRECF): the price change stopped");
    }
    ++depth_;
  }
  ~NestedChange() { --depth_; }
  NestedChange(const NestedChange&) = delete;
  NestedChange& operator=(const NestedChange&) = delete;

 private:
  int& depth_;
};

}  // namespace

void CLSMG_TARVOLIN::CambiaDocCorpoPrezzo1Rel(std::shared_ptr<Recordset>& fclsRstCorpo,
                                              const Variant& Num, bool FlagRicalcolaPrezzo2,
                                              bool FlagRicalcolaPrezzoCF) {
  NestedChange nested(price_change_depth_, kPrices[kPrice1].procedure, fclsRstCorpo);
  ChangeRelatedPrice(Self(), *RequireCc(), kPrice1, fclsRstCorpo, Num, FlagRicalcolaPrezzo2,
                     FlagRicalcolaPrezzoCF);
}

void CLSMG_TARVOLIN::CambiaDocCorpoPrezzo2Rel(std::shared_ptr<Recordset>& fclsRstCorpo,
                                              const Variant& Num, bool FlagRicalcolaPrezzo1,
                                              bool FlagRicalcolaPrezzoCF) {
  NestedChange nested(price_change_depth_, kPrices[kPrice2].procedure, fclsRstCorpo);
  ChangeRelatedPrice(Self(), *RequireCc(), kPrice2, fclsRstCorpo, Num, FlagRicalcolaPrezzo1,
                     FlagRicalcolaPrezzoCF);
}

void CLSMG_TARVOLIN::CambiaDocCorpoPrezzoCFRel(std::shared_ptr<Recordset>& fclsRstCorpo,
                                               const Variant& Num, bool FlagRicalcolaPrezzo1,
                                               bool FlagRicalcolaPrezzo2) {
  NestedChange nested(price_change_depth_, kPrices[kPriceCF].procedure, fclsRstCorpo);
  ChangeRelatedPrice(Self(), *RequireCc(), kPriceCF, fclsRstCorpo, Num, FlagRicalcolaPrezzo1,
                     FlagRicalcolaPrezzo2);
}

}  // namespace tarvolin
