// Golden documents: tarvolin recalc end to end, through the document file, on
// the demo company in SQLite and on the PostgreSQL test server.
//
// Each tests/golden/documents/<name>.json is a document file small enough to
// check by hand. <name>.expect.json beside it says how to recalculate it and
// what the recalculated file must hold, with the hand working in "worked":
//   {"about": "...", "arguments": ["--no-schedule"], "worked": ["..."],
//    "exit": 2, "error": ["parts of", "standard error"],   (a bad document)
//    "twice": true,     (recalculating the written file gives the same recordsets;
//                        the expectations then hold for both runs)
//    "expect": {"DO30_DOCCORPO[2].DO30_IMPNETSCP": "200.71", ...}}
// Expectation keys:
//   TABLE[row].FIELD    a field of a recordset of the written file (row 1-based)
//   TABLE.count         its number of rows
//   TABLE.sum(FIELD)    the sum of a field over its rows (Null and unassigned as 0)
//   SECTION.path        a value of another section of the written file, e.g.
//                       state.highest_row_progressive, totals.DO13_TOTIVA,
//                       shown_messages.count, shown_messages[1].text, edited_rows
//   db:SELECT ...       the first column of the first row the company database gives
// Values: numbers (as numbers or text) compare exactly as decimals, so "53.97"
// equals 53.970 but not 53.971; text compares without the blanks that pad a
// CHAR field; null is Null; "(unassigned)" is a field the file leaves out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/recalc_command.h"
#include "db/demo_database.h"
#include "host/json_reader.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;
constexpr std::string_view kUnassigned = "(unassigned)";

fs::path Folder() { return fs::path(__FILE__).parent_path() / "documents"; }

