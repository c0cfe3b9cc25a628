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

// One price change, statement by statement under the error service; each
// step returns false when the change must be left.
class RelatedPriceChange {
 public:
  RelatedPriceChange(ICLSMG_TARVOLIN& self, CoreDocument& cc, Price which,
                     std::shared_ptr<Recordset>& body)
      : self_(self),
        cc_(cc),
        which_(which),
        f_(kPrices[which]),
        body_(body),
        guard_(cc.Dialogue().Errors(), f_.procedure) {}

  void Run(const Variant& num, bool flag_first, bool flag_second) {
    if (!body_) Raise(err::kObjectNotSet, f_.procedure, "no body rows recordset");
    if (!guard_([&] { currency_ = Upper(NzStr(Header().Get("DO11_VALUTA_CG08"))); })) return;
    // The price decimals below are those of the document currency.
    if (!guard_([&] { self_.FindValuta(Variant(currency_)); })) return;
    const bool given = which_ == kPrice1 ? !num.IsEmpty() && !num.IsNull() : !num.IsEmpty();
    if (given && !SetPrice(num)) return;
    if (!guard_([&] { body_->Set("DO30_FLGPRSCVAR", Variant(true)); })) return;
    if (!ChangeDerivedPrices(flag_first, flag_second)) return;
    guard_([&] { cc_.Calculation().RowPricesChanged(body_); });
  }

 private:
  Recordset& Header() {
    auto rs = cc_.Recordsets().Get(DocumentTable::kHeader);
    if (!rs) Raise(err::kObjectNotSet, f_.procedure, "the document has no header (DO11)");
    return *rs;
  }

  // The price as given, then its rate-inclusive twin when a price is stored.
  bool SetPrice(const Variant& num) {
    if (!guard_([&] {
          const Variant value = NzDec(num);
          if (NzDec(body_->Get(f_.price)) == value) return;
          // A customer/supplier price of 0 means the row has none.
          const bool none = which_ == kPriceCF && NzDecimal(value).is_zero();
          body_->Set(f_.price, none ? Variant::Null() : value);
        })) {
      return false;
    }
    bool stored = true;
    if (which_ != kPrice1 && !guard_([&] { stored = !body_->Get(f_.price).IsNull(); })) {
      return false;
    }
    return !stored || SetTwin();
  }

  // The twin holds the price with the row's rate added, unless the document
  // keeps gross prices (and the row is not a non-deductible expense).
  bool SetTwin() {
    const Variant zero(int16_t{0});
    Variant rate = zero;
    Variant gross_prices = zero;
    bool non_deductible = false;
    if (!guard_([&] { rate = cc_.Calculation().PrimaryRowRate(body_); })) return false;
    if (!guard_([&] { gross_prices = NzDec(Header().Get("DO11_FLGDEFPIEDE")); })) return false;
    if (!guard_([&] { non_deductible = self_.RigaSpesaNonDefiscalizzabile(body_); })) return false;
    return guard_([&] {
      const Variant price = NzDec(body_->Get(f_.price));
      if ((non_deductible || gross_prices == zero) && !NzDecimal(rate).is_zero()) {
        WriteIfChanged(*body_, f_.twin,
                       price + Variant(cc_.Calculation().RateAmount(
                                   price, rate, currency_, cc_.Currency().price_decimals)));
      } else {
        WriteIfChanged(*body_, f_.twin, body_->Get(f_.price));
      }
    });
  }

  // The partners the flags name follow a price that is not 0.
  bool ChangeDerivedPrices(bool flag_first, bool flag_second) {
    bool has_price = false;
    if (!guard_([&] { has_price = !NzDecimal(body_->Get(f_.price)).is_zero(); })) return false;
    if (!has_price) return true;
    for (int position = 0; position < 2; ++position) {
      if (!(position == 0 ? flag_first : flag_second)) continue;
      if (!ChangePartner(kPartners[which_][position])) return false;
    }
    return true;
  }

  bool ChangePartner(Price target) {
    Variant value;
    bool follows = false;
    if (!guard_([&] { follows = Derived(*body_, which_, target, value); })) return false;
    if (!follows) return true;
    if (!guard_([&] {
          value = self_.Arrotondamento(value, ICLSMG_TARVOLIN::kPriceDecimals, Variant(currency_));
        })) {
      return false;
    }
    return guard_([&] { ChangeFrom(self_, which_, target, body_, value); });
  }

  ICLSMG_TARVOLIN& self_;
  CoreDocument& cc_;
  const Price which_;
  const PriceFields& f_;
  std::shared_ptr<Recordset>& body_;
  ErrorGuard guard_;
  std::string currency_;
};

void ChangeRelatedPrice(ICLSMG_TARVOLIN& self, CoreDocument& cc, Price which,
                        std::shared_ptr<Recordset>& body, const Variant& num, bool flag_first,
                        bool flag_second) {
  RelatedPriceChange(self, cc, which, body).Run(num, flag_first, flag_second);
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
