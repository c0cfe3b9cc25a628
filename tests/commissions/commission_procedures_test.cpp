// Driving the commission calculator: what it is given, in which order, where
// its clones stand, what the user is told of a failure, and the error service.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/documents.h"
#include "tarvolin/commissions/commission_calculator.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

using R = CommissionRecordset;

// Records what it is given and, at each method, where its body clone stands.
class WatchingCalculator : public CommissionCalculator {
 public:
  void set_ADOConnection(std::shared_ptr<Connection> value) override {
    log.push_back("ADOConnection");
    CommissionCalculator::set_ADOConnection(value);
  }
  void SetRecordset(CommissionRecordset which, std::shared_ptr<Recordset> value) override {
    log.push_back((value ? "set " : "release ") + std::to_string(static_cast<int>(which)));
    CommissionCalculator::SetRecordset(which, std::move(value));
  }
  void set_TabellaPrioritaLisPRecuperoPrezzi(std::string value) override {
    log.push_back("priority " + value);
  }
  void ImpostaRegimiProvvigioni() override { Run("regimes"); }
  void CalcolaProvvigioni() override { Run("commissions"); }
  int32_t stato() const override { return result; }

  void Run(const std::string& method) {
    log.push_back(method);
    const auto& body = GetRecordset(R::Recordset_DO30_DOCCORPO);
    seen = NzStr(body->Get("DO30_PROGRIGA")) + "|" + body->Filter() + "|" + body->Sort();
    if (failures > 0) {
      --failures;
      Raise(err::kNoCurrentRecord, "WatchingCalculator");
    }
  }

  std::vector<std::string> log;
  std::string seen;
  int32_t result = 0;
  int failures = 0;
};

class CommissionProcedures : public testing_support::EngineBench {
 protected:
  CommissionProcedures() {
    document_->SetDocumentSetting("INDREGPROV", Variant(int16_t{1}));
    header_->Set("DO11_DITTA_CG18", Variant(int32_t{1}));
    header_->Set("DO11_DOCUM_MG36", Variant("SINV"));
    header_->Set("DO11_CLIFOR_CG44", Variant(int32_t{1001}));
    header_->Set("DO11_VALUTA_CG08", Variant("USD"));
    body_ = NewDocumentRecordset(DocumentTable::kBody);
    for (int row : {1, 2, 3}) {
      AppendRow(*body_, {});
      body_->Set("DO30_PROGRIGA", Variant(int32_t{row}));
      body_->Set("DO30_CODART_MG66", Variant("LANT-LED"));
      body_->Set("DO30_IMPNETSCP", Variant(Decimal::Parse("100.10")));
    }
    document_->Set(DocumentTable::kBody, body_);
    agents_ = NewDocumentRecordset(DocumentTable::kHeaderAgents);
    AppendRow(*agents_, {});
    agents_->Set("DO29_IDAGENTE_MG17", Variant(int32_t{101}));
    document_->Set(DocumentTable::kHeaderAgents, agents_);
    document_->Set(DocumentTable::kCommissionRows,
                   NewDocumentRecordset(DocumentTable::kCommissionRows));
  }

  std::shared_ptr<WatchingCalculator> Watch() {
    auto calculator = std::make_shared<WatchingCalculator>();
    document_->commissions().Switches().calculator = calculator;
    return calculator;
  }
  std::shared_ptr<Recordset> body_, agents_;
};

TEST_F(CommissionProcedures, TheCalculatorIsMadeOnceAndKeepsNothingBetweenRuns) {
  engine_->ImpostaProvvigioni();
  const auto made = document_->commissions().Switches().calculator;
  ASSERT_TRUE(made);
  EXPECT_EQ(made->ADOConnection(), engine_->ADOConnection());
  EXPECT_EQ(made->ClsDittaCorrente(), company_);
  EXPECT_TRUE(made->ClsLeggoPre());
  engine_->RicalcolaProvvigioni();
  EXPECT_EQ(document_->commissions().Switches().calculator, made);
  EXPECT_EQ(made->stato(), 0) << made->description();
  for (int i = 0; i < kCommissionRecordsetCount; ++i) {
    EXPECT_FALSE(made->GetRecordset(static_cast<R>(i))) << i;
  }
  // The body was on its last row: agent 101 and his area manager 105 got a line on it.
  auto lines = document_->Get(DocumentTable::kCommissionRows);
  ASSERT_EQ(lines->RecordCount(), 2);
  lines->MoveFirst();
  EXPECT_EQ(NzDecimal(lines->Get("DO32_IMPORPROV")), Decimal::Parse("5.01"));  // 5% of 100.10
  EXPECT_EQ(lines->Get("DO32_PROGRIGA").CLng(), 3);
  EXPECT_TRUE(document_->messages().empty());

  // Without header agents, the agents the row's lines name keep their lines.
  agents_->MoveFirst();
  agents_->Delete();
  body_->Set("DO30_IMPNETSCP", Variant(int16_t{200}));
  engine_->ImpostaProvvigioni();
  engine_->RicalcolaProvvigioni();
  ASSERT_EQ(lines->RecordCount(), 2);
  lines->MoveLast();
  EXPECT_EQ(NzDecimal(lines->Get("DO32_IMPORPROV")), Decimal::Parse("2.50"));  // 105: 1.25%

  // A calculator already held is not given the connection again.
  auto watching = Watch();
  engine_->ImpostaProvvigioni();
  EXPECT_EQ(std::count(watching->log.begin(), watching->log.end(), "ADOConnection"), 0);
}

