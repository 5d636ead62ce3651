// The trace log, as the module writes it when it is loaded and unloaded, and
// as the TraceLog class formats lines.
#include "core/trace_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "harness/test_support.h"

using namespace korvat_test;

namespace {

const char kTime[] = R"(\d\d:\d\d:\d\d)";

bool Matches(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

// The lines of one framed run of the attach and detach lines, as patterns;
// the banner lines are a date of the locale's short form, five spaces, the
// time, "--->" and the log name.
std::vector<std::string> RunPatterns(bool with_blank_lines) {
  const std::string banner = std::string(R"(\S.*\S     )") + kTime + "--->Korvat\\.log   ";
  const std::string line = std::string(kTime) + R"(      DllMain\(\)---DLL_PROCESS_)";
  std::vector<std::string> patterns = {R"(\+{57})",      banner + "First Run", line + "ATTACH!",
                                       line + "DETACH!", banner + "End Run",   "-{56}"};
  if (with_blank_lines) {
    patterns.insert(patterns.begin() + 5, "");
    patterns.insert(patterns.begin() + 2, "");
  }
  return patterns;
}

void ExpectRun(const std::vector<std::string>& lines, size_t start, bool with_blank_lines = true) {
  const std::vector<std::string> patterns = RunPatterns(with_blank_lines);
  ASSERT_GE(lines.size(), start + patterns.size());
  for (size_t i = 0; i < patterns.size(); ++i) {
    EXPECT_TRUE(Matches(lines[start + i], patterns[i])) << start + i << ": " << lines[start + i];
  }
}

class ModuleTraceTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.CopyFromBin("Korvat.dll"); }
  std::string LogPath() const { return folder_.File("Korvat.log"); }
  void LoadAndUnload() {
    ASSERT_TRUE(ScopedLibrary(LoadLibraryA(folder_.File("Korvat.dll").c_str())));
  }
  std::string HostCommand() const {
    return "\"" + BinFile("module_host.exe") + "\" \"" + folder_.File("Korvat.dll") + "\"";
  }
  TempFolder folder_;
};

TEST_F(ModuleTraceTest, OnlySwitchOneOrThreeWritesAndALoadWritesEightLines) {
  const char kConfig[] = "Software\\Nuvix\\Config";
  // No switch at all: no log, but the key is made for the switch.
  DeleteKeyTree(HKEY_CURRENT_USER, kConfig);
  LoadAndUnload();
  EXPECT_FALSE(FileExists(LogPath()));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kConfig));
  struct Case {
    DWORD type;
    std::string bytes;
  } cases[] = {{REG_DWORD, std::string("\2\0\0\0", 4)},
               {REG_DWORD, std::string(4, '\0')},
               {REG_SZ, std::string("1", 2)},
               {REG_BINARY, std::string("\1\0\0\0\0\0\0\0", 8)}};  // longer than a DWORD
  for (const Case& c : cases) {
    ScopedTraceSwitch clear("Korvat", 0);
    RegSetKeyValueA(HKEY_CURRENT_USER, kConfig, "TRACE_ENABLE_Korvat", c.type, c.bytes.data(),
                    static_cast<DWORD>(c.bytes.size()));
    LoadAndUnload();
    EXPECT_FALSE(FileExists(LogPath())) << c.type << " " << c.bytes.size();
  }

  ScopedTraceSwitch on("Korvat", 1);
  LoadAndUnload();
  std::string bytes = ReadFileBytes(LogPath());
  std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 8u) << bytes;
  ExpectRun(lines, 0);
  // Text mode: every line ends in CR LF, and nothing else is in the file.
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 8);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 8);

  // A folder where the log file should be: the lines are dropped, the load still succeeds.
  ASSERT_TRUE(DeleteFileA(LogPath().c_str()));
  ASSERT_TRUE(CreateDirectoryA(LogPath().c_str(), nullptr));
  LoadAndUnload();
}

