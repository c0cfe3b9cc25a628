// Every statement form the engine builds, built here exactly as the engine
// builds it (fragments, CR LF breaks, values concatenated in), run on the demo
// company database on SQLite and on PostgreSQL, and checked against the rows the server would
// return.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/demo_database.h"
#include "tarvolin/automation/decimal.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/automation/variant.h"
#include "tarvolin/db/connection.h"

namespace tarvolin {
namespace {

using Strings = std::vector<std::string>;

// The engine's reads: right-trimmed text, "" for Null; Null and blank as 0.
std::string NzStr(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  std::string text = value.CStr();
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}
Decimal NzDec(const Variant& value) { return NzStr(value).empty() ? Decimal(0) : value.CDec(); }

// An amount, compared by value (12.50 equals 12.5); Null is never one. A
// null expected means "no row" (First gives Empty for that).
::testing::AssertionResult IsAmount(const Variant& value, const char* expected) {
  const bool ok = expected == nullptr ? value.IsEmpty()
                                      : !value.IsNull() && !value.IsEmpty() &&
                                            value.CDec() == Decimal::Parse(expected);
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << value.Describe() << ", expected " << (expected == nullptr ? "no row" : expected);
}

// ---- Statements, as the engine builds them ----------------------------------

std::string CurrencyListSql(int company) {
  return " SELECT    CG08_CODICE,    CG08_NUMDEC,    MG49_NUMDEC FROM    CG08_TABVALUTE WITH"
         " (NOLOCK) LEFT JOIN MG49_PARMAGAZDEC WITH (NOLOCK) ON    MG49_DITTA_CG18 = " +
         std::to_string(company) + " AND    MG49_CODICE_CG08 = CG08_CODICE ORDER BY    CG08_CODICE";
}

std::string ExpenseSql(const std::string& code) {
  return " SELECT    MG04_INDTIPOALIQ,    MG04_ALIQ_CG28,    MG04_INDTIPOSPESA,    MG04_INDTIPOTOT"
         " FROM    MG04_SPESE WITH (NOLOCK) WHERE    MG04_CODICE = '" +
         code + "'";
}

// With a base (SQL number text): the bracket holding it; without: every bracket.
std::string BracketsSql(const std::string& code, const std::string& currency,
                        std::optional<std::string> base = std::nullopt) {
  std::string sql =
      " SELECT    MG05_FINOA,    MG05_IMPORTO,    MG05_PERC FROM    MG05_SCAGLSPESE"
      " WITH (NOLOCK) WHERE    MG05_CODICE_MG04 = '" +
      code + "' AND    MG05_CODICE_CG08 = '" + currency + "'";
  if (base) sql += " AND    MG05_FINOA >= " + *base;
  return sql + " ORDER BY    MG05_FINOA";
}

std::string TaxDetailSql(const std::string& jurisdiction, const std::string& group,
                         const std::string& yyyymmdd) {
  return "SELECT TOP 1\r\n    *\r\nFROM\r\n    NV05_TAXDETAIL WITH (NOLOCK)\r\n"
         "    LEFT OUTER JOIN\r\n    NV02_TAXJURISDICTION WITH (NOLOCK)\r\n    ON\r\n"
         "    NV05_TAXJURCODE_NV02 = NV02_CODE\r\nWHERE\r\n    NV05_TAXJURCODE_NV02 = '" +
         jurisdiction + "'\r\n    AND NV05_TAXGROUPCODE_NV04 = '" + group +
         "'\r\n    AND NV05_TAXTYPE IN (0, 2)\r\n    AND NV05_EFFECTIVEDATE <= '" + yyyymmdd +
         "'\r\nORDER BY\r\n    NV05_EFFECTIVEDATE DESC\r\n    , NV05_TAXTYPE DESC";
}

std::string TaxAreaLinesSql(const std::string& area) {
  return "SELECT\r\n    NV03_TAXAREALINE.*\r\n    , NV01_ROUNDTAX\r\n    , NV02_TAXACCOUNTSALES"
         "\r\n    , NV02_TAXACCOUNTPURCHASES\r\nFROM\r\n    NV03_TAXAREALINE WITH (NOLOCK)\r\n"
         "    INNER JOIN\r\n    NV01_TAXAREA WITH (NOLOCK)\r\n    ON\r\n"
         "    NV03_TAXAREACODE_NV01 = NV01_CODE\r\n    INNER JOIN\r\n"
         "    NV02_TAXJURISDICTION WITH (NOLOCK)\r\n    ON\r\n    NV03_TAXJURCODE_NV02 = NV02_CODE"
         "\r\nWHERE\r\n    NV03_TAXAREACODE_NV01 = '" +
         area + "'\r\nORDER BY\r\n    NV03_CALCULATIONORD\r\n    , NV03_TAXJURCODE_NV02";
}

constexpr const char* kTaxDecimalsSql =
    "SELECT\r\n    FW95_VALORE\r\nFROM\r\n    FW95_SETTINGS\r\nWHERE\r\n"
    "    FW95_CODICE = 'NAV_DECIMALI_TASSE'";
constexpr const char* kExternalDatabaseSql = " select top 1 CO60_DATABASE from CO60_CONFVEXNAV ";

// The tax-group (NV04, NV04_TAXGROUP) and jurisdiction (NV02, NV02_TAXJURISDICTION) twins.
std::string DescriptionSql(const std::string& prefix, const std::string& table,
                           const std::string& code) {
  return "SELECT\r\n    ISNULL(" + prefix + "_DESCRIPTION, '') AS DESCRIZIONE\r\nFROM\r\n    " +
         table + " WITH (NOLOCK)\r\nWHERE\r\n    " + prefix + "_CODE = '" + code + "'\r\n";
}

std::string AccountDescriptionSql(int company, const std::string& account) {
  return " SELECT    CASE        WHEN CG39_DESCR IS NULL THEN CG24_DESCR        ELSE CG39_DESCR"
         "    END AS CG24_DESCR FROM    CG24_TABPDC WITH (NOLOCK) LEFT OUTER JOIN CG39_PRSDESPDC"
         " WITH (NOLOCK) ON    CG39_DITTA_CG18 = " +
         std::to_string(company) +
         " AND    CG39_GRUPPO_CG10 = CG24_GRUPPO_CG10 AND    CG39_CONTO_CG24 = CG24_CONTO WHERE"
         "    CG24_GRUPPO_CG10 = 1 AND    CG24_CONTO = '" +
         account + "'";
}

std::string AssetDescriptionSql(const std::string& database, int company,
                                const std::string& asset) {
  return "SELECT TOP 1\r\n    VS02_DESCRIPTION\r\nFROM\r\n    [" + database +
         "].dbo.VS02_ASSET\r\nWHERE\r\n    VS02_COMPANYID = " + std::to_string(company) +
         "\r\n    AND VS02_ASSETNO = '" + asset + "'";
}

// The writers' formatters: text untrimmed with quotes doubled, numbers in SQL
// form; blank or zero as '' or 0, or as NULL where the writer asks for it.
std::string SqlText(const Variant& value, bool null_if_blank = false) {
  if (NzStr(value).empty()) return null_if_blank ? "NULL" : "''";
  std::string out = "'";
  for (char c : value.CStr()) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}
std::string SqlNumber(const Variant& value, bool null_if_zero = false) {
  const Decimal number = NzDec(value);
  if (number.is_zero()) return null_if_zero ? "NULL" : "0";
  return number.ToCStr();
}

// DO73 and DO74 name their key columns differently. Kinds of the values after
// company and registration number: T text, N number, n number with zero as
// NULL, 0 the literal 0 (no value given for it).
struct WrittenTable {
  std::string name, company_column, numreg_column;
  Strings other_columns;
  std::string_view kinds;
};
const WrittenTable kDo73 = {
    "DO73_DOCCONTROPARTITE",
    "DO73_DITTA_CG18",
    "DO73_NUMREG_CO99",
    {"DO73_PROG", "DO73_CODICE_CG31", "DO73_CONTOPAR_CG24", "DO73_DESCR_CG24", "DO73_INDDAAV_CG42",
     "DO73_IMPTOTALE_CG42", "DO73_IMPTOTALEVAL_CG42", "DO73_PROVCONTOPAR", "DO73_ASSETCODE",
     "DO73_TAXGROUP", "DO73_IMPOSTA_CG43"},
    "NNTTNNn0TTN"};
const WrittenTable kDo74 = {
    "DO74_USATAX",
    "DO74_USADITTA_CG18",
    "DO74_USANUMREG_CO99",
    {"DO74_USANUMRIGA", "DO74_USATAXJUR", "DO74_USATAXGROUP", "DO74_USACONTO", "DO74_USAIMPORTO",
     "DO74_USAIMPORTO_VAL", "DO74_USAIMPONIBILE", "DO74_USAIMPONIBILE_VAL", "DO74_IMPNOTROUND",
     "DO74_ASSETCODE"},
    "NTTTNNNNNT"};

std::string DeleteSql(const WrittenTable& table, int company, const std::string& numreg) {
  return "  DELETE FROM      " + table.name + "  WHERE      " + table.company_column + " = " +
         std::to_string(company) + "      AND " + table.numreg_column + " = '" + numreg + "'";
}

// One line per piece, each (the last too) followed by CR LF.
std::string InsertSql(const WrittenTable& table, int company, const std::string& numreg,
                      const std::vector<Variant>& values) {
  std::string sql = "          INSERT INTO\r\n     " + table.name + "\r\n (\r\n     " +
                    table.company_column + "\r\n     , " + table.numreg_column + "\r\n";
  for (const std::string& column : table.other_columns) sql += "     , " + column + "\r\n";
  sql += " )\r\n VALUES\r\n (\r\n     " + std::to_string(company) + "\r\n     , " +
         SqlText(numreg) + "\r\n";
  if (values.size() !=
      table.kinds.size() - std::count(table.kinds.begin(), table.kinds.end(), '0')) {
    throw std::invalid_argument("InsertSql: one value per T, N or n kind of " + table.name);
  }
  auto value = values.begin();
  for (char kind : table.kinds) {
    const std::string text = kind == '0'   ? "0"
                             : kind == 'T' ? SqlText(*value++)
                                           : SqlNumber(*value++, kind == 'n');
    sql += "     , " + text + "\r\n";
  }
  return sql + " )\r\n";
}

// Document defaults; with a site number the query with site, else the one without.
std::string DefaultsSql(int company, const std::string& document, const std::string& group,
                        const std::string& user, std::optional<int> site) {
  std::string sql =
      "SELECT TOP 1 CO16_SEZ_CG68, CO16_DEP_MG58, CO16_IDPRIORITA_LP09 FROM"
      " CO16_PARAMSDOC WITH (NOLOCK) WHERE CO16_DITTA_CG18 = " +
      std::to_string(company) + " AND       CO16_CODDOCUM_MG36 = '" + document +
      "' AND       (CO16_CODGRUPPO_FW06 IS NULL OR CO16_CODGRUPPO_FW06 = '" + group +
      "') AND       (CO16_CODUTENTE_FW07 IS NULL OR CO16_CODUTENTE_FW07 = '" + user + "') AND ";
  if (!site) return sql + "      CO16_CODSEDE_CG31   IS NULL ";
  return sql +
         "      (CO16_CODSEDE_CG31   IS NULL OR CO16_CODSEDE_CG31 = " + std::to_string(*site) +
         ")       ORDER BY CO16_CODGRUPPO_FW06, CO16_CODUTENTE_FW07, CO16_CODSEDE_CG31";
}

std::string PreferredPrioritySql(int company) {
  std::string sql =
      "SELECT TOP 1\r\n    LP09_ID\r\nFROM\r\n    LP09_TESTATAPRIORITA\r\nWHERE\r\n"
      "    LP09_DITTA_CG18 = <DITTA,,>\r\n    AND LP09_FLGPREF = 1\r\nORDER BY\r\n"
      "    LP09_ID DESC";
  const std::string placeholder = "<DITTA,,>";
  for (size_t at; (at = sql.find(placeholder)) != std::string::npos;) {
    sql.replace(at, placeholder.size(), std::to_string(company));
  }
  return sql;
}

std::string DocumentTypeFlagSql(const std::string& flag, int company, const std::string& document) {
  return "SELECT\r\n    " + flag + "\r\nFROM\r\n    NV07_DOCATTIVI WITH (NOLOCK)\r\nWHERE\r\n" +
         "    NV07_DITTA_CG18 = " + std::to_string(company) + "\r\n    AND NV07_CODDOCUM_MG36 = '" +
         document + "'";
}

std::string UnitCostSql(const std::string& function, int company, const std::string& item,
                        const std::string& option, const std::string& yyyymmdd) {
  return "SELECT DBO." + function + "(" + std::to_string(company) + ", '" + item + "', '" + option +
         "', '" + yyyymmdd + "') AS COSTO";
}

// ---- The suite: one demo database per backend for all its tests -------------

using testing_support::Backend;

class EngineStatements : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::kPostgres) SKIP_WITHOUT_POSTGRES();
    auto& demo = GetParam() == Backend::kPostgres ? postgres_ : sqlite_;
    if (!demo) demo = std::make_unique<testing_support::DemoDatabase>(GetParam());
    current_ = demo.get();
  }
  static void TearDownTestSuite() {
    sqlite_.reset();
    postgres_.reset();
  }

  static Connection& db() { return current_->database(); }
  // As the engine runs its reads: command text; the recordset on its first row.
  static std::shared_ptr<Recordset> Run(const std::string& sql) {
    return db().Execute(sql, nullptr, execute_option::kCommandText);
  }
  // The first row's field; Empty when there is no row (the database gives Null, never Empty).
  static Variant First(const std::string& sql, std::string_view field) {
    auto rs = Run(sql);
    return rs->Eof() ? Variant() : rs->Get(field);
  }
  // As the writers run their statements (option -1); the rows changed.
  static int32_t Write(const std::string& sql) {
    int32_t affected = -9;
    db().Execute(sql, &affected);
    return affected;
  }
  static Strings Column(const std::string& sql, std::string_view field) {
    Strings values;
    for (auto rs = Run(sql); !rs->Eof(); rs->MoveNext()) values.push_back(NzStr(rs->Get(field)));
    return values;
  }

 private:
  static inline std::unique_ptr<testing_support::DemoDatabase> sqlite_;
  static inline std::unique_ptr<testing_support::DemoDatabase> postgres_;
  static inline testing_support::DemoDatabase* current_ = nullptr;
};

