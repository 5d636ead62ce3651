// Bad input at the module's edges, handed over as its callers hand it: texts
// and numbers given to the exports, settings values of the wrong type or
// size, cookie files of odd shapes, and a module path too long for a
// sibling path. Each row names the result and what the settings key holds
// afterwards.
#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "doubles/client_frame.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "registration/feature_module.h"
#include "toolbar/browser_site_double.h"

using namespace korvat_test;

namespace {

using Strings = std::vector<std::string>;
const char kIntact[] = "<intact>";  // the user's settings key exactly as before
const CLSID kKorvatExec = {
    0x80947ADC, 0x151D, 0x490B, {0x87, 0xF1, 0x7C, 0x8C, 0xE1, 0xB4, 0x62, 0x20}};

std::string AsText(const void* value) {
  return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(value)));
}
std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", value);
  return text;
}
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// What reached the witness windows: the host notification and a WM_SIZE of
// 0 by 0, which only the plug-in posts.
Strings g_seen;
LRESULT CALLBACK WitnessProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  static const UINT notify = RegisterWindowMessageA("WM_ZR_NOTIFY_MSG");
  if (message != notify && !(message == WM_SIZE && w == 0 && l == 0)) {
    return DefWindowProcA(hwnd, message, w, l);
  }
  g_seen.push_back((message == WM_SIZE ? "WM_SIZE " : "notify ") + std::to_string(w) + " " +
                   std::to_string(l));
  return 0;
}
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}
// A top-level window of this thread that records what reaches it.
HWND NewWitness() {
  static const ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &WitnessProc;
    wc.lpszClassName = "KorvatBadInputWitness";
    return RegisterClassA(&wc);
  }();
  HWND window = CreateWindowExA(0, MAKEINTATOM(atom), "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
  Pump();
  g_seen.clear();
  return window;
}

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override { CleanFeatureKeys(); }
  void TearDown() override {
    module_.Reset();
    CleanFeatureKeys();
  }
  // The module loaded afresh from the folder, with no module-wide state left.
  void Load() {
    module_.Reset();
    module_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
    ASSERT_NE(module_.Get(), nullptr);
  }
  template <typename R, typename... Args>
  auto Export(const char* name) {
    return reinterpret_cast<R(WINAPI*)(Args...)>(
        reinterpret_cast<void*>(GetProcAddress(module_.Get(), name)));
  }
  TempFolder folder_;
  ScopedLibrary module_;
};

TEST_F(BadInputTest, TextsAndFlagsGivenToTheExports) {
  folder_.CopyFromBin("Korvat.dll");
  Load();
  auto set_login = Export<int, const char*, const char*>("TapvoSetLoginInfo");
  auto get_login = Export<int, char*, char*>("TapvoGetLoginInfo");
  auto get_option = Export<int, DWORD*>("TapvoGetOption");
  auto set_option = Export<int, DWORD>("TapvoSetOption");
  auto remove_addin = Export<int, DWORD>("TapvoRemoveAddIn");
  auto pre_download = Export<int, INT_PTR, INT_PTR, INT_PTR, const char*, const char*, const char*>(
      "AsPreDownload");
  const std::string site(2040, 's'), huge(70000, 'h');
  char out[1024];
  const struct {
    const char* what;
    std::function<int()> call;
    int result;
    const char* value;  // read afterwards from the user's settings key
    std::string after;
  } rows[] = {
      {"login, null site", [&] { return set_login(nullptr, "ann"); }, -1, "", kIntact},
      {"login, null name", [&] { return set_login("x", nullptr); }, -1, "", kIntact},
      {"login, 2041 characters", [&] { return set_login(site.c_str(), "n"); }, -1, "", kIntact},
      {"login, 70000 characters", [&] { return set_login("x", huge.c_str()); }, -1, "", kIntact},
      {"login, 2040 characters", [&] { return set_login(site.c_str(), ""); }, 0, "MeetingPage",
       site + "/start/"},
      {"login, empty texts", [&] { return set_login("", ""); }, 0, "MeetingPage", "/start/"},
      {"get login, null site", [&] { return get_login(nullptr, out); }, -1, "", kIntact},
      {"get login, null name", [&] { return get_login(out, nullptr); }, -1, "", kIntact},
      {"get option, null flags", [&] { return get_option(nullptr); }, -1, "", kIntact},
      // Bits without a meaning are ignored: 0xFFFFFFF0 switches everything off.
      {"set option, unknown bits", [&] { return set_option(0xFFFFFFF0); }, 0, "Option", " "},
      {"remove add-in, unknown bits", [&] { return remove_addin(0xFFFFFFF0); }, 0, "", kIntact},
      {"pre-download, null page", [&] { return pre_download(0, 0, 0, nullptr, nullptr, nullptr); },
       0, "ReturnPage", kMissing},
      {"pre-download, empty page", [&] { return pre_download(0, 0, 0, "", "", ""); }, 0,
       "ReturnPage", kMissing},
      {"pre-download, 70000 characters",
       [&] { return pre_download(0, 0, 0, huge.c_str(), "", ""); }, 0, "ReturnPage", huge},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CleanFeatureKeys();
    StoreUserSetting("MeetingPage", "x/start/seed");
    StoreUserSetting("Option", "ie");
    const Strings before = DumpTree(HKEY_CURRENT_USER, kSettingsPath);
    EXPECT_EQ(row.call(), row.result);
    if (row.after == kIntact) {
      EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsPath), before);
    } else {
      EXPECT_EQ(UserSetting(row.value), row.after);
    }
  }
}

