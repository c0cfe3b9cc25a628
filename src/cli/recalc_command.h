// tarvolin recalc: recalculates a document file from its body rows, as a host
// would before saving it, optionally registers its counterparts and tax
// summary, and writes the document back or prints a readable report.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tarvolin/automation/error.h"

namespace tarvolin::cli {

struct RecalcOptions {
  std::string document;  // the document file to recalculate
  // The command line's documents: one file, or a batch's (several, folders,
  // "-" for paths on standard input). Empty: document alone.
  std::vector<std::string> documents;
  std::string out_dir;   // a batch's outputs, one file per document; empty for none
  int jobs = 0;          // a batch's workers; 0 when not given (one)
  std::string database;  // company database; empty for DefaultDatabasePath()
  std::string out;       // where to write the document file; empty for nowhere
  bool register_document = false;
  std::string format = "json";  // "json" or "text"
  // RicalcolaTotaliDaRigheCorpo's six flags, in its order; each --no-... turns one off.
  bool net_discounts = true;
  bool counterparts = true;
  bool totals = true;
  bool schedule = true;
  bool last_row = true;
  bool commissions = true;
  bool verbose = false;  // errors also show their context (the refused statement)
};

// Adds the "recalc" subcommand to app, storing what it parses in options.
CLI::App* AddRecalcCommand(CLI::App& app, RecalcOptions& options);

// Runs the recalculation. Standard output gets the text report with
// --format text, else the document file's JSON unless --out takes it; --out
// always receives the document file. The document is checked against the
// company database before the engine sees it (warnings go to err). The
// output is prepared in full before --register commits, so an error leaves
// the database, out's target and --out as they were (a device or a pipe is
// written before the commit and cannot be taken back). Returns the exit code:
// 0 done, 2 a bad document file (kBadDocumentFile), 1 any other error
// (also output that cannot be written), reported on err by ReportError.
// A batch (batch_runner.h) when the options name one: several documents, "-",
// --out-dir or --jobs; its paths for "-" come from standard input.
int RunRecalc(const RecalcOptions& options, std::ostream& out, std::ostream& err);

// The whole command from its arguments (those after "recalc"), as the
// command line would run it: usage errors give the parser's exit code (100
// and up) with its message on err.
int RecalcMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// Prints an engine or platform error as one line on err (number, or
// "database error", source chain joined by "<-", description) and, when
// verbose, its context on the lines after; returns its exit code: 2 for a
// document file that cannot be read as a document, 1 otherwise. Shared by the
// commands.
int ReportError(const Error& error, std::ostream& err, bool verbose = false);

// Runs a command's work and turns what it raises into the exit code, reported
// on err: 0 when it ends.
int RunReported(const std::function<void()>& work, std::ostream& err, bool verbose);

// Parses arguments as the options of the subcommand (added to app), as the
// command line would give them after its name. Returns std::nullopt when they
// parse, else the exit code of the parse (help included), printed on out/err.
std::optional<int> ParseSubcommand(CLI::App& app, CLI::App& subcommand,
                                   const std::vector<std::string>& arguments, std::ostream& out,
                                   std::ostream& err);

}  // namespace tarvolin::cli
