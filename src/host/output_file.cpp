#include "tarvolin/host/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "tarvolin/automation/error.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(std::string_view source, const std::string& path, int error) {
  RaiseText(err::kPathFileAccess, source,
            "Path/File access error: cannot write " + path + ": " + std::strerror(error));
}

// Writes the whole text, checking every write; false with errno set on failure.
bool WriteAll(int descriptor, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(descriptor, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Closes a descriptor once; the result of close counts (NFS reports late).
bool CloseChecked(int& descriptor) {
  const int result = ::close(descriptor);
  descriptor = -1;
  return result == 0;
}

}  // namespace

OutputFile::OutputFile(std::string path, std::string_view text, std::string_view source)
    : path_(std::move(path)), target_(path_), source_(source) {
  struct stat status {};
  const bool exists = ::stat(path_.c_str(), &status) == 0;
  if (!exists && errno != ENOENT) Fail(source_, path_, errno);
  if (exists && S_ISDIR(status.st_mode)) {
    RaiseText(err::kPathFileAccess, source_,
              "Path/File access error: cannot write " + path_ + ": it is a folder");
  }
  if (exists && !S_ISREG(status.st_mode)) {
    // A device, a pipe or a terminal: written in place, never replaced.
    int descriptor = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) Fail(source_, path_, errno);
    const bool written = WriteAll(descriptor, text);
    const int error = errno;
    if (!CloseChecked(descriptor) || !written) Fail(source_, path_, written ? errno : error);
    return;
  }
  if (exists) {
    std::error_code ec;
    const fs::path resolved = fs::canonical(path_, ec);
    if (!ec) target_ = resolved.string();
  }
  const std::string temporary = target_ + ".tmp" + std::to_string(::getpid());
  // A replaced file keeps its permissions; a new one gets the usual 0666 less the umask.
  const mode_t mode = exists ? (status.st_mode & 07777) : 0666;
  ::unlink(temporary.c_str());  // a leftover of a killed run with the same pid
  int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (descriptor < 0) Fail(source_, path_, errno);
  temporary_ = temporary;
  if (exists) (void)::fchmod(descriptor, mode);  // the umask must not narrow it
  bool written = WriteAll(descriptor, text) && ::fsync(descriptor) == 0;
  int error = errno;
  if (!CloseChecked(descriptor) && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    // A constructor that raises gets no destructor call: remove it here.
    ::unlink(temporary_.c_str());
    temporary_.clear();
    Fail(source_, path_, error);
  }
}

OutputFile::~OutputFile() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void OutputFile::Commit() {
  if (temporary_.empty()) return;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) Fail(source_, path_, errno);
  temporary_.clear();
}

}  // namespace tarvolin
