#include "batch_runner.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>

#include "document_handover.h"
#include "standard_output.h"
#include "tarvolin/db/company_database.h"
#include "tarvolin/db/postgres_connection.h"
#include "tarvolin/host/document_checks.h"
#include "tarvolin/host/document_file.h"
#include "tarvolin/host/output_file.h"
#include "tarvolin/host/registration.h"
#include "text_report.h"

namespace tarvolin::cli {
namespace {

namespace fs = std::filesystem;
constexpr std::string_view kSource = "RecalcBatch";

std::string Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

// A folder's *.json files, sorted by name.
void AddFolder(const std::string& folder, std::vector<std::string>& documents) {
  std::error_code error;
  std::vector<std::string> found;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    if (it->path().extension() == ".json" && it->is_regular_file(ignored)) {
      found.push_back(it->path().string());
    }
  }
  if (error) {
    RaiseText(err::kPathFileAccess, kSource,
              "cannot list the folder " + folder + ": " + error.message());
  }
  std::sort(found.begin(), found.end());
  documents.insert(documents.end(), found.begin(), found.end());
}

void AddArgument(const std::string& argument, std::vector<std::string>& documents) {
  std::error_code ignored;
  if (fs::is_directory(argument, ignored)) {
    AddFolder(argument, documents);
  } else {
    documents.push_back(argument);
  }
}

// The error line ReportError prints, without its "tarvolin: " and line break.
std::string ErrorLine(const Error& error, int& exit_code) {
  std::ostringstream line;
  exit_code = ReportError(error, line);
  std::string text = line.str();
  if (text.starts_with("tarvolin: ")) text.erase(0, 10);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

int64_t BodyRows(HostDocument& document) {
  const std::shared_ptr<Recordset> body = document.Get(DocumentTable::kBody);
  if (!body || body->State() != ObjectState::kOpen) return 0;
  return body->Clone()->RecordCount();  // every row, whatever filter the engine left
}

// The rows this document's recalculation edited: the first NumRigheModificate
// entries of ArrRigheModificate. The recalculation resets only the count, so
// after a document that edited rows and one that edited none the array still
// holds the earlier document's entries.
Variant EditedRows(ICLSMG_TARVOLIN& api) {
  Variant rows = api.ArrRigheModificate();
  const auto count = static_cast<size_t>(std::max<int16_t>(api.NumRigheModificate(), 0));
  if (rows.IsArray() && rows.array().size() > count) rows.mutable_array().resize(count);
  return rows;
}

// One worker: an engine object and a connection for the whole batch.
class Worker {
 public:
  Worker(std::shared_ptr<Connection> connection, const BatchSettings& settings,
         std::string connection_string, std::mutex* registration_turn)
      : connection_(std::move(connection)),
        options_(settings.options),
        connection_string_(std::move(connection_string)),
        registration_turn_(registration_turn) {}

  DocumentResult Run(const std::string& path, const std::string& output, Progress& progress) {
    DocumentResult result;
    result.name = path;
    bool engine_used = false;
    try {
      DocumentFile file = ReadDocumentFile(path);
      for (const std::string& warning : CheckDocument(file, path, *connection_)) {
        progress.Line("tarvolin: warning: " + warning);
      }
      ICLSMG_TARVOLIN& api = *engine_;
      engine_used = true;
      zero_tax_.Take();  // only this document's rows
      // The next document as a host session hands it over: no Terminate in
      // between, which would drop the tax area's lines but keep the code of the
      // area they were for, and leave the next document of that area untaxed.
      HandOver(api, file, connection_, connection_string_);
      // The helper converts with the company of the document in hand.
      api.Cls_Calcoli()->SetCurrentCompany(file.document->Company());
      RecalculateAsAsked(api, options_);
      Finish(api, file, output, zero_tax_.Take());
      result.rows = BodyRows(*file.document);
      result.done = true;
    } catch (const Error& error) {
      result.error = ErrorLine(error, result.exit_code);
      std::string shown = "tarvolin: " + path + ": " + result.error;
      if (options_.verbose && !error.context().empty()) shown += "\n" + error.context();
      progress.Line(shown);
    } catch (const std::exception& error) {
      result.exit_code = 1;
      result.error = error.what();
      progress.Line("tarvolin: " + path + ": " + result.error);
    }
    if (!result.done && engine_used) {
      engine_->Terminate();
      engine_ = TracedEngine();
    }
    return result;
  }

  // Lets the engine go as a host does when its session ends.
  void End() { engine_->Terminate(); }

 private:
  // Prepares the output in full, registers, and only then puts the output in
  // place: a failure at any step leaves the database and the output as they were.
  void Finish(ICLSMG_TARVOLIN& api, DocumentFile& file, const std::string& output,
              const std::vector<TaxWarning>& warnings) {
    std::optional<OutputFile> written;
    const auto prepare_output = [&] {
      if (output.empty()) return;
      const EngineOutcome outcome{
          .edited_rows = EditedRows(api), .totals = file.document->totals(), .warnings = warnings};
      if (options_.format == "text") {
        written.emplace(output, FormatTextReport(*file.document, outcome.warnings), "DocumentFile");
      } else {
        written.emplace(output, FormatDocumentFile(file, &outcome), "DocumentFile");
      }
    };
    if (options_.register_document) {
      // One writer at a time on an embedded database: the workers take turns
      // here rather than wait on each other's locks inside the database.
      std::unique_lock<std::mutex> turn;
      if (registration_turn_ != nullptr) turn = std::unique_lock(*registration_turn_);
      RegisterDocument(api, *connection_, prepare_output);
    } else {
      prepare_output();
    }
    if (written) written->Commit();
  }

  std::shared_ptr<ICLSMG_TARVOLIN> TracedEngine() {
    auto engine = NewEngine();
    engine->set_trace(&zero_tax_);
    return engine;
  }

  std::shared_ptr<Connection> connection_;
  ZeroTaxWarnings zero_tax_;  // rows that bear no tax, taken per document
  std::shared_ptr<ICLSMG_TARVOLIN> engine_ = TracedEngine();
  const RecalcOptions& options_;
  std::string connection_string_;
  std::mutex* registration_turn_;
};

// Each document's output file, "" without --out-dir. A second document with
// the output of an earlier one fails instead of replacing it.
std::vector<std::string> Outputs(const std::vector<std::string>& documents,
                                 const RecalcOptions& options,
                                 std::vector<DocumentResult>& results) {
  std::vector<std::string> outputs(documents.size());
  if (options.out_dir.empty()) return outputs;
  std::map<std::string, size_t> first_of;
  for (size_t i = 0; i < documents.size(); ++i) {
    fs::path name = fs::path(documents[i]).filename();
    if (options.format == "text") name.replace_extension(".txt");
    outputs[i] = (fs::path(options.out_dir) / name).string();
    const auto [first, added] = first_of.emplace(outputs[i], i);
    if (!added) {
      results[i].exit_code = 1;
      results[i].error = "error 75 in RecalcBatch: " + outputs[i] + " is the output of " +
                         documents[first->second] + " already";
      outputs[i].clear();
    }
  }
  return outputs;
}

}  // namespace

bool IsBatch(const RecalcOptions& options) {
  return options.documents.size() > 1 || !options.out_dir.empty() || options.jobs > 0 ||
         (options.documents.size() == 1 && options.documents[0] == "-");
}

std::vector<std::string> ListDocuments(const std::vector<std::string>& arguments,
                                       std::istream& list) {
  std::vector<std::string> documents;
  for (const std::string& argument : arguments) {
    if (argument != "-") {
      AddArgument(argument, documents);
      continue;
    }
    for (std::string line; std::getline(list, line);) {
      const std::string path = Trimmed(line);
      if (!path.empty()) AddArgument(path, documents);
    }
  }
  return documents;
}

int BatchResult::ExitCode() const {
  int code = 0;
  for (const DocumentResult& document : documents) {
    if (document.exit_code == 1) return 1;
    code = std::max(code, document.exit_code);
  }
  return code;
}

namespace {

void MakeFolder(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) {
    RaiseText(err::kPathFileAccess, kSource,
              "cannot make the folder " + folder + ": " +
                  (error ? error.message() : "it is not a folder"));
  }
}

}  // namespace

