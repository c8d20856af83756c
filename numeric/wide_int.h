// WideInt: the one wide unsigned integer of the number core, for the exact
// expansions of numeral/, the exact comparisons of the round-trip search and
// the exact transcendentals of the software x87.
//
// A WideInt<Limbs> holds a non-negative integer below 2^(64 * Limbs) in a
// fixed array of 64-bit limbs, least significant first, on the stack: no
// heap, no exceptions, no floating point, and no 128-bit division, which is
// a runtime-library call on every target (on wasm32 one more piece of
// compiler-rt to link): every division divides 64 bits by 64, the long
// division's 128-by-64-bit steps included (see numeric/divide_128.h);
// 64 x 64 -> 128-bit products are used where the compiler has them. size()
// counts the limbs in use; the limbs above them hold nothing and are never
// read, so all work, making and copying a value included, is proportional
// to the value's length, not to the capacity (the round-trip search's
// values have a capacity of 5,600 bytes and mostly a few limbs).
//
// Capacity: every result is reduced modulo 2^(64 * Limbs), and nothing is
// ever written outside the array. Callers choose Limbs so that no result of
// theirs needs the reduction; the contracts below say where a result must
// fit.
#ifndef VELTRANE_NUMERIC_WIDE_INT_H
#define VELTRANE_NUMERIC_WIDE_INT_H

#include <cstdint>

#include "numeric/divide_128.h"

// The largest power of a base (2..36) that fits 32 bits, and how many digits
// of the base it holds: the chunk by which wide values are multiplied and
// divided a group of digits at a time. divideBy takes divisors below 2^32,
// so the chunk is sized to that, not to a whole limb.
struct DigitChunk {
  std::uint32_t power;
  int digits;
};

constexpr DigitChunk digitChunkOf(int base) {
  std::uint32_t power = static_cast<std::uint32_t>(base);
  int digits = 1;
  while (std::uint64_t{power} * static_cast<std::uint32_t>(base) <= 0xFFFFFFFFULL) {
    power *= static_cast<std::uint32_t>(base);
    ++digits;
  }
  return DigitChunk{power, digits};
}

// The largest power of a base (2..36) that fits 64 bits, and how many
// digits of the base it holds: a wide value gives up or takes on that many
// digits per pass over its limbs.
struct WordChunk {
  std::uint64_t power;
  int digits;
};

constexpr WordChunk wordChunkOf(int base) {
  const std::uint64_t b = static_cast<std::uint64_t>(base);
  std::uint64_t power = b;
  int digits = 1;
  while (power <= ~std::uint64_t{0} / b) {
    power *= b;
    ++digits;
  }
  return WordChunk{power, digits};
}

// Division by one fixed 64-bit divisor through its reciprocal (Moeller and
// Granlund, "Improved division by invariant integers", 2011): each
// 128-by-64-bit step costs two multiplications and at most two
// corrections, no division instruction. Made once per divisor (at compile
// time where the divisor is a constant).
class WordDivisor {
 public:
  // divisor > 0.
  constexpr explicit WordDivisor(std::uint64_t divisor)
      : divisor_(divisor),
        shift_(leadingZeros(divisor)),
        normalised_(divisor << leadingZeros(divisor)),
        reciprocal_(reciprocalOf(divisor << leadingZeros(divisor))) {}

  constexpr std::uint64_t divisor() const { return divisor_; }
  // How far the divisor is shifted left so that its top bit is set.
  constexpr int shift() const { return shift_; }

  // floor((high * 2^64 + low) / normalised divisor), with the remainder in
  // *rest, for high below the normalised divisor.
  std::uint64_t divideNormalisedStep(std::uint64_t high, std::uint64_t low,
                                     std::uint64_t* rest) const {
    unsigned __int128 q = static_cast<unsigned __int128>(reciprocal_) * high;
    q += (static_cast<unsigned __int128>(high) << 64) | low;
    std::uint64_t quotient = static_cast<std::uint64_t>(q >> 64) + 1;
    const std::uint64_t fraction = static_cast<std::uint64_t>(q);
    std::uint64_t r = low - quotient * normalised_;
    if (r > fraction) {
      --quotient;
      r += normalised_;
    }
    if (r >= normalised_) {
      ++quotient;
      r -= normalised_;
    }
    *rest = r;
    return quotient;
  }

