// The reading rule of the settings key: a failed open, a failed query and a
// value longer than the reader's buffer all count as missing.
#include "settings/settings_key.h"

#include <gtest/gtest.h>

#include <string>

#include "harness/test_support.h"

using namespace korvat_test;

namespace {

class SettingsKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey); }
  void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey); }
};

TEST_F(SettingsKeyTest, ValuesThatFitTheBufferAreRead) {
  struct Case {
    std::string stored;
    DWORD buffer;
    bool read;
  } cases[] = {
      {"ie", kFlagBufferSize, true},
      {"", kFlagBufferSize, true},
      {std::string(259, 'x'), kFlagBufferSize, true},
      {std::string(260, 'x'), kFlagBufferSize, false},
      {std::string(1023, 'p'), kPageBufferSize, true},
      {std::string(1024, 'p'), kPageBufferSize, false},
      {std::string(1024, 'p'), kLoginPageBufferSize, true},
  };
  for (const Case& c : cases) {
    SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kOption, c.stored);
    std::string buffer(c.buffer, '?');
    LONG status = ReadSettingString(HKEY_CURRENT_USER, kOption, &buffer[0], c.buffer);
    EXPECT_EQ(status == ERROR_SUCCESS, c.read) << c.stored.size() << " in " << c.buffer;
    // A missing value leaves the buffer empty and zeroed.
    EXPECT_EQ(std::string(buffer.c_str()), c.read ? c.stored : std::string());
    EXPECT_EQ(buffer.find('?'), std::string::npos);
  }
}

TEST_F(SettingsKeyTest, UnterminatedDataThatFillsTheBufferIsMissing) {
  SetBinaryValue(HKEY_CURRENT_USER, kSettingsKey, kOption, std::string(8, 'z'));
  char buffer[8];
  EXPECT_NE(ReadSettingString(HKEY_CURRENT_USER, kOption, buffer, sizeof(buffer)),
            ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "");
  char larger[9];
  EXPECT_EQ(ReadSettingString(HKEY_CURRENT_USER, kOption, larger, sizeof(larger)),
            ERROR_SUCCESS);
  EXPECT_STREQ(larger, "zzzzzzzz");
}

TEST_F(SettingsKeyTest, MissingKeyOrValueIsMissing) {
  char buffer[kFlagBufferSize];
  EXPECT_NE(ReadSettingString(HKEY_CURRENT_USER, kOption, buffer, sizeof(buffer)),
            ERROR_SUCCESS);
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, kRightClick, "true");
  EXPECT_NE(ReadSettingString(HKEY_CURRENT_USER, kOption, buffer, sizeof(buffer)),
            ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "");
}

TEST(TextIsTrueTest, ComparesWithoutRegardToCase) {
  for (const char* yes : {"true", "TRUE", "True"}) EXPECT_TRUE(TextIsTrue(yes)) << yes;
  for (const char* no : {"false", "FALSE", "", "1", "truex", " true"}) {
    EXPECT_FALSE(TextIsTrue(no)) << no;
  }
}

}  // namespace
