// Recordset benchmarks: the engine's per-row filters must cost what they match,
// not what the recordset holds.
#include <benchmark/benchmark.h>

#include <string>

#include "tarvolin/recordset/recordset.h"

namespace tarvolin {
namespace {

// Commission rows: about four rows per DO32_PROGRIGA, half of them with
// DO32_FLGVARPROV = 0.
std::shared_ptr<Recordset> CommissionRows(int n, int keys) {
  auto rs = Recordset::Create();
  rs->AppendField("DO32_PROGRIGA", DataType::kInteger);
  rs->AppendField("DO32_FLGVARPROV", DataType::kSmallInt);
  rs->AppendField("DO32_IDAGENTE_MG17", DataType::kInteger);
  rs->AppendField("DO32_IMPONPROV", DataType::kDecimal, 0, field_attr::kIsNullable, 18, 2);
  rs->Open();
  const FieldRef progriga = rs->Resolve("DO32_PROGRIGA");
  const FieldRef flag = rs->Resolve("DO32_FLGVARPROV");
  const FieldRef agent = rs->Resolve("DO32_IDAGENTE_MG17");
  const FieldRef amount = rs->Resolve("DO32_IMPONPROV");
  for (int i = 0; i < n; ++i) {
    rs->AddNew();
    rs->Set(progriga, i % keys);
    rs->Set(flag, int16_t(i % 2));
    rs->Set(agent, i % 7);
    rs->Set(amount, Decimal(i));
  }
  return rs;
}

void BM_FilterEquality(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int keys = n / 4;
  auto rs = CommissionRows(n, keys);
  const FieldRef amount = rs->Resolve("DO32_IMPONPROV");
  int k = 0;
  int64_t visited = 0;
  for (auto _ : state) {
    rs->SetFilter("DO32_PROGRIGA = " + std::to_string(k) + " AND DO32_FLGVARPROV = 0");
    for (; !rs->Eof(); rs->MoveNext()) {
      benchmark::DoNotOptimize(&rs->Get(amount));
      ++visited;
    }
    rs->ClearFilter();
    k = (k + 7919) % keys;
  }
  state.counters["rows_per_filter"] =
      benchmark::Counter(static_cast<double>(visited) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FilterEquality)->Arg(1000)->Arg(100000);

// As the engine filters document rows: the company code first, the same in
// every row, then the row's own key.
void BM_FilterUnselectiveFirstTerm(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int keys = n / 4;
  auto rs = CommissionRows(n, keys);
  int k = 0;
  for (auto _ : state) {
    rs->SetFilter("DO32_FLGVARPROV = 0 AND DO32_PROGRIGA = " + std::to_string(k));
    benchmark::DoNotOptimize(rs->RecordCount());
    rs->ClearFilter();
    k = (k + 7919) % keys;
  }
}
BENCHMARK(BM_FilterUnselectiveFirstTerm)->Arg(1000)->Arg(100000);

// The engine's "filter, then delete every visible row" loop: linear in rows.
void BM_DeleteWhileFiltered(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto rs = CommissionRows(n, n / 4);
    state.ResumeTiming();
    rs->SetFilter("DO32_FLGVARPROV = 0");
    while (rs->RecordCount() > 0) {
      rs->MoveFirst();
      rs->Delete();
    }
    rs->ClearFilter();
    benchmark::DoNotOptimize(rs->RecordCount());
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_DeleteWhileFiltered)->Arg(1000)->Arg(100000)->Complexity();

}  // namespace
}  // namespace tarvolin
