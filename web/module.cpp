#include "web/module.h"

#include <cstdio>
#include <cstring>

#include "library/base_field.h"
#include "library/convert_line.h"
#include "library/report.h"

namespace {

// The dialog reads 8 characters of a base box (a 9-byte read with its NUL).
constexpr int kBaseFieldLength = 8;
// Room for a base box's text and more, so that the caller can write a text
// as typed and leave the cut to veltrane_convert.
constexpr int kBaseBufferSize = 64;

char numeralBuffer[kMaxNumeralLength];
char inputBaseBuffer[kBaseBufferSize];
char outputBaseBuffer[kBaseBufferSize];
char messageBuffer[kReportSize];
int messageLength = 0;
char jsonBuffer[kReportSize];

// The latest conversion, kept for its --json facts.
struct Latest {
  bool converted = false;  // false after a base fault
  LineOptions options;
  LineOutcome outcome = kConverted;
  LineDetails details;
  char text[kLineOutputSize] = "";
} latest;

int clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// Reads a base box's text as the Convert command does: 8 bytes at most,
// blanks trimmed, then parseBaseField. On failure the message names the
// text as read and what a base is.
bool readBaseBox(int* base, const char* buffer, int length) {
  char field[kBaseFieldLength + 1];
  const int n = clamp(length, 0, kBaseFieldLength);
  std::memcpy(field, buffer, static_cast<std::size_t>(n));
  field[n] = '\0';
  trimSpaces(field);
  if (parseBaseField(base, field)) return true;
  if (field[0] == '\0') {
    messageLength = std::snprintf(messageBuffer, sizeof messageBuffer,
                                  "no base; give a whole decimal number from 2 to 36");
  } else {
    messageLength =
        std::snprintf(messageBuffer, sizeof messageBuffer,
                      "'%s' is not a base; give a whole decimal number from 2 to 36", field);
  }
  return false;
}

}  // namespace

extern "C" {

char* veltrane_numeral() { return numeralBuffer; }
int veltrane_numeral_size() { return static_cast<int>(sizeof numeralBuffer); }
char* veltrane_input_base() { return inputBaseBuffer; }
char* veltrane_output_base() { return outputBaseBuffer; }
int veltrane_base_size() { return kBaseBufferSize; }

int veltrane_convert(int numeralLength, int inputBaseLength, int outputBaseLength, int scientific) {
  latest.converted = false;
  std::strcpy(latest.text, "ERROR");
  messageLength = 0;
  LineOptions& options = latest.options;
  options = LineOptions();
  options.scientific = scientific != 0 ? 1 : 0;
  if (!readBaseBox(&options.inputBase, inputBaseBuffer, inputBaseLength))
    return kWebInputBaseInvalid;
  if (!readBaseBox(&options.outputBase, outputBaseBuffer, outputBaseLength))
    return kWebOutputBaseInvalid;

  // A length beyond the buffer is beyond kMaxNumeralLength, and convertLine
  // rejects such a line without reading it.
  const std::size_t length = static_cast<std::size_t>(numeralLength < 0 ? 0 : numeralLength);
  latest.outcome = convertLine(numeralBuffer, length, options, latest.text, &latest.details);
  latest.converted = true;
  describeRejection(messageBuffer, sizeof messageBuffer, latest.outcome, latest.details);
  messageLength = static_cast<int>(std::strlen(messageBuffer));
  return latest.details.scientific >= 0 ? latest.details.scientific : options.scientific;
}

const char* veltrane_text() { return latest.text; }
int veltrane_text_length() { return static_cast<int>(std::strlen(latest.text)); }
int veltrane_text_notation() { return latest.converted ? latest.details.scientific : -1; }
const char* veltrane_message() { return messageBuffer; }
int veltrane_message_length() { return messageLength; }

const char* veltrane_json() { return jsonBuffer; }

int veltrane_facts() {
  if (!latest.converted) return 0;
  std::size_t length = writeJsonLine(jsonBuffer, sizeof jsonBuffer, latest.outcome, latest.text,
                                     latest.details, latest.options);
  if (length > 0 && jsonBuffer[length - 1] == '\n') --length;
  return static_cast<int>(length);
}

}  // extern "C"
