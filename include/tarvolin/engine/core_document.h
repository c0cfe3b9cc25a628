// The core document object as the engine sees it. The host owns the document:
// its recordsets, its state, the current company and the services the engine
// calls. Operations are grouped by family; each family is an interface of its
// own so a host can implement (and a test replace) one family at a time.
//
// Recordsets are live: what the engine writes through them (or their clones)
// is the document. A recordset the document does not have is nullptr.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarvolin/automation/dictionary.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/automation/variant.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin {

class PaymentTermsCalculator;
class CommissionSupport;
class DocumentParameterService;

// The document's recordsets by role, with the table each is typed from.
enum class DocumentTable {
  kHeader,            // DO11_DOCTESTATA
  kTotals,            // DO13_DOCTOTALI
  kAccessoryData,     // DO14_DOCDATIACC
  kAgents,            // DO21_DOCAGENTI
  kCounterpart,       // DO23_DOCCONTOPAR
  kHeaderAgents,      // DO29_DOCTESAGENTI
  kBody,              // DO30_DOCCORPO
  kBodyOrderData,     // DO31_DOCCORPOORD
  kCommissionRows,    // DO32_DOCCORPOPROV
  kLandedCosts,       // DO50_DOCCORPOCOSTI
  kDiscountDetail,    // DO69_DOCCORPOSCMAG
  kSchedule,          // DO79_DOCSCADENZE
  kCounterparts,      // CG42_RIGHECONT, with the working fields of the lines
  kGroupedRows,       // the host's grouped rows (same fields as the body)
  kTaxSummary,        // USA74, the engine's working recordset
  kCounterpartLinks,  // CG42_COLLEGAMENTI: which counterpart line each body row went into
};
inline constexpr int kDocumentTableCount = 16;

// The stored table a role is typed from ("DO30_DOCCORPO"); "USA74" for the
// tax summary, which has no table.
std::string_view DocumentTableName(DocumentTable table);
// The role of a table name (case-insensitive); false when it names none.
bool DocumentTableFromName(std::string_view name, DocumentTable& table);

class DocumentRecordsets {
 public:
  virtual ~DocumentRecordsets() = default;
  virtual std::shared_ptr<Recordset> Get(DocumentTable table) = 0;
  // Replaces (or, with nullptr, removes) a recordset of the document.
  virtual void Set(DocumentTable table, std::shared_ptr<Recordset> recordset) = 0;
  // Creates the document's record of a one-record table (totals, accessory
  // data) and leaves the recordset on it.
  virtual void CreateRecord(DocumentTable table) = 0;
  // Adds an agent row (kind 0: an agent met on the rows) and leaves the agents
  // recordset on it, its document keys filled.
  virtual void AddAgentRow(int16_t kind) = 0;
  // Tells the document an agent row's commission totals changed.
  virtual void AgentsChanged() = 0;
};

// The document's switches and running values the engine reads and writes.
// A plain record: the host decides them, the engine follows them.
struct DocumentState {
  // Whether the document uses a recordset; by default, whether it has it.
  std::optional<bool> in_use[kDocumentTableCount];
  int32_t highest_row_progressive = 0;
  // A body row the recalculation leaves out (Empty: none).
  Variant excluded_row_bookmark;
  // True when the document is kept in company currency (its _VAL fields Null);
  // by default, whether the document currency is the company currency.
  std::optional<bool> no_conversion;
  bool clear_discount_detail = false;  // discount switch: detail rows follow the row
  bool new_document = false;
  bool schedule_locked = false;
  bool totals_changed = false;
  bool grouped_rows = false;
  bool row_edit = false;
  int16_t document_mode = 0;
  // Installments entered by hand, used when the document has no payment code:
  // the count, and a table of installments 1..count by column 1..15 (column c
  // at index c - 1). A count beyond the table is an error when it is read.
  int16_t hand_entered_installments = 0;
  std::vector<std::array<Variant, 15>> installment_table;
  bool payment_substituted = false;
  std::string substituted_payment_code;
  // Agent flags: the document has header agents / agents met on the rows.
  bool header_agents = false;
  bool row_agents = false;
  // Installments of effect type 9 are never suspended by a document block.
  bool type9_never_suspended = false;
  bool use_reference_dates = false;
  // Set to 0 by the counterparts builder for some row types; its meaning is the host's.
  Variant counterpart_row_setting;
  // Whether the accessory totals (packages, weights, volume) follow the rows.
  bool accessory_totals = true;
  // A second row-edit flag: a row was inserted (row_edit: a row was changed).
  bool row_insert = false;
  // Document-level running values a recalculation resets to 0.
  Variant running_totals[10];
  Variant first_reference_date;
  Variant second_reference_date;
  // The payment-terms calculator; the engine makes it on first use.
  std::shared_ptr<PaymentTermsCalculator> payment_terms;
};

