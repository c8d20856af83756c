#include "numeral/exact.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "numeral/chunk_digits.h"
#include "numeral/digit_alphabet.h"
#include "numeral/digit_words.h"
#include "numeral/format.h"
#include "numeral/power_estimate.h"
#include "numeric/ext_format.h"
#include "numeric/ext_image.h"
#include "numeric/thread_tables.h"
#include "numeric/wide_int.h"

namespace {

// A normal value with biased exponent E is significand * 2^(E - kPointBias).
constexpr int kPointBias = ExtFormat::kExponentBias + ExtFormat::kSignificandBits - 1;

// Every operand below fits: a value of the extended range times a power of
// a base below 37 that reaches the other end of the range, about 16,600
// bits; and for the distance of an exact expansion (1,100 digits) of the
// least values in base 36, the power of its last digit, 36^-4281, about
// 22,200 bits. formatUlpDistance refuses texts that would need more.
using Wide = WideInt<400>;

// The value of each byte as a digit of this file's numerals (upper case),
// 0xFF for any other byte. A lookup: the range tests it replaces branch on
// digit or letter, which in a text of base 11 up comes in no order that a
// branch predictor could follow.
struct WrittenDigits {
  std::uint8_t of[256];
  constexpr WrittenDigits() : of() {
    for (int c = 0; c < 256; ++c)
      of[c] = static_cast<std::uint8_t>(c >= '0' && c <= '9'   ? c - '0'
                                        : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                                               : 0xFF);
  }
};
inline constexpr WrittenDigits kWrittenDigits;

// The value of a digit as this file's numerals write it (upper case), or
// kNotADigit.
inline int writtenDigitOf(char c) {
  const int value = kWrittenDigits.of[static_cast<unsigned char>(c)];
  return value == 0xFF ? kNotADigit : value;
}

// What an expansion in one base works with: the 64-bit chunk B = base^k,
// the base as 2^twos * odd, and B's odd part odd^k. Multiplying a fraction
// x / 2^point by B is multiplying x by odd^k and moving the point down by
// twos * k bits, so in an even base the fraction gets shorter as its digits
// are taken.
struct BaseChunk {
  WordChunk chunk;
  int twos;
  std::uint64_t odd;
  std::uint64_t oddPower;
  WordDivisor divisor;  // by B, for integers
  void (*writeDigits)(char*, std::uint64_t, int);
  // The digits of count whole chunks, one after another.
  void (*writeChunks)(char*, const std::uint64_t*, int);
};

// writeChunkDigits over a run of whole chunks: one call for an expansion's
// chunks, whose chains of multiplications then overlap from chunk to chunk.
template <unsigned base>
void writeChunkRun(char* out, const std::uint64_t* chunks, int count) {
  constexpr int k = ChunkDigits<base>::kDigits;
  for (int i = 0; i < count; ++i) ChunkDigits<base>::writeAll(out + i * k, chunks[i]);
}

template <unsigned base>
constexpr BaseChunk baseChunkOf() {
  const WordChunk chunk = wordChunkOf(static_cast<int>(base));
  int twos = 0;
  std::uint64_t odd = base;
  while (odd % 2 == 0) {
    odd /= 2;
    ++twos;
  }
  std::uint64_t oddPower = 1;
  for (int i = 0; i < chunk.digits; ++i) oddPower *= odd;
  return BaseChunk{chunk,
                   twos,
                   odd,
                   oddPower,
                   WordDivisor(chunk.power),
                   &writeChunkDigits<base>,
                   &writeChunkRun<base>};
}

template <unsigned... bases>
constexpr std::array<BaseChunk, sizeof...(bases)> baseChunksOf() {
  return {{baseChunkOf<bases>()...}};
}

// Indexed by base - kMinBase.
constexpr std::array<BaseChunk, kMaxBase - kMinBase + 1> kBaseChunks =
    baseChunksOf<2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36>();

// Every chunk holds at least 59 bits (31^12 is the smallest, 2^59.4): so
// many chunks take an integer of the capacity apart.
constexpr int kMinChunkBits = 59;
constexpr bool chunksHoldAtLeast(int bits) {
  for (const BaseChunk& c : kBaseChunks)
    if ((c.chunk.power >> bits) == 0) return false;
  return true;
}
static_assert(chunksHoldAtLeast(kMinChunkBits), "a chunk below 2^59");
// Every chunk holds 12 digits or more: the runs of chunks that the limit
// takes have room for kExactDigitLimit / 12 + 2 of them.
constexpr bool chunksHoldTwelveDigits() {
  for (const BaseChunk& c : kBaseChunks)
    if (c.chunk.digits < 12) return false;
  return true;
}
static_assert(chunksHoldTwelveDigits(), "a chunk of fewer than 12 digits");
constexpr int kMaxChunks = Wide::kBits / kMinChunkBits + 1;

// The significant digits of an expansion, as characters, at most
// kExactDigitLimit: a chunk may be written past the limit (the room after
// it), and what lies there only decides whether the expansion is complete.
struct Expansion {
  char digit[kExactDigitLimit + 64];
  int count = 0;
  int exponent = 0;  // of the first digit
  bool complete = true;

