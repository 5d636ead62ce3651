// The settings exports of the built module as callers use them: the values they
// store and report, the registrations they apply, and bad input.
#include <gtest/gtest.h>
#include <ole2.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "browser_site.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "platform/proc_address.h"
#include "settings/option_flags.h"
#include "settings/settings_key.h"

using namespace korvat_test;

namespace {

using Strings = std::vector<std::string>;
using Names = std::vector<const char*>;
constexpr DWORD kOffice = OPTION_OFFICE_MENU, kButton = OPTION_BROWSER_BUTTON,
                kMenu = OPTION_RIGHT_CLICK;
const char kMissing[] = "<missing>";   // what ReadStringValue gives for no value
const std::string kTooLong(260, 't');  // one byte more than the 260-byte reader holds
const char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kWordKey[] = "Software\\Microsoft\\Office\\Word\\Addins\\NvxMSAI.NuvixWordAddIn";
const char kMenuKey[] = "Software\\Classes\\*\\shellex\\ContextMenuHandlers\\NuvixShareMenu";
const char kWordClass[] = "Software\\Classes\\CLSID\\{AEECE333-8900-4915-9697-7A0B4034B3D8}";

std::string UserSetting(const char* name) {
  return ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, name);
}
// Storing kMissing makes only the key.
void StoreUserSetting(const char* name, const std::string& value) {
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, value == kMissing ? "Other" : name,
                 value == kMissing ? "" : value);
}
// Stores `bytes` as they stand; no zero follows them in memory (Wine adds one
// to a REG_SZ that lacks it when the next byte is a zero).
void StoreRaw(HKEY hive, const char* name, DWORD type, const std::string& bytes) {
  const std::string data = bytes + '#';
  RegSetKeyValueA(hive, kSettingsKey, name, type, data.data(), static_cast<DWORD>(bytes.size()));
}
std::string Padded(const std::string& text, size_t size) {
  return text + std::string(size - text.size(), '\0');
}

// The built module, loaded from a temporary folder, with its trace on.
class SettingsExportsTest : public ::testing::Test {
 protected:
  SettingsExportsTest() {
    for (auto file : {"Korvat.dll", "zrtpres.dll"}) folder_.CopyFromBin(file);
    dll_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
    Clean();
  }
  ~SettingsExportsTest() override {
    Clean();
    DeleteKeyTree(HKEY_CURRENT_USER, kWordClass);
    dll_.Reset();
    // The button writer leaves zrtpres.dll loaded once per install.
    while (FreeLibrary(GetModuleHandleA(folder_.File("zrtpres.dll").c_str()))) continue;
  }
  template <typename Fn>
  Fn Export(const char* name) {
    return GetProcAs<Fn>(dll_.Get(), name);
  }
  int SetOption(DWORD flags) { return Export<int(WINAPI*)(DWORD)>("TapvoSetOption")(flags); }
  int GetOption(DWORD* flags) { return Export<int(WINAPI*)(DWORD*)>("TapvoGetOption")(flags); }
  int RemoveAddIn(DWORD flags) { return Export<int(WINAPI*)(DWORD)>("TapvoRemoveAddIn")(flags); }
  int SetLogin(const char* site, const char* name) {
    return Export<int(WINAPI*)(const char*, const char*)>("TapvoSetLoginInfo")(site, name);
  }
  int GetLogin(char* site, char* name) {
    return Export<int(WINAPI*)(char*, char*)>("TapvoGetLoginInfo")(site, name);
  }
  void Clean() {
    DeleteSettingsKeys();
    RemoveAddIn(0);
  }
  // TapvoGetLoginInfo into outputs of 1024 '#': "site|name" (the name output
  // untouched: "#" and where the site's '#' begin), or the result when not 0.
  std::string Login() {
    std::string site(1024, '#'), name(1024, '#');
    const int result = GetLogin(&site[0], &name[0]);
    if (result != 0) return std::to_string(result);
    const std::string rest = name[0] == '#' ? "#" + std::to_string(site.find('#')) : name.c_str();
    return site.c_str() + ("|" + rest);
  }
  ScopedTraceSwitch trace_switch_{"Korvat", 1};
  TempFolder folder_;
  ScopedLibrary dll_;
};

