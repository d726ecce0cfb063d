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
  EXPECT_NE(mirror.find("<img src=\"http://x.test/dir/a.png\""), std::string::npos) << mirror;
}

TEST(MirrorTest, EveryAddressIsAbsoluteAgainstThePageAndNoneNamesTheDisplay) {
  // The page's own base ("/"), relative addresses in attributes, srcset, style attributes and
  // style sheets all resolve against the page, never against the server that shows the mirror.
  auto web = Load(
      "<head><base href='/'><link rel=stylesheet href='style.css'>"
      "<style>@import 'more.css'; b{background:url(api/state)} i{background:url( \"q.png\" )}"
      "</style></head><body><img src='i.png' srcset='a.png 1x, /b.png 2x,c,d.png 480w'>"
      "<div style=\"background-image:url('file?path=/etc/passwd')\">x</div>"
      "<a href=''>self</a><svg><use href='#shape'/></svg>"
      "<a href='https://other.test/x' ping='/api/input' referrerpolicy='unsafe-url'>o</a>"
      "<meta name=referrer content=unsafe-url></body>",
      "http://x.test/d/p.html");
  std::string out = SerializeMirror(*web);
  for (const char* expected :
       {"<base href=\"http://x.test/\">", "href=\"http://x.test/style.css\"",
        "@import \"http://x.test/more.css\"", "url(\"http://x.test/api/state\")",
        "url(\"http://x.test/q.png\")", "src=\"http://x.test/i.png\"",
        "srcset=\"http://x.test/a.png 1x, http://x.test/b.png 2x, http://x.test/c%2Cd.png 480w\"",
        "style=\"background-image:url(&quot;http://x.test/file?path=/etc/passwd&quot;)\"",
        "<a href=\"http://x.test/\"", "href=\"#shape\"", "href=\"https://other.test/x\""})
    EXPECT_NE(out.find(expected), std::string::npos) << expected << " in " << out;
  // One base only, the mirror's own; nothing that chooses the referrer or pings.
  EXPECT_EQ(out.find("<base"), out.rfind("<base")) << out;
  for (const char* banned : {"href=\"/\"", "referrer", "ping"})
    EXPECT_EQ(out.find(banned), std::string::npos) << banned << " in " << out;
}

TEST(MirrorTest, LocalPagesLoadTheirFilesThroughTheGivenRouteOnly) {
  auto local = Load(
      "<head><style>body{background:url(bg.gif)}</style></head>"
      "<body><img src='pic%20one.gif'><a href='/etc/x.html'>x</a>"
      "<img src='file:///data/app/_blank.gif'><img src='http://w.test/a.gif'></body>",
      "file:///data/app/page.html");
  std::string out = SerializeMirror(*local);
  EXPECT_NE(out.find("src=\"/file?path=/data/app/pic%20one.gif\""), std::string::npos) << out;
  EXPECT_NE(out.find("src=\"/file?path=/data/app/_blank.gif\""), std::string::npos) << out;
  EXPECT_NE(out.find("href=\"/file?path=/etc/x.html\""), std::string::npos) << out;
  EXPECT_NE(out.find("url(\"/file?path=/data/app/bg.gif\")"), std::string::npos) << out;
  EXPECT_NE(out.find("src=\"http://w.test/a.gif\""), std::string::npos) << out;
  // What is left relative resolves to a file: address, which the display never loads.
  EXPECT_NE(out.find("<base href=\"file:///data/app/page.html\">"), std::string::npos) << out;

  MirrorOptions options;
  options.local_file = [](std::string_view url) {
    return url == "file:///data/app/_blank.gif" ? std::string("http://d.test/f?g=1") : "";
  };
  out = SerializeMirror(*local, options);
  EXPECT_NE(out.find("src=\"http://d.test/f?g=1\""), std::string::npos) << out;
  EXPECT_EQ(out.find("pic%20one"), std::string::npos) << out;
  EXPECT_EQ(out.find("/etc/x.html"), std::string::npos) << out;
  EXPECT_NE(out.find("url(\"\")"), std::string::npos) << out;
}

TEST(MirrorTest, TextOfThePageNeverBecomesMarkup) {
  // Text the process holds as text, inside elements the display's browser may read as raw text
  // or as another namespace, must come out with no tag of its own.
  const char* payload =
      "&lt;/noscript&gt;&lt;/style&gt;&lt;/title&gt;&lt;/textarea&gt;"
      "&lt;meta http-equiv=refresh content=0&gt;&lt;img src=x onerror=1&gt;";
  std::string page = "<head><title>" + std::string(payload) + "</title></head><body>";
  for (const char* holder :
       {"noscript", "textarea", "xmp", "noembed", "noframes", "select", "p", "template"})
    page += "<" + std::string(holder) + ">" + payload + "</" + holder + ">";
  page += "<p title='</noscript><meta http-equiv=refresh content=0>'>t</p>";
  page += std::string("<math><mtext><table><mglyph><style>") + payload +
          "</style></mglyph></table></mtext></math>";
  page += std::string("<svg><style>") + payload + "</style><desc>" + payload + "</desc></svg>";
  auto doc = Load(page + "</body>", "http://x.test/");
  std::string out = SerializeMirror(*doc);
  for (const char* banned : {"<meta", "<img"})
    EXPECT_EQ(out.find(banned), std::string::npos) << banned << " in " << out;
}

TEST(MirrorTest, RawTextCannotEndItsElementEarly) {
  // Trees another parser may hand over: raw text holding its own end tag, a style under foreign
  // content or under another raw-text element, and names no tokenizer could read back.
  auto doc = Load("<head></head><body><p id=p></p></body>", "http://x.test/");
  auto head = doc->head();
  auto style = dom::Element::Create("style");
  style->AppendChild(dom::Node::MakeText("a{} </STYLE ><meta http-equiv=refresh> b>c{}"));
  head->AppendChild(style);
  auto script = dom::Element::Create("script");
  script->AppendChild(dom::Node::MakeText("<!--<script></script><img src=x>"));
  head->AppendChild(script);
  auto p = doc->getElementById("p");
  auto math = dom::Element::Create("math", dom::Namespace::kMathMl);
  auto inner = dom::Element::Create("style");
  inner->AppendChild(dom::Node::MakeText("<img src=x onerror=1>"));
  math->AppendChild(inner);
  p->AppendChild(math);
  auto textarea = dom::Element::Create("textarea");
  auto nested = dom::Element::Create("style");
  nested->AppendChild(dom::Node::MakeText("</textarea><img src=y>"));
  textarea->AppendChild(nested);
  p->AppendChild(textarea);
  auto odd = dom::Element::Create("b");
  odd->setAttribute("x><img src=z", "1");
  p->AppendChild(odd);
  p->AppendChild(dom::Node::MakeComment("--><img src=c>--!><img src=d>"));

  std::string out = SerializeMirror(*doc);
  EXPECT_NE(out.find("a{} <\\/STYLE ><meta http-equiv=refresh> b>c{}</style>"), std::string::npos)
      << out;
  EXPECT_NE(out.find("<\\!--<script><\\/script><img src=x></script>"), std::string::npos) << out;
  EXPECT_NE(out.find("&lt;img src=x onerror=1&gt;"), std::string::npos) << out;
  EXPECT_NE(out.find("&lt;/textarea&gt;&lt;img src=y&gt;"), std::string::npos) << out;
  EXPECT_EQ(out.find("img src=z"), std::string::npos) << out;
  EXPECT_NE(out.find("<!--- -><img src=c>--! ><img src=d>--></p>"), std::string::npos) << out;
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
