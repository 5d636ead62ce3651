#include "registration/right_menu_registration.h"

#include "core/module_state.h"
#include "registration/key_table.h"

namespace korvat {

namespace {

#define MENU_CLSID "{4D185FEC-958C-4DB4-87AA-D4D79A46FAB7}"
#define CLASS_KEY "SOFTWARE\\Classes\\CLSID\\" MENU_CLSID

// "$S" is the server path.
constexpr KeyValueRow kMenuKeys[] = {
    {"SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers\\NuvixShareMenu", nullptr, nullptr, REG_SZ,
     MENU_CLSID, 0},
    {CLASS_KEY, nullptr, nullptr, REG_SZ, "NuvixRightMenu Class", 0},
    {CLASS_KEY, "InprocServer32", nullptr, REG_SZ, "$S", 0},
    {CLASS_KEY, "InprocServer32", "ThreadingModel", REG_SZ, "Apartment", 0},
    {CLASS_KEY, "ProgID", nullptr, REG_SZ, "NvxRMenu.NuvixRightMenu.1", 0},
    {CLASS_KEY, "Programmable", nullptr, REG_SZ, " ", 0},
    {CLASS_KEY, "TypeLib", nullptr, REG_SZ, "{29001FD0-276B-4254-9B9E-373BAB488174}", 0},
    {CLASS_KEY, "VersionIndependentProgID", nullptr, REG_SZ, "NvxRMenu.NuvixRightMenu", 0},
    {"SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu", nullptr, nullptr, REG_SZ, "NuvixRightMenu Class",
     0},
    {"SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu", "CurVer", nullptr, REG_SZ,
     "NvxRMenu.NuvixRightMenu.1", 0},
    {"SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu", "CLSID", nullptr, REG_SZ, MENU_CLSID, 0},
    {"SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu.1", nullptr, nullptr, REG_SZ,
     "NuvixRightMenu Class", 0},
    {"SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu.1", "CLSID", nullptr, REG_SZ, MENU_CLSID, 0},
};

// Children before their parents.
constexpr KeyRemovalRow kMenuRemoval[] = {
    {"SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers", "NuvixShareMenu"},
    {"SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu", "CurVer"},
    {"SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu", "CLSID"},
    {"SOFTWARE\\Classes", "NvxRMenu.NuvixRightMenu"},
    {CLASS_KEY, "InprocServer32"},
    {CLASS_KEY, "ProgID"},
    {CLASS_KEY, "Programmable"},
    {CLASS_KEY, "TypeLib"},
    {CLASS_KEY, "VersionIndependentProgID"},
    {"SOFTWARE\\Classes\\CLSID", MENU_CLSID},
    {"SOFTWARE\\Classes\\NvxRMenu.NuvixRightMenu.1", "CLSID"},
    {"SOFTWARE\\Classes", "NvxRMenu.NuvixRightMenu.1"},
};

#undef CLASS_KEY
#undef MENU_CLSID

}  // namespace

void RegisterRightMenu(int install, const char* module_directory) {
  if (install == 0) {
    RemoveUserKeys(kMenuRemoval, KeyTableFields());
    return;
  }
  char server_path[520];
  JoinPath(module_directory, kRightMenuModuleFile, server_path, sizeof(server_path));
  KeyTableFields fields;
  fields.Set('S', server_path);
  WriteUserKeys(kMenuKeys, fields);
}

}  // namespace korvat
