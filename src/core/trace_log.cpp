#include "core/trace_log.h"

#include <cstdarg>
#include <cstring>

#include "core/module_state.h"
#include "platform/ansi_text.h"
#include "platform/reg_key_handle.h"

namespace korvat {

namespace {

constexpr char kFirstRunRule[] = "+++++++++++++++++++++++++++++++++++++++++++++++++++++++++\n";
constexpr char kEndRunRule[] = "--------------------------------------------------------\n";
constexpr char kTimeFormat[] = "HH':'mm':'ss";

void WriteLine(FILE* file, const char* text) {
  std::fputs(text, file);
  std::fputc('\n', file);
}

void FormatTime(char (&time_text)[48]) {
  std::memset(time_text, 0, sizeof(time_text));
  GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, nullptr, kTimeFormat, time_text,
                 sizeof(time_text));
}

}  // namespace

TraceLog::TraceLog()
    : m_szModulePath{},
      m_szLogDir{},
      m_szLogName{},
      m_szSwitchName{},
      m_pFile(nullptr),
      m_bEnabled(0),
      m_bStarted(0),
      m_bDebugOut(0) {}

TraceLog::~TraceLog() { End(); }

void TraceLog::End() {
  if (m_bStarted == 1) {
    WriteBanner(0);
    m_bStarted = 0;
  }
  if (m_pFile != nullptr) {
    std::fclose(m_pFile);
    m_pFile = nullptr;
  }
}

void TraceLog::Init() {
  char path[MAX_PATH];
  if (GetModulePath(path)) InitFromModulePath(path);
}

void TraceLog::InitFromModulePath(const char* module_path) {
  std::memset(m_szModulePath, 0, sizeof(m_szModulePath));
  std::memset(m_szLogDir, 0, sizeof(m_szLogDir));
  std::memset(m_szLogName, 0, sizeof(m_szLogName));
  std::memset(m_szSwitchName, 0, sizeof(m_szSwitchName));
  if (module_path == nullptr || module_path[0] == '\0') return;
  CopyCut(m_szModulePath, sizeof(m_szModulePath), module_path, std::strlen(module_path));

  if (const char* slash = FindLastBackslash(m_szModulePath)) {
    CopyCut(m_szLogDir, sizeof(m_szLogDir), m_szModulePath,
            static_cast<size_t>(slash - m_szModulePath));
    CopyCut(m_szLogName, sizeof(m_szLogName), slash + 1, std::strlen(slash + 1));
  }
  if (char* dot = std::strchr(m_szLogName, '.')) *dot = '\0';

  FormatText(m_szSwitchName, sizeof(m_szSwitchName), "TRACE_ENABLE_%s", m_szLogName);
  std::strncat(m_szLogName, ".log", sizeof(m_szLogName) - std::strlen(m_szLogName) - 1);
}

int TraceLog::ReadSwitch() {
  RegKeyHandle key;
  if (key.Create(HKEY_CURRENT_USER, kTraceSwitchKey, nullptr, REG_OPTION_NON_VOLATILE,
                 KEY_ALL_ACCESS) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD number = 0;
  DWORD size = sizeof(number);
  // A value of another size (text, or longer than 4 bytes) counts as 0.
  if (RegQueryValueExA(key.Get(), m_szSwitchName, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS) {
    number = 0;
  }
  if (number == 3) m_bDebugOut = 1;
  return number == 1 || number == 3 ? 1 : 0;
}

bool TraceLog::OpenFileLocked() {
  if (m_pFile != nullptr) return true;
  if (m_szLogName[0] == '\0') return false;
  char path[2 * MAX_PATH + 2];
  FormatText(path, sizeof(path), "%s\\%s", m_szLogDir, m_szLogName);
  m_pFile = std::fopen(path, "at");
  return m_pFile != nullptr;
}

int TraceLog::Write(const char* format, ...) {
  if (m_bEnabled == 0) return 0;

  char message[512];
  va_list args;
  va_start(args, format);
  FormatTextV(message, sizeof(message), format, args);  // a longer one keeps its first 511
  va_end(args);
  // A line is one line, whatever a cookie or a caller's text holds.
  for (char* at = message; *at != '\0'; ++at) {
    if (IsControlByte(*at)) *at = '?';
  }

  char time_text[48];
  FormatTime(time_text);
  char line[600];
  FormatText(line, sizeof(line), "%s      %s", time_text, message);

  // The open and the banner are under the lock as well, so that two threads
  // writing their first lines at once neither open the file twice nor write
  // two banners.
  ScopedLock hold(m_cs);
  if (!OpenFileLocked()) return 0;
  if (m_bStarted == 0) {
    WriteBanner(1);
    m_bStarted = 1;
  }
  WriteLine(m_pFile, line);
  std::fflush(m_pFile);
  if (m_bDebugOut) OutputDebugStringA(line);
  return 1;
}

int TraceLog::WriteBanner(int first_run) {
  if (m_pFile == nullptr) return 0;
  ScopedLock hold(m_cs);

  char date_text[128] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, LOCALE_NOUSEROVERRIDE, nullptr, nullptr, date_text,
                 sizeof(date_text));
  char time_text[48];
  FormatTime(time_text);
  char banner[1024];
  FormatText(banner, sizeof(banner), "%s     %s--->%s%s\n", date_text, time_text, m_szLogName,
             first_run ? "   First Run" : "   End Run");

  if (first_run) {
    std::fputs(kFirstRunRule, m_pFile);
    if (m_bDebugOut) OutputDebugStringA(kFirstRunRule);
    WriteLine(m_pFile, banner);
    std::fflush(m_pFile);
    if (m_bDebugOut) OutputDebugStringA(banner);
  } else {
    WriteLine(m_pFile, banner);
    if (m_bDebugOut) OutputDebugStringA(banner);
    std::fputs(kEndRunRule, m_pFile);
    std::fflush(m_pFile);
    if (m_bDebugOut) OutputDebugStringA(kEndRunRule);
  }
  return 1;
}

}  // namespace korvat
