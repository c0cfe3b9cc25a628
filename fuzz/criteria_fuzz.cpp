// Filter criteria and sort orders on any text: they apply or raise a
// tarvolin::Error, and a refused one leaves the recordset as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tarvolin/automation/error.h"
#include "tarvolin/recordset/recordset.h"

namespace {

std::shared_ptr<tarvolin::Recordset> Rows() {
  using namespace tarvolin;
  const Variant null = Variant::Null();
  return MakeRecordset(
      {{"ID", DataType::kInteger},
       {"Ship To", DataType::kVarChar, 30},
       {"CODE", DataType::kChar, 6},
       {"PRICE", DataType::kDecimal, 0, 0, 18, 2},
       {"DT", DataType::kDate},
       {"FLAG", DataType::kBoolean},
       {"RATE", DataType::kDouble}},
      {{1, "O'Brien", "ABC", Decimal::Parse("17.00"), Date::FromYmd(2024, 3, 5), true, 0.5},
       {2, "Smith", "abd", null, null, false, null},
       {3, null, "", Decimal::Parse("-0.1"), Date::FromYmd(1899, 12, 30), true, 1e300}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvolin;
  if (size == 0) return 0;
  // The first byte chooses filter or sort; the rest is the text.
  const bool sort = (data[0] & 1) != 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  auto rs = Rows();
  try {
    if (sort) {
      rs->SetSort(text);
    } else {
      rs->SetFilter(text);
    }
  } catch (const Error&) {
    if (rs->RecordCount() != 3 || !rs->Filter().empty() || !rs->Sort().empty()) std::abort();
    return 0;
  }
  if (rs->RecordCount() > 3) std::abort();
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) (void)rs->Get("ID");
  return 0;
}
