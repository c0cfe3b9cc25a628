// The demo invoice 2026000101 end to end: its rows into counterparts and tax
// bases, the tax of every summary line, and the registration read back.
#include <gtest/gtest.h>

#include <map>

#include "db/demo_database.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/host_document.h"
#include "tarvolin/host/registration.h"

namespace tarvolin {
namespace {

Decimal D(const char* text) { return Decimal::Parse(text); }

TEST(DemoInvoiceTax, SummaryMatchesTheFiguresWorkedByHandAndRegisters) {
  testing_support::DemoDatabase demo;
  auto connection = std::shared_ptr<Connection>(&demo.connection(), [](Connection*) {});
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  company->accounts_group = "1";
  company->currency_decimals = {{"USD", 2}};
  auto document = std::make_shared<HostDocument>(company);
  const std::string where = " WHERE %_DITTA_CG18 = 1 AND %_NUMREG_CO99 = '2026000101'";
  const auto load = [&](DocumentTable table, const char* prefix) {
    std::string condition = where;
    for (size_t at = condition.find('%'); at != std::string::npos; at = condition.find('%')) {
      condition.replace(at, 1, prefix);
    }
    auto stored =
        connection->Execute("SELECT * FROM " + std::string(DocumentTableName(table)) + condition);
    auto rs = NewDocumentRecordset(table);
    for (; !stored->Eof(); stored->MoveNext()) {
      rs->AddNew();
      for (int i = 0; i < stored->FieldCount(); ++i) {
        rs->Set(stored->Field(i).name, stored->Get(FieldRef(i)));
      }
    }
    rs->MoveFirst();
    document->Set(table, rs);
    return rs;
  };
  load(DocumentTable::kHeader, "DO11");
  auto body = load(DocumentTable::kBody, "DO30");
  document->Set(DocumentTable::kCounterparts, NewDocumentRecordset(DocumentTable::kCounterparts));
  document->Set(DocumentTable::kCounterpartLinks,
                NewDocumentRecordset(DocumentTable::kCounterpartLinks));

  auto engine =
      std::make_shared<CLSMG_TARVOLIN>([] { return std::make_shared<HostCalculationHelper>(); });
  engine->set_cc(document);
  engine->set_ADOConnection(connection);
  ICLSMG_TARVOLIN& api = *engine;
  api.OpenCastIva();
  for (body->MoveFirst(); !body->Eof(); body->MoveNext()) {
    // The handling expense as the expense calculation prices it: 1% of 795.00 + 5.00.
    if (NzStr(body->Get("DO30_TAXGROUP_NV04")) == "FREIGHT") {
      body->Set("DO30_IMPORTO", Variant(D("12.95")));
      body->Set("DO30_IMPNETSCP", Variant(D("12.95")));
    }
    api.AggiungiContropartitaDaCorpo(body);
  }
  engine->CalculateTax();
  engine->ImpostaTotSTaxRighe();

  std::map<std::string, std::string> taxes;  // "GROUP JURISDICTION" -> tax
  auto summary = document->Get(DocumentTable::kTaxSummary)->Clone();
  for (; !summary->Eof(); summary->MoveNext()) {
    taxes[NzStr(summary->Get("USA74_TAXGROUP")) + " " +
          NzStr(summary->Get("USA74_TAXJURISDICTION"))] = NzStr(summary->Get("USA74_IMPORTO"));
  }
  EXPECT_EQ(taxes.size(), 16u);  // four groups by four jurisdictions
  EXPECT_EQ(taxes["GENERAL TX-ST"], "24.94");
  EXPECT_EQ(taxes["GENERAL TX-CO-PEC"], "2");
  EXPECT_EQ(taxes["GENERAL TX-CI-MSP"], "3.99");
  EXPECT_EQ(taxes["GENERAL TX-DI-MTA"], "1");
  EXPECT_EQ(taxes["CLOTHING TX-ST"], "16.13");
  EXPECT_EQ(taxes["CLOTHING TX-DI-MTA"], "0.65");
  EXPECT_EQ(taxes["GROCERY TX-ST"], "0");
  EXPECT_EQ(taxes["FREIGHT TX-ST"], "0.81");
  EXPECT_EQ(taxes["FREIGHT TX-DI-MTA"], "0.03");
  EXPECT_EQ(engine->GetTotaleTasse().dec(), D("53.61"));
  body->MoveFirst();
  EXPECT_EQ(body->Get("DO30_TOTSTAX").dec(), D("8"));  // GENERAL: 6.25 + 0.5 + 1 + 0.25

  // Counterparts: one line per revenue account.
  EXPECT_EQ(document->Get(DocumentTable::kCounterparts)->RecordCount(), 4);
  RegisterDocument(api, *connection);
  auto stored = connection->Execute(
      "SELECT COUNT(*) AS N, SUM(DO74_USAIMPORTO) AS T FROM DO74_USATAX WHERE "
      "DO74_USANUMREG_CO99 = '2026000101'");
  EXPECT_EQ(stored->Get("N").CLng(), 16);
  EXPECT_EQ(NzDecimal(stored->Get("T")).RoundHalfEven(2), D("53.61"));
  auto lines = connection->Execute(
      "SELECT SUM(DO73_IMPTOTALE_CG42) AS T FROM DO73_DOCCONTROPARTITE WHERE "
      "DO73_NUMREG_CO99 = '2026000101'");
  EXPECT_EQ(NzDecimal(lines->Get("T")).RoundHalfEven(2), D("807.95"));
}

}  // namespace
}  // namespace tarvolin
