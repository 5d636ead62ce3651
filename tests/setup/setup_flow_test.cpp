// The feature installed and removed end to end, through the built module's
// exports as its callers drive them: Wine's own regsvr32 and reg, its COM
// runtime, and the client's installer.
#include <gtest/gtest.h>
#include <ole2.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

#include "doubles/client_frame.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "toolbar/browser_site_double.h"

using namespace korvat_test;

namespace {

const char kSettings[] = "Software\\Nuvix\\TapvoMeeting";
const char kClassId[] = "{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kButton[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kTypeLib[] = "TypeLib\\{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}";
const char kPage[] = "https://meet.example/site/start/ann";
const char kFailureText[] =
    "Tapvo Meeting toolbar button cannot be added to IE because you do not have sufficient "
    "privilege.";
const CLSID kKorvatExec = {
    0x80947ADC, 0x151D, 0x490B, {0x87, 0xF1, 0x7C, 0x8C, 0xE1, 0xB4, 0x62, 0x20}};

ULONGLONG Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::string DesktopFile(const char* name) {
  char folder[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::string(folder) + "\\" + name;
}

// The values of a key as Wine's reg prints them: name -> data.
std::map<std::string, std::string> RegQuery(const std::string& key) {
  std::string output;
  std::map<std::string, std::string> values;
  if (RunProcessOutput("reg query \"" + key + "\"", &output) != 0) return values;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    std::string line = output.substr(start, end == std::string::npos ? end : end - start);
    start = end == std::string::npos ? output.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t type = line.find("    REG_");
    if (line.compare(0, 4, "    ") != 0 || type == std::string::npos) continue;
    size_t data = line.find("    ", type + 4);
    values[line.substr(4, type - 4)] = data == std::string::npos ? "" : line.substr(data + 4);
  }
  return values;
}

class SetupFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    for (const char* file : {"Korvat.dll", "nvxMSAI.dll", "nvxrmenu.dll"}) {
      folder_.CopyFromBin(file);
    }
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (const std::string& file : cookie_files_) DeleteFileA(file.c_str());
    DeleteFileA(DesktopFile("Start Nuvix Tapvo Meeting.url").c_str());
    DeleteKeyTree(HKEY_CURRENT_USER, kSettings);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettings);
    DeleteKeyTree(HKEY_CURRENT_USER, kButton);
    for (const std::string& key : {std::string("Korvat.KorvatExec"),
                                   std::string("Korvat.KorvatExec.1"),
                                   std::string("CLSID\\") + kClassId, std::string(kTypeLib)}) {
      DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    }
  }
  // A cookie file of the conferencing site: the meeting page and, when
  // given, the install choices.
  std::string WriteCookies(int number, bool page, const std::string& install) {
    std::string text;
    if (page) text += CookieRecord("MeetingPage", "/site/start/ann", "meet.example/p/", Now());
    if (!install.empty()) text += CookieRecord("CK_TP_tapvomtginstall", install, "meet.example/", Now());
    std::string file = CookiesFolder() + "\\korvat-flow-" + std::to_string(number) + ".txt";
    WriteFileBytes(file, text);
    cookie_files_.push_back(file);
    return file;
  }
  std::string Module() const { return folder_.File("Korvat.dll"); }
  std::vector<std::string> Companions() const { return ReadLines(folder_.File("doubles.log")); }
  std::string Setting(HKEY root, const char* name) {
    return ReadStringValue(root, kSettings, name);
  }

  TempFolder folder_;
  std::vector<std::string> cookie_files_;
};

const std::vector<std::string> kRegistered = {"nvxMSAI.dll DllRegisterServer",
                                              "nvxrmenu.dll DllRegisterServer"};

