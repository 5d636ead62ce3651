// korvatctl: its command line against the real verb table, the cookie file it
// writes as the module's own cookie reader sees it, and, as a program, its
// exit codes and the logon state it must put back after a press.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "arguments.h"
#include "cookie_writer.h"
#include "harness/test_support.h"
#include "settings/cookie_file.h"

using namespace korvat_test;

namespace {

ParseStatus Parse(const std::vector<std::string>& words, Invocation* invocation,
                  std::string* error) {
  std::vector<const char*> argv{"korvatctl"};
  for (const std::string& word : words) argv.push_back(word.c_str());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), kVerbs, kVerbCount,
                          invocation, error);
}

// What a command line parses to, in one line.
std::string Outcome(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream split(line);
  for (std::string word; split >> word;) words.push_back(word);

  Invocation invocation;
  std::string error;
  switch (Parse(words, &invocation, &error)) {
    case ParseStatus::kUsageError:
      return "error: " + error;
    case ParseStatus::kHelp:
      return std::string("help: ") + (invocation.verb ? invocation.verb->name : "program");
    case ParseStatus::kRun:
      break;
  }
  std::string outcome = invocation.verb->name;
  for (const std::string& arg : invocation.args) outcome += " " + arg;
  if (invocation.verb->flags_argument) {
    char flags[32];
    snprintf(flags, sizeof(flags), " flags=0x%X", invocation.flags);
    outcome += flags;
  }
  if (!invocation.module.empty()) outcome += " module=" + invocation.module;
  if (!invocation.page.empty()) outcome += " page=" + invocation.page;
  if (invocation.has_install) outcome += " install=" + invocation.install;
  if (invocation.client_logged_on) outcome += " logged-on";
  return outcome;
}

TEST(KorvatctlArguments, CommandLines) {
  const std::string malformed =
      "' (a number such as 0xA, or names such as office-menu,right-click)";
  const struct {
    const char* line;
    std::string outcome;
  } cases[] = {
      {"", "error: no verb given (korvatctl --help lists the verbs)"},
      {"--help", "help: program"},
      {"-h", "help: program"},
      {"press-button --help", "help: press-button"},
      {"frobnicate", "error: unknown verb 'frobnicate' (korvatctl --help lists the verbs)"},
      {"--help frobnicate", "error: unknown verb 'frobnicate' (korvatctl --help lists the verbs)"},
      {"show --frob", "error: unknown option '--frob' (korvatctl --help lists the options)"},
      {"setup extra", "error: setup: expects no arguments (usage: korvatctl setup)"},
      {"setup", "setup"},
      {"uninstall", "uninstall"},
      {"--module C:\\x\\Korvat.dll register", "register module=C:\\x\\Korvat.dll"},
      {"get-option --module=K.dll", "get-option module=K.dll"},
      {"get-option --module", "error: --module needs a value"},
      // Flags: numbers of at most 32 bits, or names.
      {"set-option", "error: set-option: expects 1 argument (usage: korvatctl set-option FLAGS)"},
      {"set-option 0xA", "set-option 0xA flags=0xA"},
      {"set-option 10", "set-option 10 flags=0xA"},
      {"set-option 0xFFFFFFFF", "set-option 0xFFFFFFFF flags=0xFFFFFFFF"},
      {"set-option office-menu,right-click", "set-option office-menu,right-click flags=0xA"},
      {"remove-addin none", "remove-addin none flags=0x0"},
      {"set-option 0x", "error: set-option: malformed flags '0x" + malformed},
      {"set-option 0x1g", "error: set-option: malformed flags '0x1g" + malformed},
      {"set-option -1", "error: set-option: malformed flags '-1" + malformed},
      {"set-option 4294967296", "error: set-option: malformed flags '4294967296" + malformed},
      {"remove-addin office-menu,", "error: remove-addin: malformed flags 'office-menu," +
                                        malformed},
      {"remove-addin Office-Menu", "error: remove-addin: malformed flags 'Office-Menu" +
                                       malformed},
      {"set-login https://x/site",
       "error: set-login: expects 2 arguments (usage: korvatctl set-login SITE NAME)"},
      {"set-login -- -site- ann", "set-login -site- ann"},
      {"trace show", "trace show"},
      {"trace of", "error: trace: 'of' is not one of on|off|show"},
      {"trace", "error: trace: expects 1 argument (usage: korvatctl trace on|off|show)"},
      {"put-cookie", "error: put-cookie: --page is required (usage: korvatctl put-cookie "
                     "--page URL [--install FIELDS])"},
      {"put-cookie --page", "error: --page needs a value"},
      {"put-cookie --page https://h/p", "put-cookie page=https://h/p"},
      {"put-cookie --install=a@b --page=https://h/p", "put-cookie page=https://h/p install=a@b"},
      {"press-button --client-logged-on", "press-button logged-on"},
      {"press-button --client-logged-on=1", "error: --client-logged-on takes no value"},
      {"setup --client-logged-on",
       "error: setup: --client-logged-on is not an option of this verb"},
  };
  for (const auto& c : cases) EXPECT_EQ(Outcome(c.line), c.outcome) << c.line;
}

