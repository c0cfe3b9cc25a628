// Dictionary: an insertion-ordered collection of Variants keyed by text
// (case-sensitive), with the behaviour the engine relies on: Add of an
// existing key raises 457, reading a missing key through Item adds it as Empty.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarvolin/automation/variant.h"

namespace tarvolin {

class Dictionary : public Object {
 public:
  std::string_view TypeName() const override { return "Dictionary"; }

  void Add(std::string key, Variant item);  // 457 when the key exists
  bool Exists(std::string_view key) const;
  // Item get: a missing key is added with Empty and Empty is returned.
  Variant& Item(std::string_view key);
  // Item set: replaces or adds.
  void SetItem(std::string_view key, Variant item);
  // The value or nullptr, without adding.
  const Variant* Find(std::string_view key) const;
  void Remove(std::string_view key);  // 5 when the key is missing
  void RemoveAll();
  int Count() const { return static_cast<int>(entries_.size()); }
  std::vector<std::string> Keys() const;
  VariantArray Items() const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<std::pair<std::string, Variant>> entries_;
  std::unordered_map<std::string, size_t, Hash, std::equal_to<>> index_;
};

}  // namespace tarvolin
