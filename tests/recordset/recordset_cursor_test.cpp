// Clones, positions, bookmarks, copies and the open/closed life cycle.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tarvolin/automation/error.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin {
namespace {

struct Raised {
  int number = 0;
  std::string source;
  std::string description;
};

template <class F>
Raised Catch(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return {e.number(), e.source(), e.description()};
  }
  return {};
}

// ID 1..n, NAME "r<ID>".
std::shared_ptr<Recordset> Numbered(int n) {
  std::vector<std::vector<Variant>> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({i, "r" + std::to_string(i)});
  return MakeRecordset({{"ID", DataType::kInteger}, {"NAME", DataType::kVarChar, 20}}, rows);
}

int Id(const Recordset& rs) { return rs.Get("ID").CLng(); }

std::vector<int> Ids(Recordset& rs) {
  std::vector<int> ids;
  if (rs.RecordCount() == 0) return ids;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ids.push_back(Id(rs));
  return ids;
}

TEST(RecordsetClone, SharesRowsButKeepsItsOwnFilterSortAndPosition) {
  auto rs = Numbered(5);
  rs->SetSort("ID DESC");
  rs->SetFilter("ID > 2");
  auto clone = rs->Clone();
  EXPECT_EQ(clone->Filter(), "");
  EXPECT_EQ(clone->Sort(), "");
  EXPECT_EQ(clone->RecordCount(), 5);
  EXPECT_EQ(Id(*clone), 1);
  EXPECT_EQ(Id(*rs), 5);

  // A write through the clone is seen by the original, and vice versa.
  clone->MoveLast();
  clone->Set("NAME", "written by clone");
  EXPECT_EQ(rs->Get("NAME").str(), "written by clone");
  rs->MoveNext();
  rs->Set("NAME", "written by original");
  clone->MovePrevious();
  EXPECT_EQ(clone->Get("NAME").str(), "written by original");

  // A delete through the clone leaves every view; the original's current row
  // stays current but unreadable until it moves.
  clone->MoveLast();
  rs->MoveFirst();
  clone->Delete();
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_TRUE(rs->IsDeleted());
  EXPECT_EQ(Catch([&] { rs->Get("ID"); }).number, err::kNoCurrentRecord);
  rs->MoveNext();
  EXPECT_EQ(Id(*rs), 4);
  EXPECT_EQ(rs->AbsolutePosition(), 1);

  // Closing the clone leaves the original open with the rows.
  clone->Close();
  EXPECT_EQ(clone->State(), ObjectState::kClosed);
  EXPECT_EQ(rs->State(), ObjectState::kOpen);
  EXPECT_EQ(Ids(*rs), (std::vector<int>{4, 3}));
}

TEST(RecordsetBookmark, IdentifiesTheSameRowInEveryCloneUntilDeleted) {
  auto rs = Numbered(5);
  auto clone = rs->Clone();
  rs->SetAbsolutePosition(3);
  const Bookmark third = rs->GetBookmark();
  clone->MoveLast();
  EXPECT_FALSE(clone->GetBookmark() == third);
  clone->SetBookmark(third);
  EXPECT_EQ(Id(*clone), 3);
  EXPECT_TRUE(clone->GetBookmark() == third);
  ASSERT_TRUE(Bookmark::FromVariant(third.ToVariant()).has_value());
  EXPECT_TRUE(*Bookmark::FromVariant(third.ToVariant()) == third);
  EXPECT_FALSE(Bookmark::FromVariant(Variant()).has_value());

  // A sorted view keeps bookmarks valid; a filter that hides the row refuses it.
  clone->SetSort("ID DESC");
  clone->SetBookmark(third);
  EXPECT_EQ(clone->AbsolutePosition(), 3);
  clone->SetFilter("ID <> 3");
  clone->MoveFirst();
  Raised hidden = Catch([&] { clone->SetBookmark(third); });
  EXPECT_EQ(hidden.number, err::kBadArgument);
  EXPECT_EQ(Id(*clone), 5);  // position kept

  rs->Delete();
  EXPECT_EQ(Catch([&] { rs->GetBookmark(); }).number, err::kNoCurrentRecord);
  clone->ClearFilter();
  EXPECT_EQ(Catch([&] { clone->SetBookmark(third); }).number, err::kBadArgument);
  EXPECT_EQ(Catch([&] { clone->SetBookmark(Bookmark()); }).number, err::kBadArgument);
}