// The documents that have expectations, by name, sorted.
std::vector<std::string> GoldenNames() {
  std::vector<std::string> names;
  constexpr std::string_view kSuffix = ".expect.json";
  for (const auto& entry : fs::directory_iterator(Folder())) {
    const std::string file = entry.path().filename().string();
    if (file.size() > kSuffix.size() && file.ends_with(kSuffix)) {
      names.push_back(file.substr(0, file.size() - kSuffix.size()));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

json::Value ParseJson(const std::string& text, const std::string& what) {
  json::Value value;
  std::string error;
  if (!json::Parse(text, value, error)) ADD_FAILURE() << what << ": " << error;
  return value;
}

std::string RightTrimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

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

std::string Shown(const Variant& value) {
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

// Structural equality; on a difference, `where` names its place and both values.
bool SameJson(const json::Value& a, const json::Value& b, std::string& where) {
  const auto differ = [&](const std::string& what) {
    where += ": " + what;
    return false;
  };
  if (a.kind != b.kind) return differ(Shown(a) + " then " + Shown(b));
  if (a.IsArray()) {
    if (a.items.size() != b.items.size()) {
      return differ(std::to_string(a.items.size()) + " items then " +
                    std::to_string(b.items.size()));
    }
    for (size_t i = 0; i < a.items.size(); ++i) {
      where += "[" + std::to_string(i + 1) + "]";
      if (!SameJson(a.items[i], b.items[i], where)) return false;
      where.erase(where.rfind('['));
    }
    return true;
  }
  if (a.IsObject()) {
    for (const auto& [key, value] : a.members) {
      where += "." + key;
      const json::Value* other = b.Find(key);
      if (other == nullptr) return differ(Shown(value) + " then left out");
      if (!SameJson(value, *other, where)) return false;
      where.erase(where.rfind('.'));
    }
    for (const auto& [key, value] : b.members) {
      if (a.Find(key) == nullptr) return differ(key + " added: " + Shown(value));
    }
    return true;
  }
  return a.text == b.text && a.boolean == b.boolean ? true : differ(Shown(a) + " then " + Shown(b));
}

// One recalculated file: the document read back and its raw JSON, for the
// output-only sections the reader ignores.
struct Written {
  DocumentFile file;
  json::Value raw;
};

using testing_support::Backend;

class GoldenDocument : public ::testing::TestWithParam<std::tuple<std::string, Backend>> {
 protected:
  void SetUp() override {
    if (std::get<1>(GetParam()) == Backend::kPostgres) SKIP_WITHOUT_POSTGRES();
    demo_ = std::make_unique<testing_support::DemoDatabase>(std::get<1>(GetParam()));
  }
  const std::string& Name() const { return std::get<0>(GetParam()); }

  struct Run {
    int code;
    std::string err;
  };

  Run Recalc(const std::string& document, const std::string& out,
             const std::vector<std::string>& arguments) {
    std::vector<std::string> args{document, "--db", demo_->path(), "--out", out};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::ostringstream out_stream, err_stream;
    const int code = cli::RecalcMain(args, out_stream, err_stream);
    return {code, err_stream.str()};
  }

  // The value a key names, compared with the expected one; a failure names
  // the document and the key.
  void Check(const std::string& key, const json::Value& expected, const Written& written,
             std::string_view run) {
    std::string got;
    const bool ok = Evaluate(key, expected, written, got);
    EXPECT_TRUE(ok) << Name() << run << ": " << key << ": expected " << Shown(expected) << ", got "
                    << got;
  }

  void CheckDatabase(const std::string& key, const json::Value& expected) {
    auto rs = demo_->database().Execute(key.substr(3));
    const Variant value = rs->Eof() ? Variant() : rs->Get(rs->Field(0).name);
    EXPECT_TRUE(Matches(expected, value))
        << Name() << ": " << key << ": expected " << Shown(expected) << ", got " << Shown(value);
  }

  bool Evaluate(const std::string& key, const json::Value& expected, const Written& written,
                std::string& got) {
    const size_t dot = key.find_first_of(".[");
    const std::string head = key.substr(0, dot);
    const std::string rest = dot == std::string::npos ? "" : key.substr(dot);
    DocumentTable table;
    if (DocumentTableFromName(head, table)) {
      return EvaluateRecordset(written.file.document->Get(table), rest, expected, got);
    }
    const json::Value* value = written.raw.Find(head);
    // The output-only lists are written only when they have something.
    json::Value none;
    none.kind = json::Value::Kind::kArray;
    if (value == nullptr && rest == ".count") value = &none;
    for (size_t at = 0; value != nullptr && at < rest.size();) {
      if (rest.compare(at, 6, ".count") == 0 && at + 6 == rest.size()) {
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

  bool EvaluateRecordset(const std::shared_ptr<Recordset>& recordset, const std::string& rest,
                         const json::Value& expected, std::string& got) {
    if (!recordset) {
      got = "no such recordset";
      return false;
    }
    auto rows = recordset->Clone();
    if (rest == ".count") {
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
    got = Shown(value);
    return Matches(expected, value);
  }

  std::unique_ptr<testing_support::DemoDatabase> demo_;
};

TEST_P(GoldenDocument, RecalculatesToTheHandWorkedFigures) {
  const fs::path document = Folder() / (Name() + ".json");
  ASSERT_TRUE(fs::exists(document)) << document;
  const json::Value expectations =
      ParseJson(ReadText(Folder() / (Name() + ".expect.json")), Name() + ".expect.json");
  ASSERT_TRUE(expectations.IsObject());
  for (const auto& [key, value] : expectations.members) {
    EXPECT_TRUE(key == "about" || key == "arguments" || key == "worked" || key == "expect" ||
                key == "exit" || key == "error" || key == "twice")
        << Name() << ": unknown key " << key;
  }
  const json::Value* worked = expectations.Find("worked");
  EXPECT_TRUE(worked != nullptr && worked->IsArray() && !worked->items.empty())
      << Name() << ": no hand working";
  std::vector<std::string> arguments;
  if (const json::Value* list = expectations.Find("arguments")) {
    for (const auto& item : list->items) arguments.push_back(item.text);
  }
  const json::Value* exit = expectations.Find("exit");
  const int expected_exit = exit ? std::stoi(exit->text) : 0;

  const std::string out = (demo_->dir() / "out.json").string();
  const Run run = Recalc(document.string(), out, arguments);
  ASSERT_EQ(run.code, expected_exit) << Name() << ": " << run.err;
  if (expected_exit != 0) {
    const json::Value* error = expectations.Find("error");
    ASSERT_NE(error, nullptr) << Name() << ": a failing document names its error";
    for (const json::Value& part : error->IsArray() ? error->items : std::vector{*error}) {
      EXPECT_NE(run.err.find(part.text), std::string::npos)
          << Name() << ": no \"" << part.text << "\" in " << run.err;
    }
    EXPECT_FALSE(fs::exists(out)) << Name() << ": a failed run wrote its file";
  }

  std::vector<Written> results;
  if (expected_exit == 0) {
    results.push_back({ReadDocumentFile(out), ParseJson(ReadText(out), out)});
    const json::Value* twice = expectations.Find("twice");
    if (twice != nullptr && twice->boolean) {
      const std::string again = (demo_->dir() / "again.json").string();
      const Run second = Recalc(out, again, arguments);
      ASSERT_EQ(second.code, 0) << Name() << " (second run): " << second.err;
      results.push_back({ReadDocumentFile(again), ParseJson(ReadText(again), again)});
      std::string where = "recordsets";
      EXPECT_TRUE(
          SameJson(*results[0].raw.Find("recordsets"), *results[1].raw.Find("recordsets"), where))
          << Name() << ": the second run changed " << where;
    }
  }
  const json::Value* expect = expectations.Find("expect");
  ASSERT_NE(expect, nullptr) << Name() << ": no \"expect\"";
  for (const auto& [key, expected] : expect->members) {
    if (key.starts_with("db:")) {
      CheckDatabase(key, expected);
    } else if (results.empty()) {
      ADD_FAILURE() << Name() << ": " << key << ": a failed run writes no file to check";
    }
    for (size_t i = 0; i < results.size() && !key.starts_with("db:"); ++i) {
      Check(key, expected, results[i], i == 0 ? "" : " (second run)");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenDocument,
                         ::testing::Combine(::testing::ValuesIn(GoldenNames()),
                                            ::testing::Values(Backend::kSqlite,
                                                              Backend::kPostgres)),
                         [](const auto& info) {
                           std::string name = std::get<0>(info.param);
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name + "_" +
                                  testing_support::BackendName(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace tarvolin
