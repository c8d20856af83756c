// The candidate digits of the round-trip search. The texts of c digits that
// read back are ranges of integers N, one per exponent tried (Candidates);
// the one nearest to the stored value is found by the value's exact position
// in units of the last digit, and between exponents by exact distances, in
// Natural where 128 bits do not hold them. Then its digits are written.
#include "numeral/round_trip_candidates.h"

#include <cstdint>
#include <utility>

#include "numeral/chunk_digits.h"
#include "numeral/digit_alphabet.h"
#include "numeral/format.h"
#include "numeral/power_estimate.h"
#include "numeral/round_trip.h"

namespace round_trip {
namespace {

// floor(2x) and whether 2x is an integer, for x = value * base^-k: the
// value in units of base^k, the place of a text's last digit.
void doubledPosition(const Stored& value, int base, int k, Natural* floorOfTwice,
                     bool* integral) {
  Natural numerator(value.significand);
  Natural denominator(1);
  if (k < 0)
    numerator.multiplyByPower(base, -k);
  else
    denominator.multiplyByPower(base, k);
  const int shift = value.binaryExponent + 1;
  if (shift >= 0) {
    numerator.shiftLeft(shift);
  } else if (k <= 0) {
    // The denominator is a power of two.
    *floorOfTwice = numerator;
    floorOfTwice->shiftRight(-shift);
    *integral = numerator.lowBitsZero(-shift);
    return;
  } else {
    denominator.shiftLeft(-shift);
  }
  Natural rest;
  divide(numerator, denominator, floorOfTwice, &rest);
  *integral = rest.isZero();
}

// floor(2x) and whether 2x is an integer from the 128-bit estimate of
// base^-k: 2x = significand 2^(q + 1) base^-k lies in [sig P, sig (P + 2
// error)) 2^(exponent + q + 1) for the estimate P 2^exponent, and where both
// ends have one floor, 2x has it; 2x is then an integer only if it is the
// lower end. False, nothing written, where the bracket leaves either open.
bool estimateDoubledPosition(const Stored& value, int base, int k, u128* floorOfTwice,
                             bool* integral) {
  const PowerEstimate power = cachedPowerEstimate(base, -k);
  const long long shift = static_cast<long long>(power.exponent) + value.binaryExponent + 1;
  if (shift >= 0) return false;
  const int drop = shift < -1000 ? 1000 : static_cast<int>(-shift);
  const u128 upper = power.p + 2 * static_cast<u128>(power.error);
  if (upper < power.p) return false;
  u128 floors[2];
  bool lost[2];
  for (int end = 0; end < 2; ++end) {
    const u128 p = end == 0 ? power.p : upper;
    const u128 low = static_cast<u128>(value.significand) * static_cast<std::uint64_t>(p);
    const u128 high = static_cast<u128>(value.significand) * static_cast<std::uint64_t>(p >> 64) +
                      (low >> 64);
    const std::uint64_t limbs[3] = {static_cast<std::uint64_t>(low),
                                    static_cast<std::uint64_t>(high),
                                    static_cast<std::uint64_t>(high >> 64)};
    if (!shiftDown192(limbs, drop, &floors[end], &lost[end])) return false;
  }
  if (power.error == 0) {
    // The estimate is the power: 2x is the lower end.
    *floorOfTwice = floors[0];
    *integral = !lost[0];
    return true;
  }
  // The upper end is exclusive: where it is itself an integer, the floors
  // below it are one less. And where the lower end is an integer, 2x may
  // be that integer or lie above it.
  const u128 floorBelowUpper = lost[1] || floors[1] == 0 ? floors[1] : floors[1] - 1;
  if (floors[0] != floorBelowUpper || !lost[0]) return false;
  *floorOfTwice = floors[0];
  *integral = false;
  return true;
}

// The same, saturated into 128 bits (x beyond every narrow candidate): from
// the estimate where it decides, else exactly.
__attribute__((noinline)) u128 doubledPosition128(const Stored& value, int base, int k,
                                                  bool* integral) {
  u128 estimate;
  if (estimateDoubledPosition(value, base, k, &estimate, integral)) return estimate;
  Natural twice;
  doubledPosition(value, base, k, &twice, integral);
  return twice.fitsIn128() ? twice.low128() : ~static_cast<u128>(0);
}

// The candidate nearest to x, given G = floor(2x) and whether 2x = G: round
// x with a half going down, keep it in [low, high], and where it ends in 0
// take the neighbour on x's side (the lower one on a tie). Number is u128 or
// Natural.
template <class Number>
void roundInto(const Number& low, const Number& high, int base, const Number& floorOfTwice,
               bool integral, Number* n);

int compareNumbers(u128 a, u128 b) { return a < b ? -1 : (a == b ? 0 : 1); }
int compareNumbers(const Natural& a, const Natural& b) { return compare(a, b); }
void halve(u128* a) { *a >>= 1; }
void halve(Natural* a) { a->shiftRight(1); }
void twice(u128* a) { *a <<= 1; }
void twice(Natural* a) { a->shiftLeft(1); }
void increment(u128* a) { *a += 1; }
void increment(Natural* a) { a->addSmall(1); }
void decrement(u128* a) { *a -= 1; }
void decrement(Natural* a) { a->subtract(Natural(1)); }
bool isOdd(u128 a) { return (a & 1) != 0; }
bool isOdd(const Natural& a) { return a.bit(0); }
unsigned remainderOf(u128 a, int base) { return static_cast<unsigned>(a % static_cast<unsigned>(base)); }
unsigned remainderOf(const Natural& a, int base) {
  return a.remainderBy(static_cast<std::uint32_t>(base));
}

template <class Number>
void roundInto(const Number& low, const Number& high, int base, const Number& floorOfTwice,
               bool integral, Number* n) {
  Number rounded = floorOfTwice;
  halve(&rounded);
  if (isOdd(floorOfTwice) && !integral) increment(&rounded);
  if (compareNumbers(rounded, low) < 0) rounded = low;
  if (compareNumbers(rounded, high) > 0) rounded = high;
  *n = rounded;
  if (remainderOf(rounded, base) != 0) return;
  const bool hasDown = compareNumbers(rounded, low) > 0;
  Number up = rounded;
  increment(&up);
  const bool hasUp = compareNumbers(up, high) <= 0;
  bool takeUp = hasUp && !hasDown;
  if (hasUp && hasDown) {
    Number doubled = rounded;
    twice(&doubled);
    const int side = compareNumbers(doubled, floorOfTwice);
    takeUp = side < 0 || (side == 0 && !integral);
  }
  if (takeUp)
    *n = up;
  else
    decrement(n);
}

}  // namespace

// The nearest of a narrow range (extra == 0).
u128 nearestNarrow(const Candidates& range, int base, int c, const Stored& value) {
  if (range.low == range.high) return range.low;
  if (range.high - range.low == 1 && c >= 2) {
    if (remainderOf(range.low, base) == 0) return range.high;
    if (remainderOf(range.high, base) == 0) return range.low;
  }
  bool integral = false;
  const u128 position = doubledPosition128(value, base, range.e - c + 1, &integral);
  u128 n = 0;
  roundInto<u128>(range.low, range.high, base, position, integral, &n);
  return n;
}

// The nearest of any range, in Natural.
namespace {

__attribute__((noinline)) void nearestWide(const Candidates& range, int base, int c,
                                           const Stored& value, Natural* n) {
  Natural low = Natural::from128(range.low);
  Natural high = Natural::from128(range.high + 1);
  low.multiplyByPower(base, range.extra);
  high.multiplyByPower(base, range.extra);
  high.subtract(Natural(1));
  Natural position;
  bool integral = false;
  doubledPosition(value, base, range.e - c + 1, &position, &integral);
  roundInto<Natural>(low, high, base, position, integral, n);
}

// Compares |n1 base^k1 - value| with |n2 base^k2 - value| (-1, 0, 1), and
// tells in *smaller how n1 base^k1 compares with n2 base^k2. All three are
// brought to integers by one common factor base^a 2^b.
__attribute__((noinline)) int compareDistances(const Stored& value, int base, const Natural& n1,
                                               int k1, const Natural& n2, int k2,
                                               int* smaller) {
  int common = 0;
  if (-k1 > common) common = -k1;
  if (-k2 > common) common = -k2;
  const int twos = value.binaryExponent < 0 ? -value.binaryExponent : 0;
  Natural a = n1;
  a.multiplyByPower(base, k1 + common);
  a.shiftLeft(twos);
  Natural b = n2;
  b.multiplyByPower(base, k2 + common);
  b.shiftLeft(twos);
  Natural v(value.significand);
  v.multiplyByPower(base, common);
  v.shiftLeft(value.binaryExponent + twos);
  *smaller = compare(a, b);
  auto distance = [&v](Natural* x) {
    if (compare(*x, v) >= 0) {
      x->subtract(v);
    } else {
      Natural d = v;
      d.subtract(*x);
      *x = d;
    }
  };
  distance(&a);
  distance(&b);
  return compare(a, b);
}

// ---------------------------------------------------------------------------
// Writing the text.

// Lays out the c digits at digits (room for the string's n digits and a NUL)
// with first-digit exponent e; in scientific notation the string's n - c
// zeros follow the digits.
void layOut(char* out, char* digits, int c, int n, int e, int base, bool scientific,
            bool negative) {
  const int count = scientific ? n : c;
  for (int i = c; i < count; ++i) digits[i] = '0';
  digits[count] = '\0';
  int notation = scientific ? 1 : 0;
  // A limit no exponent reaches keeps the notation asked for.
  constexpr int kNoSwitch = 1 << 28;
  layoutNumeral(out, digits, count, negative ? 1 : 0, e, base, kNoSwitch, &notation);
}

// The c digits of n (below base^c) at digits, one instance per base so
// that the divisions by it are multiplications by constants: one 128-bit
// division splits off the low digits that fit 64 bits.
template <unsigned base>
void writeDigitsOf(char* digits, u128 n, int c) {
  constexpr int kLowDigits = [] {
    int count = 0;
    for (std::uint64_t p = base; p <= UINT64_MAX / base; p *= base) ++count;
    return count;
  }();
  constexpr std::uint64_t kChunk = [] {
    std::uint64_t p = 1;
    for (int i = 0; i < kLowDigits; ++i) p *= base;
    return p;
  }();
  std::uint64_t low = static_cast<std::uint64_t>(n);
  std::uint64_t high = 0;
  if (c > kLowDigits) {
    // n < 2^80, so n / chunk < 2^17 comes from a double estimate within one
    // and a correction.
    const std::uint64_t top = static_cast<std::uint64_t>(n >> 64);
    high = static_cast<std::uint64_t>((static_cast<double>(top) * 0x1p64 +
                                       static_cast<double>(static_cast<std::uint64_t>(n))) /
                                      static_cast<double>(kChunk));
    u128 rest;
    for (;;) {
      const u128 product = static_cast<u128>(high) * kChunk;
      if (product > n) {
        --high;
        continue;
      }
      rest = n - product;
      if (rest >= kChunk) {
        ++high;
        continue;
      }
      break;
    }
    low = static_cast<std::uint64_t>(rest);
  }
  if constexpr (kChunkDigitPairs) {
    // The low digits, then those of high (below 2^17), each by the chunk
    // writer's multiplications.
    const int lowCount = c < kLowDigits ? c : kLowDigits;
    writeChunkDigits<base>(digits + c - lowCount, low, lowCount);
    if (c > kLowDigits) writeChunkDigits<base>(digits, high, c - kLowDigits);
  } else {
    // In the WebAssembly module, where every byte of the page counts, a
    // division by the base a digit.
    int i = c - 1;
    for (int j = 0; j < kLowDigits && i >= 0; ++j, --i) {
      digits[i] = digitCharacter(static_cast<int>(low % base));
      low /= base;
    }
    for (; i >= 0; --i) {
      digits[i] = digitCharacter(static_cast<int>(high % base));
      high /= base;
    }
  }
}

template <class Offsets>
struct DigitWriters;
template <unsigned... offsets>
struct DigitWriters<std::integer_sequence<unsigned, offsets...>> {
  void (*of[kMaxBase + 1])(char*, u128, int);
  constexpr DigitWriters() : of() {
    ((of[kMinBase + offsets] = &writeDigitsOf<kMinBase + offsets>), ...);
  }
};
// One writer for each base from kMinBase to kMaxBase.
constexpr DigitWriters<std::make_integer_sequence<unsigned, kMaxBase - kMinBase + 1>> kDigitWriters;

}  // namespace

void writeNarrow(char* out, u128 n, int c, int stringLength, int e, int base, bool scientific,
                 bool negative) {
  char digits[kRoundTripMaxLength + 2];
  kDigitWriters.of[base](digits, n, c);
  layOut(out, digits, c, stringLength, e, base, scientific, negative);
}

namespace {

__attribute__((noinline)) void writeWide(char* out, Natural n, int c, int stringLength, int e,
                                         int base, bool scientific, bool negative) {
  char digits[kRoundTripMaxLength + 2];
  // A 64-bit chunk of digits a division of the whole number (a text can
  // run to thousands of digits), then the chunk's digits.
  const WordChunk chunk = wordChunkOf(base);
  const WordDivisor divisor(chunk.power);
  const unsigned b = static_cast<unsigned>(base);
  for (int end = c; end > 0; end -= chunk.digits) {
    std::uint64_t piece = n.divideBy(divisor);
    for (int i = end - 1; i >= 0 && i >= end - chunk.digits; --i) {
      digits[i] = digitCharacter(static_cast<int>(piece % b));
      piece /= b;
    }
  }
  layOut(out, digits, c, stringLength, e, base, scientific, negative);
}

}  // namespace

__attribute__((noinline)) void writeNearestOfMany(char* out, const Candidates* found, int count,
                                                  int c, int base, bool scientific, bool negative,
                                                  const Stored& value) {
  Natural best;
  int bestIndex = -1;
  for (int i = 0; i < count; ++i) {
    Natural n;
    if (found[i].extra == 0)
      n = Natural::from128(nearestNarrow(found[i], base, c, value));
    else
      nearestWide(found[i], base, c, value, &n);
    int smaller = 0;
    const int distance =
        bestIndex < 0 ? -1
                      : compareDistances(value, base, n, found[i].e - c + 1, best,
                                         found[bestIndex].e - c + 1, &smaller);
    if (distance < 0 || (distance == 0 && smaller < 0)) {
      best = n;
      bestIndex = i;
    }
  }
  const int e = found[bestIndex].e;
  writeWide(out, best, c, shapeOf(c, e, scientific, suffixLength(e, base)).n, e, base, scientific, negative);
}

}  // namespace round_trip
