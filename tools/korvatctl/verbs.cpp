// The verbs of korvatctl: each one's handler, arguments, options and help.
#include "arguments.h"
#include "check.h"
#include "cookie_writer.h"
#include "dialog_watch.h"
#include "module_calls.h"
#include "press_button.h"
#include "registry_print.h"

// The first line of each help is the summary that the program's help lists;
// the verb's help gives all of it.
const Verb kVerbs[] = {
    {"setup", RunSetup, 0, 0, 0, 0, nullptr, false, "setup",
     "TapvoSetup: install the feature from the install cookie\n"
     "Prints 0 (success) or 1603 (the install cookie could not be imported)."},
    {"pre-setup", RunPreSetup, 0, 0, 0, 0, nullptr, false, "pre-setup",
     "TapvoPreSetup: prepare the settings key for the installer\n"
     "Always prints 0."},
    {"uninstall", RunUninstall, 0, 0, 0, 0, nullptr, false, "uninstall",
     "TapvoUninstall: remove the feature and its settings\n"
     "Always prints 0."},
    {"register", RunRegister, 0, 0, 0, 0, nullptr, false, "register",
     "DllRegisterServer: install as a registration tool does\n"
     "Prints an HRESULT, or 0x00000001 when the install cookie could not be imported."},
    {"unregister", RunUnregister, 0, 0, 0, 0, nullptr, false, "unregister",
     "DllUnregisterServer: remove the button, shortcut and class\n"
     "Prints an HRESULT; the settings and the companion registrations stay."},
    {"set-option", RunSetOption, 1, 1, 0, 0, nullptr, true, "set-option FLAGS",
     "TapvoSetOption: switch the integrations on or off\n"
     "The integrations named in FLAGS are switched on, the others off.\n"
     "Prints 0, or -1 when the user has no settings key."},
    {"get-option", RunGetOption, 0, 0, 0, 0, nullptr, false, "get-option",
     "TapvoGetOption: print which integrations are on, by name"},
    {"remove-addin", RunRemoveAddIn, 1, 1, 0, 0, nullptr, true, "remove-addin FLAGS",
     "TapvoRemoveAddIn: write or remove the registrations\n"
     "Writes the registrations named in FLAGS and removes the others.\n"
     "The settings key is not touched. Always prints 0."},
    {"set-login", RunSetLogin, 2, 2, 0, 0, nullptr, false, "set-login SITE NAME",
     "TapvoSetLoginInfo: store SITE/start/NAME as the meeting page"},
    {"get-login", RunGetLogin, 0, 0, 0, 0, nullptr, false, "get-login",
     "TapvoGetLoginInfo: print the stored site and name"},
    {"press-button", RunPressButton, 0, 0, kOptionClientLoggedOn, 0, nullptr, false,
     "press-button [--client-logged-on]",
     "press the toolbar button as the browser does\n"
     "Creates KorvatExec through COM, gives it a site and runs its command.\n"
     "A stand-in browser site prints the page the button asks it to open.\n"
     "--client-logged-on: a stand-in client frame window, with LogonState set\n"
     "to 1 for the press, prints the page it is handed instead."},
    {"put-cookie", RunPutCookie, 0, 0, kOptionPage | kOptionInstall, kOptionPage, nullptr, false,
     "put-cookie --page URL [--install FIELDS]",
     "write the cookies that the conferencing site leaves\n"
     "setup and register import them.\n"
     "--page URL: the meeting page, such as https://meet.example.com/acme/start/ann.\n"
     "--install FIELDS: the install choices, separated by \"@\":\n"
     "  Option@OfficeMenu@RightClick@scheme://address@HasBrand@BrandTitle\n"
     "  for example iedesktop@true@true@https://meet.example.com\n"
     "  (Option: ie, iedesktop or desktop; the page's scheme comes from the\n"
     "  address, http when there is none)."},
    {"trace", RunTrace, 1, 1, 0, 0, "on|off|show", false, "trace on|off|show",
     "switch the module's trace log on or off, or print it"},
    {"show", RunShow, 0, 0, kOptionJson, 0, nullptr, false, "show [--json]",
     "print the settings, the button, the class and the shortcut\n"
     "The versions of Korvat.dll, zrtpres.dll and korvatctl.exe, the settings key\n"
     "of both hives, the browser button key, the KorvatExec class, the type\n"
     "library and the desktop shortcut with its contents.\n"
     "--json: the same as one JSON object with the members files, settings\n"
     "(HKCU, HKLM), button, class, typelib and shortcuts."},
    {"check", RunCheck, 0, 0, kOptionJson, 0, nullptr, false, "check [--json]",
     "say whether this machine's installation is whole, point by point\n"
     "Each point is \"ok\" or a one-line reason: the class registration names\n"
     "this module; the type library is registered and its file exists; the\n"
     "browser button key is there exactly when Option asks for the button; the\n"
     "desktop shortcut of SHORTCUT_PATH exists and opens MeetingPage when Option\n"
     "asks for it; the companion modules that OfficeMenu and RightClick need lie\n"
     "beside the module; MeetingPage is an http or https address; tracing is\n"
     "off or its log can be written. Exit code 0 when every point holds, 1 when\n"
     "one does not. Nothing is changed, and the module is not loaded.\n"
     "--json: one JSON object instead: {\"module\": PATH, \"whole\": true|false,\n"
     "\"points\": {\"class\", \"typelib\", \"button\", \"shortcut\", \"companions\",\n"
     "\"page\", \"trace\": \"ok\" or the reason}}."},
    {"answer-dialogs", RunAnswerDialogs, 1, 64, 0, 0, nullptr, false,
     "answer-dialogs PROGRAM [ARGUMENT...]",
     "run a program and answer the dialog boxes shown while it runs\n"
     "Every dialog box on the desktop, of any process (an installer's custom\n"
     "actions), is printed and closed with OK. Exits with the program's exit code."},
};

const size_t kVerbCount = sizeof(kVerbs) / sizeof(kVerbs[0]);