TEST_F(SetupFlowTest, Regsvr32RegistersAndUnregistersTheModule) {
  WriteCookies(1, true, "iedesktop@true@true@https://x.example/@false@");
  ASSERT_EQ(RunProcess("regsvr32 /s \"" + Module() + "\""), 0);

  std::map<std::string, std::string> settings = RegQuery(std::string("HKCU\\") + kSettings);
  EXPECT_EQ(settings["MeetingPage"], kPage);
  EXPECT_EQ(settings["Option"], "iedesktop");
  EXPECT_EQ(settings["OfficeMenu"], "true");
  EXPECT_EQ(settings["SHORTCUT_PATH"], DesktopFile("Start Nuvix Tapvo Meeting.url"));
  EXPECT_EQ(RegQuery(std::string("HKLM\\") + kSettings)["MeetingPage"], kPage);
  EXPECT_EQ(RegQuery(std::string("HKCR\\CLSID\\") + kClassId + "\\InprocServer32"),
            (std::map<std::string, std::string>{{"(Default)", Module()},
                                                {"ThreadingModel", "Apartment"}}));
  EXPECT_EQ(RegQuery(std::string("HKCR\\") + kTypeLib + "\\1.0")["(Default)"],
            "Korvat 1.0 Type Library");
  std::map<std::string, std::string> button = RegQuery(std::string("HKCU\\") + kButton);
  EXPECT_EQ(button["ClsidExtension"], kClassId);
  EXPECT_EQ(button["HotIcon"], folder_.File("zrtpres.dll") + ",203");
  EXPECT_EQ(Companions(), kRegistered);
  EXPECT_TRUE(FileExists(DesktopFile("Start Nuvix Tapvo Meeting.url")));

  // The browser creates the button's object through COM: a logged-on client
  // gets the page, else the browser of the site opens it.
  folder_.CopyFromBin("client_frame.exe");
  {
    ScopedCoInitialize com;
    RunningClientFrame client(folder_.File("client_frame.exe"));
    ASSERT_NE(client.window(), nullptr);
    for (DWORD logged_on : {1u, 0u}) {
      SetDwordValue(HKEY_CURRENT_USER, std::string(kSettings) + "\\Logon", "LogonState", logged_on);
      TestSite site;
      ComPtr<IObjectWithSite> object;
      ASSERT_EQ(CoCreateInstance(kKorvatExec, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                 object.ReceiveVoid()),
                S_OK);
      ASSERT_EQ(object->SetSite(&site), S_OK);
      ComPtr<IOleCommandTarget> target;
      ASSERT_EQ(object.As(IID_IOleCommandTarget, &target), S_OK);
      EXPECT_EQ(target->Exec(nullptr, 0, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr), S_OK);
      EXPECT_EQ(site.browser.calls.size(), logged_on ? 0u : 1u);
    }
  }
  std::vector<std::string> received = Companions();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[2].find("WM_COPYDATA dwData=0 cbData=36 "), 0u) << received[2];

  ASSERT_EQ(RunProcess("regsvr32 /u /s \"" + Module() + "\""), 0);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButton));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Korvat.KorvatExec"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kTypeLib));
  EXPECT_FALSE(FileExists(DesktopFile("Start Nuvix Tapvo Meeting.url")));
  // Unregistration keeps the settings and leaves the companions registered.
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "OfficeMenu"), "true");
  EXPECT_EQ(Companions().size(), 3u);
}

using Entry = UINT(WINAPI*)(DWORD);

