// The verbs that load the module and call its exports: the setup and removal
// entries, the COM registration entries, and the option and login functions.
// Each prints the export's result with its meaning and gives kExitFailed when
// the export reported a failure.
#pragma once

#include <windows.h>

#include <string>

#include "arguments.h"

// The module that korvatctl drives: --module as a full path, or Korvat.dll
// beside korvatctl.exe.
std::string ModulePath(const Invocation& invocation);

int RunSetup(const Invocation& invocation);
int RunPreSetup(const Invocation& invocation);
int RunUninstall(const Invocation& invocation);
int RunRegister(const Invocation& invocation);
int RunUnregister(const Invocation& invocation);
int RunSetOption(const Invocation& invocation);
int RunGetOption(const Invocation& invocation);
int RunRemoveAddIn(const Invocation& invocation);
int RunSetLogin(const Invocation& invocation);
int RunGetLogin(const Invocation& invocation);
