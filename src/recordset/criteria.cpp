#include "recordset/criteria.h"

#include <optional>

#include "tarvolin/automation/decimal.h"
#include "tarvolin/automation/error.h"

namespace tarvolin::recordset_detail {
namespace {

constexpr std::string_view kSource = "Recordset";
// Deeper nesting than any real criteria; keeps hostile input off the stack limit.
constexpr int kMaxDepth = 64;

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) noexcept {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) noexcept { return IsNameStart(c) || IsDigit(c) || c == '$'; }
char Fold(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

struct Literal {
  enum class Kind : uint8_t { kText, kNumber, kDate, kBoolean, kNull };
  Kind kind = Kind::kNull;
  std::string text;  // the text, or a number as written
  Decimal number;
  Date date;
  bool boolean = false;

  Variant ToVariant() const {
    switch (kind) {
      case Kind::kText:
        return Variant(text);
      case Kind::kNumber:
        return Variant(number);
      case Kind::kDate:
        return Variant(date);
      case Kind::kBoolean:
        return Variant(boolean);
      case Kind::kNull:
        break;
    }
    return Variant::Null();
  }
};

// Character-level reader shared by the criteria and the sort parsers.
class Scanner {
 public:
  Scanner(std::string_view text, std::string_view what) : text_(text), what_(what) {}

  [[noreturn]] void Fail(std::string_view why) const {
    Raise(err::kBadArgument, kSource,
          std::string(what_) + " \"" + std::string(text_) + "\": " + std::string(why));
  }
  [[noreturn]] void UnknownField(std::string_view name) const {
    Raise(err::kItemNotFound, kSource,
          "field " + std::string(name) + " (in " + std::string(what_) + " \"" + std::string(text_) +
              "\")");
  }

  void SkipBlanks() noexcept {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  bool AtEnd() noexcept {
    SkipBlanks();
    return pos_ >= text_.size();
  }
  char Peek() noexcept {
    SkipBlanks();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  bool Consume(char c) noexcept {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }
  // A word without regard to case, not followed by a name character.
  bool ConsumeKeyword(std::string_view keyword) noexcept {
    SkipBlanks();
    if (text_.size() - pos_ < keyword.size()) return false;
    for (size_t i = 0; i < keyword.size(); ++i) {
      if (Fold(text_[pos_ + i]) != Fold(keyword[i])) return false;
    }
    const size_t end = pos_ + keyword.size();
    if (end < text_.size() && IsNameChar(text_[end])) return false;
    pos_ = end;
    return true;
  }

  // A plain name or a [bracketed] one.
  std::string FieldName() {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '[') {
      const size_t close = text_.find(']', pos_ + 1);
      if (close == std::string_view::npos) Fail("missing ]");
      std::string name(text_.substr(pos_ + 1, close - pos_ - 1));
      if (name.empty()) Fail("empty field name");
      pos_ = close + 1;
      return name;
    }
    if (pos_ >= text_.size() || !IsNameStart(text_[pos_])) Fail("field name expected");
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }

  int ResolveField(const Schema& schema, const std::string& name) const {
    auto index = schema.Find(name);
    if (!index) UnknownField(name);
    return *index;
  }

  std::optional<CompareOp> Operator() {
    SkipBlanks();
    auto take = [this](std::string_view symbol) {
      if (text_.substr(pos_, symbol.size()) != symbol) return false;
      pos_ += symbol.size();
      return true;
    };
    if (take("<=")) return CompareOp::kLe;
    if (take(">=")) return CompareOp::kGe;
    if (take("<>")) return CompareOp::kNe;
    if (take("=")) return CompareOp::kEq;
    if (take("<")) return CompareOp::kLt;
    if (take(">")) return CompareOp::kGt;
    if (ConsumeKeyword("LIKE")) return CompareOp::kLike;
    return std::nullopt;
  }

  Literal Value() {
    const char c = Peek();
    if (c == '\'') return QuotedText();
    if (c == '#') return DateBetweenHashes();
    if (IsDigit(c) || c == '.' || c == '+' || c == '-') return Number();
    return Keyword();
  }

 private:
  // 'text', where a doubled quote stands for one.
  Literal QuotedText() {
    Literal literal;
    literal.kind = Literal::Kind::kText;
    for (++pos_;; ++pos_) {
      if (pos_ >= text_.size()) Fail("unterminated text");
      if (text_[pos_] == '\'') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
          literal.text += '\'';
          ++pos_;
          continue;
        }
        ++pos_;
        break;
      }
      literal.text += text_[pos_];
    }
    return literal;
  }

  // #date#, blanks inside the hashes allowed.
  Literal DateBetweenHashes() {
    const size_t close = text_.find('#', pos_ + 1);
    if (close == std::string_view::npos) Fail("unterminated date");
    std::string_view inner = text_.substr(pos_ + 1, close - pos_ - 1);
    while (!inner.empty() && IsBlank(inner.front())) inner.remove_prefix(1);
    while (!inner.empty() && IsBlank(inner.back())) inner.remove_suffix(1);
    auto date = Date::Parse(inner);
    if (!date) Fail("invalid date #" + std::string(inner) + "#");
    Literal literal;
    literal.kind = Literal::Kind::kDate;
    literal.date = *date;
    literal.text = std::string(inner);
    pos_ = close + 1;
    return literal;
  }

  // NULL, TRUE or FALSE.
  Literal Keyword() {
    Literal literal;
    if (ConsumeKeyword("NULL")) return literal;
    for (const bool boolean : {true, false}) {
      if (ConsumeKeyword(boolean ? "TRUE" : "FALSE")) {
        literal.kind = Literal::Kind::kBoolean;
        literal.boolean = boolean;
        literal.text = boolean ? "True" : "False";
        return literal;
      }
    }
    Fail("value expected");
  }

  Literal Number() {
    const size_t start = pos_;
    size_t digits = 0;
    if (text_[pos_] == '+' || text_[pos_] == '-') ++pos_;
    for (; pos_ < text_.size() && IsDigit(text_[pos_]); ++pos_) ++digits;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      for (++pos_; pos_ < text_.size() && IsDigit(text_[pos_]); ++pos_) ++digits;
    }
    if (digits == 0) Fail("number expected");
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      size_t exponent_digits = 0;
      for (; pos_ < text_.size() && IsDigit(text_[pos_]); ++pos_) ++exponent_digits;
      if (exponent_digits == 0) Fail("malformed exponent");
    }
    if (pos_ < text_.size() && IsNameChar(text_[pos_])) Fail("malformed number");
    Literal literal;
    literal.kind = Literal::Kind::kNumber;
    literal.text = std::string(text_.substr(start, pos_ - start));
    auto number = Decimal::TryParse(literal.text);
    if (!number) Fail("number out of range: " + literal.text);
    literal.number = *number;
    return literal;
  }

  std::string_view text_;
  std::string_view what_;
  size_t pos_ = 0;
};

