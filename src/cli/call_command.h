// tarvolin call: calls one public member of the engine by name, as a host's
// late-bound call would, and prints its result.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace tarvolin::cli {

struct CallOptions {
  std::string member;
  std::vector<std::string> arguments;
  std::string document;  // document file to load into cc; empty for none
  std::string database;  // company database; empty for the default when needed
  std::string out;       // where to write the document back; empty for nowhere
  bool list = false;
  bool verbose = false;  // errors also show their context
};

// Adds the "call" subcommand to app, storing what it parses in options.
CLI::App* AddCallCommand(CLI::App& app, CallOptions& options);

// Runs the call and prints the result on out; the checks of a document
// (--document) against the company database print their warnings on
// warnings. Errors of the engine, the platform, the document file and the
// output (out or --out that cannot be written) are raised (tarvolin::Error);
// nothing is written to options.out unless the call and its printing succeed.
void RunCall(const CallOptions& options, std::ostream& out, std::ostream& warnings);

}  // namespace tarvolin::cli
