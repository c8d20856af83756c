// The C++ value types of veltrane.hpp over the C interface: every outcome
// with its fields, the facts --json gives, and parse/format on their own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "veltrane.hpp"

namespace {

using veltrane::Notation;
using veltrane::Outcome;
using veltrane::Rule;

struct Case {
  const char* numeral;
  veltrane::Options options;
  Outcome outcome;
  const char* text;
  Rule rule;
  std::size_t column;
};

const Case kCases[] = {
    {"255", {10, 16, false, false}, Outcome::converted, "FF", Rule::none, 0},
    {"255", {10, 16, true, false}, Outcome::converted, "F.F_+1", Rule::none, 0},
    {"0.1", {10, 16, false, true}, Outcome::converted, "0.1999999999999999A", Rule::none, 0},
    // The texts of the outcomes, as numerals and as outcomes.
    {"-INF", {31, 31, false, false}, Outcome::converted, "-INF", Rule::none, 0},
    {"-INF", {24, 24, false, true}, Outcome::converted, "-INF", Rule::none, 0},
    {"INF", {36, 36, false, false}, Outcome::converted, "INF", Rule::none, 0},
    {"ERROR", {28, 28, false, false}, Outcome::converted, "ERROR", Rule::none, 0},
    {"ERROR", {36, 10, false, false}, Outcome::converted, "24810219", Rule::none, 0},
    {"-1_555", {31, 31, false, false}, Outcome::overflow_minus, "-INF", Rule::none, 0},
    {"1_zzz", {36, 36, false, false}, Outcome::overflow_plus, "+INF", Rule::none, 0},
    {"1e4930", {10, 16, false, false}, Outcome::overflow_plus, "+INF", Rule::none, 0},
    {"@0", {10, 16, false, false}, Outcome::no_value, "ERROR", Rule::none, 1},
    {"-INF", {23, 23, false, false}, Outcome::rejected, "ERROR", Rule::digit_too_large, 3},
    {"ERROR", {27, 27, false, false}, Outcome::rejected, "ERROR", Rule::digit_too_large, 2},
    {"+INF", {36, 36, false, false}, Outcome::converted, "INF", Rule::none, 0},  // a sign and digits
    {"1.2.3", {10, 16, false, false}, Outcome::rejected, "ERROR", Rule::second_point, 4},
    {" ", {10, 16, false, false}, Outcome::empty, "ERROR", Rule::none, 0},
    {"1", {10, 37, false, false}, Outcome::bad_base, "", Rule::none, 0},
    {"1", {1, 10, false, false}, Outcome::bad_base, "", Rule::none, 0},
};

TEST(ApiCpp, EveryOutcomeWithItsFields) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.numeral) + " from " + std::to_string(c.options.from_base) +
                 " to " + std::to_string(c.options.to_base));
    const veltrane::Result r = veltrane::convert(c.numeral, c.options);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.rule, c.rule);
    EXPECT_EQ(r.column, c.column);
    EXPECT_EQ(r.has_text(), c.outcome == Outcome::converted ||
                                c.outcome == Outcome::overflow_plus ||
                                c.outcome == Outcome::overflow_minus);
    EXPECT_EQ(r.stored.has_value(), c.outcome == Outcome::converted);
    EXPECT_EQ(r.notation.has_value(), c.outcome == Outcome::converted);
    EXPECT_EQ(r.message.empty(), c.outcome != Outcome::rejected &&
                                     c.outcome != Outcome::empty &&
                                     c.outcome != Outcome::no_value);
    if (c.outcome == Outcome::rejected) {
      EXPECT_NE(r.message.find(" at column "), std::string::npos);
    }
    if (c.options.round_trip && r.stored) {
      EXPECT_TRUE(r.round_trip_text);
    }
  }
}

// Where the round-trip text is missing, the plain text stands in and the
// message says why.
TEST(ApiCpp, PlainTextWhereNoRoundTripTextExists) {
  const veltrane::Result r = veltrane::convert("1e-100000000111101", {2, 10, false, true});
  EXPECT_EQ(r.outcome, Outcome::converted);
  EXPECT_EQ(r.text, "4.0e-4951");
  EXPECT_FALSE(r.round_trip_text);
  EXPECT_NE(r.message.find("no numeral in base 10"), std::string::npos) << r.message;
}

