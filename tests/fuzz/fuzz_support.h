// What the fuzz targets share: a check that ends the run with a crash that
// libFuzzer reports, and the lead bytes of a double-byte code page
// (Shift-JIS-like), so that the double-byte paths run natively too.
#pragma once

#include <cstdlib>

inline void Check(bool condition) {
  if (!condition) std::abort();
}

inline bool IsShiftJisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
