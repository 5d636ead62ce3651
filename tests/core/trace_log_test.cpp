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

// The module loaded and unloaded by module_host, run under this process as
// its debugger, for each value of the trace switch: only 1 or 3 as a DWORD
// writes a run of eight lines, 3 also to the debugger; runs append, and a
// folder in the log's place drops the lines but not the load.
TEST(ModuleTraceTest, OnlySwitchOneOrThreeWritesAndThreeAlsoTellsTheDebugger) {
  TempFolder folder;
  folder.CopyFromBin("Korvat.dll");
  const std::string log = folder.File("Korvat.log"), config = "Software\\Nuvix\\Config";
  // Runs module_host, collecting the module's lines among the strings it sends.
  auto run_host = [&] {
    std::vector<std::string> ours;
    const std::string host =
        "\"" + BinFile("module_host.exe") + "\" \"" + folder.File("Korvat.dll");
    EXPECT_EQ(RunUnderDebugger(host + "\"",
                               [&](std::string s) {
                                 if (!s.empty() && s.back() == '\n') s.pop_back();
                                 for (const std::string& pattern : RunPatterns(false)) {
                                   if (Matches(s, pattern)) {
                                     ours.push_back(s);
                                     break;
                                   }
                                 }
                               }),
              0);
    return ours;
  };
  // No switch at all: no log, but the key is made for the switch.
  DeleteKeyTree(HKEY_CURRENT_USER, config);
  EXPECT_TRUE(run_host().empty());
  EXPECT_FALSE(FileExists(log));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, config));
  const struct {
    DWORD type;
    std::string bytes;
    size_t file_lines, debugger_lines;
  } rows[] = {
      {REG_DWORD, std::string("\2\0\0\0", 4), 0, 0},
      {REG_DWORD, std::string(4, '\0'), 0, 0},
      {REG_SZ, std::string("1", 2), 0, 0},
      {REG_BINARY, std::string("\1\0\0\0\0\0\0\0", 8), 0, 0},  // longer than a DWORD
      {REG_DWORD, std::string("\3\0\0\0", 4), 8, 6},
      {REG_DWORD, std::string("\1\0\0\0", 4), 16, 0},
  };
  ScopedTraceSwitch clear("Korvat", 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << row.type << " " << row.bytes.size() << " " << row.file_lines);
    RegSetKeyValueA(HKEY_CURRENT_USER, config.c_str(), "TRACE_ENABLE_Korvat", row.type,
                    row.bytes.data(), static_cast<DWORD>(row.bytes.size()));
    const std::vector<std::string> ours = run_host();
    ASSERT_EQ(ours.size(), row.debugger_lines);
    if (!ours.empty()) ExpectRun(ours, 0, false);
    const std::vector<std::string> lines = ReadLines(log);
    ASSERT_EQ(lines.size(), row.file_lines);
    for (size_t start = 0; start < lines.size(); start += 8) ExpectRun(lines, start);
    // Text mode: every line ends in CR LF, and nothing else is in the file.
    const std::string bytes = ReadFileBytes(log);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'),
              std::count(bytes.begin(), bytes.end(), '\r'));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'),
              static_cast<std::ptrdiff_t>(row.file_lines));
  }
  ASSERT_TRUE(DeleteFileA(log.c_str()));
  ASSERT_TRUE(CreateDirectoryA(log.c_str(), nullptr));
  run_host();
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