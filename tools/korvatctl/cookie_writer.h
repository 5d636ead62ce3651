// The cookies that the conferencing site leaves for the installation, written
// as the browser keeps them: a text file of nine-line records in the current
// user's cookies folder.
#pragma once

#include <cstdint>
#include <string>

#include "arguments.h"

// The host and the rest of a page address "scheme://host/path": the path
// starts at the first "/" after the host, and is "/" when there is none.
// False when the address has no scheme or no host, or holds a character
// that a cookie file line cannot.
bool SplitPageAddress(const std::string& page, std::string* host, std::string* path);

// True when `text` fits one line of a cookie file: no control characters.
bool FitsCookieLine(const std::string& text);

// One cookie record; the times are file times (100 ns since 1601, UTC).
std::string CookieRecord(const std::string& name, const std::string& value,
                         const std::string& host_path, uint64_t expires, uint64_t created);

// The file's text: the "MeetingPage" cookie (its value the page's path, its
// host field the host and "/") and, when `install` is given, the install
// cookie with the "@"-separated choices. Both are created at `now` and
// expire a year later.
std::string MeetingCookieFile(const std::string& host, const std::string& path,
                              const std::string* install, uint64_t now);

int RunPutCookie(const Invocation& invocation);
