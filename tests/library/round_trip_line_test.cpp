#include "library/round_trip_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "library/report.h"
#include "numeral/round_trip.h"
#include "numeric/fast_real.h"
#include "numeric/x87_instructions.h"

namespace {

struct Line {
  LineOutcome outcome;
  RoundTripLine roundTrip;
  std::string text;
  LineDetails details;
};

Line convert(const std::string& line, int from, int to, int scientific = 0) {
  LineOptions options;
  options.inputBase = from;
  options.outputBase = to;
  options.scientific = scientific;
  options.roundTrip = true;
  std::vector<char> out(kRoundTripOutputSize);
  Line l;
  l.outcome = convertLineRoundTrip(line.data(), line.size(), options, out.data(), &l.details,
                                   &l.roundTrip);
  l.text = out.data();
  return l;
}

struct Case {
  const char* numeral;
  int from;
  int to;
  int scientific;
  LineOutcome outcome;
  RoundTripLine roundTrip;
  const char* text;
  // False where the text follows the last bit of a power of 10 that the x87
  // unit's fyl2x and f2xm1 give, which differs by maker: the text is then
  // asserted on the software instructions only.
  bool sameOnEveryUnit = true;
};

const Case kCases[] = {
    // The plain text 0.19999999999999A stores another value.
    {"0.1", 10, 16, 0, kConverted, kRoundTripText, "0.1999999999999999A"},
    {"0.1", 10, 10, 0, kConverted, kRoundTripText, "0.1"},
    {"0.1", 10, 10, 1, kConverted, kRoundTripText, "1.0e-1"},
    // A numeral of the output base reads back to its own value.
    {"  -0.02  ", 10, 10, 0, kConverted, kRoundTripText, "-0.02"},
    {"255", 10, 16, 0, kConverted, kRoundTripText, "FF"},
    {"ff@16", 10, 36, 0, kConverted, kRoundTripText, "73"},
    {"0", 10, 7, 0, kConverted, kRoundTripText, "0"},
    {"-0", 10, 7, 1, kConverted, kRoundTripText, "0.0"},
    // 1e20 is stored below 10^20 (extPow(10, 20) truncates), so its text is
    // no 1 and zeros, but in the notation of its plain text: standard for
    // 1e20, scientific (1.0e+21) for 1e21.
    {"1e20", 10, 10, 0, kConverted, kRoundTripText, "99999999999999999558", false},
    {"1e21", 10, 10, 0, kConverted, kRoundTripText, "9.9999999999999999598e+20", false},
    // No numeral of base 10 stores the least subnormal value; its plain text
    // is shown.
    {"1e-100000000111101", 2, 10, 0, kConverted, kRoundTripPlainNone, "4.0e-4951"},
    {"1e4930", 10, 16, 0, kOverflow, kRoundTripNoValue, "+INF"},
    {"12G", 10, 16, 0, kNotANumeral, kRoundTripNoValue, "ERROR"},
    {"", 10, 16, 0, kEmptyNumeral, kRoundTripNoValue, "ERROR"},
    {"@0", 10, 16, 0, kNoValue, kRoundTripNoValue, "ERROR"},
};

TEST(RoundTripLine, Cases) {
  for (const Case& c : kCases) {
    const Line l = convert(c.numeral, c.from, c.to, c.scientific);
    EXPECT_EQ(l.outcome, c.outcome) << c.numeral;
    EXPECT_EQ(l.roundTrip, c.roundTrip) << c.numeral;
    if (c.sameOnEveryUnit || !kComputesOnX87Unit) {
      EXPECT_EQ(l.text, c.text) << c.numeral;
    }
  }
  // A NUL byte and an overlong line, as convertLine rejects them.
  const std::string nul("1\0" "2", 3);
  EXPECT_EQ(convert(nul, 10, 16).outcome, kNulByte);
  EXPECT_EQ(convert(std::string(kMaxNumeralLength + 1, '1'), 10, 16).outcome, kNumeralTooLong);
}

// The numeral limit is what the longest round-trip texts need: those of the
// largest values in base 2, with the zeros the parser's guard asks for
// (16383 - 4929 of them after the point for 2^16383). In every base the
// largest values the parser stores, and 2^16383, of either sign, have their
// texts within it, and base 2's longest is exactly 1 + 1 + 1 + 11454 + 2 + 14
// bytes: sign, digit, point, fraction, "_+", the exponent in base 2.
TEST(RoundTripLine, LongestTexts) {
  std::size_t longest[37] = {};
  for (int base = 2; base <= 36; ++base) {
    for (const char* numeral : {"F.FFFFFFFFFFFFFFE_FFF", "-F.FFFFFFFFFFFFFFE_FFF", "8.0_FFF",
                                "-8.0_FFF", "-1.23456789ABCDEF_FFF"}) {
      const Line l = convert(numeral, 16, base);
      ASSERT_EQ(l.roundTrip, kRoundTripText) << numeral << " in base " << base;
      EXPECT_LE(l.text.size(), kMaxNumeralLength);
      EXPECT_TRUE(readsBack(l.text.c_str(), base, l.details.value)) << numeral;
      if (l.text.size() > longest[base]) longest[base] = l.text.size();
    }
  }
  EXPECT_EQ(longest[2], 11473u);
  for (int base = 3; base <= 36; ++base) EXPECT_LT(longest[base], longest[2]) << base;
  EXPECT_LE(11473u, kMaxNumeralLength);
}

// The text is the round-trip text of the value and notation convertLine
// finds for the line, or its plain text where there is none.
TEST(RoundTripLine, AgreesWithConvertLine) {
  std::mt19937_64 random(0xC11);
  const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int i = 0; i < 3000; ++i) {
    const int from = 2 + static_cast<int>(random() % 35);
    const int to = 2 + static_cast<int>(random() % 35);
    std::string numeral = random() % 4 == 0 ? "-" : "";
    const int length = 1 + static_cast<int>(random() % 20);
    for (int k = 0; k < length; ++k) numeral += digits[random() % static_cast<unsigned>(from)];
    if (random() % 2) numeral.insert(numeral.size() / 2 + (numeral[0] == '-'), ".");
    if (random() % 2) {
      const int exponent = static_cast<int>(random() % 200) - 100;
      numeral += std::string("_") + (exponent < 0 ? "-" : "") +
                 digits[(exponent < 0 ? -exponent : exponent) % from];
    }
    const int scientific = static_cast<int>(random() % 2);
    const Line l = convert(numeral, from, to, scientific);

    LineOptions options;
    options.inputBase = from;
    options.outputBase = to;
    options.scientific = scientific;
    char plain[kLineOutputSize];
    LineDetails details;
    const LineOutcome outcome = convertLine(numeral.data(), numeral.size(), options, plain, &details);
    ASSERT_EQ(l.outcome, outcome) << numeral;
    if (!details.hasValue) {
      EXPECT_EQ(l.roundTrip, kRoundTripNoValue) << numeral;
      EXPECT_EQ(l.text, plain) << numeral;
      continue;
    }
    X87TruncatingMode mode;
    std::vector<char> expected(kRoundTripMaxLength + 1);
    const RoundTripOutcome found = roundTripNumeral(
        expected.data(), kMaxNumeralLength, FastReal(details.value), to, details.scientific);
    if (found == kRoundTripFound) {
      EXPECT_EQ(l.roundTrip, kRoundTripText) << numeral;
      EXPECT_EQ(l.text, expected.data()) << numeral << " from " << from << " to " << to;
    } else {
      EXPECT_EQ(l.roundTrip, found == kRoundTripNone ? kRoundTripPlainNone : kRoundTripPlainLong);
      EXPECT_EQ(l.text, plain) << numeral;
    }
  }
}

