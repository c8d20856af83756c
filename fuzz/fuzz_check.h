// What every fuzz target checks: a failed property aborts, so libFuzzer and
// the replay program both report it with the input that caused it.
#ifndef VELTRANE_FUZZ_FUZZ_CHECK_H
#define VELTRANE_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace fuzzcheck {

inline int digitOf(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;  // lower case and everything else is never written
}

// True when text is a well-formed output numeral in base: an optional '-',
// upper-case digits of the base with at most one '.', which must have digits
// on both sides; in scientific notation a '.', and an optional suffix of 'e'
// (base 10) or '_' (other bases), an explicit sign and digits of the base.
inline bool isWellFormedNumeral(const char* text, int base, int scientific) {
  const char* p = text;
  if (*p == '-') ++p;
  int digitsBeforePoint = 0, digitsAfterPoint = 0, points = 0;
  for (; *p && *p != 'e' && *p != '_'; ++p) {
    if (*p == '.') {
      if (++points > 1 || digitsBeforePoint == 0) return false;
      continue;
    }
    if (digitOf(*p) >= base) return false;
    (points ? digitsAfterPoint : digitsBeforePoint)++;
  }
  if (digitsBeforePoint == 0) return false;
  if (points == 1 && digitsAfterPoint == 0) return false;
  if (!scientific) return *p == '\0';
  if (points != 1 || digitsBeforePoint != 1) return false;
  if (*p == '\0') return true;
  if (*p != (base == 10 ? 'e' : '_')) return false;
  ++p;
  if (*p != '+' && *p != '-') return false;
  ++p;
  if (*p == '\0') return false;
  for (; *p; ++p)
    if (digitOf(*p) >= base) return false;
  return true;
}

}  // namespace fuzzcheck

#endif
