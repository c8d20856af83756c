// Why parseNumeral rejects a text, and where: the same grammar as the parser
// (see parse.h), walked again to name the first rule the text breaks.
#ifndef VELTRANE_NUMERAL_DIAGNOSE_H
#define VELTRANE_NUMERAL_DIAGNOSE_H

#include <cstddef>

// The rules of the grammar, each as the fault of breaking it.
enum NumeralFault {
  kNoFault = 0,             // parseNumeral accepts the text
  kEmptyText,               // no character at all
  kSuffixMissing,           // an '@' with nothing after it
  kSuffixNotABase,          // the character after '@' is not a digit character
  kSuffixAfterLetter,       // a character after a letter base ('12@G6')
  kSuffixSecondNotDecimal,  // a one-digit decimal base followed by a non-decimal ('12@1x')
  kDigitTooLarge,           // a digit character whose value is not below the base
  kNotADigitCharacter,      // a character that is no digit character where the numeral must end
  kSignNotFirst,            // '+' or '-' where the numeral must end ('1-2', '--5')
  kExponentSignOrder,       // a sign after an exponent's signs ('1e+-5', '1e--5')
  kPointWithoutDigit,       // a point not followed by a digit below the base ('5.', '.')
  kSecondPoint,             // a point after the fraction ('1.2.3')
  kPointInExponent,         // a point after the exponent ('1e5.5')
  kSecondExponent,          // an exponent marker after an exponent ('1e5e5', '1_2_3')
  kExponentWithoutDigit,    // a marker (and its signs) not followed by a digit below the base
};

struct NumeralDiagnosis {
  NumeralFault fault = kNoFault;
  // 0-based offset into the text of the character the rule is about: the
  // offending character, or for kPointWithoutDigit, kExponentWithoutDigit and
  // kSuffixMissing the point, the marker or the '@' that lacks its digit. 0
  // for kEmptyText and kNoFault.
  std::size_t offset = 0;
  // The base the digits were read in: the suffix's when the suffix is valid,
  // the given base otherwise (a faulty suffix is reported before any digit).
  int base = 0;
  // True when the text has an '@' suffix that parseNumeral reads without fault.
  bool suffixBase = false;
};

// Diagnoses the NUL-terminated text in the given base (the caller's base on
// entry to parseNumeral). The fault is kNoFault exactly when parseNumeral
// accepts the text, and otherwise names the place where parseNumeral stops:
// the suffix is checked first, then the numeral part from its start. Reads
// the text only; writes nothing but the result.
NumeralDiagnosis diagnoseNumeral(const char* text, int base);

// Writes one line without line end into out (size bytes, NUL-terminated,
// truncated if need be) stating the rule and its 1-based column, e.g.
// "'G' at column 3 is not a digit below 16". Columns count bytes; they are
// also characters for UTF-8 text, because the first fault is never after a
// non-ASCII byte. A character outside printable ASCII is written as 0xNN.
// Writes "" for kNoFault.
void describeDiagnosis(char* out, std::size_t size, const char* text,
                       const NumeralDiagnosis& diagnosis);

#endif
