#include "numeral/exact.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "numeral/format.h"

namespace {

constexpr std::uint64_t kIntegerBit = 0x8000000000000000ULL;
// A normal value with biased exponent E is significand * 2^(E - kPointBias).
constexpr int kPointBias = ExtFormat::kExponentBias + ExtFormat::kSignificandBits - 1;

// ---------------------------------------------------------------------------
// A non-negative integer of fixed capacity, least significant 32-bit limb
// first, with no zero limbs at or above limb[size]. The capacity covers every
// operand below: a value of the extended range times a power of a base below
// 37 that reaches the other end of the range, about 16,600 bits, with room to
// spare. Results that would not fit are cut at the capacity (never written out
// of bounds); no caller comes near it.
class WideInt {
 public:
  static constexpr int kLimbs = 640;

  WideInt() = default;
  explicit WideInt(std::uint64_t value) {
    limb_[0] = static_cast<std::uint32_t>(value);
    limb_[1] = static_cast<std::uint32_t>(value >> 32);
    size_ = limb_[1] != 0 ? 2 : (limb_[0] != 0 ? 1 : 0);
  }

  bool isZero() const { return size_ == 0; }

  int bitLength() const {
    if (size_ == 0) return 0;
    int bits = 32 * (size_ - 1);
    for (std::uint32_t top = limb_[size_ - 1]; top != 0; top >>= 1) ++bits;
    return bits;
  }

  // *this = *this * factor + addend.
  void multiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (int i = 0; i < size_; ++i) {
      const std::uint64_t product = std::uint64_t{limb_[i]} * factor + carry;
      limb_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0 && size_ < kLimbs) limb_[size_++] = static_cast<std::uint32_t>(carry);
    trim();
  }

  void multiplyBy(std::uint64_t factor) {
    const std::uint32_t high = static_cast<std::uint32_t>(factor >> 32);
    if (high == 0) {
      multiplyAdd(static_cast<std::uint32_t>(factor), 0);
      return;
    }
    WideInt upper = *this;
    upper.multiplyAdd(high, 0);
    upper.shiftLeft(32);
    multiplyAdd(static_cast<std::uint32_t>(factor), 0);
    add(upper);
  }

  // *this *= base^exponent, for exponent >= 0.
  void multiplyByPower(std::uint32_t base, int exponent) {
    std::uint32_t chunk = 1;
    int chunkDigits = 0;
    while (std::uint64_t{chunk} * base <= 0xFFFFFFFFULL) {
      chunk *= base;
      ++chunkDigits;
    }
    for (; exponent >= chunkDigits; exponent -= chunkDigits) multiplyAdd(chunk, 0);
    for (; exponent > 0; --exponent) multiplyAdd(base, 0);
  }

  void shiftLeft(int bits) {
    if (size_ == 0 || bits <= 0) return;
    const int limbs = bits / 32;
    const int rest = bits % 32;
    int newSize = size_ + limbs + 1;
    if (newSize > kLimbs) newSize = kLimbs;
    for (int i = newSize - 1; i >= 0; --i) {
      const int from = i - limbs;
      std::uint64_t window = 0;
      if (from >= 0 && from < size_) window = std::uint64_t{limb_[from]} << rest;
      if (rest != 0 && from - 1 >= 0 && from - 1 < size_) window |= limb_[from - 1] >> (32 - rest);
      limb_[i] = static_cast<std::uint32_t>(window);
    }
    size_ = newSize;
    trim();
  }

  // Returns floor(*this / 2^bits) for a result below 2^64 and leaves the
  // remainder, *this mod 2^bits.
  std::uint64_t takeFrom(int bits) {
    std::uint64_t high = 0;
    for (int b = 63; b >= 0; --b) {
      const int bit = bits + b;
      const int index = bit / 32;
      if (index < size_ && (limb_[index] >> (bit % 32)) & 1) high |= std::uint64_t{1} << b;
    }
    const int index = bits / 32;
    if (index < size_) {
      limb_[index] &= (std::uint32_t{1} << (bits % 32)) - 1;
      size_ = index + 1;
      trim();
    }
    return high;
  }

