#include "host/json_reader.h"

#include <nlohmann/json.hpp>

namespace tarvolin::json {
namespace {

// Builds the tree from the parser's events. `path_` holds the open containers;
// a container is only ever appended to while it is the innermost, so the
// pointers to its ancestors stay valid.
class TreeBuilder {
 public:
  using Json = nlohmann::json;

  explicit TreeBuilder(Value& root) : root_(root) {}

  const std::string& error() const { return error_; }

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
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
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
  std::vector<Value*> path_;
  std::string key_;
  std::string error_;
};

}  // namespace

const Value* Value::Find(std::string_view key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return &value;
  }
  return nullptr;
}

bool Parse(std::string_view text, Value& out, std::string& error) {
  Value root;
  TreeBuilder builder(root);
  if (!nlohmann::json::sax_parse(text.begin(), text.end(), &builder)) {
    error = builder.error().empty() ? "not valid JSON" : builder.error();
    return false;
  }
  out = std::move(root);
  return true;
}

}  // namespace tarvolin::json
