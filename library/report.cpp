#include "library/report.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "numeral/exact.h"
#include "numeral/round_trip.h"
#include "numeric/fast_real.h"

namespace {

// Appends to a fixed buffer, cutting what does not fit. Counts every byte
// put, kept or cut. The NUL goes after the kept bytes once, in finish();
// the buffer holds "" until then.
class Sink {
 public:
  Sink(char* out, std::size_t size) : out_(out), size_(size) {
    if (size_ > 0) out_[0] = '\0';
  }

  void put(char c) {
    if (length_ + 1 < size_) out_[length_] = c;
    ++length_;
  }
  void put(const char* text) { put(text, std::strlen(text)); }
  // The count bytes at text, in one copy.
  void put(const char* text, std::size_t count) {
    if (length_ + count < size_) {
      std::memcpy(out_ + length_, text, count);
    } else if (length_ + 1 < size_) {
      std::memcpy(out_ + length_, text, size_ - 1 - length_);
    }
    length_ += count;
  }
  // Where the next count bytes go when all of them fit (with the NUL after
  // them), for a writer to fill in place and then hand to advance; null
  // when they do not fit.
  char* room(std::size_t count) { return length_ + count < size_ ? out_ + length_ : nullptr; }
  // Counts count bytes written at room(...).
  void advance(std::size_t count) { length_ += count; }
  // A number in decimal.
  void putDecimal(int value) {
    char digits[16];
    int at = sizeof digits;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
      digits[--at] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[--at] = '-';
    put(digits + at, sizeof digits - static_cast<std::size_t>(at));
  }
  void format(const char* pattern, ...) __attribute__((format(printf, 2, 3))) {
    char piece[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(piece, sizeof piece, pattern, args);
    va_end(args);
    put(piece);
  }
  // Ends the kept bytes with a NUL (when size is not 0) and returns the
  // length of everything put: more than size - 1 when some was cut.
  std::size_t finish() {
    if (size_ > 0) out_[length_ < size_ ? length_ : size_ - 1] = '\0';
    return length_;
  }

 private:
  char* out_;
  std::size_t size_;
  std::size_t length_ = 0;
};

// The numeral in double quotes, one line of printable ASCII.
void putQuoted(Sink* sink, const char* text, std::size_t length) {
  sink->put('"');
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
      sink->format("\\x%02X", c);
    } else {
      sink->put(static_cast<char>(c));
    }
  }
  sink->put('"');
}

// The length of the UTF-8 sequence at text (at most length bytes), or 0 when
// it is not a well-formed one (overlong forms, surrogates and code points
// above U+10FFFF included).
std::size_t utf8Sequence(const unsigned char* text, std::size_t length) {
  const unsigned char c = text[0];
  std::size_t n;
  std::uint32_t code;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    code = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    code = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    code = c & 0x07;
  } else {
    return 0;
  }
  if (length < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (text[i] & 0x3F);
  }
  if ((n == 3 && code < 0x800) || (n == 4 && code < 0x10000)) return 0;
  if (code >= 0xD800 && code <= 0xDFFF) return 0;
  if (code > 0x10FFFF) return 0;
  return n;
}

// A byte that stands for itself in a JSON string: printable ASCII but the
// quote and the backslash.
bool isPlainJsonByte(unsigned char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; }

// True when one of the eight bytes of word is not plain: below 0x20, 0x7F
// or above, '"' or '\\'. Each test sets the top bit of a byte that matches
// (and may set it in a byte above one that matches, which does not change
// the answer).
bool hasByteToEscape(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kTops = 0x8080808080808080ULL;
  const auto hasZero = [](std::uint64_t v) { return (v - kOnes) & ~v & kTops; };
  const std::uint64_t below = (word - 0x20 * kOnes) & ~word;         // below 0x20
  const std::uint64_t high = word | (word + (0x80 - 0x7F) * kOnes);  // 0x7F or above
  return ((below | high) & kTops) != 0 || hasZero(word ^ ('"' * kOnes)) != 0 ||
         hasZero(word ^ ('\\' * kOnes)) != 0;
}