TEST(RoundTripLine, Messages) {
  const Line none = convert("1e-100000000111101", 2, 10);
  LineOptions options;
  options.outputBase = 10;
  char message[256];
  describeRoundTrip(message, sizeof message, none.roundTrip, none.details, options);
  EXPECT_STREQ(message,
               "no numeral in base 10 reads back to the stored value 00000000000000000001; the "
               "plain text is shown");
  // No value lacks its text for want of room now (see LongestTexts), but
  // the note for it stays.
  const Line long_ = convert("1e3000", 10, 2);
  EXPECT_EQ(long_.roundTrip, kRoundTripText);
  options.outputBase = 2;
  describeRoundTrip(message, sizeof message, kRoundTripPlainLong, long_.details, options);
  EXPECT_STREQ(message,
               "no numeral in base 2 of at most 12288 bytes reads back to the stored value "
               "66ECDC724CD44411A5FC; the plain text is shown");
  describeRoundTrip(message, sizeof message, kRoundTripText, none.details, options);
  EXPECT_STREQ(message, "");
}

// --json and --explain: whether the plain text reads back, and the
// round-trip text.
TEST(RoundTripLine, Reports) {
  LineOptions options;
  options.outputBase = 16;
  char out[kLineOutputSize];
  std::vector<char> report(kReportSize);
  struct Row {
    const char* numeral;
    const char* json;
    const char* explain;
  };
  const Row rows[] = {
      {"0.1", "\"reads_back\": false, \"round_trip\": \"0.1999999999999999A\"}",
       "reads back: no, the text is stored as 3FFBCCCCCCCCCCCCCD00\nround trip: "
       "0.1999999999999999A\n"},
      {"255", "\"reads_back\": true, \"round_trip\": \"FF\"}",
       "reads back: yes, the text is stored as the same 10 bytes\nround trip: FF\n"},
      {"1e4930", "\"reads_back\": null, \"round_trip\": null}", nullptr},
      {"x", "\"reads_back\": null, \"round_trip\": null}", nullptr},
  };
  for (const Row& row : rows) {
    LineDetails details;
    const std::string numeral = row.numeral;
    const LineOutcome outcome = convertLine(numeral.data(), numeral.size(), options, out, &details);
    writeJsonLine(report.data(), report.size(), outcome, out, details, options);
    EXPECT_NE(std::string(report.data()).find(row.json), std::string::npos) << report.data();
    writeExplanation(report.data(), report.size(), outcome, out, details, options);
    if (row.explain != nullptr)
      EXPECT_NE(std::string(report.data()).find(row.explain), std::string::npos) << report.data();
    else
      EXPECT_EQ(std::string(report.data()).find("round trip:"), std::string::npos);
  }
  // None: the explanation says why.
  options.outputBase = 10;
  options.inputBase = 2;
  LineDetails details;
  const std::string least = "1e-100000000111101";
  const LineOutcome outcome = convertLine(least.data(), least.size(), options, out, &details);
  writeExplanation(report.data(), report.size(), outcome, out, details, options);
  EXPECT_NE(std::string(report.data())
                .find("round trip: none; no numeral in base 10 reads back to the stored value\n"),
            std::string::npos)
      << report.data();
}

}  // namespace

