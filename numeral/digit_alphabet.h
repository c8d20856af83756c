// The digits of a numeral, named once: the bases 2 to 36, the character
// written for a digit's value, and the reading of a digit character.
#ifndef VELTRANE_NUMERAL_DIGIT_ALPHABET_H
#define VELTRANE_NUMERAL_DIGIT_ALPHABET_H

#include <climits>

// The bases a conversion reads and writes.
constexpr int kMinBase = 2;
constexpr int kMaxBase = 36;

// What digitValueOf gives for a byte that is no digit character: above the
// digits of every base, even the bases up to 99 that an '@' suffix names.
constexpr int kNotADigit = INT_MAX;

// '0'-'9' are 0-9, 'A'-'Z' and 'a'-'z' are 10-35; any other byte (those from
// 128 up included) gives kNotADigit.
constexpr int digitValueOf(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'A' && c <= 'Z' ? c - 'A' + 10
         : c >= 'a' && c <= 'z' ? c - 'a' + 10
                                : kNotADigit;
}

// The character written for a digit value from 0 to 35: '0'-'9', then the
// upper-case letters.
constexpr char digitCharacter(int value) {
  return static_cast<char>(value < 10 ? '0' + value : 'A' + (value - 10));
}

#endif