// One value switched by its flag: the value after, the registration, TapvoGetOption's flag.
TEST_F(SettingsExportsTest, EachOptionFollowsItsTable) {
  using Rows = std::vector<std::tuple<std::string, bool, std::string>>;  // stored, on, after
  const Rows boolean = {
      {kMissing, true, "true"}, {kMissing, false, "false"}, {"TRUE", true, "TRUE"},
      {"true", false, "false"}, {"no", true, "true"},       {"no", false, "no"},
      {kTooLong, true, "true"}, {kTooLong, false, "false"},
  };
  // The button part of Option switches; its desktop part stays.
  const Rows option = {
      {kMissing, true, "ie"}, {kMissing, false, kMissing},     {"IE", true, "IE"},
      {"ie", false, " "},     {"IEDesktop", false, "desktop"}, {"desktop", true, "iedesktop"},
      {"FALSE", true, "ie"},  {kTooLong, true, "ie"},          {kTooLong, false, kTooLong},
  };
  const std::tuple<const char*, DWORD, const char*, Rows> tables[] = {
      {"RightClick", kMenu, kMenuKey, boolean},
      {"OfficeMenu", kOffice, kWordKey, boolean},
      {"Option", kButton, kButtonKey, option},
  };
  for (const auto& [name, flag, registration, rows] : tables) {
    for (const auto& [stored, on, after] : rows) {
      SCOPED_TRACE(std::string(name) + " " + stored.substr(0, 10) + (on ? " on" : " off"));
      Clean();
      StoreUserSetting(name, stored);
      ASSERT_EQ(SetOption(on ? flag : 0), 0);
      EXPECT_EQ(UserSetting(name), after);
      EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, registration), on);
      DWORD flags = 0x40;
      ASSERT_EQ(GetOption(&flags), 0);
      EXPECT_EQ(flags & (flag | 0x41), (on ? flag : 0) | 0x41);
    }
  }
}

