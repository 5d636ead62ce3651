// Window handles and loader values pass between the host and the plug-in as
// text: a signed decimal number with optional leading space and sign, read at
// pointer size (long on 32-bit).
// Pure code (no Windows headers), so that the native build fuzzes it.
#pragma once

#include <cstdint>

namespace korvat {

// The value of `text`, or 0 when it is null or holds no number.
intptr_t ParseHandleText(const char* text);

}  // namespace korvat
