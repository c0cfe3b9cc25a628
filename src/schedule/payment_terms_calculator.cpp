// Our payment-terms calculator: reads the terms a payment code names
// (TV01_PAGAMENTI) and their installments (TV02_PAGAMENTIRATE), and splits the
// document amount over them in company currency and, for a document in another
// currency, in document currency. The rules are in docs/payment-terms.md.
//
// Each currency side is split from its own figures and rounded on its own, and
// the last installment always takes what the others leave, so both sides add
// up exactly; neither side is ever derived from the other installment by
// installment.
#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/engine/core_document.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/schedule/payment_terms.h"

namespace tarvolin {
namespace {

namespace result = payment_terms_result;

// A calculation that cannot go on. Kept apart from Error so that a platform
// error number (11 division by zero, 9 subscript...) can never pass for one of
// our result codes, which reuse the same small numbers.
struct Failure {
  int32_t code;
  std::string description;
};

[[noreturn]] void Fail(int32_t code, std::string description) {
  throw Failure{code, std::move(description)};
}

// The value as a Decimal; nullopt when it is not a number (Null and Empty are 0).
std::optional<Decimal> NumberOf(const Variant& value) {
  try {
    return NzDecimal(value);
  } catch (const Error&) {
    return std::nullopt;
  }
}

struct TermsInstallment {
  Decimal percentage;
  int32_t days = 0;
  bool end_of_month = false;
  Variant effect_type;
  Variant effect_subtype;
};

struct Terms {
  bool tax_on_first = false;  // TV01_INDIVA = 1
  Decimal stamps;             // per installment, company currency
  Decimal collection_expenses;
  Decimal fixed_amount;  // company currency
  int fixed_mode = 0;    // 0 none, 1 first installment, 2 last
  std::vector<TermsInstallment> installments;
};

Terms ReadTerms(Connection& connection, const std::string& code) {
  if (code.empty()) Fail(result::kNoInstallments, "the document has no payment code");
  const std::string key = "'" + SqlQuoted(code) + "'";
  const std::string terms_sql =
      "SELECT TV01_INDIVA, TV01_SPBOLLI, TV01_SPINCASSO, TV01_IMPFISSO, TV01_INDIMPFISSO "
      "FROM TV01_PAGAMENTI WHERE TV01_CODICE = " +
      key;
  auto head = connection.Execute(terms_sql, nullptr, execute_option::kCommandText);
  if (head->State() != ObjectState::kOpen || head->Eof()) {
    Fail(result::kNoInstallments, "payment terms '" + code + "' not found");
  }
  Terms terms;
  terms.tax_on_first = NzDecimal(head->Get("TV01_INDIVA")) == Decimal(1);
  terms.stamps = NzDecimal(head->Get("TV01_SPBOLLI"));
  terms.collection_expenses = NzDecimal(head->Get("TV01_SPINCASSO"));
  terms.fixed_amount = NzDecimal(head->Get("TV01_IMPFISSO"));
  const Decimal mode = NzDecimal(head->Get("TV01_INDIMPFISSO"));
  terms.fixed_mode = mode == Decimal(1) ? 1 : mode == Decimal(2) ? 2 : 0;

  const std::string rows_sql =
      "SELECT TV02_PERC, TV02_GIORNI, TV02_FLGFINEMESE, TV02_TIPOEFF, TV02_STIPOEFF "
      "FROM TV02_PAGAMENTIRATE WHERE TV02_CODICE_TV01 = " +
      key + " ORDER BY TV02_NUMRATA";
  auto rows = connection.Execute(rows_sql, nullptr, execute_option::kCommandText);
  for (; rows->State() == ObjectState::kOpen && !rows->Eof(); rows->MoveNext()) {
    TermsInstallment row;
    row.percentage = NzDecimal(rows->Get("TV02_PERC"));
    row.days = NzDecimal(rows->Get("TV02_GIORNI")).ToInt32();
    row.end_of_month = NzDecimal(rows->Get("TV02_FLGFINEMESE")) == Decimal(1);
    row.effect_type = Variant(NzDecimal(rows->Get("TV02_TIPOEFF")).ToInt16());
    const std::string subtype = NzStr(rows->Get("TV02_STIPOEFF"));
    row.effect_subtype = subtype.empty() ? Variant::Null() : Variant(subtype);
    terms.installments.push_back(std::move(row));
  }
  if (terms.installments.empty()) {
    Fail(result::kNoInstallments, "payment terms '" + code + "' have no installments");
  }
  return terms;
}

// "customer 1001", "supplier 2001": the party as a user knows it.
std::string PartyName(const std::optional<Decimal>& type, const Variant& code) {
  std::string kind = "party";
  if (type && *type == Decimal(0)) kind = "customer";
  if (type && *type == Decimal(1)) kind = "supplier";
  return kind + " " + NzStr(code);
}

// A party code of 0 is a document on an account: there is nobody to look up.
void CheckParty(Connection& connection, const CurrentCompany& company,
                const PaymentTermsInputs& inputs) {
  const auto code = NumberOf(inputs.party_code);
  const auto type = NumberOf(inputs.party_type);
  if (code && code->is_zero()) return;
  const std::string name = PartyName(type, inputs.party_code);
  if (!code || !type) Fail(result::kNoParty, name + " is not a number");
  const std::string company_number = std::to_string(company.company_number);
  const std::string sql =
      "SELECT TV09_CODICE FROM TV09_CLIFOR WHERE TV09_DITTA_CG18 = " + company_number +
      " AND TV09_TIPOCF = " + type->ToCStr() + " AND TV09_CODICE = " + code->ToCStr();
  auto found = connection.Execute(sql, nullptr, execute_option::kCommandText);
  if (found->State() != ObjectState::kOpen || found->Eof()) {
    Fail(result::kNoParty, name + " not found in company " + company_number);
  }
}

// The day the installments' terms run from, without its time of day.
Date StartDate(const PaymentTermsInputs& inputs) {
  const auto parse = [](const std::string& text, const char* what) {
    const auto date = Date::Parse(text);
    if (!date) {
      Fail(result::kNoReferenceDate, std::string(what) + " \"" + text + "\" is not a date");
    }
    return date->DateOnly();
  };
  if (!NzStr(Variant(inputs.payment_start_date)).empty()) {
    return parse(inputs.payment_start_date, "payment start date");
  }
  if (inputs.first_reference_date.type() == VarType::kDate) {
    return inputs.first_reference_date.CDate().DateOnly();
  }
  return parse(inputs.document_date, "document date");
}

Date DueDate(const Date& start, const TermsInstallment& row, size_t number) {
  Date due{start.serial + row.days};
  int year = 0, month = 0, day = 0;
  due.ToYmd(year, month, day);
  if (year < 1900 || year > 9999) {
    Fail(result::kDueDateError, "installment " + std::to_string(number) + " falls due in year " +
                                    std::to_string(year) + ", outside 1900..9999");
  }
  if (row.end_of_month) {
    const Date next_month =
        month == 12 ? Date::FromYmd(year + 1, 1, 1) : Date::FromYmd(year, month + 1, 1);
    due = Date{next_month.serial - 1};
  }
  return due;
}

int DecimalsOf(const CurrentCompany& company, const std::string& currency) {
  const auto decimals = company.AmountDecimals(currency);
  if (!decimals || *decimals < 0 || *decimals > Decimal::kMaxScale) {
    Fail(result::kRoundingError,
         "currency '" + currency + "' has no amount decimals in the company's currency list");
  }
  return *decimals;
}

Decimal Rounded(const Decimal& value, int decimals) {
  return value.RoundHalfAwayFromZero(decimals);
}

// Conversions at the document's rate (document units per company unit). A
// result beyond the range of a Decimal is the conversion's own result code.
Decimal ToDocument(const Decimal& company_amount, const Decimal& rate, int decimals,
                   const char* what) {
  try {
    return Rounded(company_amount * rate, decimals);
  } catch (const Error& error) {
    Fail(result::kToDocumentCurrencyError, std::string(what) + " " + company_amount.ToCStr() +
                                               " does not convert at " + rate.ToCStr() + ": " +
                                               error.description());
  }
}

Decimal ToCompany(const Decimal& document_amount, const Decimal& rate, int decimals,
                  const char* what) {
  try {
    return Rounded(document_amount / rate, decimals);
  } catch (const Error& error) {
    Fail(result::kToCompanyCurrencyError, std::string(what) + " " + document_amount.ToCStr() +
                                              " does not convert at " + rate.ToCStr() + ": " +
                                              error.description());
  }
}

// One currency side of the document.
struct Side {
  const char* name = "";
  int decimals = 0;
  Decimal amount;  // the whole document amount, tax included
  Decimal tax;
  Decimal fixed;  // the fixed installment with the sign of the amount
  Decimal stamps;
  Decimal collection_expenses;
};

Decimal SideSum(const PaymentTermsInputs& inputs, Variant AmountPair::*side) {
  return NzDecimal(inputs.first_amounts.*side) + NzDecimal(inputs.taxable.*side) +
         NzDecimal(inputs.tax.*side) + NzDecimal(inputs.further_amounts_1.*side) +
         NzDecimal(inputs.further_amounts_2.*side);
}

// A credit note mirrors an invoice, so the fixed amount takes the amount's sign
// and is compared by size.
void SetFixed(Side& side, const Decimal& fixed) {
  const Decimal size = fixed.Abs();
  if (size > side.amount.Abs()) {
    Fail(result::kFixedAmountAboveTotal, "fixed amount " + size.ToString() +
                                             " is above the document amount " +
                                             side.amount.ToString() + " in " + side.name);
  }
  side.fixed = side.amount.is_negative() ? -size : size;
}

// total in proportion to weights (total x weight / base, rounded half away from
// zero); the last share is exactly what the others leave, whatever the weights
// add up to. A base of 0 leaves everything to the last.
std::vector<Decimal> Split(const Decimal& total, const std::vector<Decimal>& weights,
                           const Decimal& base, int decimals) {
  std::vector<Decimal> shares(weights.size());
  Decimal rest = total;
  for (size_t i = 0; i + 1 < weights.size(); ++i) {
    if (!base.is_zero()) shares[i] = Rounded(total * weights[i] / base, decimals);
    rest -= shares[i];
  }
  if (!shares.empty()) shares.back() = rest;
  return shares;
}

struct SideSplit {
  std::vector<Decimal> amounts;  // tax included
  std::vector<Decimal> taxes;
};

SideSplit SplitSide(const Side& side, const std::vector<Decimal>& percentages, bool tax_on_first,
                    int fixed_mode) {
  const size_t count = percentages.size();
  SideSplit split;
  if (fixed_mode != 0) {
    // The others share the rest by their percentages relative to one another.
    const size_t fixed_at = fixed_mode == 1 ? 0 : count - 1;
    std::vector<Decimal> others = percentages;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(fixed_at));
    Decimal base;
    for (const Decimal& percentage : others) base += percentage;
    split.amounts = Split(side.amount - side.fixed, others, base, side.decimals);
    split.amounts.insert(split.amounts.begin() + static_cast<std::ptrdiff_t>(fixed_at), side.fixed);
    split.taxes = Split(side.tax, split.amounts, side.amount, side.decimals);
    return split;
  }
  const Decimal hundred(100);
  split.amounts = Split(side.amount - side.tax, percentages, hundred, side.decimals);
  if (tax_on_first) {
    split.taxes.assign(count, Decimal());
    split.taxes.front() = side.tax;
  } else {
    split.taxes = Split(side.tax, percentages, hundred, side.decimals);
  }
  for (size_t i = 0; i < count; ++i) split.amounts[i] += split.taxes[i];
  return split;
}

// Amounts come out at least at their currency's decimals (500 reads 500.00).
Variant AtScale(const Decimal& value, int decimals) {
  return Variant(value.scale() < decimals ? value.WithScale(decimals) : value);
}

class DatabasePaymentTermsCalculator final : public PaymentTermsCalculator {
 public:
  void Calculate(int32_t& /*mode*/) override {
    try {
      Run();
      result_code = result::kDone;
      result_description.clear();
    } catch (const Failure& failure) {
      Failed(failure.code, failure.description);
    } catch (const std::exception& error) {
      Failed(result::kRuntimeError, error.what());
    } catch (...) {
      Failed(result::kRuntimeError, "unknown failure");
    }
  }

