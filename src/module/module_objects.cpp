// The module-level objects that lower layers declare and this, the top
// layer, defines: the trace log (core/trace_log.h), the class table
// (core/server_module.h) and the browser lists (setup/browser_windows.h).
// A lower layer names them through its own header and never includes this
// file; the linker joins the two. The trace log's run ends in DllMain, not by
// the order in which the objects are destroyed.
#include "core/class_factory.h"
#include "core/server_module.h"
#include "core/trace_log.h"
#include "setup/browser_windows.h"
#include "toolbar/korvat_exec.h"

namespace korvat {

TraceLog g_TraceLog;
PointerList ReopenUrlList;
PointerList PlacementList;

// The server's one creatable class, KorvatExec.
ClassTableEntry g_classTable[] = {
    {&CLSID_KorvatExec,
     &UpdateKorvatExecRegistry,
     &ClassFactory::CreateClassObject,
     &CreateKorvatExec,
     {}},
    {nullptr, nullptr, nullptr, nullptr, {}},
};

}  // namespace korvat
