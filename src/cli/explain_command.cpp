#include "explain_command.h"

#include <memory>

#include "document_handover.h"
#include "explain_report.h"
#include "recalc_command.h"
#include "standard_output.h"
#include "tarvolin/db/company_database.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/host/document_checks.h"
#include "tarvolin/host/document_file.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin::cli {
namespace {

void Explain(const ExplainOptions& options, std::ostream& out, std::ostream& err) {
  DocumentFile file = ReadDocumentFile(options.document);
  const std::string path = options.database.empty() ? DefaultDatabasePath() : options.database;
  const std::shared_ptr<Connection> connection = OpenCompanyDatabase(path);
  for (const std::string& warning : CheckDocument(file, options.document, *connection)) {
    err << "tarvolin: warning: " << warning << "\n";
  }

  ExplainRecorder recorder;
  auto engine = NewEngine();
  engine->set_trace(&recorder);
  ICLSMG_TARVOLIN& api = *engine;
  HandOver(api, file, connection, path);
  // Everything recalc recalculates by default, so the figures are recalc's.
  api.RicalcolaTotaliDaRigheCorpo();
  api.Terminate();

  const Explanation explanation{recorder, recorder.TakeWarnings(), *file.document, *connection};
  WriteStandardOutput(out, options.format == "json" ? FormatExplanationJson(explanation)
                                                    : FormatExplanationText(explanation));
}

}  // namespace

CLI::App* AddExplainCommand(CLI::App& app, ExplainOptions& options) {
  auto* explain = app.add_subcommand(
      "explain", "Recalculate a document file and show how its tax and net amounts were reached");
  explain->add_option("document", options.document, "The document file")->required();
  explain->add_option("--db", options.database,
                      "Company database ($TARVOLIN_DB, else ./tarvolin.db)");
  explain->add_option("--format", options.format, "text (a report, the default) or json")
      ->check(CLI::IsMember({"json", "text"}));
  explain->add_flag("--verbose", options.verbose,
                    "On an error, also show its context (the statement a database refused)");
  return explain;
}

int RunExplain(const ExplainOptions& options, std::ostream& out, std::ostream& err) {
  return RunReported([&] { Explain(options, out, err); }, err, options.verbose);
}

int ExplainMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  CLI::App app{"Explain a document's figures", "tarvolin explain"};
  ExplainOptions options;
  CLI::App* explain = AddExplainCommand(app, options);
  if (auto code = ParseSubcommand(app, *explain, arguments, out, err)) return *code;
  return RunExplain(options, out, err);
}

}  // namespace tarvolin::cli
