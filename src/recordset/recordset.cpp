#include "tarvolin/recordset/recordset.h"

#include <algorithm>
#include <cmath>

#include "recordset/criteria.h"
#include "recordset/row_store.h"
#include "recordset/view.h"
#include "tarvolin/automation/error.h"

namespace tarvolin {

namespace rd = recordset_detail;

namespace {

constexpr std::string_view kSource = "Recordset";

bool IsBlankText(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The criteria parsed once per store and text (parsing depends on nothing
// else); a copy of a parsed predicate shares its tree.
rd::Predicate Parsed(rd::RowStore& store, std::string_view criteria, std::string_view what) {
  if (auto known = store.ParsedCriteria(criteria)) return *known;
  auto parsed =
      std::make_shared<const rd::Predicate>(rd::ParseCriteria(criteria, store.schema(), what));
  store.KeepParsedCriteria(criteria, parsed);
  return *parsed;
}

}  // namespace

Variant Bookmark::ToVariant() const { return Variant(static_cast<double>(row_ + 1)); }

std::optional<Bookmark> Bookmark::FromVariant(const Variant& value) {
  if (value.type() != VarType::kDouble) return std::nullopt;
  const double d = value.CDbl();
  if (!(d >= 1 && d <= 9e15) || d != std::trunc(d)) return std::nullopt;
  return Bookmark(static_cast<int64_t>(d) - 1);
}

Recordset::Recordset() : Recordset(std::make_shared<rd::RowStore>()) {}

Recordset::Recordset(std::shared_ptr<rd::RowStore> store)
    : store_(std::move(store)), view_(std::make_unique<rd::View>()) {}

Recordset::~Recordset() = default;

std::shared_ptr<Recordset> Recordset::Create() {
  return std::shared_ptr<Recordset>(new Recordset());
}

std::shared_ptr<Recordset> Recordset::CreateWithFieldsOf(const Recordset& shape) {
  std::shared_ptr<Recordset> recordset(
      new Recordset(std::make_shared<rd::RowStore>(shape.store_->shared_schema())));
  recordset->Open();
  return recordset;
}

std::string_view Recordset::TypeName() const { return "Recordset"; }

void Recordset::CheckOpen() const {
  if (!open_) Raise(err::kObjectClosed, kSource, "the recordset is closed");
}

const rd::View& Recordset::SyncedView() const {
  view_->Sync(*store_);
  return *view_;
}

bool Recordset::LiveAt(size_t position) const { return !store_->IsDeleted(view_->RowAt(position)); }

size_t Recordset::LiveCount() const { return SyncedView().LiveCount(*store_); }

size_t Recordset::RequireCurrent() const {
  if (at_ != At::kRow) {
    Raise(err::kNoCurrentRecord, kSource, at_ == At::kBof ? "at BOF" : "at EOF");
  }
  const rd::RowId row = view_->RowAt(pos_);
  if (store_->IsDeleted(row)) Raise(err::kNoCurrentRecord, kSource, "the record was deleted");
  return row;
}

int Recordset::CheckField(FieldRef field) const {
  if (field.index() < 0 || field.index() >= store_->FieldCount()) {
    Raise(err::kItemNotFound, kSource, "field number " + std::to_string(field.index()));
  }
  return field.index();
}

// ---- Fields ----

void Recordset::AppendField(FieldInfo info) {
  if (open_) {
    Raise(err::kObjectOpen, kSource,
          "fields are appended only while the recordset is closed (field " + info.name + ")");
  }
  ReleaseStaleRows();
  store_->AppendField(std::move(info));
}

void Recordset::AppendField(std::string name, DataType type, int32_t defined_size,
                            int32_t attributes, uint8_t precision, uint8_t numeric_scale) {
  AppendField(FieldInfo{std::move(name), type, defined_size, attributes, precision, numeric_scale});
}

int Recordset::FieldCount() const noexcept { return store_->FieldCount(); }

const FieldInfo& Recordset::Field(int index) const {
  return store_->schema().field(CheckField(FieldRef(index)));
}

FieldRef Recordset::Resolve(std::string_view name) const {
  auto index = store_->schema().Find(name);
  if (!index) Raise(err::kItemNotFound, kSource, "field " + std::string(name));
  return FieldRef(*index);
}

std::optional<FieldRef> Recordset::TryResolve(std::string_view name) const noexcept {
  auto index = store_->schema().Find(name);
  if (!index) return std::nullopt;
  return FieldRef(*index);
}

// ---- Open, close, clone, copy ----

void Recordset::Open() {
  if (open_) Raise(err::kObjectOpen, kSource, "the recordset is already open");
  if (FieldCount() == 0) {
    Raise(err::kConnectionUnusable, kSource, "a recordset without a source needs fields");
  }
  ReleaseStaleRows();
  open_ = true;
  *view_ = rd::View();
  at_ = At::kBof;
}

void Recordset::ReleaseStaleRows() {
  if (!stale_rows_) return;
  store_ = std::make_shared<rd::RowStore>(store_->shared_schema());
  stale_rows_ = false;
}

void Recordset::Close() {
  CheckOpen();
  // Clones keep the rows; this cursor keeps only the field list, and makes
  // its empty rows only if it is opened again: most are closed to be dropped.
  stale_rows_ = true;
  *view_ = rd::View();
  filter_.reset();
  sort_.reset();
  filter_text_.clear();
  sort_text_.clear();
  open_ = false;
  at_ = At::kBof;
}

ObjectState Recordset::State() const noexcept {
  return open_ ? ObjectState::kOpen : ObjectState::kClosed;
}

std::shared_ptr<Recordset> Recordset::Clone() {
  CheckOpen();
  std::shared_ptr<Recordset> clone(new Recordset(store_));
  clone->open_ = true;
  clone->GoFirst();
  return clone;
}

std::shared_ptr<Recordset> Recordset::Copy() {
  CheckOpen();
  const rd::View& view = SyncedView();
  std::vector<rd::RowId> rows;
  if (filter_) {
    rows.reserve(view.LiveCount(*store_));
    for (size_t pos = 0; pos < view.Size(*store_); ++pos) {
      if (LiveAt(pos)) rows.push_back(view.RowAt(pos));
    }
  } else {
    rows = AllLiveRows();
    if (sort_) SortRows(rows, *sort_);
  }
  std::shared_ptr<Recordset> copy(
      new Recordset(std::make_shared<rd::RowStore>(store_->shared_schema())));
  const int fields = FieldCount();
  for (rd::RowId row : rows) {
    const rd::RowId added = copy->store_->AddRow();
    for (int f = 0; f < fields; ++f) copy->store_->Write(added, f, Variant(store_->Cell(row, f)));
  }
  copy->open_ = true;
  copy->GoFirst();
  GoFirst();
  return copy;
}

uint64_t Recordset::RowsVersion() const noexcept { return store_->version(); }

// ---- Values ----

const Variant& Recordset::Get(FieldRef field) const {
  // Read on every row by the engine: the usual case is answered before any
  // of the checks that raise.
  if (open_ && at_ == At::kRow) {
    const rd::RowId row = view_->RowAt(pos_);
    if (!store_->IsDeleted(row) &&
        static_cast<unsigned>(field.index()) < static_cast<unsigned>(store_->FieldCount())) {
      return store_->Cell(row, field.index());
    }
  }
  return CheckedGet(field);
}

const Variant& Recordset::CheckedGet(FieldRef field) const {
  CheckOpen();
  const rd::RowId row = RequireCurrent();
  return store_->Cell(row, CheckField(field));
}

const Variant& Recordset::Get(std::string_view name) const {
  CheckOpen();
  return Get(Resolve(name));
}

void Recordset::Set(FieldRef field, Variant value) {
  CheckOpen();
  const rd::RowId row = RequireCurrent();
  const int index = CheckField(field);
  rd::ConvertForField(store_->schema().field(index), value);
  store_->Write(row, index, std::move(value));
}

void Recordset::Set(std::string_view name, Variant value) {
  CheckOpen();
  Set(Resolve(name), std::move(value));
}

// ---- Position ----

bool Recordset::Bof() const {
  CheckOpen();
  return at_ == At::kBof || (at_ == At::kEof && LiveCount() == 0);
}

bool Recordset::Eof() const {
  CheckOpen();
  return at_ == At::kEof || (at_ == At::kBof && LiveCount() == 0);
}

int Recordset::RecordCount() const {
  CheckOpen();
  return static_cast<int>(LiveCount());
}

int Recordset::AbsolutePosition() const {
  CheckOpen();
  const rd::View& view = SyncedView();
  if (view.LiveCount(*store_) == 0) return -1;
  if (at_ == At::kBof) return -2;
  if (at_ == At::kEof) return -3;
  if (!LiveAt(pos_)) return -1;
  if (!view.HasDeleted(*store_)) return static_cast<int>(pos_) + 1;
  return static_cast<int>(view.LiveBefore(*store_, pos_)) + 1;
}

void Recordset::SetAbsolutePosition(int position) {
  CheckOpen();
  const rd::View& view = SyncedView();
  if (position < 1 || static_cast<size_t>(position) > view.LiveCount(*store_)) {
    Raise(err::kBadArgument, kSource,
          "AbsolutePosition " + std::to_string(position) + " is not within 1.." +
              std::to_string(view.LiveCount(*store_)));
  }
  at_ = At::kRow;
  pos_ = view.KthLive(*store_, static_cast<size_t>(position) - 1);
}

void Recordset::GoFirst() {
  const rd::View& view = SyncedView();
  if (view.LiveCount(*store_) == 0) {
    at_ = At::kBof;
    return;
  }
  at_ = At::kRow;
  pos_ = LiveAt(0) ? 0 : view.KthLive(*store_, 0);
}

void Recordset::GoLast() {
  const rd::View& view = SyncedView();
  const size_t live = view.LiveCount(*store_);
  if (live == 0) {
    at_ = At::kEof;
    return;
  }
  at_ = At::kRow;
  const size_t last = view.Size(*store_) - 1;
  pos_ = LiveAt(last) ? last : view.KthLive(*store_, live - 1);
}

void Recordset::MoveFirst() {
  CheckOpen();
  GoFirst();
}

void Recordset::MoveLast() {
  CheckOpen();
  GoLast();
}

void Recordset::MoveNext() {
  if (Eof()) Raise(err::kNoCurrentRecord, kSource, "MoveNext at EOF");
  if (at_ == At::kBof) {
    GoFirst();
    return;
  }
  const rd::View& view = SyncedView();
  const size_t next = pos_ + 1;
  if (next < view.Size(*store_) && LiveAt(next)) {
    pos_ = next;
    return;
  }
  const size_t rank = view.LiveBefore(*store_, next);
  if (rank < view.LiveCount(*store_)) {
    pos_ = view.KthLive(*store_, rank);
  } else {
    at_ = At::kEof;
  }
}

void Recordset::MovePrevious() {
  if (Bof()) Raise(err::kNoCurrentRecord, kSource, "MovePrevious at BOF");
  if (at_ == At::kEof) {
    GoLast();
    return;
  }
  const rd::View& view = SyncedView();
  if (pos_ > 0 && LiveAt(pos_ - 1)) {
    --pos_;
    return;
  }
  const size_t rank = view.LiveBefore(*store_, pos_);
  if (rank > 0) {
    pos_ = view.KthLive(*store_, rank - 1);
  } else {
    at_ = At::kBof;
  }
}

void Recordset::Move(int rows) {
  CheckOpen();
  if (rows == 0) {
    RequireCurrent();
    return;
  }
  if (rows > 0 && Eof()) Raise(err::kNoCurrentRecord, kSource, "Move forward at EOF");
  if (rows < 0 && Bof()) Raise(err::kNoCurrentRecord, kSource, "Move backward at BOF");
  const rd::View& view = SyncedView();
  const auto live = static_cast<int64_t>(view.LiveCount(*store_));
  int64_t target;  // live rank to land on
  if (at_ == At::kBof) {
    target = rows - 1;
  } else if (at_ == At::kEof) {
    target = live + rows;
  } else {
    const auto rank = static_cast<int64_t>(view.LiveBefore(*store_, pos_));
    // From a deleted row, the next live row is one step forward.
    target = (LiveAt(pos_) || rows < 0) ? rank + rows : rank + rows - 1;
  }
  if (target < 0) {
    at_ = At::kBof;
  } else if (target >= live) {
    at_ = At::kEof;
  } else {
    at_ = At::kRow;
    pos_ = view.KthLive(*store_, static_cast<size_t>(target));
  }
}

// ---- Filter and sort ----

std::vector<size_t> Recordset::AllLiveRows() const {
  std::vector<rd::RowId> rows;
  rows.reserve(store_->live().live());
  for (rd::RowId row = 0; row < store_->RowCount(); ++row) {
    if (!store_->IsDeleted(row)) rows.push_back(row);
  }
  return rows;
}

std::vector<size_t> Recordset::Matching(const rd::Predicate& predicate) const {
  std::vector<rd::RowId> rows;
  const std::vector<const rd::Clause*> terms = predicate.IndexableTerms();
  if (terms.empty()) {
    for (rd::RowId row = 0; row < store_->RowCount(); ++row) {
      if (!store_->IsDeleted(row) && predicate.Matches(*store_, row)) rows.push_back(row);
    }
    return rows;
  }
  // Start from the term with the fewest candidates: documents repeat the
  // company code in every row, so the first term is often the least selective.
  const rd::Clause* term = nullptr;
  size_t fewest = 0;
  for (const rd::Clause* candidate : terms) {
    const size_t count = store_->CandidateCount(candidate->field, candidate->value);
    if (!term || count < fewest) {
      term = candidate;
      fewest = count;
    }
    if (count == 0) return rows;
  }
  const std::span<const rd::RowId> candidates = store_->Candidates(term->field, term->value);
  // The candidates' rows are scattered over the store: start fetching them
  // all before evaluating the first, so the cache misses overlap.
  for (size_t i = 0; i < candidates.size() && i < 16; ++i) {
    __builtin_prefetch(&store_->Cell(candidates[i], term->field));
  }
  // Hash collisions and stale entries are weeded out by the full predicate.
  for (rd::RowId row : candidates) {
    if (!store_->IsDeleted(row) && predicate.Matches(*store_, row)) rows.push_back(row);
  }
  return rows;
}

void Recordset::SortRows(std::vector<size_t>& rows, const rd::SortOrder& sort) const {
  const rd::RowStore& store = *store_;
  std::stable_sort(rows.begin(), rows.end(), [&](rd::RowId a, rd::RowId b) {
    for (const rd::SortKey& key : sort.keys) {
      int c = rd::SortCompare(key.cls, store.Cell(a, key.field), store.Cell(b, key.field));
      if (c != 0) return key.descending ? c > 0 : c < 0;
    }
    return false;
  });
}

std::unique_ptr<rd::View> Recordset::BuildView(const rd::Predicate* predicate,
                                               const rd::SortOrder* sort) const {
  if (!predicate && !sort) return std::make_unique<rd::View>();
  std::vector<rd::RowId> rows = predicate ? Matching(*predicate) : AllLiveRows();
  if (sort) SortRows(rows, *sort);
  return std::make_unique<rd::View>(rd::View::Fixed(std::move(rows), sort == nullptr, *store_));
}

void Recordset::SetFilter(std::string_view criteria) {
  CheckOpen();
  if (IsBlankText(criteria)) {
    ClearFilter();
    return;
  }
  auto predicate = std::make_unique<rd::Predicate>(Parsed(*store_, criteria, "filter"));
  auto view = BuildView(predicate.get(), sort_.get());
  std::string text(criteria);
  // Nothing below raises: a failed filter leaves everything as it was.
  filter_ = std::move(predicate);
  filter_text_ = std::move(text);
  view_ = std::move(view);
  GoFirst();
}

void Recordset::ClearFilter() {
  CheckOpen();
  view_ = BuildView(nullptr, sort_.get());
  filter_.reset();
  filter_text_.clear();
  GoFirst();
}

const std::string& Recordset::Filter() const noexcept { return filter_text_; }

void Recordset::SetSort(std::string_view sort) {
  CheckOpen();
  std::unique_ptr<rd::SortOrder> order;
  if (!IsBlankText(sort)) {
    order = std::make_unique<rd::SortOrder>(rd::ParseSort(sort, store_->schema()));
  }
  auto view = BuildView(filter_.get(), order.get());
  std::string text = order ? std::string(sort) : std::string();
  sort_ = std::move(order);
  sort_text_ = std::move(text);
  view_ = std::move(view);
  GoFirst();
}

const std::string& Recordset::Sort() const noexcept { return sort_text_; }

// ---- Find and bookmarks ----

namespace {

const rd::Clause& OneClause(const rd::Predicate& predicate, std::string_view criteria) {
  const rd::Clause* clause = predicate.SingleClause();
  if (!clause) {
    Raise(err::kBadArgument, kSource,
          "Find takes one clause, not \"" + std::string(criteria) + "\"");
  }
  return *clause;
}

// Where a start bookmark is in the view; a row deleted or outside it raises.
size_t StartPosition(const rd::RowStore& store, const rd::View& view, const Bookmark& start) {
  auto position =
      start.row() >= 0 ? view.PositionOf(store, static_cast<rd::RowId>(start.row())) : std::nullopt;
  if (!position || store.IsDeleted(view.RowAt(*position))) {
    Raise(err::kBadArgument, kSource,
          "Find start bookmark " + std::to_string(start.row() + 1) + " is not in the view");
  }
  return *position;
}

bool MatchesAt(const rd::RowStore& store, const rd::View& view, const rd::Clause& clause,
               size_t position) {
  const rd::RowId row = view.RowAt(position);
  return !store.IsDeleted(row) && clause.Matches(store.Cell(row, clause.field));
}

// The first matching row from the live row `skip` rows after `from` on.
std::optional<size_t> MatchForward(const rd::RowStore& store, const rd::View& view,
                                   const rd::Clause& clause, size_t from, int skip) {
  const auto rank = static_cast<int64_t>(view.LiveBefore(store, from));
  const auto live = static_cast<int64_t>(view.LiveCount(store));
  if (rank + skip >= live) return std::nullopt;
  const size_t size = view.Size(store);
  for (size_t pos = view.KthLive(store, static_cast<size_t>(rank + skip)); pos < size; ++pos) {
    if (MatchesAt(store, view, clause, pos)) return pos;
  }
  return std::nullopt;
}

// The first matching row from the live row `skip` rows before `from` back.
std::optional<size_t> MatchBackward(const rd::RowStore& store, const rd::View& view,
                                    const rd::Clause& clause, size_t from, int skip) {
  const auto rank = static_cast<int64_t>(view.LiveBefore(store, from));
  if (rank - skip < 0) return std::nullopt;
  for (size_t pos = view.KthLive(store, static_cast<size_t>(rank - skip)) + 1; pos-- > 0;) {
    if (MatchesAt(store, view, clause, pos)) return pos;
  }
  return std::nullopt;
}

}  // namespace

bool Recordset::Find(std::string_view criteria, int skip, SearchDirection direction,
                     std::optional<Bookmark> start) {
  CheckOpen();
  const rd::Predicate predicate = Parsed(*store_, criteria, "Find criteria");
  const rd::Clause& clause = OneClause(predicate, criteria);
  if (skip < 0) Raise(err::kBadArgument, kSource, "Find cannot skip " + std::to_string(skip));
  const rd::View& view = SyncedView();
  size_t from = pos_;
  if (start) {
    from = StartPosition(*store_, view, *start);
  } else {
    RequireCurrent();
  }
  const bool forward = direction == SearchDirection::kForward;
  const std::optional<size_t> found = forward ? MatchForward(*store_, view, clause, from, skip)
                                              : MatchBackward(*store_, view, clause, from, skip);
  if (!found) {
    at_ = forward ? At::kEof : At::kBof;
    return false;
  }
  at_ = At::kRow;
  pos_ = *found;
  return true;
}

Bookmark Recordset::GetBookmark() const {
  CheckOpen();
  return Bookmark(static_cast<int64_t>(RequireCurrent()));
}

void Recordset::SetBookmark(const Bookmark& bookmark) {
  CheckOpen();
  const rd::View& view = SyncedView();
  std::optional<size_t> position;
  if (bookmark.row() >= 0)
    position = view.PositionOf(*store_, static_cast<rd::RowId>(bookmark.row()));
  if (!position || !LiveAt(*position)) {
    Raise(err::kBadArgument, kSource,
          "bookmark " + std::to_string(bookmark.row() + 1) +
              " names a row that was deleted or is not in this view");
  }
  at_ = At::kRow;
  pos_ = *position;
}

// ---- Editing ----

void Recordset::AddNew() {
  CheckOpen();
  const rd::RowId row = store_->AddRow();
  view_->Append(row);
  at_ = At::kRow;
  pos_ = view_->Size(*store_) - 1;
}

void Recordset::Update() { CheckOpen(); }

void Recordset::Delete() {
  CheckOpen();
  store_->DeleteRow(RequireCurrent());
}

bool Recordset::IsDeleted() const {
  CheckOpen();
  return at_ == At::kRow && !LiveAt(pos_);
}

// ---- Helpers ----

std::shared_ptr<Recordset> MakeRecordset(const std::vector<FieldInfo>& fields,
                                         const std::vector<std::vector<Variant>>& rows) {
  auto recordset = Recordset::Create();
  for (const FieldInfo& field : fields) recordset->AppendField(field);
  recordset->Open();
  for (const std::vector<Variant>& values : rows) {
    if (values.size() > fields.size()) {
      Raise(err::kBadArgument, kSource,
            std::to_string(values.size()) + " values for " + std::to_string(fields.size()) +
                " fields");
    }
    recordset->AddNew();
    for (size_t i = 0; i < values.size(); ++i) {
      recordset->Set(FieldRef(static_cast<int>(i)), values[i]);
    }
  }
  recordset->MoveFirst();
  return recordset;
}

void AppendRow(Recordset& recordset, std::initializer_list<Variant> values) {
  if (values.size() > static_cast<size_t>(recordset.FieldCount())) {
    Raise(err::kBadArgument, kSource,
          std::to_string(values.size()) + " values for " + std::to_string(recordset.FieldCount()) +
              " fields");
  }
  recordset.AddNew();
  int index = 0;
  for (const Variant& value : values) recordset.Set(FieldRef(index++), value);
  recordset.Update();
}

}  // namespace tarvolin
