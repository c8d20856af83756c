// veltrane-cli: converts numerals between bases 2 to 36 from the command line
// or from standard input, one output line per numeral.
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/convert_line.h"
#include "cli/line_reader.h"
#include "cli/options.h"

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitRejected = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInputOutput = 3;

const char kHelp[] =
    "Usage: veltrane-cli [--from B] [--to B] [--scientific] [--] [NUMERAL...]\n"
    "Converts real numerals from one base to another (bases 2 to 36), computing\n"
    "with the x87 80-bit extended type and truncating arithmetic. With no NUMERAL,\n"
    "reads numerals from standard input, one a line.\n"
    "\n"
    "  -f, --from B        base of the numerals (default 10); a numeral's own\n"
    "                      '@' suffix, as in 12@16, overrides it for that numeral\n"
    "  -t, --to B          base of the results (default 16)\n"
    "  -s, --scientific    scientific notation; very large or small results switch\n"
    "                      to it on their own\n"
    "      --              the arguments after it are numerals, even -0.5\n"
    "  -h, --help          this help\n"
    "      --version       the version\n"
    "\n"
    "Prints one line per numeral: the result, +INF or -INF when it is too large,\n"
    "or ERROR, with the reason on standard error. Exit status: 0 when every numeral\n"
    "was converted, 1 when one was rejected, 2 for a usage error, 3 when input\n"
    "could not be read or output written.\n"
    "\n"
    "Examples:\n"
    "  veltrane-cli 255                        prints FF\n"
    "  veltrane-cli --to 2 -- -0.5             prints -0.1\n"
    "  printf '12@16\\n1e4930\\n' | veltrane-cli -t 10   prints 18 and +INF\n";

// Both streams are fully buffered through these and flushed before every read
// of standard input, so the output keeps pace with an interactive writer.
char stdoutBuffer[1 << 16];
char stderrBuffer[1 << 12];

// Writes the numeral for a message: printable ASCII as it is, every other
// byte (and the quote and backslash) as \xNN, so the message stays one line.
void writeQuoted(const char* text, std::size_t length) {
  std::fputc('"', stderr);
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
      std::fprintf(stderr, "\\x%02X", c);
    } else {
      std::fputc(c, stderr);
    }
  }
  std::fputc('"', stderr);
}

void reportRejection(const char* where, unsigned long position, const char* line,
                     std::size_t length, LineOutcome outcome, const CliOptions& options) {
  std::fprintf(stderr, "veltrane-cli: %s %lu: ", where, position);
  if (outcome == kNotANumeral || outcome == kNulByte || outcome == kNoValue) {
    // Show the numeral as it was read, without its surrounding blanks.
    while (length > 0 && line[0] == ' ') ++line, --length;
    while (length > 0 && line[length - 1] == ' ') --length;
    writeQuoted(line, length);
    if (outcome == kNotANumeral && std::memchr(line, '@', length) == nullptr) {
      std::fprintf(stderr, " is not a numeral in base %d: ", options.inputBase);
    } else {
      std::fputs(": ", stderr);
    }
  }
  std::fputs(describeOutcome(outcome), stderr);
  std::fputc('\n', stderr);
}

// Converts one numeral and writes its output line; false when it was rejected.
bool convertAndPrint(const char* where, unsigned long position, const char* line,
                     std::size_t length, const CliOptions& options) {
  char out[kLineOutputSize + 1];
  LineOutcome outcome = convertLine(line, length, options, out);
  // One write of the text and its line end.
  const std::size_t textLength = std::strlen(out);
  out[textLength] = '\n';
  std::fwrite(out, 1, textLength + 1, stdout);
  if (outcome == kConverted) return true;
  reportRejection(where, position, line, length, outcome, options);
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
  std::fflush(stdout);
  std::fflush(stderr);
}

int convertArguments(int argc, char** argv, const CliOptions& options) {
  bool allConverted = true;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;  // an option
    if (!convertAndPrint("argument", static_cast<unsigned long>(i), argv[i], std::strlen(argv[i]),
                         options)) {
      allConverted = false;
    }
  }
  return allConverted ? kExitConverted : kExitRejected;
}

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
      std::fprintf(stderr, "veltrane-cli: cannot read standard input after line %lu: %s\n",
                   lineNumber, std::strerror(errno));
      return kExitInputOutput;
    }
    // Output that can no longer be written ends the run early.
    if (std::ferror(stdout)) break;
    ++lineNumber;
    if (!convertAndPrint("line", lineNumber, line, length, options)) allConverted = false;
  }
  return allConverted ? kExitConverted : kExitRejected;
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
      bool hasNumerals = false;
      for (int i = 1; i < argc; ++i) hasNumerals = hasNumerals || argv[i] != nullptr;
      status = hasNumerals ? convertArguments(argc, argv, options) : convertStandardInput(options);
      break;
    }
  }

  // A result that never reached its reader is not a success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "veltrane-cli: cannot write the output: %s\n", std::strerror(errno));
    status = kExitInputOutput;
  }
  std::fflush(stderr);
  return status;
}
