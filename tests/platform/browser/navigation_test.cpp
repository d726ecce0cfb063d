#include <gtest/gtest.h>

#include <thread>

#include "browser_test_support.h"
#include "platform/browser/document_loader.h"
#include "platform/browser/session.h"
#include "platform/browser/url.h"
#include "platform/browser/url_cache.h"
#include "test_server.h"

namespace vt::browser {
namespace {
using testing::BrowserTest;
using testing::EventRecorder;
using testing::RefusingPort;
using testing::TestServer;

class NavigationTest : public BrowserTest {};

TEST_F(NavigationTest, EventsArriveInOrderWithTheirParameters) {
  TestServer s;
  s.server().Get("/page", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<html><head><title>T\xC3\xA9st</title></head><body>hi</body></html>",
                  "text/html; charset=utf-8");
  });
  auto b = WebBrowser::Create();
  EXPECT_EQ(b->LocationURL(), "");
  EXPECT_EQ(b->Document(), nullptr);
  EventRecorder rec(b.get());
  const std::string url = s.Url("/page");
  ASSERT_EQ(b->Navigate(url), com::S_OK);
  // BeforeNavigate2 and DownloadBegin come at once; the page later.
  EXPECT_EQ(rec.Ids(), (std::vector<com::DISPID>{250, 106}));
  EXPECT_TRUE(b->Busy());
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_EQ(rec.Ids(), (std::vector<com::DISPID>{250, 106, 252, 113, 104, 259}));
  for (auto& e : rec.events) {
    if (e.id == 250 || e.id == 252 || e.id == 259) {
      EXPECT_EQ(e.browser, static_cast<IWebBrowser2*>(b.get()));
      EXPECT_EQ(e.url, url);
    }
  }
  EXPECT_EQ(b->LocationURL(), url);
  EXPECT_EQ(b->LocationName(), "T\xC3\xA9st");
  EXPECT_EQ(b->ReadyState(), READYSTATE_COMPLETE);
  ASSERT_NE(b->Document(), nullptr);
  EXPECT_EQ(b->Document()->URL(), url);
  EXPECT_EQ(b->Document()->body()->innerText(), "hi");
  EXPECT_EQ(b->LoadError(), "");
  EXPECT_EQ(b->HttpStatus(), 200);
}

TEST_F(NavigationTest, BeforeNavigate2ArgumentsAreLaidOutAsWindowsPassesThem) {
  auto b = WebBrowser::Create();
  EventRecorder rec(b.get());
  bool checked = false;
  rec.on_before_navigate = [&](const testing::Event&, com::DISPPARAMS* p) {
    ASSERT_EQ(p->cArgs(), 7u);
    EXPECT_EQ(p->rgvarg[0].vt(), com::VT_BYREF | com::VT_BOOL);     // Cancel
    EXPECT_EQ(p->rgvarg[5].vt(), com::VT_BYREF | com::VT_VARIANT);  // URL
    EXPECT_EQ(p->rgvarg[5].GetString(), "about:blank");
    EXPECT_EQ(p->rgvarg[6].vt(), com::VT_DISPATCH);  // pDisp
    EXPECT_EQ(p->rgvarg[4].GetInt32(), 0);           // Flags
    checked = true;
  };
  b->Navigate("about:blank");
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_TRUE(checked);
  EXPECT_EQ(b->LocationURL(), "about:blank");
  ASSERT_NE(b->Document(), nullptr);
  EXPECT_NE(b->Document()->body(), nullptr);
}

TEST_F(NavigationTest, CancelInBeforeNavigate2StopsTheNavigation) {
  auto b = WebBrowser::Create();
  EventRecorder rec(b.get());
  rec.on_before_navigate = [](const testing::Event&, com::DISPPARAMS* p) {
    com::GetArg(p, 6)->SetBoolRef(true);
  };
  EXPECT_EQ(b->Navigate("about:blank"), com::S_OK);
  EXPECT_FALSE(b->Busy());
  loop_.ProcessMessages();
  loop_.ProcessMessages();
  EXPECT_EQ(rec.Ids(), (std::vector<com::DISPID>{250}));
  EXPECT_EQ(b->LocationURL(), "");
  EXPECT_EQ(b->Document(), nullptr);
  // Script addresses are not navigations at all.
  EXPECT_EQ(b->Navigate("javascript:alert(1)"), com::S_OK);
  EXPECT_EQ(rec.events.size(), 1u);
  EXPECT_EQ(b->Navigate(""), com::E_INVALIDARG);
}

