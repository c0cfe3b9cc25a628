// Clones, positions, bookmarks, copies and the open/closed life cycle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/errors.h"
#include "support/recordsets.h"

namespace tarvolin {
namespace {

using testing_support::Id;
using testing_support::Ids;
using testing_support::Raises;

// ID 1..n, NAME "r<ID>".
std::shared_ptr<Recordset> Numbered(int n) {
  std::vector<std::vector<Variant>> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({i, "r" + std::to_string(i)});
  return MakeRecordset({{"ID", DataType::kInteger}, {"NAME", DataType::kVarChar, 20}}, rows);
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
  EXPECT_TRUE(Raises([&] { rs->Get("ID"); }, err::kNoCurrentRecord));
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
  EXPECT_TRUE(Raises([&] { clone->SetBookmark(third); }, err::kBadArgument));
  EXPECT_EQ(Id(*clone), 5);  // position kept

  rs->Delete();
  EXPECT_TRUE(Raises([&] { rs->GetBookmark(); }, err::kNoCurrentRecord));
  clone->ClearFilter();
  EXPECT_TRUE(Raises([&] { clone->SetBookmark(third); }, err::kBadArgument));
  EXPECT_TRUE(Raises([&] { clone->SetBookmark(Bookmark()); }, err::kBadArgument));
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

TEST(RecordsetWithFieldsOf, SharesTheFieldListButNeverItsChanges) {
  auto shape = Numbered(2);
  auto a = Recordset::CreateWithFieldsOf(*shape);
  auto b = Recordset::CreateWithFieldsOf(*shape);
  EXPECT_EQ(a->State(), ObjectState::kOpen);
  EXPECT_EQ(a->RecordCount(), 0);
  EXPECT_TRUE(a->Eof());
  EXPECT_EQ(a->Field(1).defined_size, 20);
  AppendRow(*a, {7, "seven"});
  EXPECT_EQ(b->RecordCount(), 0);
  EXPECT_EQ(shape->RecordCount(), 2);
  EXPECT_TRUE(Raises([&] { a->Set("NAME", std::string(21, 'x')); }, err::kWrongValueType));

  // A field added to one of them, closed, is its own: the others keep theirs.
  a->Close();
  a->AppendField("EXTRA", DataType::kInteger);
  a->Open();
  EXPECT_EQ(a->FieldCount(), 3);
  EXPECT_EQ(b->FieldCount(), 2);
  EXPECT_EQ(shape->FieldCount(), 2);
  EXPECT_FALSE(b->TryResolve("EXTRA"));
  EXPECT_EQ(Recordset::CreateWithFieldsOf(*shape)->FieldCount(), 2);

  // Names resolve alike in all of them, whichever asks first.
  for (auto* rs : {b.get(), shape.get(), a.get()}) EXPECT_EQ(rs->Resolve("name").index(), 1);

  auto empty = Recordset::Create();
  EXPECT_TRUE(Raises([&] { Recordset::CreateWithFieldsOf(*empty); }, err::kConnectionUnusable));
}

}  // namespace
}  // namespace tarvolin
