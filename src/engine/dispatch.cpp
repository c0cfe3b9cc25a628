// The engine's member table and the late-bound call through it.
#include "tarvolin/engine/dispatch.h"

#include <algorithm>
#include <variant>

#include "tarvolin/automation/error.h"
#include "tarvolin/automation/text.h"

namespace tarvolin {

// Arguments converted to their declared types, by position. monostate is an
// optional argument left out without a default.
class DispatchArguments {
 public:
  using Value = std::variant<std::monostate, bool, int16_t, int32_t, double, std::string, Date,
                             Variant, std::shared_ptr<Recordset>, ObjectRef>;

  explicit DispatchArguments(std::vector<Value> values) : values_(std::move(values)) {}

  bool Bool(size_t i) const { return std::get<bool>(values_[i]); }
  int16_t Int(size_t i) const { return std::get<int16_t>(values_[i]); }
  int32_t Long(size_t i) const { return std::get<int32_t>(values_[i]); }
  double Dbl(size_t i) const { return std::get<double>(values_[i]); }
  const std::string& Str(size_t i) const { return std::get<std::string>(values_[i]); }
  Date Dt(size_t i) const { return std::get<Date>(values_[i]); }
  const Variant& Var(size_t i) const { return std::get<Variant>(values_[i]); }
  std::optional<Variant> OptVar(size_t i) const {
    if (const auto* value = std::get_if<Variant>(&values_[i])) return *value;
    return std::nullopt;
  }
  std::optional<std::string> OptStr(size_t i) const {
    if (const auto* value = std::get_if<std::string>(&values_[i])) return *value;
    return std::nullopt;
  }
  std::shared_ptr<Recordset>& Rst(size_t i) {
    return std::get<std::shared_ptr<Recordset>>(values_[i]);
  }
  // The object, already checked to be a T (or Nothing).
  template <class T>
  std::shared_ptr<T> Obj(size_t i) const {
    return std::dynamic_pointer_cast<T>(std::get<ObjectRef>(values_[i]));
  }