  // Appends the count digits of a chunk, leading zeros included.
  void append(const BaseChunk& c, std::uint64_t group, int digits) {
    c.writeDigits(digit + count, group, digits);
    count += digits;
    cutAtLimit();
  }
  // Appends count whole chunks.
  void appendRun(const BaseChunk& c, const std::uint64_t* chunks, int count) {
    c.writeChunks(digit + this->count, chunks, count);
    this->count += count * c.chunk.digits;
    cutAtLimit();
  }
  void cutAtLimit() {
    if (count <= kExactDigitLimit) return;
    for (int i = kExactDigitLimit; i < count; ++i)
      if (digit[i] != '0') complete = false;
    count = kExactDigitLimit;
  }
};

// Writes an integer's digits from its chunks (length of them, least
// significant first, the top one not 0): the top chunk without its leading
// zeros, then only as many chunks as the limit takes, in one run; a
// non-zero chunk below those makes the expansion incomplete.
void writeIntegerChunks(const std::uint64_t* chunks, int length, const BaseChunk& c, Expansion* e) {
  const int k = c.chunk.digits;
  char top[64];
  c.writeDigits(top, chunks[length - 1], k);
  int lead = 0;
  while (top[lead] == '0') ++lead;
  std::memcpy(e->digit, top + lead, static_cast<std::size_t>(k - lead));
  e->count = k - lead;
  e->exponent = (length - 1) * k + (k - lead) - 1;
  // The chunks the limit takes (the last of them perhaps in part), most
  // significant first.
  std::uint64_t run[kExactDigitLimit / 12 + 2];
  int taken = 0;
  int i = length - 2;
  for (int count = e->count; i >= 0 && count < kExactDigitLimit; --i, count += k)
    run[taken++] = chunks[i];
  e->appendRun(c, run, taken);
  for (; i >= 0; --i)
    if (chunks[i] != 0) e->complete = false;
}

// The digits of a non-zero integer, most significant first: its chunks,
// least significant first, by reciprocal divisions of the whole number, two
// chunks a sweep.
void expandInteger(Wide n, const BaseChunk& c, Expansion* e) {
  std::uint64_t chunks[kMaxChunks];
  int length = 0;
  // Two chunks a sweep; the last sweep's second chunk may be a 0 above the
  // top one.
  while (!n.isZero() && length + 2 <= kMaxChunks) {
    n.divideTwiceBy(c.divisor, &chunks[length], &chunks[length + 1]);
    length += 2;
  }
  while (length > 1 && chunks[length - 1] == 0) --length;
  writeIntegerChunks(chunks, length, c, e);
}

// ---------------------------------------------------------------------------
// Integers significand * 2^q by powers of 2^64 kept in chunks.
//
// Taking an integer of L chunks apart by divisions costs about L^2 / 2
// division steps. With 2^(64 j) at hand in chunks of B (T_j below), the
// integer significand * 2^(64 j + r) is T_j times significand, times 2^r:
// two passes of L steps, each a product and one division step. The T_j
// are kept per thread for one base at a time (a CLI run writes one base),
// each built from the one before by one pass, as far as the values have
// asked. A new base gets them once it comes a second time in a row (they
// are then built again, which costs what the divisions would); a base that
// comes and goes, as in a program that switches bases at every value,
// keeps the divisions.

// The largest q of a finite image is 0x7FFE - 16446 = 16320: j from 0 to 255.
constexpr int kBinaryPowers = 256;
// Room for T_0 .. T_255: T_j has at most 64 j / 59 + 1 chunks, as every
// chunk holds 59 bits or more.
constexpr int powerChunkRoom() {
  int room = 0;
  for (int j = 0; j < kBinaryPowers; ++j) room += 64 * j / kMinChunkBits + 1;
  return room;
}

// Tables for the first threads (about 280 KB each, touched only as far as
// used); the WebAssembly module runs one thread in a fixed memory.
#if defined(__wasm__)
constexpr int kPowerChunkTables = 1;
#else
constexpr int kPowerChunkTables = 4;
#endif

struct BinaryPowerChunks {
  int base;                      // of the chunks; 0 while none are built
  int built;                     // T_0 .. T_(built - 1) are built
  int asked;                     // the base of the last value not taken from the chunks
  int start[kBinaryPowers + 1];  // T_j is chunks[start[j] .. start[j + 1])
  std::uint64_t chunks[powerChunkRoom()];
};

// floor(v / B) and v mod B for v = high * 2^64 + low < B * 2^64 (high < B):
// one step by the normalised divisor, v shifted left as far.
inline std::uint64_t divideByChunk(const WordDivisor& divisor, std::uint64_t high,
                                   std::uint64_t low, std::uint64_t* rest) {
  const int shift = divisor.shift();
  const std::uint64_t windowHigh = shift == 0 ? high : (high << shift) | (low >> (64 - shift));
  const std::uint64_t quotient = divisor.divideNormalisedStep(windowHigh, low << shift, rest);
  *rest >>= shift;
  return quotient;
}

// out = in * factor, both in chunks of B (out has room for length + 2);
// returns out's length. Every chunk is below B and the carry below 2^64,
// so each product and carry is below B * 2^64.
int multiplyChunks(const std::uint64_t* in, int length, std::uint64_t factor,
                   const WordDivisor& divisor, std::uint64_t* out) {
  std::uint64_t carry = 0;
  for (int i = 0; i < length; ++i) {
    const unsigned __int128 v = static_cast<unsigned __int128>(in[i]) * factor + carry;
    carry = divideByChunk(divisor, static_cast<std::uint64_t>(v >> 64),
                          static_cast<std::uint64_t>(v), &out[i]);
  }
  while (carry != 0) {
    const std::uint64_t high = carry / divisor.divisor();
    out[length++] = carry - high * divisor.divisor();
    carry = high;
  }
  return length;
}

// T_j for c's base in table (built on to j), as its chunks and length; null
// for a base other than the table's unless the value before asked for it
// too.
const std::uint64_t* powerChunks(BinaryPowerChunks* table, const BaseChunk& c, int j, int* length) {
  const int base = static_cast<int>(c.odd << c.twos);
  if (table->base != base) {
    if (table->asked != base) {
      table->asked = base;
      return nullptr;
    }
    table->base = base;
    table->start[0] = 0;
    table->chunks[0] = 1;
    table->start[1] = 1;
    table->built = 1;
  }
  table->asked = 0;
  // T_(i+1) = T_i * 2^64: each chunk times 2^64 plus the carry, divided by B.
  for (; table->built <= j; ++table->built) {
    const int i = table->built - 1;
    const std::uint64_t* in = table->chunks + table->start[i];
    std::uint64_t* out = table->chunks + table->start[i + 1];
    int count = table->start[i + 1] - table->start[i];
    std::uint64_t carry = 0;
    for (int at = 0; at < count; ++at) carry = divideByChunk(c.divisor, in[at], carry, &out[at]);
    while (carry != 0) {
      const std::uint64_t high = carry / c.divisor.divisor();
      out[count++] = carry - high * c.divisor.divisor();
      carry = high;
    }
    table->start[i + 2] = table->start[i + 1] + count;
  }
  *length = table->start[j + 1] - table->start[j];
  return table->chunks + table->start[j];
}

// The digits of significand * 2^q (significand not 0, q >= 0).
void expandBinaryInteger(std::uint64_t significand, int q, const BaseChunk& c, Expansion* e) {
  BinaryPowerChunks* const table =
      ThreadTables<BinaryPowerChunks, 1, kPowerChunkTables>::ofThisThread();
  int length;
  const std::uint64_t* const power =
      table != nullptr ? powerChunks(table, c, q >> 6, &length) : nullptr;
  if (power == nullptr) {
    Wide n(significand);
    n.shiftLeft(q);
    expandInteger(n, c, e);
    return;
  }
  std::uint64_t product[kMaxChunks];
  length = multiplyChunks(power, length, significand, c.divisor, product);
  if ((q & 63) != 0) {
    std::uint64_t shifted[kMaxChunks];
    length = multiplyChunks(product, length, std::uint64_t{1} << (q & 63), c.divisor, shifted);
    writeIntegerChunks(shifted, length, c, e);
    return;
  }
  writeIntegerChunks(product, length, c, e);
}

// Scales a fraction x / 2^point (0 < x < 2^point) past its leading zero
// digits: x * base^z / 2^point for the largest z that keeps it below 1, kept
// as x * odd^z / 2^(point - twos * z). A power that surely keeps it below
// first, then whole chunks while the product surely stays below; then
// base^j for the largest j with base^j <= 2^(point - bitLength), which
// surely does too, and one more digit where it still does (two more never
// do, as x >= 2^(bitLength - 1)). Returns z.
int scalePastZeros(Wide* x, int* point, const BaseChunk& c) {
  const int chunkShift = c.twos * c.chunk.digits;
  const int oddBits = 64 - __builtin_clzll(c.oddPower);
  const int chunkBits = oddBits + chunkShift;
  int zeros = 0;
  // Most of them at once: base < 2^(chunkBits / k), so base^z <=
  // 2^(point - bitLength) for z = (point - bitLength) k / chunkBits.
  const int room = *point - x->bitLength();
  if (room > 2 * chunkBits) {
    zeros = static_cast<int>(static_cast<long long>(room) * c.chunk.digits / chunkBits);
    x->multiplyByPower(static_cast<int>(c.odd), zeros);
    *point -= c.twos * zeros;
  }
  while (x->bitLength() + oddBits + chunkShift <= *point) {
    x->multiplyAdd(c.oddPower);
    *point -= chunkShift;
    zeros += c.chunk.digits;
  }
  // Below 64, as oddBits + chunkShift is the chunk's bit length.
  const std::uint64_t base = c.odd << c.twos;
  const std::uint64_t limit = std::uint64_t{1} << (*point - x->bitLength());
  std::uint64_t power = 1;
  std::uint64_t oddPower = 1;
  int j = 0;
  while (power <= limit / base) {
    power *= base;
    oddPower *= c.odd;
    ++j;
  }
  if (j != 0) {
    x->multiplyAdd(oddPower);
    *point -= c.twos * j;
    zeros += j;
  }
  Wide next = *x;
  next.multiplyAdd(c.odd);
  if (next.bitLength() + c.twos <= *point) {
    *x = next;
    *point -= c.twos;
    ++zeros;
  }
  return zeros;
}

// The fraction's digits after those already in e, a chunk a pass, until it
// ends or the limit is reached. The fraction is kept with its point on a
// limb boundary, F / 2^(64 n): F * B carries the next chunk out of its top
// limb, and nothing is taken apart or trimmed. F's low limbs that are 0
// (those below `low`) stay 0 under the products and are skipped; in an even
// base they grow by twos * k bits a chunk until F is 0 and the fraction ends.
void expandFraction(const Wide& x, int point, const BaseChunk& c, Expansion* e) {
  const int n = (point + 63) / 64;
  const int shift = 64 * n - point;  // below 64
  std::uint64_t limbs[Wide::kLimbs];
  limbs[0] = x.limb(0) << shift;
  for (int i = 1; i < n; ++i)
    limbs[i] = shift == 0 ? x.limb(i) : (x.limb(i) << shift) | (x.limb(i - 1) >> (64 - shift));
  int low = 0;
  while (low < n && limbs[low] == 0) ++low;
  const std::uint64_t b = c.chunk.power;
  const int k = c.chunk.digits;
  // The chunks first, then their digits in one run (room for one chunk of
  // 0 past the end, from the pair of passes below).
  std::uint64_t run[kExactDigitLimit / 12 + 3];
  int taken = 0;
  int count = e->count;
  // Two passes at a time while both chunks are wanted: the second pass
  // takes limb i - 1 in the step where the first takes limb i, so that
  // their two chains of carries overlap. Where the fraction ends with the
  // first, the second carries out a chunk of 0, whose zeros are trimmed
  // as any trailing zeros are.
  while (low + 1 < n && count + k < kExactDigitLimit) {
    unsigned __int128 first = static_cast<unsigned __int128>(limbs[low]) * b;
    limbs[low] = static_cast<std::uint64_t>(first);
    std::uint64_t carry = static_cast<std::uint64_t>(first >> 64);
    std::uint64_t secondCarry = 0;
    for (int i = low + 1; i < n; ++i) {
      first = static_cast<unsigned __int128>(limbs[i]) * b + carry;
      const unsigned __int128 second =
          static_cast<unsigned __int128>(limbs[i - 1]) * b + secondCarry;
      limbs[i] = static_cast<std::uint64_t>(first);
      carry = static_cast<std::uint64_t>(first >> 64);
      limbs[i - 1] = static_cast<std::uint64_t>(second);
      secondCarry = static_cast<std::uint64_t>(second >> 64);
    }
    const unsigned __int128 second = static_cast<unsigned __int128>(limbs[n - 1]) * b + secondCarry;
    limbs[n - 1] = static_cast<std::uint64_t>(second);
    run[taken++] = carry;
    run[taken++] = static_cast<std::uint64_t>(second >> 64);
    count += 2 * k;
    while (low < n && limbs[low] == 0) ++low;
  }
  for (; low < n && count < kExactDigitLimit; count += k) {
    std::uint64_t carry = 0;
    for (int i = low; i < n; ++i) {
      const unsigned __int128 product = static_cast<unsigned __int128>(limbs[i]) * b + carry;
      limbs[i] = static_cast<std::uint64_t>(product);
      carry = static_cast<std::uint64_t>(product >> 64);
    }
    run[taken++] = carry;
    while (low < n && limbs[low] == 0) ++low;
  }
  e->appendRun(c, run, taken);
  if (low < n) e->complete = false;
}

// significand * 2^q (significand not 0) in a base 2^bits: every digit is a
// group of bits, at most 66 of them, so the expansion is always complete.
// The significand goes into a 128-bit window with the top of the first
// digit at its top; each digit is then the window's next bits, eight
// digits at a time in bases 2 and 16.
void expandInPowerOfTwo(std::uint64_t significand, int q, int bits, Expansion* e) {
  using u128 = unsigned __int128;
  const auto floorDivide = [bits](int x) { return x >= 0 ? x / bits : -((-x + bits - 1) / bits); };
  const int topBit = q + 63 - __builtin_clzll(significand);
  const int lowBit = q + __builtin_ctzll(significand);
  const int first = floorDivide(topBit);
  const int last = floorDivide(lowBit);
  e->exponent = first;
  e->count = first - last + 1;
  // The first digit's top lies bits * (first + 1) - q bits above the
  // significand's lowest, from 1 to 63 + bits.
  const u128 window = static_cast<u128>(significand) << (128 - (bits * (first + 1) - q));
  int i = 0;
  if (bits == 1) {
    for (; i + 8 <= e->count; i += 8) {
      const unsigned byte = static_cast<unsigned>(window >> (120 - i)) & 0xFF;
      storeDigitWord(e->digit + i, digitCharactersOf(kBitSpread.of[byte]));
    }
  } else if (bits == 4) {
    for (; i + 8 <= e->count; i += 8) {
      const std::uint32_t nibbles = static_cast<std::uint32_t>(window >> (96 - 4 * i));
      storeDigitWord(e->digit + i, digitCharactersOf(spreadNibbles(nibbles)));
    }
  }
  const unsigned mask = (1u << bits) - 1;
  for (; i < e->count; ++i)
    e->digit[i] = digitCharacter(static_cast<int>(window >> (128 - bits * (i + 1))) & mask);
}

}  // namespace

