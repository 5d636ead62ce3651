#include "results.h"

#include <cstdio>

#include "arguments.h"

std::string DescribeHresult(HRESULT result) {
  char hex[16];
  std::snprintf(hex, sizeof(hex), "0x%08lX", static_cast<unsigned long>(result));
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(result), 0, text, sizeof(text), nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == '.' || text[length - 1] == ' ')) {
    text[--length] = '\0';
  }
  const char* meaning = length > 0 ? text : (SUCCEEDED(result) ? "success" : "failed");
  return std::string(hex) + " (" + meaning + ")";
}

int ReportResult(const std::string& call, long result, const Meaning* meanings, size_t count,
                 bool hresult) {
  const char* meaning = nullptr;
  for (size_t i = 0; i < count && meaning == nullptr; ++i) {
    if (meanings[i].code == result) meaning = meanings[i].text;
  }
  if (hresult && meaning == nullptr) {
    std::printf("%s: %s\n", call.c_str(), DescribeHresult(static_cast<HRESULT>(result)).c_str());
  } else if (hresult) {
    std::printf("%s: 0x%08lX (%s)\n", call.c_str(), static_cast<unsigned long>(result), meaning);
  } else {
    std::printf("%s: %ld (%s)\n", call.c_str(), result, meaning != nullptr ? meaning : "failed");
  }
  return result == 0 ? kExitSuccess : kExitFailed;
}
