// Paths that name one value of a recalculated document file, as the golden
// documents' expectations write them, and the comparison of that value with
// the one expected.
//
// Grammar:
//   path      := table-path | section-path | "db:" SELECT-statement
//   table-path   := TABLE "[" row "]" "." FIELD   a field of a row (row 1-based)
//                 | TABLE ".count"                its number of rows
//                 | TABLE ".sum(" FIELD ")"       a field summed over the rows
//                                                 (Null and unassigned as 0)
//   section-path := SECTION step* [".count"]      a value of another section
//   step         := "." KEY | "[" index "]"       (index 1-based)
// TABLE is a document recordset's name (DO30_DOCCORPO); SECTION any other
// top-level key of the file (state, totals, shown_messages...). ".count" of a
// list the file leaves out (nothing shown, nothing asked) is 0. A db: path
// names the first column of the first row the statement gives.
//
// Values: numbers (as numbers or text) compare exactly as decimals, so "53.97"
// equals 53.970 but not 53.971; text compares without the blanks that pad a
// CHAR field; null is Null; "(unassigned)" is a field the file leaves out.
#pragma once

#include <string>

#include "host/json_reader.h"
#include "tarvolin/automation/variant.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin::testing_support {

// A recalculated file: the document read back and its raw JSON, for the
// output-only sections the reader ignores.
struct WrittenDocument {
  DocumentFile file;
  json::Value raw;
};

bool IsDatabasePath(const std::string& path);

// Whether the value path names in written matches expected; got tells what
// was found (or why nothing was).
bool EvaluatePath(const std::string& path, const json::Value& expected,
                  const WrittenDocument& written, std::string& got);
bool EvaluateDatabasePath(const std::string& path, const json::Value& expected,
                          Connection& database, std::string& got);

// A JSON value as a failure message shows it.
std::string Shown(const json::Value& value);

}  // namespace tarvolin::testing_support
