// Keeps the test prefix's wine server and system processes alive for the whole run, started
// detached so that they hold no test's output. It announces itself with a file on C: and runs
// until the cleanup ends the server.
#include <windows.h>

int main() {
  HANDLE ready = CreateFileA("C:\\korvat-prefix-keeper.ready", GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  Sleep(4 * 60 * 60 * 1000);  // a bound, should the cleanup never come
  return 0;
}
