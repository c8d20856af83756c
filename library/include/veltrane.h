/* libveltrane: converts real numerals between bases 2 to 36 on the x87
 * 80-bit extended type, every arithmetic step truncating, as veltrane-cli
 * does. This header is the library's C interface and its reference manual.
 *
 * Conventions of every function here:
 *   - Numerals are byte strings given as pointer and length: they need no
 *     terminator and may hold any byte (a NUL byte is an outcome of its own).
 *     Blanks (0x20 only) around a numeral are ignored.
 *   - Texts are written into caller buffers, always NUL-terminated when the
 *     buffer has room for at least one byte. A buffer too small for the whole
 *     text gives VELTRANE_BUFFER_TOO_SMALL and an empty text: nothing is ever
 *     cut without notice.
 *   - Nothing allocates on the heap, nothing blocks, no exception crosses
 *     this interface, and no call keeps state for a later one: any thread may
 *     call any function at any time. On x86 the calls leave the caller's x87
 *     control word as they found it (veltrane_adopt_x87_mode tells more).
 *   - Bases are plain ints from 2 to 36; a numeral's '@' suffix overrides the
 *     input base for that numeral alone.
 */
#ifndef VELTRANE_H
#define VELTRANE_H

#include <stddef.h>

#define VELTRANE_VERSION_MAJOR 1
#define VELTRANE_VERSION_MINOR 0
#define VELTRANE_VERSION_PATCH 0
#define VELTRANE_VERSION_STRING "1.0.0"
/* MAJOR * 10000 + MINOR * 100 + PATCH: 10000 for 1.0.0. */
#define VELTRANE_VERSION_NUMBER \
  (VELTRANE_VERSION_MAJOR * 10000 + VELTRANE_VERSION_MINOR * 100 + VELTRANE_VERSION_PATCH)

/* On Windows a program that links the static library defines
 * VELTRANE_STATIC (Veltrane::veltrane_static does); with the DLL it imports.
 * Elsewhere the same objects make the static and the shared library, which
 * exports these functions and hides everything else. */
#if defined(_WIN32)
#if defined(VELTRANE_STATIC)
#define VELTRANE_API
#elif defined(VELTRANE_BUILDING)
#define VELTRANE_API __declspec(dllexport)
#else
#define VELTRANE_API __declspec(dllimport)
#endif
#else
#define VELTRANE_API __attribute__((visibility("default")))
#endif

/* Flags of a conversion. */
#define VELTRANE_SCIENTIFIC 1u /* scientific notation (large and small values switch on their own) */
#define VELTRANE_ROUND_TRIP 2u /* the round-trip text: the shortest that reads back as the same value */

/* Outcomes. The non-negative ones are what a numeral gave; the text of every
 * one but VELTRANE_CONVERTED and VELTRANE_OVERFLOW is "ERROR". */
#define VELTRANE_CONVERTED 0        /* a value, written in the output base */
#define VELTRANE_OVERFLOW 1         /* too large to hold: "+INF" or "-INF" */
#define VELTRANE_REJECTED 2         /* breaks a rule of the numeral grammar */
#define VELTRANE_EMPTY 3            /* nothing but blanks */
#define VELTRANE_TOO_LONG 4         /* longer than VELTRANE_MAX_NUMERAL_LENGTH bytes */
#define VELTRANE_NUL_BYTE 5         /* a NUL byte inside the numeral */
#define VELTRANE_NO_VALUE 6         /* accepted, but names no number: an '@0' suffix */
#define VELTRANE_BAD_BASE (-1)      /* a base outside 2..36 */
#define VELTRANE_BUFFER_TOO_SMALL (-2) /* the text did not fit; the buffer holds "" */

/* The longest numeral read, in bytes, blanks included: long enough for every
 * round-trip text. */
#define VELTRANE_MAX_NUMERAL_LENGTH 12288
/* Buffer sizes that always suffice: a plain text (NUL included), a text
 * with VELTRANE_ROUND_TRIP, and one --json line or --explain block. */
