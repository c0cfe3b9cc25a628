// Landed costs: transport and duty costs loaded onto the goods rows of a
// purchase document, recorded per row in the landed-cost recordset so that
// zeroing can take exactly that amount back out. Transport and duty are the
// same procedures over different names.
#include <algorithm>

#include "engine/engine_object.h"
#include "engine/statements.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

struct CostKind {
  const char* cost_field;       // DO50_SPESETR
  const char* flag_field;       // DO50_FLGSPESETR
  const char* doc_type_switch;  // NV07_FLGFE
  const char* function;         // DBO.FNMG_GETSPTRASPMP
  const char* zeroing_label;
  const char* annotation_label;
  const char* doc_type_label;
  const char* row_cost_label;  // appended after the incoming source
};

constexpr CostKind kTransport = {"DO50_SPESETR",
                                 "DO50_FLGSPESETR",
                                 "NV07_FLGFE",
                                 "DBO.FNMG_GETSPTRASPMP",
                                 "AzzeramentoSpeseTrasportoACosto:",
                                 "AnnotazioneSpeseTrasportoACosto:",
                                 "IsDocSpeseTrasp:",
                                 "GetSpeseTrasporto"};
constexpr CostKind kDuty = {"DO50_SPESEDZ",
                            "DO50_FLGSPESEDZ",
                            "NV07_FLGDE",
                            "DBO.FNMG_GETSPDAZIMP",
                            "AzzeramentoSpeseDaziACosto:",
                            "AnnotazioneSpeseDaziACosto:",
                            "IsDocSpeseDazi:",
                            "GetSpeseDazi"};

const Variant kZero(int16_t{0});

// Whether the document type carries the cost.
bool IsDocSpese(Connection& connection, const CostKind& kind, const Variant& company,
                const Variant& document_type) {
  return WithLabel(kind.doc_type_label, [&] {
    const std::string sql =
        statements::DocumentTypeSwitch(kind.doc_type_switch, company.CStr(), document_type.CStr());
    auto rs = connection.Execute(sql, nullptr, execute_option::kCommandText);
    if (rs->State() != ObjectState::kOpen || rs->Eof()) return false;
    // A switch left Null means the type does not carry the cost.
    return NzDec(rs->Get(kind.doc_type_switch)) != kZero;
  });
}

// The cost of the row the body recordset is on: unit cost x quantity, rounded
// half to even to the company currency's decimals.
Variant GetSpese(CoreDocument& cc, Connection& connection, const CostKind& kind, Recordset& header,
                 Recordset& body) {
  try {
    const Date date = header.Get("DO11_DATADOC").CDate();
    const std::string sql = statements::UnitCost(
        kind.function, NzStr(header.Get("DO11_DITTA_CG18")), NzStr(body.Get("DO30_CODART_MG66")),
        NzStr(body.Get("DO30_OPZIONE_MG5E")), date.ToYmdText());
    auto rs = connection.Execute(sql, nullptr, execute_option::kCommandText);
    Decimal unit_cost;
    if (rs->State() == ObjectState::kOpen && !rs->Eof()) unit_cost = NzDecimal(rs->Get("COSTO"));
    auto company = cc.Company();
    const int decimals = company->AmountDecimals(cc.Services().CompanyCurrencyCode()).value_or(2);
    return Variant((unit_cost * NzDecimal(body.Get("DO30_QTA1")))
                       .RoundHalfEven(std::clamp(decimals, 0, Decimal::kMaxScale)));
  } catch (const Error& error) {
    // This procedure puts its name after the incoming source, not before.
    throw Error(error.number(), error.source() + kCrLf + kind.row_cost_label, error.description())
        .WithContext(error.context());
  }
}

