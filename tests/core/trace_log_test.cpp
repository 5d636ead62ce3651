// The trace log, as the module writes it when it is loaded and unloaded, and
// as the TraceLog class formats lines.
#include "core/trace_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "harness/test_support.h"

using namespace korvat_test;

namespace {

const char kTime[] = R"(\d\d:\d\d:\d\d)";
const std::string kFirstRule(57, '+');
const std::string kEndRule(56, '-');

// A date of the locale's short form, five spaces, the time, "--->", the log name.
std::string BannerPattern(const std::string& log_name, const std::string& kind) {
  return std::string(R"(\S.*\S     )") + kTime + "--->" + log_name + "   " + kind;
}

std::string LinePattern(const std::string& message) {
  return std::string(kTime) + "      " + message;
}

bool Matches(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

void ExpectRun(const std::vector<std::string>& lines, size_t start,
               const std::vector<std::string>& messages) {
  ASSERT_GE(lines.size(), start + messages.size() + 6);
  EXPECT_EQ(lines[start], kFirstRule);
  EXPECT_TRUE(Matches(lines[start + 1], BannerPattern("Korvat\\.log", "First Run")))
      << lines[start + 1];
  EXPECT_EQ(lines[start + 2], "");
  size_t at = start + 3;
  for (const std::string& message : messages) {
    EXPECT_TRUE(Matches(lines[at], LinePattern(message))) << lines[at];
    ++at;
  }
  EXPECT_TRUE(Matches(lines[at], BannerPattern("Korvat\\.log", "End Run"))) << lines[at];
  EXPECT_EQ(lines[at + 1], "");
  EXPECT_EQ(lines[at + 2], kEndRule);
}

const std::vector<std::string> kAttachDetach = {
    R"(DllMain\(\)---DLL_PROCESS_ATTACH!)", R"(DllMain\(\)---DLL_PROCESS_DETACH!)"};

class ModuleTraceTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.CopyFromBin("Korvat.dll"); }
  std::string LogPath() const { return folder_.File("Korvat.log"); }
  void LoadAndUnload() {
    LoadedLibrary module(folder_.File("Korvat.dll"));
    ASSERT_TRUE(module);
  }
  TempFolder folder_;
};

TEST_F(ModuleTraceTest, LoadAndUnloadWriteTheEightLineLayout) {
  ScopedTraceSwitch on("Korvat", 1);
  LoadAndUnload();
  std::string bytes = ReadFileBytes(LogPath());
  std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 8u) << bytes;
  ExpectRun(lines, 0, kAttachDetach);
  // Text mode: every line ends in CR LF, and nothing else is in the file.
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  size_t lf = 0, crlf = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ++lf;
      if (i > 0 && bytes[i - 1] == '\r') ++crlf;
    }
  }
  EXPECT_EQ(lf, 8u);
  EXPECT_EQ(crlf, 8u);
}

struct SwitchCase {
  const char* name;
  DWORD type;
  std::string bytes;
};

class SwitchOffTest : public ModuleTraceTest,
                      public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchOffTest, CreatesNoLog) {
  const SwitchCase& c = GetParam();
  const char kConfig[] = "Software\\Nuvix\\Config";
  if (c.type == REG_DWORD) {
    DWORD number;
    memcpy(&number, c.bytes.data(), 4);
    SetDwordValue(HKEY_CURRENT_USER, kConfig, "TRACE_ENABLE_Korvat", number);
  } else if (c.type == REG_SZ) {
    SetStringValue(HKEY_CURRENT_USER, kConfig, "TRACE_ENABLE_Korvat", c.bytes);
  } else if (c.type == REG_BINARY) {
    SetBinaryValue(HKEY_CURRENT_USER, kConfig, "TRACE_ENABLE_Korvat", c.bytes);
  }
  LoadAndUnload();
  EXPECT_FALSE(FileExists(LogPath()));
  // The switch key exists afterwards even when tracing is off.
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kConfig));
  ScopedTraceSwitch clear("Korvat", 0);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SwitchOffTest,
    ::testing::Values(SwitchCase{"Two", REG_DWORD, std::string("\2\0\0\0", 4)},
                      SwitchCase{"Zero", REG_DWORD, std::string("\0\0\0\0", 4)},
                      SwitchCase{"Text", REG_SZ, "1"},
                      SwitchCase{"LongerThanFourBytes", REG_BINARY,
                                 std::string("\1\0\0\0\0\0\0\0", 8)},
                      SwitchCase{"Missing", REG_NONE, ""}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.name; });

