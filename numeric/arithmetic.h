// What the numeral code needs besides the operators, for either arithmetic:
// ExtReal (every operation from a fresh x87 state) or FastReal (the same
// operations in registers, bit for bit). The numeral stages are written once
// as templates over the two.
#ifndef VELTRANE_NUMERIC_ARITHMETIC_H
#define VELTRANE_NUMERIC_ARITHMETIC_H

#include "numeric/ext_math.h"
#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

// The 10-byte image of a value, for tests of its encoding.
inline ExtReal imageOf(const ExtReal& value) { return value; }
inline ExtReal imageOf(const FastReal& value) { return value.toExtReal(); }

// maxDigits(base) for bases 2 to 36 from a table filled once with maxDigits
// itself, so the values are the same by construction; other bases are
// computed.
int cachedMaxDigits(int base);

// extLog2(ExtReal(base)) for bases 0 to 99 (every base a numeral can name)
// from a table filled once with extLog2 itself; other bases are computed.
FastReal cachedLog2OfBase(int base);

// The steps of the numeral stages that take a base as an int. For ExtReal
// they are the literal operations; for FastReal the same operations with the
// logarithm of the base and maxDigits looked up instead of recomputed, which
// gives the same bits.
template <class Real>
struct Arithmetic;

template <>
struct Arithmetic<ExtReal> {
  static int maxDigits(int base) { return ::maxDigits(base); }
  // extPow(base, exponent)
  static ExtReal power(int base, int exponent) { return extPow(ExtReal(base), ExtReal(exponent)); }
  // extLogBase(base, x)
  static ExtReal logBase(int base, ExtReal x) { return extLogBase(ExtReal(base), x); }
  // n digit loop steps: digit = toInt(value), stored as a signed 8-bit value;
  // value = (value - stored) * base.
  static void extractDigits(char* digits, int n, ExtReal* value, ExtReal base) {
    for (int i = 0; i < n; ++i) {
      digits[i] = static_cast<char>(toInt(*value));
      const int stored = digits[i];
      *value -= ExtReal(stored);
      *value *= base;
    }
  }
};

template <>
struct Arithmetic<FastReal> {
  static int maxDigits(int base) { return cachedMaxDigits(base); }
  static FastReal power(int base, int exponent) {
    return extExp2(FastReal(exponent) * cachedLog2OfBase(base));
  }
  static FastReal logBase(int base, FastReal x) { return extLog2(x) / cachedLog2OfBase(base); }
  // The same steps with the integer part taken by `frndint` in a register,
  // so that the store of the digit to memory is off the chain of dependent
  // operations. Under rounding toward zero `frndint` gives exactly the value
  // that `fistp` then `fild` would give whenever the truncation is a digit
  // that survives the 8-bit store; otherwise the literal steps are redone.
  static void extractDigits(char* digits, int n, FastReal* value, FastReal base) {
    const FastReal start = *value;
    for (int i = 0; i < n; ++i) {
      const int digit = toInt(*value);
      digits[i] = static_cast<char>(digit);
      if (digits[i] != digit) {
        *value = start;
        extractDigitsLiterally(digits, n, value, base);
        return;
      }
      *value -= truncated(*value);
      *value *= base;
    }
  }

 private:
  static FastReal truncated(FastReal x) {
    long double r;
    __asm__ volatile("frndint" : "=t"(r) : "0"(x.raw()));
    return FastReal::fromRaw(r);
  }
  static void extractDigitsLiterally(char* digits, int n, FastReal* value, FastReal base) {
    for (int i = 0; i < n; ++i) {
      digits[i] = static_cast<char>(toInt(*value));
      const int stored = digits[i];
      *value -= FastReal(stored);
      *value *= base;
    }
  }
};

#endif
