// The registry script interpreter against the real registry: the module's
// two scripts, both passes, the rollback and every failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/module_state.h"
#include "harness/test_support.h"
#include "registration/registry_resource.h"
#include "registration/registry_script.h"
#include "registration/win32_key_store.h"
#include "resources/resource_ids.h"

using namespace korvat_test;

namespace {

const char kBase[] = "Software\\KorvatTests";
const std::string kClassKey = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
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

std::vector<std::string> Tree(HKEY root = HKEY_CURRENT_USER, const std::string& path = kBase) {
  return DumpTree(root, path);
}

class RegistryScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    DeleteKeyTree(HKEY_CURRENT_USER, kBase);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kBase);
  }
};

TEST_F(RegistryScriptTest, WritesEveryTypeQuotingAndPlaceholder) {
  std::string script = Under(
      "'It''s' = s 'a %% b' { Val 'Path' = S '%module%' Val Bytes = b 0aFF Val Empty = B ''\r\n"
      "  val Number = d 4294967295 val Word = D 12x }") +
      "HKEY_LOCAL_MACHINE { Software { KorvatTests = s 'machine' } }";
  ASSERT_EQ(RunScript(script, true), kScriptOk);
  std::string key = std::string(kBase) + "\\It's";
  EXPECT_EQ(Tree(), (std::vector<std::string>{
                        kBase, key, key + "|(default)=REG_SZ:a % b", key + "|Bytes=REG_BINARY:0AFF",
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
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunScript(c.script, true), c.expected) << c.script.substr(0, 200);
    Clean();
  }
  // The longest token there may be.
  EXPECT_EQ(RunScript(Under("K = s '" + long_text.substr(1) + "'"), true), kScriptOk);
}

TEST_F(RegistryScriptTest, ReadOnlyKeyIsUsedAsItIs) {
  ScopedReadOnlyKey locked(HKEY_CURRENT_USER, std::string(kBase) + "\\Locked");
  ASSERT_TRUE(locked.active());
  const std::string key = std::string(kBase) + "\\Locked";
  const std::vector<std::string> before = Tree(HKEY_CURRENT_USER, key);
  EXPECT_EQ(RunScript(Under("Locked = s 'not stored' { Val V = s 'not stored' ReadOnlyKeep }"),
                      true),
            kScriptOk);
  EXPECT_EQ(Tree(HKEY_CURRENT_USER, key), before);
}

TEST_F(RegistryScriptTest, KeyThatCannotBeCreatedRollsItsBlockBack) {
  // The registry refuses key names longer than 255 characters.
  std::string script = Under("Before = s 'kept'") +
                       Under("Made = s 'x' { Val V = s 'x' } '" + std::string(300, 'n') + "'");
  EXPECT_EQ(RunScript(script, true), kSyntax);
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, kBase), std::vector<std::string>{"Before"});
}

TEST_F(RegistryScriptTest, ForceRemoveAndDeleteSpareClsidAndTypeLib) {
  for (const char* key : {"\\Fresh\\Old", "\\Gone\\Old", "\\CLSID\\Other", "\\TypeLib\\Other"}) {
    SetStringValue(HKEY_CURRENT_USER, kBase + std::string(key), "", "");
  }
  ASSERT_EQ(RunScript(Under("ForceRemove Fresh { New } Delete Gone = s 'x'\r\n"
                            "ForceRemove CLSID { Mine } Delete TYPELIB"),
                      true),
            kScriptOk);
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, kBase),
            (std::vector<std::string>{"CLSID", "Fresh", "TypeLib"}));
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, kBase + std::string("\\Fresh")),
            std::vector<std::string>{"New"});
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, kBase + std::string("\\CLSID")),
            (std::vector<std::string>{"Mine", "Other"}));
}

TEST_F(RegistryScriptTest, UnregisterKeepsProtectedAndSharedKeys) {
  std::string script = Under(
      "NoRemove Kept { Child = s 'x' } After\r\n"
      "Plain { Val V = s 'x' Val W = d 1 } Shared { Mine }\r\n"
      "Missing { NoRemove Deeper { Val V = s 'x' } }");
  ASSERT_EQ(RunScript(script, true), kScriptOk);
  SetStringValue(HKEY_CURRENT_USER, kBase + std::string("\\Shared\\Other"), "", "");
  SetStringValue(HKEY_CURRENT_USER, kBase + std::string("\\Plain"), "Foreign", "x");
  DeleteKeyTree(HKEY_CURRENT_USER, kBase + std::string("\\Missing"));

  ASSERT_EQ(RunScript(script, false), kScriptOk);
  // NoRemove protects only the key it stands before.
  std::vector<std::string> expected = {"Kept", "Shared"};
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, kBase), expected);
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER, kBase + std::string("\\Shared")),
            std::vector<std::string>{"Other"});
  EXPECT_TRUE(SubKeyNames(HKEY_CURRENT_USER, kBase + std::string("\\Kept")).empty());

  // Again, with the scripted keys gone: nothing changes.
  std::vector<std::string> before = Tree();
  EXPECT_EQ(RunScript(script, false), kScriptOk);
  EXPECT_EQ(Tree(), before);
}

