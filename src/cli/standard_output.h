// Standard output checked like any file the commands write: a full disk or a
// closed pipe is an error (75), not a lost document.
#pragma once

#include <ostream>
#include <string_view>

namespace tarvolin::cli {

// Writes text to out and flushes it; raises 75 naming standard output (and
// the system's reason when it gave one) when either fails.
void WriteStandardOutput(std::ostream& out, std::string_view text);

}  // namespace tarvolin::cli