  // Divides in place and returns the remainder.
  std::uint32_t divideBy(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (int i = size_ - 1; i >= 0; --i) {
      const std::uint64_t current = (remainder << 32) | limb_[i];
      limb_[i] = static_cast<std::uint32_t>(current / divisor);
      remainder = current % divisor;
    }
    trim();
    return static_cast<std::uint32_t>(remainder);
  }

  void add(const WideInt& b) {
    const int n = size_ > b.size_ ? size_ : b.size_;
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint64_t sum =
          std::uint64_t{i < size_ ? limb_[i] : 0u} + (i < b.size_ ? b.limb_[i] : 0u) + carry;
      limb_[i] = static_cast<std::uint32_t>(sum);
      carry = sum >> 32;
    }
    size_ = n;
    if (carry != 0 && size_ < kLimbs) limb_[size_++] = static_cast<std::uint32_t>(carry);
  }

  // Requires *this >= b.
  void subtract(const WideInt& b) {
    std::int64_t borrow = 0;
    for (int i = 0; i < size_; ++i) {
      std::int64_t difference =
          std::int64_t{limb_[i]} - (i < b.size_ ? std::int64_t{b.limb_[i]} : 0) - borrow;
      borrow = difference < 0 ? 1 : 0;
      if (difference < 0) difference += std::int64_t{1} << 32;
      limb_[i] = static_cast<std::uint32_t>(difference);
    }
    trim();
  }

  friend int compare(const WideInt& a, const WideInt& b) {
    if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
    for (int i = a.size_ - 1; i >= 0; --i)
      if (a.limb_[i] != b.limb_[i]) return a.limb_[i] < b.limb_[i] ? -1 : 1;
    return 0;
  }

 private:
  void trim() {
    while (size_ > 0 && limb_[size_ - 1] == 0) --size_;
  }

  std::uint32_t limb_[kLimbs];
  int size_ = 0;
};

// The largest power of base that fits 32 bits, and its exponent.
std::uint32_t chunkOf(int base, int* digits) {
  std::uint32_t chunk = static_cast<std::uint32_t>(base);
  *digits = 1;
  while (std::uint64_t{chunk} * static_cast<std::uint32_t>(base) <= 0xFFFFFFFFULL) {
    chunk *= static_cast<std::uint32_t>(base);
    ++*digits;
  }
  return chunk;
}

char digitCharacter(int value) {
  return static_cast<char>(value < 10 ? '0' + value : 'A' + (value - 10));
}

int digitOf(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// The significant digits of an expansion, as values, at most one past the
// limit so that a cut can be told from a last digit.
struct Expansion {
  char digit[kExactDigitLimit + 1];
  int count = 0;
  int exponent = 0;  // of the first digit
  bool complete = true;
};

// The digits of an integer below 2^(16384 + 64), most significant first.
void expandInteger(WideInt n, int base, Expansion* e) {
  // Base 2 needs the most digits: one per bit.
  static constexpr int kMaxDigits = 16384 + 64 + 32;
  char reversed[kMaxDigits];
  int length = 0;
  int chunkDigits;
  const std::uint32_t chunk = chunkOf(base, &chunkDigits);
  while (!n.isZero() && length + chunkDigits <= kMaxDigits) {
    std::uint32_t part = n.divideBy(chunk);
    for (int i = 0; i < chunkDigits; ++i) {
      reversed[length++] = static_cast<char>(part % static_cast<std::uint32_t>(base));
      part /= static_cast<std::uint32_t>(base);
    }
  }
  while (length > 0 && reversed[length - 1] == 0) --length;
  e->exponent = length - 1;
  e->count = 0;
  for (int i = length - 1; i >= 0; --i) {
    if (e->count == kExactDigitLimit) {
      // Only zeros may be left out of a complete expansion.
      for (int j = i; j >= 0; --j)
        if (reversed[j] != 0) e->complete = false;
      break;
    }
    e->digit[e->count++] = reversed[i];
  }
}

}  // namespace

