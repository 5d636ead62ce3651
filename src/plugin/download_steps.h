// The work of the download steps that a host runs around its download.
#pragma once

namespace korvat {

// Rebuilds the settings key in both hives with the shortcut texts and, when
// longer than 2 characters, the return page; then tells the host.
void PreDownload(const char* return_page);
// Starts "tpvoun.exe /r" beside the module without waiting, lets the
// downloaded control module register itself, then tells the host.
void AfterDownload();

}  // namespace korvat
