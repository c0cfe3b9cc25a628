// tarvolin recalc on a batch of documents: the same outputs as each document
// alone, with one worker or two; a worker's engine keeps the rates it cached;
// every document of one tax area is taxed; a failed document is named and
// leaves nothing behind while the others are done.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch_runner.h"
#include "cli/document_handover.h"
#include "cli/recalc_command.h"
#include "db/demo_database.h"
#include "tarvolin/db/company_database.h"
#include "tarvolin/db/counting_connection.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

fs::path Root() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }
std::string Sample(const std::string& name) {
  return (Root() / "data" / "samples" / name).string();
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Recalc(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int code = cli::RecalcMain(arguments, out, err);
  return {code, out.str(), err.str()};
}

Decimal TaxOf(const fs::path& document_file) {
  return NzDecimal(ReadDocumentFile(document_file.string())
                       .document->Get(DocumentTable::kTotals)
                       ->Get("DO13_TOTIVA"));
}

TEST(RecalcBatch, EachDocumentGetsTheOutputItGetsAloneWithOneWorkerOrTwo) {
  testing_support::DemoDatabase demo;
  // The samples in four tax areas and none, a credit note, other currencies,
  // and golden documents with schedules and commissions. Left out: the
  // invoice after the rate change, whose rate depends on what its worker
  // looked up before (the next test).
  std::vector<std::string> documents;
  for (const char* sample :
       {"credit_note.json", "invoice.json", "invoice_agents.json", "invoice_cad.json",
        "invoice_california.json", "invoice_expenses.json", "invoice_tennessee.json",
        "invoice_three_installments.json", "purchase_eur.json", "purchase_landed_costs.json"}) {
    documents.push_back(Sample(sample));
  }
  for (const char* golden : {"commissions_foot_discount.json", "schedule_changed_advance.json",
                             "schedule_foreign_currency.json", "schedule_unchanged_kept.json"}) {
    documents.push_back((Root() / "tests" / "golden" / "documents" / golden).string());
  }

  for (const std::string format : {"json", "text"}) {
    SCOPED_TRACE(format);
    std::vector<std::string> alone;
    for (const std::string& document : documents) {
      const Outcome one = Recalc({document, "--db", demo.path(), "--format", format});
      ASSERT_EQ(one.code, 0) << document << ": " << one.err;
      alone.push_back(one.out);
    }
    for (const std::string jobs : {"1", "2"}) {
      SCOPED_TRACE("--jobs " + jobs);
      const fs::path out_dir = demo.dir() / (format + jobs);
      std::vector<std::string> arguments = documents;
      arguments.insert(arguments.end(), {"--db", demo.path(), "--format", format, "--out-dir",
                                         out_dir.string(), "--jobs", jobs});
      const Outcome batch = Recalc(arguments);
      ASSERT_EQ(batch.code, 0) << batch.err;
      EXPECT_EQ(batch.err.find("error"), std::string::npos) << batch.err;
      EXPECT_TRUE(batch.out.starts_with("Documents        14 (14 recalculated, 0 failed)\n"))
          << batch.out;
      for (size_t i = 0; i < documents.size(); ++i) {
        fs::path written = out_dir / fs::path(documents[i]).filename();
        if (format == "text") written.replace_extension(".txt");
        EXPECT_TRUE(ReadText(written) == alone[i]) << written << " differs from its run alone";
      }
    }
  }
}

// A rate looked up for a jurisdiction and tax group stays in the engine's
// cache, whatever the date of the next document: the city's GENERAL rate went
// from 1.00% to 1.25% on 2026-07-01, yet after the March invoice the same
// worker taxes the July one at 1.00% (11.36 instead of 14.20 on 1136.00).
TEST(RecalcBatch, AWorkerKeepsTheRateItCachedForAJurisdictionAndGroup) {
  testing_support::DemoDatabase demo;
  const std::string after_change = Sample("invoice_after_rate_change.json");
  const Outcome alone = Recalc({after_change, "--db", demo.path(), "--format", "text"});
  ASSERT_EQ(alone.code, 0) << alone.err;
  const std::string july_rate = "  GENERAL  TX-CI-MSP     1136.00  1.2500  14.20\n";
  const std::string march_rate = "  GENERAL  TX-CI-MSP     1136.00  1.0000  11.36\n";
  EXPECT_NE(alone.out.find(july_rate), std::string::npos) << alone.out;

  struct Case {
    std::string jobs;
    std::string city_line;  // of the July invoice
  };
  // Two workers: each document on a worker of its own, as alone.
  for (const Case& c : {Case{"1", march_rate}, Case{"2", july_rate}}) {
    const fs::path out_dir = demo.dir() / ("jobs" + c.jobs);
    const Outcome batch =
        Recalc({Sample("invoice.json"), after_change, "--db", demo.path(), "--format", "text",
                "--out-dir", out_dir.string(), "--jobs", c.jobs});
    ASSERT_EQ(batch.code, 0) << batch.err;
    const std::string report = ReadText(out_dir / "invoice_after_rate_change.txt");
    EXPECT_NE(report.find(c.city_line), std::string::npos) << "--jobs " << c.jobs << "\n" << report;
  }
}

TEST(RecalcBatch, EveryDocumentOfOneTaxAreaIsTaxed) {
  testing_support::DemoDatabase demo;
  // Five Mesquite Springs documents through one worker, with the tax of each
  // as docs/samples.md gives it.
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"invoice.json", "225.25"},
      {"invoice_agents.json", "213.99"},
      {"credit_note.json", "30.23"},
      {"invoice_expenses.json", "179.98"},
      {"invoice_three_installments.json", "251.45"}};
  std::vector<std::string> arguments;
  for (const auto& [name, tax] : expected) arguments.push_back(Sample(name));
  const fs::path out_dir = demo.dir() / "out";
  arguments.insert(arguments.end(), {"--db", demo.path(), "--out-dir", out_dir.string()});
  const Outcome batch = Recalc(arguments);
  ASSERT_EQ(batch.code, 0) << batch.err;
  for (const auto& [name, tax] : expected) {
    EXPECT_TRUE(TaxOf(out_dir / name) == Decimal::Parse(tax)) << name;
  }

  // What the workers avoid: an engine reused after Terminate still knows the
  // area's code but no longer has its lines, so the next document of the
  // same area gets no tax bases at all.
  const std::shared_ptr<Connection> connection = OpenCompanyDatabase(demo.path());
  auto engine = cli::NewEngine();
  cli::RecalcOptions options;
  for (const char* name : {"invoice.json", "invoice_agents.json"}) {
    const DocumentFile file = ReadDocumentFile(Sample(name));
    cli::HandOver(*engine, file, connection, demo.path());
    cli::RecalculateAsAsked(*engine, options);
    engine->Terminate();
    EXPECT_EQ(
        NzDecimal(file.document->Get(DocumentTable::kTotals)->Get("DO13_TOTIVA")) == Decimal(0),
        std::string(name) == "invoice_agents.json")
        << name;
  }
}

