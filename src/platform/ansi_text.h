// ANSI text in the system code page, where a character is one byte or two:
// cut so that no double-byte character is split. Pure code (no Windows
// headers): the native build fuzzes it.
#pragma once

#include <cstddef>

// True when `c` opens a double-byte character in the system code page.
using LeadByteTest = bool (*)(unsigned char c);

// How many of the `length` bytes of `text` fit a buffer of `size` bytes with
// a terminating zero, without splitting a character: all of them when they
// fit, else the longest run of whole characters that does. A lead byte in the
// last byte of the text counts as a character of its own.
size_t FitAnsiText(const char* text, size_t length, size_t size, LeadByteTest is_lead_byte);
