// The clipboard's formats and its open / empty / set / close rules, and the "HTML Format" block.
#include "platform/clipboard/clipboard.h"

#include <gtest/gtest.h>

#include <string>

namespace vt::clipboard {
namespace {

TEST(ClipboardHtml, TheBlockHasItsHeaderOfOffsetsThenThePage) {
  const std::string block = BuildClipboardHtml("abc");
  EXPECT_EQ(block,
            "Version:0.9\r\nStartHTML:-1\r\nEndHTML:-1\r\nStartFragment:000081\r\n"
            "EndFragment:000086\r\nabc\r\n");
  EXPECT_EQ(block.size(), 86u);
  EXPECT_EQ(HtmlFragmentOf(block), "abc\r\n");
  // Offsets count characters: "é" is one.
  const std::string accented = BuildClipboardHtml("caf\xC3\xA9");
  EXPECT_NE(accented.find("EndFragment:000087\r\n"), std::string::npos);
  EXPECT_EQ(HtmlFragmentOf(accented), "caf\xC3\xA9\r\n");
}

TEST(ClipboardHtml, OffsetsStayTrueForPagesOfAMillionCharacters) {
  const std::string page(999'913, 'x');
  const std::string block = BuildClipboardHtml(page);
  EXPECT_EQ(block.size(), 999'996u);
  EXPECT_EQ(block.substr(0, 81),
            "Version:0.9\r\nStartHTML:-1\r\nEndHTML:-1\r\nStartFragment:000081\r\n"
            "EndFragment:999996\r\n");
  // Six more characters need a seven-digit end, which moves the fragment one character on.
  const std::string longer(999'919, 'y');
  const std::string big = BuildClipboardHtml(longer);
  EXPECT_EQ(big.size(), 1'000'003u);
  EXPECT_EQ(big.substr(0, 82),
            "Version:0.9\r\nStartHTML:-1\r\nEndHTML:-1\r\nStartFragment:000082\r\n"
            "EndFragment:1000003\r\n");
  EXPECT_EQ(HtmlFragmentOf(big), longer + "\r\n");
}

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetClipboardForTests(); }
  void TearDown() override { ResetClipboardForTests(); }
};

TEST_F(ClipboardTest, NamedFormatsHaveOneNumberEach) {
  const UINT html = RegisterClipboardFormat("HTML Format");
  EXPECT_GE(html, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormat("html format"), html);
  EXPECT_NE(RegisterClipboardFormat("Rich Text Format"), html);
  EXPECT_EQ(GetClipboardFormatName(html), "HTML Format");
  EXPECT_EQ(GetClipboardFormatName(CF_TEXT), "CF_TEXT");
  EXPECT_EQ(RegisterClipboardFormat(""), 0u);
}

TEST_F(ClipboardTest, EntriesAreSetBetweenOpenAndCloseAndPublishedAtTheClose) {
  std::vector<ClipboardContents> heard;
  AddClipboardObserver([&](const ClipboardContents& c) { heard.push_back(c); });
  const UINT html = RegisterClipboardFormat("HTML Format");

  EXPECT_FALSE(SetClipboardData(CF_TEXT, "x"));
  EXPECT_EQ(GetClipboardError(), ERROR_CLIPBOARD_NOT_OPEN);
  ASSERT_TRUE(OpenClipboard());
  EXPECT_FALSE(OpenClipboard());
  EXPECT_EQ(GetClipboardError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_TRUE(SetClipboardData(html, BuildClipboardHtml("<b>page</b>")));
  EXPECT_TRUE(SetClipboardData(CF_TEXT, "<b>page</b>"));
  EXPECT_TRUE(heard.empty());
  EXPECT_EQ(LastContents().entries.size(), 0u);
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(CloseClipboard());

  ASSERT_EQ(heard.size(), 1u);
  ClipboardContents now = LastContents();
  ASSERT_EQ(now.entries.size(), 2u);
  EXPECT_EQ(now.entries[0].format, html);
  EXPECT_EQ(*now.Find(CF_TEXT), "<b>page</b>");
  DisplayClipboard shown = ForDisplay(now);
  EXPECT_EQ(shown.html, "<b>page</b>\r\n");
  EXPECT_EQ(shown.text, "<b>page</b>");
  EXPECT_EQ(shown.sequence, heard[0].sequence);

  // A close without a change publishes nothing; emptying does.
  ASSERT_TRUE(OpenClipboard());
  EXPECT_TRUE(CloseClipboard());
  EXPECT_EQ(heard.size(), 1u);
  ASSERT_TRUE(OpenClipboard());
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_TRUE(CloseClipboard());
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_TRUE(heard[1].entries.empty());
  EXPECT_GT(heard[1].sequence, heard[0].sequence);
  EXPECT_EQ(ForDisplay(LastContents()).html, "");
}

}  // namespace
}  // namespace vt::clipboard
