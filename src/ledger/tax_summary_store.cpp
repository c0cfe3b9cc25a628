// Placeholder until the tax summary store lands.
#include "tarvolin/engine/engine.h"

namespace tarvolin {
void CLSMG_TARVOLIN::OpenCastIva(const std::optional<std::string>&) {
  Raise(err::kNotSupported, "CLSMG_TARVOLIN", "OpenCastIva is not available");
}
void CLSMG_TARVOLIN::RegistraContropartite() {
  Raise(err::kNotSupported, "CLSMG_TARVOLIN", "RegistraContropartite is not available");
}
void CLSMG_TARVOLIN::RegistraCastellettoIVA() {
  Raise(err::kNotSupported, "CLSMG_TARVOLIN", "RegistraCastellettoIVA is not available");
}
}  // namespace tarvolin
