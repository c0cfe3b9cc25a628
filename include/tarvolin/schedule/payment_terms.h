// The payment-terms calculator: splits a document's amount into installments
// following the payment terms its payment code names. The engine sets its
// inputs from the document header and totals, starts it, and reads back a
// result code, the payment code it used, the installments and four totals.
//
// One calculator lives in the document (DocumentState::payment_terms); the
// engine makes one with MakePaymentTermsCalculator the first time it needs it.
// A host or a test may put its own there beforehand.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tarvolin/automation/variant.h"

namespace tarvolin {

class Connection;
class CurrentCompany;

// An amount in company currency and in document currency. The document
// currency side is Empty for a document kept in company currency.
struct AmountPair {
  Variant company;
  Variant document;
};

// What the calculator is given, named by role, in the order the engine sets it.
struct PaymentTermsInputs {
  Variant party_type;   // 0 customer, 1 supplier
  Variant party_code;   // 0: the document has no party
  bool option = false;  // always False from the engine; no meaning here
  std::string payment_code;
  std::string currency;            // the document currency (the company's when kept in it)
  Variant exchange_rate;           // document units per company unit; 0 in company currency
  std::string document_date;       // as text ("YYYY-MM-DD" or any form Date::Parse reads)
  std::string payment_start_date;  // "" when none: the document date is the start
  Variant first_reference_date;    // Date, or Empty
  Variant second_reference_date;   // Date, or Empty
  std::string stamps_flag;         // "1": the terms' stamps are charged
  std::string collection_flag;     // "1": the terms' collection expenses are charged
  bool no_staggering = false;      // one installment for the whole amount
  AmountPair fixed_amount;         // company side or document side, by the document's currency
  Variant fixed_amount_mode;       // 0, 1 or 2; Empty: the terms' own
  Variant numeric = 0;             // always 0 from the engine; no meaning here
  // The document amounts. Only the taxable amount and the tax are given
  // values by the engine; the others are 0 (or Empty).
  AmountPair first_amounts;
  AmountPair taxable;
  AmountPair tax;
  AmountPair further_amounts_1;
  AmountPair further_amounts_2;
};

// One installment, in company currency and document currency.
struct PaymentInstallment {
  Variant effect_type;     // TV02_TIPOEFF
  Variant effect_subtype;  // TV02_STIPOEFF, Null when none
  Variant due_date;        // a Date
  AmountPair amount;       // the installment, withholding included
  AmountPair tax;          // the tax part of the installment
  AmountPair withholding;
  AmountPair stamps;
  AmountPair collection_expenses;
  Variant interest_start_date;  // a Date: the date the installment's term runs from
};

// The result codes a calculation can give (0: done).
namespace payment_terms_result {
inline constexpr int32_t kDone = 0;
inline constexpr int32_t kNoConnection = 1;
inline constexpr int32_t kNoInstallments = 2;
inline constexpr int32_t kNoSubtypeDescription = 3;
inline constexpr int32_t kNoReferenceDate = 4;
inline constexpr int32_t kDueDateError = 5;
inline constexpr int32_t kFixedAmountAboveTotal = 7;
inline constexpr int32_t kNoCurrentCompany = 8;
inline constexpr int32_t kRoundingError = 9;
inline constexpr int32_t kToCompanyCurrencyError = 10;
inline constexpr int32_t kToDocumentCurrencyError = 11;
inline constexpr int32_t kNoParty = 12;
inline constexpr int32_t kRuntimeError = 99;
}  // namespace payment_terms_result

class PaymentTermsCalculator : public Object {
 public:
  std::string_view TypeName() const override { return "PaymentTermsCalculator"; }

  // Given once, when the document's calculator is made.
  std::shared_ptr<Connection> connection;
  std::string connection_string;
  std::shared_ptr<CurrentCompany> company;

  PaymentTermsInputs inputs;

  // Computes the installments from the inputs; mode is passed by the engine
  // as 2 (our calculator ignores it). Sets the outputs below; never throws: a
  // failure is a result code, with no installments and the totals 0.
  virtual void Calculate(int32_t& mode) = 0;

  // Outputs of the last calculation.
  int32_t result_code = 0;
  // Why it failed, naming the terms, date, currency or party at fault; "" when done.
  std::string result_description;
  std::string payment_code;  // the code actually used ("" or the input's: no substitution)
  std::vector<PaymentInstallment> installments;
  AmountPair total_stamps;
  AmountPair total_collection_expenses;
};

// Our calculator over the company database's payment terms (TV01_PAGAMENTI and
// TV02_PAGAMENTIRATE); its rules are in docs/payment-terms.md.
std::shared_ptr<PaymentTermsCalculator> MakePaymentTermsCalculator();

}  // namespace tarvolin
