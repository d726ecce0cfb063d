#include "platform/browser/url_cache.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/browser/url.h"

namespace vt::browser {
namespace {
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class UrlCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/vt-urlcache-XXXXXX";
    folder_ = mkdtemp(templ);
  }
  void TearDown() override { fs::remove_all(folder_); }
  bool Inside(const std::string& file) const {
    auto rel = fs::weakly_canonical(file).lexically_relative(fs::weakly_canonical(folder_));
    return !rel.empty() && *rel.begin() != "..";
  }
  fs::path folder_;
};

constexpr const char* kPngHeaders =
    "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 4\r\n\r\n";

TEST_F(UrlCacheTest, StoredResponseIsFoundWithItsFileAndHeaderText) {
  UrlCache cache(folder_);
  cache.Store("http://example.test/img/logo.png", kPngHeaders, "\x89PNG");
  auto e = cache.Lookup("http://example.test/img/logo.png");
  ASSERT_TRUE(e);
  EXPECT_EQ(fs::path(e->local_file).filename(), "logo.png");
  EXPECT_EQ(e->file_extension, "png");
  EXPECT_EQ(e->header_text, kPngHeaders);
  EXPECT_EQ(ReadAll(e->local_file), "\x89PNG");
  EXPECT_EQ(e->size, 4u);
  EXPECT_TRUE(Inside(e->local_file));
  // The fragment does not name another resource.
  EXPECT_TRUE(cache.Lookup("http://example.test/img/logo.png#top"));
  EXPECT_FALSE(cache.Lookup("http://example.test/img/other.png"));
}

TEST_F(UrlCacheTest, StoringAgainReplacesTheBodyInTheSameFile) {
  UrlCache cache(folder_);
  auto first = cache.Store("http://h.test/a.gif", "HTTP/1.1 200 OK\r\n\r\n", "one");
  auto second = cache.Store("http://h.test/a.gif", "HTTP/1.1 200 OK\r\nX: 2\r\n\r\n", "two");
  EXPECT_EQ(first.local_file, second.local_file);
  auto e = cache.Lookup("http://h.test/a.gif");
  ASSERT_TRUE(e);
  EXPECT_EQ(ReadAll(e->local_file), "two");
  EXPECT_EQ(e->header_text, "HTTP/1.1 200 OK\r\nX: 2\r\n\r\n");
}

