#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "db/demo_database.h"
#include "engine/engine_object.h"
#include "tarvolin/db/counting_connection.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin {
namespace {

Decimal D(const char* text) { return Decimal::Parse(text); }
using Texts = std::vector<std::string>;
std::string Text(const Variant& v) {
  if (v.IsNull()) return "Null";
  if (v.IsEmpty() || v.IsString()) return v.CStr();
  return Variant(v.CDec()).CStr();
}

// Records the rows handed to the counterpart builder instead of building.
class RecordingEngine : public CLSMG_TARVOLIN {
 public:
  RecordingEngine() : CLSMG_TARVOLIN(nullptr) {}
  void AggiungiContropartitaDaCorpo(std::shared_ptr<Recordset> rows) override {
    fed.push_back(rows->Get("DO30_PROGRIGA").CLng());
  }
  std::vector<int32_t> fed;
};

class BodyRowPass : public ::testing::Test {
 protected:
  void SetUp() override {
    auto company = std::make_shared<CurrentCompany>();
    company->company_number = 1;
    company->currency_code = "USD";
    company->currency_decimals = {{"USD", 2}, {"CAD", 2}};
    document_ = std::make_shared<HostDocument>(company);
    auto header = NewDocumentRecordset(DocumentTable::kHeader);
    AppendRow(*header, {int32_t{1}, "SO-9"});
    header->Set("DO11_CAMBIO", D("1.3525"));
    document_->Set(DocumentTable::kHeader, header);
    document_->Set(DocumentTable::kTotals, NewDocumentRecordset(DocumentTable::kTotals));
    body_ = NewDocumentRecordset(DocumentTable::kBody);
    connection_ = std::make_shared<CountingConnection>(
        std::shared_ptr<Connection>(&demo_.connection(), [](Connection*) {}));
    engine_ = std::make_shared<RecordingEngine>();
    engine_->set_cc(document_);
    engine_->set_ADOConnection(connection_);
    acc_.assign(CLSMG_TARVOLIN::kAccumulatorCount, Variant());
    args_.AccumulatoriTotali = &acc_;
    args_.CodiceValuta = "USD";
  }

  // A body row; `more` sets numeric fields by name without DO30_: "QTA1=2.5 INDTOTALIZ=2".
  void Row(int progressive, int type, const char* amount, const std::string& more = "") {
    AppendRow(*body_, {int32_t{1}, "SO-9", int32_t{progressive}});
    body_->Set("DO30_INDTIPORIGA", int16_t(type));
    body_->Set("DO30_IMPORTO", D(amount));
    std::istringstream fields(more);
    for (std::string field; fields >> field;) {
      const size_t eq = field.find('=');
      body_->Set("DO30_" + field.substr(0, eq), D(field.substr(eq + 1).c_str()));
    }
  }
  void Expense(int progressive, const char* code, const char* amount,
               const std::string& more = "") {
    Row(progressive, 4, amount, "INDTIPODATI=3 " + more);
    body_->Set("DO30_CODSPESA_MG04", code);
  }
  void SkipLastRow() {
    document_->State().excluded_row_bookmark = body_->GetBookmark().ToVariant();
  }
  void Run() {
    args_.RstCorpo = body_->Clone();
    engine_->RicalcolaTotaliDaRigheCorpo_CicloRighe(args_);
  }
  Texts Column(const char* field) {
    Texts values;
    for (body_->MoveFirst(); !body_->Eof(); body_->MoveNext()) {
      values.push_back(Text(body_->Get(std::string("DO30_") + field)));
    }
    return values;
  }
  Texts Acc(int from, int to) {
    Texts values;
    for (int i = from; i <= to; ++i) values.push_back(Text(acc_[i]));
    return values;
  }
  std::vector<int32_t> Modified() {
    std::vector<int32_t> rows;
    for (const Variant& row : engine_->ArrRigheModificate().array()) rows.push_back(row.CLng());
    return rows;
  }

