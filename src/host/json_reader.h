// A JSON tree that keeps every number as the text it was written with, so
// amounts reach Decimal::Parse without passing through a binary double. Objects
// keep their members in file order, duplicates included: the reader of the tree
// decides what a duplicate means.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvolin::json {

struct Value {
  enum class Kind : uint8_t { kNull, kBoolean, kNumber, kString, kArray, kObject };

  Kind kind = Kind::kNull;
  bool boolean = false;
  // A number written without fraction or exponent.
  bool integral = false;
  // A string's text, or a number's text as written.
  std::string text;
  std::vector<Value> items;
  std::vector<std::pair<std::string, Value>> members;

  // Declared here and defined where Value is complete: the members' pair of
  // an incomplete Value must not be instantiated inside the class.
  Value();
  Value(const Value&);
  Value(Value&&) noexcept;
  Value& operator=(const Value&);
  Value& operator=(Value&&) noexcept;
  ~Value();

  bool IsNull() const { return kind == Kind::kNull; }
  bool IsNumber() const { return kind == Kind::kNumber; }
  bool IsString() const { return kind == Kind::kString; }
  bool IsObject() const { return kind == Kind::kObject; }
  bool IsArray() const { return kind == Kind::kArray; }
  // The first member named key; nullptr when none.
  const Value* Find(std::string_view key) const;
};

// Containers nest at most this deep; deeper input is refused.
inline constexpr int kMaxDepth = 64;

// Parses one JSON text. On failure returns false and sets `error` to where and
// why ("parse error at line 3, column 7: ...").
bool Parse(std::string_view text, Value& out, std::string& error);

}  // namespace tarvolin::json
