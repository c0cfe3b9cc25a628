// The engine object: lifecycle, properties and the shared helpers. The
// recalculation and its parts live in the subsystem folders.
#include "engine/engine_object.h"

#include <cmath>
#include <optional>

#include "engine/statements.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "CLSMG_TARVOLIN";

}  // namespace

CLSMG_TARVOLIN::CLSMG_TARVOLIN(CalculationHelperFactory helper_factory)
    : helper_factory_(std::move(helper_factory)) {}

CLSMG_TARVOLIN::~CLSMG_TARVOLIN() = default;

std::shared_ptr<ICLSMG_TARVOLIN> CreateEngine(CalculationHelperFactory helper_factory) {
  return std::make_shared<CLSMG_TARVOLIN>(std::move(helper_factory));
}

std::shared_ptr<CoreDocument> CLSMG_TARVOLIN::RequireCc() const {
  if (!cc_) Raise(err::kObjectNotSet, kSource, "cc is not set");
  return cc_;
}

std::shared_ptr<Connection> CLSMG_TARVOLIN::RequireConnection() const {
  if (!connection_) Raise(err::kObjectNotSet, kSource, "ADOConnection is not set");
  return connection_;
}

std::shared_ptr<CalculationHelper> CLSMG_TARVOLIN::Cls_Calcoli() {
  if (!cls_calcoli_) {
    if (!helper_factory_) Raise(err::kObjectNotSet, kSource, "no calculation helper available");
    cls_calcoli_ = helper_factory_();
    cls_calcoli_->SetCurrentCompany(RequireCc()->Company());
  }
  return cls_calcoli_;
}

Dictionary& CLSMG_TARVOLIN::Lazy(std::shared_ptr<Dictionary>& slot) {
  if (!slot) slot = std::make_shared<Dictionary>();
  return *slot;
}
Dictionary& CLSMG_TARVOLIN::DictTaxDetailFound() { return Lazy(dict_tax_detail_found_); }
Dictionary& CLSMG_TARVOLIN::DictTaxMaxAmountQty() { return Lazy(dict_tax_max_amount_qty_); }
Dictionary& CLSMG_TARVOLIN::DictTaxBelowMax() { return Lazy(dict_tax_below_max_); }
Dictionary& CLSMG_TARVOLIN::DictTaxAboveMax() { return Lazy(dict_tax_above_max_); }
Dictionary& CLSMG_TARVOLIN::DictTaxOnTax() { return Lazy(dict_tax_on_tax_); }
bool CLSMG_TARVOLIN::HasTaxDetailCaches() const {
  return dict_tax_detail_found_ || dict_tax_max_amount_qty_ || dict_tax_below_max_ ||
         dict_tax_above_max_ || dict_tax_on_tax_;
}

void CLSMG_TARVOLIN::Terminate() {
  // Every step runs whatever the previous one did.
  Swallowing([&] { cc_.reset(); });
  Swallowing([&] { connection_.reset(); });
  Swallowing([&] { session_.reset(); });
  Swallowing([&] {
    if (cls_calcoli_) {
      Swallowing([&] { cls_calcoli_->SetCurrentCompany(nullptr); });
      cls_calcoli_.reset();
    }
  });
  Swallowing([&] { rst_tax_area_lines_.reset(); });
  Swallowing([&] { ledger_cursors_.reset(); });
  Swallowing([&] { dict_tax_detail_found_.reset(); });
  Swallowing([&] { dict_tax_max_amount_qty_.reset(); });
  Swallowing([&] { dict_tax_below_max_.reset(); });
  Swallowing([&] { dict_tax_above_max_.reset(); });
  Swallowing([&] { dict_tax_on_tax_.reset(); });
}

// ---- Rounding, conversion and percentages ----

