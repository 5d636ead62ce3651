#include "registration/office_addin_registration.h"

#include "core/module_state.h"
#include "registration/key_table.h"

namespace korvat {

namespace {

// One add-in class of nvxMSAI.dll; the names are spelled as the add-ins
// themselves register them ("AddIn" and "Addin", "Frontpage").
struct OfficeClass {
  const char* description;
  const char* prog_id;  // the versioned ProgID adds ".1"
  const char* clsid;
  const char* interface_name;
  const char* iid;
  const char* application;  // null: the class has no office add-in key
};

constexpr OfficeClass kWordAddIn = {"NuvixWordAddIn Class",
                                    "NvxMSAI.NuvixWordAddIn",
                                    "{AEECE333-8900-4915-9697-7A0B4034B3D8}",
                                    "INuvixWordAddIn",
                                    "{FF859B60-9AE3-4B75-9DDF-0191BF410B53}",
                                    "Word"};
constexpr OfficeClass kWordEvent = {"NuvixWordEvent Class",
                                    "NvxMSAI.NuvixWordEvent",
                                    "{00F500BC-CD5A-4301-AA26-090DE98E047E}",
                                    "INuvixWordEvent",
                                    "{FA04E598-5EA4-43DB-BCD3-7E134657B3F4}",
                                    nullptr};
constexpr OfficeClass kPowerPointAddIn = {"NvxPPTAddIn Class",
                                          "NvxMSAI.NvxPPTAddIn",
                                          "{C3741FD4-FABE-4C36-88E7-40C0C09FCE8D}",
                                          "INvxPPTAddIn",
                                          "{5396B53B-A44C-440F-A9E0-89E8392BC230}",
                                          "PowerPoint"};
constexpr OfficeClass kAccessAddIn = {"NuvixAccessAddin Class",
                                      "NvxMSAI.NuvixAccessAddin",
                                      "{F00F2D09-D31C-4C72-9480-7962A8DE178D}",
                                      "INuvixAccessAddin",
                                      "{DEB8CAA7-41A1-4FA0-B6E8-6FFE61C1612C}",
                                      "Access"};
constexpr OfficeClass kExcelAddIn = {"NuvixExcelAddin Class",
                                     "NvxMSAI.NuvixExcelAddin",
                                     "{F6E0DEDD-F6D5-4195-BE2D-AB628A0BBDF4}",
                                     "INuvixExcelAddin",
                                     "{AA7C35C1-9542-4B02-9720-463A2929FDAB}",
                                     "Excel"};
constexpr OfficeClass kFrontPageAddIn = {"NuvixFrontPageAddin Class",
                                         "NvxMSAI.NuvixFrontPageAddin",
                                         "{F14952A1-592E-4CDD-8407-E924E9F0F500}",
                                         "INuvixFrontPageAddin",
                                         "{A6A52D22-178D-4DCB-8344-8BF84B09674F}",
                                         "Frontpage"};

// The server's file name as the class keys name it.
constexpr char kServerFile[] = "nvxmsai.dll";

// Fields of the tables: $D class description, $P ProgID, $C CLSID, $N
// interface name, $I IID, $A office application, $S server path, $H the
// module directory (the type library's help folder).
#define PSCLSID "{00020424-0000-0000-C000-000000000046}"
#define TYPELIB "{8B34F2E2-FD13-4553-9BDC-5E0280C29DC7}"
#define TYPELIB_KEY "Software\\Classes\\TypeLib\\" TYPELIB

constexpr KeyValueRow kVersionedProgIdKey[] = {
    {"Software\\Classes\\$P.1", nullptr, nullptr, REG_SZ, "$D", 0},
    {"Software\\Classes\\$P.1", "CLSID", nullptr, REG_SZ, "$C", 0},
};
constexpr KeyValueRow kProgIdKey[] = {
    {"Software\\Classes\\$P", nullptr, nullptr, REG_SZ, "$D", 0},
    {"Software\\Classes\\$P", "CLSID", nullptr, REG_SZ, "$C", 0},
    {"Software\\Classes\\$P", "CurVer", nullptr, REG_SZ, "$P.1", 0},
};
// The Word event class writes its version-independent ProgID this way round.
constexpr KeyValueRow kEventProgIdKey[] = {
    {"Software\\Classes\\$P", nullptr, nullptr, REG_SZ, "$D", 0},
    {"Software\\Classes\\$P", "CurVer", nullptr, REG_SZ, "$P.1", 0},
    {"Software\\Classes\\$P", "CLSID", nullptr, REG_SZ, "$C", 0},
};
constexpr KeyValueRow kAddInKey[] = {
    {"Software\\Microsoft\\Office\\$A\\Addins\\$P", nullptr, "CommandLineSafe", REG_DWORD, nullptr,
     0},
    {"Software\\Microsoft\\Office\\$A\\Addins\\$P", nullptr, "LoadBehavior", REG_DWORD, nullptr, 3},
    {"Software\\Microsoft\\Office\\$A\\Addins\\$P", nullptr, "Description", REG_SZ, "$D", 0},
    {"Software\\Microsoft\\Office\\$A\\Addins\\$P", nullptr, "FriendlyName", REG_SZ, "$D", 0},
};
constexpr KeyValueRow kTypeLibKeys[] = {
    {TYPELIB_KEY "\\1.0", nullptr, nullptr, REG_SZ, "NvxMSAI 1.0 Type Library", 0},
    {TYPELIB_KEY "\\1.0", "FLAGS", nullptr, REG_SZ, "0", 0},
    {TYPELIB_KEY "\\1.0", "HELPDIR", nullptr, REG_SZ, "$H", 0},
    {TYPELIB_KEY "\\1.0\\0\\win32", nullptr, nullptr, REG_SZ, "$S", 0},
};
constexpr KeyValueRow kInterfaceKey[] = {
    {"Software\\Classes\\Interface\\$I", nullptr, nullptr, REG_SZ, "$N", 0},
    {"Software\\Classes\\Interface\\$I", "ProxyStubClsid", nullptr, REG_SZ, PSCLSID, 0},
    {"Software\\Classes\\Interface\\$I", "ProxyStubClsid32", nullptr, REG_SZ, PSCLSID, 0},
    {"Software\\Classes\\Interface\\$I", "TypeLib", nullptr, REG_SZ, TYPELIB, 0},
    {"Software\\Classes\\Interface\\$I", "TypeLib", "Version", REG_SZ, "1.0", 0},
};
constexpr KeyValueRow kClassKey[] = {
    {"Software\\Classes\\CLSID\\$C", nullptr, nullptr, REG_SZ, "$D", 0},
    {"Software\\Classes\\CLSID\\$C", "InprocServer32", nullptr, REG_SZ, "$S", 0},
    {"Software\\Classes\\CLSID\\$C", "InprocServer32", "ThreadingModel", REG_SZ, "Apartment", 0},
    {"Software\\Classes\\CLSID\\$C", "ProgID", nullptr, REG_SZ, "$P.1", 0},
    {"Software\\Classes\\CLSID\\$C", "Programmable", nullptr, REG_SZ, " ", 0},
    {"Software\\Classes\\CLSID\\$C", "TypeLib", nullptr, REG_SZ, TYPELIB, 0},
    {"Software\\Classes\\CLSID\\$C", "VersionIndependentProgID", nullptr, REG_SZ, "$P", 0},
};

// Removal, children before their parents.
constexpr KeyRemovalRow kProgIdRemoval[] = {
    {"Software\\Classes\\$P.1", "CLSID"}, {"Software\\Classes", "$P.1"},
    {"Software\\Classes\\$P", "CLSID"},   {"Software\\Classes\\$P", "CurVer"},
    {"Software\\Classes", "$P"},
};
constexpr KeyRemovalRow kAddInKeyRemoval[] = {
    {"Software\\Microsoft\\Office\\$A\\Addins", "$P"},
};
constexpr KeyRemovalRow kTypeLibRemoval[] = {
    {TYPELIB_KEY "\\1.0", "FLAGS"},
    {TYPELIB_KEY "\\1.0", "HELPDIR"},
    {TYPELIB_KEY "\\1.0\\0", "win32"},
    {TYPELIB_KEY "\\1.0", "0"},
    {TYPELIB_KEY, "1.0"},
    {"Software\\Classes\\TypeLib", TYPELIB},
};
constexpr KeyRemovalRow kInterfaceRemoval[] = {
    {"Software\\Classes\\Interface\\$I", "ProxyStubClsid"},
    {"Software\\Classes\\Interface\\$I", "ProxyStubClsid32"},
    {"Software\\Classes\\Interface\\$I", "TypeLib"},
    {"Software\\Classes\\Interface", "$I"},
};
constexpr KeyRemovalRow kClassRemoval[] = {
    {"Software\\Classes\\CLSID\\$C", "InprocServer32"},
    {"Software\\Classes\\CLSID\\$C", "ProgID"},
    {"Software\\Classes\\CLSID\\$C", "Programmable"},
    {"Software\\Classes\\CLSID\\$C", "TypeLib"},
    {"Software\\Classes\\CLSID\\$C", "VersionIndependentProgID"},
    {"Software\\Classes\\CLSID", "$C"},
};

#undef TYPELIB_KEY
#undef TYPELIB
#undef PSCLSID

KeyTableFields ClassFields(const OfficeClass& office_class, const char* module_directory,
                           const char* server_path) {
  KeyTableFields fields;
  fields.Set('D', office_class.description);
  fields.Set('P', office_class.prog_id);
  fields.Set('C', office_class.clsid);
  fields.Set('N', office_class.interface_name);
  fields.Set('I', office_class.iid);
  fields.Set('A', office_class.application);
  fields.Set('S', server_path);
  fields.Set('H', module_directory);
  return fields;
}

// Writes or removes one application's add-in; Word carries a second class,
// its event sink, which has no add-in key of its own.
void RegisterApplication(bool install, const char* module_directory, const OfficeClass& add_in,
                         const OfficeClass* event) {
  char server_path[520];
  JoinPath(module_directory, kServerFile, server_path, sizeof(server_path));
  const KeyTableFields fields = ClassFields(add_in, module_directory, server_path);
  const KeyTableFields event_fields =
      event != nullptr ? ClassFields(*event, module_directory, server_path) : KeyTableFields();

  if (install) {
    WriteUserKeys(kVersionedProgIdKey, fields);
    WriteUserKeys(kProgIdKey, fields);
    WriteUserKeys(kAddInKey, fields);
    if (event != nullptr) {
      WriteUserKeys(kEventProgIdKey, event_fields);
      WriteUserKeys(kVersionedProgIdKey, event_fields);
      WriteUserKeys(kInterfaceKey, event_fields);
    } else {
      WriteUserKeys(kTypeLibKeys, fields);
    }
    WriteUserKeys(kInterfaceKey, fields);
    if (event != nullptr) WriteUserKeys(kClassKey, event_fields);
    WriteUserKeys(kClassKey, fields);
    return;
  }

  RemoveUserKeys(kProgIdRemoval, fields);
  if (event != nullptr) RemoveUserKeys(kProgIdRemoval, event_fields);
  RemoveUserKeys(kAddInKeyRemoval, fields);
  RemoveUserKeys(kTypeLibRemoval, fields);
  RemoveUserKeys(kInterfaceRemoval, fields);
  if (event != nullptr) RemoveUserKeys(kInterfaceRemoval, event_fields);
  RemoveUserKeys(kClassRemoval, fields);
  if (event != nullptr) RemoveUserKeys(kClassRemoval, event_fields);
}

struct OfficeApplication {
  const OfficeClass* add_in;
  const OfficeClass* event;  // null: none
};

constexpr OfficeApplication kApplications[] = {
    {&kWordAddIn, &kWordEvent}, {&kPowerPointAddIn, nullptr}, {&kAccessAddIn, nullptr},
    {&kExcelAddIn, nullptr},    {&kFrontPageAddIn, nullptr},
};

}  // namespace

void RegisterOfficeAddIns(int install, const char* module_directory, const char*) {
  for (const OfficeApplication& application : kApplications) {
    RegisterApplication(install != 0, module_directory, *application.add_in, application.event);
  }
}

}  // namespace korvat
