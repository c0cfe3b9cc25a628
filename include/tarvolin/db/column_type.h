// Field definitions from a database column's declared type, so recordsets
// read from the database, and document recordsets typed from the schema,
// carry the same types.
#pragma once

#include <string_view>

#include "tarvolin/recordset/field.h"

namespace tarvolin {

// "DECIMAL(18,5)" -> kDecimal precision 18 scale 5; "CHAR(3)" -> kChar size 3,
// fixed; "VARCHAR(30)" -> kVarChar 30; "SMALLINT"/"TINYINT" -> kSmallInt;
// "INT"/"INTEGER" -> kInteger; "BIGINT" -> kBigInt; "BIT" -> kBoolean;
// "FLOAT"/"REAL"/"DOUBLE" -> kDouble; "MONEY" -> kCurrency; "DATE"/"DATETIME" ->
// kDate; "TEXT" -> kLongVarChar; anything else (or none) -> kVariant.
FieldInfo FieldFromDeclaredType(std::string_view name, std::string_view declared_type,
                                bool nullable = true);

}  // namespace tarvolin
