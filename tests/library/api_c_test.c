/* The C interface, from C: every outcome, the rule and column of a rejected
 * numeral, bad bases, and buffers of exactly the size a text needs and one
 * byte fewer. A plain C program (no C++ anywhere in it): it prints each
 * failed check and exits with status 1 when there was one. */
#include <stdio.h>
#include <string.h>

#include "c_check.h"
#include "veltrane.h"

/* One conversion and what it must give. */
struct Case {
  const char *numeral;
  int from, to;
  unsigned flags;
  int outcome;
  const char *text;
  int sign;   /* details.sign */
  int rule;   /* details.rule */
  size_t column;
};

static const struct Case kCases[] = {
    {"255", 10, 16, 0, VELTRANE_CONVERTED, "FF", 0, 0, 0},
    {"  255  ", 10, 16, VELTRANE_SCIENTIFIC, VELTRANE_CONVERTED, "F.F_+1", 0, 0, 0},
    {"0.1", 10, 16, VELTRANE_ROUND_TRIP, VELTRANE_CONVERTED, "0.1999999999999999A", 0, 0, 0},
    {"12@16", 10, 10, 0, VELTRANE_CONVERTED, "18", 0, 0, 0},
    /* Real overflow, in base 10 and in the bases where the texts are numerals. */
    {"1e4930", 10, 16, 0, VELTRANE_OVERFLOW, "+INF", 1, 0, 0},
    {"-1e4930", 10, 16, VELTRANE_SCIENTIFIC, VELTRANE_OVERFLOW, "-INF", -1, 0, 0},
    {"-1_555", 31, 31, 0, VELTRANE_OVERFLOW, "-INF", -1, 0, 0},
    {"1_zzz", 36, 36, VELTRANE_ROUND_TRIP, VELTRANE_OVERFLOW, "+INF", 1, 0, 0},
    {"-1_3rz", 36, 10, 0, VELTRANE_OVERFLOW, "-INF", -1, 0, 0}, /* past the guard's test */
    /* No value: '@0'. */
    {"@0", 10, 16, 0, VELTRANE_NO_VALUE, "ERROR", 0, 0, 1},
    {" -@00 ", 10, 16, VELTRANE_ROUND_TRIP, VELTRANE_NO_VALUE, "ERROR", 0, 0, 2},
    /* Rejected numerals, with the rule and its 1-based column. */
    {"12G", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_DIGIT_TOO_LARGE, 3},
    {"  1!", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_NOT_A_DIGIT, 2},
    {"5.", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_POINT_WITHOUT_DIGIT, 2},
    {"1.2.3", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_SECOND_POINT, 4},
    {"1e", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_EXPONENT_WITHOUT_DIGIT, 2},
    {"1e5.5", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_POINT_IN_EXPONENT, 4},
    {"1e5e5", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_SECOND_EXPONENT, 4},
    {"1e+-5", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_EXPONENT_SIGN_ORDER, 4},
    {"--5", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_SIGN_NOT_FIRST, 2},
    {"12@", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_SUFFIX_MISSING, 3},
    {"12@!", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_SUFFIX_NOT_A_BASE, 4},
    {"12@G6", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_SUFFIX_AFTER_LETTER, 5},
    {"12@1x", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_SUFFIX_SECOND_NOT_DECIMAL, 5},
    /* Just below the bases where they are numerals. */
    {"-INF", 23, 23, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_DIGIT_TOO_LARGE, 3},
    {"ERROR", 27, 27, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_DIGIT_TOO_LARGE, 2},
    {"INF", 10, 16, 0, VELTRANE_REJECTED, "ERROR", 0, VELTRANE_RULE_DIGIT_TOO_LARGE, 1},
    {"   ", 10, 16, 0, VELTRANE_EMPTY, "ERROR", 0, 0, 0},
    {"", 10, 16, VELTRANE_ROUND_TRIP, VELTRANE_EMPTY, "ERROR", 0, 0, 0},
};

