// The desktop Internet shortcut: created from the user's settings, read back
// from the file the shell wrote, and removed again.
#include "setup/shortcut.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "settings/settings_key.h"

using namespace korvat_test;

namespace {

const char kStandardFile[] = "Start Nuvix Tapvo Meeting.url";
const char kPage[] = "http://meet.example.com/site/start/ann";

class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.loaded());
    LoadResourceModule();
    char desktop[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, desktop),
              S_OK);
    desktop_ = desktop;
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    DeleteTree(desktop_);
    CreateDirectoryA(desktop_.c_str(), nullptr);
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
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
  ModuleCopy module_;
  std::string desktop_;
};

TEST_F(ShortcutTest, SettingsChooseWhetherAndHowTheShortcutIsMade) {
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
    SCOPED_TRACE(std::string(c.option ? c.option : "-") + " " + (c.page ? "page" : "-") + " " +
                 (c.has_brand ? c.has_brand : "-") + " " + (c.title ? c.title : "-"));
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
TEST_F(ShortcutTest, FilesOfTheUsersOwnAreLeftAlone) {
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

TEST_F(ShortcutTest, NoFileWrittenIsNoSuccess) {
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

}  // namespace
