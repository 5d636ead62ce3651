// The resource module: zrtpres.dll beside the module, or the module's own
// resources when it is missing; and what each of the two files holds.
#include "core/resource_module.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/module_state.h"
#include "harness/test_support.h"
#include "resources/resource_ids.h"

using namespace korvat_test;

namespace {

const char kButtonText[] = "Start Nuvix Tapvo Meeting";
const char kFailureText[] =
    "Tapvo Meeting toolbar button cannot be added to IE because you do not have sufficient "
    "privilege.";

// Points the module state at a copy of the built module in a temporary folder,
// as if the code ran inside it.
class ResourceModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.CopyFromBin("Korvat.dll");
    module_ = LoadLibraryA(folder_.File("Korvat.dll").c_str());
    ASSERT_NE(module_, nullptr);
    ModuleInstance = module_;
    ResourceModule = nullptr;
    ResourceModuleLoaded = 0;
    std::memset(ResourceModulePath, 0, sizeof(ResourceModulePath));
  }
  void TearDown() override {
    FreeResourceModule();
    ResourceModule = nullptr;
    ModuleInstance = nullptr;
    if (module_ != nullptr) FreeLibrary(module_);
  }
  std::string String(UINT id) {
    char text[1024];
    LoadResourceString(id, text, sizeof(text));
    return text;
  }
  TempFolder folder_;
  HMODULE module_ = nullptr;
};

TEST_F(ResourceModuleTest, WithoutZrtpresTheModuleServesItsOwnResources) {
  LoadResourceModule();
  EXPECT_EQ(ResourceModule, module_);
  EXPECT_EQ(ResourceModuleLoaded, 0);
  EXPECT_EQ(std::string(ResourceModulePath), folder_.File("zrtpres.dll"));

  EXPECT_EQ(String(IDS_BUTTON_TEXT), kButtonText);
  EXPECT_EQ(String(IDS_SETUP_FAILED_TEXT), kFailureText);
  EXPECT_EQ(String(IDS_SHORTCUT_NAME), kButtonText);
  EXPECT_EQ(String(IDS_PROJNAME), "Korvat");
  EXPECT_EQ(String(IDS_SETUP_FAILED_CAPTION), "");
  EXPECT_EQ(String(IDS_MENU_STATUS_BAR), "");
  EXPECT_NE(FindResourceA(ResourceModule, MAKEINTRESOURCEA(IDD_SETUP_NOTICE), RT_DIALOG),
            nullptr);

  FreeResourceModule();  // the module's own handle is never freed
  EXPECT_EQ(ResourceModule, module_);
  EXPECT_EQ(ResourceModuleLoaded, 0);
}

TEST_F(ResourceModuleTest, WithZrtpresItIsLoadedUntilFreed) {
  folder_.CopyFromBin("zrtpres.dll");
  LoadResourceModule();
  ASSERT_NE(ResourceModule, nullptr);
  EXPECT_NE(ResourceModule, module_);
  EXPECT_EQ(ResourceModuleLoaded, 1);
  EXPECT_EQ(std::string(ResourceModulePath), folder_.File("zrtpres.dll"));
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
  EXPECT_EQ(GetModuleHandleA(folder_.File("zrtpres.dll").c_str()), nullptr);
}

TEST_F(ResourceModuleTest, ReloadReplacesTheHeldHandleWithoutFreeingIt) {
  folder_.CopyFromBin("zrtpres.dll");
  LoadResourceModule();
  ReloadResourceModule();
  EXPECT_EQ(ResourceModuleLoaded, 1);
  FreeResourceModule();
  // The first load's count is still held.
  HMODULE still = GetModuleHandleA(folder_.File("zrtpres.dll").c_str());
  EXPECT_NE(still, nullptr);
  if (still != nullptr) FreeLibrary(still);
}

TEST_F(ResourceModuleTest, SiblingPathsAreBesideTheModule) {
  char dir[MAX_PATH];
  GetModuleDirectory(dir);
  EXPECT_EQ(std::string(dir), folder_.path());
  char path[MAX_PATH];
  ASSERT_TRUE(GetSiblingPath(kControlModuleFile, path, sizeof(path)));
  EXPECT_EQ(std::string(path), folder_.File("zrtpctl.dll"));

  // A module directory that came out empty gives paths from the root.
  ASSERT_TRUE(JoinPath("", kResourceModuleFile, path, sizeof(path)));
  EXPECT_STREQ(path, "\\zrtpres.dll");

  char tiny[8];
  EXPECT_FALSE(JoinPath("C:\\dir", "file.dll", tiny, sizeof(tiny)));
  EXPECT_STREQ(tiny, "");
}

