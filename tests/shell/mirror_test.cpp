// The mirror of a document: every element named by its sourceIndex, nothing that could run.
#include <gtest/gtest.h>

#include "platform/dom/document.h"
#include "shell/mirror.h"

namespace vt::shell {
namespace {

std::shared_ptr<dom::Document> Load(const std::string& html, const std::string& url) {
  auto doc = dom::Document::Create(url);
  doc->LoadSource(html);
  return doc;
}

TEST(MirrorTest, TagsEveryElementWithItsSourceIndex) {
  auto doc = Load("<table><tr><td id=a>1</td><td id=b>2</td></tr></table>", "http://x.test/p.html");
  std::string mirror = SerializeMirror(*doc);
  auto b = doc->getElementById("b");
  ASSERT_TRUE(b);
  EXPECT_NE(
      mirror.find("<td id=\"b\" data-vt-si=\"" + std::to_string(b->sourceIndex()) + "\">2</td>"),
      std::string::npos)
      << mirror;
  // Every element of the document appears once with its own index.
  for (int i = 0; i < doc->ElementCount(); ++i)
    EXPECT_NE(mirror.find("data-vt-si=\"" + std::to_string(i) + "\""), std::string::npos) << i;
}

TEST(MirrorTest, LeavesOutEverythingThatCouldRun) {
  auto doc = Load(
      "<head><meta http-equiv=refresh content='0;url=http://evil.test/'>"
      "<script>document.title='ran'</script></head>"
      "<body onload='go()'><a href=' JaVa\tscript:alert(1)' onclick='x()'>l</a>"
      "<img src=a.png onerror='y()'><iframe srcdoc='<script>z()</script>' "
      "src='http://ads.test/'></iframe>"
      "<form action='javascript:q()'><input formaction='vbscript:r'></form>"
      "<object data='data:text/html,<script>s()</script>'></object></body>",
      "http://x.test/dir/p.html");
  std::string mirror = SerializeMirror(*doc);
  for (const char* banned : {"onload", "onclick", "onerror", "javascript", "JaVa", "vbscript",
                             "srcdoc", "refresh", "evil.test", "ads.test", "data:text/html"})
    EXPECT_EQ(mirror.find(banned), std::string::npos) << banned << " in " << mirror;
  // The script stays as an inert data block, so the text and the numbering keep their shape.
  EXPECT_NE(mirror.find("<script type=\"text/x-vellumtrace-inert\""), std::string::npos) << mirror;
  EXPECT_NE(mirror.find("<iframe src=\"about:blank\""), std::string::npos) << mirror;
  EXPECT_NE(mirror.find("<img src=\"a.png\""), std::string::npos);
}

TEST(MirrorTest, WebPagesResolveAgainstTheirBaseAndLocalFilesGoThroughTheFileRoute) {
  auto web =
      Load("<head><title>t</title></head><body><img src='i.png'></body>", "http://x.test/d/p.html");
  std::string mirror = SerializeMirror(*web);
  EXPECT_NE(mirror.find("<base href=\"http://x.test/d/p.html\">"), std::string::npos) << mirror;

  auto local = Load(
      "<body><img src='pic%20one.gif'><a href='/etc/x.html'>x</a>"
      "<img src='file:///data/app/_blank.gif'><img src='http://w.test/a.gif'></body>",
      "file:///data/app/page.html");
  std::string out = SerializeMirror(*local);
  EXPECT_NE(out.find("src=\"/file?path=/data/app/pic%20one.gif\""), std::string::npos) << out;
  EXPECT_NE(out.find("src=\"/file?path=/data/app/_blank.gif\""), std::string::npos) << out;
  EXPECT_NE(out.find("href=\"/file?path=/etc/x.html\""), std::string::npos) << out;
  EXPECT_NE(out.find("src=\"http://w.test/a.gif\""), std::string::npos) << out;
  EXPECT_EQ(out.find("<base"), std::string::npos) << out;
}

TEST(MirrorTest, EscapesTextAndAttributes) {
  auto doc =
      Load("<p title='a\"b&amp;c'>1 &lt; 2 &amp; 3</p><style>p>b{}</style>", "http://x.test/");
  std::string mirror = SerializeMirror(*doc);
  EXPECT_NE(mirror.find("title=\"a&quot;b&amp;c\""), std::string::npos) << mirror;
  EXPECT_NE(mirror.find(">1 &lt; 2 &amp; 3</p>"), std::string::npos) << mirror;
  EXPECT_NE(mirror.find("p>b{}</style>"), std::string::npos) << mirror;
}

}  // namespace
}  // namespace vt::shell
