// The value rules every filter, Find, sort and index of a recordset follows,
// and the conversion of a value assigned to a field. Kept in one place so the
// index and a scan can never disagree about which rows are equal.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "tarvolin/automation/variant.h"
#include "tarvolin/recordset/field.h"

namespace tarvolin::recordset_detail {

// How a field's values compare.
enum class FieldClass : uint8_t { kNumber, kBoolean, kDate, kText, kVariant };

// nullopt for a value that is not a known DataType.
std::optional<FieldClass> ClassOf(DataType type) noexcept;

// Text order: ASCII letters without regard to case, trailing blanks ignored.
int CompareText(std::string_view a, std::string_view b) noexcept;
// `pattern` is already folded to lower case.
bool StartsWithFolded(std::string_view text, std::string_view pattern) noexcept;
bool ContainsFolded(std::string_view text, std::string_view pattern) noexcept;

// Compares a stored value with a criterion value converted for the field:
// <0, 0, >0; nullopt when either is Null or they cannot be compared (objects).
std::optional<int> CompareValues(FieldClass cls, const Variant& a, const Variant& b) noexcept;

// A total order for sorting: Null first, then numbers (Empty as 0), then texts
// (in a text field Empty as ""), then anything else.
int SortCompare(FieldClass cls, const Variant& a, const Variant& b) noexcept;

// Equal under CompareValues implies equal hashes (within one field, whose
// values were converted to its type).
uint64_t KeyHash(FieldClass cls, const Variant& value) noexcept;

// Converts the value, in place, for storage in the field; raises 3421 naming
// the field and the value (left as it was) when it does not convert or fit.
void ConvertForField(const FieldInfo& field, Variant& value);

}  // namespace tarvolin::recordset_detail
