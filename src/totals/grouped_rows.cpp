// Grouped rows: the host's grouped view of the body. A plain grouped row
// mirrors one body row; a grid row (GRIGLIA = 1) stands for the body rows whose
// parent it is and holds the sums of their quantities and amounts.
#include <algorithm>
#include <array>
#include <string_view>

#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"

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

// One field of a source row into the grouped row: added on a grid row when
// it is summed, copied on a plain row when it differs (a Null source makes
// the grouped value Null).
void ApplyField(const FieldMap::Pair& pair, const Recordset& source, Recordset& grouped,
                bool grid) {
  const Variant& value = source.Get(pair.source);
  const Variant& current = grouped.Get(pair.target);
  if (grid) {
    if (pair.summed) grouped.Set(pair.target, current + value);
    return;
  }
  const bool differs =
      value.IsNull() ? !current.IsNull() : (current.IsNull() || Compare(current, value) != 0);
  if (differs) grouped.Set(pair.target, value);
}

Recordset& Use(const std::shared_ptr<Recordset>& recordset) {
  if (!recordset) Raise(err::kObjectNotSet, "SyncDocCorpoRaggr", "no grouped rows or no body rows");
  return *recordset;
}

}  // namespace

// Every statement runs on its own under the error service's answers, so a
// field that cannot be copied costs that field only. Loops are bounded by the
// rows they started with: a move that fails and is passed over cannot keep
// one going.
void CLSMG_TARVOLIN::SyncDocCorpoRaggr(int32_t ProgRiga) {
  auto document = cc_;
  if (!document) return;
  ErrorGuard run(document->Dialogue().Errors(), "SyncDocCorpoRaggr");
  auto& recordsets = document->Recordsets();
  std::shared_ptr<Recordset> grouped, body, order;
  FieldMap body_map, order_map;
  if (!run.Each(
          [&] {
            auto rows = recordsets.Get(DocumentTable::kGroupedRows);
            grouped = Use(rows).Clone();
            grouped->SetSort(rows->Sort());
          },
          [&] {
            auto rows = recordsets.Get(DocumentTable::kBody);
            body = Use(rows).Clone();
            body->SetSort(rows->Sort());
            body_map = MapFields<11, 3>(*body, Use(grouped), kSummedBodyFields, nullptr);
          },
          [&] {
            auto rows = recordsets.Get(DocumentTable::kBodyOrderData);
            if (!rows) return;
            order = rows->Clone();
            order_map = MapFields(*order, Use(grouped), kSummedOrderFields, &kOrderKeyFields);
          },
          [&] {
            if (ProgRiga != 0)
              Use(grouped).SetFilter("DO30_PROGRIGA = " + std::to_string(ProgRiga));
          })) {
    return;
  }
  if (!grouped || !body) return;

  // A grid row's fourteen summed fields, as the grouped rows carry them.
  std::vector<FieldRef> summed;
  for (std::string_view name : kSummedBodyFields) {
    if (auto field = grouped->TryResolve(name)) summed.push_back(*field);
  }
  for (std::string_view name : kSummedOrderFields) {
    if (auto field = grouped->TryResolve(name)) summed.push_back(*field);
  }
  const FieldRef progressive = grouped->Resolve("DO30_PROGRIGA");
  const FieldRef grid_flag = grouped->Resolve("GRIGLIA");
  const Variant zero(int16_t{0});
  for (int32_t left = grouped->RecordCount(); left > 0 && !grouped->Eof(); --left) {
    bool grid = false;
    bool has_rows = false;
    if (!run.Each([&] { grid = grouped->Get(grid_flag) == Variant(int16_t{1}); },
                  [&] {
                    body->SetFilter((grid ? "DO30_PROGPADRE = " : "DO30_PROGRIGA = ") +
                                    grouped->Get(progressive).CStr());
                  },
                  [&] { has_rows = !body->Eof(); })) {
      return;
    }
    if (has_rows) {
      for (const FieldRef& field : summed) {
        if (grid && !run([&] { grouped->Set(field, zero); })) return;
      }
      for (int32_t rows = body->RecordCount(); rows > 0 && !body->Eof(); --rows) {
        for (const auto& pair : body_map.pairs) {
          if (!run([&] { ApplyField(pair, *body, *grouped, grid); })) return;
        }
        bool has_order = false;
        if (order &&
            !run.Each(
                [&] { order->SetFilter("DO31_PROGRIGA = " + body->Get("DO30_PROGRIGA").CStr()); },
                [&] { has_order = !order->Eof(); })) {
          return;
        }
        for (const auto& pair : order_map.pairs) {
          if (has_order && !run([&] { ApplyField(pair, *order, *grouped, grid); })) return;
        }
        if (!run([&] { body->MoveNext(); })) return;
      }
    }
    if (!run.Each([&] { grouped->Update(); }, [&] { grouped->MoveNext(); })) return;
  }
}

}  // namespace tarvolin