namespace {

// floor(Decimal(magnitude) * 10^digits + 0.5), the core of RoundN, in 64-bit
// integers when that is provably the same: the Decimal steps are exact there
// and the nearest Double of the sum cannot cross an integer. nullopt when the
// Decimal steps are needed.
std::optional<double> ScaledHalfUpFloor(const Decimal& magnitude, int32_t digits) {
  static constexpr uint64_t kPowers[] = {1,
                                         10,
                                         100,
                                         1000,
                                         10000,
                                         100000,
                                         1000000,
                                         10000000,
                                         100000000,
                                         1000000000,
                                         10000000000,
                                         100000000000,
                                         1000000000000,
                                         10000000000000,
                                         100000000000000,
                                         1000000000000000};
  constexpr uint64_t kExact = uint64_t{1} << 52;  // below it, a whole number plus a half is exact
  if (digits < 0 || digits > 15 || magnitude.hi() != 0) return std::nullopt;
  const uint64_t mantissa = (uint64_t{magnitude.mid()} << 32) | magnitude.lo();
  const int scale = magnitude.scale();
  if (scale <= digits) {
    const uint64_t power = kPowers[digits - scale];
    if (mantissa >= kExact / power) return std::nullopt;
    return static_cast<double>(mantissa * power);
  }
  if (scale - digits > 15) return std::nullopt;
  const uint64_t divisor = kPowers[scale - digits];
  if (mantissa >= kExact || mantissa + divisor >= kExact) return std::nullopt;
  const uint64_t rounded = (mantissa + divisor / 2) / divisor;  // whole numbers on purpose
  return static_cast<double>(rounded);
}

// `scaled` (a magnitude times a power of ten) rounded half up, when the
// double alone decides it. The decimal path below rounds the magnitude to 15
// significant digits first: scaled up by an exact power of ten and below 1e9,
// that value is within 1e-6 of `scaled`, so unless `scaled` lies within 1e-5
// of a half both round alike. A whole value (0 most of all) is its own
// rounding below 1e13, where the two are within 0.05.
std::optional<double> RoundedWithoutDecimal(double scaled, bool exact_power) {
  if (!(scaled < 1e13)) return std::nullopt;
  const double whole = std::floor(scaled);
  if (scaled == whole) return whole;
  if (!exact_power || scaled >= 1e9) return std::nullopt;
  const double above = scaled - whole;
  if (std::fabs(above - 0.5) <= 1e-5) return std::nullopt;
  return above > 0.5 ? whole + 1 : whole;
}

}  // namespace

