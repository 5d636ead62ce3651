// The settings exports of the built module (options, login information), the
// registration writers they drive, and the reading rule beneath them: the stored-state tables row
// by row, the flags and pages they report, the registrations they apply, the machine seed, and bad
// input as callers hand it (texts and numbers given to the exports, values of the wrong type or
// size). Each bad-input row names the result and what the settings key holds afterwards.
#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "doubles/client_frame.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "registration/feature_module.h"
#include "settings/settings_key.h"
#include "toolbar/browser_site_double.h"

using namespace korvat_test;

namespace {

using korvat_test::kRightClick;  // the flag; the value name is korvat::kRightClick
using Strings = std::vector<std::string>;
const std::string kTooLong(260, 't');  // one byte more than the 260-byte reader holds
constexpr size_t kOutputSize = 1024;
const char kUntouched[] = "#";      // the name output keeps what the caller put in it
const char kIntact[] = "<intact>";  // the user's settings key exactly as before
const CLSID kKorvatExec = {
    0x80947ADC, 0x151D, 0x490B, {0x87, 0xF1, 0x7C, 0x8C, 0xE1, 0xB4, 0x62, 0x20}};

std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", value);
  return text;
}

class SettingsExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { CleanFeatureKeys(); }
  void TearDown() override { CleanFeatureKeys(); }
  // TapvoGetLoginInfo into outputs of 1024 bytes filled with '#'.
  struct Login {
    int result;
    std::string site_buffer, name_buffer;
    std::string site() const { return site_buffer.c_str(); }
    std::string name() const {
      return name_buffer == std::string(kOutputSize, '#') ? kUntouched : name_buffer.c_str();
    }
  };
  Login Get() {
    Login login{0, std::string(kOutputSize, '#'), std::string(kOutputSize, '#')};
    login.result = module_.GetLoginInfo(&login.site_buffer[0], &login.name_buffer[0]);
    return login;
  }
  template <typename F>
  F Export(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_.module(), name)));
  }
  FeatureModule module_;
};

TEST(SettingsKeyTest, OnlyValuesThatFitTheBufferWithTheirZeroAreRead) {
  struct Case {
    const char* stored_as;  // the value name written, null for no key at all
    std::string stored;
    bool binary;  // unterminated data
    DWORD buffer;
    bool read;
  } cases[] = {
      {kOption, "ie", false, kFlagBufferSize, true},
      {kOption, "", false, kFlagBufferSize, true},
      {kOption, std::string(259, 'x'), false, kFlagBufferSize, true},
      {kOption, std::string(260, 'x'), false, kFlagBufferSize, false},
      {kOption, std::string(1023, 'p'), false, kPageBufferSize, true},
      {kOption, std::string(1024, 'p'), false, kPageBufferSize, false},
      {kOption, std::string(1024, 'p'), false, kLoginPageBufferSize, true},
      {kOption, std::string(8, 'z'), true, 8, false},
      {kOption, std::string(8, 'z'), true, 9, true},
      {korvat::kRightClick, "true", false, kFlagBufferSize, false},  // another value only
      {nullptr, "", false, kFlagBufferSize, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stored.size() << " in " << c.buffer);
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
    if (c.binary) {
      SetBinaryValue(HKEY_CURRENT_USER, kSettingsKey, c.stored_as, c.stored);
    } else if (c.stored_as != nullptr) {
      SetStringValue(HKEY_CURRENT_USER, kSettingsKey, c.stored_as, c.stored);
    }
    std::string buffer(c.buffer, '?');
    LONG status = ReadSettingString(HKEY_CURRENT_USER, kOption, &buffer[0], c.buffer);
    EXPECT_EQ(status == ERROR_SUCCESS, c.read);
    // A missing value leaves the buffer empty; the whole buffer is zeroed.
    EXPECT_EQ(std::string(buffer.c_str()), c.read ? c.stored : std::string());
    EXPECT_EQ(buffer.find('?'), std::string::npos);
  }
  DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
}