TEST(KorvatctlArguments, FlagNames) {
  EXPECT_EQ(DescribeFlags(0), "none");
  EXPECT_EQ(DescribeFlags(0xB), "settings-present office-menu right-click");
  EXPECT_EQ(DescribeFlags(0x34), "browser-button 0x30");
}

TEST(KorvatctlCookies, TheModuleReadsWhatPutCookieWrites) {
  const std::string page = "https://meet.example.com/acme/start/ann";
  const std::string install = "iedesktop@true@true@https://meet.example.com";
  std::string host, path;
  ASSERT_TRUE(SplitPageAddress(page, &host, &path));
  const uint64_t now = 133000000000000000ull;
  const std::string file = MeetingCookieFile(host, path, &install, now);

  char value[kCookieLineSize], url[kCookieLineSize];
  uint64_t created = 0;
  ASSERT_TRUE(FindCookieInText(file.data(), file.size(), kMeetingPageCookie, now + 1, value, url,
                               &created));
  EXPECT_EQ(created, now);
  InstallChoices choices;
  SetInstallDefaults(&choices);
  char install_value[kCookieLineSize], install_url[kCookieLineSize];
  ASSERT_TRUE(FindCookieInText(file.data(), file.size(), kInstallCookie, now + 1, install_value,
                               install_url, &created));
  SplitInstallCookie(install_value, &choices);
  char imported[kMeetingPageSize];
  BuildMeetingPage(choices.scheme, url, value, imported, sizeof(imported));
  EXPECT_EQ(std::string(imported), page);
  EXPECT_EQ(std::string(choices.option), "iedesktop");

  // Unexpired for a year, not longer.
  EXPECT_TRUE(FindCookieInText(file.data(), file.size(), kMeetingPageCookie,
                               now + 364 * 864000000000ull, value, url, &created));
  EXPECT_FALSE(FindCookieInText(file.data(), file.size(), kMeetingPageCookie,
                                now + 366 * 864000000000ull, value, url, &created));
}

TEST(KorvatctlCookies, PageAddresses) {
  const struct {
    const char* page;
    const char* split;  // host|path, or null when refused
  } cases[] = {
      {"https://h.example/a/start/b?x=1", "h.example|/a/start/b?x=1"},
      {"http://h:8080", "h:8080|/"},
      {"nohost", nullptr},
      {"://h/p", nullptr},
      {"https:///p", nullptr},
      {"ht tp://h/p", nullptr},
      {"https://h/p\nMeetingPage", nullptr},
  };
  for (const auto& c : cases) {
    std::string host, path;
    const bool split = SplitPageAddress(c.page, &host, &path);
    EXPECT_EQ(split ? host + "|" + path : "refused", c.split ? c.split : "refused") << c.page;
  }
}

// The verbs' handlers, called as main() calls them, on a copy of the module.
class KorvatctlVerbs : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Nuvix\\TapvoMeeting");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Nuvix\\TapvoMeeting");
  }
  int Run(std::vector<std::string> words, const std::string& module) {
    words.insert(words.begin(), {"--module", module});
    Invocation invocation;
    std::string error;
    if (Parse(words, &invocation, &error) != ParseStatus::kRun) {
      ADD_FAILURE() << error;
      return -1;
    }
    return invocation.verb->handler(invocation);
  }
  TempFolder folder_;
};

