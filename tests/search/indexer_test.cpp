#include "search/Indexer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ado/connection.h"
#include "platform/ado/query.h"
#include "platform/ado/table.h"
#include "storage/datamodule.h"
#include "storage/urlRecords.h"
#include "test_program.h"

namespace vt {
namespace {

class IndexerTest : public ::testing::Test {
 protected:
  void SetUp() override { url_ = program_.ShowPage("page.html", "<p>page</p>"); }

  std::int64_t Words() { return program_.Count("WORDS"); }
  std::int64_t Pairs() { return program_.Count("DICTIONARY"); }
  std::int64_t Indexed() { return program_.Scalar("SELECT COUNT(*) FROM URL WHERE Indexed = 1"); }
  std::string StoredWord(const std::string& word) {
    std::int64_t id = program_.Scalar("SELECT WordID FROM WORDS WHERE Word = '" + word + "'");
    return id == 0 ? "" : word;
  }
  std::int64_t PairsOfPage() {
    return program_.Scalar("SELECT COUNT(*) FROM DICTIONARY WHERE UrlID = " +
                           std::to_string(indexer_.UrlID()));
  }

  // WORDS rows as another connection to the file sees them.
  std::int64_t CommittedWords() {
    ado::Connection other;
    other.SetConnectionString(DatabaseConnectionString(program_.AppDir()));
    other.Open();
    ado::Query query(&other);
    query.SetCommandText("SELECT COUNT(*) FROM WORDS");
    query.Open();
    return query.FieldAt(0).Value().AsInt64();
  }

