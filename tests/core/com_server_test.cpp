// The COM server: the class object and instances handed out by the built
// module's exports, the unload rule, and the server's self-registration
// with its type library.
#include <gtest/gtest.h>
#include <ole2.h>

#include <string>

#include "core/module_state.h"
#include "core/server_module.h"
#include "harness/test_support.h"
#include "toolbar/korvat_exec.h"

using namespace korvat_test;

namespace {

const std::string kClassKey = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const std::string kTypeLibKey = "TypeLib\\{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}";
const std::string kTypeLibFile =
    kTypeLibKey + (sizeof(void*) == 8 ? "\\1.0\\409\\win64" : "\\1.0\\409\\win32");

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

// An outer object that counts what the aggregated object forwards to it.
class CountingOuter : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    ++queries;
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  int queries = 0;
  ULONG references = 1;
};

class ComServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.CopyFromBin("Korvat.dll");
    module_ = LoadLibraryA(folder_.File("Korvat.dll").c_str());
    ASSERT_NE(module_, nullptr);
    get_class_object_ =
        reinterpret_cast<GetClassObjectFn>(GetProcAddress(module_, "DllGetClassObject"));
    can_unload_now_ = reinterpret_cast<CanUnloadNowFn>(GetProcAddress(module_, "DllCanUnloadNow"));
    ASSERT_NE(get_class_object_, nullptr);
    ASSERT_NE(can_unload_now_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory)),
              S_OK);
    return factory;
  }
  TempFolder folder_;
  HMODULE module_ = nullptr;
  GetClassObjectFn get_class_object_ = nullptr;
  CanUnloadNowFn can_unload_now_ = nullptr;
};

TEST_F(ComServerTest, ClassObjectIsSharedAndOnlyClientReferencesHoldTheModule) {
  EXPECT_EQ(can_unload_now_(), S_OK);
  IClassFactory* first = Factory();
  IClassFactory* second = Factory();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  first->Release();
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  second->Release();
  EXPECT_EQ(can_unload_now_(), S_OK);

  IClassFactory* factory = Factory();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  factory = Factory();
  factory->LockServer(FALSE);
  factory->Release();
  EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(ComServerTest, ClassLookupFailures) {
  void* object = this;
  EXPECT_EQ(get_class_object_(IID_IUnknown, IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IClassFactory, nullptr), E_POINTER);
  object = this;
  EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(ComServerTest, InstancesAnswerTheirTableAndHoldTheModule) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IKorvatExec, nullptr), E_POINTER);
  IUnknown* exec = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IKorvatExec, reinterpret_cast<void**>(&exec)),
            S_OK);
  factory->Release();
  EXPECT_EQ(can_unload_now_(), S_FALSE);

  IUnknown* unknown = nullptr;
  ASSERT_EQ(exec->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown, exec);
  unknown->Release();
  for (const IID* iid : {&IID_IOleCommandTarget, &IID_IObjectWithSite}) {
    IUnknown* other = nullptr;
    EXPECT_EQ(exec->QueryInterface(*iid, reinterpret_cast<void**>(&other)), S_OK);
    if (other != nullptr) other->Release();
  }
  void* none = this;
  EXPECT_EQ(exec->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(exec->QueryInterface(IID_IKorvatExec, nullptr), E_POINTER);
  EXPECT_EQ(exec->Release(), 0u);
  EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(ComServerTest, AggregatedInstanceForwardsToItsOuterObject) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  CountingOuter outer;
  void* object = this;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IKorvatExec, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  IUnknown* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  factory->Release();

  IUnknown* exec = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IKorvatExec, reinterpret_cast<void**>(&exec)), S_OK);
  EXPECT_NE(exec, inner);
  EXPECT_EQ(outer.references, 2u);  // the contained object's references are the outer's
  EXPECT_EQ(exec->QueryInterface(IID_IUnknown, &object), E_NOINTERFACE);
  EXPECT_EQ(outer.queries, 1);
  exec->Release();
  EXPECT_EQ(outer.references, 1u);
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(ComServerTest, TypeLibraryDescribesTheClassAndItsInterface) {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(module_, &path[0], MAX_PATH));
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLib(path.c_str(), &library), S_OK);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_KORVATLib));
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  EXPECT_EQ(attributes->lcid, 0x409u);
  library->ReleaseTLibAttr(attributes);

  struct Item {
    const GUID* guid;  // null: the library itself
    TYPEKIND kind;
    const wchar_t* name;
    const wchar_t* help;
  } items[] = {
      {nullptr, TKIND_MAX, L"KORVATLib", L"Korvat 1.0 Type Library"},
      {&IID_IKorvatExec, TKIND_INTERFACE, L"IKorvatExec", L"IKorvatExec Interface"},
      {&CLSID_KorvatExec, TKIND_COCLASS, L"KorvatExec", L"KorvatExec Class"},
  };
  for (const Item& item : items) {
    BSTR name = nullptr, help = nullptr;
    if (item.guid == nullptr) {
      ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    } else {
      ITypeInfo* info = nullptr;
      ASSERT_EQ(library->GetTypeInfoOfGuid(*item.guid, &info), S_OK) << item.name;
      TYPEATTR* type = nullptr;
      ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
      EXPECT_EQ(type->typekind, item.kind);
      if (item.kind == TKIND_INTERFACE) EXPECT_EQ(type->cFuncs, 0);
      if (item.kind == TKIND_COCLASS) EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
      info->ReleaseTypeAttr(type);
      ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
      info->Release();
    }
    EXPECT_STREQ(name, item.name);
    EXPECT_STREQ(help, item.help);
    SysFreeString(name);
    SysFreeString(help);
  }
  library->Release();
}

