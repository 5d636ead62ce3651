// The settings exports of the built module (options, login information) as
// callers use them: the values they store and report, the registrations they
// apply, the machine seed, and bad input, whether handed to the exports or
// left in the settings key by other programs.
#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "doubles/client_frame.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "platform/proc_address.h"
#include "settings/option_flags.h"
#include "settings/settings_key.h"
#include "toolbar/browser_site_double.h"

using namespace korvat_test;

namespace {

using Strings = std::vector<std::string>;
constexpr DWORD kOffice = OPTION_OFFICE_MENU, kButton = OPTION_BROWSER_BUTTON,
                kMenu = OPTION_RIGHT_CLICK;
const char kMissing[] = "<missing>";   // what ReadStringValue gives for no value
const char kUntouched[] = "#";         // the name output keeps what the caller put in it
const char kIntact[] = "<intact>";     // the user's settings key exactly as before
const std::string kTooLong(260, 't');  // one byte more than the 260-byte reader holds
const char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kWordKey[] = "Software\\Microsoft\\Office\\Word\\Addins\\NvxMSAI.NuvixWordAddIn";
const char kMenuKey[] = "Software\\Classes\\*\\shellex\\ContextMenuHandlers\\NuvixShareMenu";
const char kWordClass[] = "Software\\Classes\\CLSID\\{AEECE333-8900-4915-9697-7A0B4034B3D8}";
const char kStatusText[] = "This will start Nuvix Tapvo Meeting";
const CLSID kKorvatExec = {
    0x80947ADC, 0x151D, 0x490B, {0x87, 0xF1, 0x7C, 0x8C, 0xE1, 0xB4, 0x62, 0x20}};

std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", value);
  return text;
}
std::string UserSetting(const char* name) {
  return ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, name);
}
// Storing kMissing makes only the key.
void StoreUserSetting(const char* name, const std::string& value) {
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, value == kMissing ? "Other" : name,
                 value == kMissing ? "" : value);
}
// HotIcon|Icon|MenuStatusBar of the button, with the folder shown as "F".
std::string ButtonIcons(const std::string& folder) {
  std::string icons;
  for (const char* name : {"HotIcon", "Icon", "MenuStatusBar"}) {
    std::string data = ReadStringValue(HKEY_CURRENT_USER, kButtonKey, name);
    if (data.rfind(folder, 0) == 0) data = "F" + data.substr(folder.size());
    icons += (icons.empty() ? "" : "|") + data;
  }
  return icons;
}

// The built module loaded from a temporary folder.
struct Module {
  explicit Module(bool resources = true, bool trace = false) {
    folder.CopyFromBin("Korvat.dll");
    if (resources) folder.CopyFromBin("zrtpres.dll");
    if (trace) trace_switch.reset(new ScopedTraceSwitch("Korvat", 1));
    dll.Reset(LoadLibraryA(folder.File("Korvat.dll").c_str()));
    SetOption = Export<decltype(SetOption)>("TapvoSetOption");
    GetOption = Export<decltype(GetOption)>("TapvoGetOption");
    RemoveAddIn = Export<decltype(RemoveAddIn)>("TapvoRemoveAddIn");
    SetLoginInfo = Export<decltype(SetLoginInfo)>("TapvoSetLoginInfo");
    GetLoginInfo = Export<decltype(GetLoginInfo)>("TapvoGetLoginInfo");
  }
  ~Module() {
    dll.Reset();
    // The button writer leaves zrtpres.dll loaded once per install.
    while (FreeLibrary(GetModuleHandleA(folder.File("zrtpres.dll").c_str()))) {
    }
  }
  template <typename F>
  F Export(const char* name) {
    return GetProcAs<F>(dll.Get(), name);
  }
  Strings Trace() const { return TraceMessages(folder.File("Korvat.log")); }
  TempFolder folder;
  std::unique_ptr<ScopedTraceSwitch> trace_switch;
  ScopedLibrary dll;
  int(WINAPI* SetOption)(DWORD);
  int(WINAPI* GetOption)(DWORD*);
  int(WINAPI* RemoveAddIn)(DWORD);
  int(WINAPI* SetLoginInfo)(const char*, const char*);
  int(WINAPI* GetLoginInfo)(char*, char*);
};

class SettingsExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override {
    Clean();
    DeleteKeyTree(HKEY_CURRENT_USER, kWordClass);
  }
  // The settings key of both hives and every registration.
  void Clean() {
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    module_.RemoveAddIn(0);
  }
  // TapvoGetLoginInfo into outputs of 1024 bytes filled with '#'.
  struct Login {
    int result;
    std::string site_buffer, name_buffer;
    std::string site() const { return site_buffer.c_str(); }
    std::string name() const { return name_buffer[0] == '#' ? kUntouched : name_buffer.c_str(); }
  };
  Login Get() {
    Login login{0, std::string(1024, '#'), std::string(1024, '#')};
    login.result = module_.GetLoginInfo(&login.site_buffer[0], &login.name_buffer[0]);
    return login;
  }
  // "site|name", or the result when it is not 0.
  std::string LoginText() {
    Login login = Get();
    return login.result != 0 ? std::to_string(login.result) : login.site() + "|" + login.name();
  }
  Module module_;
};

// One value switched by its flag: the value afterwards, the registration, and
// the flag as TapvoGetOption reports it.
TEST_F(SettingsExportsTest, EachOptionFollowsItsTable) {
  struct Row {
    std::string stored;
    bool on;
    std::string after;
  };
  const std::vector<Row> boolean = {
      {kMissing, true, "true"}, {kMissing, false, "false"}, {"TRUE", true, "TRUE"},
      {"true", false, "false"}, {"no", true, "true"},       {"no", false, "no"},
      {kTooLong, true, "true"}, {kTooLong, false, "false"},
  };
  const struct {
    const char* name;
    DWORD flag;
    const char* registration;
    std::vector<Row> rows;
  } tables[] = {
      {"RightClick", kMenu, kMenuKey, boolean},
      {"OfficeMenu", kOffice, kWordKey, boolean},
      // The button part of Option switches; its desktop part stays.
      {"Option",
       kButton,
       kButtonKey,
       {{kMissing, true, "ie"},
        {kMissing, false, kMissing},
        {"IE", true, "IE"},
        {"ie", false, " "},
        {"iedesktop", true, "iedesktop"},
        {"IEDesktop", false, "desktop"},
        {"desktop", true, "iedesktop"},
        {"Desktop", false, "Desktop"},
        {"FALSE", true, "ie"},
        {"FALSE", false, "FALSE"},
        {kTooLong, true, "ie"},
        {kTooLong, false, kTooLong}}},
  };
  for (const auto& table : tables) {
    for (const Row& row : table.rows) {
      SCOPED_TRACE(std::string(table.name) + " " + row.stored.substr(0, 10) +
                   (row.on ? " on" : " off"));
      Clean();
      StoreUserSetting(table.name, row.stored);
      ASSERT_EQ(module_.SetOption(row.on ? table.flag : 0), 0);
      EXPECT_EQ(UserSetting(table.name), row.after);
      EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, table.registration), row.on);
      // TapvoGetOption reads the value back as switched, adding to the caller's bits.
      DWORD flags = 0x40;
      ASSERT_EQ(module_.GetOption(&flags), 0);
      EXPECT_EQ(flags & (table.flag | 0x41), (row.on ? table.flag : 0) | 0x41);
    }
  }
}

TEST_F(SettingsExportsTest, WithoutTheSettingsKeyNothingIsReadOrWritten) {
  Module module(true, true);
  EXPECT_EQ(module.SetOption(kMenu | kOffice | kButton), -1);
  DWORD flags = 0x40;
  EXPECT_EQ(module.GetOption(&flags), -1);
  EXPECT_EQ(flags, 0x40u);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
  // No end lines on failure.
  EXPECT_EQ(module.Trace(),
            (Strings{"DllMain()---DLL_PROCESS_ATTACH!", "TapvoSetOption()", "TapvoGetOption()"}));
  // RemoveAddIn works from the flags alone: no settings key is needed or made.
  EXPECT_EQ(module.RemoveAddIn(kButton), 0);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
  EXPECT_EQ(module.Trace().back(), "TapvoRemoveAddIn() end");
  StoreUserSetting("Option", "ie");
  EXPECT_EQ(module.SetOption(0), 0);
  EXPECT_EQ(module.Trace().back(), "TapvoSetOption() end");
}