static void checkCase(const struct Case *c) {
  char text[VELTRANE_ROUND_TRIP_TEXT_SIZE];
  veltrane_details details;
  const size_t length = strlen(c->numeral);
  int code = veltrane_convert_details(c->numeral, length, c->from, c->to, c->flags, text,
                                      sizeof text, &details);
  CHECK(code == c->outcome, "\"%s\": %d", c->numeral, code);
  CHECK(details.outcome == c->outcome, "\"%s\": %d", c->numeral, details.outcome);
  CHECK(strcmp(text, c->text) == 0, "\"%s\": \"%s\"", c->numeral, text);
  CHECK(details.sign == c->sign, "\"%s\": sign %d", c->numeral, details.sign);
  CHECK(details.rule == c->rule, "\"%s\": rule %d (%s)", c->numeral, details.rule,
        veltrane_rule_name(details.rule));
  CHECK(details.column == c->column, "\"%s\": column %lu", c->numeral,
        (unsigned long)details.column);
  CHECK(details.has_value == (c->outcome == VELTRANE_CONVERTED), "\"%s\"", c->numeral);
  CHECK((details.notation >= 0) == (c->outcome == VELTRANE_CONVERTED), "\"%s\"", c->numeral);

  /* veltrane_convert gives the same code and text. */
  char plain[VELTRANE_ROUND_TRIP_TEXT_SIZE];
  code = veltrane_convert(c->numeral, length, c->from, c->to, c->flags, plain, sizeof plain);
  CHECK(code == c->outcome && strcmp(plain, text) == 0, "\"%s\"", c->numeral);

  /* So does veltrane_convert_measured, with the text's length, in a room
   * that holds any text and in one that holds just this one. */
  const size_t rooms[] = {sizeof plain, strlen(text) + 1};
  for (int r = 0; r < 2; ++r) {
    size_t measured = 12345;
    memset(plain, 'x', sizeof plain);
    code = veltrane_convert_measured(c->numeral, length, c->from, c->to, c->flags, plain,
                                     rooms[r], &measured);
    CHECK(code == c->outcome && strcmp(plain, text) == 0, "\"%s\" in %lu bytes", c->numeral,
          (unsigned long)rooms[r]);
    CHECK(measured == strlen(text), "\"%s\" in %lu bytes: length %lu", c->numeral,
          (unsigned long)rooms[r], (unsigned long)measured);
  }

  /* A message exactly for the outcomes without a value or overflow. */
  char message[512];
  code = veltrane_message(c->numeral, length, c->from, c->to, c->flags, message, sizeof message);
  CHECK(code == c->outcome, "\"%s\": %d", c->numeral, code);
  const int rejected = c->outcome >= VELTRANE_REJECTED;
  CHECK((message[0] != '\0') == rejected, "\"%s\": \"%s\"", c->numeral, message);
  if (c->outcome == VELTRANE_REJECTED)
    CHECK(strstr(message, " at column ") != NULL, "\"%s\": \"%s\"", c->numeral, message);

  /* The --json line names the outcome. */
  static char json[VELTRANE_REPORT_SIZE];
  code = veltrane_json(c->numeral, length, c->from, c->to, c->flags, json, sizeof json);
  CHECK(code == c->outcome, "\"%s\": %d", c->numeral, code);
  char word[64];
  snprintf(word, sizeof word, "\"outcome\": \"%s\"", veltrane_outcome_name(c->outcome));
  CHECK(strstr(json, word) != NULL, "%s", json);

  /* The measured reports are the same bytes, with their lengths. */
  static char measuredReport[VELTRANE_REPORT_SIZE];
  size_t measured = 12345;
  code = veltrane_json_measured(c->numeral, length, c->from, c->to, c->flags, measuredReport,
                                sizeof measuredReport, &measured);
  CHECK(code == c->outcome && strcmp(measuredReport, json) == 0 && measured == strlen(json),
        "\"%s\": json of %lu bytes", c->numeral, (unsigned long)measured);
  static char explanation[VELTRANE_REPORT_SIZE];
  code = veltrane_explain(c->numeral, length, c->from, c->to, c->flags, explanation,
                          sizeof explanation);
  CHECK(code == c->outcome, "\"%s\": %d", c->numeral, code);
  measured = 12345;
  code = veltrane_explain_measured(c->numeral, length, c->from, c->to, c->flags, measuredReport,
                                   sizeof measuredReport, &measured);
  CHECK(code == c->outcome && strcmp(measuredReport, explanation) == 0 &&
            measured == strlen(explanation),
        "\"%s\": explanation of %lu bytes", c->numeral, (unsigned long)measured);
}

