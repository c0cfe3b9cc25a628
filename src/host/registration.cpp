#include "tarvolin/host/registration.h"

namespace tarvolin {

void RegisterDocument(ICLSMG_TARVOLIN& engine, Connection& connection,
                      const std::function<void()>& before_commit) {
  // The writers delete before they insert and open no transaction of their
  // own, so a failure part-way would otherwise leave the document half stored.
  InTransaction(connection, [&] {
    engine.RegistraContropartite();
    engine.RegistraCastellettoIVA();
    if (before_commit) before_commit();
  });
}

}  // namespace tarvolin
