// korvatctl's one JSON writer: show --json and check --json each print one
// object built with it.
#pragma once

#include <string>

// The text as a JSON string, quotes included. Texts come in the system's ANSI
// code page, as the registry and the file system hand them out; every
// character beyond ASCII, every control character, the quote and the
// backslash go out as escapes, so the result is plain ASCII and valid JSON
// whatever a registry value holds.
std::string JsonQuoted(const std::string& text);

class JsonWriter {
 public:
  JsonWriter& BeginObject() { return Open('{'); }
  JsonWriter& EndObject() { return Close('}'); }
  JsonWriter& BeginArray() { return Open('['); }
  JsonWriter& EndArray() { return Close(']'); }
  // The name of the next member of the object.
  JsonWriter& Key(const std::string& name) {
    Separate();
    m_text += JsonQuoted(name) + ":";
    return *this;
  }
  JsonWriter& String(const std::string& text) { return Value(JsonQuoted(text)); }
  JsonWriter& Number(unsigned long number) { return Value(std::to_string(number)); }
  JsonWriter& Bool(bool value) { return Value(value ? "true" : "false"); }
  JsonWriter& Null() { return Value("null"); }

  const std::string& text() const { return m_text; }

 private:
  JsonWriter& Open(char bracket) {
    Separate();
    m_text += bracket;
    return *this;
  }
  JsonWriter& Close(char bracket) {
    m_text += bracket;
    m_needComma = true;
    return *this;
  }
  JsonWriter& Value(const std::string& json) {
    Separate();
    m_text += json;
    m_needComma = true;
    return *this;
  }
  // A comma before a value or a key when a value came before it at this level.
  void Separate() {
    if (m_needComma) m_text += ',';
    m_needComma = false;
  }

  std::string m_text;
  bool m_needComma = false;
};
