#include "platform/text/utf8.h"

#include <gtest/gtest.h>

namespace vt::text {
namespace {

std::string Encoded(char32_t cp) {
  std::string out;
  AppendUtf8(cp, out);
  return out;
}

TEST(Utf8Test, EncodesEachLengthAndReplacesWhatIsNoCharacter) {
  EXPECT_EQ(Encoded(U'A'), "A");
  EXPECT_EQ(Encoded(0x7F), "\x7F");
  EXPECT_EQ(Encoded(0x80), "\xC2\x80");
  EXPECT_EQ(Encoded(U'é'), "\xC3\xA9");
  EXPECT_EQ(Encoded(0x800), "\xE0\xA0\x80");
  EXPECT_EQ(Encoded(0x20AC), "\xE2\x82\xAC");
  EXPECT_EQ(Encoded(0x10000), "\xF0\x90\x80\x80");
  EXPECT_EQ(Encoded(0x10FFFF), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(Encoded(0xD800), "\xEF\xBF\xBD");
  EXPECT_EQ(Encoded(0x110000), "\xEF\xBF\xBD");
}

TEST(Utf8Test, DecodesWellFormedSequencesAndRefusesTheRest) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  std::size_t i = 0;
  EXPECT_EQ(DecodeUtf8(text, i), U'a');
  EXPECT_EQ(DecodeUtf8(text, i), U'é');
  EXPECT_EQ(DecodeUtf8(text, i), char32_t{0x20AC});
  EXPECT_EQ(DecodeUtf8(text, i), char32_t{0x1F600});
  EXPECT_EQ(i, text.size());
  EXPECT_EQ(DecodeUtf8(text, i), std::nullopt);  // at the end

  for (const std::string bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xE2\x82", "\x80", "\xFF", "\xC3("}) {
    std::size_t at = 0;
    EXPECT_EQ(DecodeUtf8(bad, at), std::nullopt) << bad;
    EXPECT_EQ(at, 0u);
  }
}

TEST(Utf8Test, WholeTextsKeepGoodCharactersAndReplaceEachBadByte) {
  EXPECT_EQ(DecodeUtf8Text("caf\xC3\xA9 \xFF\xC0\xAFx"),
            (std::u32string{U'c', U'a', U'f', U'é', U' ', 0xFFFD, 0xFFFD, 0xFFFD, U'x'}));
  EXPECT_EQ(EncodeUtf8Text(U"na\u00EFve \U0001F600"), "na\xC3\xAFve \xF0\x9F\x98\x80");
  EXPECT_EQ(EncodeUtf8Text(DecodeUtf8Text("\xE2\x82\xAC 5")), "\xE2\x82\xAC 5");
}

}  // namespace
}  // namespace vt::text
