// WideInt: the one wide unsigned integer of the number core, for the exact
// expansions of numeral/ and the exact transcendentals of the software x87.
//
// A WideInt<Limbs> holds a non-negative integer below 2^(64 * Limbs) in a
// fixed array of 64-bit limbs, least significant first, on the stack: no
// heap, no exceptions, no floating point, and no 128-bit division (wasm32
// cannot link it); 64 x 64 -> 128-bit products are used where the compiler
// has them. Only the limbs below size() are meaningful, so work is
// proportional to the value's length, not to the capacity.
//
// Capacity: every result is reduced modulo 2^(64 * Limbs), and nothing is
// ever written outside the array. Callers choose Limbs so that no result of
// theirs needs the reduction; the contracts below say where a result must
// fit.
#ifndef VELTRANE_NUMERIC_WIDE_INT_H
#define VELTRANE_NUMERIC_WIDE_INT_H

#include <cstdint>

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

template <int Limbs>
class WideInt {
  static_assert(Limbs >= 2, "a WideInt holds at least 128 bits");

 public:
  static constexpr int kLimbs = Limbs;
  static constexpr int kBits = 64 * Limbs;

  // Zero.
  WideInt() : size_(0) {}
  explicit WideInt(std::uint64_t value) : size_(value != 0 ? 1 : 0) { limb_[0] = value; }
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

  bool isZero() const { return size_ == 0; }
  // Limbs in use: the top one is not zero.
  int size() const { return size_; }
  // Limb i (0 at and above size()).
  std::uint64_t limb(int i) const { return i < size_ ? limb_[i] : 0; }

  // The number of significant bits: 0 for zero, else floor(log2(x)) + 1.
  int bitLength() const {
    if (size_ == 0) return 0;
    return 64 * size_ - __builtin_clzll(limb_[size_ - 1]);
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
      const unsigned __int128 product =
          static_cast<unsigned __int128>(limb_[i]) * factor + carry;
      limb_[i] = static_cast<std::uint64_t>(product);
      carry = static_cast<std::uint64_t>(product >> 64);
    }
    if (carry != 0 && size_ < Limbs) limb_[size_++] = carry;
    trim();
  }

  // x = x * base^exponent, for exponent >= 0 and base from 2 to 2^32 - 1,
  // a chunk of digits at a time.
  void multiplyByPower(std::uint32_t base, int exponent) {
    std::uint64_t chunk = 1;
    int chunkDigits = 0;
    while (chunk * base <= 0xFFFFFFFFULL) {
      chunk *= base;
      ++chunkDigits;
    }
    for (; exponent >= chunkDigits; exponent -= chunkDigits) multiplyAdd(chunk);
    for (; exponent > 0; --exponent) multiplyAdd(base);
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
    const int n = size_ > b.size_ ? size_ : b.size_;
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint64_t a = limb(i);
      const std::uint64_t sum = a + b.limb(i);
      const std::uint64_t withCarry = sum + carry;
      carry = (sum < a) | (withCarry < sum);
      limb_[i] = withCarry;
    }
    size_ = n;
    if (carry != 0 && n < Limbs) {
      limb_[n] = carry;
      size_ = n + 1;
    }
  }

  // x = x - b. Requires x >= b.
  void subtract(const WideInt& b) {
    std::uint64_t borrow = 0;
    for (int i = 0; i < size_; ++i) {
      const std::uint64_t subtrahend = b.limb(i);
      const std::uint64_t difference = limb_[i] - subtrahend;
      const std::uint64_t withBorrow = difference - borrow;
      borrow = (limb_[i] < subtrahend) | (difference < borrow);
      limb_[i] = withBorrow;
    }
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
    std::uint64_t product[2 * Limbs];
    const int n = a.size_ + b.size_;
    for (int i = 0; i < n; ++i) product[i] = 0;
    for (int i = 0; i < a.size_; ++i) {
      std::uint64_t carry = 0;
      for (int j = 0; j < b.size_; ++j) {
        const unsigned __int128 t = static_cast<unsigned __int128>(a.limb_[i]) * b.limb_[j] +
                                    product[i + j] + carry;
        product[i + j] = static_cast<std::uint64_t>(t);
        carry = static_cast<std::uint64_t>(t >> 64);
      }
      product[i + b.size_] = carry;
    }
    return fromProduct(product, n, dropLimbs);
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
    while (size_ > 0 && limb_[size_ - 1] == 0) --size_;
  }

  // Zeroed on construction, so that copies never read an indeterminate
  // value; only the limbs below size_ are meaningful.
  std::uint64_t limb_[Limbs] = {};
  int size_;
};

#endif
