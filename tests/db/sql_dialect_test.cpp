#include "tarvolin/db/sql_dialect.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "db/sql_tokenizer.h"
#include "engine/statements.h"
#include "support/errors.h"

namespace tarvolin {
namespace {

std::string Crlf(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (std::string_view line : lines) {
    if (!out.empty()) out += "\r\n";
    out += line;
  }
  return out;
}

SqlDialectOptions DateColumns() {
  return {ColumnNameMatcher({"NV05_EFFECTIVEDATE", "DO11_DATADOC"})};
}

std::string Adapt(std::string_view tsql) { return AdaptTsqlForSqlite(tsql, DateColumns()); }

using testing_support::Raises;

TEST(SqlDialect, TaxDetailReadKeepsLayoutAndMovesTopToLimit) {
  const std::string tsql = statements::TaxDetail("CA", "GOODS", "20260115");
  EXPECT_EQ(
      Adapt(tsql),
      Crlf({"SELECT", "    *", "FROM", "    NV05_TAXDETAIL", "    LEFT OUTER JOIN",
            "    NV02_TAXJURISDICTION", "    ON", "    NV05_TAXJURCODE_NV02 = NV02_CODE", "WHERE",
            "    NV05_TAXJURCODE_NV02 = 'CA'", "    AND NV05_TAXGROUPCODE_NV04 = 'GOODS'",
            "    AND NV05_TAXTYPE IN (0, 2)", "    AND date(NV05_EFFECTIVEDATE) <= '2026-01-15'",
            "ORDER BY", "    date(NV05_EFFECTIVEDATE) DESC", "    , NV05_TAXTYPE DESC LIMIT 1"}));
  // Without date columns the literal is left alone.
  EXPECT_NE(AdaptTsqlForSqlite(tsql, {}).find("<= '20260115'"), std::string::npos);
}

TEST(SqlDialect, TopBecomesLimitAtTheEndOfItsOwnSelect) {
  EXPECT_EQ(Adapt(" select top 1 CO60_DATABASE from CO60_CONFVEXNAV "),
            " select CO60_DATABASE from CO60_CONFVEXNAV LIMIT 1 ");
  EXPECT_EQ(Adapt("SELECT TOP 1 CO16_SEZ_CG68 FROM CO16_PARAMSDOC WITH (NOLOCK) WHERE "
                  "(A IS NULL OR A = 'x')       ORDER BY A, B"),
            "SELECT CO16_SEZ_CG68 FROM CO16_PARAMSDOC WHERE (A IS NULL OR A = 'x')       ORDER BY "
            "A, B LIMIT 1");
  EXPECT_EQ(Adapt("SELECT DISTINCT TOP (5) A FROM T;"), "SELECT DISTINCT A FROM T LIMIT 5;");
  EXPECT_EQ(Adapt("SELECT TOP 2 A FROM T -- newest\r\n"), "SELECT A FROM T LIMIT 2 -- newest\r\n");
  // A subquery gets its LIMIT inside its own parentheses; the outer SELECT has none.
  EXPECT_EQ(Adapt("SELECT A FROM T WHERE B = (SELECT TOP 1 C FROM U WHERE D IN (1, (2)) "
                  "ORDER BY E) AND F = (SELECT TOP(3) G FROM V)"),
            "SELECT A FROM T WHERE B = (SELECT C FROM U WHERE D IN (1, (2)) ORDER BY E LIMIT 1) "
            "AND F = (SELECT G FROM V LIMIT 3)");
  EXPECT_EQ(Adapt("SELECT TOP 1 * FROM (SELECT TOP 2 A FROM T ORDER BY A) X WITH (NOLOCK)"),
            "SELECT * FROM (SELECT A FROM T ORDER BY A LIMIT 2) X LIMIT 1");
}

TEST(SqlDialect, HintsGoWhateverTheirSpellingAndCount) {
  EXPECT_EQ(
      Adapt(" FROM    CG08_TABVALUTE WITH (NOLOCK) LEFT JOIN MG49_PARMAGAZDEC WITH (NOLOCK) ON"
            "    MG49_CODICE_CG08 = CG08_CODICE"),
      " FROM    CG08_TABVALUTE LEFT JOIN MG49_PARMAGAZDEC ON    MG49_CODICE_CG08 = CG08_CODICE");
  EXPECT_EQ(Adapt("FROM A with(nolock), B With ( NoLock , INDEX(IX_B) )\r\nJOIN C WITH (ROWLOCK)"),
            "FROM A, B\r\nJOIN C");
  // WITH that opens a common table expression is no hint.
  const std::string cte = "WITH X (A) AS (SELECT 1) SELECT A FROM X";
  EXPECT_EQ(Adapt(cte), cte);
}

TEST(SqlDialect, FunctionsAndSchemasLoseTheirServerSpelling) {
  EXPECT_EQ(Adapt(Crlf({"SELECT", "    ISNULL(NV04_DESCRIPTION, '') AS DESCRIZIONE", "FROM",
                        "    NV04_TAXGROUP WITH (NOLOCK)", "WHERE", "    NV04_CODE = 'G1'", ""})),
            Crlf({"SELECT", "    IFNULL(NV04_DESCRIPTION, '') AS DESCRIZIONE", "FROM",
                  "    NV04_TAXGROUP", "WHERE", "    NV04_CODE = 'G1'", ""}));
  EXPECT_EQ(Adapt("SELECT isnull (A, 0), ISNULL_X, T.ISNULL FROM dbo.T"),
            "SELECT ifnull (A, 0), ISNULL_X, T.ISNULL FROM T");
  // A date argument of a function is not compared with anything: it stays.
  EXPECT_EQ(Adapt("SELECT DBO.FNMG_GETSPTRASPMP(1, 'ART1', '', '20260115') AS COSTO"),
            "SELECT FNMG_GETSPTRASPMP(1, 'ART1', '', '20260115') AS COSTO");
  EXPECT_EQ(Adapt("SELECT dbo.FNMG_GETSPDAZIMP(1, 'A', 'O', '20260115') AS COSTO"),
            "SELECT FNMG_GETSPDAZIMP(1, 'A', 'O', '20260115') AS COSTO");
  EXPECT_EQ(
      Adapt(Crlf({"SELECT TOP 1", "    VS02_DESCRIPTION", "FROM", "    [NAV DB].dbo.VS02_ASSET",
                  "WHERE", "    VS02_COMPANYID = 1", "    AND VS02_ASSETNO = 'A-7'"})),
      Crlf({"SELECT", "    VS02_DESCRIPTION", "FROM", "    \"NAV DB\".VS02_ASSET", "WHERE",
            "    VS02_COMPANYID = 1", "    AND VS02_ASSETNO = 'A-7' LIMIT 1"}));
  EXPECT_EQ(Adapt("FROM NAV.DBO.T, [a\"b]].c].[dbo].[T], n..T, dbo.T.C"),
            "FROM \"NAV\".T, \"a\"\"b].c\".[T], \"n\".T, T.C");
}

TEST(SqlDialect, DateColumnsComparedWithDatesCompareAsDays) {
  EXPECT_EQ(Adapt("WHERE T.NV05_EFFECTIVEDATE>='20240229' AND '20261231' > [nv05_effectivedate]"),
            "WHERE date(T.NV05_EFFECTIVEDATE)>='2024-02-29' AND '2026-12-31' > "
            "date([nv05_effectivedate])");
  EXPECT_EQ(Adapt("WHERE DO11_DATADOC BETWEEN '20260101' AND N'20260131' OR DO11_DATADOC NOT "
                  "BETWEEN '20250101' AND '2025-01-02 23:59:59'"),
            "WHERE date(DO11_DATADOC) BETWEEN '2026-01-01' AND '2026-01-31' OR date(DO11_DATADOC) "
            "NOT BETWEEN '2025-01-01' AND '2025-01-02'");
  EXPECT_EQ(Adapt("SELECT * FROM T WHERE X = 1 ORDER BY T.DO11_DATADOC, X DESC"),
            "SELECT * FROM T WHERE X = 1 ORDER BY date(T.DO11_DATADOC), X DESC");
  // Not dates, not date columns, or not compared: untouched (N prefix aside).
  EXPECT_EQ(Adapt("WHERE DO11_DATADOC = '20250229' AND DO11_DATADOC <> '2026011' AND "
                  "NV05_CODE = '20260115' AND DO11_DATADOC IS NOT NULL AND X = N'20260115'"),
            "WHERE DO11_DATADOC = '20250229' AND DO11_DATADOC <> '2026011' AND "
            "NV05_CODE = '20260115' AND DO11_DATADOC IS NOT NULL AND X = '20260115'");
  EXPECT_EQ(Adapt("WHERE '20260115' = DO11_DATADOC(1)"), "WHERE '20260115' = DO11_DATADOC(1)");
}

TEST(SqlDialect, LiteralsCommentsAndOtherTextPassUnchanged) {
  const std::string tsql =
      Crlf({"INSERT INTO T (A, B)", " VALUES", " (",
            "     'WITH (NOLOCK) TOP 1 ISNULL( dbo.F( -- /* O''Brien'",
            "     , [x WITH (NOLOCK)] /* SELECT TOP 1 ISNULL( */ -- TOP 1", " )", ""});
  EXPECT_EQ(Adapt(tsql), tsql);
  EXPECT_EQ(Adapt("SELECT N'caf\xC3\xA9 N''x''' /* a /* nested */ b */"),
            "SELECT 'caf\xC3\xA9 N''x''' /* a / * nested * / b */");
}

TEST(SqlDialect, MalformedTextIsRefusedWithItsPosition) {
  const struct {
    const char* tsql;
    int number;
    const char* description;
  } cases[] = {
      {"SELECT 1\r\nWHERE A = 'O''Brien", err::kBadArgument,
       "unterminated string literal at offset 20 (line 2, column 11): 'O''Brien"},
      {"SELECT [A FROM T", err::kBadArgument, "unterminated bracketed name at offset 7"},
      {"SELECT 1 /* open", err::kBadArgument, "unterminated comment"},
      {"SELECT (1", err::kBadArgument, "'(' without a matching ')' at offset 7"},
      {"SELECT TOP A FROM T", err::kBadArgument, "TOP without a row count"},
      // Valid T-SQL that LIMIT cannot express.
      {"SELECT TOP 10 PERCENT A FROM T", err::kFeatureNotAvailable, "PERCENT"},
      {"SELECT A FROM T UNION SELECT TOP 1 B FROM U", err::kFeatureNotAvailable, "UNION"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(Raises([&] { Adapt(c.tsql); }, c.number, "SqlDialect", c.description));
  }
  EXPECT_EQ(Adapt("SELECT A FROM T UNION SELECT B FROM (SELECT TOP 1 B FROM U)"),
            "SELECT A FROM T UNION SELECT B FROM (SELECT B FROM U LIMIT 1)");
}

TEST(SqlDialect, QuotedTextStaysOneLiteral) {
  EXPECT_EQ(QuoteSqlText("O'Brien"), "'O''Brien'");
  EXPECT_EQ(QuoteSqlText(""), "''");
  const std::string hostile = "x' OR 1=1 --";
  const std::string sql = "WHERE NV04_CODE = " + QuoteSqlText(hostile);
  const auto tokens = TokenizeTsql(sql);
  ASSERT_EQ(tokens.back().kind, SqlTokenKind::kString);
  EXPECT_EQ(SqlStringValue(tokens.back()), hostile);
  EXPECT_EQ(Adapt(sql), sql);
}

}  // namespace
}  // namespace tarvolin

namespace tarvolin {
namespace {

TEST(SqlDialect, PostgresFormsOfTheEngineStatements) {
  struct Case {
    const char* tsql;
    const char* postgres;
  } cases[] = {
      {"SELECT TOP 1\r\n    *\r\nFROM NV05_TAXDETAIL WITH (NOLOCK)\r\nWHERE NV05_EFFECTIVEDATE <= "
       "'20260115'\r\nORDER BY\r\n    NV05_EFFECTIVEDATE DESC\r\n    , NV05_TAXTYPE DESC",
       "SELECT\r\n    *\r\nFROM NV05_TAXDETAIL\r\nWHERE CAST(NV05_EFFECTIVEDATE AS date) <= "
       "'2026-01-15'\r\nORDER BY\r\n    CAST(NV05_EFFECTIVEDATE AS date) DESC NULLS LAST\r\n    , "
       "NV05_TAXTYPE DESC NULLS LAST LIMIT 1"},
      // Ascending sorts put Null first, as SQL Server does; an ORDER BY ends at
      // its parenthesis.
      {"SELECT TOP 1 A FROM T WHERE B = (SELECT C FROM U ORDER BY C) ORDER BY A, B ASC, "
       "ISNULL(D, 0)",
       "SELECT A FROM T WHERE B = (SELECT C FROM U ORDER BY C NULLS FIRST) ORDER BY A NULLS FIRST, "
       "B ASC NULLS FIRST, COALESCE(D, 0) NULLS FIRST LIMIT 1"},
      // The asset database is a schema; names fold as the engine's bare names do.
      {"SELECT [VS02_DESCRIPTION] FROM [TVASSETS].[dbo].[VS02_ASSET] WHERE \"VS02_CLASS\" = N'IT'",
       "SELECT VS02_DESCRIPTION FROM \"TVASSETS\".VS02_ASSET WHERE VS02_CLASS = 'IT'"},
      {"SELECT DBO.FNMG_GETSPDAZIMP(1, 'A', '', '20260310') AS [Cost (unit)] /* a /* b */ */",
       "SELECT FNMG_GETSPDAZIMP(1, 'A', '', '20260310') AS \"Cost (unit)\" /* a /* b */ */"},
      {"SELECT * FROM T WHERE DO11_DATADOC BETWEEN '20260101' AND '2026-01-31 23:59:59'",
       "SELECT * FROM T WHERE CAST(DO11_DATADOC AS date) BETWEEN '2026-01-01' AND '2026-01-31'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AdaptTsqlForPostgres(c.tsql, DateColumns()), c.postgres) << c.tsql;
  }
  EXPECT_TRUE(Raises([] { AdaptTsqlForPostgres("SELECT TOP 10 PERCENT A FROM T"); },
                     err::kFeatureNotAvailable, "SqlDialect", "no PostgreSQL form"));
}

}  // namespace
}  // namespace tarvolin
