/* The reference for the veltrane-cli benchmark: the same job done with GNU
   MPFR at a 64-bit significand, rounding toward zero.

     mpfr_convert FROM TO < numerals > results

   Reads numerals in base FROM (2..36), one a line, in Veltrane's syntax
   (sign, digits, '.', fraction, then an exponent after '_', or after 'e'/'E'
   in bases below 15, written in base FROM; an '@' suffix of one or two
   decimal digits or one letter names the numeral's own base), and writes each in
   base TO with as many significant digits as Veltrane gives that base, in
   Veltrane's scientific layout: d.ddd, trailing zeros dropped, then 'e'
   (base 10) or '_' and the signed exponent in base TO. "ERROR" for a line it
   cannot read. Exit status 0, or 2 for a usage error. */
#include <ctype.h>
#include <mpfr.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kLineSize = 8192 };

static int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

/* Veltrane's digit count for a base: floor(64 / log2(base)), the largest n
   with base^n <= 2^64, less its guard digit. */
static int significantDigits(int base) {
  unsigned __int128 power = 1;
  const unsigned __int128 limit = (unsigned __int128)1 << 64;
  int n = 0;
  while (power * (unsigned)base <= limit) {
    power *= (unsigned)base;
    ++n;
  }
  return n - 1;
}

/* Rewrites a Veltrane numeral as an MPFR one: the exponent, written in the
   base, becomes '@' and a decimal power of the base. Returns 0 when the text
   is not a numeral. */
static int translate(const char* text, int base, char* out) {
  const char* p = text;
  char* o = out;
  if (*p == '-' || *p == '+') *o++ = *p++;
  int digits = 0;
  while (digitValue(*p) < base) *o++ = *p++, ++digits;
  if (*p == '.') {
    *o++ = *p++;
    if (digitValue(*p) >= base) return 0;
    while (digitValue(*p) < base) *o++ = *p++, ++digits;
  }
  if (digits == 0) *o++ = '0';
  if (*p == '_' || ((*p == 'e' || *p == 'E') && base < 15)) {
    ++p;
    int negative = *p == '-';
    if (negative) ++p;
    if (*p == '+') ++p;
    if (digitValue(*p) >= base) return 0;
    long exponent = 0;
    while (digitValue(*p) < base) {
      if (exponent < 100000000) exponent = exponent * base + digitValue(*p);
      ++p;
    }
    o += sprintf(o, "@%ld", negative ? -exponent : exponent);
  }
  *o = '\0';
  return *p == '\0';
}

/* The base an '@' suffix names: one or two decimal digits, or one letter;
   0 for anything else. */
static int readSuffix(const char* suffix) {
  const int first = digitValue(suffix[0]);
  if (first >= 10 && first < 36) return suffix[1] == '\0' ? first : 0;
  if (first >= 10) return 0;
  if (suffix[1] == '\0') return first;
  if (suffix[1] < '0' || suffix[1] > '9' || suffix[2] != '\0') return 0;
  return 10 * first + (suffix[1] - '0');
}

static void writeExponent(char* out, long exponent, int base) {
  if (exponent == 0) {
    *out = '\0';
    return;
  }
  *out++ = base == 10 ? 'e' : '_';
  *out++ = exponent < 0 ? '-' : '+';
  unsigned long magnitude = exponent < 0 ? -(unsigned long)exponent : (unsigned long)exponent;
  char reversed[72];
  int n = 0;
  do {
    reversed[n++] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[magnitude % (unsigned)base];
    magnitude /= (unsigned)base;
  } while (magnitude != 0);
  while (n > 0) *out++ = reversed[--n];
  *out = '\0';
}

/* Writes x in base with n significant digits, truncated. */
static void format(char* out, mpfr_t x, int base, int n) {
  if (mpfr_inf_p(x)) {
    strcpy(out, mpfr_signbit(x) ? "-INF" : "+INF");
    return;
  }
  if (mpfr_zero_p(x)) {
    strcpy(out, "0.0");
    return;
  }
  char digits[80];
  mpfr_exp_t exponent;
  mpfr_get_str(digits, &exponent, base, (size_t)n, x, MPFR_RNDZ);
  const char* d = digits;
  if (*d == '-') *out++ = *d++;
  size_t count = strlen(d);
  while (count > 1 && d[count - 1] == '0') --count;
  /* MPFR writes letters in lower case, Veltrane in upper case. */
  *out++ = (char)toupper((unsigned char)d[0]);
  *out++ = '.';
  if (count == 1) *out++ = '0';
  for (size_t i = 1; i < count; ++i) *out++ = (char)toupper((unsigned char)d[i]);
  writeExponent(out, (long)exponent - 1, base);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mpfr_convert FROM TO < numerals\n");
    return 2;
  }
  int from = atoi(argv[1]);
  int to = atoi(argv[2]);
  if (from < 2 || from > 36 || to < 2 || to > 36) {
    fprintf(stderr, "mpfr_convert: bases must lie in 2..36\n");
    return 2;
  }
  const int n = significantDigits(to);
  static char line[kLineSize];
  static char numeral[kLineSize + 32];
  static char out[256];
  mpfr_t x;
  mpfr_init2(x, 64);
  while (fgets(line, sizeof line, stdin) != NULL) {
    size_t length = strcspn(line, "\r\n");
    line[length] = '\0';
    const char* text = line;
    while (*text == ' ') ++text;
    while (length > 0 && line[length - 1] == ' ') line[--length] = '\0';
    int base = from;
    char* at = strchr(line, '@');
    if (at != NULL) {
      *at = '\0';
      base = readSuffix(at + 1);
    }
    char* end;
    if (*text != '\0' && base >= 2 && base <= 36 && translate(text, base, numeral) &&
        (mpfr_strtofr(x, numeral, &end, base, MPFR_RNDZ), *end == '\0')) {
      format(out, x, to, n);
    } else {
      strcpy(out, "ERROR");
    }
    fputs(out, stdout);
    fputc('\n', stdout);
  }
  mpfr_clear(x);
  return 0;
}
