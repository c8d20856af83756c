// Prints the exact transcendental cores' results for arguments read from
// standard input, for log_exp_reference_test.py to check against mpmath.
//
// Each input line is one of
//   L <significand hex> <exponent>            truncatedLog2
//   E <0|1 negative> <significand hex> <exponent>  truncatedExp2m1
// and each output line is the image as SEEE:SIGNIFICAND in hex. With an
// argument `directBITS` (direct64, direct128, ... direct4096) the first pass
// is the direct one of that precision instead of the table pass. At the end a line
//   # log2 results R passes P0 P1 ... unresolved U
// (and the same for exp2m1) gives the pass counts.
#include <cinttypes>
#include <cstdio>

#include "numeric/x87_software_log_exp.h"

namespace {

void printCounts(const char* name, const TranscendentalCounts& c) {
  std::printf("# %s results %" PRIu64 " passes", name, c.results);
  for (int i = 0; i < kTranscendentalPasses; ++i) std::printf(" %" PRIu64, c.passes[i]);
  std::printf(" unresolved %" PRIu64 "\n", c.unresolved);
}

}  // namespace

int main(int argc, char** argv) {
  int directBits = 0;
  if (argc > 1 && std::sscanf(argv[1], "direct%d", &directBits) != 1) {
    std::fprintf(stderr, "usage: log_exp_probe [directBITS] < arguments\n");
    return 2;
  }
  char line[256];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    char kind = 0;
    unsigned negative = 0;
    std::uint64_t significand = 0;
    int exponent = 0;
    ExtReal result;
    if (std::sscanf(line, "L %" SCNx64 " %d", &significand, &exponent) == 2) {
      kind = 'L';
      result = directBits != 0
                   ? x87_software_testing::truncatedLog2Direct(directBits, significand, exponent)
                   : truncatedLog2(significand, exponent);
    } else if (std::sscanf(line, "E %u %" SCNx64 " %d", &negative, &significand, &exponent) ==
               3) {
      kind = 'E';
      result = directBits != 0 ? x87_software_testing::truncatedExp2m1Direct(
                                     directBits, negative != 0, significand, exponent)
                               : truncatedExp2m1(negative != 0, significand, exponent);
    }
    if (kind == 0) {
      std::fprintf(stderr, "unreadable line: %s", line);
      return 2;
    }
    std::printf("%04X:%016" PRIX64 "\n", result.signAndExponent(), result.significand());
  }
  printCounts("log2", log2Counts());
  printCounts("exp2m1", exp2m1Counts());
  return 0;
}
