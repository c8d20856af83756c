// The parser against a separately written reader of the numeral grammar, over
// every short text from a small alphabet, and digitValue over every byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "numeral/digit_alphabet.h"
#include "numeral/parse.h"
#include "numeric/ext_math.h"
#include "tests/support/ext_testing.h"
#include "tests/support/text_sweep.h"

namespace {

const char kLower[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const char kUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Value of a digit character by lookup, or -1.
int referenceDigit(char c) {
  for (int i = 0; i < 36; ++i)
    if (c == kLower[i] || c == kUpper[i]) return i;
  return -1;
}

TEST(DigitValue, EveryByteAgainstTheTable) {
  const int limits[] = {-5, 0, 1, 2, 10, 11, 16, 35, 36, 37, 100};
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const int expected = referenceDigit(c);
    for (int limit : limits) {
      int value = -12345;
      const int result = digitValue(&value, c, limit);
      EXPECT_EQ(result, expected >= 0 && expected < limit ? 1 : 0) << byte << " " << limit;
      EXPECT_EQ(value, expected >= 0 ? expected : -12345) << byte << " " << limit;
    }
  }
}

TEST(DigitAlphabet, WritesUpperCaseAndReadsItBack) {
  for (int v = 0; v < 36; ++v) {
    EXPECT_EQ(digitCharacter(v), kUpper[v]) << v;
    EXPECT_EQ(digitValueOf(kUpper[v]), v) << v;
    EXPECT_EQ(digitValueOf(kLower[v]), v) << v;
  }
  EXPECT_EQ(kMaxBase - kMinBase + 1, 35);
  for (int byte = 0; byte < 256; ++byte) {
    if (referenceDigit(static_cast<char>(byte)) < 0) {
      EXPECT_EQ(digitValueOf(static_cast<char>(byte)), kNotADigit) << byte;
    }
  }
}

// What the grammar says about one text.
struct Reading {
  bool accepted = false;
  int base = 0;  // the caller's base after the parse
  bool negative = false;
  long long mantissa = 0;  // all digits as one integer (short texts only)
  long long scale = 0;
};

// A recursive-descent reader of
//   text    := numeral [ '@' suffix ]
//   numeral := [ '+' | '-' ] digit* [ '.' digit+ ] [ marker [ '-' ] [ '+' ] digit+ ]
//   marker  := '_' | 'e' | 'E'  ('e' and 'E' only where they are not digits)
//   suffix  := letter | decimal | decimal decimal any*
class Reader {
 public:
  Reader(const std::string& text, int base) : text_(text) { reading_.base = base; }

  Reading read() {
    if (text_.empty()) return reading_;
    const size_t at = text_.find('@');
    if (at != std::string::npos && !suffix(text_.substr(at + 1))) return reading_;
    end_ = at == std::string::npos ? text_.size() : at;
    reading_.accepted = numeral() && pos_ == end_;
    return reading_;
  }

 private:
  bool suffix(const std::string& s) {
    if (s.empty() || referenceDigit(s[0]) < 0) return false;
    reading_.base = referenceDigit(s[0]);
    if (reading_.base >= 10) return s.size() == 1;
    if (s.size() == 1) return true;
    if (s[1] < '0' || s[1] > '9') return false;
    reading_.base = reading_.base * 10 + (s[1] - '0');
    return true;
  }

  int peek() const { return pos_ < end_ ? static_cast<unsigned char>(text_[pos_]) : -1; }
  bool accept(char c) {
    if (peek() != static_cast<unsigned char>(c)) return false;
    ++pos_;
    return true;
  }
  bool atDigit() const {
    if (peek() < 0) return false;
    const int d = referenceDigit(static_cast<char>(peek()));
    return d >= 0 && d < reading_.base;
  }
  int takeDigit() { return referenceDigit(text_[pos_++]); }
  bool atMarker() const {
    if (peek() == '_') return true;
    return (peek() == 'e' || peek() == 'E') && !atDigit();
  }

  bool numeral() {
    if (accept('-'))
      reading_.negative = true;
    else
      accept('+');
    while (atDigit()) reading_.mantissa = reading_.mantissa * reading_.base + takeDigit();
    if (accept('.') && !fraction()) return false;
    if (atMarker()) {
      ++pos_;
      return exponent();
    }
    return true;
  }

  bool fraction() {
    if (!atDigit()) return false;
    while (atDigit()) {
      reading_.mantissa = reading_.mantissa * reading_.base + takeDigit();
      --reading_.scale;
    }
    return true;
  }

  bool exponent() {
    const bool negative = accept('-');
    accept('+');
    if (!atDigit()) return false;
    long long e = 0;
    while (atDigit()) e = e * reading_.base + takeDigit();
    reading_.scale += negative ? -e : e;
    return true;
  }

  std::string text_;
  size_t pos_ = 0;
  size_t end_ = 0;
  Reading reading_;
};

// Every text of up to maxLength characters from the alphabet, in each base.
void sweep(const char* alphabet, int maxLength, const int* bases, int baseCount) {
  long long checked = 0;
  exttest::forEachText(alphabet, maxLength, [&](const std::string& text) {
    for (int b = 0; b < baseCount; ++b) {
      const Reading expected = Reader(text, bases[b]).read();
      ExtReal result;
      int base = bases[b];
      const ParseVerdict verdict = parseNumeral(&result, text.c_str(), &base);
      const bool accepted = verdict != kParseRejected;
      ++checked;
      ASSERT_EQ(accepted, expected.accepted) << '"' << text << "\" in base " << bases[b];
      ASSERT_EQ(base, expected.base) << '"' << text << "\" in base " << bases[b];
      if (!accepted) continue;
      if (verdict != kParseValue) {
        // An overflow has the sign of the numeral and its infinity as value.
        ASSERT_EQ(verdict, expected.negative ? kParseMinusOverflow : kParsePlusOverflow) << text;
        ASSERT_TRUE(exttest::sameBits(
            result, ExtReal::fromBits(0x8000000000000000ULL, expected.negative ? 0xFFFF : 0x7FFF)))
            << text;
        continue;
      }
      ExtReal value = ExtReal(static_cast<double>(expected.mantissa)) *
                      extPow(ExtReal(expected.base), ExtReal(static_cast<int>(expected.scale)));
      if (expected.negative) value = -value;
      ASSERT_TRUE(exttest::sameBits(result, value)) << '"' << text << "\" in base " << bases[b];
    }
  });
  EXPECT_GT(checked, 0);
}

TEST(ParseNumeralGrammar, ShortTextsAgreeWithTheGrammar) {
  const int bases[] = {2, 10, 14, 15, 16, 36};
  sweep("01e_.+-@9aAzZ#", 4, bases, 6);
}

TEST(ParseNumeralGrammar, FiveCharacterTexts) {
  const int bases[] = {2, 10, 16, 36};
  sweep("01e_.+-@9aAzZ#", 5, bases, 4);
}

}  // namespace
