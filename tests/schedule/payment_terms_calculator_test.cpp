// The payment-terms calculator on the demo company's terms. Every figure is
// worked out by hand beside its check; amounts round half away from zero.
#include <gtest/gtest.h>

#include <functional>

#include "support/documents.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/schedule/payment_terms.h"

namespace tarvolin {
namespace {

namespace result = payment_terms_result;
using Rows = std::vector<std::string>;

std::string Text(const Variant& value) {
  if (value.type() == VarType::kDecimal) return value.dec().ToString();  // keeps the scale
  return value.IsEmpty() ? "-" : value.IsNull() ? "null" : value.CStr();
}
std::string Text(const AmountPair& pair) { return Text(pair.company) + "|" + Text(pair.document); }
Variant Dec(const char* text) { return text ? Variant(Decimal::Parse(text)) : Variant(); }

class PaymentTerms : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { demo_ = std::make_unique<testing_support::DemoDatabase>(); }
  static void TearDownTestSuite() { demo_.reset(); }

  PaymentTerms()
      : connection_(std::make_shared<CountingConnection>(
            std::shared_ptr<Connection>(&demo_->connection(), [](Connection*) {}))),
        calc_(MakePaymentTermsCalculator()) {}

  // Customer 1001's USD document of 2026-03-16; with CAD figures, supplier 2001's at 1.3585.
  void Doc(const char* code, const char* taxable, const char* tax,
           const char* cad_taxable = nullptr, const char* cad_tax = nullptr) {
    const bool cad = cad_taxable != nullptr;
    calc_->connection = connection_;
    calc_->company = testing_support::Company1();  // USD; decimals of USD, CAD and JPY only
    calc_->inputs = {};
    in().party_type = Variant(static_cast<int16_t>(cad ? 1 : 0));
    in().party_code = Variant(int32_t{cad ? 2001 : 1001});
    in().payment_code = code;
    in().currency = cad ? "CAD" : "USD";
    in().exchange_rate = Dec(cad ? "1.3585" : "0");
    in().document_date = "2026-03-16";
    in().taxable = {Dec(taxable), Dec(cad_taxable)};
    in().tax = {Dec(tax), Dec(cad_tax)};
  }
  PaymentTermsInputs& in() { return calc_->inputs; }
  int32_t Run() {
    int32_t mode = 2;
    calc_->Calculate(mode);
    return calc_->result_code;
  }
  // "due amount tax" per installment, each amount as company|document.
  Rows Schedule() const {
    Rows rows;
    for (const PaymentInstallment& i : calc_->installments) {
      rows.push_back(Text(i.due_date) + " " + Text(i.amount) + " " + Text(i.tax));
    }
    return rows;
  }
  const PaymentInstallment& First() const { return calc_->installments.at(0); }