// Host windows and loaders travel as decimal text. Only a real window gets
// the WM_SIZE and the notification: 65535 is HWND_BROADCAST, which would
// reach every top-level window. A value that names no loader releases none.
TEST_F(BadInputTest, HostValuesThatNameNoWindowReachNoWindow) {
  folder_.CopyFromBin("Korvat.dll");
  folder_.CopyFromBin("zrtpctl_both.dll", "zrtpctl.dll");
  Load();
  auto init_control = Export<void*, const char*>("InitControl");
  auto exit_control = Export<void, const char*>("ExitControl");
  auto new_instance = Export<void*, HWND>("ZRNewInstance");
  auto delete_instance = Export<void, void*>("ZRDeleteInstance");
  auto pre_download = Export<int, INT_PTR, INT_PTR, INT_PTR, const char*, const char*, const char*>(
      "AsPreDownload");
  const std::string control = folder_.File("zrtpctl.dll");
  HWND host = NewWitness(), gone = NewWitness();
  DestroyWindow(gone);
  const std::string host_text = AsText(host), gone_text = AsText(gone);
  const struct {
    const char* text;  // null: a null pointer
    HWND parent;       // what ZRNewInstance is given for the same value
  } rows[] = {
      {host_text.c_str(), host},
      {nullptr, nullptr},
      {"", nullptr},
      {"abc", nullptr},
      {"12abc", reinterpret_cast<HWND>(12)},
      {"99999999999999999999999", nullptr},
      {"-1", reinterpret_cast<HWND>(-1)},
      {"65535", HWND_BROADCAST},
      {gone_text.c_str(), gone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text != nullptr ? row.text : "null");
    const bool is_host = row.parent == host;
    void* loader = init_control(row.text);
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(pre_download(0, 0, 0, nullptr, nullptr, nullptr), 0);
    exit_control(row.text);  // names no loader: the control stays
    EXPECT_NE(GetModuleHandleA(control.c_str()), nullptr);
    exit_control(AsText(loader).c_str());
    EXPECT_EQ(GetModuleHandleA(control.c_str()), nullptr);
    void* instance = new_instance(row.parent);
    EXPECT_NE(instance, nullptr);
    EXPECT_EQ(GetWindow(host, GW_CHILD) != nullptr, is_host);
    delete_instance(instance);
    Pump();
    EXPECT_EQ(g_seen, is_host ? (Strings{"notify 0 1", "WM_SIZE 0 0"}) : Strings{});
    g_seen.clear();
  }
  DestroyWindow(host);
}

