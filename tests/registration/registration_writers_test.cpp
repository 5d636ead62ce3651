// The three registration writers, as the option exports drive them: the
// whole key trees they write, their removal, and the Windows XP icons.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "harness/test_support.h"
#include "registration/feature_module.h"

using namespace korvat_test;

namespace {

constexpr DWORD kOffice = 0x2, kButton = 0x4, kRightClick = 0x8;

class RegistrationWritersTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteRegistrationKeys(); }
  void TearDown() override { DeleteRegistrationKeys(); }

  // The whole trees, or none of their keys.
  static void ExpectTrees(const std::vector<ExpectedKey>& keys, bool present) {
    for (const ExpectedKey& key : keys) {
      EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, key.path),
                present ? key.tree : std::vector<std::string>())
          << key.path;
    }
  }
};

TEST_F(RegistrationWritersTest, EachWriterWritesItsWholeTreeAndNothingElse) {
  struct Case {
    DWORD flag;
    bool with_resources;
  } cases[] = {{kButton, true}, {kButton, false}, {kOffice, true}, {kRightClick, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flag " << c.flag << " resources " << c.with_resources);
    FeatureModule::Options options;
    options.with_resources = c.with_resources;
    FeatureModule module(options);
    const std::string folder = module.folder().path();
    ASSERT_EQ(module.RemoveAddIn(c.flag), 0);
    ASSERT_EQ(module.RemoveAddIn(c.flag), 0);  // a second install changes nothing
    // Only zrtpres.dll has the status-bar text; the module's own table lacks it.
    ExpectTrees(ButtonKeys(folder, false,
                           c.with_resources ? "This will start Nuvix Tapvo Meeting" : ""),
                c.flag == kButton);
    ExpectTrees(OfficeKeys(folder), c.flag == kOffice);
    ExpectTrees(RightMenuKeys(folder), c.flag == kRightClick);
    DeleteRegistrationKeys();
  }
}

TEST_F(RegistrationWritersTest, TheButtonLoadsItsResourcesOnEveryInstallAndKeepsThem) {
  FeatureModule module;
  const std::string resources = module.folder().File("zrtpres.dll");
  module.RemoveAddIn(kButton);
  module.RemoveAddIn(kButton);
  module.RemoveAddIn(0);  // removal loads nothing
  // Two loads: it takes two frees to unload the library.
  for (int load = 0; load < 2; ++load) {
    ASSERT_TRUE(FreeLibrary(GetModuleHandleA(resources.c_str()))) << load;
  }
  EXPECT_EQ(GetModuleHandleA(resources.c_str()), nullptr);
}

// Install then removal leaves only the shared parents the writers created:
// every delete met an empty key, children first.
TEST_F(RegistrationWritersTest, RemovalLeavesExactlyTheSharedParents) {
  const char* const roots[] = {"Software\\Classes", "Software\\Microsoft\\Office",
                               "Software\\Microsoft\\Internet Explorer"};
  auto snapshot = [&]() {
    std::set<std::string> lines;
    for (const char* root : roots) {
      for (const std::string& line : DumpTree(HKEY_CURRENT_USER, root)) lines.insert(line);
    }
    return lines;
  };
  std::set<std::string> expected = snapshot();
  const std::string office = "Software\\Microsoft\\Office";
  expected.insert({"Software\\Classes\\*", "Software\\Classes\\*\\shellex",
                   "Software\\Classes\\*\\shellex\\ContextMenuHandlers",
                   "Software\\Classes\\CLSID", "Software\\Classes\\Interface",
                   "Software\\Classes\\TypeLib", "Software\\Microsoft\\Internet Explorer",
                   "Software\\Microsoft\\Internet Explorer\\Extensions", office});
  for (const char* application : {"Word", "PowerPoint", "Access", "Excel", "Frontpage"}) {
    expected.insert({office + "\\" + application, office + "\\" + application + "\\Addins"});
  }
  FeatureModule::Options options;
  options.trace = true;
  FeatureModule module(options);
  module.RemoveAddIn(kOffice | kButton | kRightClick);
  const size_t install_lines = module.TraceMessages().size();
  module.RemoveAddIn(0);
  EXPECT_EQ(snapshot(), expected);

  // One trace line per delete: 12 for the shell menu, 37 for Word and its
  // event class, 22 for each other office application, 11 for the button.
  std::vector<std::string> messages = module.TraceMessages();
  ASSERT_EQ(messages.size(), install_lines + 2 + 12 + 37 + 4 * 22 + 11);
  EXPECT_EQ(messages[install_lines], "TapvoRemoveAddIn()");
  EXPECT_EQ(messages[install_lines + 1],
            "UnRegisterKey() parent_key = SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers,"
            "section_key = NuvixShareMenu");
  EXPECT_EQ(messages[messages.size() - 2],
            "UnRegisterKey() parent_key = SOFTWARE\\Classes\\CLSID,"
            "section_key = {80947ADC-151D-490B-87F1-7C8CE1B46220}");
  EXPECT_EQ(messages.back(), "TapvoRemoveAddIn() end");
}

TEST_F(RegistrationWritersTest, AForeignSubKeyKeepsItsKeyAndParents) {
  FeatureModule module;
  module.RemoveAddIn(kOffice);
  const std::string word_class =
      "Software\\Classes\\CLSID\\{AEECE333-8900-4915-9697-7A0B4034B3D8}";
  SetStringValue(HKEY_CURRENT_USER, word_class + "\\ProgID\\Foreign", "", "theirs");
  module.RemoveAddIn(0);
  EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, word_class),
            (std::vector<std::string>{word_class, word_class + "\\ProgID",
                                      word_class + "\\ProgID\\Foreign",
                                      word_class + "\\ProgID\\Foreign|(default)=REG_SZ:theirs",
                                      word_class +
                                          "\\ProgID|(default)=REG_SZ:NvxMSAI.NuvixWordAddIn.1",
                                      word_class + "|(default)=REG_SZ:NuvixWordAddIn Class"}));
  // Every other key went.
  for (const ExpectedKey& key : OfficeKeys(module.folder().path())) {
    if (key.path != word_class) EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.path)) << key.path;
  }
}

