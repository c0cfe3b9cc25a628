#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/statements.h"
#include "support/documents.h"
#include "support/errors.h"
#include "support/recordsets.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

using testing_support::Fields;
using Links = std::vector<std::pair<int, int>>;

Variant Dec(const char* text) { return Variant(Decimal::Parse(text)); }

std::string AccountSql(const std::string& account) {
  return statements::AccountDescription("1", "1", account);
}
std::string AssetSql(const std::string& asset) {
  return statements::AssetDescription("TVASSETS", 1, asset);
}

class LedgerCounterparts : public testing_support::EngineBench {
 protected:
  LedgerCounterparts()
      : body_(NewDocumentRecordset(DocumentTable::kBody)),
        lines_(NewDocumentRecordset(DocumentTable::kCounterparts)),
        links_(NewDocumentRecordset(DocumentTable::kCounterpartLinks)) {
    for (const auto& [field, value] :
         std::initializer_list<std::pair<const char*, Variant>>{{"DO11_TIPOCF_CG44", int16_t{0}},
                                                                {"DO11_TIPODOC", int16_t{1}},
                                                                {"DO11_TAXAREA_NV01", "TX-MSP"},
                                                                {"DO11_FLGTAXLIABLE", int16_t{0}},
                                                                {"DO11_VALUTA_CG08", "USD"},
                                                                {"DO11_CAMBIO", int16_t{1}}}) {
      header_->Set(field, value);
    }
    document_->Set(DocumentTable::kCounterparts, lines_);
    document_->Set(DocumentTable::kCounterpartLinks, links_);
    engine_->OpenCastIva(std::nullopt);
  }

  void Add(int progriga, int type, const std::string& account, const std::string& asset,
           const std::string& group, const char* net, const char* net_val = nullptr) {
    body_->AddNew();
    body_->Set("DO30_PROGRIGA", Variant(int32_t{progriga}));
    body_->Set("DO30_INDTIPORIGA", Variant(int16_t(type)));
    body_->Set("DO30_CPMERCE_CG24", Variant(account));
    body_->Set("DO30_ASSETCODE", Variant(asset));
    body_->Set("DO30_TAXGROUP_NV04", Variant(group));
    body_->Set("DO30_IMPNETSCP", Dec(net));
    body_->Set("DO30_IMPNETSCP_VAL", net_val ? Dec(net_val) : Variant::Null());
    body_->Update();
    engine_->AggiungiContropartitaDaCorpo(body_);
  }
  // Body row and counterpart line of every link.
  Links LinkPairs() const {
    Links out;
    for (auto link = links_->Clone(); !link->Eof(); link->MoveNext()) {
      out.emplace_back(link->Get("DO30_PROGRIGA").CLng(), link->Get("CG42_NUMRIGACONT").CLng());
    }
    return out;
  }
  std::shared_ptr<Recordset> Line(int position) const {
    auto line = lines_->Clone();
    line->SetAbsolutePosition(position);
    return line;
  }
  std::shared_ptr<Recordset> TaxSummary() const {
    return document_->Recordsets().Get(DocumentTable::kTaxSummary)->Clone();
  }
  int64_t Runs(const std::string& sql) const { return std::count(log().begin(), log().end(), sql); }

  std::shared_ptr<Recordset> body_, lines_, links_;
};

TEST_F(LedgerCounterparts, RowsOfOneKeyShareALineAndEveryRowIsLinked) {
  Add(1, 1, "4010", "", "GENERAL", "100.00");
  Add(2, 1, "4010", "", "GENERAL", "50.50");
  Add(3, 1, "4010", "", "CLOTHING", "20");  // another tax group
  Add(4, 1, "4030", "", "GENERAL", "7");    // no company description
  for (int type : {2, 3, 5, 6, 8, 10, 11, 13}) Add(10 + type, type, "4010", "", "GENERAL", "999");
  EXPECT_TRUE(document_->State().counterpart_row_setting.IsEmpty());
  Add(5, 4, "4010", "", "GENERAL", "1");
  EXPECT_EQ(document_->State().counterpart_row_setting.Describe(), "Integer 0");

  EXPECT_EQ(LinkPairs(), (Links{{1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 1}}));
  ASSERT_EQ(lines_->RecordCount(), 3);
  EXPECT_EQ(
      Fields(*Line(1), {"CG42_NUMRIGACONT", "CG42_IMPTOTALE", "CG42_IMPTOTALEVAL", "CG42_INDDAAV",
                        "CG24_DESCR", "TAXGROUPCODE", "CG43_IMPOSTA"}),
      "Long 1, Decimal 151.50, Decimal 0, Integer 2, String \"Sales - camping and lighting\", "
      "String \"GENERAL\", Decimal 0");
  EXPECT_EQ(Line(3)->Get("CG24_DESCR").CStr(), "Sales - food");
  // One description statement per new line, nothing for rows that join one.
  EXPECT_EQ(log(),
            (std::vector<std::string>{AccountSql("4010"), AccountSql("4010"), AccountSql("4030")}));
  EXPECT_EQ(TaxSummary()->RecordCount(), 0);  // not tax-liable
}

TEST_F(LedgerCounterparts, DebitOrCreditByPartyAndDocumentKind) {
  const struct {
    int party, kind;
    const char* side;
  } cases[] = {{0, 1, "Integer 2"}, {0, 6, "Integer 1"}, {1, 1, "Integer 1"},
               {1, 6, "Integer 2"}, {2, 1, "Empty"},     {2, 6, "Empty"}};
  for (const auto& c : cases) {
    lines_ = NewDocumentRecordset(DocumentTable::kCounterparts);
    document_->Set(DocumentTable::kCounterparts, lines_);
    header_->Set("DO11_TIPOCF_CG44", Variant(int16_t(c.party)));
    header_->Set("DO11_TIPODOC", Variant(int16_t(c.kind)));
    Add(1, 1, "4010", "", "GENERAL", "1");
    EXPECT_EQ(Line(1)->Get("CG42_INDDAAV").Describe(), c.side) << c.party << "/" << c.kind;
  }
}

