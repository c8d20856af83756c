// The FastReal digit generator against the literal one, for the tests of the
// generator's shortcuts.
#ifndef VELTRANE_TESTS_FORMAT_LITERAL_DIGITS_H
#define VELTRANE_TESTS_FORMAT_LITERAL_DIGITS_H

#include <gtest/gtest.h>

#include "numeral/digits.h"
#include "numeric/ext_real.h"
#include "numeric/fast_real.h"
#include "tests/support/ext_testing.h"

// The FastReal digit generator's digits, count, sign and exponent for value
// in base, against the literal generator's. A fatal failure on the first
// that differs: callers check HasFatalFailure().
inline void expectLiteralDigits(const ExtReal& value, int base) {
  char literal[80], fast[80];
  int literalCount, literalNegative, literalExponent;
  int fastCount, fastNegative, fastExponent;
  generateDigits(literal, &literalCount, &literalNegative, &literalExponent, value, base);
  X87TruncatingMode mode;
  generateDigits(fast, &fastCount, &fastNegative, &fastExponent, FastReal(value), base);
  ASSERT_STREQ(fast, literal) << exttest::describe(value) << " in base " << base;
  ASSERT_EQ(fastExponent, literalExponent) << exttest::describe(value) << " in base " << base;
  ASSERT_EQ(fastCount, literalCount) << exttest::describe(value) << " in base " << base;
  ASSERT_EQ(fastNegative, literalNegative) << exttest::describe(value);
}

#endif
