// Progress of a batch on standard error: a bar redrawn in place on a terminal,
// a plain line now and then otherwise (a log keeps every line it is sent).
// Workers report from their own threads; every call is safe from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace tarvolin::cli {

// "37/100 documents, 2480 rows/s, 0:12 left": the rate from the rows done so
// far, the time left from the documents still to do at the pace so far
// ("--:-- left" until a document is done).
std::string ProgressText(int64_t done, int64_t total, int64_t rows, double seconds);

class Progress {
 public:
  using Clock = std::chrono::steady_clock;

  // out: where progress goes (standard error); terminal: out is a terminal,
  // so the bar is redrawn in place; total: the documents of the batch.
  Progress(std::ostream* out, bool terminal, int64_t total);

  // A line of its own (a warning, a failed document), kept above the bar.
  void Line(std::string_view text);
  // One more document done (failed ones too); rows: its body rows, 0 when it failed.
  void Done(int64_t rows);
  // Ends the bar (a terminal gets its last state and a line break).
  void Finish();

  // A progress that shows nothing (benchmarks, tests).
  static Progress Silent() { return Progress(nullptr, false, 0); }

 private:
  void Draw(bool force);  // with mutex_ held

  std::ostream* out_;
  bool terminal_;
  int64_t total_;
  int64_t done_ = 0;
  int64_t rows_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_shown_ = start_;
  size_t bar_width_ = 0;  // characters of the bar now on the terminal's line
  std::mutex mutex_;
};

}  // namespace tarvolin::cli
