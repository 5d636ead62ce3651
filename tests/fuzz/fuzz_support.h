// A check whose failure libFuzzer reports as a crash, and the lead bytes of a Shift-JIS-like
// code page, so that the double-byte paths run natively too.
#pragma once

#include <cstdlib>

inline void Check(bool condition) {
  if (!condition) std::abort();
}

inline bool IsShiftJisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Superscript one, two and three in code page 1252.
inline bool IsLatinSuperscriptDigit(unsigned char c) { return c == 0xB9 || c == 0xB2 || c == 0xB3; }