TEST_F(SetupFlowTest, TheInstallerSetsUpAndRemovesTheFeature) {
  WriteCookies(1, true, "ie@true@false@http://x.example/@false@");
  LoadedLibrary module(Module());
  ASSERT_TRUE(module);
  auto pre_setup = reinterpret_cast<Entry>(module.Proc("TapvoPreSetup"));
  auto setup = reinterpret_cast<Entry>(module.Proc("TapvoSetup"));
  auto uninstall = reinterpret_cast<Entry>(module.Proc("TapvoUninstall"));
  ASSERT_TRUE(pre_setup && setup && uninstall);

  EXPECT_EQ(pre_setup(7), 0u);
  EXPECT_EQ(Setting(HKEY_LOCAL_MACHINE, "ShortcutName"), "Start Nuvix Tapvo Meeting");
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "ShortcutDescribe"), "Start Nuvix Tapvo Meeting");

  EXPECT_EQ(setup(7), 0u);
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "MeetingPage"), "http://meet.example/site/start/ann");
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kSettings, "ShortcutName"));  // rebuilt
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kButton));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
  EXPECT_FALSE(FileExists(DesktopFile("Start Nuvix Tapvo Meeting.url")));  // "ie" only
  EXPECT_EQ(Companions(), std::vector<std::string>{"nvxMSAI.dll DllRegisterServer"});

  const std::vector<std::string> unregistered = {
      "nvxMSAI.dll DllRegisterServer", "nvxMSAI.dll DllUnregisterServer",
      "nvxrmenu.dll DllUnregisterServer"};
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(uninstall(7), 0u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettings));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettings));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButton));
    // Only what is shared, and the type library registration, stay.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Extensions"));
    EXPECT_EQ(SubKeyNames(HKEY_LOCAL_MACHINE, "Software\\Nuvix"), std::vector<std::string>{});
    for (const char* key : {"Korvat.KorvatExec", "Korvat.KorvatExec.1"}) {
      EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key));
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kTypeLib));
  }
  std::vector<std::string> calls = Companions();
  calls.resize(3);
  EXPECT_EQ(calls, unregistered);
  EXPECT_EQ(Companions().size(), 5u);  // the second removal asks them again
}

TEST_F(SetupFlowTest, AMachineHiveTheUserMayNotWriteKeepsTheButtonOut) {
  WriteCookies(1, true, "iedesktop@true@true@https://x.example/@false@");
  ScopedReadOnlyKey read_only(HKEY_LOCAL_MACHINE, kSettings);
  ASSERT_TRUE(read_only.active());
  LoadedLibrary module(Module());
  auto setup = reinterpret_cast<Entry>(module.Proc("TapvoSetup"));
  ASSERT_NE(setup, nullptr);
  DialogWatcher watcher;
  EXPECT_EQ(setup(0), 1603u);

  std::vector<DialogWatcher::Seen> seen = watcher.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, kFailureText);
  EXPECT_EQ(seen[0].caption, "");  // the module's own table has no caption
  EXPECT_EQ(seen[0].owner, nullptr);
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "Option"), "iedesktop");
  EXPECT_TRUE(FileExists(DesktopFile("Start Nuvix Tapvo Meeting.url")));
  EXPECT_EQ(Companions(), kRegistered);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButton));
}

TEST_F(SetupFlowTest, RegistrationWithoutACookieShowsTheMessage) {
  LoadedLibrary module(Module());
  auto register_server = reinterpret_cast<HRESULT(WINAPI*)()>(module.Proc("DllRegisterServer"));
  ASSERT_NE(register_server, nullptr);
  DialogWatcher watcher;
  EXPECT_EQ(register_server(), 1);
  EXPECT_EQ(watcher.seen().size(), 1u);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettings));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
  EXPECT_TRUE(Companions().empty());
}

// The cookie files go while setup runs: the page's file after its search, the
// install choices' file after theirs. Each trace line stops the setup
// process in its debugger, this test, until the file is gone.
TEST_F(SetupFlowTest, SetupWhoseCookieFileVanishedInstallsNoIntegration) {
  const std::string page_file = WriteCookies(1, true, "");
  const std::string install_file = WriteCookies(2, false, "iedesktop@true@true@https://x.example/@false@");
  folder_.CopyFromBin("module_host.exe");
  ScopedTraceSwitch trace("Korvat", 3);
  int searches = 0;
  int result = RunUnderDebugger(
      "\"" + folder_.File("module_host.exe") + "\" \"" + Module() + "\" TapvoSetup 0",
      [&](const std::string& line) {
        if (line.find("FindCookieFile(),szCookieName=MeetingPage") != std::string::npos) {
          ++searches;
          DeleteFileA(page_file.c_str());
        } else if (line.find("FindCookieFile(),szCookieName=CK_TP_tapvomtginstall") !=
                   std::string::npos) {
          ++searches;
          DeleteFileA(install_file.c_str());
        }
      });
  EXPECT_EQ(searches, 2);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "Option"), "iedesktop");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButton));
  EXPECT_FALSE(FileExists(DesktopFile("Start Nuvix Tapvo Meeting.url")));
  EXPECT_TRUE(Companions().empty());
}

}  // namespace
