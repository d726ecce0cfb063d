#include "search/SearchQueries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ado/query.h"
#include "platform/ado/table.h"
#include "search/UrlProperties.h"
#include "storage/datamodule.h"
#include "test_program.h"

namespace vt {
namespace {

class SearchQueriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Exec(
        "INSERT INTO URL (ID, URL, Title, Domain, Keyword, Hits, DateCreated, DateLastVisit) "
        "VALUES (1, 'http://a.example/one', 'Alpha page', 'a.example', 'stone, glass', 3, "
        "'2024-01-02 03:04:05', '2024-02-03 04:05:06'), "
        "(2, 'http://b.example/two', 'Beta''s page', 'b.example', '', 1, NULL, NULL), "
        "(3, 'http://a.example/three', 'Alpha page', 'a.example', '', 1, NULL, NULL), "
        "(4, 'http://c.example/100%', '100% cotton_wool', '', '', 1, NULL, NULL)");
    for (const char* w : {"Abacus", "abbey", "Able", "about", "above", "absent", "absorb",
                          "abstract", "absurd", "abyss", "acid", "acorn", "zebra"})
      Exec(std::string("INSERT INTO WORDS (Word) VALUES ('") + w + "')");
    // "about" on pages 1 and 3 (twice on 1), "zebra" on page 2 and on a page row that is gone (0).
    Exec("INSERT INTO DICTIONARY (WordID, UrlID) SELECT WordID, 1 FROM WORDS WHERE Word = 'about'");
    Exec("INSERT INTO DICTIONARY (WordID, UrlID) SELECT WordID, 1 FROM WORDS WHERE Word = 'about'");
    Exec("INSERT INTO DICTIONARY (WordID, UrlID) SELECT WordID, 3 FROM WORDS WHERE Word = 'about'");
    Exec("INSERT INTO DICTIONARY (WordID, UrlID) SELECT WordID, 2 FROM WORDS WHERE Word = 'zebra'");
    Exec("INSERT INTO DICTIONARY (WordID, UrlID) SELECT WordID, 0 FROM WORDS WHERE Word = 'zebra'");
    Exec(
        "INSERT INTO KEYWORDS (UrlID, Keyword) VALUES (1, 'stone'), (1, 'glass'), (3, 'stone'), "
        "(0, 'orphan')");
    Session().WORDS->Requery();
  }

  TmyDOM& Session() { return program_.Session(); }
  void Exec(const std::string& sql) { ASSERT_GT(ExecuteSQL(Session(), sql), 0) << sql; }

  std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> out;
    ReadWordCandidates(*Session().WORDS, text, kWordCandidateCount, nullptr,
                       [&](const std::string& w) { out.push_back(w); });
    return out;
  }
  std::vector<std::string> Candidates(SearchField field, const std::string& text) {
    std::vector<std::string> out;
    ReadQueryCandidates(*Session().Query, CandidateSql(field, text),
                        [&](const std::string& c) { out.push_back(c); });
    return out;
  }
  // (UrlID, title) of every row of the newest result.
  std::vector<std::pair<int, std::string>> Rows(const TmySearchResults& results) {
    std::vector<std::pair<int, std::string>> out;
    ado::DataSet* d = results.DataSet();
    for (d->First(); !d->Eof(); d->Next())
      out.emplace_back(d->FieldByName("UrlID").AsInteger(), d->FieldByName("Title").AsString());
    return out;
  }

  testing::TestProgram program_;
};

TEST_F(SearchQueriesTest, WordListStartsAtTheFirstMatchAndRunsOnAlphabetically) {
  // The first word that begins with "ab" in any case, then nine more whether they match or not.
  EXPECT_EQ(Words("ab"),
            (std::vector<std::string>{"Abacus", "abbey", "Able", "about", "above", "absent",
                                      "absorb", "abstract", "absurd", "abyss"}));
  EXPECT_EQ(Words("ABY"), (std::vector<std::string>{"abyss", "acid", "acorn", "zebra"}));
  EXPECT_TRUE(Words("abz").empty());
  // Wildcards and quotes in the text are plain letters here.
  EXPECT_TRUE(Words("a%").empty());
  EXPECT_TRUE(Words("_b").empty());
  EXPECT_TRUE(Words("ab'").empty());
  EXPECT_EQ(Words("").size(), 10u);
  EXPECT_TRUE(Words(std::string(1000, 'a')).empty());
}

