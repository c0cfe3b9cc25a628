#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/postgres_test_server.h"
#include "support/documents.h"
#include "support/errors.h"
#include "support/recordsets.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/registration.h"
#include "ustax/usa74_fixture.h"

namespace tarvolin {
namespace {

using Strings = std::vector<std::string>;
using testing_support::Fields;
using testing_support::Raises;

Variant Dec(const char* text) { return Variant(Decimal::Parse(text)); }

// On both backends: the stored rows read back the same from either.
class LedgerTaxSummaryStore : public testing_support::EngineBench,
                              public ::testing::WithParamInterface<testing_support::Backend> {
 protected:
  LedgerTaxSummaryStore() : EngineBench(GetParam()) {
    header_->Set("DO11_NUMREG_CO99", Variant("2026000901"));
    // Rows stored earlier for the document, and company 2's under the same number.
    Sql("INSERT INTO DO73_DOCCONTROPARTITE (DO73_DITTA_CG18, DO73_NUMREG_CO99, DO73_PROG)"
        " VALUES (1, '2026000901', 7), (2, '2026000901', 1);"
        "INSERT INTO DO74_USATAX (DO74_USADITTA_CG18, DO74_USANUMREG_CO99, DO74_USANUMRIGA)"
        " VALUES (1, '2026000901', 9), (2, '2026000901', 1);");
  }

  void SetUp() override {
    if (GetParam() == testing_support::Backend::kPostgres) SKIP_WITHOUT_POSTGRES();
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
      // DECIMAL(38,20): must read back as written, not as the nearest double.
      tax->Set("USA74_IMPNOTROUND", Dec(row == 2 ? "0.8094" : "24.9375"));
    }
    tax->SetSort("USA74_NUMRIGA DESC");  // the writer keeps the rows' own order
  }