// Resource directory entries of one type, in resource order.
std::vector<int> ResourceIds(HMODULE module, LPCSTR type) {
  std::vector<int> ids;
  EnumResourceNamesA(
      module, type,
      [](HMODULE, LPCSTR, LPSTR name, LONG_PTR param) -> BOOL {
        if (IS_INTRESOURCE(name)) {
          reinterpret_cast<std::vector<int>*>(param)->push_back(
              static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
        }
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&ids));
  return ids;
}

TEST_F(ResourceModuleTest, IconGroupsStandInTheOrderTheShortcutReliesOn) {
  EXPECT_EQ(ResourceIds(module_, RT_GROUP_ICON), (std::vector<int>{203, 204, 205, 211, 212}));
  LoadedLibrary zrtpres(BinFile("zrtpres.dll"));
  ASSERT_TRUE(zrtpres);
  EXPECT_EQ(ResourceIds(zrtpres.get(), RT_GROUP_ICON),
            (std::vector<int>{203, 204, 206, 211, 212}));
  // Index 2 of the module's own file is group 205, index 3 is group 211.
  UINT icons = ExtractIconExA(folder_.File("Korvat.dll").c_str(), -1, nullptr, nullptr, 0);
  EXPECT_EQ(icons, 5u);
}

// The setup notice dialog template, item by item.
struct DialogReader {
  const BYTE* at;
  WORD Word() {
    WORD w;
    std::memcpy(&w, at, 2);
    at += 2;
    return w;
  }
  DWORD Dword() {
    DWORD d;
    std::memcpy(&d, at, 4);
    at += 4;
    return d;
  }
  std::string Text() {
    std::string s;
    for (WORD c; (c = Word()) != 0;) s += static_cast<char>(c);
    return s;
  }
  // A name or ordinal field: 0xFFFF and an ordinal, or a text.
  std::string NameOrOrdinal() {
    WORD first;
    std::memcpy(&first, at, 2);
    if (first == 0xFFFF) {
      at += 2;
      return "#" + std::to_string(Word());
    }
    return Text();
  }
  void AlignDword(const BYTE* base) {
    while ((at - base) % 4 != 0) ++at;
  }
};

void ExpectNoticeTemplate(HMODULE module) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_SETUP_NOTICE), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  DialogReader r{base};
  EXPECT_EQ(r.Dword(), 0x80C800C0u);  // style
  EXPECT_EQ(r.Dword(), 0u);           // extended style
  EXPECT_EQ(r.Word(), 2u);            // controls
  EXPECT_EQ(r.Word(), 0u);
  EXPECT_EQ(r.Word(), 0u);
  EXPECT_EQ(r.Word(), 204u);
  EXPECT_EQ(r.Word(), 69u);
  EXPECT_EQ(r.NameOrOrdinal(), "");  // menu
  EXPECT_EQ(r.NameOrOrdinal(), "");  // class
  EXPECT_EQ(r.Text(), "Nuvix Tapvo Meeting Setup");
  EXPECT_EQ(r.Word(), 8u);
  EXPECT_EQ(r.Text(), "MS Sans Serif");

  struct Item {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    std::string cls, text;
  } expected[] = {
      {0x50010001, 148, 52, 50, 12, IDOK, "#128", "OK"},
      {0x50020000, 18, 7, 180, 28, 0xFFFF, "#130",
       "Close all other browsers before using the Tapvo Meeting button on your Internet "
       "Explorer."},
  };
  for (const Item& item : expected) {
    r.AlignDword(base);
    EXPECT_EQ(r.Dword(), item.style);
    EXPECT_EQ(r.Dword(), 0u);
    EXPECT_EQ(static_cast<short>(r.Word()), item.x);
    EXPECT_EQ(static_cast<short>(r.Word()), item.y);
    EXPECT_EQ(static_cast<short>(r.Word()), item.cx);
    EXPECT_EQ(static_cast<short>(r.Word()), item.cy);
    EXPECT_EQ(r.Word(), item.id);
    EXPECT_EQ(r.NameOrOrdinal(), item.cls);
    EXPECT_EQ(r.NameOrOrdinal(), item.text);
    EXPECT_EQ(r.Word(), 0u);  // no creation data
  }
}

TEST_F(ResourceModuleTest, BothFilesCarryTheNoticeDialogTemplate) {
  ExpectNoticeTemplate(module_);
  LoadedLibrary zrtpres(BinFile("zrtpres.dll"));
  ASSERT_TRUE(zrtpres);
  ExpectNoticeTemplate(zrtpres.get());
}

std::string VersionString(const std::string& file, const char* name) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
  if (size == 0) return "";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return "";
  char* value = nullptr;
  UINT length = 0;
  std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
  if (!VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return "";
  }
  return value;
}

TEST(VersionInfo, EachDllDescribesItself) {
  for (const char* file : {"Korvat.dll", "zrtpres.dll"}) {
    EXPECT_EQ(VersionString(BinFile(file), "FileVersion"), "1.0.0.1") << file;
    EXPECT_EQ(VersionString(BinFile(file), "OriginalFilename"), file);
    EXPECT_NE(VersionString(BinFile(file), "FileDescription"), "") << file;
  }
}

}  // namespace
