// The rows every clone of a recordset shares: the field list, the values, the
// deleted marks and the hash indexes on fields that equality filters used.
//
// Row ids are positions in insertion order and never change, so they serve as
// bookmarks and as the natural order. Deleting only marks a row; views skip
// it. Each row's values are one heap block, so a reference to a value stays
// valid while rows are added.
#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "recordset/live_set.h"
#include "recordset/value_rules.h"
#include "tarvolin/automation/variant.h"
#include "tarvolin/recordset/field.h"

namespace tarvolin::recordset_detail {

using RowId = size_t;

class Predicate;

// Field names compare without regard to ASCII case.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const noexcept;
};
struct NameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept;
};

// A field list. Stores with the same fields may share one (a statement's
// results do): it is never changed while shared.
class Schema {
 public:
  Schema() = default;
  Schema(const Schema& other)
      : fields_(other.fields_), classes_(other.classes_), by_name_(other.by_name_) {}
  Schema& operator=(const Schema&) = delete;

  // 3001 for an empty or duplicate name or an unknown type.
  void Append(FieldInfo field);
  int size() const noexcept { return static_cast<int>(fields_.size()); }
  const FieldInfo& field(int index) const { return fields_[static_cast<size_t>(index)]; }
  FieldClass cls(int index) const { return classes_[static_cast<size_t>(index)]; }
  std::optional<int> Find(std::string_view name) const noexcept;

 private:
  // Callers name fields with the same literals over and over: per slot, the
  // address of the name last found there and its field, in one word, so that
  // stores sharing the list may look names up at the same time. An entry is
  // trusted only when the field's name matches.
  mutable std::atomic<uint64_t> recent_[128] = {};
  std::vector<FieldInfo> fields_;
  std::vector<FieldClass> classes_;
  std::unordered_map<std::string, int, NameHash, NameEqual> by_name_;
};

// The values of all rows in blocks that double in size (16 rows, 32, ...
// 2,048) and then stay at 2,048 rows. Within a block the values are field
// after field, so a walk over the rows reads each field it uses as one
// sequential stream. A value is found by arithmetic, with no per-row pointer
// to chase; a block never moves, so references to values stay valid while
// rows are added; and no more than one block's rows are allocated ahead.
class CellBlocks {
 public:
  explicit CellBlocks(size_t width = 0) : width_(width) {}
  size_t rows() const noexcept { return rows_; }
  size_t width() const noexcept { return width_; }
  size_t capacity() const noexcept { return capacity_; }
  const Variant& Cell(size_t row, size_t field) const noexcept {
    // Reads come row after row: the block of the last row read is kept.
    if (row - recent_.first >= recent_.rows) Locate(row);
    return recent_.cells[field * recent_.rows + (row - recent_.first)];
  }
  Variant& Cell(size_t row, size_t field) noexcept {
    return const_cast<Variant&>(static_cast<const CellBlocks&>(*this).Cell(row, field));
  }
  // A new row, every value Empty.
  void AddRow() {
    if (rows_ == capacity_) {
      const size_t block_rows =
          blocks_.size() < kDoublingBlocks ? kFirstRows << blocks_.size() : kLastRows;
      blocks_.push_back(std::make_unique<Variant[]>(block_rows * width_));
      capacity_ += block_rows;
    }
    ++rows_;
  }

 private:
  static constexpr size_t kFirstRows = 16;
  static constexpr size_t kDoublingBlocks = 8;                              // 16 .. 2,048 rows
  static constexpr size_t kLastRows = kFirstRows << (kDoublingBlocks - 1);  // 2,048
  static constexpr size_t kDoublingRows = kFirstRows * ((size_t{1} << kDoublingBlocks) - 1);
  void Locate(size_t row) const noexcept {
    size_t block, first, block_rows;
    if (row < kDoublingRows) {
      block = static_cast<size_t>(std::bit_width(row / kFirstRows + 1)) - 1;
      first = kFirstRows * ((size_t{1} << block) - 1);
      block_rows = kFirstRows << block;
    } else {
      const size_t steady = (row - kDoublingRows) / kLastRows;
      block = kDoublingBlocks + steady;
      first = kDoublingRows + steady * kLastRows;
      block_rows = kLastRows;
    }
    recent_ = {blocks_[block].get(), first, block_rows};
  }

  size_t width_;
  size_t rows_ = 0;
  size_t capacity_ = 0;
  std::vector<std::unique_ptr<Variant[]>> blocks_;
  struct Recent {
    Variant* cells = nullptr;
    size_t first = 0;
    size_t rows = 0;  // none yet: every row misses
  };
  mutable Recent recent_;
};

