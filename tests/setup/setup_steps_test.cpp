// The setup steps one by one against a copy of the module: the desktop shortcut,
// read back from its file, and the companions' self-registration, with doubles.
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
  void Clean() {
    DeleteTree(desktop_);
    CreateDirectoryA(desktop_.c_str(), nullptr);
    DeleteSettingsKeys();
  }
  std::string Desktop(const std::string& name) { return desktop_ + "\\" + name; }
  void Set(const char* option, const char* page, const char* has_brand, const char* title) {
    const char* const values[][2] = {
        {kOption, option}, {kMeetingPage, page}, {kHasBrand, has_brand}, {kBrandTitle, title}};
    for (auto& v : values) {
      if (v[1] != nullptr) SetStringValue(HKEY_CURRENT_USER, kSettingsKey, v[0], v[1]);
    }
  }
  // "URL|IconFile|IconIndex|" as the file holds them.
  static std::string Entries(const std::string& path) {
    std::string entries;
    for (const char* name : {"URL", "IconFile", "IconIndex"}) {
      char text[1024] = {};
      GetPrivateProfileStringA("InternetShortcut", name, "-", text, sizeof(text), path.c_str());
      entries += std::string(text) + "|";
    }
    return entries;
  }
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
  const std::string desktop_ = StandardShortcut().substr(0, StandardShortcut().rfind('\\'));
};

// Whether and where the shortcut is made: the user's own files keep their
// names and contents, and removal deletes just the file it made.
TEST_F(SetupStepsTest, SettingsChooseTheShortcutAndTheUsersFilesAreLeftAlone) {
  const std::string theirs = "[InternetShortcut]\r\nURL=http://theirs/\r\n";
  const std::string icon = module_.folder().File("Korvat.dll");
  const std::string standard = kStandardFile;
  struct Case {
    const char *option, *has_brand, *title;  // null: missing
    std::vector<std::string> taken;          // the user's files
    const char* remembered;                  // an earlier setup's file SHORTCUT_PATH names
    std::string file;                        // empty: no shortcut
    int icon;
  } cases[] = {
      {"ie", "false", nullptr, {standard}, nullptr, "", 0},
      {nullptr, "false", nullptr, {}, nullptr, "", 0},
      {"desktop", nullptr, "MyBrand", {}, nullptr, "", 0},
      {"desktop", "true", nullptr, {}, nullptr, "", 0},
      {"Desktop", "false", nullptr, {}, nullptr, standard, 2},
      {"iedesktop", "TRUE", "MyBrand", {}, nullptr, "MyBrand.url", 3},
      {"desktop", "true", "", {}, nullptr, standard, 2},
      {"desktop", "true", "..\\x/y:", {}, nullptr, ".._x_y_.url", 3},  // never a path
      {"desktop", "true", "B", {"B.url"}, nullptr, "B (2).url", 3},
      {"desktop", "false", nullptr, {standard}, nullptr, "Start Nuvix Tapvo Meeting (2).url", 2},
      {"desktop", "true", "B", {"B.url", "B (2).url"}, "Gone.url", "B (3).url", 3},
      {"desktop", "true", "B", {"B (2).url"}, "B.url", "B.url", 3},  // its own file
      // Names that Windows cannot give a file.
      {"desktop", "true", "con", {}, nullptr, "con_.url", 3},
      {"desktop", "true", "LpT9.txt", {}, nullptr, "LpT9_.txt.url", 3},
      {"desktop", "true", "Nul . ", {}, nullptr, "Nul_.url", 3},
      {"desktop", "true", "My Bank. .", {}, nullptr, "My Bank.url", 3},
      {"desktop", "true", " . ", {}, nullptr, "_.url", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Set(c.option, kPage, c.has_brand, c.title);
    for (const std::string& file : c.taken) WriteFileBytes(Desktop(file), theirs);
    if (c.remembered) {
      WriteFileBytes(Desktop(c.remembered), theirs);
      SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath, Desktop(c.remembered));
    }
    AddShortcut();
    const std::string path = c.file.empty() ? "<missing>" : Desktop(c.file);
    EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath), path);
    EXPECT_EQ(Entries(path),
              c.file.empty() ? "-|-|-|" : kPage + ("|" + icon + "|") + char('0' + c.icon) + "|");
    RemoveShortcut();
    EXPECT_FALSE(FileExists(path));
    for (const std::string& file : c.taken) EXPECT_EQ(ReadFileBytes(Desktop(file)), theirs);
    Clean();
  }
  // No page: a shortcut to nowhere. Too long a title is cut to the longest path.
  Set("desktop", nullptr, "false", nullptr);
  AddShortcut();
  EXPECT_EQ(Entries(StandardShortcut()), "|" + icon + "|2|");
  const std::string title(kFlagBufferSize - 1, 'b');
  Set("desktop", kPage, "true", title.c_str());
  AddShortcut();
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath),
            Desktop(std::string(MAX_PATH - 7 - desktop_.size(), 'b') + ".url"));
}

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
  Set(nullptr, "http://h/p", nullptr, nullptr);
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