  // Every row of both tables, each value described, ordered by company, document, line.
  Strings StoredDocument() {
    Strings rows;
    for (const char* table : {"DO73_DOCCONTROPARTITE", "DO74_USATAX"}) {
      auto rs = Read(std::string("SELECT * FROM ") + table + " ORDER BY 1, 2, 3");
      for (; !rs->Eof(); rs->MoveNext()) {
        std::string row;
        for (int i = 0; i < rs->FieldCount(); ++i) row += rs->Get(FieldRef(i)).Describe() + "|";
        rows.push_back(row);
      }
    }
    return rows;
  }
  std::shared_ptr<Recordset> Read(const std::string& sql) { return demo_.database().Execute(sql); }
  int Count(const char* table, const char* company_column, int company) {
    return Read(std::string("SELECT * FROM ") + table + " WHERE " + company_column + " = " +
                std::to_string(company))
        ->RecordCount();
  }
};

TEST_P(LedgerTaxSummaryStore, CounterpartsAreRewrittenWithTheirNullAndZeroRules) {
  FillDocument();
  engine_->RegistraContropartite();
  ASSERT_EQ(connection_->statements(), 3);
  EXPECT_NE(log()[1].find("'O''Brien supplies'"), std::string::npos) << log()[1];

  auto rs =
      Read("SELECT * FROM DO73_DOCCONTROPARTITE WHERE DO73_DITTA_CG18 = 1 ORDER BY DO73_PROG");
  ASSERT_EQ(rs->RecordCount(), 2);  // line 7 stored earlier is gone
  // Codes and amounts never set are written as 0; a zero amount in currency as NULL.
  const std::initializer_list<std::string_view> fields = {
      "DO73_DESCR_CG24",        "DO73_CODICE_CG31", "DO73_IMPTOTALE_CG42",
      "DO73_IMPTOTALEVAL_CG42", "DO73_ASSETCODE",   "DO73_IMPOSTA_CG43"};
  EXPECT_EQ(Fields(*rs, fields),
            "String \"O'Brien supplies\", Long 0, Decimal 150.50000, Null, String \"\", "
            "Decimal 0.00000");
  rs->MoveNext();
  EXPECT_EQ(Fields(*rs, fields),
            "String \"\", Long 0, Decimal 0.00000, Decimal 12.25000, String \"FA-0004\", "
            "Decimal 1.50000");
  EXPECT_EQ(Count("DO73_DOCCONTROPARTITE", "DO73_DITTA_CG18", 2), 1);
}

TEST_P(LedgerTaxSummaryStore, TaxSummaryKeepsFixedLengthCodesExactAmountsAndRowOrder) {
  FillDocument();
  engine_->RegistraCastellettoIVA();
  ASSERT_EQ(connection_->statements(), 4);

  auto rs = Read("SELECT * FROM DO74_USATAX WHERE DO74_USADITTA_CG18 = 1 ORDER BY 3");
  ASSERT_EQ(rs->RecordCount(), 3);  // line 9 stored earlier is gone
  EXPECT_EQ(rs->Get("DO74_USACONTO").CStr(), "41        ");
  EXPECT_EQ(rs->Get("DO74_USATAXJUR").CStr(), "TX-ST     ");
  EXPECT_FALSE(rs->Get("DO74_USAIMPORTO_VAL").IsNull());
  rs->MoveNext();
  EXPECT_FALSE(rs->Get("DO74_USACONTO").IsNull());  // blank: an empty text
  EXPECT_EQ(NzStr(rs->Get("DO74_USACONTO")), "");
  EXPECT_EQ(rs->Get("DO74_IMPNOTROUND").CDec(), Decimal::Parse("0.8094"));
  rs->MoveNext();
  EXPECT_EQ(rs->Get("DO74_USATAXGROUP").CStr(), "CLOTHING  ");
}

TEST_P(LedgerTaxSummaryStore, RegisterDocumentIsAllOrNothing) {
  FillDocument();
  const Strings before = StoredDocument();
  // Fail each statement in turn until a run completes: 1 + 2 and 1 + 3 statements.
  // A run that fails on its own would loop for ever: stop after a few more.
  int failing = 1;
  for (; failing <= 12; ++failing) {
    connection_->Reset();
    connection_->SetBeforeEach([failing](int64_t ordinal, std::string_view) {
      if (ordinal == failing)
        Raise(err::kDatabaseError, "Injected", "statement " + std::to_string(ordinal));
    });
    try {
      RegisterDocument(*engine_, *connection_);
      break;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kDatabaseError);
      EXPECT_EQ(e.source(),
                std::string(failing <= 3 ? "RegistraContropartite:" : "RegistraCastellettoIVA:") +
                    "\r\nInjected");
      EXPECT_EQ(StoredDocument(), before) << "failing statement " << failing;
      EXPECT_EQ(demo_.database().TransactionLevel(), 0);
    }
  }
  EXPECT_EQ(failing, 8);
  EXPECT_EQ(connection_->statements(), 7);
  EXPECT_EQ(Count("DO73_DOCCONTROPARTITE", "DO73_DITTA_CG18", 1), 2);
  EXPECT_EQ(Count("DO74_USATAX", "DO74_USADITTA_CG18", 1), 3);
}

TEST_P(LedgerTaxSummaryStore, ErrorsCarryTheWriterLabel) {
  // A value the number formatter cannot read fails after the delete has run.
  document_->Set(DocumentTable::kCounterparts,
                 MakeRecordset({{"CG42_NUMRIGACONT", DataType::kVariant},
                                {"CG42_CODICE_CG31", DataType::kVariant},
                                {"CG42_CONTOPAR_CG24", DataType::kVariant}},
                               {{Variant(int32_t{1}), Variant("x1"), Variant("4010")}}));
  EXPECT_TRUE(Raises([&] { engine_->RegistraContropartite(); }, err::kTypeMismatch,
                     "RegistraContropartite:\r\n", "x1"));
  EXPECT_EQ(connection_->statements(), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, LedgerTaxSummaryStore,
                         ::testing::Values(testing_support::Backend::kSqlite,
                                           testing_support::Backend::kPostgres),
                         [](const auto& info) {
                           return std::string(testing_support::BackendName(info.param));
                         });

}  // namespace
}  // namespace tarvolin