namespace {

// The JSON string of a numeral's bytes, a byte at a time: '"' and '\' after
// a backslash, control bytes and 0x7F as \u00xx, a well-formed UTF-8
// sequence as it is and any other byte from 0x80 up as \ufffd (the bytes
// used below are only those, é and lone bytes).
std::string escapedReference(const std::string& bytes) {
  std::string json = "\"";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      json += escape;
    } else if (c == 0xC3 && i + 1 < bytes.size() &&
               static_cast<unsigned char>(bytes[i + 1]) == 0xA9) {
      json += "\xC3\xA9";
      ++i;
    } else if (c >= 0x80) {
      json += "\\ufffd";
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

// The numeral's string in the --json line, with a byte to escape at every
// place of runs long and short (the plain runs are copied eight bytes at a
// time), against the reference above.
TEST(JsonLine, NumeralStringsEscapedAtEveryPlace) {
  const std::string marked[] = {"\"", "\\", "\x01", "\x1F", "\x7F", "\x80", "\xFF", "\xC3\xA9",
                                "\xC3", " ", "~"};
  LineOptions options;
  options.inputBase = 10;
  options.outputBase = 16;
  std::vector<char> out(kLineOutputSize);
  std::vector<char> report(kReportSize);
  for (const std::string& odd : marked) {
    for (std::size_t before = 0; before <= 17; ++before) {
      for (std::size_t after : {0, 1, 7, 8, 9, 20}) {
        const std::string numeral =
            "1" + std::string(before, '2') + odd + std::string(after, '3') + "9";
        LineDetails details;
        const LineOutcome outcome =
            convertLine(numeral.data(), numeral.size(), options, out.data(), &details);
        writeJsonLine(report.data(), report.size(), outcome, out.data(), details, options);
        const std::string expected = "{\"numeral\": " + escapedReference(numeral) + ", ";
        ASSERT_EQ(std::string(report.data()).substr(0, expected.size()), expected)
            << before << " " << after;
      }
    }
  }
}

}  // namespace

namespace {

// Every report into every smaller buffer: the whole report's first size - 1
// bytes and a NUL, the sentinel after the buffer untouched, and the whole
// length returned. The sizes cross the exact expansion, which goes in
// place only where the buffer holds any expansion.
TEST(Reports, CutToEveryBufferSize) {
  using Writer = std::size_t (*)(char*, std::size_t, LineOutcome, const char*,
                                 const LineDetails&, const LineOptions&);
  const Writer writers[] = {writeJsonLine, writeExplanation};
  LineOptions options;
  options.inputBase = 10;
  options.outputBase = 7;
  char out[kLineOutputSize];
  for (const std::string numeral : {"0.1", "-1e-300", "x\"1", "1e4930"}) {
    LineDetails details;
    const LineOutcome outcome = convertLine(numeral.data(), numeral.size(), options, out, &details);
    for (const Writer write : writers) {
      std::vector<char> full(kReportSize);
      const std::size_t length = write(full.data(), full.size(), outcome, out, details, options);
      ASSERT_LT(length, full.size());
      ASSERT_EQ(std::string(full.data()).size(), length);
      for (std::size_t size = 0; size <= length + 1; ++size) {
        std::vector<char> cut(size + 1, '#');
        ASSERT_EQ(write(cut.data(), size, outcome, out, details, options), length) << size;
        ASSERT_EQ(cut[size], '#') << size;
        if (size == 0) continue;
        ASSERT_EQ(std::string(cut.data()), std::string(full.data(), std::min(length, size - 1)))
            << numeral << " " << size;
      }
    }
  }
}

}  // namespace
