#include <gtest/gtest.h>

#include "ado_test_db.h"

namespace vt::ado {
namespace {

using testing::TempDatabase;

class QueryTest : public ::testing::Test {
 protected:
  QueryTest()
      : db("CREATE TABLE URL (ID INTEGER PRIMARY KEY AUTOINCREMENT, URL VARCHAR(250) COLLATE "
           "NOCASE, Title VARCHAR(150) COLLATE NOCASE, Domain VARCHAR(50) COLLATE NOCASE, Indexed "
           "BOOLEAN);"
           "CREATE TABLE KEYWORDS (ID INTEGER PRIMARY KEY AUTOINCREMENT, UrlID INTEGER, Keyword "
           "VARCHAR(50) COLLATE NOCASE);"
           "INSERT INTO URL (URL, Title, Domain, Indexed) VALUES ('http://A.example/', 'A''s "
           "page', 'a.example', 1), ('http://b.example/', NULL, 'B.example', NULL), "
           "('http://c/', 'C', '', 0);"
           "INSERT INTO KEYWORDS (UrlID, Keyword) VALUES (1, 'News'), (2, 'news'), (2, "
           "'Sports'), (9, 'orphan');"),
        q(&db.conn) {}
  std::vector<std::string> Column(const std::string& sql, const char* field) {
    q.SetCommandText(sql);
    q.Open();
    std::vector<std::string> out;
    for (; !q.Eof(); q.Next()) out.push_back(q.FieldByName(field).AsString());
    q.Close();
    return out;
  }
  TempDatabase db;
  Query q;
};

TEST_F(QueryTest, LookupByAddressIgnoresCaseAndReadsFieldsByAnyCase) {
  q.SetCommandText("Select * FROM URL WHERE Url = " + QuotedStr("HTTP://a.example/"));
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldByName("id").AsInteger(), 1);
  EXPECT_EQ(q.FieldByName("TITLE").AsString(), "A's page");
  EXPECT_EQ(q.FieldByName("indexed").Value(), Variant(true));
  EXPECT_THROW(q.FieldByName("nothing"), AdoError);
  q.Close();
  q.SetCommandText("Select ID FROM URL WHERE Url = 'http://none/'");
  q.Open();
  EXPECT_TRUE(q.Eof());
  EXPECT_TRUE(q.FieldByName("ID").IsNull());  // a missing row reads as null
  q.SetCommandText("Select Indexed FROM URL WHERE ID = 2");
  q.Open();
  EXPECT_TRUE(q.FieldByName("Indexed").IsNull());
}

TEST_F(QueryTest, SearchStatementsRunAsWritten) {
  EXPECT_EQ(Column("Select distinct Keyword FROM KEYWORDS WHERE Keyword like '%EW%'", "Keyword"),
            (std::vector<std::string>{"News"}));
  EXPECT_EQ(Column("Select distinct [Domain] FROM URL WHERE ([Domain] <> '') and ([Domain] like "
                   "'%example%')",
                   "domain"),
            (std::vector<std::string>{"a.example", "B.example"}));
  EXPECT_EQ(Column("Select UrlID, URL, Title FROM KEYWORDS LEFT JOIN URL ON KEYWORDS.UrlID = "
                   "URL.ID WHERE KEYWORDS.Keyword = 'NEWS'",
                   "URL"),
            (std::vector<std::string>{"http://A.example/", "http://b.example/"}));
  EXPECT_EQ(Column("Select ID as UrlID, Url, Title FROM URL WHERE [Domain] = 'b.EXAMPLE'", "UrlID"),
            (std::vector<std::string>{"2"}));
  q.SetCommandText(
      "Select UrlID, URL FROM KEYWORDS LEFT JOIN URL ON KEYWORDS.UrlID = URL.ID "
      "WHERE Keyword = 'orphan'");
  q.Open();
  EXPECT_EQ(q.RecordCount(), 1);
  EXPECT_TRUE(q.FieldByName("URL").IsNull());
}

TEST_F(QueryTest, ExecSqlCountsRowsAndRefusesMoreThanOneStatement) {
  q.SetCommandText("Update URL Set Title = 'x' WHERE Domain like '%example'");
  EXPECT_EQ(q.ExecSQL(), 2);
  q.SetCommandText("Update URL Set Title = 'y' WHERE ID = 1; DELETE FROM URL");
  EXPECT_THROW(q.ExecSQL(), AdoError);
  EXPECT_EQ(Column("Select Title FROM URL WHERE ID = 1", "Title"), (std::vector<std::string>{"x"}));
  q.SetCommandText("Updat URL");
  try {
    q.ExecSQL();
    FAIL();
  } catch (const AdoError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::Syntax);
  }
  q.SetCommandText("Update URL Set Title = 'z'");
  EXPECT_THROW(q.Open(), AdoError);  // it returns no rows
}

TEST(QuotedStrTest, DoublesEverySingleQuote) {
  EXPECT_EQ(QuotedStr("it's ''"), "'it''s '''''");
  EXPECT_EQ(QuotedStr(""), "''");
}

}  // namespace
}  // namespace vt::ado