/* In every base from 24 (INF, -INF) and 28 (ERROR) up these texts are
 * numerals: they convert to themselves, with a value and a distance of 0. */
static void checkTextsThatAreNumerals(void) {
  static const char *const kTexts[] = {"-INF", "INF", "ERROR"};
  for (int base = 24; base <= 36; ++base) {
    for (int i = 0; i < 3; ++i) {
      const char *numeral = kTexts[i];
      if (i == 2 && base < 28) continue;
      char text[VELTRANE_TEXT_SIZE];
      veltrane_details details;
      int code = veltrane_convert_details(numeral, strlen(numeral), base, base, 0, text,
                                          sizeof text, &details);
      CHECK(code == VELTRANE_CONVERTED, "%s in base %d: %d", numeral, base, code);
      CHECK(strcmp(text, numeral) == 0, "%s in base %d: %s", numeral, base, text);
      CHECK(details.sign == 0 && details.has_value == 1 && details.notation == 0, "%s %d",
            numeral, base);
      char message[256];
      code = veltrane_message(numeral, strlen(numeral), base, base, 0, message, sizeof message);
      CHECK(code == VELTRANE_CONVERTED && message[0] == '\0', "%s %d: %s", numeral, base, message);
      static char json[VELTRANE_REPORT_SIZE];
      code = veltrane_json(numeral, strlen(numeral), base, base, 0, json, sizeof json);
      CHECK(code == VELTRANE_CONVERTED, "%s %d", numeral, base);
      CHECK(strstr(json, "\"outcome\": \"converted\"") != NULL, "%s", json);
      CHECK(strstr(json, "\"ulps\": 0,") != NULL, "%s", json);
      static char block[VELTRANE_REPORT_SIZE];
      code = veltrane_explain(numeral, strlen(numeral), base, base, 0, block, sizeof block);
      CHECK(code == VELTRANE_CONVERTED && strstr(block, "\ndistance:  0 ulp") != NULL, "%s",
            block);
      /* The stored value formats back to the same text. */
      unsigned char stored[VELTRANE_STORED_SIZE];
      CHECK(veltrane_parse(numeral, strlen(numeral), base, stored) == VELTRANE_CONVERTED, "%s",
            numeral);
      CHECK(memcmp(stored, details.stored, VELTRANE_STORED_SIZE) == 0, "%s", numeral);
      int notation = -2;
      code = veltrane_format(stored, base, 0, text, sizeof text, &notation);
      CHECK(code == VELTRANE_CONVERTED && strcmp(text, numeral) == 0 && notation == 0, "%s: %s",
            numeral, text);
    }
  }
}

