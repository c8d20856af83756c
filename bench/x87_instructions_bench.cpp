// Nanoseconds per x87 instruction: the software version next to the unit's
// (each unit call includes its fninit and fldcw, as every ExtReal operation
// does). Operands cycle through 1024 random normal values between 2^-64 and
// 2^64, the kind the conversions compute with.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "numeric/x87_instructions.h"

namespace {

constexpr std::size_t kOperands = 1024;

struct Operands {
  std::vector<ExtReal> a, b;
  std::vector<std::uint64_t> doubles;
  std::vector<std::int64_t> integers;
};

const Operands& operands() {
  static const Operands set = [] {
    Operands o;
    std::mt19937_64 rng(64);
    const auto value = [&rng] {
      const auto biased = static_cast<std::uint16_t>(16383 - 64 + rng() % 129);
      return ExtReal::fromBits(rng() | (1ULL << 63),
                               static_cast<std::uint16_t>(biased | ((rng() & 1) << 15)));
    };
    for (std::size_t i = 0; i < kOperands; ++i) {
      o.a.push_back(value());
      o.b.push_back(value());
      o.doubles.push_back((rng() & 0x800FFFFFFFFFFFFFULL) | ((0x3C0ULL + rng() % 128) << 52));
      o.integers.push_back(static_cast<std::int64_t>(rng()) >> (rng() % 64));
    }
    return o;
  }();
  return set;
}

template <typename Op>
void registerBinary(const char* name, Op op) {
  benchmark::RegisterBenchmark(name, [op](benchmark::State& state) {
    const Operands& o = operands();
    std::size_t i = 0;
    for (auto _ : state) {
      benchmark::DoNotOptimize(op(o.a[i], o.b[i]));
      i = (i + 1) % kOperands;
    }
  });
}

template <typename Op>
void registerUnary(const char* name, Op op) {
  benchmark::RegisterBenchmark(name, [op](benchmark::State& state) {
    const Operands& o = operands();
    std::size_t i = 0;
    for (auto _ : state) {
      benchmark::DoNotOptimize(op(o.a[i]));
      i = (i + 1) % kOperands;
    }
  });
}

template <typename Op, typename Convert>
void registerLoad(const char* name, Op op, Convert convert, bool fromDoubles) {
  benchmark::RegisterBenchmark(name, [op, convert, fromDoubles](benchmark::State& state) {
    const Operands& o = operands();
    std::size_t i = 0;
    for (auto _ : state) {
      const std::uint64_t bits =
          fromDoubles ? o.doubles[i] : static_cast<std::uint64_t>(o.integers[i]);
      benchmark::DoNotOptimize(op(convert(bits)));
      i = (i + 1) % kOperands;
    }
  });
}

// Each instruction for each implementation the target has.
#if VELTRANE_X87_UNIT
#define FOR_EACH_SET(registrar, name, ...)                \
  registrar("software/" name, x87_software::__VA_ARGS__); \
  registrar("unit/" name, x87_unit::__VA_ARGS__)
#else
#define FOR_EACH_SET(registrar, name, ...) registrar("software/" name, x87_software::__VA_ARGS__)
#endif

std::uint64_t fromDouble(std::uint64_t bits) { return bits; }
std::int64_t fromInteger(std::uint64_t bits) { return static_cast<std::int64_t>(bits); }

void registerAll() {
  FOR_EACH_SET(registerBinary, "fadd", fadd);
  FOR_EACH_SET(registerBinary, "fsub", fsub);
  FOR_EACH_SET(registerBinary, "fmul", fmul);
  FOR_EACH_SET(registerBinary, "fdiv", fdiv);
  FOR_EACH_SET(registerBinary, "fcom", fcom);
  FOR_EACH_SET(registerBinary, "fscale", fscale);
  FOR_EACH_SET(registerUnary, "frndint", frndint);
  FOR_EACH_SET(registerUnary, "fistp32", fistp32);
  FOR_EACH_SET(registerUnary, "fstp64", fstp64);
  FOR_EACH_SET(registerUnary, "fstp32", fstp32);
  FOR_EACH_SET(registerLoad, "fld64", fld64, fromDouble, true);
  FOR_EACH_SET(registerLoad, "fild64", fild64, fromInteger, false);
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