// The module's own scripts, run from a copy of the module in a folder whose
// name holds a single quote.
class RegistryResourceTest : public RegistryScriptTest {
 protected:
  void SetUp() override {
    RegistryScriptTest::SetUp();
    CleanScripted();
    dir_ = folder_.File("it's");
    CreateDirectoryA(dir_.c_str(), nullptr);
    CopyFileA(BinFile("Korvat.dll").c_str(), (dir_ + "\\Korvat.dll").c_str(), FALSE);
    module_ = LoadLibraryA((dir_ + "\\Korvat.dll").c_str());
    ASSERT_NE(module_, nullptr);
    ModuleInstance = module_;
  }
  void TearDown() override {
    CleanScripted();
    ModuleInstance = nullptr;
    if (module_ != nullptr) FreeLibrary(module_);
    RegistryScriptTest::TearDown();
  }
  static void CleanScripted() {
    for (const char* key : {"Korvat.KorvatExec.1", "Korvat.KorvatExec"}) {
      DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    }
    DeleteKeyTree(HKEY_CLASSES_ROOT, kClassKey);
    DeleteKeyTree(HKEY_CURRENT_USER, kButtonKey);
  }
  std::vector<std::string> ClassTrees() {
    std::vector<std::string> all;
    for (const std::string& key : {std::string("Korvat.KorvatExec.1"),
                                   std::string("Korvat.KorvatExec"), kClassKey}) {
      std::vector<std::string> tree = DumpTree(HKEY_CLASSES_ROOT, key);
      all.insert(all.end(), tree.begin(), tree.end());
    }
    return all;
  }
  TempFolder folder_;
  std::string dir_;
  HMODULE module_ = nullptr;
};

TEST_F(RegistryResourceTest, ClassScriptRegistersTwiceAndUnregistersKeepingClsid) {
  const std::string guid = "{80947ADC-151D-490B-87F1-7C8CE1B46220}";
  const std::string path = dir_ + "\\Korvat.dll";
  const std::vector<std::string> expected = {
      "Korvat.KorvatExec.1", "Korvat.KorvatExec.1\\CLSID",
      "Korvat.KorvatExec.1\\CLSID|(default)=REG_SZ:" + guid,
      "Korvat.KorvatExec.1|(default)=REG_SZ:Tapvo Meeting",
      "Korvat.KorvatExec", "Korvat.KorvatExec\\CLSID",
      "Korvat.KorvatExec\\CLSID|(default)=REG_SZ:" + guid, "Korvat.KorvatExec\\CurVer",
      "Korvat.KorvatExec\\CurVer|(default)=REG_SZ:Korvat.KorvatExec.1",
      "Korvat.KorvatExec|(default)=REG_SZ:Tapvo Meeting",
      kClassKey, kClassKey + "\\InprocServer32",
      kClassKey + "\\InprocServer32|(default)=REG_SZ:" + path,
      kClassKey + "\\InprocServer32|ThreadingModel=REG_SZ:Apartment",
      kClassKey + "\\ProgID", kClassKey + "\\ProgID|(default)=REG_SZ:Korvat.KorvatExec.1",
      kClassKey + "\\TypeLib",
      kClassKey + "\\TypeLib|(default)=REG_SZ:{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}",
      kClassKey + "\\VersionIndependentProgID",
      kClassKey + "\\VersionIndependentProgID|(default)=REG_SZ:Korvat.KorvatExec",
      kClassKey + "|(default)=REG_SZ:Tapvo Meeting"};
  // A stale sub-key of the class key goes: the class key is written afresh.
  SetStringValue(HKEY_CLASSES_ROOT, kClassKey + "\\Stale", "", "");
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(RunRegistryResource(IDR_KORVATEXEC, true), S_OK);
    EXPECT_EQ(ClassTrees(), expected) << run;
  }
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(RunRegistryResource(IDR_KORVATEXEC, false), S_OK);
    EXPECT_TRUE(ClassTrees().empty()) << run;
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
  }
}

TEST_F(RegistryResourceTest, ButtonScriptRegistersTwiceAndUnregistersKeepingExtensions) {
  const std::string path = dir_ + "\\Korvat.dll";
  const std::string start = "Start Nuvix Tapvo Meeting";
  const std::vector<std::string> expected = {
      kButtonKey,
      kButtonKey + "|ButtonText=REG_SZ:" + start,
      kButtonKey + "|CLSID=REG_SZ:{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}",
      kButtonKey + "|ClsidExtension=REG_SZ:{80947ADC-151D-490B-87F1-7C8CE1B46220}",
      kButtonKey + "|Default Visible=REG_SZ:Yes",
      kButtonKey + "|HotIcon=REG_SZ:" + path + ",203",
      kButtonKey + "|Icon=REG_SZ:" + path + ",204",
      kButtonKey + "|MenuStatusBar=REG_SZ:This will start Nuvix Tapvo Meeting",
      kButtonKey + "|MenuText=REG_SZ:" + start};
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(RunRegistryResource(IDR_TOOLBAR_BUTTON, true), S_OK);
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kButtonKey), expected) << run;
  }
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(RunRegistryResource(IDR_TOOLBAR_BUTTON, false), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER,
                          "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions"));
  }
}

TEST_F(RegistryResourceTest, MissingResourceReportsThePlatformError) {
  EXPECT_EQ(RunRegistryResource(999, true), HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(LastErrorAsHResult(), E_FAIL);  // never success for a failure
}

}  // namespace
