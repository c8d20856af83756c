#include "library/convert_line.h"

#include <cstdint>
#include <cstring>

#include "numeral/digits.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/fast_real.h"

namespace {

// What copyNumeral saw in the bytes it copied.
struct CopiedNumeral {
  bool hasNul;
  std::size_t firstAt;  // the offset of the first '@', or n when there is none
};

// Copies n bytes (1 to kMaxNumeralLength) from a text of exactly n readable
// bytes, and tells whether one of them was NUL and where the first '@' is.
// Numerals are short: 8-byte moves (the last one overlapping the one
// before) cost less than a library copy and searches, and read and write
// only the n bytes. Few numerals have an '@': only for those is it looked
// for again, byte by byte.
__attribute__((always_inline)) inline CopiedNumeral copyNumeral(char* to, const char* from,
                                                                std::size_t n) {
  // Some byte of v is 0 exactly when (v - 0x01..) & ~v has a top bit set;
  // some byte is '@' when that holds for v ^ 0x40.. .
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  bool hasAt = false;
  CopiedNumeral seen{false, n};
  if (n >= 8) {
    std::uint64_t nul = 0;
    std::uint64_t atSign = 0;
    for (std::size_t i = 0;; i += 8) {
      const std::size_t at = i + 8 < n ? i : n - 8;
      std::uint64_t word;
      std::memcpy(&word, from + at, 8);
      std::memcpy(to + at, &word, 8);
      nul |= (word - kOnes) & ~word;
      const std::uint64_t flipped = word ^ ('@' * kOnes);
      atSign |= (flipped - kOnes) & ~flipped;
      if (at == n - 8) break;
    }
    seen.hasNul = (nul & (0x80 * kOnes)) != 0;
    hasAt = (atSign & (0x80 * kOnes)) != 0;
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      to[i] = from[i];
      seen.hasNul = seen.hasNul || from[i] == '\0';
      hasAt = hasAt || from[i] == '@';
    }
  }
  if (hasAt)
    seen.firstAt = static_cast<std::size_t>(static_cast<const char*>(std::memchr(to, '@', n)) - to);
  return seen;
}

// Writes "ERROR"; returns its length.
std::size_t writeError(char* out) {
  std::memcpy(out, "ERROR", 6);
  return 5;
}

// The reading half, with the details written only when kDetails: a caller
// that only wants the text pays neither for the bookkeeping nor for the
// stored image, and diagnoseNumeral never runs for it.
template <bool kDetails>
__attribute__((always_inline)) inline LineOutcome readLineIn(const char* line, std::size_t length,
                                                             int inputBase, FastReal* value,
                                                             int* base, int* overflowSign,
                                                             LineDetails* details) {
  *base = inputBase;
  if constexpr (kDetails) {
    details->base = inputBase;
    details->parserBase = inputBase;
  }
  if (length > kMaxNumeralLength) return kNumeralTooLong;
  // The numeral without its surrounding blanks (0x20), located in the
  // caller's line.
  std::size_t start = 0;
  std::size_t end = length;
  while (start < end && line[start] == ' ') ++start;
  while (end > start && line[end - 1] == ' ') --end;
  if constexpr (kDetails) {
    details->numeral = line + start;
    details->numeralLength = end - start;
  }
  // A NUL byte is not a blank, so any NUL of the line lies in the copy.
  const std::size_t numeralLength = end - start;
  char text[kMaxNumeralLength + 1];
  // The parser reads NUL-terminated text: a NUL inside the line would cut the
  // numeral short and convert only what comes before it.
  if (numeralLength == 0) return kEmptyNumeral;
  const CopiedNumeral copied = copyNumeral(text, line + start, numeralLength);
  if (copied.hasNul) return kNulByte;
  text[numeralLength] = '\0';

  const ParseVerdict verdict = parseNumeralWithSuffixAt(
      value, text, numeralLength, copied.firstAt < numeralLength ? text + copied.firstAt : nullptr,
      base);
  if (verdict == kParseRejected) {
    if constexpr (kDetails) {
      details->parserBase = *base;
      details->diagnosis = diagnoseNumeral(text, inputBase);
      details->base = details->diagnosis.base;
    }
    return kNotANumeral;
  }
  if constexpr (kDetails) {
    details->parserBase = *base;
    details->base = *base;
  }
  if (verdict != kParseValue) {
    *overflowSign = verdict == kParsePlusOverflow ? 1 : -1;
    if constexpr (kDetails) details->overflowSign = *overflowSign;
    return kOverflow;
  }
  // The parser accepts an empty numeral part in base 0 ('@0'), whose value
  // (0 times 0^0) is not a number. A finite mantissa times a power of a
  // base from 2 up is a number, so the value is looked at only below.
  if (*base < 2 && isNotANumber(value->toExtReal())) return kNoValue;
  return kConverted;
}

template <bool kDetails>
LineOutcome convertLineIn(const char* line, std::size_t length, const LineOptions& options,
                          char* out, LineDetails* details, std::size_t* textLength) {
  if constexpr (kDetails) *details = LineDetails();
  // The register-resident arithmetic: the same bits as the dialog's, faster.
  X87TruncatingMode mode;
  FastReal value;
  int base;
  int overflowSign = 0;
  const LineOutcome outcome =
      readLineIn<kDetails>(line, length, options.inputBase, &value, &base, &overflowSign, details);
  if (outcome == kOverflow) {
    std::memcpy(out, overflowSign > 0 ? "+INF" : "-INF", 5);
    *textLength = 4;
    return outcome;
  }
  if (outcome != kConverted) {
    *textLength = writeError(out);
    return outcome;
  }
  // Each numeral starts from the chosen notation: an automatic switch to
  // scientific notation applies to its own numeral.
  int scientific = options.scientific;
  *textLength =
      static_cast<std::size_t>(formatNumeral(out, value, options.outputBase, &scientific));
  if constexpr (kDetails) {
    details->hasValue = true;
    details->value = value.toExtReal();
    details->scientific = scientific;
  }
  return kConverted;
}

}  // namespace

LineOutcome readLine(const char* line, std::size_t length, int inputBase, FastReal* value,
                     int* base, int* overflowSign) {
  return readLineIn<false>(line, length, inputBase, value, base, overflowSign, nullptr);
}

LineOutcome convertLine(const char* line, std::size_t length, const LineOptions& options, char* out,
                        LineDetails* details, std::size_t* textLength) {
  std::size_t measured;
  if (textLength == nullptr) textLength = &measured;
  if (details != nullptr)
    return convertLineIn<true>(line, length, options, out, details, textLength);
  return convertLineIn<false>(line, length, options, out, nullptr, textLength);
}

const char* describeOutcome(LineOutcome outcome) {
  switch (outcome) {
    case kConverted:
    case kOverflow:
      return "";
    case kEmptyNumeral:
      return "empty numeral";
    case kNumeralTooLong:
      return "numeral longer than " VELTRANE_STRINGIFY(VELTRANE_LINE_LIMIT) " bytes";
    case kNulByte:
      return "NUL byte inside the numeral";
    case kNoValue:
      return "an '@0' base suffix names no number";
    case kNotANumeral:
      return "digits can't be larger than base-1; for bases other than 10 use '_' instead of 'e'";
  }
  return "";
}
