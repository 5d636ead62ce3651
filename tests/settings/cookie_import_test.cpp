// The install cookie import, from cookie files in the user's real cookies
// folder to the settings key in both hives.
#include "settings/cookie_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "settings/cookie_file.h"
#include "settings/settings_key.h"

using namespace korvat_test;

namespace {

using Lines = std::vector<std::string>;

std::string Page(const std::string& value = "/site/start/ann", ULONGLONG created = 500) {
  return CookieRecord(kMeetingPageCookie, value, "h/p/", created);
}
// An empty value stands for no install cookie.
std::string Install(const std::string& value) {
  return value.empty() ? "" : CookieRecord(kInstallCookie, value, "h/", 500);
}

TraceCapture& Trace() {
  static TraceCapture capture("cookie_import_trace");
  return capture;
}

class CookieImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = CookiesFolder();
    ASSERT_FALSE(folder_.empty());
    Clean();
    Trace().TakeMessages();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (int i = 1; i <= 5; ++i) DeleteFileA(File(i).c_str()) || RemoveDirectoryA(File(i).c_str());
    LastCookieFile[0] = '\0';  // every case starts with a folder search
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  }
  std::string File(int i) { return folder_ + "\\korvat" + std::to_string(i) + ".txt"; }
  std::string Write(int i, const std::string& text) {
    WriteFileBytes(File(i), text);
    return File(i);
  }
  std::string User(const char* name) { return Values(HKEY_CURRENT_USER, {name}); }
  // The values joined by "|".
  static std::string Values(HKEY root, std::initializer_list<const char*> names) {
    std::string joined;
    for (const char* name : names) joined += "|" + ReadStringValue(root, kSettingsKey, name);
    return joined.substr(1);
  }
  std::string folder_;
};

TEST_F(CookieImportTest, InstallCookieFieldsBecomeTheSettings) {
  const std::string ann = "://h/site/start/ann";
  struct Case {
    std::string install, user, page_value = "/site/start/ann";
  } cases[] = {
      {"iedesktop@true@false@https://x.example/y@true@MyBrand",
       "iedesktop|true|false|true|MyBrand|https" + ann},
      // Empty fields do not count: the later ones move forward.
      {"ie@@true", "ie|true|FALSE|FALSE||http" + ann},
      {"@@desktop@a@b@HTTP://z@y@T@ignored", "desktop|a|b|y|T|HTTP" + ann},
      {"", "FALSE|FALSE|FALSE|FALSE||http" + ann},
      // Only a web address gives the scheme: any other keeps "http".
      {"a@b@c@hTtPs://x", "a|b|c|FALSE||hTtPs" + ann},
      {"a@b@c@no-scheme", "a|b|c|FALSE||http" + ann},
      {"a@b@c@javascript://%0Aalert(1)", "a|b|c|FALSE||http" + ann},
      {"a@b@c@httpx://x", "a|b|c|FALSE||http" + ann},
      // The install value keeps 1023 characters, the page 2047.
      {"a@b@c@s://x@h@" + std::string(1500, 'T'),
       "a|b|c|h|" + std::string(1009, 'T') + "|http://h" + std::string(2039, 'v'),
       std::string(3000, 'v')},
  };
  const auto names = {kOption, kOfficeMenu, kRightClick, kHasBrand, kBrandTitle, kMeetingPage};
  for (const Case& c : cases) {
    Write(1, Page(c.page_value) + Install(c.install));
    EXPECT_EQ(ImportCookieSettings(), 1) << c.install;
    EXPECT_EQ(Values(HKEY_CURRENT_USER, names), c.user);
    // The machine seed has the same values but the brand.
    EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, names),
              Values(HKEY_CURRENT_USER, {kOption, kOfficeMenu, kRightClick}) +
                  "|<missing>|<missing>|" + User(kMeetingPage));
    Clean();
  }
}

TEST_F(CookieImportTest, TheNewestUnexpiredCookieWinsInEitherListingOrder) {
  for (int newer : {1, 2}) {
    Write(3 - newer, Page("/old", 100));
    std::string newest = Write(newer, Page("/new", 200));
    // Expired, local and undated cookies never win.
    Write(3, CookieRecord(kMeetingPageCookie, "/expired", "h/", 900, 0x100000000ull));
    Write(4, CookieRecord(kMeetingPageCookie, "/local", "~~local~~/x/", 900));
    Write(5, CookieRecord(kMeetingPageCookie, "/undated", "h/", 0));
    EXPECT_EQ(ImportCookieSettings(), 1);
    EXPECT_EQ(User(kMeetingPage), "http://h/new");
    EXPECT_EQ(std::string(LastCookieFile), newest);
    Clean();
  }
  // Equal times keep the file listed first (the folder lists them by name).
  Write(2, Page("/two", 300));
  Write(1, Page("/one", 300));
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(User(kMeetingPage), "http://h/one");
}

TEST_F(CookieImportTest, TheSecondImportReadsOnlyTheLastCookieFile) {
  std::string first = Write(1, Page("/first", 100) + Install("desktop"));
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(Trace().TakeMessages(), Lines{"FindCookieFile(),szCookieName=MeetingPage, "
                                          "szCookieValue=/first, szCookieURL=h/p/"});

  // A newer cookie elsewhere is not looked at, and nothing is traced.
  Write(2, Page("/newer", 900) + Install("ie"));
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(User(kMeetingPage), "http://h/first");
  EXPECT_EQ(User(kOption), "desktop");
  EXPECT_EQ(Trace().TakeMessages(), Lines{});

  // The last file alone answers, even when it no longer holds the cookie.
  Write(1, Install("ie"));
  EXPECT_EQ(ImportCookieSettings(), 0);
  // Once it is gone, even for a folder of its name, the folder is searched again.
  DeleteFileA(first.c_str());
  CreateDirectoryA(first.c_str(), nullptr);
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(User(kMeetingPage), "http://h/newer");
  EXPECT_EQ(Trace().TakeMessages().size(), 1u);
}