static void checkLengthsAndBytes(void) {
  static char numeral[VELTRANE_MAX_NUMERAL_LENGTH + 2];
  char text[VELTRANE_TEXT_SIZE];
  veltrane_details details;
  /* Exactly the limit converts; one byte more does not, blanks included. */
  memset(numeral, ' ', VELTRANE_MAX_NUMERAL_LENGTH);
  numeral[VELTRANE_MAX_NUMERAL_LENGTH - 1] = '7';
  int code = veltrane_convert(numeral, VELTRANE_MAX_NUMERAL_LENGTH, 10, 16, 0, text, sizeof text);
  CHECK(code == VELTRANE_CONVERTED && strcmp(text, "7") == 0, "%d %s", code, text);
  numeral[VELTRANE_MAX_NUMERAL_LENGTH] = ' ';
  code = veltrane_convert(numeral, VELTRANE_MAX_NUMERAL_LENGTH + 1, 10, 16, 0, text, sizeof text);
  CHECK(code == VELTRANE_TOO_LONG && strcmp(text, "ERROR") == 0, "%d %s", code, text);
  /* A NUL byte is an outcome of its own, with its column. */
  code = veltrane_convert_details(" 1\0002", 4, 10, 16, 0, text, sizeof text, &details);
  CHECK(code == VELTRANE_NUL_BYTE && details.column == 2, "%d %lu", code,
        (unsigned long)details.column);
  /* A NULL numeral reads as the empty one. */
  CHECK(veltrane_convert(NULL, 5, 10, 16, 0, text, sizeof text) == VELTRANE_EMPTY, "NULL");
}

static void checkBadBases(void) {
  static const int kBad[][2] = {{1, 10}, {37, 10}, {10, 1}, {10, 37}, {0, 0}, {-10, 16}};
  for (int i = 0; i < 6; ++i) {
    char text[VELTRANE_TEXT_SIZE] = "untouched";
    const int from = kBad[i][0], to = kBad[i][1];
    CHECK(veltrane_convert("1", 1, from, to, 0, text, sizeof text) == VELTRANE_BAD_BASE &&
              text[0] == '\0',
          "%d %d", from, to);
    size_t measured = 12345;
    strcpy(text, "untouched");
    CHECK(veltrane_convert_measured("1", 1, from, to, 0, text, sizeof text, &measured) ==
                  VELTRANE_BAD_BASE &&
              text[0] == '\0' && measured == 0,
          "%d %d", from, to);
    strcpy(text, "untouched");
    CHECK(veltrane_json("1", 1, from, to, 0, text, sizeof text) == VELTRANE_BAD_BASE &&
              text[0] == '\0',
          "%d %d", from, to);
    CHECK(veltrane_explain("1", 1, from, to, 0, text, sizeof text) == VELTRANE_BAD_BASE, "%s", "");
    measured = 12345;
    CHECK(veltrane_json_measured("1", 1, from, to, 0, text, sizeof text, &measured) ==
                  VELTRANE_BAD_BASE &&
              text[0] == '\0' && measured == 0,
          "%d %d", from, to);
    CHECK(veltrane_message("1", 1, from, to, 0, text, sizeof text) == VELTRANE_BAD_BASE, "%s", "");
  }
  unsigned char stored[VELTRANE_STORED_SIZE];
  char text[64];
  CHECK(veltrane_parse("1", 1, 37, stored) == VELTRANE_BAD_BASE, "parse");
  CHECK(veltrane_parse("1", 1, 10, stored) == VELTRANE_CONVERTED, "parse");
  CHECK(veltrane_format(stored, 1, 0, text, sizeof text, NULL) == VELTRANE_BAD_BASE, "format");
  CHECK(veltrane_exact(stored, 37, text, sizeof text, NULL) == VELTRANE_BAD_BASE, "exact");
  CHECK(veltrane_ulps("1", 1, 0, stored, text, sizeof text) == VELTRANE_BAD_BASE, "ulps");
}

/* Calls write(size) and returns the code; the text must be whole or empty. */
typedef int (*Writer)(char *out, size_t size);

