#include "setup/shortcut_name.h"

#include <cstring>

#include "platform/ansi_text.h"

namespace korvat {

namespace {

constexpr char kExtension[] = ".url";
constexpr char kCharacterDevices[][4] = {"CON", "PRN", "AUX", "NUL"};
constexpr char kNumberedDevices[][4] = {"COM", "LPT"};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameLetters(const char* text, const char* upper, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

// Windows opens the device, not a file, for these names.
bool IsDeviceName(const char* text, size_t length, SuperscriptDigitTest is_superscript_digit) {
  if (length == 3) {
    for (const char* device : kCharacterDevices) {
      if (SameLetters(text, device, 3)) return true;
    }
  } else if (length == 4 && ((text[3] >= '0' && text[3] <= '9') ||
                             is_superscript_digit(static_cast<unsigned char>(text[3])))) {
    for (const char* device : kNumberedDevices) {
      if (SameLetters(text, device, 3)) return true;
    }
  }
  return false;
}

bool IsForbidden(unsigned char c) { return c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr; }

}  // namespace

bool MakeShortcutFileName(const char* title, unsigned number, LeadByteTest is_lead_byte,
                          SuperscriptDigitTest is_superscript_digit, char* name, size_t size) {
  char suffix[16] = "";
  if (number > 1) FormatText(suffix, sizeof(suffix), " (%u)", number);
  const size_t tail = std::strlen(suffix) + sizeof(kExtension) - 1;
  // One character, the "_" a device name may need, the tail and the zero.
  if (size < tail + 3) return false;
  const size_t room = size - tail - 2;

  // `dot` is the first dot, where an extension begins. Dots and spaces at the
  // title's end stay: ".url" follows them, and Windows trims only a name's end.
  size_t length = 0, dot = room;
  for (const char* at = title; *at != '\0';) {
    const unsigned char c = static_cast<unsigned char>(*at);
    const size_t step = is_lead_byte(c) && at[1] != '\0' ? 2 : 1;
    if (length + step > room) break;
    if (step == 2) {
      std::memcpy(name + length, at, 2);
    } else {
      // A lead byte without its second byte would swallow the extension's dot.
      name[length] = IsForbidden(c) || is_lead_byte(c) ? '_' : static_cast<char>(c);
      if (c == '.' && dot == room) dot = length;
    }
    length += step;
    at += step;
  }
  if (length == 0) name[length++] = '_';

  // The device test looks at the name before its first dot, spaces around it
  // left out.
  size_t start = 0, end = dot < length ? dot : length;
  while (start < end && name[start] == ' ') ++start;
  while (end > start && name[end - 1] == ' ') --end;
  if (IsDeviceName(name + start, end - start, is_superscript_digit)) {
    std::memmove(name + end + 1, name + end, length - end);
    name[end] = '_';
    ++length;
  }
  FormatText(name + length, size - length, "%s%s", suffix, kExtension);
  return true;
}

}  // namespace korvat
