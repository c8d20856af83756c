// An exact check of generated digits against the value they stand for, in
// plain big-integer arithmetic that shares nothing with the generator.
#ifndef VELTRANE_TESTS_FORMAT_EXACT_REFERENCE_H
#define VELTRANE_TESTS_FORMAT_EXACT_REFERENCE_H

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "numeric/ext_real.h"

namespace exactref {

// Non-negative integer, 32-bit limbs, least significant first.
using Big = std::vector<std::uint32_t>;

inline void trim(Big* x) {
  while (!x->empty() && x->back() == 0) x->pop_back();
}

inline Big fromU64(std::uint64_t v) {
  Big x{static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)};
  trim(&x);
  return x;
}

inline void mulAdd(Big* x, std::uint32_t factor, std::uint32_t addend) {
  std::uint64_t carry = addend;
  for (auto& limb : *x) {
    const std::uint64_t t = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  if (carry) x->push_back(static_cast<std::uint32_t>(carry));
}

inline void mulPow(Big* x, std::uint32_t base, int times) {
  // Whole powers below 2^32 first: far fewer passes over long numbers.
  std::uint32_t chunk = base;
  int chunkTimes = 1;
  while (std::uint64_t{chunk} * base <= 0xFFFFFFFFULL) {
    chunk *= base;
    ++chunkTimes;
  }
  for (; times >= chunkTimes; times -= chunkTimes) mulAdd(x, chunk, 0);
  for (; times > 0; --times) mulAdd(x, base, 0);
}

inline void shiftLeft(Big* x, int bits) {
  if (x->empty() || bits <= 0) return;
  Big r(bits / 32, 0);
  const int s = bits % 32;
  std::uint32_t carry = 0;
  for (std::uint32_t limb : *x) {
    r.push_back(s ? (limb << s) | carry : limb);
    carry = s ? limb >> (32 - s) : 0;
  }
  if (carry) r.push_back(carry);
  *x = r;
}

inline int compare(const Big& a, const Big& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

// a - b for a >= b.
inline Big subtract(const Big& a, const Big& b) {
  Big r = a;
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    std::int64_t t = std::int64_t{r[i]} - borrow - (i < b.size() ? std::int64_t{b[i]} : 0);
    borrow = t < 0;
    if (t < 0) t += std::int64_t{1} << 32;
    r[i] = static_cast<std::uint32_t>(t);
  }
  trim(&r);
  return r;
}

// log2 of x, good to about 2^-50 relative; -inf for 0.
inline double log2Of(const Big& x) {
  if (x.empty()) return -INFINITY;
  double top = 0;
  const std::size_t n = x.size();
  for (std::size_t i = n; i-- > 0 && i + 3 >= n;) top = top * 4294967296.0 + x[i];
  const int below = static_cast<int>(n < 3 ? 0 : n - 3);
  return std::log2(top) + 32.0 * below;
}

inline int digitOf(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

struct DigitError {
  double log2Relative;  // log2 |digits - value| / value; -inf when exact
  double log2Units;     // log2 |digits - value| / base^(exponent - count + 1)
};

// Compares d0.d1...d(count-1) * base^exponent with |value| (finite, non-zero,
// not an unnormal) exactly.
inline DigitError measure(const ExtReal& value, const std::string& digits, int exponent, int base) {
  const int biased = value.biasedExponent();
  // |value| = significand * 2^twoPower.
  const int twoPower = (biased == 0 ? 1 : biased) - 16383 - 63;
  const int count = static_cast<int>(digits.size());
  const int unitPower = exponent - count + 1;  // digits = D * base^unitPower

  Big d;
  for (char c : digits) mulAdd(&d, static_cast<std::uint32_t>(base), digitOf(c));
  // Both sides times base^max(-unitPower, 0) * 2^max(-twoPower, 0): integers.
  Big unit{1};  // base^unitPower in those scaled units
  mulPow(&unit, static_cast<std::uint32_t>(base), unitPower > 0 ? unitPower : 0);
  shiftLeft(&unit, twoPower < 0 ? -twoPower : 0);
  mulPow(&d, static_cast<std::uint32_t>(base), unitPower > 0 ? unitPower : 0);
  shiftLeft(&d, twoPower < 0 ? -twoPower : 0);
  Big v = fromU64(value.significand());
  shiftLeft(&v, twoPower > 0 ? twoPower : 0);
  mulPow(&v, static_cast<std::uint32_t>(base), unitPower < 0 ? -unitPower : 0);

  const Big diff = compare(d, v) >= 0 ? subtract(d, v) : subtract(v, d);
  return {log2Of(diff) - log2Of(v), log2Of(diff) - log2Of(unit)};
}

}  // namespace exactref

#endif
