// The converter as a WebAssembly module for the browser page: the dialog's
// Convert command (its base boxes read as the dialog reads them) over the
// conversion veltrane-cli runs, with the --json facts and the diagnosis of a
// rejected numeral.
//
// The caller writes UTF-8 text into the three input buffers, calls
// veltrane_convert with the lengths, reads the text and the message from
// the output buffers and, when it wants them, has the --json facts written.
// Every buffer is static and lies in the module's one memory, which never
// grows: the module allocates nothing, and each call overwrites the results
// of the one before. _initialize (the reactor's start) must run once before
// the first call.
#ifndef VELTRANE_WEB_MODULE_H
#define VELTRANE_WEB_MODULE_H

// Exports a function from the module under its own name.
#define VELTRANE_EXPORT(name) __attribute__((export_name(#name)))

extern "C" {

// What veltrane_convert returns besides the notation flag (0 standard,
// 1 scientific).
enum WebBaseFault {
  kWebInputBaseInvalid = -1,   // the input base text is not a whole number from 2 to 36
  kWebOutputBaseInvalid = -2,  // the input base is valid, the output base text is not
};

// The numeral's buffer: veltrane_numeral_size() bytes, no terminator needed.
VELTRANE_EXPORT(veltrane_numeral) char* veltrane_numeral();
VELTRANE_EXPORT(veltrane_numeral_size) int veltrane_numeral_size();

// The base texts' buffers: veltrane_base_size() bytes each. Of a longer text
// the caller writes what fits; only its first 8 bytes are read.
VELTRANE_EXPORT(veltrane_input_base) char* veltrane_input_base();
VELTRANE_EXPORT(veltrane_output_base) char* veltrane_output_base();
VELTRANE_EXPORT(veltrane_base_size) int veltrane_base_size();

// Converts as the dialog's Convert command does, given the numeral's length
// and the base texts' lengths in bytes and the notation asked for (0
// standard, anything else scientific):
// - each base text is cut to 8 bytes, its blanks trimmed, and read as the
//   dialog's base boxes are read; an invalid input base gives
//   kWebInputBaseInvalid without reading the output base, then an invalid
//   output base gives kWebOutputBaseInvalid; the text is then "ERROR" and
//   the message names the base text read and what a base is;
// - otherwise the numeral is converted exactly as veltrane-cli converts one
//   line holding it (blanks around it ignored, no 28-character cut): the
//   text is the line veltrane-cli prints, and for a numeral that is not
//   converted the message is the one it writes after "line N: " ("" for a
//   converted one, +INF and -INF included). Returns the notation the radio
//   buttons then show: the one the text was written in, or for a numeral
//   without a text (ERROR, +INF, -INF) the one asked for.
// A numeral length above veltrane_numeral_size() stands for a numeral too
// long to be read (veltrane-cli's limit is that size): it is rejected as too
// long, and the buffer is not read.
VELTRANE_EXPORT(veltrane_convert)
int veltrane_convert(int numeralLength, int inputBaseLength, int outputBaseLength, int scientific);

// The text and the message of the latest conversion, each with its length
// in bytes, not terminated, and the notation of the text: 0 standard, 1
// scientific, -1 none (ERROR, +INF, -INF). The message is printable ASCII
// but for the bytes of a base text, which may cut a UTF-8 sequence short.
VELTRANE_EXPORT(veltrane_text) const char* veltrane_text();
VELTRANE_EXPORT(veltrane_text_length) int veltrane_text_length();
VELTRANE_EXPORT(veltrane_text_notation) int veltrane_text_notation();
VELTRANE_EXPORT(veltrane_message) const char* veltrane_message();
VELTRANE_EXPORT(veltrane_message_length) int veltrane_message_length();

// Writes the veltrane-cli --json object of the latest conversion, without
// its line end, into the buffer veltrane_json() points to, and returns its
// length in bytes (valid UTF-8); 0 after a base fault. Its exact value and
// distance cost many times the conversion, so they are worked out only
// when asked for. The numeral's buffer must not have been written since the
// conversion.
VELTRANE_EXPORT(veltrane_json) const char* veltrane_json();
VELTRANE_EXPORT(veltrane_facts) int veltrane_facts();

}  // extern "C"

#endif
