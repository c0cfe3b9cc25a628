// The host's calculation services for a US document: the rate of a row, rate
// amounts and extraction, the expense base, the row recalculation and the
// host's own price change. docs/prices-and-expenses.md states every rule with
// its rounding.
#include <algorithm>

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "HostDocument";
// A price the host cannot place in a currency keeps the places a stored price has.
constexpr int16_t kStoredPriceDecimals = 5;

Decimal Rounded(const Decimal& value, int decimals) {
  return value.RoundHalfAwayFromZero(std::clamp<int>(decimals, 0, Decimal::kMaxScale));
}

bool OnRow(const std::shared_ptr<Recordset>& body) {
  return body && body->State() == ObjectState::kOpen && !body->Bof() && !body->Eof();
}

// A number of the current body row; a value that is not one stops with an
// error naming the row and the field.
Decimal RowNumber(const Recordset& body, std::string_view field) {
  try {
    return NzDecimal(body.Get(field));
  } catch (const Error& error) {
    std::string row = "?";
    Swallowing([&] { row = NzStr(body.Get("DO30_PROGRIGA")); });
    RaiseText(error.number(), kSource,
              "DO30_DOCCORPO row DO30_PROGRIGA " + row + ", field " + std::string(field) + ": " +
                  error.description());
  }
}

bool IsGoodsRow(const Decimal& type) {
  for (int32_t code : {0, 1, 7, 9, 14, 18}) {
    if (type == Decimal(code)) return true;
  }
  return false;
}

// price x 100 / (100 + rate): what remains of a value that includes the rate.
Decimal WithoutRate(const Variant& value, const Variant& rate) {
  const Decimal hundred(100);
  return NzDecimal(value) * hundred / (hundred + NzDecimal(rate));
}

}  // namespace

std::shared_ptr<Recordset> HostDocument::NewExpenseLinks() {
  auto links = Recordset::Create();
  links->AppendField("LP11_NUMREG_CO99", DataType::kVarChar, 20);
  links->AppendField("LP11_PROGRIGA", DataType::kInteger);
  links->AppendField("LP11_INDTIPOSPESA", DataType::kSmallInt);
  links->Open();
  return links;
}

std::string HostDocument::DocumentCurrency() {
  if (auto header = Get(DocumentTable::kHeader); header && !header->Bof() && !header->Eof()) {
    return Upper(NzStr(header->Get("DO11_VALUTA_CG08")));
  }
  return "";
}

int16_t HostDocument::PriceDecimals(std::string_view currency) {
  return currency_.code == currency ? currency_.price_decimals : kStoredPriceDecimals;
}

Variant HostDocument::PrimaryRowRate(const std::shared_ptr<Recordset>& body) {
  if (!OnRow(body)) return Variant(int16_t{0});
  return Variant(RowNumber(*body, "DO30_TOTSTAX"));
}

Variant HostDocument::SecondaryRowRate(const std::shared_ptr<Recordset>& body) {
  const auto rows = Get(DocumentTable::kBody);
  if (!OnRow(body) || !rows) return Variant(int16_t{0});
  const std::string group = NzStr(body->Get("DO30_TAXGROUP_NV04"));
  if (group.empty()) return Variant(int16_t{0});
  auto cursor = rows->Clone();
  for (cursor->MoveFirst(); !cursor->Eof(); cursor->MoveNext()) {
    if (NzStr(cursor->Get("DO30_TAXGROUP_NV04")) != group) continue;
    const Decimal rate = RowNumber(*cursor, "DO30_TOTSTAX");
    if (!rate.is_zero()) return Variant(rate);
  }
  return Variant(int16_t{0});
}

double HostDocument::RateAmount(const Variant& price, const Variant& rate, std::string_view,
                                int16_t price_decimals) {
  return Rounded(NzDecimal(price) * NzDecimal(rate) / Decimal(100), price_decimals).ToDouble();
}

double HostDocument::NetOfIncludedRate(const Variant& price, const Variant& rate,
                                       std::string_view currency) {
  return Rounded(WithoutRate(price, rate), PriceDecimals(currency)).ToDouble();
}

double HostDocument::AmountWithoutRate(const Variant& amount, const Variant& rate,
                                       std::string_view currency) {
  return Rounded(WithoutRate(amount, rate), CurrencyDecimals(currency)).ToDouble();
}

Variant HostDocument::ExpenseBase(std::string_view, bool, const Variant& limit, bool whole_base) {
  // The gross weight of the goods rows: freight goes by what is shipped.
  Decimal weight;
  if (const auto rows = Get(DocumentTable::kBody)) {
    auto cursor = rows->Clone();
    for (cursor->MoveFirst(); !cursor->Eof(); cursor->MoveNext()) {
      if (!IsGoodsRow(RowNumber(*cursor, "DO30_INDTIPORIGA"))) continue;
      weight += Rounded(RowNumber(*cursor, "DO30_PESOL") * RowNumber(*cursor, "DO30_QTA1"), 5);
    }
  }
  if (!whole_base) weight = std::min(weight, NzDecimal(limit));
  return Variant(weight);
}