TEST(TextIsTrueTest, ComparesWithoutRegardToCase) {
  for (const char* yes : {"true", "TRUE", "True"}) EXPECT_TRUE(TextIsTrue(yes)) << yes;
  for (const char* no : {"false", "FALSE", "", "1", "truex", " true"}) {
    EXPECT_FALSE(TextIsTrue(no)) << no;
  }
}

struct SwitchRow {
  std::string stored;
  bool on;
  std::string after;  // the stored value afterwards
};

// Sets one value, switches its integration and checks the value and the
// registration that follows it.
void ExpectSwitches(FeatureModule& module, const char* name, DWORD flag, const char* registration,
                    const std::vector<SwitchRow>& rows) {
  for (const SwitchRow& row : rows) {
    SCOPED_TRACE(std::string(name) + " " + row.stored.substr(0, 10) + (row.on ? " on" : " off"));
    CleanFeatureKeys();
    StoreUserSetting(name, row.stored);
    ASSERT_EQ(module.SetOption(row.on ? flag : 0), 0);
    EXPECT_EQ(UserSetting(name), row.after);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, registration), row.on);
  }
}

TEST_F(SettingsExportsTest, RightClickAndOfficeMenuFollowTheirTable) {
  const std::vector<SwitchRow> rows = {
      {kMissing, true, "true"}, {kMissing, false, "false"}, {"TRUE", true, "TRUE"},
      {"true", false, "false"}, {"no", true, "true"},       {"no", false, "no"},
      {kTooLong, true, "true"}, {kTooLong, false, "false"},
  };
  ExpectSwitches(module_, "RightClick", kRightClick, kRightMenuHandlerKey, rows);
  ExpectSwitches(module_, "OfficeMenu", kOffice, kOfficeWordAddInKey, rows);
}

TEST_F(SettingsExportsTest, OptionSwitchesTheButtonAndKeepsTheDesktopPart) {
  ExpectSwitches(module_, "Option", kButton, kButtonKey,
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
                  {kTooLong, false, kTooLong}});
}

TEST_F(SettingsExportsTest, GetOptionOnlyAddsTheBitsTheValuesStandFor) {
  struct Row {
    std::string right_click, office_menu, option;
    DWORD start, flags;
  } rows[] = {
      {"TRUE", "FALSE", "IEdesktop", 0, 0xD},
      {"true", "True", "ie", 0, 0xF},
      {kMissing, kMissing, kMissing, 0, 0x1},
      {"false", "no", "desktop", 0, 0x1},
      {kTooLong, kTooLong, kTooLong, 0, 0x1},
      {"false", "false", " ", 0x8, 0x9},  // a bit already set stays set
  };
  for (const Row& row : rows) {
    CleanFeatureKeys();
    StoreUserSetting("RightClick", row.right_click);
    StoreUserSetting("OfficeMenu", row.office_menu);
    StoreUserSetting("Option", row.option);
    DWORD flags = row.start;
    EXPECT_EQ(module_.GetOption(&flags), 0);
    EXPECT_EQ(flags, row.flags) << row.right_click << " " << row.office_menu << " " << row.option;
  }
}

TEST_F(SettingsExportsTest, WithoutTheSettingsKeyNothingIsReadOrWritten) {
  FeatureModule module(true, true);
  EXPECT_EQ(module.SetOption(kRightClick | kOffice | kButton), -1);
  DWORD flags = 0x40;
  EXPECT_EQ(module.GetOption(&flags), -1);
  EXPECT_EQ(flags, 0x40u);
  EXPECT_EQ(module.GetOption(nullptr), -1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsPath));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
  // No end lines on failure.
  EXPECT_EQ(module.TraceMessages(),
            (std::vector<std::string>{"DllMain()---DLL_PROCESS_ATTACH!", "TapvoSetOption()",
                                      "TapvoGetOption()", "TapvoGetOption()"}));
  // RemoveAddIn works from the flags alone: no settings key is needed or made.
  EXPECT_EQ(module.RemoveAddIn(kButton), 0);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsPath));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
  EXPECT_EQ(module.TraceMessages().back(), "TapvoRemoveAddIn() end");
  StoreUserSetting("Option", "ie");
  EXPECT_EQ(module.SetOption(0), 0);
  EXPECT_EQ(module.TraceMessages().back(), "TapvoSetOption() end");
}

