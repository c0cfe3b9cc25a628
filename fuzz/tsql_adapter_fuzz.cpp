// The T-SQL adapter on any text: it gives a statement or raises a
// tarvolin::Error; the seed corpus (fuzz/corpus/tsql) holds statements the
// engine builds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tarvolin/automation/error.h"
#include "tarvolin/db/sql_dialect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvolin;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static const SqlDialectOptions options{
      .is_date_column = ColumnNameMatcher({"DO11_DATADOC", "TV06_DATA", "DO79_DATASCAD"})};
  try {
    (void)AdaptTsqlForSqlite(text, options);
  } catch (const Error&) {
  }
  return 0;
}