 private:
  static constexpr int leadingZeros(std::uint64_t x) {
    int n = 0;
    while ((x & (std::uint64_t{1} << 63)) == 0) {
      x <<= 1;
      ++n;
    }
    return n;
  }

  // floor((2^128 - 1) / d) - 2^64 for d with its top bit set: the long
  // division of (2^64 - 1 - d) * 2^64 + (2^64 - 1) by d, a bit at a time.
  static constexpr std::uint64_t reciprocalOf(std::uint64_t d) {
    std::uint64_t rest = ~d;  // below d
    std::uint64_t quotient = 0;
    for (int i = 0; i < 64; ++i) {
      const bool carry = (rest >> 63) != 0;
      rest = (rest << 1) | 1;
      quotient <<= 1;
      if (carry || rest >= d) {
        rest -= d;
        quotient |= 1;
      }
    }
    return quotient;
  }

  std::uint64_t divisor_;
  int shift_;
  std::uint64_t normalised_;
  std::uint64_t reciprocal_;
};

template <int Limbs>
class WideInt {
  static_assert(Limbs >= 2, "a WideInt holds at least 128 bits");

 public:
  static constexpr int kLimbs = Limbs;
  static constexpr int kBits = 64 * Limbs;

  // Zero.
  WideInt() : size_(0) {}
  explicit WideInt(std::uint64_t value) : size_(value != 0 ? 1 : 0) { limb_[0] = value; }
  // Copies the limbs in use only.
  WideInt(const WideInt& x) : size_(x.size_) { copyLimbs(x); }
  WideInt& operator=(const WideInt& x) {
    size_ = x.size_;
    copyLimbs(x);
    return *this;
  }
  // The value of another capacity, reduced modulo 2^kBits.
  template <int Other>
  explicit WideInt(const WideInt<Other>& x) : size_(x.size() < Limbs ? x.size() : Limbs) {
    for (int i = 0; i < size_; ++i) limb_[i] = x.limb(i);
    trim();
  }
  // 2^exponent, for 0 <= exponent < kBits.
  static WideInt powerOfTwo(int exponent) {
    WideInt x;
    const int index = exponent / 64;
    for (int i = 0; i < index; ++i) x.limb_[i] = 0;
    x.limb_[index] = std::uint64_t{1} << (exponent % 64);
    x.size_ = index + 1;
    return x;
  }

  // The number whose limbs, least significant first, are limbs[0 .. Limbs-1].
  static WideInt fromLimbs(const std::uint64_t* limbs) { return fromProduct(limbs, Limbs, 0); }
  // value, below 2^128.
  static WideInt from128(unsigned __int128 value) {
    WideInt x;
    x.limb_[0] = static_cast<std::uint64_t>(value);
    x.limb_[1] = static_cast<std::uint64_t>(value >> 64);
    x.size_ = 2;
    x.trim();
    return x;
  }

  bool isZero() const { return size_ == 0; }
  // True when x < 2^128, so that low128() is x.
  bool fitsIn128() const { return size_ <= 2; }
  // x mod 2^128.
  unsigned __int128 low128() const {
    return (static_cast<unsigned __int128>(limb(1)) << 64) | limb(0);
  }
  // Limbs in use: the top one is not zero.
  int size() const { return size_; }
  // Limb i (0 at and above size()).
  std::uint64_t limb(int i) const { return i < size_ ? limb_[i] : 0; }

  // The number of significant bits: 0 for zero, else floor(log2(x)) + 1.
  int bitLength() const {
    if (size_ == 0) return 0;
    return 64 * size_ - __builtin_clzll(limb_[size_ - 1]);
  }

  // Bit i of x (false at and above bitLength()), for i >= 0.
  bool bit(int i) const { return ((limb(i / 64) >> (i % 64)) & 1) != 0; }

