// Whole cookie files as a web site might leave them: both cookies are looked
// for, the install cookie split and the meeting page built, as the import
// does, and every text must stay within its buffer.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "fuzz_support.h"
#include "settings/cookie_file.h"

// The tests use the module's names as its own code does.
using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  // Mid-2020 as a file time: recent enough that stale seeds are expired.
  const uint64_t now = 0x01D6500000000000ull;

  char page_value[kCookieLineSize], page_url[kCookieLineSize];
  uint64_t created = 0;
  bool found =
      FindCookieInText(text, size, kMeetingPageCookie, now, page_value, page_url, &created);
  Check(std::strlen(page_value) < kCookieLineSize && std::strlen(page_url) < kCookieLineSize);
  Check(found || (page_value[0] == '\0' && page_url[0] == '\0' && created == 0));

  InstallChoices choices;
  SetInstallDefaults(&choices);
  char value[kCookieLineSize], url[kCookieLineSize];
  if (FindCookieInText(text, size, kInstallCookie, now, value, url, &created)) {
    // The import keeps at most kInstallValueSize - 1 characters of the value.
    char install_value[kInstallValueSize];
    std::snprintf(install_value, sizeof(install_value), "%s", value);
    SplitInstallCookie(install_value, &choices);
  }
  // Only a web address: the page is opened in the user's browser.
  Check(strcasecmp(choices.scheme, "http") == 0 || strcasecmp(choices.scheme, "https") == 0);
  Check(std::strlen(choices.brand_title) < kCookieLineSize);

  char page[kMeetingPageSize];
  BuildMeetingPage(choices.scheme, page_url, page_value, page, sizeof(page));
  Check(std::strlen(page) < kMeetingPageSize);
  return 0;
}