  testing::TestProgram program_;
  TmyIndexer indexer_{&program_.Session()};
  std::string url_;
};

TEST_F(IndexerTest, SentenceTakesThreeTicksOfWordsAndIsMarkedOnTheFourth) {
  indexer_.IndexText("The cat sat on the mat\r\n", false);
  ASSERT_TRUE(indexer_.Indexing());
  ASSERT_GT(indexer_.UrlID(), 0);

  EXPECT_TRUE(indexer_.IndexStep());  // The, cat
  EXPECT_EQ(Words(), 1);
  EXPECT_EQ(CommittedWords(), 1);  // each step's rows are committed when the step returns
  EXPECT_EQ(program_.StatusText(), "Scanning words: 1 (cat)");
  EXPECT_TRUE(indexer_.IndexStep());  // sat, on
  EXPECT_EQ(Words(), 2);
  EXPECT_TRUE(indexer_.IndexStep());  // the, mat
  EXPECT_EQ(Words(), 3);
  EXPECT_EQ(program_.StatusText(), "Scanning words: 3 (mat)");
  EXPECT_EQ(Indexed(), 0);
  EXPECT_TRUE(indexer_.Indexing());

  EXPECT_FALSE(indexer_.IndexStep());  // marks the page
  EXPECT_FALSE(indexer_.Indexing());
  EXPECT_EQ(Indexed(), 1);
  EXPECT_EQ(program_.StatusText(), "Words added: 3");
  EXPECT_EQ(PairsOfPage(), 3);
  EXPECT_TRUE(LookupUrl(program_.Session(), url_));

  program_.SetStatusText("");
  EXPECT_FALSE(indexer_.IndexStep());
  EXPECT_EQ(program_.StatusText(), "");
  EXPECT_EQ(Words(), 3);
}

TEST_F(IndexerTest, FinalWordWithoutSeparatorIsIndexed) {
  indexer_.IndexText("alpha beta gamma", false);
  EXPECT_TRUE(indexer_.IndexStep());
  EXPECT_TRUE(indexer_.IndexStep());
  EXPECT_EQ(StoredWord("gamma"), "gamma");
  EXPECT_FALSE(indexer_.IndexStep());
  EXPECT_EQ(Indexed(), 1);
  EXPECT_EQ(program_.StatusText(), "Words added: 3");
}

TEST_F(IndexerTest, WordIsStoredOnceInTheCaseOfItsFirstOccurrence) {
  indexer_.IndexText("cat Cat CAT café", false);
  while (indexer_.Indexing()) indexer_.IndexStep();
  EXPECT_EQ(Words(), 2);
  EXPECT_EQ(Pairs(), 2);
  EXPECT_EQ(indexer_.WordsScanned(), 4);
  EXPECT_EQ(indexer_.WordsAdded(), 2);
  EXPECT_EQ(program_.Scalar("SELECT COUNT(*) FROM WORDS WHERE Word = 'cat' COLLATE BINARY"), 1);

  // Another page with the same word adds a pair but no word.
  program_.ShowPage("other.html", "<p>other</p>");
  indexer_.IndexText("Cat", false);
  while (indexer_.Indexing()) indexer_.IndexStep();
  EXPECT_EQ(Words(), 2);
  EXPECT_EQ(Pairs(), 3);
  EXPECT_EQ(program_.StatusText(), "Words added: 0");
}

TEST_F(IndexerTest, OnlyWordsThatPassTheRulesAreStored) {
  indexer_.IndexText("élan naïve x-ray don't 3D 2024 (ok) with " + std::string(36, 'q') + " " +
                         std::string(35, 'r') + "\r\n",
                     false);
  while (indexer_.Indexing()) indexer_.IndexStep();
  EXPECT_EQ(Words(), 4);
  EXPECT_EQ(StoredWord("élan"), "élan");
  EXPECT_EQ(StoredWord("naïve"), "naïve");
  EXPECT_EQ(StoredWord("ok"), "ok");
  EXPECT_EQ(StoredWord(std::string(35, 'r')), std::string(35, 'r'));
}

TEST_F(IndexerTest, CancellingStopsWithoutMarkingAndReportsOnlyAfterScannedWords) {
  program_.SetStatusText("before");
  indexer_.IndexText("alpha bravo charlie delta echo ok foxtrot golf", false);
  indexer_.CancelIndexing();
  EXPECT_EQ(program_.StatusText(), "before");

  indexer_.IndexText("alpha bravo charlie delta echo ok foxtrot golf", false);
  for (int tick = 0; tick < 3; ++tick) indexer_.IndexStep();
  EXPECT_EQ(indexer_.WordsScanned(), 5);
  indexer_.CancelIndexing();
  EXPECT_FALSE(indexer_.Indexing());
  EXPECT_EQ(program_.StatusText(), "Word indexer cancelled");
  EXPECT_FALSE(indexer_.IndexStep());
  EXPECT_FALSE(indexer_.IndexStep());
  EXPECT_EQ(Words(), 5);
  EXPECT_EQ(Indexed(), 0);
}

TEST_F(IndexerTest, NewTextReplacesTheOneInProgressWithoutMarkingIt) {
  indexer_.IndexText("alpha bravo charlie delta", false);
  indexer_.IndexStep();
  indexer_.IndexText("zulu", false);
  while (indexer_.Indexing()) indexer_.IndexStep();
  EXPECT_EQ(Words(), 3);  // alpha, bravo, zulu
  EXPECT_EQ(StoredWord("charlie"), "");
  EXPECT_EQ(program_.StatusText(), "Words added: 1");
}

TEST_F(IndexerTest, BlankPageNeverStartsAndIsNeverMarked) {
  indexer_.IndexText(" \r\n\t \r\n", false);
  EXPECT_FALSE(indexer_.Indexing());
  for (int tick = 0; tick < 4; ++tick) EXPECT_FALSE(indexer_.IndexStep());
  EXPECT_EQ(Indexed(), 0);
  EXPECT_EQ(Words(), 0);
  EXPECT_FALSE(LookupUrl(program_.Session(), url_));
}

TEST_F(IndexerTest, TableLeftInInsertModeByAnotherOperationIsNotTouched) {
  ado::Table& words = *program_.Session().WORDS;
  words.Insert();
  indexer_.IndexText("alpha bravo", false);
  EXPECT_TRUE(indexer_.IndexStep());
  EXPECT_EQ(indexer_.WordsScanned(), 2);
  EXPECT_EQ(words.State(), ado::DataSetState::Insert);
  words.Cancel();
  EXPECT_EQ(Words(), 0);
  EXPECT_EQ(Pairs(), 0);
}

TEST_F(IndexerTest, FailedWordIsReportedAndTheNextWordsAreStillIndexed) {
  // The database refuses new words for a while.
  program_.Session().Connection->Execute(
      "CREATE TRIGGER refuse BEFORE INSERT ON WORDS BEGIN SELECT RAISE(ABORT, 'no new words "
      "today'); "
      "END");
  indexer_.IndexText("alpha bravo charlie delta", false);
  EXPECT_TRUE(indexer_.IndexStep());
  EXPECT_EQ(program_.StatusText(), "IndexWord ERROR : No new words today.");
  EXPECT_NE(program_.Session().WORDS->State(), ado::DataSetState::Insert);

  program_.Session().Connection->Execute("DROP TRIGGER refuse");
  EXPECT_TRUE(indexer_.IndexStep());
  EXPECT_FALSE(indexer_.IndexStep());
  EXPECT_EQ(Words(), 2);  // charlie, delta
  EXPECT_EQ(Indexed(), 1);
}

TEST_F(IndexerTest, ClosedTablesAreReportedPerWordWhileTheTextGoesOn) {
  program_.Session().DICTIONARY->Close();
  indexer_.IndexText("alpha bravo", false);
  EXPECT_TRUE(indexer_.IndexStep());
  EXPECT_EQ(program_.StatusText().rfind("IndexWord ERROR : ", 0), 0u) << program_.StatusText();
  EXPECT_EQ(Words(), 2);
  EXPECT_FALSE(indexer_.IndexStep());
  EXPECT_EQ(Indexed(), 1);
}

}  // namespace
}  // namespace vt
