// The brand title turned into the desktop shortcut's file name: any title,
// any candidate number and any room, into a buffer of exactly that room.
// The name must be one Windows can give a file, and a title that already is
// one must come through unchanged.
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "setup/shortcut_name.h"

using namespace korvat;

namespace {

// The text before the first dot, spaces around it left out, names a device.
bool NamesDevice(const std::string& name, size_t dot) {
  std::string base = name.substr(0, dot);
  base.erase(0, base.find_first_not_of(' '));
  base.erase(base.find_last_not_of(' ') + 1);
  for (char& c : base) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  const std::string head = base.substr(0, 3);
  return base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" ||
         (base.size() == 4 && (head == "COM" || head == "LPT") &&
          ((base[3] >= '0' && base[3] <= '9') ||
           IsLatinSuperscriptDigit(static_cast<unsigned char>(base[3]))));
}

// One or more whole characters that a file name may hold, naming no device
// (".url" follows, so a dot or a space may end it).
bool IsUsable(const std::string& name) {
  size_t dot = std::string::npos;
  for (size_t at = 0; at < name.size();) {
    const unsigned char c = static_cast<unsigned char>(name[at]);
    if (IsShiftJisLeadByte(c) && (at += 2) <= name.size()) continue;
    if (IsShiftJisLeadByte(c) || c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
    if (c == '.' && dot == std::string::npos) dot = at;
    ++at;
  }
  return !name.empty() && !NamesDevice(name, dot);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const unsigned number = 1 + data[0] % kMaxShortcutNumber;
  // Up to twice MAX_PATH.
  const size_t room = 1 + (static_cast<size_t>(data[1]) << 8 | data[2]) % 520;
  const std::string title = std::string(reinterpret_cast<const char*>(data) + 3, size - 3).c_str();
  const std::string tail = (number > 1 ? " (" + std::to_string(number) + ")" : "") + ".url";

  std::unique_ptr<char[]> buffer(new char[room]);
  const bool made = MakeShortcutFileName(title.c_str(), number, IsShiftJisLeadByte,
                                         IsLatinSuperscriptDigit, buffer.get(), room);
  Check(made == (room >= tail.size() + 3));
  if (!made) return 0;
  const std::string name = buffer.get();
  Check(name.size() < room && name.size() > tail.size() &&
        name.compare(name.size() - tail.size(), tail.size(), tail) == 0);
  const std::string stem = name.substr(0, name.size() - tail.size());
  Check(IsUsable(stem));
  if (IsUsable(title) && title.size() + tail.size() + 2 <= room) Check(stem == title);
  return 0;
}
