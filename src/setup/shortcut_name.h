// The desktop shortcut's file name, made from a title that a web site's
// cookie may carry. Pure text code (no Windows headers), so that the native
// build runs it under the sanitizers and libFuzzer.
#pragma once

#include <cstddef>

#include "platform/ansi_text.h"

namespace korvat {

// True when the byte is a superscript 1, 2 or 3 in the system code page,
// where Windows takes "COM¹" for a device as it does "COM1".
using SuperscriptDigitTest = bool (*)(unsigned char c);

// Candidate names run from "<title>.url" to "<title> (kMaxShortcutNumber).url".
inline constexpr unsigned kMaxShortcutNumber = 100;

// Writes into `name` (`size` bytes with the zero) "<title>.url" for `number`
// 1 and "<title> (<number>).url" above it, where the title is made usable as
// a Windows file name: characters that a file name cannot hold (control
// characters, path separators among them) become "_"; an empty title becomes
// "_"; a device name (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9 and COM or LPT
// with a superscript digit, in any letter case, with or without an extension)
// gets a "_" after it; and a title too
// long for `size` is cut, never inside a double-byte character. Dots and
// spaces at the title's end stay: ".url" follows them. False when not even
// one character of the title fits.
bool MakeShortcutFileName(const char* title, unsigned number, LeadByteTest is_lead_byte,
                          SuperscriptDigitTest is_superscript_digit, char* name, size_t size);

}  // namespace korvat
