// The engine object: lifecycle, properties and the shared helpers. The
// recalculation and its parts live in the subsystem folders.
#include "tarvolin/engine/engine.h"

#include <array>
#include <cmath>

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

double CLSMG_TARVOLIN::RoundN(double Number, int32_t NumDigitsAfterDecimal) {
  const bool negative = Number < 0;
  const double magnitude = negative ? -Number : Number;
  const double factor = std::pow(10.0, NumDigitsAfterDecimal);
  // The usual digit counts' factors, and the half, made once.
  static const Decimal kHalf = Decimal::Parse("0.5");
  static const std::array<Decimal, 16> kFactors = [] {
    std::array<Decimal, 16> factors;
    for (size_t i = 0; i < factors.size(); ++i) {
      factors[i] = Decimal::FromDouble(std::pow(10.0, static_cast<double>(i)));
    }
    return factors;
  }();
  const Decimal decimal_factor =
      NumDigitsAfterDecimal >= 0 && NumDigitsAfterDecimal < static_cast<int32_t>(kFactors.size())
          ? kFactors[static_cast<size_t>(NumDigitsAfterDecimal)]
          : Decimal::FromDouble(factor);
  // Scaling in Decimal keeps a value that is exactly on a half from moving.
  const Decimal scaled = Decimal::FromDouble(magnitude) * decimal_factor + kHalf;
  double result = std::floor(scaled.ToDouble());
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
  const Variant zero(int16_t{0});
  if (ImportoBase == zero || ImportoTotale == zero) return zero;
  const Variant ratio = (ImportoBase / ImportoTotale) * Variant(int16_t{100});
  return Variant(Self().RoundN(ratio.CDbl(), CifreDiPrecisione));
}

Variant CLSMG_TARVOLIN::Arrotondamento(const Variant& ImportoBase, int32_t TipoCampo,
                                       const Variant& CodiceValuta) {
  return WithLabel("Arrotondamento:", [&] {
    int32_t decimals = 0;
    switch (TipoCampo) {
      case 0:
        decimals = NzDec(RequireCc()->Company()->first_decimals).CInt();
        break;
      case 1:
        Self().FindValuta(CodiceValuta);
        decimals = RequireCc()->Currency().price_decimals;
        break;
      case 2:
        Self().FindValuta(CodiceValuta);
        decimals = RequireCc()->Currency().amount_decimals;
        break;
      case 3:
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
    const std::string code = NzStr(CodiceValuta);
    if (code == NzStr(Variant(cache.code))) return true;
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
