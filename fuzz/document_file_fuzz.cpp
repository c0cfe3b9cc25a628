// The document reader on any text: it reads a document or raises a
// tarvolin::Error, and a document it read is written, read again and written
// again to the same text (the round trip the file format promises).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tarvolin/automation/error.h"
#include "tarvolin/host/document_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvolin;
  const std::string text(reinterpret_cast<const char*>(data), size);
  DocumentFile file;
  try {
    file = ParseDocumentFile(text, "fuzz.json");
  } catch (const Error&) {
    return 0;
  }
  std::string written;
  try {
    written = FormatDocumentFile(file);
  } catch (const Error&) {
    return 0;  // a value JSON cannot hold is refused, never written wrong
  }
  const std::string again = FormatDocumentFile(ParseDocumentFile(written, "written.json"));
  if (again != written) std::abort();
  return 0;
}
