#include "tarvolin/engine/core_document.h"

#include "tarvolin/automation/text.h"

#include <algorithm>
#include <cctype>

namespace tarvolin {
namespace {

constexpr std::string_view kTableNames[kDocumentTableCount] = {
    "DO11_DOCTESTATA",    "DO13_DOCTOTALI",     "DO14_DOCDATIACC",
    "DO21_DOCAGENTI",     "DO23_DOCCONTOPAR",   "DO29_DOCTESAGENTI",
    "DO30_DOCCORPO",      "DO31_DOCCORPOORD",   "DO32_DOCCORPOPROV",
    "DO50_DOCCORPOCOSTI", "DO69_DOCCORPOSCMAG", "DO79_DOCSCADENZE",
    "CG42_RIGHECONT",     "DO30_RAGGRUPPATE",   "USA74",
    "CG42_COLLEGAMENTI",
};

}  // namespace

std::string_view DocumentTableName(DocumentTable table) {
  return kTableNames[static_cast<int>(table)];
}

bool DocumentTableFromName(std::string_view name, DocumentTable& table) {
  for (int i = 0; i < kDocumentTableCount; ++i) {
    if (EqualsNoCase(kTableNames[i], name)) {
      table = static_cast<DocumentTable>(i);
      return true;
    }
  }
  return false;
}

std::optional<int16_t> CurrentCompany::AmountDecimals(std::string_view currency) const {
  for (const auto& [code, decimals] : currency_decimals) {
    if (EqualsNoCase(code, currency)) return decimals;
  }
  return std::nullopt;
}

Variant PreferencesReader::Get(std::string_view name) const {
  for (const auto& [key, value] : values_) {
    if (EqualsNoCase(key, name)) return value;
  }
  return {};
}

void PreferencesReader::Set(std::string name, Variant value) {
  for (auto& [key, stored] : values_) {
    if (EqualsNoCase(key, name)) {
      stored = std::move(value);
      return;
    }
  }
  values_.emplace_back(std::move(name), std::move(value));
}

}  // namespace tarvolin