TEST_F(ModuleTraceTest, TwoProcessesAppendTwoFramedRuns) {
  ScopedTraceSwitch on("Korvat", 1);
  std::string command = "\"" + BinFile("module_host.exe") + "\" \"" + folder_.File("Korvat.dll") + "\"";
  ASSERT_EQ(RunProcess(command), 0);
  ASSERT_EQ(RunProcess(command), 0);
  std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 16u);
  ExpectRun(lines, 0, kAttachDetach);
  ExpectRun(lines, 8, kAttachDetach);
}

TEST_F(ModuleTraceTest, UnwritableLogIsDroppedSilently) {
  // A folder where the log file should be: the file cannot be opened.
  ASSERT_TRUE(CreateDirectoryA(LogPath().c_str(), nullptr));
  ScopedTraceSwitch on("Korvat", 1);
  LoadAndUnload();
  EXPECT_TRUE(DirectoryExists(LogPath()));
}

// Runs module_host under a debugger and collects the debug strings it sends.
std::vector<std::string> DebugStringsOf(const std::string& command_line) {
  std::vector<std::string> strings;
  RunUnderDebugger(command_line, [&](const std::string& text) { strings.push_back(text); });
  return strings;
}

std::vector<std::string> ModuleStrings(const std::vector<std::string>& all) {
  std::vector<std::string> ours;
  for (const std::string& s : all) {
    if (s.find("DllMain()") != std::string::npos || s.find("--->Korvat.log") != std::string::npos ||
        s.find(kFirstRule) == 0 || s.find(kEndRule) == 0) {
      ours.push_back(s);
    }
  }
  return ours;
}

TEST_F(ModuleTraceTest, SwitchThreeAlsoSendsEveryLineToTheDebugger) {
  ScopedTraceSwitch on("Korvat", 3);
  std::string command = "\"" + BinFile("module_host.exe") + "\" \"" + folder_.File("Korvat.dll") + "\"";
  std::vector<std::string> ours = ModuleStrings(DebugStringsOf(command));
  ASSERT_EQ(ours.size(), 6u);
  EXPECT_EQ(ours[0], kFirstRule + "\n");
  EXPECT_TRUE(Matches(ours[1], BannerPattern("Korvat\\.log", "First Run") + "\n")) << ours[1];
  EXPECT_TRUE(Matches(ours[2], LinePattern(kAttachDetach[0]))) << ours[2];
  EXPECT_TRUE(Matches(ours[3], LinePattern(kAttachDetach[1]))) << ours[3];
  EXPECT_TRUE(Matches(ours[4], BannerPattern("Korvat\\.log", "End Run") + "\n")) << ours[4];
  EXPECT_EQ(ours[5], kEndRule + "\n");
  EXPECT_EQ(ReadLines(LogPath()).size(), 8u);

  // Switch 1: the file alone.
  ScopedTraceSwitch file_only("Korvat", 1);
  EXPECT_TRUE(ModuleStrings(DebugStringsOf(command)).empty());
  EXPECT_EQ(ReadLines(LogPath()).size(), 16u);
}

// TraceLog itself, pointed at a module path in a temporary folder.
class TraceLogTest : public ::testing::Test {
 protected:
  std::string ModulePath() const { return folder_.File("Probe.dll"); }
  std::string LogPath() const { return folder_.File("Probe.log"); }
  // The message parts of the lines between the banners.
  std::vector<std::string> Messages() const {
    std::vector<std::string> lines = ReadLines(LogPath());
    std::vector<std::string> messages;
    for (size_t i = 3; i + 3 < lines.size(); ++i) {
      messages.push_back(lines[i].size() > 14 ? lines[i].substr(14) : "");
    }
    return messages;
  }
  TempFolder folder_;
};