// A page stored by TapvoSetLoginInfo (the site, "/" unless present, "start/",
// the name unencoded) or directly, split at its last two "/" and decoded.
TEST_F(SettingsExportsTest, StoredPagesSplitAtTheirLastTwoSlashes) {
  const std::string long_page = "https://host/" + std::string(200, 'p');
  const std::string sites(1100, 's'), names(1100, 'n');
  const struct {
    const char* set_site;  // stored by TapvoSetLoginInfo with `name`
    std::string page, site, name;
  } rows[] = {
      {"https://h/site", "https://h/site/start/ann", "https://h/site", "ann"},
      {"x/site", "x/site/start/", "x/site", ""},
      {"", "/start/ann", "", "ann"},              // an empty site still gets its "/"
      {"x/", "x/start/A%41+b c", "x", "AA b c"},  // no second "/", the name unencoded
      {nullptr, "x/site/start/Ann+Lee", "x/site", "Ann Lee"},
      {nullptr, "x/start/a/b", "x/start", "b"},
      {nullptr, "x/start/ann/", "x", "ann"},  // a final "/" behind the name is dropped
      {nullptr, "x/site/start/%41%4a%zz%4", "x/site", "AJ%zz%4"},
      {nullptr, "x/site/start/100%", "x/site", "100%"},
      {nullptr, "x/" + sites + "/start/ann", "x/" + sites.substr(0, 1021), "ann"},
      {nullptr, "x/start/" + names, "x", names.substr(0, 1023)},
      {nullptr, "no-start-here", "no-start-here", kUntouched},
      {nullptr, long_page, long_page.substr(0, 128), kUntouched},
      {nullptr, "", "", kUntouched},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.page.substr(0, 30));
    StoreUserSetting("MeetingPage", row.set_site ? "old" : row.page);
    if (row.set_site) {
      ASSERT_EQ(
          module_.SetLoginInfo(row.set_site, row.page.substr(row.page.find("start/") + 6).c_str()),
          0);
    }
    EXPECT_EQ(UserSetting("MeetingPage"), row.page);
    Login login = Get();
    EXPECT_EQ(login.result, 0);
    EXPECT_EQ(login.site(), row.site);
    EXPECT_EQ(login.name(), row.name);
    // 128 bytes of text and zeros, and a zero after a text of 128 characters.
    EXPECT_TRUE(row.name != kUntouched || login.site_buffer.find('#') == 129u);
  }
  // A SiteName takes the place of the page, even when it is empty.
  StoreUserSetting("SiteName", "");
  Login login = Get();
  EXPECT_EQ(login.result, 0);
  EXPECT_EQ(login.site_buffer.substr(0, 128), std::string(128, '\0'));
  EXPECT_EQ(login.name(), kUntouched);
}

// A new key gets every integration on; an existing one keeps its options and
// fills in missing ones as on. The registrations follow.
TEST_F(SettingsExportsTest, SetLoginInfoFillsInTheOptionsAndAppliesThem) {
  const char* const names[] = {"INSTALLED", "RightClick", "OfficeMenu", "Option"};
  const char* const registrations[] = {kMenuKey, kWordKey, kButtonKey};
  struct Row {
    const char* before[4];  // none: no key, and nothing registered beforehand
    const char* after[4];
    bool registered[3];
  } rows[] = {
      {{}, {"1", "true", "true", "ie"}, {1, 1, 1}},
      {{kMissing, kMissing, kMissing, kMissing}, {"true", "true", "true", "ie"}, {1, 1, 1}},
      {{"TRUE", "no", "TRUE", "desktop"}, {"TRUE", "no", "TRUE", "desktop"}, {0, 1, 0}},
      {{"1", "true", "false", "IEDesktop"}, {"true", "true", "false", "IEDesktop"}, {1, 0, 1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.after[3]);
    Clean();
    if (row.before[0] != nullptr) {
      module_.RemoveAddIn(kOffice | kButton | kMenu);
      for (int i = 0; i < 4; ++i) StoreUserSetting(names[i], row.before[i]);
    }
    EXPECT_EQ(module_.SetLoginInfo("x", "ann"), 0);
    EXPECT_EQ(UserSetting("MeetingPage"), "x/start/ann");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(UserSetting(names[i]), row.after[i]) << names[i];
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, registrations[i]), row.registered[i]) << i;
    }
    // A new key holds these five values and no other.
    EXPECT_TRUE(row.before[0] || DumpTree(HKEY_CURRENT_USER, kSettingsKey).size() == 6u);
  }
}