TEST_F(NavigationTest, FailuresShowAnErrorPageAndStillComplete) {
  TestServer s;
  s.server().Get("/gone", [](const httplib::Request&, httplib::Response& r) {
    r.status = 404;
    r.set_content("nope", "text/plain");
  });
  s.server().Get("/big", [](const httplib::Request&, httplib::Response& r) {
    r.set_content(std::string(5000, 'x'), "text/html");
  });
  RefusingPort closed;
  auto& limits = InternetSession::Process().Limits();
  const auto saved = limits;
  limits.max_bytes = 1000;
  struct Case {
    std::string url, reason;
  } cases[] = {
      {s.Url("/gone"), "The server answered 404 Not Found."},
      {closed.Url("/x"), "The server refused the connection."},
      {s.Url("/big"), "The page is larger than 1000 bytes."},
      {FileUrlFromPath((dir_ / "missing.html").string()),
       "The file could not be found: " + (dir_ / "missing.html").string()},
  };
  for (auto& c : cases) {
    auto b = WebBrowser::Create();
    EventRecorder rec(b.get());
    b->Navigate(c.url);
    ASSERT_TRUE(WaitIdle(b.get())) << c.url;
    EXPECT_EQ(rec.Count(com::DISPID_DOCUMENTCOMPLETE), 1) << c.url;
    EXPECT_EQ(b->LocationURL(), c.url);
    EXPECT_EQ(b->LocationName(), "Cannot show the page");
    EXPECT_EQ(b->LoadError(), c.reason);
    EXPECT_NE(b->Document()->body()->innerText().find(c.reason), std::string::npos)
        << c.url << ": " << b->Document()->body()->innerText();
  }
  limits = saved;
}

