/* The C interface doing veltrane-cli's job on standard input, for the test
 * that compares the two byte for byte (compare_api_cli.py):
 *     api_lines FROM TO FLAGS MODE < numerals
 * FLAGS: "-", or letters s (VELTRANE_SCIENTIFIC) and r (VELTRANE_ROUND_TRIP);
 * MODE: text, json or explain. Lines end at LF; what veltrane-cli prints on
 * standard output and error is printed the same way, and the exit status is
 * 1 when a numeral gave no value, else 0. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "veltrane.h"

static char out[VELTRANE_REPORT_SIZE];
static char message[VELTRANE_REPORT_SIZE];

int main(int argc, char **argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: api_lines FROM TO FLAGS MODE\n");
    return 2;
  }
  const int from = atoi(argv[1]);
  const int to = atoi(argv[2]);
  const unsigned flags = (strchr(argv[3], 's') ? VELTRANE_SCIENTIFIC : 0u) |
                         (strchr(argv[3], 'r') ? VELTRANE_ROUND_TRIP : 0u);
  const char *mode = argv[4];
  size_t capacity = 1 << 16;
  char *line = malloc(capacity);
  int status = 0;
  unsigned long number = 0;
  for (;;) {
    size_t length = 0;
    int c;
    while ((c = getchar()) != EOF && c != '\n') {
      if (length + 1 >= capacity) line = realloc(line, capacity *= 2);
      if (line == NULL) return 3;
      line[length++] = (char)c;
    }
    if (c == EOF && length == 0) break;
    ++number;
    int code;
    if (strcmp(mode, "json") == 0) {
      code = veltrane_json(line, length, from, to, flags, out, sizeof out);
      printf("%s\n", out);
    } else if (strcmp(mode, "explain") == 0) {
      code = veltrane_explain(line, length, from, to, flags, out, sizeof out);
      fputs(out, stdout);
    } else {
      veltrane_details details;
      code = veltrane_convert_details(line, length, from, to, flags, out, sizeof out, &details);
      printf("%s\n", out);
      /* A value without its round-trip text has a note. */
      if (details.has_value && (flags & VELTRANE_ROUND_TRIP) && !details.round_trip) {
        veltrane_message(line, length, from, to, flags, message, sizeof message);
        fprintf(stderr, "veltrane-cli: line %lu: %s\n", number, message);
      }
    }
    if (code != VELTRANE_CONVERTED && code != VELTRANE_OVERFLOW) {
      status = 1;
      veltrane_message(line, length, from, to, flags, message, sizeof message);
      fprintf(stderr, "veltrane-cli: line %lu: %s\n", number, message);
    }
    fflush(stdout);
    fflush(stderr);
    if (c == EOF) break;
  }
  free(line);
  return status;
}
