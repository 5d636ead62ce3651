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

const char kStatusText[] = "This will start Nuvix Tapvo Meeting";

class RegistrationWritersTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteRegistrationKeys(); }
  void TearDown() override { DeleteRegistrationKeys(); }
};

TEST_F(RegistrationWritersTest, EachWriterWritesItsWholeTreeAndNothingElse) {
  struct Case {
    DWORD flag;
    bool with_resources;
  } cases[] = {{kButton, true}, {kButton, false}, {kOffice, true}, {kRightClick, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flag " << c.flag << " resources " << c.with_resources);
    FeatureModule module(c.with_resources);
    const std::string folder = module.folder().path();
    ASSERT_EQ(module.RemoveAddIn(c.flag), 0);
    ASSERT_EQ(module.RemoveAddIn(c.flag), 0);  // a second install changes nothing
    for (DWORD writer : {kButton, kOffice, kRightClick}) {
      // Only zrtpres.dll has the status-bar text; the module's own table lacks it.
      for (const ExpectedKey& key :
           WriterKeys(writer, folder, false, c.with_resources ? kStatusText : "")) {
        EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, key.path),
                  writer == c.flag ? key.tree : std::vector<std::string>())
            << key.path;
      }
    }
    // The button loads zrtpres.dll on every install and keeps it; removal loads nothing.
    ASSERT_EQ(module.RemoveAddIn(0), 0);
    const std::string resources = module.folder().File("zrtpres.dll");
    int loads = 0;
    while (FreeLibrary(GetModuleHandleA(resources.c_str()))) ++loads;
    EXPECT_EQ(loads, c.flag == kButton && c.with_resources ? 2 : 0);
  }
}

// Install then removal leaves only the shared parents the writers created
// (every delete met an empty key, children first), and a key that gained a
// foreign sub-key, with its parents.
TEST_F(RegistrationWritersTest, RemovalLeavesExactlyTheSharedParentsAndForeignKeys) {
  auto snapshot = []() {
    std::set<std::string> lines;
    for (const char* root : {"Software\\Classes", "Software\\Microsoft\\Office",
                             "Software\\Microsoft\\Internet Explorer"}) {
      for (const std::string& line : DumpTree(HKEY_CURRENT_USER, root)) lines.insert(line);
    }
    return lines;
  };
  std::set<std::string> expected = snapshot();
  const std::string office = "Software\\Microsoft\\Office";
  expected.insert({"Software\\Classes\\*", "Software\\Classes\\*\\shellex",
                   "Software\\Classes\\*\\shellex\\ContextMenuHandlers", "Software\\Classes\\CLSID",
                   "Software\\Classes\\Interface", "Software\\Classes\\TypeLib",
                   "Software\\Microsoft\\Internet Explorer",
                   "Software\\Microsoft\\Internet Explorer\\Extensions", office});
  for (const char* application : {"Word", "PowerPoint", "Access", "Excel", "Frontpage"}) {
    expected.insert({office + "\\" + application, office + "\\" + application + "\\Addins"});
  }
  FeatureModule module(true, true);
  module.RemoveAddIn(kOffice | kButton | kRightClick);
  const std::string word_class = "Software\\Classes\\CLSID\\{AEECE333-8900-4915-9697-7A0B4034B3D8}";
  SetStringValue(HKEY_CURRENT_USER, word_class + "\\ProgID\\Foreign", "", "theirs");
  for (const std::string& line :
       Tree(word_class, {"|=NuvixWordAddIn Class", "\\ProgID|=NvxMSAI.NuvixWordAddIn.1",
                         "\\ProgID\\Foreign|=theirs"})
           .tree) {
    expected.insert(line);
  }
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

// A copy of this program, run as the given Windows, installs the button
// through the module's export; the parent reads the icons it named. Only
// version 5.1 is XP.
TEST_F(RegistrationWritersTest, WindowsXPNamesTheHotAndNormalIcons) {
  for (const char* version : {"winxp", "win2k"}) {
    TempFolder folder;
    folder.CopyFromBin("Korvat.dll");
    folder.CopyFromBin("zrtpres.dll");
    const std::string exe = std::string("button_") + version + ".exe";
    folder.CopyFromBin("registration_writers_test.exe", exe);
    const std::string app_key = "Software\\Wine\\AppDefaults\\" + exe;
    SetStringValue(HKEY_CURRENT_USER, app_key, "Version", version);
    EXPECT_EQ(RunProcess("\"" + folder.File(exe) + "\" --install-button"), 0) << version;
    DeleteKeyTree(HKEY_CURRENT_USER, app_key);
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kButtonKey),
              WriterKeys(kButton, folder.path(), version[3] == 'x', kStatusText)[0].tree)
        << version;
    DeleteRegistrationKeys();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--install-button") {
    // The child: the module beside the program installs the button.
    ScopedLibrary module(LoadLibraryA(BinFile("Korvat.dll").c_str()));
    auto remove_add_in = reinterpret_cast<int(WINAPI*)(DWORD)>(
        reinterpret_cast<void*>(GetProcAddress(module.Get(), "TapvoRemoveAddIn")));
    return remove_add_in != nullptr ? remove_add_in(kButton) : 3;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
