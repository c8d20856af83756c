// Nanoseconds per ExtReal operation, per extPow and per extLogBase, and per
// whole conversion in the literal and the fast arithmetic.
#include <benchmark/benchmark.h>

#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/ext_math.h"
#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

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

// The same multiplication kept in x87 registers, without the set-up.
void BM_FastMultiplyInexact(benchmark::State& state) {
  X87TruncatingMode mode;
  const int one = 1, three = 3, seven = 7;
  FastReal a = FastReal(one) / FastReal(three), b = FastReal(one) / FastReal(seven);
  for (auto _ : state) {
    a = a * b + FastReal(three);
    benchmark::DoNotOptimize(a);
  }
}
BENCHMARK(BM_FastMultiplyInexact);

// One whole conversion, "3.14159265358979" from base 10, literal and fast.
template <class Real>
void BM_Convert(benchmark::State& state) {
  X87TruncatingMode mode;
  const int outputBase = static_cast<int>(state.range(0));
  char text[kFormatBufferSize];
  for (auto _ : state) {
    Real value;
    int base = 10;
    parseNumeral(&value, "3.14159265358979", &base);
    int scientific = 0;
    formatNumeral(text, value, outputBase, &scientific);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK_TEMPLATE(BM_Convert, ExtReal)->Arg(16)->Arg(2);
BENCHMARK_TEMPLATE(BM_Convert, FastReal)->Arg(16)->Arg(2);

}  // namespace

BENCHMARK_MAIN();
