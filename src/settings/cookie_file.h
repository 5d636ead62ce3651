// The browser's cookie files as the install cookie import reads them: the
// nine-line records of one file, and the fields of the install cookie.
// Pure code over bytes that web sites wrote; it needs no Windows headers so
// that it also runs natively under the sanitizers and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/meeting_page.h"

namespace korvat {

// The two cookies the conferencing site leaves.
inline constexpr char kMeetingPageCookie[] = "MeetingPage";
inline constexpr char kInstallCookie[] = "CK_TP_tapvomtginstall";

// A line is taken up to this buffer size: longer lines keep their first
// 2047 bytes (the name line is compared whole).
inline constexpr size_t kCookieLineSize = 2048;
// Larger files are not read.
inline constexpr uint64_t kMaxCookieFileSize = 1048576;
// The install cookie's value keeps its first 1023 characters.
inline constexpr size_t kInstallValueSize = 1024;
// The scheme taken from the install cookie: "http" or "https" in the letter
// case the cookie gives, with room to spare.
inline constexpr size_t kSchemeSize = 16;

// Looks for the cookie `name` in the text of one cookie file (`size` bytes;
// the text ends early at a zero byte). True when the first record of that
// name that is not local is unexpired at `now` (a file time in UTC): then
// `value` and `url` (kCookieLineSize bytes each) hold its value and host
// lines and `created` its creation time. Time lines that are not decimal
// numbers of at most 32 bits count as 0.
bool FindCookieInText(const char* text, size_t size, const char* name, uint64_t now, char* value,
                      char* url, uint64_t* created);

// The installation choices that the install cookie carries.
struct InstallChoices {
  char option[kCookieLineSize];
  char office_menu[kCookieLineSize];
  char right_click[kCookieLineSize];
  char scheme[kSchemeSize];
  char has_brand[kCookieLineSize];
  char brand_title[kCookieLineSize];
};

// The choices when the cookie, or one of its fields, is missing.
void SetInstallDefaults(InstallChoices* choices);

// Takes the fields of the install cookie's value over the defaults: fields
// are separated by runs of "@" (empty fields do not count), in the order
// Option, OfficeMenu, RightClick, an address giving the scheme, HasBrand,
// BrandTitle; later fields are ignored. Only "http" and "https", in any
// letter case, are taken as the scheme.
void SplitInstallCookie(const char* value, InstallChoices* choices);

// The "MeetingPage" cookie names a page on its own host: its value is a path
// (it begins with "/"), and the host field's host, up to its first "/", is not
// empty. Neither holds a control byte, nor the host a "\", "?", "#" or "@", which
// would end the host early or put user-info before it in the browser's
// reading of the page.
bool IsUsablePageCookie(const char* url, const char* value);

// The meeting page of a site's cookie: the scheme, "://", the host field cut
// at its first "/" and the cookie's value, cut to fit `size` bytes.
void BuildPageFromCookie(const char* scheme, const char* url, const char* value, char* page,
                         size_t size);

}  // namespace korvat
