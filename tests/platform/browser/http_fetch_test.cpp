#include "platform/browser/http_fetch.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <thread>

#include "test_server.h"

namespace vt::browser {
namespace {
using testing::RefusingPort;
using testing::TestServer;

std::string Gzip(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(compressBound(text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

FetchLimits Quick() {
  FetchLimits l;
  l.connect_timeout = std::chrono::milliseconds(2000);
  l.total_timeout = std::chrono::milliseconds(3000);
  return l;
}

TEST(HttpFetch, FollowsRedirectsAndKeepsOnlyTheLastHeaders) {
  TestServer s;
  s.server().Get(
      "/old", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/mid", 302); });
  s.server().Get(
      "/mid", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/new", 301); });
  s.server().Get("/new", [](const httplib::Request&, httplib::Response& r) {
    r.set_content("<p>here</p>", "text/html; charset=ISO-8859-1");
  });
  std::atomic<bool> cancel{false};
  FetchResult f = FetchHttp(s.Url("/old"), Quick(), cancel);
  ASSERT_TRUE(f.ok) << f.error;
  EXPECT_EQ(f.status, 200);
  EXPECT_EQ(f.final_url, s.Url("/new"));
  EXPECT_EQ(f.body, "<p>here</p>");
  EXPECT_EQ(f.content_type, "text/html");
  EXPECT_EQ(f.charset, "iso-8859-1");
  EXPECT_TRUE(f.header_text.starts_with("HTTP/1.1 200 OK\r\n")) << f.header_text;
  EXPECT_TRUE(f.header_text.ends_with("\r\n\r\n"));
  EXPECT_EQ(f.header_text.find("Location"), std::string::npos);
}

TEST(HttpFetch, CookiesSetOnARedirectAreSentOnTheNextStep) {
  TestServer s;
  s.server().Get("/login", [](const httplib::Request&, httplib::Response& r) {
    r.set_header("Set-Cookie", "session=abc; Path=/");
    r.set_redirect("/home", 302);
  });
  s.server().Get("/home", [](const httplib::Request& req, httplib::Response& r) {
    r.set_content(req.get_header_value("Cookie"), "text/plain");
  });
  std::atomic<bool> cancel{false};
  EXPECT_EQ(FetchHttp(s.Url("/login"), Quick(), cancel).body, "session=abc");
}

TEST(HttpFetch, EndlessRedirectsStopAtTheLimit) {
  TestServer s;
  s.server().Get(
      "/loop", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/loop", 302); });
  std::atomic<bool> cancel{false};
  auto limits = Quick();
  limits.max_redirects = 3;
  FetchResult f = FetchHttp(s.Url("/loop"), limits, cancel);
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, "The page redirects too many times.");
}

TEST(HttpFetch, GzipIsAcceptedAndDecoded) {
  TestServer s;
  const std::string page(5000, 'a');
  s.server().Get("/z", [&](const httplib::Request& req, httplib::Response& r) {
    EXPECT_NE(req.get_header_value("Accept-Encoding").find("gzip"), std::string::npos);
    r.set_header("Content-Encoding", "gzip");
    r.set_content(Gzip(page), "text/html");
  });
  std::atomic<bool> cancel{false};
  FetchResult f = FetchHttp(s.Url("/z"), Quick(), cancel);
  ASSERT_TRUE(f.ok) << f.error;
  EXPECT_EQ(f.body, page);
}

TEST(HttpFetch, FailuresSayWhyInWords) {
  TestServer s;
  s.server().Get("/big", [](const httplib::Request&, httplib::Response& r) {
    r.set_content(std::string(4096, 'x'), "text/html");
  });
  s.server().Get("/big-chunked", [](const httplib::Request&, httplib::Response& r) {
    r.set_chunked_content_provider("text/html", [](size_t, httplib::DataSink& sink) {
      std::string chunk(1024, 'y');
      for (int i = 0; i < 8; ++i) sink.write(chunk.data(), chunk.size());
      sink.done();
      return true;
    });
  });
  s.server().Get("/slow", [](const httplib::Request&, httplib::Response& r) {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    r.set_content("late", "text/plain");
  });
  std::atomic<bool> cancel{false};
  auto limits = Quick();
  limits.max_bytes = 1000;
  EXPECT_EQ(FetchHttp(s.Url("/big"), limits, cancel).error, "The page is larger than 1000 bytes.");
  EXPECT_EQ(FetchHttp(s.Url("/big-chunked"), limits, cancel).error,
            "The page is larger than 1000 bytes.");
  limits.total_timeout = std::chrono::milliseconds(200);
  EXPECT_EQ(FetchHttp(s.Url("/slow"), limits, cancel).error, "The server did not answer in time.");

  RefusingPort closed;
  FetchResult refused = FetchHttp(closed.Url("/"), Quick(), cancel);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, "The server refused the connection.");
  EXPECT_EQ(FetchHttp("ftp://127.0.0.1/x", Quick(), cancel).error,
            "The address uses a protocol that cannot be fetched.");
}

TEST(HttpFetch, RedirectToAnotherProtocolIsRefused) {
  TestServer s;
  s.server().Get("/to-file", [](const httplib::Request&, httplib::Response& r) {
    r.set_redirect("file:///etc/passwd", 302);
  });
  std::atomic<bool> cancel{false};
  FetchResult f = FetchHttp(s.Url("/to-file"), Quick(), cancel);
  EXPECT_FALSE(f.ok && f.body.find("root:") != std::string::npos);
}

TEST(HttpFetch, CancelStopsARunningFetch) {
  TestServer s;
  s.server().Get("/slow", [](const httplib::Request&, httplib::Response& r) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    r.set_content("late", "text/plain");
  });
  std::atomic<bool> cancel{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cancel = true;
  });
  auto start = std::chrono::steady_clock::now();
  FetchResult f = FetchHttp(s.Url("/slow"), Quick(), cancel);
  stopper.join();
  EXPECT_EQ(f.error, "The download was stopped.");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
}

TEST(HttpFetch, ContentTypeParameters) {
  std::string type, charset;
  ParseContentType("Text/HTML ; Charset=\"UTF-8\" ; q=1", type, charset);
  EXPECT_EQ(type, "text/html");
  EXPECT_EQ(charset, "utf-8");
  ParseContentType("image/png", type, charset);
  EXPECT_EQ(type, "image/png");
  EXPECT_EQ(charset, "");
}

}  // namespace
}  // namespace vt::browser
