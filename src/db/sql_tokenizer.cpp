#include "db/sql_tokenizer.h"

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"

namespace tarvolin {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '@' || c == '#' ||
         u >= 0x80;
}
bool IsWordPart(char c) { return IsWordStart(c) || IsDigit(c) || c == '$'; }

class Lexer {
 public:
  explicit Lexer(std::string_view sql) : sql_(sql) {}

  std::vector<SqlToken> Run() {
    std::vector<SqlToken> tokens;
    while (pos_ < sql_.size()) {
      const size_t start = pos_;
      const SqlTokenKind kind = Next();
      tokens.push_back({kind, sql_.substr(start, pos_ - start), start});
    }
    return tokens;
  }

 private:
  char At(size_t i) const { return i < sql_.size() ? sql_[i] : '\0'; }

  // The characters from pos_ on that `in` takes.
  template <class In>
  SqlTokenKind Run(In in, SqlTokenKind kind) {
    while (pos_ < sql_.size() && in(sql_[pos_])) ++pos_;
    return kind;
  }

  SqlTokenKind Next() {
    const char c = sql_[pos_];
    if (IsSpace(c)) return Run(IsSpace, SqlTokenKind::kSpace);
    if (c == '-' && At(pos_ + 1) == '-') {
      return Run([](char x) { return x != '\r' && x != '\n'; }, SqlTokenKind::kComment);
    }
    if (c == '/' && At(pos_ + 1) == '*') return BlockComment();
    if (c == '\'') return Quoted('\'', SqlTokenKind::kString, "string literal");
    if ((c == 'N' || c == 'n') && At(pos_ + 1) == '\'') {
      const size_t start = pos_++;
      return Quoted('\'', SqlTokenKind::kNationalString, "string literal", start);
    }
    if (c == '[') return Quoted(']', SqlTokenKind::kBracketed, "bracketed name");
    if (c == '"') return Quoted('"', SqlTokenKind::kQuotedName, "quoted name");
    if (IsDigit(c)) return Number();
    if (IsWordStart(c)) return Run(IsWordPart, SqlTokenKind::kWord);
    return Symbol(c);
  }

  // One character, or a two-character operator (<=, <>, >=, !=, !<, !>).
  SqlTokenKind Symbol(char c) {
    const char d = At(pos_ + 1);
    const bool pair = (c == '<' && (d == '=' || d == '>')) || (c == '>' && d == '=') ||
                      (c == '!' && (d == '=' || d == '<' || d == '>'));
    pos_ += pair ? 2 : 1;
    return SqlTokenKind::kSymbol;
  }

  // pos_ is on the opening character; start is where the token began (the N of N'...').
  SqlTokenKind Quoted(char close, SqlTokenKind kind, std::string_view what,
                      size_t start = std::string_view::npos) {
    if (start == std::string_view::npos) start = pos_;
    ++pos_;
    while (pos_ < sql_.size()) {
      if (sql_[pos_] == close) {
        if (At(pos_ + 1) == close) {  // doubled: an escaped closing character
          pos_ += 2;
          continue;
        }
        ++pos_;
        return kind;
      }
      ++pos_;
    }
    Fail(std::string("unterminated ") + std::string(what), start);
  }

  SqlTokenKind BlockComment() {
    const size_t start = pos_;
    int depth = 0;
    while (pos_ < sql_.size()) {
      if (sql_[pos_] == '/' && At(pos_ + 1) == '*') {
        ++depth;
        pos_ += 2;
      } else if (sql_[pos_] == '*' && At(pos_ + 1) == '/') {
        pos_ += 2;
        if (--depth == 0) return SqlTokenKind::kComment;
      } else {
        ++pos_;
      }
    }
    Fail("unterminated comment", start);
  }

  SqlTokenKind Number() {
    while (IsDigit(At(pos_))) ++pos_;
    if (At(pos_) == '.') {
      ++pos_;
      while (IsDigit(At(pos_))) ++pos_;
    }
    const char e = At(pos_);
    if (e == 'E' || e == 'e') {
      size_t p = pos_ + 1;
      if (At(p) == '+' || At(p) == '-') ++p;
      if (IsDigit(At(p))) {
        pos_ = p;
        while (IsDigit(At(pos_))) ++pos_;
      }
    }
    return SqlTokenKind::kNumber;
  }

  [[noreturn]] void Fail(const std::string& problem, size_t start) const {
    constexpr size_t kShown = 24;
    std::string near(sql_.substr(start, kShown));
    if (sql_.size() - start > kShown) near += "...";
    Raise(err::kBadArgument, "SqlDialect",
          problem + " at " + DescribeSqlPosition(sql_, start) + ": " + near);
  }

  std::string_view sql_;
  size_t pos_ = 0;
};

std::string Unescape(std::string_view body, char quote) {
  std::string out;
  out.reserve(body.size());
  for (size_t i = 0; i < body.size(); ++i) {
    out += body[i];
    if (body[i] == quote && i + 1 < body.size() && body[i + 1] == quote) ++i;
  }
  return out;
}

}  // namespace

std::vector<SqlToken> TokenizeTsql(std::string_view sql) { return Lexer(sql).Run(); }

std::string DescribeSqlPosition(std::string_view sql, size_t offset) {
  size_t line = 1;
  size_t line_start = 0;
  for (size_t i = 0; i < offset && i < sql.size(); ++i) {
    if (sql[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return "offset " + std::to_string(offset) + " (line " + std::to_string(line) + ", column " +
         std::to_string(offset - line_start + 1) + ")";
}

std::string SqlNameOf(const SqlToken& token) {
  const std::string_view t = token.text;
  switch (token.kind) {
    case SqlTokenKind::kBracketed:
      return Unescape(t.substr(1, t.size() - 2), ']');
    case SqlTokenKind::kQuotedName:
      return Unescape(t.substr(1, t.size() - 2), '"');
    default:
      return std::string(t);
  }
}

std::string SqlStringValue(const SqlToken& token) {
  std::string_view t = token.text;
  if (token.kind == SqlTokenKind::kNationalString) t.remove_prefix(1);
  if (token.kind != SqlTokenKind::kString && token.kind != SqlTokenKind::kNationalString) {
    return std::string(t);
  }
  return Unescape(t.substr(1, t.size() - 2), '\'');
}

std::string SqlTableOf(std::string_view statement) {
  try {
    bool next_is_table = false;
    for (const SqlToken& token : TokenizeTsql(statement)) {
      if (!IsSignificant(token)) continue;
      if (next_is_table && IsName(token)) return SqlNameOf(token);
      next_is_table = token.kind == SqlTokenKind::kWord &&
                      (EqualsNoCase(token.text, "FROM") || EqualsNoCase(token.text, "INTO") ||
                       EqualsNoCase(token.text, "UPDATE") || EqualsNoCase(token.text, "TABLE"));
    }
  } catch (const Error&) {
  }
  return "";
}

}  // namespace tarvolin