StoredClass classifyStored(ExtReal value) {
  switch (classifyImage(value)) {
    case ImageClass::kZero:
      return kStoredZero;
    case ImageClass::kSubnormal:
    case ImageClass::kPseudoDenormal:
      return kStoredSubnormal;
    case ImageClass::kNormal:
      return kStoredNormal;
    case ImageClass::kUnnormal:
      return kStoredUnnormal;
    case ImageClass::kInfinity:
      return kStoredInfinity;
    case ImageClass::kQuietNaN:
    case ImageClass::kSignalingNaN:
    case ImageClass::kPseudoInfinity:
    case ImageClass::kPseudoNaN:
      break;
  }
  return kStoredNotANumber;
}

int lastPlaceExponent(ExtReal value) {
  const int biased = value.biasedExponent();
  return (biased == 0 ? 1 : biased) - kPointBias;
}

bool formatExactValue(char* out, ExtReal value, int base, std::size_t* length) {
  char* p = out;
  if (value.signBit()) *p++ = '-';
  const std::uint64_t significand = value.significand();
  const StoredClass kind = classifyStored(value);
  if (significand == 0 || kind == kStoredInfinity || kind == kStoredNotANumber) {
    std::strcpy(p, "0.0");
    if (length != nullptr) *length = static_cast<std::size_t>(p - out) + 3;
    return significand == 0;
  }

  Expansion e;
  e.digit[0] = '0';
  const int q = lastPlaceExponent(value);
  if ((base & (base - 1)) == 0) {
    expandInPowerOfTwo(significand, q, __builtin_ctz(static_cast<unsigned>(base)), &e);
  } else if (q >= 0) {
    expandBinaryInteger(significand, q, kBaseChunks[base - kMinBase], &e);
  } else {
    // significand * 2^-m: the integer part first, then the fraction, each
    // chunk of digits the bits that a multiplication by B carries past the
    // point.
    const BaseChunk& c = kBaseChunks[base - kMinBase];
    int point = -q;
    Wide fraction(significand);
    std::uint64_t integer = 0;
    if (point < 64) {
      integer = significand >> point;
      fraction = Wide(significand & ((std::uint64_t{1} << point) - 1));
    }
    if (integer != 0) {
      expandInteger(Wide(integer), c, &e);
    } else {
      e.exponent = -scalePastZeros(&fraction, &point, c) - 1;
    }
    expandFraction(fraction, point, c, &e);
  }
  while (e.count > 1 && e.digit[e.count - 1] == '0') --e.count;

  *p++ = e.digit[0];
  *p++ = '.';
  if (e.count == 1) *p++ = '0';
  std::memcpy(p, e.digit + 1, static_cast<std::size_t>(e.count - 1));
  p += e.count - 1;
  p += formatExponent(p, e.exponent, base);
  if (length != nullptr) *length = static_cast<std::size_t>(p - out);
  return e.complete;
}