TEST_F(NavigationTest, RedirectedPageShowsItsFinalAddressAndIsCached) {
  TestServer s;
  s.server().Get("/start", [](const httplib::Request&, httplib::Response& r) {
    r.set_redirect("/final.html", 302);
  });
  s.server().Get("/final.html", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<title>Final</title>done", "text/html");
  });
  auto b = WebBrowser::Create();
  b->Navigate(s.Url("/start"));
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_EQ(b->LocationURL(), s.Url("/final.html"));
  EXPECT_EQ(b->LocationName(), "Final");
  auto entry = cache_->Lookup(s.Url("/final.html"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(std::filesystem::path(entry->local_file).filename(), "final.html");
  EXPECT_NE(entry->header_text.find("Content-Type: text/html"), std::string::npos);
  // Error answers are not kept.
  EXPECT_FALSE(cache_->Lookup(s.Url("/start")));
}

TEST_F(NavigationTest, PicturesOfAPageAreFetchedIntoTheCache) {
  TestServer s;
  std::atomic<int> logo_requests{0};
  s.server().Get("/pics.html", [](const httplib::Request&, httplib::Response& r) {
    r.set_content(
        "<img src='img/logo.png'><img src='img/logo.png#again'><img src='none.gif'>"
        "<img src='data:image/gif;base64,R0lGOD'>",
        "text/html");
  });
  s.server().Get("/img/logo.png", [&](const httplib::Request&, httplib::Response& r) {
    ++logo_requests;
    r.set_content("\x89PNG-bytes", "image/png");
  });
  auto b = WebBrowser::Create();
  b->Navigate(s.Url("/pics.html"));
  ASSERT_TRUE(WaitIdle(b.get()));
  ASSERT_TRUE(WaitFor([&] { return b->ImagesPending() == 0; }));
  auto e = cache_->Lookup(s.Url("/img/logo.png"));
  ASSERT_TRUE(e);
  EXPECT_EQ(std::filesystem::path(e->local_file).filename(), "logo.png");
  EXPECT_NE(e->header_text.find("image/png"), std::string::npos);
  EXPECT_FALSE(cache_->Lookup(s.Url("/none.gif")));
  EXPECT_EQ(logo_requests, 1);
  // A picture already in the cache is not fetched again.
  b->Navigate(s.Url("/pics.html"));
  ASSERT_TRUE(WaitIdle(b.get()));
  ASSERT_TRUE(WaitFor([&] { return b->ImagesPending() == 0; }));
  EXPECT_EQ(logo_requests, 1);
}

TEST_F(NavigationTest, LocalFilesLoadWithTheirCharsetAndDecodedPath) {
  std::string path = WriteFile("dir with space/p\xC3\xA4ge.html",
                               "<meta charset=windows-1252><title>Caf\xE9</title><p>x</p>");
  auto b = WebBrowser::Create();
  b->Navigate(FileUrlFromPath(path));
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_EQ(b->LocationName(), "Caf\xC3\xA9");
  // A typed absolute path works as well.
  std::string plain = WriteFile("notes.txt", "a < b");
  b->Navigate(plain);
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_EQ(b->LocationURL(), FileUrlFromPath(plain));
  EXPECT_EQ(b->Document()->body()->innerText(), "a < b");
}

TEST_F(NavigationTest, StopCancelsALoadAndKeepsThePreviousPage) {
  TestServer s;
  s.server().Get("/slow", [](const httplib::Request&, httplib::Response& r) {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    r.set_content("<title>Slow</title>", "text/html");
  });
  auto b = WebBrowser::Create();
  b->Navigate("about:blank");
  ASSERT_TRUE(WaitIdle(b.get()));
  auto first = b->Document();
  EventRecorder rec(b.get());
  b->Navigate(s.Url("/slow"));
  EXPECT_TRUE(b->Busy());
  loop_.ProcessMessages();
  EXPECT_EQ(b->Stop(), com::S_OK);
  EXPECT_FALSE(b->Busy());
  EXPECT_EQ(rec.Ids(), (std::vector<com::DISPID>{250, 106, 104}));
  // The answer that arrives later changes nothing.
  std::this_thread::sleep_for(std::chrono::milliseconds(900));
  loop_.ProcessMessages();
  loop_.ProcessMessages();
  EXPECT_EQ(b->Document(), first);
  EXPECT_EQ(b->LocationURL(), "about:blank");
  EXPECT_EQ(rec.Count(com::DISPID_DOCUMENTCOMPLETE), 0);
  // Stop when idle does nothing.
  EXPECT_EQ(b->Stop(), com::S_OK);
  EXPECT_EQ(rec.events.size(), 3u);
}

// The HTML parser's work grows with the square of the nesting depth: this page keeps it busy for
// a good part of a second.
std::string DeeplyNestedPage() {
  std::string page = "<title>Deep</title>";
  for (int i = 0; i < 12000; ++i) page += "<div>";
  return page + "x";
}

TEST_F(NavigationTest, APageIsParsedOffTheUiThreadAndStopAbandonsTheParse) {
  const std::string deep = WriteFile("deep.html", DeeplyNestedPage());
  auto b = WebBrowser::Create();
  b->Navigate("about:blank");
  ASSERT_TRUE(WaitIdle(b.get()));
  auto first = b->Document();
  EventRecorder rec(b.get());
  ASSERT_EQ(PageParsesRunning(), 0);
  b->Navigate(deep);
  ASSERT_TRUE(WaitFor([] { return PageParsesRunning() == 1; }));
  // The loop goes on answering while the page is parsed.
  bool ran = false;
  const auto posted = std::chrono::steady_clock::now();
  msgloop::PostToUiThread([&] { ran = true; });
  ASSERT_TRUE(WaitFor([&] { return ran; }));
  EXPECT_LT(std::chrono::steady_clock::now() - posted, std::chrono::milliseconds(250));
  EXPECT_EQ(PageParsesRunning(), 1);
  EXPECT_TRUE(b->Busy());

  EXPECT_EQ(b->Stop(), com::S_OK);
  EXPECT_FALSE(b->Busy());
  EXPECT_EQ(b->Document(), first);
  // The abandoned parse ends on its own; its page is never shown.
  ASSERT_TRUE(loop_.PumpUntil([] { return PageParsesRunning() == 0; }, std::chrono::seconds(120)));
  loop_.ProcessMessages();
  loop_.ProcessMessages();
  EXPECT_EQ(b->Document(), first);
  EXPECT_EQ(b->LocationURL(), "about:blank");
  EXPECT_EQ(rec.Count(com::DISPID_NAVIGATECOMPLETE2), 0);
  EXPECT_EQ(rec.Count(com::DISPID_DOCUMENTCOMPLETE), 0);

  // Loaded again without a Stop, the same page is shown whole.
  b->Navigate(deep);
  ASSERT_TRUE(loop_.PumpUntil([&] { return !b->Busy(); }, std::chrono::seconds(120)));
  EXPECT_EQ(b->LocationName(), "Deep");
  EXPECT_EQ(b->Document()->body()->innerText(), "x");
  EXPECT_EQ(rec.Count(com::DISPID_DOCUMENTCOMPLETE), 1);
}

TEST_F(NavigationTest, ALaterNavigationReplacesARunningOne) {
  TestServer s;
  s.server().Get("/a", [](const httplib::Request&, httplib::Response& r) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    r.set_content("<title>A</title>", "text/html");
  });
  s.server().Get("/b", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<title>B</title>", "text/html");
  });
  auto b = WebBrowser::Create();
  EventRecorder rec(b.get());
  b->Navigate(s.Url("/a"));
  b->Navigate(s.Url("/b"));
  ASSERT_TRUE(WaitIdle(b.get()));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  loop_.ProcessMessages();
  EXPECT_EQ(b->LocationName(), "B");
  ASSERT_EQ(rec.Completions().size(), 1u);
  EXPECT_EQ(rec.Completions()[0].url, s.Url("/b"));
}