#define VELTRANE_TEXT_SIZE 256
#define VELTRANE_ROUND_TRIP_TEXT_SIZE (VELTRANE_MAX_NUMERAL_LENGTH + 1)
#define VELTRANE_REPORT_SIZE (8 * VELTRANE_MAX_NUMERAL_LENGTH)
/* The size of a stored value: the 10 bytes of the 80-bit image, in memory
 * order (little-endian: significand first, then sign and exponent). */
#define VELTRANE_STORED_SIZE 10

/* The rules of the numeral grammar, each as the fault of breaking it
 * (veltrane_details.rule for VELTRANE_REJECTED). */
#define VELTRANE_RULE_NONE 0
#define VELTRANE_RULE_EMPTY_TEXT 1
#define VELTRANE_RULE_SUFFIX_MISSING 2        /* an '@' with nothing after it */
#define VELTRANE_RULE_SUFFIX_NOT_A_BASE 3     /* the character after '@' is no digit character */
#define VELTRANE_RULE_SUFFIX_AFTER_LETTER 4   /* a character after a letter base ('12@G6') */
#define VELTRANE_RULE_SUFFIX_SECOND_NOT_DECIMAL 5 /* '12@1x' */
#define VELTRANE_RULE_DIGIT_TOO_LARGE 6       /* a digit not below the base */
#define VELTRANE_RULE_NOT_A_DIGIT 7           /* a character that is no digit character */
#define VELTRANE_RULE_SIGN_NOT_FIRST 8        /* '1-2', '--5' */
#define VELTRANE_RULE_EXPONENT_SIGN_ORDER 9   /* '1e+-5' */
#define VELTRANE_RULE_POINT_WITHOUT_DIGIT 10  /* '5.', '.' */
#define VELTRANE_RULE_SECOND_POINT 11         /* '1.2.3' */
#define VELTRANE_RULE_POINT_IN_EXPONENT 12    /* '1e5.5' */
#define VELTRANE_RULE_SECOND_EXPONENT 13      /* '1e5e5' */
#define VELTRANE_RULE_EXPONENT_WITHOUT_DIGIT 14 /* '1e', '1e-' */

/* What a stored image holds. */
#define VELTRANE_CLASS_ZERO 0
#define VELTRANE_CLASS_SUBNORMAL 1
#define VELTRANE_CLASS_NORMAL 2
#define VELTRANE_CLASS_UNNORMAL 3
#define VELTRANE_CLASS_INFINITY 4
#define VELTRANE_CLASS_NAN 5

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version, "1.0.0": the one it was built as, which may be
 * newer than VELTRANE_VERSION_STRING of the header a program was built with. */
VELTRANE_API const char *veltrane_version(void);

/* Writes the text that `veltrane-cli` prints for the numeral with the same
 * options (no line end), NUL-terminated, into text[0..text_size-1].
 * flags: VELTRANE_SCIENTIFIC, VELTRANE_ROUND_TRIP (where a value has no
 * round-trip text, its plain text is written and veltrane_message says why).
 * Returns VELTRANE_CONVERTED, VELTRANE_OVERFLOW (text "+INF" or "-INF"),
 * another non-negative outcome for a numeral that gives no value (text
 * "ERROR"), VELTRANE_BAD_BASE, or VELTRANE_BUFFER_TOO_SMALL (text empty).
 * VELTRANE_TEXT_SIZE bytes always suffice without VELTRANE_ROUND_TRIP,
 * VELTRANE_ROUND_TRIP_TEXT_SIZE with it. */
VELTRANE_API int veltrane_convert(const char *numeral, size_t length, int from_base, int to_base,
                                  unsigned flags, char *text, size_t text_size);

/* veltrane_convert, also writing the length of the text it wrote (the offset
 * of its NUL; 0 when text_size is 0) to *text_length unless that is NULL:
 * for callers that pass the text on and need not measure it again. */
VELTRANE_API int veltrane_convert_measured(const char *numeral, size_t length, int from_base,
                                           int to_base, unsigned flags, char *text,
                                           size_t text_size, size_t *text_length);

/* The same numeral's `--json` object, byte for byte as `veltrane-cli --json`
 * prints it, without the line end; same return codes. flags as above (the
 * object always holds the plain text and the round-trip text both).
 * VELTRANE_REPORT_SIZE bytes always suffice. */
VELTRANE_API int veltrane_json(const char *numeral, size_t length, int from_base, int to_base,
                               unsigned flags, char *json, size_t json_size);

