#include "platform/widgets/datalink.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ado/ado.h"

namespace vt::widgets {
namespace {

namespace fs = std::filesystem;

// One table and one text command over the same rows; the link is tried on both, since tables
// find their rows by bookmark and text commands by place.
class DataLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vt-datalink-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::string path = (dir_ / "vellumtrace.mdb").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE T (ID INTEGER PRIMARY KEY, Name TEXT);"
                           "INSERT INTO T VALUES (1,'a'),(2,'b'),(5,'c'),(9,'d');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    conn_.SetConnectionString("Data Source=" + path);
    conn_.Open();
    table_.SetConnection(&conn_);
    table_.SetTableName("T");
    table_.Open();
    query_.SetConnection(&conn_);
    query_.SetCommandText("SELECT ID, Name FROM T ORDER BY ID");
    query_.Open();
  }
  void TearDown() override {
    table_.Close();
    query_.Close();
    conn_.Close();
    fs::remove_all(dir_);
  }
  static int CurrentId(ado::DataSet& ds) { return ds.FieldByName("ID").AsInteger(); }

  fs::path dir_;
  ado::Connection conn_;
  ado::Table table_;
  ado::Query query_;
};

TEST_F(DataLinkTest, WalkVisitsEveryRowAndLeavesTheCursorWhereItWas) {
  for (ado::DataSet* ds : std::vector<ado::DataSet*>{&table_, &query_}) {
    ado::DataSource source(ds);
    int moves = 0;
    DataLink link({[] {}, [&] { ++moves; }, nullptr});
    link.SetSource(&source);
    ds->First();
    ds->Next();
    ds->Next();  // on ID 5
    moves = 0;
    std::vector<int> ids;
    EXPECT_EQ(link.ForEachRow([&](const DataLink::RowPlace& place) {
      ids.push_back(CurrentId(*ds));
      EXPECT_EQ(place.position, static_cast<int>(ids.size()));
    }),
              3);
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 5, 9}));
    EXPECT_EQ(CurrentId(*ds), 5);
    EXPECT_EQ(moves, 0) << "the walk's own moves are not reported back";
  }
}

TEST_F(DataLinkTest, EventsReachTheirHandlersExceptUnderASyncGuard) {
  ado::DataSource source(&table_);
  std::vector<std::string> seen;
  DataLink link({[&] { seen.push_back("rows"); }, [&] { seen.push_back("cursor"); },
                 [&] { seen.push_back("state"); }});
  link.SetSource(&source);
  table_.Next();
  table_.Edit();
  EXPECT_TRUE(link.Writing());
  table_.FieldByName("Name").SetValue(ado::Variant(std::string("z")));
  table_.Post();
  EXPECT_FALSE(link.Writing());
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front(), "cursor");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "state"), seen.end());
  EXPECT_EQ(seen.back(), "rows") << "a post changes the rows";

  seen.clear();
  {
    DataLink::SyncGuard guard(link);
    table_.First();
    table_.Next();
  }
  EXPECT_TRUE(seen.empty());
  link.SetSource(nullptr);
  table_.First();
  EXPECT_TRUE(seen.empty()) << "an unbound link hears nothing";
}

TEST_F(DataLinkTest, MoveToFindsARowByItsPlaceAndAnswersFalseWhenItIsGone) {
  for (ado::DataSet* ds : std::vector<ado::DataSet*>{&table_, &query_}) {
    ado::DataSource source(ds);
    DataLink link({nullptr, nullptr, nullptr});
    link.SetSource(&source);
    std::vector<DataLink::RowPlace> places;
    link.ForEachRow([&](const DataLink::RowPlace& p) { places.push_back(p); });
    ASSERT_EQ(places.size(), 4u);
    ASSERT_TRUE(link.MoveTo(places[3]));
    EXPECT_EQ(CurrentId(*ds), 9);
    EXPECT_FALSE(link.MoveTo(DataLink::RowPlace{0, 7}));
  }
}

TEST_F(DataLinkTest, ADisabledSourceOrAClosedDataSetIsNotActive) {
  ado::DataSource source(&table_);
  DataLink link({nullptr, nullptr, nullptr});
  EXPECT_FALSE(link.Active());
  link.SetSource(&source);
  EXPECT_TRUE(link.Active());
  source.SetEnabled(false);
  EXPECT_FALSE(link.Active());
  source.SetEnabled(true);
  table_.Close();
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(link.ForEachRow([](const DataLink::RowPlace&) { FAIL(); }), 0);
}

}  // namespace
}  // namespace vt::widgets