TEST_F(CookieImportTest, FindCookieFileRefusesMissingBuffersAndCutsToTheirSizes) {
  Write(1, Page("/site/start/ann"));
  char value[8], url[3];
  EXPECT_EQ(FindCookieFile(kMeetingPageCookie, nullptr, 8, url, 3), 0);
  EXPECT_EQ(FindCookieFile(nullptr, value, 8, url, 3), 0);
  EXPECT_EQ(FindCookieFile(kMeetingPageCookie, value, 8, nullptr, 3), 0);
  EXPECT_EQ(FindCookieFile(kMeetingPageCookie, value, 0, url, 3), 0);
  EXPECT_EQ(FindCookieFile(kMeetingPageCookie, value, 8, url, 0), 0);
  EXPECT_EQ(FindCookieFile(kMeetingPageCookie, value, 8, url, 3), 1);
  EXPECT_EQ(std::string(value) + "|" + url, "/site/s|h/");
}

TEST_F(CookieImportTest, AnEmptyOrOversizedFileGivesNothing) {
  std::string page = Page("/big");
  for (const std::string& text : {std::string(), page + std::string(1048577 - page.size(), '\n')}) {
    Write(1, text);
    EXPECT_EQ(ImportCookieSettings(), 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
    EXPECT_EQ(Trace().TakeMessages(), Lines{"FindCookieFile(),szCookieName=MeetingPage, "
                                            "szCookieValue=, szCookieURL="});
  }
  Write(1, page + std::string(1048576 - page.size(), '\n'));  // exactly 1 MiB is read
  EXPECT_EQ(ImportCookieSettings(), 1);
}

TEST_F(CookieImportTest, AnUnwritableMachineHiveFailsOnlyAWantedToolbarButton) {
  struct Case {
    const char* install;
    int result;
  } cases[] = {{"ie", 0}, {"IEdesktop", 0}, {"desktop", 1}, {"", 1}};
  for (const Case& c : cases) {
    ScopedReadOnlyKey machine(HKEY_LOCAL_MACHINE, kSettingsKey);
    ASSERT_TRUE(machine.active());
    Write(1, Page() + Install(c.install));
    EXPECT_EQ(ImportCookieSettings(), c.result) << c.install;
    EXPECT_EQ(User(kOption), *c.install != '\0' ? c.install : "FALSE");
    EXPECT_EQ(User(kMeetingPage), "http://h/site/start/ann");
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kSettingsKey, kOption));
    Clean();
  }
}

// The record rules, on the text of one file.
TEST(CookieTextTest, RecordRules) {
  const std::string ahead = "\n0\n2147483647\n";  // flags, then an expiry far ahead
  struct Case {
    const char* what;
    std::string text, value;
    ULONGLONG created;  // ~0: not found
  } cases[] = {
      {"plain", "MeetingPage\n/v\nh/\n0" + ahead + "7\n1\n*\n", "/v", 0x100000007ull},
      {"empty lines", "\n\nMeetingPage\n\n/v\nh/\n\n0" + ahead + "7\n1\n*", "/v", 0x100000007ull},
      {"name case", "meetingpage\n/v\nh/\n0" + ahead + "7\n1\n*\n", "", ~0ull},
      {"eight lines", "x\n1\nh/\n0\n0\n0\n0\n*\nMeetingPage\n/w\nh/\n0" + ahead + "9\n*\n", "/w",
       9},
      {"bad ninth line", "x\n1\nh/\n0\n0\n0\n0\n0\nX\nMeetingPage\n/w\nh/\n0" + ahead + "9\n0\n*",
       "", ~0ull},
      {"first match decides",
       "MeetingPage\n/v\nh/\n0\n0\n1\n7\n0\n*\nMeetingPage\n/w\nh/\n0" + ahead + "9\n0\n*", "",
       ~0ull},
      {"open at the end", "MeetingPage\n/v\nh/\n0" + ahead + "7", "/v", 7},
      {"non-decimal times", "MeetingPage\n/v\nh/\n0" + ahead + "7x\n99999999999\n*", "/v", 0},
      {"ends at a zero", std::string("MeetingPage\n/v\nh/\n0\0", 20) + ahead + "7\n0\n*", "",
       ~0ull},
      {"long line cut", "MeetingPage\n" + std::string(3000, 'v') + "\nh/\n0" + ahead + "7\n0\n*",
       std::string(2047, 'v'), 7},
      {"a zero after the record",
       "MeetingPage\n/v\nh/\n0" + ahead + "7\n0\n*\n" + std::string("\0MeetingPage\n", 13), "/v",
       7},
      {"CR LF line ends", "MeetingPage\r\n/v\r\nh/\r\n0\r\n0\r\n2147483647\r\n7\r\n0\r\n*\r\n", "",
       ~0ull},
  };
  for (const Case& c : cases) {
    char value[kCookieLineSize], url[kCookieLineSize];
    uint64_t created = 0;
    bool found = FindCookieInText(c.text.data(), c.text.size(), kMeetingPageCookie,
                                  0x01D0000000000000ull, value, url, &created);
    EXPECT_EQ(found ? created : ~0ull, c.created) << c.what;
    EXPECT_EQ(std::string(value), c.value) << c.what;
  }
}

}  // namespace
