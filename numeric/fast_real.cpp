#include "numeric/fast_real.h"

#include <cstdint>

#include "numeric/x87_asm.h"

X87TruncatingMode::X87TruncatingMode() {
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP : [cw] "=m"(cw) : : X87_CLOBBERS);
}
