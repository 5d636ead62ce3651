// Bad input at the module's edges, handed over as its callers hand it: texts
// and numbers given to the exports, and settings values of the wrong type or
// size. Each row names the result and what the settings key holds afterwards.
#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "doubles/client_frame.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "registration/feature_module.h"
#include "toolbar/browser_site_double.h"

using namespace korvat_test;

namespace {

using Strings = std::vector<std::string>;
const char kIntact[] = "<intact>";  // the user's settings key exactly as before
const CLSID kKorvatExec = {
    0x80947ADC, 0x151D, 0x490B, {0x87, 0xF1, 0x7C, 0x8C, 0xE1, 0xB4, 0x62, 0x20}};

std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", value);
  return text;
}

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override { CleanFeatureKeys(); }
  void TearDown() override { CleanFeatureKeys(); }
  template <typename F>
  F Export(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_.module(), name)));
  }
  FeatureModule module_{false};
};

TEST_F(BadInputTest, TextsAndFlagsGivenToTheExports) {
  auto set_login = module_.SetLoginInfo;
  auto get_login = module_.GetLoginInfo;
  auto get_option = module_.GetOption;
  auto set_option = module_.SetOption;
  auto remove_addin = module_.RemoveAddIn;
  auto pre_download =
      Export<int(WINAPI*)(INT_PTR, INT_PTR, INT_PTR, const char*, const char*, const char*)>(
          "AsPreDownload");
  const std::string site(2040, 's'), huge(70000, 'h');
  char out[1024];
  const struct {
    const char* what;
    std::function<int()> call;
    int result;
    const char* value;  // read afterwards from the user's settings key
    std::string after;
  } rows[] = {
      {"login, null site", [&] { return set_login(nullptr, "ann"); }, -1, "", kIntact},
      {"login, null name", [&] { return set_login("x", nullptr); }, -1, "", kIntact},
      {"login, 2041 characters", [&] { return set_login(site.c_str(), "n"); }, -1, "", kIntact},
      {"login, 70000 characters", [&] { return set_login("x", huge.c_str()); }, -1, "", kIntact},
      {"login, 2040 characters", [&] { return set_login(site.c_str(), ""); }, 0, "MeetingPage",
       site + "/start/"},
      {"login, empty texts", [&] { return set_login("", ""); }, 0, "MeetingPage", "/start/"},
      {"get login, null site", [&] { return get_login(nullptr, out); }, -1, "", kIntact},
      {"get login, null name", [&] { return get_login(out, nullptr); }, -1, "", kIntact},
      {"get option, null flags", [&] { return get_option(nullptr); }, -1, "", kIntact},
      // Bits without a meaning are ignored: 0xFFFFFFF0 switches everything off.
      {"set option, unknown bits", [&] { return set_option(0xFFFFFFF0); }, 0, "Option", " "},
      {"remove add-in, unknown bits", [&] { return remove_addin(0xFFFFFFF0); }, 0, "", kIntact},
      {"pre-download, null page", [&] { return pre_download(0, 0, 0, nullptr, nullptr, nullptr); },
       0, "ReturnPage", kMissing},
      {"pre-download, empty page", [&] { return pre_download(0, 0, 0, "", "", ""); }, 0,
       "ReturnPage", kMissing},
      {"pre-download, 70000 characters",
       [&] { return pre_download(0, 0, 0, huge.c_str(), "", ""); }, 0, "ReturnPage", huge},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CleanFeatureKeys();
    StoreUserSetting("MeetingPage", "x/start/seed");
    StoreUserSetting("Option", "ie");
    const Strings before = DumpTree(HKEY_CURRENT_USER, kSettingsPath);
    EXPECT_EQ(row.call(), row.result);
    if (row.after == kIntact) {
      EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsPath), before);
    } else {
      EXPECT_EQ(UserSetting(row.value), row.after);
    }
  }
}

// Stores `bytes` as they stand under the settings key of `hive` ("Logon\\x"
// names a value of the Logon sub-key). No zero follows the data in memory:
// Wine adds one to a REG_SZ that lacks it when the next byte is a zero.
void StoreRaw(HKEY hive, const std::string& name, DWORD type, const std::string& bytes) {
  const size_t slash = name.rfind('\\');
  const std::string key =
      std::string(kSettingsPath) + (slash == std::string::npos ? "" : "\\" + name.substr(0, slash));
  const std::string data = bytes + '#';
  RegSetKeyValueA(hive, key.c_str(), name.substr(slash + 1).c_str(), type, data.data(),
                  static_cast<DWORD>(bytes.size()));
}
std::string Padded(const std::string& text, size_t size) {
  return text + std::string(size - text.size(), '\0');
}

