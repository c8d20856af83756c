// The diagnosis of rejected numerals: each rule at its place, and a fault
// named exactly when parseNumeral rejects, over every short text of a small
// alphabet.
#include "numeral/diagnose.h"

#include <gtest/gtest.h>

#include <string>

#include "numeral/parse.h"
#include "tests/support/text_sweep.h"

namespace {

struct Case {
  const char* text;
  int base;
  NumeralFault fault;
  int column;  // 1-based, 0 for none
  const char* message;
};

const Case kCases[] = {
    {"", 10, kEmptyText, 0, "the numeral is empty"},
    {"12G", 16, kDigitTooLarge, 3, "'G' at column 3 is not a digit below 16"},
    {"2", 2, kDigitTooLarge, 1, "'2' at column 1 is not a digit below 2"},
    {"19@8", 10, kDigitTooLarge, 2, "'9' at column 2 is not a digit below 8"},
    {"1@1", 10, kDigitTooLarge, 1, "'1' at column 1 is not a digit below 1"},
    {"1e2", 2, kDigitTooLarge, 3, "'2' at column 3 is not a digit below 2"},
    {"1.G", 16, kDigitTooLarge, 3, "'G' at column 3 is not a digit below 16"},
    {"1 2", 10, kNotADigitCharacter, 2, "' ' at column 2 is not a digit"},
    {"1#", 10, kNotADigitCharacter, 2, "'#' at column 2 is not a digit"},
    {"\xc3\xa9", 10, kNotADigitCharacter, 1, "byte 0xC3 at column 1 is not a digit"},
    {"1\t", 10, kNotADigitCharacter, 2, "byte 0x09 at column 2 is not a digit"},
    {"5.", 10, kPointWithoutDigit, 2, "the point at column 2 is not followed by a digit below 10"},
    {".", 10, kPointWithoutDigit, 1, "the point at column 1 is not followed by a digit below 10"},
    {"-.e5", 10, kPointWithoutDigit, 2,
     "the point at column 2 is not followed by a digit below 10"},
    {"1e", 10, kExponentWithoutDigit, 2,
     "the exponent marker 'e' at column 2 is not followed by a digit below 10"},
    {"1_-+", 16, kExponentWithoutDigit, 2,
     "the exponent marker '_' at column 2 is not followed by a digit below 16"},
    {"1E-@8", 10, kExponentWithoutDigit, 2,
     "the exponent marker 'E' at column 2 is not followed by a digit below 8"},
    {"1e+-5", 10, kExponentSignOrder, 4,
     "the sign '-' at column 4 is out of place; an exponent marker takes an optional '-', then "
     "an optional '+'"},
    {"1e--5", 10, kExponentSignOrder, 4, nullptr},
    {"1e-++5", 10, kExponentSignOrder, 5, nullptr},
    {"1-2", 10, kSignNotFirst, 2, "the sign '-' at column 2 is not first"},
    {"--5", 10, kSignNotFirst, 2, "the sign '-' at column 2 is not first"},
    {"+-5", 10, kSignNotFirst, 2, nullptr},
    {"1e5+", 10, kSignNotFirst, 4, nullptr},
    {"1e+-5", 16, kSignNotFirst, 3, nullptr},  // 'e' is a digit in base 16
    {"1.2.3", 10, kSecondPoint, 4, "a second point at column 4"},
    {"1e5.5", 10, kPointInExponent, 4, "the point at column 4 is in the exponent, which is whole"},
    {"1e5e5", 10, kSecondExponent, 4, "a second exponent marker 'e' at column 4"},
    {"1_2_3", 36, kSecondExponent, 4, nullptr},
    {"10@", 10, kSuffixMissing, 3,
     "the '@' at column 3 is not followed by a base; an '@' suffix is one or two decimal digits "
     "or one letter"},
    {"@", 10, kSuffixMissing, 1, nullptr},
    {"12@#", 10, kSuffixNotABase, 4, nullptr},
    {"12G@ 1", 16, kSuffixNotABase, 5, nullptr},  // the suffix is read first
    {"12@G6", 10, kSuffixAfterLetter, 5,
     "'6' at column 5 follows the letter base 'G', which ends the numeral"},
    {"12@1x", 10, kSuffixSecondNotDecimal, 5,
     "'x' at column 5 is not a decimal digit; an '@' suffix is one or two decimal digits or one "
     "letter"},
    // Accepted texts.
    {"-", 10, kNoFault, 0, ""},
    {"e5", 10, kNoFault, 0, ""},
    {"12@16x", 10, kNoFault, 0, ""},
    {"@0", 10, kNoFault, 0, ""},
    {"1e-+5", 10, kNoFault, 0, ""},
    {"1E5", 16, kNoFault, 0, ""},
};

TEST(DiagnoseNumeral, EachRuleAtItsColumn) {
  for (const Case& c : kCases) {
    const NumeralDiagnosis d = diagnoseNumeral(c.text, c.base);
    EXPECT_EQ(d.fault, c.fault) << '"' << c.text << '"';
    if (c.column > 0) {
      EXPECT_EQ(d.offset + 1, static_cast<std::size_t>(c.column)) << c.text;
    }
    char message[256];
    describeDiagnosis(message, sizeof message, c.text, d);
    if (c.message != nullptr) {
      EXPECT_STREQ(message, c.message) << c.text;
    }
    int base = c.base;
    ExtReal value;
    EXPECT_EQ(parseNumeral(&value, c.text, &base), c.fault == kNoFault) << c.text;
  }
}

TEST(DiagnoseNumeral, BaseInEffect) {
  EXPECT_EQ(diagnoseNumeral("19@8", 10).base, 8);
  EXPECT_TRUE(diagnoseNumeral("19@8", 10).suffixBase);
  EXPECT_EQ(diagnoseNumeral("1@z", 16).base, 35);
  EXPECT_EQ(diagnoseNumeral("1@99", 16).base, 99);
  EXPECT_EQ(diagnoseNumeral("12@1x", 16).base, 16);
  EXPECT_FALSE(diagnoseNumeral("12@1x", 16).suffixBase);
  EXPECT_EQ(diagnoseNumeral("12G", 16).base, 16);
  EXPECT_FALSE(diagnoseNumeral("12G", 16).suffixBase);
}

// Every text of up to maxLength characters: a fault exactly when the parser
// rejects, at a character of the text, with the base the parser used, and a
// one-line printable message naming that column.
void sweep(const char* alphabet, int maxLength, const int* bases, int baseCount) {
  long long checked = 0;
  exttest::forEachText(alphabet, maxLength, [&](const std::string& text) {
    for (int b = 0; b < baseCount; ++b) {
      int base = bases[b];
      ExtReal value;
      const bool accepted = parseNumeral(&value, text.c_str(), &base);
      const NumeralDiagnosis d = diagnoseNumeral(text.c_str(), bases[b]);
      ++checked;
      ASSERT_EQ(d.fault == kNoFault, accepted) << '"' << text << "\" in base " << bases[b];
      if (accepted || d.suffixBase) {
        ASSERT_EQ(d.base, base) << '"' << text << "\" in base " << bases[b];
      }
      if (accepted) continue;
      if (d.fault != kEmptyText) {
        ASSERT_LT(d.offset, text.size()) << text;
      }
      char message[256];
      describeDiagnosis(message, sizeof message, text.c_str(), d);
      const std::string m = message;
      ASSERT_FALSE(m.empty()) << text;
      for (char c : m) ASSERT_TRUE(c >= 0x20 && c < 0x7F) << text;
      if (d.fault != kEmptyText) {
        ASSERT_NE(m.find("column " + std::to_string(d.offset + 1)), std::string::npos)
            << text << ": " << m;
      }
    }
  });
  EXPECT_GT(checked, 0);
}

TEST(DiagnoseNumeral, DiagnosedExactlyWhenRejected) {
  const int bases[] = {2, 10, 14, 15, 16, 36};
  sweep("01e_.+-@9aAzZ#", 4, bases, 6);
}

TEST(DiagnoseNumeral, DiagnosedExactlyWhenRejectedFiveCharacters) {
  const int bases[] = {2, 10, 16, 36};
  sweep("01eE_.+-@9gG \x80", 5, bases, 4);
}

}  // namespace
