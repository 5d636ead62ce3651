// The settings exports of the built module (options, login information) as
// callers use them: the values they store and report, the registrations they
// apply, the machine seed, and bad input, whether handed to the exports or
// left in the settings key by other programs.
#include <gtest/gtest.h>
#include <ole2.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

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
  explicit Module(bool resources = true) {
    folder.CopyFromBin("Korvat.dll");
    if (resources) folder.CopyFromBin("zrtpres.dll");
    dll.Reset(LoadLibraryA(folder.File("Korvat.dll").c_str()));
    SetOption = GetProcAs<decltype(SetOption)>(dll.Get(), "TapvoSetOption");
    GetOption = GetProcAs<decltype(GetOption)>(dll.Get(), "TapvoGetOption");
    RemoveAddIn = GetProcAs<decltype(RemoveAddIn)>(dll.Get(), "TapvoRemoveAddIn");
    SetLoginInfo = GetProcAs<decltype(SetLoginInfo)>(dll.Get(), "TapvoSetLoginInfo");
    GetLoginInfo = GetProcAs<decltype(GetLoginInfo)>(dll.Get(), "TapvoGetLoginInfo");
  }
  ~Module() {
    dll.Reset();
    // The button writer leaves zrtpres.dll loaded once per install.
    while (FreeLibrary(GetModuleHandleA(folder.File("zrtpres.dll").c_str()))) {
    }
  }
  Strings Trace() const { return TraceMessages(folder.File("Korvat.log")); }
  ScopedTraceSwitch trace_switch{"Korvat", 1};
  TempFolder folder;
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
  // TapvoGetLoginInfo into outputs of 1024 '#': "site|name" ("#": the name
  // output untouched), or the result when it is not 0.
  std::string Login(std::string* site_buffer = nullptr) {
    std::string site(1024, '#'), name(1024, '#');
    const int result = module_.GetLoginInfo(&site[0], &name[0]);
    if (site_buffer != nullptr) *site_buffer = site;
    if (result != 0) return std::to_string(result);
    return site.c_str() + std::string("|") + (name[0] == '#' ? "#" : name.c_str());
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
  // The button part of Option switches; its desktop part stays.
  const std::vector<Row> option = {
      {kMissing, true, "ie"}, {kMissing, false, kMissing},     {"IE", true, "IE"},
      {"ie", false, " "},     {"IEDesktop", false, "desktop"}, {"desktop", true, "iedesktop"},
      {"FALSE", true, "ie"},  {kTooLong, true, "ie"},          {kTooLong, false, kTooLong},
  };
  const struct {
    const char* name;
    DWORD flag;
    const char* registration;
    std::vector<Row> rows;
  } tables[] = {
      {"RightClick", kMenu, kMenuKey, boolean},
      {"OfficeMenu", kOffice, kWordKey, boolean},
      {"Option", kButton, kButtonKey, option},
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

// A page stored by TapvoSetLoginInfo (the site, "/" unless present, "start/",
// the name unencoded) or directly, split at its last two "/" and decoded.
TEST_F(SettingsExportsTest, StoredPagesSplitAtTheirLastTwoSlashes) {
  const std::string long_page = "https://host/" + std::string(200, 'p');
  const std::string sites(1100, 's'), names(1100, 'n');
  const struct {
    const char* set_site;  // stored by TapvoSetLoginInfo with the name in the page
    std::string page, login;
  } rows[] = {
      {"https://h/site", "https://h/site/start/ann", "https://h/site|ann"},
      {"x/site", "x/site/start/", "x/site|"},
      {"", "/start/ann", "|ann"},              // an empty site still gets its "/"
      {"x/", "x/start/A%41+b c", "x|AA b c"},  // no second "/", the name unencoded
      {nullptr, "x/site/start/Ann+Lee", "x/site|Ann Lee"},
      {nullptr, "x/start/a/b", "x/start|b"},
      {nullptr, "x/start/ann/", "x|ann"},  // a final "/" behind the name is dropped
      {nullptr, "x/site/start/%41%4a%zz%4", "x/site|AJ%zz%4"},
      {nullptr, "x/site/start/100%", "x/site|100%"},
      {nullptr, "x/" + sites + "/start/ann", "x/" + sites.substr(0, 1021) + "|ann"},
      {nullptr, "x/start/" + names, "x|" + names.substr(0, 1023)},
      {nullptr, "no-start-here", "no-start-here|#"},
      {nullptr, long_page, long_page.substr(0, 128) + "|#"},
      {nullptr, "", "|#"},
  };
  std::string site;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.page.substr(0, 30));
    StoreUserSetting("MeetingPage", row.set_site ? "old" : row.page);
    if (row.set_site) {
      const std::string name = row.page.substr(row.page.find("start/") + 6);
      ASSERT_EQ(module_.SetLoginInfo(row.set_site, name.c_str()), 0);
    }
    EXPECT_EQ(UserSetting("MeetingPage"), row.page);
    EXPECT_EQ(Login(&site), row.login);
    // 128 bytes of text and zeros, and a zero after a text of 128 characters.
    EXPECT_TRUE(row.login.back() != '#' || site.find('#') == 129u);
  }
  // A SiteName takes the place of the page, even when it is empty.
  StoreUserSetting("SiteName", "");
  EXPECT_EQ(Login(&site), "|#");
  EXPECT_EQ(site.substr(0, 128), std::string(128, '\0'));
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
    EXPECT_EQ(Login(), row.login);
    // Seeding copies the six values (SiteName is not among them).
    const bool seeded = row.login[0] == 'm' || row.login[0] == 's';
    for (const char* name : copied) {
      const std::string machine = ReadStringValue(HKEY_LOCAL_MACHINE, kSettingsKey, name);
      EXPECT_TRUE(machine == kMissing || (UserSetting(name) == machine) == seeded) << name;
    }
    EXPECT_EQ(UserSetting("SiteName"), kMissing);
  }
}