void putJsonString(Sink* sink, const char* text, std::size_t length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  sink->put('"');
  for (std::size_t i = 0; i < length;) {
    // A run of bytes that stand for themselves, in one copy: eight at a
    // time while none of them needs escaping, then byte by byte.
    std::size_t end = i;
    for (std::uint64_t word; end + 8 <= length; end += 8) {
      std::memcpy(&word, p + end, 8);
      if (hasByteToEscape(word)) break;
    }
    // Fewer than eight bytes left: the string's last eight as one word,
    // which may overlap bytes already passed (then an escaped one among
    // them sends the rest byte by byte, as without the word).
    if (end < length && end + 8 > length && length >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p + length - 8, 8);
      if (!hasByteToEscape(word)) end = length;
    }
    while (end < length && isPlainJsonByte(p[end])) ++end;
    if (end != i) {
      sink->put(text + i, end - i);
      i = end;
      continue;
    }
    const unsigned char c = p[i];
    const std::size_t n = utf8Sequence(p + i, length - i);
    if (n == 0) {
      sink->put("\\ufffd");
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      sink->put('\\');
      sink->put(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7F) {
      sink->format("\\u%04x", c);
    } else {
      for (std::size_t k = 0; k < n; ++k) sink->put(static_cast<char>(p[i + k]));
    }
    i += n;
  }
  sink->put('"');
}

// A text the converter wrote (its digits, letters, '.', '+', '-', '_',
// "+INF", "ERROR"), as a JSON string: nothing in it needs escaping.
void putOwnText(Sink* sink, const char* text) {
  sink->put('"');
  sink->put(text);
  sink->put('"');
}

const char* className(StoredClass kind) {
  switch (kind) {
    case kStoredZero:
      return "zero";
    case kStoredSubnormal:
      return "subnormal";
    case kStoredNormal:
      return "normal";
    case kStoredUnnormal:
      return "unnormal";
    case kStoredInfinity:
      return "infinity";
    case kStoredNotANumber:
      return "nan";
  }
  return "";
}

bool isSuffixFault(NumeralFault fault) {
  return fault == kSuffixMissing || fault == kSuffixNotABase || fault == kSuffixAfterLetter ||
         fault == kSuffixSecondNotDecimal;
}

// The reason alone: the rule and its column, or the outcome's statement.
void putReason(Sink* sink, LineOutcome outcome, const LineDetails& details) {
  const char* numeral = details.numeral;
  const std::size_t length = details.numeralLength;
  const void* nul = numeral != nullptr ? std::memchr(numeral, '\0', length) : nullptr;
  const void* at = numeral != nullptr ? std::memchr(numeral, '@', length) : nullptr;
  if (outcome == kNotANumeral && numeral != nullptr) {
    char rule[256];
    describeDiagnosis(rule, sizeof rule, numeral, details.diagnosis);
    sink->put(rule);
  } else if (outcome == kNulByte && nul != nullptr) {
    sink->format("NUL byte inside the numeral at column %lu",
                 static_cast<unsigned long>(static_cast<const char*>(nul) - numeral) + 1);
  } else if (outcome == kNoValue && at != nullptr) {
    sink->format("the '@0' base suffix at column %lu names no number",
                 static_cast<unsigned long>(static_cast<const char*>(at) - numeral) + 1);
  } else {
    sink->put(describeOutcome(outcome));
  }
}

// Everything the reports say about the stored value but its exact
// expansion, which putExactValue writes in place.
// (The texts are made empty, not filled with zeros: together they are some
// 13 KB, more than a whole --json line costs to write.)
struct StoredFacts {
  StoredFacts() { image[0] = ulps[0] = roundTripText[0] = '\0'; }
  bool known = false;
  char image[24];  // 20 hex digits
  StoredClass kind = kStoredZero;
  bool exactKnown = false;  // the value is finite: it has an exact expansion
  char ulps[48];
  bool ulpsKnown = false;
  // What the plain text reads back to, and the round-trip text.
  bool readBackKnown = false;
  ExtReal readBack;
  RoundTripOutcome roundTrip = kRoundTripNone;
  char roundTripText[kRoundTripMaxLength + 1];
};

// The 80-bit image as 20 upper-case hex digits, sign and exponent first.
void writeImage(char* out, const ExtReal& v) {
  const std::uint64_t bits[2] = {v.signAndExponent(), v.significand()};
  const int widths[2] = {4, 16};
  for (int part = 0; part < 2; ++part) {
    for (int i = widths[part] - 1; i >= 0; --i) {
      *out++ = "0123456789ABCDEF"[(bits[part] >> (4 * i)) & 0xF];
    }
  }
  *out = '\0';
}