TEST_F(CommissionProcedures, TheErrorServiceActsOnTheFailedStatementOnly) {
  const struct {
    int answer;
    int runs;       // times the method ran
    bool released;  // the properties were set to Nothing afterwards
  } kCases[] = {{4, 2, true}, {5, 1, true}, {3, 1, false}};
  for (const auto& c : kCases) {
    auto calculator = Watch();
    calculator->failures = 1;
    document_->set_error_answer(c.answer);
    const size_t asked = document_->asked_errors().size();
    engine_->RicalcolaProvvigioni();
    EXPECT_EQ(std::count(calculator->log.begin(), calculator->log.end(), "commissions"), c.runs)
        << c.answer;
    EXPECT_EQ(calculator->log.back() == "release 8", c.released) << c.answer;
    ASSERT_EQ(document_->asked_errors().size(), asked + 1);
    EXPECT_EQ(document_->asked_errors().back().procedure, "RicalcolaProvvigioni");
    EXPECT_EQ(document_->asked_errors().back().number, err::kNoCurrentRecord);
  }
  // No calculator to recalculate with is such an error too.
  document_->commissions().Switches().calculator.reset();
  engine_->RicalcolaProvvigioni();
  EXPECT_EQ(document_->asked_errors().back().number, err::kObjectNotSet);
}

TEST_F(CommissionProcedures, CalculatorFailuresNameTheRegimeAndLeaveTheLines) {
  auto lines = document_->Get(DocumentTable::kCommissionRows);
  AppendRow(*lines, {});
  lines->Set("DO32_PROGRIGA", Variant(int32_t{3}));
  lines->Set("DO32_IDAGENTE_MG17", Variant(int32_t{101}));
  lines->Set("DO32_IMPORPROV", Variant(Decimal::Parse("4.50")));
  const struct {
    const char* setup;
    const char* undo;
    int32_t stato;
    const char* description;
  } kCases[] = {
      {"INSERT INTO TV12_AGENTICLIENTIPROVV VALUES (1, 101, 1001, 120)",
       "DELETE FROM TV12_AGENTICLIENTIPROVV WHERE TV12_PERCPROV = 120", 3,
       "TV12_AGENTICLIENTIPROVV agent 101 customer 1001: percentage 120 is outside 0 to 100"},
      {"UPDATE TV04_AGENTIPROVV SET TV04_PERCPROV = -1 WHERE TV04_IDAGENTE_TV03 = 105",
       "UPDATE TV04_AGENTIPROVV SET TV04_PERCPROV = 1.25 WHERE TV04_IDAGENTE_TV03 = 105", 3,
       "TV04_AGENTIPROVV agent 105 every item"},
      {"UPDATE TV03_AGENTI SET TV03_IDCAPOAREA_TV03 = 108 WHERE TV03_IDAGENTE = 101",
       "UPDATE TV03_AGENTI SET TV03_IDCAPOAREA_TV03 = 105 WHERE TV03_IDAGENTE = 101", 5,
       "area manager 108 of agent 101 has no master data (TV03_AGENTI, company 1)"},
  };
  for (const auto& c : kCases) {
    Sql(c.setup);
    engine_->ImpostaProvvigioni();
    engine_->RicalcolaProvvigioni();
    Sql(c.undo);
    const auto& calculator = document_->commissions().Switches().calculator;
    EXPECT_EQ(calculator->stato(), c.stato) << c.setup;
    EXPECT_NE(calculator->description().find(c.description), std::string::npos)
        << calculator->description();
    EXPECT_EQ(lines->RecordCount(), 1) << c.setup;
    lines->MoveFirst();
    EXPECT_EQ(NzDecimal(lines->Get("DO32_IMPORPROV")), Decimal::Parse("4.50")) << c.setup;
  }
}

}  // namespace
}  // namespace tarvolin
