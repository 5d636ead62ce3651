// How the doubles tell the tests what they were given: each call appends a line to "doubles.log"
// beside the double's own file, in the folder the test copied it into.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

// The module handle of the code that calls this (a DLL double or a program).
inline HMODULE CurrentModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&CurrentModule), &module);
  return module;
}

inline void RecordCall(const char* format, ...) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(CurrentModule(), path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) return;
  std::strcpy(slash + 1, "doubles.log");
  char line[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  if (FILE* file = std::fopen(path, "ab")) {  // one write per line: callers may race
    std::fprintf(file, "%s\n", line);
    std::fclose(file);
  }
}
