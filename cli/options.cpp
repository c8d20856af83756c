#include "cli/options.h"

#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "veltrane.h"

namespace {

// A base box holds 8 characters.
constexpr std::size_t kBaseFieldLength = 8;

// Codes of the long options that have no short form.
constexpr int kVersionOption = 256;
constexpr int kExplainOption = 257;
constexpr int kJsonOption = 258;
// getopt_long's code for an argument that is not an option, in the order
// the leading '-' of the short options asks for.
constexpr int kNonOption = 1;

// '-': options and numerals come back in their order, none moved, so every
// numeral keeps its place in argv (the messages count arguments by it).
// ':': a missing value is told apart from an unknown option.
const char kShortOptions[] = "-:f:t:j:srh";

const option kLongOptions[] = {
    {"from", required_argument, nullptr, 'f'},
    {"to", required_argument, nullptr, 't'},
    {"scientific", no_argument, nullptr, 's'},
    {"round-trip", no_argument, nullptr, 'r'},
    {"jobs", required_argument, nullptr, 'j'},
    {"explain", no_argument, nullptr, kExplainOption},
    {"json", no_argument, nullptr, kJsonOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {nullptr, 0, nullptr, 0},
};

// Reads a base like a base box does; false for anything but 2..36.
// The blanks around the value do not count towards its 8 characters.
bool readBase(const char* text, int* base) {
  std::size_t start = 0;
  std::size_t end = std::strlen(text);
  while (start < end && text[start] == ' ') ++start;
  while (end > start && text[end - 1] == ' ') --end;
  if (end - start > kBaseFieldLength) return false;
  return veltrane_read_base(text + start, end - start, base) == 1;
}

// Reads a number of jobs: a whole decimal number from 0 to kMaxJobs, of at
// most 8 digits, blanks around it ignored.
bool readJobs(const char* text, int* jobs) {
  std::size_t start = 0;
  std::size_t end = std::strlen(text);
  while (start < end && text[start] == ' ') ++start;
  while (end > start && text[end - 1] == ' ') --end;
  if (end == start || end - start > 8) return false;
  int value = 0;
  for (std::size_t i = start; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  if (value > kMaxJobs) return false;
  *jobs = value;
  return true;
}

// The name of a base option as it was written, for messages: "--from" and
// "--to" in full even when abbreviated, "-f" and "-t" as they are.
void optionName(char* name, std::size_t size, const char* element, int code) {
  const bool isLong = element[0] == '-' && element[1] == '-';
  if (code == 'f')
    std::snprintf(name, size, "%s", isLong ? "--from" : "-f");
  else if (code == 't')
    std::snprintf(name, size, "%s", isLong ? "--to" : "-t");
  else if (code == 'j')
    std::snprintf(name, size, "%s", isLong ? "--jobs" : "-j");
  else
    std::snprintf(name, size, "%s", element);
}

// The long options that name (length bytes, not 0) abbreviates, as "--a,
// --b", into out; returns how many there are.
int abbreviationCandidates(char* out, std::size_t size, const char* name, int length) {
  int count = 0;
  std::size_t used = 0;
  for (const option* o = kLongOptions; o->name != nullptr && length > 0; ++o) {
    if (std::strncmp(o->name, name, static_cast<std::size_t>(length)) != 0) continue;
    const int written =
        std::snprintf(out + used, size - used, "%s--%s", count > 0 ? ", " : "", o->name);
    if (written > 0) used = std::min(size - 1, used + static_cast<std::size_t>(written));
    ++count;
  }
  return count;
}

// The message for an option getopt_long did not take; arg is the argument
// it was read from.
void unknownOption(char* message, std::size_t messageSize, const char* arg, int code) {
  if (arg[0] == '-' && arg[1] == '-') {
    // An unknown long option, an ambiguous abbreviation, or a value given to
    // one that takes none.
    const char* equals = std::strchr(arg, '=');
    const int length =
        static_cast<int>(equals != nullptr ? equals - arg : static_cast<long>(std::strlen(arg)));
    char candidates[128] = "";
    if (code != 0 && equals != nullptr)
      std::snprintf(message, messageSize, "option '%.*s' takes no value", length, arg);
    else if (abbreviationCandidates(candidates, sizeof candidates, arg + 2, length - 2) > 1)
      std::snprintf(message, messageSize,
                    "option '%.*s' is ambiguous (%s); try 'veltrane-cli --help'", length, arg,
                    candidates);
    else
      std::snprintf(message, messageSize, "unknown option '%.*s'; try 'veltrane-cli --help'",
                    length, arg);
    return;
  }
  // "-0.5" and "-1" are negative numerals more likely than options.
  const bool numeric = (code >= '0' && code <= '9') || code == '.';
  const char* hint = numeric ? " (a negative numeral goes after '--')" : "";
  if (arg[1] == code && arg[2] == '\0')
    std::snprintf(message, messageSize, "unknown option '%s'%s; try 'veltrane-cli --help'", arg,
                  hint);
  else
    std::snprintf(message, messageSize, "unknown option '-%c' in '%s'%s; try 'veltrane-cli --help'",
                  code, arg, hint);
}

}  // namespace

CliAction parseCommandLine(int argc, char** argv, CliOptions* options, char* message,
                           std::size_t messageSize) {
  // Every call starts a fresh scan (0 also resets the BSD-derived getopt of
  // MinGW-w64), and getopt_long prints nothing: the messages are ours.
  optind = 0;
  opterr = 0;
  bool explain = false;
  bool json = false;
  for (;;) {
    // The argument this call reads (a group of short options may take
    // several calls); 0 only before the first call.
    const int element = optind < 1 ? 1 : optind;
    const int code = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
    if (code == -1) break;
    const char* arg = element < argc ? argv[element] : "";

    // Options and their values are taken out of argv once they are read.
    if (code != kNonOption)
      for (int i = element; i < optind && i < argc; ++i) argv[i] = nullptr;

    switch (code) {
      case kNonOption:
#ifdef _WIN32
        // The Windows way of asking for help.
        if (std::strcmp(optarg, "/?") == 0) return kShowHelp;
#endif
        break;  // a numeral: it stays in place
      case 'h':
        return kShowHelp;
      case kVersionOption:
        return kShowVersion;
      case 's':
        options->scientific = 1;
        break;
      case 'r':
        options->roundTrip = true;
        break;
      case kExplainOption:
        explain = true;
        break;
      case kJsonOption:
        json = true;
        break;
      case 'f':
      case 't': {
        char name[16];
        optionName(name, sizeof name, arg, code);
        if (!readBase(optarg, code == 'f' ? &options->inputBase : &options->outputBase)) {
          std::snprintf(message, messageSize,
                        "option '%s': '%s' is not a base; give a whole decimal number from 2 to 36",
                        name, optarg);
          return kUsageError;
        }
        break;
      }
      case 'j': {
        char name[16];
        optionName(name, sizeof name, arg, code);
        if (!readJobs(optarg, &options->jobs)) {
          std::snprintf(message, messageSize,
                        "option '%s': '%s' is not a number of threads; give a whole decimal "
                        "number from 0 (one per core) to %d",
                        name, optarg, kMaxJobs);
          return kUsageError;
        }
        break;
      }
      case ':':
        if (std::strchr(arg, '=') == nullptr) {
          char name[16];
          optionName(name, sizeof name, arg, optopt);
          if (optopt == 'j')
            std::snprintf(message, messageSize, "option '%s' needs a number of threads", name);
          else
            std::snprintf(message, messageSize, "option '%s' needs a base from 2 to 36", name);
          return kUsageError;
        }
        // The BSD-derived getopt_long reports a value given to an option
        // that takes none this way too.
        unknownOption(message, messageSize, arg, optopt);
        return kUsageError;
      default:
        unknownOption(message, messageSize, arg, optopt);
        return kUsageError;
    }
  }
  // After "--", every argument from optind on is a numeral; "--" itself is
  // taken out.
  if (optind > 1 && optind <= argc && argv[optind - 1] != nullptr &&
      std::strcmp(argv[optind - 1], "--") == 0)
    argv[optind - 1] = nullptr;
  if (explain && json) {
    std::snprintf(message, messageSize, "options '--explain' and '--json' exclude each other");
    return kUsageError;
  }
  options->report = explain ? kReportExplain : json ? kReportJson : kReportText;
  return kRunConversions;
}
