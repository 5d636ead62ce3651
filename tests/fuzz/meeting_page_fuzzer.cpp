// The meeting page functions on any input: building from a site and a name
// (the input up to its first newline and the rest), splitting any page, and
// decoding any text, into buffers of exactly their documented sizes so that
// AddressSanitizer reports any byte written past them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "settings/meeting_page.h"

using namespace korvat;

namespace {

// The site and the name split from `page`; the name buffer may stay untouched.
std::pair<std::string, std::string> Split(const char* page) {
  std::vector<char> site(kLoginOutputSize, 'S'), name(kLoginOutputSize, 'N');
  SplitMeetingPage(page, site.data(), name.data());
  const bool name_written = std::memchr(name.data(), '\0', kLoginOutputSize) != nullptr;
  Check(std::memchr(site.data(), '\0', kLoginOutputSize) != nullptr);
  Check(name_written || name[0] == 'N');
  return {site.data(), name_written ? name.data() : ""};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Texts end at their first zero, as the callers' strings do; the reader
  // hands over at most 2047 characters of a page.
  const std::string input = std::string(reinterpret_cast<const char*>(data), size).c_str();
  Split(input.substr(0, kMeetingPageSize - 1).c_str());

  const size_t newline = std::min(input.find('\n'), input.size());
  const std::string site = input.substr(0, newline),
                    name = input.substr(newline + (newline < input.size()));
  std::vector<char> page(kMeetingPageSize);
  const bool built = BuildPageFromLogin(site.c_str(), name.c_str(), page.data());
  Check(built == (site.size() + name.size() <= kMaxLoginTextLength));
  // A site without a final "/" and a name with nothing to decode and no "/"
  // come back as they went in.
  if (built && name.find_first_of("/%+") == std::string::npos &&
      (site.empty() || site.back() != '/') && site.size() < kLoginOutputSize &&
      name.size() < kLoginOutputSize) {
    Check(Split(page.data()) == std::make_pair(site, name));
  }

  for (size_t limit : {kLoginOutputSize - 1, size > 0 ? size_t{data[0] % 8u} : 0}) {
    std::vector<char> out(limit + 1);
    const size_t written = UrlDecode(input.c_str(), out.data(), limit);
    Check(written <= limit && written <= input.size() && out[written] == '\0');
  }
  return 0;
}
