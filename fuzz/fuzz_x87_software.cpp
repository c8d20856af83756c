// The software x87 instructions on arbitrary bytes: against the unit where
// the target has one, bit for bit; everywhere, the symmetries the unit's
// rules imply (fadd and fmul commute, NaN choice included; fcom mirrors).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "numeric/x87_instructions.h"

namespace {

bool same(ExtReal a, ExtReal b) { return std::memcmp(a.bytes(), b.bytes(), 10) == 0; }

std::uint16_t mirrored(std::uint16_t status) {
  return status == 0x0000 ? 0x0100 : status == 0x0100 ? 0x0000 : status;
}

}  // namespace

// Byte 0: the instruction (mod 15); bytes 1-10: operand a (also the bits of
// the loads); bytes 11-20: operand b. Missing bytes are zero.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t bytes[21] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  std::uint64_t sa, sb;
  std::uint16_t ea, eb;
  std::memcpy(&sa, bytes + 1, 8);
  std::memcpy(&ea, bytes + 9, 2);
  std::memcpy(&sb, bytes + 11, 8);
  std::memcpy(&eb, bytes + 19, 2);
  const ExtReal a = ExtReal::fromBits(sa, ea), b = ExtReal::fromBits(sb, eb);

  namespace soft = x87_software;
  FUZZ_CHECK(same(soft::fadd(a, b), soft::fadd(b, a)));
  FUZZ_CHECK(same(soft::fmul(a, b), soft::fmul(b, a)));
  FUZZ_CHECK(soft::fcom(a, b) == mirrored(soft::fcom(b, a)));

#if VELTRANE_X87_UNIT
  namespace unit = x87_unit;
  std::uint64_t bits;
  std::memcpy(&bits, bytes + 1, 8);
  const auto bits32 = static_cast<std::uint32_t>(bits);
  switch (bytes[0] % 15) {
    case 0:
      FUZZ_CHECK(same(soft::fild32(static_cast<std::int32_t>(bits32)),
                      unit::fild32(static_cast<std::int32_t>(bits32))));
      break;
    case 1:
      FUZZ_CHECK(same(soft::fild64(static_cast<std::int64_t>(bits)),
                      unit::fild64(static_cast<std::int64_t>(bits))));
      break;
    case 2:
      FUZZ_CHECK(same(soft::fld32(bits32), unit::fld32(bits32)));
      break;
    case 3:
      FUZZ_CHECK(same(soft::fld64(bits), unit::fld64(bits)));
      break;
    case 4:
      FUZZ_CHECK(soft::fstp32(a) == unit::fstp32(a));
      break;
    case 5:
      FUZZ_CHECK(soft::fstp64(a) == unit::fstp64(a));
      break;
    case 6:
      FUZZ_CHECK(soft::fistp32(a) == unit::fistp32(a));
      break;
    case 7:
      FUZZ_CHECK(same(soft::fadd(a, b), unit::fadd(a, b)));
      break;
    case 8:
      FUZZ_CHECK(same(soft::fsub(a, b), unit::fsub(a, b)));
      break;
    case 9:
      FUZZ_CHECK(same(soft::fmul(a, b), unit::fmul(a, b)));
      break;
    case 10:
      FUZZ_CHECK(same(soft::fdiv(a, b), unit::fdiv(a, b)));
      break;
    case 11:
      FUZZ_CHECK(soft::fcom(a, b) == unit::fcom(a, b));
      break;
    case 12:
      FUZZ_CHECK(same(soft::fscale(a, b), unit::fscale(a, b)));
      break;
    case 13:
      FUZZ_CHECK(same(soft::frndint(a), unit::frndint(a)));
      break;
    default:
      FUZZ_CHECK(same(soft::fabs(a), unit::fabs(a)));
      break;
  }
#endif
  return 0;
}