// Stores `bytes` as they stand under the settings key of `hive` ("Logon\\x"
// names a value of the Logon sub-key). No zero follows the data in memory:
// Wine adds one to a REG_SZ that lacks it when the next byte is a zero.
void StoreRaw(HKEY hive, const std::string& name, DWORD type, const std::string& bytes) {
  const size_t slash = name.rfind('\\');
  const std::string key =
      std::string(kSettingsPath) + (slash == std::string::npos ? "" : "\\" + name.substr(0, slash));
  const std::string data = bytes + '#';
  RegSetKeyValueA(hive, key.c_str(), name.substr(slash + 1).c_str(), type, data.data(),
                  static_cast<DWORD>(bytes.size()));
}
std::string Padded(const std::string& text, size_t size) {
  return text + std::string(size - text.size(), '\0');
}

// Values as other programs may leave them: of the wrong type, without their
// terminating zero, exactly a reader's buffer in size and one byte past it.
// The readers do not look at the type; a value that does not fit the buffer
// with a zero after it counts as missing. Readers leave the key as it was.
TEST_F(BadInputTest, StoredValuesOfTheWrongTypeOrSize) {
  folder_.CopyFromBin("Korvat.dll");
  folder_.CopyFromBin("client_frame.exe");
  Load();
  auto get_option = Export<int, DWORD*>("TapvoGetOption");
  auto get_login = Export<int, char*, char*>("TapvoGetLoginInfo");
  auto get_class = Export<HRESULT, REFCLSID, REFIID, void**>("DllGetClassObject");
  RunningClientFrame client(folder_.File("client_frame.exe"));
  ASSERT_NE(client.window(), nullptr);
  const std::string sent = folder_.File("doubles.log");
  enum Probe { kOption, kLogin, kPress };
  // The flags; "site|name" ("#": the name output untouched); the button's
  // result with the page the browser opened, or "sent" to the client.
  auto probe = [&](Probe what) -> std::string {
    if (what == kOption) {
      DWORD flags = 0;
      const int result = get_option(&flags);
      return result != 0 ? std::to_string(result) : Hex(flags);
    }
    if (what == kLogin) {
      std::string site(1024, '#'), name(1024, '#');
      const int result = get_login(&site[0], &name[0]);
      return result != 0 ? std::to_string(result)
                         : site.c_str() + std::string("|") + (name[0] == '#' ? "#" : name.c_str());
    }
    TestSite site;
    ComPtr<IClassFactory> factory;
    ComPtr<IObjectWithSite> object;
    ComPtr<IOleCommandTarget> target;
    if (FAILED(get_class(kKorvatExec, IID_IClassFactory, factory.PutVoid())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IObjectWithSite, object.PutVoid())) ||
        FAILED(object->SetSite(&site)) || FAILED(object.As(IID_IOleCommandTarget, &target))) {
      return "no object";
    }
    std::string outcome = Hex(target->Exec(nullptr, 0, 0, nullptr, nullptr));
    for (const std::string& call : site.browser.calls) {
      outcome += " " + call.substr(0, call.find(" 400C"));  // the address alone
    }
    if (DeleteFileA(sent.c_str())) outcome += " sent";
    return outcome;
  };
  const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
  const std::string dword_1("\1\0\0\0", 4), dword_a("A\0\0\0", 4), names(2039, 'n');
  const std::string too_long = "0x800700EA";  // HRESULT_FROM_WIN32(ERROR_MORE_DATA)
  const struct {
    const char* what;
    HKEY hive;
    const char* name;
    DWORD type;
    std::string bytes;
    Probe probe;
    std::string outcome;
    bool writes = false;  // the reader copies the machine seed into the user's key
  } rows[] = {
      {"RightClick REG_DWORD 1", user, "RightClick", REG_DWORD, dword_1, kOption, "0x00000001"},
      {"RightClick REG_BINARY TRUE", user, "RightClick", REG_BINARY, "TRUE", kOption, "0x00000009"},
      {"Option ie, 260 bytes", user, "Option", REG_SZ, Padded("ie", 260), kOption, "0x00000005"},
      {"Option ie, 261 bytes", user, "Option", REG_SZ, Padded("ie", 261), kOption, "0x00000001"},
      {"Option without a zero", user, "Option", REG_SZ, "iedesktop", kOption, "0x00000005"},
      {"OfficeMenu 260 characters without a zero", user, "OfficeMenu", REG_SZ,
       std::string(260, 't'), kOption, "0x00000001"},
      {"page without a zero", user, "MeetingPage", REG_SZ, "x/start/ann", kLogin, "x|ann"},
      {"page of 2048 bytes", user, "MeetingPage", REG_SZ, Padded("x/start/" + names, 2048), kLogin,
       "x|" + names.substr(0, 1023)},
      {"page of 2048 characters without a zero", user, "MeetingPage", REG_SZ,
       "x/start/" + names + "n", kLogin, "-1"},
      {"page REG_BINARY of 2048 bytes", user, "MeetingPage", REG_BINARY, std::string(2048, 'b'),
       kLogin, "-1"},
      {"SiteName REG_DWORD", user, "SiteName", REG_DWORD, dword_a, kLogin, "A|#"},
      {"UserPrivilege REG_DWORD 1", machine, "UserPrivilege", REG_DWORD, dword_1, kLogin, "|#"},
      {"UserPrivilege 1, 256 bytes", machine, "UserPrivilege", REG_SZ, Padded("1", 256), kLogin,
       "m|ann", true},
      {"UserPrivilege 1, 257 bytes", machine, "UserPrivilege", REG_SZ, Padded("1", 257), kLogin,
       "|#"},
      {"button page of 1023 characters without a zero", user, "MeetingPage", REG_SZ,
       std::string(1023, 'p'), kPress, "0x00000000 " + std::string(1023, 'p')},
      {"button page of 1024 characters without a zero", user, "MeetingPage", REG_SZ,
       std::string(1024, 'p'), kPress, too_long},
      {"button page REG_BINARY of 1024 bytes", user, "MeetingPage", REG_BINARY,
       std::string(1024, 'p'), kPress, too_long},
      {"button page REG_DWORD", user, "MeetingPage", REG_DWORD, dword_a, kPress, "0x00000000 A"},
      {"button page of 1024 bytes", user, "MeetingPage", REG_SZ, Padded("http://h/", 1024), kPress,
       "0x00000000 http://h/"},
      {"button page of 1025 bytes", user, "MeetingPage", REG_SZ, Padded("http://h/", 1025), kPress,
       too_long},
      {"LogonState REG_SZ 1", user, "Logon\\LogonState", REG_SZ, std::string("1", 2), kPress,
       "0x00000000 sent"},
      {"LogonState REG_BINARY of 8 bytes", user, "Logon\\LogonState", REG_BINARY, Padded("\1", 8),
       kPress, "0x00000000 http://h/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CleanFeatureKeys();
    if (row.hive == machine) SetStringValue(machine, kSettingsPath, "MeetingPage", "m/start/ann");
    if (std::strchr(row.name, '\\')) StoreUserSetting("MeetingPage", "http://h/");
    StoreRaw(row.hive, row.name, row.type, row.bytes);
    const Strings before = DumpTree(HKEY_CURRENT_USER, kSettingsPath);
    EXPECT_EQ(probe(row.probe), row.outcome);
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsPath) == before, !row.writes);
  }
}