static int writeConvert(char *out, size_t size) {
  return veltrane_convert("0.1", 3, 10, 16, 0, out, size);
}
static int writeMeasured(char *out, size_t size) {
  size_t measured;
  const int code = veltrane_convert_measured("-1e4930", 7, 10, 16, 0, out, size, &measured);
  /* The length of what was written: the whole text, or none. */
  return out != NULL && size > 0 && measured != strlen(out) ? -100 : code;
}
static int writeRoundTrip(char *out, size_t size) {
  return veltrane_convert("0.1", 3, 10, 16, VELTRANE_ROUND_TRIP, out, size);
}
static int writeJson(char *out, size_t size) {
  return veltrane_json("-INF", 4, 31, 31, 0, out, size);
}
/* The length of what was written: the whole report, or none. */
static int writeJsonMeasured(char *out, size_t size) {
  size_t measured = 12345;
  const int code = veltrane_json_measured("-INF", 4, 31, 31, 0, out, size, &measured);
  return measured != (out != NULL && size > 0 ? strlen(out) : 0) ? -100 : code;
}
static int writeExplainMeasured(char *out, size_t size) {
  size_t measured = 12345;
  const int code = veltrane_explain_measured("0.1", 3, 10, 16, 0, out, size, &measured);
  return measured != (out != NULL && size > 0 ? strlen(out) : 0) ? -100 : code;
}
static int writeExplain(char *out, size_t size) {
  return veltrane_explain("0.1", 3, 10, 16, 0, out, size);
}
static int writeMessage(char *out, size_t size) {
  return veltrane_message("12G", 3, 10, 16, 0, out, size);
}
static int writeRoundTripNote(char *out, size_t size) {
  /* The smallest subnormal has no round-trip text in base 10. */
  return veltrane_message("1e-100000000111101", 18, 2, 10, VELTRANE_ROUND_TRIP, out, size);
}
static const unsigned char kOneTenth[VELTRANE_STORED_SIZE] = {0xCD, 0xCC, 0xCC, 0xCC, 0xCC,
                                                              0xCC, 0xCC, 0xCC, 0xFB, 0x3F};
static int writeFormat(char *out, size_t size) {
  return veltrane_format(kOneTenth, 16, VELTRANE_ROUND_TRIP, out, size, NULL);
}
static int writeExact(char *out, size_t size) {
  return veltrane_exact(kOneTenth, 10, out, size, NULL);
}
static int writeUlps(char *out, size_t size) {
  return veltrane_ulps("0.19999999999999A", 17, 16, kOneTenth, out, size);
}

static void checkBufferSizes(void) {
  /* A text that does not fit still tells the numeral's outcome and value. */
  for (unsigned flags = 0; flags <= VELTRANE_ROUND_TRIP; flags += VELTRANE_ROUND_TRIP) {
    char small[2];
    veltrane_details details;
    const int code =
        veltrane_convert_details("255", 3, 10, 16, flags, small, sizeof small, &details);
    CHECK(code == VELTRANE_BUFFER_TOO_SMALL && small[0] == '\0', "flags %u: %d", flags, code);
    CHECK(details.outcome == VELTRANE_CONVERTED && details.has_value == 1, "flags %u: %d %d",
          flags, details.outcome, details.has_value);
  }
  static const struct {
    const char *name;
    Writer write;
    int code;
  } kWriters[] = {
      {"convert", writeConvert, VELTRANE_CONVERTED},
      {"measured", writeMeasured, VELTRANE_OVERFLOW},
      {"round trip", writeRoundTrip, VELTRANE_CONVERTED},
      {"json", writeJson, VELTRANE_CONVERTED},
      {"explain", writeExplain, VELTRANE_CONVERTED},
      {"measured json", writeJsonMeasured, VELTRANE_CONVERTED},
      {"measured explanation", writeExplainMeasured, VELTRANE_CONVERTED},
      {"message", writeMessage, VELTRANE_REJECTED},
      {"round-trip note", writeRoundTripNote, VELTRANE_CONVERTED},
      {"format", writeFormat, VELTRANE_CONVERTED},
      {"exact", writeExact, VELTRANE_CONVERTED},
      {"ulps", writeUlps, VELTRANE_CONVERTED},
  };
  static char whole[VELTRANE_REPORT_SIZE];
  static char out[VELTRANE_REPORT_SIZE];
  for (size_t i = 0; i < sizeof kWriters / sizeof kWriters[0]; ++i) {
    const char *name = kWriters[i].name;
    CHECK(kWriters[i].write(whole, sizeof whole) == kWriters[i].code, "%s", name);
    const size_t length = strlen(whole);
    CHECK(length > 0, "%s", name);
    /* Exactly enough: the text and its NUL. */
    memset(out, 'x', sizeof out);
    CHECK(kWriters[i].write(out, length + 1) == kWriters[i].code, "%s", name);
    CHECK(strcmp(out, whole) == 0, "%s: %s", name, out);
    /* One byte too small: an empty text, and nothing written past it. */
    memset(out, 'x', sizeof out);
    CHECK(kWriters[i].write(out, length) == VELTRANE_BUFFER_TOO_SMALL, "%s", name);
    CHECK(out[0] == '\0' && out[length] == 'x', "%s", name);
    /* No buffer at all. */
    CHECK(kWriters[i].write(NULL, 0) == VELTRANE_BUFFER_TOO_SMALL, "%s", name);
  }
}

