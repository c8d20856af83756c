#include "module.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Room for batches of several thousand numerals and their texts (10 -> 2
// texts are about 70 bytes): fewer calls from JavaScript, and the texts of
// a batch, one JavaScript string, mostly above 128 KiB, which V8 keeps
// among its large objects and moves by the page rather than copying.
constexpr std::size_t kInputSize = 256 * 1024;
// What veltrane_js_convert_lines returns when its lines do not hold as many
// LF bytes as numerals less one.
constexpr int kLineFeedsMiscounted = -3;
constexpr std::size_t kOutputSize = 512 * 1024;
static_assert(kInputSize > VELTRANE_MAX_NUMERAL_LENGTH, "a too-long numeral must fit, to say so");
static_assert(kOutputSize >= VELTRANE_REPORT_SIZE, "every single result must fit");

char input[kInputSize];
char output[kOutputSize];
veltrane_details details;
std::size_t sizeSlot;
int intSlot;

const int detailsLayout[] = {
    offsetof(veltrane_details, outcome),      offsetof(veltrane_details, sign),
    offsetof(veltrane_details, notation),     offsetof(veltrane_details, base),
    offsetof(veltrane_details, has_value),    offsetof(veltrane_details, stored),
    offsetof(veltrane_details, stored_class), offsetof(veltrane_details, rule),
    offsetof(veltrane_details, column),       offsetof(veltrane_details, round_trip),
};

// The bases and the digits, as the library itself reads and writes them:
// the bases are the decimal numbers the base reading takes, and digit d is
// the text of the decimal numeral d in the greatest base. Each found on the
// first call that asks (the digits cost conversions in that base, which a
// page showing its first result need not wait for).
struct Bases {
  int least = 0;
  int greatest = 0;
};

const Bases& bases() {
  static const Bases found = [] {
    Bases b;
    for (int n = 0; n < 100; ++n) {
      char text[4];
      const int length = std::snprintf(text, sizeof text, "%d", n);
      int base = 0;
      if (veltrane_read_base(text, static_cast<std::size_t>(length), &base) == 1) {
        if (b.least == 0) b.least = base;
        b.greatest = base;
      }
    }
    return b;
  }();
  return found;
}

const char* digits() {
  static char found[64] = "";
  if (found[0] != '\0') return found;
  const int greatest = bases().greatest;
  for (int d = 0; d < greatest && d < static_cast<int>(sizeof found) - 1; ++d) {
    char numeral[4];
    char digit[VELTRANE_TEXT_SIZE];
    const int length = std::snprintf(numeral, sizeof numeral, "%d", d);
    if (veltrane_convert(numeral, static_cast<std::size_t>(length), 10, greatest, 0, digit,
                         sizeof digit) != VELTRANE_CONVERTED ||
        std::strlen(digit) != 1) {
      found[0] = '\0';
      break;
    }
    found[d] = digit[0];
    found[d + 1] = '\0';
  }
  return found;
}

// The first LF from `from` on, or `end`: 8 bytes a step while 8 remain
// (numerals are some 10 to 30 bytes), then byte by byte. In a word the
// lowest flagged byte is the first LF (a flag above it may be false, from
// the borrow), and WebAssembly is little-endian: its offset is the count of
// trailing zero bits over 8.
const char* lineEnd(const char* from, const char* end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  for (; end - from >= 8; from += 8) {
    std::uint64_t word;
    std::memcpy(&word, from, 8);
    const std::uint64_t feeds = word ^ ('\n' * kOnes);
    const std::uint64_t flags = (feeds - kOnes) & ~feeds & (0x80 * kOnes);
    if (flags != 0) return from + (__builtin_ctzll(flags) >> 3);
  }
  while (from != end && *from != '\n') ++from;
  return from;
}

}  // namespace

extern "C" {

char* veltrane_js_input() { return input; }
size_t veltrane_js_input_size() { return sizeof input; }
char* veltrane_js_output() { return output; }
size_t veltrane_js_output_size() { return sizeof output; }
veltrane_details* veltrane_js_details() { return &details; }
const int* veltrane_js_details_layout() { return detailsLayout; }
size_t* veltrane_js_size() { return &sizeSlot; }
int* veltrane_js_int() { return &intSlot; }
const char* veltrane_js_digits() { return digits(); }
int veltrane_js_min_base() { return bases().least; }
int veltrane_js_max_base() { return bases().greatest; }
size_t veltrane_js_max_numeral_length() { return VELTRANE_MAX_NUMERAL_LENGTH; }

int veltrane_js_convert_lines(const char* lines, size_t length, int count, int from_base,
                              int to_base, unsigned flags, char* texts, size_t texts_size,
                              size_t* texts_length) {
  *texts_length = 0;
  if (count < 1) return kLineFeedsMiscounted;
  const char* const end = lines + length;
  // Room that any one text needs, its line end included.
  const std::size_t room = (flags & VELTRANE_ROUND_TRIP) != 0 ? VELTRANE_ROUND_TRIP_TEXT_SIZE + 1
                                                              : VELTRANE_TEXT_SIZE + 1;
  std::size_t used = 0;
  const char* numeral = lines;
  int done = 0;
  // One pass: each numeral ends at the next LF, and the last at the end.
  // Numerals are short, so a word loop of our own finds their ends, quicker
  // in WebAssembly than the C library's memchr, which first aligns to whole
  // words; each text's length comes with it from the formatter.
  while (done < count && texts_size - used >= room) {
    const char* const feed = lineEnd(numeral, end);
    if ((feed == end) != (done == count - 1)) return kLineFeedsMiscounted;
    char* const text = texts + used;
    std::size_t length;
    const int outcome =
        veltrane_convert_measured(numeral, static_cast<std::size_t>(feed - numeral), from_base,
                                  to_base, flags, text, room - 1, &length);
    if (outcome == VELTRANE_BAD_BASE) return outcome;
    if (outcome == VELTRANE_CONVERTED || outcome == VELTRANE_OVERFLOW) used += length;
    texts[used++] = '\n';
    numeral = feed + 1;
    ++done;
  }
  // Stopped early: the numerals not converted must still hold no LF of
  // their own, or those converted were split wrongly.
  if (done < count) {
    int feeds = 0;
    for (const char* at = numeral;
         (at = static_cast<const char*>(std::memchr(at, '\n', end - at))) != nullptr; ++at) {
      ++feeds;
    }
    if (feeds != count - done - 1) return kLineFeedsMiscounted;
  }
  *texts_length = used;
  return done;
}

}  // extern "C"
