// Placeholder until the counterparts builder lands.
#include "tarvolin/engine/engine.h"

namespace tarvolin {
void CLSMG_TARVOLIN::AggiungiContropartitaDaCorpo(std::shared_ptr<Recordset>) {
  Raise(err::kNotSupported, "CLSMG_TARVOLIN", "AggiungiContropartitaDaCorpo is not available");
}
}  // namespace tarvolin