TEST_F(SearchQueriesTest, LikeListsQuoteTheTextAndListEachValueOnce) {
  EXPECT_EQ(Candidates(SearchField::Keywords, "ton"), std::vector<std::string>{"stone"});
  EXPECT_EQ(Candidates(SearchField::Keywords, "").size(), 3u);  // stone, glass, orphan
  EXPECT_EQ(Candidates(SearchField::Url, ""), (std::vector<std::string>{"a.example", "b.example"}));
  EXPECT_EQ(Candidates(SearchField::Title, "'s"), std::vector<std::string>{"Beta's page"});
  EXPECT_EQ(Candidates(SearchField::Title, "").size(), 3u);
  // % and _ keep their meaning of any text and any one character.
  EXPECT_EQ(Candidates(SearchField::Title, "0%c").size(), 1u);
  EXPECT_EQ(Candidates(SearchField::Title, "alph_").size(), 1u);
  EXPECT_TRUE(
      Candidates(SearchField::Title, std::string(1000, 'x') + "'; DROP TABLE URL; --").empty());
  EXPECT_EQ(program_.Count("URL"), 4);
  EXPECT_FALSE(Session().Query->Active());  // closed after reading
}

TEST_F(SearchQueriesTest, ResultsOfEachKindHaveUrlIdUrlAndTitle) {
  TmySearchResults results;
  ASSERT_NE(results.Open(Session(), SearchField::Indexer, "ABOUT"), nullptr);
  auto rows = Rows(results);
  EXPECT_EQ(rows.size(), 2u);  // page 1 once, page 3
  ASSERT_NE(results.Open(Session(), SearchField::Indexer, "zebra"), nullptr);
  EXPECT_EQ(Rows(results), (std::vector<std::pair<int, std::string>>{{2, "Beta's page"}}));

  ASSERT_NE(results.Open(Session(), SearchField::Keywords, "Stone"), nullptr);
  EXPECT_EQ(Rows(results).size(), 2u);
  ASSERT_NE(results.Open(Session(), SearchField::Keywords, "orphan"), nullptr);
  EXPECT_EQ(Rows(results), (std::vector<std::pair<int, std::string>>{{0, ""}}));

  ASSERT_NE(results.Open(Session(), SearchField::Url, "a.example"), nullptr);
  EXPECT_EQ(Rows(results).size(), 2u);
  EXPECT_GE(results.DataSet()->FindFieldIndex("URL"), 0);
  ASSERT_NE(results.Open(Session(), SearchField::Title, "Beta's page"), nullptr);
  EXPECT_EQ(Rows(results).size(), 1u);
  EXPECT_TRUE(results.Source()->Enabled());
}

TEST_F(SearchQueriesTest, GoneWordOrFailureKeepsTheCurrentResult) {
  TmySearchResults results;
  ado::DataSource* first = results.Open(Session(), SearchField::Indexer, "about");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(results.Open(Session(), SearchField::Indexer, "vanished"), nullptr);
  EXPECT_EQ(results.Source(), first);

  Session().Connection->Execute("DROP VIEW QWordSearchDrill");
  EXPECT_THROW(results.Open(Session(), SearchField::Indexer, "zebra"), std::exception);
  EXPECT_EQ(results.Source(), first);
  EXPECT_EQ(Rows(results).size(), 2u);
}

TEST_F(SearchQueriesTest, PropertiesDialogShowsTheSixFieldsOfThePage) {
  TfrmUrlProperties dialog(Session(), 1);
  EXPECT_EQ(dialog.Caption(), "Url Properties");
  EXPECT_EQ(dialog.lblGroup.Caption(), "Web Page Information ");
  widgets::ScopedModalScript script([](widgets::Form& f) { f.Close(widgets::ModalResult::Ok); });
  dialog.ShowModal();
  const std::vector<std::string> labels = {"Title",      "URL",      "First Visit",
                                           "Last Visit", "Keywords", "Hits"};
  const std::vector<std::string> values = {"Alpha page",          "http://a.example/one",
                                           "2024-01-02 03:04:05", "2024-02-03 04:05:06",
                                           "stone, glass",        "3"};
  for (int i = 0; i < TfrmUrlProperties::kFieldCount; ++i) {
    EXPECT_EQ(dialog.FieldLabel(i), labels[i]);
    EXPECT_EQ(dialog.FieldText(i), values[i]);
  }
  TfrmUrlProperties missing(Session(), 99);
  missing.edTitle.SetText("left over");
  missing.ShowModal();
  for (int i = 0; i < TfrmUrlProperties::kFieldCount; ++i) EXPECT_EQ(missing.FieldText(i), "");
}

}  // namespace
}  // namespace vt
