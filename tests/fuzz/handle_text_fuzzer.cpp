// The host's handle text is read as the scanf family reads a pointer-sized
// decimal number, for every input: no number gives 0, one out of range the
// nearest end of the range.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "plugin/handle_text.h"

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = std::string(reinterpret_cast<const char*>(data), size).c_str();
  intptr_t scanned = 0;
  const bool number = std::sscanf(text.c_str(), "%" SCNdPTR, &scanned) == 1;
  Check(ParseHandleText(text.c_str()) == (number ? scanned : 0));
  Check(ParseHandleText(nullptr) == 0);
  return 0;
}
