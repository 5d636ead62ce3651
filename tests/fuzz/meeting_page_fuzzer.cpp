// The meeting page functions on any input: building from a site and a name
// (the input up to its first newline and the rest), splitting any page, and
// decoding any text into buffers of exactly the documented sizes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "settings/meeting_page.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Output buffers of exactly their documented size, so that AddressSanitizer
// reports any byte written past them.
struct LoginOutputs {
  std::unique_ptr<char[]> site{new char[kLoginOutputSize]};
  std::unique_ptr<char[]> name{new char[kLoginOutputSize]};
  LoginOutputs() {
    std::memset(site.get(), 'S', kLoginOutputSize);
    std::memset(name.get(), 'N', kLoginOutputSize);
  }
  bool Terminated() const {
    return std::memchr(site.get(), '\0', kLoginOutputSize) != nullptr &&
           (name[0] == 'N' || std::memchr(name.get(), '\0', kLoginOutputSize) != nullptr);
  }
};

void SplitAnyPage(const std::string& text) {
  // The reader hands over at most 2047 characters.
  std::string page = text.substr(0, kMeetingPageSize - 1);
  LoginOutputs out;
  SplitMeetingPage(page.c_str(), out.site.get(), out.name.get());
  Check(out.Terminated());
}

void BuildAndSplit(const std::string& site, const std::string& name) {
  std::unique_ptr<char[]> page(new char[kMeetingPageSize]);
  const bool built = BuildMeetingPage(site.c_str(), name.c_str(), page.get());
  Check(built == (site.size() + name.size() <= kMaxLoginTextLength));
  if (!built) return;
  LoginOutputs out;
  SplitMeetingPage(page.get(), out.site.get(), out.name.get());
  Check(out.Terminated());
  // A site without a final "/" and a name with nothing to decode and no "/"
  // come back as they went in.
  const bool plain_name = name.find_first_of("/%+") == std::string::npos;
  if (plain_name && (site.empty() || site.back() != '/') && site.size() < kLoginOutputSize &&
      name.size() < kLoginOutputSize) {
    Check(site == out.site.get());
    Check(name == out.name.get());
  }
}

void Decode(const std::string& text, size_t limit) {
  std::unique_ptr<char[]> out(new char[limit + 1]);
  size_t written = UrlDecode(text.c_str(), out.get(), limit);
  Check(written <= limit && written <= text.size() && out[written] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Texts end at their first zero, as the callers' strings do.
  std::string input(reinterpret_cast<const char*>(data), size);
  input = input.c_str();

  SplitAnyPage(input);
  size_t newline = input.find('\n');
  if (newline != std::string::npos) {
    BuildAndSplit(input.substr(0, newline), input.substr(newline + 1));
  }
  Decode(input, kLoginOutputSize - 1);
  Decode(input, size > 0 ? data[0] % 8 : 0);
  return 0;
}
