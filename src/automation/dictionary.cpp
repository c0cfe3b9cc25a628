#include "tarvolin/automation/dictionary.h"

#include "tarvolin/automation/error.h"

namespace tarvolin {
namespace {
constexpr std::string_view kSource = "Dictionary";
}

void Dictionary::Add(std::string key, Variant item) {
  if (Exists(key)) Raise(err::kDuplicateKey, kSource, "\"" + key + "\"");
  index_.emplace(key, entries_.size());
  entries_.emplace_back(std::move(key), std::move(item));
}

bool Dictionary::Exists(std::string_view key) const { return index_.find(key) != index_.end(); }

Variant& Dictionary::Item(std::string_view key) {
  if (auto it = index_.find(key); it != index_.end()) return entries_[it->second].second;
  Add(std::string(key), Variant());
  return entries_.back().second;
}

void Dictionary::SetItem(std::string_view key, Variant item) { Item(key) = std::move(item); }

const Variant* Dictionary::Find(std::string_view key) const {
  auto it = index_.find(key);
  return it == index_.end() ? nullptr : &entries_[it->second].second;
}

void Dictionary::Remove(std::string_view key) {
  auto it = index_.find(key);
  if (it == index_.end()) {
    Raise(err::kInvalidProcedureCall, kSource, "no key \"" + std::string(key) + "\"");
  }
  const size_t position = it->second;
  index_.erase(it);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
  for (size_t i = position; i < entries_.size(); ++i) index_[entries_[i].first] = i;
}

void Dictionary::RemoveAll() {
  entries_.clear();
  index_.clear();
}

std::vector<std::string> Dictionary::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const auto& entry : entries_) keys.push_back(entry.first);
  return keys;
}

VariantArray Dictionary::Items() const {
  VariantArray items;
  items.reserve(entries_.size());
  for (const auto& entry : entries_) items.push_back(entry.second);
  return items;
}

}  // namespace tarvolin
