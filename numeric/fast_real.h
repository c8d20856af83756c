// FastReal: the arithmetic of ExtReal without re-initialising the x87 unit
// for every operation.
//
// ExtReal starts each operation with `fninit` and control word 0x0F7F and
// passes values between operations as 10-byte memory images. Both only cost
// time: the mode never changes, and an x87 register holds the full extended
// format, so a value kept in a register is the same value. FastReal issues the
// same instructions (fadd, fsub, fmul, fdiv, fistp, fyl2x, f2xm1, fscale,
// frndint) on register operands and so gives bit-identical results, provided
// control word 0x0F7F is in force: create an X87TruncatingMode first, on the
// same thread, and call no code that changes the control word meanwhile
// (ExtReal operations leave it at 0x0F7F, so they may be mixed in).
//
// Every operation is a volatile asm statement, so the compiler can neither
// fold constants (it would round to nearest), nor replace the instruction,
// nor move it ahead of the mode set-up.
//
// Where the build computes with the software instructions there are no
// registers and no mode to keep: FastReal is then the software arithmetic
// itself, a 10-byte image with the same interface, and X87TruncatingMode
// does nothing.
#ifndef VELTRANE_NUMERIC_FAST_REAL_H
#define VELTRANE_NUMERIC_FAST_REAL_H

#include "numeric/ext_math.h"
#include "numeric/ext_real.h"
// X87TruncatingMode, FastReal and the functions over it (magnitudeOf,
// negatedIf, toInt, extLog2, extExp2, extLogBase, extPow), in the build's
// arithmetic.
#include "numeric/x87_fast_real.h"

// maxDigits(base) for bases 2 to 99 (every base from 2 a numeral can name)
// from a per-thread table filled on first use with maxDigits itself, so the
// values are the same by construction; other bases are computed.
int cachedMaxDigits(int base);

// extLog2(ExtReal(base)) for bases 0 to 99 (every base a numeral can name)
// from a per-thread table filled on first use with extLog2 itself; other
// bases are computed.
FastReal cachedLog2OfBase(int base);

// extPow(base, exponent) computed by FastReal with the cached logarithm,
// memoised per thread (for the first eight threads that ask) in a
// direct-mapped table of 16384 entries (256 KB): the power depends only on
// the two ints, and conversions in a batch reuse few of them.
FastReal cachedPower(int base, int exponent);

#endif