TEST_F(NavigationTest, ExecWBAndShowBrowserBarReachTheObservers) {
  struct Recorder : BrowserObserver {
    std::vector<std::pair<DWORD, DWORD>> commands;
    std::vector<std::pair<std::string, bool>> bars;
    void OnCommand(WebBrowser&, DWORD c, DWORD o) override { commands.emplace_back(c, o); }
    void OnBrowserBar(WebBrowser&, const std::string& id, bool show) override {
      bars.emplace_back(id, show);
    }
  } observer;
  auto b = WebBrowser::Create();
  b->Navigate(WriteFile("text.html", "<p>hello <b>world</b></p>"));
  ASSERT_TRUE(WaitIdle(b.get()));
  b->AddObserver(&observer);
  EXPECT_EQ(b->ExecWB(OLECMDID_COPY, OLECMDEXECOPT_PROMPTUSER), com::S_OK);
  EXPECT_EQ(b->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT), com::S_OK);
  EXPECT_EQ(b->ExecWB(OLECMDID_SELECTALL, OLECMDEXECOPT_PROMPTUSER), com::S_OK);
  EXPECT_EQ(b->ExecWB(99, 0), OLECMDERR_E_NOTSUPPORTED);
  // Select all selects the page's text, so that a copy has something to take.
  EXPECT_EQ(b->Document()->selection().type(), "Text");
  EXPECT_EQ(b->Document()->selection().createRange()->text(), "hello world");
  EXPECT_TRUE(b->Document()->queryCommandEnabled("Copy"));
  EXPECT_EQ(observer.commands, (std::vector<std::pair<DWORD, DWORD>>{{12, 1}, {6, 0}, {17, 1}}));
  EXPECT_EQ(b->ExecutedCommands().size(), 3u);
  const std::string band = "{4D5C8C2A-D075-11D0-B416-00C04FB90376}";
  EXPECT_EQ(b->ShowBrowserBar("{4d5c8c2a-d075-11d0-b416-00c04fb90376}", true), com::S_OK);
  EXPECT_TRUE(b->BrowserBarShown(band));
  EXPECT_EQ(b->ShowBrowserBar(band, false), com::S_OK);
  EXPECT_FALSE(b->BrowserBarShown(band));
  EXPECT_EQ(b->ShowBrowserBar("not a class", true), com::E_INVALIDARG);
  EXPECT_EQ(observer.bars,
            (std::vector<std::pair<std::string, bool>>{{band, true}, {band, false}}));
  b->RemoveObserver(&observer);
}

}  // namespace
}  // namespace vt::browser