// The company the document belongs to, as the host's framework keeps it.
class CurrentCompany : public Object {
 public:
  std::string_view TypeName() const override { return "CurrentCompany"; }
  int32_t company_number = 0;
  std::string currency_code;  // the company currency
  Variant first_decimals;     // first decimals setting of the parameters
  Variant second_decimals;    // second decimals setting of the parameters
  std::string accounts_group;
  std::string customers_control_account;
  std::string suppliers_control_account;
  // Amount decimals by currency code (the company's currency list).
  std::vector<std::pair<std::string, int16_t>> currency_decimals;
  // Document defaults: 1 = looked up by site as well; the document-parameter
  // service (nullptr: the company has none).
  int16_t site_defaults = 0;
  std::shared_ptr<DocumentParameterService> document_parameters;

  // The amount decimals of a currency of the list; nullopt when absent.
  std::optional<int16_t> AmountDecimals(std::string_view currency) const;
};

// The services object of the company.
class CompanyServices {
 public:
  virtual ~CompanyServices() = default;
  virtual std::string CompanyCurrencyCode() = 0;
  // Whether the engine records the body rows it changes (the modified-row list).
  virtual bool ModifiedRowTracking() = 0;
  // The framework's flag: counterparts and payment schedule are not rebuilt.
  virtual bool ExcludeAccounting() = 0;
  // Packages, gross weight, net weight and volume computed from the body rows
  // (a clone with the body's filter and sort); nullopt when not available.
  virtual std::optional<std::array<Variant, 4>> PackagesAndWeights(
      std::shared_ptr<Recordset> body) = 0;
  // The text of message `number` (default text `text`), with `parameters`
  // (an array, or anything else for none) put into its %1, %2... places.
  virtual std::string MessageText(std::string_view text, int32_t number,
                                  const Variant& parameters) = 0;
};

// The current-currency cache the engine keeps in the document.
struct CurrencyCache {
  std::shared_ptr<Recordset> recordset;
  std::string code;
  int16_t amount_decimals = 0;
  int16_t price_decimals = 0;
};

// The records the host links to body rows that are calculated expenses,
// keyed by the row's registration number and progressive.
class ExpenseLinks {
 public:
  virtual ~ExpenseLinks() = default;
  // The linked record of a row, positioned so its fields can be read
  // (LP11_INDTIPOSPESA...); nullptr when the row has none.
  virtual std::shared_ptr<Recordset> Find(const Variant& registration,
                                          const Variant& progressive) = 0;
};

// The four bases a document keeps for withholdings and contributions.
enum class WithholdingBase {
  kIntegrativeContribution,
  kWithholdingTax,
  kAgentsFundWithholding,
  kSocialSecurityContribution,
};

// Arithmetic the host's framework offers on amounts, prices and rows.
// docs/prices-and-expenses.md gives the host's rules and their rounding.
class CalculationServices {
 public:
  virtual ~CalculationServices() = default;
  // amount less `percentage` %, rounded to the decimals of currency.
  virtual Variant DiscountByPercentage(const Variant& amount, const Variant& percentage,
                                       std::string_view currency) = 0;
  // `percentage` % of amount, rounded to the decimals of currency.
  virtual Variant PercentageOf(const Variant& amount, const Variant& percentage,
                               std::string_view currency) = 0;

