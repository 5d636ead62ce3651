// korvatctl.exe as an administrator runs it: each verb and each rule of its
// command line once, by exit code and a key part of what it prints.
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "arguments.h"
#include "harness/test_support.h"

using namespace korvat_test;

namespace {

const char kClass[] = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";

void Clean() {
  DeleteSettingsKeys();
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Nuvix\\Config", "TRACE_ENABLE_Korvat");
  DeleteFileA(StandardShortcut().c_str());
  DeleteFileA((CookiesFolder() + "\\korvatctl@meet.example.com.txt").c_str());
}

// In order, on one copy of the module named with a second "." (the trace takes the name before).
TEST(Korvatctl, CommandLinesGiveTheirExitCodesAndOutput) {
  Clean();
  TempFolder folder;
  for (auto f : {"korvatctl.exe", "zrtpres.dll", "nvxMSAI.dll", "nvxrmenu.dll"})
    folder.CopyFromBin(f);
  folder.CopyFromBin("Korvat.dll", "Korvat.v2.dll");
  const std::string exe = "\"" + folder.File("korvatctl.exe") + "\" ";
  const std::string module = "--module \"" + folder.File("Korvat.v2.dll") + "\" ";
  const std::tuple<const char*, int, const char*> steps[] = {
      {"", 2, "korvatctl: no verb given (korvatctl --help lists the verbs)"},
      {"--help", 0, "\n  press-button  press the toolbar button as the browser does\n"},
      {"frobnicate", 2, "unknown verb 'frobnicate'"},
      {"show --frob", 2, "unknown option '--frob'"},
      {"setup --json", 2, "setup: --json is not an option of this verb"},
      {"setup extra", 2, "setup: expects no arguments (usage: korvatctl setup)"},
      {"get-option --module", 2, "--module needs a value"},
      {"trace of", 2, "trace: 'of' is not one of on|off|show"},
      {"put-cookie", 2, "put-cookie: --page is required"},
      {"put-cookie --page nohost", 2, "--page needs an address"},
      {"press-button --client-logged-on=1", 2, "--client-logged-on takes no value"},
      {"set-option 4294967296", 2, "malformed flags '4294967296'"},
      {"trace on", 0, "TRACE_ENABLE_Korvat = 1, log "},
      {"set-login -- -site- ann", 0, "TapvoSetLoginInfo(\"-site-\", \"ann\"): 0 (success)"},
      {"get-login", 0, "site: \"-site-\"\nname: \"ann\""},
      {"set-option office-menu,right-click", 0, "(0x0000000A office-menu right-click): 0"},
      {"get-option", 0, "flags: 0x0000000B settings-present office-menu right-click"},
      {"remove-addin 0x34", 0, "TapvoRemoveAddIn(0x00000034 browser-button 0x30): 0"},
      {"uninstall", 0, "TapvoUninstall: 0 (success)"},
      {"setup", 1, "TapvoSetup: 1603 (installation failed"},
      {"register", 1, "DllRegisterServer: 0x00000001 (failed"},
      {"put-cookie --install=iedesktop@true@true@https://meet.example.com "
       "--page=https://meet.example.com/acme/start/ann",
       0, "MeetingPage = /acme/start/ann (host meet.example.com/)"},
      {"pre-setup", 0, "TapvoPreSetup: 0 (success)"},
      {"setup", 0, "TapvoSetup: 0 (success)"},
      {"check", 0, "check: whole, 7 of 7 points hold"},
      {"press-button", 0, "browser: navigate to https://meet.example.com/acme/start/ann"},
      {"press-button --client-logged-on", 0, "client: received https://meet.example.com/acme"},
      {"trace show", 0, "\\Korvat.log:\n"},
      {"unregister", 0, "DllUnregisterServer: 0x00000000 (success)"},
      {"check --json", 1, "\"class\":\"not registered: "},
      {"trace off", 0, "TRACE_ENABLE_Korvat deleted"},
  };
  std::string output;
  for (const auto& [line, exit_code, part] : steps) {
    EXPECT_EQ(RunProcess(exe + module + line, &output), exit_code) << line;
    EXPECT_NE(output.find(part), std::string::npos) << line << "\n" << output;
  }
  // Pages a site must not leave, and an icon from elsewhere, each on one line.
  const std::string shortcut = ReadStringValue(HKEY_CURRENT_USER, kSettings, "SHORTCUT_PATH");
  WriteFileBytes(shortcut,
                 "[InternetShortcut]\r\nURL=https://meet.example.com/acme/start/ann\r\n"
                 "IconFile=\\\\evil\\x.ico\r\n");
  const std::pair<const char*, const char*> pages[] = {
      {"https://meet.example.com/a\r\nIconFile=x", "a\\u000D\\u000AIconFile=x\" holds a control"},
      {"https://meet.example.com@evil.example/a", "puts user-info before its host"},
      {"https://evil.example/a",
       "host evil.example is not the host of the site's cookie, "
       "meet.example.com"},
      {"https://meet.example.com/acme/start/ann", "takes its icon from \\\\evil\\x.ico"}};
  for (const auto& [page, reason] : pages) {
    SetStringValue(HKEY_CURRENT_USER, kSettings, "MeetingPage", page);
    EXPECT_EQ(RunProcess(exe + module + "check", &output), 1) << page;
    EXPECT_NE(output.find(reason), std::string::npos) << output;
  }
  DeleteFileA(shortcut.c_str());
  EXPECT_EQ(RunProcess(exe + "get-option"), 1);  // no Korvat.dll beside it
  // The presses left no Logon key (one would keep a removal from deleting the key).
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettings + std::string("\\Logon")));
  RunProcess(exe + module + "uninstall");
  Clean();
}

// Leaves 'G' in the stack below the caller, where the next call's locals go.
__attribute__((noinline)) void FillStack() {
  volatile char fill[16384];
  for (size_t i = 0; i < sizeof(fill); ++i) fill[i] = 'G';
}

// show reads the class's server value with room for a zero: 260 bytes without
// one are printed whole, and nothing beside them (run over a stack of 'G').
TEST(Korvatctl, ShowPrintsAServerValueThatFillsItsBufferWholeAndNoMore) {
  const std::string key = std::string(kClass) + "\\InprocServer32";
  const std::string server(MAX_PATH, 's'), data = server + '#';  // no zero follows
  RegSetKeyValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, data.data(), MAX_PATH);
  const char* argv[] = {"korvatctl", "show"};
  Invocation invocation;
  std::string error;
  ASSERT_EQ(ParseCommandLine(2, argv, kVerbs, kVerbCount, &invocation, &error), ParseStatus::kRun);
  TempFolder folder;
  const std::string file = folder.File("show.txt");
  std::fflush(stdout);
  const int console = _dup(_fileno(stdout));
  ASSERT_NE(std::freopen(file.c_str(), "w", stdout), nullptr);
  FillStack();
  invocation.verb->handler(invocation);
  std::fflush(stdout);
  _dup2(console, _fileno(stdout));
  _close(console);
  DeleteKeyTree(HKEY_CLASSES_ROOT, kClass);
  EXPECT_NE(ReadFileBytes(file).find("KorvatExec class: HKCR\\" + key + " = \"" + server + "\""),
            std::string::npos);
}

}  // namespace