// Texts and flags from callers, and stored values of the wrong type, size or without a zero; a
// read-only machine key seeds a user without a page under the privilege. The user's key changes
// only where a row shows "=", or by seeding, which copies six values (not SiteName).
TEST_F(SettingsExportsTest, TextsFlagsPagesAndStoredValues) {
  // The result, " =" and the named value after; only a success traces its end line.
  auto traced = [&](int result, const char* name = nullptr) {
    const std::string last = TraceMessages(folder_.File("Korvat.log")).back();
    EXPECT_EQ(last.size() > 4 && last.substr(last.size() - 4) == " end", result == 0) << last;
    return std::to_string(result) + (name ? " =" + UserSetting(name) : "");
  };
  auto flags = [&] {  // TapvoGetOption adds to the caller's bits
    DWORD flags = 0x40;
    const std::string result = traced(GetOption(&flags));
    return result + " " + std::to_string(flags);
  };
  auto login = [&] { return Login(); };
  // Options and registrations after TapvoSetLoginInfo, and how many values the key holds.
  auto fills = [&] {
    if (KeyExists(HKEY_CURRENT_USER, kSettingsKey)) RemoveAddIn(kOffice | kButton | kMenu);
    std::string state = traced(SetLogin("x", "ann"), "MeetingPage");
    for (auto name : {"INSTALLED", kRightClick, kOfficeMenu, kOption})
      state += " " + UserSetting(name);
    for (auto key : {kMenuKey, kWordKey, kButtonKey})
      state += "01"[KeyExists(HKEY_CURRENT_USER, key)];
    return state + " " + std::to_string(DumpTree(HKEY_CURRENT_USER, kSettingsKey).size() - 1);
  };
  // The page TapvoSetLoginInfo stores (site, "/" unless present, "start/", name), read back.
  auto set = [&](const char* site, const char* name) -> std::function<std::string()> {
    return [=] {
      const std::string stored = traced(SetLogin(site, name), "MeetingPage");
      return stored + " " + Login();
    };
  };
  auto press = [&]() -> std::string {  // the button's result and the page the browser opened
    BrowserSite site;
    CLSID id;
    CLSIDFromString(L"{80947ADC-151D-490B-87F1-7C8CE1B46220}", &id);
    ComPtr<IClassFactory> factory;
    ComPtr<IObjectWithSite> object;
    ComPtr<IOleCommandTarget> target;
    if (FAILED(Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(
            id, IID_IClassFactory, factory.PutVoid())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IObjectWithSite, object.PutVoid())) ||
        FAILED(object->SetSite(&site)) || FAILED(object.As(IID_IOleCommandTarget, &target))) {
      return "no object";
    }
    std::string outcome = std::to_string(target->Exec(nullptr, 0, 0, nullptr, nullptr));
    for (const std::string& call : site.browser.calls) outcome += " " + call.substr(0, 9);
    return outcome;
  };
  using Value = std::tuple<HKEY, const char*, std::string, DWORD>;  // bytes as stored
  const HKEY u = HKEY_CURRENT_USER, m = HKEY_LOCAL_MACHINE;
  auto page = [&](const std::string& text) {
    return std::vector<Value>{{u, "MeetingPage", text + '\0', REG_SZ}};
  };
  const std::string long_page = "x/start/" + std::string(2039, 'n'), n1023(1023, 'n'),
                    sites(2040, 's'), s1100(1100, 's'), url = "https://h/" + std::string(200, 'p');
  char out[1024];
  const Value granted = {m, "UserPrivilege", Padded("1", 2), REG_SZ},
              bob = {m, "MeetingPage", Padded("m/start/bob", 12), REG_SZ};
  auto options = [&](std::string a, std::string b, std::string c, std::string d) {
    return std::vector<Value>{{u, "INSTALLED", a + '\0', REG_SZ},
                              {u, kRightClick, b + '\0', REG_SZ},
                              {u, kOfficeMenu, c + '\0', REG_SZ},
                              {u, kOption, d + '\0', REG_SZ}};
  };
  const std::vector<Value> key = {{u, "MeetingPage", Padded("x/start/seed", 13), REG_SZ},
                                  {u, "Option", Padded("ie", 3), REG_SZ}};
  const std::tuple<std::vector<Value>, std::function<std::string()>, std::string> rows[] = {
      {{}, [&] { return traced(SetOption(kMenu | kOffice | kButton)); }, "-1"},
      {{}, flags, "-1 64"},
      {{}, [&] { return traced(RemoveAddIn(kButton)); }, "0"},  // needs no key, makes none
      {key, [&] { return traced(SetLogin(nullptr, "ann")); }, "-1"},
      {key, [&] { return traced(SetLogin("x", nullptr)); }, "-1"},
      {key, [&] { return traced(SetLogin(sites.c_str(), "n")); }, "-1"},  // 2041 characters
      {key, [&] { return traced(SetLogin("x\r\nIconFile=y", "n")); }, "-1"},
      {key, [&] { return traced(SetLogin("x", "n\x7f")); }, "-1"},
      {key, [&] { return traced(SetLogin(sites.c_str(), ""), "MeetingPage"); },
       "0 =" + sites + "/start/"},
      {key, [&] { return traced(GetLogin(nullptr, out)); }, "-1"},
      {key, [&] { return traced(GetLogin(out, nullptr)); }, "-1"},
      {key, [&] { return traced(GetOption(nullptr)); }, "-1"},
      // Bits without a meaning are ignored: 0xFFFFFFF0 switches everything off.
      {key, [&] { return traced(SetOption(0xFFFFFFF0), "Option"); }, "0 = "},
      {key, [&] { return traced(RemoveAddIn(0xFFFFFFF0)); }, "0"},
      // A new key gets every integration on; an existing one keeps its options
      // and fills in missing ones as on.
      {{}, fills, "0 =x/start/ann 1 true true ie111 5"},
      {{{u, "Other", "", REG_SZ}}, fills, "0 =x/start/ann true true true ie111 6"},
      {options("TRUE", "no", "TRUE", "desktop"), fills, "0 =x/start/ann TRUE no TRUE desktop010 5"},
      {options("1", "true", "false", "IEDesktop"), fills,
       "0 =x/start/ann true true false IEDesktop101 5"},
      // Pages split at their last two "/" and decoded; a login without a name
      // leaves the name output and fills 128 bytes of the site's and a zero.
      {key, set("https://h/site", "ann"), "0 =https://h/site/start/ann https://h/site|ann"},
      {key, set("x/site", ""), "0 =x/site/start/ x/site|"},
      {key, set("", "ann"), "0 =/start/ann |ann"},
      {key, set("x/", "A%41+b c"), "0 =x/start/A%41+b c x|AA b c"},
      {page("x/start/a/b"), login, "x/start|b"},
      {page("x/start/ann/"), login, "x|ann"},
      {page("x/site/start/%41%4a%zz%4"), login, "x/site|AJ%zz%4"},
      {page("x/" + s1100 + "/start/ann"), login, "x/" + s1100.substr(0, 1021) + "|ann"},
      {page("x/start/" + s1100), login, "x|" + s1100.substr(0, 1023)},
      {page("no-start-here"), login, "no-start-here|#129"},
      {page(url), login, url.substr(0, 128) + "|#129"},
      {page(""), login, "|#129"},
      {{{u, "RightClick", "TRUE", REG_BINARY}}, flags, "0 73"},
      {{{u, "Option", Padded("ie", 260), REG_SZ}}, flags, "0 69"},
      {{{u, "MeetingPage", "x/start/ann", REG_SZ}}, login, "x|ann"},
      {{{u, "MeetingPage", Padded(long_page, 2048), REG_SZ}}, login, "x|" + n1023},
      {{{u, "MeetingPage", long_page + "n", REG_SZ}}, login, "-1"},
      {{{u, "SiteName", std::string("A\0\0\0", 4), REG_DWORD}}, login, "A|#129"},
      // The button's page buffer holds 1024 bytes.
      {{{u, "MeetingPage", Padded("http://h/", 1024), REG_SZ}}, press, "0 http://h/"},
      {{{u, "MeetingPage", std::string(1024, 'p'), REG_SZ}},
       press,
       std::to_string(HRESULT_FROM_WIN32(ERROR_MORE_DATA))},
      {{granted, bob}, login, "m|bob"},
      {{{m, "UserPrivilege", Padded("1", 256), REG_SZ}, bob}, login, "m|bob"},
      {{granted, bob, {u, "Option", Padded("desktop", 8), REG_SZ}}, login, "m|bob"},
      {{granted, {m, "SiteName", Padded("s/start/sue", 12), REG_SZ}, bob}, login, "s|sue"},
      {{granted, {m, "MeetingPage", Padded("m", 2), REG_SZ}}, login, "-1"},
      {{{m, "UserPrivilege", Padded("0", 2), REG_SZ}, bob}, login, "|#129"},
      {{bob, {u, "UserPrivilege", Padded("1", 2), REG_SZ}}, login, "|#129"},
  };
  const char* const copied[] = {kMeetingPage, kOption,   kRightClick,
                                kOfficeMenu,  kHasBrand, kBrandTitle};
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& [values, probe, outcome] = rows[i];
    SCOPED_TRACE(i);
    Clean();
    for (const auto& [hive, name, bytes, type] : values) StoreRaw(hive, name, type, bytes);
    const bool machine = KeyExists(m, kSettingsKey);
    for (int c = 1; c < 6 && machine; ++c) StoreRaw(m, copied[c], REG_SZ, Padded("seed", 5));
    std::unique_ptr<ScopedReadOnlyKey> read_only(machine ? new ScopedReadOnlyKey(m, kSettingsKey)
                                                         : nullptr);
    const Strings before = DumpTree(u, kSettingsKey);
    EXPECT_EQ(probe(), outcome);
    const bool seeded = outcome[1] == '|' && (outcome[0] == 'm' || outcome[0] == 's');
    for (const char* name : copied) {
      const std::string seed = ReadStringValue(m, kSettingsKey, name);
      EXPECT_TRUE(seed == kMissing || (UserSetting(name) == seed) == seeded) << name;
    }
    EXPECT_EQ(DumpTree(u, kSettingsKey) == before,
              !seeded && outcome.find('=') == std::string::npos);
    EXPECT_TRUE(!seeded || UserSetting("SiteName") == kMissing);
  }
}

