// Stand-in for tpvoun.exe: records the command line it was started with.
#include <windows.h>

#include "record.h"

int main() {
  RecordCall(CurrentModule(), "tpvoun %s", GetCommandLineA());
  return 0;
}
