// The load benchmark's floor: a DLL that does nothing, built with the
// module's compile and link options.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