  // True when x mod 2^bits is 0: x is a multiple of 2^bits (bits >= 0;
  // for bits >= bitLength(), only zero is).
  bool lowBitsZero(int bits) const {
    for (int i = 0; i < size_ && bits > 0; ++i, bits -= 64) {
      const std::uint64_t mask = bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
      if ((limb_[i] & mask) != 0) return false;
    }
    return true;
  }

  // floor(x / 2^point) mod 2^64, for point >= 0.
  std::uint64_t bitsFrom(int point) const {
    const int index = point / 64;
    const int shift = point % 64;
    std::uint64_t window = limb(index) >> shift;
    if (shift != 0) window |= limb(index + 1) << (64 - shift);
    return window;
  }

  // x mod 2^point: clears every bit at and above point (point >= 0).
  void clearFrom(int point) {
    const int index = point / 64;
    if (index >= size_) return;
    limb_[index] &= (std::uint64_t{1} << (point % 64)) - 1;
    size_ = index + 1;
    trim();
  }

  // Returns floor(x / 2^point), which must be below 2^64, and leaves
  // x mod 2^point.
  std::uint64_t takeFrom(int point) {
    const std::uint64_t high = bitsFrom(point);
    clearFrom(point);
    return high;
  }

  // x = x * factor + addend.
  void multiplyAdd(std::uint64_t factor, std::uint64_t addend = 0) {
    std::uint64_t carry = addend;
    for (int i = 0; i < size_; ++i) {
      const unsigned __int128 product = static_cast<unsigned __int128>(limb_[i]) * factor + carry;
      limb_[i] = static_cast<std::uint64_t>(product);
      carry = static_cast<std::uint64_t>(product >> 64);
    }
    if (carry != 0 && size_ < Limbs) limb_[size_++] = carry;
    trim();
  }

  // x = x + value.
  void addSmall(std::uint64_t value) {
    for (int i = 0; value != 0 && i < Limbs; ++i) {
      const std::uint64_t sum = (i < size_ ? limb_[i] : 0) + value;
      value = sum < value ? 1 : 0;
      limb_[i] = sum;
      if (i >= size_) size_ = i + 1;
    }
  }

  // x = x * base^exponent, for exponent >= 0 and a base from 2 to 36. The
  // base's factors of 2 are one shift; its odd part goes in as many digits
  // at a time as a 64-bit factor holds, and for long powers the power of
  // those chunks is made by squaring first (about a third of the limb
  // products of one chunk a pass, half of them again as each square is
  // formed from half its cross products).
  void multiplyByPower(int base, int exponent) {
    if (exponent <= 0 || size_ == 0) return;
    int twos = 0;
    std::uint64_t odd = static_cast<std::uint64_t>(base);
    while (odd % 2 == 0) {
      odd /= 2;
      ++twos;
    }
    if (odd != 1) multiplyByOddPower(odd, exponent);
    shiftLeft(twos * exponent);
  }