TEST_P(EngineStatements, CurrencyListJoinsThePriceDecimalsOfTheCompany) {
  EXPECT_EQ(Column(CurrencyListSql(1), "CG08_CODICE"), (Strings{"CAD", "EUR", "JPY", "USD"}));
  EXPECT_EQ(Column(CurrencyListSql(1), "CG08_NUMDEC"), (Strings{"2", "2", "0", "2"}));
  // JPY has no price decimals row (Null); company 2 has one for USD only.
  EXPECT_EQ(Column(CurrencyListSql(1), "MG49_NUMDEC"), (Strings{"4", "3", "", "4"}));
  EXPECT_EQ(Column(CurrencyListSql(2), "MG49_NUMDEC"), (Strings{"", "", "", "2"}));
  auto rs = Run(CurrencyListSql(1));
  rs->Move(2);
  EXPECT_TRUE(rs->Get("MG49_NUMDEC").IsNull());
}

TEST_P(EngineStatements, ExpenseAndItsBracketsByBase) {
  auto handling = Run(ExpenseSql("HANDLING"));
  ASSERT_FALSE(handling->Eof());
  EXPECT_TRUE(IsAmount(handling->Get("MG04_INDTIPOSPESA"), "2"));
  EXPECT_TRUE(IsAmount(handling->Get("MG04_INDTIPOTOT"), "1"));
  EXPECT_TRUE(IsAmount(handling->Get("MG04_INDTIPOALIQ"), "0"));
  EXPECT_TRUE(handling->Get("MG04_ALIQ_CG28").IsNull());
  EXPECT_TRUE(IsAmount(First(ExpenseSql("CODFEE"), "MG04_INDTIPOALIQ"), "1"));
  EXPECT_TRUE(IsAmount(First(ExpenseSql("NOSUCH"), "MG04_INDTIPOSPESA"), nullptr));

  // The bracket holding the base runs up to its limit inclusive.
  struct Case {
    const char *code, *currency, *base, *limit, *amount;
  };
  for (const Case& c : {Case{"SHIPPING", "USD", "0", "99.99", "12.00"},
                        Case{"SHIPPING", "USD", "99.99", "99.99", "12.00"},
                        Case{"SHIPPING", "USD", "100", "499.99", "25.00"},
                        Case{"SHIPPING", "USD", "499.99", "499.99", "25.00"},
                        Case{"SHIPPING", "USD", "500", "999999999", "0"},
                        Case{"SHIPPING", "CAD", "149.99", "149.99", "18.00"},
                        Case{"INSURANCE", "USD", "1000.01", "10000", "0"},
                        Case{"SHIPPING", "EUR", "10", nullptr, nullptr}}) {
    SCOPED_TRACE(std::string(c.code) + " " + c.currency + " " + c.base);
    const std::string sql = BracketsSql(c.code, c.currency, c.base);
    EXPECT_TRUE(IsAmount(First(sql, "MG05_FINOA"), c.limit));
    EXPECT_TRUE(IsAmount(First(sql, "MG05_IMPORTO"), c.amount));
  }
  EXPECT_TRUE(IsAmount(First(BracketsSql("INSURANCE", "USD", "1000.01"), "MG05_PERC"), "1.00"));

  // Kinds 1 and 2 read every bracket and take the lowest, whatever the base.
  auto lowest = Run(BracketsSql("HANDLING", "USD"));
  EXPECT_EQ(lowest->RecordCount(), 2);
  EXPECT_TRUE(IsAmount(lowest->Get("MG05_FINOA"), "500"));
  EXPECT_TRUE(IsAmount(lowest->Get("MG05_IMPORTO"), "5.00"));
  EXPECT_TRUE(IsAmount(lowest->Get("MG05_PERC"), "1.00"));
  EXPECT_TRUE(Run(BracketsSql("HANDLING", "EUR"))->Eof());
}

