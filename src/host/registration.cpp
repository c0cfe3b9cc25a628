#include "tarvolin/host/registration.h"

#include <string>

#include "tarvolin/db/postgres_connection.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {

namespace {

// On a server, two workers registering one document take turns: the second
// deletes the rows the first inserted instead of adding its own beside them.
void LockDocument(ICLSMG_TARVOLIN& engine, Connection& connection) {
  auto* server = dynamic_cast<PostgresConnection*>(&connection);
  const std::shared_ptr<CoreDocument> document = engine.cc();
  if (server == nullptr || !document) return;
  const auto header = document->Recordsets().Get(DocumentTable::kHeader);
  if (!header || header->Eof() || header->Bof()) return;
  server->LockUntilTransactionEnds("registration " + std::to_string(document->CompanyNumber()) +
                                   " " + NzStr(header->Get("DO11_NUMREG_CO99")));
}

}  // namespace

void RegisterDocument(ICLSMG_TARVOLIN& engine, Connection& connection,
                      const std::function<void()>& before_commit) {
  // Another worker registering at the same time can make the server refuse
  // the whole transaction; the writers rebuild every row from the document,
  // so running it again is safe.
  // Once the host's output is prepared (and perhaps shown) the transaction is
  // not run again: a collision then is reported, the database left as it was.
  constexpr int kAttempts = 5;
  bool prepared = false;
  for (int attempt = 1;; ++attempt) {
    try {
      // The writers delete before they insert and open no transaction of their
      // own, so a failure part-way would otherwise leave the document half stored.
      InTransaction(connection, [&] {
        LockDocument(engine, connection);
        engine.RegistraContropartite();
        engine.RegistraCastellettoIVA();
        if (before_commit) {
          prepared = true;
          before_commit();
        }
      });
      return;
    } catch (const Error& error) {
      if (!IsTransactionConflict(error) || prepared) throw;
      if (attempt == kAttempts) {
        throw Error(error.number(), error.source(),
                    error.description() + " (still colliding with another registration after " +
                        std::to_string(kAttempts) + " attempts)")
            .WithContext(error.context());
      }
    }
  }
}

}  // namespace tarvolin