// RegisterServer and UnregisterServer, run by the module code linked into
// this program for a copy of the module in a temporary folder.
class ServerRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    folder_.CopyFromBin("Korvat.dll");
    module_ = LoadLibraryA(folder_.File("Korvat.dll").c_str());
    ASSERT_NE(module_, nullptr);
    ModuleInstance = module_;
    g_ServerModule.Init(g_ClassTable, module_);
  }
  void TearDown() override {
    g_ServerModule.Term();
    ModuleInstance = nullptr;
    for (HMODULE module : {module_, other_}) {
      if (module != nullptr) FreeLibrary(module);
    }
    Clean();
  }
  static void Clean() {
    for (const char* key : {"Korvat.KorvatExec.1", "Korvat.KorvatExec"}) {
      DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    }
    DeleteKeyTree(HKEY_CLASSES_ROOT, kClassKey);
    DeleteKeyTree(HKEY_CLASSES_ROOT, kTypeLibKey);
    DeleteKeyTree(HKEY_CLASSES_ROOT, "Interface\\{9EC74B0D-C5A5-4620-808A-29443B79D9A3}");
  }
  // A module without registry scripts or a type library.
  HMODULE LoadOther() {
    folder_.CopyFromBin("zrtpres.dll", "Other.dll");
    other_ = LoadLibraryA(folder_.File("Other.dll").c_str());
    return other_;
  }
  TempFolder folder_;
  HMODULE module_ = nullptr;
  HMODULE other_ = nullptr;
};

TEST_F(ServerRegistrationTest, RegistersTheClassAndTheTypeLibrary) {
  ASSERT_EQ(g_ServerModule.RegisterServer(TRUE), S_OK);
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", ""),
            folder_.File("Korvat.dll"));
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, kTypeLibFile, ""), folder_.File("Korvat.dll"));
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\HELPDIR", ""),
            folder_.path() + "\\");

  // Every caller leaves the type library registered.
  EXPECT_EQ(g_ServerModule.UnregisterServer(FALSE), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Korvat.KorvatExec"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibFile));
  EXPECT_EQ(g_ServerModule.UnregisterServer(TRUE), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibFile));
}

TEST_F(ServerRegistrationTest, TypeLibraryFallsBackToTheTlbFile) {
  ASSERT_NE(LoadOther(), nullptr);
  CopyFileA(BinFile("Korvat.tlb").c_str(), folder_.File("Other.tlb").c_str(), FALSE);
  g_ServerModule.m_hInstTypeLib = other_;
  ASSERT_EQ(g_ServerModule.RegisterServer(TRUE), S_OK);
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, kTypeLibFile, ""), folder_.File("Other.tlb"));
}

TEST_F(ServerRegistrationTest, FailingScriptStopsBeforeTheTypeLibrary) {
  ASSERT_NE(LoadOther(), nullptr);
  ModuleInstance = other_;
  EXPECT_EQ(g_ServerModule.RegisterServer(TRUE), HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
}

}  // namespace
