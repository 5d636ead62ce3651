// How korvatctl prints a result: the code and what it means, from a table of
// the meanings that the called function documents.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

struct Meaning {
  long code;
  const char* text;
};

// "0x80040154 (Class not registered)": an HRESULT with the system's text.
std::string DescribeHresult(HRESULT result);

// Prints "<call>: <result> (<meaning>)", the result in hexadecimal when it
// is an HRESULT, and gives the exit code: only a result of 0 succeeds.
int ReportResult(const std::string& call, long result, const Meaning* meanings, size_t count,
                 bool hresult);

template <size_t N>
int Report(const std::string& call, long result, const Meaning (&meanings)[N], bool hresult) {
  return ReportResult(call, result, meanings, N, hresult);
}