 private:
  void Failed(int32_t code, std::string description) {
    result_code = code;
    result_description = std::move(description);
    payment_code.clear();
    installments.clear();
    total_stamps = {Variant(Decimal()), Variant(Decimal())};
    total_collection_expenses = {Variant(Decimal()), Variant(Decimal())};
  }

  void Run() {
    if (!connection) Fail(result::kNoConnection, "no database connection");
    if (!company) Fail(result::kNoCurrentCompany, "no current company");
    const Terms terms = ReadTerms(*connection, NzStr(Variant(inputs.payment_code)));
    CheckParty(*connection, *company, inputs);

    const Date start = StartDate(inputs);
    const size_t count = inputs.no_staggering ? 1 : terms.installments.size();
    std::vector<Date> due_dates;
    for (size_t i = 0; i < count; ++i) {
      due_dates.push_back(DueDate(start, terms.installments[i], i + 1));
    }
    Sides sides = CurrencySides();
    const int fixed_mode =
        count > 1 ? SetFixedAmounts(terms, sides.foreign, sides.rate, sides.home, sides.away) : 0;
    ChargeExpenses(terms, sides);
    MakeInstallments(terms, sides, fixed_mode, start, due_dates);
  }

  // The company-currency side and, for a document in another currency, the
  // document side with the exchange rate between them.
  struct Sides {
    Side home, away;
    bool foreign = false;
    Decimal rate;
  };

