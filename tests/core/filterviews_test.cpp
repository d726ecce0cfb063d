// Filter views: the mark-up cut from a page, the list pages, and images pointed at local files.
#include <fstream>

#include "config/myRegistry.h"
#include "core/IECache.h"
#include "page_fixture.h"
#include "platform/browser/session.h"
#include "platform/browser/url_cache.h"
#include "platform/dom/style.h"

namespace vt::testing {
namespace {

namespace fs = std::filesystem;

class FilterViews : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    app_ = (dir_ / "app").string() + "/";
    cache_ = (dir_ / "images").string() + "/";
    fs::create_directories(app_);
    fs::create_directories(cache_);
    SetAppDir(app_);
    SetCacheDir(cache_);
  }
  static Tnode Descriptor(int table, int row, int col, int image = 0, int link = 0) {
    Tnode d;
    d.Table = table;
    d.Row = row;
    d.Col = col;
    d.Image = image;
    d.Link = link;
    return d;
  }
  static void Cache(const std::string& url, const std::string& type, const std::string& body) {
    browser::InternetSession::Process().Cache()->Store(
        url, "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\n\r\n", body);
  }
  std::string app_, cache_;
};

TEST_F(FilterViews, FilterAddressNamesWindowAndEntryPosition) {
  EXPECT_EQ(FilterAddress(2, 5), "http://vellumtrace.localhost/filter?window=2&id=5");
}

TEST_F(FilterViews, ElementsAreCutWithoutBordersOrRowTagsAndLinksCarryAbsoluteAddresses) {
  TmyDOM& s = Parse("p.html", Page("<table style='border-width: 3px'><tr><td>a</td><td>b</td>"
                                   "</tr></table><img src='x.png' style='border: 2px solid'>"
                                   "<a href='sub/next.html'>next</a>"));
  Tnode table = Descriptor(1, 0, 0);
  const std::string html = s.GetObjectHTML(s.Document, &table);
  EXPECT_EQ(html.rfind("<table style=\"border-width: 0", 0), 0u) << html;
  // The table on the page keeps its style.
  EXPECT_EQ(s.Document->tags("TABLE").item(0)->style().borderWidth(), "3px");

  Tnode row = Descriptor(1, 1, 0);
  EXPECT_EQ(s.GetObjectHTML(s.Document, &row), "<td>a</td><td>b</td>");
  Tnode cell = Descriptor(1, 1, 2);
  EXPECT_EQ(s.GetObjectHTML(s.Document, &cell), "b");

  Tnode link = Descriptor(0, 0, 0, 0, 1);
  const std::string expected_href = browser::FileUrlFromPath((dir_ / "sub/next.html").string());
  EXPECT_NE(s.GetObjectHTML(s.Document, &link).find("href=\"" + expected_href + "\""),
            std::string::npos);

  // Positions past the end of their collection give nothing.
  for (Tnode none : {Descriptor(2, 0, 0), Descriptor(1, 2, 0), Descriptor(1, 1, 3),
                     Descriptor(0, 0, 0, 2), Descriptor(0, 0, 0, 0, 2)}) {
    EXPECT_EQ(s.GetObjectHTML(s.Document, &none), "");
  }
  EXPECT_EQ(s.GetObjectHTML(nullptr, &table), "");
  EXPECT_EQ(s.GetObjectHTML(s.Document, nullptr), "");
}

TEST_F(FilterViews, ImageListsReportProgressAndStayCachedUntilTheNextParse) {
  std::string images;
  for (int i = 1; i <= 25; ++i) images += "<img src='p" + std::to_string(i) + ".gif'>";
  TmyDOM& s = Parse("i.html", Page(images + Table(1, 1)));
  std::vector<std::string> texts;
  widgets::TakeChanges();
  widgets::SetChangeListener([&] {
    texts.push_back(StatusText());
    widgets::TakeChanges();
  });
  const std::string all = s.ListAllImages(s.Document, 0);
  widgets::SetChangeListener(nullptr);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Finding all images... (10)"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Finding all images... (20)"), texts.end());
  EXPECT_EQ(StatusText(), "Found 25 images");
  EXPECT_NE(all.find("p25.gif"), std::string::npos);
  EXPECT_NE(all.find("&nbsp;&nbsp;&nbsp;"), std::string::npos);

  // The cached page is answered for any frame, without the document.
  EXPECT_EQ(s.ListAllImages(nullptr, 3), all);
  const std::string tables = s.ListAllTables(s.Document, 0);
  EXPECT_EQ(s.ListAllTables(nullptr, 2), tables);
  EXPECT_EQ(tables.substr(tables.size() - 6), "<p><p>");
  s.ParseDocument();
  EXPECT_TRUE(s.AllImagesPage.empty());
  EXPECT_TRUE(s.AllTablesPage.empty());
}

