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
// Expectation keys are paths into the written file or the company database
// (tests/support/document_paths.h describes them and how values compare).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/recalc_command.h"
#include "db/demo_database.h"
#include "host/json_reader.h"
#include "support/document_paths.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;
using testing_support::Shown;

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

using testing_support::Backend;
using testing_support::WrittenDocument;

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
  void Check(const std::string& key, const json::Value& expected, const WrittenDocument& written,
             std::string_view run) {
    std::string got;
    const bool ok = testing_support::EvaluatePath(key, expected, written, got);
    EXPECT_TRUE(ok) << Name() << run << ": " << key << ": expected " << Shown(expected) << ", got "
                    << got;
  }

  void CheckDatabase(const std::string& key, const json::Value& expected) {
    std::string got;
    const bool ok = testing_support::EvaluateDatabasePath(key, expected, demo_->database(), got);
    EXPECT_TRUE(ok) << Name() << ": " << key << ": expected " << Shown(expected) << ", got " << got;
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

  std::vector<WrittenDocument> results;
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
    if (testing_support::IsDatabasePath(key)) {
      CheckDatabase(key, expected);
    } else if (results.empty()) {
      ADD_FAILURE() << Name() << ": " << key << ": a failed run writes no file to check";
    }
    for (size_t i = 0; i < results.size() && !testing_support::IsDatabasePath(key); ++i) {
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