namespace {

// The value of the eight digit characters in word (the first in its lowest
// byte) in a base from 2 to 10: false when one is no digit below the base.
// Every byte is '0' and its value: a high nibble of 3, a low one below the
// base. Then pairs, fours and the eight digits are gathered in place, each
// lane holding less than base^8 <= 10^8.
bool eightDigitsOf(std::uint64_t word, std::uint64_t base, std::uint64_t* value) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  const std::uint64_t digits = word & (0x0F * kOnes);
  if ((word & (0xF0 * kOnes)) != 0x30 * kOnes ||
      ((digits + (16 - base) * kOnes) & (0xF0 * kOnes)) != 0)
    return false;
  // Byte 2i: digit 2i times the base plus digit 2i + 1 (below 100).
  const std::uint64_t pairs = digits * base + (digits >> 8);
  // 16-bit lanes 0 and 2: two pairs each (below 10^4).
  constexpr std::uint64_t kPairMask = 0x00FF00FF00FF00FFULL;
  const std::uint64_t fours = (pairs & kPairMask) * (base * base) + ((pairs >> 16) & kPairMask);
  const std::uint64_t base4 = base * base * base * base;
  *value = (fours & 0xFFFF) * base4 + ((fours >> 32) & 0xFFFF);
  return true;
}

