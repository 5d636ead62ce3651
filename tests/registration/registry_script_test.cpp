// The registry script interpreter against the real registry: both passes, the
// rollback and every failure. The module's own scripts run in lifecycle_test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "platform/last_error.h"
#include "registration/registry_script.h"
#include "registration/win32_key_store.h"

using namespace korvat_test;

namespace {

using Names = std::vector<std::string>;
const std::string kBase = "Software\\KorvatTests";
constexpr ScriptResult kSyntax = kScriptSyntaxError;

ScriptResult RunScript(const std::string& text, bool do_register = true) {
  Win32KeyStore store;
  RegistryScript script(&store);
  script.AddReplacement("Module", "C:\\It''s\\Korvat.dll");
  return script.Run(text.c_str(), do_register);
}

// `body` as the items of HKCU\Software\KorvatTests.
std::string Under(const std::string& body) {
  return "HKCU\r\n{\r\n\tSoftware { KorvatTests {\r\n" + body + "\r\n} }\r\n}\r\n";
}
Names Tree(const std::string& below) { return DumpTree(HKEY_CURRENT_USER, kBase + below); }
Names SubKeys(const std::string& at = "") { return SubKeyNames(HKEY_CURRENT_USER, kBase + at); }

void Clean() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(root, kBase);
}

class RegistryScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
};

// ForceRemove empties a key first; Delete takes a key; neither touches a CLSID or TypeLib key.
TEST_F(RegistryScriptTest, WritesEveryTypeQuotingAndPlaceholderAndReplacesKeys) {
  for (const char* key : {"\\Fresh\\Old", "\\Gone\\Old", "\\CLSID\\Other", "\\TypeLib\\Other"}) {
    SetStringValue(HKEY_CURRENT_USER, kBase + key, "", "");
  }
  ASSERT_EQ(
      RunScript(Under("'It''s' = s 'a %% b' { Val 'Path' = S '%module%' Val Bytes = b 0aFF\r\n"
                      "Val Empty = B '' val Number = d 4294967295 val Word = D 12x }\r\n"
                      "ForceRemove Fresh { New } Delete Gone = s 'x'\r\n"
                      "ForceRemove CLSID { Mine } Delete TYPELIB") +
                "HKEY_LOCAL_MACHINE { Software { KorvatTests = s 'machine' } }"),
      kScriptOk);
  const std::string key = kBase + "\\It's";
  EXPECT_EQ(Tree("\\It's"),
            (Names{key, key + "|(default)=REG_SZ:a % b", key + "|Bytes=REG_BINARY:0AFF",
                   key + "|Empty=REG_BINARY:", key + "|Number=REG_DWORD:4294967295",
                   key + "|Path=REG_SZ:C:\\It's\\Korvat.dll", key + "|Word=REG_DWORD:0"}));
  EXPECT_EQ(ReadStringValue(HKEY_LOCAL_MACHINE, kBase, ""), "machine");
  EXPECT_EQ(SubKeys(), (Names{"CLSID", "Fresh", "It's", "TypeLib"}));
  EXPECT_EQ(SubKeys("\\Fresh"), Names{"New"});
  EXPECT_EQ(SubKeys("\\CLSID"), (Names{"Mine", "Other"}));
}

TEST_F(RegistryScriptTest, EveryFailureIsReported) {
  const std::string long_text(RegistryScript::kMaxToken + 1, 'x');
  std::string deep = "A", closing;  // tokens stand apart: "}}" would be one
  for (int i = 0; i < RegistryScript::kMaxNesting; ++i) deep += " { A", closing += " }";
  deep += closing;
  for (std::string script :
       {std::string("HKXX { }"), std::string("HKCU Software { }"),
        std::string("HKCU { Software { KorvatTests { K"), Under(deep),
        Under("K = s '" + long_text + "'"), Under("K = s '%" + std::string(31, 'p') + "%'"),
        Under("K = q 'x'"), Under("K { Val V s 'x' }"), Under("K = s 'x"), Under("K = s '%MODULE"),
        Under("K\\Sub"), Under("''"), Under("K { Val V = s 'x' { Sub } }"),
        Under("Delete K { Sub }")}) {
    EXPECT_EQ(RunScript(script), kSyntax) << script.substr(0, 200);
  }
  // A name too long for any replacement; odd binary text; the longest token.
  EXPECT_EQ(RunScript(Under("K = s '%" + std::string(32, 'p') + "%'")), kScriptFail);
  EXPECT_EQ(RunScript(Under("K = b 0a1")), kScriptFail);
  EXPECT_EQ(RunScript(Under("K = s '" + long_text.substr(1) + "'")), kScriptOk);
  EXPECT_EQ(RunScript(Under("K = s 'x'") + std::string(RegistryScript::kMaxText, ' ')),
            kScriptOutOfMemory);
  // Removal walks keys that are there no deeper than registering would.
  std::string keys = kBase;
  for (int i = 0; i < RegistryScript::kMaxNesting; ++i) keys += "\\A";
  SetStringValue(HKEY_CURRENT_USER, keys, "", "");
  EXPECT_EQ(RunScript(Under(deep), false), kSyntax);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(LastErrorAsHResult(), E_FAIL);  // never success for a failure
}

TEST_F(RegistryScriptTest, ReadOnlyKeyIsUsedAsItIsAndAFailingBlockIsRolledBack) {
  ScopedReadOnlyKey locked(HKEY_CURRENT_USER, kBase + "\\Locked");
  ASSERT_TRUE(locked.active());
  const Names before = Tree("\\Locked");
  EXPECT_EQ(RunScript(Under("Locked = s 'no' { Val V = s 'no' ReadOnlyKeep }")), kScriptOk);
  EXPECT_EQ(Tree("\\Locked"), before);
  // The registry refuses key names longer than 255 characters.
  EXPECT_EQ(RunScript(Under("Before = s 'kept'") +
                      Under("Made = s 'x' { Val V = s 'x' } '" + std::string(300, 'n') + "'")),
            kSyntax);
  EXPECT_EQ(SubKeys(), (Names{"Before", "Locked"}));
}

TEST_F(RegistryScriptTest, UnregisterKeepsProtectedAndSharedKeys) {
  const std::string script = Under(
      "NoRemove Kept { Val V = s 'x' Child = s 'x' } After\r\n"
      "Plain { Val V = s 'x' Val W = d 1 } Shared { Val V = s 'x' Mine }\r\n"
      "Missing { NoRemove Deeper { Val V = s 'x' } }");
  ASSERT_EQ(RunScript(script), kScriptOk);
  SetStringValue(HKEY_CURRENT_USER, kBase + "\\Shared\\Other", "", "");
  SetStringValue(HKEY_CURRENT_USER, kBase + "\\Plain", "Foreign", "x");
  DeleteKeyTree(HKEY_CURRENT_USER, kBase + "\\Missing");

  ASSERT_EQ(RunScript(script, false), kScriptOk);
  // NoRemove protects only the key it names; the script's values go from keys that stay, too.
  EXPECT_EQ(SubKeys(), (Names{"Kept", "Shared"}));
  EXPECT_EQ(Tree("\\Shared"), (Names{kBase + "\\Shared", kBase + "\\Shared\\Other",
                                     kBase + "\\Shared\\Other|(default)=REG_SZ:"}));
  EXPECT_EQ(Tree("\\Kept"), Names{kBase + "\\Kept"});
}

}  // namespace