// Cookie files as TapvoSetup meets them. Lines end in "\n" and a record in
// "*"; the text ends at a zero byte; files over 1 MiB are not read; long
// lines and the page are cut. 1603 comes with the failure message.
TEST_F(BadInputTest, CookieFilesOfOddShapes) {
  folder_.CopyFromBin("Korvat.dll");
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG created = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const std::string page =
      CookieRecord("MeetingPage", "/site/start/ann", "meet.example/p/", created);
  const std::string stored = "http://meet.example/site/start/ann", mib(1048576, '\n');
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
      text.replace(at, from.size(), to);
    }
    return text;
  };
  const struct {
    const char* what;
    std::string text;
    UINT result;
    const char* value;
    std::string after;
  } rows[] = {
      {"empty", "", 1603, "MeetingPage", kMissing},
      {"a zero byte in the record", replaced(page, "/p/", std::string("\0/p/", 4)), 1603,
       "MeetingPage", kMissing},
      {"a zero byte after the record", page + std::string("\0MeetingPage\n", 13), 0, "MeetingPage",
       stored},
      {"no line ends", replaced(page, "\n", ""), 1603, "MeetingPage", kMissing},
      {"no final line end", page.substr(0, page.size() - 1), 0, "MeetingPage", stored},
      {"CR LF line ends", replaced(page, "\n", "\r\n"), 1603, "MeetingPage", kMissing},
      {"exactly 1 MiB", page + mib.substr(page.size()), 0, "MeetingPage", stored},
      {"1 MiB and 1 byte", page + mib.substr(page.size() - 1), 1603, "MeetingPage", kMissing},
      {"a value of 100000 bytes",
       CookieRecord("MeetingPage", std::string(100000, 'v'), "meet.example/", created), 0,
       "MeetingPage", ("http://meet.example" + std::string(2047, 'v')).substr(0, 2047)},
      {"install choices of 5000 bytes",
       page + CookieRecord("CK_TP_tapvomtginstall", std::string(5000, 'o'), "m/", created), 0,
       "Option", std::string(1023, 'o')},
  };
  const std::string file = CookiesFolder() + "\\korvat-bad-input.txt";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CleanFeatureKeys();
    WriteFileBytes(file, row.text);
    Load();  // a fresh module: no cookie file remembered
    DialogWatcher watcher;
    const UINT result = Export<UINT, DWORD>("TapvoSetup")(0);
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(watcher.seen().size(), row.result == 0 ? 0u : 1u);
    EXPECT_EQ(UserSetting(row.value), row.after);
  }
  DeleteFileA(file.c_str());
  for (const char* key :
       {"Korvat.KorvatExec", "Korvat.KorvatExec.1", "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}",
        "TypeLib\\{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}"}) {
    DeleteKeyTree(HKEY_CLASSES_ROOT, key);
  }
}