  Sides CurrencySides() const {
    const std::string company_currency = NzStr(Variant(company->currency_code));
    const std::string currency = NzStr(Variant(inputs.currency));
    Sides sides;
    sides.foreign = !EqualsNoCase(currency, company_currency);
    Side& home = sides.home;
    Side& away = sides.away;
    home.name = "company currency";
    home.decimals = DecimalsOf(*company, company_currency);
    away.name = "document currency";
    if (sides.foreign) {
      away.decimals = DecimalsOf(*company, currency);
      const auto given = NumberOf(inputs.exchange_rate);
      if (!given || *given <= Decimal()) {
        Fail(result::kToDocumentCurrencyError, "exchange rate " + NzStr(inputs.exchange_rate) +
                                                   " of " + currency + " is not above 0");
      }
      sides.rate = *given;
    }
    home.amount = SideSum(inputs, &AmountPair::company);
    home.tax = NzDecimal(inputs.tax.company);
    away.amount = SideSum(inputs, &AmountPair::document);
    away.tax = NzDecimal(inputs.tax.document);
    return sides;
  }

  // Stamps and collection expenses of each installment, when charged.
  void ChargeExpenses(const Terms& terms, Sides& sides) const {
    Side& home = sides.home;
    Side& away = sides.away;
    if (StampsCharged()) home.stamps = Rounded(terms.stamps, home.decimals);
    if (CollectionCharged()) {
      home.collection_expenses = Rounded(terms.collection_expenses, home.decimals);
    }
    if (sides.foreign) {
      away.stamps = ToDocument(home.stamps, sides.rate, away.decimals, "stamps");
      away.collection_expenses =
          ToDocument(home.collection_expenses, sides.rate, away.decimals, "collection expenses");
    }
  }

