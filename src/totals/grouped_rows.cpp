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

// Brings the grouped rows in step with the body rows. Every statement runs on
// its own under the error service's answers, so a field that cannot be copied
// costs that field only; a step returns false when the procedure must be
// left. Loops are bounded by the rows they started with: a move that fails
// and is passed over cannot keep one going.
class GroupedRowsSync {
 public:
  explicit GroupedRowsSync(CoreDocument& document)
      : recordsets_(document.Recordsets()),
        run_(document.Dialogue().Errors(), "SyncDocCorpoRaggr") {}

  void Run(int32_t ProgRiga) {
    if (!Open(ProgRiga)) return;
    if (!grouped_ || !body_) return;
    ResolveGroupedFields();
    for (int32_t left = grouped_->RecordCount(); left > 0 && !grouped_->Eof(); --left) {
      if (!SyncGroupedRow()) return;
    }
  }

 private:
  // Clones of the grouped rows, the body rows and their order data, the
  // fields they share, and the grouped rows of ProgRiga alone (0: all).
  bool Open(int32_t ProgRiga) {
    return run_.Each(
        [&] {
          auto rows = recordsets_.Get(DocumentTable::kGroupedRows);
          grouped_ = Use(rows).Clone();
          grouped_->SetSort(rows->Sort());
        },
        [&] {
          auto rows = recordsets_.Get(DocumentTable::kBody);
          body_ = Use(rows).Clone();
          body_->SetSort(rows->Sort());
          body_map_ = MapFields<11, 3>(*body_, Use(grouped_), kSummedBodyFields, nullptr);
        },
        [&] {
          auto rows = recordsets_.Get(DocumentTable::kBodyOrderData);
          if (!rows) return;
          order_ = rows->Clone();
          order_map_ = MapFields(*order_, Use(grouped_), kSummedOrderFields, &kOrderKeyFields);
        },
        [&] {
          if (ProgRiga != 0) Use(grouped_).SetFilter("DO30_PROGRIGA = " + std::to_string(ProgRiga));
        });
  }

  // A grid row's fourteen summed fields, as the grouped rows carry them.
  void ResolveGroupedFields() {
    for (std::string_view name : kSummedBodyFields) {
      if (auto field = grouped_->TryResolve(name)) summed_.push_back(*field);
    }
    for (std::string_view name : kSummedOrderFields) {
      if (auto field = grouped_->TryResolve(name)) summed_.push_back(*field);
    }
    progressive_ = grouped_->Resolve("DO30_PROGRIGA");
    grid_flag_ = grouped_->Resolve("GRIGLIA");
  }

  // The current grouped row from its body row, or a grid row from the rows
  // it is the parent of; then on to the next.
  bool SyncGroupedRow() {
    bool grid = false;
    bool has_rows = false;
    if (!run_.Each([&] { grid = grouped_->Get(grid_flag_) == Variant(int16_t{1}); },
                   [&] {
                     body_->SetFilter((grid ? "DO30_PROGPADRE = " : "DO30_PROGRIGA = ") +
                                      grouped_->Get(progressive_).CStr());
                   },
                   [&] { has_rows = !body_->Eof(); })) {
      return false;
    }
    if (has_rows && !ApplyBodyRows(grid)) return false;
    return run_.Each([&] { grouped_->Update(); }, [&] { grouped_->MoveNext(); });
  }

  bool ApplyBodyRows(bool grid) {
    const Variant zero(int16_t{0});
    for (const FieldRef& field : summed_) {
      if (grid && !run_([&] { grouped_->Set(field, zero); })) return false;
    }
    for (int32_t rows = body_->RecordCount(); rows > 0 && !body_->Eof(); --rows) {
      if (!ApplyBodyRow(grid)) return false;
    }
    return true;
  }

  // One body row and its order data into the grouped row, then the next body row.
  bool ApplyBodyRow(bool grid) {
    for (const auto& pair : body_map_.pairs) {
      if (!run_([&] { ApplyField(pair, *body_, *grouped_, grid); })) return false;
    }
    bool has_order = false;
    if (order_ &&
        !run_.Each(
            [&] { order_->SetFilter("DO31_PROGRIGA = " + body_->Get("DO30_PROGRIGA").CStr()); },
            [&] { has_order = !order_->Eof(); })) {
      return false;
    }
    for (const auto& pair : order_map_.pairs) {
      if (has_order && !run_([&] { ApplyField(pair, *order_, *grouped_, grid); })) return false;
    }
    return run_([&] { body_->MoveNext(); });
  }

  DocumentRecordsets& recordsets_;
  ErrorGuard run_;
  std::shared_ptr<Recordset> grouped_, body_, order_;
  FieldMap body_map_, order_map_;
  std::vector<FieldRef> summed_;
  FieldRef progressive_{0};
  FieldRef grid_flag_{0};
};

}  // namespace

void CLSMG_TARVOLIN::SyncDocCorpoRaggr(int32_t ProgRiga) {
  if (!cc_) return;
  auto document = cc_;
  GroupedRowsSync(*document).Run(ProgRiga);
}

}  // namespace tarvolin
