#include "host/document_file_values.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "tarvolin/automation/error.h"

namespace tarvolin::document_file {
namespace {

// Longer texts are cut in error descriptions.
constexpr size_t kShownTextLength = 60;

size_t CodePoints(std::string_view text) {
  size_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// "YYYY-MM-DD", optionally followed by a time; the calendar check is Date::Parse's.
bool HasIsoDateShape(std::string_view text) {
  if (text.size() < 10) return false;
  for (size_t i = 0; i < 10; ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? text[i] != '-' : !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return text.size() == 10 || text[10] == ' ' || text[10] == 'T';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

// A value as an error description shows it: JSON text, long strings cut.
std::string Shown(const Value& value) {
  switch (value.kind) {
    case Value::Kind::kNull:
      return "null";
    case Value::Kind::kBoolean:
      return value.boolean ? "true" : "false";
    case Value::Kind::kNumber:
      return value.text;
    case Value::Kind::kString: {
      if (value.text.size() <= kShownTextLength) return json::Quoted(value.text);
      size_t cut = kShownTextLength;
      while (cut > 0 && (static_cast<unsigned char>(value.text[cut]) & 0xC0) == 0x80) --cut;
      return json::Quoted(value.text.substr(0, cut) + "...");
    }
    case Value::Kind::kArray:
      return "an array";
    case Value::Kind::kObject:
      return "an object";
  }
  return {};
}

void ValueReader::Fail(std::string_view where, std::string_view what) const {
  std::string description = file_ + ": ";
  if (!where.empty()) description.append(where).append(": ");
  description.append(what);
  RaiseText(err::kBadDocumentFile, kSource, description);
}

void ValueReader::ExpectObject(const Value& value, std::string_view where) const {
  if (!value.IsObject()) Fail(where, Shown(value) + " is not an object");
}

void ValueReader::CheckKnown(const std::string& key, const std::string_view* known, size_t count,
                             std::string_view where, std::string_view what) const {
  if (std::find(known, known + count, key) == known + count) {
    Fail(where, "unknown " + std::string(what) + " " + json::Quoted(key));
  }
}

void ValueReader::CheckNotRepeated(const Value& object, size_t index,
                                   std::string_view where) const {
  const std::string& key = object.members[index].first;
  for (size_t j = 0; j < index; ++j) {
    if (object.members[j].first == key) Fail(where, json::Quoted(key) + " given twice");
  }
}

std::string ValueReader::Member(std::string_view where, std::string_view key) {
  return where.empty() ? std::string(key) : std::string(where) + "." + std::string(key);
}

// A number, or text holding one, for a number field.
std::string_view ValueReader::NumberText(const Value& value, std::string_view where) const {
  if (!value.IsNumber() && !value.IsString()) Fail(where, Shown(value) + " is not a number");
  return value.text;
}

Decimal ValueReader::DecimalOf(const Value& value, std::string_view where) const {
  const std::string_view text = NumberText(value, where);
  try {
    return Decimal::Parse(text);
  } catch (const Error& e) {
    Fail(where,
         Shown(value) + (e.number() == err::kOverflow ? " is out of range" : " is not a number"));
  }
}

int64_t ValueReader::WholeNumber(const Value& value, std::string_view where, int64_t min,
                                 int64_t max) const {
  const Decimal number = DecimalOf(value, where);
  if (number != number.Fix()) Fail(where, Shown(value) + " is not a whole number");
  const std::optional<int64_t> whole = number.Fix().ToInt64();
  if (!whole || *whole < min || *whole > max) {
    Fail(where, Shown(value) + " is out of range (" + std::to_string(min) + " to " +
                    std::to_string(max) + ")");
  }
  return *whole;
}

// A JSON number (not text) that is whole, for the file's own settings.
int32_t ValueReader::Integer(const Value& value, std::string_view where, int32_t min,
                             int32_t max) const {
  if (!value.IsNumber()) Fail(where, Shown(value) + " is not a number");
  return static_cast<int32_t>(WholeNumber(value, where, min, max));
}

double ValueReader::DoubleOf(const Value& value, std::string_view where) const {
  const std::string_view text = Trimmed(NumberText(value, where));
  double number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || end != text.data() + text.size()) {
    Fail(where, Shown(value) + " is not a number");
  }
  if (ec != std::errc() || !std::isfinite(number)) Fail(where, Shown(value) + " is out of range");
  return number;
}

bool ValueReader::Boolean(const Value& value, std::string_view where) const {
  if (value.kind == Value::Kind::kBoolean) return value.boolean;
  if (value.IsNumber() && value.integral) {
    if (value.text == "0") return false;
    if (value.text == "1" || value.text == "-1") return true;
  }
  Fail(where, Shown(value) + " is not a boolean (true, false, 0, 1 or -1)");
}

Date ValueReader::DateOf(const Value& value, std::string_view where) const {
  if (value.IsString() && HasIsoDateShape(value.text)) {
    if (const auto date = Date::Parse(value.text)) return *date;
  }
  Fail(where, Shown(value) + " is not a date (YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)");
}

std::string ValueReader::Text(const Value& value, std::string_view where) const {
  if (!value.IsString()) Fail(where, Shown(value) + " is not text (text is written in quotes)");
  return value.text;
}

// A number as a Variant of its own: whole numbers as Integer, Long or
// Decimal by size, others as Decimal, exactly as written.
Variant ValueReader::NumberVariant(const Value& value, std::string_view where) const {
  const Decimal number = DecimalOf(value, where);
  if (value.integral) {
    if (const auto whole = number.ToInt64()) {
      if (*whole >= std::numeric_limits<int16_t>::min() &&
          *whole <= std::numeric_limits<int16_t>::max()) {
        return Variant(static_cast<int16_t>(*whole));
      }
      if (*whole >= std::numeric_limits<int32_t>::min() &&
          *whole <= std::numeric_limits<int32_t>::max()) {
        return Variant(static_cast<int32_t>(*whole));
      }
    }
  }
  return Variant(number);
}

// A setting or a value for a field of any type: number, text, boolean or null.
Variant ValueReader::Scalar(const Value& value, std::string_view where) const {
  switch (value.kind) {
    case Value::Kind::kNull:
      return Variant::Null();
    case Value::Kind::kBoolean:
      return Variant(value.boolean);
    case Value::Kind::kNumber:
      return NumberVariant(value, where);
    case Value::Kind::kString:
      return Variant(value.text);
    default:
      Fail(where, Shown(value) + " is not a single value");
  }
}

Variant ValueReader::FieldValue(const FieldInfo& field, const Value& value,
                                std::string_view where) const {
  if (value.IsNull()) return Variant::Null();
  if (value.IsArray() || value.IsObject()) Fail(where, Shown(value) + " is not a field value");
  switch (field.type) {
    case DataType::kSmallInt:
      return Variant(static_cast<int16_t>(WholeNumber(value, where, -32768, 32767)));
    case DataType::kTinyInt:
      return Variant(static_cast<int16_t>(WholeNumber(value, where, -128, 127)));
    case DataType::kInteger:
      return Variant(static_cast<int32_t>(WholeNumber(
          value, where, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
    case DataType::kBigInt:
      return Variant(Decimal::FromInt64(WholeNumber(
          value, where, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max())));
    case DataType::kSingle:
    case DataType::kDouble:
      return Variant(DoubleOf(value, where));
    case DataType::kCurrency:
    case DataType::kDecimal:
    case DataType::kNumeric:
      return Variant(DecimalOf(value, where));
    case DataType::kBoolean:
      return Variant(Boolean(value, where));
    case DataType::kDate:
      return Variant(DateOf(value, where));
    case DataType::kVariant:
      return Scalar(value, where);
    case DataType::kChar:
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kVarWChar:
      break;
  }
  std::string text = Text(value, where);
  if (field.defined_size > 0 && CodePoints(text) > static_cast<size_t>(field.defined_size)) {
    Fail(where,
         Shown(value) + " is longer than " + std::to_string(field.defined_size) + " characters");
  }
  return Variant(std::move(text));
}

void ValueWriter::Unwritable(std::string_view where, std::string_view what) {
  RaiseText(err::kBadDocumentFile, kSource,
            std::string(where) + ": " + std::string(what) + " cannot be written to a file");
}

void ValueWriter::WriteDouble(double value, std::string_view where) {
  if (!std::isfinite(value)) Unwritable(where, "the Double " + std::to_string(value));
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  writer_.Number(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
}

void ValueWriter::WriteVariant(const Variant& value, std::string_view where) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      writer_.Null();
      return;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kByte:
      writer_.Number(std::to_string(value.CLng()));
      return;
    case VarType::kSingle:
    case VarType::kDouble:
      WriteDouble(value.CDbl(), where);
      return;
    case VarType::kCurrency:
    case VarType::kDecimal:
      writer_.Number(value.CDec().ToString());
      return;
    case VarType::kBoolean:
      writer_.Boolean(value.CBool());
      return;
    case VarType::kDate:
      writer_.String(value.CDate().ToIso());
      return;
    case VarType::kString:
      writer_.String(value.str());
      return;
    case VarType::kVariantArray:
      writer_.BeginArray(true);
      for (const Variant& item : value.array()) WriteVariant(item, where);
      writer_.EndArray();
      return;
    case VarType::kObject:
      if (value.IsNothing()) {
        writer_.Null();
        return;
      }
      if (const auto dictionary = std::dynamic_pointer_cast<Dictionary>(value.object())) {
        WriteDictionary(*dictionary, where);
        return;
      }
      Unwritable(where, "an object (" + std::string(value.object()->TypeName()) + ")");
    default:
      Unwritable(where, value.Describe());
  }
}

void ValueWriter::WriteDictionary(const Dictionary& dictionary, std::string_view where) {
  writer_.BeginObject();
  const std::vector<std::string> keys = dictionary.Keys();
  const VariantArray items = dictionary.Items();
  for (size_t i = 0; i < keys.size(); ++i) {
    writer_.Key(keys[i]);
    WriteVariant(items[i], std::string(where) + "." + keys[i]);
  }
  writer_.EndObject();
}

}  // namespace tarvolin::document_file
