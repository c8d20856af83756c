#include "library/convert_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Converted {
  LineOutcome outcome;
  std::string text;
};

Converted convert(const std::string& line, int from = 10, int to = 16, int scientific = 0) {
  LineOptions options;
  options.inputBase = from;
  options.outputBase = to;
  options.scientific = scientific;
  char out[kLineOutputSize];
  LineOutcome outcome = convertLine(line.data(), line.size(), options, out);
  return {outcome, out};
}

struct Case {
  const char* numeral;
  int from;
  int to;
  int scientific;
  const char* text;
};

// The texts the dialog shows for the same numeral, bases and notation.
const Case kDialogTexts[] = {
    {"255", 10, 16, 0, "FF"},
    {"255", 10, 16, 1, "F.F_+1"},
    {"255", 10, 8, 1, "3.77_+2"},
    {"255", 10, 2, 0, "11111111"},
    {"ff", 16, 10, 0, "255"},
    {"-255", 10, 36, 0, "-73"},
    {"-0.5", 10, 2, 0, "-0.1"},
    {"-0.5", 10, 2, 1, "-1.0_-1"},
    {"-0.5", 10, 10, 1, "-5.0e-1"},
    {"0.25", 10, 10, 0, "0.25"},
    {"0.8", 16, 16, 0, "0.8"},
    {"0", 10, 7, 0, "0"},
    {"0", 10, 7, 1, "0.0"},
    {"-0", 10, 10, 0, "0"},
    {"5", 10, 10, 1, "5.0"},
    {"4096", 10, 16, 1, "1.0_+3"},
    {"1_10", 16, 16, 0, "10000000000000000"},
    {"1_10", 16, 16, 1, "1.0_+10"},  // the exponent is written in the base too
    {"1e11", 2, 10, 0, "8"},
    {"1E5", 16, 10, 0, "485"},  // 'E' is a digit in base 16
    {"12@16", 10, 10, 0, "18"},
    {"12@G", 10, 10, 0, "18"},
    {"z@37", 10, 10, 0, "35"},
    {"1e1000001", 2, 2, 0, "100000000000000000000000000000000000000000000000000000000000000000"},
    {"1e1000010", 2, 2, 0, "1.0_+1000010"},  // 2^66: switched to scientific
    {"1e30", 10, 10, 0, "1.0e+30"},
    {"1e-18", 10, 10, 0, "0.000000000000000001"},
    {"1e-19", 10, 10, 0, "1.0e-19"},
    {"1e4930", 10, 16, 0, "+INF"},
    {"-1e4930", 10, 16, 1, "-INF"},
    {"0e5000", 10, 16, 0, "+INF"},
    {"1e-5000", 10, 16, 0, "0"},
    {"-", 10, 16, 0, "0"},
    {".5", 10, 16, 0, "0.8"},
    {"e5", 10, 16, 0, "0"},
    {"1e-+5", 10, 10, 1, "1.0e-5"},
    // Rejected numerals.
    {"5.", 10, 16, 0, "ERROR"},
    {".", 10, 16, 0, "ERROR"},
    {"1e", 10, 16, 0, "ERROR"},
    {"1e+-5", 10, 16, 0, "ERROR"},
    {"2", 2, 16, 0, "ERROR"},
    {"g", 16, 10, 0, "ERROR"},
    {"1 2", 10, 16, 0, "ERROR"},
    {"12@1x", 10, 16, 0, "ERROR"},
    {"12@", 10, 16, 0, "ERROR"},
    {"1@1", 10, 16, 0, "ERROR"},
    {"--5", 10, 16, 0, "ERROR"},
    {"\t5", 10, 16, 0, "ERROR"},    // only the space is a blank
    {"5\xB5", 10, 16, 0, "ERROR"},  // no byte above 127 is a digit
    {"\xB5", 10, 16, 0, "ERROR"},
};

TEST(ConvertLine, ShowsWhatTheDialogShows) {
  for (const Case& c : kDialogTexts) {
    Converted r = convert(c.numeral, c.from, c.to, c.scientific);
    EXPECT_EQ(r.text, c.text) << c.numeral << " " << c.from << "->" << c.to;
    // Every row that says ERROR here is rejected, and every INF an overflow
    // (the rows keep below the bases where these texts are numerals).
    const std::string text = c.text;
    const LineOutcome expected = text == "ERROR"                    ? kNotANumeral
                                 : text == "+INF" || text == "-INF" ? kOverflow
                                                                    : kConverted;
    EXPECT_EQ(r.outcome, expected) << c.numeral;
  }
}

TEST(ConvertLine, BlanksAroundTheNumeralAreIgnored) {
  EXPECT_EQ(convert("  255  ").text, "FF");
  EXPECT_EQ(convert(" -0.5", 10, 2).text, "-0.1");
  // Longer than the dialog's 28 characters, blanks and leading zeros alike.
  EXPECT_EQ(convert(std::string(1000, ' ') + "255" + std::string(1000, ' ')).text, "FF");
  EXPECT_EQ(convert(std::string(40, '0') + "255").text, "FF");
  EXPECT_EQ(convert("0." + std::string(40, '0') + "1e41").text, "1");
}

