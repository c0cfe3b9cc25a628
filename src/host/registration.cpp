#include "tarvolin/host/registration.h"

#include <string>

namespace tarvolin {

void RegisterDocument(ICLSMG_TARVOLIN& engine, Connection& connection) {
  // Another worker registering at the same time can make the server refuse
  // the whole transaction; the writers rebuild every row from the document,
  // so running it again is safe.
  constexpr int kAttempts = 5;
  for (int attempt = 1;; ++attempt) {
    try {
      // The writers delete before they insert and open no transaction of their
      // own, so a failure part-way would otherwise leave the document half stored.
      InTransaction(connection, [&] {
        engine.RegistraContropartite();
        engine.RegistraCastellettoIVA();
      });
      return;
    } catch (const Error& error) {
      if (!IsTransactionConflict(error)) throw;
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
