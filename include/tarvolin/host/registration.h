// Registering a document: the host writes the document's ledger counterparts
// and its US tax summary to the company database as one unit of work.
#pragma once

#include <functional>

#include "tarvolin/db/connection.h"
#include "tarvolin/engine/engine.h"

namespace tarvolin {

// Runs engine.RegistraContropartite() then engine.RegistraCastellettoIVA() in
// a transaction of its own on connection (the engine's ADOConnection, or the
// connection it forwards to). Both succeed or the stored DO73_DOCCONTROPARTITE
// and DO74_USATAX rows stay exactly as they were: the first error rolls back
// and is raised again unchanged. A transaction the server refuses because it
// collided with another worker's (IsTransactionConflict) is run again, up to
// 5 attempts in all, then reported.
//
// before_commit, when given, runs after both writers and before the commit:
// a host prepares its output there, so that output it cannot write leaves the
// database as it was (an error it raises rolls back like the writers' own).
void RegisterDocument(ICLSMG_TARVOLIN& engine, Connection& connection,
                      const std::function<void()>& before_commit = {});

}  // namespace tarvolin
