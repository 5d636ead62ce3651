// korvatctl: its command line, its verbs on a copy of the module, check on
// broken installations, and, as a program, its exit codes and the logon
// state it must put back after a press.
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "arguments.h"
#include "check.h"
#include "cookie_writer.h"
#include "harness/test_support.h"
#include "installation.h"

using namespace korvat_test;

namespace {

using Words = std::vector<std::string>;
const char kSettings[] = "Software\\Nuvix\\TapvoMeeting";

Words Split(const std::string& line) {
  Words words;
  std::istringstream split(line);
  for (std::string word; split >> word;) words.push_back(word);
  return words;
}

ParseStatus Parse(const Words& words, Invocation* invocation, std::string* error) {
  std::vector<const char*> argv{"korvatctl"};
  for (const std::string& word : words) argv.push_back(word.c_str());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), kVerbs, kVerbCount,
                          invocation, error);
}

// What a command line parses to, in one line.
std::string Outcome(const std::string& line) {
  const Words words = Split(line);
  Invocation in;
  std::string error;
  const ParseStatus status = Parse(words, &in, &error);
  if (status == ParseStatus::kUsageError) return "error: " + error;
  if (status == ParseStatus::kHelp) return "help: " + std::string(in.verb ? in.verb->name : "-");
  std::string outcome = in.verb->name;
  for (const std::string& arg : in.args) outcome += " " + arg;
  if (in.verb->flags_argument) outcome += " flags=" + std::to_string(in.flags);
  if (!in.module.empty()) outcome += " module=" + in.module;
  if (!in.page.empty()) outcome += " page=" + in.page;
  if (in.has_install) outcome += " install=" + in.install;
  return outcome + (in.client_logged_on ? " logged-on" : "") + (in.json ? " json" : "");
}

TEST(KorvatctlArguments, CommandLines) {
  const std::string verbs = " (korvatctl --help lists the verbs)";
  auto malformed = [](const std::string& verb, const std::string& flags) {
    return "error: " + verb + ": malformed flags '" + flags +
           "' (a number such as 0xA, or names such as office-menu,right-click)";
  };
  const struct {
    const char* line;
    std::string outcome;
  } cases[] = {
      {"", "error: no verb given" + verbs},
      {"--help", "help: -"},
      {"press-button --help", "help: press-button"},
      {"frobnicate", "error: unknown verb 'frobnicate'" + verbs},
      {"show --frob", "error: unknown option '--frob' (korvatctl --help lists the options)"},
      {"setup extra", "error: setup: expects no arguments (usage: korvatctl setup)"},
      {"--module C:\\x\\Korvat.dll register", "register module=C:\\x\\Korvat.dll"},
      {"get-option --module=K.dll", "get-option module=K.dll"},
      {"get-option --module", "error: --module needs a value"},
      // Flags: numbers of at most 32 bits, or names.
      {"set-option", "error: set-option: expects 1 argument (usage: korvatctl set-option FLAGS)"},
      {"set-option 0xFFFFFFFF", "set-option 0xFFFFFFFF flags=4294967295"},
      {"set-option office-menu,right-click", "set-option office-menu,right-click flags=10"},
      {"set-option 4294967296", malformed("set-option", "4294967296")},
      {"remove-addin office-menu,", malformed("remove-addin", "office-menu,")},
      {"remove-addin Office-Menu", malformed("remove-addin", "Office-Menu")},
      {"set-login -- -site- ann", "set-login -site- ann"},
      {"trace of", "error: trace: 'of' is not one of on|off|show"},
      {"put-cookie",
       "error: put-cookie: --page is required (usage: korvatctl put-cookie "
       "--page URL [--install FIELDS])"},
      {"put-cookie --install=a@b --page=https://h/p", "put-cookie page=https://h/p install=a@b"},
      {"press-button --client-logged-on", "press-button logged-on"},
      {"press-button --client-logged-on=1", "error: --client-logged-on takes no value"},
      {"setup --json", "error: setup: --json is not an option of this verb"},
  };
  for (const auto& c : cases) EXPECT_EQ(Outcome(c.line), c.outcome) << c.line;
  EXPECT_EQ(DescribeFlags(0), "none");
  EXPECT_EQ(DescribeFlags(0xB), "settings-present office-menu right-click");
  EXPECT_EQ(DescribeFlags(0x34), "browser-button 0x30");
}

