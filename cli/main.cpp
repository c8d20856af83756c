// veltrane-cli: converts numerals between bases 2 to 36 from the command line
// or from standard input, one output line per numeral.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include "cli/jobs.h"
#include "cli/line_reader.h"
#include "cli/options.h"
#include "veltrane.h"

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitRejected = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInputOutput = 3;

// The numeral limit, a number, as a string literal.
#define LIMIT_TEXT_OF(x) #x
#define LIMIT_TEXT(x) LIMIT_TEXT_OF(x)

const char kHelp[] =
    "Usage: veltrane-cli [OPTION]... [--] [NUMERAL]...\n"
    "Converts real numerals from one base to another (bases 2 to 36), computing\n"
    "with the x87 80-bit extended type and truncating arithmetic. With no NUMERAL,\n"
    "reads numerals from standard input, one a line.\n"
    "\n"
    "  -f, --from B        base of the numerals (default 10); a numeral's own\n"
    "                      '@' suffix, as in 12@16, overrides it for that numeral\n"
    "  -t, --to B          base of the results (default 16)\n"
    "  -s, --scientific    scientific notation; very large or small results switch\n"
    "                      to it on their own\n"
    "  -r, --round-trip    the round-trip text instead: the numeral of the output\n"
    "                      base with the fewest significant digits that is read\n"
    "                      back (by veltrane-cli) as exactly the same stored value,\n"
    "                      the nearest of those to the value, in the plain text's\n"
    "                      notation; where there is none, the plain text and a note\n"
    "                      on standard error\n"
    "  -j, --jobs N        convert standard input with N threads (0: one per core;\n"
    "                      default 1); the output, messages and exit status are\n"
    "                      those of one thread, byte for byte\n"
    "      --explain       for each numeral, a labelled block: the numeral and its\n"
    "                      base, the stored 80-bit value (sign, biased exponent,\n"
    "                      significand, class), its exact value in the output base,\n"
    "                      the text, and the text's distance from the stored value\n"
    "                      in units of its last place (ulps), whether the text\n"
    "                      reads back as the stored value, and the round-trip text\n"
    "      --json          the same facts as one JSON object a line, with the keys\n"
    "                      numeral, from, to, text, notation, outcome, stored,\n"
    "                      class, exact, exact_complete, ulps, reads_back and\n"
    "                      round_trip\n"
    "      --              the arguments after it are numerals, even -0.5\n"
    "  -h, --help          this help"
#ifdef _WIN32
    " (also /?)"
#endif
    "\n"
    "      --version       the version\n"
    "\n"
    "Short options may be grouped (-st 2) and long ones shortened (--sci, --fr 16).\n"
    "Prints one line per numeral: the result, +INF or -INF when it overflows,\n"
    "or ERROR, with the rule it broke and its column on standard error. A line\n"
    "over " LIMIT_TEXT(VELTRANE_MAX_NUMERAL_LENGTH) " bytes is rejected (every round-trip text fits).\n"
    "A UTF-8 byte order mark at the start of standard input is ignored. Exit\n"
    "status: 0 when every numeral was converted, 1 when one was rejected, 2 for\n"
    "a usage error, 3 when input could not be read or output written.\n"
    "\n"
    "The exact value has at most 1100 significant digits, cut beyond that; the\n"
    "distance is (text - stored) / (unit in the last place of the stored value),\n"
    "to six significant digits cut toward zero.\n"
    "In --json, outcome is converted, overflow, rejected, empty, too_long,\n"
    "nul_byte or no_value; stored is the 80-bit image as 20 hex digits; notation,\n"
    "stored, class, exact, exact_complete, ulps, reads_back and round_trip are null\n"
    "where they do not apply (round_trip also where no text reads back).\n"
    "\n"
    "Examples:\n"
    "  veltrane-cli 255                        prints FF\n"
    "  veltrane-cli --to 2 -- -0.5             prints -0.1\n"
#ifdef _WIN32
    "  echo 12@16 | veltrane-cli -t 10         prints 18 (in cmd and PowerShell)\n"
#else
    "  printf '12@16\\n1e4930\\n' | veltrane-cli -t 10   prints 18 and +INF\n"
#endif
    "  veltrane-cli --explain 0.1              shows how 0.1 is stored\n"
    "  veltrane-cli -r 0.1                     prints 0.1999999999999999A, which reads\n"
    "                                          back as 0.1 does; 0.19999999999999A\n"
    "                                          (the plain text) does not\n";

// Both streams are fully buffered through these and flushed before every read
// of standard input, so the output keeps pace with an interactive writer.
char stdoutBuffer[1 << 16];
char stderrBuffer[1 << 12];

