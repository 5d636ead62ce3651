// The companion modules' self-registration, with recording doubles copied
// beside a copy of the module.
#include "setup/companion_modules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "settings/settings_key.h"

using namespace korvat_test;

namespace {

TraceCapture& Trace() {
  static TraceCapture capture("companion_modules_trace");
  return capture;
}

struct Operation {
  int (*call)();
  const char *setting, *file, *record, *trace;  // setting, trace: null for removals
} const kOperations[] = {
    {AddOfficeMenu, kOfficeMenu, "nvxMSAI.dll", "nvxMSAI.dll DllRegisterServer", "AddOfficeMenu()"},
    {AddRightClick, kRightClick, "nvxrmenu.dll", "nvxrmenu.dll DllRegisterServer",
     "AddRightClick()"},
    {RemoveOfficeMenu, nullptr, "nvxMSAI.dll", "nvxMSAI.dll DllUnregisterServer", nullptr},
    {RemoveRightClick, nullptr, "nvxrmenu.dll", "nvxrmenu.dll DllUnregisterServer", nullptr},
};

class CompanionModulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.loaded());
    Clean();
    Trace().TakeMessages();
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(root, kSettingsKey);
  }
  // Runs one operation: its result and what the doubles recorded, joined.
  std::string Call(const Operation& op) {
    const int result = op.call();
    EXPECT_EQ(GetModuleHandleA(module_.folder().File(op.file).c_str()), nullptr) << "not freed";
    EXPECT_EQ(Trace().TakeMessages(),
              op.trace ? std::vector<std::string>{op.trace} : std::vector<std::string>{});
    const std::string log = module_.folder().File("doubles.log");
    const std::string records = ReadFileBytes(log);
    DeleteFileA(log.c_str());
    return std::to_string(result) + ":" + records;
  }
  ModuleCopy module_;
};

TEST_F(CompanionModulesTest, AddRegistersWhenTheSwitchIsTrueAndAPageIsThereRemoveAlways) {
  module_.folder().CopyFromBin("nvxMSAI.dll");
  module_.folder().CopyFromBin("nvxrmenu.dll");
  const struct {
    const char* flag;  // null: missing
    bool page, in_user_hive, registers;
  } cases[] = {
      {"TRUE", true, true, true},   {"true", true, true, true},   {"True", true, true, true},
      {"FALSE", true, true, false}, {"T", true, true, false},     {"", true, true, false},
      {nullptr, true, true, false}, {"TRUE", false, true, false}, {"TRUE", true, false, false},
  };
  for (const Operation& op : {kOperations[0], kOperations[1]}) {
    for (const auto& c : cases) {
      HKEY root = c.in_user_hive ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
      SetStringValue(root, kSettingsKey, kBrandTitle, "x");
      if (c.flag != nullptr) SetStringValue(root, kSettingsKey, op.setting, c.flag);
      if (c.page) SetStringValue(root, kSettingsKey, kMeetingPage, "http://h/p");
      EXPECT_EQ(Call(op), c.registers ? "1:" + std::string(op.record) + "\n" : "0:")
          << (c.flag ? c.flag : "(missing)") << c.page << c.in_user_hive;
      Clean();
    }
  }
  // Removal asks whatever the settings say, here with no settings key at all.
  for (const Operation& op : {kOperations[2], kOperations[3]}) {
    EXPECT_EQ(Call(op), "1:" + std::string(op.record) + "\n");
  }
}

TEST_F(CompanionModulesTest, MissingLibrariesDoNothingAndOnesWithoutExportsAreFreed) {
  for (const char* name : {kOfficeMenu, kRightClick}) {
    SetStringValue(HKEY_CURRENT_USER, kSettingsKey, name, "TRUE");
  }
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kMeetingPage, "http://h/p");
  for (bool present : {false, true}) {
    if (present) {
      module_.folder().CopyFromBin("companion_bare.dll", "nvxMSAI.dll");
      module_.folder().CopyFromBin("companion_bare.dll", "nvxrmenu.dll");
    }
    for (const Operation& op : kOperations) {
      EXPECT_EQ(Call(op), present ? "1:companion_bare loaded\n" : "0:") << op.record;
    }
  }
}

}  // namespace
