// The built module loaded from a temporary folder, with its option and login
// exports, and the registration keys its writers own, as expected trees.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/test_support.h"

namespace korvat_test {

class FeatureModule {
 public:
  struct Options {
    bool with_resources = true;  // zrtpres.dll beside the module
    bool trace = false;          // the module's trace log switched on
  };
  FeatureModule() : FeatureModule(Options()) {}
  explicit FeatureModule(Options options);
  // Unloads the module and every load of zrtpres.dll that it left behind.
  ~FeatureModule();

  const TempFolder& folder() const { return folder_; }
  std::string ModulePath() const { return folder_.File("Korvat.dll"); }
  // The messages of the trace log (the text after the time), banners left out.
  std::vector<std::string> TraceMessages() const;

  int (WINAPI* SetOption)(DWORD) = nullptr;
  int (WINAPI* GetOption)(DWORD*) = nullptr;
  int (WINAPI* RemoveAddIn)(DWORD) = nullptr;
  int (WINAPI* SetLoginInfo)(const char*, const char*) = nullptr;
  int (WINAPI* GetLoginInfo)(char*, char*) = nullptr;

 private:
  TempFolder folder_;
  std::unique_ptr<ScopedTraceSwitch> trace_;
  std::unique_ptr<LoadedLibrary> module_;
};

// One top key a writer owns and its whole tree, in DumpTree's form.
struct ExpectedKey {
  std::string path;
  std::vector<std::string> tree;
};

// The browser button and KorvatExec class keys for a module in `folder`.
std::vector<ExpectedKey> ButtonKeys(const std::string& folder, bool xp,
                                    const std::string& status_text);
std::vector<ExpectedKey> OfficeKeys(const std::string& folder);
std::vector<ExpectedKey> RightMenuKeys(const std::string& folder);

// Keys that tell whether each registration is present.
extern const char kButtonKey[];
extern const char kOfficeWordAddInKey[];
extern const char kRightMenuHandlerKey[];

// Deletes every key of the three writers from the current user's hive.
void DeleteRegistrationKeys();

// The settings key; "<missing>" is what ReadStringValue gives for no value.
extern const char kSettingsPath[];
extern const char kMissing[];
// Deletes the settings key of both hives and every registration key.
void CleanFeatureKeys();
// A value of the user's settings key; storing kMissing makes only the key.
std::string UserSetting(const char* name);
void StoreUserSetting(const char* name, const std::string& value);

}  // namespace korvat_test