BatchResult RunBatch(const std::vector<std::string>& documents, const BatchSettings& settings,
                     Progress& progress) {
  const auto start = std::chrono::steady_clock::now();
  const RecalcOptions& options = settings.options;
  const std::string path = options.database.empty() ? DefaultDatabasePath() : options.database;
  BatchResult result;
  result.documents.resize(documents.size());
  for (size_t i = 0; i < documents.size(); ++i) result.documents[i].name = documents[i];
  if (!options.out_dir.empty()) MakeFolder(options.out_dir);
  const std::vector<std::string> outputs = Outputs(documents, options, result.documents);

  const size_t jobs = std::min(static_cast<size_t>(std::max(options.jobs, 1)),
                               std::max<size_t>(documents.size(), 1));
  std::mutex registration_turn;
  std::function<std::shared_ptr<Connection>(const std::string&)> open = settings.open_database;
  if (!open) open = [](const std::string& database) { return OpenCompanyDatabase(database); };
  std::vector<std::unique_ptr<Worker>> workers;
  for (size_t w = 0; w < jobs && !documents.empty(); ++w) {
    workers.push_back(std::make_unique<Worker>(open(path), settings, path,
                                               IsPostgresUri(path) ? nullptr : &registration_turn));
  }
  const auto work = [&](size_t w) {
    for (size_t i = w; i < documents.size(); i += jobs) {
      DocumentResult& document = result.documents[i];
      if (document.error.empty()) {
        document = workers[w]->Run(documents[i], outputs[i], progress);
      } else {
        progress.Line("tarvolin: " + document.name + ": " + document.error);
      }
      progress.Done(document.rows);
    }
    workers[w]->End();
  };
  if (workers.size() == 1) {
    work(0);
  } else {
    std::vector<std::thread> threads;
    for (size_t w = 0; w < workers.size(); ++w) threads.emplace_back(work, w);
    for (std::thread& thread : threads) thread.join();
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

void PrintSummary(const BatchResult& result, std::ostream& out) {
  int64_t rows = 0;
  size_t failed = 0;
  for (const DocumentResult& document : result.documents) {
    rows += document.rows;
    if (!document.done) ++failed;
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", result.seconds);
  const int64_t rate =
      result.seconds > 0 ? std::llround(static_cast<double>(rows) / result.seconds) : 0;
  out << "Documents        " << result.documents.size() << " (" << result.documents.size() - failed
      << " recalculated, " << failed << " failed)\n"
      << "Rows             " << rows << "\n"
      << "Time             " << seconds << " s\n"
      << "Rows per second  " << rate << "\n";
  if (failed == 0) return;
  out << "Failed\n";
  for (const DocumentResult& document : result.documents) {
    if (!document.done) out << "  " << document.name << ": " << document.error << "\n";
  }
}

int RunRecalcBatch(const RecalcOptions& options, std::istream& list, std::ostream& out,
                   std::ostream& err) {
  try {
    const std::vector<std::string> documents = ListDocuments(options.documents, list);
    const bool terminal = err.rdbuf() == std::cerr.rdbuf() && ::isatty(STDERR_FILENO) == 1;
    Progress progress(&err, terminal, static_cast<int64_t>(documents.size()));
    const BatchResult result =
        RunBatch(documents, BatchSettings{.options = options, .open_database = {}}, progress);
    progress.Finish();
    std::ostringstream summary;
    PrintSummary(result, summary);
    WriteStandardOutput(out, summary.str());
    return result.ExitCode();
  } catch (const Error& error) {
    return ReportError(error, err, options.verbose);
  } catch (const std::exception& error) {
    err << "tarvolin: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace tarvolin::cli
