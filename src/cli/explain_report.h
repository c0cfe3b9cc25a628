// What `tarvolin explain` shows: the events the engine reported while it
// recalculated a document (ExplainRecorder, a calculation trace that keeps
// them), put beside the recalculated document and written as text or JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tarvolin/db/connection.h"
#include "tarvolin/engine/calculation_trace.h"
#include "tarvolin/host/host_document.h"
#include "tarvolin/host/tax_warnings.h"

namespace tarvolin::cli {

// Keeps every event of a recalculation in the order it came, and passes the
// row postings and rate look-ups on to a zero-tax warnings collector.
class ExplainRecorder : public CalculationTrace {
 public:
  struct TaxLine {
    TaxDetailLookup rate;
    std::optional<TaxLineCalculation> calculation;  // absent: no rate, no tax
  };

  void PercentageDiscountApplied(const PercentageFootDiscount& step) override;
  void AbsoluteDiscountShared(const AbsoluteFootDiscountShare& share) override;
  void RowPosted(const RowPosting& posting) override;
  void TaxDetailLookedUp(const TaxDetailLookup& lookup) override;
  void TaxLineCalculated(const TaxLineCalculation& calculation) override;

  const std::vector<PercentageFootDiscount>& percentage_discounts() const {
    return percentage_discounts_;
  }
  const std::vector<AbsoluteFootDiscountShare>& absolute_discounts() const {
    return absolute_discounts_;
  }
  const std::vector<RowPosting>& postings() const { return postings_; }
  const std::vector<TaxLine>& tax_lines() const { return tax_lines_; }
  // The warnings of what was recorded (taken once).
  std::vector<TaxWarning> TakeWarnings() { return warnings_.Take(); }

 private:
  std::vector<PercentageFootDiscount> percentage_discounts_;
  std::vector<AbsoluteFootDiscountShare> absolute_discounts_;
  std::vector<RowPosting> postings_;
  std::vector<TaxLine> tax_lines_;
  ZeroTaxWarnings warnings_;
};

struct Explanation {
  const ExplainRecorder& recorder;
  std::vector<TaxWarning> warnings;
  HostDocument& document;  // recalculated; its cursors are left where they are
  // The company database: the other rates of each jurisdiction and group are
  // read from it to say why the rate chosen won over them.
  Connection& connection;
};

// The explanation as a report for people: the document; each body row with its
// foot discounts; each counterpart line with its rows; each tax line with its
// rate, base, tax on tax, maximum, rounding and conversion; the warnings.
std::string FormatExplanationText(const Explanation& explanation);

// The same as a JSON object (docs/command-line.md lists its members).
std::string FormatExplanationJson(const Explanation& explanation);

}  // namespace tarvolin::cli
