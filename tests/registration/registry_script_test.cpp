// The registry script interpreter against the real registry: the module's
// two scripts, both passes, the rollback and every failure.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/module_state.h"
#include "harness/test_support.h"
#include "platform/last_error.h"
#include "registration/registry_resource.h"
#include "registration/registry_script.h"
#include "registration/win32_key_store.h"
#include "resources/resource_ids.h"

using namespace korvat_test;

namespace {

const std::string kBase = "Software\\KorvatTests";
const std::string kClassKey = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const std::string kProgId = "Korvat.KorvatExec";
const std::string kButtonKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
constexpr ScriptResult kSyntax = kScriptSyntaxError;

ScriptResult RunScript(const std::string& text, bool do_register) {
  Win32KeyStore store;
  RegistryScript script(&store);
  script.AddReplacement("Module", "C:\\It''s\\Korvat.dll");
  return script.Run(text.c_str(), do_register);
}

// `body` as the items of HKCU\Software\KorvatTests.
std::string Under(const std::string& body) {
  return "HKCU\r\n{\r\n\tSoftware { KorvatTests {\r\n" + body + "\r\n} }\r\n}\r\n";
}

using Names = std::vector<std::string>;

Names Tree(const std::string& below = "") { return DumpTree(HKEY_CURRENT_USER, kBase + below); }
Names SubKeys(const std::string& below = "") {
  return SubKeyNames(HKEY_CURRENT_USER, kBase + below);
}

class RegistryScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override {
    ModuleInstance = nullptr;
    Clean();
  }
  static void Clean() {
    DeleteKeyTree(HKEY_CURRENT_USER, kBase);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kBase);
    DeleteKeyTree(HKEY_CURRENT_USER, kButtonKey);
    for (const std::string& key : {kProgId + ".1", kProgId, kClassKey}) {
      DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    }
  }
  TempFolder folder_;
};

TEST_F(RegistryScriptTest, WritesEveryTypeQuotingAndPlaceholder) {
  std::string script =
      Under(
          "'It''s' = s 'a %% b' { Val 'Path' = S '%module%' Val Bytes = b 0aFF Val Empty = B ''\r\n"
          "  val Number = d 4294967295 val Word = D 12x }") +
      "HKEY_LOCAL_MACHINE { Software { KorvatTests = s 'machine' } }";
  ASSERT_EQ(RunScript(script, true), kScriptOk);
  std::string key = kBase + "\\It's";
  EXPECT_EQ(Tree(),
            (Names{kBase, key, key + "|(default)=REG_SZ:a % b", key + "|Bytes=REG_BINARY:0AFF",
                   key + "|Empty=REG_BINARY:", key + "|Number=REG_DWORD:4294967295",
                   key + "|Path=REG_SZ:C:\\It's\\Korvat.dll", key + "|Word=REG_DWORD:0"}));
  EXPECT_EQ(ReadStringValue(HKEY_LOCAL_MACHINE, kBase, ""), "machine");
}

TEST_F(RegistryScriptTest, EveryFailureIsReported) {
  const std::string long_text(RegistryScript::kMaxToken + 1, 'x');
  std::string deep = "A";
  for (int i = 0; i < RegistryScript::kMaxNesting; ++i) deep += " { A";
  deep += std::string(RegistryScript::kMaxNesting, '}');
  struct Case {
    std::string script;
    ScriptResult expected;
  } cases[] = {
      {"HKXX { }", kSyntax},
      {"HKCU Software { }", kSyntax},
      {Under("K = q 'x'"), kSyntax},
      {Under("K { Val V s 'x' }"), kSyntax},
      {"HKCU { Software { KorvatTests { K", kSyntax},
      {Under("K = s 'x"), kSyntax},
      {Under("K = s '%MODULE"), kSyntax},
      {Under("K = s '%" + std::string(31, 'p') + "%'"), kSyntax},  // not a replacement
      {Under("K = s '%" + std::string(32, 'p') + "%'"), kScriptFail},
      {Under("K\\Sub"), kSyntax},
      {Under("K = b 0a1"), kScriptFail},
      {Under("K = s '" + long_text + "'"), kSyntax},
      {Under("''"), kSyntax},
      {Under("K { Val V = s 'x' { Sub } }"), kSyntax},
      {Under("Delete K { Sub }"), kSyntax},
      {Under(deep), kSyntax},
      {Under("K = s 'x'") + std::string(RegistryScript::kMaxText, ' '), kScriptOutOfMemory},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunScript(c.script, true), c.expected) << c.script.substr(0, 200);
    Clean();
  }
  // The longest token there may be.
  EXPECT_EQ(RunScript(Under("K = s '" + long_text.substr(1) + "'"), true), kScriptOk);
}

