#include "cli/line_reader.h"

#include <cstring>

LineReader::LineReader(ReadFunction read, BeforeRead beforeRead, void* context)
    : read_(read), beforeRead_(beforeRead), context_(context) {}

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

LineReader::Result LineReader::next(const char** data, std::size_t* length) {
  std::size_t total = 0;  // bytes of this line seen so far
  char last = '\0';       // the last of them
  // The first line may begin with a byte order mark, which is kept and
  // dropped with the line's room to spare.
  const std::size_t capacity = kLineCapacity + (firstLine_ ? kMarkLength : 0);
  const bool first = firstLine_;
  firstLine_ = false;
  std::size_t skipped = 0;
  for (;;) {
    if (blockStart_ == blockEnd_) {
      if (atEnd_) break;
      if (beforeRead_ != nullptr) beforeRead_(context_);
      long count = read_(context_, block_, kBlockSize);
      if (count < 0) return kReadError;
      if (count == 0) {
        atEnd_ = true;
        break;
      }
      blockStart_ = 0;
      blockEnd_ = static_cast<std::size_t>(count);
    }
    const char* start = block_ + blockStart_;
    std::size_t available = blockEnd_ - blockStart_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
    std::size_t piece = lf != nullptr ? static_cast<std::size_t>(lf - start) : available;
    // A whole line inside the block is handed out where it lies: the block
    // is only refilled by a later call. The first line takes the copy, which
    // drops a byte order mark.
    if (!first && total == 0 && lf != nullptr && piece <= kLineCapacity) {
      blockStart_ += piece + 1;
      *data = start;
      *length = piece > 0 && start[piece - 1] == '\r' ? piece - 1 : piece;
      return kLine;
    }
    if (total < capacity) {
      std::size_t kept = capacity - total < piece ? capacity - total : piece;
      std::memcpy(line_ + total, start, kept);
    }
    if (piece > 0) last = start[piece - 1];
    total += piece;
    if (lf != nullptr) {
      blockStart_ += piece + 1;
      if (first) skipped = markLength(total);
      total -= skipped;
      if (last == '\r' && total > 0) --total;
      *data = line_ + skipped;
      *length = total;
      return kLine;
    }
    blockStart_ = blockEnd_;
  }
  // End of input: what follows the last LF is a line only if it is not empty.
  if (first) skipped = markLength(total);
  total -= skipped;
  if (total == 0) return kEnd;
  if (last == '\r') --total;
  *data = line_ + skipped;
  *length = total;
  return kLine;
}

std::size_t LineReader::markLength(std::size_t total) const {
  if (total < kMarkLength || std::memcmp(line_, kByteOrderMark, kMarkLength) != 0) return 0;
  return kMarkLength;
}
