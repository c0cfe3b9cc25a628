// Recordset: an in-memory recordset with the semantics of the client-side
// cursor the engine was written against.
//
// Rows live in a store shared by every clone: a value written, a row added or
// deleted through any clone is seen by all of them. Each Recordset is a cursor
// over that store with its own filter, sort and position.
//
// Views. With neither filter nor sort the view is every row of the store in the
// order rows were added, including rows added later through any clone. Setting
// a filter or a sort fixes the set of visible rows: editing a row does not make
// it leave or join the view; a row added through this recordset joins its view
// at the end; rows added through another clone join it the next time the filter
// or sort is set; a deleted row leaves every view at once. RecordCount,
// AbsolutePosition, Bof and Eof describe the visible rows.
//
// Values. Set converts a value to the field's type: kSmallInt and kTinyInt hold
// Integer (CInt; a kTinyInt out of -128..127 overflows), kInteger holds Long
// (CLng), kBigInt holds an integral Decimal (rounded half to even, within the
// 64-bit range), kSingle and kDouble hold Double (CDbl), kDecimal and kNumeric
// hold Decimal (CDec, rounded half to even to numeric_scale when the value has
// more decimals), kCurrency holds Decimal rounded half to even to numeric_scale
// or, when that is 0, to 4 decimals; kBoolean holds Boolean, kDate holds Date,
// text types hold String (CStr; a kChar text is padded with blanks to
// defined_size); kVariant stores the value as it is. Null and Empty are stored
// as they are in every field. A field of a newly added row reads Empty.
//
// Comparisons (filter, Find, sort): the criterion's value is converted to the
// field's type (an integer field compares by the exact value written, so
// "N = 1.5" matches nothing rather than 2); numbers compare by value whatever
// their subtype; text compares ignoring ASCII case and trailing blanks; Empty
// equals 0 in number fields and "" in text fields; Null matches no comparison
// except "Field = Null" (and "Field <> Null" matches every other value).
// Sort orders Nulls first when ascending and is stable.
//
// Filter criteria: clauses "Field op Value", op one of = <> < > <= >= LIKE;
// a field name may be written in [brackets] (needed when it holds blanks).
// Values: 'text' (a quote doubled inside), #YYYY-MM-DD# or #M/D/YYYY# dates,
// numbers (sign, digits, decimal point, exponent), Null, True, False. LIKE
// takes 'text', 'text*' or '*text*' (% works as *). AND and OR have equal
// precedence and apply left to right; parentheses group; a parenthesised group
// of OR-ed clauses AND-ed with another clause is refused (write
// (A AND C) OR (B AND C)). A filter that is a conjunction with equality terms
// is answered through hash indexes on those fields (built on first use, kept
// in step with every clone's writes): the term with the fewest candidate rows
// is looked up and the other terms checked on those, so the filter costs what
// it matches, not what the recordset holds. Other filters, and equality on
// kVariant fields, scan.
//
// Errors (source "Recordset", the description naming the field, criterion or
// value at fault): 3001 malformed filter or sort, bad position or bookmark,
// duplicate field name; 3021 no current record (Bof, Eof, or the current row
// was deleted); 3265 unknown field; 3421 a value the field cannot hold; 3704
// the recordset is closed; 3705 it is open; 3709 Open without fields. A failed
// operation leaves the recordset (values, filter, sort, position) as it was.
//
// Not thread-safe: a store and all its cursors belong to one thread.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvolin/automation/variant.h"
#include "tarvolin/recordset/field.h"

namespace tarvolin {

namespace recordset_detail {
class RowStore;
class View;
class Predicate;
struct SortOrder;
}  // namespace recordset_detail

// Identifies a row of a store; valid in every clone sharing the store, and
// still equal to itself after the row was edited or the view re-filtered.
class Bookmark {
 public:
  constexpr Bookmark() noexcept = default;  // identifies no row
  constexpr explicit Bookmark(int64_t row) noexcept : row_(row) {}
  constexpr int64_t row() const noexcept { return row_; }
  friend constexpr bool operator==(Bookmark, Bookmark) = default;

