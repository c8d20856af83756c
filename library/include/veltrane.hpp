// libveltrane for C++: value types over the C interface of veltrane.h, which
// holds the contracts (every call converts as veltrane-cli does). Header
// only: nothing of the C++ standard library crosses the shared library's
// boundary, so a program may use another compiler or standard library than
// the one the library was built with.
//
//   veltrane::Result r = veltrane::convert("255", {10, 16});
//   // r.outcome == veltrane::Outcome::converted, r.text == "FF"
//
// No call throws for a numeral's fault, and none keeps state between calls:
// any thread may call any of them. Only std::string's own allocation may
// throw (std::bad_alloc).
#ifndef VELTRANE_HPP
#define VELTRANE_HPP

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "veltrane.h"

namespace veltrane {

// What a numeral gave. The two overflows are apart; the text of every
// outcome from rejected on is "ERROR".
enum class Outcome {
  converted,      // a value, written in the output base
  overflow_plus,  // "+INF"
  overflow_minus, // "-INF"
  rejected,       // breaks a rule of the grammar (Result::rule, Result::column)
  empty,          // nothing but blanks
  too_long,       // longer than max_numeral_length bytes
  nul_byte,       // a NUL byte inside the numeral (Result::column)
  no_value,       // accepted, but names no number: an '@0' suffix (Result::column)
  bad_base,       // a base outside 2..36; nothing was read
};

enum class Notation { standard = 0, scientific = 1 };

enum class StoredClass {
  zero = VELTRANE_CLASS_ZERO,
  subnormal = VELTRANE_CLASS_SUBNORMAL,
  normal = VELTRANE_CLASS_NORMAL,
  unnormal = VELTRANE_CLASS_UNNORMAL,
  infinity = VELTRANE_CLASS_INFINITY,
  nan = VELTRANE_CLASS_NAN,
};

// The rules of the grammar (the values of VELTRANE_RULE_*).
enum class Rule {
  none = VELTRANE_RULE_NONE,
  empty_text = VELTRANE_RULE_EMPTY_TEXT,
  suffix_missing = VELTRANE_RULE_SUFFIX_MISSING,
  suffix_not_a_base = VELTRANE_RULE_SUFFIX_NOT_A_BASE,
  suffix_after_letter = VELTRANE_RULE_SUFFIX_AFTER_LETTER,
  suffix_second_not_decimal = VELTRANE_RULE_SUFFIX_SECOND_NOT_DECIMAL,
  digit_too_large = VELTRANE_RULE_DIGIT_TOO_LARGE,
  not_a_digit = VELTRANE_RULE_NOT_A_DIGIT,
  sign_not_first = VELTRANE_RULE_SIGN_NOT_FIRST,
  exponent_sign_order = VELTRANE_RULE_EXPONENT_SIGN_ORDER,
  point_without_digit = VELTRANE_RULE_POINT_WITHOUT_DIGIT,
  second_point = VELTRANE_RULE_SECOND_POINT,
  point_in_exponent = VELTRANE_RULE_POINT_IN_EXPONENT,
  second_exponent = VELTRANE_RULE_SECOND_EXPONENT,
  exponent_without_digit = VELTRANE_RULE_EXPONENT_WITHOUT_DIGIT,
};

// The 10 bytes of an 80-bit image in memory order (little-endian).
using Stored = std::array<unsigned char, VELTRANE_STORED_SIZE>;

constexpr std::size_t max_numeral_length = VELTRANE_MAX_NUMERAL_LENGTH;

struct Options {
  int from_base = 10;       // 2..36; a numeral's '@' suffix overrides it for that numeral
  int to_base = 16;         // 2..36
  bool scientific = false;  // ask for scientific notation
  bool round_trip = false;  // the round-trip text in place of the plain one, where one exists
};

// One conversion.
struct Result {
  Outcome outcome = Outcome::bad_base;
  std::string text;                   // what veltrane-cli prints: digits, "+INF", "-INF", "ERROR"
  std::optional<Notation> notation;   // of the text; none for ERROR, +INF, -INF
  int base = 0;                       // the base the numeral was read in
  std::optional<Stored> stored;       // the value the text was written from
  std::optional<StoredClass> stored_class;
  bool round_trip_text = false;       // with Options::round_trip: text is the round-trip text
  Rule rule = Rule::none;             // for Outcome::rejected
  std::size_t column = 0;             // 1-based column of the fault in the trimmed numeral; 0: none
  std::string message;                // what veltrane-cli says on standard error; "" if nothing

