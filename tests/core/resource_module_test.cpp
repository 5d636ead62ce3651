// The resource module: zrtpres.dll beside the module, or the module's own
// resources when it is missing; and what each of the two files holds.
#include "core/resource_module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/module_state.h"
#include "harness/test_support.h"
#include "resources/resource_ids.h"

using namespace korvat_test;

namespace {

// Points the module state at a copy of the built module in a temporary folder,
// as if the code ran inside it.
class ResourceModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(copy_.loaded());
    module_ = copy_.module();
  }
  std::string String(UINT id) {
    char text[1024];
    LoadResourceString(id, text, sizeof(text));
    return text;
  }
  HMODULE Zrtpres() const { return GetModuleHandleA(folder_.File("zrtpres.dll").c_str()); }
  ModuleCopy copy_;
  const TempFolder& folder_ = copy_.folder();
  HMODULE module_ = nullptr;
};

TEST_F(ResourceModuleTest, ZrtpresIsHeldUntilFreedAndAReloadLeavesTheOldCount) {
  folder_.CopyFromBin("zrtpres.dll");
  LoadResourceModule();
  ASSERT_NE(ResourceModule, nullptr);
  EXPECT_NE(ResourceModule, module_);
  EXPECT_EQ(ResourceModuleLoaded, 1);
  for (UINT id : {IDS_BUTTON_TEXT, IDS_SETUP_FAILED_TEXT, IDS_SHORTCUT_NAME,
                  IDS_SETUP_FAILED_CAPTION, IDS_MENU_STATUS_BAR}) {
    EXPECT_NE(String(id), "") << id;
  }
  HMODULE held = ResourceModule;
  LoadResourceModule();  // held: nothing happens
  EXPECT_EQ(ResourceModule, held);
  FreeResourceModule();
  EXPECT_EQ(ResourceModule, nullptr);
  EXPECT_EQ(ResourceModuleLoaded, 0);
  EXPECT_EQ(Zrtpres(), nullptr);

  LoadResourceModule();
  ReloadResourceModule();
  EXPECT_EQ(ResourceModuleLoaded, 1);
  FreeResourceModule();
  HMODULE still = Zrtpres();  // the first load's count
  EXPECT_NE(still, nullptr);
  if (still != nullptr) FreeLibrary(still);
}

BOOL CALLBACK CollectIconGroup(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<int>*>(ids)->push_back(
        static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

TEST_F(ResourceModuleTest, IconGroupsStandInTheOrderTheShortcutReliesOn) {
  auto group_ids = [](HMODULE module) {
    std::vector<int> ids;
    EnumResourceNamesA(module, RT_GROUP_ICON, CollectIconGroup, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
  };
  // Index 2 of the module's own file is group 205, index 3 is group 211.
  EXPECT_EQ(group_ids(module_), (std::vector<int>{203, 204, 205, 211, 212}));
  ScopedLibrary zrtpres(LoadLibraryA(BinFile("zrtpres.dll").c_str()));
  ASSERT_TRUE(zrtpres);
  EXPECT_EQ(group_ids(zrtpres.Get()), (std::vector<int>{203, 204, 206, 211, 212}));
}

TEST_F(ResourceModuleTest, BothFilesCarryTheSameNoticeDialog) {
  auto dialog = [](HMODULE module) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_SETUP_NOTICE), RT_DIALOG);
    if (found == nullptr) return std::string();
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
  };
  ScopedLibrary zrtpres(LoadLibraryA(BinFile("zrtpres.dll").c_str()));
  ASSERT_TRUE(zrtpres);
  const std::string ours = dialog(module_);
  ASSERT_GE(ours.size(), sizeof(DLGTEMPLATE));
  EXPECT_EQ(dialog(zrtpres.Get()), ours);
  // The template's texts are UTF-16; the font size stands before its name.
  for (const char* text : {"Nuvix Tapvo Meeting Setup", "\x08MS Sans Serif",
                           "Close all other browsers before using "
                           "the Tapvo Meeting button on your Internet Explorer."}) {
    std::string wide;
    for (const char* c = text; *c != '\0'; ++c) wide += std::string{*c, '\0'};
    EXPECT_NE(ours.find(wide), std::string::npos) << text;
  }
}

TEST(VersionInfo, EachDllDescribesItself) {
  for (const std::string file : {"Korvat.dll", "zrtpres.dll"}) {
    DWORD handle = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(BinFile(file).c_str(), &handle));
    ASSERT_FALSE(data.empty()) << file;
    ASSERT_TRUE(GetFileVersionInfoA(BinFile(file).c_str(), 0, data.size(), data.data()));
    auto value = [&](const std::string& name) {
      char* text = nullptr;
      UINT length = 0;
      return VerQueryValueA(data.data(), ("\\StringFileInfo\\040904b0\\" + name).c_str(),
                            reinterpret_cast<void**>(&text), &length)
                 ? std::string(text)
                 : std::string();
    };
    EXPECT_EQ(value("FileVersion"), "1.0.0.1") << file;
    EXPECT_EQ(value("OriginalFilename"), file);
    EXPECT_NE(value("FileDescription"), "") << file;
  }
}

}  // namespace