#include "engine/statements.h"

#include <initializer_list>

#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin::statements {
namespace {

// The statement lines joined with CR LF, as the tax setup statements are written.
std::string Lines(std::initializer_list<std::string_view> lines) {
  size_t size = 0;
  for (std::string_view line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (std::string_view line : lines) {
    if (!text.empty()) text += kCrLf;
    text += line;
  }
  return text;
}

std::string Quoted(std::string_view text) { return SqlQuoted(text); }

}  // namespace

std::string CurrencyList(int company) {
  return std::string(" SELECT") + "    CG08_CODICE," + "    CG08_NUMDEC," + "    MG49_NUMDEC" +
         " FROM" + "    CG08_TABVALUTE WITH (NOLOCK)" +
         " LEFT JOIN MG49_PARMAGAZDEC WITH (NOLOCK) ON" +
         "    MG49_DITTA_CG18 = " + std::to_string(company) + " AND" +
         "    MG49_CODICE_CG08 = CG08_CODICE" + " ORDER BY" + "    CG08_CODICE";
}

std::string Expense(std::string_view code) {
  return std::string(" SELECT") + "    MG04_INDTIPOALIQ," + "    MG04_ALIQ_CG28," +
         "    MG04_INDTIPOSPESA," + "    MG04_INDTIPOTOT" + " FROM" +
         "    MG04_SPESE WITH (NOLOCK)" + " WHERE" + "    MG04_CODICE = '" + Quoted(code) + "'";
}

std::string ExpenseBrackets(std::string_view code, std::string_view currency,
                            const std::optional<std::string>& base) {
  std::string sql = std::string(" SELECT") + "    MG05_FINOA," + "    MG05_IMPORTO," +
                    "    MG05_PERC" + " FROM" + "    MG05_SCAGLSPESE WITH (NOLOCK)" + " WHERE" +
                    "    MG05_CODICE_MG04 = '" + Quoted(code) + "' AND" +
                    "    MG05_CODICE_CG08 = '" + Quoted(currency) + "'";
  if (base) sql += std::string(" AND") + "    MG05_FINOA >= " + *base;
  return sql + " ORDER BY" + "    MG05_FINOA";
}

std::string TaxDetail(std::string_view jurisdiction, std::string_view group,
                      std::string_view yyyymmdd) {
  // The newest rate in force on the date wins; type 2 before type 0 on the same date.
  return Lines(
      {"SELECT TOP 1", "    *", "FROM", "    NV05_TAXDETAIL WITH (NOLOCK)", "    LEFT OUTER JOIN",
       "    NV02_TAXJURISDICTION WITH (NOLOCK)", "    ON", "    NV05_TAXJURCODE_NV02 = NV02_CODE",
       "WHERE", "    NV05_TAXJURCODE_NV02 = '" + Quoted(jurisdiction) + "'",
       "    AND NV05_TAXGROUPCODE_NV04 = '" + Quoted(group) + "'", "    AND NV05_TAXTYPE IN (0, 2)",
       "    AND NV05_EFFECTIVEDATE <= '" + std::string(yyyymmdd) + "'", "ORDER BY",
       "    NV05_EFFECTIVEDATE DESC", "    , NV05_TAXTYPE DESC"});
}

std::string TaxAreaLines(std::string_view area) {
  return Lines({"SELECT",
                "    NV03_TAXAREALINE.*",
                "    , NV01_ROUNDTAX",
                "    , NV02_TAXACCOUNTSALES",
                "    , NV02_TAXACCOUNTPURCHASES",
                "FROM",
                "    NV03_TAXAREALINE WITH (NOLOCK)",
                "    INNER JOIN",
                "    NV01_TAXAREA WITH (NOLOCK)",
                "    ON",
                "    NV03_TAXAREACODE_NV01 = NV01_CODE",
                "    INNER JOIN",
                "    NV02_TAXJURISDICTION WITH (NOLOCK)",
                "    ON",
                "    NV03_TAXJURCODE_NV02 = NV02_CODE",
                "WHERE",
                "    NV03_TAXAREACODE_NV01 = '" + Quoted(area) + "'",
                "ORDER BY",
                "    NV03_CALCULATIONORD",
                "    , NV03_TAXJURCODE_NV02"});
}

std::string TaxDecimals() {
  return Lines({"SELECT", "    FW95_VALORE", "FROM", "    FW95_SETTINGS", "WHERE",
                "    FW95_CODICE = 'NAV_DECIMALI_TASSE'"});
}

std::string ExternalDatabase() { return " select top 1 CO60_DATABASE from CO60_CONFVEXNAV "; }

std::string Description(std::string_view prefix, std::string_view table, std::string_view code) {
  // These end with CR LF after their last line. Made in one allocation:
  // two are run for every new line of the tax summary.
  const std::string quoted = Quoted(code);
  const std::initializer_list<std::string_view> parts = {"SELECT",
                                                         kCrLf,
                                                         "    ISNULL(",
                                                         prefix,
                                                         "_DESCRIPTION, '') AS DESCRIZIONE",
                                                         kCrLf,
                                                         "FROM",
                                                         kCrLf,
                                                         "    ",
                                                         table,
                                                         " WITH (NOLOCK)",
                                                         kCrLf,
                                                         "WHERE",
                                                         kCrLf,
                                                         "    ",
                                                         prefix,
                                                         "_CODE = '",
                                                         quoted,
                                                         "'",
                                                         kCrLf};
  size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (std::string_view part : parts) text += part;
  return text;
}

std::string AccountDescription(std::string_view company, std::string_view accounts_group,
                               std::string_view account) {
  return std::string(" SELECT") + "    CASE" + "        WHEN CG39_DESCR IS NULL THEN CG24_DESCR" +
         "        ELSE CG39_DESCR" + "    END AS CG24_DESCR" + " FROM" +
         "    CG24_TABPDC WITH (NOLOCK)" + " LEFT OUTER JOIN CG39_PRSDESPDC WITH (NOLOCK) ON" +
         "    CG39_DITTA_CG18 = " + std::string(company) + " AND" +
         "    CG39_GRUPPO_CG10 = CG24_GRUPPO_CG10 AND" + "    CG39_CONTO_CG24 = CG24_CONTO" +
         " WHERE" + "    CG24_GRUPPO_CG10 = " + std::string(accounts_group) + " AND" +
         "    CG24_CONTO = '" + Quoted(account) + "'";
}

std::string AssetDescription(std::string_view database, int company, std::string_view asset) {
  return std::string("SELECT TOP 1") + kCrLf + "    VS02_DESCRIPTION" + kCrLf + "FROM" + kCrLf +
         "    [" + std::string(database) + "].dbo.VS02_ASSET" + kCrLf + "WHERE" + kCrLf +
         "    VS02_COMPANYID = " + std::to_string(company) + kCrLf + "    AND VS02_ASSETNO = '" +
         Quoted(asset) + "'";
}

std::string DocumentDefaults(int company, std::string_view document, std::string_view group,
                             std::string_view user, const std::optional<std::string>& site) {
  const std::string head =
      "SELECT TOP 1 CO16_SEZ_CG68, CO16_DEP_MG58, CO16_IDPRIORITA_LP09 "
      "FROM CO16_PARAMSDOC WITH (NOLOCK) "
      "WHERE CO16_DITTA_CG18 = " +
      std::to_string(company) + " AND " + "      CO16_CODDOCUM_MG36 = '" + Quoted(document) +
      "' AND " + "      (CO16_CODGRUPPO_FW06 IS NULL OR CO16_CODGRUPPO_FW06 = '" + Quoted(group) +
      "') AND " + "      (CO16_CODUTENTE_FW07 IS NULL OR CO16_CODUTENTE_FW07 = '" + Quoted(user) +
      "') AND ";
  if (!site) return head + "      CO16_CODSEDE_CG31   IS NULL ";
  return head + "      (CO16_CODSEDE_CG31   IS NULL OR CO16_CODSEDE_CG31 = " + *site + ") " +
         "      ORDER BY CO16_CODGRUPPO_FW06, CO16_CODUTENTE_FW07, "
         "CO16_CODSEDE_CG31";
}

std::string PreferredPriority(const std::optional<std::string>& company) {
  std::string statement = std::string("SELECT TOP 1") + kCrLf + "    LP09_ID" + kCrLf + "FROM" +
                          kCrLf + "    LP09_TESTATAPRIORITA" + kCrLf + "WHERE" + kCrLf +
                          "    LP09_DITTA_CG18 = <DITTA,,>" + kCrLf + "    AND LP09_FLGPREF = 1" +
                          kCrLf + "ORDER BY" + kCrLf + "    LP09_ID DESC";
  if (company) {
    constexpr std::string_view kPlaceholder = "<DITTA,,>";
    for (size_t at = statement.find(kPlaceholder); at != std::string::npos;
         at = statement.find(kPlaceholder, at + company->size())) {
      statement.replace(at, kPlaceholder.size(), *company);
    }
  }
  return statement;
}

std::string DocumentTypeSwitch(std::string_view column, std::string_view company,
                               std::string_view document_type) {
  return std::string("SELECT\r\n    ") + std::string(column) +
         "\r\nFROM\r\n    NV07_DOCATTIVI WITH (NOLOCK)\r\nWHERE\r\n"
         "    NV07_DITTA_CG18 = " +
         std::string(company) + "\r\n    AND NV07_CODDOCUM_MG36 = '" + Quoted(document_type) + "'";
}

std::string UnitCost(std::string_view function, std::string_view company, std::string_view item,
                     std::string_view option, std::string_view yyyymmdd) {
  return std::string("SELECT ") + std::string(function) + "(" + std::string(company) + ", '" +
         Quoted(item) + "', '" + Quoted(option) + "', '" + std::string(yyyymmdd) + "') AS COSTO";
}

std::string AccountKind(std::string_view accounts_group, std::string_view account) {
  return " SELECT    CG24_INDATTPASSPOR FROM    CG24_TABPDC WITH (NOLOCK) WHERE    "
         "CG24_GRUPPO_CG10 = " +
         std::string(accounts_group) + " AND    CG24_CONTO = '" + Quoted(account) + "'";
}

std::string Bank(int company, std::string_view progressive) {
  return " SELECT    EF08_BANCA_CG12,    EF08_CABCONTO_CG13,    EF08_CABBONIF_CG13 FROM    "
         "EF08_BANCHE WITH (NOLOCK) WHERE    EF08_DITTA_CG18 = " +
         std::to_string(company) + " AND    EF08_PROGR = " + std::string(progressive);
}

std::string SuspendingCause(std::string_view cause) {
  return " SELECT    1 FROM    MG3K_DOCBLOCCHI WITH (NOLOCK) WHERE    "
         "MG3K_CODBLOCCO = '" +
         Quoted(cause) + "' AND    MG3K_FLGSOSPSCAD = 1";
}

std::string SuspendedDocument(int company, std::string_view registration) {
  return " SELECT    1 FROM    DO66_DOCTESTABLOCCHI WITH (NOLOCK) WHERE    "
         "DO66_DITTA_CG18 = " +
         std::to_string(company) + " AND    DO66_NUMREG_CO99 = '" + Quoted(registration) +
         "' AND    DO66_FLGBLOCCATO = 1 AND    DO66_FLGSOSPSCAD = 1";
}

}  // namespace tarvolin::statements
