// What the recalc commands do with the engine object: make one, hand it a
// document as a host does, and recalculate with the command's flags.
#pragma once

#include <memory>
#include <string>

#include "recalc_command.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin::cli {

// A new engine object with the host's calculation helper.
std::shared_ptr<ICLSMG_TARVOLIN> NewEngine();

// Sets cc, ADOConnection, ActiveInterface and ADOConnectionString, through the
// interface, as a host holding the engine object does. What the engine caches
// (tax details, the tax area's lines, the tax decimals) stays as it was.
void HandOver(ICLSMG_TARVOLIN& api, const DocumentFile& file,
              const std::shared_ptr<Connection>& connection, const std::string& connection_string);

// RicalcolaTotaliDaRigheCorpo with the flags the options leave on.
void RecalculateAsAsked(ICLSMG_TARVOLIN& api, const RecalcOptions& options);

}  // namespace tarvolin::cli
