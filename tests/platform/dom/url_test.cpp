// Addresses read back absolute against the document's base.
#include <gtest/gtest.h>

#include "platform/dom/document.h"
#include "platform/dom/url.h"

namespace vt::dom {
namespace {

TEST(Url, ResolvesReferencesAsABrowserDoes) {
  const std::string base = "http://Example.com:80/a/b/c.html?x=1#top";
  EXPECT_EQ(ResolveUrl(base, "d.png"), "http://example.com/a/b/d.png");
  EXPECT_EQ(ResolveUrl(base, "../d.png"), "http://example.com/a/d.png");
  EXPECT_EQ(ResolveUrl(base, "../../../../d.png"), "http://example.com/d.png");
  EXPECT_EQ(ResolveUrl(base, "/root/./x/../y"), "http://example.com/root/y");
  EXPECT_EQ(ResolveUrl(base, "//cdn.example.org/i.gif"), "http://cdn.example.org/i.gif");
  EXPECT_EQ(ResolveUrl(base, "?q=2"), "http://example.com/a/b/c.html?q=2");
  EXPECT_EQ(ResolveUrl(base, "#part"), "http://example.com/a/b/c.html?x=1#part");
  EXPECT_EQ(ResolveUrl(base, ""), "http://example.com/a/b/c.html?x=1");
  EXPECT_EQ(ResolveUrl(base, " \n im\tg\\my pic.png "), "http://example.com/a/b/img/my%20pic.png");
  EXPECT_EQ(ResolveUrl(base, "HTTPS://Other.org"), "https://other.org/");
  EXPECT_EQ(ResolveUrl(base, "mailto:someone@example.com"), "mailto:someone@example.com");
  EXPECT_EQ(ResolveUrl(base, "javascript:void(0)"), "javascript:void(0)");
  EXPECT_EQ(ResolveUrl("file:///work/pages/p.html", "img/a.png"), "file:///work/pages/img/a.png");
  EXPECT_EQ(ResolveUrl("about:blank", "a.png"), "a.png");
  EXPECT_EQ(ResolveUrl(base, "caf\xC3\xA9.html"), "http://example.com/a/b/caf%C3%A9.html");
}

TEST(Url, ImagesAndLinksReadBackAgainstTheBaseElement) {
  auto doc = Document::Create();
  doc->Load(R"(<head><base href="/assets/"><base href="http://ignored.example/"></head>
<body><img src="logo.png"><a href="../page.html">x</a><img id=none><a href="">self</a></body>)",
            "http://example.com/dir/index.html");
  EXPECT_EQ(doc->BaseURL(), "http://example.com/assets/");
  auto img = doc->images().item(0);
  EXPECT_EQ(img->src(), "http://example.com/assets/logo.png");
  EXPECT_EQ(img->href(), img->src());
  EXPECT_EQ(doc->links().item(0)->href(), "http://example.com/page.html");
  EXPECT_EQ(doc->links().item(1)->href(), "http://example.com/assets/");
  EXPECT_EQ(doc->getElementById("none")->src(), "");
  // Assigning the absolute address back makes the mark-up carry it.
  auto link = doc->links().item(0);
  link->setHref(link->href());
  EXPECT_EQ(link->outerHTML(), "<a href=\"http://example.com/page.html\">x</a>");
  img->setSrc("/cache/logo[1].png");
  EXPECT_EQ(img->src(), "http://example.com/cache/logo[1].png");
  EXPECT_EQ(img->getAttribute("src"), "/cache/logo[1].png");
}

TEST(Url, ABaseWrittenIntoTheBodyOfABlankDocumentIsHonoured) {
  // A copied page arrives as body mark-up with its base in front.
  auto doc = Document::Create();
  doc->body()->setInnerHTML("<base href=\"http://copy.example/p/\"><img src=\"i.gif\">");
  EXPECT_EQ(doc->images().item(0)->src(), "http://copy.example/p/i.gif");
  doc->body()->setInnerHTML("<img src=\"i.gif\">");
  EXPECT_EQ(doc->images().item(0)->src(), "i.gif");  // about:blank resolves nothing
}

}  // namespace
}  // namespace vt::dom