// The machine's settings, readable but not writable as for a user without
// administrator rights, seed a user who has no page of his own.
TEST_F(SettingsExportsTest, TheMachineSeedServesOnlyUnderItsPrivilege) {
  using Values = std::vector<std::pair<std::string, std::string>>;
  const std::pair<std::string, std::string> kGranted = {"UserPrivilege", "1"},
                                            kPage = {"MeetingPage", "m/start/bob"};
  const std::string long_page(2048, 'u'), long_privilege(256, '1');
  const struct {
    const char* name;
    Values machine, user;
    std::string login;  // a seeded page gives "m|..." or "s|..."
  } rows[] = {
      {"seeded", {kGranted, kPage}, {}, "m|bob"},
      {"user key without page", {kGranted, kPage}, {{"Option", "desktop"}}, "m|bob"},
      {"site name first", {kGranted, {"SiteName", "s/start/sue"}, kPage}, {}, "s|sue"},
      {"short site name", {kGranted, {"SiteName", "s"}, kPage}, {}, "m|bob"},
      {"overlong user page", {kGranted, kPage}, {{"MeetingPage", long_page}}, "m|bob"},
      {"one-character page", {kGranted, {"MeetingPage", "m"}}, {}, "-1"},
      {"no privilege", {{"UserPrivilege", "0"}, kPage}, {}, "|#"},
      {"overlong privilege", {{"UserPrivilege", long_privilege}, kPage}, {}, "|#"},
      {"user privilege does not count", {kPage}, {kGranted}, "|#"},
      {"no machine key", {}, {}, "-1"},
  };
  const char* const copied[] = {"MeetingPage", "Option",   "RightClick",
                                "OfficeMenu",  "HasBrand", "BrandTitle"};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Clean();
    for (const auto& value : row.machine) {
      SetStringValue(HKEY_LOCAL_MACHINE, kSettingsKey, value.first, value.second);
    }
    for (int i = 1; i < 6 && !row.machine.empty(); ++i) {
      SetStringValue(HKEY_LOCAL_MACHINE, kSettingsKey, copied[i], "machine value");
    }
    for (const auto& value : row.user) StoreUserSetting(value.first.c_str(), value.second);
    std::unique_ptr<ScopedReadOnlyKey> read_only;
    if (!row.machine.empty()) {
      read_only.reset(new ScopedReadOnlyKey(HKEY_LOCAL_MACHINE, kSettingsKey));
    }
    EXPECT_EQ(LoginText(), row.login);
    // Seeding copies the six values (SiteName is not among them).
    const bool seeded = row.login[0] == 'm' || row.login[0] == 's';
    for (const char* name : copied) {
      const std::string machine = ReadStringValue(HKEY_LOCAL_MACHINE, kSettingsKey, name);
      EXPECT_TRUE(machine == kMissing || (UserSetting(name) == machine) == seeded) << name;
    }
    EXPECT_EQ(UserSetting("SiteName"), kMissing);
  }
}

