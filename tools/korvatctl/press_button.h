// The press of the toolbar button as the browser makes it: the KorvatExec
// class created through COM, given a site and executed.
#pragma once

#include "arguments.h"

int RunPressButton(const Invocation& invocation);
