// tarvolin explain: recalculates a document as `tarvolin recalc` does and
// shows how each figure was reached, from what the engine reported while it
// worked (tarvolin/engine/calculation_trace.h): each row's foot discounts,
// each counterpart line's rows, and each tax line's rate, base, tax on tax,
// maximum, rounding and conversion; and why a row bears no tax. Nothing is
// written: neither the document nor the company database.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace tarvolin::cli {

struct ExplainOptions {
  std::string document;         // the document file to explain
  std::string database;         // company database; empty for DefaultDatabasePath()
  std::string format = "text";  // "text" or "json"
  bool verbose = false;         // errors also show their context
};

// Adds the "explain" subcommand to app, storing what it parses in options.
CLI::App* AddExplainCommand(CLI::App& app, ExplainOptions& options);

// Runs it: the explanation on out, document warnings and errors on err.
// Returns the exit code as RunRecalc does: 0, 2 for a bad document file, 1
// for any other error.
int RunExplain(const ExplainOptions& options, std::ostream& out, std::ostream& err);

// The whole command from its arguments (those after "explain"); usage errors
// give the parser's exit code with its message on err.
int ExplainMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace tarvolin::cli
