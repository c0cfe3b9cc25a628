#include "tarvolin/db/counting_connection.h"

namespace tarvolin {

std::shared_ptr<Recordset> CountingConnection::Execute(std::string_view command_text,
                                                       int32_t* records_affected, int32_t options) {
  log_.emplace_back(command_text);
  if (before_each_) before_each_(statements(), command_text);
  return inner_->Execute(command_text, records_affected, options);
}

}  // namespace tarvolin
