// The tarvolin command.
#include <CLI/CLI.hpp>
#include <iostream>

#include "tarvolin/automation/error.h"

int main(int argc, char** argv) {
  CLI::App app{"Tarvolin: recalculates US sales and purchase documents", "tarvolin"};
  app.set_version_flag("--version", std::string("tarvolin ") + TARVOLIN_VERSION);
  app.require_subcommand(0, 1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  if (argc == 1) {
    std::cout << app.help();
  }
  return 0;
}
