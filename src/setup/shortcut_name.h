// The desktop shortcut's file name, made from a title that a web site's
// cookie may carry. Pure text code (no Windows headers), so that the native
// build runs it under the sanitizers and libFuzzer.
#pragma once

#include <cstddef>

#include "platform/ansi_text.h"

namespace korvat {

// Candidate names run from "<title>.url" to "<title> (kMaxShortcutNumber).url".
inline constexpr unsigned kMaxShortcutNumber = 100;

// Writes into `name` (`size` bytes with the zero) "<title>.url" for `number`
// 1 and "<title> (<number>).url" above it, where the title is made usable as
// a Windows file name: characters that a file name cannot hold (control
// characters, path separators among them) become "_"; an empty title becomes
// "_"; a device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any letter
// case, with or without an extension) gets a "_" after it; and a title too
// long for `size` is cut, never inside a double-byte character. Dots and
// spaces at the title's end stay: ".url" follows them. False when not even
// one character of the title fits.
bool MakeShortcutFileName(const char* title, unsigned number, LeadByteTest is_lead_byte, char* name,
                          size_t size);

}  // namespace korvat