  // As a Variant (a Double >= 1), for code that keeps bookmarks in Variants;
  // FromVariant gives nullopt for anything ToVariant cannot have produced.
  Variant ToVariant() const;
  static std::optional<Bookmark> FromVariant(const Variant& value);

 private:
  int64_t row_ = -1;
};

enum class SearchDirection { kForward = 1, kBackward = -1 };
enum class ObjectState { kClosed = 0, kOpen = 1 };

class Recordset : public Object, public std::enable_shared_from_this<Recordset> {
 public:
  // A closed recordset with no fields.
  static std::shared_ptr<Recordset> Create();
  // An open, empty recordset with the fields of `shape` (open or closed).
  // The field list is shared, not copied: results of one statement are made
  // this way over and over. 3709 when `shape` has no fields.
  static std::shared_ptr<Recordset> CreateWithFieldsOf(const Recordset& shape);
  ~Recordset() override;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  std::string_view TypeName() const override;  // "Recordset"

  // Fields are appended only while closed (3705 when open). A duplicate name
  // (compared ignoring case), an empty name or an unknown type raise 3001.
  void AppendField(FieldInfo info);
  void AppendField(std::string name, DataType type, int32_t defined_size = 0,
                   int32_t attributes = field_attr::kIsNullable | field_attr::kMayBeNull,
                   uint8_t precision = 0, uint8_t numeric_scale = 0);

  // Opens a fabricated recordset: empty, Bof and Eof true. 3709 without fields,
  // 3705 when already open.
  void Open();
  // Closes this cursor only; its clones stay open with the rows. The fields
  // stay defined; a later Open starts with no rows. 3704 when already closed.
  void Close();
  ObjectState State() const noexcept;

  // A new cursor over the same rows, with no filter and no sort, on its first
  // record.
  std::shared_ptr<Recordset> Clone();
  // An independent, open copy with the same fields: when a criteria filter is
  // set, the visible rows in view order; otherwise every row, in sort order
  // when a sort is set. Moves this recordset to its first record.
  std::shared_ptr<Recordset> Copy();
  // Whether both cursors are over the same rows: one is a clone of the other
  // and neither was closed since.
  bool SharesRowsWith(const Recordset& other) const noexcept { return store_ == other.store_; }
  // Changes whenever a row is added, deleted or written through any cursor
  // over these rows, so a caller can tell that what it found there still holds.
  uint64_t RowsVersion() const noexcept;

  // Fields are readable while closed too.
  int FieldCount() const noexcept;
  const FieldInfo& Field(int index) const;        // 3265 when out of range
  FieldRef Resolve(std::string_view name) const;  // ignoring case; 3265 naming the field
  std::optional<FieldRef> TryResolve(std::string_view name) const noexcept;

  // The current record's value. The reference stays valid while the row
  // exists, whatever is added to the store, and shows later writes.
  const Variant& Get(FieldRef field) const;
  const Variant& Get(std::string_view name) const;
  // Converts the value to the field's type (see above) and stores it.
  void Set(FieldRef field, Variant value);
  void Set(std::string_view name, Variant value);

  bool Bof() const;
  bool Eof() const;  // not EOF(): <cstdio> defines that name as a macro
  int RecordCount() const;
  // 1-based within the view; -1 when the view is empty or the current row was
  // deleted, -2 at Bof, -3 at Eof.
  int AbsolutePosition() const;
  void SetAbsolutePosition(int position);  // 3001 when not in 1..RecordCount

  // On an empty view MoveFirst and MoveLast leave Bof and Eof true.
  void MoveFirst();
  void MoveLast();
  void MoveNext();      // 3021 at Eof
  void MovePrevious();  // 3021 at Bof
  // Moves by rows from the current record (from Bof or Eof: from that end);
  // stops at Bof or Eof. 3021 when moving forward at Eof or backward at Bof,
  // and for Move(0) without a current record.
  void Move(int rows);