  // Splits both sides by the terms' percentages into the installments, and
  // the result's totals.
  void MakeInstallments(const Terms& terms, const Sides& sides, int fixed_mode, const Date& start,
                        const std::vector<Date>& due_dates) {
    const Side& home = sides.home;
    const Side& away = sides.away;
    const bool foreign = sides.foreign;
    const size_t count = due_dates.size();
    std::vector<Decimal> percentages{Decimal(100)};
    if (!inputs.no_staggering) {
      percentages.clear();
      for (const TermsInstallment& row : terms.installments) percentages.push_back(row.percentage);
    }
    const SideSplit home_split = SplitSide(home, percentages, terms.tax_on_first, fixed_mode);
    SideSplit away_split;
    if (foreign) away_split = SplitSide(away, percentages, terms.tax_on_first, fixed_mode);

    // A company-currency document has no document side at all.
    const auto pair = [&](const Decimal& home_value, const Decimal& away_value) {
      return AmountPair{AtScale(home_value, home.decimals),
                        foreign ? AtScale(away_value, away.decimals) : Variant()};
    };
    std::vector<PaymentInstallment> made;
    for (size_t i = 0; i < count; ++i) {
      const TermsInstallment& row = terms.installments[i];
      PaymentInstallment installment;
      installment.effect_type = row.effect_type;
      installment.effect_subtype = row.effect_subtype;
      installment.due_date = Variant(due_dates[i]);
      installment.amount = pair(home_split.amounts[i], foreign ? away_split.amounts[i] : Decimal());
      installment.tax = pair(home_split.taxes[i], foreign ? away_split.taxes[i] : Decimal());
      installment.withholding = pair(Decimal(), Decimal());
      installment.stamps = pair(home.stamps, away.stamps);
      installment.collection_expenses = pair(home.collection_expenses, away.collection_expenses);
      installment.interest_start_date = Variant(start);
      made.push_back(std::move(installment));
    }
    const Decimal n(static_cast<int32_t>(count));
    installments = std::move(made);
    total_stamps = pair(home.stamps * n, away.stamps * n);
    total_collection_expenses = pair(home.collection_expenses * n, away.collection_expenses * n);
    payment_code = inputs.payment_code;
  }