StoredClass classifyStored(ExtReal value) {
  const int biased = value.biasedExponent();
  const std::uint64_t significand = value.significand();
  if (biased == ExtFormat::kMaxBiasedExponent)
    return significand == kIntegerBit ? kStoredInfinity : kStoredNotANumber;
  if (biased == 0) return significand == 0 ? kStoredZero : kStoredSubnormal;
  return (significand & kIntegerBit) != 0 ? kStoredNormal : kStoredUnnormal;
}

int lastPlaceExponent(ExtReal value) {
  const int biased = value.biasedExponent();
  return (biased == 0 ? 1 : biased) - kPointBias;
}

bool formatExactValue(char* out, ExtReal value, int base) {
  char* p = out;
  if (value.signBit()) *p++ = '-';
  const std::uint64_t significand = value.significand();
  const StoredClass kind = classifyStored(value);
  if (significand == 0 || kind == kStoredInfinity || kind == kStoredNotANumber) {
    std::strcpy(p, "0.0");
    return significand == 0;
  }

  Expansion e;
  const int q = lastPlaceExponent(value);
  if (q >= 0) {
    WideInt n(significand);
    n.shiftLeft(q);
    expandInteger(n, base, &e);
  } else {
    // significand * 2^-m: the integer part first, then the fraction digit by
    // digit, each the bits that a multiplication by the base carries to 2^m.
    const int m = -q;
    WideInt fraction(significand);
    std::uint64_t integer = 0;
    if (m < 64) {
      integer = significand >> m;
      fraction = WideInt(significand & ((std::uint64_t{1} << m) - 1));
    }
    if (integer != 0) {
      expandInteger(WideInt(integer), base, &e);
    } else {
      // Leading zeros: whole chunks while the product stays below 2^m, so
      // the first digit is never passed, then single digits.
      int chunkDigits;
      const std::uint32_t chunk = chunkOf(base, &chunkDigits);
      int zeros = 0;
      while (fraction.bitLength() + 32 <= m) {
        fraction.multiplyAdd(chunk, 0);
        zeros += chunkDigits;
      }
      for (;;) {
        WideInt next = fraction;
        next.multiplyAdd(static_cast<std::uint32_t>(base), 0);
        if (next.bitLength() > m) break;
        fraction = next;
        ++zeros;
      }
      e.exponent = -zeros - 1;
    }
    // A chunk of digits a pass: the bits a multiplication by base^chunkDigits
    // carries to 2^m are those digits, leading zeros included.
    int chunkDigits;
    const std::uint32_t chunk = chunkOf(base, &chunkDigits);
    while (!fraction.isZero() && e.count < kExactDigitLimit) {
      fraction.multiplyAdd(chunk, 0);
      std::uint64_t group = fraction.takeFrom(m);
      char digits[32];
      for (int i = chunkDigits - 1; i >= 0; --i) {
        digits[i] = static_cast<char>(group % static_cast<std::uint32_t>(base));
        group /= static_cast<std::uint32_t>(base);
      }
      for (int i = 0; i < chunkDigits; ++i) {
        if (e.count < kExactDigitLimit)
          e.digit[e.count++] = digits[i];
        else if (digits[i] != 0)
          e.complete = false;
      }
    }
    if (!fraction.isZero()) e.complete = false;
  }
  while (e.count > 1 && e.digit[e.count - 1] == 0) --e.count;

  *p++ = digitCharacter(e.digit[0]);
  *p++ = '.';
  if (e.count == 1) *p++ = '0';
  for (int i = 1; i < e.count; ++i) *p++ = digitCharacter(e.digit[i]);
  formatExponent(p, e.exponent, base);
  return e.complete;
}

