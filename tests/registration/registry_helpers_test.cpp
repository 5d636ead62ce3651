// RegKeyHandle and the free registry functions, against the real registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/module_state.h"
#include "harness/test_support.h"
#include "harness/trace_capture.h"
#include "registration/reg_key_handle.h"
#include "registration/registry_ops.h"

using namespace korvat_test;

namespace {

const char kBase[] = "Software\\KorvatTests";
const std::string kParent = std::string(kBase) + "\\Parent";

TraceCapture& Trace() {
  static TraceCapture capture("registry_helpers_trace");
  return capture;
}

class RegistryHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    Trace().TakeMessages();
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    DeleteKeyTree(HKEY_CURRENT_USER, kBase);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kBase);
  }
};

TEST_F(RegistryHelpersTest, UnRegisterKeyDeletesInBothRootsAndTracesOnce) {
  struct Case {
    const char* name;
    bool in_machine, in_user;
  } cases[] = {{"both", true, true}, {"user only", false, true}, {"machine only", true, false}};
  for (const Case& c : cases) {
    if (c.in_machine) SetStringValue(HKEY_LOCAL_MACHINE, kParent + "\\Section", "v", "1");
    if (c.in_user) SetStringValue(HKEY_CURRENT_USER, kParent + "\\Section", "v", "1");
    UnRegisterKey(kParent.c_str(), "Section");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kParent + "\\Section")) << c.name;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kParent + "\\Section")) << c.name;
    EXPECT_EQ(Trace().TakeMessages(),
              std::vector<std::string>{"UnRegisterKey() parent_key = " + kParent +
                                       ",section_key = Section"})
        << c.name;
  }
}

TEST_F(RegistryHelpersTest, UnRegisterKeyIsNeverRecursive) {
  SetStringValue(HKEY_CURRENT_USER, kParent + "\\Section\\Child", "v", "1");
  UnRegisterKey(kParent.c_str(), "Section");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kParent + "\\Section\\Child"));
}

TEST_F(RegistryHelpersTest, UnRegisterUserKeyLeavesTheMachineRoot) {
  SetStringValue(HKEY_LOCAL_MACHINE, kParent + "\\Section", "v", "1");
  SetStringValue(HKEY_CURRENT_USER, kParent + "\\Section", "v", "1");
  UnRegisterUserKey(kParent.c_str(), "Section");
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kParent + "\\Section"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kParent + "\\Section"));
  EXPECT_EQ(Trace().TakeMessages().size(), 1u);
}

TEST_F(RegistryHelpersTest, NullArgumentsAreTracedAsNull) {
  SetStringValue(HKEY_CURRENT_USER, kParent, "v", "1");
  UnRegisterKey(nullptr, "NoSuchSection");
  UnRegisterUserKey(kParent.c_str(), nullptr);
  EXPECT_EQ(Trace().TakeMessages(),
            (std::vector<std::string>{
                "UnRegisterKey() parent_key = NULL,section_key = NoSuchSection",
                "UnRegisterKey() parent_key = " + kParent + ",section_key = NULL"}));
  // Without a section name the parent itself is left alone.
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kParent));
}

TEST_F(RegistryHelpersTest, SetRegStringWritesBothRoots) {
  const std::string path = std::string(kBase) + "\\Written";
  struct Case {
    const char* name;
    const char* data;
  } cases[] = {{"Named", "text"}, {"Empty", ""}};
  for (const Case& c : cases) {
    SetRegString(path.c_str(), c.name, c.data);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      DWORD type = 0;
      std::string bytes;
      ASSERT_TRUE(ReadRawValue(root, path, c.name, &type, &bytes)) << c.name;
      EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(bytes, std::string(c.data) + '\0');  // the terminating zero is stored
    }
  }
  SetRegString(path.c_str(), nullptr, "default");
  EXPECT_EQ(ReadStringValue(HKEY_LOCAL_MACHINE, path, ""), "default");
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, path, ""), "default");
}

TEST_F(RegistryHelpersTest, NullDataOrNameWritesNothing) {
  const std::string path = std::string(kBase) + "\\NotCreated";
  SetRegString(path.c_str(), "v", nullptr);
  SetUserRegString(path.c_str(), "v", nullptr);
  SetUserRegString(path.c_str(), nullptr, "data");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path));
}

TEST_F(RegistryHelpersTest, SetUserRegStringWritesTheUserRootOnly) {
  const std::string path = std::string(kBase) + "\\User";
  SetUserRegString(path.c_str(), "v", "x");
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, path, "v"), "x");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path));
}

