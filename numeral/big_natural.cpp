#include "numeral/big_natural.h"

#include <cstring>

namespace {

using u128 = unsigned __int128;

}  // namespace

BigNatural& BigNatural::operator=(const BigNatural& other) {
  size_ = other.size_;
  std::memcpy(limb_, other.limb_, sizeof(std::uint64_t) * static_cast<unsigned>(size_));
  return *this;
}

void BigNatural::assign(u128 value) {
  limb_[0] = static_cast<std::uint64_t>(value);
  limb_[1] = static_cast<std::uint64_t>(value >> 64);
  size_ = 2;
  trim();
}

int BigNatural::bitLength() const {
  if (size_ == 0) return 0;
  return 64 * (size_ - 1) + (64 - __builtin_clzll(limb_[size_ - 1]));
}

u128 BigNatural::low128() const {
  u128 value = 0;
  if (size_ > 1) value = static_cast<u128>(limb_[1]) << 64;
  if (size_ > 0) value |= limb_[0];
  return value;
}

bool BigNatural::bit(int i) const {
  const int index = i / 64;
  return index < size_ && ((limb_[index] >> (i % 64)) & 1) != 0;
}

void BigNatural::multiplyAdd(std::uint64_t factor, std::uint64_t addend) {
  std::uint64_t carry = addend;
  for (int i = 0; i < size_; ++i) {
    const u128 product = static_cast<u128>(limb_[i]) * factor + carry;
    limb_[i] = static_cast<std::uint64_t>(product);
    carry = static_cast<std::uint64_t>(product >> 64);
  }
  if (carry != 0 && size_ < kLimbs) limb_[size_++] = carry;
  trim();
}

void BigNatural::multiplyByPower(int base, int exponent) {
  // The largest power of the base below 2^64 takes the bulk in few passes.
  std::uint64_t chunk = 1;
  int chunkDigits = 0;
  const std::uint64_t b = static_cast<std::uint64_t>(base);
  while (chunk <= UINT64_MAX / b) {
    chunk *= b;
    ++chunkDigits;
  }
  for (; exponent >= chunkDigits; exponent -= chunkDigits) multiplyAdd(chunk, 0);
  std::uint64_t rest = 1;
  for (; exponent > 0; --exponent) rest *= b;
  if (rest != 1) multiplyAdd(rest, 0);
}

void BigNatural::multiplyBy(const BigNatural& factor) {
  if (size_ == 0 || factor.size_ == 0) {
    size_ = 0;
    return;
  }
  std::uint64_t product[kLimbs];
  const int size = size_ + factor.size_ < kLimbs ? size_ + factor.size_ : kLimbs;
  std::memset(product, 0, sizeof(std::uint64_t) * static_cast<unsigned>(size));
  for (int i = 0; i < size_; ++i) {
    std::uint64_t carry = 0;
    for (int j = 0; j < factor.size_ && i + j < size; ++j) {
      const u128 t = static_cast<u128>(limb_[i]) * factor.limb_[j] + product[i + j] + carry;
      product[i + j] = static_cast<std::uint64_t>(t);
      carry = static_cast<std::uint64_t>(t >> 64);
    }
    if (i + factor.size_ < size) product[i + factor.size_] = carry;
  }
  std::memcpy(limb_, product, sizeof(std::uint64_t) * static_cast<unsigned>(size));
  size_ = size;
  trim();
}

void BigNatural::shiftLeft(int bits) {
  if (size_ == 0 || bits <= 0) return;
  const int limbs = bits / 64;
  const int rest = bits % 64;
  int newSize = size_ + limbs + 1;
  if (newSize > kLimbs) newSize = kLimbs;
  for (int i = newSize - 1; i >= 0; --i) {
    const int from = i - limbs;
    std::uint64_t word = 0;
    if (from >= 0 && from < size_) word = limb_[from] << rest;
    if (rest != 0 && from - 1 >= 0 && from - 1 < size_) word |= limb_[from - 1] >> (64 - rest);
    limb_[i] = word;
  }
  size_ = newSize;
  trim();
}

void BigNatural::shiftRight(int bits) {
  if (bits <= 0) return;
  const int limbs = bits / 64;
  const int rest = bits % 64;
  if (limbs >= size_) {
    size_ = 0;
    return;
  }
  const int newSize = size_ - limbs;
  for (int i = 0; i < newSize; ++i) {
    std::uint64_t word = limb_[i + limbs] >> rest;
    if (rest != 0 && i + limbs + 1 < size_) word |= limb_[i + limbs + 1] << (64 - rest);
    limb_[i] = word;
  }
  size_ = newSize;
  trim();
}

bool BigNatural::lowBitsZero(int bits) const {
  for (int i = 0; i < size_ && bits > 0; ++i, bits -= 64) {
    const std::uint64_t mask = bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
    if ((limb_[i] & mask) != 0) return false;
  }
  return true;
}

void BigNatural::add(const BigNatural& other) {
  const int n = size_ > other.size_ ? size_ : other.size_;
  std::uint64_t carry = 0;
  for (int i = 0; i < n; ++i) {
    const u128 sum = static_cast<u128>(i < size_ ? limb_[i] : 0) +
                     (i < other.size_ ? other.limb_[i] : 0) + carry;
    limb_[i] = static_cast<std::uint64_t>(sum);
    carry = static_cast<std::uint64_t>(sum >> 64);
  }
  size_ = n;
  if (carry != 0 && size_ < kLimbs) limb_[size_++] = carry;
}

