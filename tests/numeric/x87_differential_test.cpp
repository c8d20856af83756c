// The software instructions against the x87 unit, bit for bit, for every
// exactly defined instruction, on random operands weighted toward the edges
// (tests/support/x87_operands.h). 10^6 operand sets per instruction by
// default; VELTRANE_LONG_TESTS=1 runs 10^8 each, spread over every core.
// Without the unit (aarch64, wasm32) there is nothing to compare with.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "numeric/x87_instructions.h"
#include "tests/support/ext_testing.h"
#include "tests/support/x87_operands.h"

#if VELTRANE_X87_UNIT

namespace {

using x87test::OperandSource;

using exttest::describe;
std::string describe(std::uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(v));
  return text;
}
std::string describe(std::uint32_t v) { return describe(static_cast<std::uint64_t>(v)); }
std::string describe(std::int32_t v) { return describe(static_cast<std::uint64_t>(v)); }
std::string describe(std::int64_t v) { return describe(static_cast<std::uint64_t>(v)); }
std::string describe(std::uint16_t v) { return describe(static_cast<std::uint64_t>(v)); }

bool identical(ExtReal a, ExtReal b) {
  return a.significand() == b.significand() && a.signAndExponent() == b.signAndExponent();
}
template <typename T>
bool identical(T a, T b) {
  return a == b;
}

// Compares the two versions' results; on a difference, says so in *report.
template <typename Result, typename... Operands>
bool agree(Result soft, Result unit, std::string* report, Operands... operands) {
  if (identical(soft, unit)) return true;
  std::string text = "(";
  const std::string parts[] = {describe(operands)...};
  for (const std::string& part : parts) text += (text.size() > 1 ? ", " : "") + part;
  *report = text + "): software " + describe(soft) + ", unit " + describe(unit);
  return false;
}

// One operand set: drawn, run on both, compared.
using Check = bool (*)(OperandSource&, std::string*);

#define BINARY_CHECK(name, second)                                              \
  bool check_##name(OperandSource& src, std::string* report) {                  \
    const ExtReal a = src.any();                                                \
    const ExtReal b = second;                                                   \
    return agree(x87_software::name(a, b), x87_unit::name(a, b), report, a, b); \
  }
BINARY_CHECK(fadd, src.partner(a))
BINARY_CHECK(fsub, src.partner(a))
BINARY_CHECK(fmul, src.partner(a))
BINARY_CHECK(fdiv, src.partner(a))
BINARY_CHECK(fcom, src.coin() ? src.partner(a) : src.coin() ? src.any() : a)
BINARY_CHECK(fscale, src.scale(a))
#undef BINARY_CHECK

// Operands for the one-operand instructions: any image, or one from the
// range where the instruction's own edges lie (unbiased exponents given).
ExtReal anyOrNear(OperandSource& src, int low, int high) {
  if (src.coin()) return src.any();
  return src.normal(x87test::kBias + src.between(low, high));
}

#define UNARY_CHECK(name, low, high)                                   \
  bool check_##name(OperandSource& src, std::string* report) {         \
    const ExtReal a = anyOrNear(src, low, high);                       \
    return agree(x87_software::name(a), x87_unit::name(a), report, a); \
  }
UNARY_CHECK(frndint, -3, 66)
UNARY_CHECK(fabs, -3, 3)
UNARY_CHECK(fistp32, 25, 33)
#undef UNARY_CHECK

bool check_fstp64(OperandSource& src, std::string* report) {
  static const int edges[][2] = {{-1022 - 66, -1020}, {1020, 1025}};
  const int* edge = edges[src.below(2)];
  const ExtReal a = anyOrNear(src, edge[0], edge[1]);
  return agree(x87_software::fstp64(a), x87_unit::fstp64(a), report, a);
}

bool check_fstp32(OperandSource& src, std::string* report) {
  static const int edges[][2] = {{-126 - 28, -124}, {125, 129}};
  const int* edge = edges[src.below(2)];
  const ExtReal a = anyOrNear(src, edge[0], edge[1]);
  return agree(x87_software::fstp32(a), x87_unit::fstp32(a), report, a);
}