double CLSMG_TARVOLIN::RoundN(double Number, int32_t NumDigitsAfterDecimal) {
  static constexpr double kFactors[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = Number < 0;
  const double magnitude = negative ? -Number : Number;
  const bool usual = NumDigitsAfterDecimal >= 0 && NumDigitsAfterDecimal <= 15;
  const double factor =
      usual ? kFactors[NumDigitsAfterDecimal] : std::pow(10.0, NumDigitsAfterDecimal);
  if (const auto rounded = RoundedWithoutDecimal(std::fabs(Number) * factor, usual)) {
    return (negative ? -*rounded : *rounded) / factor;
  }
  const Decimal decimal_magnitude = Decimal::FromDouble(magnitude);
  double result;
  if (const auto fast = ScaledHalfUpFloor(decimal_magnitude, NumDigitsAfterDecimal)) {
    result = *fast;
  } else {
    static const Decimal kHalf = Decimal::Parse("0.5");
    // Scaling in Decimal keeps a value that is exactly on a half from moving.
    const Decimal scaled = decimal_magnitude * Decimal::FromDouble(factor) + kHalf;
    result = std::floor(scaled.ToDouble());
  }
  if (negative) result = -result;
  result /= factor;
  if (!std::isfinite(result)) Raise(err::kOverflow, kSource);
  return result;
}

Variant CLSMG_TARVOLIN::InValutaAzienda(const Variant& ImportoBase, const Variant& Cambio) {
  if (Cambio == Variant(int16_t{0})) return Variant(int16_t{0});
  return Variant(Self().RoundN((ImportoBase / Cambio).CDbl(), 2));
}

Variant CLSMG_TARVOLIN::CalcolaIncidenza(const Variant& ImportoBase, const Variant& ImportoTotale,
                                         int16_t CifreDiPrecisione) {
  Variant zero(int16_t{0});
  if (ImportoBase == zero || ImportoTotale == zero) return zero;
  const Variant ratio = (ImportoBase / ImportoTotale) * Variant(int16_t{100});
  return Variant(Self().RoundN(ratio.CDbl(), CifreDiPrecisione));
}

Variant CLSMG_TARVOLIN::Arrotondamento(const Variant& ImportoBase, int32_t TipoCampo,
                                       const Variant& CodiceValuta) {
  return WithLabel("Arrotondamento:", [&] {
    int32_t decimals = 0;
    switch (TipoCampo) {
      case kFirstDecimals:
        decimals = NzDec(RequireCc()->Company()->first_decimals).CInt();
        break;
      case kPriceDecimals:
        Self().FindValuta(CodiceValuta);
        decimals = RequireCc()->Currency().price_decimals;
        break;
      case kAmountDecimals:
        Self().FindValuta(CodiceValuta);
        decimals = RequireCc()->Currency().amount_decimals;
        break;
      case kSecondDecimals:
        decimals = NzDec(RequireCc()->Company()->second_decimals).CInt();
        break;
      default:
        break;
    }
    return Variant(Self().RoundN(ImportoBase.CDbl(), decimals));
  });
}

// ---- Currency cache ----

bool CLSMG_TARVOLIN::FindValuta(const Variant& CodiceValuta) {
  return WithLabel("FindValuta:", [&] {
    auto document = RequireCc();
    CurrencyCache& cache = document->Currency();
    // The cached currency is asked for on every row: answered without a text.
    if (NzStrEquals(CodiceValuta, cache.code)) return true;
    const std::string code = NzStr(CodiceValuta);
    if (!cache.recordset) GetRecordsetValute();
    const std::string criteria = "CG08_CODICE = '" + SqlQuoted(code) + "'";
    const auto take = [&]() {
      if (cache.recordset->Eof()) return false;
      cache.amount_decimals = NzDec(cache.recordset->Get("CG08_NUMDEC")).CInt();
      cache.price_decimals = NzDec(cache.recordset->Get("MG49_NUMDEC")).CInt();
      cache.code = code;
      return true;
    };
    cache.recordset->SetFilter(criteria);
    if (take()) return true;
    GetRecordsetValute();  // the cache may be stale
    cache.recordset->SetFilter(criteria);
    if (take()) return true;
    cache.amount_decimals = 2;
    cache.price_decimals = 2;
    cache.code.clear();
    return false;
  });
}

void CLSMG_TARVOLIN::GetRecordsetValute() {
  WithLabel("GetRecordsetValute:", [&] {
    auto document = RequireCc();
    CurrencyCache& cache = document->Currency();
    if (cache.recordset) {
      if (cache.recordset->State() == ObjectState::kOpen) cache.recordset->Close();
      cache.recordset.reset();
    }
    const int32_t company = document->CompanyNumber();
    cache.recordset = RequireConnection()->Execute(statements::CurrencyList(company), nullptr,
                                                   execute_option::kCommandText);
  });
}

// ---- Messages and copies ----

std::string CLSMG_TARVOLIN::GetTestoMessaggio(const std::string& Testo, int32_t Numero,
                                              const Variant& Parametri) {
  std::string result;
  Swallowing([&] {
    if (cc_) {
      result = cc_->Services().MessageText(Testo, Numero, Parametri);
    } else if (session_ && Numero >= 1) {
      result =
          session_->CatalogueText(Numero, Parametri.IsArray() ? Parametri.array() : VariantArray{});
    } else {
      result = Testo;
    }
  });
  return result;
}

std::shared_ptr<Recordset> CLSMG_TARVOLIN::CopiaRecordset(std::shared_ptr<Recordset>& Origine) {
  std::shared_ptr<Recordset> copy;
  Swallowing([&] {
    if (!Origine) Raise(err::kObjectNotSet, kSource);
    copy = Origine->Copy();
  });
  return copy;
}

}  // namespace tarvolin
