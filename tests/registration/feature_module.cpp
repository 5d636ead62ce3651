#include "registration/feature_module.h"

#include <set>

#include "platform/proc_address.h"

namespace korvat_test {

namespace {

// The ProgID, versioned ProgID and CLSID keys of one COM class; the button's
// own class has no "Programmable" key.
void AddClass(std::vector<ExpectedKey>* keys, const std::string& description,
              const std::string& prog_id, const std::string& clsid, const std::string& server,
              const std::string& type_library, bool programmable = true) {
  const std::string classes = "Software\\Classes\\";
  keys->push_back(Tree(classes + prog_id,
                       {"|=" + description, "\\CLSID|=" + clsid, "\\CurVer|=" + prog_id + ".1"}));
  keys->push_back(Tree(classes + prog_id + ".1", {"|=" + description, "\\CLSID|=" + clsid}));
  std::vector<std::string> lines = {"|=" + description,
                                    "\\InprocServer32|=" + server,
                                    "\\InprocServer32|ThreadingModel=Apartment",
                                    "\\ProgID|=" + prog_id + ".1",
                                    "\\TypeLib|=" + type_library,
                                    "\\VersionIndependentProgID|=" + prog_id};
  if (programmable) lines.push_back("\\Programmable|= ");
  keys->push_back(Tree(classes + "CLSID\\" + clsid, lines));
}

}  // namespace

ExpectedKey Tree(const std::string& top, const std::vector<std::string>& lines) {
  std::set<std::string> tree = {top};
  for (const std::string& line : lines) {
    const size_t bar = line.find('|'), equals = line.find('=', bar);
    const std::string key = top + line.substr(0, bar);
    for (size_t at = top.size(); (at = key.find('\\', at + 1)) != std::string::npos;) {
      tree.insert(key.substr(0, at));
    }
    tree.insert(key);
    const std::string name = line.substr(bar + 1, equals - bar - 1);
    const std::string data = line.substr(equals + 1);
    tree.insert(key + "|" + (name.empty() ? "(default)" : name) + "=" +
                (data[0] == '#' ? "REG_DWORD:" + data.substr(1) : "REG_SZ:" + data));
  }
  return {top, std::vector<std::string>(tree.begin(), tree.end())};
}

const char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kOfficeWordAddInKey[] =
    "Software\\Microsoft\\Office\\Word\\Addins\\NvxMSAI.NuvixWordAddIn";
const char kRightMenuHandlerKey[] =
    "Software\\Classes\\*\\shellex\\ContextMenuHandlers\\NuvixShareMenu";

FeatureModule::FeatureModule(bool with_resources, bool trace) {
  folder_.CopyFromBin("Korvat.dll");
  if (with_resources) folder_.CopyFromBin("zrtpres.dll");
  if (trace) trace_.reset(new ScopedTraceSwitch("Korvat", 1));
  module_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
  SetOption = GetProcAs<decltype(SetOption)>(module_.Get(), "TapvoSetOption");
  GetOption = GetProcAs<decltype(GetOption)>(module_.Get(), "TapvoGetOption");
  RemoveAddIn = GetProcAs<decltype(RemoveAddIn)>(module_.Get(), "TapvoRemoveAddIn");
  SetLoginInfo = GetProcAs<decltype(SetLoginInfo)>(module_.Get(), "TapvoSetLoginInfo");
  GetLoginInfo = GetProcAs<decltype(GetLoginInfo)>(module_.Get(), "TapvoGetLoginInfo");
}

FeatureModule::~FeatureModule() {
  module_.Reset();
  // The button writer leaves zrtpres.dll loaded once per install.
  const std::string resources = folder_.File("zrtpres.dll");
  for (int i = 0; i < 256; ++i) {
    HMODULE loaded = GetModuleHandleA(resources.c_str());
    if (loaded == nullptr || !FreeLibrary(loaded)) break;
  }
}

std::vector<std::string> FeatureModule::TraceMessages() const {
  return korvat_test::TraceMessages(folder_.File("Korvat.log"));
}

std::vector<ExpectedKey> WriterKeys(DWORD writer, const std::string& folder, bool xp,
                                    const std::string& status_text) {
  std::vector<ExpectedKey> keys;
  if (writer == kButton) {
    const std::string clsid = "{80947ADC-151D-490B-87F1-7C8CE1B46220}";
    const std::string icons = "=" + folder + "\\zrtpres.dll,";
    const std::string title = "Start Nuvix Tapvo Meeting";
    keys.push_back(Tree(
        kButtonKey, {"|ButtonText=" + title, "|MenuText=" + title,
                     "|CLSID={1FBA04EE-3024-11d2-8F1F-0000F87ABD16}", "|ClsidExtension=" + clsid,
                     "|Default Visible=Yes", "|HotIcon" + icons + (xp ? "203" : "206"),
                     "|Icon" + icons + (xp ? "204" : "206"), "|MenuStatusBar=" + status_text}));
    AddClass(&keys, "Tapvo Meeting", "Korvat.KorvatExec", clsid, folder + "\\Korvat.dll",
             "{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}", false);
  } else if (writer == kOffice) {
    // Class name, CLSID, IID, application: the description adds " Class", the
    // ProgID prefixes "NvxMSAI.", the interface "I".
    const char* const classes[][4] = {
        {"NuvixWordAddIn", "AEECE333-8900-4915-9697-7A0B4034B3D8",
         "FF859B60-9AE3-4B75-9DDF-0191BF410B53", "Word"},
        {"NuvixWordEvent", "00F500BC-CD5A-4301-AA26-090DE98E047E",
         "FA04E598-5EA4-43DB-BCD3-7E134657B3F4", nullptr},
        {"NvxPPTAddIn", "C3741FD4-FABE-4C36-88E7-40C0C09FCE8D",
         "5396B53B-A44C-440F-A9E0-89E8392BC230", "PowerPoint"},
        {"NuvixAccessAddin", "F00F2D09-D31C-4C72-9480-7962A8DE178D",
         "DEB8CAA7-41A1-4FA0-B6E8-6FFE61C1612C", "Access"},
        {"NuvixExcelAddin", "F6E0DEDD-F6D5-4195-BE2D-AB628A0BBDF4",
         "AA7C35C1-9542-4B02-9720-463A2929FDAB", "Excel"},
        {"NuvixFrontPageAddin", "F14952A1-592E-4CDD-8407-E924E9F0F500",
         "A6A52D22-178D-4DCB-8344-8BF84B09674F", "Frontpage"},
    };
    const std::string server = folder + "\\nvxmsai.dll";
    const std::string library = "{8B34F2E2-FD13-4553-9BDC-5E0280C29DC7}";
    const std::string proxy = "={00020424-0000-0000-C000-000000000046}";
    for (const auto& c : classes) {
      const std::string name = c[0], description = name + " Class", prog_id = "NvxMSAI." + name;
      AddClass(&keys, description, prog_id, std::string("{") + c[1] + "}", server, library);
      keys.push_back(Tree(std::string("Software\\Classes\\Interface\\{") + c[2] + "}",
                          {"|=I" + name, "\\ProxyStubClsid|" + proxy, "\\ProxyStubClsid32|" + proxy,
                           "\\TypeLib|=" + library, "\\TypeLib|Version=1.0"}));
      if (c[3] == nullptr) continue;  // the Word event class has no add-in key
      keys.push_back(
          Tree(std::string("Software\\Microsoft\\Office\\") + c[3] + "\\Addins\\" + prog_id,
               {"|CommandLineSafe=#0", "|Description=" + description,
                "|FriendlyName=" + description, "|LoadBehavior=#3"}));
    }
    keys.push_back(Tree("Software\\Classes\\TypeLib\\" + library,
                        {"\\1.0|=NvxMSAI 1.0 Type Library", "\\1.0\\0\\win32|=" + server,
                         "\\1.0\\FLAGS|=0", "\\1.0\\HELPDIR|=" + folder}));
  } else if (writer == kRightClick) {
    const std::string clsid = "{4D185FEC-958C-4DB4-87AA-D4D79A46FAB7}";
    keys.push_back(Tree(kRightMenuHandlerKey, {"|=" + clsid}));
    AddClass(&keys, "NuvixRightMenu Class", "NvxRMenu.NuvixRightMenu", clsid,
             folder + "\\nvxrmenu.dll", "{29001FD0-276B-4254-9B9E-373BAB488174}");
  }
  return keys;
}

void DeleteRegistrationKeys() {
  for (DWORD writer : {kButton, kOffice, kRightClick}) {
    for (const ExpectedKey& key : WriterKeys(writer, "")) {
      DeleteKeyTree(HKEY_CURRENT_USER, key.path);
    }
  }
}

const char kSettingsPath[] = "Software\\Nuvix\\TapvoMeeting";
const char kMissing[] = "<missing>";

void CleanFeatureKeys() {
  DeleteKeyTree(HKEY_CURRENT_USER, kSettingsPath);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsPath);
  DeleteRegistrationKeys();
}

std::string UserSetting(const char* name) {
  return ReadStringValue(HKEY_CURRENT_USER, kSettingsPath, name);
}

void StoreUserSetting(const char* name, const std::string& value) {
  SetStringValue(HKEY_CURRENT_USER, kSettingsPath, value == kMissing ? "Other" : name,
                 value == kMissing ? "" : value);
}

}  // namespace korvat_test
