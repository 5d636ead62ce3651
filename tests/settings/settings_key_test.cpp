// The reading rule of the settings key: a failed open, a failed query and a
// value longer than the reader's buffer all count as missing.
#include "settings/settings_key.h"

#include <gtest/gtest.h>

#include <string>

#include "harness/test_support.h"

using namespace korvat_test;

namespace {

TEST(SettingsKeyTest, OnlyValuesThatFitTheBufferWithTheirZeroAreRead) {
  struct Case {
    const char* stored_as;  // the value name written, null for no key at all
    std::string stored;
    bool binary;  // unterminated data
    DWORD buffer;
    bool read;
  } cases[] = {
      {kOption, "ie", false, kFlagBufferSize, true},
      {kOption, "", false, kFlagBufferSize, true},
      {kOption, std::string(259, 'x'), false, kFlagBufferSize, true},
      {kOption, std::string(260, 'x'), false, kFlagBufferSize, false},
      {kOption, std::string(1023, 'p'), false, kPageBufferSize, true},
      {kOption, std::string(1024, 'p'), false, kPageBufferSize, false},
      {kOption, std::string(1024, 'p'), false, kLoginPageBufferSize, true},
      {kOption, std::string(8, 'z'), true, 8, false},
      {kOption, std::string(8, 'z'), true, 9, true},
      {kRightClick, "true", false, kFlagBufferSize, false},  // another value only
      {nullptr, "", false, kFlagBufferSize, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stored.size() << " in " << c.buffer);
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
    if (c.binary) {
      SetBinaryValue(HKEY_CURRENT_USER, kSettingsKey, c.stored_as, c.stored);
    } else if (c.stored_as != nullptr) {
      SetStringValue(HKEY_CURRENT_USER, kSettingsKey, c.stored_as, c.stored);
    }
    std::string buffer(c.buffer, '?');
    LONG status = ReadSettingString(HKEY_CURRENT_USER, kOption, &buffer[0], c.buffer);
    EXPECT_EQ(status == ERROR_SUCCESS, c.read);
    // A missing value leaves the buffer empty; the whole buffer is zeroed.
    EXPECT_EQ(std::string(buffer.c_str()), c.read ? c.stored : std::string());
    EXPECT_EQ(buffer.find('?'), std::string::npos);
  }
  DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
}

TEST(TextIsTrueTest, ComparesWithoutRegardToCase) {
  for (const char* yes : {"true", "TRUE", "True"}) EXPECT_TRUE(TextIsTrue(yes)) << yes;
  for (const char* no : {"false", "FALSE", "", "1", "truex", " true"}) {
    EXPECT_FALSE(TextIsTrue(no)) << no;
  }
}

}  // namespace
