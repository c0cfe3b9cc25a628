// Null-safe reading of field values, used everywhere in the engine.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "tarvolin/automation/variant.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin {

// The value's text without trailing blanks (leading blanks stay); "" for a
// value not passed, Null, Empty or blanks only.
std::string NzStr(const std::optional<Variant>& Valore = std::nullopt);
std::string NzStr(const Variant& Valore);
// NzStr(Valore) == NzStr(Variant(text)), without making either text.
bool NzStrEquals(const Variant& Valore, std::string_view text);

// The value as a Decimal; the Integer 0 for Null, Empty or blanks. A value
// that does not convert raises the conversion error.
Variant NzDec(const Variant& Valore);
// The same as a Decimal (the Integer 0 as Decimal 0), for arithmetic.
Decimal NzDecimal(const Variant& Valore);

// Whether the value is one of the whole-number codes (a row type, a kind).
bool IsOneOfCodes(const Decimal& value, std::initializer_list<int32_t> codes);

// Writes value into the current row's field only when it differs from what
// the field holds, both read through NzDec; returns whether it wrote.
bool WriteIfChanged(Recordset& rs, std::string_view field, const Variant& value);

// Text with every "'" doubled, for a value put between quotes in a statement
// or a filter criterion: a quote in a code can never end the literal.
std::string SqlQuoted(std::string_view value);

}  // namespace tarvolin
