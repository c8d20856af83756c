// The converter as a WebAssembly module for the browser page: the dialog's
// Convert command (its base boxes read as the dialog reads them) over the
// conversion veltrane-cli runs, with the --json facts and the diagnosis of a
// rejected numeral.
//
// The caller writes UTF-8 text into the three input buffers, calls
// veltrane_convert with the lengths, and reads the --json object and the
// message from the output buffers. Every buffer is static and lies in the
// module's one memory, which never grows: the module allocates nothing, and
// each call overwrites the results of the one before. _initialize (the
// reactor's start) must run once before the first call.
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
//   output base gives kWebOutputBaseInvalid; the --json object is then empty
//   and the message names the text and what a base is;
// - otherwise the numeral is converted exactly as veltrane-cli --json
//   converts one line holding it (blanks around it ignored, no 28-character
//   cut): the --json object is that line, without its line end, and for a
//   numeral that is not converted the message is the one veltrane-cli
//   writes after "line N: " ("" for a converted one, +INF and -INF
//   included). Returns the notation the radio buttons then show: the one the
//   text was written in, or for a numeral without a text (ERROR, +INF, -INF)
//   the one asked for.
// A numeral length above veltrane_numeral_size() stands for a numeral too
// long to be read (veltrane-cli's limit is that size): it is rejected as too
// long, and the buffer is not read.
VELTRANE_EXPORT(veltrane_convert) int veltrane_convert(int numeralLength, int inputBaseLength,
                                      int outputBaseLength, int scientific);

// The results of the latest call: the --json object (valid UTF-8) and the
// message, each with its length in bytes, not terminated.
VELTRANE_EXPORT(veltrane_json) const char* veltrane_json();
VELTRANE_EXPORT(veltrane_json_length) int veltrane_json_length();
VELTRANE_EXPORT(veltrane_message) const char* veltrane_message();
VELTRANE_EXPORT(veltrane_message_length) int veltrane_message_length();

}  // extern "C"

#endif
