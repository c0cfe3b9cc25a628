// tarvolin explain on sample documents over a demo database, its figures
// checked against the hand working below, and the zero-tax warnings of
// tarvolin explain and tarvolin recalc. The rates are those of docs/schema.md.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/explain_command.h"
#include "cli/recalc_command.h"
#include "db/demo_database.h"
#include "host/json_reader.h"
#include "tarvolin/host/tax_warnings.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

fs::path Root() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }
std::string Sample(const char* name) { return (Root() / "data" / "samples" / name).string(); }

struct Outcome {
  int code;
  std::string out, err;
};

Outcome Command(int (*main)(const std::vector<std::string>&, std::ostream&, std::ostream&),
                std::vector<std::string> arguments) {
  std::ostringstream out, err;
  const int code = main(arguments, out, err);
  return {code, out.str(), err.str()};
}

json::Value Json(const std::string& text) {
  json::Value value;
  std::string error;
  EXPECT_TRUE(json::Parse(text, value, error)) << error << "\n" << text;
  return value;
}

// A member by path ("tax_groups.0.lines.3.tax"); numbers and strings as their text.
std::string At(const json::Value& root, const std::string& path) {
  const json::Value* value = &root;
  std::istringstream parts(path);
  for (std::string part; std::getline(parts, part, '.');) {
    if (value->IsArray()) {
      const size_t index = std::stoul(part);
      if (index >= value->items.size()) return "(no " + path + ")";
      value = &value->items[index];
    } else {
      value = value->Find(part);
      if (value == nullptr) return "(no " + path + ")";
    }
  }
  if (value->kind == json::Value::Kind::kBoolean) return value->boolean ? "true" : "false";
  if (value->IsNull()) return "null";
  return value->text;
}

void ExpectLines(const std::string& text, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nnot in\n" << text;
  }
}

// invoice_california.json, 2026-04-14, area CA-PMS (rounding up). GENERAL: rows
// 1 (500.00) and 2 (399.00), base 899.00. In calculation order:
//   CA-ST 40: 6% of type 2, dated 2020-01-01 like the type-0 5.75% it wins over;
//             the type-3 7.25% is never read. 899.00 x 6% = 53.94
//   CA-CO-TUL 30: 899.00 x 0.25% = 2.2475 -> up 2.25
//   CA-CI-PMS 20: 899.00 x 1% = 8.99
//   CA-DI-PMT 10, tax on tax: 53.94 + 2.25 + 8.99 = 65.18 added, base 964.18;
//             964.18 x 0.5% = 4.8209 -> up 4.83 (to nearest would be 4.82);
//             effective rate 4.83 / 899.00 = 0.53726...% -> 0.5373, recomputed.
// GENERAL tax 53.94 + 2.25 + 8.99 + 4.83 = 70.01.
TEST(ExplainCommand, TaxOnTaxNamesTheEarlierJurisdictionsAndRoundsUp) {
  testing_support::DemoDatabase demo;
  const Outcome run = Command(cli::ExplainMain, {Sample("invoice_california.json"), "--db",
                                                 demo.path(), "--format", "json"});
  ASSERT_EQ(run.code, 0) << run.err;
  const json::Value root = Json(run.out);
  const std::string general = "tax_groups.2.";  // after CLOTHING and FREIGHT
  ASSERT_EQ(At(root, general + "tax_group"), "GENERAL");
  EXPECT_EQ(At(root, general + "rows.0.row") + "," + At(root, general + "rows.1.row"), "1,2");
  EXPECT_EQ(Decimal::Parse(At(root, general + "tax")), Decimal::Parse("70.01"));

  const std::string state = general + "lines.0.";
  EXPECT_EQ(At(root, state + "jurisdiction"), "CA-ST");
  EXPECT_EQ(At(root, state + "rate.type"), "2");
  EXPECT_EQ(At(root, state + "rate.effective_date"), "2020-01-01");
  EXPECT_EQ(At(root, state + "rate.date"), "2026-04-14");
  EXPECT_EQ(At(root, state + "rate.passed_over.0.type") + " " +
                At(root, state + "rate.passed_over.0.reason"),
            "3 only types 0 and 2 are sales tax");
  EXPECT_EQ(At(root, state + "rate.passed_over.1.type") + " " +
                At(root, state + "rate.passed_over.1.reason"),
            "0 same date as the rate chosen, whose type 2 comes first");
  EXPECT_EQ(Decimal::Parse(At(root, state + "tax")), Decimal::Parse("53.94"));

  const std::string district = general + "lines.3.";
  EXPECT_EQ(At(root, district + "jurisdiction"), "CA-DI-PMT");
  EXPECT_EQ(At(root, district + "tax_on_tax.0.jurisdiction") + " " +
                At(root, district + "tax_on_tax.1.jurisdiction") + " " +
                At(root, district + "tax_on_tax.2.jurisdiction"),
            "CA-ST CA-CO-TUL CA-CI-PMS");
  for (const auto& [field, figure] : std::vector<std::pair<std::string, std::string>>{
           {"tax_on_tax.1.tax", "2.25"},
           {"tax_on_tax_added", "65.18"},
           {"own_base", "899.00"},
           {"tax_base", "964.18"},
           {"unrounded", "4.8209"},
           {"tax", "4.83"},
           {"effective_rate", "0.5373"},
       }) {
    EXPECT_EQ(Decimal::Parse(At(root, district + field)), Decimal::Parse(figure)) << field;
  }
  EXPECT_EQ(At(root, district + "rounding_method"), "1");
  EXPECT_EQ(At(root, district + "rate_recomputed"), "true");
  EXPECT_EQ(At(root, "warnings.0"), "(no warnings.0)");
}