TEST(ConvertLine, EmptyAndBlankNumeralsAreRejected) {
  for (const char* line : {"", " ", "      "}) {
    Converted r = convert(line);
    EXPECT_EQ(r.outcome, kEmptyNumeral) << '"' << line << '"';
    EXPECT_EQ(r.text, "ERROR");
  }
}

TEST(ConvertLine, NulByteRejectsTheWholeNumeral) {
  // Cut at the NUL, "25" would convert to 19.
  const std::string nul(1, '\0');
  Converted r = convert("25" + nul + "5");
  EXPECT_EQ(r.outcome, kNulByte);
  EXPECT_EQ(r.text, "ERROR");
  EXPECT_EQ(convert(nul).outcome, kNulByte);
  EXPECT_EQ(convert("5 " + nul).outcome, kNulByte);
}

TEST(ConvertLine, LengthLimit) {
  std::string longest = std::string(kMaxNumeralLength - 3, ' ') + "255";
  EXPECT_EQ(convert(longest).text, "FF");
  Converted r = convert(longest + " ");
  EXPECT_EQ(r.outcome, kNumeralTooLong);
  EXPECT_EQ(r.text, "ERROR");
  // A numeral of many digits up to the limit still converts; as integer
  // digits, leading zeros count towards the overflow guard's 4930.
  EXPECT_EQ(convert("0." + std::string(kMaxNumeralLength - 2, '0')).text, "0");
  EXPECT_EQ(convert(std::string(kMaxNumeralLength, '0')).text, "+INF");
  EXPECT_EQ(convert("1." + std::string(kMaxNumeralLength - 2, '0'), 2, 10).text, "1");

  // Beyond the limit the text is not read at all.
  LineOptions options;
  char out[kLineOutputSize];
  EXPECT_EQ(convertLine(nullptr, kMaxNumeralLength + 1, options, out), kNumeralTooLong);
  EXPECT_STREQ(out, "ERROR");
}

TEST(ConvertLine, HugeExponentsGiveAValueOrInfinity) {
  std::string largest = convert("1e4929", 10, 10).text;
  EXPECT_EQ(largest.substr(0, 3), "1.0") << largest;
  EXPECT_EQ(largest.substr(largest.size() - 6), "e+4929") << largest;
  std::string nines(kMaxNumeralLength - 3, '9');
  EXPECT_EQ(convert("1e" + nines).text, "+INF");
  EXPECT_EQ(convert("-1e" + nines).text, "-INF");
  EXPECT_EQ(convert("1e-" + nines.substr(1)).text, "0");
  EXPECT_EQ(convert("1e2147483648", 10, 10).text, "+INF");
  EXPECT_EQ(convert("1e-2147483649", 10, 10).text, "0");
}

TEST(ConvertLine, NothingCarriesOverBetweenNumerals) {
  // The '@' base of one numeral is not the input base of the next.
  EXPECT_EQ(convert("12@16", 10, 10).text, "18");
  EXPECT_EQ(convert("12", 10, 10).text, "12");
  // Nor is the base a failed suffix has already written.
  EXPECT_EQ(convert("12@1x", 10, 10).outcome, kNotANumeral);
  EXPECT_EQ(convert("12", 10, 10).text, "12");
  // An automatic switch to scientific notation applies to its numeral only.
  EXPECT_EQ(convert("1e30", 10, 10).text, "1.0e+30");
  EXPECT_EQ(convert("5", 10, 10).text, "5");
  // Overflow flags: cleared by the next accepted numeral, whatever came
  // between.
  EXPECT_EQ(convert("1e4930").text, "+INF");
  EXPECT_EQ(convert("xyz", 10, 10).text, "ERROR");
  EXPECT_EQ(convert("-1e4930").text, "-INF");
  EXPECT_EQ(convert("1").text, "1");
}

TEST(ConvertLine, BaseZeroNamesNoNumber) {
  for (const char* numeral : {"@0", "-@0", "+@00", "@00xyz"}) {
    const auto result = convert(numeral, 10, 16);
    EXPECT_EQ(result.outcome, kNoValue) << numeral;
    EXPECT_EQ(result.text, "ERROR") << numeral;
  }
}

