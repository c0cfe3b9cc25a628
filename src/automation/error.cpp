#include "tarvolin/automation/error.h"

#include <utility>

namespace tarvolin {

std::string_view StandardDescription(int32_t number) {
  switch (number) {
    case err::kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::kOverflow:
      return "Overflow";
    case err::kSubscriptOutOfRange:
      return "Subscript out of range";
    case err::kDivisionByZero:
      return "Division by zero";
    case err::kTypeMismatch:
      return "Type mismatch";
    case err::kObjectNotSet:
      return "Object variable or With block variable not set";
    case err::kInvalidUseOfNull:
      return "Invalid use of Null";
    case err::kNotSupported:
      return "Object doesn't support this property or method";
    case err::kArgumentNotOptional:
      return "Argument not optional";
    case err::kWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
    case err::kDuplicateKey:
      return "This key is already associated with an element of this collection";
    case err::kBadArgument:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
             "with one another";
    case err::kNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted";
    case err::kNotAllowed:
      return "Operation is not allowed in this context";
    case err::kFeatureNotAvailable:
      return "Current provider does not support the necessary interface";
    case err::kItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal";
    case err::kWrongValueType:
      return "Application uses a value of the wrong type for the current operation";
    case err::kObjectClosed:
      return "Operation is not allowed when the object is closed";
    case err::kObjectOpen:
      return "Operation is not allowed when the object is open";
    case err::kConnectionUnusable:
      return "The connection cannot be used to perform this operation";
    default:
      return "";
  }
}

Error::Error(int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {
  Compose();
}

void Error::set_source(std::string source) {
  source_ = std::move(source);
  Compose();
}

void Error::Compose() {
  what_ = "Error ";
  what_.append(std::to_string(number_));
  if (!source_.empty()) what_.append(" (").append(source_).append(")");
  what_.append(": ").append(description_);
}

void Raise(int32_t number, std::string_view source, std::string_view detail) {
  std::string description(StandardDescription(number));
  if (!detail.empty()) {
    if (!description.empty()) description += ": ";
    description += detail;
  }
  throw Error(number, std::string(source), std::move(description));
}

void RaiseText(int32_t number, std::string_view source, std::string_view description) {
  throw Error(number, std::string(source), std::string(description));
}

}  // namespace tarvolin
