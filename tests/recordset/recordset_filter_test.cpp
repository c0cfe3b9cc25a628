// Filter criteria, the edits-under-a-filter rules, the equality index, sort
// orders and Find.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/errors.h"
#include "support/recordsets.h"

namespace tarvolin {
namespace {

using testing_support::ErrorOf;
using testing_support::Id;
using testing_support::Ids;
using testing_support::Raises;

Decimal D(const char* text) { return Decimal::Parse(text); }

std::vector<int> Filtered(Recordset& rs, const std::string& criteria) {
  rs.SetFilter(criteria);
  return Ids(rs);
}

std::shared_ptr<Recordset> Grammar() {
  const Variant null = Variant::Null();
  return MakeRecordset({{"ID", DataType::kInteger},
                        {"Ship To", DataType::kVarChar, 30},
                        {"CODE", DataType::kChar, 6},
                        {"QTY", DataType::kInteger},
                        {"PRICE", DataType::kDecimal, 0, 0, 18, 2},
                        {"DT", DataType::kDate},
                        {"FLAG", DataType::kBoolean}},
                       {{1, "O'Brien", "ABC", 1, D("17.00"), Date::FromYmd(2024, 3, 5), true},
                        {2, "Smith", "abd", 2, D("17"), Date::FromYmd(2024, 2, 28), false},
                        {3, "o'brien", "", null, D("17.5"), Date::FromYmd(2024, 3, 1), true},
                        {4, "Jones", "XABCX", 2, null, null, true},
                        {5, "Brown", null, 1, D("0.1"), Date::FromYmd(2024, 3, 6), false}});
}

TEST(RecordsetFilter, CriteriaGrammarAndComparisonRules) {
  auto rs = Grammar();
  const std::vector<std::pair<std::string, std::vector<int>>> cases = {
      {"[Ship To] = 'O''Brien'", {1, 3}},  // brackets, doubled quote, any case
      {"[Ship To] > 'o'", {1, 2, 3}},
      {"CODE = 'abc'", {1}},  // fixed-length padding ignored
      {"CODE = ''", {3}},
      {"CODE LIKE 'ab*'", {1, 2}},
      {"CODE LIKE '%BC%'", {1, 4}},
      {"CODE LIKE 'abd'", {2}},
      {"CODE LIKE '*'", {1, 2, 3, 4}},
      {"DT = #2024-03-05#", {1}},
      {"DT >= #3/1/2024#", {1, 3, 5}},
      {"PRICE = 17", {1, 2}},  // numbers by value: 17.00 and 17
      {"PRICE = 17.000", {1, 2}},
      {"PRICE <= 17", {1, 2, 5}},
      {"PRICE = 0.1", {5}},
      {"QTY = 1.5", {}},     // not rounded to the field's type
      {"QTY <> 1", {2, 4}},  // Null matches no comparison...
      {"QTY = Null", {3}},   // ...except the Null test
      {"QTY <> Null", {1, 2, 4, 5}},
      {"DT = Null", {4}},
      {"FLAG = 1", {1, 3, 4}},  // converted to the field's type
      {"FLAG = False", {2, 5}},
      {"  id=3  ", {3}},
      {"((ID = 1) OR (ID = 5))", {1, 5}},
      {"(QTY = 1 AND FLAG = True) OR (QTY = 2 AND FLAG = True)", {1, 4}},
      // Equal precedence, left to right: (QTY = 1 OR QTY = 2) AND FLAG = True.
      {"QTY = 1 OR QTY = 2 AND FLAG = True", {1, 4}},
      {"QTY = 2 AND FLAG = False OR ID = 5", {2, 5}},
  };
  for (const auto& [criteria, expected] : cases) {
    EXPECT_EQ(Filtered(*rs, criteria), expected) << criteria;
    EXPECT_EQ(rs->Filter(), criteria);
  }
}

TEST(RecordsetFilter, RejectsBadCriteriaAndLeavesTheRecordsetAsItWas) {
  auto rs = Grammar();
  rs->SetFilter("QTY <> Null");
  rs->SetAbsolutePosition(2);
  const std::vector<std::string> malformed = {
      "(QTY = 1 OR QTY = 2) AND FLAG = True",
      "FLAG = True AND (QTY = 1 OR QTY = 2)",
      "QTY =",
      "QTY == 1",
      "QTY 1",
      "QTY = 'abc'",
      "CODE = 'open",
      "QTY = 1 AND",
      "(QTY = 1",
      "QTY = 1)",
      "CODE LIKE '*bc'",
      "CODE LIKE 'a*c'",
      "QTY LIKE 1",
      "DT = #2024-13-45#",
      "QTY = 1 XOR ID = 2",
      // An OR group stays one when more clauses are OR-ed to it: it may not be AND-ed.
      "(QTY = 1 OR QTY = 2) OR QTY = 3 AND ID = 3",
      "(QTY = 1 OR QTY = 2) AND ID = 3",
      "[Ship To = 'x'",
  };
  for (const std::string& criteria : malformed) {
    EXPECT_TRUE(Raises([&] { rs->SetFilter(criteria); }, err::kBadArgument, "", criteria));
  }
  for (const char* criteria : {"BOGUS = 1", "[Ship  To] = 'x'", "ID = 1 OR BOGUS = 2"}) {
    EXPECT_TRUE(Raises([&] { rs->SetFilter(criteria); }, err::kItemNotFound, "",
                       criteria[0] == '[' ? "Ship  To" : "BOGUS"));
  }
  EXPECT_EQ(rs->Filter(), "QTY <> Null");
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  EXPECT_EQ(Id(*rs), 2);
}

TEST(RecordsetFilter, NoMatchAndRemoval) {
  auto rs = Grammar();
  rs->SetFilter("ID > 100");
  EXPECT_TRUE(rs->Bof() && rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(rs->AbsolutePosition(), -1);
  rs->ClearFilter();
  EXPECT_EQ(rs->Filter(), "");
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_EQ(Id(*rs), 1);
  rs->SetFilter("ID > 3");
  rs->SetFilter("");
  EXPECT_EQ(rs->RecordCount(), 5);
}

// ID 1..10, F = 1 when ID is a multiple of 3, else 0.
std::shared_ptr<Recordset> Flags() {
  std::vector<std::vector<Variant>> rows;
  for (int id = 1; id <= 10; ++id) rows.push_back({id, int16_t(id % 3 == 0 ? 1 : 0)});
  return MakeRecordset({{"ID", DataType::kInteger}, {"F", DataType::kSmallInt}}, rows);
}

TEST(RecordsetFilterEdits, ModifyOrDeleteWhileFilteredVisitsEachRowOnce) {
  auto rs = Flags();
  rs->SetFilter("F = 0");
  std::vector<int> visited;
  while (!rs->Eof()) {
    visited.push_back(Id(*rs));
    if (Id(*rs) % 2 == 0) {
      rs->Delete();
    } else {
      rs->Set("F", 1);  // no longer matches, stays in the view
    }
    rs->MoveNext();
  }
  EXPECT_EQ(visited, (std::vector<int>{1, 2, 4, 5, 7, 8, 10}));
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->ClearFilter();
  EXPECT_EQ(rs->RecordCount(), 6);
  rs->SetFilter("F = 0");
  EXPECT_TRUE(rs->Bof() && rs->Eof());

  // "While it has records, move to the first and delete it" on a clone.
  auto clone = rs->Clone();
  clone->SetFilter("F = 1");
  int deletions = 0;
  while (clone->RecordCount() > 0) {
    clone->MoveFirst();
    clone->Delete();
    ++deletions;
  }
  EXPECT_EQ(deletions, 6);
  rs->ClearFilter();
  EXPECT_EQ(rs->RecordCount(), 0);
}

TEST(RecordsetFilterEdits, AddedRowJoinsOnlyTheViewItWasAddedThrough) {
  auto rs = Flags();
  auto sibling = rs->Clone();
  rs->SetFilter("F = 1");
  sibling->SetFilter("F = 1");
  rs->AddNew();
  rs->Set("ID", 11);  // F stays Empty: does not match, joins anyway
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(rs->AbsolutePosition(), 4);
  EXPECT_EQ(Ids(*rs), (std::vector<int>{3, 6, 9, 11}));
  EXPECT_EQ(sibling->RecordCount(), 3);

  AppendRow(*sibling, {12, int16_t{1}});
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(Filtered(*rs, "F = 1"), (std::vector<int>{3, 6, 9, 12}));
  // An unfiltered clone sees every row at once.
  EXPECT_EQ(rs->Clone()->RecordCount(), 12);
}

// ID, K (indexed by the filters below), C fixed text, P decimal.
std::shared_ptr<Recordset> Keyed() {
  return MakeRecordset({{"ID", DataType::kInteger},
                        {"K", DataType::kInteger},
                        {"C", DataType::kChar, 4},
                        {"P", DataType::kDecimal, 0, 0, 18, 2}},
                       {{1, 3, "ab", D("17")},
                        {2, 4, "AB", D("17.00")},
                        {3, 3, "cd", D("18")},
                        {4, 5, Variant::Null(), Variant::Null()}});
}

// Index upkeep under random edits is checked against a model below; here the
// rules its keys follow, and a delete leaving an open filtered view at once.
TEST(RecordsetIndex, EqualityFiltersFollowTheComparisonRulesAndEveryClone) {
  auto rs = Keyed();
  auto other = rs->Clone();
  EXPECT_EQ(Filtered(*rs, "K = 3"), (std::vector<int>{1, 3}));
  other->SetAbsolutePosition(2);
  other->Set("K", D("3.00"));
  EXPECT_EQ(Filtered(*rs, "K = 3"), (std::vector<int>{1, 2, 3}));  // natural order kept
  other->SetAbsolutePosition(3);
  other->Delete();
  EXPECT_EQ(rs->RecordCount(), 2);  // left the open view at once
  // Text ignoring case and trailing blanks, decimals by value, Null only for
  // the Null test, Empty as 0.
  EXPECT_EQ(Filtered(*rs, "C = 'ab  '"), (std::vector<int>{1, 2}));
  EXPECT_EQ(Filtered(*rs, "P = 17 AND K = 3"), (std::vector<int>{1, 2}));
  EXPECT_EQ(Filtered(*rs, "C = Null"), (std::vector<int>{4}));
  other->AddNew();
  other->Set("ID", 6);
  EXPECT_EQ(Filtered(*rs, "K = 0"), (std::vector<int>{6}));
  EXPECT_EQ(Filtered(*rs, "K >= 0 AND K <= 0"), (std::vector<int>{6}));
}

// Random writes, adds and deletes through two clones; every equality filter
// must give what a plain scan of a model gives.
TEST(RecordsetIndex, AgreesWithAModelUnderRandomEdits) {
  std::mt19937 random(20240305);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  struct Row {
    int k;
    int f;
    bool live;
  };
  std::map<int, Row> model;  // by ID, which is the natural order
  std::vector<std::vector<Variant>> rows;
  for (int id = 1; id <= 200; ++id) {
    model[id] = {id % 17, id % 3 == 0 ? 1 : 0, true};
    rows.push_back({id, model[id].k, int16_t(model[id].f)});
  }
  auto a = MakeRecordset(
      {{"ID", DataType::kInteger}, {"K", DataType::kInteger}, {"F", DataType::kSmallInt}}, rows);
  auto b = a->Clone();
  int next_id = 201;
  for (int step = 0; step < 2000; ++step) {
    Recordset& editor = pick(2) ? *a : *b;
    Recordset& reader = &editor == a.get() ? *b : *a;
    editor.ClearFilter();
    const int op = pick(10);
    if (op == 0) {
      AppendRow(editor, {next_id, pick(17), int16_t(pick(2))});
      model[next_id] = {editor.Get("K").CLng(), editor.Get("F").CInt(), true};
      ++next_id;
    } else if (editor.RecordCount() > 0) {
      editor.SetAbsolutePosition(1 + pick(editor.RecordCount()));
      Row& row = model[Id(editor)];
      if (op == 1) {
        editor.Delete();
        row.live = false;
      } else if (op < 7) {
        row.k = pick(17);
        editor.Set("K", op % 2 ? Variant(row.k) : Variant(Decimal(row.k)));
      } else {
        row.f = pick(2);
        editor.Set("F", row.f);
      }
    }
    const int key = pick(17);
    std::vector<int> expected;
    for (const auto& [id, row] : model) {
      if (row.live && row.k == key && row.f == 0) expected.push_back(id);
    }
    ASSERT_EQ(Filtered(reader, "K = " + std::to_string(key) + " AND F = 0"), expected)
        << "step " << step;
  }
}

std::shared_ptr<Recordset> Taxes() {
  const Variant null = Variant::Null();
  return MakeRecordset({{"ID", DataType::kInteger},
                        {"TAX GROUP", DataType::kVarChar, 10},
                        {"CALCORDER", DataType::kDecimal, 0, 0, 10, 2}},
                       {{1, "b", 1},
                        {2, null, 5},
                        {3, "A", 2},
                        {4, "B", 2},
                        {5, "a", null},
                        {6, "b ", 2},
                        {7, null, 1}});
}

TEST(RecordsetSort, NullsFirstDescendingMultiKeyAndStable) {
  auto rs = Taxes();
  rs->SetSort("[TAX GROUP]");
  // Nulls first; "b", "B" and "b " tie and keep their natural order.
  EXPECT_EQ(Ids(*rs), (std::vector<int>{2, 7, 3, 5, 1, 4, 6}));
  rs->SetSort("[TAX GROUP] DESC");
  EXPECT_EQ(Ids(*rs), (std::vector<int>{1, 4, 6, 3, 5, 2, 7}));
  rs->SetSort("[tax group] ASC, CALCORDER DESC");
  EXPECT_EQ(Ids(*rs), (std::vector<int>{2, 7, 3, 5, 4, 6, 1}));
  EXPECT_EQ(rs->Sort(), "[tax group] ASC, CALCORDER DESC");
  rs->SetSort("CALCORDER, ID DESC");
  EXPECT_EQ(Ids(*rs), (std::vector<int>{5, 7, 1, 6, 4, 3, 2}));

  // Sort and filter combine; a row added through the cursor goes to the end.
  rs->SetFilter("CALCORDER >= 2");
  EXPECT_EQ(Ids(*rs), (std::vector<int>{6, 4, 3, 2}));
  AppendRow(*rs, {8, "c", 0});
  EXPECT_EQ(Ids(*rs), (std::vector<int>{6, 4, 3, 2, 8}));
  rs->SetSort("");
  EXPECT_EQ(Ids(*rs), (std::vector<int>{2, 3, 4, 6}));

  rs->SetSort("ID DESC");
  for (const char* bad : {"ID ASC DESC", "ID,", ",ID", "ID DESCENDING", "[ID"}) {
    EXPECT_TRUE(Raises([&] { rs->SetSort(bad); }, err::kBadArgument, "", bad));
  }
  EXPECT_TRUE(Raises([&] { rs->SetSort("ID, NOPE DESC"); }, err::kItemNotFound, "", "NOPE"));
  EXPECT_EQ(rs->Sort(), "ID DESC");
  EXPECT_EQ(Ids(*rs), (std::vector<int>{6, 4, 3, 2}));
}

TEST(RecordsetFind, ForwardBackwardSkipAndStart) {
  auto rs = Taxes();
  // The ID found, 0 when nothing was.
  const auto find = [&](const std::string& criteria, int skip = 0,
                        SearchDirection direction = SearchDirection::kForward,
                        std::optional<Bookmark> start = std::nullopt) {
    return rs->Find(criteria, skip, direction, start) ? Id(*rs) : 0;
  };
  rs->MoveFirst();
  EXPECT_EQ(find("[TAX GROUP] = 'B'"), 1);  // includes the current row
  EXPECT_EQ(find("[TAX GROUP] = 'B'", 1), 4);
  EXPECT_EQ(find("[TAX GROUP] LIKE 'b*'", 1), 6);
  EXPECT_EQ(find("[TAX GROUP] = 'B'", 1), 0);
  EXPECT_TRUE(rs->Eof());

  rs->MoveLast();
  EXPECT_EQ(find("CALCORDER = 2", 0, SearchDirection::kBackward), 6);
  EXPECT_EQ(find("CALCORDER = 2", 1, SearchDirection::kBackward), 4);
  EXPECT_EQ(find("CALCORDER > 5", 1, SearchDirection::kBackward), 0);
  EXPECT_TRUE(rs->Bof());

  // From a bookmark, whatever the current position; within the view only.
  rs->SetAbsolutePosition(3);
  const Bookmark third = rs->GetBookmark();
  rs->MoveLast();
  EXPECT_EQ(find("CALCORDER = 1", 0, SearchDirection::kForward, third), 7);
  rs->SetFilter("ID <> 3");
  EXPECT_TRUE(
      Raises([&] { find("ID = 1", 0, SearchDirection::kForward, third); }, err::kBadArgument));
  EXPECT_EQ(find("CALCORDER = Null"), 5);

  EXPECT_TRUE(Raises([&] { find("ID = 1 OR ID = 2"); }, err::kBadArgument));
  EXPECT_TRUE(Raises([&] { find("ID = 1", -1); }, err::kBadArgument));
  EXPECT_TRUE(Raises([&] { find("NOPE = 1"); }, err::kItemNotFound));
  rs->MoveLast();
  rs->MoveNext();
  EXPECT_TRUE(Raises([&] { find("ID = 1"); }, err::kNoCurrentRecord));
}

}  // namespace
}  // namespace tarvolin