// The user's values under the roots the writers write to, "key|value name", less `before`.
std::set<std::string> WrittenValues(const std::set<std::string>& before = {}) {
  std::set<std::string> names;
  for (const char* root : {"Software\\Classes", "Software\\Microsoft\\Office",
                           "Software\\Microsoft\\Internet Explorer"}) {
    for (const std::string& line : DumpTree(HKEY_CURRENT_USER, root)) {
      const std::string name = line.substr(0, line.find('='));
      if (name.find('|') != std::string::npos && !before.count(name)) names.insert(name);
    }
  }
  return names;
}

// A class's values under Software\Classes: its CLSID key and both ProgIDs.
void AddClass(std::set<std::string>& names, const std::string& clsid, const std::string& prog_id,
              bool programmable) {
  const std::string c = "Software\\Classes\\CLSID\\" + clsid, p = "Software\\Classes\\" + prog_id;
  for (const std::string& name :
       {c + "|(default)", c + "\\InprocServer32|(default)", c + "\\InprocServer32|ThreadingModel",
        c + "\\ProgID|(default)", c + "\\TypeLib|(default)",
        c + "\\VersionIndependentProgID|(default)", p + "|(default)", p + "\\CLSID|(default)",
        p + "\\CurVer|(default)", p + ".1|(default)", p + ".1\\CLSID|(default)"}) {
    names.insert(name);
  }
  if (programmable) names.insert(c + "\\Programmable|(default)");
}