TEST_F(LedgerCounterparts, AssetsAndQuotedCodes) {
  Add(1, 1, "1510", "FA-0004", "GENERAL", "2499.08");
  Add(2, 1, "1510", "FA-0009", "GENERAL", "1");  // no such asset
  Add(3, 1, "O'K", "A'1", "G'1", "2");           // codes with quotes
  Add(4, 1, "O'K", "A'1", "G'1", "3");           // the same line again
  EXPECT_EQ(Fields(*Line(1), {"ASSETDESCR", "CG24_DESCR"}),
            "String \"Pallet racking, 12 bays\", String \"Warehouse equipment\"");
  EXPECT_EQ(Line(2)->Get("ASSETDESCR").CStr(), "");
  EXPECT_EQ(Line(3)->Get("CG42_IMPTOTALE").dec(), Decimal(5));
  EXPECT_EQ(LinkPairs().back(), std::make_pair(4, 3));
  EXPECT_EQ(Runs(AssetSql("FA-0004")), 1);
  EXPECT_EQ(Runs(AssetSql("A'1")), 1);
  EXPECT_EQ(Runs(AccountSql("O'K")), 1);

  // No external database configured: no description and no asset statement.
  Sql("DELETE FROM CO60_CONFVEXNAV");
  connection_->Reset();
  Add(5, 1, "1510", "FA-0001", "GENERAL", "1");
  EXPECT_EQ(Line(4)->Get("ASSETDESCR").CStr(), "");
  for (const std::string& sql : log()) EXPECT_EQ(sql.find("VS02_ASSET"), sql.npos);
}

// Lines found for earlier rows are not trusted once someone else changed them.
TEST_F(LedgerCounterparts, LinesChangedBetweenRowsAreLookedUpAgain) {
  header_->Set("DO11_FLGTAXLIABLE", Variant(int16_t{1}));
  Add(1, 1, "4010", "", "GENERAL", "100.00");
  Add(2, 1, "4010", "", "GENERAL", "50.00");
  Line(1)->Set("CG42_CONTOPAR_CG24", Variant("4099"));
  auto first_tax_line = TaxSummary();
  first_tax_line->Delete();
  Add(3, 1, "4010", "", "GENERAL", "7.00");

  EXPECT_EQ(LinkPairs(), (Links{{1, 1}, {2, 1}, {3, 2}}));
  EXPECT_EQ(Fields(*Line(2), {"CG42_CONTOPAR_CG24", "CG42_IMPTOTALE"}),
            "String \"4010\", Decimal 7.00");
  auto tax = TaxSummary();
  std::vector<std::string> bases;
  for (; !tax->Eof(); tax->MoveNext()) {
    bases.push_back(Fields(*tax, {"USA74_NUMRIGA", "USA74_TAXJURISDICTION", "USA74_IMPONIBILE"}));
  }
  // The deleted jurisdiction's line comes back, numbered by the lines left.
  EXPECT_EQ(bases, (std::vector<std::string>{"Decimal 2, String \"TX-CI-MSP \", Decimal 157.00",
                                             "Decimal 3, String \"TX-CO-PEC \", Decimal 157.00",
                                             "Decimal 4, String \"TX-ST     \", Decimal 157.00",
                                             "Decimal 4, String \"TX-DI-MTA \", Decimal 7.00"}));
}

// A posting adds to the summary line the document has for its jurisdiction and
// group, whoever made it: a line added by a direct call, or for another area.
TEST_F(LedgerCounterparts, TaxBasesJoinTheLinesTheDocumentHas) {
  header_->Set("DO11_FLGTAXLIABLE", Variant(int16_t{1}));
  Add(1, 1, "4010", "", "GENERAL", "100.00");
  engine_->AggiungiImponibileTassa("TX-ST     ", "CLOTHING", "", "", Dec("5.00"), 40,
                                   Variant(int16_t{0}));
  Add(2, 1, "4010", "", "CLOTHING", "50.00");
  header_->Set("DO11_TAXAREA_NV01", Variant("TX-PEC"));  // shares the state and county
  Add(3, 1, "4010", "", "GENERAL", "7.00");

  std::map<std::string, std::string> bases;
  for (auto tax = TaxSummary(); !tax->Eof(); tax->MoveNext()) {
    bases[tax->Get("USA74_TAXJURISDICTION").CStr() + tax->Get("USA74_TAXGROUP").CStr()] +=
        tax->Get("USA74_IMPONIBILE").CStr() + ";";
  }
  EXPECT_EQ(bases, (std::map<std::string, std::string>{{"TX-ST     GENERAL   ", "107;"},
                                                       {"TX-CO-PEC GENERAL   ", "107;"},
                                                       {"TX-CI-MSP GENERAL   ", "100;"},
                                                       {"TX-DI-MTA GENERAL   ", "100;"},
                                                       {"TX-DI-PEH GENERAL   ", "7;"},
                                                       {"TX-ST     CLOTHING  ", "55;"},
                                                       {"TX-CO-PEC CLOTHING  ", "50;"},
                                                       {"TX-CI-MSP CLOTHING  ", "50;"},
                                                       {"TX-DI-MTA CLOTHING  ", "50;"}}));
}

}  // namespace
}  // namespace tarvolin