// A copy of this program, run as Windows XP, installs the button through the
// module's export; the parent reads the icons it named.
TEST_F(RegistrationWritersTest, WindowsXPNamesTheHotAndNormalIcons) {
  struct Case {
    const char* version;
    bool xp;
  } cases[] = {{"winxp", true}, {"win7", false}};
  for (const Case& c : cases) {
    TempFolder folder;
    folder.CopyFromBin("Korvat.dll");
    folder.CopyFromBin("zrtpres.dll");
    const std::string exe = std::string("button_") + c.version + ".exe";
    ASSERT_TRUE(CopyFileA(BinFile("registration_writers_test.exe").c_str(),
                          folder.File(exe).c_str(), FALSE));
    const std::string app_key = "Software\\Wine\\AppDefaults\\" + exe;
    SetStringValue(HKEY_CURRENT_USER, app_key, "Version", c.version);
    EXPECT_EQ(RunProcess("\"" + folder.File(exe) + "\" --install-button"), 0) << c.version;
    DeleteKeyTree(HKEY_CURRENT_USER, app_key);
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kButtonKey),
              ButtonKeys(folder.path(), c.xp, "This will start Nuvix Tapvo Meeting")[0].tree)
        << c.version;
    DeleteRegistrationKeys();
  }
}

// The child: the module beside the program installs the button.
int InstallButtonFromBesideThisProgram() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string module_path = path;
  module_path = module_path.substr(0, module_path.rfind('\\')) + "\\Korvat.dll";
  HMODULE module = LoadLibraryA(module_path.c_str());
  if (module == nullptr) return 2;
  auto remove_add_in = reinterpret_cast<int(WINAPI*)(DWORD)>(
      reinterpret_cast<void*>(GetProcAddress(module, "TapvoRemoveAddIn")));
  return remove_add_in != nullptr ? remove_add_in(kButton) : 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--install-button") {
    return InstallButtonFromBesideThisProgram();
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
