// Adapts the T-SQL text the engine builds for SQL Server to SQLite or
// PostgreSQL, and quotes text values for statements.
//
// AdaptTsqlForSqlite rewrites only what SQLite reads differently and copies
// every other byte (layout, CR LF, letter case, literal contents) unchanged:
//   - table hints "WITH (NOLOCK)" (any hints in the parentheses) are removed;
//   - "SELECT [ALL|DISTINCT] TOP n" / "TOP (n)" loses the TOP and gets " LIMIT n"
//     at the end of that SELECT (before its closing parenthesis, a ";" or the end);
//   - ISNULL(...) becomes IFNULL(...); N'...' becomes '...';
//   - a "dbo." schema prefix is dropped (tables and scalar functions: the
//     connection registers those functions under their bare names);
//   - a table of another database "db.dbo.T", "[db].[dbo].[T]" or "db..T"
//     becomes "\"db\".T": that database is attached under its own name;
//   - dates compare as days: a date literal ('YYYYMMDD', 'YYYY-MM-DD' or
//     'YYYY-MM-DD HH:MM:SS') compared with =, <>, !=, <, >, <=, >=, !<, !> or
//     BETWEEN ... AND with a date column becomes 'YYYY-MM-DD' and the column
//     becomes date(column); a date column in an ORDER BY becomes date(column).
//     So a value stored with a time of day is in force on its own day, and two
//     values of one day tie in a sort (the next sort key decides).
// Null ordering needs no rewrite: SQLite, like SQL Server, sorts NULL before
// every value (first ascending, last descending).
//
// Raises 3001 (source "SqlDialect") for text that is not a statement: an
// unterminated literal, name or comment, unbalanced parentheses, TOP without a
// row count; 3251 for T-SQL that has no SQLite form here (TOP ... PERCENT,
// TOP ... WITH TIES, TOP in a UNION/EXCEPT/INTERSECT). Descriptions name the
// problem and its position.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvolin {

struct SqlDialectOptions {
  // True for a column that holds a date. Called with the bare column name (no
  // table qualifier, brackets removed); must compare case-insensitively.
  // Empty: no column is a date column.
  std::function<bool(std::string_view column)> is_date_column;
};

std::string AdaptTsqlForSqlite(std::string_view tsql, const SqlDialectOptions& options = {});

// The same adaptation for PostgreSQL, with these differences:
//   - ISNULL(...) becomes COALESCE(...);
//   - a date column compared or sorted as a day becomes CAST(column AS date);
//   - every ORDER BY item gets NULLS FIRST (ascending) or NULLS LAST (DESC),
//     since PostgreSQL otherwise sorts Null after every value;
//   - [name] and "name" become the bare name when it is a plain identifier, so
//     they fold to the same lower-case name as the engine's unquoted names;
//   - "db.dbo.T" becomes "\"db\".T": the other database is a schema of that name;
//   - nested block comments are left as they are (PostgreSQL nests them too).
// Text compares as on SQLite: byte for byte, trailing blanks significant (the
// PostgreSQL schema declares its text columns COLLATE "C").
std::string AdaptTsqlForPostgres(std::string_view tsql, const SqlDialectOptions& options = {});

// A test for is_date_column matching any of names, ASCII case-insensitive.
std::function<bool(std::string_view column)> ColumnNameMatcher(std::vector<std::string> names);

// "'" + value with every "'" doubled + "'": a text value that cannot end the
// literal early, whatever it holds.
std::string QuoteSqlText(std::string_view value);

}  // namespace tarvolin
