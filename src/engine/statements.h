// Every SQL statement the engine runs against the company database, each built
// by one function here: the procedures call them, and so do the tests that run
// the statements on the demo company. Text values go through SqlQuoted; numbers
// and dates arrive already written as the statement wants them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvolin::statements {

// The currencies with their amount decimals and the company's price decimals.
std::string CurrencyList(int company);
// A sundry expense's tax and calculation kinds.
std::string Expense(std::string_view code);
// An expense's brackets in a currency; with a base (SQL number text), only those up from it.
std::string ExpenseBrackets(std::string_view code, std::string_view currency,
                            const std::optional<std::string>& base = std::nullopt);

// The newest sales rate of a jurisdiction and tax group in force on a date (YYYYMMDD).
std::string TaxDetail(std::string_view jurisdiction, std::string_view group,
                      std::string_view yyyymmdd);
// The jurisdictions of a tax area with its rounding and their tax accounts.
std::string TaxAreaLines(std::string_view area);
std::string TaxDecimals();
// The asset database's name.
std::string ExternalDatabase();
// A tax group's (NV04, NV04_TAXGROUP) or jurisdiction's (NV02, NV02_TAXJURISDICTION) description.
std::string Description(std::string_view prefix, std::string_view table, std::string_view code);

// An account's description, the company's own before the chart's.
std::string AccountDescription(std::string_view company, std::string_view accounts_group,
                               std::string_view account);
std::string AssetDescription(std::string_view database, int company, std::string_view asset);

// Document defaults: for the document's site when a site is given, else without a site.
std::string DocumentDefaults(int company, std::string_view document, std::string_view group,
                             std::string_view user, const std::optional<std::string>& site);
// The preferred price-priority table; the company placeholder stays when none is given.
std::string PreferredPriority(const std::optional<std::string>& company);

// A document type's landed-cost switch (NV07_FLGFE or NV07_FLGDE).
std::string DocumentTypeSwitch(std::string_view column, std::string_view company,
                               std::string_view document_type);
// A landed unit cost from its database function, as COSTO.
std::string UnitCost(std::string_view function, std::string_view company, std::string_view item,
                     std::string_view option, std::string_view yyyymmdd);

// The payment schedule's reads: an account's kind, a bank, a suspending cause
// and a document's suspending block.
std::string AccountKind(std::string_view accounts_group, std::string_view account);
std::string Bank(int company, std::string_view progressive);
std::string SuspendingCause(std::string_view cause);
std::string SuspendedDocument(int company, std::string_view registration);

}  // namespace tarvolin::statements