void BigNatural::addSmall(std::uint64_t value) {
  BigNatural small(value);
  add(small);
}

void BigNatural::subtract(const BigNatural& other) {
  std::uint64_t borrow = 0;
  for (int i = 0; i < size_; ++i) {
    const std::uint64_t b = i < other.size_ ? other.limb_[i] : 0;
    const u128 need = static_cast<u128>(b) + borrow;
    borrow = static_cast<u128>(limb_[i]) < need ? 1 : 0;
    limb_[i] = static_cast<std::uint64_t>(static_cast<u128>(limb_[i]) - need);
  }
  trim();
}

std::uint64_t BigNatural::divideSmall(std::uint64_t divisor) {
  u128 remainder = 0;
  for (int i = size_ - 1; i >= 0; --i) {
    const u128 current = (remainder << 64) | limb_[i];
    limb_[i] = static_cast<std::uint64_t>(current / divisor);
    remainder = current % divisor;
  }
  trim();
  return static_cast<std::uint64_t>(remainder);
}

std::uint64_t BigNatural::modSmall(std::uint64_t divisor) const {
  u128 remainder = 0;
  for (int i = size_ - 1; i >= 0; --i) remainder = ((remainder << 64) | limb_[i]) % divisor;
  return static_cast<std::uint64_t>(remainder);
}

int compare(const BigNatural& a, const BigNatural& b) {
  if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
  for (int i = a.size_ - 1; i >= 0; --i)
    if (a.limb_[i] != b.limb_[i]) return a.limb_[i] < b.limb_[i] ? -1 : 1;
  return 0;
}

// Knuth's algorithm D (TAOCP 4.3.1) on 64-bit digits: the divisor is
// normalised so that its top digit has its top bit set, then each quotient
// digit is estimated from the top two digits of the running remainder,
// corrected at most twice by the next digit, and the estimate's product
// subtracted, with one add-back when it was still one too large.
void divide(const BigNatural& numerator, const BigNatural& denominator, BigNatural* quotient,
            BigNatural* remainder) {
  const int n = denominator.size_;
  if (compare(numerator, denominator) < 0) {
    quotient->size_ = 0;
    *remainder = numerator;
    return;
  }
  if (n == 1) {
    *quotient = numerator;
    remainder->assign(quotient->divideSmall(denominator.limb_[0]));
    return;
  }
  const int m = numerator.size_ - n;
  const int shift = __builtin_clzll(denominator.limb_[n - 1]);
  BigNatural v = denominator;
  v.shiftLeft(shift);
  // The shifted numerator with one more digit on top, which may be 0.
  BigNatural& u = *remainder;
  u = numerator;
  u.shiftLeft(shift);
  for (int i = u.size_; i <= numerator.size_; ++i) u.limb_[i] = 0;
  quotient->size_ = m + 1;
  const std::uint64_t top = v.limb_[n - 1];
  const std::uint64_t next = v.limb_[n - 2];
  for (int j = m; j >= 0; --j) {
    const u128 head = (static_cast<u128>(u.limb_[j + n]) << 64) | u.limb_[j + n - 1];
    u128 estimate = head / top;
    u128 rest = head % top;
    while (estimate >> 64 != 0 ||
           estimate * next > ((rest << 64) | u.limb_[j + n - 2])) {
      --estimate;
      rest += top;
      if (rest >> 64 != 0) break;
    }
    // u[j .. j+n] -= estimate * v
    std::uint64_t carry = 0;
    std::uint64_t borrow = 0;
    for (int i = 0; i < n; ++i) {
      const u128 product = estimate * v.limb_[i] + carry;
      carry = static_cast<std::uint64_t>(product >> 64);
      const std::uint64_t low = static_cast<std::uint64_t>(product);
      const u128 need = static_cast<u128>(low) + borrow;
      borrow = static_cast<u128>(u.limb_[i + j]) < need ? 1 : 0;
      u.limb_[i + j] = static_cast<std::uint64_t>(static_cast<u128>(u.limb_[i + j]) - need);
    }
    const u128 need = static_cast<u128>(carry) + borrow;
    const bool negative = static_cast<u128>(u.limb_[j + n]) < need;
    u.limb_[j + n] = static_cast<std::uint64_t>(static_cast<u128>(u.limb_[j + n]) - need);
    if (negative) {
      // One too large: add the divisor back.
      --estimate;
      std::uint64_t c = 0;
      for (int i = 0; i < n; ++i) {
        const u128 sum = static_cast<u128>(u.limb_[i + j]) + v.limb_[i] + c;
        u.limb_[i + j] = static_cast<std::uint64_t>(sum);
        c = static_cast<std::uint64_t>(sum >> 64);
      }
      u.limb_[j + n] += c;
    }
    quotient->limb_[j] = static_cast<std::uint64_t>(estimate);
  }
  quotient->trim();
  u.size_ = n;
  u.trim();
  u.shiftRight(shift);
}