// Each row names the result and what the settings key holds after; only a
// call that succeeds writes its trace's end line.
TEST_F(SettingsExportsTest, TextsAndFlagsGivenToTheExports) {
  Module& m = module_;
  const std::string site(2040, 's');
  char out[1024];
  const struct {
    const char* what;
    std::function<int()> call;
    int result;
    const char* value;  // read afterwards from the user's settings key
    std::string after;
    bool no_key = false;  // the call finds no settings key
  } rows[] = {
      {"set option, no key", [&] { return m.SetOption(kMenu | kOffice | kButton); }, -1, "",
       kIntact, true},
      {"get option, no key",
       [&] {
         DWORD flags = 0x40;
         const int result = m.GetOption(&flags);
         return flags == 0x40 ? result : 99;
       },
       -1, "", kIntact, true},
      // RemoveAddIn works from the flags alone: no settings key is needed or made.
      {"remove add-in, no key", [&] { return m.RemoveAddIn(kButton); }, 0, "", kIntact, true},
      {"login, null site", [&] { return m.SetLoginInfo(nullptr, "ann"); }, -1, "", kIntact},
      {"login, null name", [&] { return m.SetLoginInfo("x", nullptr); }, -1, "", kIntact},
      {"login, 2041 characters", [&] { return m.SetLoginInfo(site.c_str(), "n"); }, -1, "",
       kIntact},
      {"login, 2040 characters", [&] { return m.SetLoginInfo(site.c_str(), ""); }, 0, "MeetingPage",
       site + "/start/"},
      {"get login, null site", [&] { return m.GetLoginInfo(nullptr, out); }, -1, "", kIntact},
      {"get login, null name", [&] { return m.GetLoginInfo(out, nullptr); }, -1, "", kIntact},
      {"get option, null flags", [&] { return m.GetOption(nullptr); }, -1, "", kIntact},
      // Bits without a meaning are ignored: 0xFFFFFFF0 switches everything off.
      {"set option, unknown bits", [&] { return m.SetOption(0xFFFFFFF0); }, 0, "Option", " "},
      {"remove add-in, unknown bits", [&] { return m.RemoveAddIn(0xFFFFFFF0); }, 0, "", kIntact},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Clean();
    if (!row.no_key) StoreUserSetting("MeetingPage", "x/start/seed");
    if (!row.no_key) StoreUserSetting("Option", "ie");
    const Strings before = DumpTree(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_EQ(row.call(), row.result);
    const std::string last = m.Trace().back();
    EXPECT_EQ(last.size() > 4 && last.substr(last.size() - 4) == " end", row.result == 0) << last;
    if (row.after == kIntact) {
      EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsKey), before);
    } else {
      EXPECT_EQ(UserSetting(row.value), row.after);
    }
  }
}

// Stores `bytes` as they stand under the settings key of `hive`. No zero
// follows the data in memory: Wine adds one to a REG_SZ that lacks it when
// the next byte is a zero.
void StoreRaw(HKEY hive, const char* name, DWORD type, const std::string& bytes) {
  const std::string data = bytes + '#';
  RegSetKeyValueA(hive, kSettingsKey, name, type, data.data(), static_cast<DWORD>(bytes.size()));
}
std::string Padded(const std::string& text, size_t size) {
  return text + std::string(size - text.size(), '\0');
}

