// The install cookie import, from cookie files in the user's real cookies
// folder to the settings key in both hives.
#include "settings/cookie_import.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "harness/test_support.h"
#include "harness/trace_capture.h"
#include "settings/cookie_file.h"
#include "settings/settings_key.h"

using namespace korvat_test;

namespace {

const ULONGLONG kNever = 0x7FFFFFFF00000000ull;  // an expiry far ahead
const ULONGLONG kLongAgo = 0x0000000100000000ull;

// One nine-line record.
std::string Record(const std::string& name, const std::string& value, const std::string& url,
                   ULONGLONG created, ULONGLONG expires = kNever) {
  auto low = [](ULONGLONG t) { return std::to_string(static_cast<DWORD>(t)); };
  auto high = [](ULONGLONG t) { return std::to_string(static_cast<DWORD>(t >> 32)); };
  return name + "\n" + value + "\n" + url + "\n1536\n" + low(expires) + "\n" + high(expires) +
         "\n" + low(created) + "\n" + high(created) + "\n*\n";
}

std::string Page(const std::string& value = "/site/start/ann", ULONGLONG created = 500) {
  return Record(kMeetingPageCookie, value, "h/p/", created);
}

std::string Install(const std::string& value) {
  return Record(kInstallCookie, value, "h/", 500);
}

TraceCapture& Trace() {
  static TraceCapture capture("cookie_import_trace");
  return capture;
}

class CookieImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_COOKIES | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, folder),
              S_OK);
    folder_ = folder;
    Clean();
    Trace().TakeMessages();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    files_.clear();
    LastCookieFile[0] = '\0';  // every case starts with a folder search
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = folder_ + "\\" + name;
    WriteFileBytes(path, text);
    files_.push_back(path);
    return path;
  }
  std::string User(const char* name) {
    return ReadStringValue(HKEY_CURRENT_USER, kSettingsKey, name);
  }
  std::string Machine(const char* name) {
    return ReadStringValue(HKEY_LOCAL_MACHINE, kSettingsKey, name);
  }
  // The cookie files in the order the folder lists them.
  std::vector<std::string> Listed() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder_ + "\\*.txt").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(folder_ + "\\" + entry.cFileName);
    while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
  }
  std::string folder_;
  std::vector<std::string> files_;
};

TEST_F(CookieImportTest, InstallCookieFieldsBecomeTheSettings) {
  struct Case {
    const char* install;  // null: no install cookie
    const char *option, *office, *right, *brand, *title, *page;
  } cases[] = {
      {"iedesktop@true@false@https://x.example/y@true@MyBrand", "iedesktop", "true", "false",
       "true", "MyBrand", "https://h/site/start/ann"},
      // Empty fields do not count: the later ones move forward.
      {"ie@@true", "ie", "true", "FALSE", "FALSE", "", "http://h/site/start/ann"},
      {"@@desktop@a@b@ftp://z@y@T@ignored", "desktop", "a", "b", "y", "T",
       "ftp://h/site/start/ann"},
      {nullptr, "FALSE", "FALSE", "FALSE", "FALSE", "", "http://h/site/start/ann"},
      // Addresses without a scheme leave "http"; a long scheme keeps 15 characters.
      {"a@b@c@no-scheme", "a", "b", "c", "FALSE", "", "http://h/site/start/ann"},
      {"a@b@c@://x", "a", "b", "c", "FALSE", "", "http://h/site/start/ann"},
      {"a@b@c@abcdefghijklmnopq://x", "a", "b", "c", "FALSE", "",
       "abcdefghijklmno://h/site/start/ann"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.install != nullptr ? c.install : "(no install cookie)");
    Write("korvat1.txt", Page() + (c.install != nullptr ? Install(c.install) : ""));
    EXPECT_EQ(ImportCookieSettings(), 1);
    EXPECT_EQ(User(kOption), c.option);
    EXPECT_EQ(User(kOfficeMenu), c.office);
    EXPECT_EQ(User(kRightClick), c.right);
    EXPECT_EQ(User(kHasBrand), c.brand);
    EXPECT_EQ(User(kBrandTitle), c.title);
    EXPECT_EQ(User(kMeetingPage), c.page);
    // The machine seed has no brand values.
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, kSettingsKey),
              (std::vector<std::string>{
                  std::string(kSettingsKey),
                  std::string(kSettingsKey) + "|MeetingPage=REG_SZ:" + c.page,
                  std::string(kSettingsKey) + "|OfficeMenu=REG_SZ:" + c.office,
                  std::string(kSettingsKey) + "|Option=REG_SZ:" + c.option,
                  std::string(kSettingsKey) + "|RightClick=REG_SZ:" + c.right}));
    Clean();
  }
}