// Every value each writer must write, by name.
std::set<std::string> ExpectedValues(DWORD flag) {
  std::set<std::string> names;
  if (flag == kButton) {
    AddClass(names, "{80947ADC-151D-490B-87F1-7C8CE1B46220}", "Korvat.KorvatExec", false);
    for (auto name : {"ButtonText", "CLSID", "ClsidExtension", "Default Visible", "HotIcon", "Icon",
                      "MenuStatusBar", "MenuText"}) {
      names.insert(kButtonKey + std::string("|") + name);
    }
  } else if (flag == kMenu) {
    AddClass(names, "{4D185FEC-958C-4DB4-87AA-D4D79A46FAB7}", "NvxRMenu.NuvixRightMenu", true);
    names.insert(kMenuKey + std::string("|(default)"));
  } else {
    const char* const classes[][4] = {
        // application ("": none), ProgID, class, interface
        {"Word", "NuvixWordAddIn", "AEECE333-8900-4915-9697-7A0B4034B3D8",
         "FF859B60-9AE3-4B75-9DDF-0191BF410B53"},
        {"", "NuvixWordEvent", "00F500BC-CD5A-4301-AA26-090DE98E047E",
         "FA04E598-5EA4-43DB-BCD3-7E134657B3F4"},
        {"PowerPoint", "NvxPPTAddIn", "C3741FD4-FABE-4C36-88E7-40C0C09FCE8D",
         "5396B53B-A44C-440F-A9E0-89E8392BC230"},
        {"Access", "NuvixAccessAddin", "F00F2D09-D31C-4C72-9480-7962A8DE178D",
         "DEB8CAA7-41A1-4FA0-B6E8-6FFE61C1612C"},
        {"Excel", "NuvixExcelAddin", "F6E0DEDD-F6D5-4195-BE2D-AB628A0BBDF4",
         "AA7C35C1-9542-4B02-9720-463A2929FDAB"},
        {"Frontpage", "NuvixFrontPageAddin", "F14952A1-592E-4CDD-8407-E924E9F0F500",
         "A6A52D22-178D-4DCB-8344-8BF84B09674F"}};
    const std::string library =
        "Software\\Classes\\TypeLib\\{8B34F2E2-FD13-4553-9BDC-5E0280C29DC7}\\1.0";
    for (const std::string& name :
         {library + "|(default)", library + "\\FLAGS|(default)", library + "\\HELPDIR|(default)",
          library + "\\0\\win32|(default)"}) {
      names.insert(name);
    }
    for (auto [application, prog_id, clsid, iid] : classes) {
      AddClass(names, "{" + std::string(clsid) + "}", std::string("NvxMSAI.") + prog_id, true);
      const std::string i = "Software\\Classes\\Interface\\{" + std::string(iid) + "}";
      for (const std::string& name :
           {i + "|(default)", i + "\\ProxyStubClsid|(default)", i + "\\ProxyStubClsid32|(default)",
            i + "\\TypeLib|(default)", i + "\\TypeLib|Version"}) {
        names.insert(name);
      }
      const std::string add_in = "Software\\Microsoft\\Office\\" + std::string(application) +
                                 "\\Addins\\NvxMSAI." + prog_id + "|";
      for (auto name : {"CommandLineSafe", "LoadBehavior", "Description", "FriendlyName"}) {
        if (*application) names.insert(add_in + name);
      }
    }
  }
  return names;
}

