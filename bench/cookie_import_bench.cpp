// The install cookie import against plainly reading the same cookie files.
// Builds a cookies folder of 5,000 files (mostly 0.2 to 4 KB, a few near
// 1 MiB, the wanted cookies in one of the last files listed) in the user's
// real cookies folder, times ImportCookieSettings against a plain read of
// every file whole, the floor, and removes its files again.
// It writes the settings key of both hives, so it refuses to run where the
// user's settings key already exists.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/scoped_handle.h"
#include "settings/cookie_file.h"
#include "settings/cookie_import.h"
#include "settings/settings_key.h"

// The benchmarks use the module's names as its own code does.
using namespace korvat;

namespace {

constexpr int kFiles = 5000;
constexpr int kLargeFiles = 5;
constexpr korvat_bench::Plan kPlan = {5, 1, "import"};
constexpr char kPrefix[] = "korvat-bench-";

unsigned g_seed = 12345;
unsigned Random(unsigned below) {
  g_seed = g_seed * 1103515245u + 12345u;
  return (g_seed >> 8) % below;
}

std::string Record(const std::string& name, const std::string& value, unsigned created) {
  char times[96];
  std::snprintf(times, sizeof(times), "1536\n%u\n%u\n%u\n%u\n*\n", 0u, 0x7FFFFFFFu, created,
                30000000u);
  return name + "\n" + value + "\nsite" + std::to_string(Random(900)) + ".example.com/\n" + times;
}

// Records of other cookies up to about `size` bytes.
std::string Filler(size_t size) {
  std::string text;
  while (text.size() < size) {
    std::string value(20 + Random(200), 'a' + static_cast<char>(Random(26)));
    text += Record("c" + std::to_string(Random(100000)), value, 1000 + Random(1000));
  }
  return text;
}

bool WriteWhole(const std::string& path, const std::string& text) {
  ScopedHandle file(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  return ok && written == text.size();
}

std::vector<std::string> ListCookieFiles(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  ScopedFindHandle find(FindFirstFileA((folder + "*.txt").c_str(), &entry));
  if (!find) return names;
  do names.push_back(entry.cFileName);
  while (FindNextFileA(find.Get(), &entry));
  return names;
}

// What any reader of the folder must do at least: list it and read each
// file whole.
size_t PlainRead(const std::string& folder, char* buffer, DWORD buffer_size) {
  size_t total = 0;
  WIN32_FIND_DATAA entry;
  ScopedFindHandle find(FindFirstFileA((folder + "*.txt").c_str(), &entry));
  if (!find) return 0;
  do {
    ScopedHandle file(CreateFileA((folder + entry.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) continue;
    LARGE_INTEGER size;
    DWORD read = 0;
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart <= buffer_size &&
        ReadFile(file.Get(), buffer, static_cast<DWORD>(size.QuadPart), &read, nullptr)) {
      total += read;
    }
  } while (FindNextFileA(find.Get(), &entry));
  return total;
}

void DeleteBenchFiles(const std::string& folder) {
  for (const std::string& name : ListCookieFiles(folder)) {
    if (name.compare(0, std::strlen(kPrefix), kPrefix) == 0) {
      DeleteFileA((folder + name).c_str());
    }
  }
}

}  // namespace

int main() {
  ScopedRegKey existing;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, existing.Put()) ==
      ERROR_SUCCESS) {
    std::fprintf(stderr, "the settings key exists; not overwriting it\n");
    return 2;
  }
  char folder_path[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_COOKIES | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                       folder_path) != S_OK) {
    std::fprintf(stderr, "no cookies folder\n");
    return 2;
  }
  const std::string folder = std::string(folder_path) + "\\";

  size_t bytes = 0;
  for (int i = 0; i < kFiles; ++i) {
    size_t size = i < kLargeFiles ? 1000000 + Random(40000) : 200 + Random(3900);
    std::string text = Filler(size);
    if (text.size() > kMaxCookieFileSize) text.resize(kMaxCookieFileSize);
    char name[64];
    std::snprintf(name, sizeof(name), "%s%05d.txt", kPrefix, i);
    if (!WriteWhole(folder + name, text)) {
      std::fprintf(stderr, "cannot write %s\n", name);
      DeleteBenchFiles(folder);
      return 2;
    }
    bytes += text.size();
  }
  // The wanted cookies go into one of the last files the folder lists.
  std::vector<std::string> listed = ListCookieFiles(folder);
  std::string wanted;
  for (size_t i = listed.size(); i-- > 0 && listed.size() - i <= 3;) {
    if (listed[i].compare(0, std::strlen(kPrefix), kPrefix) == 0) wanted = listed[i];
  }
  WriteWhole(folder + wanted,
             Filler(1500) + Record(kMeetingPageCookie, "/site/start/bench", 5000) +
                 Record(kInstallCookie, "desktop@true@true@https://x@false@", 5000));
  std::printf(
      "cookie files: %zu (%d of them the benchmark's, %.1f MB), wanted in %s, "
      "listed %zu of %zu\n",
      listed.size(), kFiles, bytes / 1e6, wanted.c_str(),
      std::find(listed.begin(), listed.end(), wanted) - listed.begin() + 1, listed.size());

  const DWORD buffer_size = static_cast<DWORD>(kMaxCookieFileSize);
  std::vector<char> buffer(buffer_size);

  int result = 0;
  const korvat_bench::Comparison comparison = korvat_bench::Compare(
      kPlan,
      [&result] {
        LastCookieFile[0] = '\0';  // a full search, as at the first setup of a process
        result = ImportCookieSettings();
      },
      [&] { PlainRead(folder, buffer.data(), buffer_size); });
  char page[kPageBufferSize];
  ReadSettingString(HKEY_CURRENT_USER, kMeetingPage, page, sizeof(page));
  std::printf("import result %d, MeetingPage %s\n", result, page);
  korvat_bench::Print("cookie import", kPlan, "ImportCookieSettings", "plain read (floor)",
                      comparison, korvat_bench::kMilliseconds);

  DeleteBenchFiles(folder);
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
  return result == 1 ? 0 : 1;
}
