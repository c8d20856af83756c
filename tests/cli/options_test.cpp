#include "cli/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Parsed {
  CliAction action;
  CliOptions options;
  std::vector<std::string> numerals;  // what is left in argv, in order
  std::string message;
};

Parsed parse(std::vector<std::string> args) {
  std::vector<std::string> storage = {"veltrane-cli"};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  Parsed p;
  char message[256] = "";
  p.action = parseCommandLine(static_cast<int>(storage.size()), argv.data(), &p.options, message,
                              sizeof message);
  p.message = message;
  for (std::size_t i = 1; i < storage.size(); ++i)
    if (argv[i] != nullptr) p.numerals.push_back(argv[i]);
  return p;
}

using Strings = std::vector<std::string>;

TEST(CommandLine, Defaults) {
  Parsed p = parse({});
  EXPECT_EQ(p.action, kRunConversions);
  EXPECT_EQ(p.options.inputBase, 10);
  EXPECT_EQ(p.options.outputBase, 16);
  EXPECT_EQ(p.options.scientific, 0);
  EXPECT_TRUE(p.numerals.empty());
}

TEST(CommandLine, OptionSpellings) {
  struct Case {
    Strings args;
    int from, to, scientific;
  };
  const Case cases[] = {
      {{"-f", "2"}, 2, 16, 0},
      {{"-f36"}, 36, 16, 0},
      {{"--from", "7"}, 7, 16, 0},
      {{"--from=16"}, 16, 16, 0},
      {{"-t", "2"}, 10, 2, 0},
      {{"-t8"}, 10, 8, 0},
      {{"--to", "36"}, 10, 36, 0},
      {{"--to=3"}, 10, 3, 0},
      {{"-s"}, 10, 16, 1},
      {{"--scientific"}, 10, 16, 1},
      {{"-f", "2", "-f", "3"}, 3, 16, 0},  // the last one counts
      {{"--to", "2", "-s", "--from", "16"}, 16, 2, 1},
      // Grouped short options, and a value in the same argument or the next.
      {{"-st", "2"}, 10, 2, 1},
      {{"-st2"}, 10, 2, 1},
      {{"-sf", "16", "-t8"}, 16, 8, 1},
      {{"-ss"}, 10, 16, 1},
      // Unambiguous abbreviations of long options.
      {{"--sci"}, 10, 16, 1},
      {{"--s"}, 10, 16, 1},
      {{"--fr", "16"}, 16, 16, 0},
      {{"--f=3"}, 3, 16, 0},
      {{"--t", "36"}, 10, 36, 0},
      {{"--to", " 7 "}, 10, 7, 0},
  };
  for (const Case& c : cases) {
    Parsed p = parse(c.args);
    EXPECT_EQ(p.action, kRunConversions) << c.args[0] << " " << p.message;
    EXPECT_EQ(p.options.inputBase, c.from) << c.args[0];
    EXPECT_EQ(p.options.outputBase, c.to) << c.args[0];
    EXPECT_EQ(p.options.scientific, c.scientific) << c.args[0];
    EXPECT_TRUE(p.numerals.empty()) << c.args[0];
  }
}

// Base texts are read like the dialog's base boxes.
TEST(CommandLine, BaseTexts) {
  const struct {
    const char* text;
    int base;  // 0: rejected
  } cases[] = {
      {"2", 2},
      {"36", 36},
      {" 16 ", 16},
      {"010", 10},
      {"00000016", 16},
      {"1", 0},
      {"0", 0},
      {"37", 0},
      {"", 0},
      {"   ", 0},
      {"1 6", 0},
      {"0x10", 0},
      {"+16", 0},
      {"-16", 0},
      {"16.", 0},
      {"\t16", 0},
      {"000000016", 0},  // longer than a base box holds
      {"99999999999999999999", 0},
  };
  for (const auto& c : cases) {
    Parsed p = parse({"--to", c.text});
    if (c.base != 0) {
      EXPECT_EQ(p.action, kRunConversions) << '"' << c.text << '"';
      EXPECT_EQ(p.options.outputBase, c.base) << '"' << c.text << '"';
    } else {
      EXPECT_EQ(p.action, kUsageError) << '"' << c.text << '"';
      EXPECT_NE(p.message.find("--to"), std::string::npos) << p.message;
      EXPECT_NE(p.message.find("2 to 36"), std::string::npos) << p.message;
    }
  }
}

