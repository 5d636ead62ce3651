// Keeps the test prefix's wine server and its system processes alive for the
// whole test run. It is started detached from the test output, so that the
// system processes that the server starts for it do not hold the output of
// the test that happens to run first. It announces itself with a file in the
// prefix's C: drive and runs until the cleanup ends the server.
#include <windows.h>

int main() {
  HANDLE ready = CreateFileA("C:\\korvat-prefix-keeper.ready", GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  Sleep(4 * 60 * 60 * 1000);  // a bound, should the cleanup never come
  return 0;
}