// The same flags twice: the second call finds every value as it wants it and
// changes none, yet applies all three registrations again.
TEST_F(SettingsExportsTest, TheSameFlagsTwiceChangeNoValueButReapplyTheRegistrations) {
  for (DWORD flags = 0; flags < 0x10; ++flags) {
    SCOPED_TRACE(flags);
    CleanFeatureKeys();
    StoreUserSetting("RightClick", "TRUE");
    StoreUserSetting("OfficeMenu", "maybe");
    StoreUserSetting("Option", "iedesktop");
    ASSERT_EQ(module_.SetOption(flags), 0);
    const std::vector<std::string> settings = DumpTree(HKEY_CURRENT_USER, kSettingsPath);
    DeleteRegistrationKeys();
    ASSERT_EQ(module_.SetOption(flags), 0);
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsPath), settings);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kRightMenuHandlerKey), (flags & kRightClick) != 0);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kOfficeWordAddInKey), (flags & kOffice) != 0);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kButtonKey), (flags & kButton) != 0);
  }
}

// A page stored by TapvoSetLoginInfo (the site, "/" unless present, "start/",
// the name unencoded) or directly, split at its last two "/" and decoded.
TEST_F(SettingsExportsTest, StoredPagesSplitAtTheirLastTwoSlashes) {
  const std::string long_page = "https://host/" + std::string(200, 'p');
  const std::string sites(1100, 's'), names(1100, 'n');
  const struct {
    bool set;  // stored by TapvoSetLoginInfo from the site and name read back
    std::string page, site, name;
  } rows[] = {
      {true, "https://meet.example.com/site/start/ann", "https://meet.example.com/site", "ann"},
      {true, "x/site/start/", "x/site", ""},
      {true, "/start/ann", "", "ann"},  // an empty site still gets its "/"
      {false, "x/site/start/Ann+Lee", "x/site", "Ann Lee"},
      {false, "x/start/a/b", "x/start", "b"},
      {false, "x/start/ann/", "x", "ann"},  // a final "/" behind the name is dropped
      {false, "x/site/start/%41%4a%zz%4", "x/site", "AJ%zz%4"},
      {false, "x/site/start/100%", "x/site", "100%"},
      {false, "x/" + sites + "/start/ann", "x/" + sites.substr(0, 1021), "ann"},
      {false, "x/start/" + names, "x", names.substr(0, 1023)},
      {false, "no-start-here", "no-start-here", kUntouched},
      {false, long_page, long_page.substr(0, 128), kUntouched},
      {false, "", "", kUntouched},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.page.substr(0, 30));
    StoreUserSetting("MeetingPage", row.set ? "old" : row.page);
    if (row.set) {
      ASSERT_EQ(module_.SetLoginInfo(row.site.c_str(), row.name.c_str()), 0);
    }
    EXPECT_EQ(UserSetting("MeetingPage"), row.page);
    Login login = Get();
    EXPECT_EQ(login.result, 0);
    EXPECT_EQ(login.site(), row.site);
    EXPECT_EQ(login.name(), row.name);
    if (row.name == kUntouched) {
      // 128 bytes of text and zeros, and a zero after a text of 128 characters.
      EXPECT_EQ(login.site_buffer.find('#'), 129u);
    }
  }
  // The site gets no second "/", and the name goes in unencoded.
  for (const char* site : {"x/", "x"}) {
    ASSERT_EQ(module_.SetLoginInfo(site, "A%41+b c"), 0);
    EXPECT_EQ(UserSetting("MeetingPage"), "x/start/A%41+b c");
  }
  // A SiteName takes the place of the page, even when it is empty.
  StoreUserSetting("SiteName", "");
  Login login = Get();
  EXPECT_EQ(login.result, 0);
  EXPECT_EQ(login.site_buffer.substr(0, 128), std::string(128, '\0'));
  EXPECT_EQ(login.name(), kUntouched);
}

