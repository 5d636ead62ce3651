#include "harness/trace_capture.h"

#include <windows.h>

#include "core/trace_log.h"
#include "harness/test_support.h"

namespace korvat_test {

TraceCapture::TraceCapture(const std::string& name) : path_(BinDir() + "\\" + name + ".log") {
  DeleteFileA(path_.c_str());
  g_TraceLog.InitFromModulePath((BinDir() + "\\" + name + ".dll").c_str());
  g_TraceLog.SetEnabled(1);
}

std::vector<std::string> TraceCapture::TakeMessages() {
  std::vector<std::string> lines = ReadLines(path_);
  std::vector<std::string> messages;
  for (size_t i = seen_; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    // Lines are "HH:MM:SS", six spaces and the message; banners are skipped.
    if (line.size() >= 14 && line[2] == ':' && line[5] == ':' &&
        line.compare(8, 6, "      ") == 0) {
      messages.push_back(line.substr(14));
    }
  }
  seen_ = lines.size();
  return messages;
}

}  // namespace korvat_test
