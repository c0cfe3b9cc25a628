#include "support/document_paths.h"

#include <optional>

#include "tarvolin/engine/value_helpers.h"

namespace tarvolin::testing_support {
namespace {

constexpr std::string_view kUnassigned = "(unassigned)";
constexpr std::string_view kCount = ".count";

std::string RightTrimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string ShownVariant(const Variant& value) {
  if (value.IsEmpty()) return std::string(kUnassigned);
  if (value.IsNull()) return "null";
  if (value.IsString()) return "\"" + value.str() + "\"";
  if (value.IsNumber() && value.type() != VarType::kDate) return value.CDec().ToString();
  return value.CStr();
}

// A number written as a JSON number or as text; nullopt for anything else.
std::optional<Decimal> AsDecimal(const json::Value& value) {
  if (!value.IsNumber() && !value.IsString()) return std::nullopt;
  return Decimal::TryParse(value.text);
}

bool Matches(const json::Value& expected, const Variant& actual) {
  if (expected.IsNull()) return actual.IsNull();
  if (expected.IsString() && expected.text == kUnassigned) return actual.IsEmpty();
  if (expected.kind == json::Value::Kind::kBoolean) {
    return actual.type() == VarType::kBoolean && actual.CBool() == expected.boolean;
  }
  if (actual.IsString()) return expected.IsString() && RightTrimmed(actual.str()) == expected.text;
  if (!actual.IsNumber() || actual.type() == VarType::kDate) {
    return actual.type() == VarType::kDate && expected.text == actual.CStr();
  }
  const auto number = AsDecimal(expected);
  return number && *number == actual.CDec();
}

bool Matches(const json::Value& expected, const json::Value& actual) {
  if (expected.IsString() && expected.text == kUnassigned) return false;
  if (actual.IsNumber()) {
    const auto number = AsDecimal(expected);
    return number && *number == Decimal::Parse(actual.text);
  }
  if (expected.kind != actual.kind) return false;
  if (actual.IsArray()) {
    if (expected.items.size() != actual.items.size()) return false;
    for (size_t i = 0; i < actual.items.size(); ++i) {
      if (!Matches(expected.items[i], actual.items[i])) return false;
    }
    return true;
  }
  return actual.boolean == expected.boolean && RightTrimmed(actual.text) == expected.text;
}

bool EvaluateRecordset(const std::shared_ptr<Recordset>& recordset, const std::string& rest,
                       const json::Value& expected, std::string& got) {
  if (!recordset) {
    got = "no such recordset";
    return false;
  }
  auto rows = recordset->Clone();
  if (rest == kCount) {
    got = std::to_string(rows->RecordCount());
    return Matches(expected, Variant(int32_t{rows->RecordCount()}));
  }
  if (rest.starts_with(".sum(") && rest.ends_with(")")) {
    const auto field = rows->TryResolve(rest.substr(5, rest.size() - 6));
    if (!field) {
      got = "no such field";
      return false;
    }
    Decimal sum;
    for (; !rows->Eof(); rows->MoveNext()) sum = sum + NzDecimal(rows->Get(*field));
    got = sum.ToString();
    return Matches(expected, Variant(sum));
  }
  const size_t close = rest.find("].");
  if (!rest.starts_with("[") || close == std::string::npos) {
    got = "a key this runner does not know";
    return false;
  }
  const int row = std::stoi(rest.substr(1, close - 1));
  if (row < 1 || row > rows->RecordCount()) {
    got = "no row " + std::to_string(row) + " (" + std::to_string(rows->RecordCount()) + " rows)";
    return false;
  }
  const auto field = rows->TryResolve(rest.substr(close + 2));
  if (!field) {
    got = "no such field";
    return false;
  }
  rows->SetAbsolutePosition(row);
  const Variant& value = rows->Get(*field);
  got = ShownVariant(value);
  return Matches(expected, value);
}

bool EvaluateSection(const json::Value* value, const std::string& rest, const json::Value& expected,
                     std::string& got) {
  for (size_t at = 0; value != nullptr && at < rest.size();) {
    if (rest.compare(at, kCount.size(), kCount) == 0 && at + kCount.size() == rest.size()) {
      const size_t count = value->IsArray() ? value->items.size() : value->members.size();
      got = std::to_string(count);
      const auto number = AsDecimal(expected);
      return number && *number == Decimal(static_cast<int32_t>(count));
    }
    if (rest[at] == '[') {
      const size_t close = rest.find(']', at);
      const size_t index = std::stoul(rest.substr(at + 1, close - at - 1));
      value = index >= 1 && index <= value->items.size() ? &value->items[index - 1] : nullptr;
      at = close + 1;
    } else {
      const size_t end = rest.find_first_of(".[", at + 1);
      value = value->Find(rest.substr(at + 1, end - at - 1));
      at = end == std::string::npos ? rest.size() : end;
    }
  }
  if (value == nullptr) {
    got = "nothing (no such section, row or key)";
    return false;
  }
  got = Shown(*value);
  return Matches(expected, *value);
}

}  // namespace

std::string Shown(const json::Value& value) {
  switch (value.kind) {
    case json::Value::Kind::kNull:
      return "null";
    case json::Value::Kind::kBoolean:
      return value.boolean ? "true" : "false";
    case json::Value::Kind::kNumber:
      return value.text;
    case json::Value::Kind::kString:
      return "\"" + value.text + "\"";
    case json::Value::Kind::kArray: {
      std::string text = "[";
      for (const auto& item : value.items) text += (text.size() > 1 ? ", " : "") + Shown(item);
      return text + "]";
    }
    case json::Value::Kind::kObject:
      return "{...}";
  }
  return "?";
}

bool IsDatabasePath(const std::string& path) { return path.starts_with("db:"); }

bool EvaluatePath(const std::string& path, const json::Value& expected,
                  const WrittenDocument& written, std::string& got) {
  const size_t dot = path.find_first_of(".[");
  const std::string head = path.substr(0, dot);
  const std::string rest = dot == std::string::npos ? "" : path.substr(dot);
  DocumentTable table;
  if (DocumentTableFromName(head, table)) {
    return EvaluateRecordset(written.file.document->Get(table), rest, expected, got);
  }
  // The output-only lists are written only when they have something.
  json::Value none;
  none.kind = json::Value::Kind::kArray;
  const json::Value* value = written.raw.Find(head);
  if (value == nullptr && rest == kCount) value = &none;
  return EvaluateSection(value, rest, expected, got);
}

bool EvaluateDatabasePath(const std::string& path, const json::Value& expected,
                          Connection& database, std::string& got) {
  auto rs = database.Execute(path.substr(3));
  const Variant value = rs->Eof() ? Variant() : rs->Get(rs->Field(0).name);
  got = ShownVariant(value);
  return Matches(expected, value);
}

}  // namespace tarvolin::testing_support
