// The command line of veltrane-cli:
//   veltrane-cli [--from B] [--to B] [--scientific] [--round-trip] [--explain | --json]
//                [--] [NUMERAL...]
#ifndef VELTRANE_CLI_OPTIONS_H
#define VELTRANE_CLI_OPTIONS_H

#include <cstddef>

// What each numeral's output is: the text alone, the --explain block or the
// --json line.
enum CliReport { kReportText, kReportExplain, kReportJson };

// What every numeral of one run is converted with.
struct CliOptions {
  int inputBase = 10;   // 2..36; an '@' suffix overrides it for its own numeral only
  int outputBase = 16;  // 2..36
  int scientific = 0;   // 1 asks for scientific notation, 0 for standard
  CliReport report = kReportText;
  bool roundTrip = false;  // the round-trip text instead of the plain one
  int jobs = 1;            // threads converting standard input; 0: one per core
};

// The most threads -j takes.
constexpr int kMaxJobs = 256;

enum CliAction { kRunConversions, kShowHelp, kShowVersion, kUsageError };

// Reads the options in argv[1 .. argc-1] into *options, which holds the
// defaults on entry, with getopt_long:
//   -f B, -fB, --from B, --from=B   input base
//   -t B, -tB, --to B, --to=B       output base
//   -s, --scientific                scientific notation
//   -r, --round-trip                the round-trip text of each numeral
//   -j N, --jobs N, --jobs=N        N threads (0: one per core; at most kMaxJobs)
//   --explain, --json               the report of each numeral (not both)
//   -h, --help / --version          help / version, at once
//   --                              every later argument is a numeral
// Short options group ("-st 2", "-st2"); a long option may be shortened to
// any unambiguous prefix ("--sci", "--fr 16"). On Windows an argument "/?"
// asks for help too. A base is read like the dialog's base boxes: blanks
// trimmed, then a whole decimal number from 2 to 36 of at most 8 characters.
// Options may stand before, between or after numerals. An argument that does
// not start with '-', or is "-" alone, is a numeral, so a negative numeral
// needs "--" before it. Options, their values and "--" are replaced by null
// in argv, leaving every numeral at its own position (argv is not permuted).
// On kUsageError, message receives one line without a line end naming the
// option and what it accepts (truncated to messageSize); the options after
// the faulty one are not read. Uses getopt_long's globals, so it is not
// reentrant.
CliAction parseCommandLine(int argc, char** argv, CliOptions* options, char* message,
                           std::size_t messageSize);

#endif
