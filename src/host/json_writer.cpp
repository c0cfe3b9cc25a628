#include "host/json_writer.h"

#include <nlohmann/json.hpp>

namespace tarvolin::json {

std::string Quoted(std::string_view text) {
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void Writer::NewLine(size_t depth) {
  out_ += '\n';
  out_.append(depth * 2, ' ');
}

void Writer::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (frames_.empty()) return;
  Frame& frame = frames_.back();
  if (frame.count++ > 0) out_ += ',';
  if (frame.inline_container) {
    if (frame.count > 1) out_ += ' ';
  } else {
    NewLine(frames_.size());
  }
}

void Writer::Open(char bracket, bool is_object, bool inline_container) {
  BeforeValue();
  out_ += bracket;
  const bool inside_inline = !frames_.empty() && frames_.back().inline_container;
  frames_.push_back({is_object, inline_container || inside_inline, 0});
}

void Writer::Close(char bracket) {
  const Frame frame = frames_.back();
  frames_.pop_back();
  if (!frame.inline_container && frame.count > 0) NewLine(frames_.size());
  out_ += bracket;
}

void Writer::BeginObject(bool inline_container) { Open('{', true, inline_container); }
void Writer::EndObject() { Close('}'); }
void Writer::BeginArray(bool inline_container) { Open('[', false, inline_container); }
void Writer::EndArray() { Close(']'); }

void Writer::Key(std::string_view key) {
  BeforeValue();
  out_ += Quoted(key);
  out_ += ": ";
  after_key_ = true;
}

void Writer::Null() {
  BeforeValue();
  out_ += "null";
}

void Writer::Boolean(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
}

void Writer::Number(std::string_view text) {
  BeforeValue();
  out_ += text;
}

void Writer::String(std::string_view text) {
  BeforeValue();
  out_ += Quoted(text);
}

std::string Writer::Finish() {
  out_ += '\n';
  return std::move(out_);
}

}  // namespace tarvolin::json
