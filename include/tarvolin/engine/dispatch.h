// Late-bound calls on the engine: the public member table of CLSMG_TARVOLIN in
// slot order, and Invoke, which calls a member by name with Variant arguments
// as an automation client's late binding does.
//
// Invoke's contract (errors carry source "CLSMG_TARVOLIN" unless said):
// - Member names compare ignoring ASCII case.
// - 438 names a member the engine does not have, or one that does not support
//   the kind of call asked (assigning a read-only property, say).
// - Arguments are positional. More arguments than parameters raise 450; a
//   property let or set takes exactly one argument (the value), else 450.
//   Trailing optional parameters may be left out: one with a default takes it,
//   one without reaches the member as missing (std::nullopt). A required
//   parameter left out raises 449 naming it.
// - Each argument is converted to its parameter's declared type with the
//   Variant conversions (CBool, CInt, CLng, CDbl, CStr, CDate), in order, before
//   the member runs; their errors (13, 6, 94, source "Variant") reach the caller
//   as raised. A Variant parameter takes the argument as it is. A Recordset or
//   object parameter takes an object of its class, or Nothing; anything else
//   raises 13 naming the parameter.
// - After the call (also when the member raises) each ByRef Recordset argument
//   is written back into args, so the caller sees a recordset the member
//   replaced.
// - The result: Boolean as Variant(bool), Integer as int16_t, Long as int32_t,
//   Double as double, String, a Variant as it is, an object as its ObjectRef
//   (Nothing when unset); a Sub or a property assignment gives Empty.
// - Errors the member raises pass through unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvolin/automation/variant.h"
#include "tarvolin/engine/engine.h"

namespace tarvolin {

// Declared types of parameters and results.
enum class DispatchType : uint8_t {
  kNone,  // no result: a Sub or a property assignment
  kBoolean,
  kInteger,
  kLong,
  kDouble,
  kString,
  kDate,
  kVariant,
  kRecordset,
  kObject,  // an object of the class named by class_name
};

// What one entry of the table is. A property has one entry per accessor, all
// with the property's slot.
enum class MemberKind : uint8_t { kMethod, kPropertyGet, kPropertyLet, kPropertySet };

// What a caller asks for. kMethodOrGet is what `x = obj.Member(args)` and
// `obj.Member args` ask: a method or a property get.
enum class InvokeKind : uint8_t { kMethodOrGet, kMethod, kPropertyGet, kPropertyLet, kPropertySet };

struct DispatchParameter {
  std::string_view name{};
  DispatchType type = DispatchType::kVariant;
  bool by_ref = false;
  bool optional = false;
  // Optional parameters only: the value taken when the argument is left out;
  // nullopt means the member receives it as missing.
  std::optional<Variant> default_value{};
  // Recordset and object parameters: the class name, and whether an object is
  // one of that class.
  std::string_view class_name{};
  bool (*is_instance)(const Object&) = nullptr;
};

// The converted arguments of one call (defined in dispatch.cpp).
class DispatchArguments;

struct DispatchMember {
  std::string_view name{};
  int slot = 0;
  MemberKind kind = MemberKind::kMethod;
  std::vector<DispatchParameter> parameters{};
  DispatchType result = DispatchType::kNone;
  std::string_view result_class{};  // the class of an object result
  // Calls the member with arguments already converted to the declared types;
  // a member with a result stores it in result.
  void (*call)(ICLSMG_TARVOLIN& target, DispatchArguments& args, Variant& result) = nullptr;
};

// The public members in slot order (1-7 properties, 8-32 methods).
const std::vector<DispatchMember>& EngineMembers();

// The entry for name (ignoring case) that serves kind; nullptr when none.
const DispatchMember* FindMember(std::string_view name, InvokeKind kind = InvokeKind::kMethodOrGet);

// Calls member on target; see the contract above.
Variant Invoke(ICLSMG_TARVOLIN& target, std::string_view member, std::vector<Variant>& args,
               InvokeKind kind = InvokeKind::kMethodOrGet);
// The same, for a caller that does not want ByRef arguments back.
Variant Invoke(ICLSMG_TARVOLIN& target, std::string_view member, std::vector<Variant>&& args,
               InvokeKind kind = InvokeKind::kMethodOrGet);

// A member's declaration as the platform would show it:
// "Function RoundN(Number As Double, Optional NumDigitsAfterDecimal As Long = 0) As Double".
std::string DescribeMember(const DispatchMember& member);

}  // namespace tarvolin