class CriteriaParser {
 public:
  CriteriaParser(std::string_view text, const Schema& schema, std::string_view what)
      : scanner_(text, what), schema_(schema) {}

  Predicate::Node Parse() {
    Predicate::Node root = Expression(0);
    if (!scanner_.AtEnd()) scanner_.Fail("unexpected text after a clause");
    return root;
  }

 private:
  using Node = Predicate::Node;

  // Terms joined by AND and OR, which bind equally, from left to right.
  Node Expression(int depth) {
    Node left = Term(depth);
    for (;;) {
      Node::Kind kind;
      if (scanner_.ConsumeKeyword("AND")) {
        kind = Node::Kind::kAnd;
      } else if (scanner_.ConsumeKeyword("OR")) {
        kind = Node::Kind::kOr;
      } else {
        return left;
      }
      Node right = Term(depth);
      if (kind == Node::Kind::kAnd &&
          (IsOrGroup(left) || left.holds_or_group || IsOrGroup(right))) {
        scanner_.Fail("a group of OR-ed clauses cannot be AND-ed with another clause");
      }
      left = Join(kind, std::move(left), std::move(right));
    }
  }

  static bool IsOrGroup(const Node& node) noexcept {
    return node.grouped && node.kind == Node::Kind::kOr;
  }

