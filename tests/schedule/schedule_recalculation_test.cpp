// The payment schedule: installment rows, the rebuild through the payment-terms
// calculator or from installments entered by hand, and the comparison of two
// schedules. The calculator is replaced by one that returns what the test says.
#include <gtest/gtest.h>

#include "support/documents.h"
#include "support/errors.h"
#include "support/recordsets.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/schedule/payment_terms.h"

namespace tarvolin {
namespace {

using testing_support::Fields;
using testing_support::StatementFaults;

Decimal D(const char* text) { return Decimal::Parse(text); }
Variant V(const char* text) { return Variant(D(text)); }

class ScriptedTerms : public PaymentTermsCalculator {
 public:
  void Calculate(int32_t& mode) override {
    ++calls;
    given_mode = mode;
    result_code = next_result;
    payment_code = next_payment_code;
    installments = next_installments;
    total_stamps = {V("2.00"), Variant()};
    total_collection_expenses = {V("5.00"), Variant()};
  }
  int calls = 0;
  int32_t given_mode = 0;
  int32_t next_result = 0;
  std::string next_payment_code;
  std::vector<PaymentInstallment> next_installments;
};

PaymentInstallment Installment(int16_t type, const char* subtype, Date due, const char* amount,
                               const char* tax, const char* withholding) {
  PaymentInstallment item;
  item.effect_type = Variant(type);
  item.effect_subtype = *subtype ? Variant(subtype) : Variant::Null();
  item.due_date = Variant(due);
  item.amount = {V(amount), Variant()};
  item.tax = {V(tax), Variant()};
  item.withholding = {V(withholding), Variant()};
  item.stamps = {V("1.00"), Variant()};
  item.collection_expenses = {V("2.50"), Variant()};
  item.interest_start_date = Variant(Date::FromYmd(2026, 3, 23));
  return item;
}

class Schedule : public testing_support::EngineBench {
 protected:
  Schedule() {
    company_->customers_control_account = "1200";
    company_->suppliers_control_account = "2100";
    header_->Set("DO11_DITTA_CG18", Variant(int32_t{1}));
    header_->Set("DO11_NUMREG_CO99", Variant("S-1"));
    header_->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 3, 23)));
    header_->Set("DO11_VALUTA_CG08", Variant("USD"));
    header_->Set("DO11_INDTIPOCODCF", Variant(int16_t{1}));
    header_->Set("DO11_TIPOCF_CG44", Variant(int16_t{0}));
    header_->Set("DO11_CLIFOR_CG44", Variant(int32_t{1001}));
    header_->Set("DO11_CODPAG_CG62", Variant("NET30"));
    header_->Set("DO11_PROGR_EF08", Variant(int32_t{2}));
    header_->Set("DO11_BANCA_CG12", Variant(int32_t{40512}));
    totals_ = NewDocumentRecordset(DocumentTable::kTotals);
    AppendRow(*totals_, {});
    totals_->Set("DO13_TOTIMPONIBILE", V("1000.00"));
    totals_->Set("DO13_TOTIVA", V("82.50"));
    totals_->Set("DO13_TOTDOCUMENTO", V("1082.50"));
    totals_->Set("DO13_TOTSPBOLLI_VAL", V("9"));
    document_->Set(DocumentTable::kTotals, totals_);
    schedule_ = NewDocumentRecordset(DocumentTable::kSchedule);
    document_->Set(DocumentTable::kSchedule, schedule_);
    terms_ = std::make_shared<ScriptedTerms>();
    document_->State().payment_terms = terms_;
  }

  ICLSMG_TARVOLIN& api() { return *engine_; }

  std::shared_ptr<Recordset> totals_, schedule_;
  std::shared_ptr<ScriptedTerms> terms_;
};

