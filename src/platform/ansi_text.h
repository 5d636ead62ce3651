// ANSI text: the one bounded copy, the one bounded formatting, the cut in the
// system code page, where a character is one byte or two, that splits no
// double-byte character, and the small tests every reader of text shares.
// Pure code apart from the two system calls at the end: the native build
// fuzzes it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <vector>

#ifdef _WIN32
#define KORVAT_FORMAT(format_at, arguments_at) \
  __attribute__((format(ms_printf, format_at, arguments_at)))
#else
#define KORVAT_FORMAT(format_at, arguments_at) \
  __attribute__((format(printf, format_at, arguments_at)))
#endif

namespace korvat {

// Copies at most `out_size` - 1 of the `length` bytes of `text` into `out`
// and terminates it; nothing when `out_size` is 0.
inline void CopyCut(char* out, size_t out_size, const char* text, size_t length) {
  if (out_size == 0) return;
  if (length > out_size - 1) length = out_size - 1;
  std::memcpy(out, text, length);
  out[length] = '\0';
}

// Formats into `out` (`out_size` bytes, at least one) and terminates it: the
// length written, or -1 when the text was cut to fit. On Windows this is the
// system C runtime's formatting: the toolchain's portable one would add its
// whole formatter, a sixth of the module, for the few %s, %d and %u it uses.
int FormatText(char* out, size_t out_size, const char* format, ...) KORVAT_FORMAT(3, 4);
int FormatTextV(char* out, size_t out_size, const char* format, va_list arguments)
    KORVAT_FORMAT(3, 0);

// True when `c` opens a double-byte character in the system code page.
using LeadByteTest = bool (*)(unsigned char c);

// How many of the `length` bytes of `text` fit a buffer of `size` bytes with
// a terminating zero, without splitting a character: all of them when they
// fit, else the longest run of whole characters that does. A lead byte in the
// last byte of the text counts as a character of its own.
size_t FitAnsiText(const char* text, size_t length, size_t size, LeadByteTest is_lead_byte);

// A byte below 0x20, or 0x7F: a line break, among others, which would start
// a line of its own in a file of lines.
inline bool IsControlByte(char c) {
  return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7F;
}

inline bool HasControlBytes(const char* text) {
  for (; *text != '\0'; ++text) {
    if (IsControlByte(*text)) return true;
  }
  return false;
}

// ASCII letters in upper case; every other byte as it is, whatever the code
// page: a keyword or scheme compares the same in every locale.
inline char FoldCase(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The first `length` bytes of `text` are `other`, ASCII letters in any case.
inline bool EqualsNoCase(const char* text, size_t length, const char* other) {
  for (size_t i = 0; i < length; ++i) {
    if (other[i] == '\0' || FoldCase(text[i]) != FoldCase(other[i])) return false;
  }
  return other[length] == '\0';
}

inline bool EqualsNoCase(const char* a, const char* b) {
  return EqualsNoCase(a, std::strlen(a), b);
}

// 0-15 for "0"-"9", "A"-"F" and "a"-"f"; -1 for any other character.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

#ifdef _WIN32
// The system code page's lead-byte test.
bool IsSystemLeadByte(unsigned char c);
// `text` in the system code page as UTF-16 with its terminating zero; empty
// when it cannot be converted. A vector: the module links no string class.
std::vector<wchar_t> WidenAnsi(const char* text);
#endif

}  // namespace korvat
