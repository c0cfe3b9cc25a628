// A file the program writes, prepared in full before it is put in place, so
// that a failure loses nothing and replaces nothing that should not be.
//
// A regular file (or a new one) is written to a temporary file beside it
// (`<path>.tmp<pid>`), synced, and renamed over it only by Commit; a symbolic
// link is followed, so the file it names is replaced and the link stays. A
// device, a pipe or a terminal is written directly when the output is
// prepared: renaming over it would replace the device itself. A folder is
// refused. Every write, sync and close is checked: a failure raises 75 (path/
// file access error) naming the path and the system's reason, and removes the
// temporary file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvolin {

namespace err {
inline constexpr int32_t kPathFileAccess = 75;
}  // namespace err

class OutputFile {
 public:
  // Writes text: to the temporary file for a regular target, to the target
  // itself otherwise. source names the raiser of errors.
  OutputFile(std::string path, std::string_view text, std::string_view source);
  // Removes a temporary file that was never committed.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Puts a prepared regular file in place (nothing to do for a device).
  void Commit();

 private:
  std::string path_;       // as given, for messages
  std::string target_;     // the file replaced: path_ with its links followed
  std::string temporary_;  // empty once committed or when written directly
  std::string source_;
};

}  // namespace tarvolin
