// Resource identifiers shared by the module, zrtpres.dll and the code.
#pragma once

// Strings.
#define IDS_PROJNAME 100
#define IDS_BUTTON_TEXT 101           // toolbar button and menu text
#define IDS_SETUP_FAILED_TEXT 103     // text of the setup failure message
#define IDS_SHORTCUT_NAME 104         // desktop shortcut name and description
#define IDS_SETUP_FAILED_CAPTION 213  // zrtpres.dll only
#define IDS_MENU_STATUS_BAR 278       // zrtpres.dll only

// The setup notice dialog.
#define IDD_SETUP_NOTICE 203

// Icons. The module's own groups stand in this order (203, 204, 205, 211,
// 212): the desktop shortcut names index 2 (205) and 3 (211) of its file.
#define IDI_BUTTON_HOT 203
#define IDI_BUTTON 204
#define IDI_SHORTCUT 205
#define IDI_BUTTON_LEGACY 206  // zrtpres.dll only
#define IDI_BRAND_HOT 211
#define IDI_BRAND 212

// Registry scripts (resource type "REGISTRY").
#define IDR_KORVATEXEC 101      // the KorvatExec class and its programmatic identifiers
#define IDR_TOOLBAR_BUTTON 102  // the browser's toolbar button

// The type library KORVATLib (resource type TYPELIB).
#define IDR_TYPELIB 1