// The page address put-cookie splits into the cookie's host and path fields.
TEST(KorvatctlCookies, PageAddresses) {
  const struct {
    const char *page, *split;  // host|path, or null when refused
  } cases[] = {
      {"https://h.example/a/start/b?x=1", "h.example|/a/start/b?x=1"},
      {"http://h:8080", "h:8080|/"},
      {"nohost", nullptr},
      {"ht tp://h/p", nullptr},
      {"https://h/p\nMeetingPage", nullptr},
  };
  for (const auto& c : cases) {
    std::string host, path;
    const bool split = SplitPageAddress(c.page, &host, &path);
    EXPECT_EQ(split ? host + "|" + path : "refused", c.split ? c.split : "refused") << c.page;
  }
}

// The verbs' handlers, called as main() calls them, on a copy of the module
// whose file name holds a second ".": the trace switch and the log are named
// after the name up to its first ".", as the module names them.
class KorvatctlVerbs : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override {
    Clean();
    DeleteFileA((CookiesFolder() + "\\korvatctl@meet.example.com.txt").c_str());
  }
  // What a setup leaves, but the cookie.
  void Clean() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(root, kSettings);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kSwitchKey, "TRACE_ENABLE_Korvat");
    DeleteKeyTree(HKEY_CURRENT_USER, kButtonKey);
    for (const char* key : {"Korvat.KorvatExec", "Korvat.KorvatExec.1", kTypeLib, kClass}) {
      DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    }
    DeleteFileA(StandardShortcut().c_str());
  }
  int Run(const std::string& line) {
    Words words = Split(line);
    words.insert(words.begin(), {"--module", folder_.File("Korvat.v2.dll")});
    Invocation invocation;
    std::string error;
    if (Parse(words, &invocation, &error) != ParseStatus::kRun) {
      ADD_FAILURE() << error;
      return -1;
    }
    return invocation.verb->handler(invocation);
  }
  static constexpr char kSwitchKey[] = "Software\\Nuvix\\Config";
  static constexpr char kClass[] = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
  static constexpr char kTypeLib[] = "TypeLib\\{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}";
  TempFolder folder_;
};

// Exit code 1 exactly when the export reports a failure; a failed setup's
// message box does not hold korvatctl up.
TEST_F(KorvatctlVerbs, ExportResultsBecomeExitCodes) {
  folder_.CopyFromBin("Korvat.dll", "Korvat.v2.dll");
  folder_.CopyFromBin("zrtpres.dll");
  // No log yet, and no settings key; setup and register find no install
  // cookie (1603 after the message); then the module's own log.
  const std::pair<const char*, int> steps[] = {
      {"trace show", 1},     {"trace on", 0},  {"get-option", 1},
      {"set-option 0xE", 1}, {"get-login", 1}, {"set-login https://x.example/site ann", 0},
      {"get-option", 0},     {"get-login", 0}, {"remove-addin none", 0},
      {"setup", 1},          {"register", 1},  {"unregister", 0},
      {"uninstall", 0},      {"pre-setup", 0}, {"trace show", 0},
      {"trace off", 0},      {"trace off", 0},
  };
  for (const auto& step : steps) EXPECT_EQ(Run(step.first), step.second) << step.first;
  EXPECT_TRUE(FileExists(folder_.File("Korvat.log")));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kSwitchKey, "TRACE_ENABLE_Korvat"));
}

