#include "storage/urlRecords.h"

#include "storage_fixture.h"

namespace vt {
namespace {

using testing::StorageTest;

class UrlRecordsTest : public StorageTest {
 protected:
  void SetUp() override { Open(); }
  TmyDOM& s() { return *session; }
};

TEST_F(UrlRecordsTest, TheSameAddressInAnotherCaseIsResolvedFromTheCache) {
  int32_t id = RecordUrl(s(), "http://Example.com/a");
  EXPECT_EQ(id, 1);
  Exec("DELETE FROM URL");  // a second lookup in the database would now miss
  EXPECT_EQ(RecordUrl(s(), "HTTP://EXAMPLE.COM/a"), 1);
  EXPECT_EQ(s().LastUrl, "http://Example.com/a");
}

TEST_F(UrlRecordsTest, ANewPageWithoutDocumentIsCalledNoTitle) {
  int32_t id = RecordUrl(s(), "http://www.example.com:8080/x?q=1");
  EXPECT_EQ(Sql("SELECT ID, URL, Title, Domain, Description, Keyword, quote(Hits), quote(Indexed), "
                "quote(selected_tv) FROM URL"),
            std::to_string(id) +
                "|http://www.example.com:8080/x?q=1|No Title|www.example.com|||0|NULL|NULL\n");
  EXPECT_EQ(Sql("SELECT count(*) FROM KEYWORDS"), "0\n");
  EXPECT_EQ(GetUrlById(s(), id), "http://www.example.com:8080/x?q=1");
  EXPECT_EQ(GetUrlById(s(), id + 1), "");
}

TEST_F(UrlRecordsTest, AddressesThatAreNeverRecorded) {
  EXPECT_EQ(RecordUrl(s(), ""), 0);
  EXPECT_EQ(RecordUrl(s(), "http://vellumtrace.localhost/viewsnippet?id=3"), 0);
  EXPECT_EQ(RecordUrl(s(), "HTTP://VELLUMTRACE.LOCALHOST/filter?window=0&id=2"), 0);
  EXPECT_EQ(RecordUrl(s(), "http://a/?go=JavaScript:void(0)"), 0);
  EXPECT_EQ(Sql("SELECT count(*) FROM URL"), "0\n");
  EXPECT_TRUE(LookupUrl(s(), "http://vellumtrace.localhost/viewsnippet?id=3"));
  // about:blank is recorded, but its visits and index flag are not kept.
  int32_t blank = RecordUrl(s(), "about:blank");
  EXPECT_GT(blank, 0);
  UpdateVisit(s(), "about:blank", "Blank");
  MarkUrlIndexed(s(), "about:blank", true);
  EXPECT_EQ(Sql("SELECT Title, Hits, quote(Indexed) FROM URL"), "No Title|0|NULL\n");
}

TEST_F(UrlRecordsTest, ALongAddressIsStoredAsItsFirst249Characters) {
  const std::string address = "http://example.com/" + std::string(251 - 19, 'p');
  int32_t id = RecordUrl(s(), address);
  EXPECT_EQ(Sql("SELECT length(URL) FROM URL"), "249\n");
  EXPECT_EQ(s().LastUrl, address.substr(0, 249));
  EXPECT_EQ(RecordUrl(s(), address), id);  // misses the cache, finds the shortened row
  EXPECT_EQ(Sql("SELECT count(*) FROM URL"), "1\n");
  MarkUrlIndexed(s(), address, true);
  EXPECT_TRUE(LookupUrl(s(), address));
}

TEST_F(UrlRecordsTest, VisitsCountAndKeepTheFirst149CharactersOfTheTitle) {
  std::string title = std::string(148, 't') + "'" + std::string(51, 'u');
  UpdateVisit(s(), "http://example.com/", title);
  UpdateVisit(s(), "http://example.com/", title);
  EXPECT_EQ(Sql("SELECT Title, Hits FROM URL"), title.substr(0, 149) + "|2\n");
  EXPECT_EQ(Status(), "");
  const std::string last = Sql("SELECT DateLastVisit FROM URL");
  EXPECT_TRUE(ado::DateTime::Parse(last.substr(0, last.size() - 1))) << last;
}

TEST_F(UrlRecordsTest, TheSelectionOfAPageIsStoredAndRestored) {
  EXPECT_EQ(GetSelectedNode(s(), "http://example.com/"), -1);  // recorded now, nothing stored
  SaveSelectedNode(s(), "http://example.com/", 7);
  EXPECT_EQ(GetSelectedNode(s(), "http://example.com/"), 7);
  EXPECT_EQ(GetSelectedNode(s(), "about:blank"), -1);
  EXPECT_EQ(Sql("SELECT URL, selected_tv FROM URL"), "http://example.com/|7\n");
}

TEST_F(UrlRecordsTest, TheIndexedFlagIsReadBack) {
  RecordUrl(s(), "http://example.com/it's");
  EXPECT_FALSE(LookupUrl(s(), "http://example.com/it's"));  // null
  MarkUrlIndexed(s(), "http://example.com/it's", true);
  EXPECT_TRUE(LookupUrl(s(), "HTTP://example.com/IT'S"));
  MarkUrlIndexed(s(), "http://example.com/it's", false);
  EXPECT_FALSE(LookupUrl(s(), "http://example.com/it's"));
  EXPECT_FALSE(s().Query->Active());
}

TEST_F(UrlRecordsTest, APageRecordsItsTitleDescriptionAndKeywordsOnce) {
  const std::string long_kw(60, 'k');
  ShowPage(
      "<html><head><title>Bob's  page</title>"
      "<meta name=\"description\" content=\"" +
      std::string(200, 'd') +
      "\">"
      "<meta name=\"keywords\" content=\"news, TV, Sports,sports, a b c," +
      long_kw + "\"></head><body><p>x</p></body></html>");
  const std::string url = s().Browser->LocationURL();
  int32_t id = RecordUrl(s(), url);
  ASSERT_GT(id, 0);
  EXPECT_EQ(Sql("SELECT Title, length(Description), Keyword FROM URL"),
            "Bobs page|190|news, TV, Sports,sports, a b c," + long_kw + "\n");
  EXPECT_EQ(Sql("SELECT UrlID, Keyword FROM KEYWORDS ORDER BY ID"),
            "1|news\n1|Sports\n1|a b c\n1|" + std::string(50, 'k') + "\n");
  SaveKeywords(s(), id, "NEWS, a  b  c, " + long_kw);
  EXPECT_EQ(Sql("SELECT count(*) FROM KEYWORDS"), "4\n");
}

TEST_F(UrlRecordsTest, CommaTextSplitsOnCommasBlanksAndQuotes) {
  EXPECT_EQ(SplitCommaText("a,b\tc\r\n\"d,\"\"e\"\"\" , f,"),
            (std::vector<std::string>{"a", "b", "c", "d,\"e\"", "f", ""}));
  EXPECT_EQ(SplitCommaText("a,,b"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitCommaText("  ").empty());
}

TEST_F(UrlRecordsTest, FailuresAreShownWithTheirTagsAndLeaveNoPendingRow) {
  RecordUrl(s(), "http://one/");
  module->URL.Close();
  EXPECT_EQ(RecordUrl(s(), "http://two/"), 0);
  EXPECT_EQ(Status(), "seekUrlID ERROR : URL: Cannot perform this operation on a closed dataset");
  EXPECT_EQ(s().LastUrl, "http://one/");
  EXPECT_FALSE(s().Query->Active());
  SaveSelectedNode(s(), "http://one/", 3);  // cached ID; the requery fails
  EXPECT_EQ(Status(),
            "DB_UpdateSelectedtv ERROR : URL: Cannot perform this operation on a closed dataset");
  MarkUrlIndexed(s(), "http://one/", true);
  EXPECT_EQ(Status(),
            "UpdateUrlInfo ERROR : URL: Cannot perform this operation on a closed dataset");
  EXPECT_THROW(GetUrlById(s(), 1), ado::AdoError);

  module->KEYWORDS.Close();
  SaveKeywords(s(), 1, "alpha, beta");
  EXPECT_EQ(Status(),
            "IndexKeyword ERROR : KEYWORDS: Cannot perform this operation on a closed dataset");
}

}  // namespace
}  // namespace vt