/* The same numeral's `--explain` block, byte for byte as `veltrane-cli
 * --explain` prints it: labelled lines, each ending in LF, then an empty
 * line. Same return codes. */
VELTRANE_API int veltrane_explain(const char *numeral, size_t length, int from_base, int to_base,
                                  unsigned flags, char *out, size_t out_size);

/* veltrane_json and veltrane_explain, also writing the length of what they
 * wrote (the offset of its NUL; 0 when nothing was written) to *out_length
 * unless that is NULL, as veltrane_convert_measured does for texts. */
VELTRANE_API int veltrane_json_measured(const char *numeral, size_t length, int from_base,
                                        int to_base, unsigned flags, char *json, size_t json_size,
                                        size_t *out_length);
VELTRANE_API int veltrane_explain_measured(const char *numeral, size_t length, int from_base,
                                           int to_base, unsigned flags, char *out,
                                           size_t out_size, size_t *out_length);

/* What veltrane-cli writes on standard error about this numeral after
 * "veltrane-cli: line N: ", without line end: why a numeral that gives no
 * value gives none (the numeral quoted, the rule and its 1-based column),
 * or, with VELTRANE_ROUND_TRIP, why a value's plain text stands in for its
 * round-trip text; "" when there is nothing to say. Same return codes.
 * VELTRANE_REPORT_SIZE bytes always suffice (a numeral of bytes that are
 * quoted as escapes takes about 50,000). */
VELTRANE_API int veltrane_message(const char *numeral, size_t length, int from_base, int to_base,
                                  unsigned flags, char *message, size_t message_size);

/* Everything one conversion found out, besides its text. */
typedef struct veltrane_details {
  int outcome;      /* the numeral's outcome (VELTRANE_CONVERTED, ...), also where the
                       text did not fit and the call returned VELTRANE_BUFFER_TOO_SMALL;
                       VELTRANE_BAD_BASE for a bad base */
  int sign;         /* for VELTRANE_OVERFLOW: +1 ("+INF") or -1 ("-INF"); else 0 */
  int notation;     /* of the text: 0 standard, 1 scientific, -1 none (ERROR, +INF, -INF) */
  int base;         /* the base the numeral was read in (its '@' suffix's, else from_base) */
  int parsed_base;  /* from_base as the parser leaves it: an '@' suffix writes its base
                       (0..99) over it, or, when the suffix breaks a rule after its first
                       character, that character's value (the dialog keeps this) */
  int has_value;    /* 1 when stored holds the value the text was written from */
  unsigned char stored[VELTRANE_STORED_SIZE];
  int stored_class; /* VELTRANE_CLASS_*, or -1 without a value */
  int rule;         /* VELTRANE_RULE_* for VELTRANE_REJECTED, else VELTRANE_RULE_NONE */
  size_t column;    /* 1-based column (byte) in the trimmed numeral of the rule broken,
                       the NUL byte or the '@0' suffix; 0 where none applies */
  int round_trip;   /* with VELTRANE_ROUND_TRIP: 1 when the text is the round-trip
                       text, 0 when the plain text stands in (or there is no value) */
} veltrane_details;

/* veltrane_convert, also filling *details (which may be NULL). */
VELTRANE_API int veltrane_convert_details(const char *numeral, size_t length, int from_base,
                                          int to_base, unsigned flags, char *text,
                                          size_t text_size, veltrane_details *details);

/* Reads numeral in base as the converter does and writes the value it
 * stores into stored (VELTRANE_STORED_SIZE bytes). Returns
 * VELTRANE_CONVERTED; VELTRANE_OVERFLOW with the infinity of the numeral's
 * sign in stored; another non-negative outcome (stored untouched); or
 * VELTRANE_BAD_BASE. */
VELTRANE_API int veltrane_parse(const char *numeral, size_t length, int base,
                                unsigned char stored[VELTRANE_STORED_SIZE]);