class RowStore;

// Rows of one field by KeyHash of their value, each bucket in row order.
// Kept in step lazily: a write appends the row to its new bucket and marks
// the old one; a marked bucket drops stale entries when next looked up. When
// stale entries outnumber live rows the index is rebuilt, so upkeep stays O(1)
// amortised per write.
class FieldIndex {
 public:
  FieldIndex(int field, FieldClass cls) : field_(field), cls_(cls) {}
  void Build(const RowStore& store);
  void OnAdd(const RowStore& store, RowId row);
  // The cell already holds the new value; old_hash is the old value's hash.
  void OnWrite(const RowStore& store, RowId row, uint64_t old_hash);
  void OnDelete(const RowStore& store, RowId row);
  uint64_t HashOf(const Variant& value) const noexcept { return KeyHash(cls_, value); }
  // Rows that may hold a value equal to key, ascending; may include deleted rows.
  std::span<const RowId> Lookup(const RowStore& store, const Variant& key);
  // An upper bound of Lookup(key).size(), without tidying the bucket.
  size_t Count(const Variant& key) noexcept;

 private:
  struct Bucket {
    uint64_t key = 0;
    bool used = false;
    bool dirty = false;  // may hold stale, repeated or unordered entries
    std::vector<RowId> rows;
  };
  // Open addressing with linear probing: one cache miss to reach a bucket.
  Bucket* Find(uint64_t key) noexcept;
  Bucket& FindOrAdd(uint64_t key);
  void Insert(uint64_t hash, RowId row);
  void MarkDirty(uint64_t hash);
  void MaybeRebuild(const RowStore& store);

  int field_;
  FieldClass cls_;
  std::vector<Bucket> slots_;  // a power of two in size, at most half used
  size_t used_ = 0;
  size_t entries_ = 0;
};

class RowStore {
 public:
  RowStore() : schema_(std::make_shared<Schema>()) {}
  // Shares the field list.
  explicit RowStore(std::shared_ptr<Schema> schema)
      : schema_(std::move(schema)), cells_(static_cast<size_t>(schema_->size())) {}
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  const Schema& schema() const noexcept { return *schema_; }
  const std::shared_ptr<Schema>& shared_schema() const noexcept { return schema_; }
  // The schema's size, without reaching into it.
  int FieldCount() const noexcept { return static_cast<int>(cells_.width()); }
  // Only while the store has no rows. A shared field list is copied first.
  void AppendField(FieldInfo field);

  size_t RowCount() const noexcept { return cells_.rows(); }
  // Counts the rows added, deleted and written.
  uint64_t version() const noexcept { return version_; }
  const LiveSet& live() const noexcept { return live_; }
  bool IsDeleted(RowId row) const noexcept { return deleted_[row] != 0; }
  const Variant& Cell(RowId row, int field) const noexcept {
    return cells_.Cell(row, static_cast<size_t>(field));
  }
  // The value must already be converted for the field.
  void Write(RowId row, int field, Variant&& value);
  RowId AddRow();
  void DeleteRow(RowId row);
  // Every deleted row, in the order of deletion; views replay it to stay in step.
  const std::vector<RowId>& delete_log() const noexcept { return delete_log_; }

  bool HasIndex(int field) const noexcept;
  // Rows that may hold a value equal to key in the field (ascending, possibly
  // deleted); builds the field's index the first time.
  std::span<const RowId> Candidates(int field, const Variant& key);
  // At least the number of rows Candidates would give, cheaply; builds the
  // index the first time. Lets a conjunction start from its most selective term.
  size_t CandidateCount(int field, const Variant& key);

  // Criteria already parsed against this schema, by their exact text: callers
  // set a few filter texts over and over, on every clone. Null when unknown.
  std::shared_ptr<const Predicate> ParsedCriteria(std::string_view text) const;
  void KeepParsedCriteria(std::string_view text, std::shared_ptr<const Predicate> predicate);

 private:
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept {
      return std::hash<std::string_view>()(text);
    }
  };

  FieldIndex& IndexOf(int field);

  std::shared_ptr<Schema> schema_;
  CellBlocks cells_;
  std::vector<uint8_t> deleted_;
  LiveSet live_;
  std::vector<RowId> delete_log_;
  uint64_t version_ = 0;
  std::vector<std::unique_ptr<FieldIndex>> indexes_;  // by field; null: none yet
  std::unordered_map<std::string, std::shared_ptr<const Predicate>, TextHash, std::equal_to<>>
      predicates_;
};

}  // namespace tarvolin::recordset_detail