// Values as other programs may leave them: of the wrong type, without their
// terminating zero, exactly a reader's buffer in size and one byte past it.
// The readers do not look at the type; a value that does not fit the buffer
// with a zero after it counts as missing. Readers leave the key as it was.
TEST_F(SettingsExportsTest, StoredValuesOfTheWrongTypeOrSize) {
  enum Probe { kFlags, kLogin, kPress };
  // The result and flags; "site|name" as Login gives them; the button's
  // result and the page the browser opened.
  auto probe = [&](Probe what) -> std::string {
    DWORD flags = 0;
    if (what == kLogin) return Login();
    const int result = what == kFlags ? module_.GetOption(&flags) : 0;
    if (what == kFlags) return std::to_string(result) + " " + std::to_string(flags);
    auto get_class = GetProcAs<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(module_.dll.Get(),
                                                                           "DllGetClassObject");
    TestSite site;
    ComPtr<IClassFactory> factory;
    ComPtr<IObjectWithSite> object;
    ComPtr<IOleCommandTarget> target;
    if (FAILED(get_class(kKorvatExec, IID_IClassFactory, factory.PutVoid())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IObjectWithSite, object.PutVoid())) ||
        FAILED(object->SetSite(&site)) || FAILED(object.As(IID_IOleCommandTarget, &target))) {
      return "no object";
    }
    std::string outcome = std::to_string(target->Exec(nullptr, 0, 0, nullptr, nullptr));
    for (const std::string& call : site.browser.calls) outcome += " " + call.substr(0, 9);
    return outcome;
  };
  const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
  const std::string dword_a("A\0\0\0", 4), names(2039, 'n');
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
      {"RightClick REG_BINARY TRUE", user, "RightClick", REG_BINARY, "TRUE", kFlags, "0 9"},
      {"Option ie, 260 bytes", user, "Option", REG_SZ, Padded("ie", 260), kFlags, "0 5"},
      {"Option without a zero", user, "Option", REG_SZ, "iedesktop", kFlags, "0 5"},
      {"page without a zero", user, "MeetingPage", REG_SZ, "x/start/ann", kLogin, "x|ann"},
      {"page of 2048 bytes", user, "MeetingPage", REG_SZ, Padded("x/start/" + names, 2048), kLogin,
       "x|" + names.substr(0, 1023)},
      {"page of 2048 characters without a zero", user, "MeetingPage", REG_SZ,
       "x/start/" + names + "n", kLogin, "-1"},
      {"SiteName REG_DWORD", user, "SiteName", REG_DWORD, dword_a, kLogin, "A|#"},
      {"UserPrivilege 1, 256 bytes", machine, "UserPrivilege", REG_SZ, Padded("1", 256), kLogin,
       "m|ann", true},
      // The button's page buffer holds 1024 bytes.
      {"button page of 1024 bytes", user, "MeetingPage", REG_SZ, Padded("http://h/", 1024), kPress,
       "0 http://h/"},
      {"button page of 1024 characters without a zero", user, "MeetingPage", REG_SZ,
       std::string(1024, 'p'), kPress, std::to_string(HRESULT_FROM_WIN32(ERROR_MORE_DATA))},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Clean();
    if (row.hive == machine) SetStringValue(machine, kSettingsKey, "MeetingPage", "m/start/ann");
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
    std::string key, data;  // "F": the module's folder
  } rows[] = {
      {kButton, true, kButtonKey,
       "F\\zrtpres.dll,206|F\\zrtpres.dll,206|" + std::string(kStatusText)},
      {kButton, false, kButtonKey, "F\\zrtpres.dll,206|F\\zrtpres.dll,206|"},
      {kOffice, true, kWordClass + inproc, "F\\nvxmsai.dll"},
      {kMenu, true, "Software\\Classes\\CLSID\\{4D185FEC-958C-4DB4-87AA-D4D79A46FAB7}" + inproc,
       "F\\nvxrmenu.dll"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.key);
    Clean();
    Module module(row.resources);
    const std::string folder = module.folder.path();
    ASSERT_EQ(module.RemoveAddIn(row.flag), 0);
    ASSERT_EQ(module.RemoveAddIn(row.flag), 0);
    std::string data = row.key == kButtonKey ? ButtonIcons(folder)
                                             : ReadStringValue(HKEY_CURRENT_USER, row.key, "");
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
  module_.RemoveAddIn(kOffice | kButton | kMenu);
  SetStringValue(HKEY_CURRENT_USER, word + "\\ProgID\\Foreign", "", "theirs");
  SetStringValue(HKEY_LOCAL_MACHINE, kButtonKey, "", "machine");
  module_.RemoveAddIn(0);
  EXPECT_EQ(snapshot(), expected);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kButtonKey));
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kButtonKey);
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
              std::string("F\\zrtpres.dll,") +
                  (version[3] == 'x' ? "203|F\\zrtpres.dll,204|" : "206|F\\zrtpres.dll,206|") +
                  kStatusText);
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