  // A good NET30 document, calculated, then broken: the code, a description that
  // names the cause, and none of the good run's outputs left.
  ::testing::AssertionResult Fails(const std::function<void()>& breakage, int32_t code,
                                   const std::string& named) {
    Doc("NET30", "100.00", "8.00");
    in().collection_flag = "1";
    connection_->SetBeforeEach(nullptr);
    if (Run() != result::kDone) return ::testing::AssertionFailure() << "the good run failed";
    connection_->Reset();
    breakage();
    Run();
    const auto& c = *calc_;
    if (c.result_code == code && c.result_description.find(named) != std::string::npos &&
        c.installments.empty() && c.payment_code.empty() &&
        Text(c.total_collection_expenses) == "0|0") {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "gave " << c.result_code << " \"" << c.result_description << "\" with "
           << c.installments.size() << " installments";
  }

  static std::unique_ptr<testing_support::DemoDatabase> demo_;
  std::shared_ptr<CountingConnection> connection_;
  std::shared_ptr<PaymentTermsCalculator> calc_;
};
std::unique_ptr<testing_support::DemoDatabase> PaymentTerms::demo_;

TEST_F(PaymentTerms, PercentagesShortOf100LeaveTheRestToTheLast) {
  // SPLIT5030 is 50% + 30% with the tax spread. 100.25 x 50% = 50.125 -> 50.13 (half to
  // even would give 50.12) and 8.05 x 50% = 4.025 -> 4.03: 54.16. The last takes the
  // rest, 50.12 + 4.02 = 54.14, not 30%. A 1.00 stamp on each, 2.00 in all.
  Doc("SPLIT5030", "100.25", "8.05");
  in().stamps_flag = "1";
  ASSERT_EQ(Run(), result::kDone) << calc_->result_description;
  EXPECT_EQ(Schedule(), Rows({"2026-03-16 54.16|- 4.03|-", "2026-04-15 54.14|- 4.02|-"}));
  EXPECT_EQ(Text(calc_->total_stamps) + Text(calc_->installments.at(1).effect_type), "2.00|-9");
}

TEST_F(PaymentTerms, FixedAmountOnTheFirstOrTheLastInstallment) {
  // DEP30: 500 first, the rest of 1500.00 + 120.00 = 1620.00 at 30 days. The tax follows
  // the amounts: 120 x 500 / 1620 = 37.037 -> 37.04, the rest 82.96.
  Doc("DEP30", "1500.00", "120.00");
  ASSERT_EQ(Run(), result::kDone) << calc_->result_description;
  EXPECT_EQ(Schedule(), Rows({"2026-03-16 500.00|- 37.04|-", "2026-04-15 1120.00|- 82.96|-"}));
  // The document's 300 on the last: the first (0%, the only other) takes the rest,
  // 1320.00, with 120 x 1320 / 1620 = 97.78 of tax; the last 22.22.
  in().fixed_amount.company = Variant(int32_t{300});
  in().fixed_amount_mode = Variant(int16_t{2});
  ASSERT_EQ(Run(), result::kDone);
  EXPECT_EQ(Schedule(), Rows({"2026-03-16 1320.00|- 97.78|-", "2026-04-15 300.00|- 22.22|-"}));
  // Mode 0 (a document that sets none): the terms' mode, first, with the document's 300.
  in().fixed_amount_mode = Variant(int16_t{0});
  ASSERT_EQ(Run(), result::kDone);
  EXPECT_EQ(Schedule(), Rows({"2026-03-16 300.00|- 22.22|-", "2026-04-15 1320.00|- 97.78|-"}));
  // A credit note mirrors the invoice.
  Doc("DEP30", "-1500.00", "-120.00");
  ASSERT_EQ(Run(), result::kDone);
  EXPECT_EQ(Schedule(), Rows({"2026-03-16 -500.00|- -37.04|-", "2026-04-15 -1120.00|- -82.96|-"}));
}

TEST_F(PaymentTerms, FailuresGiveTheirCodeNameTheCauseAndClearTheOutputs) {
  EXPECT_TRUE(Fails([&] { calc_->connection = nullptr; }, result::kNoConnection, "connection"));
  EXPECT_TRUE(Fails([&] { calc_->company = nullptr; }, result::kNoCurrentCompany, "company"));
  EXPECT_TRUE(Fails([&] { in().payment_code = "NOPE"; }, result::kNoInstallments, "'NOPE'"));
  // Quoted: a quote in a code is just not found (a broken statement would give 99).
  EXPECT_TRUE(Fails([&] { in().payment_code = "O'NEIL"; }, result::kNoInstallments, "O'NEIL"));
  EXPECT_TRUE(
      Fails([&] { in().payment_code = "NOINST"; }, result::kNoInstallments, "no installments"));
  EXPECT_TRUE(
      Fails([&] { in().party_code = Variant(int32_t{9999}); }, result::kNoParty, "customer 9999"));
  // 2001 is a supplier, not a customer.
  EXPECT_TRUE(
      Fails([&] { in().party_code = Variant(int32_t{2001}); }, result::kNoParty, "customer 2001"));
  EXPECT_TRUE(Fails([&] { in().document_date = "2026-02-30"; }, result::kNoReferenceDate,
                    "document date \"2026-02-30\""));
  EXPECT_TRUE(Fails([&] { in().payment_start_date = "soon"; }, result::kNoReferenceDate,
                    "payment start date \"soon\""));
  // 9999-12-15 + 30 days falls in 10000.
  EXPECT_TRUE(Fails([&] { in().document_date = "9999-12-15"; }, result::kDueDateError, "10000"));
  EXPECT_TRUE(Fails([&] { in().currency = "EUR"; }, result::kRoundingError, "'EUR'"));
  EXPECT_TRUE(Fails([&] { in().currency = "CAD"; }, result::kToDocumentCurrencyError, "CAD"));
  // DEP30's 500 is more than 100.00 + 8.00.
  EXPECT_TRUE(Fails([&] { in().payment_code = "DEP30"; }, result::kFixedAmountAboveTotal,
                    "500.00 is above the document amount 108.00"));
  // 1E10 CAD at 1E-22 would be 1E32 USD, beyond any Decimal.
  EXPECT_TRUE(Fails(
      [&] {
        Doc("DEP30", "1", "0", "1", "0");
        in().exchange_rate = Dec("1E-22");
        in().fixed_amount.document = Dec("1E10");
      },
      result::kToCompanyCurrencyError, "fixed amount"));
  EXPECT_TRUE(Fails(
      [&] {
        connection_->SetBeforeEach([](int64_t n, std::string_view sql) {
          if (n == 2) Raise(err::kDatabaseError, "Connection", sql);
        });
      },
      result::kRuntimeError, "TV02_PAGAMENTIRATE"));
}

}  // namespace
}  // namespace tarvolin