TEST(RecordsetNavigation, BofEofAndAbsolutePositionAtEveryStep) {
  auto empty = MakeRecordset({{"ID", DataType::kInteger}});
  EXPECT_TRUE(empty->Bof() && empty->Eof());
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_EQ(empty->AbsolutePosition(), -1);
  empty->MoveFirst();
  empty->MoveLast();
  EXPECT_TRUE(empty->Bof() && empty->Eof());
  EXPECT_EQ(Catch([&] { empty->MoveNext(); }).number, err::kNoCurrentRecord);
  EXPECT_EQ(Catch([&] { empty->MovePrevious(); }).number, err::kNoCurrentRecord);
  const Raised no_row = Catch([&] { empty->Get("ID"); });
  EXPECT_EQ(no_row.number, err::kNoCurrentRecord);
  EXPECT_EQ(no_row.source, "Recordset");

  auto rs = Numbered(3);
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  rs->MoveNext();
  rs->MoveNext();
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_FALSE(rs->Bof());
  EXPECT_EQ(rs->AbsolutePosition(), -3);
  EXPECT_EQ(Catch([&] { rs->MoveNext(); }).number, err::kNoCurrentRecord);
  EXPECT_EQ(Catch([&] { rs->Set("ID", 1); }).number, err::kNoCurrentRecord);
  rs->MovePrevious();
  EXPECT_EQ(Id(*rs), 3);
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(rs->AbsolutePosition(), -2);
  EXPECT_EQ(Catch([&] { rs->MovePrevious(); }).number, err::kNoCurrentRecord);
  rs->MoveNext();
  EXPECT_EQ(Id(*rs), 1);

  rs->SetAbsolutePosition(2);
  EXPECT_EQ(Id(*rs), 2);
  for (int bad : {0, 4, -1}) {
    Raised e = Catch([&] { rs->SetAbsolutePosition(bad); });
    EXPECT_EQ(e.number, err::kBadArgument);
    EXPECT_NE(e.description.find(std::to_string(bad)), std::string::npos);
  }
  EXPECT_EQ(Id(*rs), 2);
  rs->Move(1);
  EXPECT_EQ(Id(*rs), 3);
  rs->Move(-2);
  EXPECT_EQ(Id(*rs), 1);
  rs->Move(5);
  EXPECT_TRUE(rs->Eof());
  rs->Move(-1);
  EXPECT_EQ(Id(*rs), 3);
}

TEST(RecordsetNavigation, PositionsCountOnlyLiveRows) {
  auto rs = Numbered(6);
  auto other = rs->Clone();
  for (int id : {2, 4}) {
    other->SetAbsolutePosition(id == 2 ? 2 : 3);  // 4 is third once 2 is gone
    ASSERT_EQ(Id(*other), id);
    other->Delete();
  }
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(Ids(*rs), (std::vector<int>{1, 3, 5, 6}));
  rs->SetAbsolutePosition(3);
  EXPECT_EQ(Id(*rs), 5);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  rs->MovePrevious();
  EXPECT_EQ(Id(*rs), 3);
  rs->Move(-1);
  EXPECT_EQ(Id(*rs), 1);

  // The same under a sort, and for the row the cursor itself deleted.
  rs->SetSort("ID DESC");
  rs->MoveNext();
  ASSERT_EQ(Id(*rs), 5);
  rs->Delete();
  EXPECT_EQ(rs->AbsolutePosition(), -1);
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->MoveNext();
  EXPECT_EQ(Id(*rs), 3);
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  rs->AddNew();
  EXPECT_EQ(rs->AbsolutePosition(), rs->RecordCount());
}

