// The browser's location address cut to fit a buffer (the placement record's
// holds 1023 bytes): whole characters only, as many as fit.
#include <cstdint>

#include "fuzz_support.h"
#include "platform/ansi_text.h"

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t room = 1 + (static_cast<size_t>(data[0]) << 8 | data[1]) % 2100;
  const char* text = reinterpret_cast<const char*>(data) + 2;
  const size_t length = size - 2;
  const size_t kept = FitAnsiText(text, length, room, IsShiftJisLeadByte);
  Check(kept <= length && kept < room && (length >= room || kept == length));
  // `kept` ends a character, and the next one would not have fit.
  auto step = [&](size_t at) { return IsShiftJisLeadByte(text[at]) && at + 1 < length ? 2 : 1; };
  size_t at = 0;
  while (at < kept) at += step(at);
  Check(at == kept && (kept == length || kept + step(kept) > room - 1));
  return 0;
}
