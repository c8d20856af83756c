// fyl2x (with st(1) = 1) and f2xm1 in software: the unit's special cases
// here, the exact values truncated toward zero from the cores of
// x87_software_log_exp.h, which take normalised finite arguments only.
#include <cstdint>

#include "numeric/x87_instructions.h"
#include "numeric/x87_software_log_exp.h"
#include "numeric/x87_software_rules.h"

namespace x87_software {

using namespace rules;

// log2(+-0) = -inf (division by zero, masked); log2 of anything negative,
// -inf and negative subnormals included, is invalid; log2(+inf) = +inf;
// log2(1) = +0, the sign of y = 1.
ExtReal fyl2x(ExtReal x) {
  const Unpacked u = unpack(x);
  ExtReal result;
  if (notANumber(u, x, &result)) return result;
  if (u.kind == Kind::kZero) return infinity(true);
  if (u.negative) return indefinite();
  if (u.kind == Kind::kInfinity) return x;
  if (u.significand == kIntegerBit && u.exponent == 0) return zero(false);
  return truncatedLog2(u.significand, u.exponent);
}

// f2xm1 keeps the sign of a zero; 2^-inf - 1 = -1 and 2^+inf - 1 = +inf,
// as the unit gives them, while a finite operand beyond [-1, 1], where the
// instruction is undefined, comes back from the unit unchanged.
ExtReal f2xm1(ExtReal x) {
  const Unpacked u = unpack(x);
  ExtReal result;
  if (notANumber(u, x, &result)) return result;
  if (u.kind == Kind::kZero) return x;
  if (u.kind == Kind::kInfinity)
    return u.negative ? packImage(true, 1, 0) : x;
  const bool withinOne = u.exponent < 0 || (u.exponent == 0 && u.significand == kIntegerBit);
  if (!withinOne) return x;
  return truncatedExp2m1(u.negative, u.significand, u.exponent);
}

}  // namespace x87_software