// Exit code 1 exactly when the export reports a failure; a failed setup's
// message box does not hold korvatctl up.
TEST_F(KorvatctlVerbs, ExportResultsBecomeExitCodes) {
  folder_.CopyFromBin("Korvat.dll");
  folder_.CopyFromBin("zrtpres.dll");
  const struct {
    std::vector<std::string> words;
    int exit_code;
  } steps[] = {
      {{"get-option"}, 1},  // no settings key
      {{"set-option", "0xE"}, 1},
      {{"get-login"}, 1},
      {{"set-login", "https://x.example/site", "ann"}, 0},
      {{"get-option"}, 0},
      {{"get-login"}, 0},
      {{"remove-addin", "none"}, 0},
      {{"setup"}, 1},     // no install cookie: 1603 after the message
      {{"register"}, 1},  // the same: 1
      {{"unregister"}, 0},
      {{"uninstall"}, 0},
      {{"pre-setup"}, 0},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(Run(step.words, folder_.File("Korvat.dll")), step.exit_code) << step.words[0];
  }
}

// The switch and the log are named after the module's file name up to its
// first ".", as the module names them.
TEST_F(KorvatctlVerbs, TraceFollowsTheModuleFileName) {
  const std::string module = folder_.File("Probe.v2.dll");
  const char kSwitchKey[] = "Software\\Nuvix\\Config";
  EXPECT_EQ(Run({"trace", "on"}, module), 0);
  DWORD type = REG_NONE;
  std::string bytes;
  ASSERT_TRUE(ReadRawValue(HKEY_CURRENT_USER, kSwitchKey, "TRACE_ENABLE_Probe", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(bytes, std::string("\1\0\0\0", 4));
  EXPECT_EQ(Run({"trace", "show"}, module), 1);  // no log yet
  WriteFileBytes(folder_.File("Probe.log"), "line\r\n");
  EXPECT_EQ(Run({"trace", "show"}, module), 0);
  EXPECT_EQ(Run({"trace", "off"}, module), 0);
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kSwitchKey, "TRACE_ENABLE_Probe"));
  EXPECT_EQ(Run({"trace", "off"}, module), 0);
}

// korvatctl.exe itself, from a folder without the module.
class KorvatctlProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.CopyFromBin("korvatctl.exe");
    DeleteKeyTree(HKEY_CURRENT_USER, kSettings);
  }
  void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kSettings); }
  int Run(const std::string& arguments) {
    return RunProcess("\"" + folder_.File("korvatctl.exe") + "\" " + arguments);
  }
  static constexpr char kSettings[] = "Software\\Nuvix\\TapvoMeeting";
  static constexpr char kLogon[] = "Software\\Nuvix\\TapvoMeeting\\Logon";
  TempFolder folder_;
};

TEST_F(KorvatctlProgram, ExitCodes) {
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_EQ(Run("frobnicate"), 2);
  EXPECT_EQ(Run("set-option 0x1g"), 2);
  EXPECT_EQ(Run("put-cookie --page nohost"), 2);
  // No Korvat.dll beside it.
  EXPECT_EQ(Run("get-option"), 1);
}

// The press sets LogonState to 1 and puts back whatever was there, the keys
// included: a Logon key left behind would keep a removal from deleting the
// settings key.
TEST_F(KorvatctlProgram, ThePressPutsTheLogonStateBack) {
  const struct {
    bool settings_key;
    DWORD type;  // REG_NONE: no LogonState
    std::string bytes;
  } cases[] = {
      {false, REG_NONE, ""},
      {true, REG_NONE, ""},
      {true, REG_DWORD, std::string(4, '\0')},
      {true, REG_SZ, std::string("7\0", 2)},
  };
  for (const auto& c : cases) {
    if (c.settings_key) SetStringValue(HKEY_CURRENT_USER, kSettings, "MeetingPage", "x");
    if (c.type == REG_DWORD) SetDwordValue(HKEY_CURRENT_USER, kLogon, "LogonState", 0);
    if (c.type == REG_SZ) SetStringValue(HKEY_CURRENT_USER, kLogon, "LogonState", "7");

    const int exit_code = Run("press-button --client-logged-on");
    EXPECT_TRUE(exit_code == 0 || exit_code == 1) << exit_code;
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kSettings), c.settings_key);
    DWORD type = REG_NONE;
    std::string bytes;
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kLogon, "LogonState", &type, &bytes),
              c.type != REG_NONE);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kLogon), c.type != REG_NONE);
    DeleteKeyTree(HKEY_CURRENT_USER, kSettings);
  }
}

}  // namespace