/* Writes a stored value in base as the converter writes a parsed one:
 * flags VELTRANE_SCIENTIFIC and VELTRANE_ROUND_TRIP as for
 * veltrane_convert. An infinity is "+INF" or "-INF" (VELTRANE_OVERFLOW), a
 * NaN or an image the x87 rejects is "ERROR" (VELTRANE_NO_VALUE). *notation
 * (when not NULL) receives the notation written, or -1. Returns
 * VELTRANE_CONVERTED, VELTRANE_OVERFLOW, VELTRANE_NO_VALUE,
 * VELTRANE_BAD_BASE or VELTRANE_BUFFER_TOO_SMALL. */
VELTRANE_API int veltrane_format(const unsigned char stored[VELTRANE_STORED_SIZE], int base,
                                 unsigned flags, char *text, size_t text_size, int *notation);

/* The exact value of a finite stored value in base, as in --json's "exact":
 * at most 1,100 significant digits, cut (not rounded) beyond. *complete
 * (when not NULL) is 1 when every non-zero digit is written. Returns
 * VELTRANE_CONVERTED, VELTRANE_NO_VALUE (an infinity or NaN), VELTRANE_BAD_BASE
 * or VELTRANE_BUFFER_TOO_SMALL. 1,200 bytes always suffice. */
VELTRANE_API int veltrane_exact(const unsigned char stored[VELTRANE_STORED_SIZE], int base,
                                char *text, size_t text_size, int *complete);

/* The distance of text (an output numeral of base: digits, at most one
 * point, an optional exponent suffix; text_length bytes) from a finite
 * stored value, in units of the value's last place, as in --json's "ulps":
 * at most six significant digits cut toward zero ("0", "-0.2", "51",
 * "1.33333e-7"). Returns VELTRANE_CONVERTED; VELTRANE_REJECTED when text is
 * no such numeral ("+INF"; "ERROR" below base 28), or one whose digits or
 * exponent reach far beyond any text of a stored value (thousands of digits,
 * or a scale of tens of thousands); VELTRANE_NO_VALUE for an infinite or
 * NaN stored value; VELTRANE_BAD_BASE; VELTRANE_BUFFER_TOO_SMALL. 48 bytes
 * always suffice. */
VELTRANE_API int veltrane_ulps(const char *text, size_t text_length, int base,
                               const unsigned char stored[VELTRANE_STORED_SIZE], char *out,
                               size_t out_size);

/* The stable words of an outcome ("converted", "overflow", "rejected",
 * "empty", "too_long", "nul_byte", "no_value", "bad_base",
 * "buffer_too_small"), of a rule ("digit_too_large", ...: the macro's name
 * in lower case without VELTRANE_RULE_) and of a class ("zero", "subnormal",
 * "normal", "unnormal", "infinity", "nan"). "" for an unknown code. */
VELTRANE_API const char *veltrane_outcome_name(int outcome);
VELTRANE_API const char *veltrane_rule_name(int rule);
VELTRANE_API const char *veltrane_class_name(int stored_class);

/* Reads a base as the dialog reads its base boxes: the first 8 bytes of
 * text, blanks around them trimmed, a whole decimal number from 2 to 36.
 * Returns 1 and writes *base when valid; returns 0 otherwise (and *base gets
 * the nearest of 2 and 36, or the digits read before a non-digit). */
VELTRANE_API int veltrane_read_base(const char *text, size_t length, int *base);

/* Removes the blanks (0x20 only) around the NUL-terminated text in place, as
 * the converter does around a numeral and the dialog around each box.
 * Returns the new length. */
VELTRANE_API size_t veltrane_trim(char *text);

/* On a build that computes on the x87 unit (x86 and x86-64, but for the
 * software build): every call above that computes leaves the calling
 * thread's x87 control word as it found it, and the unit's exception flags
 * clear, so a program's own long double arithmetic rounds, and traps where
 * it unmasked exceptions, as before. That costs each call a change of the
 * unit's mode and a change back. A thread that does nothing but convert (a worker
 * of a batch) may instead take the library's mode for good with this call:
 * control word 0x0F7F (64-bit precision, rounding toward zero, every
 * exception masked); its later calls then change nothing. Long double
 * arithmetic of that thread's own then truncates too, and threads it starts
 * inherit the mode. Does nothing on other builds. The one call here that
 * keeps state: the thread's mode. */
VELTRANE_API void veltrane_adopt_x87_mode(void);

#ifdef __cplusplus
}
#endif

#endif
