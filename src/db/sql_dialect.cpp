#include "tarvolin/db/sql_dialect.h"

#include <array>
#include <cstddef>
#include <optional>
#include <set>
#include <utility>

#include "db/sql_tokenizer.h"
#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"

namespace tarvolin {
namespace {

constexpr std::string_view kSource = "SqlDialect";
constexpr size_t kNone = static_cast<size_t>(-1);

// A parenthesis after WITH opening with one of these is a table-hint list, not a
// common table expression or an index option.
constexpr std::array<std::string_view, 22> kTableHints = {
    "NOLOCK",         "READUNCOMMITTED", "READCOMMITTED", "READCOMMITTEDLOCK",
    "REPEATABLEREAD", "SERIALIZABLE",    "HOLDLOCK",      "UPDLOCK",
    "XLOCK",          "ROWLOCK",         "PAGLOCK",       "TABLOCK",
    "TABLOCKX",       "NOWAIT",          "READPAST",      "SNAPSHOT",
    "INDEX",          "FORCESEEK",       "FORCESCAN",     "NOEXPAND",
    "KEEPIDENTITY",   "KEEPDEFAULTS"};

constexpr std::array<std::string_view, 9> kComparisons = {"=",  "<>", "!=", "<", ">",
                                                          "<=", ">=", "!<", "!>"};

bool IsDigits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int ToInt(std::string_view digits) {
  int v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return v;
}

// 'YYYYMMDD' naming a real day, as SQL Server reads a date literal.
bool IsCompactDate(std::string_view s) {
  if (s.size() != 8 || !IsDigits(s)) return false;
  const int year = ToInt(s.substr(0, 4));
  const int month = ToInt(s.substr(4, 2));
  const int day = ToInt(s.substr(6, 2));
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string DoubleQuoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

enum class Target { kSqlite, kPostgres };

// A name as PostgreSQL reads it: bare when it is a plain identifier, so that it
// folds to the same table or column as the engine's unquoted names do.
std::string PostgresName(const std::string& name) {
  bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
  for (char c : name) {
    plain = plain && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '_');
  }
  return plain ? name : DoubleQuoted(name);
}

class TsqlAdapter {
 public:
  TsqlAdapter(std::string_view sql, const SqlDialectOptions& options, Target target)
      : sql_(sql),
        options_(options),
        target_(target),
        tokens_(TokenizeTsql(sql)),
        edits_(tokens_.size()) {
    for (size_t i = 0; i < tokens_.size(); ++i) {
      if (IsSignificant(tokens_[i])) sig_.push_back(i);
    }
    MatchParentheses();
  }

  std::string Run() {
    RemoveTableHints();
    if (target_ == Target::kPostgres) SortNullsAsSqlServer();
    MoveTopToLimit();
    RenameFunctionsAndSchemas();
    RewriteLiteralsAndNames();
    CompareDatesAsDates();
    std::string out;
    out.reserve(sql_.size() + 16);
    for (size_t i = 0; i < tokens_.size(); ++i) {
      const Edit& e = edits_[i];
      out += e.before;
      if (e.replaced) {
        out += e.text;
      } else {
        out += tokens_[i].text;
      }
      out += e.after;
    }
    return out;
  }

 private:
  struct Edit {
    bool replaced = false;
    std::string text;    // replaces the token when replaced ("" removes it)
    std::string before;  // added before the token (or where it was)
    std::string after;   // added after the token (or where it was)
  };

  // k-th significant token.
  const SqlToken& S(size_t k) const { return tokens_[sig_[k]]; }
  bool SigWord(size_t k, std::string_view word) const {
    return k < sig_.size() && S(k).kind == SqlTokenKind::kWord && EqualsNoCase(S(k).text, word);
  }
  bool SigSymbol(size_t k, std::string_view symbol) const {
    return k < sig_.size() && S(k).kind == SqlTokenKind::kSymbol && S(k).text == symbol;
  }
  bool RawSymbol(size_t i, std::string_view symbol) const {
    return i < tokens_.size() && tokens_[i].kind == SqlTokenKind::kSymbol &&
           tokens_[i].text == symbol;
  }
  bool RawName(size_t i) const { return i < tokens_.size() && IsName(tokens_[i]); }
  bool IsComparison(size_t k) const {
    if (k >= sig_.size() || S(k).kind != SqlTokenKind::kSymbol) return false;
    for (std::string_view c : kComparisons) {
      if (S(k).text == c) return true;
    }
    return false;
  }