  // Sets the filter and moves to the first visible record. "" removes it.
  void SetFilter(std::string_view criteria);
  // Removes the filter (the platform's Filter = 0) and moves to the first record.
  void ClearFilter();
  const std::string& Filter() const noexcept;  // "" when none
  // "Field [ASC|DESC], ..."; "" restores the natural order. Moves to the first record.
  void SetSort(std::string_view sort);
  const std::string& Sort() const noexcept;

  // Searches the view for the first row matching one clause, starting at the
  // current record (or at `start`) after skipping `skip` rows (0 includes the
  // starting row). Found: that row is current, true. Not found: Eof (forward)
  // or Bof (backward), false. 3021 without a current record and no start;
  // 3001 for AND/OR criteria, a negative skip or a start not in the view.
  bool Find(std::string_view criteria, int skip = 0,
            SearchDirection direction = SearchDirection::kForward,
            std::optional<Bookmark> start = std::nullopt);

  Bookmark GetBookmark() const;                // 3021 when no current record
  void SetBookmark(const Bookmark& bookmark);  // 3001 if the row is gone or not in this view

  // Appends a row (every field Empty), makes it current and counts it at once.
  void AddNew();
  // Ends the edit. Writes are immediate, so there is nothing to commit.
  void Update();
  // Removes the current row from every view. It stays current (its fields
  // raise 3021) until the next move.
  void Delete();
  bool IsDeleted() const;  // the current row was deleted

 private:
  enum class At : uint8_t { kBof, kRow, kEof };

  Recordset();
  explicit Recordset(std::shared_ptr<recordset_detail::RowStore> store);
  void CheckOpen() const;
  void ReleaseStaleRows();
  const recordset_detail::View& SyncedView() const;
  bool LiveAt(size_t position) const;
  size_t LiveCount() const;
  size_t RequireCurrent() const;  // the current row's id
  int CheckField(FieldRef field) const;
  // Get with every check in turn: raises what the fast path does not answer.
  [[gnu::cold]] const Variant& CheckedGet(FieldRef field) const;
  void GoFirst();
  void GoLast();
  std::vector<size_t> Matching(const recordset_detail::Predicate& predicate) const;
  std::vector<size_t> AllLiveRows() const;
  void SortRows(std::vector<size_t>& rows, const recordset_detail::SortOrder& sort) const;
  std::unique_ptr<recordset_detail::View> BuildView(const recordset_detail::Predicate* predicate,
                                                    const recordset_detail::SortOrder* sort) const;

  std::shared_ptr<recordset_detail::RowStore> store_;
  // Synced lazily with the store's deletions, also from const members.
  std::unique_ptr<recordset_detail::View> view_;
  std::unique_ptr<recordset_detail::Predicate> filter_;
  std::unique_ptr<recordset_detail::SortOrder> sort_;
  std::string filter_text_;
  std::string sort_text_;
  bool open_ = false;
  // Closed, still holding the rows it showed (clones may share them): they
  // are let go when it is opened again or given fields.
  bool stale_rows_ = false;
  At at_ = At::kBof;
  size_t pos_ = 0;  // position in the view when at_ == kRow
};

// Fabricated recordsets in one call: the fields, then one row per entry with
// the values in field order (converted as Set converts them; fewer values than
// fields leave the rest Empty, more raise 3001). Open, on the first record.
std::shared_ptr<Recordset> MakeRecordset(const std::vector<FieldInfo>& fields,
                                         const std::vector<std::vector<Variant>>& rows = {});
// AddNew, the values into the fields in order, Update. The new row stays current.
void AppendRow(Recordset& recordset, std::initializer_list<Variant> values);

}  // namespace tarvolin