TEST_P(EngineStatements, TaxDetailTakesTheNewestSalesRateInForce) {
  struct Case {
    const char *jurisdiction, *group, *date, *rate;
  };
  for (const Case& c :
       {Case{"TX-CI-MSP", "GENERAL", "20260630", "1.00"},  // the day before the city's change
        Case{"TX-CI-MSP", "GENERAL", "20260701", "1.25"},  // on the day
        Case{"TX-CI-MSP", "FREIGHT", "20261231", "1.25"},
        Case{"TX-ST", "GENERAL", "20260316", "6.25"},       // not the newer excise row (type 1)
        Case{"CA-ST", "GENERAL", "20260318", "6.00"},       // type 2 over 0; never the type 3 row
        Case{"TX-DI-PEH", "GENERAL", "20220331", nullptr},  // not yet in force
        Case{"TX-DI-PEH", "GENERAL", "20220401", "1.00"},
        Case{"TX-ST", "GENERAL", "20191231", nullptr},
        Case{"TX-CO-PEC", "GROCERY", "20260316", nullptr}}) {  // no rate for the group
    SCOPED_TRACE(std::string(c.jurisdiction) + " " + c.group + " " + c.date);
    EXPECT_TRUE(
        IsAmount(First(TaxDetailSql(c.jurisdiction, c.group, c.date), "NV05_TAXBELOWMAX"), c.rate));
  }
  auto on_change = Run(TaxDetailSql("TX-CI-MSP", "GENERAL", "20260701"));
  EXPECT_EQ(on_change->RecordCount(), 1);
  EXPECT_EQ(on_change->Get("NV05_EFFECTIVEDATE").CDate(), Date::FromYmd(2026, 7, 1));
  EXPECT_EQ(NzStr(on_change->Get("NV02_DESCRIPTION")), "City of Mesquite Springs");
  EXPECT_TRUE(IsAmount(First(TaxDetailSql("CA-ST", "GENERAL", "20260318"), "NV05_TAXTYPE"), "2"));
  EXPECT_TRUE(
      IsAmount(First(TaxDetailSql("CA-ST", "GENERAL", "20260318"), "NV02_CALCULATETAXONTAX"), "0"));
  EXPECT_TRUE(IsAmount(
      First(TaxDetailSql("CA-DI-PMT", "GENERAL", "20260318"), "NV02_CALCULATETAXONTAX"), "1"));
  auto capped = Run(TaxDetailSql("TN-CO-SYH", "GENERAL", "20260320"));
  EXPECT_TRUE(IsAmount(capped->Get("NV05_MAXIMUMAMOUNTQTY"), "1600"));
  EXPECT_TRUE(IsAmount(capped->Get("NV05_TAXBELOWMAX"), "2.25"));
  EXPECT_TRUE(IsAmount(capped->Get("NV05_TAXABOVEMAX"), "0"));
}