  void Replace(size_t token, std::string text) {
    edits_[token].replaced = true;
    edits_[token].text = std::move(text);
  }

  [[noreturn]] void Fail(int32_t number, const std::string& problem, size_t token) const {
    Raise(number, kSource, problem + " at " + DescribeSqlPosition(sql_, tokens_[token].offset));
  }

  void MatchParentheses() {
    match_.assign(sig_.size(), kNone);
    std::vector<size_t> open;
    for (size_t k = 0; k < sig_.size(); ++k) {
      if (SigSymbol(k, "(")) {
        open.push_back(k);
      } else if (SigSymbol(k, ")")) {
        if (open.empty()) Fail(err::kBadArgument, "')' without a matching '('", sig_[k]);
        match_[k] = open.back();
        match_[open.back()] = k;
        open.pop_back();
      }
    }
    if (!open.empty()) Fail(err::kBadArgument, "'(' without a matching ')'", sig_[open.back()]);
  }

  // Removes significant tokens first..last and everything between them. The
  // blanks before first go too when what follows last keeps words apart, so
  // "T WITH (NOLOCK) ON" becomes "T ON" rather than "T  ON".
  void RemoveSpan(size_t first, size_t last) {
    size_t from = sig_[first];
    const size_t to = sig_[last];
    const size_t next = to + 1;
    const bool separated = next >= tokens_.size() || tokens_[next].kind == SqlTokenKind::kSpace ||
                           tokens_[next].kind == SqlTokenKind::kSymbol;
    if (separated && from > 0 && tokens_[from - 1].kind == SqlTokenKind::kSpace) --from;
    for (size_t i = from; i <= to; ++i) Replace(i, "");
  }

  void RemoveTableHints() {
    for (size_t k = 0; k + 2 < sig_.size(); ++k) {
      if (!SigWord(k, "WITH") || !SigSymbol(k + 1, "(")) continue;
      bool hint = false;
      for (std::string_view h : kTableHints) hint = hint || SigWord(k + 2, h);
      if (!hint) continue;
      const size_t close = match_[k + 1];
      RemoveSpan(k, close);
      k = close;
    }
  }

  void MoveTopToLimit() {
    for (size_t k = 0; k < sig_.size(); ++k) {
      if (!SigWord(k, "SELECT")) continue;
      size_t top = k + 1;
      if (SigWord(top, "ALL") || SigWord(top, "DISTINCT")) ++top;
      if (!SigWord(top, "TOP")) continue;
      size_t end = top + 1;
      std::string count;
      if (SigSymbol(end, "(")) {
        const size_t close = match_[end];
        const size_t from = S(end).offset + 1;
        count = Trim(sql_.substr(from, S(close).offset - from));
        end = close;
      } else if (end < sig_.size() && S(end).kind == SqlTokenKind::kNumber) {
        count = std::string(S(end).text);
      } else {
        Fail(err::kBadArgument, "TOP without a row count", sig_[top]);
      }
      if (SigWord(end + 1, "PERCENT") || (SigWord(end + 1, "WITH") && SigWord(end + 2, "TIES"))) {
        Fail(err::kFeatureNotAvailable,
             "TOP ... PERCENT or WITH TIES has no " + TargetName() + " form", sig_[top]);
      }
      const size_t last = LastOfSelect(k, top);
      RemoveSpan(top, end);
      edits_[sig_[last]].after += " LIMIT " + count;
    }
  }

