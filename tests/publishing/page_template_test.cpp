#include "publishing/PageTemplate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "golden.h"

namespace vt {
namespace {

constexpr const char* kAppDir = "/home/ann/.local/share/vellumtrace/";

using testing::Golden;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(PageTemplate, MatchesTheStoredPagesByteForByte) {
  EXPECT_EQ(WrapInPageTemplateFor(kAppDir, "<p>Hello</p>", "Notes on tables",
                                  "http://example.com/a/page.html"),
            Golden("page_with_title_and_base.html"));
  EXPECT_EQ(WrapInPageTemplateFor(kAppDir, "Snippet not found in Vellumtrace database.", "", ""),
            Golden("message_page.html"));
}

TEST(PageTemplate, BaseElementOnlyWithABaseAndThenBetweenHeadAndBody) {
  std::string without = WrapInPageTemplateFor(kAppDir, "x", "t", "");
  EXPECT_EQ(Count(without, "<base"), 0u);
  EXPECT_NE(without.find("</head><BODY>x</BODY></HTML>"), std::string::npos);

  std::string with = WrapInPageTemplateFor(kAppDir, "x", "t", "http://h/p");
  EXPECT_EQ(Count(with, "<base"), 1u);
  EXPECT_NE(with.find("</head><base href=\"http://h/p\"><BODY>x</BODY>"), std::string::npos);
}

TEST(PageTemplate, TitleIsPageTextSoMarkupInItIsEscaped) {
  std::string page = WrapInPageTemplateFor(kAppDir, "", "a<b & </title><script>x</script>", "");
  EXPECT_NE(page.find("<title>a&lt;b &amp; &lt;/title&gt;&lt;script&gt;x&lt;/script&gt;</title>"),
            std::string::npos);
  EXPECT_EQ(Count(page, "<script"), 1u);  // only the template's own script
}

TEST(PageTemplate, QuoteInBaseAddressCannotEndTheAttribute) {
  std::string page = WrapInPageTemplateFor(kAppDir, "", "", "http://h/a\"onload=\"x");
  EXPECT_NE(page.find("<base href=\"http://h/a%22onload=%22x\"><BODY>"), std::string::npos);
}

TEST(PageTemplate, StyleSheetAddressIsFileColonThenTheFolderAsItIs) {
  EXPECT_EQ(StyleSheetUrl("/opt/vt/"), "file:/opt/vt/Vellumtrace.css");
  // No separator is added: a folder without its final "/" names another file.
  EXPECT_EQ(StyleSheetUrl("/opt/vt"), "file:/opt/vtVellumtrace.css");
  // Characters that would end the path or the attribute are percent-encoded.
  EXPECT_EQ(StyleSheetUrl("/home/a b/#1?/50%\"/"),
            "file:/home/a%20b/%231%3F/50%25%22/Vellumtrace.css");
  EXPECT_EQ(StyleSheetUrl("/home/zoë/"), "file:/home/zoë/Vellumtrace.css");
}

TEST(ErrorScript, PrependsTheScriptWithNothingBetween) {
  const std::string script =
      "<script language=JavaScript>function stopVTError() {return true;} window.onerror = "
      "stopVTError;</script>";
  EXPECT_EQ(PrependErrorScript(nullptr, ""), script);
  EXPECT_EQ(PrependErrorScript(nullptr, "<b>x</b>"), script + "<b>x</b>");
}

}  // namespace
}  // namespace vt
