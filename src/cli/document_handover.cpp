#include "document_handover.h"

#include "tarvolin/host/host_document.h"

namespace tarvolin::cli {

std::shared_ptr<ICLSMG_TARVOLIN> NewEngine() {
  return CreateEngine([] { return std::make_shared<HostCalculationHelper>(); });
}

void HandOver(ICLSMG_TARVOLIN& api, const DocumentFile& file,
              const std::shared_ptr<Connection>& connection, const std::string& connection_string) {
  api.set_cc(file.document);
  api.set_ADOConnection(connection);
  api.set_ActiveInterface(file.session);
  api.set_ADOConnectionString(connection_string);
}

void RecalculateAsAsked(ICLSMG_TARVOLIN& api, const RecalcOptions& options) {
  api.RicalcolaTotaliDaRigheCorpo(options.net_discounts, options.counterparts, options.totals,
                                  options.schedule, options.last_row, options.commissions);
}

}  // namespace tarvolin::cli