TEST_P(EngineStatements, TaxAreaLinesComeInCalculationOrder) {
  const std::string mesquite = TaxAreaLinesSql("TX-MSP");
  EXPECT_EQ(Run(mesquite)->FieldCount(), 6);
  EXPECT_EQ(Column(mesquite, "NV03_TAXJURCODE_NV02"),
            (Strings{"TX-DI-MTA", "TX-CI-MSP", "TX-CO-PEC", "TX-ST"}));
  EXPECT_EQ(Column(mesquite, "NV03_CALCULATIONORD"), (Strings{"10", "20", "30", "40"}));
  EXPECT_EQ(Column(mesquite, "NV03_TAXAREACODE_NV01"), Strings(4, "TX-MSP"));
  EXPECT_EQ(Column(mesquite, "NV01_ROUNDTAX"), Strings(4, "0"));
  EXPECT_EQ(Column(mesquite, "NV02_TAXACCOUNTSALES"), Strings(4, "2310"));
  EXPECT_EQ(Column(mesquite, "NV02_TAXACCOUNTPURCHASES"), Strings(4, "1410"));
  EXPECT_EQ(Column(TaxAreaLinesSql("CA-PMS"), "NV03_TAXJURCODE_NV02"),
            (Strings{"CA-DI-PMT", "CA-CI-PMS", "CA-CO-TUL", "CA-ST"}));
  EXPECT_TRUE(IsAmount(First(TaxAreaLinesSql("CA-PMS"), "NV01_ROUNDTAX"), "1"));
  EXPECT_TRUE(Run(TaxAreaLinesSql("OUT-STATE"))->Eof());
}