TEST_F(Schedule, CalculatorInstallmentsBecomeTheSchedule) {
  AppendRow(*schedule_, {});  // the old schedule goes
  document_->State().header_agents = true;
  document_->State().row_agents = true;
  auto header_agents = NewDocumentRecordset(DocumentTable::kHeaderAgents);
  auto row_agents = NewDocumentRecordset(DocumentTable::kAgents);
  AppendRow(*header_agents, {});
  header_agents->Set("DO29_IDAGENTE_MG17", Variant(int32_t{102}));
  AppendRow(*header_agents, {});
  header_agents->Set("DO29_IDAGENTE_MG17", Variant(int32_t{103}));
  header_agents->Set("DO29_FLGAGERIFER", Variant(int16_t{1}));
  AppendRow(*row_agents, {});
  row_agents->Set("DO21_IDAGENTE_MG17", Variant(int32_t{103}));
  document_->Set(DocumentTable::kHeaderAgents, header_agents);
  document_->Set(DocumentTable::kAgents, row_agents);
  header_->Set("DO11_INDIMPORFIX", Variant(int16_t{7}));  // not a mode: left as it was
  terms_->inputs.fixed_amount_mode = V("1");
  terms_->next_installments = {
      Installment(2, "1", Date::FromYmd(2026, 4, 30), "600.00", "82.50", "10.00"),
      Installment(1, "", Date::FromYmd(2026, 5, 31), "482.50", "0", "0")};
  // Blocked for credit: every installment but a direct remittance is suspended.
  document_->SetDocumentSetting("FLGGESBLOCCHI", Variant(int16_t{1}));
  header_->Set("DO11_NUMREG_CO99", Variant("2026000102"));

  api().RicalcolaScadenze();

  const PaymentTermsInputs& in = terms_->inputs;
  EXPECT_EQ(terms_->given_mode, 2);
  EXPECT_EQ(in.payment_code, "NET30");
  EXPECT_EQ(in.currency, "USD");
  EXPECT_EQ(in.party_code.Describe(), "Decimal 1001");
  EXPECT_EQ(in.taxable.company.Describe(), "Decimal 1000.00");
  EXPECT_TRUE(in.taxable.document.IsEmpty());
  EXPECT_EQ(in.tax.company.Describe(), "Decimal 82.50");
  EXPECT_EQ(in.fixed_amount_mode.Describe(), "Decimal 1");
  EXPECT_EQ(in.document_date, "2026-03-23");

  ASSERT_EQ(schedule_->RecordCount(), 2);
  schedule_->MoveFirst();
  // 600.00 less 10.00 withheld; the bank of progressive 2, the reference agent 103.
  EXPECT_EQ(
      Fields(*schedule_, {"DO79_NUMREG_CO99", "DO79_NUMRATA", "DO79_TOTRATE", "DO79_IMPEFF_S",
                          "DO79_IMPRITACC", "DO79_FLGSOSPESO", "DO79_PROGR_EF08",
                          "DO79_IDAGENTE_MG17", "DO79_CODPAG_CG62", "DO79_BOLLI", "DO79_ACCONTO"}),
      "String \"2026000102\", Long 1, Integer 2, Decimal 590.00, Decimal 10.00, "
      "Integer 1, Long 2, Long 103, String \"NET30\", Decimal 1.00, Decimal 0");
  schedule_->MoveNext();
  EXPECT_EQ(Fields(*schedule_, {"DO79_FLGSOSPESO", "DO79_SCADE_S", "DO79_DATADECORR"}),
            "Integer 0, Date 2026-05-31, Date 2026-03-23");
  // The calculator's totals; the company-currency document's _VAL twins become Null.
  EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPBOLLI")), D("2"));
  EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPINC")), D("5"));
  EXPECT_TRUE(totals_->Get("DO13_TOTSPBOLLI_VAL").IsNull());
  EXPECT_FALSE(document_->State().payment_substituted);

  // A substituted payment code is noted and written into the installments.
  terms_->next_payment_code = "CARD";
  document_->SetDocumentSetting("FLGGESBLOCCHI", Variant(int16_t{0}));
  api().RicalcolaScadenze();
  EXPECT_TRUE(document_->State().payment_substituted);
  EXPECT_EQ(document_->State().substituted_payment_code, "CARD");
  schedule_->MoveFirst();
  EXPECT_EQ(Fields(*schedule_, {"DO79_CODPAG_CG62", "DO79_FLGSOSPESO"}),
            "String \"CARD\", Integer 0");
}

TEST_F(Schedule, DocumentsWithoutWhatTheScheduleNeedsKeepTheirSchedule) {
  AppendRow(*schedule_, {});
  const auto untouched = [&](const char* what) {
    api().RicalcolaScadenze();
    EXPECT_EQ(schedule_->RecordCount(), 1) << what;
    EXPECT_EQ(terms_->calls, 0) << what;
  };
  header_->Set("DO11_CLIFOR_CG44", Variant(int32_t{0}));
  untouched("a customer document without its customer");
  header_->Set("DO11_INDTIPOCODCF", Variant(int16_t{0}));
  auto counterpart = NewDocumentRecordset(DocumentTable::kCounterpart);
  document_->Set(DocumentTable::kCounterpart, counterpart);
  untouched("an account document without its counterpart record");
  AppendRow(*counterpart, {});
  counterpart->Set("DO23_CONTOPAR", Variant("9999"));
  untouched("an account that is not in the chart");
  counterpart->Set("DO23_CONTOPAR", Variant("1010"));
  header_->Set("DO11_DATADOC", Variant::Null());
  untouched("no document date");

  // An asset account: the installments are on it, without the tax.
  header_->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 3, 23)));
  terms_->next_installments = {Installment(1, "", Date::FromYmd(2026, 4, 22), "1000.00", "0", "0")};
  api().RicalcolaScadenze();
  EXPECT_TRUE(NzDecimal(terms_->inputs.tax.company).is_zero());
  schedule_->MoveFirst();
  EXPECT_EQ(Fields(*schedule_, {"DO79_INDCONTO", "DO79_CONTO_CG24", "DO79_TOTDOC"}),
            "Integer 2, String \"1010\", Decimal 1000.00");
}