  // The last significant token of the SELECT at k: before the ")" closing its
  // parenthesis level, a ";" or the end. TOP limits only its own SELECT, which
  // LIMIT cannot do inside a compound, so compounds are refused.
  size_t LastOfSelect(size_t k, size_t top) const {
    auto compound = [&](size_t j) {
      return SigWord(j, "UNION") || SigWord(j, "EXCEPT") || SigWord(j, "INTERSECT");
    };
    for (size_t j = k; j-- > 0;) {
      if (SigSymbol(j, "(") || SigSymbol(j, ";")) break;
      if (SigSymbol(j, ")")) j = match_[j];
      if (compound(j)) {
        Fail(err::kFeatureNotAvailable,
             "TOP in a UNION, EXCEPT or INTERSECT has no " + TargetName() + " form", sig_[top]);
      }
    }
    size_t j = k + 1;
    for (; j < sig_.size(); ++j) {
      if (SigSymbol(j, ")") || SigSymbol(j, ";")) break;
      if (SigSymbol(j, "(")) j = match_[j];
      if (compound(j)) {
        Fail(err::kFeatureNotAvailable,
             "TOP in a UNION, EXCEPT or INTERSECT has no " + TargetName() + " form", sig_[top]);
      }
    }
    return j - 1;
  }

  static std::string Trim(std::string_view s) {
    while (!s.empty() &&
           (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) {
      s.remove_prefix(1);
    }
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
      s.remove_suffix(1);
    }
    return std::string(s);
  }

  void RenameFunctionsAndSchemas() {
    for (size_t k = 0; k < sig_.size(); ++k) {
      const size_t i = sig_[k];
      if (edits_[i].replaced || !IsName(tokens_[i]) || (i > 0 && RawSymbol(i - 1, "."))) continue;
      if (SigWord(k, "ISNULL") && SigSymbol(k + 1, "(")) {
        std::string name(tokens_[i].text);
        name[1] = name[1] == 's' ? 'f' : 'F';  // keeps the caller's letter case
        Replace(i, target_ == Target::kPostgres ? std::string("COALESCE") : std::move(name));
        continue;
      }
      if (!RawSymbol(i + 1, ".")) continue;
      const bool dbo_next = RawName(i + 2) && EqualsNoCase(SqlNameOf(tokens_[i + 2]), "dbo");
      if (dbo_next && RawSymbol(i + 3, ".") && RawName(i + 4)) {
        // db.dbo.T: the other database is attached under its own name.
        Replace(i, DoubleQuoted(SqlNameOf(tokens_[i])));
        Replace(i + 1, "");
        Replace(i + 2, "");
      } else if (RawSymbol(i + 2, ".") && RawName(i + 3)) {
        // db..T, the default schema of the other database.
        Replace(i, DoubleQuoted(SqlNameOf(tokens_[i])));
        Replace(i + 1, "");
      } else if (EqualsNoCase(SqlNameOf(tokens_[i]), "dbo") && RawName(i + 2)) {
        Replace(i, "");
        Replace(i + 1, "");
      }
    }
  }

  // A date column compared with a date literal, or sorted on, is taken as
  // its day: a value stored with a time of day is in force on that day, and
  // two values of one day tie (the next sort key decides).
  void CompareDatesAsDates() {
    for (size_t k = 0; k < sig_.size(); ++k) {
      const SqlToken& t = S(k);
      if (t.kind != SqlTokenKind::kString && t.kind != SqlTokenKind::kNationalString) continue;
      const std::optional<std::string> day = DayOf(SqlStringValue(t));
      if (!day) continue;
      const std::optional<std::pair<size_t, size_t>> column = DateColumnComparedWith(k);
      if (!column) continue;
      Replace(sig_[k], "'" + *day + "'");
      WrapInDate(*column);
    }
    for (size_t k = 0; k + 1 < sig_.size(); ++k) {
      if (SigWord(k, "ORDER") && SigWord(k + 1, "BY")) SortDateKeysAsDates(k + 2);
    }
  }

  // The date columns among the sort keys that start at significant token k.
  void SortDateKeysAsDates(size_t k) {
    for (size_t j = k; j < sig_.size(); ++j) {
      if (SigSymbol(j, ")") || SigSymbol(j, ";") || SigWord(j, "UNION") || SigWord(j, "EXCEPT") ||
          SigWord(j, "INTERSECT") || SigWord(j, "LIMIT")) {
        break;
      }
      if (SigSymbol(j, "(")) {
        j = match_[j];
        continue;
      }
      if (!IsName(S(j)) || (sig_[j] > 0 && RawSymbol(sig_[j] - 1, "."))) continue;
      if (auto name = DateColumnAt(sig_[j])) WrapInDate(*name);
    }
  }