TEST_F(TraceLogTest, NamesComeFromTheModuleFileName) {
  struct Case {
    const char* path;
    const char* dir;
    const char* log;
    const char* switch_name;
  } cases[] = {
      {"C:\\Apps\\Korvat.dll", "C:\\Apps", "Korvat.log", "TRACE_ENABLE_Korvat"},
      {"C:\\Apps\\Korvat.1.dll", "C:\\Apps", "Korvat.log", "TRACE_ENABLE_Korvat"},
      {"C:\\Apps\\Korvat", "C:\\Apps", "Korvat.log", "TRACE_ENABLE_Korvat"},
      // No backslash: no folder and no base name.
      {"Korvat.dll", "", ".log", "TRACE_ENABLE_"},
  };
  for (const Case& c : cases) {
    TraceLog log;
    log.InitFromModulePath(c.path);
    EXPECT_STREQ(log.log_dir(), c.dir) << c.path;
    EXPECT_STREQ(log.log_name(), c.log) << c.path;
    EXPECT_STREQ(log.switch_name(), c.switch_name) << c.path;
  }
}

TEST_F(TraceLogTest, NothingIsWrittenWhenOffOrWithoutNames) {
  {
    TraceLog off;
    off.InitFromModulePath(ModulePath().c_str());
    EXPECT_EQ(off.Write("not written"), 0);
    TraceLog unnamed;
    unnamed.SetEnabled(1);
    EXPECT_EQ(unnamed.Write("no file name"), 0);
  }
  EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(TraceLogTest, LongMessagesAreCutAt511Characters) {
  const std::string exact(511, 'a');
  const std::string longer = std::string(511, 'b') + std::string(89, 'c');
  {
    TraceLog log;
    log.InitFromModulePath(ModulePath().c_str());
    log.SetEnabled(1);
    EXPECT_EQ(log.Write("%s", exact.c_str()), 1);
    EXPECT_EQ(log.Write("%s", longer.c_str()), 1);
  }
  std::vector<std::string> messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], exact);
  EXPECT_EQ(messages[1], std::string(511, 'b'));
}

TEST_F(TraceLogTest, FormatArgumentsAreFilledIn) {
  {
    TraceLog log;
    log.InitFromModulePath(ModulePath().c_str());
    log.SetEnabled(1);
    log.Write("UnRegisterKey() parent_key = %s,section_key = %s", "SOFTWARE\\Nuvix",
              "TapvoMeeting");
  }
  std::vector<std::string> messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "UnRegisterKey() parent_key = SOFTWARE\\Nuvix,section_key = TapvoMeeting");
}

TEST_F(TraceLogTest, ThreadsWritingTheirFirstLinesAtOnceGetOneBanner) {
  constexpr int kThreads = 8;
  constexpr int kLinesEach = 20;
  {
    TraceLog log;
    log.InitFromModulePath(ModulePath().c_str());
    log.SetEnabled(1);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&log, &ready, t] {
        ready.fetch_add(1);
        while (ready.load() < kThreads) {
        }
        for (int i = 0; i < kLinesEach; ++i) log.Write("thread %d line %d", t, i);
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 6u + kThreads * kLinesEach);
  int first_runs = 0;
  for (const std::string& line : lines) {
    if (line.find("First Run") != std::string::npos) ++first_runs;
  }
  EXPECT_EQ(first_runs, 1);
  EXPECT_EQ(lines[0], kFirstRule);
  for (size_t i = 3; i + 3 < lines.size(); ++i) {
    EXPECT_TRUE(Matches(lines[i], LinePattern(R"(thread \d line \d+)"))) << lines[i];
  }
}

}  // namespace
