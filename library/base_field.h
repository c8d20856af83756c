// The dialog's reading of its boxes: blanks trimmed, and a base as a whole
// decimal number from 2 to 36.
#ifndef VELTRANE_LIBRARY_BASE_FIELD_H
#define VELTRANE_LIBRARY_BASE_FIELD_H

// Removes leading and trailing blanks (0x20 only; a tab is not a blank) in
// place. Never touches a byte before text or after its terminator.
void trimSpaces(char* text);

// Reads a whole decimal number from 2 to 36 into *base: 1 when valid, else 0.
// Writes *base in every case: the digits read before the first non-digit
// (signs, blanks and letters are non-digits), or 2 / 36 when the number is
// below 2 / above 36 (the empty text gives 2). A number beyond the int range
// saturates instead of overflowing; the command never passes one.
int parseBaseField(int* base, const char* text);

#endif