void HostDocument::RecalculateRow(const std::shared_ptr<Recordset>& body, bool net_too) {
  if (!OnRow(body)) Raise(err::kNoCurrentRecord, kSource, "no current body row to recalculate");
  Recordset& row = *body;
  const Decimal hundred(100);
  const auto amount_of = [&](std::string_view price_field) {
    Decimal amount = RowNumber(row, "DO30_QTA1") * RowNumber(row, price_field);
    for (const char* discount : {"DO30_SCPER1", "DO30_SCPER2", "DO30_SCPER3", "DO30_SCPER4",
                                 "DO30_SCPER5", "DO30_SCPER6"}) {
      amount = amount * (hundred - RowNumber(row, discount)) / hundred;
    }
    amount -= RowNumber(row, "DO30_SCIMP");
    for (const char* markup : {"DO30_MAGPER1", "DO30_MAGPER2"}) {
      amount = amount * (hundred + RowNumber(row, markup)) / hundred;
    }
    return amount + RowNumber(row, "DO30_MAGIMP");
  };
  const auto write_pair = [&](const char* field, const Decimal& amount) {
    const std::string twin = std::string(field) + "_VAL";
    if (NoConversion()) {
      WriteIfChanged(row, field, Variant(Rounded(amount, CurrencyDecimals(CompanyCurrencyCode()))));
      if (!row.Get(twin).IsNull()) row.Set(twin, Variant::Null());
      return;
    }
    const Variant in_document(Rounded(amount, CurrencyDecimals(DocumentCurrency())));
    WriteIfChanged(row, twin, in_document);
    HostCalculationHelper helper;
    helper.SetCurrentCompany(Company());
    WriteIfChanged(
        row, field,
        helper.ToCompanyCurrency(in_document, Get(DocumentTable::kHeader)->Get("DO11_CAMBIO"),
                                 DocumentCurrency()));
  };
  write_pair("DO30_IMPORTO", amount_of("DO30_PREZZO1"));
  write_pair("DO30_IMPORTOIVA", amount_of("DO30_PREZZO1IVA"));
  if (net_too) {
    WriteIfChanged(row, "DO30_IMPNETSCP", NzDec(row.Get("DO30_IMPORTO")));
    if (NoConversion()) {
      if (!row.Get("DO30_IMPNETSCP_VAL").IsNull()) row.Set("DO30_IMPNETSCP_VAL", Variant::Null());
    } else {
      WriteIfChanged(row, "DO30_IMPNETSCP_VAL", NzDec(row.Get("DO30_IMPORTO_VAL")));
    }
  }
}

void HostDocument::ChangePrice(int16_t unit, const std::shared_ptr<Recordset>& body,
                               const Variant& price, bool, bool) {
  static constexpr const char* kFields[3][2] = {{"DO30_PREZZO1", "DO30_PREZZO1IVA"},
                                                {"DO30_PREZZO2", "DO30_PREZZO2IVA"},
                                                {"DO30_PREZZOCF", "DO30_PREZZOCFIVA"}};
  if (unit < 1 || unit > 3) {
    Raise(err::kInvalidProcedureCall, kSource, "unit " + std::to_string(unit) + " has no price");
  }
  if (!OnRow(body)) Raise(err::kNoCurrentRecord, kSource, "no current body row to price");
  const auto& [price_field, twin_field] = kFields[unit - 1];
  const Variant gross = NzDec(price);
  const Variant rate = PrimaryRowRate(body);
  const Variant net =
      NzDecimal(rate).is_zero()
          ? gross
          : Variant(Decimal::FromDouble(NetOfIncludedRate(gross, rate, DocumentCurrency())));
  if (unit == 3 && NzDecimal(net).is_zero()) {
    body->Set(price_field, Variant::Null());
  } else {
    WriteIfChanged(*body, price_field, net);
  }
  WriteIfChanged(*body, twin_field, gross);
  body->Set("DO30_FLGPRSCVAR", Variant(true));
}

Variant HostDocument::GetWithholdingBase(WithholdingBase base) {
  return withholding_bases_.at(static_cast<size_t>(base));
}

void HostDocument::SetWithholdingBase(WithholdingBase base, const Variant& value) {
  withholding_bases_.at(static_cast<size_t>(base)) = value;
}

std::shared_ptr<Recordset> HostDocument::Find(const Variant& registration,
                                              const Variant& progressive) {
  if (!expense_links_) return nullptr;
  auto found = expense_links_->Clone();
  found->SetFilter("LP11_NUMREG_CO99 = '" + SqlQuoted(NzStr(registration)) +
                   "' AND LP11_PROGRIGA = " + NzDec(progressive).CStr());
  return found->Eof() ? nullptr : found;
}

}  // namespace tarvolin
