// Grouped rows: the host's grouped view of the body. A plain grouped row
// mirrors one body row; a grid row (GRIGLIA = 1) stands for the body rows whose
// parent it is and holds the sums of their quantities and amounts.
#include <algorithm>
#include <array>
#include <string_view>

#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/engine.h"

namespace tarvolin {
namespace {

constexpr std::array<std::string_view, 11> kSummedBodyFields = {
    "DO30_QTA1",         "DO30_QTA2",       "DO30_COLLI",          "DO30_IMPORTO",
    "DO30_IMPORTO_VAL",  "DO30_IMPORTOIVA", "DO30_IMPORTOIVA_VAL", "DO30_COSTOTOT",
    "DO30_COSTOTOT_VAL", "DO30_IMPNETSCP",  "DO30_IMPNETSCP_VAL"};
constexpr std::array<std::string_view, 3> kSummedOrderFields = {"DO31_QTA1CONS", "DO31_QTA2CONS",
                                                                "DO31_COLLICONS"};
constexpr std::array<std::string_view, 3> kOrderKeyFields = {"DO31_DITTA_CG18", "DO31_NUMREG_CO99",
                                                             "DO31_PROGRIGA"};

template <size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Field pairs between a source recordset and the grouped rows, resolved once.
struct FieldMap {
  struct Pair {
    FieldRef source;
    FieldRef target;
    bool summed;
  };
  std::vector<Pair> pairs;
};

template <size_t SummedN, size_t SkippedN>
FieldMap MapFields(const Recordset& source, const Recordset& grouped,
                   const std::array<std::string_view, SummedN>& summed,
                   const std::array<std::string_view, SkippedN>* skipped) {
  FieldMap map;
  for (int i = 0; i < source.FieldCount(); ++i) {
    const std::string& name = source.Field(i).name;
    if (skipped != nullptr && Contains(*skipped, name)) continue;
    if (auto target = grouped.TryResolve(name)) {
      map.pairs.push_back({FieldRef(i), *target, Contains(summed, name)});
    }
  }
  return map;
}

// One source row into the grouped row: sums on a grid row, copies otherwise.
void Apply(const FieldMap& map, const Recordset& source, Recordset& grouped, bool grid) {
  for (const auto& pair : map.pairs) {
    const Variant& value = source.Get(pair.source);
    const Variant& current = grouped.Get(pair.target);
    if (grid) {
      if (pair.summed) grouped.Set(pair.target, current + value);
      continue;
    }
    // Copy only what differs; a Null source makes the grouped value Null.
    const bool differs =
        value.IsNull() ? !current.IsNull() : (current.IsNull() || Compare(current, value) != 0);
    if (differs) grouped.Set(pair.target, value);
  }
}

}  // namespace

void CLSMG_TARVOLIN::SyncDocCorpoRaggr(int32_t ProgRiga) {
  auto document = cc_;
  if (!document) return;
  ErrorGuard guard(document->Dialogue().Errors(), "SyncDocCorpoRaggr");
  std::shared_ptr<Recordset> grouped, body, order;
  FieldMap body_map, order_map;
  const Variant zero(int16_t{0});
  const bool ready = guard([&] {
    auto grouped_rows = document->Recordsets().Get(DocumentTable::kGroupedRows);
    auto body_rows = document->Recordsets().Get(DocumentTable::kBody);
    if (!grouped_rows || !body_rows) {
      Raise(err::kObjectNotSet, "SyncDocCorpoRaggr", "no grouped rows or no body rows");
    }
    grouped = grouped_rows->Clone();
    grouped->SetSort(grouped_rows->Sort());
    body = body_rows->Clone();
    body->SetSort(body_rows->Sort());
    if (auto order_rows = document->Recordsets().Get(DocumentTable::kBodyOrderData)) {
      order = order_rows->Clone();
      order_map = MapFields(*order, *grouped, kSummedOrderFields, &kOrderKeyFields);
    }
    body_map = MapFields<11, 3>(*body, *grouped, kSummedBodyFields, nullptr);
    if (ProgRiga != 0) grouped->SetFilter("DO30_PROGRIGA = " + std::to_string(ProgRiga));
  });
  if (!ready || !grouped) return;

  const FieldRef progressive = grouped->Resolve("DO30_PROGRIGA");
  const FieldRef grid_flag = grouped->Resolve("GRIGLIA");
  for (; !grouped->Eof(); grouped->MoveNext()) {
    bool grid = false;
    bool has_rows = false;
    if (!guard([&] {
          grid = grouped->Get(grid_flag) == Variant(int16_t{1});
          body->SetFilter((grid ? "DO30_PROGPADRE = " : "DO30_PROGRIGA = ") +
                          grouped->Get(progressive).CStr());
          has_rows = !body->Eof();
        })) {
      return;
    }
    if (!has_rows) continue;
    if (grid && !guard([&] {
          for (const auto& pair : body_map.pairs) {
            if (pair.summed) grouped->Set(pair.target, zero);
          }
          for (const auto& pair : order_map.pairs) {
            if (pair.summed) grouped->Set(pair.target, zero);
          }
        })) {
      return;
    }
    for (; !body->Eof(); body->MoveNext()) {
      if (!guard([&] {
            Apply(body_map, *body, *grouped, grid);
            if (order) {
              order->SetFilter("DO31_PROGRIGA = " + body->Get("DO30_PROGRIGA").CStr());
              if (!order->Eof()) Apply(order_map, *order, *grouped, grid);
            }
          })) {
        return;
      }
    }
    if (!guard([&] { grouped->Update(); })) return;
  }
}

}  // namespace tarvolin
