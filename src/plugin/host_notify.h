// The notification that tells the host window a download step has ended.
#pragma once

#include <windows.h>

namespace korvat {

// What the two notifying download steps send (wParam, lParam).
inline constexpr WPARAM kPreDownloadDoneWParam = 0;
inline constexpr LPARAM kPreDownloadDoneLParam = 1;
inline constexpr WPARAM kAfterDownloadDoneWParam = 1;
inline constexpr LPARAM kAfterDownloadDoneLParam = 0;

// True when the host's value names an existing window. The host hands its
// window over as a number, and some numbers are no window but an address for
// many: 65535 (HWND_BROADCAST), and -1 under Wine, reach every top-level
// window. Nothing is posted or sent to a value that names no window.
bool IsHostWindow(HWND window);

// Sends g_ZRNotifyMsg to g_hHostWnd and waits until the host has handled it.
// Returns 1 when a host value was known (the message goes only to a window),
// 0 (nothing sent) before InitControl.
int NotifyHost(WPARAM wParam, LPARAM lParam);

}  // namespace korvat