// needReadBack: what the text reads back to is needed even where it is
// surely not the value (the explanation shows it).
void gatherFacts(StoredFacts* facts, const char* text, const LineDetails& details,
                 const LineOptions& options, bool needReadBack) {
  if (!details.hasValue) return;
  const ExtReal& v = details.value;
  facts->known = true;
  writeImage(facts->image, v);
  facts->kind = classifyStored(v);
  if (facts->kind != kStoredInfinity && facts->kind != kStoredNotANumber) {
    facts->exactKnown = true;
    facts->ulpsKnown =
        formatUlpDistance(facts->ulps, sizeof facts->ulps, text, options.outputBase, v);
  }
  {
    X87TruncatingMode mode;
    facts->roundTrip = roundTripNumeral(facts->roundTripText, kMaxNumeralLength, FastReal(v),
                                        options.outputBase, details.scientific);
  }
  // Where the search went past the text's length, the text does not read
  // back (readBackKnown stays false).
  if (!needReadBack && details.scientific == 1 && facts->roundTrip == kRoundTripFound &&
      shorterThanRoundTrip(text, facts->roundTripText, options.outputBase)) {
    return;
  }
  facts->readBackKnown = readBack(text, options.outputBase, &facts->readBack);
}

// The exact expansion of value in base (formatExactValue's text), written
// straight into the sink where it has room for any; returns whether it is
// complete.
bool putExactValue(Sink* sink, const ExtReal& value, int base) {
  std::size_t length;
  bool complete;
  if (char* at = sink->room(kExactTextSize)) {
    complete = formatExactValue(at, value, base, &length);
    sink->advance(length);
  } else {
    char exact[kExactTextSize];
    complete = formatExactValue(exact, value, base, &length);
    sink->put(exact, length);
  }
  return complete;
}

bool sameImage(const ExtReal& a, const ExtReal& b) {
  return std::memcmp(a.bytes(), b.bytes(), ExtFormat::kBytes) == 0;
}

}  // namespace

std::size_t describeRejection(char* out, std::size_t size, LineOutcome outcome,
                              const LineDetails& details) {
  Sink sink(out, size);
  if (givesText(outcome)) return 0;
  if (details.numeral != nullptr && outcome != kEmptyNumeral) {
    putQuoted(&sink, details.numeral, details.numeralLength);
    if (outcome == kNotANumeral && !isSuffixFault(details.diagnosis.fault))
      sink.format(" is not a numeral in base %d", details.diagnosis.base);
    else if (outcome == kNotANumeral)
      sink.put(" is not a numeral");
    sink.put(": ");
  }
  putReason(&sink, outcome, details);
  return sink.finish();
}

const char* outcomeWord(LineOutcome outcome) {
  switch (outcome) {
    case kConverted:
      return "converted";
    case kOverflow:
      return "overflow";
    case kEmptyNumeral:
      return "empty";
    case kNumeralTooLong:
      return "too_long";
    case kNulByte:
      return "nul_byte";
    case kNotANumeral:
      return "rejected";
    case kNoValue:
      return "no_value";
  }
  return "";
}

