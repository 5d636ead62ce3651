// The companion modules' self-registration, with recording doubles copied
// beside a copy of the module.
#include "setup/companion_modules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "harness/trace_capture.h"
#include "settings/settings_key.h"
#include "setup/module_copy.h"

using namespace korvat_test;

namespace {

TraceCapture& Trace() {
  static TraceCapture capture("companion_modules_trace");
  return capture;
}

struct Operation {
  int (*call)();
  const char* setting;  // null: a removal, which has no condition
  const char* file;
  const char* record;   // what the double records
  const char* trace;
};

const Operation kAdds[] = {
    {AddOfficeMenu, kOfficeMenu, "nvxMSAI.dll", "nvxMSAI.dll DllRegisterServer",
     "AddOfficeMenu()"},
    {AddRightClick, kRightClick, "nvxrmenu.dll", "nvxrmenu.dll DllRegisterServer",
     "AddRightClick()"},
};
const Operation kRemoves[] = {
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
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  }
  // The calls the doubles recorded since the last look.
  std::vector<std::string> TakeRecords() {
    std::string log = module_.folder().File("doubles.log");
    std::vector<std::string> records;
    std::string bytes = ReadFileBytes(log);
    for (size_t at = 0, end; (end = bytes.find('\n', at)) != std::string::npos; at = end + 1) {
      records.push_back(bytes.substr(at, end - at));
    }
    DeleteFileA(log.c_str());
    return records;
  }
  bool StillLoaded(const char* file) {
    return GetModuleHandleA(module_.folder().File(file).c_str()) != nullptr;
  }
  ModuleCopy module_;
};

TEST_F(CompanionModulesTest, AddRegistersOnlyWhenTheSwitchIsTrueAndAPageIsThere) {
  module_.folder().CopyFromBin("nvxMSAI.dll");
  module_.folder().CopyFromBin("nvxrmenu.dll");
  struct Case {
    const char* flag;  // null: missing
    bool page;
    HKEY root;
    bool registers;
  } cases[] = {
      {"TRUE", true, HKEY_CURRENT_USER, true},   {"true", true, HKEY_CURRENT_USER, true},
      {"True", true, HKEY_CURRENT_USER, true},   {"FALSE", true, HKEY_CURRENT_USER, false},
      {"T", true, HKEY_CURRENT_USER, false},     {"", true, HKEY_CURRENT_USER, false},
      {nullptr, true, HKEY_CURRENT_USER, false}, {"TRUE", false, HKEY_CURRENT_USER, false},
      {"TRUE", true, HKEY_LOCAL_MACHINE, false},
  };
  for (const Operation& op : kAdds) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(op.trace) + " " + (c.flag ? c.flag : "(missing)") +
                   (c.page ? "" : " without page") +
                   (c.root == HKEY_LOCAL_MACHINE ? " in the machine hive" : ""));
      SetStringValue(c.root, kSettingsKey, kBrandTitle, "x");
      if (c.flag != nullptr) SetStringValue(c.root, kSettingsKey, op.setting, c.flag);
      if (c.page) SetStringValue(c.root, kSettingsKey, kMeetingPage, "http://h/p");
      EXPECT_EQ(op.call(), c.registers ? 1 : 0);
      EXPECT_EQ(TakeRecords(), c.registers ? std::vector<std::string>{op.record}
                                           : std::vector<std::string>{});
      EXPECT_EQ(Trace().TakeMessages(), std::vector<std::string>{op.trace});
      EXPECT_FALSE(StillLoaded(op.file));
      Clean();
    }
  }
}

TEST_F(CompanionModulesTest, RemoveUnregistersWhateverTheSettingsSay) {
  module_.folder().CopyFromBin("nvxMSAI.dll");
  module_.folder().CopyFromBin("nvxrmenu.dll");
  for (bool settings : {false, true}) {
    if (settings) {
      SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kOfficeMenu, "FALSE");
      SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kRightClick, "FALSE");
    }
    for (const Operation& op : kRemoves) {
      EXPECT_EQ(op.call(), 1) << op.file;
      EXPECT_EQ(TakeRecords(), std::vector<std::string>{op.record});
      EXPECT_FALSE(StillLoaded(op.file));
    }
    EXPECT_EQ(Trace().TakeMessages(), std::vector<std::string>{});
  }
}

TEST_F(CompanionModulesTest, MissingLibrariesDoNothingAndLibrariesWithoutExportsAreFreed) {
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kOfficeMenu, "TRUE");
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kRightClick, "TRUE");
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kMeetingPage, "http://h/p");
  for (const Operation* ops : {kAdds, kRemoves}) {
    for (int i = 0; i < 2; ++i) EXPECT_EQ(ops[i].call(), 0) << ops[i].file;
  }
  EXPECT_EQ(TakeRecords(), std::vector<std::string>{});

  module_.folder().CopyFromBin("companion_bare.dll", "nvxMSAI.dll");
  module_.folder().CopyFromBin("companion_bare.dll", "nvxrmenu.dll");
  for (const Operation* ops : {kAdds, kRemoves}) {
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(ops[i].call(), 1) << ops[i].file;
      EXPECT_EQ(TakeRecords(), std::vector<std::string>{"companion_bare loaded"});
      EXPECT_FALSE(StillLoaded(ops[i].file));
    }
  }
}

}  // namespace
