// Splits a byte stream into numeral lines, in constant memory.
#ifndef VELTRANE_CLI_LINE_READER_H
#define VELTRANE_CLI_LINE_READER_H

#include <cstddef>

#include "veltrane.h"

// A line ends at LF or at the end of input; a CR right before either is part
// of the line end, not of the line. Input that ends with LF has no further,
// empty line. Lines may hold any bytes, NUL included. A UTF-8 byte order
// mark (EF BB BF) at the very start of the input is not part of any line;
// input that holds nothing else has no line.
//
// Input is read in large blocks through a callback. beforeRead runs right
// before every read, which is the only place the reader may block: a caller
// that buffers its output flushes it there, so the reader works both on a
// pipe fed line by line and on a file of any size.
class LineReader {
 public:
  // Reads up to size bytes into buffer. Returns the number read (at least 1),
  // 0 at the end of input, or a negative number on error.
  using ReadFunction = long (*)(void* context, char* buffer, std::size_t size);
  using BeforeRead = void (*)(void* context);

  enum Result { kLine, kEnd, kReadError };

  // context is passed to both callbacks; beforeRead may be null.
  LineReader(ReadFunction read, BeforeRead beforeRead, void* context);

  // kLine: *length is the line's full length in bytes, and *data holds its
  // first min(*length, VELTRANE_MAX_NUMERAL_LENGTH + 1) bytes, valid until the next
  // call. The bytes of a longer line are consumed and counted but not kept.
  // kEnd: no more lines. kReadError: the read callback failed; the partial
  // line is lost.
  Result next(const char** data, std::size_t* length);

 private:
  static constexpr std::size_t kBlockSize = 1 << 16;
  // One byte more than the longest numeral, for a CR whose LF has not been
  // seen yet.
  static constexpr std::size_t kLineCapacity = VELTRANE_MAX_NUMERAL_LENGTH + 1;
  // The first line also keeps a byte order mark in front.
  static constexpr std::size_t kMarkLength = 3;

  // kMarkLength when the first total bytes of line_ begin with a byte order
  // mark, else 0.
  std::size_t markLength(std::size_t total) const;

  ReadFunction read_;
  BeforeRead beforeRead_;
  void* context_;
  std::size_t blockStart_ = 0;
  std::size_t blockEnd_ = 0;
  bool atEnd_ = false;
  bool firstLine_ = true;
  char block_[kBlockSize];
  char line_[kLineCapacity + kMarkLength];
};

#endif