  // x * x, reduced like every result.
  friend WideInt squared(const WideInt& x) {
    const int n = x.size_;
    if (n == 0) return WideInt();
    if (n > Limbs) __builtin_unreachable();  // for GCC's bounds analysis
    std::uint64_t product[2 * Limbs];
    for (int i = 0; i < 2 * n; ++i) product[i] = 0;
    // The cross products x_i x_j (i < j) once, then doubled.
    for (int i = 0; i + 1 < n; ++i) {
      std::uint64_t carry = 0;
      for (int j = i + 1; j < n; ++j) {
        const unsigned __int128 t =
            static_cast<unsigned __int128>(x.limb_[i]) * x.limb_[j] + product[i + j] + carry;
        product[i + j] = static_cast<std::uint64_t>(t);
        carry = static_cast<std::uint64_t>(t >> 64);
      }
      product[i + n] = carry;
    }
    std::uint64_t top = 0;
    for (int i = 0; i < 2 * n; ++i) {
      const std::uint64_t v = product[i];
      product[i] = (v << 1) | top;
      top = v >> 63;
    }
    // The squares x_i^2 on the diagonal.
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      const unsigned __int128 square = static_cast<unsigned __int128>(x.limb_[i]) * x.limb_[i];
      unsigned __int128 t = static_cast<unsigned __int128>(product[2 * i]) +
                            static_cast<std::uint64_t>(square) + carry;
      product[2 * i] = static_cast<std::uint64_t>(t);
      t = static_cast<unsigned __int128>(product[2 * i + 1]) +
          static_cast<std::uint64_t>(square >> 64) + static_cast<std::uint64_t>(t >> 64);
      product[2 * i + 1] = static_cast<std::uint64_t>(t);
      carry = static_cast<std::uint64_t>(t >> 64);
    }
    return fromProduct(product, 2 * n, 0);
  }

  // x = floor(x / divisor); returns x mod divisor. Requires 0 < divisor <
  // 2^32, so that each step divides 64 bits by 32.
  std::uint32_t divideBy(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (int i = size_ - 1; i >= 0; --i) {
      const std::uint64_t high = (remainder << 32) | (limb_[i] >> 32);
      const std::uint64_t highQuotient = high / divisor;
      const std::uint64_t low = ((high % divisor) << 32) | (limb_[i] & 0xFFFFFFFFULL);
      limb_[i] = (highQuotient << 32) | (low / divisor);
      remainder = low % divisor;
    }
    trim();
    return static_cast<std::uint32_t>(remainder);
  }

  // x = floor(x / divisor); returns x mod divisor. Any 64-bit divisor, one
  // reciprocal step a limb.
  std::uint64_t divideBy(const WordDivisor& divisor) {
    if (size_ <= 0) return 0;
    if (size_ > Limbs) __builtin_unreachable();  // for GCC's bounds analysis
    const int shift = divisor.shift();
    std::uint64_t rest = 0;
    if (shift == 0) {
      for (int i = size_ - 1; i >= 0; --i)
        limb_[i] = divisor.divideNormalisedStep(rest, limb_[i], &rest);
    } else {
      // x * 2^shift by the divisor * 2^shift, a shifted limb at a time: the
      // same quotient, and the remainder times 2^shift.
      rest = limb_[size_ - 1] >> (64 - shift);
      for (int i = size_ - 1; i > 0; --i) {
        const std::uint64_t window = (limb_[i] << shift) | (limb_[i - 1] >> (64 - shift));
        limb_[i] = divisor.divideNormalisedStep(rest, window, &rest);
      }
      limb_[0] = divisor.divideNormalisedStep(rest, limb_[0] << shift, &rest);
      rest >>= shift;
    }
    trim();
    return rest;
  }

  // Two divisions by one divisor in a single sweep: x = floor(x / d^2),
  // with x mod d in *first and floor(x / d) mod d in *second, as two calls
  // of divideBy give them. The second division's steps run a limb behind
  // the first's, on its quotient limbs as they come, so that their two
  // chains of dependent steps overlap.
  void divideTwiceBy(const WordDivisor& divisor, std::uint64_t* first, std::uint64_t* second) {
    if (size_ <= 0) {
      *first = *second = 0;
      return;
    }
    if (size_ > Limbs) __builtin_unreachable();  // for GCC's bounds analysis
    // Both divide by the normalised divisor, each dividend shifted left by
    // as much a window at a time: the same quotients, and remainders times
    // 2^shift.
    const int shift = divisor.shift();
    const auto fromBelow = [shift](std::uint64_t v) { return shift == 0 ? 0 : v >> (64 - shift); };
    int i = size_ - 1;
    std::uint64_t restA = fromBelow(limb_[i]);
    std::uint64_t window = (limb_[i] << shift) | (i > 0 ? fromBelow(limb_[i - 1]) : 0);
    // The first quotient's limb above the one just made.
    std::uint64_t previous = divisor.divideNormalisedStep(restA, window, &restA);
    std::uint64_t restB = fromBelow(previous);
    for (--i; i >= 0; --i) {
      window = (limb_[i] << shift) | (i > 0 ? fromBelow(limb_[i - 1]) : 0);
      const std::uint64_t quotient = divisor.divideNormalisedStep(restA, window, &restA);
      limb_[i + 1] =
          divisor.divideNormalisedStep(restB, (previous << shift) | fromBelow(quotient), &restB);
      previous = quotient;
    }
    limb_[0] = divisor.divideNormalisedStep(restB, previous << shift, &restB);
    *first = restA >> shift;
    *second = restB >> shift;
    trim();
  }

  // x mod divisor, x unchanged; 0 < divisor < 2^32, as for divideBy.
  std::uint32_t remainderBy(std::uint32_t divisor) const {
    std::uint64_t remainder = 0;
    for (int i = size_ - 1; i >= 0; --i) {
      remainder = ((remainder << 32) | (limb_[i] >> 32)) % divisor;
      remainder = ((remainder << 32) | (limb_[i] & 0xFFFFFFFFULL)) % divisor;
    }
    return static_cast<std::uint32_t>(remainder);
  }

  // x = x * 2^bits (bits >= 0).
  void shiftLeft(int bits) {
    if (size_ == 0 || bits <= 0) return;
    const int limbs = bits / 64;
    const int rest = bits % 64;
    int newSize = size_ + limbs + 1;
    if (newSize > Limbs) newSize = Limbs;
    for (int i = newSize - 1; i >= 0; --i) {
      const int from = i - limbs;
      std::uint64_t window = 0;
      if (from >= 0 && from < size_) window = limb_[from] << rest;
      if (rest != 0 && from - 1 >= 0 && from - 1 < size_) window |= limb_[from - 1] >> (64 - rest);
      limb_[i] = window;
    }
    size_ = newSize;
    trim();
  }

  // x = floor(x / 2^bits) (bits >= 0).
  void shiftRight(int bits) {
    if (bits <= 0) return;
    const int limbs = bits / 64;
    const int rest = bits % 64;
    if (limbs >= size_) {
      size_ = 0;
      return;
    }
    const int newSize = size_ - limbs;
    // (newSize + limbs = size_ <= Limbs; the second bound says so to the
    // compiler's array-bounds analysis.)
    for (int i = 0; i + 1 < newSize && i + limbs + 1 < Limbs; ++i) {
      const std::uint64_t high = rest != 0 ? limb_[i + limbs + 1] << (64 - rest) : 0;
      limb_[i] = (limb_[i + limbs] >> rest) | high;
    }
    limb_[newSize - 1] = limb_[size_ - 1] >> rest;
    size_ = newSize;
    trim();
  }

  // x = x + b.
  void add(const WideInt& b) {
    const int common = size_ < b.size_ ? size_ : b.size_;
    std::uint64_t carry = 0;
    int i = 0;
    for (; i < common; ++i) {
      const std::uint64_t sum = limb_[i] + b.limb_[i];
      const std::uint64_t withCarry = sum + carry;
      carry = (sum < b.limb_[i]) | (withCarry < sum);
      limb_[i] = withCarry;
    }
    for (; i < b.size_; ++i) {  // where b is the longer
      limb_[i] = b.limb_[i] + carry;
      carry = limb_[i] < carry;
    }
    for (; carry != 0 && i < size_; ++i) carry = ++limb_[i] == 0;  // where x is
    if (b.size_ > size_) size_ = b.size_;
    if (carry != 0 && size_ < Limbs) limb_[size_++] = carry;
    trim();  // a carry out of the capacity may leave the top limb 0
  }

  // x = x - b. Requires x >= b.
  void subtract(const WideInt& b) {
    std::uint64_t borrow = 0;
    int i = 0;
    for (; i < b.size_; ++i) {
      const std::uint64_t x = limb_[i];
      const std::uint64_t difference = x - b.limb_[i];
      limb_[i] = difference - borrow;
      borrow = (x < b.limb_[i]) | (difference < borrow);
    }
    for (; borrow != 0 && i < size_; ++i) borrow = limb_[i]-- == 0;
    trim();
  }

  // -1, 0 or 1 as a < b, a == b, a > b.
  friend int compare(const WideInt& a, const WideInt& b) {
    if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
    for (int i = a.size_ - 1; i >= 0; --i)
      if (a.limb_[i] != b.limb_[i]) return a.limb_[i] < b.limb_[i] ? -1 : 1;
    return 0;
  }

  // floor(a * b / 2^(64 * dropLimbs)), for 0 <= dropLimbs <= Limbs. The
  // result must fit, as always; the product itself may not.
  friend WideInt multiplyShifted(const WideInt& a, const WideInt& b, int dropLimbs) {
    if (a.size_ == 0 || b.size_ == 0) return WideInt();
    std::uint64_t product[2 * Limbs];
    std::uint64_t carry = 0;
    for (int j = 0; j < b.size_; ++j) {
      const unsigned __int128 t = static_cast<unsigned __int128>(a.limb_[0]) * b.limb_[j] + carry;
      product[j] = static_cast<std::uint64_t>(t);
      carry = static_cast<std::uint64_t>(t >> 64);
    }
    product[b.size_] = carry;
    for (int i = 1; i < a.size_; ++i) {
      carry = 0;
      for (int j = 0; j < b.size_; ++j) {
        const unsigned __int128 t =
            static_cast<unsigned __int128>(a.limb_[i]) * b.limb_[j] + product[i + j] + carry;
        product[i + j] = static_cast<std::uint64_t>(t);
        carry = static_cast<std::uint64_t>(t >> 64);
      }
      product[i + b.size_] = carry;
    }
    return fromProduct(product, a.size_ + b.size_, dropLimbs);
  }

  // Long division: *quotient = floor(numerator / denominator) and
  // *remainder = numerator mod denominator, for denominator > 0 (a zero
  // denominator, outside the contract, gives a quotient of 0 and the
  // numerator as the remainder rather than a fault). Any numerator of the
  // capacity. quotient and remainder must be two distinct objects; either
  // may be one of the inputs. Knuth's algorithm D on 64-bit digits, a
  // quotient digit at a time: time proportional to the product of the
  // quotient's and the denominator's lengths; two arrays of the capacity on
  // the stack.
  friend void divide(const WideInt& numerator, const WideInt& denominator, WideInt* quotient,
                     WideInt* remainder) {
    const int n = denominator.size_;
    if (n == 0 || compare(numerator, denominator) < 0) {
      *remainder = numerator;
      quotient->setZero();
      return;
    }
    // The denominator shifted so that its top digit has its top bit set, and
    // the numerator by as much, with a digit more on top (which may be 0).
    const int shift = __builtin_clzll(denominator.limb_[n - 1]);
    const int m = numerator.size_ - n;  // quotient digits less one, >= 0
    if (n > Limbs || numerator.size_ > Limbs) __builtin_unreachable();  // for GCC's analysis
    std::uint64_t v[Limbs];
    std::uint64_t u[Limbs + 1];
    shiftDigitsLeft(denominator.limb_, n, shift, v);
    u[numerator.size_] = shiftDigitsLeft(numerator.limb_, numerator.size_, shift, u);
    // v's top two digits, from the denominator itself (which GCC's analysis
    // sees written).
    const std::uint64_t top = normalisedDigit(denominator, n - 1, shift);
    const std::uint64_t next = n >= 2 ? normalisedDigit(denominator, n - 2, shift) : 0;
    for (int j = m; j >= 0; --j) {
      // The estimate from the top two digits, too large by at most 2 (and by
      // at most 1 after the test against the third); u[j + n] <= top.
      std::uint64_t estimate;
      std::uint64_t rest;
      bool restWide = false;  // rest >= 2^64: the estimate passes the test
      if (u[j + n] >= top) {
        estimate = ~std::uint64_t{0};
        rest = u[j + n - 1] + top;
        restWide = rest < top;
      } else {
        estimate = divide128By64(u[j + n], u[j + n - 1], top, &rest);
      }
      const std::uint64_t third = n >= 2 ? u[j + n - 2] : 0;
      while (!restWide && static_cast<unsigned __int128>(estimate) * next >
                              ((static_cast<unsigned __int128>(rest) << 64) | third)) {
        --estimate;
        rest += top;
        restWide = rest < top;
      }
      // u[j .. j + n] -= estimate * v
      std::uint64_t carry = 0;
      std::uint64_t borrow = 0;
      for (int i = 0; i < n; ++i) {
        const unsigned __int128 product = static_cast<unsigned __int128>(estimate) * v[i] + carry;
        carry = static_cast<std::uint64_t>(product >> 64);
        const std::uint64_t low = static_cast<std::uint64_t>(product);
        const std::uint64_t x = u[i + j];
        const std::uint64_t difference = x - low;
        u[i + j] = difference - borrow;
        borrow = (x < low) | (difference < borrow);
      }
      const std::uint64_t x = u[j + n];
      u[j + n] = x - carry - borrow;
      if (x < carry || x - carry < borrow) {
        // Still one too large: add the denominator back.
        --estimate;
        std::uint64_t c = 0;
        for (int i = 0; i < n; ++i) {
          const std::uint64_t sum = u[i + j] + v[i];
          const std::uint64_t withCarry = sum + c;
          c = (sum < v[i]) | (withCarry < sum);
          u[i + j] = withCarry;
        }
        u[j + n] += c;
      }
      quotient->limb_[j] = estimate;
    }
    quotient->size_ = m + 1;
    quotient->trim();
    // The remainder is u[0 .. n - 1] shifted back.
    for (int i = 0; i < n; ++i) {
      const std::uint64_t high = shift != 0 && i + 1 < n ? u[i + 1] << (64 - shift) : 0;
      remainder->limb_[i] = (u[i] >> shift) | high;
    }
    remainder->size_ = n;
    remainder->trim();
  }

  // floor(a * 2^shift / b) for b > 0 and shift >= 0; the quotient must fit,
  // and so must a * 2^shift. One quotient bit a step: for the rare passes
  // that need a wide quotient, not for loops.
  friend WideInt divideShifted(WideInt a, int shift, const WideInt& b) {
    a.shiftLeft(shift);
    WideInt quotient;
    const int steps = a.bitLength() - b.bitLength();
    if (steps < 0) return quotient;
    WideInt divisor = b;
    divisor.shiftLeft(steps);
    for (int i = steps; i >= 0; --i) {
      if (compare(a, divisor) >= 0) {
        a.subtract(divisor);
        quotient.setBit(i);
      }
      divisor.shiftRight(1);
    }
    return quotient;
  }

 private:
  void setZero() { size_ = 0; }

  // x = x * odd^exponent for an odd factor from 3 to 35 and exponent > 0.
  void multiplyByOddPower(std::uint64_t odd, int exponent) {
    std::uint64_t chunk = odd;
    int digits = 1;
    while (chunk <= ~std::uint64_t{0} / odd) {
      chunk *= odd;
      ++digits;
    }
    int chunks = exponent / digits;
    // From about eight chunks on, squaring takes fewer limb products.
    if (chunks >= 8) {
      // chunk^chunks from the top bit of chunks down: square, and multiply
      // by one more chunk where the bit is set.
      int bit = 31 - __builtin_clz(static_cast<unsigned>(chunks));
      WideInt power(chunk);
      while (--bit >= 0) {
        power = squared(power);
        if ((chunks >> bit) & 1) power.multiplyAdd(chunk);
      }
      *this = size_ == 1 && limb_[0] == 1 ? power : multiplyShifted(*this, power, 0);
      exponent -= chunks * digits;
    }
    for (; exponent >= digits; exponent -= digits) multiplyAdd(chunk);
    std::uint64_t rest = 1;
    for (; exponent > 0; --exponent) rest *= odd;
    if (rest != 1) multiplyAdd(rest);
  }

  void copyLimbs(const WideInt& x) {
    if (size_ > Limbs) __builtin_unreachable();  // for GCC's bounds analysis
    for (int i = 0; i < size_; ++i) limb_[i] = x.limb_[i];
  }

  // Digit i of x * 2^shift, for 0 <= shift < 64.
  static std::uint64_t normalisedDigit(const WideInt& x, int i, int shift) {
    if (shift == 0) return x.limb(i);
    return (x.limb(i) << shift) | (i > 0 ? x.limb(i - 1) >> (64 - shift) : 0);
  }

  // to[0 .. count - 1] = from[0 .. count - 1] * 2^shift, for 0 <= shift <
  // 64; returns the bits shifted out of the top. to may be from.
  static std::uint64_t shiftDigitsLeft(const std::uint64_t* from, int count, int shift,
                                       std::uint64_t* to) {
    if (shift == 0) {
      for (int i = count - 1; i >= 0; --i) to[i] = from[i];
      return 0;
    }
    const std::uint64_t out = from[count - 1] >> (64 - shift);
    for (int i = count - 1; i > 0; --i) to[i] = (from[i] << shift) | (from[i - 1] >> (64 - shift));
    to[0] = from[0] << shift;
    return out;
  }

  void setBit(int bit) {
    const int index = bit / 64;
    while (size_ <= index) limb_[size_++] = 0;
    limb_[index] |= std::uint64_t{1} << (bit % 64);
  }

  // floor(product / 2^(64 * dropLimbs)) from n limbs, cut to the capacity.
  static WideInt fromProduct(const std::uint64_t* product, int n, int dropLimbs) {
    WideInt result;
    int size = n - dropLimbs;
    if (size > Limbs) size = Limbs;
    if (size < 0) size = 0;
    for (int i = 0; i < size; ++i) result.limb_[i] = product[i + dropLimbs];
    result.size_ = size;
    result.trim();
    return result;
  }

  void trim() {
    if (size_ > Limbs) __builtin_unreachable();  // for GCC's bounds analysis
    while (size_ > 0 && limb_[size_ - 1] == 0) --size_;
  }

  // Only limb_[0 .. size_ - 1] hold anything: the rest is not initialised.
  std::uint64_t limb_[Limbs];
  int size_;
};