  // The name that starts at raw token i when it is a date column, not a
  // function called.
  std::optional<std::pair<size_t, size_t>> DateColumnAt(size_t i) const {
    const std::pair<size_t, size_t> name = QualifiedNameFrom(i);
    size_t after = name.second + 1;
    while (after < tokens_.size() && !IsSignificant(tokens_[after])) ++after;
    if (RawSymbol(after, "(")) return std::nullopt;  // a function call
    if (!IsDateColumn(SqlNameOf(tokens_[name.second]))) return std::nullopt;
    return name;
  }

  // The day a date literal names, as 'YYYY-MM-DD': 'YYYYMMDD', 'YYYY-MM-DD'
  // or 'YYYY-MM-DD HH:MM[:SS[.fff]]'.
  static std::optional<std::string> DayOf(const std::string& value) {
    if (IsCompactDate(value)) {
      return value.substr(0, 4) + "-" + value.substr(4, 2) + "-" + value.substr(6, 2);
    }
    if (value.size() < 10 || value[4] != '-' || value[7] != '-') return std::nullopt;
    const std::string compact = value.substr(0, 4) + value.substr(5, 2) + value.substr(8, 2);
    if (!IsCompactDate(compact)) return std::nullopt;
    if (value.size() > 10 && value[10] != ' ' && value[10] != 'T') return std::nullopt;
    return value.substr(0, 10);
  }

  // The raw tokens of the name that starts at raw token i ("T.COL", "COL").
  std::pair<size_t, size_t> QualifiedNameFrom(size_t i) const {
    size_t last = i;
    while (RawSymbol(last + 1, ".") && RawName(last + 2)) last += 2;
    return {i, last};
  }

  // The date column on the other side of the comparison or BETWEEN whose
  // operand is the literal at k, as raw token span.
  std::optional<std::pair<size_t, size_t>> DateColumnComparedWith(size_t k) const {
    const auto ending_at = [&](size_t column) -> std::optional<std::pair<size_t, size_t>> {
      if (!DateColumnEndsAt(column)) return std::nullopt;
      size_t first = sig_[column];
      while (first >= 2 && RawSymbol(first - 1, ".") && RawName(first - 2)) first -= 2;
      return std::pair{first, sig_[column]};
    };
    if (k >= 2 && IsComparison(k - 1)) return ending_at(k - 2);
    if (k >= 2 && SigWord(k - 1, "BETWEEN")) {
      if (auto column = ending_at(k - 2)) return column;
      if (k >= 3 && SigWord(k - 2, "NOT")) return ending_at(k - 3);
      return std::nullopt;
    }
    if (k >= 4 && SigWord(k - 1, "AND") && SigWord(k - 3, "BETWEEN")) {
      if (auto column = ending_at(k - 4)) return column;
      if (k >= 5 && SigWord(k - 4, "NOT")) return ending_at(k - 5);
      return std::nullopt;
    }
    if (IsComparison(k + 1) && k + 2 < sig_.size() && IsName(S(k + 2))) {
      return DateColumnAt(sig_[k + 2]);
    }
    return std::nullopt;
  }

  void WrapInDate(std::pair<size_t, size_t> column) {
    if (!wrapped_.insert(column.first).second) return;  // BETWEEN's second bound
    const bool postgres = target_ == Target::kPostgres;
    edits_[column.first].before += postgres ? "CAST(" : "date(";
    edits_[column.second].after = (postgres ? " AS date)" : ")") + edits_[column.second].after;
  }