namespace {

// An output numeral read back: |value| = mantissa * base^scale.
bool readOutputNumeral(const char* text, int base, bool* negative, WideInt* mantissa, int* scale) {
  const char* p = text;
  *negative = *p == '-';
  if (*negative) ++p;
  *mantissa = WideInt(0);
  long long s = 0;
  int digits = 0;
  bool point = false;
  for (; *p != '\0' && *p != '_' && *p != 'e'; ++p) {
    if (*p == '.') {
      if (point) return false;
      point = true;
      continue;
    }
    const int d = digitOf(*p);
    if (d >= base) return false;
    mantissa->multiplyAdd(static_cast<std::uint32_t>(base), static_cast<std::uint32_t>(d));
    if (point) --s;
    ++digits;
  }
  if (digits == 0 || digits > 4096) return false;
  if (*p != '\0') {
    if (*p != (base == 10 ? 'e' : '_')) return false;
    ++p;
    const bool negativeExponent = *p == '-';
    if (*p != '-' && *p != '+') return false;
    ++p;
    if (*p == '\0') return false;
    long long exponent = 0;
    for (; *p != '\0'; ++p) {
      const int d = digitOf(*p);
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

// Writes r / q (q > 0) with at most six significant digits, cut toward zero.
void writeQuotient(char* out, std::size_t size, bool negative, WideInt r, WideInt q) {
  if (r.isZero()) {
    std::snprintf(out, size, "0");
    return;
  }
  // The decimal exponent e of the first digit: 10^e <= r/q < 10^(e+1).
  int e = 0;
  if (compare(r, q) >= 0) {
    for (;;) {
      WideInt next = q;
      next.multiplyAdd(10, 0);
      if (compare(next, r) > 0) break;
      q = next;
      ++e;
    }
  } else {
    do {
      r.multiplyAdd(10, 0);
      --e;
    } while (compare(r, q) < 0);
  }
  char digits[6];
  int count = 0;
  for (; count < 6; ++count) {
    int d = 0;
    while (compare(r, q) >= 0) {
      r.subtract(q);
      ++d;
    }
    digits[count] = static_cast<char>('0' + d);
    r.multiplyAdd(10, 0);
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
    std::snprintf(p, sizeof text - static_cast<std::size_t>(p - text), "e%d", e);
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
  std::snprintf(out, size, "%s", text);
}

}  // namespace

bool formatUlpDistance(char* out, std::size_t size, const char* text, int base, ExtReal value) {
  const StoredClass kind = classifyStored(value);
  if (kind == kStoredInfinity || kind == kStoredNotANumber) return false;
  if (base < 2 || base > 36) return false;
  // In bases from 24 and 28 up, "-INF" and "ERROR" would read as numerals.
  if (std::strcmp(text, "+INF") == 0 || std::strcmp(text, "-INF") == 0 ||
      std::strcmp(text, "ERROR") == 0)
    return false;
  bool textNegative;
  WideInt mantissa;
  int scale;
  if (!readOutputNumeral(text, base, &textNegative, &mantissa, &scale)) return false;

  // (text - stored) / 2^q = t / (d * 2^q) - s, with text = t / d and the
  // stored value s * 2^q (s signed): over the common denominator
  //   q >= 0: (t - s * d * 2^q) / (d * 2^q)
  //   q <  0: (t * 2^-q - s * d) / d
  WideInt t = mantissa;
  WideInt d(1);
  if (scale >= 0)
    t.multiplyByPower(static_cast<std::uint32_t>(base), scale);
  else
    d.multiplyByPower(static_cast<std::uint32_t>(base), -scale);
  const int q = lastPlaceExponent(value);
  WideInt u = t;  // the text's part of the numerator
  WideInt v = d;  // the stored value's part
  v.multiplyBy(value.significand());
  WideInt denominator = d;
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
  writeQuotient(out, size, negative, u, denominator);
  return true;
}
