// Variant: a value with the semantics of an automation VARIANT as VB uses it.
// Arithmetic, concatenation, comparison and the C* conversions follow VB's rules
// because the engine's results depend on them (result subtypes, Null
// propagation, Empty as 0 or ""). Errors: 13 type mismatch, 94 invalid use of
// Null, 6 overflow, 11 division by zero; source "Variant".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tarvolin/automation/decimal.h"

namespace tarvolin {

// VarType numbers of the automation platform.
enum class VarType : int {
  kEmpty = 0,
  kNull = 1,
  kInteger = 2,
  kLong = 3,
  kSingle = 4,
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kString = 8,
  kObject = 9,
  kError = 10,
  kBoolean = 11,
  kVariant = 12,
  kDecimal = 14,
  kByte = 17,
  kArray = 8192,  // a flag: an array's VarType is kArray + its element type
  kVariantArray = kArray + kVariant,
};

// An automation date: days since 1899-12-30, the time as the fraction of a day.
struct Date {
  double serial = 0;

  static Date FromYmd(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
  // "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]", "YYYY-MM-DDTHH:MM[:SS]", "YYYYMMDD" or
  // "M/D/YYYY"; nullopt when the text is not a valid date.
  static std::optional<Date> Parse(std::string_view text);
  void ToYmd(int& year, int& month, int& day) const;
  void ToHms(int& hour, int& minute, int& second) const;
  // "YYYY-MM-DD", with " HH:MM:SS" when there is a time of day.
  std::string ToIso() const;
  // "YYYYMMDD", the form SQL text compares dates with.
  std::string ToYmdText() const;
  Date DateOnly() const;
  friend bool operator==(const Date&, const Date&) = default;
  friend auto operator<=>(const Date&, const Date&) = default;
};

// Base of every object a Variant can hold (what a COM object reference was).
class Object {
 public:
  virtual ~Object() = default;
  // The class name shown in type-mismatch messages.
  virtual std::string_view TypeName() const = 0;
};
using ObjectRef = std::shared_ptr<Object>;

class Variant;
using VariantArray = std::vector<Variant>;

class Variant {
 public:
  Variant() noexcept = default;                                  // Empty
  Variant(int16_t v) noexcept : value_(v) {}                     // NOLINT: Integer
  Variant(int32_t v) noexcept : value_(v) {}                     // NOLINT: Long
  Variant(double v) noexcept : value_(v) {}                      // NOLINT: Double
  Variant(const Decimal& v) noexcept : value_(v) {}              // NOLINT
  Variant(std::string v) : value_(Text(std::move(v))) {}         // NOLINT
  Variant(std::string_view v) : value_(Text(std::string(v))) {}  // NOLINT
  Variant(const char* v) : value_(Text(std::string(v))) {}       // NOLINT
  Variant(bool v) noexcept : value_(v) {}                        // NOLINT: Boolean
  Variant(Date v) noexcept : value_(v) {}                        // NOLINT
  Variant(ObjectRef v) noexcept : value_(std::move(v)) {}  // NOLINT: object (Nothing when null)
  Variant(VariantArray v);                                 // NOLINT
  template <class T>
  requires std::is_base_of_v<Object, T> Variant(std::shared_ptr<T> v)
  noexcept : value_(ObjectRef(std::move(v))) {}  // NOLINT

  static Variant Null() noexcept;

  VarType type() const noexcept {
    static constexpr VarType kTypes[] = {
        VarType::kEmpty,  VarType::kNull,    VarType::kInteger,      VarType::kLong,
        VarType::kDouble, VarType::kDecimal, VarType::kString,       VarType::kBoolean,
        VarType::kDate,   VarType::kObject,  VarType::kVariantArray,
    };
    return kTypes[value_.index()];
  }
  bool IsEmpty() const noexcept { return value_.index() == 0; }
  bool IsNull() const noexcept { return value_.index() == 1; }
  bool IsString() const noexcept { return type() == VarType::kString; }
  bool IsObject() const noexcept { return type() == VarType::kObject; }
  bool IsNothing() const noexcept;  // an object reference set to Nothing
  bool IsArray() const noexcept {
    return (static_cast<int>(type()) & static_cast<int>(VarType::kArray)) != 0;
  }
  // A number subtype: Integer, Long, Double, Decimal, Boolean or Date.
  bool IsNumber() const noexcept;
  // VB's IsNumeric: numbers, Empty, Boolean, and text that converts to a number.
  bool IsNumeric() const noexcept;

