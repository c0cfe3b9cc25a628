#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/demo_database.h"
#include "tarvolin/db/counting_connection.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/host_document.h"
#include "tarvolin/host/registration.h"

namespace tarvolin {
namespace {

using Strings = std::vector<std::string>;

Variant Dec(const char* text) { return Variant(Decimal::Parse(text)); }

constexpr char kDoc[] = "2026000901";

class LedgerTaxSummaryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    counting_ = std::make_shared<CountingConnection>(
        std::shared_ptr<Connection>(&demo_.connection(), [](Connection*) {}));
    auto company = std::make_shared<CurrentCompany>();
    company->company_number = 1;
    company->currency_code = "USD";
    document_ = std::make_shared<HostDocument>(company);
    auto header = NewDocumentRecordset(DocumentTable::kHeader);
    AppendRow(*header, {});
    header->Set("DO11_NUMREG_CO99", Variant(kDoc));
    document_->Set(DocumentTable::kHeader, header);
    engine_ =
        std::make_shared<CLSMG_TARVOLIN>([] { return std::make_shared<HostCalculationHelper>(); });
    engine_->set_cc(document_);
    engine_->set_ADOConnection(counting_);
    // Rows stored earlier for the document, and company 2's under the same number.
    demo_.connection().ExecuteScript(
        "INSERT INTO DO73_DOCCONTROPARTITE (DO73_DITTA_CG18, DO73_NUMREG_CO99, DO73_PROG)"
        " VALUES (1, '2026000901', 7), (2, '2026000901', 1);"
        "INSERT INTO DO74_USATAX (DO74_USADITTA_CG18, DO74_USANUMREG_CO99, DO74_USANUMRIGA)"
        " VALUES (1, '2026000901', 9), (2, '2026000901', 1);");
  }

  void FillDocument() {
    auto lines = NewDocumentRecordset(DocumentTable::kCounterparts);
    AppendRow(*lines, {});
    lines->Set("CG42_NUMRIGACONT", Variant(int32_t{1}));
    lines->Set("CG42_CONTOPAR_CG24", Variant("4010"));
    lines->Set("CG24_DESCR", Variant("O'Brien supplies"));
    lines->Set("CG42_INDDAAV", Variant(int16_t{2}));
    lines->Set("CG42_IMPTOTALE", Dec("150.50"));
    lines->Set("CG42_IMPTOTALEVAL", Variant(int16_t{0}));
    lines->Set("TAXGROUPCODE", Variant("GENERAL"));
    AppendRow(*lines, {});
    lines->Set("CG42_NUMRIGACONT", Variant(int32_t{2}));
    lines->Set("CG42_CONTOPAR_CG24", Variant("1510"));
    lines->Set("CG42_IMPTOTALE", Variant(int16_t{0}));
    lines->Set("CG42_IMPTOTALEVAL", Dec("12.25"));
    lines->Set("ASSETCODE", Variant("FA-0004"));
    lines->Set("CG43_IMPOSTA", Dec("1.5"));
    document_->Set(DocumentTable::kCounterparts, lines);

    engine_->OpenCastIva(std::nullopt);
    auto tax = document_->Recordsets().Get(DocumentTable::kTaxSummary);
    for (int row = 1; row <= 3; ++row) {
      AppendRow(*tax, {Variant(int32_t{row}), Variant(row == 1 ? "41" : ""), Variant(""),
                       Variant("TX-ST"), Variant(""), Variant(row == 3 ? "CLOTHING" : "GENERAL")});
      tax->Set("USA74_IMPONIBILE", Dec("399.00"));
      tax->Set("USA74_IMPORTO", Dec("24.94"));
      tax->Set("USA74_IMPNOTROUND", Dec("24.9375"));
    }
    tax->SetSort("USA74_NUMRIGA DESC");  // the writer keeps the rows' own order
  }

  Strings Stored(const std::string& sql) {
    Strings rows;
    for (auto rs = demo_.connection().Execute(sql); !rs->Eof(); rs->MoveNext()) {
      std::string row;
      for (int i = 0; i < rs->FieldCount(); ++i) row += rs->Get(FieldRef(i)).Describe() + "|";
      rows.push_back(row);
    }
    return rows;
  }
  Strings StoredDocument() {
    Strings rows = Stored("SELECT * FROM DO73_DOCCONTROPARTITE ORDER BY 1, 2, 3");
    for (std::string& row : Stored("SELECT * FROM DO74_USATAX ORDER BY 1, 2, 3")) {
      rows.push_back(row);
    }
    return rows;
  }
  std::shared_ptr<Recordset> Read(const std::string& sql) {
    return demo_.connection().Execute(sql);
  }

  testing_support::DemoDatabase demo_;
  std::shared_ptr<CountingConnection> counting_;
  std::shared_ptr<HostDocument> document_;
  std::shared_ptr<CLSMG_TARVOLIN> engine_;
};

