/* Converts numerals with libveltrane's C interface and says what each gave.
 *   cc convert.c -lveltrane -o convert && ./convert */
#include <stdio.h>
#include <string.h>

#include <veltrane.h>

static void show(const char *numeral, int from_base, int to_base, unsigned flags) {
  char text[VELTRANE_ROUND_TRIP_TEXT_SIZE];
  int outcome = veltrane_convert(numeral, strlen(numeral), from_base, to_base, flags, text,
                                 sizeof text);
  if (outcome == VELTRANE_CONVERTED) {
    printf("%s in base %d is %s in base %d\n", numeral, from_base, text, to_base);
  } else if (outcome == VELTRANE_OVERFLOW) {
    printf("%s overflows: %s\n", numeral, text);
  } else if (outcome >= 0) {
    printf("%s gives no value: %s (%s)\n", numeral, text, veltrane_outcome_name(outcome));
  } else {
    printf("%s: not converted (%s)\n", numeral, veltrane_outcome_name(outcome));
  }
}

int main(void) {
  char json[VELTRANE_REPORT_SIZE];

  printf("libveltrane %s (header %s)\n", veltrane_version(), VELTRANE_VERSION_STRING);
  show("255.5", 10, 16, 0);
  show("255", 10, 8, VELTRANE_SCIENTIFIC);
  show("0.1", 10, 16, VELTRANE_ROUND_TRIP);
  show("-INF", 31, 10, 0); /* a numeral in base 31 */
  show("-1e4930", 10, 16, 0);
  show("1.2.3", 10, 16, 0);
  show("255", 10, 37, 0);
  /* What veltrane-cli --json prints, here for 0.1 from base 10 to base 10. */
  if (veltrane_json("0.1", 3, 10, 10, 0, json, sizeof json) == VELTRANE_CONVERTED) {
    puts(json);
  }
  return 0;
}
