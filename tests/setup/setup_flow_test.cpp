// The feature installed and removed end to end through the module's exports,
// as Wine's own regsvr32, its COM runtime and the client's installer drive them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "platform/proc_address.h"

using namespace korvat_test;

namespace {

const std::string kClassKey = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const std::string kButton =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kTypeLib[] = "TypeLib\\{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}";
const char kInstall[] = "iedesktop@true@true@https://x.example/@false@";
const CLSID kKorvatExec = {
    0x80947ADC, 0x151D, 0x490B, {0x87, 0xF1, 0x7C, 0x8C, 0xE1, 0xB4, 0x62, 0x20}};
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
  static std::string Setting(HKEY r, const char* n) { return ReadStringValue(r, kSettings, n); }

  TempFolder folder_;
  std::vector<std::string> cookie_files_;
};

// Twice, alike; the class key is written afresh, without a stale sub-key.
TEST_F(SetupFlowTest, Regsvr32RegistersAndUnregistersTheModule) {
  WriteCookies(true, kInstall);
  SetStringValue(HKEY_CLASSES_ROOT, kClassKey + "\\Stale", "", "");
  for (int run = 0; run < 2; ++run) {
    DeleteFileA(StandardShortcut().c_str());
    ASSERT_EQ(RunProcess("regsvr32 /s \"" + File("Korvat.dll") + "\""), 0);
    EXPECT_EQ(State(), "user machine button class progid progid.1 typelib shortcut|" +
                           std::string(kCompanions));
  }
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Stale"));
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kButton, "Icon"), File("zrtpres.dll") + ",204");
  // As the browser does: COM finds only the machine's classes, and loads their file.
  ScopedCoInitialize com;
  ComPtr<IUnknown> object;
  EXPECT_EQ(
      CoCreateInstance(kKorvatExec, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid()),
      S_OK);
  // Unregistration keeps the settings, the type library and the companions.
  ASSERT_EQ(RunProcess("regsvr32 /u /s \"" + File("Korvat.dll") + "\""), 0);
  EXPECT_EQ(State(), "user machine typelib |");
}

TEST_F(SetupFlowTest, TheInstallerSetsUpAndRemovesTheFeature) {
  WriteCookies(true, "iedesktop@true@false@http://x.example/@false@");
  ScopedLibrary module(LoadLibraryA(File("Korvat.dll").c_str()));
  auto entry = [&](const char* n) { return GetProcAs<UINT(WINAPI*)(DWORD)>(module.Get(), n); };
  ASSERT_TRUE(entry("TapvoPreSetup") && entry("TapvoSetup") && entry("TapvoUninstall"));
  EXPECT_EQ(entry("TapvoPreSetup")(7), 0u);
  EXPECT_EQ(Setting(HKEY_LOCAL_MACHINE, "ShortcutName") + "|" +
                Setting(HKEY_CURRENT_USER, "ShortcutDescribe"),
            "Start Nuvix Tapvo Meeting|Start Nuvix Tapvo Meeting");
  EXPECT_EQ(entry("TapvoSetup")(7), 0u);
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "MeetingPage"), "http://meet.example/site/start/ann");
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kSettings, "ShortcutName"));  // rebuilt
  EXPECT_EQ(State(), "user machine button class progid progid.1 typelib shortcut|" +
                         std::string("nvxMSAI.dll DllRegisterServer,"));
  // Twice: the type library and the browser's key stay; both companions are asked.
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(entry("TapvoUninstall")(7), 0u);
    EXPECT_EQ(State(),
              "typelib |nvxMSAI.dll DllUnregisterServer,nvxrmenu.dll DllUnregisterServer,");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Extensions"));
  }
}

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
      });
  EXPECT_EQ(searches, 2);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(State(), "user machine class progid progid.1 typelib |");
}

}  // namespace
