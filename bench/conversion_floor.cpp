// The floor under a conversion: the x87 instructions that no conversion
// from text in one base to digits in another can avoid, timed in registers
// on the numerals of a corpus, next to the whole conversion (convertLine) of
// the same numerals in the same process.
//
//     conversion_floor FROM TO [REPEAT] < numerals
//
// prints "floor NS logfloor NS convert NS" (nanoseconds per numeral, best
// of REPEAT runs, default 5). Numerals that are rejected or overflow are
// left out of all three.
//
// Per numeral the floor is: load the mantissa (an exact integer, or the
// value of the literal digit steps when it has more than 64 bits), `fmul`
// by the power of the input base unless the scale is 0, the negation of a
// negative numeral and `fabs`, a load of the output power for the numeral's
// exponent estimate, `fdiv` by it, the two `fcomi` corrections (with their
// `fdiv` or `fmul` when one applies) and the `fstp` that hands the scaled
// value to the integer digit loop. The estimate itself is given: the fast
// path mostly finds it without x87 work. logfloor adds the literal way to
// it, `fyl2x`, `fdiv` by log2 of the output base and `fistp`, and so is the
// floor of a conversion that takes every x87 step of the estimate.
// Everything else a conversion does (the text, the digit loop, rounding,
// the layout) is integer work. The powers are precomputed, as a warm cache
// holds them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "library/convert_line.h"
#include "numeral/parse.h"
#include "numeral/arithmetic.h"
#include "numeric/fast_real.h"

namespace {

constexpr int kExponentRange = 5200;  // output exponents -5200 .. 5200

struct FloorInput {
  long double mantissa;  // the accumulated digits, exactly as the parser leaves them
  long double inputPower;
  int scaled;  // the input scale is not 0
  int negative;
  int estimate;  // toInt of the logarithm of the value in the output base
};

// The mantissa and scale of an accepted numeral: its digits before any
// exponent parsed on their own give the mantissa, and the scale is the full
// value's power of the base.
bool floorInput(const std::string& line, int inputBase, FloorInput* input, FastReal* value) {
  int base = inputBase;
  if (parseNumeral(value, line.c_str(), &base) != kParseValue) return false;
  std::string digits;
  long long scale = 0;
  bool fraction = false;
  std::size_t at = line[0] == '-' || line[0] == '+' ? 1 : 0;
  int v;
  for (; at < line.size(); ++at) {
    if (line[at] == '.') {
      fraction = true;
    } else if (digitValue(&v, line[at], base)) {
      digits += line[at];
      if (fraction) --scale;
    } else {
      break;
    }
  }
  if (at < line.size() && line[at] != '@') {  // an exponent marker
    ++at;
    bool negativeExponent = false;
    if (line[at] == '-') negativeExponent = true, ++at;
    if (line[at] == '+') ++at;
    long long exponent = 0;
    while (at < line.size() && digitValue(&v, line[at], base)) exponent = exponent * base + v, ++at;
    scale += negativeExponent ? -exponent : exponent;
  }
  FastReal mantissa;
  int digitsBase = base;
  parseNumeral(&mantissa, (digits.empty() ? "0" : digits).c_str(), &digitsBase);
  input->mantissa = mantissa.raw();
  input->scaled = scale != 0;
  input->inputPower = cachedPower(base, static_cast<int>(scale)).raw();
  input->negative = line[0] == '-';
  return true;
}

double nanosecondsPer(std::chrono::steady_clock::time_point start, std::size_t count) {
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
             .count() /
         static_cast<double>(count);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: conversion_floor FROM TO [REPEAT] < numerals\n");
    return 2;
  }
  const int from = std::atoi(argv[1]);
  const int to = std::atoi(argv[2]);
  const int repeat = argc > 3 ? std::atoi(argv[3]) : 5;
  if (from < 2 || from > 36 || to < 2 || to > 36 || repeat < 1) {
    std::fprintf(stderr, "conversion_floor: bases must lie in 2..36\n");
    return 2;
  }

  X87TruncatingMode mode;
  std::vector<std::string> lines;
  std::vector<FloorInput> inputs;
  char buffer[8192];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
    std::string line(buffer, std::strcspn(buffer, "\r\n"));
    FloorInput input;
    FastReal value;
    if (line.empty() || !floorInput(line, from, &input, &value)) continue;
    value = magnitudeOf(value);
    if (value == FastReal(0.0)) continue;  // zeros take no x87 steps at all
    input.estimate = toInt(Arithmetic<FastReal>::logBase(to, value));
    lines.push_back(line);
    inputs.push_back(input);
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "conversion_floor: no numerals\n");
    return 1;
  }
  std::vector<long double> outputPowers(2 * kExponentRange + 1);
  for (int e = -kExponentRange; e <= kExponentRange; ++e)
    outputPowers[static_cast<std::size_t>(e + kExponentRange)] = cachedPower(to, e).raw();
  const FastReal logOfBase = cachedLog2OfBase(to);
  const FastReal base(to);
  const int oneInt = 1;
  const FastReal one(oneInt);

  double floor = 0, logFloor = 0, convert = 0;
  unsigned long long sink = 0;
  for (int run = 0; run < repeat * 2; ++run) {
    const bool withLog = run % 2 == 1;
    auto start = std::chrono::steady_clock::now();
    for (const FloorInput& input : inputs) {
      FastReal value = FastReal::fromRaw(input.mantissa);
      if (input.scaled) value *= FastReal::fromRaw(input.inputPower);
      value = magnitudeOf(negatedIf(value, input.negative));
      int e = withLog ? toInt(extLog2(value) / logOfBase) : input.estimate;
      if (e < 0) e -= 1;
      if (e < -kExponentRange) e = -kExponentRange;
      if (e > kExponentRange) e = kExponentRange;
      value /= FastReal::fromRaw(outputPowers[static_cast<std::size_t>(e + kExponentRange)]);
      if (value >= base) value /= base;
      if (value < one) value *= base;
      sink += value.toExtReal().significand();
    }
    const double floorRun = nanosecondsPer(start, inputs.size());
    if (withLog) {
      if (run == 1 || floorRun < logFloor) logFloor = floorRun;
      continue;
    }

    const LineOptions options{from, to, 1};
    char out[kLineOutputSize];
    start = std::chrono::steady_clock::now();
    for (const std::string& line : lines) {
      convertLine(line.data(), line.size(), options, out);
      sink += static_cast<unsigned char>(out[1]);
    }
    const double convertRun = nanosecondsPer(start, lines.size());
    if (run == 0 || floorRun < floor) floor = floorRun;
    if (run == 0 || convertRun < convert) convert = convertRun;
  }
  std::printf("floor %.1f logfloor %.1f convert %.1f\n", floor, logFloor, convert);
  return sink == 42 ? 3 : 0;  // keeps the work observable
}