// Every field of every row, to compare two schedules whole.
std::string Rows(Recordset& recordset) {
  std::string out;
  auto cursor = recordset.Clone();
  for (cursor->MoveFirst(); !cursor->Eof(); cursor->MoveNext()) {
    for (int i = 0; i < cursor->FieldCount(); ++i) out += cursor->Get(FieldRef(i)).Describe() + ";";
    out += "\n";
  }
  return out;
}

TEST_F(Schedule, ARetryRunsTheFailedInstallmentAgainNotTheOnesBefore) {
  // Installment 2's subtype is not a number: AddScadenza fails half-way through its row.
  terms_->next_installments = {Installment(2, "1", Date::FromYmd(2026, 4, 30), "30.00", "0", "0"),
                               Installment(2, "X", Date::FromYmd(2026, 5, 30), "30.00", "0", "0"),
                               Installment(2, "1", Date::FromYmd(2026, 6, 30), "40.00", "0", "0")};
  auto retry = std::make_shared<StatementFaults>("RicalcolaScadenze", 4);
  retry->mend = [&] { terms_->installments.at(1).effect_subtype = Variant("1"); };
  document_->set_error_service(retry);
  api().RicalcolaScadenze();
  EXPECT_EQ(retry->asked, 1);
  // The half-made row stays, then installment 2 again and 3: none twice.
  std::string amounts;
  for (auto rows = schedule_->Clone(); !rows->Eof(); rows->MoveNext()) {
    amounts += rows->Get("DO79_IMPEFF_S").Describe() + "|";
  }
  EXPECT_EQ(amounts, "Decimal 30.00|Empty|Decimal 30.00|Decimal 40.00|");
}

TEST_F(Schedule, AStatementThatFailsOnceIsRetriedExactlyOrPassedOver) {
  terms_->next_installments = {
      Installment(2, "1", Date::FromYmd(2026, 4, 30), "500.00", "41.25", "0"),
      Installment(1, "", Date::FromYmd(2026, 5, 31), "582.50", "41.25", "0")};
  // From an old installment, or (old = false) from an empty schedule.
  const auto rebuild = [&](const std::shared_ptr<StatementFaults>& faults, bool old = true) {
    while (schedule_->RecordCount() > 0) {
      schedule_->MoveFirst();
      schedule_->Delete();
    }
    if (old) AppendRow(*schedule_, {});
    totals_->Set("DO13_TOTSPBOLLI", Variant::Null());
    totals_->Set("DO13_TOTSPINC", Variant::Null());
    document_->set_error_service(faults);
    api().RicalcolaScadenze();
    return Rows(*schedule_) + Fields(*totals_, {"DO13_TOTSPBOLLI", "DO13_TOTSPINC"});
  };
  auto counter = std::make_shared<StatementFaults>("RicalcolaScadenze", 3);
  const std::string clean = rebuild(counter);
  ASSERT_EQ(schedule_->RecordCount(), 2);
  ASSERT_GT(counter->statements, 40);
  for (int n = 1; n <= counter->statements; ++n) {
    auto retried = std::make_shared<StatementFaults>("RicalcolaScadenze", 4);
    retried->fail_at = n;
    EXPECT_EQ(rebuild(retried), clean) << "statement " << n << " retried";
    EXPECT_EQ(retried->asked, 1) << n;
    // Passed over, a statement may cost its installment, never add one twice.
    auto passed_over = std::make_shared<StatementFaults>("RicalcolaScadenze", 5);
    passed_over->fail_at = n;
    rebuild(passed_over, false);
    EXPECT_LE(schedule_->RecordCount(), 2) << "statement " << n << " passed over";
  }
}

}  // namespace
}  // namespace tarvolin
