#include "platform/widgets/dbtreelist.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/ado/ado.h"

namespace vt::widgets {
namespace {

namespace fs = std::filesystem;

// A real database file with the snippet tree table, in a fresh temporary folder.
class SnippetTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vt-dbtree-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "vellumtrace.mdb").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    const char* sql =
        "CREATE TABLE SNIPPETS (ID INTEGER PRIMARY KEY AUTOINCREMENT, Parent_ID INTEGER, "
        "Name VARCHAR(255), Domain VARCHAR(255));"
        "INSERT INTO SNIPPETS (ID, Parent_ID, Name, Domain) VALUES "
        "(1, NULL, 'Recipes', 'a.org'), (2, 1, 'Soups', 'a.org'), (3, 2, 'Leek soup', 'b.org'),"
        "(4, 0, 'Travel', 'a.org'), (5, 99, 'Orphan', 'b.org'), (6, 1, 'Cakes', 'a.org'),"
        "(7, 8, 'Loop A', 'c.org'), (8, 7, 'Loop B', 'c.org');";
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    conn_.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_);
    conn_.Open();
    table_.SetConnection(&conn_);
    table_.SetTableName("SNIPPETS");
    table_.SetIndexFieldNames("ID");
    table_.Open();
    source_.SetDataSet(&table_);
    tree_.SetDataSource(&source_);
  }
  void TearDown() override {
    // Handlers capture the test's locals, which are gone by now.
    tree_.OnFocusedNodeChanged = nullptr;
    tree_.SetDataSource(nullptr);
    table_.Close();
    conn_.Close();
    fs::remove_all(dir_);
  }
  std::vector<std::string> Shape() {
    std::vector<std::string> out;
    for (TreeNode n = tree_.First(); n; n = n.Next()) {
      out.push_back(std::string(n.Level() * 2, ' ') + n.Text() + "#" + n.Text(1));
    }
    return out;
  }
  int CurrentId() { return table_.FieldByName("ID").AsInteger(); }

  fs::path dir_;
  std::string path_;
  ado::Connection conn_;
  ado::Table table_;
  ado::DataSource source_;
  DBTreeList tree_{"DBTL1"};
};

TEST_F(SnippetTableTest, RowsBecomeNodesInRowOrderWithUnmatchedParentsAsRoots) {
  EXPECT_EQ(Shape(),
            (std::vector<std::string>{"Recipes#1", "  Soups#2", "    Leek soup#3", "  Cakes#6",
                                      "Travel#4", "Orphan#5", "Loop A#7", "  Loop B#8"}));
  EXPECT_EQ(tree_.FindNodeByKey(3).Parent(), tree_.FindNodeByKey(2));
  EXPECT_EQ(tree_.FindNodeByKey(3).Value(), 3);
  EXPECT_FALSE(tree_.FindNodeByKey(42).Valid());
  EXPECT_EQ(tree_.Describe()["dataBound"], true);
}

TEST_F(SnippetTableTest, FocusedNodeAndCurrentRowFollowEachOther) {
  std::vector<int> focus_events;
  tree_.OnFocusedNodeChanged = [&](TreeList&, TreeNode, TreeNode to) {
    focus_events.push_back(to.Value());
  };
  tree_.SetFocusedNode(tree_.FindNodeByKey(3));
  EXPECT_EQ(CurrentId(), 3);
  EXPECT_TRUE(tree_.FindNodeByKey(1).Expanded());  // made visible

  ASSERT_TRUE(table_.Locate("ID", ado::Variant(6)));
  EXPECT_EQ(tree_.FocusedKey(), 6);
  EXPECT_EQ(focus_events, (std::vector<int>{3, 6}));

  tree_.HandleInput({{"type", "click"}, {"node", tree_.FindNodeByKey(4).Id()}});
  EXPECT_EQ(CurrentId(), 4);
}

TEST_F(SnippetTableTest, FilterChangeAndReloadKeepFocusAndExpansionWhereRowsRemain) {
  tree_.SetFocusedNode(tree_.FindNodeByKey(2));
  tree_.FindNodeByKey(2).Expand();
  table_.SetFilter("Domain = 'a.org' ");
  table_.SetFiltered(true);
  ASSERT_TRUE(table_.Locate("ID", ado::Variant(2)));
  tree_.FullRefresh();
  EXPECT_EQ(Shape(), (std::vector<std::string>{"Recipes#1", "  Soups#2", "  Cakes#6", "Travel#4"}));
  EXPECT_EQ(tree_.FocusedKey(), 2);
  EXPECT_TRUE(tree_.FindNodeByKey(2).Expanded());
  EXPECT_EQ(CurrentId(), 2);  // the rebuild put the cursor back

  // A node the filter hides is expanded again once the filter shows it.
  table_.SetFilter("Domain = 'b.org' ");
  tree_.FullRefresh();
  EXPECT_FALSE(tree_.FindNodeByKey(2));
  table_.SetFilter("");
  tree_.FullRefresh();
  EXPECT_TRUE(tree_.FindNodeByKey(2).Expanded());
}