TEST_P(EngineStatements, TaxSettingsAndDescriptions) {
  EXPECT_TRUE(IsAmount(Variant(NzDec(First(kTaxDecimalsSql, "FW95_VALORE"))), "4"));
  // The database-name query runs with option -1.
  EXPECT_EQ(NzStr(db().Execute(kExternalDatabaseSql)->Get("CO60_DATABASE")), "TVASSETS");

  const auto group = [&](const std::string& code) {
    return First(DescriptionSql("NV04", "NV04_TAXGROUP", code), "DESCRIZIONE");
  };
  const auto jurisdiction = [&](const std::string& code) {
    return First(DescriptionSql("NV02", "NV02_TAXJURISDICTION", code), "DESCRIZIONE");
  };
  EXPECT_EQ(NzStr(group("GENERAL")), "General merchandise");
  EXPECT_EQ(NzStr(jurisdiction("CA-DI-PMT")), "Port Marisol Transit District");
  EXPECT_TRUE(group("NOSUCH").IsEmpty());
  EXPECT_TRUE(jurisdiction("NOSUCH").IsEmpty());

  // A code without a description reads "", not Null (the demo has none: add, read, undo).
  db().BeginTrans();
  Write("INSERT INTO NV04_TAXGROUP (NV04_CODE) VALUES ('NODESCR')");
  Write("INSERT INTO NV02_TAXJURISDICTION (NV02_CODE) VALUES ('NODESCR')");
  const Variant blank_group = group("NODESCR");
  const Variant blank_jurisdiction = jurisdiction("NODESCR");
  db().RollbackTrans();
  EXPECT_TRUE(blank_group.IsString() && blank_group.str().empty()) << blank_group.Describe();
  EXPECT_TRUE(blank_jurisdiction.IsString() && blank_jurisdiction.str().empty())
      << blank_jurisdiction.Describe();
}

