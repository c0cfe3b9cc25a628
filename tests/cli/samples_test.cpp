// Every sample document in data/samples, recalculated and registered by
// tarvolin recalc on a fresh demo database, must give the figures that the
// table of docs/samples.md promises a reader. The table is read here, so the
// page and the samples cannot drift apart: a sample without a line, or a line
// without a sample, fails too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/recalc_command.h"
#include "db/demo_database.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

fs::path Root() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }

struct SampleLine {
  std::string file;
  std::vector<std::string> figures;  // printed in the report as they stand
  std::string tax;
  std::string total;
};

// The text between each pair of backquotes.
std::vector<std::string> Quoted(const std::string& cell) {
  std::vector<std::string> quoted;
  for (size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open)) {
    const size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    quoted.push_back(cell.substr(open + 1, close - open - 1));
    open = close + 1;
  }
  return quoted;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? ""
                                    : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Table lines "| `file.json` | what it shows | figures | tax | total |".
std::vector<SampleLine> SamplesTable() {
  std::ifstream in(Root() / "docs" / "samples.md");
  std::vector<SampleLine> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("| `")) continue;
    std::vector<std::string> cells;
    std::istringstream split(line.substr(1));
    for (std::string cell; std::getline(split, cell, '|');) cells.push_back(cell);
    if (cells.size() < 5 || Quoted(cells[0]).empty()) {
      ADD_FAILURE() << "docs/samples.md: not a sample line: " << line;
      continue;
    }
    lines.push_back({Quoted(cells[0])[0], Quoted(cells[2]), Trimmed(cells[3]), Trimmed(cells[4])});
  }
  return lines;
}

// A figure as a cell of the report: blanks or a line end on both sides.
bool PrintsCell(const std::string& report, const std::string& figure) {
  for (size_t at = report.find(figure); at != std::string::npos; at = report.find(figure, at + 1)) {
    const size_t end = at + figure.size();
    if ((at == 0 || report[at - 1] == ' ' || report[at - 1] == '\n') &&
        (end == report.size() || report[end] == ' ' || report[end] == '\n')) {
      return true;
    }
  }
  return false;
}

// Rows the registration stored for the document in one table.
int Stored(testing_support::DemoDatabase& demo, const std::string& table,
           const std::string& registration_field, const std::string& registration) {
  return demo.connection()
      .Execute("SELECT COUNT(*) AS N FROM " + table + " WHERE " + registration_field + " = '" +
               registration + "'")
      ->Get("N")
      .CLng();
}

TEST(Samples, EachRegistersOnTheDemoCompanyWithTheFiguresDocsSamplesGives) {
  const std::vector<SampleLine> table = SamplesTable();
  std::set<std::string> listed, present;
  for (const SampleLine& sample : table) listed.insert(sample.file);
  for (const auto& entry : fs::directory_iterator(Root() / "data" / "samples")) {
    if (entry.path().extension() == ".json") present.insert(entry.path().filename().string());
  }
  EXPECT_EQ(listed, present);

  for (const SampleLine& sample : table) {
    SCOPED_TRACE(sample.file);
    testing_support::DemoDatabase demo;
    const std::string written = (demo.dir() / "recalculated.json").string();
    std::ostringstream out, err;
    ASSERT_EQ(cli::RecalcMain({(Root() / "data" / "samples" / sample.file).string(), "--db",
                               demo.path(), "--register", "--format", "text", "--out", written},
                              out, err),
              0)
        << err.str();
    const std::string report = out.str();
    EXPECT_NE(report.find("Messages\n  none\n"), std::string::npos) << report;
    for (const std::string& figure : sample.figures) {
      EXPECT_TRUE(PrintsCell(report, figure)) << figure << " in\n" << report;
    }
    // The report's own Tax and Document total lines, in the company currency.
    for (const auto& [label, figure] :
         {std::pair{"\n  Tax ", sample.tax}, std::pair{"\n  Document total ", sample.total}}) {
      std::string shown = "(none)";
      if (const size_t at = report.find(label); at != std::string::npos) {
        std::istringstream(report.substr(at + std::string(label).size())) >> shown;
      }
      EXPECT_TRUE(Decimal::TryParse(shown) == Decimal::TryParse(figure)) << label << shown;
    }

    const DocumentFile file = ReadDocumentFile(written);
    auto totals = file.document->Get(DocumentTable::kTotals);
    for (const auto& [field, figure] :
         {std::pair{"DO13_TOTIVA", sample.tax}, std::pair{"DO13_TOTDOCUMENTO", sample.total}}) {
      const Decimal value = NzDecimal(totals->Get(field));
      EXPECT_TRUE(value == Decimal::Parse(figure))
          << field << " is " << value.ToString() << ", docs/samples.md says " << figure;
    }

    // Registered: its counterparts, and one stored tax line per summary line.
    const std::string registration =
        NzStr(file.document->Get(DocumentTable::kHeader)->Get("DO11_NUMREG_CO99"));
    EXPECT_GT(Stored(demo, "DO73_DOCCONTROPARTITE", "DO73_NUMREG_CO99", registration), 0);
    auto summary = file.document->Get(DocumentTable::kTaxSummary);
    EXPECT_EQ(Stored(demo, "DO74_USATAX", "DO74_USANUMREG_CO99", registration),
              summary ? summary->RecordCount() : 0);
  }
}

}  // namespace
}  // namespace tarvolin