  // Clauses joined in a row by the same word become one node's children. The
  // running node takes the next term in place, so a long chain parses in
  // linear time. An OR group flattened into an OR chain is remembered: the
  // chain may not be AND-ed afterwards either.
  static Node Join(Node::Kind kind, Node left, Node right) {
    const bool or_group = IsOrGroup(left) || IsOrGroup(right) || left.holds_or_group;
    Node joined;
    if (left.kind == kind && !left.grouped) {
      joined = std::move(left);
    } else if (left.kind == kind) {
      joined.kind = kind;
      joined.children = std::move(left.children);
    } else {
      joined.kind = kind;
      joined.children.push_back(std::move(left));
    }
    if (right.kind == kind) {
      for (Node& child : right.children) joined.children.push_back(std::move(child));
    } else {
      joined.children.push_back(std::move(right));
    }
    joined.holds_or_group = kind == Node::Kind::kOr && or_group;
    return joined;
  }

  Node Term(int depth) {
    if (scanner_.Consume('(')) {
      if (depth >= kMaxDepth) scanner_.Fail("parentheses nested too deeply");
      Node inner = Expression(depth + 1);
      if (!scanner_.Consume(')')) scanner_.Fail("missing )");
      inner.grouped = true;
      return inner;
    }
    Node node;
    node.clause = ParseClause();
    return node;
  }

  Clause ParseClause() {
    Clause clause;
    const std::string name = scanner_.FieldName();
    clause.field = scanner_.ResolveField(schema_, name);
    clause.cls = schema_.cls(clause.field);
    auto op = scanner_.Operator();
    if (!op) scanner_.Fail("comparison operator expected after " + name);
    clause.op = *op;
    const Literal literal = scanner_.Value();
    if (clause.op == CompareOp::kLike) {
      if (literal.kind != Literal::Kind::kText) scanner_.Fail("LIKE takes a quoted pattern");
      SetLikePattern(clause, literal.text);
      return clause;
    }
    if (literal.kind == Literal::Kind::kNull) {
      clause.null_test = true;
      clause.value = Variant::Null();
      return clause;
    }
    clause.value = Convert(schema_.field(clause.field), clause.cls, literal);
    return clause;
  }

  void SetLikePattern(Clause& clause, std::string_view pattern) const {
    auto wildcard = [](char c) { return c == '*' || c == '%'; };
    const bool trailing = !pattern.empty() && wildcard(pattern.back());
    if (trailing) pattern.remove_suffix(1);
    const bool leading = !pattern.empty() && wildcard(pattern.front());
    if (leading) pattern.remove_prefix(1);
    if (leading && !trailing) scanner_.Fail("LIKE takes a wildcard at the end or at both ends");
    for (char c : pattern) {
      if (wildcard(c)) scanner_.Fail("LIKE takes a wildcard at the end or at both ends");
    }
    clause.like_shape =
        leading ? LikeShape::kContains : (trailing ? LikeShape::kPrefix : LikeShape::kExact);
    clause.like_core.reserve(pattern.size());
    for (char c : pattern) clause.like_core += Fold(c);
  }

  Variant Convert(const FieldInfo& field, FieldClass cls, const Literal& literal) const {
    try {
      const Variant value = literal.ToVariant();
      switch (cls) {
        case FieldClass::kText:
          if (literal.kind == Literal::Kind::kText || literal.kind == Literal::Kind::kNumber) {
            return Variant(literal.text);  // a number as written: 0017 stays 0017
          }
          return Variant(value.CStr());
        case FieldClass::kNumber:
          // Integer fields compare with the exact value, not a rounded one.
          if (field.type == DataType::kDouble || field.type == DataType::kSingle) {
            return Variant(value.CDbl());
          }
          return Variant(value.CDec());
        case FieldClass::kBoolean:
          return Variant(value.CBool());
        case FieldClass::kDate:
          return Variant(value.CDate());
        case FieldClass::kVariant:
          // A Variant copy, no heavier than the move.
          // NOLINTNEXTLINE(performance-no-automatic-move)
          return value;
      }
    } catch (const Error& e) {
      scanner_.Fail("the value " + literal.ToVariant().Describe() + " does not suit field " +
                    field.name + " (" + e.description() + ")");
    }
    return literal.ToVariant();
  }

