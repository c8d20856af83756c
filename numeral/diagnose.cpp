#include "numeral/diagnose.h"

#include <cstdio>

#include "numeral/parse.h"

namespace {

// The limit that admits every digit character, as the suffix reads them.
constexpr int kAnyDigit = 37;

NumeralDiagnosis fault(NumeralDiagnosis d, NumeralFault f, std::size_t offset) {
  d.fault = f;
  d.offset = offset;
  return d;
}

bool isMarker(char c) { return c == 'e' || c == 'E' || c == '_'; }

// Where a point or an exponent marker lacks its digit: a digit character that
// is too large is the more useful fault, unless it is itself a marker ("1.e5").
NumeralDiagnosis missingDigit(NumeralDiagnosis d, const char* text, std::size_t p,
                              std::size_t owner, NumeralFault f) {
  int value;
  if (!isMarker(text[p]) && digitValue(&value, text[p], kAnyDigit))
    return fault(d, kDigitTooLarge, p);
  return fault(d, f, owner);
}

}  // namespace

NumeralDiagnosis diagnoseNumeral(const char* text, int base) {
  NumeralDiagnosis d;
  d.base = base;
  if (text[0] == '\0') return fault(d, kEmptyText, 0);

  // The suffix first, as the parser reads it before any digit.
  std::size_t at = 0;
  while (text[at] != '\0' && text[at] != '@') ++at;
  if (text[at] == '@') {
    const char* s = text + at + 1;
    int first;
    if (s[0] == '\0') return fault(d, kSuffixMissing, at);
    if (!digitValue(&first, s[0], kAnyDigit)) return fault(d, kSuffixNotABase, at + 1);
    if (first >= 10) {
      if (s[1] != '\0') return fault(d, kSuffixAfterLetter, at + 2);
      d.base = first;
    } else if (s[1] == '\0') {
      d.base = first;
    } else if (s[1] < '0' || s[1] > '9') {
      return fault(d, kSuffixSecondNotDecimal, at + 2);
    } else {
      d.base = 10 * first + (s[1] - '0');
    }
    d.suffixBase = true;
  }

  // The numeral part: sign, integer digits, fraction, exponent, end.
  const int radix = d.base;
  int digit;
  std::size_t p = 0;
  if (text[p] == '-' || text[p] == '+') ++p;
  while (digitValue(&digit, text[p], radix)) ++p;
  if (text[p] == '.') {
    const std::size_t point = p++;
    if (!digitValue(&digit, text[p], radix))
      return missingDigit(d, text, p, point, kPointWithoutDigit);
    while (digitValue(&digit, text[p], radix)) ++p;
  }
  bool exponent = false;
  if (isMarker(text[p])) {
    const std::size_t marker = p++;
    if (text[p] == '-') ++p;
    if (text[p] == '+') ++p;
    if (!digitValue(&digit, text[p], radix)) {
      if (text[p] == '-' || text[p] == '+') return fault(d, kExponentSignOrder, p);
      return missingDigit(d, text, p, marker, kExponentWithoutDigit);
    }
    while (digitValue(&digit, text[p], radix)) ++p;
    exponent = true;
  }

  const char c = text[p];
  if (c == '\0' || c == '@') return d;
  if (c == '-' || c == '+') return fault(d, kSignNotFirst, p);
  if (c == '.') {
    // Before the exponent the first point is always taken, so this one
    // follows a fraction or an exponent.
    return fault(d, exponent ? kPointInExponent : kSecondPoint, p);
  }
  // A marker is taken wherever the digits stop, so one here follows an
  // exponent that was already read.
  if (isMarker(c)) return fault(d, kSecondExponent, p);
  if (digitValue(&digit, c, kAnyDigit)) return fault(d, kDigitTooLarge, p);
  return fault(d, kNotADigitCharacter, p);
}

namespace {

// The character for a message: 'c' for printable ASCII, byte 0xNN otherwise.
void nameCharacter(char* out, std::size_t size, char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7F)
    std::snprintf(out, size, "'%c'", c);
  else
    std::snprintf(out, size, "byte 0x%02X", u);
}

}  // namespace

void describeDiagnosis(char* out, std::size_t size, const char* text, const NumeralDiagnosis& d) {
  if (size == 0) return;
  out[0] = '\0';
  if (d.fault == kNoFault) return;
  char c[16];
  nameCharacter(c, sizeof c, text[d.offset]);
  const unsigned long column = static_cast<unsigned long>(d.offset) + 1;
  const char kSuffixRule[] = "an '@' suffix is one or two decimal digits or one letter";
  switch (d.fault) {
    case kNoFault:
      break;
    case kEmptyText:
      std::snprintf(out, size, "the numeral is empty");
      break;
    case kSuffixMissing:
      std::snprintf(out, size, "the '@' at column %lu is not followed by a base; %s", column,
                    kSuffixRule);
      break;
    case kSuffixNotABase:
      std::snprintf(out, size, "%s at column %lu is not a base; %s", c, column, kSuffixRule);
      break;
    case kSuffixAfterLetter:
      std::snprintf(out, size,
                    "%s at column %lu follows the letter base '%c', which ends the numeral", c,
                    column, text[d.offset - 1]);
      break;
    case kSuffixSecondNotDecimal:
      std::snprintf(out, size, "%s at column %lu is not a decimal digit; %s", c, column,
                    kSuffixRule);
      break;
    case kDigitTooLarge:
      std::snprintf(out, size, "%s at column %lu is not a digit below %d", c, column, d.base);
      break;
    case kNotADigitCharacter:
      std::snprintf(out, size, "%s at column %lu is not a digit", c, column);
      break;
    case kSignNotFirst:
      std::snprintf(out, size, "the sign %s at column %lu is not first", c, column);
      break;
    case kExponentSignOrder:
      std::snprintf(out, size,
                    "the sign %s at column %lu is out of place; an exponent marker takes "
                    "an optional '-', then an optional '+'",
                    c, column);
      break;
    case kPointWithoutDigit:
      std::snprintf(out, size, "the point at column %lu is not followed by a digit below %d",
                    column, d.base);
      break;
    case kSecondPoint:
      std::snprintf(out, size, "a second point at column %lu", column);
      break;
    case kPointInExponent:
      std::snprintf(out, size, "the point at column %lu is in the exponent, which is whole",
                    column);
      break;
    case kSecondExponent:
      std::snprintf(out, size, "a second exponent marker %s at column %lu", c, column);
      break;
    case kExponentWithoutDigit:
      std::snprintf(out, size,
                    "the exponent marker %s at column %lu is not followed by a digit below %d", c,
                    column, d.base);
      break;
  }
}
