#include "progress.h"

#include <cmath>
#include <cstdio>

namespace tarvolin::cli {
namespace {

// A terminal's bar is redrawn at most this often; a log gets a line at most
// this often, so a long batch leaves a readable trail and a short one none.
constexpr auto kTerminalInterval = std::chrono::milliseconds(100);
constexpr auto kLogInterval = std::chrono::seconds(10);
constexpr int kBarCells = 24;

std::string Duration(double seconds) {
  const auto whole = static_cast<int64_t>(std::llround(seconds));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(whole / 3600),
                  static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(whole / 60),
                  static_cast<long long>(whole % 60));
  }
  return text;
}

}  // namespace

std::string ProgressText(int64_t done, int64_t total, int64_t rows, double seconds) {
  const int64_t rate = seconds > 0 ? std::llround(static_cast<double>(rows) / seconds) : 0;
  const std::string left =
      done > 0 ? Duration(seconds / static_cast<double>(done) * static_cast<double>(total - done))
               : "--:--";
  return std::to_string(done) + "/" + std::to_string(total) + " documents, " +
         std::to_string(rate) + " rows/s, " + left + " left";
}

Progress::Progress(std::ostream* out, bool terminal, int64_t total)
    : out_(out), terminal_(terminal), total_(total) {}

void Progress::Line(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (out_ == nullptr) return;
  if (bar_width_ > 0) *out_ << '\r' << std::string(bar_width_, ' ') << '\r';
  *out_ << text << '\n';
  bar_width_ = 0;
  Draw(true);
}

void Progress::Done(int64_t rows) {
  std::lock_guard lock(mutex_);
  ++done_;
  rows_ += rows;
  Draw(false);
}

void Progress::Finish() {
  std::lock_guard lock(mutex_);
  if (out_ == nullptr || !terminal_) return;
  Draw(true);
  if (bar_width_ > 0) *out_ << '\n';
  bar_width_ = 0;
  out_->flush();
}

void Progress::Draw(bool force) {
  if (out_ == nullptr) return;
  const Clock::time_point now = Clock::now();
  const double seconds = std::chrono::duration<double>(now - start_).count();
  if (!terminal_) {
    if (now - last_shown_ < kLogInterval || done_ == total_) return;
    last_shown_ = now;
    *out_ << "tarvolin: " << ProgressText(done_, total_, rows_, seconds) << '\n';
    return;
  }
  if (!force && now - last_shown_ < kTerminalInterval && done_ != total_) return;
  last_shown_ = now;
  const int64_t filled = total_ > 0 ? done_ * kBarCells / total_ : 0;
  std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                    std::string(static_cast<size_t>(kBarCells - filled), '.') + "] " +
                    ProgressText(done_, total_, rows_, seconds);
  const size_t width = bar.size();
  if (width < bar_width_) bar += std::string(bar_width_ - width, ' ');
  *out_ << '\r' << bar;
  out_->flush();
  bar_width_ = width;
}

}  // namespace tarvolin::cli