// invoice_tennessee.json, 2026-04-16, area TN-SYH (rounding down). GENERAL:
// row 1, one generator at 2,849.95.
//   TN-ST 40: 2,849.95 x 7% = 199.4965 -> down 199.49
//   TN-CO-SYH 30: above the 1,600.00 maximum: 1,600.00 x 2.25% = 36.00 and
//             (2,849.95 - 1,600.00 = 1,249.95) x 0% = 0; 36.00; effective rate
//             36.00 / 2,849.95 = 1.26318...% -> 1.2632, recomputed.
// Also the foot discounts of the golden document foot_discounts.json (worked in
// its expect file): 10% and 5% in cascade, then 50.00 off spread over rows 1-3
// (base 790.80). Row 1: 279.30 -> 251.37 -> 238.80, share 279.30 / 790.80 =
// 35.318665% of 50.00 = 17.66, leaving 32.34; row 2 takes 16.03, leaving 16.31;
// row 3, the last row that takes foot discounts, takes those 16.31. Row 4 is
// excluded. Counterpart line 1 (account 4010) holds rows 1 and 2.
TEST(ExplainCommand, MaximumSplitAndFootDiscountSharesAreShownAsWorked) {
  testing_support::DemoDatabase demo;
  const Outcome tennessee =
      Command(cli::ExplainMain, {Sample("invoice_tennessee.json"), "--db", demo.path()});
  ASSERT_EQ(tennessee.code, 0) << tennessee.err;
  ExpectLines(tennessee.out,
              {"      2849.95 x 7.0000% = 199.4965; kept to 4 decimals, half to even: 199.4965\n"
               "      rounded down (toward zero) to 2 decimals: 199.49\n",
               "    TN-CO-SYH Sycamore Hollow County (order 30)\n",
               "      above the maximum 1600.00:\n"
               "        1600.00 x 2.2500% = 36\n"
               "        1249.95 above it x 0.0000% = 0\n"
               "      36 in all; each part kept to 4 decimals, half to even: 36.0000\n"
               "      rounded down (toward zero) to 2 decimals: 36.00\n"
               "      effective rate 36.00 / 2849.95 = 1.2632% (the base is above the maximum)\n",
               "\nWarnings\n  none\n"});

  const Outcome discounts =
      Command(cli::ExplainMain,
              {(Root() / "tests" / "golden" / "documents" / "foot_discounts.json").string(), "--db",
               demo.path(), "--format", "json"});
  ASSERT_EQ(discounts.code, 0) << discounts.err;
  const json::Value root = Json(discounts.out);
  for (const auto& [path, figure] : std::vector<std::pair<std::string, std::string>>{
           {"rows.0.percentage_discounts.0.amount_after", "251.37"},
           {"rows.0.percentage_discounts.1.amount_after", "238.80"},
           {"rows.0.absolute_discounts.0.base", "790.80"},
           {"rows.0.absolute_discounts.0.incidence", "35.318665"},
           {"rows.0.absolute_discounts.0.share", "17.66"},
           {"rows.0.absolute_discounts.0.remaining", "32.34"},
           {"rows.0.net", "221.14"},
           {"rows.1.absolute_discounts.0.remaining", "16.31"},
           {"rows.2.absolute_discounts.0.share", "16.31"},
           {"rows.2.net", "204.28"},
           {"counterparts.0.total", "421.85"},
       }) {
    EXPECT_EQ(Decimal::Parse(At(root, path)), Decimal::Parse(figure)) << path;
  }
  EXPECT_EQ(At(root, "rows.2.absolute_discounts.0.last_eligible_row"), "true");
  EXPECT_EQ(At(root, "rows.1.absolute_discounts.0.last_eligible_row"), "false");
  EXPECT_EQ(At(root, "rows.3.absolute_discounts.0"), "(no rows.3.absolute_discounts.0)");
  EXPECT_EQ(At(root, "counterparts.0.rows.0.row") + "," + At(root, "counterparts.0.rows.1.row"),
            "1,2");
}

