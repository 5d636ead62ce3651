// The host's handle text: any text gives a number without harm, one that
// holds no number gives 0, and a decimal number that fits gives itself.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "plugin/handle_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = std::string(reinterpret_cast<const char*>(data), size).c_str();
  const intptr_t value = ParseHandleText(text.c_str());
  char* end = nullptr;
  errno = 0;
  const long long expected = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str()) {
    Check(value == 0);
  } else if (errno == 0 && expected >= INTPTR_MIN && expected <= INTPTR_MAX) {
    Check(value == static_cast<intptr_t>(expected));
  }
  Check(ParseHandleText(nullptr) == 0);
  return 0;
}
