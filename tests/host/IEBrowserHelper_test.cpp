#include "host/IEBrowserHelper.h"

#include "host/clsids.h"
#include "host_fixture.h"
#include "platform/registry/registry.h"

namespace vt {
namespace {

using namespace com;
using testing::HostTest;

HRESULT Fire(TIEBrowserHelper& bho, DISPID id, std::vector<VARIANT> args = {}) {
  DISPPARAMS params = MakeDispParams(std::move(args));
  return bho.Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

using BrowserHelperTest = HostTest;

TEST_F(BrowserHelperTest, EventsRaiseTheFlagsOfTheCurrentSession) {
  TmyDOM& session = BandSession();
  auto bho = MakeCom<TIEBrowserHelper>();
  ASSERT_EQ(bho->SetSite(nullptr), S_OK);
  ASSERT_EQ(bho->PageSession(), &session);
  session.EventFrame = 4;

  EXPECT_EQ(Fire(*bho, DISPID_BEFORENAVIGATE2,
                 {VARIANT(), VARIANT("file:///x.html"), VARIANT(0), VARIANT(""), VARIANT(),
                  VARIANT(""), VARIANT()}),
            S_OK);
  EXPECT_TRUE(session.NavigationStarted);
  EXPECT_EQ(session.Status, kStatusWaiting);
  EXPECT_FALSE(session.DocumentCompleted);

  EXPECT_EQ(Fire(*bho, DISPID_DOWNLOADBEGIN), S_OK);
  EXPECT_EQ(session.EventFrame, 0);

  EXPECT_EQ(Fire(*bho, DISPID_DOCUMENTCOMPLETE, {VARIANT(), VARIANT("file:///x.html")}), S_OK);
  EXPECT_TRUE(session.DocumentCompleted);
  // A second completion (a frame) leaves everything as it is.
  session.NavigationStarted = false;
  EXPECT_EQ(Fire(*bho, DISPID_DOCUMENTCOMPLETE), S_OK);
  EXPECT_TRUE(session.DocumentCompleted);
  EXPECT_FALSE(session.NavigationStarted);
}

TEST_F(BrowserHelperTest, UnknownEventsAreRefusedAndKnownOnesAccepted) {
  BandSession();
  auto bho = MakeCom<TIEBrowserHelper>();
  bho->SetSite(nullptr);
  for (DISPID id : {100, 113, 252, 258, 260, 262, 270}) EXPECT_EQ(Fire(*bho, id), S_OK) << id;
  for (DISPID id : {101, 103, 114, 249, 261, 271, 300})
    EXPECT_EQ(Fire(*bho, id), DISP_E_MEMBERNOTFOUND) << id;
  UINT count = 7;
  EXPECT_EQ(bho->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(count, 0u);
  void* site = this;
  EXPECT_EQ(bho->GetSite(IUnknown::kIid, &site), S_OK);
  EXPECT_EQ(site, nullptr);
}

TEST_F(BrowserHelperTest, HelperWithoutSessionTouchesNoSession) {
  auto bho = MakeCom<TIEBrowserHelper>();
  bho->SetSite(nullptr);  // no band form yet
  TmyDOM& later = BandSession();
  EXPECT_EQ(bho->PageSession(), nullptr);
  EXPECT_EQ(Fire(*bho, DISPID_BEFORENAVIGATE2), S_OK);
  EXPECT_EQ(Fire(*bho, DISPID_DOCUMENTCOMPLETE), S_OK);
  EXPECT_FALSE(later.NavigationStarted);
  EXPECT_FALSE(later.DocumentCompleted);
  EXPECT_EQ(later.Status, kStatusNoData);
}

TEST_F(BrowserHelperTest, ReleasedSessionIsLeftAlone) {
  TmyDOM& session = BandSession();
  auto bho = MakeCom<TIEBrowserHelper>();
  bho->SetSite(nullptr);
  SessionList::Remove(session.WindowNumber);  // its band form closed
  EXPECT_EQ(bho->PageSession(), nullptr);
  EXPECT_EQ(Fire(*bho, DISPID_BEFORENAVIGATE2), S_OK);
  EXPECT_FALSE(session.NavigationStarted);
}

TEST_F(BrowserHelperTest, ClearedBandFlagConnectsNothingAndIgnoresEvents) {
  TmyDOM& session = BandSession();
  auto browser = browser::WebBrowser::Create();
  const DWORD cookie_before = LastHelperCookie();
  SetBandActive(false);
  auto bho = MakeCom<TIEBrowserHelper>();
  EXPECT_EQ(bho->SetSite(static_cast<browser::IWebBrowser2*>(browser.get())), S_OK);
  EXPECT_EQ(LastHelperCookie(), cookie_before);
  EXPECT_EQ(Fire(*bho, 271), S_OK);
  EXPECT_EQ(Fire(*bho, DISPID_BEFORENAVIGATE2), S_OK);
  EXPECT_FALSE(session.NavigationStarted);

  SetBandActive(true);
  browser->Navigate(WritePage("a.html", "<html><body>a</body></html>"));
  ASSERT_TRUE(WaitIdle(*browser));
  EXPECT_FALSE(session.NavigationStarted);  // never subscribed
  EXPECT_FALSE(session.DocumentCompleted);
}

TEST_F(BrowserHelperTest, RealBrowserEventsReachTheHelper) {
  TmyDOM& session = BandSession();
  auto browser = browser::WebBrowser::Create();
  auto bho = MakeCom<TIEBrowserHelper>();
  ASSERT_EQ(bho->SetSite(static_cast<browser::IWebBrowser2*>(browser.get())), S_OK);
  EXPECT_NE(LastHelperCookie(), 0u);

  browser->Navigate(WritePage("page.html", "<html><body><a href='x'>x</a></body></html>"));
  EXPECT_TRUE(session.NavigationStarted);  // BeforeNavigate2 fires inside Navigate
  EXPECT_EQ(session.Status, kStatusWaiting);
  ASSERT_TRUE(WaitIdle(*browser));
  EXPECT_TRUE(session.DocumentCompleted);

  // OnQuit ends the subscription: later navigations no longer reach the session.
  EXPECT_EQ(Fire(*bho, DISPID_ONQUIT), S_OK);
  EXPECT_EQ(LastHelperConnectionPoint(), nullptr);
  session.NavigationStarted = false;
  session.DocumentCompleted = false;
  browser->Navigate(WritePage("next.html", "<html><body>n</body></html>"));
  ASSERT_TRUE(WaitIdle(*browser));
  EXPECT_FALSE(session.NavigationStarted);
  EXPECT_FALSE(session.DocumentCompleted);
}

TEST_F(BrowserHelperTest, QuitOfOneWindowKeepsTheOtherWindowSubscribed) {
  TmyDOM& session = BandSession();
  auto first = browser::WebBrowser::Create();
  auto second = browser::WebBrowser::Create();
  auto bho1 = MakeCom<TIEBrowserHelper>();
  auto bho2 = MakeCom<TIEBrowserHelper>();
  bho1->SetSite(static_cast<browser::IWebBrowser2*>(first.get()));
  bho2->SetSite(static_cast<browser::IWebBrowser2*>(second.get()));
  const DWORD second_cookie = LastHelperCookie();

  EXPECT_EQ(Fire(*bho1, DISPID_ONQUIT), S_OK);
  EXPECT_EQ(LastHelperCookie(), second_cookie);
  second->Navigate(WritePage("b.html", "<html><body>b</body></html>"));
  ASSERT_TRUE(WaitIdle(*second));
  EXPECT_TRUE(session.NavigationStarted);
  EXPECT_TRUE(session.DocumentCompleted);
  Fire(*bho2, DISPID_ONQUIT);
}

TEST_F(BrowserHelperTest, FactoryRegistrationLetsTheShellCreateHelpers) {
  auto factory = RegisterBrowserHelperFactory();
  ASSERT_TRUE(factory);
  const std::string clsid = ToString(CLSID_IEBrowserHelper);
  EXPECT_TRUE(registry::KeyExists(registry::HKEY_LOCAL_MACHINE,
                                  std::string(kBrowserHelperObjectsKey) + "\\" + clsid));
  auto helper = CoCreate<IObjectWithSite>(CLSID_IEBrowserHelper);
  ASSERT_TRUE(helper);
  EXPECT_TRUE(helper.As<IDispatch>());
  // A second band form's factory replaces the first one's class object.
  auto again = RegisterBrowserHelperFactory();
  EXPECT_TRUE(CoCreate<IObjectWithSite>(CLSID_IEBrowserHelper));
}

}  // namespace
}  // namespace vt
