#include "registration/feature_module.h"

#include <set>
#include <utility>

namespace korvat_test {

namespace {

template <typename Function>
void Bind(const LoadedLibrary& module, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(module.Proc(name)));
}

using Fields = std::vector<std::pair<std::string, std::string>>;

// A tree from lines relative to its top key, "sub\\key|name=data": an empty
// name is the default value, data "#3" is REG_DWORD 3, other data REG_SZ;
// "<X>" stands for the text `fields` gives for it. Every key on a line's path
// belongs to the tree.
ExpectedKey Tree(const std::string& top, std::vector<std::string> lines,
                 const Fields& fields = {}) {
  std::set<std::string> tree = {top};
  for (std::string& line : lines) {
    for (const auto& field : fields) {
      for (size_t at; (at = line.find(field.first)) != std::string::npos;) {
        line.replace(at, field.first.size(), field.second);
      }
    }
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

}  // namespace

const char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kOfficeWordAddInKey[] =
    "Software\\Microsoft\\Office\\Word\\Addins\\NvxMSAI.NuvixWordAddIn";
const char kRightMenuHandlerKey[] =
    "SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers\\NuvixShareMenu";

FeatureModule::FeatureModule(Options options) {
  folder_.CopyFromBin("Korvat.dll");
  if (options.with_resources) folder_.CopyFromBin("zrtpres.dll");
  if (options.trace) trace_.reset(new ScopedTraceSwitch("Korvat", 1));
  module_.reset(new LoadedLibrary(ModulePath()));
  Bind(*module_, "TapvoSetOption", &SetOption);
  Bind(*module_, "TapvoGetOption", &GetOption);
  Bind(*module_, "TapvoRemoveAddIn", &RemoveAddIn);
  Bind(*module_, "TapvoSetLoginInfo", &SetLoginInfo);
  Bind(*module_, "TapvoGetLoginInfo", &GetLoginInfo);
}

FeatureModule::~FeatureModule() {
  module_.reset();
  // The button writer leaves zrtpres.dll loaded once per install.
  const std::string resources = folder_.File("zrtpres.dll");
  for (int i = 0; i < 256; ++i) {
    HMODULE loaded = GetModuleHandleA(resources.c_str());
    if (loaded == nullptr || !FreeLibrary(loaded)) break;
  }
}

std::vector<std::string> FeatureModule::TraceMessages() const {
  std::vector<std::string> messages;
  for (const std::string& line : ReadLines(folder_.File("Korvat.log"))) {
    if (line.size() >= 14 && line[2] == ':' && line.compare(8, 6, "      ") == 0) {
      messages.push_back(line.substr(14));
    }
  }
  return messages;
}

std::vector<ExpectedKey> ButtonKeys(const std::string& folder, bool xp,
                                    const std::string& status_text) {
  const std::string classes = "SOFTWARE\\Classes\\";
  const Fields fields = {{"<R>", folder + "\\zrtpres.dll"},
                         {"<K>", "{80947ADC-151D-490B-87F1-7C8CE1B46220}"},
                         {"<T>", "Start Nuvix Tapvo Meeting"}};
  return {
      Tree(kButtonKey,
           {"|ButtonText=<T>", "|CLSID={1FBA04EE-3024-11d2-8F1F-0000F87ABD16}",
            "|ClsidExtension=<K>", "|Default Visible=Yes",
            std::string("|HotIcon=<R>,") + (xp ? "203" : "206"),
            std::string("|Icon=<R>,") + (xp ? "204" : "206"), "|MenuStatusBar=" + status_text,
            "|MenuText=<T>"},
           fields),
      Tree(classes + "Korvat.KorvatExec",
           {"|=Tapvo Meeting", "\\CLSID|=<K>", "\\CurVer|=Korvat.KorvatExec.1"}, fields),
      Tree(classes + "Korvat.KorvatExec.1", {"|=Tapvo Meeting", "\\CLSID|=<K>"}, fields),
      Tree(classes + "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}",
           {"|=Tapvo Meeting", "\\InprocServer32|=" + folder + "\\Korvat.dll",
            "\\InprocServer32|ThreadingModel=Apartment", "\\ProgID|=Korvat.KorvatExec.1",
            "\\TypeLib|={E06D2368-C03F-41E9-95A8-EBB8F142DBCC}",
            "\\VersionIndependentProgID|=Korvat.KorvatExec"}),
  };
}

std::vector<ExpectedKey> OfficeKeys(const std::string& folder) {
  // Description, ProgID, CLSID, interface, IID, application.
  const char* const classes[][6] = {
      {"NuvixWordAddIn Class", "NvxMSAI.NuvixWordAddIn", "{AEECE333-8900-4915-9697-7A0B4034B3D8}",
       "INuvixWordAddIn", "{FF859B60-9AE3-4B75-9DDF-0191BF410B53}", "Word"},
      {"NuvixWordEvent Class", "NvxMSAI.NuvixWordEvent", "{00F500BC-CD5A-4301-AA26-090DE98E047E}",
       "INuvixWordEvent", "{FA04E598-5EA4-43DB-BCD3-7E134657B3F4}", nullptr},
      {"NvxPPTAddIn Class", "NvxMSAI.NvxPPTAddIn", "{C3741FD4-FABE-4C36-88E7-40C0C09FCE8D}",
       "INvxPPTAddIn", "{5396B53B-A44C-440F-A9E0-89E8392BC230}", "PowerPoint"},
      {"NuvixAccessAddin Class", "NvxMSAI.NuvixAccessAddin",
       "{F00F2D09-D31C-4C72-9480-7962A8DE178D}", "INuvixAccessAddin",
       "{DEB8CAA7-41A1-4FA0-B6E8-6FFE61C1612C}", "Access"},
      {"NuvixExcelAddin Class", "NvxMSAI.NuvixExcelAddin",
       "{F6E0DEDD-F6D5-4195-BE2D-AB628A0BBDF4}", "INuvixExcelAddin",
       "{AA7C35C1-9542-4B02-9720-463A2929FDAB}", "Excel"},
      {"NuvixFrontPageAddin Class", "NvxMSAI.NuvixFrontPageAddin",
       "{F14952A1-592E-4CDD-8407-E924E9F0F500}", "INuvixFrontPageAddin",
       "{A6A52D22-178D-4DCB-8344-8BF84B09674F}", "Frontpage"},
  };
  const std::string server = folder + "\\nvxmsai.dll";
  const std::string library = "{8B34F2E2-FD13-4553-9BDC-5E0280C29DC7}";
  const std::string proxy = "{00020424-0000-0000-C000-000000000046}";
  std::vector<ExpectedKey> keys;
  for (const auto& c : classes) {
    const Fields fields = {{"<D>", c[0]}, {"<P>", c[1]}, {"<C>", c[2]}};
    const std::string prog_id = std::string("Software\\Classes\\") + c[1];
    keys.push_back(Tree(prog_id + ".1", {"|=<D>", "\\CLSID|=<C>"}, fields));
    keys.push_back(Tree(prog_id, {"|=<D>", "\\CLSID|=<C>", "\\CurVer|=<P>.1"}, fields));
    keys.push_back(Tree(std::string("Software\\Classes\\Interface\\") + c[4],
                        {std::string("|=") + c[3], "\\ProxyStubClsid|=" + proxy,
                         "\\ProxyStubClsid32|=" + proxy, "\\TypeLib|=" + library,
                         "\\TypeLib|Version=1.0"}));
    keys.push_back(Tree(std::string("Software\\Classes\\CLSID\\") + c[2],
                        {"|=<D>", "\\InprocServer32|=" + server,
                         "\\InprocServer32|ThreadingModel=Apartment", "\\ProgID|=<P>.1",
                         "\\Programmable|= ", "\\TypeLib|=" + library,
                         "\\VersionIndependentProgID|=<P>"},
                        fields));
    if (c[5] == nullptr) continue;  // the Word event class has no add-in key
    const std::string add_in =
        std::string("Software\\Microsoft\\Office\\") + c[5] + "\\Addins\\" + c[1];
    keys.push_back(Tree(add_in,
                        {"|CommandLineSafe=#0", "|Description=<D>", "|FriendlyName=<D>",
                         "|LoadBehavior=#3"},
                        fields));
  }
  keys.push_back(Tree("Software\\Classes\\TypeLib\\" + library,
                      {"\\1.0|=NvxMSAI 1.0 Type Library", "\\1.0\\0\\win32|=" + server,
                       "\\1.0\\FLAGS|=0", "\\1.0\\HELPDIR|=" + folder}));
  return keys;
}

std::vector<ExpectedKey> RightMenuKeys(const std::string& folder) {
  const Fields fields = {{"<K>", "{4D185FEC-958C-4DB4-87AA-D4D79A46FAB7}"},
                         {"<D>", "NuvixRightMenu Class"},
                         {"<P>", "NvxRMenu.NuvixRightMenu"}};
  return {
      Tree(kRightMenuHandlerKey, {"|=<K>"}, fields),
      Tree("SOFTWARE\\Classes\\CLSID\\{4D185FEC-958C-4DB4-87AA-D4D79A46FAB7}",
           {"|=<D>", "\\InprocServer32|=" + folder + "\\nvxrmenu.dll",
            "\\InprocServer32|ThreadingModel=Apartment", "\\ProgID|=<P>.1", "\\Programmable|= ",
            "\\TypeLib|={29001FD0-276B-4254-9B9E-373BAB488174}",
            "\\VersionIndependentProgID|=<P>"},
           fields),
      Tree("SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu",
           {"|=<D>", "\\CLSID|=<K>", "\\CurVer|=<P>.1"}, fields),
      Tree("SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu.1", {"|=<D>", "\\CLSID|=<K>"}, fields),
  };
}

void DeleteRegistrationKeys() {
  for (const auto& keys : {ButtonKeys("", false, ""), OfficeKeys(""), RightMenuKeys("")}) {
    for (const ExpectedKey& key : keys) DeleteKeyTree(HKEY_CURRENT_USER, key.path);
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
  if (value == kMissing) {
    SetStringValue(HKEY_CURRENT_USER, kSettingsPath, "Other", "");
  } else {
    SetStringValue(HKEY_CURRENT_USER, kSettingsPath, name, value);
  }
}

}  // namespace korvat_test
