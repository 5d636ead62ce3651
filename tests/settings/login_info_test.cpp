// The login information exports of the built module: the page they store,
// the defaults of a new settings key, the split of a stored page and the
// machine seed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "harness/test_support.h"
#include "registration/feature_module.h"

using namespace korvat_test;

namespace {

constexpr size_t kOutputSize = 1024;
const char kUntouched[] = "#";  // the name output keeps what the caller put in it

class LoginInfoTest : public ::testing::Test {
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
  FeatureModule module_;
};

// A page stored by TapvoSetLoginInfo (the site, "/" unless present, "start/",
// the name unencoded) or directly, split at its last two "/" and decoded.
TEST_F(LoginInfoTest, StoredPagesSplitAtTheirLastTwoSlashes) {
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

TEST_F(LoginInfoTest, NullOrOverlongInputIsRefusedBeforeAnythingIsWritten) {
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
TEST_F(LoginInfoTest, SetLoginInfoFillsInTheOptionsAndAppliesThem) {
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
TEST_F(LoginInfoTest, TheMachineSeedServesOnlyUnderItsPrivilege) {
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

}  // namespace
