// The companions' self-registration, step by step against a copy of the module
// and with doubles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "settings/settings_key.h"
#include "setup/companion_modules.h"

using namespace korvat_test;

namespace {

struct Operation {
  int (*call)();
  const char *setting, *file, *record, *trace;  // setting, trace: null for removals
} const kOperations[] = {
    {AddOfficeMenu, kOfficeMenu, "nvxMSAI.dll", "nvxMSAI.dll DllRegisterServer\n",
     "AddOfficeMenu()"},
    {AddRightClick, kRightClick, "nvxrmenu.dll", "nvxrmenu.dll DllRegisterServer\n",
     "AddRightClick()"},
    {RemoveOfficeMenu, nullptr, "nvxMSAI.dll", "nvxMSAI.dll DllUnregisterServer\n", nullptr},
    {RemoveRightClick, nullptr, "nvxrmenu.dll", "nvxrmenu.dll DllUnregisterServer\n", nullptr},
};

TraceCapture& Trace() {
  static TraceCapture capture("companion_modules_trace");
  return capture;
}

class SetupStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.loaded());
    LoadResourceModule();
    Clean();
    Trace().TakeMessages();
  }
  void TearDown() override { Clean(); }
  void Clean() { DeleteSettingsKeys(); }
  // Runs one operation: what the doubles recorded (taken).
  std::string Call(const Operation& op) {
    op.call();
    EXPECT_EQ(GetModuleHandleA(module_.folder().File(op.file).c_str()), nullptr) << "not freed";
    EXPECT_EQ(Trace().TakeMessages(),
              op.trace ? std::vector<std::string>{op.trace} : std::vector<std::string>{});
    const std::string log = module_.folder().File("doubles.log"), records = ReadFileBytes(log);
    DeleteFileA(log.c_str());
    return records;
  }
  ModuleCopy module_;
};

TEST_F(SetupStepsTest, CompanionsRegisterWhenTheSwitchIsTrueAndAPageIsThereUnregisterAlways) {
  const struct {
    const char* flag;  // null: missing
    bool page, in_user_hive, registers;
  } cases[] = {
      {"TRUE", true, true, true},   {"True", true, true, true},   {"FALSE", true, true, false},
      {"T", true, true, false},     {"", true, true, false},      {nullptr, true, true, false},
      {"TRUE", false, true, false}, {"TRUE", true, false, false},
  };
  // A library without the export is freed too.
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kMeetingPage, "http://h/p");
  for (const char* flag : {kOfficeMenu, kRightClick}) {
    SetStringValue(HKEY_CURRENT_USER, kSettingsKey, flag, "TRUE");
  }
  for (const Operation& op : kOperations) {
    module_.folder().CopyFromBin("companion_bare.dll", op.file);
    EXPECT_EQ(Call(op), "companion_bare loaded\n") << op.record;
  }
  Clean();
  module_.folder().CopyFromBin("nvxMSAI.dll");
  module_.folder().CopyFromBin("nvxrmenu.dll");
  for (const Operation& op : {kOperations[0], kOperations[1]}) {
    for (const auto& c : cases) {
      HKEY root = c.in_user_hive ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
      if (c.flag != nullptr) SetStringValue(root, kSettingsKey, op.setting, c.flag);
      if (c.page) SetStringValue(root, kSettingsKey, kMeetingPage, "http://h/p");
      EXPECT_EQ(Call(op), c.registers ? op.record : "") << op.record << (&c - cases);
      Clean();
    }
  }
  // Removal asks whatever the settings say, here with no settings key at all.
  for (const Operation& op : {kOperations[2], kOperations[3]}) {
    EXPECT_EQ(Call(op), op.record);
  }
}

}  // namespace