TEST_F(ModuleTraceTest, TwoProcessesAppendTwoRunsAndSwitchThreeAlsoTellsTheDebugger) {
  // Runs module_host, collecting the module's lines among the strings it sends.
  auto run_host = [this] {
    std::vector<std::string> ours;
    int exit_code = RunUnderDebugger(HostCommand(), [&](std::string s) {
      if (!s.empty() && s.back() == '\n') s.pop_back();
      for (const std::string& pattern : RunPatterns(false)) {
        if (Matches(s, pattern)) {
          ours.push_back(s);
          break;
        }
      }
    });
    EXPECT_EQ(exit_code, 0);
    return ours;
  };
  ScopedTraceSwitch on("Korvat", 3);
  std::vector<std::string> ours = run_host();
  ASSERT_EQ(ours.size(), 6u);
  ExpectRun(ours, 0, false);

  ScopedTraceSwitch file_only("Korvat", 1);
  EXPECT_TRUE(run_host().empty());
  std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 16u);
  ExpectRun(lines, 0);
  ExpectRun(lines, 8);
}

// TraceLog itself, pointed at a module path in a temporary folder.
class TraceLogTest : public ::testing::Test {
 protected:
  // The message parts of the lines between the banners.
  std::vector<std::string> Messages() const {
    std::vector<std::string> lines = ReadLines(folder_.File("Probe.log"));
    std::vector<std::string> messages;
    for (size_t i = 3; i + 3 < lines.size(); ++i) {
      messages.push_back(lines[i].size() > 14 ? lines[i].substr(14) : "");
    }
    return messages;
  }
  void Open(TraceLog* log) const {
    log->InitFromModulePath(folder_.File("Probe.dll").c_str());
    log->SetEnabled(1);
  }
  TempFolder folder_;
};

TEST_F(TraceLogTest, NamesComeFromTheModuleFileName) {
  struct Case {
    const char *path, *dir, *log, *switch_name;
  } cases[] = {
      {"C:\\Apps\\Korvat.1.dll", "C:\\Apps", "Korvat.log", "TRACE_ENABLE_Korvat"},
      {"C:\\Apps\\Korvat", "C:\\Apps", "Korvat.log", "TRACE_ENABLE_Korvat"},
      {"Korvat.dll", "", ".log", "TRACE_ENABLE_"},  // no backslash: no folder, no base name
  };
  for (const Case& c : cases) {
    TraceLog log;
    log.InitFromModulePath(c.path);
    EXPECT_STREQ(log.log_dir(), c.dir) << c.path;
    EXPECT_STREQ(log.log_name(), c.log) << c.path;
    EXPECT_STREQ(log.switch_name(), c.switch_name) << c.path;
  }
}

TEST_F(TraceLogTest, MessagesAreFormattedAndCutAt511Characters) {
  const std::string exact(511, 'a');
  {
    TraceLog log;
    Open(&log);
    EXPECT_EQ(log.Write("%s", exact.c_str()), 1);
    EXPECT_EQ(log.Write("%s", (std::string(511, 'b') + std::string(89, 'c')).c_str()), 1);
    log.Write("UnRegisterKey() parent_key = %s,section_key = %s", "SOFTWARE\\Nuvix",
              "TapvoMeeting");
  }
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{
                exact, std::string(511, 'b'),
                "UnRegisterKey() parent_key = SOFTWARE\\Nuvix,section_key = TapvoMeeting"}));
}

TEST_F(TraceLogTest, ThreadsWritingTheirFirstLinesAtOnceGetOneBanner) {
  constexpr int kThreads = 8;
  constexpr int kLinesEach = 5;
  // Many rounds, each a fresh log whose first lines all threads write at
  // once, released together by one event.
  for (int round = 0; round < 30; ++round) {
    DeleteFileA(folder_.File("Probe.log").c_str());
    {
      TraceLog log;
      Open(&log);
      ScopedHandle go(CreateEventA(nullptr, TRUE, FALSE, nullptr));
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, &go, t] {
          WaitForSingleObject(go.Get(), INFINITE);
          for (int i = 0; i < kLinesEach; ++i) log.Write("thread %d line %d", t, i);
        });
      }
      Sleep(10);  // every thread waits on the event
      SetEvent(go.Get());
      for (std::thread& thread : threads) thread.join();
    }
    // Between one pair of banners, nothing but the threads' lines.
    std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 1u * kThreads * kLinesEach) << "round " << round;
    ASSERT_TRUE(
        std::all_of(messages.begin(), messages.end(),
                    [](const std::string& m) { return Matches(m, R"(thread \d line \d+)"); }))
        << "round " << round;
  }
}

}  // namespace