TEST(CommandLine, UsageErrorsNameTheOption) {
  const struct {
    Strings args;
    const char* named;
  } cases[] = {
      {{"-f"}, "-f"},
      {{"--from"}, "--from"},
      {{"255", "--to"}, "--to"},
      {{"-f", "99"}, "-f"},
      {{"--from=1"}, "--from"},
      {{"-x"}, "-x"},
      {{"--frm", "2"}, "--frm"},
      {{"--fromage"}, "--fromage"},
      {{"-sf"}, "-f"},       // grouped: -s, then -f without its base
      {{"--fr"}, "--from"},  // an abbreviation is named in full
      {{"--t=1"}, "--to"},
      {{"-st", "99"}, "-t"},
      {{"-sx"}, "-x"},
      {{"-sx"}, "-sx"},
      {{"--scientific=1"}, "--scientific"},
      {{"--sci=1"}, "--sci"},
      {{"--explain", "--json"}, "--json"},
      {{"--jsonx"}, "--jsonx"},
      {{"-0.5"}, "-0.5"},  // a negative numeral without "--" before it
      {{"255", "-1"}, "-1"},
  };
  for (const auto& c : cases) {
    Parsed p = parse(c.args);
    EXPECT_EQ(p.action, kUsageError) << c.args[0];
    EXPECT_NE(p.message.find(std::string("'") + c.named + "'"), std::string::npos) << p.message;
    EXPECT_EQ(p.message.find('\n'), std::string::npos) << p.message;
  }
  EXPECT_NE(parse({"-0.5"}).message.find("--"), std::string::npos);
}

TEST(CommandLine, RoundTrip) {
  EXPECT_FALSE(parse({}).options.roundTrip);
  for (const Strings& args : {Strings{"-r"}, Strings{"--round-trip"}, Strings{"--r"},
                              Strings{"-rst", "2"}, Strings{"1", "--round"}}) {
    const Parsed p = parse(args);
    EXPECT_EQ(p.action, kRunConversions) << args[0] << " " << p.message;
    EXPECT_TRUE(p.options.roundTrip) << args[0];
  }
  const Parsed p = parse({"-rst", "2"});
  EXPECT_EQ(p.options.scientific, 1);
  EXPECT_EQ(p.options.outputBase, 2);
  // It goes with --json and --explain, which report the round trip anyway.
  EXPECT_EQ(parse({"-r", "--json"}).options.report, kReportJson);
  EXPECT_EQ(parse({"--round-trip=1"}).action, kUsageError);
}

TEST(CommandLine, Reports) {
  EXPECT_EQ(parse({}).options.report, kReportText);
  EXPECT_EQ(parse({"--explain", "1"}).options.report, kReportExplain);
  EXPECT_EQ(parse({"1", "--ex"}).options.report, kReportExplain);
  EXPECT_EQ(parse({"--json"}).options.report, kReportJson);
  EXPECT_EQ(parse({"--js", "-t", "2"}).options.report, kReportJson);
  // --j could be --json or --jobs.
  EXPECT_EQ(parse({"--j", "-t", "2"}).action, kUsageError);
}

