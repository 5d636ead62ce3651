#include "cookie_writer.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "platform/scoped_handle.h"
#include "settings/cookie_file.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

constexpr uint64_t kFileTimeDay = 24ull * 60 * 60 * 10000000;
constexpr uint64_t kLifetime = 365 * kFileTimeDay;
// The browser's flags of a persistent cookie; readers ignore them.
constexpr char kCookieFlags[] = "0";

bool IsAlphanumeric(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsSchemeCharacter(char c) { return IsAlphanumeric(c) || c == '+' || c == '-' || c == '.'; }

// The file name: the host, with anything but letters, digits, "." and "-"
// (a port's ":" among them) as "_".
std::string CookieFileName(const std::string& host) {
  std::string name = "korvatctl@";
  for (char c : host) name += IsAlphanumeric(c) || c == '.' || c == '-' ? c : '_';
  return name + ".txt";
}

uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace

bool FitsCookieLine(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool SplitPageAddress(const std::string& page, std::string* host, std::string* path) {
  const size_t separator = page.find("://");
  if (separator == std::string::npos || separator == 0 || !FitsCookieLine(page)) return false;
  for (size_t i = 0; i < separator; ++i) {
    if (!IsSchemeCharacter(page[i])) return false;
  }
  const size_t host_start = separator + 3;
  const size_t slash = page.find('/', host_start);
  *host =
      page.substr(host_start, slash == std::string::npos ? std::string::npos : slash - host_start);
  *path = slash == std::string::npos ? "/" : page.substr(slash);
  return !host->empty();
}

std::string CookieRecord(const std::string& name, const std::string& value,
                         const std::string& host_path, uint64_t expires, uint64_t created) {
  auto time_lines = [](uint64_t time) {
    return std::to_string(static_cast<uint32_t>(time)) + "\n" +
           std::to_string(static_cast<uint32_t>(time >> 32)) + "\n";
  };
  return name + "\n" + value + "\n" + host_path + "\n" + kCookieFlags + "\n" + time_lines(expires) +
         time_lines(created) + "*\n";
}

std::string MeetingCookieFile(const std::string& host, const std::string& path,
                              const std::string* install, uint64_t now) {
  const std::string host_path = host + "/";
  std::string text = CookieRecord(kMeetingPageCookie, path, host_path, now + kLifetime, now);
  if (install != nullptr) {
    text += CookieRecord(kInstallCookie, *install, host_path, now + kLifetime, now);
  }
  return text;
}

int RunPutCookie(const Invocation& invocation) {
  std::string host;
  std::string path;
  if (!SplitPageAddress(invocation.page, &host, &path)) {
    std::fprintf(stderr,
                 "korvatctl: put-cookie: --page needs an address such as "
                 "https://host/path, not '%s'\n",
                 invocation.page.c_str());
    return kExitUsage;
  }
  if (invocation.has_install && !FitsCookieLine(invocation.install)) {
    std::fprintf(stderr, "korvatctl: put-cookie: --install holds a control character\n");
    return kExitUsage;
  }

  char folder[MAX_PATH] = {};
  HRESULT result = SHGetFolderPathA(nullptr, CSIDL_COOKIES | CSIDL_FLAG_CREATE, nullptr,
                                    SHGFP_TYPE_CURRENT, folder);
  if (result != S_OK) {
    std::fprintf(stderr, "korvatctl: put-cookie: no cookies folder (0x%08lX)\n",
                 static_cast<unsigned long>(result));
    return kExitFailed;
  }
  const std::string file = std::string(folder) + "\\" + CookieFileName(host);
  const std::string text =
      MeetingCookieFile(host, path, invocation.has_install ? &invocation.install : nullptr, Now());

  ScopedHandle handle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!handle ||
      !WriteFile(handle.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    std::fprintf(stderr, "korvatctl: put-cookie: cannot write %s (error %lu)\n", file.c_str(),
                 GetLastError());
    return kExitFailed;
  }
  std::printf("put-cookie: wrote %s\n", file.c_str());
  std::printf("  %s = %s (host %s/)\n", kMeetingPageCookie, path.c_str(), host.c_str());
  if (invocation.has_install) {
    std::printf("  %s = %s\n", kInstallCookie, invocation.install.c_str());
  }
  return kExitSuccess;
}
