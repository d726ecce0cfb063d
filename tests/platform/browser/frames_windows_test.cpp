#include <gtest/gtest.h>

#include "browser_test_support.h"
#include "platform/browser/url.h"
#include "platform/browser/windows.h"
#include "test_server.h"

namespace vt::browser {
namespace {
using testing::BrowserTest;
using testing::EventRecorder;
using testing::TestServer;

class FramesTest : public BrowserTest {};

com::ComPtr<IWebBrowser2> BrowserOfWindow(const dom::Window& window) {
  com::ComPtr<IWebBrowser2> b;
  window.QueryService(com::SID_SWebBrowserApp, IWebBrowser2::kIid, b.put_void());
  return b;
}

TEST_F(FramesTest, FramesetLoadsBothFramesAndEveryViewAgrees) {
  TestServer s;
  s.server().Get("/", [](const httplib::Request&, httplib::Response& r) {
    r.set_content(
        "<html><head><title>Set</title></head><frameset rows='20%,*'>"
        "<frame name='top' src='top.html'><frame name='main' src='/main.html'></frameset></html>",
        "text/html");
  });
  s.server().Get("/top.html", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<title>Top</title><body>banner</body>", "text/html");
  });
  s.server().Get("/main.html", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<title>Main</title><body><iframe name='inner' src='top.html'></iframe></body>",
                  "text/html");
  });
  struct Shown : BrowserObserver {
    std::vector<WebBrowser*> browsers;
    void OnDocumentChanged(WebBrowser& b) override { browsers.push_back(&b); }
  } shown;
  auto b = WebBrowser::Create();
  b->AddObserver(&shown);
  EventRecorder rec(b.get());
  b->Navigate(s.Url("/"));
  ASSERT_TRUE(WaitIdle(b.get()));
  b->RemoveObserver(&shown);
  auto doc = b->Document();
  // The top browser's observers hear of its page and of each frame's.
  ASSERT_EQ(shown.browsers.size(), 4u);
  EXPECT_EQ(shown.browsers[0], b.get());
  ASSERT_EQ(b->Frames().size(), 2u);
  WebBrowser* top = b->Frames()[0].get();
  WebBrowser* main = b->Frames()[1].get();
  EXPECT_EQ(top->FrameName(), "top");
  EXPECT_EQ(main->FrameName(), "main");
  EXPECT_EQ(top->LocationURL(), s.Url("/top.html"));
  EXPECT_EQ(main->LocationName(), "Main");
  EXPECT_EQ(top->Parent(), b.get());
  ASSERT_EQ(main->Frames().size(), 1u);
  EXPECT_EQ(main->Frames()[0]->TopLevel(), b.get());

  // The container enumerates the frames' browsers in frame order.
  auto& objects = doc->ContainerObjects();
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].As<IWebBrowser2>().get(), static_cast<IWebBrowser2*>(top));
  EXPECT_EQ(objects[1].As<IWebBrowser2>().get(), static_cast<IWebBrowser2*>(main));
  // The frames collection holds the same frames' windows, by name and document.
  auto& frames = doc->frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0]->name(), "top");
  EXPECT_EQ(frames[1]->name(), "main");
  EXPECT_EQ(frames[1]->document(), main->Document());
  // Each document's window answers the browser that hosts it.
  EXPECT_EQ(BrowserOfWindow(*doc->parentWindow()).get(), static_cast<IWebBrowser2*>(b.get()));
  EXPECT_EQ(BrowserOfWindow(*frames[1]).get(), static_cast<IWebBrowser2*>(main));

  // Frames complete first (the nested one before its parent), the top document last.
  auto done = rec.Completions();
  ASSERT_EQ(done.size(), 4u);
  EXPECT_EQ(done.back().browser, static_cast<IWebBrowser2*>(b.get()));
  EXPECT_EQ(done.back().url, s.Url("/"));
  std::vector<IWebBrowser2*> order;
  for (auto& e : done) order.push_back(e.browser);
  auto pos = [&](IWebBrowser2* x) {
    return std::find(order.begin(), order.end(), x) - order.begin();
  };
  EXPECT_LT(pos(main->Frames()[0].get()), pos(main));
  EXPECT_LT(pos(top), pos(b.get()));
  // The frames' navigations were announced to the top browser's sinks.
  EXPECT_EQ(rec.Count(com::DISPID_BEFORENAVIGATE2), 4);
}

