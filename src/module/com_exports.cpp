// The COM server's exports: thin forwards to the server state.
#include <windows.h>
#include <ole2.h>

#include "core/server_module.h"

// The exports stay global, under the names their callers look up; the code
// behind them lives in korvat.
using namespace korvat;

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return g_serverModule.GetClassObject(clsid, iid, object);
}

// The module may go when no object, no client reference to a class object and
// no LockServer lock is outstanding.
STDAPI DllCanUnloadNow() { return g_serverModule.LockCount() == 0 ? S_OK : S_FALSE; }
