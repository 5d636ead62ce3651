// The meeting page and its two parts: the site address and the user's name.
// The page is the site, a "/" unless the site ends in one, "start/" and the
// name. Pure text functions (no Windows headers), so that the native build
// runs them under the sanitizers and libFuzzer.
#pragma once

#include <cstddef>

namespace korvat {

// The site and the name together hold at most this many characters.
inline constexpr size_t kMaxLoginTextLength = 2040;
// The page buffer: the longest site and name, "/", "start/" and a zero; a
// page made from a cookie keeps its first 2047 characters.
inline constexpr size_t kMeetingPageSize = 2048;
// Both outputs of the split are caller buffers of at least this many bytes.
inline constexpr size_t kLoginOutputSize = 1024;
// A page that cannot be split is handed back as the site, cut to this length.
inline constexpr size_t kUnsplitSiteLength = 128;

// Builds the page of a login's site and name into `page` (kMeetingPageSize
// bytes). False, with `page`
// empty, when the site and name together are longer than kMaxLoginTextLength.
// An empty site gets its "/" too, so the page splits back into an empty site.
bool BuildPageFromLogin(const char* site, const char* name, char* page);

// Splits `page` back into `site_out` and `name_out` (kLoginOutputSize bytes
// each). A page holding "/start/" splits at its last two "/": the site comes
// before the second last, the decoded name after the last; one final "/"
// behind the name is dropped first. Any other page goes whole into
// `site_out`, cut to kUnsplitSiteLength characters and zero-terminated, and
// `name_out` keeps what it held. An empty page gives an empty site.
void SplitMeetingPage(const char* page, char* site_out, char* name_out);

// Decodes at most `limit` characters of `text` into `out`, which holds
// `limit` + 1 bytes: "%" and two hexadecimal digits give that byte, "+" a
// space; any other character, a "%" without two digits after it included,
// stands as it is. Returns the number of bytes written before the zero.
size_t UrlDecode(const char* text, char* out, size_t limit);

}  // namespace korvat
