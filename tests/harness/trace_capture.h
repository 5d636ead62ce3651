// Turns on the module-wide trace log of a test program that links the
// module's code, writing to a log file of its own beside the program, and
// hands back the messages written since the last look.
#pragma once

#include <string>
#include <vector>

namespace korvat_test {

class TraceCapture {
 public:
  // `name` becomes the log file's base name; one capture per test program.
  explicit TraceCapture(const std::string& name);
  // The message parts (after the time) of the lines written since the last call.
  std::vector<std::string> TakeMessages();

 private:
  std::string path_;
  size_t seen_ = 0;
};

}  // namespace korvat_test
