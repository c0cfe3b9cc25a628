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
  ICLSMG_TARVOLIN::AddScadenzaArgs Args(std::string currency) {
    ICLSMG_TARVOLIN::AddScadenzaArgs args;
    args.CodiceValuta = std::move(currency);
    args.TotaleRate = 2;
    args.CondizioneDiPagamento = "NET30";
    args.TipoEffetto = 2;
    args.SottoTipoEffetto = "0";
    args.DataScadenza = Date::FromYmd(2026, 4, 30);
    args.ImportoScadenzaEuro = V("541.25");
    args.ImportoScadenzaValuta = V("740.00");
    args.ImportoIvaEuro = V("41.25");
    args.ImportoIvaValuta = V("56.40");
    args.ImportoScontoIncondEuro = V("3");
    args.ImportoScontoIncondValuta = V("4");
    args.ProgressivoBanca = Variant(int32_t{0});
    return args;
  }

  std::shared_ptr<Recordset> totals_, schedule_;
  std::shared_ptr<ScriptedTerms> terms_;
};

TEST_F(Schedule, InstallmentRowsFollowTheirBranchAndCurrency) {
  header_->Set("DO11_FLGCLIFAT", Variant(int16_t{1}));
  header_->Set("DO11_INDCONVCLIFAT", Variant(int16_t{2}));
  header_->Set("DO11_CLIFORFATT", Variant("1003"));
  auto rows = schedule_;
  auto args = Args("USD");
  api().AddScadenza(rows, args);
  args.CodiceAgente = "101";
  args.ProgressivoBanca = Variant(int32_t{2});
  args.SottoTipoEffetto = "1";
  api().AddScadenza(rows, args);
  ASSERT_EQ(schedule_->RecordCount(), 2);

  // Same currency: the invoicing customer is the debtor, the document-currency side is Null.
  schedule_->MoveFirst();
  EXPECT_EQ(Fields(*schedule_, {"DO79_PROGEFF", "DO79_NUMRATA", "DO79_INDCONTO", "DO79_CONTO_CG24",
                                "DO79_CLIFOR_CG44", "DO79_TOTDOC", "DO79_IMPEFFVAL_S",
                                "DO79_BOLLIVAL", "DO79_SCONTOINCOND", "DO79_SCONTOINCONDEURO"}),
            "Long 1, Long 1, Integer 0, String \"1200\", Long 1003, Decimal 1082.50, Null, "
            "Null, Decimal 3, Empty");
  // An empty agent, a 0 bank and a "0" subtype leave their fields unset.
  EXPECT_EQ(Fields(*schedule_,
                   {"DO79_IDAGENTE_MG17", "DO79_PROGR_EF08", "DO79_STIPOEFF", "DO79_DATADECORR"}),
            "Empty, Empty, Empty, Empty");
  schedule_->MoveNext();
  EXPECT_EQ(Fields(*schedule_, {"DO79_PROGEFF", "DO79_NUMRATA", "DO79_IDAGENTE_MG17",
                                "DO79_PROGR_EF08", "DO79_STIPOEFF"}),
            "Long 2, Long 2, Long 101, Long 2, String \"1\"");

  // Another currency, on an account, without a party, with goods in use (no tax).
  document_->SetDocumentSetting("INDCAUBENIUS", Variant(int16_t{1}));
  totals_->Set("DO13_TOTDOCUMENTO_VAL", V("1480.00"));
  totals_->Set("DO13_TOTIVA_VAL", V("112.80"));
  args = Args("CAD");
  args.IndConto = 2;
  args.CodiceConto = "1010";
  args.DocumentoIntraOrNoClienteFornitore = true;
  api().AddScadenza(rows, args);
  EXPECT_EQ(
      Fields(*schedule_, {"DO79_PROGEFF", "DO79_INDCONTO", "DO79_CONTO_CG24", "DO79_CLIFOR_CG44",
                          "DO79_TIPOCF_CG44", "DO79_TOTDOC", "DO79_TOTDOCVAL", "DO79_IMPEFFVAL_S",
                          "DO79_IMPEFFIVA", "DO79_IMPEFFIVA_VAL", "DO79_SCONTOINCOND",
                          "DO79_SCONTOINCONDEURO"}),
      "Long 3, Integer 2, String \"1010\", Empty, Empty, Decimal 1000.00, "
      "Decimal 1367.20, Decimal 740.00, Decimal 0, Decimal 0, Decimal 4, Decimal 3");

  // A failure carries the procedure's label in its source.
  document_->Set(DocumentTable::kTotals, nullptr);
  try {
    api().AddScadenza(rows, args);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kObjectNotSet);
    EXPECT_EQ(e.source(), "AddScadenza:\r\n");  // named once, not twice
  }
}

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

