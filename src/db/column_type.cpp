#include "tarvolin/db/column_type.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "tarvolin/automation/text.h"

namespace tarvolin {
namespace {

int ToInt(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

namespace {

// The type a declared base type names, with its size, precision and scale
// from the numbers in parentheses (first, second); kVariant for any other.
void SetType(FieldInfo& info, const std::string& base, int first, int second) {
  if (base == "SMALLINT" || base == "TINYINT") {
    info.type = DataType::kSmallInt;
  } else if (base == "INT" || base == "INTEGER") {
    info.type = DataType::kInteger;
  } else if (base == "BIGINT") {
    info.type = DataType::kBigInt;
  } else if (base == "BIT" || base == "BOOLEAN") {
    info.type = DataType::kBoolean;
  } else if (base == "DECIMAL" || base == "NUMERIC") {
    info.type = DataType::kDecimal;
    info.precision = static_cast<uint8_t>(std::clamp(first == 0 ? 18 : first, 1, 38));
    info.numeric_scale = static_cast<uint8_t>(std::clamp(second, 0, 28));
  } else if (base == "MONEY") {
    info.type = DataType::kCurrency;
    info.precision = 19;
    info.numeric_scale = 4;
  } else if (base == "FLOAT" || base == "REAL" || base == "DOUBLE") {
    info.type = DataType::kDouble;
  } else if (base == "DATE" || base == "DATETIME" || base == "SMALLDATETIME") {
    info.type = DataType::kDate;
  } else if (base == "CHAR" || base == "NCHAR") {
    info.type = DataType::kChar;
    info.defined_size = first == 0 ? 1 : first;
    info.attributes |= field_attr::kFixed;
  } else if (base == "VARCHAR" || base == "NVARCHAR") {
    info.type = DataType::kVarChar;
    info.defined_size = first;
  } else if (base == "TEXT" || base == "NTEXT") {
    info.type = DataType::kLongVarChar;
  } else {
    info.type = DataType::kVariant;
  }
}

}  // namespace

FieldInfo FieldFromDeclaredType(std::string_view name, std::string_view declared_type,
                                bool nullable) {
  FieldInfo info;
  info.name = std::string(name);
  if (nullable) info.attributes = field_attr::kIsNullable | field_attr::kMayBeNull;
  const std::string type = Upper(declared_type);
  const size_t open = type.find('(');
  std::string base = type.substr(0, open);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  int first = 0, second = 0;
  if (open != std::string::npos) {
    const size_t close = type.find(')', open);
    const std::string_view args = std::string_view(type).substr(
        open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    const size_t comma = args.find(',');
    first = ToInt(args.substr(0, comma));
    if (comma != std::string_view::npos) second = ToInt(args.substr(comma + 1));
  }
  SetType(info, base, first, second);
  return info;
}

}  // namespace tarvolin