TEST(ApiCpp, FactsAgreeWithTheJsonLine) {
  const veltrane::Facts f = veltrane::facts("0.1", {10, 16, false, false});
  EXPECT_EQ(f.outcome, Outcome::converted);
  ASSERT_TRUE(f.exact && f.ulps && f.reads_back && f.round_trip);
  EXPECT_EQ(*f.exact, "1.999999999999999A_-1");
  EXPECT_TRUE(f.exact_complete);
  EXPECT_EQ(*f.ulps, "51");
  EXPECT_FALSE(*f.reads_back);
  EXPECT_EQ(*f.round_trip, "0.1999999999999999A");
  EXPECT_EQ(f.stored_class, veltrane::StoredClass::normal);
  for (const std::string& key :
       {std::string("\"exact\": \"") + *f.exact + "\"", std::string("\"ulps\": 51"),
        std::string("\"reads_back\": false"),
        std::string("\"round_trip\": \"") + *f.round_trip + "\"",
        std::string("\"outcome\": \"converted\"")})
    EXPECT_NE(f.json.find(key), std::string::npos) << key << " in " << f.json;

  // A numeral that spells an overflow's text has a value and a distance.
  const veltrane::Facts minus = veltrane::facts("-INF", {31, 31, false, false});
  EXPECT_EQ(minus.outcome, Outcome::converted);
  ASSERT_TRUE(minus.ulps);
  EXPECT_EQ(*minus.ulps, "0");
  EXPECT_NE(minus.json.find("\"outcome\": \"converted\""), std::string::npos) << minus.json;
  EXPECT_NE(minus.json.find("\"ulps\": 0,"), std::string::npos) << minus.json;
  // A real overflow has neither.
  const veltrane::Facts over = veltrane::facts("-1_555", {31, 31, false, false});
  EXPECT_EQ(over.outcome, Outcome::overflow_minus);
  EXPECT_FALSE(over.ulps || over.exact || over.stored);
  EXPECT_NE(over.json.find("\"outcome\": \"overflow\""), std::string::npos) << over.json;
  EXPECT_NE(over.json.find("\"ulps\": null"), std::string::npos) << over.json;
}

TEST(ApiCpp, ReportsGrowTheirBuffers) {
  // A numeral of the longest length gives a --json line of more than the
  // first buffer the header tries.
  const std::string numeral(veltrane::max_numeral_length, '1');
  const std::string json = veltrane::json(numeral, {2, 36, false, false});
  EXPECT_GT(json.size(), veltrane::max_numeral_length);
  EXPECT_EQ(json.back(), '}');
  EXPECT_EQ(veltrane::explanation("0.1").substr(0, 19), "numeral:   \"0.1\"\nba");
}

TEST(ApiCpp, ParseAndFormatOnTheirOwn) {
  const veltrane::Parsed tenth = veltrane::parse("0.1", 10);
  ASSERT_EQ(tenth.outcome, Outcome::converted);
  const veltrane::Stored expected = {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F};
  EXPECT_EQ(tenth.stored, expected);
  veltrane::Formatted f = veltrane::format(tenth.stored, 16);
  EXPECT_EQ(f.outcome, Outcome::converted);
  EXPECT_EQ(f.text, "0.19999999999999A");
  EXPECT_EQ(f.notation, Notation::standard);
  f = veltrane::format(tenth.stored, 16, true, true);
  EXPECT_EQ(f.text, "1.999999999999999A_-1");
  EXPECT_EQ(f.notation, Notation::scientific);
  EXPECT_EQ(veltrane::parse(f.text, 16).stored, tenth.stored);

  const veltrane::Parsed minus = veltrane::parse("-1e4930", 10);
  EXPECT_EQ(minus.outcome, Outcome::overflow_minus);
  f = veltrane::format(minus.stored, 7);
  EXPECT_EQ(f.outcome, Outcome::overflow_minus);
  EXPECT_EQ(f.text, "-INF");
  EXPECT_FALSE(f.notation);
  EXPECT_EQ(veltrane::parse("1e4930", 10).outcome, Outcome::overflow_plus);
  EXPECT_EQ(veltrane::parse("@0", 10).outcome, Outcome::no_value);
  EXPECT_EQ(veltrane::parse("1", 99).outcome, Outcome::bad_base);

  bool complete = false;
  EXPECT_EQ(veltrane::exact(tenth.stored, 16, &complete), "1.999999999999999A_-1");
  EXPECT_TRUE(complete);
  EXPECT_FALSE(veltrane::exact(minus.stored, 10));
  EXPECT_EQ(veltrane::ulps("0.19999999999999A", 16, tenth.stored), "51");
  EXPECT_FALSE(veltrane::ulps("+INF", 16, tenth.stored));
}

TEST(ApiCpp, Names) {
  EXPECT_STREQ(veltrane::name(Outcome::overflow_minus), "overflow");
  EXPECT_STREQ(veltrane::name(Outcome::no_value), "no_value");
  EXPECT_STREQ(veltrane::name(Rule::suffix_after_letter), "suffix_after_letter");
  EXPECT_STREQ(veltrane::name(veltrane::StoredClass::nan), "nan");
  EXPECT_STREQ(veltrane::version(), "1.0.0");
}

}  // namespace
