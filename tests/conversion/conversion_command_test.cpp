// The Convert command against a scripted window.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/conversion.h"
#include "numeral/parse.h"
#include "tests/conversion/fake_window.h"

namespace {

using Log = std::vector<std::string>;

const std::string kBox =
    "box Digits can't be larger than base-1. \n For bases other than 10 \n use '_' instead of "
    "'e'.|ERROR";

// The reads and button queries that open every command.
const Log kReads = {"read input 29", "read inputBase 9", "read outputBase 9", "checked? standard",
                    "checked? scientific"};

Log concat(Log head, const Log& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// Sets the record to values no command would leave, so that every field a
// command writes is seen to be written.
void scrambleState() {
  converterState.inputBase = -1;
  converterState.outputBase = -1;
  std::snprintf(converterState.inputText, sizeof converterState.inputText, "stale");
  converterState.scientific = 0;
}

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { scrambleState(); }
};

TEST_F(ConversionTest, OperationOrderOfTheFourOutcomes) {
  const struct {
    const char* what;
    const char* numeral;
    const char* inputBase;
    const char* outputBase;
    Log after;  // the operations that follow kReads
  } cases[] = {
      {"input base invalid", "255", "1", "16", {"set output ERROR"}},
      {"output base invalid", "255", "10", "37", {"set output ERROR"}},
      {"numeral rejected",
       "25G",
       "10",
       "16",
       {kBox, "check standard 1", "check scientific 0", "set output ERROR", "focus input"}},
      {"numeral accepted",
       "255",
       "10",
       "16",
       {"check standard 1", "check scientific 0", "set output FF", "focus input"}},
  };
  for (const auto& c : cases) {
    scrambleState();
    FakeWindow window(c.numeral, c.inputBase, c.outputBase);
    window.texts[IDC_OUTPUT_TEXT] = "previous";
    runConversion(window);
    EXPECT_EQ(window.log, concat(kReads, c.after)) << c.what;
  }
}

TEST_F(ConversionTest, BaseFieldTexts) {
  // The numeral "1" reads as 1 in every base and is written "1" in every base.
  const struct {
    const char* text;
    bool valid;
    int stored;
  } cases[] = {
      {"2", true, 2},
      {"36", true, 36},
      {"1", false, 2},
      {"0", false, 2},
      {"37", false, 36},
      {"", false, 2},
      {" 16 ", true, 16},
      {"1 6", false, 1},
      {"0x10", false, 0},
      {"+16", false, 0},
      {"16.", false, 16},
      {"\t16", false, 0},
      {"00000016", true, 16},
      {"000000016", false, 2},   // 9 characters: only "00000001" is read
      {"        16", false, 2},  // 8 blanks read, trimmed to nothing
      {"           16", false, 2},
      {"     16", true, 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("base text \"") + c.text + "\"");
    scrambleState();
    FakeWindow asInput("1", c.text, "10");
    runConversion(asInput);
    EXPECT_EQ(asInput.output(), c.valid ? "1" : "ERROR");
    EXPECT_EQ(converterState.inputBase, c.stored);
    EXPECT_EQ(converterState.outputBase, c.valid ? 10 : -1);  // not parsed after a failure

    scrambleState();
    FakeWindow asOutput("1", "10", c.text);
    runConversion(asOutput);
    EXPECT_EQ(asOutput.output(), c.valid ? "1" : "ERROR");
    EXPECT_EQ(converterState.inputBase, 10);
    EXPECT_EQ(converterState.outputBase, c.stored);
  }
}

TEST_F(ConversionTest, BothBasesInvalidParsesOnlyTheInputBase) {
  FakeWindow window("255", "1x", "99");
  runConversion(window);
  EXPECT_EQ(window.output(), "ERROR");
  EXPECT_EQ(converterState.inputBase, 1);
  EXPECT_EQ(converterState.outputBase, -1);
  EXPECT_EQ(window.checks[IDC_STANDARD], 0);
  EXPECT_EQ(window.checks[IDC_SCIENTIFIC], 0);
  // The fields are read (and the record updated) before either base is judged.
  EXPECT_STREQ(converterState.inputText, "255");
}

TEST_F(ConversionTest, NumeralReadLimitAndTrimming) {
  const std::string zeros26(26, '0');
  const struct {
    std::string field;
    const char* base;    // both fields
    std::string stored;  // converterState.inputText afterwards
    std::string output;  // empty: any converted text
  } cases[] = {
      {"255", "10", "255", "255"},
      {"  255  ", "10", "255", "255"},
      {"     ", "10", "", "ERROR"},
      {"", "10", "", "ERROR"},
      {std::string(40, ' '), "10", "", "ERROR"},
      // 28 characters are read, blanks included, and trimmed afterwards.
      {"12" + std::string(26, ' ') + "99", "10", "12", "12"},
      {std::string(27, ' ') + "577", "10", "5", "5"},
      {std::string(28, ' ') + "5", "10", "", "ERROR"},
      {"1234567890123456789012345678", "10", "1234567890123456789012345678", ""},
      {"0." + zeros26 + "123", "10", "0." + zeros26, "0"},
      {"1." + zeros26 + "1", "2", "1." + zeros26, "1"},
      // The cut drops an exponent marker that has no digits.
      {"1" + std::string(27, '0') + "e", "10", "1" + std::string(27, '0'), ""},
      {"1" + std::string(27, '0') + "1", "2", "1" + std::string(27, '0'),
       "1" + std::string(27, '0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("numeral field \"" + c.field + "\"");
    scrambleState();
    FakeWindow window(c.field, c.base, c.base);
    runConversion(window);
    EXPECT_EQ(converterState.inputText, c.stored);
    EXPECT_LE(std::string(converterState.inputText).size(), 28u);
    if (c.output.empty()) {
      EXPECT_NE(window.output(), "ERROR");
      EXPECT_NE(window.output(), "");
    } else {
      EXPECT_EQ(window.output(), c.output);
    }
    EXPECT_EQ(window.log[0], "read input 29");
  }
}

TEST_F(ConversionTest, SuffixBaseStaysInTheRecord) {
  FakeWindow window("12@16", "10", "10");
  runConversion(window);
  EXPECT_EQ(window.output(), "18");
  EXPECT_EQ(converterState.inputBase, 16);
  EXPECT_EQ(converterState.outputBase, 10);
}

// Radio buttons served, notation kept from before, and the result.
TEST_F(ConversionTest, NotationButtons) {
  const struct {
    const char* what;
    int standard, scientific;  // as served
    int before;                // converterState.scientific before the command
    int requested;             // converterState.scientific afterwards
    const char* output;
  } cases[] = {
      {"neither, fresh", 0, 0, 0, 0, "FF"},
      {"neither, scientific kept", 0, 0, 1, 1, "F.F_+1"},
      {"standard", 1, 0, 1, 0, "FF"},
      {"scientific", 0, 1, 0, 1, "F.F_+1"},
      {"both: scientific read last", 1, 1, 0, 1, "F.F_+1"},
      {"any nonzero counts", 0, 2, 0, 1, "F.F_+1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    scrambleState();
    converterState.scientific = c.before;
    FakeWindow window("255", "10", "16");
    window.checks[IDC_STANDARD] = c.standard;
    window.checks[IDC_SCIENTIFIC] = c.scientific;
    runConversion(window);
    EXPECT_EQ(converterState.scientific, c.requested);
    EXPECT_EQ(window.output(), c.output);
    EXPECT_EQ(window.checks[IDC_STANDARD], c.requested == 0 ? 1 : 0);
    EXPECT_EQ(window.checks[IDC_SCIENTIFIC], c.requested == 0 ? 0 : 1);
  }
}

TEST_F(ConversionTest, AutomaticScientificCarriesOver) {
  // 16^18 is beyond standard notation in base 16.
  FakeWindow window("1000000000000000000", "16", "16");
  runConversion(window);
  EXPECT_EQ(window.output(), "1.0_+12");
  EXPECT_EQ(converterState.scientific, 0);  // as asked, not as used
  EXPECT_EQ(window.checks[IDC_STANDARD], 0);
  EXPECT_EQ(window.checks[IDC_SCIENTIFIC], 1);

  // The next Convert reads the buttons again and asks for scientific.
  window.texts[IDC_INPUT_TEXT] = "FF";
  runConversion(window);
  EXPECT_EQ(window.output(), "F.F_+1");
  EXPECT_EQ(converterState.scientific, 1);

  // Until the user picks standard notation.
  window.checks[IDC_STANDARD] = 1;
  window.checks[IDC_SCIENTIFIC] = 0;
  runConversion(window);
  EXPECT_EQ(window.output(), "FF");
  EXPECT_EQ(converterState.scientific, 0);
}

TEST_F(ConversionTest, RejectedNumeral) {
  const struct {
    const char* what;
    const char* numeral;
    int standard, scientific;
    int before;
    const char* checked;  // the button checked afterwards
  } cases[] = {
      {"digit not below the base", "102", 1, 0, 0, "standard"},
      {"empty", "", 0, 1, 0, "scientific"},
      {"neither checked, standard kept", "1.", 0, 0, 0, "standard"},
      {"neither checked, scientific kept", "--1", 0, 0, 1, "scientific"},
      {"bad suffix", "12@1x", 0, 0, 1, "scientific"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    scrambleState();
    converterState.scientific = c.before;
    FakeWindow window(c.numeral, "2", "10");
    window.texts[IDC_OUTPUT_TEXT] = "previous";
    window.checks[IDC_STANDARD] = c.standard;
    window.checks[IDC_SCIENTIFIC] = c.scientific;
    std::string shownDuringBox;
    window.onMessage = [&] { shownDuringBox = window.output(); };
    runConversion(window);
    EXPECT_EQ(shownDuringBox, "previous");  // "ERROR" only after the box closes
    EXPECT_EQ(window.output(), "ERROR");
    const std::string other = std::string(c.checked) == "standard" ? "scientific" : "standard";
    EXPECT_EQ(window.log,
              concat(kReads, {kBox, "check " + std::string(c.checked) + " 1",
                              "check " + other + " 0", "set output ERROR", "focus input"}));
  }
}

TEST_F(ConversionTest, InfinityKeepsTheNotationAsRead) {
  const struct {
    const char* numeral;
    int scientific;  // served, and expected back
    const char* output;
  } cases[] = {
      {"1e4930", 0, "+INF"},  {"1e4930", 1, "+INF"}, {"-1e4930", 0, "-INF"},
      {"-1e4930", 1, "-INF"}, {"0e5000", 1, "+INF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.numeral);
    scrambleState();
    FakeWindow window(c.numeral, "10", "16");
    window.checks[IDC_STANDARD] = !c.scientific;
    window.checks[IDC_SCIENTIFIC] = c.scientific;
    runConversion(window);
    EXPECT_EQ(window.output(), c.output);
    EXPECT_EQ(window.checks[IDC_SCIENTIFIC], c.scientific);
    EXPECT_EQ(window.checks[IDC_STANDARD], !c.scientific);
  }
  // An overflow leaves nothing behind for the next numeral.
  scrambleState();
  FakeWindow window("255", "10", "16");
  runConversion(window);
  EXPECT_EQ(window.output(), "FF");
}

TEST_F(ConversionTest, SecondConvertWhileTheBoxIsOpen) {
  FakeWindow window("25G", "10", "16");
  window.texts[IDC_OUTPUT_TEXT] = "previous";
  window.checks[IDC_STANDARD] = 1;
  Log nested;
  window.onMessage = [&] {
    window.onMessage = nullptr;
    // The user fixes the fields and converts again, asking for scientific.
    window.texts[IDC_INPUT_TEXT] = " 12@16 ";
    window.texts[IDC_OUTPUT_BASE] = "8";
    window.checks[IDC_STANDARD] = 0;
    window.checks[IDC_SCIENTIFIC] = 1;
    const size_t start = window.log.size();
    runConversion(window);
    nested.assign(window.log.begin() + start, window.log.end());
    EXPECT_EQ(window.output(), "2.2_+1");
  };
  runConversion(window);

  EXPECT_EQ(nested, concat(kReads, {"check scientific 1", "check standard 0", "set output 2.2_+1",
                                    "focus input"}));
  // The first command finishes last, with its own result and notation.
  EXPECT_EQ(window.log,
            concat(concat(kReads, {kBox}), concat(nested, {"check standard 1", "check scientific 0",
                                                           "set output ERROR", "focus input"})));
  EXPECT_EQ(window.output(), "ERROR");
  EXPECT_EQ(window.checks[IDC_STANDARD], 1);
  EXPECT_EQ(window.checks[IDC_SCIENTIFIC], 0);
  // The record holds what the second command stored.
  EXPECT_STREQ(converterState.inputText, "12@16");
  EXPECT_EQ(converterState.inputBase, 16);
  EXPECT_EQ(converterState.outputBase, 8);
  EXPECT_EQ(converterState.scientific, 1);
}

TEST_F(ConversionTest, BoxesNest) {
  // Inside the first box a rejected command opens a second box, and after it
  // an accepted command runs; the first command still ends with "ERROR".
  int boxes = 0;
  FakeWindow window("x", "10", "10");
  window.onMessage = [&] {
    if (++boxes > 1) return;
    window.texts[IDC_INPUT_TEXT] = "y";
    runConversion(window);
    EXPECT_EQ(window.output(), "ERROR");
    window.texts[IDC_INPUT_TEXT] = "7";
    runConversion(window);
    EXPECT_EQ(window.output(), "7");
  };
  runConversion(window);
  EXPECT_EQ(boxes, 2);
  EXPECT_EQ(window.output(), "ERROR");
  EXPECT_STREQ(converterState.inputText, "7");
}

}  // namespace
