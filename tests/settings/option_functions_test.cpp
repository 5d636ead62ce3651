// The option exports of the built module: the stored-state tables row by row,
// the flags they report, and the registrations they apply on every call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "registration/feature_module.h"

using namespace korvat_test;

namespace {

const std::string kTooLong(260, 't');  // one byte more than the 260-byte reader holds

class OptionFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override { CleanFeatureKeys(); }
  void TearDown() override { CleanFeatureKeys(); }
  FeatureModule module_;
};

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

TEST_F(OptionFunctionsTest, RightClickAndOfficeMenuFollowTheirTable) {
  const std::vector<SwitchRow> rows = {
      {kMissing, true, "true"}, {kMissing, false, "false"}, {"TRUE", true, "TRUE"},
      {"true", false, "false"}, {"no", true, "true"},       {"no", false, "no"},
      {kTooLong, true, "true"}, {kTooLong, false, "false"},
  };
  ExpectSwitches(module_, "RightClick", kRightClick, kRightMenuHandlerKey, rows);
  ExpectSwitches(module_, "OfficeMenu", kOffice, kOfficeWordAddInKey, rows);
}

TEST_F(OptionFunctionsTest, OptionSwitchesTheButtonAndKeepsTheDesktopPart) {
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

TEST_F(OptionFunctionsTest, GetOptionOnlyAddsTheBitsTheValuesStandFor) {
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

TEST_F(OptionFunctionsTest, WithoutTheSettingsKeyNothingIsReadOrWritten) {
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
TEST_F(OptionFunctionsTest, TheSameFlagsTwiceChangeNoValueButReapplyTheRegistrations) {
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

}  // namespace