TEST(RecordsetLifecycle, ClosedOpenAndFieldDefinitionErrors) {
  auto rs = Recordset::Create();
  EXPECT_EQ(rs->State(), ObjectState::kClosed);
  EXPECT_EQ(rs->TypeName(), "Recordset");
  EXPECT_EQ(Catch([&] { rs->Open(); }).number, err::kConnectionUnusable);
  rs->AppendField("Amount", DataType::kDecimal, 0, field_attr::kIsNullable, 18, 2);
  const Raised duplicate = Catch([&] { rs->AppendField("AMOUNT", DataType::kInteger); });
  EXPECT_EQ(duplicate.number, err::kBadArgument);
  EXPECT_NE(duplicate.description.find("AMOUNT"), std::string::npos);
  EXPECT_EQ(Catch([&] { rs->AppendField("X", static_cast<DataType>(999)); }).number,
            err::kBadArgument);
  for (auto op : std::vector<std::function<void()>>{
           [&] { rs->RecordCount(); }, [&] { rs->MoveNext(); }, [&] { rs->AddNew(); },
           [&] { rs->SetFilter("Amount = 1"); }, [&] { rs->Clone(); }, [&] { rs->Close(); },
           [&] { rs->Get("Amount"); }, [&] { rs->Eof(); }}) {
    EXPECT_EQ(Catch(op).number, err::kObjectClosed);
  }
  rs->Open();
  EXPECT_EQ(Catch([&] { rs->Open(); }).number, err::kObjectOpen);
  EXPECT_EQ(Catch([&] { rs->AppendField("Late", DataType::kInteger); }).number, err::kObjectOpen);
  EXPECT_EQ(rs->Resolve("amount").index(), 0);
  EXPECT_FALSE(rs->TryResolve("nope").has_value());
  const Raised unknown = Catch([&] { rs->Resolve("nope"); });
  EXPECT_EQ(unknown.number, err::kItemNotFound);
  EXPECT_NE(unknown.description.find("nope"), std::string::npos);
  EXPECT_EQ(Catch([&] { rs->Field(1); }).number, err::kItemNotFound);
  EXPECT_EQ(rs->Field(0).numeric_scale, 2);

  // Reopening keeps the fields and starts without rows.
  rs->AddNew();
  rs->Close();
  rs->AppendField("Late", DataType::kInteger);
  rs->Open();
  EXPECT_EQ(rs->FieldCount(), 2);
  EXPECT_EQ(rs->RecordCount(), 0);
}

TEST(RecordsetCopy, IsIndependentAndTakesTheVisibleRowsInViewOrder) {
  auto rs = Numbered(5);
  rs->SetSort("ID DESC");
  rs->SetFilter("ID >= 3");
  rs->MoveLast();
  auto copy = rs->Copy();
  EXPECT_EQ(Id(*rs), 5);  // moved to its first record
  EXPECT_EQ(copy->Filter(), "");
  EXPECT_EQ(copy->FieldCount(), 2);
  EXPECT_EQ(Ids(*copy), (std::vector<int>{5, 4, 3}));
  copy->MoveFirst();
  copy->Set("NAME", "copy only");
  copy->Delete();
  EXPECT_EQ(rs->Get("NAME").str(), "r5");
  EXPECT_EQ(rs->RecordCount(), 3);

  // Without a criteria filter: every live row, in sort order, including rows
  // another clone added after the sort was set.
  rs->ClearFilter();
  auto clone = rs->Clone();
  AppendRow(*clone, {9, "r9"});
  clone->SetAbsolutePosition(1);
  clone->Delete();
  EXPECT_EQ(Ids(*rs->Copy()), (std::vector<int>{9, 5, 4, 3, 2}));
}

}  // namespace
}  // namespace tarvolin