static void checkStoredValues(void) {
  unsigned char stored[VELTRANE_STORED_SIZE];
  char text[VELTRANE_ROUND_TRIP_TEXT_SIZE];
  int notation = -2, complete = -1;
  CHECK(veltrane_parse(" 0.1 ", 5, 10, stored) == VELTRANE_CONVERTED, "parse 0.1");
  CHECK(memcmp(stored, kOneTenth, VELTRANE_STORED_SIZE) == 0, "0.1 is 3FFB CCCCCCCCCCCCCCCD");
  CHECK(veltrane_format(stored, 16, 0, text, sizeof text, &notation) == VELTRANE_CONVERTED &&
            strcmp(text, "0.19999999999999A") == 0 && notation == 0,
        "%s", text);
  CHECK(veltrane_format(stored, 16, VELTRANE_SCIENTIFIC | VELTRANE_ROUND_TRIP, text, sizeof text,
                        &notation) == VELTRANE_CONVERTED &&
            strcmp(text, "1.999999999999999A_-1") == 0 && notation == 1,
        "%s", text);
  CHECK(veltrane_exact(stored, 16, text, sizeof text, &complete) == VELTRANE_CONVERTED &&
            strcmp(text, "1.999999999999999A_-1") == 0 && complete == 1,
        "%s", text);
  CHECK(veltrane_ulps("0.19999999999999A", 17, 16, stored, text, sizeof text) ==
                VELTRANE_CONVERTED &&
            strcmp(text, "51") == 0,
        "%s", text);
  CHECK(veltrane_ulps("+INF", 4, 16, stored, text, sizeof text) == VELTRANE_REJECTED, "+INF");
  /* An overflow stores the infinity of its sign, which formats as such. */
  CHECK(veltrane_parse("-1e4930", 7, 10, stored) == VELTRANE_OVERFLOW, "parse -1e4930");
  CHECK(stored[7] == 0x80 && stored[8] == 0xFF && stored[9] == 0xFF, "-infinity");
  CHECK(veltrane_format(stored, 10, 0, text, sizeof text, &notation) == VELTRANE_OVERFLOW &&
            strcmp(text, "-INF") == 0 && notation == -1,
        "%s", text);
  CHECK(veltrane_exact(stored, 10, text, sizeof text, NULL) == VELTRANE_NO_VALUE, "exact inf");
  /* A NaN is ERROR. */
  stored[7] = 0xC0;
  CHECK(veltrane_format(stored, 10, 0, text, sizeof text, &notation) == VELTRANE_NO_VALUE &&
            strcmp(text, "ERROR") == 0,
        "%s", text);
  /* A rejected numeral leaves stored alone. */
  memset(stored, 0xA5, sizeof stored);
  CHECK(veltrane_parse("@0", 2, 10, stored) == VELTRANE_NO_VALUE && stored[0] == 0xA5, "@0");
  CHECK(veltrane_parse("1x", 2, 10, stored) == VELTRANE_REJECTED && stored[9] == 0xA5, "1x");
}

