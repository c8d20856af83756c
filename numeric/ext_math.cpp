#include "numeric/ext_math.h"

#include <cstdint>
#include <cstring>

#include "numeric/startup.h"
#include "numeric/x87_caller_mode.h"
#include "numeric/x87_instructions.h"

namespace {

int startupTicketCounter = 0;
int twoPow64Ticket = 0;

// Runs before main, on the thread of the program that loads the library:
// that program's control word is its own again afterwards.
ExtReal computeTwoPow64() {
  const X87CallerMode keep;
  twoPow64Ticket = takeStartupTicket();
  return extPow(ExtReal(2), ExtReal(64));
}

}  // namespace

int takeStartupTicket() { return ++startupTicketCounter; }
int twoPow64StartupTicket() { return twoPow64Ticket; }

VELTRANE_INIT_TWO_POW_64 ExtReal twoPow64 = computeTwoPow64();

ExtReal extLog2(ExtReal x) { return x87::fyl2x(x); }

ExtReal extExp2(ExtReal x) {
  // frndint under 0x0F7F truncates toward zero.
  const ExtReal integerPart = x87::frndint(x);
  // Exact, and strictly inside (-1, 1): the operand range of f2xm1.
  const ExtReal fraction = x - integerPart;
  const ExtReal fractionPower = x87::f2xm1(fraction);           // 2^fraction - 1
  const ExtReal scaled = x87::fscale(ExtReal(1), integerPart);  // 1 * 2^integerPart
  return scaled * (fractionPower + ExtReal(1));
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
