// Nanoseconds per ExtReal operation, per extPow and per extLogBase.
#include <benchmark/benchmark.h>

#include "numeric/ext_math.h"
#include "numeric/ext_real.h"

namespace {

void BM_AddExact(benchmark::State& state) {
  ExtReal a(3), b(4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(a + b);
  }
}
BENCHMARK(BM_AddExact);

void BM_MultiplyInexact(benchmark::State& state) {
  ExtReal a = ExtReal(1) / ExtReal(3), b = ExtReal(1) / ExtReal(7);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(a * b);
  }
}
BENCHMARK(BM_MultiplyInexact);

void BM_DivideInexact(benchmark::State& state) {
  ExtReal a(1), b(10);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(a / b);
  }
}
BENCHMARK(BM_DivideInexact);

void BM_Compare(benchmark::State& state) {
  ExtReal a(3), b(4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(a < b);
  }
}
BENCHMARK(BM_Compare);

void BM_ToInt(benchmark::State& state) {
  ExtReal a(12345.678);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(toInt(a));
  }
}
BENCHMARK(BM_ToInt);

void BM_ExtPow(benchmark::State& state) {
  ExtReal base(10), exponent(-307);
  for (auto _ : state) {
    benchmark::DoNotOptimize(base);
    benchmark::DoNotOptimize(extPow(base, exponent));
  }
}
BENCHMARK(BM_ExtPow);

void BM_ExtLogBase(benchmark::State& state) {
  ExtReal base(10), x(123456.789);
  for (auto _ : state) {
    benchmark::DoNotOptimize(base);
    benchmark::DoNotOptimize(extLogBase(base, x));
  }
}
BENCHMARK(BM_ExtLogBase);

}  // namespace

BENCHMARK_MAIN();