TEST_F(SnippetTableTest, PostedRowsAppearAndNoRebuildHappensWhileARowIsWritten) {
  table_.Insert();
  table_.FieldByName("Name").SetValue(ado::Variant("New Snippet"));
  table_.FieldByName("Parent_ID").SetValue(ado::Variant(4));
  tree_.FullRefresh();  // held back: moving the cursor now would post the half-made row
  EXPECT_EQ(table_.State(), ado::DataSetState::Insert);
  EXPECT_EQ(tree_.NodeCount(), 8u);
  table_.Post();
  EXPECT_EQ(tree_.NodeCount(), 9u);
  TreeNode added = tree_.FindNodeByKey(CurrentId());
  ASSERT_TRUE(added.Valid());
  EXPECT_EQ(added.Text(), "New Snippet");
  EXPECT_EQ(added.Parent(), tree_.FindNodeByKey(4));
}

TEST_F(SnippetTableTest, DroppingReparentsRowsButNeverBelowThemselves) {
  TreeNode recipes = tree_.FindNodeByKey(1);
  TreeNode leek = tree_.FindNodeByKey(3);
  tree_.HandleInput({{"type", "drop"}, {"target", leek.Id()}, {"nodes", {recipes.Id()}}});
  EXPECT_TRUE(table_.Locate("ID", ado::Variant(1)));
  EXPECT_TRUE(table_.FieldByName("Parent_ID").IsNull());  // refused: would cut the tree off

  tree_.HandleInput({{"type", "drop"},
                     {"target", tree_.FindNodeByKey(4).Id()},
                     {"nodes", {tree_.FindNodeByKey(3).Id(), tree_.FindNodeByKey(5).Id()}}});
  ASSERT_TRUE(table_.Locate("ID", ado::Variant(3)));
  EXPECT_EQ(table_.FieldByName("Parent_ID").AsInteger(), 4);
  EXPECT_EQ(tree_.FindNodeByKey(5).Parent().Value(), 4);
  EXPECT_TRUE(tree_.FindNodeByKey(4).Expanded());
}

TEST_F(SnippetTableTest, DeletingASelectionTakesEverythingBelowAndFocusesTheNextNode) {
  tree_.SetMultiSelect(true);
  tree_.Select(tree_.FindNodeByKey(2));
  tree_.Select(tree_.FindNodeByKey(5), true);
  EXPECT_EQ(tree_.DeleteSelection(), 3);  // Soups, Leek soup, Orphan
  EXPECT_EQ(Shape(), (std::vector<std::string>{"Recipes#1", "  Cakes#6", "Travel#4", "Loop A#7",
                                               "  Loop B#8"}));
  EXPECT_EQ(tree_.FocusedKey(), 6);
  EXPECT_FALSE(table_.Locate("ID", ado::Variant(3)));
}

TEST_F(SnippetTableTest, RenamingInTheTreesEditorWritesTheName) {
  TreeNode soups = tree_.FindNodeByKey(2);
  ASSERT_TRUE(tree_.StartEditing(soups));
  tree_.SetEditText("Soups & stews");
  tree_.EndEditing(true);
  ASSERT_TRUE(table_.Locate("ID", ado::Variant(2)));
  EXPECT_EQ(table_.FieldByName("Name").AsString(), "Soups & stews");
  EXPECT_EQ(tree_.FindNodeByKey(2).Text(), "Soups & stews");
}

TEST_F(SnippetTableTest, CtrlAndShiftClicksExtendTheSelectionInDisplayOrder) {
  tree_.SetMultiSelect(true);
  tree_.ExpandAll();
  auto click = [&](int key, bool ctrl, bool shift) {
    tree_.HandleInput({{"type", "click"},
                       {"node", tree_.FindNodeByKey(key).Id()},
                       {"ctrl", ctrl},
                       {"shift", shift}});
  };
  auto selected = [&] {
    std::vector<int> keys;
    for (size_t i = 0; i < tree_.SelectionCount(); ++i) keys.push_back(tree_.Selection(i).Value());
    std::sort(keys.begin(), keys.end());
    return keys;
  };
  click(2, false, false);
  click(4, false, true);  // Soups .. Travel as shown: 2, 3, 6, 4
  EXPECT_EQ(selected(), (std::vector<int>{2, 3, 4, 6}));
  click(3, true, false);  // Ctrl toggles one node off
  EXPECT_EQ(selected(), (std::vector<int>{2, 4, 6}));
  click(8, true, false);
  EXPECT_EQ(selected(), (std::vector<int>{2, 4, 6, 8}));
  EXPECT_EQ(tree_.FocusedKey(), 8);
  click(5, false, false);  // a plain click selects one
  EXPECT_EQ(selected(), (std::vector<int>{5}));
}