TEST_F(CookieImportTest, OverlongInputIsCut) {
  // The install cookie keeps 1023 characters, the meeting page 2047.
  Write("korvat1.txt", Page(std::string(3000, 'v')) +
                           Install("ie@o@r@s://x@h@" + std::string(1500, 'T')));
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(User(kBrandTitle), std::string(1023 - 15, 'T'));
  EXPECT_EQ(User(kMeetingPage), "s://h" + std::string(2047 - 5, 'v'));
}

TEST_F(CookieImportTest, TheNewestUnexpiredCookieWinsInEitherListingOrder) {
  for (bool newer_first : {true, false}) {
    std::string older = Write(newer_first ? "korvat2.txt" : "korvat1.txt", Page("/old", 100));
    std::string newer = Write(newer_first ? "korvat1.txt" : "korvat2.txt", Page("/new", 200));
    // Expired, local and undated cookies never win.
    Write("korvat3.txt", Record(kMeetingPageCookie, "/expired", "h/", 900, kLongAgo));
    Write("korvat4.txt", Record(kMeetingPageCookie, "/local", "~~local~~/x/", 900));
    Write("korvat5.txt", Record(kMeetingPageCookie, "/undated", "h/", 0));
    EXPECT_EQ(ImportCookieSettings(), 1);
    EXPECT_EQ(User(kMeetingPage), "http://h/new");
    EXPECT_EQ(std::string(LastCookieFile), newer);
    Clean();
  }
}

TEST_F(CookieImportTest, EqualCreationTimesKeepTheFirstListedFile) {
  Write("korvat1.txt", Page("/one", 300));
  Write("korvat2.txt", Page("/two", 300));
  std::vector<std::string> listed = Listed();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(std::string(LastCookieFile), listed[0]);
}

TEST_F(CookieImportTest, TheSecondImportReadsOnlyTheLastCookieFile) {
  std::string first = Write("korvat1.txt", Page("/first", 100) + Install("desktop"));
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(Trace().TakeMessages(),
            std::vector<std::string>{"FindCookieFile(),szCookieName=MeetingPage, "
                                     "szCookieValue=/first, szCookieURL=h/p/"});

  // A newer cookie elsewhere is not looked at, and no search is traced.
  Write("korvat2.txt", Page("/newer", 900) + Install("ie"));
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(User(kMeetingPage), "http://h/first");
  EXPECT_EQ(User(kOption), "desktop");
  EXPECT_EQ(Trace().TakeMessages(), std::vector<std::string>{});

  // The last file alone answers, even when it no longer holds the cookie.
  WriteFileBytes(first, Install("ie"));
  EXPECT_EQ(ImportCookieSettings(), 0);

  // Once it is gone, the folder is searched again.
  DeleteFileA(first.c_str());
  EXPECT_EQ(ImportCookieSettings(), 1);
  EXPECT_EQ(User(kMeetingPage), "http://h/newer");
  EXPECT_EQ(Trace().TakeMessages().size(), 1u);
}

TEST_F(CookieImportTest, WithoutAMeetingPageCookieNothingIsWritten) {
  for (const std::string& text :
       {std::string(), Install("ie"), std::string(kMeetingPageCookie) + "\n/v\nh/\n"}) {
    Write("korvat1.txt", text);
    EXPECT_EQ(ImportCookieSettings(), 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
    // The failed search is traced with the buffers as they stood.
    EXPECT_EQ(Trace().TakeMessages(),
              std::vector<std::string>{"FindCookieFile(),szCookieName=MeetingPage, "
                                       "szCookieValue=, szCookieURL="});
    Clean();
  }
}

TEST_F(CookieImportTest, AnUnwritableMachineHiveFailsOnlyAWantedToolbarButton) {
  struct Case {
    const char* install;
    int result;
  } cases[] = {{"ie", 0}, {"IEdesktop", 0}, {"desktop", 1}, {nullptr, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.install != nullptr ? c.install : "FALSE");
    ScopedReadOnlyKey machine(HKEY_LOCAL_MACHINE, kSettingsKey);
    ASSERT_TRUE(machine.active());
    Write("korvat1.txt", Page() + (c.install != nullptr ? Install(c.install) : ""));
    EXPECT_EQ(ImportCookieSettings(), c.result);
    EXPECT_EQ(User(kOption), c.install != nullptr ? c.install : "FALSE");
    EXPECT_EQ(User(kMeetingPage), "http://h/site/start/ann");
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kSettingsKey, kOption));
    Clean();
  }
}

