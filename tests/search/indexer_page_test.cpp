// A real page indexed the way the band's timer drives the indexer: the body text of the shown
// page is handed over when the page is not indexed yet, then one step runs per tick.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dom/document.h"
#include "platform/widgets/indicators.h"
#include "search/Indexer.h"
#include "storage/urlRecords.h"
#include "test_program.h"

namespace vt {
namespace {

std::string AsciiLower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Tokens of 5 to 35 ASCII letters between blanks or line breaks: words by any reading. Tokens
// next to a tab are left out (a tab does not separate words).
std::vector<std::string> PlainWords(const std::string& text, std::size_t limit) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size() && out.size() < limit) {
    std::size_t start = i;
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    std::string token = text.substr(start, i - start);
    bool tab_before = start > 0 && text[start - 1] == '\t';
    bool tab_after = i < text.size() && text[i] == '\t';
    bool letters = token.size() >= 5 && token.size() <= 35 && !tab_before && !tab_after;
    for (char c : token) letters = letters && std::isalpha(static_cast<unsigned char>(c));
    if (letters) out.push_back(token);
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  }
  return out;
}

// What the timer does for a completed page, then one step per tick until the text is done.
int IndexLikeTheTimer(TmyDOM& session, TmyIndexer& indexer, const std::string& url) {
  if (LookupUrl(session, url)) return 0;
  auto document = session.Browser->Document();
  if (!document || !document->body()) return 0;
  indexer.IndexText(document->body()->innerText(), false);
  int ticks = 0;
  while (indexer.Indexing() && ticks < 1000000) {
    indexer.IndexStep();
    ++ticks;
  }
  return ticks;
}

TEST(IndexerOnARealPage, FillsTheIndexOnceAndMarksThePage) {
  testing::TestProgram program;
  TmyDOM& session = program.Session();
  std::string url = program.ShowFile(std::filesystem::path(VT_CORPUS_DIR) / "wikipedia.html");
  std::string text = session.Browser->Document()->body()->innerText();
  ASSERT_GT(text.size(), 1000u);

  TmyIndexer indexer(&session);
  int ticks = IndexLikeTheTimer(session, indexer, url);
  ASSERT_GT(ticks, 100);
  EXPECT_TRUE(LookupUrl(session, url));
  EXPECT_EQ(program.StatusText(), "Words added: " + std::to_string(indexer.WordsAdded()));

  const std::int64_t words = program.Count("WORDS");
  const std::int64_t pairs = program.Count("DICTIONARY");
  EXPECT_GT(words, 200);
  EXPECT_EQ(words, indexer.WordsAdded());
  // One page in a fresh index: one pair per word, all of this page.
  EXPECT_EQ(pairs, words);
  EXPECT_EQ(program.Scalar("SELECT COUNT(*) FROM DICTIONARY WHERE UrlID = " +
                           std::to_string(indexer.UrlID())),
            pairs);
  for (const std::string& word : PlainWords(text, 200)) {
    if (word.size() <= 4) continue;
    EXPECT_EQ(program.Scalar("SELECT COUNT(*) FROM WORDS WHERE Word = '" + word + "'"), 1) << word;
  }
  // Every stored word occurs in the text.
  const std::string lower_text = AsciiLower(text);
  ado::Table& table = *session.WORDS;
  int checked = 0;
  for (table.First(); !table.Eof() && checked < 500; table.Next(), ++checked) {
    std::string word = table.FieldByName("Word").AsString();
    EXPECT_NE(lower_text.find(AsciiLower(word)), std::string::npos) << word;
  }

  // The page again: the timer finds it indexed and hands nothing over.
  EXPECT_EQ(IndexLikeTheTimer(session, indexer, url), 0);
  // Even handed over by force, it adds no row.
  indexer.IndexText(text, false);
  while (indexer.Indexing()) indexer.IndexStep();
  EXPECT_EQ(program.Count("WORDS"), words);
  EXPECT_EQ(program.Count("DICTIONARY"), pairs);
  EXPECT_EQ(program.StatusText(), "Words added: 0");
}

}  // namespace
}  // namespace vt
