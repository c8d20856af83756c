#include "numeric/ext_math.h"

#include <cstdint>
#include <cstring>

#include "numeric/startup.h"
#include "numeric/x87_asm.h"

namespace {

int startupTicketCounter = 0;
int twoPow64Ticket = 0;

ExtReal computeTwoPow64() {
  twoPow64Ticket = takeStartupTicket();
  return extPow(ExtReal(2), ExtReal(64));
}

}  // namespace

int takeStartupTicket() { return ++startupTicketCounter; }
int twoPow64StartupTicket() { return twoPow64Ticket; }

VELTRANE_INIT_TWO_POW_64 ExtReal twoPow64 = computeTwoPow64();

ExtReal extLog2(ExtReal x) {
  const ExtReal one(1);
  ExtReal result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP
                   "fldt %[y]\n\t"
                   "fldt %[x]\n\t"
                   "fyl2x\n\t"
                   "fstpt %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [x] "m"(x), [y] "m"(one)
                   : X87_CLOBBERS);
  return result;
}

ExtReal extExp2(ExtReal x) {
  const ExtReal one(1);
  ExtReal integerPart;
  std::uint16_t cw;
  // frndint under 0x0F7F truncates toward zero.
  __asm__ volatile(X87_SETUP "fldt %[x]\n\tfrndint\n\tfstpt %[i]"
                   : [i] "=m"(integerPart), [cw] "=m"(cw)
                   : [x] "m"(x)
                   : X87_CLOBBERS);
  // Exact, and strictly inside (-1, 1): the operand range of f2xm1.
  const ExtReal fraction = x - integerPart;
  // No new set-up: the subtraction left control word 0x0F7F in force.
  ExtReal fractionPower;  // 2^fraction - 1
  __asm__ volatile("fldt %[f]\n\tf2xm1\n\tfstpt %[m]"
                   : [m] "=m"(fractionPower)
                   : [f] "m"(fraction)
                   : X87_CLOBBERS);
  ExtReal scaled;  // 1 * 2^integerPart
  __asm__ volatile(
      "fldt %[i]\n\t"
      "fldt %[y]\n\t"
      "fscale\n\t"
      "fstpt %[s]\n\t"
      "fstp %%st(0)"
      : [s] "=m"(scaled)
      : [i] "m"(integerPart), [y] "m"(one)
      : X87_CLOBBERS);
  scaled *= fractionPower + ExtReal(1);
  return scaled;
}

ExtReal extLogBase(ExtReal base, ExtReal x) {
  const ExtReal logOfBase = extLog2(base);
  const ExtReal logOfX = extLog2(x);
  return logOfX / logOfBase;
}

ExtReal extPow(ExtReal base, ExtReal exponent) {
  const ExtReal logOfBase = extLog2(base);
  const ExtReal power = exponent * logOfBase;
  return extExp2(power);
}

int doubleExponent(double d) {
  unsigned char image[8];
  std::memcpy(image, &d, 8);
  const int highBytes = (image[7] << 8) | image[6];
  return ((highBytes >> 4) & 0x7FF) - 1023;
}

int maxDigits(int base) { return toInt(extLogBase(ExtReal(base), twoPow64)); }