TEST_F(CookieImportTest, FilesOverOneMebibyteAreNotRead) {
  std::string text = Page("/big");
  std::string at_limit = text + std::string(kMaxCookieFileSize - text.size(), '\n');
  std::string path = Write("korvat1.txt", at_limit);
  char value[kCookieLineSize], url[kCookieLineSize];
  ULONGLONG created = 0;
  EXPECT_EQ(ReadCookieFile(path.c_str(), kMeetingPageCookie, value, url, &created), 1);
  EXPECT_EQ(created, 500u);
  WriteFileBytes(path, at_limit + "\n");
  EXPECT_EQ(ReadCookieFile(path.c_str(), kMeetingPageCookie, value, url, &created), 0);
  EXPECT_EQ(ReadCookieFile((path + ".missing").c_str(), kMeetingPageCookie, value, url,
                           &created),
            0);
}

// The record rules, on the text of one file.
TEST(CookieTextTest, RecordRules) {
  const ULONGLONG now = 0x01D0000000000000ull;
  const std::string ahead = "\n0\n2147483647\n";  // flags end, expiry far ahead
  struct Case {
    const char* what;
    std::string text;
    bool found;
    std::string value;
    ULONGLONG created;
  } cases[] = {
      {"plain", "MeetingPage\n/v\nh/\n0" + ahead + "7\n1\n*\n", true, "/v", 0x100000007ull},
      {"empty lines skipped", "\n\nMeetingPage\n\n/v\nh/\n\n0" + ahead + "7\n1\n*", true, "/v",
       0x100000007ull},
      {"name case matters", "meetingpage\n/v\nh/\n0" + ahead + "7\n1\n*\n", false, "", 0},
      {"later record", "x\n1\nh/\n0\n0\n0\n0\n0\n*\nMeetingPage\n/w\nh/\n0" + ahead + "7\n0\n*\n",
       true, "/w", 7},
      {"eight lines", "x\n1\nh/\n0\n0\n0\n0\n*\nMeetingPage\n/w\nh/\n0" + ahead + "9\n*\n", true,
       "/w", 9},
      {"bad ninth line", "x\n1\nh/\n0\n0\n0\n0\n0\nX\nMeetingPage\n/w\nh/\n0" + ahead + "9\n0\n*",
       false, "", 0},
      {"first match decides", "MeetingPage\n/v\nh/\n0\n0\n1\n7\n0\n*\nMeetingPage\n/w\nh/\n0" +
       ahead + "9\n0\n*", false, "", 0},
      {"open at the end", "MeetingPage\n/v\nh/\n0" + ahead + "7", true, "/v", 7},
      {"no expiry at the end", "MeetingPage\n/v\nh/\n0\n0", false, "", 0},
      {"non-decimal times", "MeetingPage\n/v\nh/\n0" + ahead + "7x\n99999999999\n*", true, "/v",
       0},
      {"non-decimal expiry", "MeetingPage\n/v\nh/\n0\n0\n+5\n7\n0\n*", false, "", 0},
      {"text ends at a zero", std::string("MeetingPage\n/v\nh/\n0\0", 20) + ahead + "7\n0\n*",
       false, "", 0},
      {"long value cut", "MeetingPage\n" + std::string(3000, 'v') + "\nh/\n0" + ahead + "7\n0\n*",
       true, std::string(2047, 'v'), 7},
  };
  for (const Case& c : cases) {
    char value[kCookieLineSize], url[kCookieLineSize];
    uint64_t created = 0;
    EXPECT_EQ(FindCookieInText(c.text.data(), c.text.size(), kMeetingPageCookie, now, value, url,
                               &created),
              c.found)
        << c.what;
    EXPECT_EQ(std::string(value), c.value) << c.what;
    EXPECT_EQ(created, c.found ? c.created : 0u) << c.what;
  }
}

}  // namespace