  void RewriteLiteralsAndNames() {
    for (size_t k = 0; k < sig_.size(); ++k) {
      const size_t i = sig_[k];
      const SqlToken& t = tokens_[i];
      if (edits_[i].replaced) continue;
      if (t.kind == SqlTokenKind::kString || t.kind == SqlTokenKind::kNationalString) {
        const std::string value = SqlStringValue(t);
        if (t.kind == SqlTokenKind::kNationalString) {
          Replace(i, std::string(t.text.substr(1)));  // SQLite text is Unicode already
        }
      } else if (target_ == Target::kPostgres &&
                 (t.kind == SqlTokenKind::kBracketed || t.kind == SqlTokenKind::kQuotedName)) {
        Replace(i, PostgresName(SqlNameOf(t)));
      } else if (t.kind == SqlTokenKind::kBracketed &&
                 t.text.find("]]") != std::string_view::npos) {
        Replace(i, DoubleQuoted(SqlNameOf(t)));  // SQLite brackets have no "]]" escape
      }
    }
    if (target_ == Target::kPostgres) return;  // PostgreSQL comments nest as T-SQL's do
    // T-SQL block comments nest, SQLite's do not: break the inner markers.
    for (size_t i = 0; i < tokens_.size(); ++i) {
      const std::string_view c = tokens_[i].text;
      if (tokens_[i].kind != SqlTokenKind::kComment || c.substr(0, 2) != "/*") continue;
      const std::string_view inner = c.substr(2, c.size() - 4);
      if (inner.find("/*") == std::string_view::npos &&
          inner.find("*/") == std::string_view::npos) {
        continue;
      }
      Replace(i, "/*" + MarkersBroken(inner) + "*/");
    }
  }

  // A blank between the two characters of every inner "/*" and "*/".
  static std::string MarkersBroken(std::string_view inner) {
    std::string text;
    for (size_t p = 0; p < inner.size(); ++p) {
      text += inner[p];
      if (p + 1 < inner.size() &&
          ((inner[p] == '/' && inner[p + 1] == '*') || (inner[p] == '*' && inner[p + 1] == '/'))) {
        text += ' ';
      }
    }
    return text;
  }

  std::string TargetName() const { return target_ == Target::kPostgres ? "PostgreSQL" : "SQLite"; }

  // SQL Server sorts Null before every value; PostgreSQL after, unless told.
  void SortNullsAsSqlServer() {
    for (size_t k = 0; k + 1 < sig_.size(); ++k) {
      if (!SigWord(k, "ORDER") || !SigWord(k + 1, "BY")) continue;
      size_t j = k + 2;
      for (;; ++j) {
        const bool end = j >= sig_.size() || SigSymbol(j, ")") || SigSymbol(j, ";") ||
                         SigWord(j, "UNION") || SigWord(j, "EXCEPT") || SigWord(j, "INTERSECT") ||
                         SigWord(j, "LIMIT") || SigWord(j, "OFFSET") || SigWord(j, "FOR");
        if (end || SigSymbol(j, ",")) {
          if (j > k + 2) {
            const bool descending = SigWord(j - 1, "DESC");
            edits_[sig_[j - 1]].after += descending ? " NULLS LAST" : " NULLS FIRST";
          }
          if (end) break;
        } else if (SigSymbol(j, "(")) {
          j = match_[j];
        }
      }
      k = j;
    }
  }

  bool IsDateColumn(std::string_view name) const {
    return options_.is_date_column && options_.is_date_column(name);
  }

  // The column whose name is the significant token k (the last part of a
  // qualified name) is a date column.
  bool DateColumnEndsAt(size_t k) const {
    return k < sig_.size() && IsName(S(k)) && IsDateColumn(SqlNameOf(S(k)));
  }

  std::string_view sql_;
  const SqlDialectOptions& options_;
  Target target_;
  std::vector<SqlToken> tokens_;
  std::vector<Edit> edits_;
  std::vector<size_t> sig_;    // indices of the significant tokens
  std::vector<size_t> match_;  // per significant parenthesis: its partner
  std::set<size_t> wrapped_;   // first tokens of the date columns put in date()
};

}  // namespace

std::string AdaptTsqlForSqlite(std::string_view tsql, const SqlDialectOptions& options) {
  return TsqlAdapter(tsql, options, Target::kSqlite).Run();
}

std::string AdaptTsqlForPostgres(std::string_view tsql, const SqlDialectOptions& options) {
  return TsqlAdapter(tsql, options, Target::kPostgres).Run();
}

std::function<bool(std::string_view column)> ColumnNameMatcher(std::vector<std::string> names) {
  return [names = std::move(names)](std::string_view column) {
    for (const std::string& n : names) {
      if (EqualsNoCase(n, column)) return true;
    }
    return false;
  };
}

std::string QuoteSqlText(std::string_view value) {
  std::string out = "'";
  out.reserve(value.size() + 2);
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

}  // namespace tarvolin
