#include "settings/cookie_file.h"

#include <cstring>

#include "platform/ansi_text.h"

namespace korvat {

namespace {

// One line of the text, without its "\n".
struct Line {
  const char* text;
  size_t size;
  bool BeginsWith(char c) const { return size > 0 && text[0] == c; }
};

// A record has at most nine lines; the line after an eight-line record
// begins the next record.
constexpr int kRecordLines = 9;
constexpr char kLocalMarker[] = "~~local~~";

bool Contains(const Line& line, const char* what) {
  size_t length = std::strlen(what);
  if (line.size < length) return false;
  for (size_t at = 0; at + length <= line.size; ++at) {
    if (std::memcmp(line.text + at, what, length) == 0) return true;
  }
  return false;
}

// A decimal number of at most 32 bits; anything else counts as 0.
uint32_t ParseTime(const Line& line) {
  if (line.size == 0 || line.size > 10) return 0;
  uint64_t number = 0;
  for (size_t i = 0; i < line.size; ++i) {
    char c = line.text[i];
    if (c < '0' || c > '9') return 0;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  return number > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(number);
}

uint64_t FileTime(const Line& low, const Line& high) {
  return (static_cast<uint64_t>(ParseTime(high)) << 32) | ParseTime(low);
}

// The matching record's verdict, from the `count` lines it has.
bool Evaluate(const Line* lines, int count, uint64_t now, char* value, char* url,
              uint64_t* created) {
  if (count < 6) return false;  // no expiry time
  if (now >= FileTime(lines[4], lines[5])) return false;
  const Line none = {"", 0};
  *created = FileTime(count >= 7 ? lines[6] : none, count >= 8 ? lines[7] : none);
  CopyCut(value, kCookieLineSize, lines[1].text, lines[1].size);
  CopyCut(url, kCookieLineSize, lines[2].text, lines[2].size);
  return true;
}

// Copies one "@"-separated field (at most size - 1 bytes) and returns the
// text after it.
const char* TakeField(const char* at, const char** field, size_t* length) {
  while (*at == '@') ++at;
  *field = at;
  while (*at != '\0' && *at != '@') ++at;
  *length = static_cast<size_t>(at - *field);
  return at;
}

// The meeting page is opened in the user's browser and handed to the client:
// only a web address may come of it. Any other scheme (and an address that
// begins with "://", which names none) leaves the default.
void TakeScheme(const char* field, size_t length, char* scheme) {
  for (size_t at = 0; at + 3 <= length; ++at) {
    if (std::memcmp(field + at, "://", 3) == 0) {
      if (EqualsNoCase(field, at, "http") || EqualsNoCase(field, at, "https")) {
        CopyCut(scheme, kSchemeSize, field, at);
      }
      return;
    }
  }
}

// Appends `length` bytes of `text` at `*used`, as far as they fit.
void Append(char* out, size_t size, size_t* used, const char* text, size_t length) {
  size_t room = size - 1 - *used;
  if (length > room) length = room;
  std::memcpy(out + *used, text, length);
  *used += length;
  out[*used] = '\0';
}

}  // namespace

bool FindCookieInText(const char* text, size_t size, const char* name, uint64_t now, char* value,
                      char* url, uint64_t* created) {
  value[0] = '\0';
  url[0] = '\0';
  *created = 0;
  if (const void* zero = std::memchr(text, '\0', size)) {
    size = static_cast<size_t>(static_cast<const char*>(zero) - text);
  }
  const char* end = text + size;
  const size_t name_length = std::strlen(name);

  Line lines[kRecordLines] = {};
  int line_no = 0;
  bool matched = false;
  for (const char* at = text;;) {
    while (at < end && *at == '\n') ++at;  // runs of "\n" are one separator
    if (at == end) break;
    const void* newline = std::memchr(at, '\n', static_cast<size_t>(end - at));
    const char* line_end = newline != nullptr ? static_cast<const char*>(newline) : end;
    const Line line = {at, static_cast<size_t>(line_end - at)};
    at = line_end;

    ++line_no;
    if (line_no == 1) {
      matched = line.size == name_length && std::memcmp(line.text, name, name_length) == 0;
    }
    if (matched) {
      lines[line_no - 1] = line;
      if (line_no == 3 && Contains(line, kLocalMarker)) matched = false;
    }
    bool record_ends = false;
    if (line_no == 8 && line.BeginsWith('*')) {
      record_ends = true;  // an eight-line record
    } else if (line_no == kRecordLines) {
      if (!line.BeginsWith('*')) return false;  // the file is not a cookie file
      record_ends = true;
    }
    if (record_ends) {
      if (matched) return Evaluate(lines, line_no, now, value, url, created);
      line_no = 0;
    }
  }
  return matched && Evaluate(lines, line_no, now, value, url, created);
}

void SetInstallDefaults(InstallChoices* choices) {
  std::memset(choices, 0, sizeof(*choices));
  std::strcpy(choices->option, "FALSE");
  std::strcpy(choices->office_menu, "FALSE");
  std::strcpy(choices->right_click, "FALSE");
  std::strcpy(choices->scheme, "http");
  std::strcpy(choices->has_brand, "FALSE");
}

void SplitInstallCookie(const char* value, InstallChoices* choices) {
  char* const texts[] = {choices->option, choices->office_menu, choices->right_click,
                         nullptr,         choices->has_brand,   choices->brand_title};
  const char* at = value;
  for (char* text : texts) {
    const char* field;
    size_t length;
    at = TakeField(at, &field, &length);
    if (length == 0) return;  // no more fields
    if (text != nullptr) {
      CopyCut(text, kCookieLineSize, field, length);
    } else {
      TakeScheme(field, length, choices->scheme);
    }
  }
}

bool IsUsablePageCookie(const char* url, const char* value) {
  const size_t host = std::strcspn(url, "/");
  if (value[0] != '/' || host == 0 || HasControlBytes(value)) return false;
  for (size_t i = 0; i < host; ++i) {
    if (IsControlByte(url[i]) || std::strchr("\\?#@", url[i]) != nullptr) return false;
  }
  return true;
}

void BuildPageFromCookie(const char* scheme, const char* url, const char* value, char* page,
                         size_t size) {
  if (size == 0) return;
  page[0] = '\0';
  size_t used = 0;
  Append(page, size, &used, scheme, std::strlen(scheme));
  Append(page, size, &used, "://", 3);
  Append(page, size, &used, url, std::strcspn(url, "/"));
  Append(page, size, &used, value, std::strlen(value));
}

}  // namespace korvat