static void checkNamesAndBoxes(void) {
  CHECK(strcmp(veltrane_version(), VELTRANE_VERSION_STRING) == 0, "%s", veltrane_version());
  CHECK(strcmp(veltrane_version(), "1.0.0") == 0 && VELTRANE_VERSION_NUMBER == 10000, "version");
  CHECK(strcmp(veltrane_outcome_name(VELTRANE_OVERFLOW), "overflow") == 0, "outcome name");
  CHECK(strcmp(veltrane_outcome_name(VELTRANE_BUFFER_TOO_SMALL), "buffer_too_small") == 0, "%s", "");
  CHECK(strcmp(veltrane_outcome_name(99), "") == 0, "unknown outcome");
  CHECK(strcmp(veltrane_rule_name(VELTRANE_RULE_DIGIT_TOO_LARGE), "digit_too_large") == 0, "%s", "");
  CHECK(strcmp(veltrane_rule_name(VELTRANE_RULE_EXPONENT_WITHOUT_DIGIT),
               "exponent_without_digit") == 0,
        "%s", "");
  CHECK(strcmp(veltrane_rule_name(-1), "") == 0, "unknown rule");
  CHECK(strcmp(veltrane_class_name(VELTRANE_CLASS_SUBNORMAL), "subnormal") == 0, "%s", "");
  CHECK(strcmp(veltrane_class_name(6), "") == 0, "unknown class");

  static const struct {
    const char *text;
    int valid, base;
  } kBoxes[] = {
      {"16", 1, 16}, {" 8 ", 1, 8},   {"1", 0, 2},          {"99", 0, 36}, {"", 0, 2},
      {"1x", 0, 1},  {"+5", 0, 0},    {"  36    x", 1, 36}, /* 8 bytes read: "  36    " */
      {"000000036", 1, 3},           /* "00000003" */
  };
  for (size_t i = 0; i < sizeof kBoxes / sizeof kBoxes[0]; ++i) {
    int base = -1;
    const int valid = veltrane_read_base(kBoxes[i].text, strlen(kBoxes[i].text), &base);
    CHECK(valid == kBoxes[i].valid && base == kBoxes[i].base, "\"%s\": %d %d", kBoxes[i].text,
          valid, base);
  }
  /* A NUL byte is a byte of the text, and no digit: not its end. */
  static const struct {
    const char *text;
    size_t length;
    int valid, base;
  } kWithNul[] = {{"12\0", 3, 0, 12}, {"\0" "12", 3, 0, 0}, {"16 \0", 4, 0, 16},
                  {"16\0x", 2, 1, 16}};
  for (size_t i = 0; i < sizeof kWithNul / sizeof kWithNul[0]; ++i) {
    int base = -1;
    const int valid = veltrane_read_base(kWithNul[i].text, kWithNul[i].length, &base);
    CHECK(valid == kWithNul[i].valid && base == kWithNul[i].base, "case %u: %d %d", (unsigned)i,
          valid, base);
  }
  char text[] = "  1 2  ";
  CHECK(veltrane_trim(text) == 3 && strcmp(text, "1 2") == 0, "\"%s\"", text);
}

int main(void) {
  for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) checkCase(&kCases[i]);
  checkTextsThatAreNumerals();
  checkLengthsAndBytes();
  checkBadBases();
  checkBufferSizes();
  checkStoredValues();
  checkNamesAndBoxes();
  if (failures != 0) {
    fprintf(stderr, "%d checks failed\n", failures);
    return 1;
  }
  printf("every check passed\n");
  return 0;
}