TEST_F(UrlCacheTest, SameNameFromTwoAddressesGetsTwoFiles) {
  UrlCache cache(folder_);
  std::vector<std::string> files;
  for (int i = 0; i < 16; ++i) {
    files.push_back(cache
                        .Store("http://h" + std::to_string(i) + ".test/logo.png", kPngHeaders,
                               std::to_string(i))
                        .local_file);
  }
  // Names are unique over the whole cache: a copy under the file name alone never mixes two.
  EXPECT_EQ(fs::path(files[0]).filename(), "logo.png");
  EXPECT_EQ(fs::path(files[1]).filename(), "logo[1].png");
  EXPECT_EQ(fs::path(files[15]).filename(), "logo[15].png");
  std::vector<std::string> names;
  for (const auto& f : files) names.push_back(fs::path(f).filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
  for (int i = 0; i < 16; ++i) {
    auto e = cache.Lookup("http://h" + std::to_string(i) + ".test/logo.png");
    ASSERT_TRUE(e);
    EXPECT_EQ(ReadAll(e->local_file), std::to_string(i));
  }
}

TEST_F(UrlCacheTest, FileNamesNeverLeaveTheCacheFolder) {
  UrlCache cache(folder_);
  for (const char* url :
       {"http://h.test/../../../../etc/passwd", "http://h.test/%2e%2e%2f%2e%2e%2fescape",
        "http://h.test/a/..%5c..%5cwin.ini", "http://h.test/.hidden", "http://h.test/",
        "http://h.test/x%00y.html", "file:///etc/passwd"}) {
    auto e = cache.Store(url, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", "x");
    EXPECT_TRUE(Inside(e.local_file)) << url << " -> " << e.local_file;
    EXPECT_NE(fs::path(e.local_file).filename().string()[0], '.') << url;
  }
  EXPECT_EQ(CacheFileStem("http://h.test/", "text/html"), "index.htm");
  EXPECT_EQ(CacheFileStem("http://h.test/a%20b.png?x=1", ""), "a_b.png");
  EXPECT_EQ(CacheFileStem("http://h.test/pic", "image/jpeg"), "pic.jpg");
}

TEST_F(UrlCacheTest, DamagedOrTamperedIndexIsNotTrusted) {
  UrlCache cache(folder_);
  auto e = cache.Store("http://h.test/a.png", kPngHeaders, "x");
  // Point the index at a file outside the folder: the lookup refuses it.
  for (auto& f : fs::recursive_directory_iterator(folder_ / "index")) {
    std::ofstream(f.path()) << R"({"url":"http://h.test/a.png","file":"../../etc/passwd",)"
                            << R"("headers":""})";
  }
  EXPECT_FALSE(cache.Lookup("http://h.test/a.png"));
  for (auto& f : fs::recursive_directory_iterator(folder_ / "index")) {
    std::ofstream(f.path()) << "{not json";
  }
  EXPECT_FALSE(cache.Lookup("http://h.test/a.png"));
}

TEST_F(UrlCacheTest, RemovedOrDeletedEntriesAreNotFound) {
  UrlCache cache(folder_);
  auto e = cache.Store("http://h.test/a.png", kPngHeaders, "x");
  fs::remove(e.local_file);
  EXPECT_FALSE(cache.Lookup("http://h.test/a.png"));
  cache.Store("http://h.test/b.png", kPngHeaders, "y");
  EXPECT_TRUE(cache.Remove("http://h.test/b.png"));
  EXPECT_FALSE(cache.Lookup("http://h.test/b.png"));
  EXPECT_FALSE(cache.Remove("http://h.test/b.png"));
}

TEST(UrlCacheProcess, LivesUnderTheTestHomeAndAnswersWin32Codes) {
  const char* home = std::getenv("VELLUMTRACE_HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(UrlCache::DefaultFolder(), fs::path(home) / "urlcache");
  UrlCacheEntry out;
  out.local_file = "unchanged";
  EXPECT_EQ(GetUrlCacheEntryInfo("http://never.test/stored", out), kCacheEntryNotFound);
  EXPECT_EQ(out.local_file, "unchanged");
  UrlCache::Process().Store("http://stored.test/p.gif", "HTTP/1.1 200 OK\r\n\r\n", "GIF");
  EXPECT_EQ(GetUrlCacheEntryInfo("http://stored.test/p.gif", out), kCacheEntryFound);
  EXPECT_EQ(fs::path(out.local_file).filename(), "p.gif");
  UrlCache::Process().Remove("http://stored.test/p.gif");
}

TEST(UrlHelpers, FileUrlsAndTypedAddresses) {
  EXPECT_EQ(FilePathFromUrl("file:///tmp/a%20b.html"), "/tmp/a b.html");
  EXPECT_EQ(FilePathFromUrl("file://localhost/tmp/x"), "/tmp/x");
  EXPECT_EQ(FilePathFromUrl("FILE:/tmp/x"), "/tmp/x");
  EXPECT_EQ(FilePathFromUrl("file://otherhost/tmp/x"), std::nullopt);
  EXPECT_EQ(FilePathFromUrl("file:///tmp/a%00b"), std::nullopt);
  EXPECT_EQ(FilePathFromUrl("http://h/x"), std::nullopt);
  EXPECT_EQ(FileUrlFromPath("/tmp/a b#c.html"), "file:///tmp/a%20b%23c.html");
  EXPECT_EQ(FilePathFromUrl(FileUrlFromPath("/tmp/50% off?.html")), "/tmp/50% off?.html");

  EXPECT_EQ(NormalizeTypedUrl("  example.com "), "http://example.com/");
  EXPECT_EQ(NormalizeTypedUrl("localhost:8080/x?y"), "http://localhost:8080/x?y");
  EXPECT_EQ(NormalizeTypedUrl("/tmp/page.html"), "file:///tmp/page.html");
  EXPECT_EQ(NormalizeTypedUrl("about:blank"), "about:blank");
  EXPECT_EQ(NormalizeTypedUrl("HTTP://Host/P"), "HTTP://Host/P");

  EXPECT_EQ(PercentDecode("a%41%zz%4"), "aA%zz%4");
  EXPECT_EQ(PercentDecode("a+b%2B", true), "a b+");
  EXPECT_EQ(SchemeOf("HtTp://x"), "http");
  EXPECT_EQ(SchemeOf("c:/x"), "");
  EXPECT_EQ(SchemeOf("no scheme:x"), "");
}

}  // namespace
}  // namespace vt::browser