TEST_F(LedgerTaxSummaryStore, OpenCastIvaGivesANewEmptyTaxSummary) {
  engine_->OpenCastIva(std::nullopt);
  auto first = document_->Recordsets().Get(DocumentTable::kTaxSummary);
  ASSERT_EQ(first->FieldCount(), 23);
  // name type size precision scale attributes, for a sample of the kinds of field.
  const auto shape = [&](int i) {
    const FieldInfo& f = first->Field(i);
    return f.name + " " + std::to_string(static_cast<int>(f.type)) + " " +
           std::to_string(f.defined_size) + " " + std::to_string(f.precision) + " " +
           std::to_string(f.numeric_scale) + " " + std::to_string(f.attributes);
  };
  EXPECT_EQ(shape(0), "USA74_NUMRIGA 14 2 0 0 32");
  EXPECT_EQ(shape(1), "USA74_CONTO 129 10 0 0 32");
  EXPECT_EQ(shape(6), "USA74_DESCRTAXGROUP 200 50 0 0 32");
  EXPECT_EQ(shape(10), "USA74_IMPORTO_VAL 14 13 13 2 32");
  EXPECT_EQ(shape(11), "USA74_CALCORDER 14 2 0 0 32");
  EXPECT_EQ(shape(13), "USA74_TAXAMPERC 14 7 7 4 32");
  EXPECT_EQ(shape(18), "USA74_ROUNDINGMETHOD 14 1 1 0 32");
  EXPECT_EQ(shape(21), "USA74_IMPNOTROUND 14 38 38 20 32");
  EXPECT_EQ(shape(22), "USA74_ASSETCODE 200 20 0 0 32");

  AppendRow(*first, {Variant(int32_t{1})});
  engine_->OpenCastIva(std::nullopt);
  auto second = document_->Recordsets().Get(DocumentTable::kTaxSummary);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->State(), ObjectState::kOpen);
  EXPECT_EQ(second->RecordCount(), 0);
}

TEST_F(LedgerTaxSummaryStore, CounterpartsAreRewrittenWithTheirNullAndZeroRules) {
  FillDocument();
  engine_->RegistraContropartite();
  ASSERT_EQ(counting_->statements(), 3);
  EXPECT_EQ(counting_->log()[0],
            "  DELETE FROM      DO73_DOCCONTROPARTITE  WHERE      DO73_DITTA_CG18 = 1      AND "
            "DO73_NUMREG_CO99 = '2026000901'");
  EXPECT_EQ(counting_->log()[1],
            "          INSERT INTO\r\n     DO73_DOCCONTROPARTITE\r\n (\r\n     DO73_DITTA_CG18\r\n"
            "     , DO73_NUMREG_CO99\r\n     , DO73_PROG\r\n     , DO73_CODICE_CG31\r\n"
            "     , DO73_CONTOPAR_CG24\r\n     , DO73_DESCR_CG24\r\n     , DO73_INDDAAV_CG42\r\n"
            "     , DO73_IMPTOTALE_CG42\r\n     , DO73_IMPTOTALEVAL_CG42\r\n"
            "     , DO73_PROVCONTOPAR\r\n     , DO73_ASSETCODE\r\n     , DO73_TAXGROUP\r\n"
            "     , DO73_IMPOSTA_CG43\r\n )\r\n VALUES\r\n (\r\n     1\r\n     , '2026000901'\r\n"
            "     , 1\r\n     , 0\r\n     , '4010'\r\n     , 'O''Brien supplies'\r\n     , 2\r\n"
            "     , 150.5\r\n     , NULL\r\n     , 0\r\n     , ''\r\n     , 'GENERAL'\r\n"
            "     , 0\r\n )\r\n");

  auto rs =
      Read("SELECT * FROM DO73_DOCCONTROPARTITE WHERE DO73_DITTA_CG18 = 1 ORDER BY DO73_PROG");
  ASSERT_EQ(rs->RecordCount(), 2);  // line 7 stored earlier is gone
  EXPECT_EQ(rs->Get("DO73_DESCR_CG24").CStr(), "O'Brien supplies");
  EXPECT_EQ(rs->Get("DO73_CODICE_CG31").CLng(), 0);  // never set: 0, not NULL
  EXPECT_TRUE(rs->Get("DO73_IMPTOTALEVAL_CG42").IsNull());
  rs->MoveNext();
  EXPECT_FALSE(rs->Get("DO73_IMPTOTALE_CG42").IsNull());
  EXPECT_TRUE(rs->Get("DO73_IMPTOTALE_CG42").CDec().is_zero());
  EXPECT_EQ(rs->Get("DO73_IMPTOTALEVAL_CG42").CDec(), Decimal::Parse("12.25"));
  EXPECT_EQ(rs->Get("DO73_ASSETCODE").CStr(), "FA-0004");
  EXPECT_EQ(rs->Get("DO73_IMPOSTA_CG43").CDec(), Decimal::Parse("1.5"));
  EXPECT_EQ(Stored("SELECT * FROM DO73_DOCCONTROPARTITE WHERE DO73_DITTA_CG18 = 2").size(), 1u);
}

