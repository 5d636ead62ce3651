// The install cookie import, from the user's real cookies folder to the settings key in both hives.
#include "settings/cookie_import.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "harness/test_support.h"
#include "settings/cookie_file.h"
#include "settings/settings_key.h"

using namespace korvat_test;

namespace {

std::string Page(const std::string& value = "/site/start/ann", ULONGLONG created = 500) {
  return CookieRecord(kMeetingPageCookie, value, "h/p/", created);
}
// An empty value stands for no install cookie.
std::string Install(const std::string& value) {
  return value.empty() ? "" : CookieRecord(kInstallCookie, value, "h/", 500);
}

// The values joined by "|".
std::string Values(HKEY root, std::initializer_list<const char*> names) {
  std::string joined;
  for (const char* name : names) joined += "|" + ReadStringValue(root, kSettingsKey, name);
  return joined.substr(1);
}

class CookieImportTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  void Clean() {
    for (int i = 1; i <= 6; ++i) DeleteFileA(File(i).c_str()) || RemoveDirectoryA(File(i).c_str());
    LastCookieFile[0] = '\0';  // every case starts with a folder search
    DeleteSettingsKeys();
  }
  std::string File(int i) { return CookiesFolder() + "\\korvat" + std::to_string(i) + ".txt"; }
  void Write(int i, const std::string& text) { WriteFileBytes(File(i), text); }
};

// Last column: the result when the machine's key is read-only (a wanted button fails).
TEST_F(CookieImportTest, InstallCookieFieldsBecomeTheSettings) {
  const std::string ann = "://h/site/start/ann", v = "/" + std::string(2999, 'v');
  const std::tuple<std::string, std::string, int> cases[] = {
      {"IEdesktop@true@false@https://x.example/y@true@MyBrand",
       "IEdesktop|true|false|true|MyBrand|https" + ann, 0},
      // Empty fields do not count; only a web address gives the scheme.
      {"@@desktop@a@b@HTTP://z@y@T@ignored", "desktop|a|b|y|T|HTTP" + ann, 1},
      {"ie@b@c@javascript://%0Aalert(1)", "ie|b|c|FALSE||http" + ann, 0},
      {"", "FALSE|FALSE|FALSE|FALSE||http" + ann, 1},
      // The install value keeps 1023 characters, the page 2047.
      {"a@b@c@s://x@h@" + std::string(1500, 'T'),
       "a|b|c|h|" + std::string(1009, 'T') + "|http://h" + v.substr(0, 2039), 1},
  };
  const auto names = {kOption, kOfficeMenu, kRightClick, kHasBrand, kBrandTitle, kMeetingPage};
  for (const auto& [install, user, without_machine] : cases) {
    Clean();
    Write(1, Page(user.back() == 'v' ? v : "/site/start/ann") + Install(install));
    EXPECT_EQ(ImportCookieSettings(), 1) << install;
    EXPECT_EQ(Values(HKEY_CURRENT_USER, names), user);
    // The machine seed has the same values but the brand.
    EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, names),
              Values(HKEY_CURRENT_USER, {kOption, kOfficeMenu, kRightClick}) +
                  "|<missing>|<missing>|" + Values(HKEY_CURRENT_USER, {kMeetingPage}));
    DeleteSettingsKeys();
    ScopedReadOnlyKey machine(HKEY_LOCAL_MACHINE, kSettingsKey);
    EXPECT_EQ(ImportCookieSettings(), without_machine) << install;
    EXPECT_EQ(Values(HKEY_CURRENT_USER, names), user);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kSettingsKey, kOption));
  }
}

// A page that is not a plain path on the cookie's own host counts as no cookie.
TEST_F(CookieImportTest, APageOnlyEverAPathOnItsCookiesHost) {
  const std::pair<const char*, const char*> cookies[] = {
      {"/acme/start/ann\rIconFile=\\\\evil\\x.ico", "meet.example/"},
      {"@evil.example/acme/start/ann", "meet.example/"},
      {"acme", "meet.example/"},
      {"/a\x7f", "h/"},
      {"/a", "u@meet.example/"},
      {"/a", "evil.example?meet.example/"},
      {"/a", "evil.example\\x/"},
      {"/a", "/p/"}};
  TraceCapture trace("cookie_import_trace");
  for (const auto& [value, host] : cookies) {
    Clean();
    Write(1, CookieRecord(kMeetingPageCookie, value, host, 500) + Install("desktop"));
    EXPECT_EQ(ImportCookieSettings(), 0) << value << " " << host;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey)) << value;
  }
  // The search's trace line shows the value on its one line.
  EXPECT_NE(ReadFileBytes(BinFile("cookie_import_trace.log")).find("/ann?IconFile="),
            std::string::npos);
}

