/* The caller's x87 control word across the library: as the program found
 * it at main (the library computes in a mode of its own from its first
 * moment, before main), and after every call that computes; changed only by
 * veltrane_adopt_x87_mode. The texts do not depend on the caller's mode.
 * On other processors there is no x87 unit and nothing to check. */
#include <stdio.h>
#include <string.h>

#include "veltrane.h"

#if defined(__x86_64__) || defined(__i386__)

#include "c_check.h"

static unsigned short controlWord(void) {
  unsigned short word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

static void setControlWord(unsigned short word) { __asm__ volatile("fldcw %0" : : "m"(word)); }

/* The library's mode: 64-bit precision, rounding toward zero, all masked. */
#define LIBRARY_MODE 0x0F7F
/* A caller's own: 64-bit precision, rounding up, all masked. */
#define CALLER_MODE 0x0B7F
/* The same with the precision and underflow exceptions unmasked. */
#define CALLER_TRAPS 0x0B4F

/* What each computing call writes, as one text: the plain text, the
 * round-trip text, the --json line, the message of a rejected numeral, the
 * stored value's text, exact value and distance in ulps. */
static void everyCall(char *out, size_t size) {
  static char report[VELTRANE_REPORT_SIZE];
  char text[VELTRANE_ROUND_TRIP_TEXT_SIZE];
  char exact[2048];
  char ulps[64];
  unsigned char stored[VELTRANE_STORED_SIZE];
  veltrane_details details;
  size_t length;
  out[0] = '\0';
#define APPEND(piece)                        \
  do {                                       \
    strncat(out, piece, size - strlen(out) - 2); \
    strcat(out, "|");                        \
  } while (0)
  veltrane_convert("0.1", 3, 10, 16, 0, text, sizeof text);
  APPEND(text);
  veltrane_convert_measured("-1e-4000", 8, 10, 7, VELTRANE_SCIENTIFIC, text, sizeof text, &length);
  APPEND(text);
  veltrane_convert_details("0.1", 3, 10, 10, VELTRANE_ROUND_TRIP, text, sizeof text, &details);
  APPEND(text);
  veltrane_json("2.5", 3, 7, 3, 0, report, sizeof report);
  APPEND(report);
  veltrane_explain_measured("ff.8", 4, 16, 10, 0, report, sizeof report, &length);
  APPEND(report);
  veltrane_message("12G", 3, 10, 16, 0, report, sizeof report);
  APPEND(report);
  veltrane_parse("1.1", 3, 10, stored);
  veltrane_format(stored, 3, VELTRANE_ROUND_TRIP, text, sizeof text, NULL);
  APPEND(text);
  veltrane_exact(stored, 10, exact, sizeof exact, NULL);
  APPEND(exact);
  veltrane_ulps("1.1", 3, 10, stored, ulps, sizeof ulps);
  APPEND(ulps);
#undef APPEND
}

int main(void) {
  static char inDefault[8 * VELTRANE_REPORT_SIZE];
  static char inCaller[8 * VELTRANE_REPORT_SIZE];
  const unsigned short atStart = controlWord();
  /* Every system starts a program rounding to nearest. */
  CHECK((atStart & 0x0C00) == 0, "control word 0x%04X at main", atStart);

  everyCall(inDefault, sizeof inDefault);
  CHECK(controlWord() == atStart, "0x%04X after the calls, 0x%04X before", controlWord(),
        atStart);

  setControlWord(CALLER_MODE);
  everyCall(inCaller, sizeof inCaller);
  CHECK(controlWord() == CALLER_MODE, "0x%04X after the calls", controlWord());
  CHECK(strcmp(inDefault, inCaller) == 0, "texts differ with the caller's mode:\n%s\n%s",
        inDefault, inCaller);

  /* A caller that unmasked exceptions that the work inside raises (an
   * inexact result, an underflow) gets its word back with none of them
   * pending, so that its next x87 instruction does not trap. */
  setControlWord(CALLER_TRAPS);
  everyCall(inCaller, sizeof inCaller);
  static char tiny[VELTRANE_REPORT_SIZE];
  veltrane_json("1e-4940", 7, 10, 7, 0, tiny, sizeof tiny);
  volatile long double x = 2.0L;
  x = x + 1.0L; /* exact: raises nothing of its own */
  CHECK(controlWord() == CALLER_TRAPS, "0x%04X after the calls", controlWord());
  CHECK(strstr(tiny, "\"class\": \"subnormal\"") != NULL, "%s", tiny);
  setControlWord(CALLER_MODE);

  /* Adopted: the library's mode where it computes on the unit, else the
   * caller's still; either way the calls leave it. */
  veltrane_adopt_x87_mode();
  const unsigned short adopted = controlWord();
  CHECK(adopted == LIBRARY_MODE || adopted == CALLER_MODE, "0x%04X adopted", adopted);
  everyCall(inCaller, sizeof inCaller);
  CHECK(controlWord() == adopted, "0x%04X after the calls, 0x%04X adopted", controlWord(),
        adopted);
  CHECK(strcmp(inDefault, inCaller) == 0, "texts differ in the adopted mode");

  if (failures == 0) printf("x87 mode: all checks passed\n");
  return failures == 0 ? 0 : 1;
}

#else

int main(void) {
  printf("x87 mode: no x87 unit on this processor\n");
  return 0;
}

#endif
