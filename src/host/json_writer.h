// A small JSON writer: indented output, numbers written from text as given (so
// a Decimal keeps its scale), strings escaped. A container opened inline is
// written on one line, with everything inside it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvolin::json {

class Writer {
 public:
  void BeginObject(bool inline_container = false);
  void EndObject();
  void BeginArray(bool inline_container = false);
  void EndArray();
  // The next value is this member's.
  void Key(std::string_view key);

  void Null();
  void Boolean(bool value);
  // `text` must be a valid JSON number.
  void Number(std::string_view text);
  void String(std::string_view text);

  // The text written so far, ending with a newline.
  std::string Finish();

 private:
  struct Frame {
    bool is_object;
    bool inline_container;
    int count;
  };
  void BeforeValue();
  void Open(char bracket, bool is_object, bool inline_container);
  void Close(char bracket);
  void NewLine(size_t depth);

  std::string out_;
  std::vector<Frame> frames_;
  bool after_key_ = false;
};

// The text as a quoted JSON string; invalid UTF-8 becomes U+FFFD.
std::string Quoted(std::string_view text);

}  // namespace tarvolin::json
