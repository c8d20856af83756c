// BigNatural: a natural number of fixed capacity in 64-bit limbs, for the
// exact comparisons of the round-trip search (a text's value against a stored
// value, and the digits of a stored value).
#ifndef VELTRANE_NUMERAL_BIG_NATURAL_H
#define VELTRANE_NUMERAL_BIG_NATURAL_H

#include <cstdint>

class BigNatural {
 public:
  // 44,800 bits: the round-trip search needs at most a text of 4,096 digits
  // of base 36 (21,200 bits) times 2^16,510 (the subnormal grid and a
  // significand) and a few bits more, about 37,800.
  static constexpr int kLimbs = 700;

  BigNatural() = default;
  explicit BigNatural(unsigned __int128 value) { assign(value); }
  BigNatural(const BigNatural& other) { *this = other; }
  // Copies only the limbs in use.
  BigNatural& operator=(const BigNatural& other);

  void assign(unsigned __int128 value);
  bool isZero() const { return size_ == 0; }
  int bitLength() const;
  // Only for a value below 2^128.
  unsigned __int128 low128() const;
  bool fitsIn128() const { return size_ <= 2; }
  // Bit i (0 for i beyond the value).
  bool bit(int i) const;

  // *this = *this * factor + addend.
  void multiplyAdd(std::uint64_t factor, std::uint64_t addend);
  // *this *= base^exponent, exponent >= 0, base 2..36.
  void multiplyByPower(int base, int exponent);
  void multiplyBy(const BigNatural& factor);
  void shiftLeft(int bits);
  // floor(*this / 2^bits).
  void shiftRight(int bits);
  // True when the low `bits` bits are all 0.
  bool lowBitsZero(int bits) const;
  void add(const BigNatural& other);
  void addSmall(std::uint64_t value);
  // Requires *this >= other.
  void subtract(const BigNatural& other);
  // Divides in place by divisor (not 0) and returns the remainder.
  std::uint64_t divideSmall(std::uint64_t divisor);
  // The remainder of *this / divisor, *this unchanged.
  std::uint64_t modSmall(std::uint64_t divisor) const;

  // -1, 0 or 1 as a < b, a == b, a > b.
  friend int compare(const BigNatural& a, const BigNatural& b);
  // quotient = floor(numerator / denominator), remainder = the rest;
  // denominator not 0. The outputs may not alias the inputs.
  friend void divide(const BigNatural& numerator, const BigNatural& denominator,
                     BigNatural* quotient, BigNatural* remainder);

 private:
  void trim() {
    while (size_ > 0 && limb_[size_ - 1] == 0) --size_;
  }

  std::uint64_t limb_[kLimbs];
  int size_ = 0;  // limbs in use; limb_[size_ - 1] != 0
};

#endif
