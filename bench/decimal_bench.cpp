// Invoice-style accumulation: sum += price * qty over realistic amounts.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "tarvolin/automation/decimal.h"

namespace tarvolin {
namespace {

constexpr int kPairs = 1024;

std::vector<std::pair<Decimal, Decimal>> MakePairs() {
  std::mt19937_64 rng(20240611);
  // Prices 0.0001 .. 99999.9999 (scale 4), quantities 0.001 .. 9999.999 (scale 3).
  std::uniform_int_distribution<uint32_t> price(1, 999999999);
  std::uniform_int_distribution<uint32_t> qty(1, 9999999);
  std::vector<std::pair<Decimal, Decimal>> pairs;
  pairs.reserve(kPairs);
  for (int i = 0; i < kPairs; ++i) {
    pairs.emplace_back(Decimal::FromParts(price(rng), 0, 0, 4, i % 7 == 0),
                       Decimal::FromParts(qty(rng), 0, 0, 3, false));
  }
  return pairs;
}

void BM_DecimalMulAdd(benchmark::State& state) {
  const auto pairs = MakePairs();
  for (auto _ : state) {
    Decimal sum;  // scale 0, then 7 after the first product, then stable
    for (const auto& [price, qty] : pairs) {
      sum += price * qty;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kPairs);
}
BENCHMARK(BM_DecimalMulAdd);

}  // namespace
}  // namespace tarvolin
