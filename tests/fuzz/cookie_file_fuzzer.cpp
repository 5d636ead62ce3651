// Whole cookie files as a web site might leave them: both cookies found, the
// page built within its buffers, and a page the import takes a plain path on
// the cookie's host. The same input, read as an install cookie's
// value, is split against a plain reading of the rule: runs of "@" separate
// the fields, each cut to its buffer; the fourth gives the scheme only when
// that is "http" or "https" in any letter case; missing fields keep defaults.
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/ansi_text.h"
#include "settings/cookie_file.h"

using namespace korvat;

namespace {

void CheckSplit(const std::string& value) {
  std::vector<std::string> fields;
  for (size_t at = 0; at < value.size();) {
    const size_t end = std::min(value.find('@', at), value.size());
    if (end > at) fields.push_back(value.substr(at, end - at).substr(0, kCookieLineSize - 1));
    at = end + 1;
  }
  auto field = [&](size_t i, const char* missing) {
    return i < fields.size() ? fields[i] : std::string(missing);
  };
  std::string scheme = field(3, "");
  scheme.resize(std::min(scheme.find("://"), scheme.size()));
  if (scheme.size() == field(3, "").size() ||
      (strcasecmp(scheme.c_str(), "http") != 0 && strcasecmp(scheme.c_str(), "https") != 0)) {
    scheme = "http";
  }
  InstallChoices choices;
  SetInstallDefaults(&choices);
  SplitInstallCookie(value.c_str(), &choices);
  Check(choices.option == field(0, "FALSE") && choices.office_menu == field(1, "FALSE") &&
        choices.right_click == field(2, "FALSE") && choices.scheme == scheme &&
        choices.has_brand == field(4, "FALSE") && choices.brand_title == field(5, ""));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  // Mid-2020 as a file time: recent enough that stale seeds are expired.
  const uint64_t now = 0x01D6500000000000ull;
  char value[kCookieLineSize], url[kCookieLineSize], page[kMeetingPageSize];
  uint64_t created = 0;
  const bool found = FindCookieInText(text, size, kMeetingPageCookie, now, value, url, &created);
  Check(std::strlen(value) < kCookieLineSize && std::strlen(url) < kCookieLineSize);
  Check(found || (value[0] == '\0' && url[0] == '\0' && created == 0));
  BuildPageFromCookie("https", url, value, page, sizeof(page));
  Check(std::strlen(page) < kMeetingPageSize);
  // A page the import takes: no control byte, no user-info, and the cookie's
  // host as a browser reads the page (where the host fits the page at all).
  const std::string host(url, std::strcspn(url, "/")), built = page;
  if (found && IsUsablePageCookie(url, value) && host.size() + 9 < kMeetingPageSize) {
    Check(!HasControlBytes(page) && host.find('@') == std::string::npos &&
          built.substr(8, built.find_first_of("/\\?#", 8) - 8) == host);
  }
  if (FindCookieInText(text, size, kInstallCookie, now, value, url, &created)) CheckSplit(value);
  CheckSplit(std::string(text, size).c_str());
  return 0;
}
