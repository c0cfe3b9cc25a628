#include "recordset/row_store.h"

#include <algorithm>
#include <cstdint>

#include "tarvolin/automation/error.h"

namespace tarvolin::recordset_detail {
namespace {

constexpr std::string_view kSource = "Recordset";

char Fold(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

size_t NameHash::operator()(std::string_view name) const noexcept {
  size_t h = 0xcbf29ce484222325ULL;
  for (char c : name) {
    h ^= static_cast<unsigned char>(Fold(c));
    h *= 0x100000001b3ULL;
  }
  return h;
}

bool NameEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  if (a.size() != b.size()) return false;
  if (a == b) return true;  // callers mostly spell the name as it was defined
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

void Schema::Append(FieldInfo field) {
  if (field.name.empty()) Raise(err::kBadArgument, kSource, "a field needs a name");
  const auto cls = ClassOf(field.type);
  if (!cls) {
    Raise(err::kBadArgument, kSource,
          "field " + field.name + " has unknown type " +
              std::to_string(static_cast<int>(field.type)));
  }
  if (by_name_.contains(field.name)) {
    Raise(err::kBadArgument, kSource, "field " + field.name + " is already defined");
  }
  by_name_.emplace(field.name, size());
  fields_.push_back(std::move(field));
  classes_.push_back(*cls);
}

std::optional<int> Schema::Find(std::string_view name) const noexcept {
  constexpr int kIndexBits = 16;
  const auto address = reinterpret_cast<uintptr_t>(name.data());
  // Two slots per address: the first name to take a slot keeps it, the
  // second slot serves the rest, so two names cannot keep evicting each other.
  const size_t first = (address * 0x9E3779B97F4A7C15ULL) >> 57;
  std::atomic<uint64_t>* slots[2] = {&recent_[first], &recent_[first ^ 1]};
  uint64_t seen[2];
  for (int i = 0; i < 2; ++i) {
    seen[i] = slots[i]->load(std::memory_order_relaxed);
    if (seen[i] == 0 || (seen[i] >> kIndexBits) != address) continue;
    const auto index = static_cast<int>(seen[i] & 0xFFFF);
    if (index < size() && NameEqual()(fields_[static_cast<size_t>(index)].name, name)) {
      return index;
    }
  }
  auto it = by_name_.find(name);
  if (it == by_name_.end()) return std::nullopt;
  // An address beyond 48 bits or a field beyond 65,535 is simply not kept.
  if (address >> (64 - kIndexBits) == 0 && it->second >> kIndexBits == 0) {
    slots[seen[0] == 0 ? 0 : 1]->store(
        (uint64_t{address} << kIndexBits) | static_cast<uint64_t>(it->second),
        std::memory_order_relaxed);
  }
  return it->second;
}

FieldIndex::Bucket* FieldIndex::Find(uint64_t key) noexcept {
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  for (size_t i = key & mask;; i = (i + 1) & mask) {
    Bucket& slot = slots_[i];
    if (!slot.used) return nullptr;
    if (slot.key == key) return &slot;
  }
}

FieldIndex::Bucket& FieldIndex::FindOrAdd(uint64_t key) {
  if (Bucket* bucket = Find(key)) return *bucket;
  if ((used_ + 1) * 2 > slots_.size()) {
    std::vector<Bucket> old = std::move(slots_);
    slots_ = std::vector<Bucket>(std::max<size_t>(16, old.size() * 2));
    const size_t mask = slots_.size() - 1;
    for (Bucket& bucket : old) {
      if (!bucket.used) continue;
      size_t i = bucket.key & mask;
      while (slots_[i].used) i = (i + 1) & mask;
      slots_[i] = std::move(bucket);
    }
  }
  const size_t mask = slots_.size() - 1;
  size_t i = key & mask;
  while (slots_[i].used) i = (i + 1) & mask;
  slots_[i].used = true;
  slots_[i].key = key;
  ++used_;
  return slots_[i];
}

void FieldIndex::Build(const RowStore& store) {
  slots_.clear();
  used_ = 0;
  entries_ = 0;
  for (RowId row = 0; row < store.RowCount(); ++row) {
    if (store.IsDeleted(row)) continue;
    FindOrAdd(HashOf(store.Cell(row, field_))).rows.push_back(row);
    ++entries_;
  }
}

void FieldIndex::Insert(uint64_t hash, RowId row) {
  Bucket& bucket = FindOrAdd(hash);
  if (!bucket.rows.empty() && bucket.rows.back() >= row) bucket.dirty = true;
  bucket.rows.push_back(row);
  ++entries_;
}

void FieldIndex::MarkDirty(uint64_t hash) {
  if (Bucket* bucket = Find(hash)) bucket->dirty = true;
}

void FieldIndex::MaybeRebuild(const RowStore& store) {
  if (entries_ > 2 * store.live().live() + 64) Build(store);
}

void FieldIndex::OnAdd(const RowStore& store, RowId row) {
  Insert(HashOf(store.Cell(row, field_)), row);
  MaybeRebuild(store);
}

void FieldIndex::OnWrite(const RowStore& store, RowId row, uint64_t old_hash) {
  const uint64_t new_hash = HashOf(store.Cell(row, field_));
  if (new_hash == old_hash) return;
  MarkDirty(old_hash);
  Insert(new_hash, row);
  MaybeRebuild(store);
}

void FieldIndex::OnDelete(const RowStore& store, RowId row) {
  MarkDirty(HashOf(store.Cell(row, field_)));
}

std::span<const RowId> FieldIndex::Lookup(const RowStore& store, const Variant& key) {
  const uint64_t hash = HashOf(key);
  Bucket* bucket = Find(hash);
  if (!bucket) return {};
  if (bucket->dirty) {
    std::vector<RowId>& rows = bucket->rows;
    const size_t before = rows.size();
    if (!std::is_sorted(rows.begin(), rows.end())) std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [&](RowId row) {
      return store.IsDeleted(row) || HashOf(store.Cell(row, field_)) != hash;
    });
    entries_ -= before - rows.size();
    bucket->dirty = false;
  }
  return bucket->rows;
}

size_t FieldIndex::Count(const Variant& key) noexcept {
  const Bucket* bucket = Find(HashOf(key));
  return bucket ? bucket->rows.size() : 0;
}

void RowStore::AppendField(FieldInfo field) {
  if (schema_.use_count() > 1) schema_ = std::make_shared<Schema>(*schema_);
  schema_->Append(std::move(field));
  cells_ = CellBlocks(static_cast<size_t>(schema_->size()));
  predicates_.clear();
}

void RowStore::Write(RowId row, int field, Variant&& value) {
  ++version_;
  Variant& cell = cells_.Cell(row, static_cast<size_t>(field));
  FieldIndex* index = HasIndex(field) ? indexes_[static_cast<size_t>(field)].get() : nullptr;
  const uint64_t old_hash = index ? index->HashOf(cell) : 0;
  cell = std::move(value);
  if (index) index->OnWrite(*this, row, old_hash);
}

RowId RowStore::AddRow() {
  ++version_;
  const RowId row = cells_.rows();
  cells_.AddRow();
  if (deleted_.size() == deleted_.capacity()) {
    // Grown with the blocks of values, not a row at a time.
    deleted_.reserve(cells_.capacity());
    live_.Reserve(cells_.capacity());
  }
  deleted_.push_back(0);
  live_.Append(true);
  for (auto& index : indexes_) {
    if (index) index->OnAdd(*this, row);
  }
  return row;
}

void RowStore::DeleteRow(RowId row) {
  ++version_;
  for (auto& index : indexes_) {
    if (index) index->OnDelete(*this, row);
  }
  deleted_[row] = 1;
  live_.Kill(row);
  delete_log_.push_back(row);
}

bool RowStore::HasIndex(int field) const noexcept {
  const auto f = static_cast<size_t>(field);
  return f < indexes_.size() && indexes_[f] != nullptr;
}

FieldIndex& RowStore::IndexOf(int field) {
  const auto f = static_cast<size_t>(field);
  if (indexes_.size() <= f) indexes_.resize(static_cast<size_t>(schema_->size()));
  if (!indexes_[f]) {
    auto index = std::make_unique<FieldIndex>(field, schema_->cls(field));
    index->Build(*this);
    indexes_[f] = std::move(index);
  }
  return *indexes_[f];
}

std::span<const RowId> RowStore::Candidates(int field, const Variant& key) {
  return IndexOf(field).Lookup(*this, key);
}

size_t RowStore::CandidateCount(int field, const Variant& key) { return IndexOf(field).Count(key); }

std::shared_ptr<const Predicate> RowStore::ParsedCriteria(std::string_view text) const {
  auto it = predicates_.find(text);
  return it == predicates_.end() ? nullptr : it->second;
}

void RowStore::KeepParsedCriteria(std::string_view text,
                                  std::shared_ptr<const Predicate> predicate) {
  // Texts that embed ever-new values would grow the table without bound.
  constexpr size_t kMostKept = 256;
  if (predicates_.size() >= kMostKept) predicates_.clear();
  predicates_.emplace(std::string(text), std::move(predicate));
}

}  // namespace tarvolin::recordset_detail
