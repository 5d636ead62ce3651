// The COM server: the class object and instances handed out by the built
// module's exports, the unload rule, and the server's self-registration
// with its type library (the interface and the class in it).
#include <gtest/gtest.h>
#include <ole2.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/module_state.h"
#include "core/server_module.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "platform/proc_address.h"
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
struct CountingOuter : IUnknown {
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

// A copy of the module in a temporary folder, loaded, and the registry keys
// that its registration writes cleared before and after.
class ComServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    folder_.CopyFromBin("Korvat.dll");
    module_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
    ASSERT_NE(module_.Get(), nullptr);
    get_class_object_ = GetProcAs<GetClassObjectFn>(module_.Get(), "DllGetClassObject");
    can_unload_now_ = GetProcAs<CanUnloadNowFn>(module_.Get(), "DllCanUnloadNow");
    ASSERT_NE(get_class_object_, nullptr);
    ASSERT_NE(can_unload_now_, nullptr);
  }
  void TearDown() override {
    g_serverModule.Term();
    ModuleInstance = nullptr;
    module_.Reset();
    Clean();
  }
  static void Clean() {
    for (const std::string& key :
         {std::string("Korvat.KorvatExec.1"), std::string("Korvat.KorvatExec"), kClassKey,
          kTypeLibKey, std::string("Interface\\{9EC74B0D-C5A5-4620-808A-29443B79D9A3}")}) {
      DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    }
  }
  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(
        get_class_object_(CLSID_KorvatExec, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    return factory;
  }
  TempFolder folder_;
  ScopedLibrary module_;
  GetClassObjectFn get_class_object_ = nullptr;
  CanUnloadNowFn can_unload_now_ = nullptr;
};

TEST_F(ComServerTest, ClassObjectIsSharedAndOnlyClientReferencesAndLocksHoldTheModule) {
  void* object = this;
  EXPECT_EQ(get_class_object_(IID_IUnknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IClassFactory, nullptr), E_POINTER);
  object = this;
  EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(can_unload_now_(), S_OK);

  IClassFactory* first = Factory();
  IClassFactory* second = Factory();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  first->Release();
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  second->Release();
  EXPECT_EQ(can_unload_now_(), S_OK);

  first = Factory();
  EXPECT_EQ(first->LockServer(TRUE), S_OK);
  EXPECT_EQ(first->LockServer(TRUE), S_OK);
  EXPECT_EQ(first->LockServer(FALSE), S_OK);
  first->Release();
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  first = Factory();
  first->LockServer(FALSE);
  first->Release();
  EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(ComServerTest, EightThreadsAskingAtOnceGetOneClassObject) {
  // Each round asks a freshly loaded module, whose class object is not made yet.
  for (int round = 0; round < 20; ++round) {
    module_.Reset();
    module_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
    get_class_object_ = GetProcAs<GetClassObjectFn>(module_.Get(), "DllGetClassObject");
    can_unload_now_ = GetProcAs<CanUnloadNowFn>(module_.Get(), "DllCanUnloadNow");
    IClassFactory* got[8] = {};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (IClassFactory*& factory : got) {
      threads.emplace_back([&] {
        for (++ready; ready < 8;) {
        }
        get_class_object_(CLSID_KorvatExec, IID_IClassFactory, reinterpret_cast<void**>(&factory));
      });
    }
    for (std::thread& thread : threads) thread.join();
    ASSERT_NE(got[0], nullptr);
    for (IClassFactory* factory : got) EXPECT_EQ(factory, got[0]) << "round " << round;
    for (IClassFactory* factory : got) {
      if (factory != nullptr) factory->Release();
    }
    EXPECT_EQ(can_unload_now_(), S_OK);  // the cached reference does not hold the module
  }
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
  // Every interface of the table leads back to the same IUnknown.
  for (const IID* iid : {&IID_IOleCommandTarget, &IID_IObjectWithSite, &IID_IKorvatExec}) {
    IUnknown *other = nullptr, *unknown = nullptr;
    ASSERT_EQ(exec->QueryInterface(*iid, reinterpret_cast<void**>(&other)), S_OK);
    EXPECT_EQ(other->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown, exec);
    unknown->Release();
    other->Release();
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

// RegisterServer and UnregisterServer, run by the module code linked into
// this program for the copy of the module.
TEST_F(ComServerTest, RegistersTheClassAndTheTypeLibraryWithItsFallbacks) {
  ModuleInstance = module_.Get();
  g_serverModule.Init(g_classTable, module_.Get());
  ASSERT_EQ(g_serverModule.RegisterServer(TRUE), S_OK);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
  // The key names the library's identifier, version 1.0 and language 0x409.
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, kTypeLibFile, ""), folder_.File("Korvat.dll"));
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0", ""),
            "Korvat 1.0 Type Library");
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\HELPDIR", ""),
            folder_.path() + "\\");
  for (const GUID* guid : {&IID_IKorvatExec, &CLSID_KorvatExec}) {
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(LoadRegTypeLib(LIBID_KORVATLib, 1, 0, 0x409, library.Put()), S_OK);
    EXPECT_EQ(library->GetTypeInfoOfGuid(*guid, info.Put()), S_OK);
  }

  // Every caller leaves the type library registered.
  EXPECT_EQ(g_serverModule.UnregisterServer(FALSE), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Korvat.KorvatExec"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibFile));
  EXPECT_EQ(g_serverModule.UnregisterServer(TRUE), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibFile));

  // A module without registry scripts or a type library: a failing script
  // stops before the type library; as the library's file, its ".tlb" serves.
  folder_.CopyFromBin("zrtpres.dll", "Other.dll");
  ScopedLibrary other(LoadLibraryA(folder_.File("Other.dll").c_str()));
  ASSERT_TRUE(other);
  ModuleInstance = other.Get();
  EXPECT_EQ(g_serverModule.RegisterServer(TRUE), HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));

  ModuleInstance = module_.Get();
  g_serverModule.m_typeLibModule = other.Get();
  ASSERT_TRUE(CopyFileA(BinFile("Korvat.tlb").c_str(), folder_.File("Other.tlb").c_str(), FALSE));
  ASSERT_EQ(g_serverModule.RegisterServer(TRUE), S_OK);
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, kTypeLibFile, ""), folder_.File("Other.tlb"));
}

}  // namespace
