#include "platform/widgets/dbgrid.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/ado/ado.h"

namespace vt::widgets {
namespace {

namespace fs = std::filesystem;

class ResultGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vt-grid-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::string path = (dir_ / "vellumtrace.mdb").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* sql =
        "CREATE TABLE URL (ID INTEGER PRIMARY KEY, URL TEXT, Title TEXT, Domain TEXT);"
        "INSERT INTO URL VALUES (1, 'http://a.org/', 'banana bread', 'a.org'),"
        "(2, 'http://b.org/x', 'Apple pie', 'b.org'), (3, 'http://c.org/', 'cherry', 'a.org'),"
        "(10, 'http://d.org/', 'apricot', 'a.org');";
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    conn_.SetConnectionString("Data Source=" + path);
    conn_.Open();
    query_.SetConnection(&conn_);
    query_.SetCommandText("Select ID as UrlID, Url, Title FROM URL WHERE [Domain] = 'a.org'");
    query_.Open();
    source_.SetDataSet(&query_);
    grid_.SetColumns({{"Title", "", true, 0}, {"UrlID", "", false, 0}});
    grid_.SetKeyField("UrlID");
    grid_.SetPreviewField("URL");
    grid_.SetDataSource(&source_);
  }
  void TearDown() override {
    // Handlers capture the test's locals, which are gone by now.
    grid_.OnFocusedRowChanged = nullptr;
    grid_.OnDblClick = nullptr;
    grid_.SetDataSource(nullptr);
    query_.Close();
    conn_.Close();
    fs::remove_all(dir_);
  }
  std::vector<std::string> Titles() {
    std::vector<std::string> out;
    for (size_t r = 0; r < grid_.RowCount(); ++r) out.push_back(grid_.Text(r, 0));
    return out;
  }

  fs::path dir_;
  ado::Connection conn_;
  ado::Query query_;
  ado::DataSource source_;
  DBGrid grid_{"dxDBGrid3"};
};

TEST_F(ResultGridTest, ShowsRowsWithHiddenKeyAndPreviewLine) {
  EXPECT_EQ(Titles(), (std::vector<std::string>{"banana bread", "cherry", "apricot"}));
  EXPECT_EQ(grid_.FocusedRow(), 0);  // the data set's current row
  EXPECT_EQ(grid_.FocusedValue(1).AsInteger(), 1);
  Json d = grid_.Describe();
  EXPECT_EQ(d["kind"], "grid");
  EXPECT_EQ(d["columns"][1]["visible"], false);
  EXPECT_EQ(d["rows"][2]["preview"], "http://d.org/");
  EXPECT_EQ(d["rows"][2]["cells"], Json::array({"apricot", "10"}));
}

TEST_F(ResultGridTest, HeaderClicksSortAndTheFocusedRowStays) {
  grid_.SetFocusedRow(1);                                       // cherry
  EXPECT_EQ(query_.FieldByName("Title").AsString(), "cherry");  // the cursor follows
  grid_.HandleInput({{"type", "sort"}, {"column", 0}});
  EXPECT_EQ(Titles(), (std::vector<std::string>{"apricot", "banana bread", "cherry"}));
  EXPECT_EQ(grid_.FocusedValue(0).AsString(), "cherry");
  grid_.HandleInput({{"type", "sort"}, {"column", 0}});
  EXPECT_TRUE(grid_.SortDescending());
  EXPECT_EQ(Titles().front(), "cherry");
  grid_.HandleInput({{"type", "sort"}, {"column", 1}});  // numbers sort by value: 1, 3, 10
  EXPECT_EQ(Titles(), (std::vector<std::string>{"banana bread", "cherry", "apricot"}));
}

TEST_F(ResultGridTest, IncrementalSearchIgnoresCaseAndKeepsFocusWhenNothingMatches) {
  int changes = 0;
  grid_.OnFocusedRowChanged = [&](Control&) { ++changes; };
  grid_.HandleInput({{"type", "search"}, {"text", "APR"}});
  EXPECT_EQ(grid_.FocusedValue(0).AsString(), "apricot");
  EXPECT_FALSE(grid_.IncrementalSearch("zzz"));
  EXPECT_EQ(grid_.FocusedValue(0).AsString(), "apricot");
  EXPECT_EQ(changes, 1);
}

TEST_F(ResultGridTest, ANewResultReplacesTheRowsAndUnbindingEmptiesTheGrid) {
  query_.Close();
  EXPECT_EQ(grid_.RowCount(), 0u);
  query_.SetCommandText("Select ID as UrlID, Url, Title FROM URL WHERE [Title] = 'Apple pie'");
  query_.Open();
  EXPECT_EQ(Titles(), std::vector<std::string>{"Apple pie"});
  EXPECT_EQ(grid_.FocusedKey().AsInteger(), 2);
  grid_.SetDataSource(nullptr);
  EXPECT_EQ(grid_.RowCount(), 0u);
  EXPECT_EQ(grid_.FocusedRow(), -1);
  EXPECT_TRUE(grid_.FocusedValue(1).IsNull());
}

TEST_F(ResultGridTest, DoubleClickFocusesTheRowFirst) {
  int seen = -1;
  grid_.OnDblClick = [&](Control&) { seen = grid_.FocusedValue(1).AsInteger(); };
  grid_.HandleInput({{"type", "dblclick"}, {"row", 2}});
  EXPECT_EQ(seen, 10);
  EXPECT_FALSE(grid_.HandleInput({{"type", "select"}, {"row", 3}}));
}

}  // namespace
}  // namespace vt::widgets