// A module path of MAX_PATH characters or more leaves no module directory.
// The sibling paths would then begin with "\" and name the root of the
// current drive; nothing may be started or loaded from there, and each step
// goes on as without its sibling.
TEST_F(BadInputTest, AModulePathTooLongForSiblingsStartsAndLoadsNone) {
  std::string dir = folder_.path();
  for (int level = 0; level < 2; ++level) {
    dir += "\\" + std::string(150, 'd');
    CreateDirectoryW(Wide(dir).c_str(), nullptr);
  }
  const std::wstring module = Wide(dir + "\\Korvat.dll");
  ASSERT_GE(module.size(), size_t(MAX_PATH));
  CopyFileW(Wide(BinFile("Korvat.dll")).c_str(), module.c_str(), FALSE);
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  SetCurrentDirectoryA("C:\\");
  const char* const decoys[][2] = {{"tpvoun.exe", "C:\\tpvoun.exe"},
                                   {"zrtpctl_both.dll", "C:\\zrtpctl.dll"},
                                   {"zrtpres.dll", "C:\\zrtpres.dll"}};
  for (const auto& decoy : decoys) CopyFileA(BinFile(decoy[0]).c_str(), decoy[1], FALSE);

  module_.Reset(LoadLibraryW(module.c_str()));  // LoadLibraryA refuses such a path
  EXPECT_NE(module_.Get(), nullptr);
  if (module_) {
    HWND host = NewWitness();
    void* loader = Export<void*, const char*>("InitControl")(AsText(host).c_str());
    void* instance = Export<void*, HWND>("ZRNewInstance")(host);
    auto after_download = Export<int, INT_PTR>("AsAfterDownload");
    EXPECT_EQ(after_download(0), 0);
    Pump();
    EXPECT_EQ(g_seen, Strings{"notify 1 0"});
    EXPECT_EQ(GetModuleHandleA("C:\\zrtpres.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("C:\\zrtpctl.dll"), nullptr);
    for (int i = 0; i < 30 && !FileExists("C:\\doubles.log"); ++i) Sleep(100);  // tpvoun.exe
    EXPECT_EQ(ReadLines("C:\\doubles.log"), Strings{});
    Export<void, void*>("ZRDeleteInstance")(instance);
    Export<void, const char*>("ExitControl")(AsText(loader).c_str());
    DestroyWindow(host);
    g_seen.clear();
    module_.Reset();
  }
  SetCurrentDirectoryA(cwd);
  for (const auto& decoy : decoys) DeleteFileA(decoy[1]);
  DeleteFileA("C:\\doubles.log");
  DeleteFileW(module.c_str());
  for (int level = 0; level < 2; ++level, dir.resize(dir.rfind('\\'))) {
    RemoveDirectoryW(Wide(dir).c_str());
  }
}

}  // namespace