// Each bad-input row names the result and what the settings key holds after.
TEST_F(SettingsExportsTest, TextsAndFlagsGivenToTheExports) {
  Module& m = module_;
  auto pre_download =
      m.Export<int(WINAPI*)(INT_PTR, INT_PTR, INT_PTR, const char*, const char*, const char*)>(
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
      {"login, null site", [&] { return m.SetLoginInfo(nullptr, "ann"); }, -1, "", kIntact},
      {"login, null name", [&] { return m.SetLoginInfo("x", nullptr); }, -1, "", kIntact},
      {"login, 2041 characters", [&] { return m.SetLoginInfo(site.c_str(), "n"); }, -1, "",
       kIntact},
      {"login, 70000 characters", [&] { return m.SetLoginInfo("x", huge.c_str()); }, -1, "",
       kIntact},
      {"login, 2040 characters", [&] { return m.SetLoginInfo(site.c_str(), ""); }, 0, "MeetingPage",
       site + "/start/"},
      {"get login, null site", [&] { return m.GetLoginInfo(nullptr, out); }, -1, "", kIntact},
      {"get login, null name", [&] { return m.GetLoginInfo(out, nullptr); }, -1, "", kIntact},
      {"get option, null flags", [&] { return m.GetOption(nullptr); }, -1, "", kIntact},
      // Bits without a meaning are ignored: 0xFFFFFFF0 switches everything off.
      {"set option, unknown bits", [&] { return m.SetOption(0xFFFFFFF0); }, 0, "Option", " "},
      {"remove add-in, unknown bits", [&] { return m.RemoveAddIn(0xFFFFFFF0); }, 0, "", kIntact},
      {"pre-download, null page", [&] { return pre_download(0, 0, 0, nullptr, nullptr, nullptr); },
       0, "ReturnPage", kMissing},
      {"pre-download, empty page", [&] { return pre_download(0, 0, 0, "", "", ""); }, 0,
       "ReturnPage", kMissing},
      {"pre-download, 70000 characters",
       [&] { return pre_download(0, 0, 0, huge.c_str(), "", ""); }, 0, "ReturnPage", huge},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Clean();
    StoreUserSetting("MeetingPage", "x/start/seed");
    StoreUserSetting("Option", "ie");
    const Strings before = DumpTree(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_EQ(row.call(), row.result);
    if (row.after == kIntact) {
      EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsKey), before);
    } else {
      EXPECT_EQ(UserSetting(row.value), row.after);
    }
  }
}