// Without details convertLine skips the bookkeeping and copies the numeral
// by lengths (under 8, 8 to 15, 16 to 32, longer): the text and outcome stay
// those of a call with details, the digits past the given length are never
// read, and the numeral's every digit is (a changed last digit changes the
// text).
TEST(ConvertLine, TheTextAloneIsTheTextWithDetails) {
  const std::string digits = "1234567890987654321012345678909876543210" + std::string(60, '7');
  for (std::size_t n = 1; n <= 70; ++n) {
    for (const char* around : {"", "  "}) {
      const std::string numeral = digits.substr(0, n) + "e-" + std::to_string(n % 40);
      // The numeral lies in a longer buffer: bytes past its end are digits.
      const std::string line = around + numeral + around;
      const std::string buffer = line + "99";
      LineOptions options;
      options.outputBase = 10;
      options.scientific = 1;
      char plain[kLineOutputSize], detailed[kLineOutputSize], changed[kLineOutputSize];
      LineDetails details;
      const LineOutcome outcome = convertLine(buffer.data(), line.size(), options, plain);
      EXPECT_EQ(convertLine(buffer.data(), line.size(), options, detailed, &details), outcome);
      EXPECT_STREQ(plain, detailed) << numeral;
      EXPECT_EQ(outcome, kConverted) << numeral;
      std::string other = line;
      other[other.size() - std::string(around).size() - 1] ^= 1;  // the exponent's last digit
      convertLine(other.data(), other.size(), options, changed);
      EXPECT_STRNE(plain, changed) << numeral;
      std::string firstChanged = line;
      firstChanged[std::string(around).size()] = '9';  // '1' becomes '9'
      convertLine(firstChanged.data(), firstChanged.size(), options, changed);
      EXPECT_STRNE(plain, changed) << numeral;
    }
  }
  // Every other outcome, with and without details.
  for (const std::string& line : {std::string("  "),
                                  std::string("1\0"
                                              "2",
                                              3),
                                  std::string("12G"), std::string("@0"), std::string("1e4930"),
                                  std::string(kMaxNumeralLength + 1, '1')}) {
    LineOptions options;
    char plain[kLineOutputSize], detailed[kLineOutputSize];
    LineDetails details;
    const LineOutcome outcome = convertLine(line.data(), line.size(), options, plain);
    EXPECT_EQ(convertLine(line.data(), line.size(), options, detailed, &details), outcome);
    EXPECT_STREQ(plain, detailed);
  }
}

// The NUL search runs over the numeral in pieces of 16, 8 and single bytes:
// a NUL at any place of numerals of every length is found, blanks around or
// not, and a numeral without one is converted.
TEST(ConvertLine, NulByteAtAnyPlaceOfAnyLength) {
  LineOptions options;
  char out[kLineOutputSize];
  for (std::size_t n = 1; n <= 70; ++n) {
    const std::string numeral(n, '7');
    EXPECT_EQ(convertLine(numeral.data(), n, options, out), kConverted) << n;
    for (std::size_t at = 0; at < n; ++at) {
      std::string line = numeral;
      line[at] = '\0';
      EXPECT_EQ(convertLine(line.data(), n, options, out), kNulByte) << n << " " << at;
      line = " " + line + "  ";
      EXPECT_EQ(convertLine(line.data(), line.size(), options, out), kNulByte) << n << " " << at;
    }
  }
}

// The copy finds the first '@' for the parser, in 8-byte words (the last
// one overlapping the one before) or byte by byte: a base suffix at any
// place of numerals of every length, with a second '@' after it or an '@'
// alone at the end, reads as the parser reads the same text.
TEST(ConvertLine, BaseSuffixAtAnyPlaceOfAnyLength) {
  LineOptions options;
  options.inputBase = 10;
  options.outputBase = 10;
  char out[kLineOutputSize];
  for (std::size_t n = 1; n <= 40; ++n) {
    const std::string digits(n, '1');
    // Base 2 through the suffix: n ones are 2^n - 1, where base 10 would
    // give another value.
    const std::string expected = convert(std::string(n, '1'), 2, 10).text;
    for (const char* suffix : {"@2", "@2@", "@@2", "@1zzzzzzzz@2", "@"}) {
      for (const char* around : {"", " "}) {
        const std::string line = around + digits + suffix + around;
        const LineOutcome outcome = convertLine(line.data(), line.size(), options, out);
        if (std::string(suffix) == "@2") {
          EXPECT_EQ(outcome, kConverted) << line;
          EXPECT_EQ(std::string(out), expected) << line;
        } else {
          // Malformed suffixes from the first '@' on (a later "@2" would be
          // read if the wrong '@' were taken), and an '@' alone.
          EXPECT_EQ(outcome, kNotANumeral) << line;
        }
      }
    }
  }
}

TEST(ConvertLine, EveryOutcomeHasItsRule) {
  EXPECT_STREQ(describeOutcome(kConverted), "");
  for (LineOutcome o : {kEmptyNumeral, kNumeralTooLong, kNulByte, kNotANumeral, kNoValue})
    EXPECT_GT(std::string(describeOutcome(o)).size(), 10u) << o;
  EXPECT_NE(std::string(describeOutcome(kNotANumeral)).find("base-1"), std::string::npos);
  EXPECT_NE(std::string(describeOutcome(kNumeralTooLong)).find(std::to_string(kMaxNumeralLength)), std::string::npos);
}

}  // namespace
