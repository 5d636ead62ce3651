// What the module leaves behind, printed: the versions of the files, the
// settings key of both hives, the browser button key, the KorvatExec class,
// the type library, the desktop shortcut; and the trace switch with the trace
// log.
#pragma once

#include "arguments.h"

int RunShow(const Invocation& invocation);
int RunTrace(const Invocation& invocation);