// Stores `bytes` as they stand under the settings key of `hive` ("Logon\\x"
// names a value of the Logon sub-key). No zero follows the data in memory:
// Wine adds one to a REG_SZ that lacks it when the next byte is a zero.
void StoreRaw(HKEY hive, const std::string& name, DWORD type, const std::string& bytes) {
  const size_t slash = name.rfind('\\');
  const std::string key =
      std::string(kSettingsKey) + (slash == std::string::npos ? "" : "\\" + name.substr(0, slash));
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
TEST_F(SettingsExportsTest, StoredValuesOfTheWrongTypeOrSize) {
  module_.folder.CopyFromBin("client_frame.exe");
  auto get_class = module_.Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  RunningClientFrame client(module_.folder.File("client_frame.exe"));
  ASSERT_NE(client.window(), nullptr);
  const std::string sent = module_.folder.File("doubles.log");
  enum Probe { kFlags, kLogin, kPress };
  // The flags; "site|name"; the button's result with the page the browser
  // opened, or "sent" to the client.
  auto probe = [&](Probe what) -> std::string {
    if (what == kFlags) {
      DWORD flags = 0;
      const int result = module_.GetOption(&flags);
      return result != 0 ? std::to_string(result) : Hex(flags);
    }
    if (what == kLogin) return LoginText();
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
  const std::string dword_a("A\0\0\0", 4), names(2039, 'n');
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
      {"RightClick REG_BINARY TRUE", user, "RightClick", REG_BINARY, "TRUE", kFlags, "0x00000009"},
      {"Option ie, 260 bytes", user, "Option", REG_SZ, Padded("ie", 260), kFlags, "0x00000005"},
      {"Option ie, 261 bytes", user, "Option", REG_SZ, Padded("ie", 261), kFlags, "0x00000001"},
      {"Option without a zero", user, "Option", REG_SZ, "iedesktop", kFlags, "0x00000005"},
      {"page without a zero", user, "MeetingPage", REG_SZ, "x/start/ann", kLogin, "x|ann"},
      {"page of 2048 bytes", user, "MeetingPage", REG_SZ, Padded("x/start/" + names, 2048), kLogin,
       "x|" + names.substr(0, 1023)},
      {"page of 2048 characters without a zero", user, "MeetingPage", REG_SZ,
       "x/start/" + names + "n", kLogin, "-1"},
      {"SiteName REG_DWORD", user, "SiteName", REG_DWORD, dword_a, kLogin, "A|#"},
      {"UserPrivilege 1, 256 bytes", machine, "UserPrivilege", REG_SZ, Padded("1", 256), kLogin,
       "m|ann", true},
      {"UserPrivilege 1, 257 bytes", machine, "UserPrivilege", REG_SZ, Padded("1", 257), kLogin,
       "|#"},
      {"button page of 1024 characters without a zero", user, "MeetingPage", REG_SZ,
       std::string(1024, 'p'), kPress, too_long},
      {"button page of 1024 bytes", user, "MeetingPage", REG_SZ, Padded("http://h/", 1024), kPress,
       "0x00000000 http://h/"},
      {"LogonState REG_SZ 1", user, "Logon\\LogonState", REG_SZ, std::string("1", 2), kPress,
       "0x00000000 sent"},
      {"LogonState REG_BINARY of 8 bytes", user, "Logon\\LogonState", REG_BINARY, Padded("\1", 8),
       kPress, "0x00000000 http://h/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Clean();
    if (row.hive == machine) SetStringValue(machine, kSettingsKey, "MeetingPage", "m/start/ann");
    if (std::strchr(row.name, '\\')) StoreUserSetting("MeetingPage", "http://h/");
    StoreRaw(row.hive, row.name, row.type, row.bytes);
    const Strings before = DumpTree(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_EQ(probe(row.probe), row.outcome);
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsKey) == before, !row.writes);
  }
}

// Each writer, installed twice through TapvoRemoveAddIn, writes its own keys
// with the module's folder in them, and none of the others'. The status text
// comes from zrtpres.dll alone; Windows XP alone gets hot and normal icons.
TEST_F(SettingsExportsTest, EachWriterWritesItsOwnKeysNamingTheFolder) {
  const std::string inproc = "\\InprocServer32";
  const struct {
    DWORD flag;
    bool resources;
    std::string key, name, data;  // "F": the module's folder
  } rows[] = {
      {kButton, true, kButtonKey, "",
       "F\\zrtpres.dll,206|F\\zrtpres.dll,206|" + std::string(kStatusText)},
      {kButton, false, kButtonKey, "", "F\\zrtpres.dll,206|F\\zrtpres.dll,206|"},
      {kButton, true, "Software\\Classes\\CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}" + inproc,
       "", "F\\Korvat.dll"},
      {kOffice, true, kWordClass + inproc, "", "F\\nvxmsai.dll"},
      {kOffice, true,
       "Software\\Classes\\TypeLib\\{8B34F2E2-FD13-4553-9BDC-5E0280C29DC7}\\1.0\\HELPDIR", "", "F"},
      {kMenu, true, "Software\\Classes\\CLSID\\{4D185FEC-958C-4DB4-87AA-D4D79A46FAB7}" + inproc, "",
       "F\\nvxrmenu.dll"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.key);
    Clean();
    Module module(row.resources);
    const std::string folder = module.folder.path();
    ASSERT_EQ(module.RemoveAddIn(row.flag), 0);
    ASSERT_EQ(module.RemoveAddIn(row.flag), 0);
    std::string data = row.key == kButtonKey
                           ? ButtonIcons(folder)
                           : ReadStringValue(HKEY_CURRENT_USER, row.key, row.name);
    if (data.rfind(folder, 0) == 0) data = "F" + data.substr(folder.size());
    EXPECT_EQ(data, row.data);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kButtonKey), row.flag == kButton);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kWordKey), row.flag == kOffice);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kMenuKey), row.flag == kMenu);
  }
}

