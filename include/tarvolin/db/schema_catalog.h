// The fields of the company database's tables, as the schema declares them,
// so a document's recordsets can be typed without a database at hand.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "tarvolin/recordset/field.h"

namespace tarvolin {

class SchemaCatalog {
 public:
  // The catalogue of the schema compiled into the program (built once).
  static const SchemaCatalog& Embedded();
  explicit SchemaCatalog(std::string_view ddl);

  // The fields of a table in column order; nullptr for an unknown table.
  const std::vector<FieldInfo>* Fields(std::string_view table) const;

 private:
  std::vector<std::pair<std::string, std::vector<FieldInfo>>> tables_;
};

}  // namespace tarvolin