// An output numeral read back: |value| = mantissa * base^scale.
bool readOutputNumeral(const char* text, int base, bool* negative, Wide* mantissa, int* scale) {
  const char* p = text;
  *negative = *p == '-';
  if (*negative) ++p;
  *mantissa = Wide(0);
  // The digits go into the mantissa a 64-bit chunk at a time; the loop
  // stops at the first byte that is neither a digit of the base nor the
  // first point, which must end the mantissa.
  const WordChunk chunk = kBaseChunks[base - kMinBase].chunk;
  const std::uint64_t b = static_cast<std::uint64_t>(base);
  std::uint64_t pending = 0;
  std::uint64_t pendingPower = 1;
  int pendingDigits = 0;
  const char* const start = p;
  const char* pointAt = nullptr;
  // In the bases up to 10, eight digits at a time where eight whole ones
  // lie before the NUL and fit the chunk (read as a little-endian word;
  // other hosts take the digits one by one).
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  const char* const end = base <= 10 ? p + std::strlen(p) : p;
#else
  const char* const end = p;
#endif
  const std::uint64_t eightPower = b * b * b * b * b * b * b * b;
  for (;; ++p) {
    while (end - p >= 8 && pendingDigits + 8 <= chunk.digits) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      std::uint64_t eight;
      if (!eightDigitsOf(word, b, &eight)) break;
      pending = pending * eightPower + eight;
      pendingPower *= eightPower;
      pendingDigits += 8;
      p += 8;
      if (pendingDigits == chunk.digits) {
        mantissa->multiplyAdd(pendingPower, pending);
        pending = 0;
        pendingPower = 1;
        pendingDigits = 0;
      }
    }
    const unsigned d = static_cast<unsigned>(writtenDigitOf(*p));
    if (d < static_cast<unsigned>(base)) {
      pending = pending * b + d;
      pendingPower *= b;
      if (++pendingDigits == chunk.digits) {
        mantissa->multiplyAdd(pendingPower, pending);
        pending = 0;
        pendingPower = 1;
        pendingDigits = 0;
      }
      continue;
    }
    if (*p != '.' || pointAt != nullptr) break;
    pointAt = p;
  }
  if (*p != '\0' && *p != '_' && *p != 'e') return false;
  const long long digits = (p - start) - (pointAt != nullptr ? 1 : 0);
  long long s = pointAt != nullptr ? -static_cast<long long>(p - pointAt - 1) : 0;
  if (pendingDigits != 0) mantissa->multiplyAdd(pendingPower, pending);
  // Six bits a digit bound every base's: the mantissa never wraps the Wide.
  if (digits == 0 || digits * 6 > Wide::kBits - 128) return false;
  if (*p != '\0') {
    if (*p != (base == 10 ? 'e' : '_')) return false;
    ++p;
    const bool negativeExponent = *p == '-';
    if (*p != '-' && *p != '+') return false;
    ++p;
    if (*p == '\0') return false;
    long long exponent = 0;
    for (; *p != '\0'; ++p) {
      const int d = writtenDigitOf(*p);
      if (d >= base || exponent > 100000) return false;
      exponent = exponent * base + d;
    }
    s += negativeExponent ? -exponent : exponent;
  }
  // Every text of a finite extended value has a scale far inside this.
  if (s < -40000 || s > 40000) return false;
  *scale = static_cast<int>(s);
  return true;
}

