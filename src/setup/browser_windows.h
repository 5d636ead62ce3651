// Closing, recording and reopening the open browser windows, so that a new
// or removed toolbar button shows in every one of them.
#pragma once

#include <windows.h>

#include "setup/pointer_list.h"

namespace korvat {

// Where a closed browser window stood, and the page to reopen it at.
struct BrowserPlacement {
  LONG left;
  LONG top;
  LONG width;
  LONG height;
  char url[1024];
  UINT showCmd;  // 1 normal, 2 minimised, 3 maximised; 0 when the window was not known
};

// The pages to reopen (heap copies, each once, letter case ignored), in the
// order first met, and the placements of the closed windows in closing order.
extern PointerList ReopenUrlList;
extern PointerList PlacementList;

// Walks the shell's windows and counts the browser windows; with
// `close_and_record` it records and closes each one. With `initialise_com` it
// initialises COM for the walk; without, it relies on the caller's thread.
int ScanIEWindows(int close_and_record, int initialise_com);

// Opens a new browser window at `url` and places it as the last matching
// closed window stood.
void ReopenIEWindow(const char* url);

// Closes every browser window, recording each, and reopens them at their pages.
void CycleIEWindows(bool initialise_com);

// Frees every record and page, and empties both lists.
void FreeBrowserLists();

}  // namespace korvat
