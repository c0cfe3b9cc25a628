// The host's in-memory core document: the document's recordsets (typed from
// the company schema), its state, the current company and the services the
// engine calls. What the engine shows or asks is recorded, so a command or a
// test can report it.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tarvolin/engine/core_document.h"

namespace tarvolin {

// A message the engine showed through the message box.
struct ShownMessage {
  std::string text;
  std::string title;
  int32_t style = 0;
};

// An error the engine handed to the error service, with the answer given.
struct AskedError {
  std::string procedure;
  int32_t number = 0;
  std::string source;
  std::string description;
  int answer = 0;
};

// The message catalogue: texts by number. A number without a text of its own
// uses the default text the engine passes. "%1", "%2"... take the parameters.
class MessageCatalogue {
 public:
  void Set(int32_t number, std::string text) { texts_[number] = std::move(text); }
  const std::map<int32_t, std::string>& texts() const { return texts_; }
  std::string Text(std::string_view default_text, int32_t number,
                   const VariantArray& parameters) const;

 private:
  std::map<int32_t, std::string> texts_;
};

// An empty recordset of a document table, typed from the company schema and
// open. The tax summary and unknown tables raise 3265 naming the table.
std::shared_ptr<Recordset> NewDocumentRecordset(DocumentTable table);

// ---- Agent commissions and document defaults ----

// The document's commission switches as the host keeps them. A refresh of the
// row agents is only counted: the host's agent rows are always current.
class HostCommissionSupport : public CommissionSupport {
 public:
  CommissionSwitches& Switches() override { return switches_; }
  bool RefreshNeeded() override { return refresh_needed_; }
  void RefreshRowAgents(bool, bool) override {
    ++refreshes_;
    refresh_needed_ = false;
  }
  std::shared_ptr<PreferencesReader> Preferences() override { return preferences_; }
  void set_refresh_needed(bool on) { refresh_needed_ = on; }
  int refreshes() const { return refreshes_; }

 private:
  CommissionSwitches switches_;
  std::shared_ptr<PreferencesReader> preferences_ = std::make_shared<PreferencesReader>();
  bool refresh_needed_ = false;
  int refreshes_ = 0;
};

// The company's document-parameter service over a table of parameters by
// document-type id and document code (the code compared ignoring case).
class HostDocumentParameters : public DocumentParameterService {
 public:
  struct Entry {
    int32_t type_id = 0;
    std::string code;
    Variant section, deposit, priority_table;
  };
  bool enabled = true;
  std::vector<Entry> entries;