TEST_F(SettingsExportsTest, NullOrOverlongInputIsRefusedBeforeAnythingIsWritten) {
  FeatureModule module(true, true);
  const std::string site(2000, 's');
  EXPECT_EQ(module.SetLoginInfo(nullptr, "ann"), -1);
  EXPECT_EQ(module.SetLoginInfo("x", nullptr), -1);
  EXPECT_EQ(module.SetLoginInfo(site.c_str(), std::string(41, 'n').c_str()), -1);
  char buffer[kOutputSize] = {};
  EXPECT_EQ(module.GetLoginInfo(nullptr, buffer), -1);
  EXPECT_EQ(module.GetLoginInfo(buffer, nullptr), -1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsPath));
  EXPECT_EQ(module.TraceMessages(),
            (std::vector<std::string>{"DllMain()---DLL_PROCESS_ATTACH!", "TapvoSetLoginInfo()",
                                      "TapvoSetLoginInfo()", "TapvoSetLoginInfo()",
                                      "TapvoGetLoginInfo()", "TapvoGetLoginInfo()"}));
  // 2040 characters together are accepted.
  EXPECT_EQ(module.SetLoginInfo(site.c_str(), std::string(40, 'n').c_str()), 0);
  EXPECT_EQ(UserSetting("MeetingPage"), site + "/start/" + std::string(40, 'n'));
  EXPECT_EQ(module.TraceMessages().back(), "TapvoSetLoginInfo() end");
}

// A new key gets every integration on; an existing one keeps its options and
// fills in missing ones as on. The registrations follow.
TEST_F(SettingsExportsTest, SetLoginInfoFillsInTheOptionsAndAppliesThem) {
  const char* const names[] = {"INSTALLED", "RightClick", "OfficeMenu", "Option"};
  const char* const registrations[] = {kRightMenuHandlerKey, kOfficeWordAddInKey, kButtonKey};
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
    CleanFeatureKeys();
    if (row.before[0] != nullptr) {
      module_.RemoveAddIn(kOffice | kButton | kRightClick);
      for (int i = 0; i < 4; ++i) StoreUserSetting(names[i], row.before[i]);
    }
    EXPECT_EQ(module_.SetLoginInfo("x", "ann"), 0);
    EXPECT_EQ(UserSetting("MeetingPage"), "x/start/ann");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(UserSetting(names[i]), row.after[i]) << names[i];
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, registrations[i]), row.registered[i]) << i;
    }
    // A new key holds these five values and no other.
    if (row.before[0] == nullptr) {
      EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsPath).size(), 6u);
    }
  }
}