TEST_P(EngineStatements, CounterpartAccountAndAssetDescriptions) {
  const auto account = [&](int company, const std::string& code) {
    return First(AccountDescriptionSql(company, code), "CG24_DESCR");
  };
  EXPECT_EQ(NzStr(account(1, "4010")), "Sales - camping and lighting");    // the company's own
  EXPECT_EQ(NzStr(account(2, "4010")), "Sales - intercompany recharges");  // company 2's own
  EXPECT_EQ(NzStr(account(1, "4030")), "Sales - food");                    // the chart's
  EXPECT_EQ(NzStr(account(3, "4010")), "Sales - general merchandise");
  EXPECT_TRUE(account(1, "9999").IsEmpty());

  // The database name comes from the database-name query, as the engine chains them.
  const std::string database = NzStr(First(kExternalDatabaseSql, "CO60_DATABASE"));
  const auto asset = [&](int company, const std::string& code) {
    return First(AssetDescriptionSql(database, company, code), "VS02_DESCRIPTION");
  };
  EXPECT_EQ(NzStr(asset(1, "FA-0004")), "Pallet racking, 12 bays");
  EXPECT_EQ(NzStr(asset(1, "FA-0001")), "Electric forklift, 3,000 lb capacity");
  EXPECT_EQ(NzStr(asset(2, "FA-0001")), "Office furniture, head office");
  EXPECT_TRUE(asset(1, "FA-0009").IsEmpty());
}