TEST_F(RegistryScriptTest, ReadOnlyKeyIsUsedAsItIs) {
  ScopedReadOnlyKey locked(HKEY_CURRENT_USER, kBase + "\\Locked");
  ASSERT_TRUE(locked.active());
  const Names before = Tree("\\Locked");
  const std::string script = "Locked = s 'not stored' { Val V = s 'not stored' ReadOnlyKeep }";
  EXPECT_EQ(RunScript(Under(script), true), kScriptOk);
  EXPECT_EQ(Tree("\\Locked"), before);
}

TEST_F(RegistryScriptTest, KeyThatCannotBeCreatedRollsItsBlockBack) {
  // The registry refuses key names longer than 255 characters.
  std::string script = Under("Before = s 'kept'") +
                       Under("Made = s 'x' { Val V = s 'x' } '" + std::string(300, 'n') + "'");
  EXPECT_EQ(RunScript(script, true), kSyntax);
  EXPECT_EQ(SubKeys(), Names{"Before"});
}

TEST_F(RegistryScriptTest, ForceRemoveAndDeleteSpareClsidAndTypeLib) {
  for (const char* key : {"\\Fresh\\Old", "\\Gone\\Old", "\\CLSID\\Other", "\\TypeLib\\Other"}) {
    SetStringValue(HKEY_CURRENT_USER, kBase + key, "", "");
  }
  ASSERT_EQ(RunScript(Under("ForceRemove Fresh { New } Delete Gone = s 'x'\r\n"
                            "ForceRemove CLSID { Mine } Delete TYPELIB"),
                      true),
            kScriptOk);
  EXPECT_EQ(SubKeys(), (Names{"CLSID", "Fresh", "TypeLib"}));
  EXPECT_EQ(SubKeys("\\Fresh"), Names{"New"});
  EXPECT_EQ(SubKeys("\\CLSID"), (Names{"Mine", "Other"}));
}

TEST_F(RegistryScriptTest, UnregisterKeepsProtectedAndSharedKeys) {
  std::string script = Under(
      "NoRemove Kept { Val V = s 'x' Child = s 'x' } After\r\n"
      "Plain { Val V = s 'x' Val W = d 1 } Shared { Val V = s 'x' Mine }\r\n"
      "Missing { NoRemove Deeper { Val V = s 'x' } }");
  ASSERT_EQ(RunScript(script, true), kScriptOk);
  SetStringValue(HKEY_CURRENT_USER, kBase + "\\Shared\\Other", "", "");
  SetStringValue(HKEY_CURRENT_USER, kBase + "\\Plain", "Foreign", "x");
  DeleteKeyTree(HKEY_CURRENT_USER, kBase + "\\Missing");

  ASSERT_EQ(RunScript(script, false), kScriptOk);
  // NoRemove protects only the key it stands before.
  EXPECT_EQ(SubKeys(), (Names{"Kept", "Shared"}));
  // The script's values go from the keys that stay, a protected one too.
  EXPECT_EQ(Tree("\\Shared"), (Names{kBase + "\\Shared", kBase + "\\Shared\\Other",
                                     kBase + "\\Shared\\Other|(default)=REG_SZ:"}));
  EXPECT_EQ(Tree("\\Kept"), Names{kBase + "\\Kept"});

  // Again, with the scripted keys gone: nothing changes.
  const Names before = Tree();
  EXPECT_EQ(RunScript(script, false), kScriptOk);
  EXPECT_EQ(Tree(), before);
}