TEST_F(SnippetTableTest, DeletingUnderAFilterTakesTheHiddenRowsBelowInOneTransaction) {
  table_.SetFilter("Domain = 'a.org' ");
  table_.SetFiltered(true);
  tree_.FullRefresh();
  ASSERT_FALSE(tree_.FindNodeByKey(3));  // Leek soup is b.org, below Soups
  tree_.Select(tree_.FindNodeByKey(1));
  EXPECT_EQ(tree_.DeleteSelection(), 4);  // Recipes, Soups, Leek soup, Cakes
  table_.SetFilter("");
  tree_.FullRefresh();
  EXPECT_EQ(Shape(), (std::vector<std::string>{"Travel#4", "Orphan#5", "Loop A#7", "  Loop B#8"}));
}

TEST_F(SnippetTableTest, ADropIsRefusedWhenTheTargetLiesBelowThroughAHiddenRow) {
  table_.SetFilter("Name <> 'Soups' ");
  table_.SetFiltered(true);
  tree_.FullRefresh();
  TreeNode leek = tree_.FindNodeByKey(3);
  ASSERT_FALSE(leek.Parent());  // its parent is hidden: shown as a root
  tree_.HandleInput(
      {{"type", "drop"}, {"target", leek.Id()}, {"nodes", {tree_.FindNodeByKey(1).Id()}}});
  ASSERT_TRUE(table_.Locate("ID", ado::Variant(1)));
  EXPECT_TRUE(table_.FieldByName("Parent_ID").IsNull());
  // A drop onto an unrelated node is written and moves only that node.
  tree_.HandleInput({{"type", "drop"},
                     {"target", tree_.FindNodeByKey(4).Id()},
                     {"nodes", {tree_.FindNodeByKey(6).Id()}}});
  EXPECT_EQ(tree_.FindNodeByKey(6).Parent().Value(), 4);
}

TEST_F(SnippetTableTest, APostedRowChangesOnlyItsNodeAndARequeryKeepsTheFocus) {
  tree_.SetFocusedNode(tree_.FindNodeByKey(6));
  TreeNode recipes = tree_.FindNodeByKey(1);
  ASSERT_TRUE(table_.Locate("ID", ado::Variant(3)));
  table_.Edit();
  table_.FieldByName("Name").SetValue(ado::Variant("Leek and potato"));
  table_.FieldByName("Parent_ID").SetValue(ado::Variant(4));
  table_.Post();
  EXPECT_TRUE(recipes.Valid());  // no rebuild: the other nodes are the same nodes
  EXPECT_EQ(tree_.FindNodeByKey(3).Text(), "Leek and potato");
  EXPECT_EQ(tree_.FindNodeByKey(3).Parent().Value(), 4);
  EXPECT_EQ(tree_.FocusedKey(), 3);  // the focus follows the posted row

  // A new row outside the filter stays out of the tree.
  table_.SetFilter("Domain = 'a.org' ");
  table_.SetFiltered(true);
  tree_.FullRefresh();
  table_.Insert();
  table_.FieldByName("Name").SetValue(ado::Variant("Elsewhere"));
  table_.FieldByName("Domain").SetValue(ado::Variant("z.org"));
  table_.Post();
  EXPECT_FALSE(tree_.FindByText(0, "Elsewhere"));

  tree_.SetFocusedNode(tree_.FindNodeByKey(4));
  table_.Requery();  // moves the cursor to the first row
  EXPECT_EQ(tree_.FocusedKey(), 4);
  EXPECT_EQ(CurrentId(), 4);
}

TEST_F(SnippetTableTest, TheColumnLayoutIsKeptUnderItsKey) {
  tree_.SetLayoutKey("\\Software\\Vellumtrace");
  tree_.SetColumns({{"Name", true, 180}, {"ID", false, 0}});
  tree_.SetColumnWidth(0, 210);
  DBTreeList again("DBTL1");
  again.SetLayoutKey("\\Software\\Vellumtrace");
  ASSERT_EQ(again.Columns().size(), 2u);
  EXPECT_EQ(again.Columns()[0].width, 210);
  EXPECT_FALSE(again.Columns()[1].visible);
}

}  // namespace
}  // namespace vt::widgets
