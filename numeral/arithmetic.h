// What the numeral code needs besides the operators, for either arithmetic:
// ExtReal (every operation from a fresh x87 state) or FastReal (the same
// operations in registers, bit for bit). The numeral stages are written once
// as templates over the two.
#ifndef VELTRANE_NUMERAL_ARITHMETIC_H
#define VELTRANE_NUMERAL_ARITHMETIC_H

#include "numeric/ext_math.h"
#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

// The 10-byte image of a value, for tests of its encoding.
inline ExtReal imageOf(const ExtReal& value) { return value; }
inline ExtReal imageOf(const FastReal& value) { return value.toExtReal(); }

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
  // toInt(logBase(base, x))
  static int logBaseTruncated(int base, ExtReal x) { return toInt(logBase(base, x)); }
  // Steps 4 to 13 of the digit generator in one, where they reduce to
  // integer work: never for the literal arithmetic.
  static bool roundedPowerOfTwoBaseDigits(char*, int, const ExtReal&, int*, int*, int) {
    return false;
  }
  // n digit loop steps: digit = toInt(value), stored as a signed 8-bit value;
  // value = (value - stored) * base. baseValue is ExtReal(base).
  static void extractDigits(char* digits, int n, ExtReal* value, ExtReal baseValue, int base) {
    (void)base;
    for (int i = 0; i < n; ++i) {
      digits[i] = static_cast<char>(toInt(*value));
      const int stored = digits[i];
      *value -= ExtReal(stored);
      *value *= baseValue;
    }
  }
};

template <>
struct Arithmetic<FastReal> {
  static int maxDigits(int base) { return cachedMaxDigits(base); }
  static FastReal power(int base, int exponent) { return cachedPower(base, exponent); }
  static FastReal logBase(int base, FastReal x) { return extLog2(x) / cachedLog2OfBase(base); }
  // toInt(logBase(base, x)) for a positive x. Where an estimate of the
  // quotient in double arithmetic lies far enough from every integer that
  // the truncation cannot differ, that truncation is the result, without
  // `fyl2x`; elsewhere (near powers of the base, for subnormals and for bases
  // outside 2..36) the literal steps are taken. See logBaseEstimate.
  static int logBaseTruncated(int base, FastReal x) {
    int estimate;
    if (logBaseEstimate(base, x, &estimate)) return estimate;
    return logBaseRemembered(base, x);
  }
  static bool logBaseEstimate(int base, FastReal x, int* estimate);
  // toInt(logBase(base, x)) by the literal steps, for the values the
  // estimate leaves open: those next to powers of the base, which round
  // numbers bring again and again. So the last results are kept, per thread,
  // by the value's image and the base.
  static int logBaseRemembered(int base, FastReal x);
  // Steps 4 to 13 of the digit generator for base 2, 4, 8, 16 or 32 and a
  // normal value away from both ends of the range, image its image (the
  // sign is ignored), where the n digits take at most 64 bits: writes the n
  // digit values as step 13 leaves them (the kept ones, then 0s), the
  // exponent e of the first and the count of kept digits, and returns true;
  // false, having written nothing, elsewhere. There every step of the loop
  // is exact (see fast_real.cpp), so the digits are bit copies, and the
  // rounding works on them as one integer.
  static bool roundedPowerOfTwoBaseDigits(char* digits, int n, const ExtReal& image, int* e,
                                          int* kept, int base);
  // The same steps, computed exactly in integers: for a positive normal
  // value below 2^63 the integer part is the significand's top bits, the
  // subtraction is exact, and the product by an integer base truncated to 64
  // significant bits is what `fmul` gives under rounding toward zero. The
  // loop so runs on integer units, without the x87 latencies. Values it does
  // not cover (a digit that does not survive the 8-bit store, zero, or an
  // odd start) take the literal steps.
  static void extractDigits(char* digits, int n, FastReal* value, FastReal baseValue, int base) {
    if (!extractDigitsExactly(digits, n, value, base))
      extractDigitsLiterally(digits, n, value, baseValue);
  }

 private:
  static bool extractDigitsExactly(char* digits, int n, FastReal* value, int base);
  static void extractDigitsLiterally(char* digits, int n, FastReal* value, FastReal baseValue) {
    for (int i = 0; i < n; ++i) {
      digits[i] = static_cast<char>(toInt(*value));
      const int stored = digits[i];
      *value -= FastReal(stored);
      *value *= baseValue;
    }
  }
};

#endif
