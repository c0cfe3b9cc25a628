// The document file: a whole document as JSON, read into the host's core
// document before the engine runs and written back after it. docs/document-file.md
// describes the format.
//
// Reading is all or nothing: a file that is not JSON, lacks a required section,
// has an unknown section, recordset or field, or holds a value its field cannot
// take raises kBadDocumentFile (source "DocumentFile") with a description that
// starts with the file name and names the recordset, the row (1-based), the
// field and the value at fault:
//   invoice.json: DO30_DOCCORPO row 2, field DO30_QTA1: "abc" is not a number
// Amounts never pass through a binary double: numbers are taken from the text
// as written and written with their scale (12.50 stays 12.50).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvolin/automation/dictionary.h"
#include "tarvolin/automation/variant.h"
#include "tarvolin/host/host_document.h"
#include "tarvolin/host/tax_warnings.h"

namespace tarvolin {

namespace err {
inline constexpr int32_t kBadDocumentFile = 31037;
}  // namespace err

struct DocumentFile {
  std::shared_ptr<HostDocument> document;
  std::shared_ptr<HostSession> session;
  // What the document's error service answers, when the file sets it. Kept here
  // because the document does not expose the answer it was given.
  std::optional<int> error_answer;
};

// What the engine handed back besides the document, written to the output file.
struct EngineOutcome {
  Variant edited_rows;                 // the engine's ArrRigheModificate, Empty when none
  std::shared_ptr<Dictionary> totals;  // the totals handed to the document (may be null)
  std::vector<TaxWarning> warnings{};  // rows that bear no tax, and why; written only when any
};

// Builds the document a file describes. file_name only names the file in error
// descriptions. The session is always made (empty user and group when the file
// has no "session").
DocumentFile ParseDocumentFile(std::string_view json_text, std::string_view file_name);

// Reads and parses a file; 53 (file not found) or 75 (path/file access error)
// when it cannot be read.
DocumentFile ReadDocumentFile(const std::string& path);

// The file's text: the document, its state and settings, what the engine showed
// or asked, and (with an outcome) the engine's edited rows, totals and warnings. Raises 91
// when there is no document or it has no company, kBadDocumentFile for a value
// JSON cannot hold (an object in a field, a NaN).
std::string FormatDocumentFile(const DocumentFile& file, const EngineOutcome* outcome = nullptr);

// Writes all or nothing: the text goes to a temporary file beside `path`, which
// then replaces it. 75 when the file cannot be written.
void WriteDocumentFile(const std::string& path, const DocumentFile& file,
                       const EngineOutcome* outcome = nullptr);

}  // namespace tarvolin
