#include "recalc_command.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>

#include "batch_runner.h"
#include "document_handover.h"
#include "standard_output.h"
#include "tarvolin/db/company_database.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/host/document_checks.h"
#include "tarvolin/host/document_file.h"
#include "tarvolin/host/host_document.h"
#include "tarvolin/host/output_file.h"
#include "tarvolin/host/registration.h"
#include "text_report.h"

namespace tarvolin::cli {
namespace {

// Recalculates and writes the output. Everything that can fail comes before
// the registration commits: the output file is prepared beside its target and
// standard output is written and flushed first, so an output that cannot be
// written leaves the database as it was. Only the rename of the prepared file
// follows the commit.
void Recalculate(const RecalcOptions& options, std::ostream& out, std::ostream& err) {
  // The file first: a bad document is reported as such even without a database.
  DocumentFile file = ReadDocumentFile(options.document);
  const std::string path = options.database.empty() ? DefaultDatabasePath() : options.database;
  const std::shared_ptr<Connection> connection = OpenCompanyDatabase(path);
  for (const std::string& warning : CheckDocument(file, options.document, *connection)) {
    err << "tarvolin: warning: " << warning << "\n";
  }

  ZeroTaxWarnings zero_tax;  // rows that bear no tax, for the report and the file
  auto engine = NewEngine();
  engine->set_trace(&zero_tax);
  // Set and called through the interface, as a host holding the engine object does.
  ICLSMG_TARVOLIN& api = *engine;
  HandOver(api, file, connection, path);
  RecalculateAsAsked(api, options);
  const std::vector<TaxWarning> warnings = zero_tax.Take();

  std::optional<OutputFile> written;
  const auto prepare_output = [&] {
    const EngineOutcome outcome{.edited_rows = api.ArrRigheModificate(),
                                .totals = file.document->totals(),
                                .warnings = warnings};
    api.Terminate();  // the engine's part is done; the document stays with the file
    std::string shown;
    if (options.format == "text") {
      shown = FormatTextReport(*file.document, outcome.warnings);
    } else if (options.out.empty()) {
      shown = FormatDocumentFile(file, &outcome);
    }
    if (!options.out.empty()) {
      written.emplace(options.out, FormatDocumentFile(file, &outcome), "DocumentFile");
    }
    WriteStandardOutput(out, shown);
  };
  if (options.register_document) {
    RegisterDocument(api, *connection, prepare_output);
  } else {
    prepare_output();
  }
  if (written) written->Commit();
}

}  // namespace

int ReportError(const Error& error, std::ostream& err, bool verbose) {
  // One line, whatever line breaks the texts carry.
  const auto one_line = [](std::string text, std::string_view joint) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
      text.replace(at, 2, joint);
    }
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
  };
  err << "tarvolin: ";
  if (error.number() == err::kDatabaseError) {
    err << "database error";
  } else {
    err << "error " << error.number();
  }
  // A chain ends with CR LF when the innermost procedure raised the error itself.
  std::string source = error.source();
  while (source.size() >= 2 && source.ends_with("\r\n")) source.resize(source.size() - 2);
  if (!source.empty()) err << " in " << one_line(source, " <- ");
  err << ": " << one_line(error.description(), " ") << "\n";
  if (verbose && !error.context().empty()) err << error.context() << "\n";
  return error.number() == err::kBadDocumentFile ? 2 : 1;
}

CLI::App* AddRecalcCommand(CLI::App& app, RecalcOptions& options) {
  auto* recalc = app.add_subcommand(
      "recalc", "Recalculate a document file from its body rows (totals, tax, counterparts)");
  recalc
      ->add_option("document", options.documents,
                   "The document file; several, - (paths on standard input), --out-dir or --jobs "
                   "make a batch, where a folder gives its *.json files")
      ->required();
  recalc->add_option("--db", options.database,
                     "Company database ($TARVOLIN_DB, else ./tarvolin.db)");
  auto* out = recalc->add_option("--out", options.out, "Write the recalculated document file here");
  auto* out_dir = recalc->add_option(
      "--out-dir", options.out_dir,
      "A batch: write each document's output (its file, or its report with --format text) here");
  auto* jobs = recalc->add_option("--jobs", options.jobs, "A batch: recalculate with N workers")
                   ->check(CLI::Range(1, 64));
  out->excludes(out_dir)->excludes(jobs);
  recalc
      ->add_option("--format", options.format,
                   "What standard output gets: json (the document file, unless --out) or "
                   "text (a report)")
      ->check(CLI::IsMember({"json", "text"}));
  auto* register_flag = recalc->add_flag(
      "--register", options.register_document,
      "Store the counterparts and the tax summary in the company database (one transaction)");
  recalc->add_flag_callback(
      "--no-net-discounts", [&options] { options.net_discounts = false; },
      "Leave the rows' amounts net of foot discounts as they are");
  // Registering counterparts that were not rebuilt would store stale ones.
  recalc
      ->add_flag_callback(
          "--no-counterparts", [&options] { options.counterparts = false; },
          "Do not rebuild the counterparts and the tax summary")
      ->excludes(register_flag);
  recalc->add_flag_callback(
      "--no-totals", [&options] { options.totals = false; }, "Do not recalculate the totals");
  recalc->add_flag_callback(
      "--no-schedule", [&options] { options.schedule = false; },
      "Do not recalculate the payment schedule");
  recalc->add_flag_callback(
      "--no-last-row", [&options] { options.last_row = false; },
      "Do not recompute the highest row progressive");
  recalc->add_flag("--verbose", options.verbose,
                   "On an error, also show its context (the statement a database refused)");
  recalc->add_flag_callback(
      "--no-commissions", [&options] { options.commissions = false; },
      "Do not recalculate agent commissions and their totals");
  recalc->callback([&options] {
    if (!IsBatch(options)) {
      options.document = options.documents.front();
    } else if (!options.out.empty()) {  // --out names one file: a batch writes one per document
      throw CLI::ExcludesError("--out", "a batch of documents (use --out-dir)");
    }
  });
  return recalc;
}

int RunReported(const std::function<void()>& work, std::ostream& err, bool verbose) {
  try {
    work();
    return 0;
  } catch (const Error& error) {
    return ReportError(error, err, verbose);
  } catch (const std::exception& error) {
    err << "tarvolin: " << error.what() << "\n";
    return 1;
  }
}

std::optional<int> ParseSubcommand(CLI::App& app, CLI::App& subcommand,
                                   const std::vector<std::string>& arguments, std::ostream& out,
                                   std::ostream& err) {
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  reversed.push_back(subcommand.get_name());
  try {
    app.parse(reversed);  // CLI11 takes the arguments last first
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err);
  }
  return std::nullopt;
}

int RunRecalc(const RecalcOptions& options, std::ostream& out, std::ostream& err) {
  if (IsBatch(options)) return RunRecalcBatch(options, std::cin, out, err);
  return RunReported([&] { Recalculate(options, out, err); }, err, options.verbose);
}

int RecalcMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  CLI::App app{"Recalculate a document file", "tarvolin recalc"};
  RecalcOptions options;
  // The subcommand's own options, on an app of their own.
  CLI::App* recalc = AddRecalcCommand(app, options);
  if (auto code = ParseSubcommand(app, *recalc, arguments, out, err)) return *code;
  return RunRecalc(options, out, err);
}

}  // namespace tarvolin::cli