// The machine's settings, readable but not writable as for a user without
// administrator rights, seed a user who has no page of his own.
TEST_F(SettingsExportsTest, TheMachineSeedServesOnlyUnderItsPrivilege) {
  using Values = std::vector<std::pair<std::string, std::string>>;
  const std::pair<std::string, std::string> kGranted = {"UserPrivilege", "1"},
                                            kPage = {"MeetingPage", "m/start/bob"};
  struct Row {
    const char* name;
    Values machine, user;
    int result;
    std::string site, login_name;
  } rows[] = {
      {"seeded", {kGranted, kPage}, {}, 0, "m", "bob"},
      {"user key without page", {kGranted, kPage}, {{"Option", "desktop"}}, 0, "m", "bob"},
      {"site name first", {kGranted, {"SiteName", "s/start/sue"}, kPage}, {}, 0, "s", "sue"},
      {"short site name", {kGranted, {"SiteName", "s"}, kPage}, {}, 0, "m", "bob"},
      {"overlong user page",
       {kGranted, kPage},
       {{"MeetingPage", std::string(2048, 'u')}},
       0,
       "m",
       "bob"},
      {"one-character page", {kGranted, {"MeetingPage", "m"}}, {}, -1, "", ""},
      {"no privilege", {{"UserPrivilege", "0"}, kPage}, {}, 0, "", kUntouched},
      {"overlong privilege",
       {{"UserPrivilege", std::string(256, '1')}, kPage},
       {},
       0,
       "",
       kUntouched},
      {"user privilege does not count", {kPage}, {kGranted}, 0, "", kUntouched},
      {"no machine key", {}, {}, -1, "", ""},
  };
  const char* const copied[] = {"MeetingPage", "Option",   "RightClick",
                                "OfficeMenu",  "HasBrand", "BrandTitle"};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CleanFeatureKeys();
    for (const auto& value : row.machine) {
      SetStringValue(HKEY_LOCAL_MACHINE, kSettingsPath, value.first, value.second);
    }
    for (int i = 1; i < 6 && !row.machine.empty(); ++i) {
      SetStringValue(HKEY_LOCAL_MACHINE, kSettingsPath, copied[i], "machine value");
    }
    for (const auto& value : row.user) StoreUserSetting(value.first.c_str(), value.second);
    std::unique_ptr<ScopedReadOnlyKey> read_only;
    if (!row.machine.empty()) {
      read_only.reset(new ScopedReadOnlyKey(HKEY_LOCAL_MACHINE, kSettingsPath));
    }

    Login login = Get();
    EXPECT_EQ(login.result, row.result);
    if (row.result == 0) {
      EXPECT_EQ(login.site(), row.site);
      EXPECT_EQ(login.name(), row.login_name);
    }
    // Seeding copies the six values (SiteName is not among them).
    const bool seeded = !row.site.empty();
    for (const char* name : copied) {
      const std::string machine = ReadStringValue(HKEY_LOCAL_MACHINE, kSettingsPath, name);
      if (machine != kMissing) {
        EXPECT_EQ(UserSetting(name) == machine, seeded) << name;
      }
    }
    EXPECT_EQ(UserSetting("SiteName"), kMissing);
  }
}