  testing_support::DemoDatabase demo_;
  std::shared_ptr<HostDocument> document_;
  std::shared_ptr<Recordset> body_;
  std::shared_ptr<CountingConnection> connection_;
  std::shared_ptr<RecordingEngine> engine_;
  VariantArray acc_;
  CLSMG_TARVOLIN::BodyPassArgs args_;
};

TEST_F(BodyRowPass, EmptyBodyLeavesEverythingAsItCame) {
  for (int i = 0; i < CLSMG_TARVOLIN::kAccumulatorCount; ++i) acc_[i] = int32_t{100 + i};
  document_->State().highest_row_progressive = 4;
  Run();
  for (int i = 0; i < CLSMG_TARVOLIN::kAccumulatorCount; ++i) EXPECT_EQ(acc_[i].CLng(), 100 + i);
  EXPECT_FALSE(args_.HaSpese);
  EXPECT_EQ(connection_->statements(), 0);
  EXPECT_EQ(document_->State().highest_row_progressive, 4);
}

TEST_F(BodyRowPass, SkippedRowAndCollectedExpenses) {
  args_.ImportoNettoScontiPiede = false;
  args_.AzzeraPerRiga = "x";
  Row(1, 0, "10");
  Row(90, 0, "20", "IMPNETSCP=7");
  SkipLastRow();
  Expense(3, "FRTPCT", "12", "IMPNETSCP=12 IMPORTO_VAL=9");
  Expense(4, "CODFEE", "5", "INDPROVRIGA=9");
  // An unknown code and a code that is not calculated: ordinary rows.
  Expense(5, "O'HARE", "3", "INDTOTALIZ=1");
  Expense(6, "MISC", "4", "INDTOTALIZ=1");
  Run();

  Texts queries;  // the expense master reads (a goods row's cost reads the currencies)
  for (const std::string& sql : connection_->log()) {
    if (sql.find("MG04_SPESE") != std::string::npos) queries.push_back(sql);
  }
  ASSERT_EQ(queries.size(), 4u);
  EXPECT_EQ(queries[0],
            " SELECT    MG04_INDTIPOALIQ,    MG04_ALIQ_CG28,    MG04_INDTIPOSPESA,    "
            "MG04_INDTIPOTOT FROM    MG04_SPESE WITH (NOLOCK) WHERE    MG04_CODICE = 'FRTPCT'");
  EXPECT_NE(queries[2].find("MG04_CODICE = 'O''HARE'"), std::string::npos);
  EXPECT_EQ(engine_->ArrSpeseProgRiga(), (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(engine_->ArrSpeseTipoSpesa(), (std::vector<int16_t>{1, 5}));
  EXPECT_EQ(engine_->ArrSpeseTipoTot(), (std::vector<int16_t>{0, 3}));
  EXPECT_EQ(engine_->ArrSpeseTipoAliq(), (std::vector<int16_t>{0, 1}));
  EXPECT_EQ(args_.NumSpese, 2);
  EXPECT_TRUE(args_.HaSpese && args_.SpeseTipoTot3 && args_.SpeseTipoTot0);
  EXPECT_EQ(args_.RstLavoro, nullptr);
  EXPECT_EQ(args_.AzzeraPerRiga.type(), VarType::kInteger);
  // Collected rows are cleared (INDPROVRIGA 9 keeps them; _VAL stays in company currency).
  EXPECT_EQ(Column("IMPORTO"), (Texts{"10", "20", "0", "5", "3", "4"}));
  EXPECT_EQ(Column("IMPNETSCP"), (Texts{"", "7", "0", "", "", ""}));
  EXPECT_EQ(Column("IMPORTO_VAL")[2], "9");
  EXPECT_EQ(Modified(), (std::vector<int32_t>{3, 4}));
  // Neither the skipped row nor the collected ones count.
  EXPECT_EQ(engine_->fed, (std::vector<int32_t>{1, 5, 6}));
  EXPECT_EQ(Acc(8, 8), Texts{"7"});
  EXPECT_EQ(Acc(30, 37), (Texts{"17", "0", "", "", "17", "0", "17", "0"}));
  EXPECT_EQ(document_->State().highest_row_progressive, 6);

  // Without accounting nothing is collected and nothing is fed.
  engine_->fed.clear();
  acc_.assign(CLSMG_TARVOLIN::kAccumulatorCount, Variant());
  args_.EscludiContabilita = true;
  connection_->Reset();
  Run();
  EXPECT_EQ(connection_->statements(), 0);
  EXPECT_TRUE(engine_->fed.empty());
  EXPECT_EQ(Acc(30, 30), Texts{"22"});  // the expense rows count now
}

TEST_F(BodyRowPass, CompanyCurrencyDiscountsCascadeAndSquare) {
  auto details = NewDocumentRecordset(DocumentTable::kDiscountDetail);
  for (int row : {2, 2, 4}) AppendRow(*details, {int32_t{1}, "SO-9", int32_t{row}});
  document_->Set(DocumentTable::kDiscountDetail, details);
  document_->State().clear_discount_detail = true;
  Row(1, 0, "333.33", "IMPORTO_VAL=1 IMPNETSCP_VAL=1");
  Row(2, 0, "123.45");
  Row(3, 0, "0.07");
  Row(4, 0, "80", "FLGESCLSCPIEDE=1 IMPORTO_VAL=2");
  Row(5, 0, "40", "INDTIPOOMAG=1 IMPNETSCP=40");
  Row(6, 0, "1000.01");
  Row(7, 0, "0", "IMPNETSCP=5");
  Row(8, 0, "10", "INDTIPODATI=2 IMPNETSCP=3");
  args_.ScPerMerce1 = D("10");
  args_.ScPerMerce3 = D("5");
  acc_[0] = D("1456.86");
  args_.ProgRigaUltimaScontabile = 6;
  args_.ResiduoScImpMerce = args_.TotScImpMerce = D("100.00");
  args_.ResiduoScImpArt26 = args_.TotScImpArt26 = D("33.33");
  Run();

  // 333.33 -> 300.00 -> 285.00, less its shares 21.26 and 9.25; the last
  // eligible row takes exactly what the others left: 68.65 and 22.88.
  EXPECT_EQ(Column("IMPNETSCP"),
            (Texts{"254.49", "94.25", "0.06", "80", "40", "763.48", "5", "3"}));
  const Decimal cascaded = D("285.00") + D("105.54") + D("0.06") + D("855.01");
  EXPECT_EQ(cascaded - (D("254.49") + D("94.25") + D("0.06") + D("763.48")), D("133.33"));
  EXPECT_EQ(Text(args_.ResiduoScImpMerce), "68.65");
  EXPECT_EQ(Text(args_.ResiduoScImpArt26), "22.88");
  EXPECT_EQ(Column("IMPORTO_VAL"), (Texts{"Null", "Null", "Null", "Null", "Null", "Null", "", ""}));
  EXPECT_EQ(Column("IMPNETSCP_VAL")[0], "Null");
  EXPECT_EQ(Modified(), (std::vector<int32_t>{1, 2, 3, 4, 6}));
  EXPECT_EQ(details->RecordCount(), 1);  // the excluded row keeps its detail
  EXPECT_EQ(Acc(28, 28), Texts{"1200.28"});

  // Without a base the absolute discounts reach no row, not even the last.
  acc_.assign(CLSMG_TARVOLIN::kAccumulatorCount, Variant());
  args_.ResiduoScImpMerce = D("100.00");
  Run();
  EXPECT_EQ(Column("IMPNETSCP")[5], "855.01");
  EXPECT_EQ(Text(args_.ResiduoScImpMerce), "100");
}

TEST_F(BodyRowPass, DocumentCurrencyDiscountsSquareAndConvert) {
  Row(1, 0, "57.50", "IMPORTO_VAL=77.77");
  Row(2, 0, "912.80", "IMPORTO_VAL=1234.56");
  Row(3, 0, "10", "IMPORTO_VAL=13.53 FLGESCLSCPIEDE=1");
  Row(4, 0, "7.39", "IMPORTO_VAL=9.99");
  args_.DocInValutaAzienda = false;
  args_.CodiceValuta = "CAD";
  args_.ScPerMerce2 = D("3.5");
  acc_[0] = D("999");
  acc_[1] = D("1322.32");
  args_.ProgRigaUltimaScontabile = 4;
  args_.ResiduoScImpMerce = args_.TotScImpMerce = D("5");
  args_.ResiduoScImpMerceVal = args_.TotScImpMerceVal = D("50.00");
  args_.ResiduoScImpArt26Val = args_.TotScImpArt26Val = D("0.01");
  Run();

  EXPECT_EQ(Column("IMPNETSCP_VAL"), (Texts{"72.11", "1144.66", "13.53", "9.26"}));
  const Decimal cascaded = D("75.05") + D("1191.35") + D("9.64");
  EXPECT_EQ(cascaded - (D("72.11") + D("1144.66") + D("9.26")), D("50.01"));
  EXPECT_EQ(Text(args_.ResiduoScImpMerceVal), "0.38");
  EXPECT_EQ(Text(args_.ResiduoScImpArt26Val), "0");  // the cent went to row 2
  EXPECT_EQ(Text(args_.ResiduoScImpMerce), "5");
  // Company amounts at the header's rate; the excluded row keeps its own.
  EXPECT_EQ(Column("IMPNETSCP"), (Texts{"53.32", "846.33", "10", "6.85"}));
}

TEST_F(BodyRowPass, TotalsByRowClassFreeGoodsAndTotalizers) {
  args_.ImportoNettoScontiPiede = false;
  args_.DocInValutaAzienda = false;
  args_.CodiceValuta = "CAD";
  const std::string goods = "QTA1=2.5 QTA2=1 COLLI=2 PESOL=1.33333 PESON=1 VOLUME=0.1 ";
  Row(1, 0, "100", goods + "IMPORTO_VAL=135 IMPNETSCP=90 IMPNETSCP_VAL=121.5 INDTOTALIZ=2");
  body_->Set("DO30_COSTOTOT", D("60.555"));
  body_->Set("DO30_COSTOTOT_VAL", D("81.8751"));
  Row(2, 0, "20",
      "INDTIPOOMAG=1 INDTOTALIZ=1 QTA1=4 COLLI=1 PESOL=0.5 IMPORTO_VAL=27 COSTOTOT=10 "
      "COSTOTOT_VAL=13.5 IMPNETSCP=20 IMPNETSCP_VAL=27");
  Row(3, 9, "30",
      "INDTOTALIZ=7 IMPORTO_VAL=40.5 IMPNETSCP=30 IMPNETSCP_VAL=36.45 COSTOTOT=12 "
      "COSTOTOT_VAL=16.2");
  Row(4, 4, "15", "IMPORTO_VAL=20.25 INDTOTALIZ=3");
  Row(5, 11, "5", "IMPORTO_VAL=6.75");
  Row(6, 2, "1000", "IMPORTO_VAL=1000");
  acc_[2] = D("1.5");
  acc_[32] = D("7");
  acc_[40] = "kept";
  Run();

  // Weight 1.33333 x 2.5 = 3.333325 rounds away from zero; free goods add
  // quantities and weights but no goods total; totalizer 7 feeds none of 8-23.
  EXPECT_EQ(Acc(2, 7), (Texts{"8", "1", "3", "5.33333", "2.5", "0.25"}));
  EXPECT_EQ(Acc(8, 23),
            (Texts{"", "", "", "", "15", "20.25", "", "", "", "", "100", "135", "", "", "", ""}));
  EXPECT_EQ(Acc(24, 29), (Texts{"72.56", "98.08", "130", "175.5", "120", "157.95"}));
  EXPECT_EQ(Acc(30, 40),
            (Texts{"170", "229.5", "7", "", "170", "229.5", "170", "229.5", "", "", "kept"}));

  document_->SetDocumentSetting("INDOMAGCOSTO", int16_t{1});
  acc_.assign(CLSMG_TARVOLIN::kAccumulatorCount, Variant());
  Run();
  EXPECT_EQ(Acc(24, 25), (Texts{"82.56", "111.58"}));
  EXPECT_EQ(Acc(16, 17), (Texts{"", ""}));
}

TEST_F(BodyRowPass, CommissionLinesRollUpIntoAgentRows) {
  auto agents = NewDocumentRecordset(DocumentTable::kAgents);
  AppendRow(*agents, {int32_t{1}, "SO-9", int32_t{7}, int16_t{0}, D("100"), Variant(), D("10"),
                      Variant(), D("10")});
  AppendRow(*agents, {int32_t{1}, "SO-9", int32_t{8}, int16_t{1}});
  document_->Set(DocumentTable::kAgents, agents);
  auto lines = NewDocumentRecordset(DocumentTable::kCommissionRows);
  const auto line = [&](int row, int agent, const char* perc, const char* base, const char* amount,
                        const char* amount_val = "0") {
    AppendRow(*lines, {int32_t{1}, "SO-9", int32_t{row}, int32_t{agent}, int16_t{0}, D(perc),
                       D(base), D("0"), D(amount), D(amount_val)});
  };
  line(1, 7, "5", "200", "10");
  line(1, 9, "3", "200", "6");
  line(2, 9, "4", "100", "10");
  line(2, 8, "4", "50", "2");  // hand-entered totals: left alone
  line(2, 12, "4", "50", "3");
  line(3, 10, "4", "0", "0");
  line(4, 11, "4", "10", "1");     // on the skipped row
  line(5, 7, "5", "0", "0", "1");  // on a collected expense row
  document_->Set(DocumentTable::kCommissionRows, lines);
  Row(1, 0, "200");
  Row(2, 0, "100");
  Row(3, 0, "0");
  Row(4, 0, "10");
  SkipLastRow();
  Expense(5, "FRTPCT", "1");
  args_.RstProvv = lines->Clone();
  Run();

  EXPECT_EQ(document_->agent_notifications(), 6);
  EXPECT_EQ(agents->RecordCount(), 4);  // 10 has nothing, 11 is on the skipped row
  const auto agent = [&](int id) {
    auto row = agents->Clone();
    row->SetFilter("DO21_IDAGENTE_MG17 = " + std::to_string(id));
    Texts values;
    for (const char* field :
         {"DITTA_CG18", "IMPONPROV", "IMPORPROV", "IMPORPROV_VAL", "PROVMEDIA"}) {
      values.push_back(Text(row->Get(std::string("DO21_") + field)));
    }
    return values;
  };
  EXPECT_EQ(agent(7), (Texts{"1", "300", "20", "1", "6.66667"}));
  EXPECT_EQ(agent(9), (Texts{"1", "300", "16", "0", "5.33333"}));
  EXPECT_EQ(agent(12), (Texts{"1", "50", "3", "0", "4"}));  // new: the line's percentage
  EXPECT_EQ(agent(8), (Texts{"1", "", "", "", ""}));
  EXPECT_EQ(args_.RstProvv->Filter(), "");
}

TEST_F(BodyRowPass, FailuresCarryThePassInTheirSource) {
  demo_.connection().ExecuteScript("DROP TABLE MG04_SPESE");
  Expense(1, "FRTPCT", "1");
  try {
    Run();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kDatabaseError);
    EXPECT_EQ(e.source().rfind("RicalcolaTotaliDaRigheCorpo_CicloRighe:\r\n", 0), 0u) << e.source();
    EXPECT_NE(e.description().find("MG04_SPESE"), std::string::npos);
  }
}

}  // namespace
}  // namespace tarvolin