TEST_F(Schedule, CalculatorFailuresLeaveAnEmptyScheduleAndOneMessage) {
  const struct {
    int32_t code;
    const char* second_line;
  } cases[] = {{2, "MANCANO LE RATE"},
               {12, "MANCA IL CLIENTE/FORNITORE"},
               {6, "ERRORE GENERICO"},
               {-1, "ERRORE GENERICO"}};
  for (const auto& c : cases) {
    AppendRow(*schedule_, {});
    totals_->Set("DO13_TOTSPBOLLI", V("4"));
    terms_->next_result = c.code;
    const size_t before = document_->messages().size();
    api().RicalcolaScadenze();
    EXPECT_EQ(schedule_->RecordCount(), 0) << c.code;
    ASSERT_EQ(document_->messages().size(), before + 1) << c.code;
    const auto& shown = document_->messages().back();
    EXPECT_EQ(shown.text, std::string("Errore nel calcolo delle scadenze\r") + c.second_line);
    EXPECT_EQ(shown.title, "RicalcolaScadenze");
    EXPECT_EQ(shown.style, 64);
    EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPBOLLI")), D("4")) << "totals untouched";
  }
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

TEST_F(Schedule, InstallmentsEnteredByHandAndTheirTotals) {
  header_->Set("DO11_CODPAG_CG62", Variant::Null());
  DocumentState& state = document_->State();
  state.hand_entered_installments = 2;
  const Variant null = Variant::Null();
  state.installment_table = {
      {Variant(int16_t{2}), Variant("1"), Variant("2026-04-15"), V("500"), V("40"), V("1"), V("2"),
       null, null, null, null, Variant("MANUAL"), null, V("0.50"), null},
      {Variant(int16_t{1}), Variant(""), Variant("2026-05-15"), V("582.50"), V("42.50"), V("1"),
       V("2"), null, null, null, null, Variant("MANUAL"), null, V("0"), null}};
  api().RicalcolaScadenze();
  EXPECT_EQ(terms_->calls, 0);
  ASSERT_EQ(schedule_->RecordCount(), 2);
  schedule_->MoveFirst();
  EXPECT_EQ(Fields(*schedule_, {"DO79_TIPOEFF", "DO79_SCADE_S", "DO79_IMPEFF_S", "DO79_CODPAG_CG62",
                                "DO79_TOTRATE"}),
            "Integer 2, Date 2026-04-15, Decimal 500, String \"MANUAL\", Integer 2");
  // Stamps 1 + 1 and the further 0.50; collection expenses 2 + 2.
  EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPBOLLI")), D("2.50"));
  EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPINC")), D("4"));

  // A count beyond the table goes to the error service, which here says leave.
  state.hand_entered_installments = 3;
  api().RicalcolaScadenze();
  ASSERT_EQ(document_->asked_errors().size(), 1u);
  EXPECT_EQ(document_->asked_errors()[0].procedure, "RicalcolaScadenze");
  EXPECT_EQ(document_->asked_errors()[0].number, err::kSubscriptOutOfRange);

  // Neither a payment code nor installments: an empty schedule and no expenses.
  state.hand_entered_installments = 0;
  api().RicalcolaScadenze();
  EXPECT_EQ(schedule_->RecordCount(), 0);
  EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPBOLLI")), D("0"));
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

TEST_F(Schedule, ErrorAnswersActOnTheFailedStatementOnly) {
  // Installment 2's subtype is not a number: AddScadenza fails half-way through its row.
  terms_->next_installments = {Installment(2, "1", Date::FromYmd(2026, 4, 30), "30.00", "0", "0"),
                               Installment(2, "X", Date::FromYmd(2026, 5, 30), "30.00", "0", "0"),
                               Installment(2, "1", Date::FromYmd(2026, 6, 30), "40.00", "0", "0")};
  const auto amounts = [&] {
    std::string out;
    auto rows = schedule_->Clone();
    for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
      out += rows->Get("DO79_IMPEFF_S").Describe() + "|";
    }
    return out;
  };

  // Go on: the half-made row stays; installment 3 and the expense totals follow.
  auto go_on = std::make_shared<StatementFaults>("RicalcolaScadenze", 5);
  document_->set_error_service(go_on);
  api().RicalcolaScadenze();
  EXPECT_EQ(go_on->asked, 1);
  EXPECT_EQ(amounts(), "Decimal 30.00|Empty|Decimal 40.00|");
  EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPBOLLI")), D("2"));

  // Retry once the item is mended: installment 2 again, then 3; none twice.
  auto retry = std::make_shared<StatementFaults>("RicalcolaScadenze", 4);
  retry->mend = [&] { terms_->installments.at(1).effect_subtype = Variant("1"); };
  document_->set_error_service(retry);
  api().RicalcolaScadenze();
  EXPECT_EQ(retry->asked, 1);
  EXPECT_EQ(amounts(), "Decimal 30.00|Empty|Decimal 30.00|Decimal 40.00|");

  // By hand, the same: three installments, the second not a number, then the totals.
  header_->Set("DO11_CODPAG_CG62", Variant::Null());
  DocumentState& state = document_->State();
  state.hand_entered_installments = 3;
  const Variant null = Variant::Null();
  for (const char* subtype : {"1", "X", "1"}) {
    state.installment_table.push_back({Variant(int16_t{2}), Variant(subtype), Variant("2026-04-15"),
                                       V("300.00"), V("0"), V("1"), V("2"), null, null, null, null,
                                       Variant("MANUAL"), null, V("0"), null});
  }
  document_->set_error_service(go_on);
  api().RicalcolaScadenze();
  EXPECT_EQ(amounts(), "Decimal 300.00|Empty|Decimal 300.00|");
  EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPBOLLI")), D("3"));
  EXPECT_EQ(NzDecimal(totals_->Get("DO13_TOTSPINC")), D("6"));
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

TEST_F(Schedule, OnlyFieldsThatMatterMakeSchedulesDiffer) {
  auto rows = schedule_;
  auto args = Args("USD");
  api().AddScadenza(rows, args);
  api().AddScadenza(rows, args);
  auto before = schedule_->Copy();
  const auto rebuilt = [&] {
    auto after = schedule_->Copy();
    after->MoveFirst();
    return after;
  };
  auto after = rebuilt();
  EXPECT_FALSE(engine_->ScadenzeDiverse(before, after));
  after->MoveLast();
  after->Set("DO79_ACCONTO", V("100"));
  after->Set("DO79_INDSTATO_S", Variant(int16_t{3}));
  EXPECT_FALSE(engine_->ScadenzeDiverse(before, after)) << "advance and state do not count";
  after->Set("DO79_IMPEFF_S", V("541.26"));
  EXPECT_TRUE(engine_->ScadenzeDiverse(before, after));
  after = rebuilt();
  after->Set("DO79_CODPAG_CG62", Variant("CARD"));
  EXPECT_TRUE(engine_->ScadenzeDiverse(before, after)) << "text fields count";
  after = rebuilt();
  after->MoveLast();
  after->Delete();
  EXPECT_TRUE(engine_->ScadenzeDiverse(before, after)) << "fewer installments";
  auto empty = NewDocumentRecordset(DocumentTable::kSchedule);
  EXPECT_FALSE(engine_->ScadenzeDiverse(before, empty));
  EXPECT_TRUE(engine_->ScadenzeDiverse(empty, before));
  EXPECT_TRUE(engine_->ScadenzeDiverse(nullptr, before));
}

}  // namespace
}  // namespace tarvolin
