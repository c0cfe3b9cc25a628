// The one error type of the system: number, source and description, as the
// automation error object carried them. Everything that fails raises an Error.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace tarvolin {

// Error numbers raised by the platform layer (the short forms hosts know).
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kNotSupported = 438;
inline constexpr int32_t kArgumentNotOptional = 449;
inline constexpr int32_t kWrongArgumentCount = 450;
inline constexpr int32_t kDuplicateKey = 457;
// Recordset and connection errors.
inline constexpr int32_t kBadArgument = 3001;
inline constexpr int32_t kNoCurrentRecord = 3021;
inline constexpr int32_t kNotAllowed = 3219;
inline constexpr int32_t kFeatureNotAvailable = 3251;
inline constexpr int32_t kItemNotFound = 3265;
inline constexpr int32_t kWrongValueType = 3421;
inline constexpr int32_t kObjectClosed = 3704;
inline constexpr int32_t kObjectOpen = 3705;
inline constexpr int32_t kConnectionUnusable = 3709;
}  // namespace err

// The platform's short description for a number ("Overflow" for 6); "" when unknown.
std::string_view StandardDescription(int32_t number);

class Error : public std::exception {
 public:
  Error(int32_t number, std::string source, std::string description);

  int32_t number() const noexcept { return number_; }
  const std::string& source() const noexcept { return source_; }
  const std::string& description() const noexcept { return description_; }
  void set_source(std::string source);
  // What the description leaves out for brevity (the whole statement a
  // database refused); "" when nothing. Shown on request only.
  const std::string& context() const noexcept { return context_; }
  Error&& WithContext(std::string context) && {
    context_ = std::move(context);
    return std::move(*this);
  }

  // "Error N (source): description", for logs and the command line.
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  void Compose();
  int32_t number_;
  std::string source_;
  std::string description_;
  std::string context_;
  std::string what_;
};

// Raises number with its standard description followed by detail (": detail"),
// so a description names the field, criterion or value at fault.
[[noreturn]] void Raise(int32_t number, std::string_view source, std::string_view detail = {});

// Raises with exactly the description given.
[[noreturn]] void RaiseText(int32_t number, std::string_view source, std::string_view description);

}  // namespace tarvolin
