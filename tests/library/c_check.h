/* CHECK for the C tests of the interface: prints each failed check, with
 * its place and a printf message, and counts it in failures. */
#ifndef VELTRANE_TESTS_LIBRARY_C_CHECK_H
#define VELTRANE_TESTS_LIBRARY_C_CHECK_H

#include <stdio.h>

static int failures = 0;

#define CHECK(condition, ...)                                                     \
  do {                                                                            \
    if (!(condition)) {                                                           \
      ++failures;                                                                 \
      fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition); \
      fprintf(stderr, __VA_ARGS__);                                               \
      fputc('\n', stderr);                                                        \
    }                                                                             \
  } while (0)

#endif
