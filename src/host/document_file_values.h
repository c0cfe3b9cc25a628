// Value conversion for the document file, shared by its reader and writer.
//
// ValueReader turns JSON values into the Variants a field or a setting takes;
// every failure raises kBadDocumentFile naming the file and the place:
// "<file>: <where>: <what>". ValueWriter writes a Variant as JSON by its
// subtype (Decimal with its scale, dates as ISO text) and raises
// kBadDocumentFile for a value JSON cannot hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/json_reader.h"
#include "host/json_writer.h"
#include "tarvolin/automation/decimal.h"
#include "tarvolin/automation/dictionary.h"
#include "tarvolin/automation/variant.h"
#include "tarvolin/engine/core_document.h"
#include "tarvolin/host/document_file.h"
#include "tarvolin/recordset/field.h"

namespace tarvolin::document_file {

using json::Value;

inline constexpr std::string_view kSource = "DocumentFile";
inline constexpr std::string_view kFormatVersion = "1";
// What a field described without "attributes" gets, and so what is not written.
inline constexpr int32_t kDefaultAttributes = field_attr::kIsNullable | field_attr::kMayBeNull;

// The document state's switches, by their name in the file.
struct BoolMember {
  std::string_view name;
  bool DocumentState::*member;
};
inline constexpr BoolMember kStateFlags[] = {
    {"clear_discount_detail", &DocumentState::clear_discount_detail},
    {"new_document", &DocumentState::new_document},
    {"schedule_locked", &DocumentState::schedule_locked},
    {"totals_changed", &DocumentState::totals_changed},
    {"grouped_rows", &DocumentState::grouped_rows},
    {"row_edit", &DocumentState::row_edit},
    {"payment_substituted", &DocumentState::payment_substituted},
    {"header_agents", &DocumentState::header_agents},
    {"row_agents", &DocumentState::row_agents},
    {"type9_never_suspended", &DocumentState::type9_never_suspended},
    {"use_reference_dates", &DocumentState::use_reference_dates},
};

// A value as an error description shows it: JSON text, long strings cut.
std::string Shown(const Value& value);

class ValueReader {
 public:
  // file_name only names the file in error descriptions.
  explicit ValueReader(std::string_view file_name) : file_(file_name) {}

  [[noreturn]] void Fail(std::string_view where, std::string_view what) const;
  void ExpectObject(const Value& value, std::string_view where) const;

  // Every key known and given once.
  template <size_t N>
  void CheckKeys(const Value& object, const std::string_view (&known)[N], std::string_view where,
                 std::string_view what) const {
    ExpectObject(object, where);
    for (size_t i = 0; i < object.members.size(); ++i) {
      CheckKnown(object.members[i].first, known, N, where, what);
      CheckNotRepeated(object, i, where);
    }
  }
  void CheckNotRepeated(const Value& object, size_t index, std::string_view where) const;
  // "where.key", or "key" at the top.
  static std::string Member(std::string_view where, std::string_view key);

  Decimal DecimalOf(const Value& value, std::string_view where) const;
  // A whole number within [min, max], from a number or text holding one.
  int64_t WholeNumber(const Value& value, std::string_view where, int64_t min, int64_t max) const;
  // A JSON number (not text) that is whole, for the file's own settings.
  int32_t Integer(const Value& value, std::string_view where, int32_t min, int32_t max) const;
  double DoubleOf(const Value& value, std::string_view where) const;
  // true, false, 0, 1 or -1.
  bool Boolean(const Value& value, std::string_view where) const;
  Date DateOf(const Value& value, std::string_view where) const;
  std::string Text(const Value& value, std::string_view where) const;
  // A setting or a value for a field of any type: number, text, boolean or null.
  Variant Scalar(const Value& value, std::string_view where) const;
  // The value field takes from value: its type's conversion, its size checked.
  Variant FieldValue(const FieldInfo& field, const Value& value, std::string_view where) const;

 private:
  void CheckKnown(const std::string& key, const std::string_view* known, size_t count,
                  std::string_view where, std::string_view what) const;
  std::string_view NumberText(const Value& value, std::string_view where) const;
  Variant NumberVariant(const Value& value, std::string_view where) const;

  std::string file_;
};

class ValueWriter {
 public:
  explicit ValueWriter(json::Writer& writer) : writer_(writer) {}

  // where names the value in the error raised when it cannot be written.
  void WriteVariant(const Variant& value, std::string_view where);
  void WriteDictionary(const Dictionary& dictionary, std::string_view where);

 private:
  [[noreturn]] static void Unwritable(std::string_view where, std::string_view what);
  void WriteDouble(double value, std::string_view where);

  json::Writer& writer_;
};

}  // namespace tarvolin::document_file