TEST_F(SettingsExportsTest, TextsAndFlagsGivenToTheExports) {
  auto set_login = module_.SetLoginInfo;
  auto get_login = module_.GetLoginInfo;
  auto get_option = module_.GetOption;
  auto set_option = module_.SetOption;
  auto remove_addin = module_.RemoveAddIn;
  auto pre_download =
      Export<int(WINAPI*)(INT_PTR, INT_PTR, INT_PTR, const char*, const char*, const char*)>(
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
TEST_F(SettingsExportsTest, StoredValuesOfTheWrongTypeOrSize) {
  const TempFolder& folder = module_.folder();
  folder.CopyFromBin("client_frame.exe");
  auto get_option = module_.GetOption;
  auto get_login = module_.GetLoginInfo;
  auto get_class = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  RunningClientFrame client(folder.File("client_frame.exe"));
  ASSERT_NE(client.window(), nullptr);
  const std::string sent = folder.File("doubles.log");
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

// The three registration writers, as the option exports drive them: the
// whole key trees they write, their removal, and the Windows XP icons.
const char kStatusText[] = "This will start Nuvix Tapvo Meeting";

TEST_F(SettingsExportsTest, EachWriterWritesItsWholeTreeAndNothingElse) {
  struct Case {
    DWORD flag;
    bool with_resources;
  } cases[] = {{kButton, true}, {kButton, false}, {kOffice, true}, {kRightClick, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flag " << c.flag << " resources " << c.with_resources);
    FeatureModule module(c.with_resources);
    const std::string folder = module.folder().path();
    ASSERT_EQ(module.RemoveAddIn(c.flag), 0);
    ASSERT_EQ(module.RemoveAddIn(c.flag), 0);  // a second install changes nothing
    for (DWORD writer : {kButton, kOffice, kRightClick}) {
      // Only zrtpres.dll has the status-bar text; the module's own table lacks it.
      for (const ExpectedKey& key :
           WriterKeys(writer, folder, false, c.with_resources ? kStatusText : "")) {
        EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, key.path),
                  writer == c.flag ? key.tree : std::vector<std::string>())
            << key.path;
      }
    }
    // The button loads zrtpres.dll on every install and keeps it; removal loads nothing.
    ASSERT_EQ(module.RemoveAddIn(0), 0);
    const std::string resources = module.folder().File("zrtpres.dll");
    int loads = 0;
    while (FreeLibrary(GetModuleHandleA(resources.c_str()))) ++loads;
    EXPECT_EQ(loads, c.flag == kButton && c.with_resources ? 2 : 0);
  }
}

// Install then removal leaves only the shared parents the writers created
// (every delete met an empty key, children first), and a key that gained a
// foreign sub-key, with its parents.
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
  const std::string office = "Software\\Microsoft\\Office";
  expected.insert({"Software\\Classes\\*", "Software\\Classes\\*\\shellex",
                   "Software\\Classes\\*\\shellex\\ContextMenuHandlers", "Software\\Classes\\CLSID",
                   "Software\\Classes\\Interface", "Software\\Classes\\TypeLib",
                   "Software\\Microsoft\\Internet Explorer",
                   "Software\\Microsoft\\Internet Explorer\\Extensions", office});
  for (const char* application : {"Word", "PowerPoint", "Access", "Excel", "Frontpage"}) {
    expected.insert({office + "\\" + application, office + "\\" + application + "\\Addins"});
  }
  FeatureModule module(true, true);
  module.RemoveAddIn(kOffice | kButton | kRightClick);
  const std::string word_class = "Software\\Classes\\CLSID\\{AEECE333-8900-4915-9697-7A0B4034B3D8}";
  SetStringValue(HKEY_CURRENT_USER, word_class + "\\ProgID\\Foreign", "", "theirs");
  for (const std::string& line :
       Tree(word_class, {"|=NuvixWordAddIn Class", "\\ProgID|=NvxMSAI.NuvixWordAddIn.1",
                         "\\ProgID\\Foreign|=theirs"})
           .tree) {
    expected.insert(line);
  }
  // Only the user's keys are removed.
  SetStringValue(HKEY_LOCAL_MACHINE, kButtonKey, "", "machine");
  const size_t install_lines = module.TraceMessages().size();
  module.RemoveAddIn(0);
  EXPECT_EQ(snapshot(), expected);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kButtonKey));
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kButtonKey);

  // One trace line per delete: 12 for the shell menu, 37 for Word and its
  // event class, 22 for each other office application, 11 for the button.
  std::vector<std::string> messages = module.TraceMessages();
  ASSERT_EQ(messages.size(), install_lines + 2 + 12 + 37 + 4 * 22 + 11);
  EXPECT_EQ(messages[install_lines], "TapvoRemoveAddIn()");
  EXPECT_EQ(messages[install_lines + 1],
            "UnRegisterKey() parent_key = SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers,"
            "section_key = NuvixShareMenu");
  EXPECT_EQ(messages[messages.size() - 2],
            "UnRegisterKey() parent_key = SOFTWARE\\Classes\\CLSID,"
            "section_key = {80947ADC-151D-490B-87F1-7C8CE1B46220}");
  EXPECT_EQ(messages.back(), "TapvoRemoveAddIn() end");
}

// A copy of this program, run as the given Windows, installs the button
// through the module's export; the parent reads the icons it named. Only
// version 5.1 is XP.
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
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kButtonKey),
              WriterKeys(kButton, folder.path(), version[3] == 'x', kStatusText)[0].tree)
        << version;
    DeleteRegistrationKeys();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--install-button") {
    // The child: the module beside the program installs the button.
    ScopedLibrary module(LoadLibraryA(BinFile("Korvat.dll").c_str()));
    auto remove_add_in = reinterpret_cast<int(WINAPI*)(DWORD)>(
        reinterpret_cast<void*>(GetProcAddress(module.Get(), "TapvoRemoveAddIn")));
    return remove_add_in != nullptr ? remove_add_in(kButton) : 3;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
