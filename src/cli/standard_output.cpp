#include "standard_output.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "tarvolin/automation/error.h"
#include "tarvolin/host/output_file.h"

namespace tarvolin::cli {

void WriteStandardOutput(std::ostream& out, std::string_view text) {
  errno = 0;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  if (out) return;
  const int error = errno;
  std::string description = "Path/File access error: cannot write standard output";
  if (error != 0) description += std::string(": ") + std::strerror(error);
  RaiseText(err::kPathFileAccess, "tarvolin", description);
}

}  // namespace tarvolin::cli
