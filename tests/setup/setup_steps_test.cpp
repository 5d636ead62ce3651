// The setup steps one by one, against a copy of the module: the desktop
// Internet shortcut, read back from the file the shell wrote, and the
// companion modules' self-registration, with recording doubles beside it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "settings/settings_key.h"
#include "setup/companion_modules.h"
#include "setup/shortcut.h"

using namespace korvat_test;

namespace {

const char kStandardFile[] = "Start Nuvix Tapvo Meeting.url";
const char kPage[] = "http://meet.example.com/site/start/ann";

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

TraceCapture& Trace() {
  static TraceCapture capture("companion_modules_trace");
  return capture;
}

class SetupStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.loaded());
    LoadResourceModule();
    desktop_ = StandardShortcut().substr(0, StandardShortcut().rfind('\\'));
    Clean();
    Trace().TakeMessages();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    DeleteTree(desktop_);
    CreateDirectoryA(desktop_.c_str(), nullptr);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(root, kSettingsKey);
  }
  std::string Desktop(const std::string& name) { return desktop_ + "\\" + name; }
  void Set(const char* option, const char* page, const char* has_brand, const char* title) {
    SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kRightClick, "false");
    const char* const values[][2] = {
        {kOption, option}, {kMeetingPage, page}, {kHasBrand, has_brand}, {kBrandTitle, title}};
    for (auto& v : values) {
      if (v[1] != nullptr) SetStringValue(HKEY_CURRENT_USER, kSettingsKey, v[0], v[1]);
    }
  }
  // "URL|IconFile|IconIndex" as the file holds them.
  static std::string Entries(const std::string& path) {
    std::string entries;
    for (const char* name : {"URL", "IconFile", "IconIndex"}) {
      char text[1024] = {};
      GetPrivateProfileStringA("InternetShortcut", name, "-", text, sizeof(text), path.c_str());
      entries += std::string("|") + text;
    }
    return entries.substr(1);
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
  std::string desktop_;
};

TEST_F(SetupStepsTest, SettingsChooseWhetherAndHowTheShortcutIsMade) {
  const std::string icon = module_.folder().File("Korvat.dll");
  struct Case {
    const char *option, *page, *has_brand, *title;  // null: missing
    const char* file;                               // null: no shortcut
    std::string entries;
  } cases[] = {
      {"ie", kPage, "false", nullptr, nullptr, ""},
      {nullptr, kPage, "false", nullptr, nullptr, ""},
      {"Desktop", kPage, "false", nullptr, kStandardFile, kPage + ("|" + icon + "|2")},
      {"iedesktop", kPage, "TRUE", "MyBrand", "MyBrand.url", kPage + ("|" + icon + "|3")},
      {"desktop", kPage, "true", "", kStandardFile, kPage + ("|" + icon + "|2")},
      // A title is never a path: the file stays on the desktop.
      {"desktop", kPage, "true", "..\\x/y:", ".._x_y_.url", kPage + ("|" + icon + "|3")},
      {"desktop", kPage, nullptr, "MyBrand", nullptr, ""},
      {"desktop", kPage, "true", nullptr, nullptr, ""},
      {"desktop", nullptr, "false", nullptr, kStandardFile, "|" + icon + "|2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Set(c.option, c.page, c.has_brand, c.title);
    EXPECT_EQ(AddShortcut(), c.file != nullptr ? 1 : 0);
    if (c.file == nullptr) {
      EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath));
      EXPECT_FALSE(FileExists(Desktop(kStandardFile)) || FileExists(Desktop("MyBrand.url")));
    } else {
      EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath), Desktop(c.file));
      EXPECT_EQ(Entries(Desktop(c.file)), c.entries);
    }
    Clean();
  }
  // A title too long for the desktop is cut to fill the longest path there is.
  const std::string title(kFlagBufferSize - 1, 'b');
  Set("desktop", kPage, "true", title.c_str());
  EXPECT_EQ(AddShortcut(), 1);
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath),
            Desktop(std::string(MAX_PATH - 7 - desktop_.size(), 'b') + ".url"));
}

// The user's own files keep their names and their contents: the shortcut
// takes the first free name (or the one it had), removal deletes just it.
TEST_F(SetupStepsTest, FilesOfTheUsersOwnAreLeftAlone) {
  const std::string theirs = "[InternetShortcut]\r\nURL=http://theirs/\r\n";
  struct Case {
    const char* title;               // null: the standard name
    std::vector<std::string> taken;  // the user's files
    const char* remembered;          // the file SHORTCUT_PATH names, or null
    const char* file;                // the shortcut
  } cases[] = {
      {"MyBrand", {"MyBrand.url"}, nullptr, "MyBrand (2).url"},
      {nullptr, {kStandardFile}, nullptr, "Start Nuvix Tapvo Meeting (2).url"},
      {"MyBrand", {"MyBrand.url", "MyBrand (2).url"}, "Gone.url", "MyBrand (3).url"},
      {"MyBrand", {"MyBrand (2).url"}, "MyBrand.url", "MyBrand.url"},
      // Names that Windows cannot give a file.
      {"con", {}, nullptr, "con_.url"},
      {"LpT9.txt", {}, nullptr, "LpT9_.txt.url"},
      {"Nul . ", {}, nullptr, "Nul_.url"},
      {"My Bank. .", {}, nullptr, "My Bank.url"},
      {" . ", {}, nullptr, "_.url"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    for (const std::string& file : c.taken) WriteFileBytes(Desktop(file), theirs);
    Set("desktop", kPage, c.title ? "true" : "false", c.title);
    if (c.remembered) {
      WriteFileBytes(Desktop(c.remembered), theirs);  // an earlier setup's shortcut
      SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath, Desktop(c.remembered));
    }
    EXPECT_EQ(AddShortcut(), 1);
    EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath), Desktop(c.file));
    EXPECT_EQ(Entries(Desktop(c.file)).find(std::string(kPage) + "|"), 0u);
    EXPECT_EQ(RemoveShortcut(), 1);
    EXPECT_FALSE(FileExists(Desktop(c.file)));
    // The value stays for the removal flow, which drops the whole key.
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath));
    for (const std::string& file : c.taken) EXPECT_EQ(ReadFileBytes(Desktop(file)), theirs);
    Clean();
  }
  // No SHORTCUT_PATH: nothing is deleted.
  WriteFileBytes(Desktop(kStandardFile), theirs);
  EXPECT_EQ(RemoveShortcut(), 0);
  EXPECT_EQ(ReadFileBytes(Desktop(kStandardFile)), theirs);
}

TEST_F(SetupStepsTest, NoFileWrittenIsNoSuccess) {
  // Its own file of an earlier setup, held by a program that shares it with
  // no one.
  Set("desktop", kPage, "true", "MyBrand");
  WriteFileBytes(Desktop("MyBrand.url"), "");
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath, Desktop("MyBrand.url"));
  ScopedHandle held(CreateFileA(Desktop("MyBrand.url").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(held.Get(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(AddShortcut(), 0);
  held.Reset();
  EXPECT_EQ(ReadFileBytes(Desktop("MyBrand.url")), "");
}

TEST_F(SetupStepsTest, AddRegistersWhenTheSwitchIsTrueAndAPageIsThereRemoveAlways) {
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

TEST_F(SetupStepsTest, MissingLibrariesDoNothingAndOnesWithoutExportsAreFreed) {
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
