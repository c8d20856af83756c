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

template <class Real>
struct Arithmetic;

template <>
struct Arithmetic<ExtReal> {
  static int maxDigits(int base) { return ::maxDigits(base); }
};

template <>
struct Arithmetic<FastReal> {
  static int maxDigits(int base) { return cachedMaxDigits(base); }
};

#endif