TEST_P(EngineStatements, FailedInsertInATransactionLeavesTheTaxSummaryAsItWas) {
  const std::string doc = "2026000102";
  const auto line = [](int number, const char* tax) {
    return std::vector<Variant>{number,
                                "CA-ST     ",
                                "GENERAL   ",
                                "",
                                Decimal::Parse(tax),
                                0,
                                1000,
                                0,
                                Decimal::Parse(tax),
                                ""};
  };
  Write(DeleteSql(kDo74, 1, doc));
  Write(InsertSql(kDo74, 1, doc, line(1, "60.00")));

  int number = 0;
  std::string description;
  try {
    InTransaction(db(), [&] {
      Write(DeleteSql(kDo74, 1, doc));
      Write(InsertSql(kDo74, 1, doc, line(1, "61.00")));
      Write(InsertSql(kDo74, 1, doc, line(1, "62.00")));  // the same line number again
    });
  } catch (const Error& e) {
    number = e.number();
    description = e.description();
  }
  EXPECT_EQ(number, err::kDatabaseError);
  EXPECT_NE(description.find("DO74_USATAX"), std::string::npos) << description;
  EXPECT_EQ(db().TransactionLevel(), 0);
  auto rs =
      Run("SELECT * FROM DO74_USATAX WHERE DO74_USADITTA_CG18 = 1 AND DO74_USANUMREG_CO99 = '" +
          doc + "'");
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_TRUE(IsAmount(rs->Get("DO74_USAIMPORTO"), "60.00"));
}

TEST_P(EngineStatements, ScheduleReads) {
  const auto account_kind = [&](const std::string& account) {
    return First(
        " SELECT    CG24_INDATTPASSPOR FROM    CG24_TABPDC WITH (NOLOCK) WHERE"
        "    CG24_GRUPPO_CG10 = 1 AND    CG24_CONTO = '" +
            account + "'",
        "CG24_INDATTPASSPOR");
  };
  EXPECT_TRUE(IsAmount(account_kind("1200"), "1"));
  EXPECT_TRUE(IsAmount(account_kind("2100"), "2"));
  EXPECT_TRUE(IsAmount(account_kind("4010"), "4"));
  EXPECT_TRUE(IsAmount(account_kind("9999"), nullptr));

  const auto bank = [&](int company, int progressive) {
    return Run(
        " SELECT    EF08_BANCA_CG12,    EF08_CABCONTO_CG13,    EF08_CABBONIF_CG13 FROM"
        "    EF08_BANCHE WITH (NOLOCK) WHERE    EF08_DITTA_CG18 = " +
        std::to_string(company) + " AND    EF08_PROGR = " + std::to_string(progressive));
  };
  auto collections = bank(1, 2);
  EXPECT_TRUE(IsAmount(collections->Get("EF08_BANCA_CG12"), "32245"));
  EXPECT_TRUE(IsAmount(collections->Get("EF08_CABCONTO_CG13"), "2210"));
  EXPECT_TRUE(IsAmount(collections->Get("EF08_CABBONIF_CG13"), "2211"));
  EXPECT_TRUE(bank(2, 2)->Eof());

  const auto suspending_cause = [&](const std::string& code) {
    return !Run(" SELECT    1 FROM    MG3K_DOCBLOCCHI WITH (NOLOCK) WHERE    MG3K_CODBLOCCO = '" +
                code + "' AND    MG3K_FLGSOSPSCAD = 1")
                ->Eof();
  };
  EXPECT_TRUE(suspending_cause("CREDIT"));
  EXPECT_FALSE(suspending_cause("PRICING"));

  const auto suspended = [&](int company, const std::string& doc) {
    return !Run(" SELECT    1 FROM    DO66_DOCTESTABLOCCHI WITH (NOLOCK) WHERE    DO66_DITTA_CG18 "
                "= " +
                std::to_string(company) + " AND    DO66_NUMREG_CO99 = '" + doc +
                "' AND    DO66_FLGBLOCCATO = 1 AND    DO66_FLGSOSPSCAD = 1")
                ->Eof();
  };
  EXPECT_TRUE(suspended(1, "2026000102"));
  EXPECT_FALSE(suspended(1, "2026000101"));
  EXPECT_FALSE(suspended(2, "2026000102"));
}

