// AddShortcut and RemoveShortcut, a pair a call, against the least that any
// desktop shortcut needs: the shell's Internet shortcut object writing the
// same file under the same name (CreateUrlShortcut) and its deletion.
//
// Beyond that the module reads its settings, writes the file under a
// temporary name with its mark and moves it into place, and, to find its
// earlier shortcuts under other names, lists the desktop's .url files and
// reads each one's mark, once for the setup and once for the removal. The
// listing's cost grows with the user's own shortcuts, so the pairs are timed
// with none and with 300 of them on the desktop.
//
// The module's code is linked in and pointed at a copy of Korvat.dll in a
// temporary folder. The benchmark writes the settings key and files on the
// desktop, so it refuses to run where the key exists; it removes what it
// wrote when it ends.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "harness/test_support.h"
#include "settings/settings_key.h"
#include "setup/shortcut.h"

using namespace korvat_bench;
using namespace korvat_test;

namespace {

constexpr Plan kPlan = {5, 100, "pairs"};
constexpr int kUserShortcuts = 300;
const char kPage[] = "https://meet.example.com/acme/start/ann";

std::string Desktop() {
  const std::string standard = StandardShortcut();
  return standard.substr(0, standard.rfind('\\') + 1);
}

// The user's own shortcuts: Internet shortcuts of other pages, without the mark.
void PlaceUserShortcuts(int count) {
  for (int i = 0; i < count; ++i) {
    WriteFileBytes(Desktop() + "bench site " + std::to_string(i) + ".url",
                   "[InternetShortcut]\r\nURL=https://site" + std::to_string(i) + ".example/\r\n");
  }
}

void RemoveUserShortcuts(int count) {
  for (int i = 0; i < count; ++i) {
    DeleteFileA((Desktop() + "bench site " + std::to_string(i) + ".url").c_str());
  }
}

}  // namespace

int main() {
  if (KeyExists(HKEY_CURRENT_USER, kSettings)) {
    std::fprintf(stderr, "shortcut_bench: %s exists in HKCU; run it in a prefix of its own\n",
                 kSettings);
    return 2;
  }
  ModuleCopy module;
  if (!module.loaded()) {
    std::fprintf(stderr, "shortcut_bench: Korvat.dll did not load\n");
    return 2;
  }
  LoadResourceModule();
  const char* const values[][2] = {
      {kOption, "desktop"}, {kMeetingPage, kPage}, {kHasBrand, "false"}};
  for (const auto& value : values) SetStringValue(HKEY_CURRENT_USER, kSettings, value[0], value[1]);
  const std::string path = StandardShortcut(), icon = module.folder().File("Korvat.dll");

  auto subject = [] {
    AddShortcut();
    RemoveShortcut();
  };
  auto floor = [&] {
    CreateUrlShortcut(kPage, path.c_str(), "Start Nuvix Tapvo Meeting", icon.c_str(), 2);
    DeleteFileA(path.c_str());
  };
  int status = 0;
  for (int users : {0, kUserShortcuts}) {
    PlaceUserShortcuts(users);
    const Comparison comparison = Compare(kPlan, subject, floor);
    const std::string title =
        "AddShortcut and RemoveShortcut, " + std::to_string(users) + " shortcuts of the user's";
    Print(title.c_str(), kPlan, "the module's pair", "the shell object's file, deleted", comparison,
          kMilliseconds);
    RemoveUserShortcuts(users);
    if (FileExists(path)) status = 1;  // a pair must leave nothing behind
  }
  DeleteSettingsKeys();
  if (status != 0) std::fprintf(stderr, "shortcut_bench: a shortcut was left on the desktop\n");
  return status;
}
