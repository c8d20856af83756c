#include "library/base_field.h"

#include <climits>
#include <cstddef>

#include "numeral/digit_alphabet.h"

void trimSpaces(char* text) {
  std::size_t start = 0;
  while (text[start] == ' ') ++start;
  std::size_t length = 0;
  while (text[start + length] != '\0') {
    text[length] = text[start + length];
    ++length;
  }
  while (length > 0 && text[length - 1] == ' ') --length;
  text[length] = '\0';
}

int parseBaseField(int* base, const char* text) {
  *base = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return 0;
    const int digit = *c - '0';
    *base = *base > (INT_MAX - digit) / 10 ? INT_MAX : *base * 10 + digit;
  }
  if (*base < kMinBase) {
    *base = kMinBase;
    return 0;
  }
  if (*base > kMaxBase) {
    *base = kMaxBase;
    return 0;
  }
  return 1;
}
