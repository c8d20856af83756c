// Nanoseconds per exact log2 (the software fyl2x with y = 1) and per exact
// 2^x - 1 (the software f2xm1), on random arguments, next to the unit's own
// instructions where the target has them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "numeric/x87_instructions.h"
#include "numeric/x87_software_log_exp.h"

namespace {

constexpr int kArguments = 1024;  // a power of two: the loop masks its index
constexpr std::uint64_t kOne = 0x8000000000000000ULL;

struct Arguments {
  bool negative[kArguments];
  std::uint64_t significand[kArguments];
  int log2Exponent[kArguments];    // x over the whole normal range
  int exp2m1Exponent[kArguments];  // x uniform in (-1, 1)
};

const Arguments& arguments() {
  static const Arguments a = [] {
    Arguments made;
    std::mt19937_64 rng(4096);
    for (int i = 0; i < kArguments; ++i) {
      made.negative[i] = rng() % 2 == 0;
      made.significand[i] = rng() | kOne;
      made.log2Exponent[i] = static_cast<int>(rng() % 32766) - 16382;
      int e = -1;
      while (e > -64 && rng() % 2 == 0) --e;
      made.exp2m1Exponent[i] = e;
    }
    return made;
  }();
  return a;
}

void BM_SoftwareFyl2x(benchmark::State& state) {
  const Arguments& a = arguments();
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(truncatedLog2(a.significand[i], a.log2Exponent[i]));
    i = (i + 1) & (kArguments - 1);
  }
}
BENCHMARK(BM_SoftwareFyl2x);

void BM_SoftwareF2xm1(benchmark::State& state) {
  const Arguments& a = arguments();
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(truncatedExp2m1(a.negative[i], a.significand[i], a.exp2m1Exponent[i]));
    i = (i + 1) & (kArguments - 1);
  }
}
BENCHMARK(BM_SoftwareF2xm1);

// The 4096-bit pass, the last of the ladder: what an argument that no
// earlier pass could decide would cost at most.
void BM_SoftwareFyl2xLastPass(benchmark::State& state) {
  const Arguments& a = arguments();
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        x87_software_testing::truncatedLog2Direct(4096, a.significand[i], a.log2Exponent[i]));
    i = (i + 1) & (kArguments - 1);
  }
}
BENCHMARK(BM_SoftwareFyl2xLastPass)->Unit(benchmark::kMicrosecond);

#if VELTRANE_X87_UNIT
void BM_UnitFyl2x(benchmark::State& state) {
  const Arguments& a = arguments();
  int i = 0;
  for (auto _ : state) {
    const ExtReal x =
        ExtReal::fromBits(a.significand[i], static_cast<std::uint16_t>(a.log2Exponent[i] + 16383));
    const ExtReal result = x87_unit::fyl2x(x);
    benchmark::DoNotOptimize(result);
    i = (i + 1) & (kArguments - 1);
  }
}
BENCHMARK(BM_UnitFyl2x);

void BM_UnitF2xm1(benchmark::State& state) {
  const Arguments& a = arguments();
  int i = 0;
  for (auto _ : state) {
    const ExtReal x = ExtReal::fromBits(
        a.significand[i],
        static_cast<std::uint16_t>((a.negative[i] ? 0x8000 : 0) | (a.exp2m1Exponent[i] + 16383)));
    const ExtReal result = x87_unit::f2xm1(x);
    benchmark::DoNotOptimize(result);
    i = (i + 1) & (kArguments - 1);
  }
}
BENCHMARK(BM_UnitF2xm1);
#endif

}  // namespace

BENCHMARK_MAIN();