// Text lines and reports are converted straight into this block and go to
// stdout a block at a time: one fwrite per line cost more than converting
// the numeral. drainText runs wherever stdout is flushed, so the bytes and
// their order are those of a write per line. The block has room for the
// longest line (a report and its LF) past kDrainAt bytes, and is drained
// once it holds more than those.
constexpr std::size_t kDrainAt = 1 << 16;
constexpr std::size_t kLongestLine = VELTRANE_REPORT_SIZE + 1;
static_assert(VELTRANE_ROUND_TRIP_TEXT_SIZE < kLongestLine && VELTRANE_TEXT_SIZE < kLongestLine,
              "a text line longer than a report line");
char textBlock[kDrainAt + kLongestLine];
std::size_t textLength = 0;

void drainText() {
  if (textLength == 0) return;
  std::fwrite(textBlock, 1, textLength, stdout);
  textLength = 0;
}

// Where the next line goes, with room for the longest line; the block is
// drained first when it holds more than kDrainAt bytes.
char* roomForLine() {
  if (textLength > kDrainAt) drainText();
  return textBlock + textLength;
}

// The library's message about a numeral, for standard error.
char messageBuffer[VELTRANE_REPORT_SIZE];

unsigned flagsOf(const CliOptions& options) {
  return (options.scientific != 0 ? VELTRANE_SCIENTIFIC : 0u) |
         (options.roundTrip ? VELTRANE_ROUND_TRIP : 0u);
}

// True for the outcomes that give a text other than ERROR.
bool givesText(int outcome) {
  return outcome == VELTRANE_CONVERTED || outcome == VELTRANE_OVERFLOW;
}

// The library's message about the numeral, if it has one, on stderr.
void reportMessage(const char* where, unsigned long position, const char* line, std::size_t length,
                   const CliOptions& options, unsigned flags) {
  veltrane_message(line, length, options.inputBase, options.outputBase, flags, messageBuffer,
                   sizeof messageBuffer);
  if (messageBuffer[0] != '\0')
    std::fprintf(stderr, "veltrane-cli: %s %lu: %s\n", where, position, messageBuffer);
}

// Converts one numeral with --round-trip (and no report) and writes its
// text line; on stderr, why its plain text stands where it has no
// round-trip text, or why it was rejected. False when it was rejected.
bool convertAndPrintRoundTrip(const char* where, unsigned long position, const char* line,
                              std::size_t length, const CliOptions& options) {
  char* out = roomForLine();
  const unsigned flags = flagsOf(options);
  veltrane_details details;
  const int outcome = veltrane_convert_details(line, length, options.inputBase, options.outputBase,
                                               flags, out, VELTRANE_ROUND_TRIP_TEXT_SIZE, &details);
  const std::size_t textEnd = std::strlen(out);
  out[textEnd] = '\n';
  textLength += textEnd + 1;
  // A value shown in its plain text, or a rejected numeral, has a message.
  const bool converted = givesText(outcome);
  if (!converted || (details.has_value && !details.round_trip))
    reportMessage(where, position, line, length, options, flags);
  return converted;
}

// Converts one numeral and writes its output: the text line, or its report;
// false when it was rejected.
bool convertAndPrint(const char* where, unsigned long position, const char* line,
                     std::size_t length, const CliOptions& options) {
  const unsigned flags = flagsOf(options);
  int outcome;
  if (options.report == kReportText) {
    char* out = roomForLine();
    std::size_t textEnd;
    outcome = veltrane_convert_measured(line, length, options.inputBase, options.outputBase, flags,
                                        out, VELTRANE_TEXT_SIZE, &textEnd);
    out[textEnd] = '\n';
    textLength += textEnd + 1;
  } else {
    // Reports go into the block as texts do; a --json line ends in LF.
    char* out = roomForLine();
    std::size_t reportLength;
    outcome = options.report == kReportExplain
                  ? veltrane_explain_measured(line, length, options.inputBase, options.outputBase,
                                              flags, out, VELTRANE_REPORT_SIZE, &reportLength)
                  : veltrane_json_measured(line, length, options.inputBase, options.outputBase,
                                           flags, out, VELTRANE_REPORT_SIZE, &reportLength);
    if (options.report == kReportJson) out[reportLength++] = '\n';
    textLength += reportLength;
  }
  if (givesText(outcome)) return true;
  // A rejected numeral is converted again for its message, which gives the
  // same outcome, as the library keeps nothing from one call to the next.
  reportMessage(where, position, line, length, options, flags);
  return false;
}

long readStandardInput(void*, char* buffer, std::size_t size) {
  for (;;) {
#ifdef _WIN32
    int count = _read(0, buffer, static_cast<unsigned>(size));
#else
    ssize_t count = read(0, buffer, size);
#endif
    if (count >= 0) return static_cast<long>(count);
    if (errno != EINTR) return -1;
  }
}

void flushOutput(void*) {
  drainText();
  std::fflush(stdout);
  std::fflush(stderr);
}

// The loops take the per-line function as a parameter of their own, chosen
// once for the run: a plain run goes through no test of --round-trip.
using LineConverter = bool (*)(const char*, unsigned long, const char*, std::size_t,
                               const CliOptions&);

