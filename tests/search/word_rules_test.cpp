#include "search/WordRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/WordScanner.h"

namespace vt {
namespace {

TEST(NormalizeWord, KeepsLettersWithTheEightAccentedVowelsAndTheirCase) {
  EXPECT_EQ(NormalizeWord("élan"), "élan");
  EXPECT_EQ(NormalizeWord("naïve"), "naïve");
  EXPECT_EQ(NormalizeWord("café"), "café");
  EXPECT_EQ(NormalizeWord("Vellumtrace"), "Vellumtrace");
  EXPECT_EQ(NormalizeWord("ìíîïèéêë"), "ìíîïèéêë");
}

TEST(NormalizeWord, RejectsInnerDigitsPunctuationAndOtherLetters) {
  EXPECT_EQ(NormalizeWord("x-ray"), "");
  EXPECT_EQ(NormalizeWord("don't"), "");
  EXPECT_EQ(NormalizeWord("2024"), "");
  EXPECT_EQ(NormalizeWord("über"), "ber");  // ü is not a word letter; only a leading one is dropped
  EXPECT_EQ(NormalizeWord("Über"), "ber");
  EXPECT_EQ(NormalizeWord("façade"), "");   // ç (U+00E7) lies just outside the accented range
  EXPECT_EQ(NormalizeWord("ðeta"), "eta");  // U+00F0 just above it
}

TEST(NormalizeWord, DropsOnePunctuationCharacterAtEachEndAfterTheLengthCheck) {
  EXPECT_EQ(NormalizeWord("(ok)"), "ok");
  EXPECT_EQ(NormalizeWord("(a)"), "a");
  EXPECT_EQ(NormalizeWord("3D"), "");     // too short before anything is dropped
  EXPECT_EQ(NormalizeWord("3Dx"), "Dx");  // the digit is the leading character
  EXPECT_EQ(NormalizeWord("word."), "word");
  EXPECT_EQ(NormalizeWord("\"word\","), "");  // two trailing characters: only one is dropped
  EXPECT_EQ(NormalizeWord("«mot»"), "mot");
  EXPECT_EQ(NormalizeWord("..."), "");
}

TEST(NormalizeWord, CountsCharactersNotBytes) {
  std::string all_letters_35(35, 'a');
  std::string all_letters_36(36, 'a');
  EXPECT_EQ(NormalizeWord(all_letters_35), all_letters_35);
  EXPECT_EQ(NormalizeWord(all_letters_36), "");
  // 35 two-byte letters are 70 bytes but still 35 characters.
  std::string accented_35;
  for (int i = 0; i < 35; ++i) accented_35 += "é";
  EXPECT_EQ(NormalizeWord(accented_35), accented_35);
  EXPECT_EQ(NormalizeWord("éé"), "");
  EXPECT_EQ(NormalizeWord("ééé"), "ééé");
}

TEST(NormalizeWord, RejectsStopWordsInAnyCaseOnlyAfterTrimming) {
  for (const char* stop : {"with", "the", "or", "of", "it", "and", "for", "not", "all"}) {
    std::string wrapped = std::string("(") + stop + ")";
    EXPECT_EQ(NormalizeWord(wrapped), "") << wrapped;
  }
  EXPECT_EQ(NormalizeWord("The"), "");
  EXPECT_EQ(NormalizeWord("WITH"), "");
  EXPECT_EQ(NormalizeWord("With,"), "");
  EXPECT_EQ(NormalizeWord("then"), "then");
  EXPECT_EQ(NormalizeWord("also"), "also");
}

std::vector<std::vector<std::string>> Slices(const std::string& text, int per_slice) {
  WordScanner scanner(text);
  std::vector<std::vector<std::string>> slices;
  while (!scanner.AtEnd()) slices.push_back(scanner.NextPieces(per_slice));
  return slices;
}

using Pieces = std::vector<std::vector<std::string>>;

TEST(WordScanner, SplitsAtBlanksAndCarriageReturnsTwoPiecesASlice) {
  EXPECT_EQ(Slices("The cat sat on the mat\r\n", 2),
            (Pieces{{"The", "cat"}, {"sat", "on"}, {"the", "mat"}}));
}

TEST(WordScanner, KeepsTheFinalWordWithoutASeparatorAfterIt) {
  EXPECT_EQ(Slices("one two three", 2), (Pieces{{"one", "two"}, {"three"}}));
  EXPECT_EQ(Slices("abc", 2), (Pieces{{"abc"}}));
  EXPECT_EQ(Slices("ab", 2), (Pieces{{"ab"}}));
  EXPECT_EQ(Slices("café", 2), (Pieces{{"café"}}));
}

TEST(WordScanner, LineFeedsAndTabsStayInsideAPieceAndAreTrimmedAtItsEnds) {
  // The blank tail after the second piece still takes a slice of its own, which finds nothing.
  EXPECT_EQ(Slices("\nalpha\n beta\tgamma\r\n\r\n", 2), (Pieces{{"alpha", "beta\tgamma"}, {}}));
  EXPECT_EQ(Slices("first\nsecond", 2), (Pieces{{"first\nsecond"}}));
}

TEST(WordScanner, RunsOfSeparatorsGiveNoEmptyPieces) {
  // Separators alone never fill a slice: the slice goes on to the next real piece.
  EXPECT_EQ(Slices("a     b      c", 2), (Pieces{{"a", "b"}, {"c"}}));
  EXPECT_EQ(Slices(" \r \r x", 2), (Pieces{{"x"}}));
}

TEST(WordScanner, BlankTextsAreRecognised) {
  EXPECT_TRUE(WordScanner("").IsBlank());
  EXPECT_TRUE(WordScanner(" \r\n\t\x01 ").IsBlank());
  EXPECT_FALSE(WordScanner(" . ").IsBlank());
  EXPECT_TRUE(WordScanner("").AtEnd());
  EXPECT_TRUE(WordScanner("x").AtEnd());  // a single character can never be a word
}

}  // namespace
}  // namespace vt
