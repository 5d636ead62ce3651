#include "registration/ie_button_registration.h"

#include "core/module_state.h"
#include "core/resource_module.h"
#include "platform/ansi_text.h"
#include "registration/key_table.h"
#include "registration/registry_ops.h"
#include "resources/module_ids.h"
#include "resources/resource_ids.h"

namespace korvat {

namespace {

constexpr char kClassKey[] = "SOFTWARE\\Classes\\CLSID\\" KORVAT_EXEC_CLSID_TEXT;
// The browser's host class that runs a button's command object.
constexpr char kCommandHostClsid[] = "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}";

// "$M" is the module path.
constexpr KeyValueRow kClassKeys[] = {
    {"SOFTWARE\\Classes\\Korvat.KorvatExec", nullptr, nullptr, REG_SZ, "Tapvo Meeting", 0},
    {"SOFTWARE\\Classes\\Korvat.KorvatExec", "CLSID", nullptr, REG_SZ, kKorvatExecClsid, 0},
    {"SOFTWARE\\Classes\\Korvat.KorvatExec", "CurVer", nullptr, REG_SZ, "Korvat.KorvatExec.1", 0},
    {"SOFTWARE\\Classes\\Korvat.KorvatExec.1", nullptr, nullptr, REG_SZ, "Tapvo Meeting", 0},
    {"SOFTWARE\\Classes\\Korvat.KorvatExec.1", "CLSID", nullptr, REG_SZ, kKorvatExecClsid, 0},
    {kClassKey, nullptr, nullptr, REG_SZ, "Tapvo Meeting", 0},
    {kClassKey, "InprocServer32", nullptr, REG_SZ, "$M", 0},
    {kClassKey, "InprocServer32", "ThreadingModel", REG_SZ, "Apartment", 0},
    {kClassKey, "ProgID", nullptr, REG_SZ, "Korvat.KorvatExec.1", 0},
    {kClassKey, "TypeLib", nullptr, REG_SZ, KORVAT_LIBRARY_ID_TEXT, 0},
    {kClassKey, "VersionIndependentProgID", nullptr, REG_SZ, "Korvat.KorvatExec", 0},
};

constexpr KeyRemovalRow kRemoval[] = {
    {"SOFTWARE\\Classes\\Korvat.KorvatExec", "CLSID"},
    {"SOFTWARE\\Classes\\Korvat.KorvatExec", "CurVer"},
    {"SOFTWARE\\Classes", "Korvat.KorvatExec"},
    {"SOFTWARE\\Classes\\Korvat.KorvatExec.1", "CLSID"},
    {"SOFTWARE\\Classes", "Korvat.KorvatExec.1"},
    {"Software\\Microsoft\\Internet Explorer\\Extensions", KORVAT_EXEC_CLSID_TEXT},
    {kClassKey, "InprocServer32"},
    {kClassKey, "ProgID"},
    {kClassKey, "TypeLib"},
    {kClassKey, "VersionIndependentProgID"},
    {"SOFTWARE\\Classes\\CLSID", KORVAT_EXEC_CLSID_TEXT},
};

void InstallButton(const char* folder, const char* module_path) {
  char library_path[520];
  char hot_icon[520];
  char icon[520];
  const bool xp = IsWindowsXP();
  // Windows XP shows separate hot and normal icons, later versions one.
  FormatText(library_path, sizeof(library_path), "%s\\%s", folder, kResourceModuleFile);
  FormatText(hot_icon, sizeof(hot_icon), "%s,%d", library_path,
             xp ? IDI_BUTTON_HOT : IDI_BUTTON_LEGACY);
  FormatText(icon, sizeof(icon), "%s,%d", library_path, xp ? IDI_BUTTON : IDI_BUTTON_LEGACY);

  // Loaded afresh on every install and left loaded: it is the resource
  // module until FreeResourceModule releases it.
  UseResourceLibrary(library_path);
  char button_text[1024];
  char status_text[1024];
  LoadResourceString(IDS_BUTTON_TEXT, button_text, sizeof(button_text));
  LoadResourceString(IDS_MENU_STATUS_BAR, status_text, sizeof(status_text));

  const char* const button_values[][2] = {
      {"ButtonText", button_text},
      {"CLSID", kCommandHostClsid},
      {"ClsidExtension", kKorvatExecClsid},
      {"Default Visible", "Yes"},
      {"HotIcon", hot_icon},
      {"Icon", icon},
      {"MenuStatusBar", status_text},
      {"MenuText", button_text},
  };
  for (const auto& value : button_values) SetUserRegString(kButtonKey, value[0], value[1]);

  KeyTableFields fields;
  fields.Set('M', module_path);
  WriteUserKeys(kClassKeys, fields);
}

}  // namespace

void SetUserIEButton(int install, const char* folder, const char* module_path) {
  if (install != 0) {
    InstallButton(folder, module_path);
  } else {
    RemoveUserKeys(kRemoval, KeyTableFields());
  }
}

}  // namespace korvat
