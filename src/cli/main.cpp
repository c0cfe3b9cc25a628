// The tarvolin command.
#include <CLI/CLI.hpp>
#include <iostream>

#include "call_command.h"
#include "explain_command.h"
#include "recalc_command.h"
#include "standard_output.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/db/company_database.h"

int main(int argc, char** argv) {
  CLI::App app{"Tarvolin: recalculates US sales and purchase documents", "tarvolin"};
  app.set_version_flag("--version", std::string("tarvolin ") + TARVOLIN_VERSION);
  app.require_subcommand(0, 1);

  auto* db = app.add_subcommand("db", "Manage the company database");
  db->require_subcommand(1);
  auto* init = db->add_subcommand(
      "init", "Create the company database: the schema and, unless --empty, the demo company");
  std::string db_path = tarvolin::DefaultDatabasePath();
  bool empty = false;
  bool force = false;
  init->add_option("--db", db_path,
                   "Database file or postgresql:// URI ($TARVOLIN_DB, else ./tarvolin.db)");
  init->add_flag("--empty", empty, "Create the schema only");
  init->add_flag("--force", force, "Replace a database that already holds tables");

  tarvolin::cli::CallOptions call_options;
  auto* call = tarvolin::cli::AddCallCommand(app, call_options);
  tarvolin::cli::RecalcOptions recalc_options;
  auto* recalc = tarvolin::cli::AddRecalcCommand(app, recalc_options);
  tarvolin::cli::ExplainOptions explain_options;
  auto* explain = tarvolin::cli::AddExplainCommand(app, explain_options);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  try {
    if (init->parsed()) {
      const auto written = tarvolin::InitCompanyDatabase(db_path, {.demo = !empty, .force = force});
      std::string lines;
      for (const auto& file : written) lines += "created " + file + "\n";
      tarvolin::cli::WriteStandardOutput(std::cout, lines);
      return 0;
    }
    if (recalc->parsed()) return tarvolin::cli::RunRecalc(recalc_options, std::cout, std::cerr);
    if (explain->parsed()) {
      return tarvolin::cli::RunExplain(explain_options, std::cout, std::cerr);
    }
    if (call->parsed()) {
      if (!call_options.list && call_options.member.empty()) {
        return app.exit(CLI::RequiredError("member"));
      }
      tarvolin::cli::RunCall(call_options, std::cout, std::cerr);
      return 0;
    }
  } catch (const tarvolin::Error& e) {
    return tarvolin::cli::ReportError(e, std::cerr, call->parsed() && call_options.verbose);
  } catch (const std::exception& e) {
    std::cerr << "tarvolin: " << e.what() << "\n";
    return 1;
  }
  try {
    tarvolin::cli::WriteStandardOutput(std::cout, app.help());
  } catch (const tarvolin::Error& e) {
    return tarvolin::cli::ReportError(e, std::cerr);
  }
  return 0;
}