// The newest unexpired cookie wins (never expired, local or undated ones; of equal times the file
// listed first); its file alone answers the next import while it exists.
TEST_F(CookieImportTest, TheNewestCookieWinsAndItsFileAnswersTheNextImport) {
  TraceCapture trace("cookie_import_trace");
  trace.TakeMessages();
  Write(1, Page("/old", 100));
  Write(2, Page("/first", 200) + Install("desktop"));
  Write(3, CookieRecord(kMeetingPageCookie, "/expired", "h/", 900, 0x100000000ull));
  Write(4, CookieRecord(kMeetingPageCookie, "/local", "~~local~~/x/", 900));
  Write(5, CookieRecord(kMeetingPageCookie, "/undated", "h/", 0));
  Write(6, Page("/late", 200));
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(std::string(LastCookieFile), File(2));
  EXPECT_EQ(trace.TakeMessages(),
            std::vector<std::string>{"FindCookieFile(),szCookieName=MeetingPage, "
                                     "szCookieValue=/first, szCookieURL=h/p/"});
  // A newer cookie elsewhere is not looked at, and nothing is traced.
  Write(1, Page("/newer", 900) + Install("ie"));
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(Values(HKEY_CURRENT_USER, {kMeetingPage, kOption}), "http://h/first|desktop");
  EXPECT_EQ(trace.TakeMessages(), std::vector<std::string>{});
  // The last file alone answers, even when it no longer holds the cookie.
  Write(2, Install("ie"));
  EXPECT_EQ(ImportCookieSettings(), 0);
  // Once it is gone, even for a folder of its name, the newest cookie, listed first, wins again.
  DeleteFileA(File(2).c_str());
  CreateDirectoryA(File(2).c_str(), nullptr);
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(Values(HKEY_CURRENT_USER, {kMeetingPage, kOption}), "http://h/newer|ie");
  EXPECT_EQ(trace.TakeMessages().size(), 1u);
}

// Files of up to 1 MiB are read; values are cut to the caller's buffers.
TEST_F(CookieImportTest, FilesAndBuffersHaveTheirLimits) {
  const std::string page = Page("/site/start/ann");
  for (size_t size : {size_t{0}, size_t{1048577}, size_t{1048576}}) {
    Write(1, size == 0 ? "" : page + std::string(size - page.size(), '\n'));
    EXPECT_EQ(ImportCookieSettings(), size == 1048576 ? 1 : 0) << size;
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kSettingsKey), size == 1048576) << size;
  }
  char value[8], url[3];
  EXPECT_EQ(FindCookieFile(kMeetingPageCookie, nullptr, 8, url, 3), 0);
  EXPECT_EQ(FindCookieFile(kMeetingPageCookie, value, 8, url, 0), 0);
  EXPECT_EQ(FindCookieFile(kMeetingPageCookie, value, 8, url, 3), 1);
  EXPECT_EQ(std::string(value) + "|" + url, "/site/s|h/");
}

// The record rules, on the text of one file: "value created", or "" when not found.
TEST(CookieTextTest, RecordRules) {
  const std::string head = "MeetingPage\n/v\nh/\n0\n0\n2147483647\n";  // expiry far ahead
  const std::string eight = "x\n1\nh/\n0\n0\n0\n0\n";
  const std::pair<std::string, std::string> cases[] = {
      {head + "7\n1\n*\n", "/v 4294967303"},
      {"\n\nMeetingPage\n\n/v\nh/\n\n0\n0\n2147483647\n7\n1\n*", "/v 4294967303"},
      {eight + "*\n" + head + "9\n*\n", "/v 9"},  // an eight-line record before
      {eight + "0\nX\n" + head + "9\n0\n*", ""},  // a ninth line without "*"
      {"MeetingPage\n/v\nh/\n0\n0\n1\n7\n0\n*\n" + head + "9\n0\n*", ""},  // the first decides
      {head + "7", "/v 7"},
      {head + "7x\n99999999999\n*", "/v 0"},
      {std::string("MeetingPage\n/v\nh/\n0\0", 20) + head.substr(19) + "7\n0\n*", ""},
      {"MeetingPage\r\n/v\r\nh/\r\n0\r\n0\r\n2147483647\r\n7\r\n0\r\n*\r\n", ""},
  };
  for (const auto& [text, expected] : cases) {
    char value[kCookieLineSize], url[kCookieLineSize];
    uint64_t created = 0;
    const bool found = FindCookieInText(text.data(), text.size(), kMeetingPageCookie,
                                        0x01D0000000000000ull, value, url, &created);
    EXPECT_EQ(found ? value + (" " + std::to_string(created)) : "", expected) << text.substr(0, 40);
  }
}

}  // namespace
