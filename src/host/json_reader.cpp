#include "host/json_reader.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tarvolin::json {
namespace {

// The parser refuses a number too large for a double (1e400) before the tree
// sees it, so the reader could not name its row and field. Such a number is
// handed over again as a string with this prefix, which the builder turns
// back into a number: its text, not a double, is what the reader uses.
constexpr std::string_view kOverflowMark = "\x01tarvolin-number:";
constexpr std::string_view kOverflowMarkJson = "\\u0001tarvolin-number:";
constexpr int kNlohmannNumberOverflow = 406;
constexpr int kMaxOverflowNumbers = 64;

// Builds the tree from the parser's events. `path_` holds the open containers;
// a container is only ever appended to while it is the innermost, so the
// pointers to its ancestors stay valid.
class TreeBuilder {
 public:
  using Json = nlohmann::json;

  TreeBuilder(Value& root, bool marked) : root_(root), marked_(marked) {}

  const std::string& error() const { return error_; }
  // The number that overflowed a double and where it ended, when it stopped the parse.
  const std::string& overflowed() const { return overflowed_; }
  size_t overflow_end() const { return overflow_end_; }

  bool null() { return Add(Value{}) != nullptr; }
  bool boolean(bool value) {
    Value v;
    v.kind = Value::Kind::kBoolean;
    v.boolean = value;
    return Add(std::move(v)) != nullptr;
  }
  bool number_integer(Json::number_integer_t value) { return Number(std::to_string(value)); }
  bool number_unsigned(Json::number_unsigned_t value) { return Number(std::to_string(value)); }
  bool number_float(Json::number_float_t, const Json::string_t& raw) { return Number(raw); }
  bool string(Json::string_t& value) {
    if (marked_ && value.starts_with(kOverflowMark))
      return Number(value.substr(kOverflowMark.size()));
    Value v;
    v.kind = Value::Kind::kString;
    v.text = std::move(value);
    return Add(std::move(v)) != nullptr;
  }
  bool binary(Json::binary_t&) {
    error_ = "binary data is not JSON text";
    return false;
  }
  bool start_object(std::size_t) { return Open(Value::Kind::kObject); }
  bool key(Json::string_t& key) {
    key_ = std::move(key);
    return true;
  }
  bool end_object() {
    path_.pop_back();
    return true;
  }
  bool start_array(std::size_t) { return Open(Value::Kind::kArray); }
  bool end_array() {
    path_.pop_back();
    return true;
  }
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& e) {
    if (e.id == kNlohmannNumberOverflow) {
      overflowed_ = token;
      overflow_end_ = position;
    }
    // "[json.exception.parse_error.101] parse error at line 1, column 5: ..."
    std::string message = e.what();
    const size_t bracket = message.find("] ");
    if (message.rfind("[json.exception", 0) == 0 && bracket != std::string::npos) {
      message.erase(0, bracket + 2);
    }
    error_ = std::move(message);
    return false;
  }

 private:
  bool Number(std::string raw) {
    Value v;
    v.kind = Value::Kind::kNumber;
    v.integral = raw.find_first_of(".eE") == std::string::npos;
    v.text = std::move(raw);
    return Add(std::move(v)) != nullptr;
  }

  bool Open(Value::Kind kind) {
    if (static_cast<int>(path_.size()) >= kMaxDepth) {
      error_ = "containers nested more than " + std::to_string(kMaxDepth) + " deep";
      return false;
    }
    Value v;
    v.kind = kind;
    Value* added = Add(std::move(v));
    path_.push_back(added);
    return true;
  }

  Value* Add(Value value) {
    if (path_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Value& parent = *path_.back();
    if (parent.kind == Value::Kind::kArray) {
      parent.items.push_back(std::move(value));
      return &parent.items.back();
    }
    parent.members.emplace_back(std::move(key_), std::move(value));
    key_.clear();
    return &parent.members.back().second;
  }

  Value& root_;
  bool marked_;  // the text carries numbers quoted with kOverflowMark
  std::vector<Value*> path_;
  std::string key_;
  std::string error_;
  std::string overflowed_;
  size_t overflow_end_ = 0;
};

}  // namespace

Value::Value() = default;
Value::Value(const Value&) = default;
Value::Value(Value&&) noexcept = default;
Value& Value::operator=(const Value&) = default;
Value& Value::operator=(Value&&) noexcept = default;
Value::~Value() = default;

const Value* Value::Find(std::string_view key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return &value;
  }
  return nullptr;
}

bool Parse(std::string_view text, Value& out, std::string& error) {
  std::string marked;  // the text with overflowing numbers quoted, once one is met
  for (int attempt = 0;; ++attempt) {
    const std::string_view input = marked.empty() ? text : std::string_view(marked);
    Value root;
    TreeBuilder builder(root, !marked.empty());
    if (nlohmann::json::sax_parse(input.begin(), input.end(), &builder)) {
      out = std::move(root);
      return true;
    }
    const std::string& token = builder.overflowed();
    const size_t end = std::min(builder.overflow_end(), input.size());
    const size_t start =
        token.empty() || end < token.size() ? std::string_view::npos : input.rfind(token, end);
    if (start == std::string_view::npos || attempt == kMaxOverflowNumbers) {
      error = builder.error().empty() ? "not valid JSON" : builder.error();
      return false;
    }
    marked = std::string(input.substr(0, start)) + "\"" + std::string(kOverflowMarkJson) + token +
             "\"" + std::string(input.substr(start + token.size()));
  }
}

}  // namespace tarvolin::json