TEST_F(FramesTest, AFrameThatLoadsItselfStopsAtTheDepthLimit) {
  TestServer s;
  s.server().Get("/self.html", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<p>again</p><iframe src='self.html'></iframe>", "text/html");
  });
  auto b = WebBrowser::Create();
  b->Navigate(s.Url("/self.html"));
  ASSERT_TRUE(WaitIdle(b.get()));
  int depth = 0;
  for (WebBrowser* f = b.get(); !f->Frames().empty(); f = f->Frames()[0].get()) ++depth;
  EXPECT_EQ(depth, 6);
}

TEST_F(FramesTest, StopWhileFramesLoadCompletesTheShownPage) {
  TestServer s;
  s.server().Get("/set.html", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<frameset><frame name='slow' src='slow.html'></frameset>", "text/html");
  });
  s.server().Get("/slow.html", [](const httplib::Request&, httplib::Response& r) {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    r.set_content("late", "text/html");
  });
  auto b = WebBrowser::Create();
  EventRecorder rec(b.get());
  b->Navigate(s.Url("/set.html"));
  ASSERT_TRUE(WaitFor([&] { return b->Frames().size() == 1; }));
  EXPECT_TRUE(b->Busy());
  b->Stop();
  EXPECT_FALSE(b->Busy());
  EXPECT_FALSE(b->Frames()[0]->Busy());
  ASSERT_EQ(rec.Completions().size(), 1u);
  EXPECT_EQ(rec.Completions()[0].browser, static_cast<IWebBrowser2*>(b.get()));
  EXPECT_EQ(b->Frames()[0]->LocationURL(), "");
}

class WindowsTest : public BrowserTest {};

TEST_F(WindowsTest, NewWindowsArePlacedOnTheScreenAndListed) {
  struct Watcher : WindowListObserver {
    std::vector<WebBrowser*> opened, closed;
    void OnWindowOpened(WebBrowser& w) override { opened.push_back(&w); }
    void OnWindowClosed(WebBrowser& w) override { closed.push_back(&w); }
  } watcher;
  AddWindowListObserver(&watcher);
  EXPECT_EQ(Screen::Width(), 1024);
  EXPECT_EQ(Screen::Height(), 768);
  auto w = CreateBrowserWindow();
  ASSERT_EQ(watcher.opened, std::vector<WebBrowser*>{w.get()});
  EXPECT_TRUE(w->IsTopLevelWindow());
  EXPECT_FALSE(w->Visible());
  EXPECT_EQ(w->LocationURL(), "");
  w->SetWidth(700);
  w->SetHeight(465);
  EXPECT_EQ(w->Width(), 700);
  EXPECT_EQ(w->Height(), 465);
  w->SetLeft(162);
  w->SetTop(152);
  w->SetVisible(true);
  EXPECT_EQ(w->Left(), 162);
  EXPECT_EQ(w->Top(), 152);
  EXPECT_TRUE(w->Visible());
  // A window never grows past the screen.
  Screen::SetSize(640, 480);
  w->SetWidth(700);
  w->SetHeight(-5);
  EXPECT_EQ(w->Width(), 640);
  EXPECT_EQ(w->Height(), 100);
  Screen::SetSize(1024, 768);

  EXPECT_EQ(BrowserWindows().size(), 1u);
  EventRecorder rec(w.get());
  EXPECT_EQ(w->Quit(), com::S_OK);
  EXPECT_EQ(rec.Ids(), std::vector<com::DISPID>{com::DISPID_ONQUIT});
  EXPECT_EQ(watcher.closed, std::vector<WebBrowser*>{w.get()});
  EXPECT_TRUE(BrowserWindows().empty());
  RemoveWindowListObserver(&watcher);
}

TEST_F(WindowsTest, BrowsersAreFoundByIdWhileAlive) {
  auto a = WebBrowser::Create();
  auto b = WebBrowser::Create();
  EXPECT_NE(a->Id(), b->Id());
  EXPECT_NE(a->HWND(), b->HWND());
  EXPECT_EQ(WebBrowser::FromId(a->Id()), a.get());
  const int id = b->Id();
  b = nullptr;
  EXPECT_EQ(WebBrowser::FromId(id), nullptr);
}

}  // namespace
}  // namespace vt::browser
