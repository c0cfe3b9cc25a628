// Lexer for the T-SQL text the engine builds. Every byte of the input belongs
// to exactly one token and the tokens are in input order, so joining their
// texts gives the input back: rewriters edit some tokens and copy the rest.
// Text inside literals, quoted names and comments is never interpreted.
//
// Raises 3001 (source "SqlDialect") for an unterminated string literal,
// [bracketed] or "quoted" name or /* comment; the description names what is
// open and where it starts (offset, line and column).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvolin {

enum class SqlTokenKind : uint8_t {
  kSpace,           // blanks, tabs, CR and LF
  kComment,         // "-- ..." up to (not including) the line break, or "/* ... */" (nesting)
  kWord,            // plain identifier or keyword: letters, digits, _ @ # $, bytes >= 0x80
  kBracketed,       // [name], "]]" inside stands for "]"
  kQuotedName,      // "name", doubled quote inside stands for one
  kString,          // 'text', "''" inside stands for "'"
  kNationalString,  // N'text'
  kNumber,          // 12, 12.5, 1.5E3
  kSymbol,          // operator or punctuation; <= >= <> != !< !> are single tokens
};

struct SqlToken {
  SqlTokenKind kind;
  std::string_view text;  // a view into the tokenized input
  size_t offset;          // byte offset of text in the input
};

// The input must outlive the returned tokens.
std::vector<SqlToken> TokenizeTsql(std::string_view sql);

// Whitespace and comments are not significant.
inline bool IsSignificant(const SqlToken& token) {
  return token.kind != SqlTokenKind::kSpace && token.kind != SqlTokenKind::kComment;
}

// True for a word, bracketed or quoted name.
inline bool IsName(const SqlToken& token) {
  return token.kind == SqlTokenKind::kWord || token.kind == SqlTokenKind::kBracketed ||
         token.kind == SqlTokenKind::kQuotedName;
}

// The name a word, bracketed or quoted-name token stands for, unescaped
// ("[a]]b]" -> "a]b"). Other tokens give their text.
std::string SqlNameOf(const SqlToken& token);

// The value of a string or national-string literal, unescaped ("'O''Brien'" -> "O'Brien").
std::string SqlStringValue(const SqlToken& token);

// "offset 42 (line 3, column 7)": where offset lies in sql, for error descriptions.
std::string DescribeSqlPosition(std::string_view sql, size_t offset);

// The table a statement works on: the first name after FROM, INTO, UPDATE or
// TABLE; "" when there is none (or the text does not tokenize).
std::string SqlTableOf(std::string_view statement);

}  // namespace tarvolin
