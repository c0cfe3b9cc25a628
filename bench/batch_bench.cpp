// A batch of documents through the recalc command's workers, each holding one
// engine object and one connection to the embedded company database for the
// whole run: 10,000 invoices of 20 rows into the same tax area (TX-MSP), with
// 1 and 2 workers. Besides documents per second it counts the statements a
// document costs once its worker's caches are warm: those of the tax setup
// (tax-area lines, tax details, tax decimals) must be none.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli/batch_runner.h"
#include "cli/progress.h"
#include "tarvolin/db/company_database.h"
#include "tarvolin/db/counting_connection.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

constexpr int kDocuments = 10000;
constexpr int kRows = 20;

// The demo company and one 20-row invoice (the sample invoice with its goods
// rows repeated) in a temporary directory, removed when the process ends.
class BatchFolder {
 public:
  BatchFolder() {
    std::string pattern = (fs::temp_directory_path() / "tarvolin_batch_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw fs::filesystem_error("cannot create a temporary directory", pattern,
                                 std::error_code(errno, std::generic_category()));
    }
    dir_ = pattern;
    database_ = (dir_ / "company.db").string();
    InitCompanyDatabase(database_, {});
    document_ = (dir_ / "invoice20.json").string();
    // From the source tree, wherever the benchmark is run from.
    DocumentFile file = ReadDocumentFile(
        (fs::path(TARVOLIN_SOURCE_DIR) / "data" / "samples" / "invoice.json").string());
    const std::shared_ptr<Recordset> body = file.document->Get(DocumentTable::kBody);
    const int sample_rows = body->RecordCount();
    for (int progressive = sample_rows + 1; progressive <= kRows; ++progressive) {
      body->SetAbsolutePosition(1 + (progressive - sample_rows - 1) % (sample_rows - 1));
      std::vector<Variant> row;
      for (int f = 0; f < body->FieldCount(); ++f) row.push_back(body->Get(FieldRef(f)));
      body->AddNew();
      for (int f = 0; f < body->FieldCount(); ++f) body->Set(FieldRef(f), row[f]);
      body->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
      body->Update();
    }
    WriteDocumentFile(document_, file);
  }
  ~BatchFolder() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  BatchFolder(const BatchFolder&) = delete;
  BatchFolder& operator=(const BatchFolder&) = delete;

  const std::string& database() const { return database_; }
  const std::string& document() const { return document_; }

 private:
  fs::path dir_;
  std::string database_;
  std::string document_;
};

const BatchFolder& Folder() {
  static const BatchFolder folder;
  return folder;
}

// Statements of the engine's tax setup, which its caches should spare.
bool TaxSetup(std::string_view statement) {
  return statement.find("NV03_TAXAREALINE") != std::string_view::npos ||
         statement.find("NV05_TAXDETAIL") != std::string_view::npos ||
         statement.find("NAV_DECIMALI_TASSE") != std::string_view::npos;
}

// CPU seconds of the whole process, every worker's thread included: on a
// shared machine the wall-clock rate says as much about the others' load.
double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Counted {
  int64_t statements = 0;
  int64_t tax_setup = 0;
  int failed = 0;
  double seconds = 0;
};

Counted RunCounted(int documents, int jobs) {
  std::vector<std::shared_ptr<CountingConnection>> connections;
  cli::BatchSettings settings;
  settings.options.database = Folder().database();
  settings.options.jobs = jobs;
  settings.open_database = [&](const std::string& path) {
    connections.push_back(std::make_shared<CountingConnection>(OpenCompanyDatabase(path)));
    return connections.back();
  };
  cli::Progress progress = cli::Progress::Silent();
  const cli::BatchResult result =
      cli::RunBatch(std::vector<std::string>(static_cast<size_t>(documents), Folder().document()),
                    settings, progress);
  Counted counted;
  counted.seconds = result.seconds;
  for (const auto& document : result.documents) counted.failed += document.done ? 0 : 1;
  for (const auto& connection : connections) {
    counted.statements += connection->statements();
    for (const std::string& statement : connection->log()) counted.tax_setup += TaxSetup(statement);
  }
  return counted;
}

void BM_RecalculateBatch(benchmark::State& state) {
  const int jobs = static_cast<int>(state.range(0));
  // A worker's first document fills its caches; the others find them warm.
  Counted first;
  try {
    first = RunCounted(1, 1);
  } catch (const std::exception& error) {  // the other benchmarks still run
    state.SkipWithError(error.what());
    return;
  }
  Counted batch;
  const double cpu_before = ProcessCpuSeconds();
  for (auto _ : state) batch = RunCounted(kDocuments, jobs);
  state.counters["cpu_ms_per_document"] = (ProcessCpuSeconds() - cpu_before) * 1000 / kDocuments;
  const double warm_documents = kDocuments - jobs;
  state.counters["documents_per_second"] = kDocuments / batch.seconds;
  state.counters["rows_per_second"] = kDocuments * kRows / batch.seconds;
  state.counters["statements_first_document"] = static_cast<double>(first.statements);
  state.counters["statements_per_document"] =
      static_cast<double>(batch.statements - jobs * first.statements) / warm_documents;
  state.counters["tax_setup_statements_per_document"] =
      static_cast<double>(batch.tax_setup - jobs * first.tax_setup) / warm_documents;
  state.counters["failed"] = batch.failed;
}
BENCHMARK(BM_RecalculateBatch)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tarvolin