void Zeroing(CoreDocument& cc, const CostKind& kind) {
  auto body_rows = cc.Recordsets().Get(DocumentTable::kBody);
  auto landed = cc.Recordsets().Get(DocumentTable::kLandedCosts);
  if (!body_rows || !landed) return;
  auto body = body_rows->Clone();
  auto costs = landed->Clone();
  costs->SetFilter(std::string(kind.cost_field) + " <> 0");
  if (costs->RecordCount() == 0) return;
  const FieldRef cost = costs->Resolve(kind.cost_field);
  const FieldRef flag = costs->Resolve(kind.flag_field);
  const FieldRef net = body->Resolve("DO30_IMPNETSCP");
  for (costs->MoveFirst(); !costs->Eof(); costs->MoveNext()) {
    body->SetFilter("DO30_DITTA_CG18 = " + costs->Get("DO50_DITTA_CG18").CStr() +
                    " AND DO30_NUMREG_CO99 = '" + SqlQuoted(costs->Get("DO50_NUMREG_CO99").CStr()) +
                    "' AND DO30_PROGRIGA = " + costs->Get("DO50_PROGRIGA_DO30").CStr());
    if (!body->Eof()) {
      if (costs->Get(flag) == Variant(int16_t{1})) {
        body->Set(net, Variant(NzDecimal(body->Get(net)) - NzDecimal(costs->Get(cost))));
      }
      costs->Set(cost, kZero);
      costs->Set(flag, kZero);
    }
    body->ClearFilter();
  }
}

void Annotation(CoreDocument& cc, Connection* connection, const CostKind& kind) {
  auto header = cc.Recordsets().Get(DocumentTable::kHeader);
  auto body_rows = cc.Recordsets().Get(DocumentTable::kBody);
  auto landed = cc.Recordsets().Get(DocumentTable::kLandedCosts);
  if (!header || !body_rows || !landed || body_rows->RecordCount() == 0) return;
  if (NzDec(header->Get("DO11_TIPOCF_CG44")) == kZero) return;  // a customer's document

  auto reset = landed->Clone();
  const FieldRef cost = reset->Resolve(kind.cost_field);
  const FieldRef flag = reset->Resolve(kind.flag_field);
  reset->SetFilter(std::string(kind.cost_field) + " <> 0");
  for (; !reset->Eof(); reset->MoveNext()) {
    reset->Set(cost, kZero);
    reset->Set(flag, kZero);
  }
  reset->ClearFilter();

  if (connection == nullptr) Raise(err::kObjectNotSet, kind.annotation_label, "no connection");
  if (!IsDocSpese(*connection, kind, header->Get("DO11_DITTA_CG18"),
                  header->Get("DO11_DOCUM_MG36"))) {
    return;
  }
  auto body = body_rows->Clone();
  auto costs = landed->Clone();
  const FieldRef net = body->Resolve("DO30_IMPNETSCP");
  body->SetFilter("DO30_INDTIPORIGA = 0");
  for (; !body->Eof(); body->MoveNext()) {
    const Variant row_cost = GetSpese(cc, *connection, kind, *header, *body);
    if (row_cost == kZero) continue;
    costs->SetFilter("DO50_DITTA_CG18 = " + body->Get("DO30_DITTA_CG18").CStr() +
                     " AND DO50_NUMREG_CO99 = '" + SqlQuoted(body->Get("DO30_NUMREG_CO99").CStr()) +
                     "' AND DO50_PROGRIGA_DO30 = " + body->Get("DO30_PROGRIGA").CStr());
    if (costs->Eof()) {
      costs->AddNew();
      costs->Set("DO50_DITTA_CG18", body->Get("DO30_DITTA_CG18"));
      costs->Set("DO50_NUMREG_CO99", body->Get("DO30_NUMREG_CO99"));
      costs->Set("DO50_PROGRIGA_DO30", body->Get("DO30_PROGRIGA"));
    }
    body->Set(net, Variant(NzDecimal(body->Get(net)) + row_cost.dec()));
    costs->Set(flag, Variant(int16_t{1}));
    costs->Set(cost, row_cost);
    costs->Update();
  }
  body->ClearFilter();
}

}  // namespace

void CLSMG_TARVOLIN::AzzeramentoSpeseTrasportoACosto() {
  WithLabel(kTransport.zeroing_label, [&] { Zeroing(*RequireCc(), kTransport); });
}
void CLSMG_TARVOLIN::AzzeramentoSpeseDaziACosto() {
  WithLabel(kDuty.zeroing_label, [&] { Zeroing(*RequireCc(), kDuty); });
}
void CLSMG_TARVOLIN::AnnotazioneSpeseTrasportoACosto() {
  WithLabel(kTransport.annotation_label,
            [&] { Annotation(*RequireCc(), connection_.get(), kTransport); });
}
void CLSMG_TARVOLIN::AnnotazioneSpeseDaziACosto() {
  WithLabel(kDuty.annotation_label, [&] { Annotation(*RequireCc(), connection_.get(), kDuty); });
}

}  // namespace tarvolin
