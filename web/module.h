// The WebAssembly module of libveltrane, for JavaScript: the library's C
// interface (veltrane.h), every function of it exported under its own name,
// and the few helpers below that JavaScript needs to call it.
//
// The module has one memory, fixed in size, and no heap: a caller has no
// malloc to get room for the C interface's numerals, texts and details, so
// the module lends it static buffers of its own, and pointers into them are
// what JavaScript passes as the C interface's pointers. Nothing here keeps
// state between calls but those buffers' contents. _initialize (the
// reactor's start) must run once before the first call.
#ifndef VELTRANE_WEB_MODULE_H
#define VELTRANE_WEB_MODULE_H

#include <stddef.h>

#include "veltrane.h"

// Exports a helper from the module under its own name. (The C interface
// itself is exported by the link, from the names veltrane.h declares.)
#define VELTRANE_JS_EXPORT(name) __attribute__((export_name(#name)))

extern "C" {

// The input buffer, for a numeral, a base text or a batch of numerals: at
// least VELTRANE_MAX_NUMERAL_LENGTH + 1 bytes, so that a numeral too long to
// read can always be passed with a length that says so.
VELTRANE_JS_EXPORT(veltrane_js_input) char* veltrane_js_input();
VELTRANE_JS_EXPORT(veltrane_js_input_size) size_t veltrane_js_input_size();

// The output buffer, for texts, messages, --json lines and --explain blocks:
// at least VELTRANE_REPORT_SIZE bytes, so every single result fits.
VELTRANE_JS_EXPORT(veltrane_js_output) char* veltrane_js_output();
VELTRANE_JS_EXPORT(veltrane_js_output_size) size_t veltrane_js_output_size();

// One veltrane_details, and where its fields lie in it (byte offsets, as
// int32 values in this order: outcome, sign, notation, base, has_value,
// stored, stored_class, rule, column, round_trip), so that JavaScript reads
// the struct as this compiler laid it out.
VELTRANE_JS_EXPORT(veltrane_js_details) veltrane_details* veltrane_js_details();
VELTRANE_JS_EXPORT(veltrane_js_details_layout) const int* veltrane_js_details_layout();

// A size_t and an int for the C interface's output parameters
// (veltrane_read_base's base, veltrane_js_convert_lines's length).
VELTRANE_JS_EXPORT(veltrane_js_size) size_t* veltrane_js_size();
VELTRANE_JS_EXPORT(veltrane_js_int) int* veltrane_js_int();

// The digits the library writes, in order of value ("0123456789ABC...Z",
// NUL-terminated), the least and greatest base it takes, and the longest
// numeral it reads (VELTRANE_MAX_NUMERAL_LENGTH).
VELTRANE_JS_EXPORT(veltrane_js_digits) const char* veltrane_js_digits();
VELTRANE_JS_EXPORT(veltrane_js_min_base) int veltrane_js_min_base();
VELTRANE_JS_EXPORT(veltrane_js_max_base) int veltrane_js_max_base();
VELTRANE_JS_EXPORT(veltrane_js_max_numeral_length) size_t veltrane_js_max_numeral_length();

// Converts a batch in one call: lines holds count numerals, each but the
// last followed by one LF (so exactly count - 1 LF bytes in length bytes),
// converted as veltrane_convert converts them. Writes into texts, for each
// numeral in order, its text followed by LF, or for a numeral that gives no
// value an empty line, and stores the bytes written in *texts_length.
// Stops early, before a numeral whose text might not fit in what is left of
// texts, and returns how many numerals it converted (the caller passes the
// rest again); returns VELTRANE_BAD_BASE for a bad base, and -3, with no
// texts, when lines does not hold exactly count - 1 LF bytes (a numeral with
// an LF of its own, which the caller then converts alone).
VELTRANE_JS_EXPORT(veltrane_js_convert_lines)
int veltrane_js_convert_lines(const char* lines, size_t length, int count, int from_base,
                              int to_base, unsigned flags, char* texts, size_t texts_size,
                              size_t* texts_length);

}  // extern "C"

#endif
