#include "numeric/fast_real.h"

#include "numeric/arithmetic.h"
#include "numeric/ext_math.h"

#include <cstdint>

#include "numeric/x87_asm.h"

X87TruncatingMode::X87TruncatingMode() {
  // Between functions the register stack is empty (both calling conventions
  // require it), and with every exception masked the status flags change no
  // result; so when the control word is already right there is nothing to
  // do, and skipping `fninit` also keeps its cleared precision flag from
  // slowing down the next inexact operation.
  if (x87ControlWord() == ExtFormat::kControlWord) return;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP : [cw] "=m"(cw) : : X87_CLOBBERS);
}

int cachedMaxDigits(int base) {
  constexpr int kFirst = 2, kLast = 36;
  struct Table {
    int digits[kLast + 1];
    Table() {
      for (int b = kFirst; b <= kLast; ++b) digits[b] = maxDigits(b);
    }
  };
  static const Table table;
  return base >= kFirst && base <= kLast ? table.digits[base] : maxDigits(base);
}

FastReal cachedLog2OfBase(int base) {
  constexpr int kLast = 99;
  struct Table {
    ExtReal log2[kLast + 1];
    Table() {
      for (int b = 0; b <= kLast; ++b) log2[b] = extLog2(ExtReal(b));
    }
  };
  static const Table table;
  return FastReal(base >= 0 && base <= kLast ? table.log2[base] : extLog2(ExtReal(base)));
}