  // The raw value; precondition: the subtype matches (otherwise raises 13).
  const std::string& str() const;
  const Decimal& dec() const;
  const ObjectRef& object() const;
  const VariantArray& array() const;
  VariantArray& mutable_array();  // copy on write: arrays are values in VB

  // The object as T; raises 91 for Nothing and 13 when it is not a T.
  template <class T>
  std::shared_ptr<T> As() const {
    auto ptr = std::dynamic_pointer_cast<T>(ObjectOrRaise());
    if (!ptr) RaiseNotA();
    return ptr;
  }

  // VB conversions.
  std::string CStr() const;
  Decimal CDec() const;
  double CDbl() const;
  int16_t CInt() const;
  int32_t CLng() const;
  bool CBool() const;
  Date CDate() const;

  // Operators with VB result subtypes; Null propagates.
  friend Variant operator+(const Variant& a, const Variant& b);
  friend Variant operator-(const Variant& a, const Variant& b);
  friend Variant operator*(const Variant& a, const Variant& b);
  friend Variant operator/(const Variant& a, const Variant& b);
  Variant operator-() const;
  // a = a + b, without a temporary when both are Decimals.
  Variant& operator+=(const Variant& b);
  // VB's &: text concatenation; Null only when both are Null.
  friend Variant Concat(const Variant& a, const Variant& b);

  // VB comparison: nullopt when either side is Null, else <0, 0, >0. Empty
  // equals 0 and ""; a number is less than a text; Decimal against Double
  // converts the Double to Decimal first. Objects and arrays raise 13.
  friend std::optional<int> Compare(const Variant& a, const Variant& b);
  // Conditions as VB evaluates them: a comparison with Null is false, so
  // a != b is not !(a == b) when either is Null.
  friend bool operator==(const Variant& a, const Variant& b);
  friend bool operator!=(const Variant& a, const Variant& b);
  friend bool operator<(const Variant& a, const Variant& b);
  friend bool operator<=(const Variant& a, const Variant& b);
  friend bool operator>(const Variant& a, const Variant& b);
  friend bool operator>=(const Variant& a, const Variant& b);

  // VB Int (toward minus infinity) and Fix (toward zero), keeping the subtype.
  Variant Int() const;
  Variant Fix() const;

  // A short description for error messages: "Decimal 12.50", "String \"x\"", "Null".
  std::string Describe() const;

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) = default;
  };
  // A text on the heap, owned alone: it keeps a Variant at 24 bytes (a
  // std::string in place would make it 40), and recordsets hold one Variant
  // per field of every row. The empty text takes no allocation.
  class Text {
   public:
    explicit Text(std::string text)
        : text_(text.empty() ? nullptr : std::make_unique<std::string>(std::move(text))) {}
    Text(const Text& other)
        : text_(other.text_ ? std::make_unique<std::string>(*other.text_) : nullptr) {}
    Text(Text&&) noexcept = default;
    Text& operator=(const Text& other) {
      if (this != &other) *this = Text(other);
      return *this;
    }
    Text& operator=(Text&&) noexcept = default;
    ~Text() = default;
    const std::string& get() const noexcept { return text_ ? *text_ : Empty(); }

   private:
    static const std::string& Empty() noexcept;
    std::unique_ptr<std::string> text_;
  };
  using ArrayRef = std::shared_ptr<VariantArray>;
  using Storage = std::variant<std::monostate, NullTag, int16_t, int32_t, double, Decimal, Text,
                               bool, Date, ObjectRef, ArrayRef>;

  // The comparisons that need nothing converted; nullopt for any other.
  friend std::optional<int> CompareAsIs(const Variant& a, const Variant& b);
  const ObjectRef& ObjectOrRaise() const;
  [[noreturn]] void RaiseNotA() const;

  Storage value_;
};
static_assert(sizeof(Variant) == 24, "a Variant is three words: see Variant::Text");

}  // namespace tarvolin
