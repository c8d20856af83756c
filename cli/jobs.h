// --jobs: standard input converted by several threads, the output written in
// the order of the input, byte for byte what one thread writes.
#ifndef VELTRANE_CLI_JOBS_H
#define VELTRANE_CLI_JOBS_H

#include <cstddef>

#include "cli/options.h"

// How a parallel run ended.
struct ParallelOutcome {
  bool allConverted = true;  // no line was rejected
  bool readError = false;    // a read failed, with errno value error
  int error = 0;
  unsigned long lines = 0;  // the lines read and converted
};

// Reads the whole input through read (which returns the bytes read, 0 at
// the end, or a negative number with errno set) and converts its lines as
// LineReader splits them, with `threads` threads in all, the calling one
// among them. Writes each line's output to stdout and the messages (each
// "veltrane-cli: line N: ...") to stderr with fwrite, in input order, as
// they are done. Before a read for which inputWouldWait() is true, every
// complete line read so far is converted and written and both streams are
// flushed, so an interactive writer sees each answer before it types on.
// After a read error, the complete lines before it are converted and
// written; the partial line is lost. Reading stops early once stdout has
// its error flag set.
//
// The calling thread reads and writes; the input goes out in chunks of
// whole lines, which the threads split and convert. At most a fixed number
// of chunks are out at a time and a line too long to be a numeral is not
// kept whole, so memory stays bounded however long the input and its lines.
// threads >= 2. Throws std::system_error when a thread cannot be started,
// before anything is read.
ParallelOutcome convertInParallel(const CliOptions& options, int threads,
                                  long (*read)(void* context, char* buffer, std::size_t size),
                                  bool (*inputWouldWait)());

#endif