// Copies length bytes of text and a NUL into out (size bytes), as many as
// fit, as snprintf would.
void copyCut(char* out, std::size_t size, const char* text, std::size_t length) {
  if (size == 0) return;
  if (length > size - 1) length = size - 1;
  std::memcpy(out, text, length);
  out[length] = '\0';
}

// Writes value in decimal at out; returns the end.
char* writeDecimal(char* out, unsigned value) {
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

void writeSixDigits(char* out, std::size_t size, bool negative, std::uint64_t whole, int e);

// Writes r / q (q > 0) with at most six significant digits, cut toward zero.
// Changes r and q.
void writeQuotient(char* out, std::size_t size, bool negative, Wide* numerator,
                   Wide* denominator) {
  Wide& r = *numerator;
  Wide& q = *denominator;
  if (r.isZero()) {
    copyCut(out, size, "0", 1);
    return;
  }
  // One division: Q = floor(r * 10^k / q) for a k that puts Q between 10^7
  // and 4 * 10^10. With L = bitLength(r) - bitLength(q) - 1, r / q lies in
  // [2^L, 2^(L + 2)); k = 8 - floor(L log10(2)), with an estimate of the
  // floor that may be one too large or too small, does. As Q >= 10^7, its
  // digits are the leading digits of r / q: the first stands for 10^e with
  // e = (digits of Q) - 1 - k, and the six digits cut toward zero are
  // floor(Q / 10^(digits - 6)).
  const long long l = static_cast<long long>(r.bitLength()) - q.bitLength() - 1;
  const long long scaled = l * 30103;  // log10(2) = 0.30103 to five places
  const long long floorLog = scaled >= 0 ? scaled / 100000 : -((-scaled + 99999) / 100000);
  const int k = static_cast<int>(8 - floorLog);
  if (k >= 0)
    r.multiplyByPower(10, k);
  else
    q.multiplyByPower(10, -k);
  Wide quotient;
  Wide rest;
  divide(r, q, &quotient, &rest);
  std::uint64_t whole = quotient.limb(0);
  int wholeDigits = 1;
  for (std::uint64_t t = whole; t >= 10; t /= 10) ++wholeDigits;
  const int e = wholeDigits - 1 - k;
  for (int i = wholeDigits; i > 6; --i) whole /= 10;
  writeSixDigits(out, size, negative, whole, e);
}

// Writes the distance whose six leading digits, cut toward zero, are whole
// (10^5 <= whole < 10^6), the first standing for 10^e: without trailing
// zeros, in scientific notation from 10^6 up and below 10^-4.
void writeSixDigits(char* out, std::size_t size, bool negative, std::uint64_t whole, int e) {
  char digits[6];
  int count = 6;
  for (int i = 5; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  }
  while (count > 1 && digits[count - 1] == '0') --count;

  char text[40];
  char* p = text;
  if (negative) *p++ = '-';
  if (e >= 6 || e < -4) {
    *p++ = digits[0];
    if (count > 1) {
      *p++ = '.';
      for (int i = 1; i < count; ++i) *p++ = digits[i];
    }
    *p++ = 'e';
    if (e < 0) *p++ = '-';
    p = writeDecimal(p, static_cast<unsigned>(e < 0 ? -e : e));
    *p = '\0';
  } else if (e >= 0) {
    for (int i = 0; i <= e; ++i) *p++ = i < count ? digits[i] : '0';
    if (count > e + 1) {
      *p++ = '.';
      for (int i = e + 1; i < count; ++i) *p++ = digits[i];
    }
    *p = '\0';
  } else {
    *p++ = '0';
    *p++ = '.';
    for (int i = -1; i > e; --i) *p++ = '0';
    for (int i = 0; i < count; ++i) *p++ = digits[i];
    *p = '\0';
  }
  copyCut(out, size, text, static_cast<std::size_t>(p - text));
}

// The six leading digits, cut toward zero, of a / 2^62 (a > 0), and the
// exponent of the first: false where a / 2^62 reaches 2^64.
bool sixDigitsOf(unsigned __int128 a, std::uint64_t* whole, int* e) {
  using u128 = unsigned __int128;
  constexpr u128 kLeast = static_cast<u128>(100000) << 62;  // 10^5 * 2^62
  if (a >= kLeast) {
    // floor(floor(a / 2^62) / 10^j) = floor(a / (2^62 10^j)).
    const u128 integer = a >> 62;
    if ((integer >> 64) != 0) return false;
    std::uint64_t w = static_cast<std::uint64_t>(integer);
    int digits = 1;
    for (std::uint64_t t = w; t >= 10; t /= 10) ++digits;
    for (int i = digits; i > 6; --i) w /= 10;
    *whole = w;
    *e = digits - 1;
    return true;
  }
  int k = 0;
  while (a < kLeast) {
    a *= 10;
    ++k;
  }
  *whole = static_cast<std::uint64_t>(a >> 62);
  *e = 5 - k;
  return true;
}

// writeQuotient's text for text - stored, in units of 2^q, from the text
// mantissa * base^scale (mantissa below 2^64) and an approximation of the
// power: the difference is bracketed in units of 2^-62, and where both ends
// give the same six digits cut toward zero, so does every value between
// them. Returns false, out untouched, where they differ or the bracket
// does not fit; the exact computation answers then.
bool approximateUlpDistance(char* out, std::size_t size, bool textNegative, std::uint64_t mantissa,
                            int scale, int base, ExtReal value) {
  using u128 = unsigned __int128;
  constexpr int kFractionBits = 62;
  const PowerEstimate power = cachedPowerEstimate(base, scale);
  const int q = lastPlaceExponent(value);
  // mantissa * power = mantissa * p * 2^(exponent - q) ulps, and its upper
  // bound with p + 2 error; in units of 2^-62 that is a right shift
  // of the 192-bit products by -shift.
  const long long shift = static_cast<long long>(power.exponent) - q + kFractionBits;
  if (shift >= 0) return false;
  const u128 uncertainty = static_cast<u128>(2 * power.error);
  u128 bounds[2];
  for (int end = 0; end < 2; ++end) {
    const u128 p = power.p + (end == 0 ? 0 : uncertainty);
    if (p < power.p) return false;
    const u128 low = static_cast<u128>(mantissa) * static_cast<std::uint64_t>(p);
    const u128 high =
        static_cast<u128>(mantissa) * static_cast<std::uint64_t>(p >> 64) + (low >> 64);
    std::uint64_t limbs[3] = {static_cast<std::uint64_t>(low), static_cast<std::uint64_t>(high),
                              static_cast<std::uint64_t>(high >> 64)};
    // floor or ceiling of the product / 2^-shift.
    const long long drop = -shift;
    u128 kept;
    bool lost;
    if (!shiftDown192(limbs, drop, &kept, &lost)) return false;
    bounds[end] = kept + (end == 1 && lost ? 1 : 0);
  }
  const u128 stored = static_cast<u128>(value.significand()) << kFractionBits;
  const bool storedNegative = value.signBit() && value.significand() != 0;
  u128 low;
  u128 high;
  bool negative;
  if (textNegative != storedNegative) {
    low = bounds[0] + stored;
    high = bounds[1] + stored;
    negative = textNegative;
  } else if (bounds[0] >= stored) {
    low = bounds[0] - stored;
    high = bounds[1] - stored;
    negative = textNegative;
  } else if (bounds[1] <= stored) {
    low = stored - bounds[1];
    high = stored - bounds[0];
    negative = !textNegative;
  } else {
    return false;
  }
  if (high == 0) {
    copyCut(out, size, "0", 1);
    return true;
  }
  std::uint64_t whole[2];
  int e[2];
  if (low == 0 || !sixDigitsOf(low, &whole[0], &e[0]) || !sixDigitsOf(high, &whole[1], &e[1]) ||
      whole[0] != whole[1] || e[0] != e[1])
    return false;
  writeSixDigits(out, size, negative, whole[0], e[0]);
  return true;
}

}  // namespace

