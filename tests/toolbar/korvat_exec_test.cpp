// KorvatExec, the toolbar button's command object: the page goes to the client's frame window (the
// stand-in client window) when the client is logged on, else the browser of the site navigates to
// it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser_site.h"
#include "client_window.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "toolbar/korvat_exec.h"

using namespace korvat_test;

namespace {

using Strings = std::vector<std::string>;
const char kEmpty[] = " 400C:null 400C:null 400C:null 400C:null";  // the four optional arguments

TEST(KorvatExecTest, CommandChecksComeFirstThenThePageGoesToALoggedOnClientOrTheBrowser) {
  DeleteSettingsKeys();
  ComPtr<IOleCommandTarget> target;
  ASSERT_EQ(CreateKorvatExec(nullptr, IID_IOleCommandTarget, target.PutVoid()), S_OK);
  auto press = [&] { return target->Exec(nullptr, 0, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr); };
  const GUID group = IID_IUnknown;
  EXPECT_EQ(target->Exec(&group, 0, 0, nullptr, nullptr), OLECMDERR_E_UNKNOWNGROUP);
  EXPECT_EQ(target->Exec(nullptr, 1, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  EXPECT_EQ(target->Exec(nullptr, 0, OLECMDEXECOPT_SHOWHELP, nullptr, nullptr), OLECMDERR_E_NOHELP);
  EXPECT_EQ(press(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  OLECMD commands[3] = {{1, 0}, {2, 0}, {99, 0}};
  EXPECT_EQ(target->QueryStatus(&group, 3, commands, nullptr), S_OK);
  for (const OLECMD& command : commands) EXPECT_EQ(command.cmdf, 3u) << command.cmdID;
  EXPECT_EQ(target->QueryStatus(nullptr, 0, nullptr, nullptr), E_POINTER);

  // Logged on, but no client window and no site: nobody opens the page.
  SetStringValue(HKEY_CURRENT_USER, kSettings, "MeetingPage", "http://kept/");
  SetDwordValue(HKEY_CURRENT_USER, kSettings + std::string("\\Logon"), "LogonState", 1);
  EXPECT_EQ(press(), E_POINTER);
  ComPtr<IObjectWithSite> object;
  ASSERT_EQ(target.As(IID_IObjectWithSite, &object), S_OK);
  BrowserSite without_provider(false), site;
  EXPECT_EQ(object->SetSite(nullptr), E_POINTER);
  EXPECT_EQ(object->SetSite(&without_provider), E_NOINTERFACE);
  EXPECT_EQ(object->SetSite(&site), S_OK);
  EXPECT_EQ(object->SetSite(nullptr), S_OK);  // the browser stays
  void* handed_out = &site;
  EXPECT_EQ(object->GetSite(IID_IUnknown, &handed_out), S_OK);
  EXPECT_EQ(handed_out, nullptr);
  EXPECT_EQ(press(), S_OK);
  EXPECT_EQ(site.browser.calls, Strings{std::string("http://kept/") + kEmpty});

  // Logged on with the client running: the longest page goes whole, its zero sent and counted.
  ClientWindow client;
  ASSERT_TRUE(client.Start());
  const std::string page = "http://meet.example.com/" + std::string(999, 'p');
  SetStringValue(HKEY_CURRENT_USER, kSettings, "MeetingPage", page);
  site.browser.calls.clear();
  EXPECT_EQ(press(), S_OK);
  ASSERT_EQ(client.deliveries().size(), 1u);
  EXPECT_EQ(client.deliveries()[0].data_word, 0u);
  EXPECT_EQ(client.deliveries()[0].bytes, page + '\0');
  EXPECT_EQ(site.browser.calls, Strings{});
  // The Logon key is the user's, so a page found only in the machine hive goes to the browser.
  DeleteSettingsKeys();
  SetStringValue(HKEY_LOCAL_MACHINE, kSettings, "MeetingPage", "http://m.example.com/");
  EXPECT_EQ(press(), S_OK);
  EXPECT_EQ(site.browser.calls, Strings{std::string("http://m.example.com/") + kEmpty});
  EXPECT_EQ(client.deliveries().size(), 1u);  // nothing more to the client
  // A stored page with a line break is no page: neither opened nor handed over.
  site.browser.calls.clear();
  SetStringValue(HKEY_LOCAL_MACHINE, kSettings, "MeetingPage", "http://m.example.com/\r\nx");
  EXPECT_EQ(press(), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  EXPECT_EQ(site.browser.calls, Strings{});
  DeleteSettingsKeys();
}

}  // namespace
