#include <gtest/gtest.h>

#include "ado_test_db.h"

namespace vt::ado {
namespace {

using testing::kWordSchema;
using testing::TempDatabase;

std::vector<std::string> WalkWords(Table& t, bool backwards = false) {
  std::vector<std::string> out;
  if (backwards) {
    for (t.Last(); !t.Bof(); t.Prior()) out.push_back(t.FieldByName("word").AsString());
  } else {
    for (t.First(); !t.Eof(); t.Next()) out.push_back(t.FieldByName("word").AsString());
  }
  return out;
}

void AddWord(Table& t, const Variant& w) {
  t.Insert();
  t.FieldByName("Word").SetValue(w);
  t.Post();
}

class TableTest : public ::testing::Test {
 protected:
  TableTest() : db(kWordSchema), words("WORDS", &db.conn), dict("DICTIONARY", &db.conn) {
    words.SetIndexFieldNames("Word");
    words.DeclareField("WordID", FieldKind::AutoNumber);
    words.DeclareField("Word", FieldKind::Text, 50);
    words.Open();
    dict.Open();
  }
  TempDatabase db;
  Table words;
  Table dict;
};

TEST_F(TableTest, RowsFollowTheIndexFieldIgnoringCaseInBothDirections) {
  for (const char* w : {"cat", "Apple", "banana", "Cat", "apple2", "Zebra"}) AddWord(words, w);
  AddWord(words, Variant());  // nulls sort first
  EXPECT_EQ(WalkWords(words),
            (std::vector<std::string>{"", "Apple", "apple2", "banana", "cat", "Cat", "Zebra"}));
  EXPECT_EQ(WalkWords(words, true),
            (std::vector<std::string>{"Zebra", "Cat", "cat", "banana", "apple2", "Apple", ""}));
  EXPECT_EQ(words.RecordCount(), 7);
}

TEST_F(TableTest, LocateIgnoresCaseAndLeavesTheCursorWhenNothingMatches) {
  for (const char* w : {"delta", "Alpha", "charlie", "bravo"}) AddWord(words, w);
  ASSERT_TRUE(words.Locate("word", Variant("CHARLIE"), loCaseInsensitive));
  EXPECT_EQ(words.FieldByName("Word").AsString(), "charlie");
  EXPECT_FALSE(words.Locate("Word", Variant("echo")));
  EXPECT_EQ(words.FieldByName("Word").AsString(), "charlie");
  // Next continues in word order from the located row.
  words.Next();
  EXPECT_EQ(words.FieldByName("Word").AsString(), "delta");
  EXPECT_FALSE(words.Locate("Word", Variant("CHARLIE"), loCaseSensitive));
}

TEST_F(TableTest, PartialKeyMatchesPrefixesLiterally) {
  for (const char* w : {"abacus", "Abbey", "axe", "a_b", "b"}) AddWord(words, w);
  ASSERT_TRUE(words.Locate("Word", Variant("AB"), loPartialKey | loCaseInsensitive));
  EXPECT_EQ(words.FieldByName("Word").AsString(), "abacus");
  ASSERT_TRUE(words.Locate("Word", Variant("a_"), loPartialKey));
  EXPECT_EQ(words.FieldByName("Word").AsString(), "a_b");  // '_' is no wildcard here
  EXPECT_FALSE(words.Locate("Word", Variant("%"), loPartialKey));
}

TEST_F(TableTest, LocateAndLookupBySeveralKeys) {
  for (auto [w, u] : {std::pair{1, 10}, {2, 10}, {1, 11}}) {
    dict.Insert();
    dict.FieldByName("WordID").SetValue(w);
    dict.FieldByName("UrlID").SetValue(u);
    dict.Post();
  }
  dict.First();
  int64_t first = dict.Bookmark();
  EXPECT_EQ(dict.LookupValue("UrlID;WordID", {11, 1}, "DictID").AsInteger(), 3);
  EXPECT_EQ(dict.Bookmark(), first);  // lookup does not move
  EXPECT_TRUE(dict.Lookup("UrlID;WordID", {12, 1}, "DictID").empty());
  EXPECT_TRUE(dict.LookupValue("UrlID;WordID", {12, 1}, "DictID").IsNull());
  ASSERT_TRUE(dict.Locate("UrlID;WordID", {10, 2}));
  EXPECT_EQ(dict.FieldByName("DictID").AsInteger(), 2);
  EXPECT_FALSE(dict.Locate("UrlID;WordID", {11, 2}));
}

TEST_F(TableTest, InsertPostsWithDefaultsAndCutsLongText) {
  Table url("URL", &db.conn);
  url.Open();
  EXPECT_TRUE(url.IsEmpty());
  url.Insert();
  EXPECT_EQ(url.State(), DataSetState::Insert);
  url.FieldByName("url").SetValue("http://x/");
  url.FieldByName("Title").SetValue("éééééééééééé");  // 12 two-byte characters, column holds 10
  url.Post();
  EXPECT_EQ(url.State(), DataSetState::Browse);
  EXPECT_EQ(url.FieldByName("ID").AsInteger(), 1);
  EXPECT_EQ(url.FieldByName("Hits").Value(), Variant(int64_t{0}));
  EXPECT_EQ(url.FieldByName("Title").AsString(), "éééééééééé");
  EXPECT_TRUE(url.FieldByName("Indexed").IsNull());
  // The auto number is read-only.
  url.Edit();
  EXPECT_THROW(url.FieldByName("ID").SetValue(5), AdoError);
  url.FieldByName("Indexed").SetValue(true);
  url.FieldByName("DateCreated").SetValue(DateTime{2024, 2, 29, 13, 5, 9});
  url.Post();
  EXPECT_EQ(url.FieldByName("Indexed").Value(), Variant(true));
  EXPECT_EQ(url.FieldByName("DateCreated").AsDateTime(), (DateTime{2024, 2, 29, 13, 5, 9}));
}

TEST_F(TableTest, CancelRestoresAndDeleteMovesToTheNextRow) {
  for (const char* w : {"one", "three", "two"}) AddWord(words, w);
  ASSERT_TRUE(words.Locate("Word", Variant("three")));
  words.Insert();
  words.FieldByName("Word").SetValue("four");
  words.Cancel();
  EXPECT_EQ(words.State(), DataSetState::Browse);
  EXPECT_EQ(words.FieldByName("Word").AsString(), "three");
  EXPECT_EQ(words.RecordCount(), 3);

  words.Edit();
  words.FieldByName("Word").SetValue("changed");
  words.Cancel();
  EXPECT_EQ(words.FieldByName("Word").AsString(), "three");

  words.Delete();
  EXPECT_EQ(words.FieldByName("Word").AsString(), "two");
  words.Delete();
  EXPECT_EQ(words.FieldByName("Word").AsString(), "one");  // no next row: the one before
  words.Delete();
  EXPECT_TRUE(words.IsEmpty());
  EXPECT_THROW(words.Delete(), AdoError);
}

TEST_F(TableTest, MovingAwayFromAnEditPostsIt) {
  AddWord(words, "alpha");
  AddWord(words, "beta");
  words.First();
  words.Edit();
  words.FieldByName("Word").SetValue("gamma");
  words.Next();  // posts, then moves on in the new order
  EXPECT_EQ(words.State(), DataSetState::Browse);
  EXPECT_EQ(WalkWords(words), (std::vector<std::string>{"beta", "gamma"}));
}

TEST_F(TableTest, FieldsOutsideInsertOrEditCannotBeSet) {
  AddWord(words, "alpha");
  try {
    words.FieldByName("Word").SetValue("x");
    FAIL();
  } catch (const AdoError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::State);
    EXPECT_STREQ(e.what(), "WORDS: Dataset not in edit or insert mode");
  }
}

TEST_F(TableTest, FilterRestrictsRowsAndBindsItsValues) {
  for (const char* w : {"bat", "Ball", "cab", "b'x"}) AddWord(words, w);
  words.SetFiltered(true);
  words.SetFilter("Word like 'BA*' ");
  EXPECT_EQ(WalkWords(words), (std::vector<std::string>{"Ball", "bat"}));
  EXPECT_EQ(words.RecordCount(), 2);
  EXPECT_FALSE(words.Locate("Word", Variant("cab")));  // outside the filter

  words.SetFilter("[word] = 'b''x' ");
  EXPECT_EQ(WalkWords(words), (std::vector<std::string>{"b'x"}));

  // A value can never escape its literal.
  words.SetFilter("Word = 'x'' OR 1=1 --' ");
  EXPECT_TRUE(words.IsEmpty());

  EXPECT_THROW(words.SetFilter("Nope = 1"), AdoError);
  EXPECT_THROW(words.SetFilter("Word = 'open"), AdoError);
  EXPECT_EQ(words.Filter(), "Word = 'x'' OR 1=1 --' ");  // the old filter stays

  words.SetFilter("(Word = 'cab' OR Word LIKE '%all') AND NOT Word IS NULL");
  EXPECT_EQ(WalkWords(words), (std::vector<std::string>{"Ball", "cab"}));
  words.SetFiltered(false);
  EXPECT_EQ(words.RecordCount(), 4);
}

TEST_F(TableTest, OpeningChecksDeclaredColumns) {
  Table t("WORDS", &db.conn);
  t.DeclareField("WordID", FieldKind::AutoNumber);
  t.DeclareField("Spelling", FieldKind::Text, 50);
  try {
    t.Open();
    FAIL();
  } catch (const AdoError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::NotFound);
    EXPECT_STREQ(e.what(), "WORDS: Field 'Spelling' not found in the table's columns");
  }
  EXPECT_FALSE(t.Active());
  Table missing("NOPE", &db.conn);
  EXPECT_THROW(missing.Open(), AdoError);
}

TEST_F(TableTest, ClosedTablesAndConnectionsRefuseWork) {
  db.conn.Close();
  EXPECT_FALSE(words.Active());
  try {
    words.Locate("Word", Variant("x"));
    FAIL();
  } catch (const AdoError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::Closed);
    EXPECT_STREQ(e.what(), "WORDS: Cannot perform this operation on a closed dataset");
  }
  EXPECT_THROW(words.Open(), AdoError);
  db.conn.Open();
  words.Open();
  EXPECT_TRUE(words.Active());
}

}  // namespace
}  // namespace vt::ado
