// tarvolin recalc on a batch of documents: each worker holds one engine object
// and one connection for the whole run and hands the engine its documents one
// after the other, as a host session does, so the engine's caches (tax
// details, the tax area's lines, the tax decimals) carry from one document to
// the next. A document that fails is reported by name; the others go on.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "progress.h"
#include "recalc_command.h"
#include "tarvolin/db/connection.h"

namespace tarvolin::cli {

// True when the options ask for a batch: several documents, "-", --out-dir or
// --jobs. A folder alone is not one: it is refused as a document (75), as
// ever; with --out-dir or --jobs it gives its documents.
bool IsBatch(const RecalcOptions& options);

// The documents of a batch, in order: a file as given, a folder as its *.json
// files sorted by name, "-" as the lines of list (one path each, blank lines
// skipped; a folder there is expanded too). A folder that cannot be listed
// raises 75 naming it.
std::vector<std::string> ListDocuments(const std::vector<std::string>& arguments,
                                       std::istream& list);

struct BatchSettings {
  RecalcOptions options;  // the flags, --format, --register, --db, --out-dir, --jobs
  // Opens a worker's connection to the company database (options.database,
  // or the default). Default: OpenCompanyDatabase.
  std::function<std::shared_ptr<Connection>(const std::string& path)> open_database;
};

struct DocumentResult {
  std::string name;  // as listed
  bool done = false;
  int64_t rows = 0;   // body rows, when done
  int exit_code = 0;  // as the document alone would exit: 0, 1 or 2
  std::string error;  // when failed: the error line, as ReportError prints it
};

struct BatchResult {
  std::vector<DocumentResult> documents;  // in the order listed
  double seconds = 0;
  // 0 when every document was done; else 1 when one failed with an engine,
  // database or output error, else 2 (only bad document files).
  int ExitCode() const;
};

// Recalculates the documents with options.jobs workers (at least 1, at most
// one per document). Document i goes to worker i mod jobs, so a run gives the
// same results whatever the timing. Each document's output (its document
// file, or its report with --format text) goes to out_dir under its file name
// (the report as NAME.txt); with --register its counterparts and tax summary
// are stored in a transaction of its own. A failed document writes and
// stores nothing; the worker then goes on with a new engine object, so that
// nothing a failed recalculation left half done reaches the next document.
// Errors that stop the whole batch before any document (the database cannot
// be opened, out_dir cannot be made) are raised.
BatchResult RunBatch(const std::vector<std::string>& documents, const BatchSettings& settings,
                     Progress& progress);

// The summary: documents, done and failed, rows, time, rows per second, and
// each failed document with its error.
void PrintSummary(const BatchResult& result, std::ostream& out);

// The whole batch as the command runs it: lists the documents, shows progress
// on err (a bar when err is a terminal), prints the summary on out, and
// returns the exit code.
int RunRecalcBatch(const RecalcOptions& options, std::istream& list, std::ostream& out,
                   std::ostream& err);

}  // namespace tarvolin::cli