std::size_t writeExplanation(char* out, std::size_t size, LineOutcome outcome, const char* text,
                             const LineDetails& details, const LineOptions& options) {
  Sink sink(out, size);
  StoredFacts facts;
  gatherFacts(&facts, text, details, options, true);

  sink.put("numeral:   ");
  if (details.numeral != nullptr)
    putQuoted(&sink, details.numeral, details.numeralLength);
  else
    sink.put("(not read)");
  sink.format("\nbases:     from %d to %d\n", details.base, options.outputBase);

  if (outcome == kOverflow) {
    sink.put("stored:    none; the numeral overflows (+INF/-INF)\n");
  } else if (outcome != kConverted) {
    sink.put("rejected:  ");
    putReason(&sink, outcome, details);
    sink.put('\n');
  } else if (!facts.known) {
    sink.put("stored:    none; the numeral overflows (+INF/-INF)\n");
  } else {
    const ExtReal& v = details.value;
    sink.format("stored:    %s: sign %d, biased exponent 0x%04X (%d), significand 0x%016" PRIX64
                ", %s\n",
                facts.image, v.signBit() ? 1 : 0, static_cast<unsigned>(v.biasedExponent()),
                v.biasedExponent(), v.significand(), className(facts.kind));
    if (facts.exactKnown) {
      sink.put("exact:     ");
      const bool complete = putExactValue(&sink, v, options.outputBase);
      sink.put('\n');
      if (!complete)
        sink.format("           (cut after %d significant digits; the expansion goes on)\n",
                    kExactDigitLimit);
    }
  }
  sink.put("text:      ");
  sink.put(text);
  if (details.scientific == 0) sink.put(" (standard notation)");
  if (details.scientific == 1) sink.put(" (scientific notation)");
  sink.put('\n');
  if (facts.ulpsKnown) {
    sink.format("distance:  %s%s ulp (text - stored, in units of 2^%d)\n",
                facts.ulps[0] == '-' || std::strcmp(facts.ulps, "0") == 0 ? "" : "+", facts.ulps,
                lastPlaceExponent(details.value));
  }
  if (facts.known) {
    if (facts.readBackKnown && sameImage(facts.readBack, details.value)) {
      sink.put("reads back: yes, the text is stored as the same 10 bytes\n");
    } else if (facts.readBackKnown) {
      sink.format("reads back: no, the text is stored as %04X%016" PRIX64 "\n",
                  static_cast<unsigned>(facts.readBack.signAndExponent()),
                  facts.readBack.significand());
    } else {
      sink.put("reads back: no, the text overflows\n");
    }
    sink.put("round trip: ");
    if (facts.roundTrip == kRoundTripFound) {
      sink.put(facts.roundTripText);
    } else {
      sink.format("none; no numeral in base %d%s reads back to the stored value",
                  options.outputBase,
                  facts.roundTrip == kRoundTripTooLong
                      ? " of at most " VELTRANE_STRINGIFY(VELTRANE_LINE_LIMIT) " bytes"
                      : "");
    }
    sink.put('\n');
  }
  sink.put('\n');
  return sink.finish();
}

std::size_t writeJsonLine(char* out, std::size_t size, LineOutcome outcome, const char* text,
                          const LineDetails& details, const LineOptions& options) {
  Sink sink(out, size);
  StoredFacts facts;
  gatherFacts(&facts, text, details, options, false);

  sink.put("{\"numeral\": ");
  if (details.numeral != nullptr)
    putJsonString(&sink, details.numeral, details.numeralLength);
  else
    sink.put("null");
  sink.put(", \"from\": ");
  sink.putDecimal(details.base);
  sink.put(", \"to\": ");
  sink.putDecimal(options.outputBase);
  sink.put(", \"text\": ");
  putOwnText(&sink, text);
  sink.put(", \"notation\": ");
  sink.put(details.scientific == 0   ? "\"standard\""
           : details.scientific == 1 ? "\"scientific\""
                                     : "null");
  sink.put(", \"outcome\": \"");
  sink.put(outcomeWord(outcome));
  sink.put("\", \"stored\": ");
  if (facts.known) {
    sink.put('"');
    sink.put(facts.image);
    sink.put("\", \"class\": \"");
    sink.put(className(facts.kind));
    sink.put('"');
  } else {
    sink.put("null, \"class\": null");
  }
  sink.put(", \"exact\": ");
  if (facts.exactKnown) {
    sink.put('"');
    const bool complete = putExactValue(&sink, details.value, options.outputBase);
    sink.put(complete ? "\", \"exact_complete\": true" : "\", \"exact_complete\": false");
  } else {
    sink.put("null, \"exact_complete\": null");
  }
  sink.put(", \"ulps\": ");
  sink.put(facts.ulpsKnown ? facts.ulps : "null");
  sink.put(", \"reads_back\": ");
  if (facts.known)
    sink.put(facts.readBackKnown && sameImage(facts.readBack, details.value) ? "true" : "false");
  else
    sink.put("null");
  sink.put(", \"round_trip\": ");
  if (facts.roundTrip == kRoundTripFound)
    putOwnText(&sink, facts.roundTripText);
  else
    sink.put("null");
  sink.put('}');
  return sink.finish();
}
