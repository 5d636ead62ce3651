// The trace log, as the module writes it when it is loaded and unloaded, and
// as the TraceLog class writes lines from several threads.
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

using Strings = std::vector<std::string>;

bool Matches(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

// One run of the module's load and unload as patterns: the banners are a date
// of the locale's short form, five spaces, the time, "--->" and the log name.
// The file has a blank line after the first banner and before the second.
Strings RunPatterns(bool in_file) {
  const std::string time = R"(\d\d:\d\d:\d\d)",
                    banner = R"(\S.*\S     )" + time + "--->Korvat\\.log   ",
                    line = time + R"(      DllMain\(\)---DLL_PROCESS_)";
  Strings patterns = {R"(\+{57})",      banner + "First Run", line + "ATTACH!",
                      line + "DETACH!", banner + "End Run",   "-{56}"};
  if (in_file) {
    patterns.insert(patterns.begin() + 5, "");
    patterns.insert(patterns.begin() + 2, "");
  }
  return patterns;
}

// The module loaded and unloaded by module_host, run under this process as
// its debugger, for each value of the trace switch: only 1 or 3 as a DWORD
// writes a run of eight lines, 3 also to the debugger; runs append, and a
// folder in the log's place drops the lines but not the load.
TEST(ModuleTraceTest, OnlySwitchOneOrThreeWritesAndThreeAlsoTellsTheDebugger) {
  TempFolder folder;
  folder.CopyFromBin("Korvat.dll");
  const std::string log = folder.File("Korvat.log"), config = "Software\\Nuvix\\Config";
  // Runs module_host; the module's lines among the strings it sends.
  auto run_host = [&] {
    Strings ours;
    const std::string host =
        "\"" + BinFile("module_host.exe") + "\" \"" + folder.File("Korvat.dll") + "\"";
    EXPECT_EQ(RunUnderDebugger(host,
                               [&](std::string s) {
                                 if (!s.empty() && s.back() == '\n') s.pop_back();
                                 for (const std::string& pattern : RunPatterns(false)) {
                                   if (Matches(s, pattern)) return ours.push_back(s);
                                 }
                               }),
              0);
    return ours;
  };
  auto expect_runs = [](const Strings& lines, bool in_file) {
    const Strings patterns = RunPatterns(in_file);
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_TRUE(Matches(lines[i], patterns[i % patterns.size()])) << i << ": " << lines[i];
    }
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
    SCOPED_TRACE(testing::Message() << row.type << " " << row.bytes.size());
    RegSetKeyValueA(HKEY_CURRENT_USER, config.c_str(), "TRACE_ENABLE_Korvat", row.type,
                    row.bytes.data(), static_cast<DWORD>(row.bytes.size()));
    const Strings ours = run_host();
    ASSERT_EQ(ours.size(), row.debugger_lines);
    expect_runs(ours, false);
    const Strings lines = ReadLines(log);
    ASSERT_EQ(lines.size(), row.file_lines);
    expect_runs(lines, true);
    // Text mode: every line ends in CR LF.
    const std::string bytes = ReadFileBytes(log);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'),
              std::count(bytes.begin(), bytes.end(), '\n'));
  }
  ASSERT_TRUE(DeleteFileA(log.c_str()));
  ASSERT_TRUE(CreateDirectoryA(log.c_str(), nullptr));
  run_host();
}

// Threads writing the first lines of a fresh log at once, released together
// by one event, get one pair of banners around their lines; each message
// keeps its first 511 characters.
TEST(TraceLogTest, ThreadsWritingTheirFirstLinesAtOnceGetOneBanner) {
  TempFolder folder;
  const std::string log_file = folder.File("Probe.log"), tail(600, 'x');
  for (int round = 0; round < 30; ++round) {
    DeleteFileA(log_file.c_str());
    {
      TraceLog log;
      log.InitFromModulePath(folder.File("Probe.dll").c_str());
      log.SetEnabled(1);
      ScopedHandle go(CreateEventA(nullptr, TRUE, FALSE, nullptr));
      std::vector<std::thread> threads;
      for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
          WaitForSingleObject(go.Get(), INFINITE);
          for (int i = 0; i < 5; ++i) log.Write("thread %d line %d %s", t, i, tail.c_str());
        });
      }
      Sleep(10);
      SetEvent(go.Get());
      for (std::thread& thread : threads) thread.join();
    }
    const Strings messages = TraceMessages(log_file);
    ASSERT_EQ(messages.size(), 40u);
    ASSERT_EQ(ReadLines(log_file).size(), 46u) << "round " << round;  // one pair of banners
    for (const std::string& message : messages) {
      ASSERT_TRUE(Matches(message, R"(thread \d line \d x{495})")) << message;
    }
  }
}

}  // namespace
