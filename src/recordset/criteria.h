// Filter and Find criteria, parsed once into a predicate tree, and sort
// orders. The grammar is described in recordset.h.
//
// Parsing raises 3001 for a malformed text (naming the text and what is wrong)
// and 3265 for an unknown field (naming it). Criterion values are converted to
// their field's type while parsing, so evaluation never converts or raises.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "recordset/row_store.h"
#include "recordset/value_rules.h"
#include "tarvolin/automation/variant.h"

namespace tarvolin::recordset_detail {

enum class CompareOp : uint8_t { kEq, kNe, kLt, kGt, kLe, kGe, kLike };
enum class LikeShape : uint8_t { kExact, kPrefix, kContains };

struct Clause {
  int field = 0;
  FieldClass cls = FieldClass::kVariant;
  CompareOp op = CompareOp::kEq;
  bool null_test = false;  // the value is the keyword Null
  Variant value;           // converted to the field's type
  LikeShape like_shape = LikeShape::kExact;
  std::string like_core;  // the pattern without wildcards, folded to lower case

  bool Matches(const Variant& cell) const noexcept;
  // An equality a hash index can answer.
  bool Indexable() const noexcept;
};

class Predicate {
 public:
  struct Node {
    enum class Kind : uint8_t { kClause, kAnd, kOr };
    Kind kind = Kind::kClause;
    bool grouped = false;         // written in parentheses
    bool holds_or_group = false;  // a parenthesised OR group was joined into it
    Clause clause;
    std::vector<Node> children;
  };

  explicit Predicate(Node root) : root_(std::make_shared<const Node>(std::move(root))) {}
  bool Matches(const RowStore& store, RowId row) const noexcept { return Eval(*root_, store, row); }
  // The clause when the whole predicate is one clause, else null.
  const Clause* SingleClause() const noexcept;
  // Equality clauses that every matching row satisfies (the top-level
  // conjunction's terms), in the order written.
  std::vector<const Clause*> IndexableTerms() const;

 private:
  static bool Eval(const Node& node, const RowStore& store, RowId row) noexcept;
  // Shared by copies: a parsed filter is reused by every cursor setting its text.
  std::shared_ptr<const Node> root_;
};

// `what` names the text in error descriptions ("filter", "Find criteria").
Predicate ParseCriteria(std::string_view text, const Schema& schema,
                        std::string_view what = "filter");

struct SortKey {
  int field = 0;
  FieldClass cls = FieldClass::kVariant;
  bool descending = false;
};
struct SortOrder {
  std::vector<SortKey> keys;
};

// No keys for a blank text.
SortOrder ParseSort(std::string_view text, const Schema& schema);

}  // namespace tarvolin::recordset_detail
