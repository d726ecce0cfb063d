// Labels, host names and the character counting behind them.
#include "core/textutil.h"

#include <gtest/gtest.h>

#include <string>

namespace vt {
namespace {

TEST(CleanText, KeepsOnlyLabelCharacters) {
  EXPECT_EQ(CleanText("Price: $5!"), "Price 5");
  EXPECT_EQ(CleanText("!?;:()[]{}*&^%$#@"), "");
  EXPECT_EQ(CleanText("a, b - c. d/e"), "a, b - c. d/e");
  // The eight kept accented letters survive; their neighbours in the code page do not.
  EXPECT_EQ(CleanText("caf\u00e9 \u00e8\u00ef \u00e7\u00f0\u00fc"), "caf\u00e9 \u00e8\u00ef");
  EXPECT_EQ(CleanText("\u65e5\u672c"), "");
}

TEST(CleanText, FoldsLineBreaksAndWhiteSpaceRuns) {
  EXPECT_EQ(CleanText("one\r\n     two"), "one two");
  EXPECT_EQ(CleanText("a\t\t\fb\n\nc\rd"), "a b c d");
  EXPECT_EQ(CleanText("  \r\n lead and trail \t "), "lead and trail");
  // A removed character between two spaces leaves both spaces.
  EXPECT_EQ(CleanText("a ! b"), "a  b");
  EXPECT_EQ(CleanText(""), "");
}

TEST(CleanText, CutsAt250CharactersBeforeCleaning) {
  std::string text(240, 'x');
  text += "!!!!!!!!!!yyyy";  // characters 241 to 254
  EXPECT_EQ(CleanText(text), std::string(240, 'x'));
  std::string accented;
  for (int i = 0; i < 300; ++i) accented += "\u00e9";
  std::string cleaned = CleanText(accented);
  EXPECT_EQ(CharCount(cleaned), 250u);
  EXPECT_EQ(cleaned.size(), 500u);
}

TEST(ShortenText, CutsAtTheLastSpaceOnceTheLimitIsReached) {
  EXPECT_EQ(ShortenText("alpha beta gamma delta", 12), "alpha beta");
  EXPECT_EQ(ShortenText("one two", 7), "one");
  EXPECT_EQ(ShortenText("one two", 8), "one two");
  std::string word(40, 'w');
  EXPECT_EQ(ShortenText(word, 20), word);
  EXPECT_EQ(ShortenText("short", 20), "short");
}

TEST(ShortenText, IgnoresLeadingAndQuotedSpaces) {
  EXPECT_EQ(ShortenText(" abcdefghij", 5), " abcdefghij");
  EXPECT_EQ(ShortenText("say \"a b c d\" now", 8), "say");
  EXPECT_EQ(ShortenText("'a b c d e f' x", 8), "'a b c d e f'");
  EXPECT_EQ(ShortenText("'a b c d e f'", 8), "'a b c d e f'");
  EXPECT_EQ(ShortenText("line one\rline two", 50), "line one");
}

TEST(ShortenText, CountsCharactersNotBytes) {
  // Eleven characters, sixteen bytes: not long enough for a limit of 12.
  EXPECT_EQ(ShortenText("\u00e9\u00e9\u00e9\u00e9\u00e9 \u00e9\u00e9\u00e9\u00e9\u00e9", 12),
            "\u00e9\u00e9\u00e9\u00e9\u00e9 \u00e9\u00e9\u00e9\u00e9\u00e9");
  EXPECT_EQ(ShortenText("\u00e9\u00e9\u00e9\u00e9\u00e9 \u00e9\u00e9\u00e9\u00e9\u00e9", 11),
            "\u00e9\u00e9\u00e9\u00e9\u00e9");
}

TEST(HostOfUrl, GivesTheHostAlone) {
  EXPECT_EQ(HostOfUrl("http://www.example.org:8080/path/page.html?q=1"), "www.example.org");
  EXPECT_EQ(HostOfUrl("https://example.org"), "example.org");
  EXPECT_EQ(HostOfUrl("http:\\\\server\\share\\x"), "server");
  EXPECT_EQ(HostOfUrl("about:blank"), "");
  EXPECT_EQ(HostOfUrl("file:///home/u/a.html"), "");
}

TEST(Utf8, InvalidBytesCountAsOneCharacterAndAreKept) {
  std::string bad = "ab\xff\xc3";
  EXPECT_EQ(CharCount(bad), 4u);
  EXPECT_EQ(FirstChars(bad, 3), "ab\xff");
  EXPECT_EQ(CleanText(bad), "ab");
}

}  // namespace
}  // namespace vt
