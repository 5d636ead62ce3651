// korvatctl check: whether the installation on this machine is whole, point
// by point. It reads and never writes; see installation.h.
#pragma once

#include <string>
#include <vector>

#include "arguments.h"

struct CheckPoint {
  const char* name;    // the point's name in check --json
  const char* label;   // how check's text names it
  std::string reason;  // why the point does not hold; empty when it holds
};

// The seven points for the module at `module` (a full path), in order: the
// class, the type library, the browser button, the desktop shortcut, the
// companion modules, the meeting page and the trace log.
std::vector<CheckPoint> CheckInstallation(const std::string& module);

int RunCheck(const Invocation& invocation);
