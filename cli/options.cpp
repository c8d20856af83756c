#include "cli/options.h"

#include <cstdio>
#include <cstring>

#include "app/conversion.h"

namespace {

// A base box holds 8 characters, which keeps parseBaseField below 10^8.
constexpr std::size_t kBaseFieldLength = 8;

// Reads a base like a base box does; false for anything but 2..36.
bool readBase(const char* text, int* base) {
  char field[64];
  if (std::strlen(text) >= sizeof field) return false;
  std::strcpy(field, text);
  trimSpaces(field);
  if (std::strlen(field) > kBaseFieldLength) return false;
  return parseBaseField(base, field) == 1;
}

// For "--name" and "--name=value": true when arg is that option; *value then
// points after '=' or is null.
bool matchLong(const char* arg, const char* name, const char** value) {
  std::size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0) return false;
  if (arg[n] == '\0') {
    *value = nullptr;
    return true;
  }
  if (arg[n] == '=') {
    *value = arg + n + 1;
    return true;
  }
  return false;
}

}  // namespace

CliAction parseCommandLine(int argc, char** argv, CliOptions* options, char* message,
                           std::size_t messageSize) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (optionsEnded || arg[0] != '-' || arg[1] == '\0') continue;  // a numeral
    argv[i] = nullptr;
    if (std::strcmp(arg, "--") == 0) {
      optionsEnded = true;
      continue;
    }
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) return kShowHelp;
    if (std::strcmp(arg, "--version") == 0) return kShowVersion;
    if (std::strcmp(arg, "-s") == 0 || std::strcmp(arg, "--scientific") == 0) {
      options->scientific = 1;
      continue;
    }

    // The two base options. The name used is kept for the message.
    int* base = nullptr;
    const char* value = nullptr;
    char name[8];
    if (matchLong(arg, "--from", &value)) {
      base = &options->inputBase;
      std::strcpy(name, "--from");
    } else if (matchLong(arg, "--to", &value)) {
      base = &options->outputBase;
      std::strcpy(name, "--to");
    } else if (arg[1] == 'f' || arg[1] == 't') {
      base = arg[1] == 'f' ? &options->inputBase : &options->outputBase;
      std::snprintf(name, sizeof name, "-%c", arg[1]);
      value = arg[2] != '\0' ? arg + 2 : nullptr;
    } else {
      std::snprintf(message, messageSize,
                    "unknown option '%s' (a negative numeral goes after '--'); "
                    "try 'veltrane-cli --help'",
                    arg);
      return kUsageError;
    }
    if (value == nullptr) {
      if (i + 1 == argc) {
        std::snprintf(message, messageSize, "option '%s' needs a base from 2 to 36", name);
        return kUsageError;
      }
      value = argv[++i];
      argv[i] = nullptr;
    }
    if (!readBase(value, base)) {
      std::snprintf(message, messageSize,
                    "option '%s': '%s' is not a base; give a whole decimal number from 2 to 36",
                    name, value);
      return kUsageError;
    }
  }
  return kRunConversions;
}