// bitLength(base^12) for each base from 2 to 36.
constexpr std::array<int, kMaxBase + 1> kTwelveDigitBits = [] {
  std::array<int, kMaxBase + 1> bits{};
  for (int base = kMinBase; base <= kMaxBase; ++base) {
    std::uint64_t power = 1;
    for (int i = 0; i < 12; ++i) power *= static_cast<std::uint64_t>(base);
    while ((power >> bits[base]) != 0) ++bits[base];
  }
  return bits;
}();

bool formatUlpDistance(char* out, std::size_t size, const char* text, int base, ExtReal value) {
  const StoredClass kind = classifyStored(value);
  if (kind == kStoredInfinity || kind == kStoredNotANumber) return false;
  if (base < kMinBase || base > kMaxBase) return false;
  bool textNegative;
  Wide mantissa;
  int scale;
  if (!readOutputNumeral(text, base, &textNegative, &mantissa, &scale)) return false;
  // Every step below is exact only while its values fit the Wide: refuse a
  // text whose digits and scale could pass it. No text the formatter writes
  // for a finite value comes near; a caller's text of many digits or a far
  // exponent may. bitLength(base^12) / 12 exceeds log2(base).
  {
    const long long perTwelveDigits = kTwelveDigitBits[base];
    const long long magnitude = scale < 0 ? -static_cast<long long>(scale) : scale;
    const long long scaleBits = (magnitude * perTwelveDigits + 11) / 12;
    const long long lastPlace = lastPlaceExponent(value);
    // The text's numerator, and the stored value's part and the denominator.
    const long long textBits = mantissa.bitLength() + (scale >= 0 ? scaleBits : 0) +
                               (lastPlace < 0 ? -lastPlace : 0);
    const long long storedBits = (scale < 0 ? scaleBits : 0) + 64 + (lastPlace > 0 ? lastPlace : 0);
    if ((textBits > storedBits ? textBits : storedBits) + 64 > Wide::kBits) return false;
  }
  if (mantissa.size() == 1 &&
      approximateUlpDistance(out, size, textNegative, mantissa.limb(0), scale, base, value))
    return true;

  // (text - stored) / 2^q = t / (d * 2^q) - s, with text = t / d and the
  // stored value s * 2^q (s signed): over the common denominator
  //   q >= 0: (t - s * d * 2^q) / (d * 2^q)
  //   q <  0: (t * 2^-q - s * d) / d
  Wide t = mantissa;
  Wide d(1);
  if (scale >= 0)
    t.multiplyByPower(base, scale);
  else
    d.multiplyByPower(base, -scale);
  const int q = lastPlaceExponent(value);
  Wide u = t;  // the text's part of the numerator
  Wide v = d;  // the stored value's part
  v.multiplyAdd(value.significand());
  Wide denominator = d;
  if (q >= 0) {
    v.shiftLeft(q);
    denominator.shiftLeft(q);
  } else {
    u.shiftLeft(-q);
  }
  const bool storedNegative = value.signBit() && value.significand() != 0;
  if (mantissa.isZero()) textNegative = false;

  bool negative;
  if (textNegative != storedNegative) {
    u.add(v);
    negative = textNegative;
  } else if (compare(u, v) >= 0) {
    u.subtract(v);
    negative = textNegative;
  } else {
    v.subtract(u);
    u = v;
    negative = !textNegative;
  }
  writeQuotient(out, size, negative, &u, &denominator);
  return true;
}

PowerEstimate cachedPowerEstimate(int base, int exponent) {
  struct Tag;
  return memoisedByBaseAndExponent<Tag, PowerEstimate, 1024, 4>(
      base, exponent, [=] { return estimatePower(base, exponent); });
}