TEST(RecalcBatch, AFailedDocumentIsNamedAndLeavesNothingWhileTheOthersGoOn) {
  testing_support::DemoDatabase demo;
  const fs::path bad = demo.dir() / "bad.json";
  std::ofstream(bad) << "{\"format\": 1,";
  const fs::path missing = demo.dir() / "missing.json";
  // The paths on standard input, a blank line among them.
  std::istringstream list(Sample("invoice.json") + "\n" + missing.string() + "\n\n" + bad.string() +
                          "\n" + Sample("invoice_agents.json") + "\n" +
                          Sample("invoice_california.json") + "\n");
  const std::vector<std::string> documents = cli::ListDocuments({"-"}, list);
  ASSERT_EQ(documents.size(), 5u);

  // The agents invoice (2026000105) meets a database error on its tax summary,
  // after its counterparts were written in the same transaction.
  cli::BatchSettings settings;
  settings.options.database = demo.path();
  settings.options.register_document = true;
  settings.options.out_dir = (demo.dir() / "out").string();
  settings.options.jobs = 2;
  settings.open_database = [](const std::string& path) {
    auto counting = std::make_shared<CountingConnection>(OpenCompanyDatabase(path));
    counting->SetBeforeEach([](int64_t, std::string_view statement) {
      if (statement.find("DO74_USATAX") != std::string_view::npos &&
          statement.find("2026000105") != std::string_view::npos) {
        throw Error(err::kDatabaseError, "SqliteConnection", "disk I/O error");
      }
    });
    return counting;
  };
  cli::Progress progress = cli::Progress::Silent();
  const cli::BatchResult result = cli::RunBatch(documents, settings, progress);

  struct Expected {
    bool done;
    int exit_code;
    std::string error_start;
  };
  const std::vector<Expected> expected = {
      {true, 0, ""},
      {false, 1, "error 53 in DocumentFile: "},
      {false, 2, "error 31037 in DocumentFile: " + bad.string() + ": "},
      {false, 1, "database error in RegistraCastellettoIVA: <- SqliteConnection: disk I/O error"},
      {true, 0, ""}};
  ASSERT_EQ(result.documents.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const cli::DocumentResult& document = result.documents[i];
    EXPECT_EQ(document.done, expected[i].done) << document.name;
    EXPECT_EQ(document.exit_code, expected[i].exit_code) << document.name;
    EXPECT_TRUE(document.error.starts_with(expected[i].error_start))
        << document.name << ": " << document.error;
  }
  EXPECT_EQ(result.ExitCode(), 1);
  const cli::BatchResult bad_files_only{.documents = {result.documents[0], result.documents[2]},
                                        .seconds = 0};
  EXPECT_EQ(bad_files_only.ExitCode(), 2);
  // --out names one file: with several documents it is a usage error, not ignored.
  EXPECT_EQ(Recalc({Sample("invoice.json"), Sample("invoice_cad.json"), "--db", demo.path(),
                    "--out", (demo.dir() / "one.json").string()})
                .code,
            108);

  std::ostringstream summary;
  cli::PrintSummary(result, summary);
  EXPECT_TRUE(
      summary.str().starts_with("Documents        5 (2 recalculated, 3 failed)\n"
                                "Rows             9\n"))
      << summary.str();
  EXPECT_NE(summary.str().find("Failed\n  " + missing.string() + ": error 53"), std::string::npos)
      << summary.str();

  // Written and stored: the two done, nothing of the failed ones, no temporary file.
  std::vector<std::string> written;
  for (const auto& entry : fs::directory_iterator(settings.options.out_dir)) {
    written.push_back(entry.path().filename().string());
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"invoice.json", "invoice_california.json"}));
  for (const auto& [registration, stored] :
       {std::pair{"2026000104", true}, std::pair{"2026000105", false},
        std::pair{"2026000110", true}}) {
    for (const char* table : {"DO73_DOCCONTROPARTITE WHERE DO73_NUMREG_CO99",
                              "DO74_USATAX WHERE DO74_USANUMREG_CO99"}) {
      EXPECT_EQ(demo.connection()
                        .Execute(std::string("SELECT COUNT(*) AS N FROM ") + table + " = '" +
                                 registration + "'")
                        ->Get("N")
                        .CLng() > 0,
                stored)
          << table << " " << registration;
    }
  }
}

}  // namespace
}  // namespace tarvolin