  Scanner scanner_;
  const Schema& schema_;
};

bool Compared(CompareOp op, int c) noexcept {
  switch (op) {
    case CompareOp::kEq:
      return c == 0;
    case CompareOp::kNe:
      return c != 0;
    case CompareOp::kLt:
      return c < 0;
    case CompareOp::kGt:
      return c > 0;
    case CompareOp::kLe:
      return c <= 0;
    case CompareOp::kGe:
      return c >= 0;
    case CompareOp::kLike:
      break;
  }
  return false;
}

}  // namespace

bool Clause::Matches(const Variant& cell) const noexcept {
  if (null_test) {
    if (op == CompareOp::kEq) return cell.IsNull();
    if (op == CompareOp::kNe) return !cell.IsNull();
    return false;
  }
  if (cell.IsNull()) return false;
  if (op == CompareOp::kLike) {
    std::string converted;
    std::string_view text;
    if (cell.IsString()) {
      text = cell.str();
    } else if (!cell.IsEmpty()) {
      try {
        converted = cell.CStr();
      } catch (const Error&) {
        return false;
      }
      text = converted;
    }
    switch (like_shape) {
      case LikeShape::kExact:
        return CompareText(text, like_core) == 0;
      case LikeShape::kPrefix:
        return StartsWithFolded(text, like_core);
      case LikeShape::kContains:
        return ContainsFolded(text, like_core);
    }
    return false;
  }
  auto c = CompareValues(cls, cell, value);
  return c && Compared(op, *c);
}

bool Clause::Indexable() const noexcept {
  return op == CompareOp::kEq && cls != FieldClass::kVariant;
}

const Clause* Predicate::SingleClause() const noexcept {
  return root_->kind == Node::Kind::kClause ? &root_->clause : nullptr;
}

std::vector<const Clause*> Predicate::IndexableTerms() const {
  std::vector<const Clause*> terms;
  if (root_->kind == Node::Kind::kClause) {
    if (root_->clause.Indexable()) terms.push_back(&root_->clause);
  } else if (root_->kind == Node::Kind::kAnd) {
    for (const Node& child : root_->children) {
      if (child.kind == Node::Kind::kClause && child.clause.Indexable()) {
        terms.push_back(&child.clause);
      }
    }
  }
  return terms;
}

bool Predicate::Eval(const Node& node, const RowStore& store, RowId row) noexcept {
  switch (node.kind) {
    case Node::Kind::kClause:
      return node.clause.Matches(store.Cell(row, node.clause.field));
    case Node::Kind::kAnd:
      for (const Node& child : node.children) {
        if (!Eval(child, store, row)) return false;
      }
      return true;
    case Node::Kind::kOr:
      for (const Node& child : node.children) {
        if (Eval(child, store, row)) return true;
      }
      return false;
  }
  return false;
}

Predicate ParseCriteria(std::string_view text, const Schema& schema, std::string_view what) {
  return Predicate(CriteriaParser(text, schema, what).Parse());
}

SortOrder ParseSort(std::string_view text, const Schema& schema) {
  Scanner scanner(text, "sort");
  SortOrder order;
  if (scanner.AtEnd()) return order;
  for (;;) {
    SortKey key;
    const std::string name = scanner.FieldName();
    key.field = scanner.ResolveField(schema, name);
    key.cls = schema.cls(key.field);
    if (scanner.ConsumeKeyword("DESC")) {
      key.descending = true;
    } else {
      scanner.ConsumeKeyword("ASC");
    }
    order.keys.push_back(key);
    if (scanner.AtEnd()) return order;
    if (!scanner.Consume(',')) scanner.Fail("expected , or the end after " + name);
  }
}

}  // namespace tarvolin::recordset_detail