template <LineConverter convert>
int convertArguments(int argc, char** argv, const CliOptions& options) {
  bool allConverted = true;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;  // an option
    if (!convert("argument", static_cast<unsigned long>(i), argv[i], std::strlen(argv[i]),
                 options)) {
      allConverted = false;
    }
  }
  return allConverted ? kExitConverted : kExitRejected;
}

template <LineConverter convert>
int convertStandardInput(const CliOptions& options) {
#ifdef _WIN32
  // CR LF is handled here, the same on every system; output keeps the native
  // line end.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  static LineReader reader(readStandardInput, flushOutput, nullptr);
  bool allConverted = true;
  unsigned long lineNumber = 0;
  const char* line;
  std::size_t length;
  for (;;) {
    LineReader::Result result = reader.next(&line, &length);
    if (result == LineReader::kEnd) break;
    if (result == LineReader::kReadError) {
      if (lineNumber == 0)
        std::fprintf(stderr, "veltrane-cli: cannot read standard input before the first line: %s\n",
                     std::strerror(errno));
      else
        std::fprintf(stderr, "veltrane-cli: cannot read standard input after line %lu: %s\n",
                     lineNumber, std::strerror(errno));
      return kExitInputOutput;
    }
    // Output that can no longer be written ends the run early.
    if (std::ferror(stdout)) break;
    ++lineNumber;
    if (!convert("line", lineNumber, line, length, options)) allConverted = false;
  }
  return allConverted ? kExitConverted : kExitRejected;
}

// True when a read of standard input would wait: nothing to read yet and
// no end of input. (On Windows, where only a file is known never to wait,
// true for anything else: the output is flushed before every read, as the
// single thread does.)
bool inputWouldWait() {
#ifdef _WIN32
  static const bool fromFile = [] {
    struct _stat64 info;
    return _fstat64(0, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFREG;
  }();
  return !fromFile;
#else
  pollfd input = {0, POLLIN, 0};
  return poll(&input, 1, 0) == 0;
#endif
}

int convertStandardInputInParallel(const CliOptions& options, int threads) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  const ParallelOutcome outcome =
      convertInParallel(options, threads, readStandardInput, inputWouldWait);
  if (outcome.readError) {
    if (outcome.lines == 0)
      std::fprintf(stderr, "veltrane-cli: cannot read standard input before the first line: %s\n",
                   std::strerror(outcome.error));
    else
      std::fprintf(stderr, "veltrane-cli: cannot read standard input after line %lu: %s\n",
                   outcome.lines, std::strerror(outcome.error));
    return kExitInputOutput;
  }
  return outcome.allConverted ? kExitConverted : kExitRejected;
}

// The threads --jobs asks for: 0 is one per core.
int threadsFor(int jobs) {
  if (jobs != 0) return jobs;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0                                ? 1
         : cores > static_cast<unsigned>(kMaxJobs) ? kMaxJobs
                                                   : static_cast<int>(cores);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
  std::setvbuf(stderr, stderrBuffer, _IOFBF, sizeof stderrBuffer);

  CliOptions options;
  char message[512];
  int status = kExitConverted;
  switch (parseCommandLine(argc, argv, &options, message, sizeof message)) {
    case kUsageError:
      std::fprintf(stderr, "veltrane-cli: %s\n", message);
      status = kExitUsage;
      break;
    case kShowHelp:
      std::fputs(kHelp, stdout);
      break;
    case kShowVersion:
      std::fputs("veltrane-cli " VELTRANE_VERSION "\n", stdout);
      break;
    case kRunConversions: {
      // This program does no long double arithmetic of its own: its threads
      // keep the library's x87 mode, which spares each call a change of mode
      // and a change back.
      veltrane_adopt_x87_mode();
      bool hasNumerals = false;
      for (int i = 1; i < argc; ++i) hasNumerals = hasNumerals || argv[i] != nullptr;
      const int threads = threadsFor(options.jobs);
      bool parallel = !hasNumerals && threads > 1;
      if (parallel) {
        try {
          status = convertStandardInputInParallel(options, threads);
        } catch (const std::system_error&) {
          // No thread could be started: one thread does it all.
          parallel = false;
        }
      }
      if (parallel) {
      } else if (options.roundTrip && options.report == kReportText)
        status = hasNumerals ? convertArguments<convertAndPrintRoundTrip>(argc, argv, options)
                             : convertStandardInput<convertAndPrintRoundTrip>(options);
      else
        status = hasNumerals ? convertArguments<convertAndPrint>(argc, argv, options)
                             : convertStandardInput<convertAndPrint>(options);
      break;
    }
  }

  // A result that never reached its reader is not a success.
  drainText();
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "veltrane-cli: cannot write the output: %s\n", std::strerror(errno));
    status = kExitInputOutput;
  }
  std::fflush(stderr);
  return status;
}