// The sample invoice (rows 1-5, net 2,815.60: GENERAL rows 1-3 2,214.60, CLOTHING
// row 4 516.00, FREIGHT row 5 85.00) changed so that no row bears tax, each
// way the engine has for it. The tax is then 0, and explain says why.
TEST(ExplainCommand, ZeroTaxSaysWhyForEachReason) {
  testing_support::DemoDatabase demo;
  std::ifstream in(Sample("invoice.json"));
  const std::string invoice((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  struct Case {
    std::string from, to;
    std::vector<std::string> kinds_and_rows;  // "kind group rows" of each warning
    std::string text;                         // one warning's text
  };
  const std::vector<Case> cases = {
      {"\"DO11_FLGTAXLIABLE\": 1",
       "\"DO11_FLGTAXLIABLE\": 0",
       {"not-liable  1-5"},
       "no sales tax on rows 1-5 (net 2815.60): the document is not liable to tax"},
      {"\"DO11_TAXAREA_NV01\": \"TX-MSP\"",
       "\"DO11_TAXAREA_NV01\": \"\"",
       {"no-tax-area  1-5"},
       "the document has no tax area (DO11_TAXAREA_NV01 is blank)"},
      {"\"DO11_TAXAREA_NV01\": \"TX-MSP\"",
       "\"DO11_TAXAREA_NV01\": \"OUT-STATE\"",
       {"tax-area-without-lines  1-5"},
       "tax area OUT-STATE gives no jurisdictions"},
      // Every TX-MSP rate is in force from 2020-01-01.
      {"\"DO11_DATADOC\": \"2026-03-23\"",
       "\"DO11_DATADOC\": \"2019-06-30\"",
       {"no-rate GENERAL 1-3", "no-rate CLOTHING 4", "no-rate FREIGHT 5"},
       "no sales tax on rows 1-3 (net 2214.60): no jurisdiction of tax area TX-MSP has a rate "
       "for tax group GENERAL in force on 2019-06-30"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    std::string document = invoice;
    ASSERT_NE(document.find(c.from), std::string::npos);
    document.replace(document.find(c.from), c.from.size(), c.to);
    const std::string path = (demo.dir() / "zero_tax.json").string();
    std::ofstream(path, std::ios::trunc) << document;
    const Outcome run = Command(cli::ExplainMain, {path, "--db", demo.path(), "--format", "json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const json::Value root = Json(run.out);
    EXPECT_EQ(Decimal::Parse(At(root, "totals.tax")), Decimal(0));
    std::vector<std::string> found;
    const json::Value& warnings = *root.Find("warnings");
    for (size_t i = 0; i < warnings.items.size(); ++i) {
      const std::string at = "warnings." + std::to_string(i) + ".";
      std::vector<int32_t> rows;
      for (const json::Value& row : warnings.items[i].Find("rows")->items) {
        rows.push_back(std::stoi(row.text));
      }
      found.push_back(At(root, at + "kind") + " " + At(root, at + "tax_group") + " " +
                      RowList(rows));
      if (i == 0) {
        EXPECT_NE(At(root, at + "text").find(c.text), std::string::npos);
      }
    }
    EXPECT_EQ(found, c.kinds_and_rows);
  }
}

// recalc reports the warning in its text report and in the document file it
// writes, and writes no "warnings" member when there is none. invoice_cad.json
// is not liable: rows 1-3, net 1,494.49 + 955.77 + 69.80 = 2,520.06 USD.
TEST(ExplainCommand, RecalcCarriesTheZeroTaxWarningWithoutChangingFigures) {
  testing_support::DemoDatabase demo;
  const Outcome file = Command(cli::RecalcMain, {Sample("invoice_cad.json"), "--db", demo.path()});
  ASSERT_EQ(file.code, 0) << file.err;
  const json::Value root = Json(file.out);
  EXPECT_EQ(At(root, "warnings.0.kind"), "not-liable");
  EXPECT_EQ(At(root, "warnings.0.rows.2"), "3");
  EXPECT_EQ(Decimal::Parse(At(root, "warnings.0.net")), Decimal::Parse("2520.06"));
  EXPECT_EQ(Decimal::Parse(At(root, "totals.DO13_TOTDOCUMENTO")), Decimal::Parse("2520.06"));

  const Outcome text = Command(
      cli::RecalcMain, {Sample("invoice_cad.json"), "--db", demo.path(), "--format", "text"});
  ASSERT_EQ(text.code, 0) << text.err;
  ExpectLines(text.out, {"\nWarnings\n  - no sales tax on rows 1-3 (net 2520.06): the document is "
                         "not liable to tax (DO11_FLGTAXLIABLE is not 1)\n"});

  const Outcome liable = Command(cli::RecalcMain, {Sample("invoice.json"), "--db", demo.path()});
  ASSERT_EQ(liable.code, 0) << liable.err;
  EXPECT_EQ(liable.out.find("\"warnings\""), std::string::npos);
}

}  // namespace
}  // namespace tarvolin
