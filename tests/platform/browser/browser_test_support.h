#pragma once
// Shared pieces of the browser tests: a message loop per test, an event recorder advised on a
// browser, and temporary folders.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/browser/session.h"
#include "platform/browser/url_cache.h"
#include "platform/browser/web_browser.h"
#include "platform/com/com.h"
#include "platform/msgloop/message_loop.h"

namespace vt::browser::testing {

struct Event {
  com::DISPID id;
  IWebBrowser2* browser = nullptr;  // pDisp, for events that carry one
  std::string url;                  // URL argument, for events that carry one
};

// Advises a DWebBrowserEvents2 sink on a browser and records every event.
class EventRecorder {
 public:
  explicit EventRecorder(WebBrowser* browser) : browser_(browser) {
    sink_ = com::MakeCom<com::DispatchSink>(
        [this](com::DISPID id, com::DISPPARAMS* params, com::VARIANT*) {
          Event e;
          e.id = id;
          if (params && params->cArgs() >= 1 && id != com::DISPID_TITLECHANGE) {
            if (auto* disp = com::GetArg(params, 0)->GetDispatch()) {
              com::ComPtr<IWebBrowser2> b;
              disp->QueryInterface(IWebBrowser2::kIid, b.put_void());
              e.browser = b.get();
            }
            if (params->cArgs() >= 2) e.url = com::GetArg(params, 1)->GetString().value_or("");
          }
          if (id == com::DISPID_BEFORENAVIGATE2 && on_before_navigate) {
            on_before_navigate(e, params);
          }
          events.push_back(e);
          if (on_event) on_event(e);
          return com::S_OK;
        },
        DIID_DWebBrowserEvents2);
    com::ComPtr<com::IConnectionPoint> point;
    EXPECT_EQ(browser->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put()), com::S_OK);
    EXPECT_EQ(point->Advise(sink_.get(), &cookie_), com::S_OK);
    point_ = point;
  }
  ~EventRecorder() { point_->Unadvise(cookie_); }

  std::vector<com::DISPID> Ids() const {
    std::vector<com::DISPID> ids;
    for (auto& e : events) ids.push_back(e.id);
    return ids;
  }
  int Count(com::DISPID id) const {
    int n = 0;
    for (auto& e : events) n += e.id == id;
    return n;
  }
  // The DocumentComplete events, in order.
  std::vector<Event> Completions() const {
    std::vector<Event> out;
    for (auto& e : events) {
      if (e.id == com::DISPID_DOCUMENTCOMPLETE) out.push_back(e);
    }
    return out;
  }

  std::vector<Event> events;
  std::function<void(const Event&, com::DISPPARAMS*)> on_before_navigate;
  std::function<void(const Event&)> on_event;

 private:
  WebBrowser* browser_;
  com::ComPtr<com::DispatchSink> sink_;
  com::ComPtr<com::IConnectionPoint> point_;
  com::DWORD cookie_ = 0;
};

// Every browser test runs on a message loop of its own.
class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/vt-browser-XXXXXX";
    dir_ = mkdtemp(templ);
    cache_ = std::make_unique<UrlCache>(dir_ / "urlcache");
    saved_cache_ = InternetSession::Process().Cache();
    InternetSession::Process().SetUrlCache(cache_.get());
  }
  void TearDown() override {
    InternetSession::Process().SetUrlCache(saved_cache_);
    std::filesystem::remove_all(dir_);
  }

  // Lets the loop run until the browser is no longer busy (false after 5 s).
  bool WaitIdle(WebBrowser* b) {
    return loop_.PumpUntil([&] { return !b->Busy(); }, std::chrono::milliseconds(5000));
  }
  bool WaitFor(const std::function<bool()>& pred) {
    return loop_.PumpUntil(pred, std::chrono::milliseconds(5000));
  }
  std::string WriteFile(const std::string& name, const std::string& text) {
    auto path = dir_ / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  msgloop::MessageLoop loop_;
  std::filesystem::path dir_;
  std::unique_ptr<UrlCache> cache_;  // where this test's responses go
  UrlCache* saved_cache_ = nullptr;
};

}  // namespace vt::browser::testing