// The scaling of a fraction past its leading zero digits, for the exact
// expansions. For 0 < x < 2^point and a base from 2 to 36: multiplies x by
// base^k for the largest k that keeps it below 2^point, and returns k, the
// number of zeros between the point and the first digit of x / 2^point in
// the base. A power that surely keeps the product below goes first, then
// whole 64-bit chunks while it surely stays below; then base^j for the
// largest j with base^j <= 2^(point - bitLength), which surely keeps it
// below too, and one more digit where the product still is (two more never
// are, as x >= 2^(bitLength - 1)).
// x * base must fit.
template <int Limbs>
int scalePastLeadingZeros(WideInt<Limbs>* x, int point, int base) {
  if (x->isZero()) return 0;
  const WordChunk chunk = wordChunkOf(base);
  const int chunkBits = 64 - __builtin_clzll(chunk.power);
  int zeros = 0;
  // Most of them at once: base < 2^(chunkBits / digits), so base^z <=
  // 2^(point - bitLength) for z = (point - bitLength) * digits / chunkBits.
  const int room = point - x->bitLength();
  if (room > 2 * chunkBits) {
    zeros = static_cast<int>(static_cast<long long>(room) * chunk.digits / chunkBits);
    x->multiplyByPower(base, zeros);
  }
  while (x->bitLength() + chunkBits <= point) {
    x->multiplyAdd(chunk.power);
    zeros += chunk.digits;
  }
  const int rest = point - x->bitLength();  // 0 .. chunkBits - 1, so below 64
  const std::uint64_t b = static_cast<std::uint64_t>(base);
  const std::uint64_t limit = std::uint64_t{1} << rest;
  std::uint64_t power = 1;
  while (power <= limit / b) {
    power *= b;
    ++zeros;
  }
  if (power != 1) x->multiplyAdd(power);
  WideInt<Limbs> next = *x;
  next.multiplyAdd(b);
  if (next.bitLength() <= point) {
    *x = next;
    ++zeros;
  }
  return zeros;
}

#endif
