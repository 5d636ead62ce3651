// The install cookie import: reads the user's meeting page and installation
// choices from the browser's cookie files into the settings key, in the
// current user's hive and in the machine hive.
#pragma once

#include <windows.h>

#include <cstddef>

namespace korvat {

// The cookie file in which the last folder search took its cookie; empty
// until one search finds something, then kept for the life of the process.
extern char LastCookieFile[MAX_PATH];

// Imports both cookies into the settings key. 1 on success; 0 when there is
// no meeting page cookie, when the user's Option cannot be written, or when
// the machine's Option cannot be written and the toolbar button is wanted.
int ImportCookieSettings();

// Finds the newest unexpired cookie `szCookieName` across the cookie files
// (or in LastCookieFile alone, once that names an existing file) and copies
// its value and host field, cut to the buffer sizes. 1 when found.
int FindCookieFile(const char* szCookieName, char* szCookieValue, size_t value_size,
                   char* szCookieURL, size_t url_size);

// Looks for the cookie in one file; `value` and `url` hold kCookieLineSize
// bytes. 1 with the value, host field and creation time of an unexpired
// record; 0 otherwise, and for files over 1 MiB.
int ReadCookieFile(const char* path, const char* szCookieName, char* value, char* url,
                   ULONGLONG* created);

}  // namespace korvat