// Install then removal leaves only the shared parents the writers created
// (every delete met an empty key, children first), and a key that gained a
// foreign sub-key, with its parents. Only the user's keys are removed.
TEST_F(SettingsExportsTest, RemovalLeavesExactlyTheSharedParentsAndForeignKeys) {
  auto snapshot = []() {
    std::set<std::string> lines;
    for (const char* root : {"Software\\Classes", "Software\\Microsoft\\Office",
                             "Software\\Microsoft\\Internet Explorer"}) {
      for (const std::string& line : DumpTree(HKEY_CURRENT_USER, root)) lines.insert(line);
    }
    return lines;
  };
  std::set<std::string> expected = snapshot();
  const std::string office = "Software\\Microsoft\\Office", word = kWordClass;
  expected.insert({"Software\\Classes\\*", "Software\\Classes\\*\\shellex",
                   "Software\\Classes\\*\\shellex\\ContextMenuHandlers", "Software\\Classes\\CLSID",
                   "Software\\Classes\\Interface", "Software\\Classes\\TypeLib",
                   "Software\\Microsoft\\Internet Explorer",
                   "Software\\Microsoft\\Internet Explorer\\Extensions", office, word,
                   word + "|(default)=REG_SZ:NuvixWordAddIn Class", word + "\\ProgID",
                   word + "\\ProgID|(default)=REG_SZ:NvxMSAI.NuvixWordAddIn.1",
                   word + "\\ProgID\\Foreign", word + "\\ProgID\\Foreign|(default)=REG_SZ:theirs"});
  for (const char* application : {"Word", "PowerPoint", "Access", "Excel", "Frontpage"}) {
    expected.insert({office + "\\" + application, office + "\\" + application + "\\Addins"});
  }
  Module module(true, true);
  module.RemoveAddIn(kOffice | kButton | kMenu);
  SetStringValue(HKEY_CURRENT_USER, word + "\\ProgID\\Foreign", "", "theirs");
  SetStringValue(HKEY_LOCAL_MACHINE, kButtonKey, "", "machine");
  const size_t install_lines = module.Trace().size();
  module.RemoveAddIn(0);
  EXPECT_EQ(snapshot(), expected);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kButtonKey));
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kButtonKey);

  // One trace line per delete: 12 for the shell menu, 37 for Word and its
  // event class, 22 for each other office application, 11 for the button.
  Strings messages = module.Trace();
  ASSERT_EQ(messages.size(), install_lines + 2 + 12 + 37 + 4 * 22 + 11);
  EXPECT_EQ(messages[install_lines], "TapvoRemoveAddIn()");
  EXPECT_EQ(messages[install_lines + 1],
            "UnRegisterKey() parent_key = SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers,"
            "section_key = NuvixShareMenu");
  EXPECT_EQ(messages.back(), "TapvoRemoveAddIn() end");
}

// A copy of this program, run as the given Windows, installs the button
// through the module's export. Only version 5.1 is XP.
TEST_F(SettingsExportsTest, WindowsXPNamesTheHotAndNormalIcons) {
  for (const char* version : {"winxp", "win2k"}) {
    TempFolder folder;
    folder.CopyFromBin("Korvat.dll");
    folder.CopyFromBin("zrtpres.dll");
    const std::string exe = std::string("button_") + version + ".exe";
    folder.CopyFromBin("settings_exports_test.exe", exe);
    const std::string app_key = "Software\\Wine\\AppDefaults\\" + exe;
    SetStringValue(HKEY_CURRENT_USER, app_key, "Version", version);
    EXPECT_EQ(RunProcess("\"" + folder.File(exe) + "\" --install-button"), 0) << version;
    DeleteKeyTree(HKEY_CURRENT_USER, app_key);
    EXPECT_EQ(ButtonIcons(folder.path()),
              version[3] == 'x'
                  ? "F\\zrtpres.dll,203|F\\zrtpres.dll,204|" + std::string(kStatusText)
                  : "F\\zrtpres.dll,206|F\\zrtpres.dll,206|" + std::string(kStatusText))
        << version;
    Clean();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--install-button") {
    // The child: the module beside the program installs the button.
    ScopedLibrary module(LoadLibraryA(BinFile("Korvat.dll").c_str()));
    auto remove_add_in = GetProcAs<int(WINAPI*)(DWORD)>(module.Get(), "TapvoRemoveAddIn");
    return remove_add_in != nullptr ? remove_add_in(kButton) : 3;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