TEST_F(RegistryHelpersTest, AMachineKeyThatCannotBeWrittenIsSkipped) {
  const std::string path = std::string(kBase) + "\\Shortcut";
  {
    ScopedReadOnlyKey read_only(HKEY_LOCAL_MACHINE, path);
    ASSERT_TRUE(read_only.active());
    SetRegString(path.c_str(), "ShortcutName", "name");
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, path, "ShortcutName"));
    EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, path, "ShortcutName"), "name");
    // A key that holds a sub-key stays.
    UnRegisterKey(kBase, "Shortcut");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, path));
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path));
}

TEST_F(RegistryHelpersTest, FailedOpenKeepsTheHeldKey) {
  SetStringValue(HKEY_CURRENT_USER, kParent, "", "");
  RegKeyHandle key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kParent.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
  HKEY held = key.Get();
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\KorvatTests\\Missing", KEY_READ),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.Get(), held);
  EXPECT_EQ(key.SetString("still usable", "after"), ERROR_SUCCESS);
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kParent, "after"), "still usable");
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);  // an empty holder
  EXPECT_EQ(key.Get(), nullptr);
}

TEST_F(RegistryHelpersTest, CreateReportsTheDispositionAndReplacesTheHeldKey) {
  RegKeyHandle key;
  DWORD disposition = 0;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kParent.c_str(), nullptr, 0, KEY_ALL_ACCESS,
                       nullptr, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kParent.c_str(), nullptr, 0, KEY_ALL_ACCESS,
                       nullptr, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(key.SetSubKeyString("Sub", "value", nullptr), ERROR_SUCCESS);
  EXPECT_EQ(key.SetSubKeyString("Sub", "named", "Name"), ERROR_SUCCESS);
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kParent + "\\Sub", ""), "value");
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kParent + "\\Sub", "Name"), "named");
}

TEST_F(RegistryHelpersTest, DeleteSubTreeRemovesEveryLevel) {
  for (const char* leaf : {"\\Tree\\A\\B\\C", "\\Tree\\A\\B2", "\\Tree\\D"}) {
    SetStringValue(HKEY_CURRENT_USER, kParent + leaf, "v", "1");
  }
  RegKeyHandle parent;
  ASSERT_EQ(parent.Open(HKEY_CURRENT_USER, kParent.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
  EXPECT_EQ(parent.DeleteSubTree("Tree"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kParent + "\\Tree"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kParent));
  EXPECT_EQ(parent.DeleteSubTree("Tree"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryHelpersTest, AttachedKeysAreNotClosed) {
  SetStringValue(HKEY_CURRENT_USER, kParent + "\\Child", "v", "1");
  HKEY own = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kParent.c_str(), 0, KEY_ALL_ACCESS, &own),
            ERROR_SUCCESS);
  {
    RegKeyHandle borrowed;
    borrowed.Attach(own);
    EXPECT_EQ(borrowed.DeleteSubTree("Child"), ERROR_SUCCESS);
    EXPECT_EQ(borrowed.Detach(), own);
  }
  EXPECT_EQ(RegSetValueExA(own, "still", 0, REG_SZ, reinterpret_cast<const BYTE*>("open"), 5),
            ERROR_SUCCESS);
  RegCloseKey(own);
}

// A copy of this program, run with the given Windows version, reports what
// IsWindowsXP answers there.
int ProbeWindowsXP(const std::string& version) {
  TempFolder folder;
  const std::string exe = "xp_probe_" + (version.empty() ? std::string("default") : version) + ".exe";
  CopyFileA(BinFile("registry_helpers_test.exe").c_str(), folder.File(exe).c_str(), FALSE);
  const std::string app_key = "Software\\Wine\\AppDefaults\\" + exe;
  if (!version.empty()) SetStringValue(HKEY_CURRENT_USER, app_key, "Version", version);
  int result = RunProcess("\"" + folder.File(exe) + "\" --probe-windows-xp");
  DeleteKeyTree(HKEY_CURRENT_USER, app_key);
  return result;
}

TEST(IsWindowsXPTest, AnswersVersionFivePointOneOnly) {
  EXPECT_EQ(ProbeWindowsXP("winxp"), 1);
  EXPECT_EQ(ProbeWindowsXP("win7"), 0);
  EXPECT_EQ(ProbeWindowsXP("win2k"), 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--probe-windows-xp") return IsWindowsXP() ? 1 : 0;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
