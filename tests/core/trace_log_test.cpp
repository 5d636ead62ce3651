// The trace log as the module writes it when loaded and unloaded, and the cut of a long message.
#include "core/trace_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "harness/test_support.h"

using namespace korvat_test;

namespace {

// module_host loads and unloads the module under this process as its debugger: only a switch of 1
// or 3 as a DWORD writes a run, 3 also to the debugger; runs append, and a folder in the log's
// place drops the lines but not the load.
TEST(ModuleTraceTest, OnlySwitchOneOrThreeWritesAndThreeAlsoTellsTheDebugger) {
  TempFolder folder;
  folder.CopyFromBin("Korvat.dll");
  const std::string log = folder.File("Korvat.log"), config = "Software\\Nuvix\\Config";
  // A run in the file: rules; banners of the locale's short date, five
  // spaces, the time, "--->" and the log name, each with a blank line after
  // it; CR LF ends (text mode). The debugger gets the six lines.
  const std::string time = R"(\d\d:\d\d:\d\d)",
                    banner = R"(\S.*\S     )" + time + "--->Korvat\\.log   ",
                    line = time + R"(      DllMain\(\)---DLL_PROCESS_)",
                    run = R"(\+{57}\r\n)" + banner + "First Run\r\n\r\n" + line + "ATTACH!\r\n" +
                          line + "DETACH!\r\n" + banner + "End Run\r\n\r\n-{56}\r\n";
  const std::regex told_line(R"((\+{57}|-{56}|.*--->Korvat\.log   .*|.*DllMain\(\)---.*)\n?)");
  auto run_host = [&](int runs, int told) {
    int seen = 0;
    EXPECT_EQ(
        RunUnderDebugger(
            "\"" + BinFile("module_host.exe") + "\" \"" + folder.File("Korvat.dll") + "\"",
            [&](const std::string& s) { return (seen += std::regex_match(s, told_line)) < 0; }),
        0);
    EXPECT_EQ(seen, told);
    const std::string bytes = ReadFileBytes(log);
    EXPECT_TRUE(std::regex_match(bytes, std::regex("(" + run + "){" + std::to_string(runs) + "}")))
        << bytes;
  };
  // No switch at all: no log, but the key is made for the switch.
  DeleteKeyTree(HKEY_CURRENT_USER, config);
  run_host(0, 0);
  EXPECT_FALSE(FileExists(log));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, config));
  const struct {
    DWORD type;
    std::string bytes;
    int runs, told;
  } rows[] = {
      {REG_DWORD, std::string("\2\0\0\0", 4), 0, 0},
      {REG_BINARY, std::string("\1\0\0\0\0\0\0\0", 8), 0, 0},  // longer than a DWORD
      {REG_DWORD, std::string("\3\0\0\0", 4), 1, 6},
      {REG_DWORD, std::string("\1\0\0\0", 4), 2, 0},
  };
  ScopedTraceSwitch clear("Korvat", 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.type << " " << row.bytes.size());
    RegSetKeyValueA(HKEY_CURRENT_USER, config.c_str(), "TRACE_ENABLE_Korvat", row.type,
                    row.bytes.data(), static_cast<DWORD>(row.bytes.size()));
    run_host(row.runs, row.told);
  }
  ASSERT_TRUE(DeleteFileA(log.c_str()));
  ASSERT_TRUE(CreateDirectoryA(log.c_str(), nullptr));
  run_host(0, 0);
}

// A message keeps its first 511 characters. (Only DllMain writes a module's
// first line, under the loader lock, so no two threads race for the banner.)
TEST(TraceLogTest, AMessageKeepsItsFirst511Characters) {
  TempFolder folder;
  TraceLog log;
  log.InitFromModulePath(folder.File("Probe.dll").c_str());
  log.SetEnabled(1);
  log.Write("%0600d", 7);
  EXPECT_EQ(TraceMessages(folder.File("Probe.log")),
            std::vector<std::string>{std::string(511, '0')});
}

}  // namespace