// Values as other programs may leave them: of the wrong type, without their
// terminating zero, exactly a reader's buffer in size and one byte past it.
// The readers do not look at the type; a value that does not fit the buffer
// with a zero after it counts as missing. Readers leave the key as it was.
TEST_F(BadInputTest, StoredValuesOfTheWrongTypeOrSize) {
  const TempFolder& folder = module_.folder();
  folder.CopyFromBin("client_frame.exe");
  auto get_option = module_.GetOption;
  auto get_login = module_.GetLoginInfo;
  auto get_class = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  RunningClientFrame client(folder.File("client_frame.exe"));
  ASSERT_NE(client.window(), nullptr);
  const std::string sent = folder.File("doubles.log");
  enum Probe { kOption, kLogin, kPress };
  // The flags; "site|name" ("#": the name output untouched); the button's
  // result with the page the browser opened, or "sent" to the client.
  auto probe = [&](Probe what) -> std::string {
    if (what == kOption) {
      DWORD flags = 0;
      const int result = get_option(&flags);
      return result != 0 ? std::to_string(result) : Hex(flags);
    }
    if (what == kLogin) {
      std::string site(1024, '#'), name(1024, '#');
      const int result = get_login(&site[0], &name[0]);
      return result != 0 ? std::to_string(result)
                         : site.c_str() + std::string("|") + (name[0] == '#' ? "#" : name.c_str());
    }
    TestSite site;
    ComPtr<IClassFactory> factory;
    ComPtr<IObjectWithSite> object;
    ComPtr<IOleCommandTarget> target;
    if (FAILED(get_class(kKorvatExec, IID_IClassFactory, factory.PutVoid())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IObjectWithSite, object.PutVoid())) ||
        FAILED(object->SetSite(&site)) || FAILED(object.As(IID_IOleCommandTarget, &target))) {
      return "no object";
    }
    std::string outcome = Hex(target->Exec(nullptr, 0, 0, nullptr, nullptr));
    for (const std::string& call : site.browser.calls) {
      outcome += " " + call.substr(0, call.find(" 400C"));  // the address alone
    }
    if (DeleteFileA(sent.c_str())) outcome += " sent";
    return outcome;
  };
  const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
  const std::string dword_1("\1\0\0\0", 4), dword_a("A\0\0\0", 4), names(2039, 'n');
  const std::string too_long = "0x800700EA";  // HRESULT_FROM_WIN32(ERROR_MORE_DATA)
  const struct {
    const char* what;
    HKEY hive;
    const char* name;
    DWORD type;
    std::string bytes;
    Probe probe;
    std::string outcome;
    bool writes = false;  // the reader copies the machine seed into the user's key
  } rows[] = {
      {"RightClick REG_DWORD 1", user, "RightClick", REG_DWORD, dword_1, kOption, "0x00000001"},
      {"RightClick REG_BINARY TRUE", user, "RightClick", REG_BINARY, "TRUE", kOption, "0x00000009"},
      {"Option ie, 260 bytes", user, "Option", REG_SZ, Padded("ie", 260), kOption, "0x00000005"},
      {"Option ie, 261 bytes", user, "Option", REG_SZ, Padded("ie", 261), kOption, "0x00000001"},
      {"Option without a zero", user, "Option", REG_SZ, "iedesktop", kOption, "0x00000005"},
      {"OfficeMenu 260 characters without a zero", user, "OfficeMenu", REG_SZ,
       std::string(260, 't'), kOption, "0x00000001"},
      {"page without a zero", user, "MeetingPage", REG_SZ, "x/start/ann", kLogin, "x|ann"},
      {"page of 2048 bytes", user, "MeetingPage", REG_SZ, Padded("x/start/" + names, 2048), kLogin,
       "x|" + names.substr(0, 1023)},
      {"page of 2048 characters without a zero", user, "MeetingPage", REG_SZ,
       "x/start/" + names + "n", kLogin, "-1"},
      {"page REG_BINARY of 2048 bytes", user, "MeetingPage", REG_BINARY, std::string(2048, 'b'),
       kLogin, "-1"},
      {"SiteName REG_DWORD", user, "SiteName", REG_DWORD, dword_a, kLogin, "A|#"},
      {"UserPrivilege REG_DWORD 1", machine, "UserPrivilege", REG_DWORD, dword_1, kLogin, "|#"},
      {"UserPrivilege 1, 256 bytes", machine, "UserPrivilege", REG_SZ, Padded("1", 256), kLogin,
       "m|ann", true},
      {"UserPrivilege 1, 257 bytes", machine, "UserPrivilege", REG_SZ, Padded("1", 257), kLogin,
       "|#"},
      {"button page of 1023 characters without a zero", user, "MeetingPage", REG_SZ,
       std::string(1023, 'p'), kPress, "0x00000000 " + std::string(1023, 'p')},
      {"button page of 1024 characters without a zero", user, "MeetingPage", REG_SZ,
       std::string(1024, 'p'), kPress, too_long},
      {"button page REG_BINARY of 1024 bytes", user, "MeetingPage", REG_BINARY,
       std::string(1024, 'p'), kPress, too_long},
      {"button page REG_DWORD", user, "MeetingPage", REG_DWORD, dword_a, kPress, "0x00000000 A"},
      {"button page of 1024 bytes", user, "MeetingPage", REG_SZ, Padded("http://h/", 1024), kPress,
       "0x00000000 http://h/"},
      {"button page of 1025 bytes", user, "MeetingPage", REG_SZ, Padded("http://h/", 1025), kPress,
       too_long},
      {"LogonState REG_SZ 1", user, "Logon\\LogonState", REG_SZ, std::string("1", 2), kPress,
       "0x00000000 sent"},
      {"LogonState REG_BINARY of 8 bytes", user, "Logon\\LogonState", REG_BINARY, Padded("\1", 8),
       kPress, "0x00000000 http://h/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CleanFeatureKeys();
    if (row.hive == machine) SetStringValue(machine, kSettingsPath, "MeetingPage", "m/start/ann");
    if (std::strchr(row.name, '\\')) StoreUserSetting("MeetingPage", "http://h/");
    StoreRaw(row.hive, row.name, row.type, row.bytes);
    const Strings before = DumpTree(HKEY_CURRENT_USER, kSettingsPath);
    EXPECT_EQ(probe(row.probe), row.outcome);
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettingsPath) == before, !row.writes);
  }
}

}  // namespace
