// Reading recordsets in tests.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tarvolin/recordset/recordset.h"

namespace tarvolin::testing_support {

// The ID field of the current row.
inline int Id(const Recordset& rs) { return rs.Get("ID").CLng(); }

// The ID field of every row in view order; leaves the recordset at its end.
inline std::vector<int> Ids(Recordset& rs) {
  std::vector<int> ids;
  if (rs.RecordCount() == 0) return ids;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ids.push_back(Id(rs));
  return ids;
}

// The named fields of the current row, each described with its type and exact
// value ("Decimal 12.50", "Null", "Empty"), joined by ", ".
inline std::string Fields(const Recordset& rs, std::initializer_list<std::string_view> names) {
  std::string out;
  for (std::string_view name : names) out += (out.empty() ? "" : ", ") + rs.Get(name).Describe();
  return out;
}

}  // namespace tarvolin::testing_support
