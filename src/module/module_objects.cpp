// The module-level objects, defined in one place so that they are built in
// this order and destroyed in the reverse one: the trace log first, so that
// it is destroyed last and its "End Run" banner closes every run.
#include "core/trace_log.h"
#include "setup/browser_windows.h"

namespace korvat {

TraceLog g_TraceLog;
PointerList ReopenUrlList;
PointerList PlacementList;

}  // namespace korvat