TEST_F(RegistryScriptTest, ModuleScriptsRegisterTwiceAndUnregisterTwiceKeepingSharedKeys) {
  // From a copy of the module in a folder whose name holds a single quote.
  CreateDirectoryA(folder_.File("it's").c_str(), nullptr);
  folder_.CopyFromBin("Korvat.dll", "it's\\Korvat.dll");
  ScopedLibrary module(LoadLibraryA(folder_.File("it's\\Korvat.dll").c_str()));
  ASSERT_TRUE(module);
  ModuleInstance = module.Get();
  const std::string guid = "=REG_SZ:{80947ADC-151D-490B-87F1-7C8CE1B46220}";
  const std::string path = "=REG_SZ:" + folder_.File("it's\\Korvat.dll");
  const std::string title = "|(default)=REG_SZ:Tapvo Meeting";
  const std::string start = "=REG_SZ:Start Nuvix Tapvo Meeting";
  struct Script {
    UINT id;
    HKEY root;
    std::vector<std::string> keys, values;  // every key written holds a value
    std::string kept;
  } scripts[] = {
      {IDR_KORVATEXEC,
       HKEY_CLASSES_ROOT,
       {kProgId + ".1", kProgId, kClassKey},
       {kProgId + ".1" + title, kProgId + ".1\\CLSID|(default)" + guid, kProgId + title,
        kProgId + "\\CLSID|(default)" + guid,
        kProgId + "\\CurVer|(default)=REG_SZ:Korvat.KorvatExec.1", kClassKey + title,
        kClassKey + "\\InprocServer32|(default)" + path,
        kClassKey + "\\InprocServer32|ThreadingModel=REG_SZ:Apartment",
        kClassKey + "\\ProgID|(default)=REG_SZ:Korvat.KorvatExec.1",
        kClassKey + "\\TypeLib|(default)=REG_SZ:{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}",
        kClassKey + "\\VersionIndependentProgID|(default)=REG_SZ:Korvat.KorvatExec"},
       "CLSID"},
      {IDR_TOOLBAR_BUTTON,
       HKEY_CURRENT_USER,
       {kButtonKey},
       {kButtonKey + "|ButtonText" + start,
        kButtonKey + "|CLSID=REG_SZ:{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}",
        kButtonKey + "|ClsidExtension" + guid, kButtonKey + "|Default Visible=REG_SZ:Yes",
        kButtonKey + "|HotIcon" + path + ",203", kButtonKey + "|Icon" + path + ",204",
        kButtonKey + "|MenuStatusBar=REG_SZ:This will start Nuvix Tapvo Meeting",
        kButtonKey + "|MenuText" + start},
       "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions"},
  };
  // A stale sub-key of the class key goes: the class key is written afresh.
  SetStringValue(HKEY_CLASSES_ROOT, kClassKey + "\\Stale", "", "");
  for (const Script& script : scripts) {
    std::set<std::string> expected(script.values.begin(), script.values.end());
    for (const std::string& value : script.values) {
      expected.insert(value.substr(0, value.find('|')));
    }
    for (int run = 0; run < 4; ++run) {
      const bool do_register = run < 2;
      ASSERT_EQ(RunRegistryResource(script.id, do_register), S_OK) << script.id << " " << run;
      std::set<std::string> trees;
      for (const std::string& key : script.keys) {
        for (const std::string& line : DumpTree(script.root, key)) trees.insert(line);
      }
      EXPECT_EQ(trees, do_register ? expected : std::set<std::string>()) << script.id << " " << run;
      EXPECT_TRUE(KeyExists(script.root, script.kept)) << script.id << " " << run;
    }
  }
  EXPECT_EQ(RunRegistryResource(999, true), HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(LastErrorAsHResult(), E_FAIL);  // never success for a failure
}

}  // namespace