// check after a setup that installed everything finds every point holding;
// each row then breaks one piece, and check names the points that depend on
// it, with a reason, and changes neither the registry nor the files.
TEST_F(KorvatctlVerbs, CheckNamesEachBrokenPiece) {
  folder_.CopyFromBin("Korvat.dll", "Korvat.v2.dll");
  folder_.CopyFromBin("zrtpres.dll");
  const std::string log = folder_.File("Korvat.log");
  auto text = [](HKEY root, const std::string& key, const char* name, const std::string& data) {
    return [=] { SetStringValue(root, key, name, data); };
  };
  const struct {
    const char* failing;  // the points that no longer hold, in check's order
    std::function<void()> damage;
    const char* reason;  // in their reasons
  } rows[] = {
      {"", [] {}, ""},
      {"", [] { SetDwordValue(HKEY_CURRENT_USER, kSwitchKey, "TRACE_ENABLE_Korvat", 3); }, ""},
      {"class", [] { DeleteKeyTree(HKEY_CLASSES_ROOT, kClass); }, "not registered"},
      {"class", text(HKEY_CLASSES_ROOT, kClassServerKey, "", "C:\\gone\\Korvat.dll"),
       "names C:\\gone\\Korvat.dll, which does not exist"},
      {"class", text(HKEY_CLASSES_ROOT, kClassServerKey, "", folder_.File("zrtpres.dll")),
       "zrtpres.dll, not "},
      {"typelib", [] { DeleteKeyTree(HKEY_CLASSES_ROOT, kTypeLib); }, "not registered"},
      {"typelib", text(HKEY_CLASSES_ROOT, kTypeLibKey, "", "C:\\gone.tlb"), "does not exist"},
      {"button", [] { DeleteKeyTree(HKEY_CURRENT_USER, kButtonKey); }, "asks for the button"},
      {"button", text(HKEY_CURRENT_USER, kButtonKey, "ClsidExtension", "{0}"), "ClsidExtension"},
      {"button", text(HKEY_CURRENT_USER, kSettings, "Option", "desktop"), "does not ask for"},
      {"shortcut", [] { DeleteFileA(StandardShortcut().c_str()); }, "which does not exist"},
      {"shortcut", [] { RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettings, "SHORTCUT_PATH"); },
       "not set"},
      {"shortcut", [] { SetBinaryValue(HKEY_CURRENT_USER, kSettings, "SHORTCUT_PATH", "C:"); },
       "SHORTCUT_PATH is REG_BINARY"},
      {"shortcut", text(HKEY_CURRENT_USER, kSettings, "MeetingPage", "https://meet.example.com/b"),
       "not the MeetingPage \"https://meet.example.com/b\""},
      {"companions", [&] { DeleteFileA(folder_.File("nvxMSAI.dll").c_str()); }, "nvxMSAI.dll"},
      {"shortcut page", text(HKEY_CURRENT_USER, kSettings, "MeetingPage", "ftp://h/a"),
       "not an http or https address"},
      {"shortcut page", [] { SetDwordValue(HKEY_CURRENT_USER, kSettings, "MeetingPage", 7); },
       "MeetingPage is REG_DWORD"},
      {"trace",
       [&] {
         SetDwordValue(HKEY_CURRENT_USER, kSwitchKey, "TRACE_ENABLE_Korvat", 1);
         CreateDirectoryA(log.c_str(), nullptr);
       },
       "Korvat.log cannot be written"},
  };
  // The keys that check reads, and the files beside the module.
  auto snapshot = [&] {
    std::vector<std::string> all = DumpTree(HKEY_CURRENT_USER, "Software\\Nuvix");
    for (const char* key : {kClass, kTypeLib}) {
      for (const std::string& line : DumpTree(HKEY_CLASSES_ROOT, key)) all.push_back(line);
    }
    for (const std::string& line : DumpTree(HKEY_CURRENT_USER, kButtonKey)) all.push_back(line);
    all.push_back(std::to_string(FileExists(log)) + std::to_string(FileExists(StandardShortcut())));
    return all;
  };
  ASSERT_EQ(Run("put-cookie --page https://meet.example.com/acme/start/ann --install "
                "iedesktop@true@true@https://meet.example.com"),
            0);
  for (const auto& row : rows) {
    Clean();
    RemoveDirectoryA(log.c_str());
    for (const char* file : {"nvxMSAI.dll", "nvxrmenu.dll"}) folder_.CopyFromBin(file);
    ASSERT_EQ(Run("setup"), 0);
    row.damage();
    const std::vector<std::string> before = snapshot();
    std::string failing, reasons;
    for (const CheckPoint& point : CheckInstallation(folder_.File("Korvat.v2.dll"))) {
      if (point.reason.empty()) continue;
      failing += std::string(failing.empty() ? "" : " ") + point.name;
      reasons += point.reason + "\n";
    }
    EXPECT_EQ(failing, row.failing) << reasons;
    EXPECT_NE(reasons.find(row.reason), std::string::npos) << reasons;
    EXPECT_EQ(snapshot(), before) << row.failing << " " << row.reason;
  }
}

