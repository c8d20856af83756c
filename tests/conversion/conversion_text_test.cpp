// The two text routines, the fixed texts and the start-up order.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/conversion.h"
#include "library/base_field.h"
#include "numeric/startup.h"

namespace {

// trimSpaces on a buffer of exactly the text's size, so that the sanitizer
// build catches any access before or after it.
std::string trimmed(const std::string& text) {
  std::unique_ptr<char[]> buffer(new char[text.size() + 1]);
  std::memcpy(buffer.get(), text.c_str(), text.size() + 1);
  trimSpaces(buffer.get());
  return buffer.get();
}

TEST(TrimSpaces, BlanksOnlyAtTheEnds) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"", ""},
      {" ", ""},
      {"        ", ""},
      {"16", "16"},
      {" 16", "16"},
      {"16 ", "16"},
      {"   16   ", "16"},
      {"1 6", "1 6"},
      {"  1 6  ", "1 6"},
      {"\t16", "\t16"},  // only 0x20 is a blank
      {"16\t", "16\t"},
      {" \t 16 \t ", "\t 16 \t"},
      {"\n16\r", "\n16\r"},
      {" -1.5e+3@16 ", "-1.5e+3@16"},
      {"x", "x"},
      {" x", "x"},
  };
  for (const auto& c : cases) EXPECT_EQ(trimmed(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TrimSpaces, StopsAtTheTerminator) {
  // Bytes after the NUL are neither moved nor scanned for blanks.
  char buffer[12] = {' ', ' ', 'a', ' ', '\0', 'z', 'z', ' ', ' ', '\0', '\0', '\0'};
  trimSpaces(buffer);
  EXPECT_STREQ(buffer, "a");
  EXPECT_EQ(std::string(buffer + 5, 4), "zz  ");
}

TEST(ParseBaseField, ValuesAndStoredBases) {
  const struct {
    const char* text;
    int valid;
    int stored;
  } cases[] = {
      {"2", 1, 2},
      {"10", 1, 10},
      {"16", 1, 16},
      {"36", 1, 36},
      {"010", 1, 10},
      {"00000016", 1, 16},
      {"1", 0, 2},
      {"0", 0, 2},
      {"", 0, 2},
      {"00", 0, 2},
      {"37", 0, 36},
      {"99999999", 0, 36},
      {"1 6", 0, 1},  // digits before the first non-digit, not clamped
      {"16.", 0, 16},
      {"16 ", 0, 16},
      {"0x10", 0, 0},
      {"+16", 0, 0},
      {"-16", 0, 0},
      {" 16", 0, 0},
      {"\t16", 0, 0},
      {"x", 0, 0},
      {"37x", 0, 37},
      {"1a", 0, 1},
      {"/", 0, 0},  // neighbours of '0' and '9'
      {":", 0, 0},
      {"\xB1", 0, 0},
      // Longer than the command ever passes: saturates rather than overflow.
      {"2147483647", 0, 36},
      {"99999999999999999999", 0, 36},
      {"99999999999999999999x", 0, 2147483647},
  };
  for (const auto& c : cases) {
    int base = -7;
    EXPECT_EQ(parseBaseField(&base, c.text), c.valid) << '"' << c.text << '"';
    EXPECT_EQ(base, c.stored) << '"' << c.text << '"';
  }
}

TEST(FixedTexts, ExactBytes) {
  EXPECT_STREQ(kErrorText, "ERROR");
  const std::string message = kDigitRuleMessage;
  EXPECT_EQ(message.size(), 87u);
  EXPECT_EQ(message,
            "Digits can't be larger than base-1. \n"
            " For bases other than 10 \n"
            " use '_' instead of 'e'.");
  EXPECT_EQ(message.find('\r'), std::string::npos);
}

TEST(StartUp, ConverterStateBeforeTwoPow64) {
  // The test's own references to converterState keep its object linked in.
  EXPECT_GT(converterStateStartupTicket(), 0);
  EXPECT_GT(twoPow64StartupTicket(), 0);
  EXPECT_LT(converterStateStartupTicket(), twoPow64StartupTicket());
  // Constructing another record takes no ticket.
  const int ticket = converterStateStartupTicket();
  ConverterState other;
  EXPECT_EQ(converterStateStartupTicket(), ticket);
  EXPECT_EQ(other.inputBase, 0);
  EXPECT_EQ(other.outputBase, 0);
  EXPECT_EQ(other.inputText[0], '\0');
  EXPECT_EQ(other.scientific, 0);
}

TEST(StartUp, RecordLayout) {
  EXPECT_EQ(sizeof(converterState.inputText), 252u);
  EXPECT_LT(reinterpret_cast<const char*>(&converterState.inputBase),
            reinterpret_cast<const char*>(&converterState.outputBase));
  EXPECT_LT(reinterpret_cast<const char*>(&converterState.outputBase), converterState.inputText);
  EXPECT_LT(converterState.inputText, reinterpret_cast<const char*>(&converterState.scientific));
}

}  // namespace