TEST_F(FilterViews, ListOfAnotherFrameIsEmptyAndNotCached) {
  Write("a.html", Page("<p>top</p>"));
  Write("b.html", Page("<img src='one.png'><img src='two.png'>"));
  TmyDOM& s = Parse("fs.html",
                    "<html><frameset cols='50%,50%'><frame src='a.html' name='top'>"
                    "<frame src='b.html' name='main'></frameset></html>");
  DocumentRef frame2 = TmyDOM::DocumentOfBrowser(TmyDOM::GetFrameBrowser(s.Document, 1));
  EXPECT_EQ(s.ListAllImages(frame2, 1), "");
  EXPECT_EQ(StatusText(), "No images found.");
  const std::string two = s.ListAllImages(frame2, 2);
  EXPECT_NE(two.find("two.png"), std::string::npos);
  EXPECT_EQ(StatusText(), "Found 2 images");

  Tnode group;
  group.Frame = 2;
  group.Image = -1;
  TmyDOM::ElementPage page = s.BuildElementPage(group);
  EXPECT_EQ(page.title, "All Images at " + s.Document->title());
  EXPECT_EQ(page.html, two);
}

TEST_F(FilterViews, CachedPicturesAreCopiedOnceAndOthersBecomeThePlaceholder) {
  // Two pictures named logo.png from two addresses: the cache names the second logo[1].png.
  Cache("http://a.test/logo.png", "image/png", "first");
  Cache("http://b.test/img/logo.png", "image/png", "second");
  Cache("http://a.test/pic.bmp", "image/bmp", "bmp");
  Cache("http://a.test/text.png", "text/plain", "not a picture");
  std::ofstream(cache_ + "logo[1].png") << "kept";
  const std::string local = Write("local.gif", "GIF");
  TmyDOM& s = Parse("img.html",
                    Page("<img src='http://a.test/logo.png'><img src='http://b.test/img/logo.png'>"
                         "<img src='http://a.test/pic.bmp'><img src='http://a.test/none.png'>"
                         "<img src='http://a.test/text.png'><img src='local.gif'>"));
  s.FixImageLinks(s.Document);
  dom::ElementCollection images = s.Document->images();
  EXPECT_EQ(images.item(0)->src(), browser::FileUrlFromPath(cache_ + "logo.png"));
  EXPECT_EQ(images.item(1)->src(), browser::FileUrlFromPath(cache_ + "logo[1].png"));
  std::ifstream first(cache_ + "logo.png"), second(cache_ + "logo[1].png");
  std::string a, b;
  first >> a;
  second >> b;
  EXPECT_EQ(a, "first");
  EXPECT_EQ(b, "kept");  // an existing copy is never overwritten
  EXPECT_EQ(images.item(2)->src(), "http://a.test/pic.bmp");
  EXPECT_EQ(images.item(3)->src(), browser::FileUrlFromPath(app_ + "_blank.gif"));
  EXPECT_EQ(images.item(4)->src(), "http://a.test/text.png");
  EXPECT_EQ(images.item(5)->src(), browser::FileUrlFromPath(local));
}

TEST_F(FilterViews, StoredSnippetImagesFollowTheCurrentFolders) {
  TmyDOM& s =
      Parse("snip.html",
            Page("<img src='file:///old/user/.cache/pics/a%20b.png'>"
                 "<img src='file:///old/app/_blank.gif'><img src='http://h.test/Cache/x.png'>"
                 "<img src='http://h.test/webcache/y.png'><img src='http://h.test/pics/z.png'>"));
  s.GrabImage(s.Document);
  dom::ElementCollection images = s.Document->images();
  EXPECT_EQ(images.item(0)->src(), browser::FileUrlFromPath(cache_ + "a b.png"));
  EXPECT_EQ(images.item(1)->src(), browser::FileUrlFromPath(app_ + "_blank.gif"));
  EXPECT_EQ(images.item(2)->src(), "http://h.test/Cache/x.png");  // "cache" in exact case only
  EXPECT_EQ(images.item(3)->src(), browser::FileUrlFromPath(cache_ + "y.png"));
  EXPECT_EQ(images.item(4)->src(), "http://h.test/pics/z.png");
}

TEST_F(FilterViews, CacheLookupFillsHeaderTextAndFileOrAnswersNotFound) {
  Cache("http://a.test/logo.png", "image/png", "x");
  TIECache cache;
  EXPECT_EQ(cache.LookupCacheEntry("http://a.test/other.png"), 2);
  EXPECT_TRUE(cache.LocalFileName.empty());
  EXPECT_EQ(cache.LookupCacheEntry("http://a.test/logo.png"), 0);
  EXPECT_EQ(fs::path(cache.LocalFileName).filename(), "logo.png");
  EXPECT_NE(cache.HeaderInfo.find("image/png"), std::string::npos);
  EXPECT_EQ(cache.FileExtension, "png");
}

}  // namespace
}  // namespace vt::testing