// korvatctl.exe itself, from a folder without the module: its exit codes, and
// a press sets LogonState to 1 and puts back whatever was there, the keys
// included (a Logon key left behind would keep a removal from deleting the
// settings key).
TEST(KorvatctlProgram, ExitCodesAndThePressPutsTheLogonStateBack) {
  TempFolder folder;
  folder.CopyFromBin("korvatctl.exe");
  auto run = [&](const std::string& arguments) {
    return RunProcess("\"" + folder.File("korvatctl.exe") + "\" " + arguments);
  };
  EXPECT_EQ(run("--help"), 0);
  EXPECT_EQ(run("frobnicate"), 2);
  EXPECT_EQ(run("get-option"), 1);  // no Korvat.dll beside it

  // No settings key, a key without Logon, LogonState as a number, as text.
  const std::string logon = std::string(kSettings) + "\\Logon";
  for (int state = 0; state < 4; ++state) {
    DeleteKeyTree(HKEY_CURRENT_USER, kSettings);
    if (state > 0) SetStringValue(HKEY_CURRENT_USER, kSettings, "MeetingPage", "x");
    if (state == 2) SetDwordValue(HKEY_CURRENT_USER, logon, "LogonState", 0);
    if (state == 3) SetStringValue(HKEY_CURRENT_USER, logon, "LogonState", "7");
    const std::vector<std::string> before = DumpTree(HKEY_CURRENT_USER, kSettings);
    const int exit_code = run("press-button --client-logged-on");
    EXPECT_TRUE(exit_code == 0 || exit_code == 1) << exit_code;
    EXPECT_EQ(DumpTree(HKEY_CURRENT_USER, kSettings), before) << state;
  }
  DeleteKeyTree(HKEY_CURRENT_USER, kSettings);
}

// Leaves 'G' in the stack below the caller, where the next call's locals go.
__attribute__((noinline)) void FillStack() {
  volatile char fill[16384];
  for (size_t i = 0; i < sizeof(fill); ++i) fill[i] = 'G';
}

// show reads the class's server value with room for a zero: a value of 260
// bytes without one is printed whole, and nothing of what lies beside the
// buffer after it. Run in this process, over a stack filled with 'G'.
TEST(KorvatctlShow, AServerValueThatFillsItsBufferIsPrintedWholeAndNoMore) {
  const std::string key = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
  const std::string server(MAX_PATH, 's'), data = server + '#';  // no zero follows
  RegSetKeyValueA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), nullptr, REG_SZ,
                  data.data(), MAX_PATH);
  Invocation invocation;
  std::string error;
  ASSERT_EQ(Parse({"show"}, &invocation, &error), ParseStatus::kRun);
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
  DeleteKeyTree(HKEY_CLASSES_ROOT, key);
  EXPECT_NE(ReadFileBytes(file).find("KorvatExec class: HKCR\\" + key + "\\InprocServer32 = \"" +
                                     server + "\""),
            std::string::npos);
}

}  // namespace