TEST(CommandLine, Jobs) {
  EXPECT_EQ(parse({}).options.jobs, 1);
  EXPECT_EQ(parse({"-j", "0"}).options.jobs, 0);
  EXPECT_EQ(parse({"-j3"}).options.jobs, 3);
  EXPECT_EQ(parse({"--jobs=8"}).options.jobs, 8);
  EXPECT_EQ(parse({"--jo", " 256 "}).options.jobs, 256);
  EXPECT_EQ(parse({"-sj2"}).options.jobs, 2);
  for (const char* bad : {"257", "-1", "x", "", "2.5", "123456789"}) {
    const Parsed p = parse({"-j", bad});
    EXPECT_EQ(p.action, kUsageError) << bad;
    EXPECT_NE(p.message.find("'-j'"), std::string::npos) << p.message;
  }
  EXPECT_NE(parse({"--jobs"}).message.find("'--jobs' needs a number of threads"),
            std::string::npos);
  // An option in the middle of a group names what is wrong and where.
  EXPECT_NE(parse({"-0.5"}).message.find("'-0'"), std::string::npos);
}

// getopt_long permutes nothing here: numerals keep their order and their
// argument numbers, whatever stands between them.
TEST(CommandLine, NumeralsKeepTheirArgumentNumbers) {
  std::vector<std::string> storage = {"veltrane-cli", "1", "-st2", "2",  "--fr=16", "3",
                                      "--to",         "8", "4",    "--", "-5",      "-t"};
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  CliOptions options;
  char message[128] = "";
  ASSERT_EQ(parseCommandLine(static_cast<int>(storage.size()), argv.data(), &options, message,
                             sizeof message),
            kRunConversions)
      << message;
  const std::vector<int> numerals = {1, 3, 5, 8, 10, 11};
  for (std::size_t i = 1; i < storage.size(); ++i) {
    const bool isNumeral = std::find(numerals.begin(), numerals.end(), i) != numerals.end();
    EXPECT_EQ(argv[i] != nullptr, isNumeral) << i;
    if (isNumeral) {
      EXPECT_EQ(argv[i], storage[i]) << i;
    }
  }
  EXPECT_EQ(options.inputBase, 16);
  EXPECT_EQ(options.outputBase, 8);
  EXPECT_EQ(options.scientific, 1);
}

TEST(CommandLine, NumeralsStayInPlace) {
  Parsed p = parse({"255", "-t", "2", "ff@16", "-s", "--", "-0.5", "--to", "-", ""});
  EXPECT_EQ(p.action, kRunConversions);
  EXPECT_EQ(p.options.outputBase, 2);
  EXPECT_EQ(p.options.scientific, 1);
  EXPECT_EQ(p.numerals, (Strings{"255", "ff@16", "-0.5", "--to", "-", ""}));
  // A lone "-" is the numeral "-", and a second "--" is a numeral after the first.
  EXPECT_EQ(parse({"-"}).numerals, Strings{"-"});
  EXPECT_EQ(parse({"--", "--"}).numerals, Strings{"--"});
}

TEST(CommandLine, HelpAndVersion) {
  EXPECT_EQ(parse({"--help"}).action, kShowHelp);
  EXPECT_EQ(parse({"-h"}).action, kShowHelp);
  EXPECT_EQ(parse({"255", "--help"}).action, kShowHelp);
  EXPECT_EQ(parse({"--version"}).action, kShowVersion);
  EXPECT_EQ(parse({"--", "--help"}).action, kRunConversions);
  // Options are read in order: an error before --help is still an error.
  EXPECT_EQ(parse({"-f", "1", "--help"}).action, kUsageError);
  EXPECT_EQ(parse({"-sh"}).action, kShowHelp);
  EXPECT_EQ(parse({"--he"}).action, kShowHelp);
  EXPECT_EQ(parse({"--vers"}).action, kShowVersion);
#ifdef _WIN32
  EXPECT_EQ(parse({"/?"}).action, kShowHelp);
  EXPECT_EQ(parse({"255", "/?"}).action, kShowHelp);
#else
  EXPECT_EQ(parse({"/?"}).numerals, Strings{"/?"});
#endif
  EXPECT_EQ(parse({"--", "/?"}).numerals, Strings{"/?"});
}

}  // namespace
