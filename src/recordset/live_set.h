// LiveSet: a sequence of slots, each live or dead, answering in O(log n) how
// many live slots precede a slot and which slot is the k-th live one. Views use
// it so that deleted rows cost nothing to skip and positions stay exact.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvolin::recordset_detail {

class LiveSet {
 public:
  // n slots, all live.
  void Reset(size_t n) {
    tree_.assign(n + 1, 0);
    // A Fenwick node i covers (i - lowbit(i), i]: all live, so it counts lowbit(i).
    for (size_t i = 1; i <= n; ++i) tree_[i] = static_cast<uint32_t>(i & (~i + 1));
    live_ = n;
  }

  void Append(bool live) {
    if (tree_.empty()) tree_.push_back(0);
    const size_t i = tree_.size();  // the new node's 1-based index
    uint32_t sum = live ? 1 : 0;
    const size_t low = i - (i & (~i + 1));
    for (size_t j = i - 1; j > low; j -= j & (~j + 1)) sum += tree_[j];
    tree_.push_back(sum);
    if (live) ++live_;
  }

  // Precondition: the slot is live.
  void Kill(size_t slot) {
    for (size_t i = slot + 1; i < tree_.size(); i += i & (~i + 1)) --tree_[i];
    --live_;
  }

  size_t size() const noexcept { return tree_.empty() ? 0 : tree_.size() - 1; }
  // Room for n slots without growing.
  void Reserve(size_t n) { tree_.reserve(n + 1); }
  size_t live() const noexcept { return live_; }

  // Live slots in [0, slot).
  size_t LiveBefore(size_t slot) const noexcept {
    size_t sum = 0;
    for (size_t i = slot; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }

  // The slot of the k-th live one, counting from 0. Precondition: k < live().
  size_t KthLive(size_t k) const noexcept {
    size_t node = 0;
    size_t remaining = k + 1;
    for (size_t step = std::bit_floor(size()); step > 0; step >>= 1) {
      if (node + step < tree_.size() && tree_[node + step] < remaining) {
        node += step;
        remaining -= tree_[node];
      }
    }
    return node;  // 1-based node + 1, made 0-based
  }

 private:
  // tree_[0] is unused; the tree is made on the first slot, so that an empty
  // set (every recordset starts as one) allocates nothing.
  std::vector<uint32_t> tree_;
  size_t live_ = 0;
};

}  // namespace tarvolin::recordset_detail
