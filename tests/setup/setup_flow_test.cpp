// The setup flows in situations a sequence of calls does not make: a machine
// hive the user may not write, and cookie files that vanish during the setup.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "harness/test_support.h"
#include "platform/proc_address.h"

using namespace korvat_test;

namespace {

const std::string kClassKey = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const std::string kButton =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kTypeLib[] = "TypeLib\\{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}";
const char kInstall[] = "iedesktop@true@true@https://x.example/@false@";
const struct {
  HKEY root;
  std::string key;
  const char* name;
} kPieces[] = {{HKEY_CURRENT_USER, kSettings, "user"},
               {HKEY_LOCAL_MACHINE, kSettings, "machine"},
               {HKEY_CURRENT_USER, kButton, "button"},
               {HKEY_CLASSES_ROOT, kClassKey, "class"},
               {HKEY_CLASSES_ROOT, "Korvat.KorvatExec", "progid"},
               {HKEY_CLASSES_ROOT, "Korvat.KorvatExec.1", "progid.1"},
               {HKEY_CLASSES_ROOT, kTypeLib, "typelib"}};
const char kCompanions[] = "nvxMSAI.dll DllRegisterServer,nvxrmenu.dll DllRegisterServer,";

class SetupFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    // A folder whose name holds a single quote, which the scripts' texts escape.
    CreateDirectoryA(folder_.File("it's").c_str(), nullptr);
    for (std::string file : {"Korvat.dll", "nvxMSAI.dll", "nvxrmenu.dll", "module_host.exe"}) {
      folder_.CopyFromBin(file, "it's\\" + file);
    }
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (const std::string& file : cookie_files_) DeleteFileA(file.c_str());
    DeleteFileA(StandardShortcut().c_str());
    for (const auto& piece : kPieces) DeleteKeyTree(piece.root, piece.key);
  }
  // A cookie file made now: the meeting page and, when given, the install choices.
  std::string WriteCookies(bool page, const std::string& install) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG created = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::string text;
    if (page) text += CookieRecord("MeetingPage", "/site/start/ann", "meet.example/p/", created);
    if (!install.empty()) {
      text += CookieRecord("CK_TP_tapvomtginstall", install, "meet.example/", created);
    }
    cookie_files_.push_back(CookiesFolder() + "\\korvat-flow-" +
                            std::to_string(cookie_files_.size()) + ".txt");
    WriteFileBytes(cookie_files_.back(), text);
    return cookie_files_.back();
  }
  std::string File(const std::string& name) const { return folder_.File("it's\\" + name); }
  // The pieces there are, then what the companion doubles were asked (taken).
  std::string State() const {
    std::string state;
    for (const auto& piece : kPieces) {
      if (KeyExists(piece.root, piece.key)) state += piece.name + std::string(" ");
    }
    state += FileExists(StandardShortcut()) ? "shortcut|" : "|";
    for (const std::string& line : ReadLines(File("doubles.log"))) state += line + ",";
    DeleteFileA(File("doubles.log").c_str());
    return state;
  }

  TempFolder folder_;
  std::vector<std::string> cookie_files_;
};

// A machine hive the user may not write: both setups add what needs no button.
TEST_F(SetupFlowTest, AMachineHiveTheUserMayNotWriteKeepsTheButtonOut) {
  WriteCookies(true, kInstall);
  ScopedReadOnlyKey read_only(HKEY_LOCAL_MACHINE, kSettings);
  ASSERT_TRUE(read_only.active());
  ScopedLibrary module(LoadLibraryA(File("Korvat.dll").c_str()));
  auto setup = GetProcAs<UINT(WINAPI*)(DWORD)>(module.Get(), "TapvoSetup");
  auto register_server = GetProcAs<HRESULT(WINAPI*)()>(module.Get(), "DllRegisterServer");
  ASSERT_TRUE(setup && register_server);
  for (bool installer : {true, false}) {  // the installer's pass registers the class
    DialogWatcher watcher;
    EXPECT_EQ(installer ? setup(0) : static_cast<UINT>(register_server()), installer ? 1603u : 1u);
    std::string seen;  // the module's own table has no caption
    for (const auto& dialog : watcher.seen()) {
      seen += dialog.caption + "|" + dialog.text + (dialog.owner ? " owned;" : ";");
    }
    EXPECT_EQ(seen,
              "|Tapvo Meeting toolbar button cannot be added to IE because you do not have "
              "sufficient privilege.;");
    EXPECT_EQ(State(),
              "user machine class progid progid.1 typelib shortcut|" + std::string(kCompanions));
    DeleteFileA(StandardShortcut().c_str());
  }
}

// Each cookie file goes once setup has searched for it: each trace line stops the
// setup process in its debugger, this test, until the file is gone.
TEST_F(SetupFlowTest, SetupWhoseCookieFileVanishedInstallsNoIntegration) {
  const std::map<std::string, std::string> files = {
      {"FindCookieFile(),szCookieName=MeetingPage", WriteCookies(true, "")},
      {"FindCookieFile(),szCookieName=CK_TP_tapvomtginstall", WriteCookies(false, kInstall)}};
  ScopedTraceSwitch trace("Korvat", 3);
  int searches = 0;
  const int result = RunUnderDebugger(
      "\"" + File("module_host.exe") + "\" \"" + File("Korvat.dll") + "\" TapvoSetup 0",
      [&](const std::string& line) {
        for (const auto& file : files) {
          if (line.find(file.first) != std::string::npos && DeleteFileA(file.second.c_str())) {
            ++searches;
          }
        }
        return false;
      });
  EXPECT_EQ(searches, 2);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(State(), "user machine class progid progid.1 typelib |");
}

}  // namespace