// Narrow bits with the exponent field at either end, or anywhere; the
// fraction of any shape (zero, the quiet bit alone, one low bit, random).
std::uint64_t narrowBits(OperandSource& src, int fractionBits, int exponentBits) {
  const std::uint64_t maxField = (1ULL << exponentBits) - 1;
  static const int fieldPicks = 5;
  std::uint64_t field;
  switch (src.below(fieldPicks)) {
    case 0:
      field = 0;
      break;
    case 1:
      field = maxField;
      break;
    case 2:
      field = 1;
      break;
    default:
      field = src.bits() & maxField;
  }
  std::uint64_t fraction = src.bits() >> src.below(64);
  if (src.below(4) == 0) fraction = src.coin() ? 0 : 1ULL << (fractionBits - 1);
  fraction &= (1ULL << fractionBits) - 1;
  return (static_cast<std::uint64_t>(src.coin()) << (fractionBits + exponentBits)) |
         (field << fractionBits) | fraction;
}

bool check_fld32(OperandSource& src, std::string* report) {
  const auto bits = static_cast<std::uint32_t>(narrowBits(src, 23, 8));
  return agree(x87_software::fld32(bits), x87_unit::fld32(bits), report, bits);
}

bool check_fld64(OperandSource& src, std::string* report) {
  const std::uint64_t bits = narrowBits(src, 52, 11);
  return agree(x87_software::fld64(bits), x87_unit::fld64(bits), report, bits);
}

// Integers of every length, the extremes included.
std::uint64_t integerBits(OperandSource& src) {
  const std::uint64_t r = src.bits();
  switch (src.below(4)) {
    case 0:
      return src.coin() ? 1ULL << 63 : (1ULL << 31);
    case 1:
      return static_cast<std::uint64_t>(src.between(-2, 2));
    default:
      return src.coin() ? r >> src.below(64) : 0 - (r >> src.below(64));
  }
}

bool check_fild32(OperandSource& src, std::string* report) {
  std::uint64_t r = integerBits(src);
  if (src.coin()) r >>= 32;  // the top half: INT32_MIN among others
  const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(r));
  return agree(x87_software::fild32(v), x87_unit::fild32(v), report, v);
}

bool check_fild64(OperandSource& src, std::string* report) {
  const auto v = static_cast<std::int64_t>(integerBits(src));
  return agree(x87_software::fild64(v), x87_unit::fild64(v), report, v);
}

struct Instruction {
  const char* name;
  Check check;
};

const Instruction kInstructions[] = {
    {"fild32", check_fild32},   {"fild64", check_fild64},   {"fld32", check_fld32},
    {"fld64", check_fld64},     {"fstp32", check_fstp32},   {"fstp64", check_fstp64},
    {"fistp32", check_fistp32}, {"fadd", check_fadd},       {"fsub", check_fsub},
    {"fmul", check_fmul},       {"fdiv", check_fdiv},       {"fcom", check_fcom},
    {"fscale", check_fscale},   {"frndint", check_frndint}, {"fabs", check_fabs},
};

bool longTests() {
  const char* value = std::getenv("VELTRANE_LONG_TESTS");
  return value != nullptr && value[0] == '1';
}

long operandSets() { return longTests() ? 100000000L : 1000000L; }

class X87Differential : public ::testing::TestWithParam<Instruction> {};

TEST_P(X87Differential, SoftwareGivesTheUnitsBits) {
  const Instruction& instruction = GetParam();
  const long total = operandSets();
  const unsigned threads = longTests() ? std::max(1u, std::thread::hardware_concurrency()) : 1u;
  std::atomic<long> differ{0};
  std::mutex reportsLock;
  std::vector<std::string> reports;
  const auto run = [&](unsigned index) {
    std::uint64_t seed = 0x9E3779B97F4A7C15ULL * (index + 1);
    for (const char* c = instruction.name; *c; ++c)
      seed = seed * 131 + static_cast<unsigned char>(*c);
    OperandSource src(seed);
    const long count = total / threads + (index < total % threads ? 1 : 0);
    std::string report;
    for (long i = 0; i < count; ++i) {
      if (instruction.check(src, &report)) continue;
      differ.fetch_add(1);
      std::lock_guard<std::mutex> hold(reportsLock);
      if (reports.size() < 10) reports.push_back(report);
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < threads; ++t) workers.emplace_back(run, t);
  run(0);
  for (std::thread& worker : workers) worker.join();
  std::printf("%-8s %ld operand sets, %ld differ\n", instruction.name, total, differ.load());
  std::string shown;
  for (const std::string& r : reports) shown += "\n  " + std::string(instruction.name) + r;
  EXPECT_EQ(differ.load(), 0) << shown;
}

INSTANTIATE_TEST_SUITE_P(EveryExactInstruction, X87Differential, ::testing::ValuesIn(kInstructions),
                         [](const ::testing::TestParamInfo<Instruction>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

#endif
