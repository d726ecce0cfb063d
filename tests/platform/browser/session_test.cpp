#include "platform/browser/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "browser_test_support.h"
#include "platform/browser/document_loader.h"
#include "platform/browser/url.h"
#include "test_server.h"

namespace vt::browser {
namespace {
using testing::BrowserTest;
using testing::TestServer;

constexpr GUID kHandlerClsid = com::MakeGuid("{9A3E2B10-4C55-4D7A-9E1F-0B7C2D4E6F81}");

struct Calls {
  int starts = 0, reads = 0, terminates = 0, declined = 0;
  std::vector<std::string> urls;
};

// Answers http://private.test/ itself, inside Start, in the manner of a page generator; hands
// everything else back to the default protocol.
class PageHandler final : public com::ComObject<IInternetProtocol> {
 public:
  explicit PageHandler(Calls* calls) : calls_(calls) {}
  HRESULT Start(const char* url, IInternetProtocolSink* sink, IInternetBindInfo*, DWORD,
                std::uintptr_t) override {
    calls_->starts++;
    calls_->urls.push_back(url);
    if (std::strncmp(url, "http://private.test/", 20) != 0) {
      calls_->declined++;
      return com::INET_E_USE_DEFAULT_PROTOCOLHANDLER;
    }
    sink_ = sink;
    answer_ = "<HTML><head><title>Generated</title></head><body>" + std::string(100000, 'g') +
              "<p id=end>" + (url + 20) + "</p></body></HTML>";
    sink->ReportData(
        BSCF_FIRSTDATANOTIFICATION | BSCF_LASTDATANOTIFICATION | BSCF_DATAFULLYAVAILABLE,
        static_cast<ULONG>(answer_.size()), static_cast<ULONG>(answer_.size()));
    sink->ReportResult(com::S_OK, 0, nullptr);
    return com::S_OK;
  }
  HRESULT Continue(PROTOCOLDATA*) override { return com::S_OK; }
  HRESULT Abort(HRESULT, DWORD) override { return com::E_NOTIMPL; }
  HRESULT Terminate(DWORD) override {
    calls_->terminates++;
    sink_ = nullptr;
    return com::S_OK;
  }
  HRESULT Suspend() override { return com::E_NOTIMPL; }
  HRESULT Resume() override { return com::E_NOTIMPL; }
  HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
    calls_->reads++;
    ULONG n = static_cast<ULONG>(std::min<size_t>(size, answer_.size() - delivered_));
    std::memcpy(buffer, answer_.data() + delivered_, n);
    delivered_ += n;
    *read = n;
    return delivered_ == answer_.size() ? com::S_FALSE : com::E_PENDING;
  }
  HRESULT Seek(std::int64_t, DWORD, std::uint64_t*) override { return com::E_NOTIMPL; }
  HRESULT LockRequest(DWORD) override { return com::S_OK; }
  HRESULT UnlockRequest() override { return com::S_OK; }

 private:
  Calls* calls_;
  com::ComPtr<IInternetProtocolSink> sink_;
  std::string answer_;
  size_t delivered_ = 0;
};

class PageHandlerFactory final : public com::ComObjectUncounted<com::IClassFactory> {
 public:
  explicit PageHandlerFactory(Calls* calls) : calls_(calls) {}
  HRESULT CreateInstance(com::IUnknown* outer, const GUID& iid, void** out) override {
    if (outer) return com::CLASS_E_NOAGGREGATION;
    auto handler = com::MakeCom<PageHandler>(calls_);
    return handler->QueryInterface(iid, out);
  }
  HRESULT LockServer(com::BOOL) override { return com::S_OK; }

 private:
  Calls* calls_;
};

class SessionTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    factory_ = com::MakeCom<PageHandlerFactory>(&calls_);
    IInternetSession* raw = nullptr;
    ASSERT_EQ(CoInternetGetSession(0, &raw, 0), com::S_OK);
    session_ = com::AttachCom(raw);
    ASSERT_EQ(session_->RegisterNameSpace(factory_.get(), kHandlerClsid, "HTTP", 0, nullptr, 0),
              com::S_OK);
  }
  void TearDown() override {
    session_->UnregisterNameSpace(factory_.get(), "http");
    BrowserTest::TearDown();
  }
  Calls calls_;
  com::ComPtr<PageHandlerFactory> factory_;
  com::ComPtr<IInternetSession> session_;
};

