// Document defaults by document, user group, user and site, and the
// price-list priority table the commission recalculation uses when it
// recovers prices.
#include <string>

#include "engine/engine_object.h"
#include "engine/statements.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

const Variant kZero(int16_t{0});

// A section or deposit counts when not blank, a priority table when not 0.
bool Found(int16_t kind, const Variant& value) {
  return kind == 2 ? NzDec(value) != kZero : !NzStr(value).empty();
}

const char* ColumnOf(int16_t kind) {
  switch (kind) {
    case 0:
      return "CO16_SEZ_CG68";
    case 1:
      return "CO16_DEP_MG58";
    case 2:
      return "CO16_IDPRIORITA_LP09";
    default:
      return nullptr;
  }
}

// Takes the kind's column of the first row, if found; false when there is none.
bool TakeFirstRow(const std::shared_ptr<Recordset>& rows, int16_t kind, Variant& value) {
  const char* column = ColumnOf(kind);
  if (!rows || rows->State() != ObjectState::kOpen || rows->Eof() || column == nullptr) {
    return false;
  }
  const Variant candidate = rows->Get(column);
  if (!Found(kind, candidate)) return false;
  value = candidate;
  return true;
}

// The value of kind Tipo the document-parameters service gives the
// document's type, when it is enabled and gives one.
bool FromDocumentParameters(const CurrentCompany& company, Recordset& header, int16_t Tipo,
                            const std::string& CodDocumento, CommissionSwitches& switches,
                            Variant& value) {
  if (!company.document_parameters || !company.document_parameters->Enabled() ||
      NzDec(header.Get("DO11_ID_CO1A")) == kZero) {
    return false;
  }
  switches.current_parameters = company.document_parameters->Parameters(
      NzDec(header.Get("DO11_ID_CO1A")).CLng(), CodDocumento);
  const auto parameters = switches.current_parameters;
  if (!parameters || !parameters->found) return false;
  const Variant candidate = Tipo == 0   ? parameters->section
                            : Tipo == 1 ? parameters->deposit
                            : Tipo == 2 ? parameters->priority_table
                                        : Variant();
  if (!Found(Tipo, candidate)) return false;
  value = candidate;
  return true;
}

}  // namespace

std::string CLSMG_TARVOLIN::CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale(
    const std::optional<Variant>& fvarDitta) {
  return statements::PreferredPriority(fvarDitta ? std::optional(NzDec(*fvarDitta).CStr())
                                                 : std::nullopt);
}

void CLSMG_TARVOLIN::GetValoreDefault(int16_t& Tipo, std::string& CodDocumento,
                                      Variant& Risultato) {
  WithLabel("GetValoreDefault:", [&] {
    auto document = RequireCc();
    CommissionSwitches& switches = document->Commissions().Switches();
    Risultato = kZero;
    Variant value{std::string()};
    switches.default_origin = 0;

    auto header = document->Recordsets().Get(DocumentTable::kHeader);
    if (!header) Raise(err::kObjectNotSet, "GetValoreDefault", "the document has no header");
    if (!header->Bof() && !header->Eof() && CodDocumento.empty()) {
      CodDocumento = NzStr(header->Get("DO11_DOCUM_MG36"));
    }
    std::string group, user;
    if (session_ && !session_->CurrentUser().empty()) {
      group = session_->CurrentUserGroup();
      user = session_->CurrentUser();
    }

    // The document-parameters object of the document type comes first.
    auto company = document->Company();
    if (session_ &&
        FromDocumentParameters(*company, *header, Tipo, CodDocumento, switches, value)) {
      switches.default_origin = 1;
    }
    // A quote in a code is doubled: it can never end the literal.
    const auto statement = [&](const std::optional<std::string>& site) {
      return statements::DocumentDefaults(document->CompanyNumber(), CodDocumento, group, user,
                                          site);
    };
    if (company->site_defaults == 1 && NzStr(value).empty()) {
      const std::string sql = statement(NzDec(header->Get("DO11_CODSEDE_CG31")).CStr());
      auto rows = RequireConnection()->Execute(sql, nullptr, execute_option::kCommandText);
      if (TakeFirstRow(rows, Tipo, value)) switches.default_origin = 2;
    }
    if (NzStr(value).empty()) {
      const std::string sql = statement(std::nullopt);
      auto rows = RequireConnection()->Execute(sql, nullptr, execute_option::kCommandText);
      if (TakeFirstRow(rows, Tipo, value)) switches.default_origin = 3;
    }
    Risultato = value;
  });
}

Variant CLSMG_TARVOLIN::GetTabellaPrioritaListiniP() {
  return WithLabel("GetTabellaPrioritaListiniP:", [&] {
    auto document = RequireCc();
    int16_t kind = 2;
    std::string code;
    Variant table;
    GetValoreDefault(kind, code, table);
    if (NzStr(table).empty()) table = document->DocumentSetting("TABPRIORLISPAR");
    if (NzStr(table).empty()) {
      const std::string sql = Self().CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale(
          Variant(document->CompanyNumber()));
      auto rows = RequireConnection()->Execute(sql, nullptr, execute_option::kCommandText);
      if (rows && rows->State() == ObjectState::kOpen && !rows->Eof()) table = rows->Get("LP09_ID");
    }
    return NzDec(table);
  });
}

}  // namespace tarvolin
