#include "tarvolin/db/schema_catalog.h"

#include <algorithm>
#include <cctype>

#include "tarvolin/automation/text.h"
#include "tarvolin/db/column_type.h"
#include "tarvolin/db/sqlite_connection.h"

namespace tarvolin {
namespace embedded {
extern const char kCompanySchema[];
}

const SchemaCatalog& SchemaCatalog::Embedded() {
  static const SchemaCatalog catalog(embedded::kCompanySchema);
  return catalog;
}

SchemaCatalog::SchemaCatalog(std::string_view ddl) {
  auto db = SqliteConnection::Open(":memory:");
  db->ExecuteScript(ddl);
  auto columns = db->Execute(
      "SELECT m.name AS T, p.name AS C, p.type AS Y, p.\"notnull\" AS N FROM sqlite_master AS m, "
      "pragma_table_info(m.name) AS p WHERE m.type = 'table' ORDER BY m.name, p.cid");
  for (; !columns->Eof(); columns->MoveNext()) {
    const std::string table = columns->Get("T").CStr();
    if (tables_.empty() || tables_.back().first != table) tables_.push_back({table, {}});
    tables_.back().second.push_back(FieldFromDeclaredType(
        columns->Get("C").CStr(), columns->Get("Y").CStr(), columns->Get("N").CLng() == 0));
  }
}

const std::vector<FieldInfo>* SchemaCatalog::Fields(std::string_view table) const {
  for (const auto& [name, fields] : tables_) {
    if (EqualsNoCase(name, table)) return &fields;
  }
  return nullptr;
}

}  // namespace tarvolin