 private:
  std::vector<Value> values_;
};

namespace {

constexpr std::string_view kSource = "CLSMG_TARVOLIN";

using T = DispatchType;
using Args = DispatchArguments;
using Engine = ICLSMG_TARVOLIN;

template <class C>
bool IsInstance(const Object& object) {
  return dynamic_cast<const C*>(&object) != nullptr;
}

// Parameter builders, to keep the table readable.
DispatchParameter Param(std::string_view name, DispatchType type) {
  return {.name = name, .type = type};
}
DispatchParameter Optional(std::string_view name, DispatchType type,
                           std::optional<Variant> default_value = std::nullopt) {
  return {.name = name, .type = type, .optional = true, .default_value = std::move(default_value)};
}
DispatchParameter RecordsetParam(std::string_view name, bool by_ref) {
  return {.name = name,
          .type = T::kRecordset,
          .by_ref = by_ref,
          .class_name = "Recordset",
          .is_instance = &IsInstance<Recordset>};
}
template <class C>
DispatchParameter ObjectParam(std::string_view name, std::string_view class_name) {
  return {
      .name = name, .type = T::kObject, .class_name = class_name, .is_instance = &IsInstance<C>};
}

using Call = void (*)(Engine&, Args&, Variant&);

DispatchMember Member(std::string_view name, int slot, MemberKind kind,
                      std::vector<DispatchParameter> parameters, DispatchType result, Call call,
                      std::string_view result_class = {}) {
  return {name, slot, kind, std::move(parameters), result, result_class, call};
}

// An object result: Nothing when the pointer is empty.
template <class C>
Variant Obj(std::shared_ptr<C> object) {
  return Variant(ObjectRef(std::move(object)));
}

// AddScadenza's Variant amounts, in declaration order (parameters 12-28).
struct Amount {
  std::string_view name;
  Variant ICLSMG_TARVOLIN::AddScadenzaArgs::*field;
};
using S = ICLSMG_TARVOLIN::AddScadenzaArgs;
constexpr Amount kAddScadenzaAmounts[] = {
    {"ImportoScadenzaEuro", &S::ImportoScadenzaEuro},
    {"ImportoScadenzaValuta", &S::ImportoScadenzaValuta},
    {"ImportoIvaEuro", &S::ImportoIvaEuro},
    {"ImportoIvaValuta", &S::ImportoIvaValuta},
    {"ImportoRitenutaEuro", &S::ImportoRitenutaEuro},
    {"ImportoRitenutaValuta", &S::ImportoRitenutaValuta},
    {"BolliEuro", &S::BolliEuro},
    {"BolliValuta", &S::BolliValuta},
    {"SpeseIncassoEuro", &S::SpeseIncassoEuro},
    {"SpeseIncassoValuta", &S::SpeseIncassoValuta},
    {"ImportoAbbuono", &S::ImportoAbbuono},
    {"ImportoAcconto", &S::ImportoAcconto},
    {"ImportoPagato", &S::ImportoPagato},
    {"ImportoScontoIncondEuro", &S::ImportoScontoIncondEuro},
    {"ImportoScontoIncondValuta", &S::ImportoScontoIncondValuta},
    {"ImportoOmaggiNoRivEuro", &S::ImportoOmaggiNoRivEuro},
    {"ImportoOmaggiNoRivValuta", &S::ImportoOmaggiNoRivValuta},
};
constexpr size_t kFirstAmount = 11;
constexpr size_t kAfterAmounts = kFirstAmount + std::size(kAddScadenzaAmounts);

std::vector<DispatchParameter> AddScadenzaParameters() {
  std::vector<DispatchParameter> p = {RecordsetParam("RecordsetScadenze", true),
                                      Param("IndConto", T::kInteger),
                                      Param("CodiceConto", T::kString),
                                      Param("CodiceValuta", T::kString),
                                      Param("DocumentoIntraOrNoClienteFornitore", T::kBoolean),
                                      Param("TotaleRate", T::kInteger),
                                      Param("CodiceAgente", T::kString),
                                      Param("CondizioneDiPagamento", T::kString),
                                      Param("TipoEffetto", T::kInteger),
                                      Param("SottoTipoEffetto", T::kString),
                                      Param("DataScadenza", T::kDate)};
  for (const Amount& amount : kAddScadenzaAmounts) p.push_back(Param(amount.name, T::kVariant));
  p.insert(p.end(),
           {Param("ScadenzaSospesa", T::kBoolean), Param("BancaPresentazione", T::kVariant),
            Param("AgenziaPresentazione", T::kVariant), Optional("ProgressivoBanca", T::kVariant),
            Optional("DataDecorrenza", T::kVariant), Optional("TipoMerce", T::kVariant)});
  return p;
}

void CallAddScadenza(Engine& e, Args& a, Variant&) {
  S s;
  s.IndConto = a.Int(1);
  s.CodiceConto = a.Str(2);
  s.CodiceValuta = a.Str(3);
  s.DocumentoIntraOrNoClienteFornitore = a.Bool(4);
  s.TotaleRate = a.Int(5);
  s.CodiceAgente = a.Str(6);
  s.CondizioneDiPagamento = a.Str(7);
  s.TipoEffetto = a.Int(8);
  s.SottoTipoEffetto = a.Str(9);
  s.DataScadenza = a.Dt(10);
  size_t at = kFirstAmount;
  for (const Amount& amount : kAddScadenzaAmounts) s.*amount.field = a.Var(at++);
  s.ScadenzaSospesa = a.Bool(kAfterAmounts);
  s.BancaPresentazione = a.Var(kAfterAmounts + 1);
  s.AgenziaPresentazione = a.Var(kAfterAmounts + 2);
  s.ProgressivoBanca = a.OptVar(kAfterAmounts + 3);
  s.DataDecorrenza = a.OptVar(kAfterAmounts + 4);
  s.TipoMerce = a.OptVar(kAfterAmounts + 5);
  e.AddScadenza(a.Rst(0), s);
}

using K = MemberKind;

// An optional Boolean parameter with its default.
DispatchParameter Flag(std::string_view name, bool default_value) {
  return Optional(name, T::kBoolean, Variant(default_value));
}

// 1-7: properties.
std::vector<DispatchMember> PropertyMembers() {
  return {
      Member(
          "cc", 1, K::kPropertyGet, {}, T::kObject,
          [](Engine& e, Args&, Variant& r) { r = Obj(e.cc()); }, "CoreDocument"),
      Member("cc", 1, K::kPropertySet, {ObjectParam<CoreDocument>("value", "CoreDocument")},
             T::kNone, [](Engine& e, Args& a, Variant&) { e.set_cc(a.Obj<CoreDocument>(0)); }),
      Member(
          "ADOConnection", 2, K::kPropertyGet, {}, T::kObject,
          [](Engine& e, Args&, Variant& r) { r = Obj(e.ADOConnection()); }, "Connection"),
      Member("ADOConnection", 2, K::kPropertySet, {ObjectParam<Connection>("value", "Connection")},
             T::kNone,
             [](Engine& e, Args& a, Variant&) { e.set_ADOConnection(a.Obj<Connection>(0)); }),
      Member(
          "ActiveInterface", 3, K::kPropertyGet, {}, T::kObject,
          [](Engine& e, Args&, Variant& r) { r = Obj(e.ActiveInterface()); }, "FrameworkSession"),
      Member(
          "ActiveInterface", 3, K::kPropertySet,
          {ObjectParam<FrameworkSession>("value", "FrameworkSession")}, T::kNone,
          [](Engine& e, Args& a, Variant&) { e.set_ActiveInterface(a.Obj<FrameworkSession>(0)); }),
      Member("ADOConnectionString", 4, K::kPropertyGet, {}, T::kString,
             [](Engine& e, Args&, Variant& r) { r = e.ADOConnectionString(); }),
      Member("ADOConnectionString", 4, K::kPropertyLet, {Param("value", T::kString)}, T::kNone,
             [](Engine& e, Args& a, Variant&) { e.set_ADOConnectionString(a.Str(0)); }),
      Member("NumRigheModificate", 5, K::kPropertyGet, {}, T::kInteger,
             [](Engine& e, Args&, Variant& r) { r = e.NumRigheModificate(); }),
      Member("NumRigheModificate", 5, K::kPropertyLet, {Param("value", T::kInteger)}, T::kNone,
             [](Engine& e, Args& a, Variant&) { e.set_NumRigheModificate(a.Int(0)); }),
      Member("ArrRigheModificate", 6, K::kPropertyGet, {}, T::kVariant,
             [](Engine& e, Args&, Variant& r) { r = e.ArrRigheModificate(); }),
      Member(
          "Cls_Calcoli", 7, K::kPropertyGet, {}, T::kObject,
          [](Engine& e, Args&, Variant& r) { r = Obj(e.Cls_Calcoli()); }, "CalculationHelper"),
  };
}

// 8-20: the recalculation, rounding and row methods.
std::vector<DispatchMember> RecalculationMembers() {
  return {
      Member("RicalcolaTotaliDaRigheCorpo", 8, K::kMethod,
             {Flag("ImportoNettoScontiPiede", true), Flag("ContropartiteCastellettoIva", true),
              Flag("TotaliDocumento", true), Flag("Scadenze", true),
              Flag("UltimoProgressivoRiga", true), Flag("TotaliProvvigioni", true)},
             T::kNone,
             [](Engine& e, Args& a, Variant&) {
               e.RicalcolaTotaliDaRigheCorpo(a.Bool(0), a.Bool(1), a.Bool(2), a.Bool(3), a.Bool(4),
                                             a.Bool(5));
             }),
      Member("RicalcolaScadenze", 9, K::kMethod, {}, T::kNone,
             [](Engine& e, Args&, Variant&) { e.RicalcolaScadenze(); }),
      Member("Terminate", 10, K::kMethod, {}, T::kNone,
             [](Engine& e, Args&, Variant&) { e.Terminate(); }),
      Member("InValutaAzienda", 11, K::kMethod,
             {Param("ImportoBase", T::kVariant), Param("Cambio", T::kVariant)}, T::kVariant,
             [](Engine& e, Args& a, Variant& r) { r = e.InValutaAzienda(a.Var(0), a.Var(1)); }),
      Member("AddRigaModificata", 12, K::kMethod, {RecordsetParam("RecordsetCorpo", true)},
             T::kNone, [](Engine& e, Args& a, Variant&) { e.AddRigaModificata(a.Rst(0)); }),
      Member("ClearDettaglioSConti", 13, K::kMethod, {RecordsetParam("fclsDocCorpo", true)},
             T::kNone, [](Engine& e, Args& a, Variant&) { e.ClearDettaglioSConti(a.Rst(0)); }),
      Member("CalcolaIncidenza", 14, K::kMethod,
             {Param("ImportoBase", T::kVariant), Param("ImportoTotale", T::kVariant),
              Optional("CifreDiPrecisione", T::kInteger, Variant(int16_t{6}))},
             T::kVariant,
             [](Engine& e, Args& a, Variant& r) {
               r = e.CalcolaIncidenza(a.Var(0), a.Var(1), a.Int(2));
             }),
      Member("AggiungiContropartitaDaCorpo", 15, K::kMethod,
             {RecordsetParam("RecordsetCorpo", false)}, T::kNone,
             [](Engine& e, Args& a, Variant&) { e.AggiungiContropartitaDaCorpo(a.Rst(0)); }),
      Member("RoundN", 16, K::kMethod,
             {Param("Number", T::kDouble),
              Optional("NumDigitsAfterDecimal", T::kLong, Variant(int32_t{0}))},
             T::kDouble, [](Engine& e, Args& a, Variant& r) { r = e.RoundN(a.Dbl(0), a.Long(1)); }),
      Member("Arrotondamento", 17, K::kMethod,
             {Param("ImportoBase", T::kVariant), Param("TipoCampo", T::kLong),
              Param("CodiceValuta", T::kVariant)},
             T::kVariant,
             [](Engine& e, Args& a, Variant& r) {
               r = e.Arrotondamento(a.Var(0), a.Long(1), a.Var(2));
             }),
      Member("RigaSpesaNonDefiscalizzabile", 18, K::kMethod, {RecordsetParam("fclsRstCorpo", true)},
             T::kBoolean,
             [](Engine& e, Args& a, Variant& r) { r = e.RigaSpesaNonDefiscalizzabile(a.Rst(0)); }),
      Member("ImpostaPrezziPerRigaDaLordo", 19, K::kMethod,
             {RecordsetParam("fclsRstTestata", true), RecordsetParam("fclsRstCorpo", true),
              Param("fvarPrezzoLordo", T::kVariant), Param("fintUM", T::kInteger),
              Param("fbolIvaCompresa", T::kBoolean)},
             T::kNone,
             [](Engine& e, Args& a, Variant&) {
               e.ImpostaPrezziPerRigaDaLordo(a.Rst(0), a.Rst(1), a.Var(2), a.Int(3), a.Bool(4));
             }),
      Member("AddScadenza", 20, K::kMethod, AddScadenzaParameters(), T::kNone, &CallAddScadenza),
  };
}

// 21-32: currency, prices, the tax summary and its writers, landed costs.
std::vector<DispatchMember> DocumentMembers() {
  return {
      Member("FindValuta", 21, K::kMethod, {Param("CodiceValuta", T::kVariant)}, T::kBoolean,
             [](Engine& e, Args& a, Variant& r) { r = e.FindValuta(a.Var(0)); }),
      Member("CambiaDocCorpoPrezzo1Rel", 22, K::kMethod,
             {RecordsetParam("fclsRstCorpo", true), Param("Num", T::kVariant),
              Flag("FlagRicalcolaPrezzo2", false), Flag("FlagRicalcolaPrezzoCF", false)},
             T::kNone,
             [](Engine& e, Args& a, Variant&) {
               e.CambiaDocCorpoPrezzo1Rel(a.Rst(0), a.Var(1), a.Bool(2), a.Bool(3));
             }),
      Member("CambiaDocCorpoPrezzo2Rel", 23, K::kMethod,
             {RecordsetParam("fclsRstCorpo", true), Param("Num", T::kVariant),
              Flag("FlagRicalcolaPrezzo1", false), Flag("FlagRicalcolaPrezzoCF", false)},
             T::kNone,
             [](Engine& e, Args& a, Variant&) {
               e.CambiaDocCorpoPrezzo2Rel(a.Rst(0), a.Var(1), a.Bool(2), a.Bool(3));
             }),
      Member("CambiaDocCorpoPrezzoCFRel", 24, K::kMethod,
             {RecordsetParam("fclsRstCorpo", true), Param("Num", T::kVariant),
              Flag("FlagRicalcolaPrezzo1", false), Flag("FlagRicalcolaPrezzo2", false)},
             T::kNone,
             [](Engine& e, Args& a, Variant&) {
               e.CambiaDocCorpoPrezzoCFRel(a.Rst(0), a.Var(1), a.Bool(2), a.Bool(3));
             }),
      Member("CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale", 25, K::kPropertyGet,
             {Optional("fvarDitta", T::kVariant)}, T::kString,
             [](Engine& e, Args& a, Variant& r) {
               r = e.CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale(a.OptVar(0));
             }),
      Member("OpenCastIva", 26, K::kMethod, {Optional("str_appendToWhere", T::kString)}, T::kNone,
             [](Engine& e, Args& a, Variant&) { e.OpenCastIva(a.OptStr(0)); }),
      Member("RegistraContropartite", 27, K::kMethod, {}, T::kNone,
             [](Engine& e, Args&, Variant&) { e.RegistraContropartite(); }),
      Member("RegistraCastellettoIVA", 28, K::kMethod, {}, T::kNone,
             [](Engine& e, Args&, Variant&) { e.RegistraCastellettoIVA(); }),
      Member("AzzeramentoSpeseTrasportoACosto", 29, K::kMethod, {}, T::kNone,
             [](Engine& e, Args&, Variant&) { e.AzzeramentoSpeseTrasportoACosto(); }),
      Member("AnnotazioneSpeseTrasportoACosto", 30, K::kMethod, {}, T::kNone,
             [](Engine& e, Args&, Variant&) { e.AnnotazioneSpeseTrasportoACosto(); }),
      Member("AzzeramentoSpeseDaziACosto", 31, K::kMethod, {}, T::kNone,
             [](Engine& e, Args&, Variant&) { e.AzzeramentoSpeseDaziACosto(); }),
      Member("AnnotazioneSpeseDaziACosto", 32, K::kMethod, {}, T::kNone,
             [](Engine& e, Args&, Variant&) { e.AnnotazioneSpeseDaziACosto(); }),
  };
}

std::vector<DispatchMember> BuildTable() {
  std::vector<DispatchMember> table = PropertyMembers();
  for (auto part : {RecalculationMembers, DocumentMembers}) {
    for (DispatchMember& member : part()) table.push_back(std::move(member));
  }
  return table;
}

bool Serves(MemberKind member, InvokeKind asked) {
  switch (asked) {
    case InvokeKind::kMethodOrGet:
      return member == MemberKind::kMethod || member == MemberKind::kPropertyGet;
    case InvokeKind::kMethod:
      return member == MemberKind::kMethod;
    case InvokeKind::kPropertyGet:
      return member == MemberKind::kPropertyGet;
    case InvokeKind::kPropertyLet:
      return member == MemberKind::kPropertyLet;
    case InvokeKind::kPropertySet:
      return member == MemberKind::kPropertySet;
  }
  return false;
}

std::string_view TypeName(const DispatchParameter& parameter) {
  switch (parameter.type) {
    case T::kNone:
      return "";
    case T::kBoolean:
      return "Boolean";
    case T::kInteger:
      return "Integer";
    case T::kLong:
      return "Long";
    case T::kDouble:
      return "Double";
    case T::kString:
      return "String";
    case T::kDate:
      return "Date";
    case T::kVariant:
      return "Variant";
    case T::kRecordset:
    case T::kObject:
      return parameter.class_name;
  }
  return "";
}

DispatchArguments::Value Convert(const DispatchParameter& parameter, const Variant& value) {
  switch (parameter.type) {
    case T::kBoolean:
      return value.CBool();
    case T::kInteger:
      return value.CInt();
    case T::kLong:
      return value.CLng();
    case T::kDouble:
      return value.CDbl();
    case T::kString:
      return value.CStr();
    case T::kDate:
      return value.CDate();
    case T::kVariant:
      return value;
    case T::kNone:
      break;
    case T::kRecordset:
    case T::kObject: {
      ObjectRef object;  // Nothing unless an object of the class is given
      if (value.IsObject() && !value.IsNothing()) {
        object = value.object();
        if (!parameter.is_instance(*object)) object.reset();
      }
      if (!object && !value.IsNothing()) {
        Raise(err::kTypeMismatch, kSource,
              std::string(parameter.name) + " takes a " + std::string(parameter.class_name) +
                  ", not " + value.Describe());
      }
      if (parameter.type == T::kRecordset) return std::dynamic_pointer_cast<Recordset>(object);
      return object;
    }
  }
  return std::monostate{};
}

}  // namespace

const std::vector<DispatchMember>& EngineMembers() {
  static const std::vector<DispatchMember> kTable = BuildTable();
  return kTable;
}

const DispatchMember* FindMember(std::string_view name, InvokeKind kind) {
  for (const DispatchMember& member : EngineMembers()) {
    if (Serves(member.kind, kind) && EqualsNoCase(member.name, name)) return &member;
  }
  return nullptr;
}

Variant Invoke(ICLSMG_TARVOLIN& target, std::string_view member, std::vector<Variant>& args,
               InvokeKind kind) {
  const DispatchMember* entry = FindMember(member, kind);
  if (entry == nullptr) {
    Raise(err::kNotSupported, kSource, member);
  }
  const auto& parameters = entry->parameters;
  const bool assignment =
      entry->kind == MemberKind::kPropertyLet || entry->kind == MemberKind::kPropertySet;
  if (args.size() > parameters.size() || (assignment && args.size() != parameters.size())) {
    Raise(err::kWrongArgumentCount, kSource,
          std::string(entry->name) + " takes " +
              (assignment ? "one value"
                          : "at most " + std::to_string(parameters.size()) + " argument" +
                                (parameters.size() == 1 ? "" : "s")) +
              ", given " + std::to_string(args.size()));
  }
  std::vector<DispatchArguments::Value> values;
  values.reserve(parameters.size());
  for (size_t i = 0; i < parameters.size(); ++i) {
    const DispatchParameter& parameter = parameters[i];
    if (i < args.size()) {
      values.push_back(Convert(parameter, args[i]));
    } else if (!parameter.optional) {
      Raise(err::kArgumentNotOptional, kSource,
            std::string(parameter.name) + " of " + std::string(entry->name));
    } else if (parameter.default_value) {
      values.push_back(Convert(parameter, *parameter.default_value));
    } else {
      values.emplace_back(std::monostate{});
    }
  }
  DispatchArguments converted(std::move(values));
  const auto write_back = [&] {
    for (size_t i = 0; i < args.size(); ++i) {
      if (parameters[i].by_ref && parameters[i].type == T::kRecordset) {
        args[i] = Variant(converted.Rst(i));
      }
    }
  };
  Variant result;
  try {
    entry->call(target, converted, result);
  } catch (...) {
    write_back();
    throw;
  }
  write_back();
  return result;
}

Variant Invoke(ICLSMG_TARVOLIN& target, std::string_view member, std::vector<Variant>&& args,
               InvokeKind kind) {
  return Invoke(target, member, args, kind);
}

std::string DescribeMember(const DispatchMember& member) {
  std::string text;
  switch (member.kind) {
    case MemberKind::kMethod:
      text = member.result == T::kNone ? "Sub " : "Function ";
      break;
    case MemberKind::kPropertyGet:
      text = "Property Get ";
      break;
    case MemberKind::kPropertyLet:
      text = "Property Let ";
      break;
    case MemberKind::kPropertySet:
      text = "Property Set ";
      break;
  }
  text += member.name;
  text += '(';
  for (size_t i = 0; i < member.parameters.size(); ++i) {
    const DispatchParameter& parameter = member.parameters[i];
    if (i > 0) text += ", ";
    if (parameter.optional) text += "Optional ";
    if (parameter.by_ref) text += "ByRef ";
    text += parameter.name;
    text += " As ";
    text += TypeName(parameter);
    if (parameter.default_value) text += " = " + parameter.default_value->CStr();
  }
  text += ')';
  if (member.result != T::kNone) {
    const DispatchParameter as_parameter{.type = member.result, .class_name = member.result_class};
    text += " As ";
    text += TypeName(as_parameter);
  }
  return text;
}

}  // namespace tarvolin