TEST_F(SessionTest, RegisteredHandlerAnswersItsRequestsThroughTheSink) {
  auto b = WebBrowser::Create();
  b->Navigate("http://private.test/viewsnippet?id=5");
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_EQ(calls_.starts, 1);
  EXPECT_EQ(calls_.terminates, 1);
  EXPECT_GE(calls_.reads, 2);  // read in pieces, until S_FALSE
  EXPECT_EQ(b->LocationName(), "Generated");
  EXPECT_EQ(b->LocationURL(), "http://private.test/viewsnippet?id=5");
  auto end = b->Document()->getElementById("end");
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->innerText(), "viewsnippet?id=5");
  const std::string text = b->Document()->body()->innerText();
  EXPECT_EQ(std::count(text.begin(), text.end(), 'g'), 100000);
}

TEST_F(SessionTest, HandlerThatDeclinesLeavesTheRequestToTheDefaultProtocol) {
  TestServer s;
  s.server().Get("/real", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<title>Real</title>", "text/html");
  });
  auto b = WebBrowser::Create();
  b->Navigate(s.Url("/real"));
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_EQ(calls_.declined, 1);
  EXPECT_EQ(calls_.terminates, 0);
  EXPECT_EQ(b->LocationName(), "Real");
  // Other schemes never reach an http handler.
  b->Navigate("about:blank");
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_EQ(calls_.starts, 1);
}

TEST_F(SessionTest, UnregisteredHandlerIsNoLongerAsked) {
  session_->UnregisterNameSpace(factory_.get(), "http");
  TestServer s;
  s.server().Get(
      "/x", [](const httplib::Request&, httplib::Response& r) { r.set_content("x", "text/html"); });
  auto b = WebBrowser::Create();
  b->Navigate(s.Url("/x"));
  ASSERT_TRUE(WaitIdle(b.get()));
  EXPECT_EQ(calls_.starts, 0);
  session_->RegisterNameSpace(factory_.get(), kHandlerClsid, "http", 0, nullptr, 0);
}

TEST_F(SessionTest, LoadReportsLaterAndNotAfterCancel) {
  bool done = false;
  LoadResult got;
  auto request = InternetSession::Process().Load("http://private.test/a", [&](LoadResult r) {
    done = true;
    got = std::move(r);
  });
  EXPECT_FALSE(done);  // never inside Load
  ASSERT_TRUE(WaitFor([&] { return done; }));
  EXPECT_TRUE(got.ok);
  EXPECT_TRUE(got.body.starts_with("<HTML>"));

  bool cancelled_done = false;
  auto second = InternetSession::Process().Load("http://private.test/b",
                                                [&](LoadResult) { cancelled_done = true; });
  second->Cancel();
  loop_.ProcessMessages();
  loop_.ProcessMessages();
  EXPECT_FALSE(cancelled_done);
  EXPECT_EQ(calls_.starts, 1);
}

TEST_F(SessionTest, DocumentsLoadWithoutABrowser) {
  auto doc = dom::Document::Create("about:blank");
  HRESULT result = com::E_UNEXPECTED;
  bool done = false;
  LoadDocumentFromUrl(doc, "http://private.test/x", [&](HRESULT hr) {
    result = hr;
    done = true;
  });
  ASSERT_TRUE(WaitFor([&] { return done; }));
  EXPECT_EQ(result, com::S_OK);
  EXPECT_EQ(doc->title(), "Generated");
  EXPECT_EQ(doc->URL(), "http://private.test/x");

  done = false;
  const std::string missing = FileUrlFromPath((dir_ / "none.html").string());
  LoadDocumentFromUrl(doc, missing, [&](HRESULT hr) {
    result = hr;
    done = true;
  });
  ASSERT_TRUE(WaitFor([&] { return done; }));
  EXPECT_EQ(result, com::INET_E_DOWNLOAD_FAILURE);
  EXPECT_EQ(doc->title(), "Cannot show the page");
}

}  // namespace
}  // namespace vt::browser
