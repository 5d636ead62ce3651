#include "settings/meeting_page.h"

#include <cstring>

#include "platform/ansi_text.h"

namespace korvat {

namespace {

constexpr char kStartSegment[] = "/start/";

// The last "/" among the first `length` characters of `text`, or null.
const char* LastSlash(const char* text, size_t length) {
  while (length > 0) {
    --length;
    if (text[length] == '/') return text + length;
  }
  return nullptr;
}

bool EndsWith(const char* text, size_t length, const char* tail) {
  size_t tail_length = std::strlen(tail);
  return length >= tail_length && std::memcmp(text + length - tail_length, tail, tail_length) == 0;
}

}  // namespace

bool BuildPageFromLogin(const char* site, const char* name, char* page) {
  page[0] = '\0';
  const size_t site_length = std::strlen(site);
  const size_t name_length = std::strlen(name);
  if (site_length > kMaxLoginTextLength || name_length > kMaxLoginTextLength - site_length) {
    return false;
  }
  size_t used = 0;
  std::memcpy(page, site, site_length);
  used += site_length;
  if (site_length == 0 || site[site_length - 1] != '/') page[used++] = '/';
  std::memcpy(page + used, "start/", 6);
  used += 6;
  std::memcpy(page + used, name, name_length);
  used += name_length;
  page[used] = '\0';
  return true;
}

void SplitMeetingPage(const char* page, char* site_out, char* name_out) {
  size_t length = std::strlen(page);
  if (std::strstr(page, kStartSegment) == nullptr) {
    // Padded to the cut length, and always terminated.
    std::memset(site_out, 0, kUnsplitSiteLength + 1);
    CopyCut(site_out, kUnsplitSiteLength + 1, page, length);
    return;
  }
  // A final "/" behind the name is not the separator; a page that ends in
  // "/start/" has an empty name and keeps its "/".
  if (!EndsWith(page, length, kStartSegment) && page[length - 1] == '/') --length;

  // The page holds "/start/" ahead of `length`, so both "/" are found.
  const char* name_slash = LastSlash(page, length);
  const char* name = name_slash + 1;
  char name_part[kLoginOutputSize];
  CopyCut(name_part, kLoginOutputSize, name, length - static_cast<size_t>(name - page));
  UrlDecode(name_part, name_out, kLoginOutputSize - 1);

  const char* site_slash = LastSlash(page, static_cast<size_t>(name_slash - page));
  CopyCut(site_out, kLoginOutputSize, page, static_cast<size_t>(site_slash - page));
}

size_t UrlDecode(const char* text, char* out, size_t limit) {
  size_t written = 0;
  const char* at = text;
  while (*at != '\0' && written < limit) {
    char c = *at++;
    if (c == '%' && at[0] != '\0' && at[1] != '\0') {
      int high = HexDigitValue(at[0]);
      int low = HexDigitValue(at[1]);
      if (high >= 0 && low >= 0) {
        c = static_cast<char>(high * 16 + low);
        at += 2;
      }
    } else if (c == '+') {
      c = ' ';
    }
    out[written++] = c;
  }
  out[written] = '\0';
  return written;
}

}  // namespace korvat
