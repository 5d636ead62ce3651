// Window handles and loader values pass between the host and the plug-in as
// text: a signed decimal number, read at pointer size ("%ld" on 32-bit).
#pragma once

#include <windows.h>

// The value of `text`, or 0 when it is null or holds no number.
LONG_PTR ParseHandleText(const char* text);
