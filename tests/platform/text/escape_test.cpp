#include "platform/text/escape.h"

#include <gtest/gtest.h>

namespace vt::text {
namespace {

TEST(EscapeHtmlTest, ContentKeepsQuotesAndAttributesEscapeTheirs) {
  const std::string text = R"(<a href="x">Tom & 'Jerry'</a>)";
  EXPECT_EQ(EscapeHtml(text), R"(&lt;a href="x"&gt;Tom &amp; 'Jerry'&lt;/a&gt;)");
  EXPECT_EQ(EscapeHtml(text, HtmlQuotes::kDouble),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; 'Jerry'&lt;/a&gt;");
  EXPECT_EQ(EscapeHtml(text, HtmlQuotes::kBoth),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
  // Bytes of other characters pass unchanged, NUL included.
  EXPECT_EQ(EscapeHtml(std::string_view("\xC3\xA9\0x", 4)), std::string("\xC3\xA9\0x", 4));
  std::string out = "<p>";
  AppendEscapedHtml(out, "&&", HtmlQuotes::kNone);
  EXPECT_EQ(out, "<p>&amp;&amp;");
}

TEST(PercentDecodeTest, DecodesEitherCaseAndKeepsBrokenEscapes) {
  EXPECT_EQ(PercentDecode("%4a%4A%zz%"), "JJ%zz%");
  EXPECT_EQ(PercentDecode("a%41%zz%4"), "aA%zz%4");
  EXPECT_EQ(PercentDecode("%41"), "A");
  EXPECT_EQ(PercentDecode("%2"), "%2");
  EXPECT_EQ(PercentDecode("%00x"), std::string("\0x", 2));
  EXPECT_EQ(PercentDecode("a+b%2B"), "a+b+");
  EXPECT_EQ(PercentDecode("a+b%2B", true), "a b+");
}

}  // namespace
}  // namespace vt::text