TEST_P(EngineStatements, DocumentDefaultsAndPreferredPriority) {
  const auto section = [&](int company, const char* document, const char* group, const char* user,
                           std::optional<int> site) {
    return NzStr(First(DefaultsSql(company, document, group, user, site), "CO16_SEZ_CG68"));
  };
  // With site: the generic row (Null group) sorts before the SALES row for site 2.
  auto sales = Run(DefaultsSql(1, "SINV", "SALES", "jdoe", 2));
  ASSERT_EQ(sales->RecordCount(), 1);
  EXPECT_EQ(NzStr(sales->Get("CO16_SEZ_CG68")), "S");
  EXPECT_EQ(NzStr(sales->Get("CO16_DEP_MG58")), "MAIN");
  EXPECT_TRUE(IsAmount(sales->Get("CO16_IDPRIORITA_LP09"), "1"));
  EXPECT_EQ(section(1, "SINV", "", "mreyes", 0), "S");  // a Null user sorts first too
  EXPECT_EQ(section(1, "SINV", "SALES", "jdoe", std::nullopt), "S");
  EXPECT_EQ(section(1, "PINV", "PURCH", "jdoe", 0), "P");
  EXPECT_TRUE(First(DefaultsSql(1, "PINV", "PURCH", "jdoe", 0), "CO16_IDPRIORITA_LP09").IsNull());
  // A row for one site: found with that site only, never by the query without site.
  EXPECT_EQ(section(1, "PIMP", "", "", 1), "PI");
  EXPECT_EQ(section(1, "PIMP", "", "", 0), "");
  EXPECT_TRUE(Run(DefaultsSql(1, "PIMP", "", "", std::nullopt))->Eof());
  EXPECT_EQ(section(2, "SINV", "", "", std::nullopt), "H");

  // Two preferred tables: the higher id.
  EXPECT_TRUE(IsAmount(First(PreferredPrioritySql(1), "LP09_ID"), "3"));
  EXPECT_TRUE(IsAmount(First(PreferredPrioritySql(2), "LP09_ID"), "4"));
  EXPECT_TRUE(IsAmount(First(PreferredPrioritySql(9), "LP09_ID"), nullptr));
}

TEST_P(EngineStatements, LandedCostDocumentTypesAndUnitCosts) {
  const auto flag = [&](const char* column, int company, const char* document) {
    const Variant value = First(DocumentTypeFlagSql(column, company, document), column);
    return value.IsEmpty() ? std::string("no row") : std::to_string(value.CBool());
  };
  EXPECT_EQ(flag("NV07_FLGFE", 1, "PIMP") + flag("NV07_FLGDE", 1, "PIMP"), "11");
  EXPECT_EQ(flag("NV07_FLGFE", 1, "PINV") + flag("NV07_FLGDE", 1, "PINV"), "10");
  EXPECT_EQ(flag("NV07_FLGFE", 2, "PIMP"), "0");
  EXPECT_EQ(flag("NV07_FLGFE", 1, "PRET"), "no row");

  // Each call gives one row; Null when there is no cost (the engine's NzDec makes it 0).
  struct Case {
    const char *function, *item, *option, *date, *cost;
    int company = 1;
  };
  for (const Case& c :
       {Case{"FNMG_GETSPTRASPMP", "TENT-4P", "GREEN", "20260310", "4.50"},  // the exact option
        Case{"FNMG_GETSPTRASPMP", "TENT-4P", "", "20260310", "4.00"},
        Case{"FNMG_GETSPTRASPMP", "TENT-4P", "BLUE", "20260310", "4.00"},  // any option's row
        Case{"FNMG_GETSPDAZIMP", "TENT-4P", "GREEN", "20260310", "7.35"},
        Case{"FNMG_GETSPTRASPMP", "LANT-LED", "", "20260630", "0.85"},  // in force at the date
        Case{"FNMG_GETSPTRASPMP", "LANT-LED", "", "20260701", "0.95"},
        Case{"FNMG_GETSPTRASPMP", "LANT-LED", "", "20260310", "0.70", 2},
        Case{"FNMG_GETSPDAZIMP", "BOOT-WX", "", "20260630", "4.80"},
        Case{"FNMG_GETSPDAZIMP", "BOOT-WX", "", "20260701", "5.10"},
        Case{"FNMG_GETSPTRASPMP", "STOVE-2B", "", "20250531", nullptr},
        Case{"FNMG_GETSPTRASPMP", "STOVE-2B", "", "20250601", "2.20"},
        Case{"FNMG_GETSPDAZIMP", "STOVE-2B", "", "20260310", nullptr},
        Case{"FNMG_GETSPTRASPMP", "RACK-12", "", "20260310", nullptr}}) {
    SCOPED_TRACE(std::string(c.function) + " " + c.item + " '" + c.option + "' " + c.date);
    auto rs = Run(UnitCostSql(c.function, c.company, c.item, c.option, c.date));
    ASSERT_EQ(rs->RecordCount(), 1);
    if (c.cost == nullptr) {
      EXPECT_TRUE(rs->Get("COSTO").IsNull()) << rs->Get("COSTO").Describe();
    } else {
      EXPECT_TRUE(IsAmount(rs->Get("COSTO"), c.cost));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, EngineStatements,
                         ::testing::Values(Backend::kSqlite, Backend::kPostgres),
                         [](const auto& info) {
                           return std::string(testing_support::BackendName(info.param));
                         });

}  // namespace
}  // namespace tarvolin
