// The exact transcendental cores beneath the software fyl2x and f2xm1: the
// exact result cut toward zero to a 64-bit significand, computed in integers
// only (no floating-point operation, no 128-bit division), on every target.
//
// The unit approximates these two instructions within about an ulp, and
// makers differ in the last bit; these functions instead return the one
// correct truncation. Each result comes from Ziv's strategy: a pass computes
// an interval that provably holds the exact value (the error bounds and
// their proofs are in the .cpp); when both ends of the interval truncate to
// the same extended value, that value is the result, else a more precise
// pass runs. The exact values are never representable (apart from the cases
// answered up front), so the passes end; see the .cpp for the last one.
//
// The special cases of the instructions (zeros, infinities, NaNs,
// unsupported encodings, the operand range of f2xm1) are the callers'.
#ifndef VELTRANE_NUMERIC_X87_SOFTWARE_LOG_EXP_H
#define VELTRANE_NUMERIC_X87_SOFTWARE_LOG_EXP_H

#include <cstdint>

#include "numeric/ext_real.h"

// log2(x) for x = significand * 2^(exponent - 63), cut toward zero to the
// 64-bit significand, as a normal image (a zero for x = 1). Requires bit 63
// of significand set and |exponent| < 2^24: every finite positive extended
// value, subnormals included once normalised, lies far inside (2^-16445 is
// significand 2^63 with exponent -16445). For x = 2^k the result is exactly
// k.
ExtReal truncatedLog2(std::uint64_t significand, int exponent);

// 2^x - 1 for x = (negative ? -1 : 1) * significand * 2^(exponent - 63), cut
// toward zero to the 64-bit significand, with gradual underflow: a result
// below 2^-16382 in magnitude is cut onto the grid of 2^-16445 (a subnormal
// image), and one below 2^-16445 becomes a zero of x's sign. Requires bit 63
// of significand set, 0 < |x| <= 1 and exponent > -2^24. x = 1 gives exactly
// 1 and x = -1 exactly -0.5. Outside 0 < |x| <= 1 the result is the
// indefinite NaN (the software f2xm1 never asks for it).
ExtReal truncatedExp2m1(bool negative, std::uint64_t significand, int exponent);

// How often the passes of Ziv's strategy ran on the calling thread, since the
// thread started or the last reset: for tests and benchmarks.
constexpr int kTranscendentalPasses = 6;
struct TranscendentalCounts {
  // Results computed by passes (the exact answers given up front are not).
  std::uint64_t results;
  // passes[0]: the first pass, 128 bits with tables; passes[i] for i >= 1:
  // the pass at 128 * 2^i bits (256 to 4096), each run only when every pass
  // before it could not decide.
  std::uint64_t passes[kTranscendentalPasses];
  // Results that even the 4096-bit pass could not decide (see the .cpp): no
  // argument is known to reach them.
  std::uint64_t unresolved;
};
TranscendentalCounts log2Counts();
TranscendentalCounts exp2m1Counts();
void resetTranscendentalCounts();

// For tests: the same functions with a direct (table-free) first pass of
// firstPassBits bits instead of the table pass, followed by the passes of
// the ladder above that precision. firstPassBits is 64 or one of the
// ladder's 128 to 4096 (other values take the largest of these below
// them). At 64 bits the first pass often cannot decide, which exercises the
// escalation; the counts are kept as above, the first pass in passes[0].
namespace x87_software_testing {
ExtReal truncatedLog2Direct(int firstPassBits, std::uint64_t significand, int exponent);
ExtReal truncatedExp2m1Direct(int firstPassBits, bool negative, std::uint64_t significand,
                              int exponent);
// Whether the written-out powers 2^(j / 128) of f2xm1's table pass
// (x87_software_exp2_powers.h) are, every one, what the direct pass gives.
bool exp2PowersAreTheirComputation();
}  // namespace x87_software_testing

#endif
