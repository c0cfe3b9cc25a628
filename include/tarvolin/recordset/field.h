// Field definitions of a Recordset: types and attributes numbered as the
// data-access platform numbers them, so type numbers read from a database
// schema or a document file can be used as they are.
#pragma once

#include <cstdint>
#include <string>

namespace tarvolin {

enum class DataType : int {
  kSmallInt = 2,
  kInteger = 3,
  kSingle = 4,
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kBoolean = 11,
  kVariant = 12,
  kDecimal = 14,
  kTinyInt = 16,
  kBigInt = 20,
  kChar = 129,
  kNumeric = 131,
  kVarChar = 200,
  kLongVarChar = 201,
  kVarWChar = 202,
};

namespace field_attr {
inline constexpr int32_t kFixed = 16;
inline constexpr int32_t kIsNullable = 32;
inline constexpr int32_t kMayBeNull = 64;
}  // namespace field_attr

// defined_size is the length of a text field in characters (0: unlimited);
// numeric_scale, when > 0, is the number of decimals a kDecimal or kNumeric
// field keeps. Attributes are informational: Null is accepted by every field.
struct FieldInfo {
  std::string name;
  DataType type = DataType::kVariant;
  int32_t defined_size = 0;
  int32_t attributes = 0;
  uint8_t precision = 0;
  uint8_t numeric_scale = 0;
};

// True for the field types that hold numbers (integers, unsigned ones
// included, floating, currency, decimal, numeric).
bool IsNumeric(DataType type) noexcept;

class Variant;

// A number of a kDecimal, kNumeric or kCurrency field with a scale, as a
// Decimal with at least that many decimals (3 in a field of scale 2 is 3.00),
// or at most `most` when the field keeps more, so amounts are written and
// shown alike; digits are never dropped. Any other value comes back as it is.
Variant AtFieldScale(const Variant& value, const FieldInfo& field, int most = 28);

// A field resolved once by name (Recordset::Resolve). Reading through it is an
// index into the row. Valid for the recordset that resolved it, its clones and
// its copies (they share the field list).
class FieldRef {
 public:
  constexpr explicit FieldRef(int index) noexcept : index_(index) {}
  constexpr int index() const noexcept { return index_; }
  friend constexpr bool operator==(FieldRef, FieldRef) = default;

 private:
  int index_;
};

}  // namespace tarvolin
