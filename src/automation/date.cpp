#include <cmath>
#include <cstdio>
#include <string>

#include "tarvolin/automation/variant.h"

namespace tarvolin {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian civil date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// 1899-12-30 is day 0 of the automation calendar.
constexpr int64_t kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01

bool ValidYmd(int y, int m, int d) {
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Reads exactly `width` digits (or 1..width when width is negative) at pos.
bool ReadNumber(std::string_view text, size_t& pos, int min_digits, int max_digits, int& out) {
  int digits = 0;
  out = 0;
  while (pos < text.size() && digits < max_digits && text[pos] >= '0' && text[pos] <= '9') {
    out = out * 10 + (text[pos] - '0');
    ++pos;
    ++digits;
  }
  return digits >= min_digits;
}

}  // namespace

Date Date::FromYmd(int year, int month, int day, int hour, int minute, int second) {
  const int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kEpochOffset;
  const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Before day 0 the automation calendar keeps the time fraction positive
  // while the integer part counts backwards.
  return Date{days >= 0 ? static_cast<double>(days) + fraction
                        : static_cast<double>(days) - fraction};
}

namespace {

// The day part: YYYYMMDD, YYYY-M-D (ISO) or M/D/YYYY (US).
bool ReadDay(std::string_view text, size_t& pos, int& y, int& m, int& d) {
  if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string_view::npos) {
    y = std::stoi(std::string(text.substr(0, 4)));
    m = std::stoi(std::string(text.substr(4, 2)));
    d = std::stoi(std::string(text.substr(6, 2)));
    pos = 8;
    return true;
  }
  int a = 0, b = 0, c = 0;
  if (!ReadNumber(text, pos, 1, 4, a) || pos >= text.size()) return false;
  const char sep = text[pos];
  if (sep != '-' && sep != '/') return false;
  ++pos;
  if (!ReadNumber(text, pos, 1, 2, b) || pos >= text.size() || text[pos] != sep) return false;
  ++pos;
  if (!ReadNumber(text, pos, 1, 4, c)) return false;
  if (sep == '-') {
    y = a, m = b, d = c;  // ISO
  } else {
    m = a, d = b, y = c;  // US M/D/YYYY
  }
  return true;
}

// The time after the day, from its separator (blank or T) to the end:
// H:MM, H:MM:SS or H:MM:SS.fff.
bool ReadTime(std::string_view text, size_t& pos, int& hh, int& mm, int& ss) {
  if (text[pos] != ' ' && text[pos] != 'T') return false;
  ++pos;
  if (!ReadNumber(text, pos, 1, 2, hh) || pos >= text.size() || text[pos] != ':') return false;
  ++pos;
  if (!ReadNumber(text, pos, 2, 2, mm)) return false;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!ReadNumber(text, pos, 2, 2, ss)) return false;
    // Fractions of a second, as databases print them, are dropped.
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    }
  }
  return pos == text.size() && hh <= 23 && mm <= 59 && ss <= 59;
}

}  // namespace

std::optional<Date> Date::Parse(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  size_t pos = 0;
  int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
  if (!ReadDay(text, pos, y, m, d)) return std::nullopt;
  if (pos < text.size() && !ReadTime(text, pos, hh, mm, ss)) return std::nullopt;
  if (!ValidYmd(y, m, d)) return std::nullopt;
  return FromYmd(y, m, d, hh, mm, ss);
}

void Date::ToYmd(int& year, int& month, int& day) const {
  const auto days = static_cast<int64_t>(std::trunc(serial));
  CivilFromDays(days - kEpochOffset, year, month, day);
}

void Date::ToHms(int& hour, int& minute, int& second) const {
  const double fraction = std::fabs(serial - std::trunc(serial));
  auto seconds = static_cast<int64_t>(std::llround(fraction * 86400.0));
  if (seconds >= 86400) seconds = 86399;
  hour = static_cast<int>(seconds / 3600);
  minute = static_cast<int>(seconds / 60 % 60);
  second = static_cast<int>(seconds % 60);
}

std::string Date::ToIso() const {
  int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
  ToYmd(y, m, d);
  ToHms(hh, mm, ss);
  char buffer[32];
  if (hh == 0 && mm == 0 && ss == 0) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mm, ss);
  }
  return buffer;
}

std::string Date::ToYmdText() const {
  int y = 0, m = 0, d = 0;
  ToYmd(y, m, d);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", y, m, d);
  return buffer;
}

Date Date::DateOnly() const { return Date{std::trunc(serial)}; }

}  // namespace tarvolin