// Each writer, installed twice by a copy of this program run as the given Windows, writes its own
// keys and values naming the module's folder, and none of the others'; XP has hot and normal icons.
TEST_F(SettingsExportsTest, EachWriterWritesItsOwnKeysNamingTheFolder) {
  const std::string inproc = "\\InprocServer32", status = "This will start Nuvix Tapvo Meeting",
                    icons = "F\\zrtpres.dll,206|F\\zrtpres.dll,206|";
  const std::tuple<DWORD, const char*, bool, std::string, std::string> rows[] = {
      // flag, Windows, zrtpres.dll beside the module, key, data ("F": the folder)
      {kButton, "winxp", false, kButtonKey, "F\\zrtpres.dll,203|F\\zrtpres.dll,204|"},
      {kButton, "", true, kButtonKey, icons + status},
      {kOffice, "", true, kWordClass + inproc, "F\\nvxmsai.dll"},
      {kMenu, "", true, "Software\\Classes\\CLSID\\{4D185FEC-958C-4DB4-87AA-D4D79A46FAB7}" + inproc,
       "F\\nvxrmenu.dll"},
  };
  for (const auto& [flag, version, resources, key, expected] : rows) {
    SCOPED_TRACE(key + " " + version);
    Clean();
    TempFolder folder;
    folder.CopyFromBin("Korvat.dll");
    if (resources) folder.CopyFromBin("zrtpres.dll");
    const std::string exe = std::string("writer_") + version + ".exe";
    folder.CopyFromBin("settings_exports_test.exe", exe);
    const std::string app_key = "Software\\Wine\\AppDefaults\\" + exe;
    if (*version) SetStringValue(HKEY_CURRENT_USER, app_key, "Version", version);
    const std::set<std::string> before = WrittenValues();
    EXPECT_EQ(RunProcess("\"" + folder.File(exe) + "\" --install " + std::to_string(flag)), 0);
    DeleteKeyTree(HKEY_CURRENT_USER, app_key);
    const std::string& dir = folder.path();
    std::string data;
    for (const char* name :
         flag == kButton ? Names{"HotIcon", "Icon", "MenuStatusBar"} : Names{""}) {
      const std::string value = ReadStringValue(HKEY_CURRENT_USER, key, name);
      data += (data.empty() ? "" : "|") +
              (value.rfind(dir, 0) ? value : "F" + value.substr(dir.size()));
    }
    EXPECT_EQ(data, expected);
    EXPECT_EQ(WrittenValues(before), ExpectedValues(flag));
    for (auto [f, k] : {std::pair(kButton, kButtonKey), {kOffice, kWordKey}, {kMenu, kMenuKey}}) {
      EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, k), flag == f);
    }
  }
}

// Removal leaves only the shared parents the writers created, and a key that gained a foreign
// sub-key, with its parents. Only the user's keys are removed.
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
  RemoveAddIn(kOffice | kButton | kMenu);
  SetStringValue(HKEY_CURRENT_USER, word + "\\ProgID\\Foreign", "", "theirs");
  SetStringValue(HKEY_LOCAL_MACHINE, kButtonKey, "", "machine");
  RemoveAddIn(0);
  EXPECT_EQ(snapshot(), expected);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kButtonKey));
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kButtonKey);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--install") {
    // The child: the module beside the program installs the writer twice.
    ScopedLibrary module(LoadLibraryA(BinFile("Korvat.dll").c_str()));
    auto remove_add_in = GetProcAs<int(WINAPI*)(DWORD)>(module.Get(), "TapvoRemoveAddIn");
    const DWORD flag = std::stoul(argv[2]);
    return remove_add_in == nullptr ? 3 : (remove_add_in(flag) | remove_add_in(flag));
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
