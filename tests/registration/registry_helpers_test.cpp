// RegKeyHandle and the free registry functions, against the real registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "platform/reg_key_handle.h"
#include "registration/registry_ops.h"

using namespace korvat_test;

namespace {

const char kBase[] = "Software\\KorvatTests";
const std::string kParent = std::string(kBase) + "\\Parent";
const std::string kSection = kParent + "\\Section";

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

TEST_F(RegistryHelpersTest, UnRegisterDeletesOneLevelInItsRootsAndTracesOnce) {
  struct Case {
    bool user_only, in_machine, in_user;
  } cases[] = {{false, true, true}, {false, false, true}, {false, true, false}, {true, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.user_only << c.in_machine << c.in_user);
    if (c.in_machine) SetStringValue(HKEY_LOCAL_MACHINE, kSection, "v", "1");
    if (c.in_user) SetStringValue(HKEY_CURRENT_USER, kSection, "v", "1");
    (c.user_only ? UnRegisterUserKey : UnRegisterKey)(kParent.c_str(), "Section");
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kSection), c.user_only);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSection));
    EXPECT_EQ(Trace().TakeMessages(), std::vector<std::string>{"UnRegisterKey() parent_key = " +
                                                               kParent + ",section_key = Section"});
    Clean();
  }
  // Never recursive: a key with a sub-key stays.
  SetStringValue(HKEY_CURRENT_USER, kSection + "\\Child", "v", "1");
  UnRegisterKey(kParent.c_str(), "Section");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSection + "\\Child"));
  // Null arguments are traced as NULL; without a section the parent is left alone.
  Trace().TakeMessages();
  UnRegisterKey(nullptr, "NoSuchSection");
  UnRegisterUserKey(kParent.c_str(), nullptr);
  EXPECT_EQ(Trace().TakeMessages(),
            (std::vector<std::string>{
                "UnRegisterKey() parent_key = NULL,section_key = NoSuchSection",
                "UnRegisterKey() parent_key = " + kParent + ",section_key = NULL"}));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kParent));
}

TEST_F(RegistryHelpersTest, SetStringWritesTheRootsItMayOrNoKeyAtAll) {
  struct Case {
    bool user_only;
    const char *name, *data;
    bool written;
  } cases[] = {
      {false, "Named", "text", true}, {false, "Empty", "", true}, {false, nullptr, "dflt", true},
      {false, "v", nullptr, false},   {true, "v", "x", true},     {true, "v", nullptr, false},
      {true, nullptr, "data", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.user_only << (c.name ? c.name : "null"));
    (c.user_only ? SetUserRegString : SetRegString)(kSection.c_str(), c.name, c.data);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      const bool wanted = c.written && (root == HKEY_CURRENT_USER || !c.user_only);
      DWORD type = 0;
      std::string bytes;
      EXPECT_EQ(KeyExists(root, kSection), wanted);
      if (!wanted) continue;
      ASSERT_TRUE(ReadRawValue(root, kSection, c.name ? c.name : "", &type, &bytes));
      EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(bytes, std::string(c.data) + '\0');  // the terminating zero is stored
    }
    Clean();
  }
  // A machine key that cannot be written is skipped.
  ScopedReadOnlyKey read_only(HKEY_LOCAL_MACHINE, kSection);
  ASSERT_TRUE(read_only.active());
  SetRegString(kSection.c_str(), "v", "x");
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kSection, "v"));
  EXPECT_EQ(ReadStringValue(HKEY_CURRENT_USER, kSection, "v"), "x");
}

// Open, attach, delete a tree, close: the held key survives a failed open,
// and a borrowed key stays open.
TEST_F(RegistryHelpersTest, KeyHandleKeepsWhatItHoldsAndDeletesWholeTrees) {
  for (const char* leaf : {"\\Tree\\A\\B\\C", "\\Tree\\A\\B2", "\\Tree\\D"}) {
    SetStringValue(HKEY_CURRENT_USER, kParent + leaf, "v", "1");
  }
  RegKeyHandle key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kParent.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
  HKEY held = key.Get();
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\KorvatTests\\Missing", KEY_READ),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.Get(), held);
  {
    RegKeyHandle borrowed;
    borrowed.Reset(held);
    EXPECT_EQ(borrowed.DeleteSubTree("Tree"), ERROR_SUCCESS);
    EXPECT_EQ(borrowed.DeleteSubTree("Tree"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(borrowed.Release(), held);
  }
  EXPECT_EQ(key.SetString("still usable", "after"), ERROR_SUCCESS);
  EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kParent),
            (std::vector<std::string>{kParent, kParent + "|after=REG_SZ:still usable"}));
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
  EXPECT_EQ(key.Get(), nullptr);
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);  // an empty holder
}

}  // namespace