  // ---- Rates, prices and expenses of body rows ----
  // The rate (a percentage) of the body's current row, and the rate it takes
  // when it has none of its own.
  virtual Variant PrimaryRowRate(const std::shared_ptr<Recordset>& body) = 0;
  virtual Variant SecondaryRowRate(const std::shared_ptr<Recordset>& body) = 0;
  // The rate amount of a price, rounded to price_decimals.
  virtual double RateAmount(const Variant& price, const Variant& rate, std::string_view currency,
                            int16_t price_decimals) = 0;
  // The price without the rate a price includes.
  virtual double NetOfIncludedRate(const Variant& price, const Variant& rate,
                                   std::string_view currency) = 0;
  // The amount without the rate an amount includes (extraction).
  virtual double AmountWithoutRate(const Variant& amount, const Variant& rate,
                                   std::string_view currency) = 0;
  // The base of an expense computed on the expense-base totals kind; with
  // whole_base false, the part of it up to limit.
  virtual Variant ExpenseBase(std::string_view expense_code, bool company_currency,
                              const Variant& limit, bool whole_base) = 0;
  // The current row's amounts from its quantity, prices, discounts and
  // mark-ups; with net_too, its amount net of foot discounts as well.
  virtual void RecalculateRow(const std::shared_ptr<Recordset>& body, bool net_too) = 0;
  // The host's own price change of the current row in unit 1, unit 2 or the
  // customer/supplier unit (unit 3), for a price that includes the row's rate.
  virtual void ChangePrice(int16_t unit, const std::shared_ptr<Recordset>& body,
                           const Variant& price, bool first_flag, bool second_flag) = 0;
  // The current row's prices changed.
  virtual void RowPricesChanged(const std::shared_ptr<Recordset>& body) = 0;
  // The expense-link lookup; nullptr when the document has none.
  virtual ExpenseLinks* ExpenseLinkLookup() = 0;
  virtual Variant GetWithholdingBase(WithholdingBase base) = 0;
  virtual void SetWithholdingBase(WithholdingBase base, const Variant& value) = 0;
};

// Messages to the user and the answer to errors.
class DialogueServices {
 public:
  virtual ~DialogueServices() = default;
  // A number as SQL text ("12.5", "-3"; "." as separator).
  virtual std::string NumberAsSql(const Variant& number) = 0;
  // The style of a message that only informs (an OK button and the information icon).
  static constexpr int32_t kInformationStyle = 64;
  // Shows a message; returns the button pressed.
  virtual int32_t MessageBox(std::string_view text, std::string_view title, int32_t style) = 0;
  virtual ErrorService& Errors() = 0;
};

// What the document is told, and may decide, during a recalculation.
class RecalculationNotices {
 public:
  virtual ~RecalculationNotices() = default;
  // A record the document pairs with its own flag must exist.
  virtual void EnsurePairedRecord() = 0;
  // The options of this recalculation.
  virtual void Options(bool exclude_accounting, bool counterparts, bool schedule) = 0;
  // The counterparts are about to be rebuilt (false: not kept from before).
  virtual void CounterpartsStep(bool keep) = 0;
  // The document may turn the schedule rebuild off.
  virtual void ScheduleDecision(bool& schedule, bool exclude_accounting, bool company_currency) = 0;
  // The row pass's properties, set before the pass.
  virtual void RowPassProperties(bool first, const Variant& second, const Variant& third,
                                 const std::string& fourth, const std::string& fifth) = 0;
};

class CoreDocument : public Object {
 public:
  std::string_view TypeName() const override { return "CoreDocument"; }

  virtual DocumentRecordsets& Recordsets() = 0;
  virtual DocumentState& State() = 0;
  // The state's flags with their defaults applied: a recordset is in use
  // unless the state says otherwise when the document has it; the document is
  // kept in company currency unless the state says otherwise when its currency
  // is the company's.
  virtual bool InUse(DocumentTable table) = 0;
  virtual bool NoConversion() = 0;
  // The current-company object; raises 91 when the document has none.
  virtual std::shared_ptr<CurrentCompany> Company() = 0;
  virtual int32_t CompanyNumber() = 0;
  virtual CompanyServices& Services() = 0;
  virtual CurrencyCache& Currency() = 0;
  virtual CalculationServices& Calculation() = 0;
  virtual DialogueServices& Dialogue() = 0;
  virtual RecalculationNotices& Notices() = 0;
  // Agent commissions and document defaults (below).
  virtual CommissionSupport& Commissions() = 0;
  // A property of the document settings object, read by name; Empty when the
  // settings object has no such property.
  virtual Variant DocumentSetting(std::string_view property) = 0;
  // Receives the totals of a recalculation, keyed by field name.
  virtual void ReceiveTotals(std::shared_ptr<Dictionary> totals) = 0;
};