TEST_F(LedgerTaxSummaryStore, TaxSummaryKeepsFixedLengthCodesAndRowOrder) {
  FillDocument();
  engine_->RegistraCastellettoIVA();
  ASSERT_EQ(counting_->statements(), 4);
  EXPECT_EQ(counting_->log()[0],
            "  DELETE FROM      DO74_USATAX  WHERE      DO74_USADITTA_CG18 = 1      AND "
            "DO74_USANUMREG_CO99 = '2026000901'");
  const std::string& first = counting_->log()[1];
  EXPECT_NE(first.find(" )\r\n VALUES\r\n (\r\n     1\r\n     , '2026000901'\r\n     , 1\r\n"
                       "     , 'TX-ST     '\r\n     , 'GENERAL   '\r\n     , '41        '\r\n"
                       "     , 24.94\r\n     , 0\r\n     , 399\r\n     , 0\r\n     , 24.9375\r\n"
                       "     , ''\r\n )\r\n"),
            first.npos)
      << first;
  EXPECT_NE(counting_->log()[2].find("     , ''\r\n     , 24.94"), std::string::npos);

  auto rs = Read("SELECT * FROM DO74_USATAX WHERE DO74_USADITTA_CG18 = 1 ORDER BY 3");
  ASSERT_EQ(rs->RecordCount(), 3);  // line 9 stored earlier is gone
  EXPECT_EQ(rs->Get("DO74_USACONTO").CStr(), "41        ");
  EXPECT_EQ(rs->Get("DO74_USATAXJUR").CStr(), "TX-ST     ");
  EXPECT_FALSE(rs->Get("DO74_USAIMPORTO_VAL").IsNull());
  rs->MoveNext();
  EXPECT_FALSE(rs->Get("DO74_USACONTO").IsNull());  // blank: an empty text
  EXPECT_EQ(NzStr(rs->Get("DO74_USACONTO")), "");
  rs->MoveNext();
  EXPECT_EQ(rs->Get("DO74_USATAXGROUP").CStr(), "CLOTHING  ");
}

TEST_F(LedgerTaxSummaryStore, NothingToWriteStillDeletesTheDocument) {
  engine_->RegistraContropartite();  // no counterparts recordset
  document_->Set(DocumentTable::kCounterparts, NewDocumentRecordset(DocumentTable::kCounterparts));
  engine_->RegistraContropartite();  // an empty one
  engine_->OpenCastIva(std::nullopt);
  engine_->RegistraCastellettoIVA();
  EXPECT_EQ(counting_->statements(), 3);
  EXPECT_EQ(Stored("SELECT * FROM DO73_DOCCONTROPARTITE WHERE DO73_DITTA_CG18 = 1").size(), 0u);
  EXPECT_EQ(Stored("SELECT * FROM DO74_USATAX WHERE DO74_USADITTA_CG18 = 1").size(), 0u);
  EXPECT_EQ(Stored("SELECT * FROM DO74_USATAX WHERE DO74_USADITTA_CG18 = 2").size(), 1u);
}

TEST_F(LedgerTaxSummaryStore, RegisterDocumentIsAllOrNothing) {
  FillDocument();
  const Strings before = StoredDocument();
  // Fail each statement in turn until a run completes: 1 + 2 and 1 + 3 statements.
  int failing = 1;
  for (;; ++failing) {
    counting_->Reset();
    counting_->SetBeforeEach([failing](int64_t ordinal, std::string_view) {
      if (ordinal == failing)
        Raise(err::kDatabaseError, "Injected", "statement " + std::to_string(ordinal));
    });
    try {
      RegisterDocument(*engine_, *counting_);
      break;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kDatabaseError);
      EXPECT_EQ(e.source(),
                std::string(failing <= 3 ? "RegistraContropartite:" : "RegistraCastellettoIVA:") +
                    "\r\nInjected");
      EXPECT_EQ(StoredDocument(), before) << "failing statement " << failing;
      EXPECT_EQ(demo_.connection().TransactionLevel(), 0);
    }
  }
  EXPECT_EQ(failing, 8);
  EXPECT_EQ(counting_->statements(), 7);
  EXPECT_EQ(Stored("SELECT * FROM DO73_DOCCONTROPARTITE WHERE DO73_DITTA_CG18 = 1").size(), 2u);
  EXPECT_EQ(Stored("SELECT * FROM DO74_USATAX WHERE DO74_USADITTA_CG18 = 1").size(), 3u);
}

TEST_F(LedgerTaxSummaryStore, ErrorsCarryTheWriterLabel) {
  // A value the number formatter cannot read fails after the delete has run.
  auto lines = MakeRecordset({{"CG42_NUMRIGACONT", DataType::kVariant},
                              {"CG42_CODICE_CG31", DataType::kVariant},
                              {"CG42_CONTOPAR_CG24", DataType::kVariant}},
                             {{Variant(int32_t{1}), Variant("x1"), Variant("4010")}});
  document_->Set(DocumentTable::kCounterparts, lines);
  try {
    engine_->RegistraContropartite();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kTypeMismatch);
    EXPECT_EQ(e.source().rfind("RegistraContropartite:\r\n", 0), 0u) << e.source();
    EXPECT_NE(e.description().find("x1"), std::string::npos) << e.description();
  }
  EXPECT_EQ(counting_->statements(), 1);
}

}  // namespace
}  // namespace tarvolin
