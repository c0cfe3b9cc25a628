// What the host checks in a document it has read, before the engine sees it:
// that every record belongs to the document (its company and its registration
// number), that the company, the currency and the tax area exist in the
// company database, and that every amount fits its column.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tarvolin/db/connection.h"
#include "tarvolin/host/document_file.h"

namespace tarvolin {

// Raises kBadDocumentFile (source "DocumentFile") at the first fault, with a
// description that starts with file_name and names the record and field:
//   invoice.json: DO30_DOCCORPO row 2, field DO30_DITTA_CG18: 1 is not the
//   document's company (2)
// Returns the warnings (one line each): an unknown tax area on a document that
// is not liable to tax.
std::vector<std::string> CheckDocument(const DocumentFile& file, std::string_view file_name,
                                       Connection& connection);

}  // namespace tarvolin