  // True when the numeral gave a text other than "ERROR".
  bool has_text() const {
    return outcome == Outcome::converted || outcome == Outcome::overflow_plus ||
           outcome == Outcome::overflow_minus;
  }
};

// A conversion and the exact facts about its stored value: what --json says.
struct Facts : Result {
  std::optional<std::string> exact;  // the exact value in the output base
  bool exact_complete = false;       // every non-zero digit of it is written
  std::optional<std::string> ulps;   // (text - stored) in units of the last place, as in --json
  std::optional<bool> reads_back;    // the plain text is read back as the same 10 bytes
  std::optional<std::string> round_trip;  // the round-trip text, where one exists
  std::string json;                  // the --json line, without its line end
};

// Both parse() and format() give one of these.
struct Parsed {
  Outcome outcome = Outcome::bad_base;  // converted, overflow_* (stored is that infinity), or a fault
  Stored stored{};
};

struct Formatted {
  Outcome outcome = Outcome::bad_base;  // converted, overflow_* (an infinity), no_value (a NaN)
  std::string text;
  std::optional<Notation> notation;
};

inline const char* version() { return veltrane_version(); }

namespace detail {

inline unsigned flagsOf(const Options& options) {
  return (options.scientific ? VELTRANE_SCIENTIFIC : 0u) |
         (options.round_trip ? VELTRANE_ROUND_TRIP : 0u);
}

inline Outcome outcomeOf(int code, int sign) {
  switch (code) {
    case VELTRANE_CONVERTED:
      return Outcome::converted;
    case VELTRANE_OVERFLOW:
      return sign < 0 ? Outcome::overflow_minus : Outcome::overflow_plus;
    case VELTRANE_REJECTED:
      return Outcome::rejected;
    case VELTRANE_EMPTY:
      return Outcome::empty;
    case VELTRANE_TOO_LONG:
      return Outcome::too_long;
    case VELTRANE_NUL_BYTE:
      return Outcome::nul_byte;
    case VELTRANE_NO_VALUE:
      return Outcome::no_value;
    default:
      return Outcome::bad_base;
  }
}

inline std::optional<Notation> notationOf(int notation) {
  if (notation < 0) return std::nullopt;
  return notation == 0 ? Notation::standard : Notation::scientific;
}

// Calls write(buffer, size) with a buffer of the given size, and grows it
// while the call reports VELTRANE_BUFFER_TOO_SMALL.
template <class Write>
int writeString(std::string* out, std::size_t size, Write write) {
  for (;;) {
    out->assign(size, '\0');
    const int code = write(&(*out)[0], out->size());
    if (code != VELTRANE_BUFFER_TOO_SMALL || size >= (std::size_t{1} << 24)) {
      out->resize(code == VELTRANE_BUFFER_TOO_SMALL ? 0 : std::char_traits<char>::length(out->c_str()));
      return code;
    }
    size *= 2;
  }
}

}  // namespace detail

// Converts numeral as veltrane-cli does with options.
inline Result convert(std::string_view numeral, const Options& options = {}) {
  Result result;
  veltrane_details details{};
  const unsigned flags = detail::flagsOf(options);
  const std::size_t size =
      options.round_trip ? VELTRANE_ROUND_TRIP_TEXT_SIZE : VELTRANE_TEXT_SIZE;
  const int code = detail::writeString(&result.text, size, [&](char* buffer, std::size_t n) {
    return veltrane_convert_details(numeral.data(), numeral.size(), options.from_base,
                                    options.to_base, flags, buffer, n, &details);
  });
  if (code == VELTRANE_BAD_BASE) {
    result.outcome = Outcome::bad_base;
    return result;
  }
  result.outcome = detail::outcomeOf(details.outcome, details.sign);
  result.notation = detail::notationOf(details.notation);
  result.base = details.base;
  if (details.has_value) {
    Stored stored;
    for (std::size_t i = 0; i < stored.size(); ++i) stored[i] = details.stored[i];
    result.stored = stored;
    result.stored_class = static_cast<StoredClass>(details.stored_class);
  }
  result.round_trip_text = details.round_trip != 0;
  result.rule = static_cast<Rule>(details.rule);
  result.column = details.column;
  detail::writeString(&result.message, 512, [&](char* buffer, std::size_t n) {
    return veltrane_message(numeral.data(), numeral.size(), options.from_base, options.to_base,
                            flags, buffer, n);
  });
  return result;
}

// The --json line of numeral with options, without its line end.
inline std::string json(std::string_view numeral, const Options& options = {}) {
  std::string out;
  detail::writeString(&out, 4096, [&](char* buffer, std::size_t n) {
    return veltrane_json(numeral.data(), numeral.size(), options.from_base, options.to_base,
                         detail::flagsOf(options), buffer, n);
  });
  return out;
}

// The --explain block of numeral with options.
inline std::string explanation(std::string_view numeral, const Options& options = {}) {
  std::string out;
  detail::writeString(&out, 4096, [&](char* buffer, std::size_t n) {
    return veltrane_explain(numeral.data(), numeral.size(), options.from_base, options.to_base,
                            detail::flagsOf(options), buffer, n);
  });
  return out;
}

// Reads numeral in base and gives the value it stores.
inline Parsed parse(std::string_view numeral, int base) {
  Parsed parsed;
  const int code = veltrane_parse(numeral.data(), numeral.size(), base, parsed.stored.data());
  int sign = 0;
  if (code == VELTRANE_OVERFLOW) sign = (parsed.stored[9] & 0x80) != 0 ? -1 : 1;
  parsed.outcome = detail::outcomeOf(code, sign);
  return parsed;
}

// Writes a stored value in base, as the converter writes a parsed value.
inline Formatted format(const Stored& stored, int base, bool scientific = false,
                        bool round_trip = false) {
  Formatted formatted;
  int notation = -1;
  const unsigned flags =
      (scientific ? VELTRANE_SCIENTIFIC : 0u) | (round_trip ? VELTRANE_ROUND_TRIP : 0u);
  const int code = detail::writeString(
      &formatted.text, round_trip ? VELTRANE_ROUND_TRIP_TEXT_SIZE : VELTRANE_TEXT_SIZE,
      [&](char* buffer, std::size_t n) {
        return veltrane_format(stored.data(), base, flags, buffer, n, &notation);
      });
  formatted.outcome = detail::outcomeOf(code, (stored[9] & 0x80) != 0 ? -1 : 1);
  formatted.notation = detail::notationOf(notation);
  return formatted;
}

// The exact value of a finite stored value in base; none for an infinity or
// a NaN. *complete (when given) tells whether every non-zero digit is there.
inline std::optional<std::string> exact(const Stored& stored, int base,
                                        bool* complete = nullptr) {
  std::string out;
  int whole = 0;
  const int code = detail::writeString(&out, 1200, [&](char* buffer, std::size_t n) {
    return veltrane_exact(stored.data(), base, buffer, n, &whole);
  });
  if (code != VELTRANE_CONVERTED) return std::nullopt;
  if (complete != nullptr) *complete = whole != 0;
  return out;
}

// The distance of text from a finite stored value in units of its last
// place, as --json gives it; none when text is no output numeral of base or
// the value is not finite.
inline std::optional<std::string> ulps(std::string_view text, int base, const Stored& stored) {
  std::string out;
  const int code = detail::writeString(&out, 48, [&](char* buffer, std::size_t n) {
    return veltrane_ulps(text.data(), text.size(), base, stored.data(), buffer, n);
  });
  if (code != VELTRANE_CONVERTED) return std::nullopt;
  return out;
}

// Converts numeral and adds the facts --json gives about its stored value.
inline Facts facts(std::string_view numeral, const Options& options = {}) {
  Facts facts;
  static_cast<Result&>(facts) = convert(numeral, options);
  facts.json = json(numeral, options);
  if (!facts.stored) return facts;
  const Stored& stored = *facts.stored;
  const int to = options.to_base;
  facts.exact = exact(stored, to, &facts.exact_complete);
  // The plain text, whichever text the options asked for.
  Options plain = options;
  plain.round_trip = false;
  const std::string text = options.round_trip ? convert(numeral, plain).text : facts.text;
  facts.ulps = ulps(text, to, stored);
  const Parsed back = parse(text, to);
  facts.reads_back = back.outcome == Outcome::converted && back.stored == stored;
  const Formatted round = format(stored, to, facts.notation == Notation::scientific, true);
  if (round.outcome == Outcome::converted && parse(round.text, to).stored == stored)
    facts.round_trip = round.text;
  return facts;
}

inline const char* name(Outcome outcome) {
  switch (outcome) {
    case Outcome::converted:
      return "converted";
    case Outcome::overflow_plus:
    case Outcome::overflow_minus:
      return "overflow";
    case Outcome::rejected:
      return "rejected";
    case Outcome::empty:
      return "empty";
    case Outcome::too_long:
      return "too_long";
    case Outcome::nul_byte:
      return "nul_byte";
    case Outcome::no_value:
      return "no_value";
    case Outcome::bad_base:
      return "bad_base";
  }
  return "";
}
inline const char* name(Rule rule) { return veltrane_rule_name(static_cast<int>(rule)); }
inline const char* name(StoredClass kind) { return veltrane_class_name(static_cast<int>(kind)); }

}  // namespace veltrane

#endif