// The framework session (the host's active interface).
class FrameworkSession : public Object {
 public:
  std::string_view TypeName() const override { return "FrameworkSession"; }
  // The catalogue's text for a message number, with parameters (an array,
  // possibly empty) in its %1, %2... places.
  virtual std::string CatalogueText(int32_t number, const VariantArray& parameters) = 0;
  virtual std::string CurrentUser() = 0;
  // The current user's group ("" when none).
  virtual std::string CurrentUserGroup() { return ""; }
};

// The shared calculation helper (Cls_Calcoli).
class CalculationHelper : public Object {
 public:
  std::string_view TypeName() const override { return "CalculationHelper"; }
  virtual void SetCurrentCompany(std::shared_ptr<CurrentCompany> company) = 0;
  virtual std::shared_ptr<CurrentCompany> current_company() const = 0;
  // An amount in document currency to company currency at rate (document
  // units per company unit), rounded to the company currency's decimals.
  virtual Variant ToCompanyCurrency(const Variant& amount, const Variant& rate,
                                    std::string_view document_currency) = 0;
  // An amount in company currency to document currency at rate, rounded to the
  // document currency's decimals.
  virtual Variant ToDocumentCurrency(const Variant& amount, const Variant& rate,
                                     std::string_view document_currency) = 0;
};

// ---- Agent commissions and document defaults ----

class CommissionCalculator;  // tarvolin/commissions/commission_calculator.h

// The user's preferences as the framework reads them, by name; Empty when not set.
class PreferencesReader : public Object {
 public:
  std::string_view TypeName() const override { return "PreferencesReader"; }
  Variant Get(std::string_view name) const;
  void Set(std::string name, Variant value);

 private:
  std::vector<std::pair<std::string, Variant>> values_;
};

// The defaults the document-parameter setup gives one document type and code.
class DocumentParameters : public Object {
 public:
  std::string_view TypeName() const override { return "DocumentParameters"; }
  bool found = false;
  Variant section;         // default document section
  Variant deposit;         // default warehouse deposit
  Variant priority_table;  // default price-list priority table
};

// The company's document-parameter service.
class DocumentParameterService {
 public:
  virtual ~DocumentParameterService() = default;
  virtual bool Enabled() = 0;
  // The parameters of a document type and code (found false when it has none).
  virtual std::shared_ptr<DocumentParameters> Parameters(int32_t type_id,
                                                         const std::string& code) = 0;
};

// The document's switches around commissions and defaults, set and read by the engine.
struct CommissionSwitches {
  // The document's commission calculator; the engine makes it on first use.
  std::shared_ptr<CommissionCalculator> calculator;
  // Set when the document has no header agents (first) or no row agents
  // (second): an option of the services object and one of the document.
  bool service_no_header_agents = false;
  bool document_header_agents = true;
  bool service_no_row_agents = false;
  bool document_row_agents = true;
  // Row-agent refresh: the services option that asks for it and the services
  // Boolean kept off while it runs; the document's switch on while it runs.
  bool refresh_option = false;
  bool refresh_boolean = false;
  bool refreshing = false;
  // Prices are recovered on rows whose discounts were changed (DO30_FLGPRSCVAR).
  bool price_recovery = false;
  std::string do67_temp_table;  // the temporary commission table's name
  // Where the last document default came from: 0 none, 1 the parameters
  // object, 2 the query with site, 3 the query without.
  int16_t default_origin = 0;
  std::shared_ptr<DocumentParameters> current_parameters;
};

// What the document offers around commissions and defaults.
class CommissionSupport {
 public:
  virtual ~CommissionSupport() = default;
  virtual CommissionSwitches& Switches() = 0;
  // Whether the row agents must be refreshed, and the refresh itself.
  virtual bool RefreshNeeded() = 0;
  virtual void RefreshRowAgents(bool first, bool second) = 0;
  // The preferences reader of the services object.
  virtual std::shared_ptr<PreferencesReader> Preferences() = 0;
};

}  // namespace tarvolin
