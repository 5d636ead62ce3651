// The built module loaded from a temporary folder, with its option and login
// exports, and the registration keys its writers own, as expected trees.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/test_support.h"

namespace korvat_test {

// The option flags that name the three registration writers.
constexpr DWORD kOffice = 0x2, kButton = 0x4, kRightClick = 0x8;

class FeatureModule {
 public:
  // `with_resources`: zrtpres.dll beside the module; `trace`: its trace log on.
  explicit FeatureModule(bool with_resources = true, bool trace = false);
  // Unloads the module and every load of zrtpres.dll that it left behind.
  ~FeatureModule();

  const TempFolder& folder() const { return folder_; }
  HMODULE module() const { return module_.Get(); }
  // The messages of the trace log (the text after the time), banners left out.
  std::vector<std::string> TraceMessages() const;

  int(WINAPI* SetOption)(DWORD) = nullptr;
  int(WINAPI* GetOption)(DWORD*) = nullptr;
  int(WINAPI* RemoveAddIn)(DWORD) = nullptr;
  int(WINAPI* SetLoginInfo)(const char*, const char*) = nullptr;
  int(WINAPI* GetLoginInfo)(char*, char*) = nullptr;

 private:
  TempFolder folder_;
  std::unique_ptr<ScopedTraceSwitch> trace_;
  ScopedLibrary module_;
};

// One top key a writer owns and its whole tree, in DumpTree's form.
struct ExpectedKey {
  std::string path;
  std::vector<std::string> tree;
};
// A tree from lines relative to its top key, "\\sub\\key|name=data": an empty
// name is the default value, data "#3" is REG_DWORD 3, other data REG_SZ.
// Every key on a line's path belongs to the tree.
ExpectedKey Tree(const std::string& top, const std::vector<std::string>& lines);

// The keys of one writer (a flag above) for a module in `folder`; the
// button's status text comes from zrtpres.dll, so is empty without it.
std::vector<ExpectedKey> WriterKeys(DWORD writer, const std::string& folder, bool xp = false,
                                    const std::string& status_text = "");

// Keys that tell whether each registration is present.
extern const char kButtonKey[], kOfficeWordAddInKey[], kRightMenuHandlerKey[];

// Deletes every key of the three writers from the current user's hive.
void DeleteRegistrationKeys();

// The settings key; "<missing>" is what ReadStringValue gives for no value.
extern const char kSettingsPath[], kMissing[];
// Deletes the settings key of both hives and every registration key.
void CleanFeatureKeys();
// A value of the user's settings key; storing kMissing makes only the key.
std::string UserSetting(const char* name);
void StoreUserSetting(const char* name, const std::string& value);

}  // namespace korvat_test