  // Puts the fixed amount on both sides; returns the mode in effect (0: none).
  int SetFixedAmounts(const Terms& terms, bool foreign, const Decimal& rate, Side& home,
                      Side& away) const {
    const int mode = FixedMode(terms);
    if (mode == 0) return 0;
    Decimal home_fixed, away_fixed;
    const Decimal given =
        NzDecimal(foreign ? inputs.fixed_amount.document : inputs.fixed_amount.company);
    if (!given.is_zero() && foreign) {
      away_fixed = Rounded(given, away.decimals);
      home_fixed = ToCompany(given, rate, home.decimals, "fixed amount");
    } else if (!given.is_zero()) {
      home_fixed = Rounded(given, home.decimals);
    } else {
      home_fixed = Rounded(terms.fixed_amount, home.decimals);
      if (foreign) away_fixed = ToDocument(terms.fixed_amount, rate, away.decimals, "fixed amount");
    }
    // A fixed amount of 0 is none: the percentages alone decide.
    if ((foreign ? away_fixed : home_fixed).is_zero()) return 0;
    SetFixed(home, home_fixed);
    if (foreign) SetFixed(away, away_fixed);
    return mode;
  }

  // The document's mode when it gives one (1 or 2), else the terms' own: a
  // document that sets none reaches the calculator as 0.
  int FixedMode(const Terms& terms) const {
    const Variant& mode = inputs.fixed_amount_mode;
    if (!mode.IsEmpty() && !mode.IsNull()) {
      const auto value = NumberOf(mode);
      if (value && (*value == Decimal(1) || *value == Decimal(2))) {
        return value->ToInt32();
      }
    }
    return terms.fixed_mode;
  }

  bool StampsCharged() const { return NzStr(Variant(inputs.stamps_flag)) == "1"; }
  bool CollectionCharged() const { return NzStr(Variant(inputs.collection_flag)) == "1"; }
};

}  // namespace

std::shared_ptr<PaymentTermsCalculator> MakePaymentTermsCalculator() {
  return std::make_shared<DatabasePaymentTermsCalculator>();
}

}  // namespace tarvolin