  bool Enabled() override { return enabled; }
  std::shared_ptr<DocumentParameters> Parameters(int32_t type_id, const std::string& code) override;
};

class HostDocument : public CoreDocument,
                     private DocumentRecordsets,
                     private CompanyServices,
                     private CalculationServices,
                     private DialogueServices,
                     private RecalculationNotices,
                     private ErrorService,
                     private ExpenseLinks {
 public:
  explicit HostDocument(std::shared_ptr<CurrentCompany> company);

  // CoreDocument.
  DocumentRecordsets& Recordsets() override { return *this; }
  DocumentState& State() override { return state_; }
  bool InUse(DocumentTable table) override;
  bool NoConversion() override;
  std::shared_ptr<CurrentCompany> Company() override;
  int32_t CompanyNumber() override;
  CompanyServices& Services() override { return *this; }
  CurrencyCache& Currency() override { return currency_; }
  CalculationServices& Calculation() override { return *this; }
  DialogueServices& Dialogue() override { return *this; }
  RecalculationNotices& Notices() override { return *this; }
  CommissionSupport& Commissions() override { return commissions_; }
  HostCommissionSupport& commissions() { return commissions_; }
  Variant DocumentSetting(std::string_view property) override;
  void ReceiveTotals(std::shared_ptr<Dictionary> totals) override { totals_ = std::move(totals); }
  // The totals the last recalculation handed over (nullptr before any).
  const std::shared_ptr<Dictionary>& totals() const { return totals_; }

  // The host side.
  std::shared_ptr<Recordset> Get(DocumentTable table) override;
  void Set(DocumentTable table, std::shared_ptr<Recordset> recordset) override;
  void CreateRecord(DocumentTable table) override;
  void AddAgentRow(int16_t kind) override;
  void AgentsChanged() override { ++agent_notifications_; }
  int agent_notifications() const { return agent_notifications_; }
  void SetDocumentSetting(std::string name, Variant value);
  const std::vector<std::pair<std::string, Variant>>& document_settings() const {
    return settings_;
  }
  MessageCatalogue& catalogue() { return catalogue_; }
  void set_modified_row_tracking(bool on) { modified_row_tracking_ = on; }
  void set_exclude_accounting(bool on) { exclude_accounting_ = on; }
  // The answer the error service gives (default 3: leave the procedure). A
  // retry (4) of the same error is given kMaxRetries times in a row at most;
  // then the answer is to leave.
  static constexpr int kMaxRetries = 3;
  static constexpr int kLeave = 3;
  void set_error_answer(int answer) { error_answer_ = answer; }
  // Another error service in place of the host's own (nullptr: the host's).
  void set_error_service(std::shared_ptr<ErrorService> service) {
    error_service_ = std::move(service);
  }
  const std::vector<ShownMessage>& messages() const { return messages_; }
  const std::vector<AskedError>& asked_errors() const { return asked_errors_; }

  // ---- Calculation (src/host/host_calculation.cpp) ----
  // An empty recordset of linked expense records: LP11_NUMREG_CO99,
  // LP11_PROGRIGA, LP11_INDTIPOSPESA.
  static std::shared_ptr<Recordset> NewExpenseLinks();
  // The document's linked expense records; nullptr: it has no lookup.
  void set_expense_links(std::shared_ptr<Recordset> links) { expense_links_ = std::move(links); }
  const std::shared_ptr<Recordset>& expense_links() const { return expense_links_; }
  const std::array<Variant, 4>& withholding_bases() const { return withholding_bases_; }
  int price_notifications() const { return price_notifications_; }

 private:
  // CompanyServices.
  std::string CompanyCurrencyCode() override;
  bool ModifiedRowTracking() override { return modified_row_tracking_; }
  bool ExcludeAccounting() override { return exclude_accounting_; }
  // The host has no packages-and-weights calculator.
  std::optional<std::array<Variant, 4>> PackagesAndWeights(std::shared_ptr<Recordset>) override {
    return std::nullopt;
  }
  // RecalculationNotices: the host keeps what it is told and decides nothing.
  void EnsurePairedRecord() override {}
  void Options(bool, bool, bool) override {}
  void CounterpartsStep(bool) override;
  void ScheduleDecision(bool&, bool, bool) override {}
  void RowPassProperties(bool, const Variant&, const Variant&, const std::string&,
                         const std::string&) override {}
  std::string MessageText(std::string_view text, int32_t number,
                          const Variant& parameters) override;
  // CalculationServices.
  Variant DiscountByPercentage(const Variant& amount, const Variant& percentage,
                               std::string_view currency) override;
  Variant PercentageOf(const Variant& amount, const Variant& percentage,
                       std::string_view currency) override;
  Variant PrimaryRowRate(const std::shared_ptr<Recordset>& body) override;
  Variant SecondaryRowRate(const std::shared_ptr<Recordset>& body) override;
  double RateAmount(const Variant& price, const Variant& rate, std::string_view currency,
                    int16_t price_decimals) override;
  double NetOfIncludedRate(const Variant& price, const Variant& rate,
                           std::string_view currency) override;
  double AmountWithoutRate(const Variant& amount, const Variant& rate,
                           std::string_view currency) override;
  Variant ExpenseBase(std::string_view expense_code, bool company_currency, const Variant& limit,
                      bool whole_base) override;
  void RecalculateRow(const std::shared_ptr<Recordset>& body, bool net_too) override;
  void ChangePrice(int16_t unit, const std::shared_ptr<Recordset>& body, const Variant& price,
                   bool first_flag, bool second_flag) override;
  void RowPricesChanged(const std::shared_ptr<Recordset>&) override { ++price_notifications_; }
  ExpenseLinks* ExpenseLinkLookup() override { return expense_links_ ? this : nullptr; }
  Variant GetWithholdingBase(WithholdingBase base) override;
  void SetWithholdingBase(WithholdingBase base, const Variant& value) override;
  // ExpenseLinks.
  std::shared_ptr<Recordset> Find(const Variant& registration, const Variant& progressive) override;
  // The decimals the host rounds a price of currency to.
  int16_t PriceDecimals(std::string_view currency);
  std::string DocumentCurrency();
  // DialogueServices.
  std::string NumberAsSql(const Variant& number) override;
  int32_t MessageBox(std::string_view text, std::string_view title, int32_t style) override;
  ErrorService& Errors() override { return error_service_ ? *error_service_ : *this; }
  // ErrorService.
  int Ask(std::string_view procedure, int32_t number, std::string_view text, int32_t style,
          const Error& error) override;

  int16_t CurrencyDecimals(std::string_view currency) const;

  std::shared_ptr<CurrentCompany> company_;
  std::array<std::shared_ptr<Recordset>, kDocumentTableCount> recordsets_;
  DocumentState state_;
  CurrencyCache currency_;
  std::vector<std::pair<std::string, Variant>> settings_;
  MessageCatalogue catalogue_;
  int error_answer_ = kLeave;
  int consecutive_retries_ = 0;
  std::shared_ptr<ErrorService> error_service_;
  bool modified_row_tracking_ = true;
  bool exclude_accounting_ = false;
  std::shared_ptr<Dictionary> totals_;
  int agent_notifications_ = 0;
  std::vector<ShownMessage> messages_;
  std::vector<AskedError> asked_errors_;
  std::shared_ptr<Recordset> expense_links_;
  std::array<Variant, 4> withholding_bases_{Variant(int16_t{0}), Variant(int16_t{0}),
                                            Variant(int16_t{0}), Variant(int16_t{0})};
  int price_notifications_ = 0;
  HostCommissionSupport commissions_;
};

// The host's framework session: the current user and the message catalogue.
class HostSession : public FrameworkSession {
 public:
  HostSession(std::string user, std::string group)
      : user_(std::move(user)), group_(std::move(group)) {}
  std::string CatalogueText(int32_t number, const VariantArray& parameters) override;
  std::string CurrentUser() override { return user_; }
  std::string CurrentUserGroup() override { return group_; }
  const std::string& group() const { return group_; }
  MessageCatalogue& catalogue() { return catalogue_; }

 private:
  std::string user_;
  std::string group_;
  MessageCatalogue catalogue_;
};

// The calculation helper: converts between company and document currency at
// the document's rate (document units per company unit), rounding half away
// from zero to the target currency's decimals (2 for a currency the company
// does not list).
class HostCalculationHelper : public CalculationHelper {
 public:
  void SetCurrentCompany(std::shared_ptr<CurrentCompany> company) override {
    company_ = std::move(company);
  }
  std::shared_ptr<CurrentCompany> current_company() const override { return company_; }
  Variant ToCompanyCurrency(const Variant& amount, const Variant& rate,
                            std::string_view document_currency) override;
  Variant ToDocumentCurrency(const Variant& amount, const Variant& rate,
                             std::string_view document_currency) override;

 private:
  std::shared_ptr<CurrentCompany> company_;
};

}  // namespace tarvolin
