// The desktop Internet shortcut: created from the user's settings, read back
// from the file the shell wrote, and removed again.
#include "setup/shortcut.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "harness/test_support.h"
#include "settings/settings_key.h"
#include "setup/module_copy.h"

using namespace korvat_test;

namespace {

const char kStandardFile[] = "Start Nuvix Tapvo Meeting.url";
const char kPage[] = "http://meet.example.com/site/start/ann";

std::string ShortcutEntry(const std::string& path, const char* name) {
  char text[1024] = {};
  GetPrivateProfileStringA("InternetShortcut", name, "<missing>", text, sizeof(text),
                           path.c_str());
  return text;
}

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
    DeleteFileA(Desktop(kStandardFile).c_str());
    DeleteFileA(Desktop("MyBrand.url").c_str());
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
  }
  std::string Desktop(const std::string& name) { return desktop_ + "\\" + name; }
  void Set(const char* name, const char* value) {
    if (value != nullptr) SetStringValue(HKEY_CURRENT_USER, kSettingsKey, name, value);
  }
  ModuleCopy module_;
  std::string desktop_;
};

TEST_F(ShortcutTest, SettingsChooseWhetherAndHowTheShortcutIsMade) {
  struct Case {
    const char *option, *page, *has_brand, *title;  // null: missing
    const char* file;                               // null: no shortcut
    const char* icon_index;
  } cases[] = {
      {"ie", kPage, "false", nullptr, nullptr, nullptr},
      {nullptr, kPage, "false", nullptr, nullptr, nullptr},
      {"Desktop", kPage, "false", nullptr, kStandardFile, "2"},
      {"iedesktop", kPage, "TRUE", "MyBrand", "MyBrand.url", "3"},
      {"desktop", kPage, "true", "", kStandardFile, "2"},
      {"desktop", kPage, nullptr, "MyBrand", nullptr, nullptr},
      {"desktop", kPage, "true", nullptr, nullptr, nullptr},
      {"desktop", nullptr, "false", nullptr, kStandardFile, "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.option ? c.option : "-") + " " + (c.page ? "page" : "-") + " " +
                 (c.has_brand ? c.has_brand : "-") + " " + (c.title ? c.title : "-"));
    SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kRightClick, "false");
    Set(kOption, c.option);
    Set(kMeetingPage, c.page);
    Set(kHasBrand, c.has_brand);
    Set(kBrandTitle, c.title);
    EXPECT_EQ(AddShortcut(), c.file != nullptr ? 1 : 0);
    if (c.file == nullptr) {
      EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath));
      EXPECT_FALSE(FileExists(Desktop(kStandardFile)));
      EXPECT_FALSE(FileExists(Desktop("MyBrand.url")));
    } else {
      std::string path = Desktop(c.file);
      EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath), path);
      ASSERT_TRUE(FileExists(path));
      EXPECT_EQ(ShortcutEntry(path, "URL"), c.page != nullptr ? c.page : "");
      EXPECT_EQ(ShortcutEntry(path, "IconFile"), module_.folder().File("Korvat.dll"));
      EXPECT_EQ(ShortcutEntry(path, "IconIndex"), c.icon_index);
    }
    Clean();
  }
}

TEST_F(ShortcutTest, RemovalDeletesTheStandardFileAndTheRememberedOne) {
  for (bool remembered : {true, false}) {
    SCOPED_TRACE(remembered ? "with SHORTCUT_PATH" : "without SHORTCUT_PATH");
    Set(kOption, "desktop");
    Set(kMeetingPage, kPage);
    Set(kHasBrand, "true");
    Set(kBrandTitle, "MyBrand");
    ASSERT_EQ(AddShortcut(), 1);
    WriteFileBytes(Desktop(kStandardFile), "[InternetShortcut]\r\nURL=http://h/\r\n");
    if (!remembered) DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);

    EXPECT_EQ(RemoveShortcut(), remembered ? 1 : 0);
    EXPECT_FALSE(FileExists(Desktop(kStandardFile)));
    EXPECT_EQ(FileExists(Desktop("MyBrand.url")), !remembered);
    // The remembered path itself stays for the removal flow to drop.
    EXPECT_EQ(ValueExists(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath), remembered);
    Clean();
  }
}

TEST(AppendBackslashTest, AddsOneBackslashWhereItFits) {
  struct Case {
    const char *path, *result;
    size_t size;
    bool fits;
  } cases[] = {
      {"C:\\Desk", "C:\\Desk\\", MAX_PATH, true}, {"C:\\Desk\\", "C:\\Desk\\", MAX_PATH, true},
      {"", "\\", MAX_PATH, true},                 {"abc", "abc", 4, false},
      {"abc", "abc\\", 5, true},
  };
  for (const Case& c : cases) {
    char path[MAX_PATH];
    lstrcpyA(path, c.path);
    EXPECT_EQ(AppendBackslash(path, c.size), c.fits) << c.path;
    EXPECT_STREQ(path, c.result);
  }
}

}  // namespace
