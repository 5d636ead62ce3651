// ANSI text: the one bounded copy, and the cut in the system code page, where
// a character is one byte or two, that splits no double-byte character. Pure
// code (no Windows headers): the native build fuzzes it.
#pragma once

#include <cstddef>
#include <cstring>

namespace korvat {

// Copies at most `out_size` - 1 of the `length` bytes of `text` into `out`
// and terminates it; nothing when `out_size` is 0.
inline void CopyCut(char* out, size_t out_size, const char* text, size_t length) {
  if (out_size == 0) return;
  if (length > out_size - 1) length = out_size - 1;
  std::memcpy(out, text, length);
  out[length] = '\0';
}

// True when `c` opens a double-byte character in the system code page.
using LeadByteTest = bool (*)(unsigned char c);

// How many of the `length` bytes of `text` fit a buffer of `size` bytes with
// a terminating zero, without splitting a character: all of them when they
// fit, else the longest run of whole characters that does. A lead byte in the
// last byte of the text counts as a character of its own.
size_t FitAnsiText(const char* text, size_t length, size_t size, LeadByteTest is_lead_byte);

}  // namespace korvat
