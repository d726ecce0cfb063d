#include "platform/widgets/treelist.h"

#include <gtest/gtest.h>

namespace vt::widgets {
namespace {

// Frame 1 > Tables > Table > Row 1 > Col 1, the shape of a dissected page.
struct Sample {
  TreeList tv{"tv"};
  TreeNode frame, tables, table, row, cell, links;
  Sample() {
    frame = tv.Add("Frame 1 (top)");
    tables = frame.AddChild("Tables (1)");
    table = tables.AddChild("Table");
    row = table.AddChild("Row 1");
    cell = row.AddChild("Col 1 (Name)");
    links = frame.AddChild("Links (0)");
  }
};

TEST(TreeListTest, NodesCarryTextValueAndImages) {
  TreeList tv("tv");
  TreeNode n = tv.Add("Tables (2)");
  n.SetValue(0);
  n.SetImageIndex(1);
  n.SetSelectedIndex(1);
  TreeNode child = tv.AddChild(n, "Table");
  child.SetValue(12);
  EXPECT_EQ(child.Text(1), "12");
  EXPECT_EQ(child.Value(), 12);
  child.SetText(1, "x");
  EXPECT_EQ(child.Value(), 0);  // not an integer
  EXPECT_EQ(tv.RootCount(), 1u);
  EXPECT_EQ(n.Count(), 1u);
  EXPECT_EQ(child.Parent(), n);
  EXPECT_EQ(child.Level(), 1);

  Json d = tv.Describe();
  EXPECT_EQ(d["kind"], "treelist");
  EXPECT_EQ(d["nodes"][0]["text"], "Tables (2)");
  EXPECT_EQ(d["nodes"][0]["image"], 1);
  EXPECT_EQ(d["nodes"][0]["children"][0]["value"], "x");
  EXPECT_FALSE(d["nodes"][0]["children"][0].contains("cells"));
  EXPECT_EQ(d["columns"][1]["visible"], false);
}

TEST(TreeListTest, HandlesOfRemovedNodesReportGoneAndIgnoreWrites) {
  Sample s;
  TreeNode row = s.row;
  s.tv.Remove(s.table);
  EXPECT_FALSE(row.Valid());
  EXPECT_FALSE(s.cell.Valid());
  EXPECT_EQ(row.Text(), "");
  EXPECT_EQ(row.Value(), 0);
  EXPECT_EQ(row.Id(), 0);
  row.SetText("ghost");  // no effect, no crash
  EXPECT_FALSE(row.AddChild("x").Valid());
  EXPECT_EQ(s.tables.Count(), 0u);
  EXPECT_EQ(s.tv.NodeCount(), 3u);

  TreeNode survivor = s.links;
  {
    auto tv = std::make_unique<TreeList>("tv2");
    survivor = tv->Add("a");
  }
  EXPECT_FALSE(survivor.Valid());
}

TEST(TreeListTest, MakeVisibleAndFocusExpandAncestorsOnly) {
  Sample s;
  s.tv.CollapseAll();
  s.tv.SetFocusedNode(s.cell);
  EXPECT_TRUE(s.frame.Expanded());
  EXPECT_TRUE(s.tables.Expanded());
  EXPECT_TRUE(s.row.Expanded());
  EXPECT_FALSE(s.cell.Expanded());
  EXPECT_EQ(s.tv.TopNode(), s.cell);
  EXPECT_EQ(s.tv.Describe()["focusedNode"], s.cell.Id());

  s.tv.CollapseAll();
  EXPECT_FALSE(s.frame.Expanded());
  s.tv.MakeVisible(s.links);
  EXPECT_TRUE(s.frame.Expanded());
  EXPECT_FALSE(s.tables.Expanded());
}

TEST(TreeListTest, FocusChangeEventsFireOnRealChangesIncludingRemoval) {
  Sample s;
  const int row = s.row.Id(), cell = s.cell.Id();
  std::vector<std::pair<int, int>> changes;
  s.tv.OnFocusedNodeChanged = [&](TreeList&, TreeNode from, TreeNode to) {
    changes.emplace_back(from.Id(), to.Id());
  };
  s.tv.SetFocusedNode(s.row);
  s.tv.SetFocusedNode(s.row);  // same node: no event
  s.tv.SetFocusedNode(s.cell);
  s.tv.Remove(s.links);  // not the focused one: no event
  s.tv.Clear();
  // The removed node's handle is already gone when the event reports it.
  EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{0, row}, {row, cell}, {0, 0}}));
  EXPECT_FALSE(s.tv.FocusedNode().Valid());
  EXPECT_EQ(s.tv.RootCount(), 0u);
  EXPECT_EQ(s.tv.NodeCount(), 0u);
}

TEST(TreeListTest, ClickInputFocusesTheNodeBeforeRaisingClick) {
  Sample s;
  std::vector<std::string> order;
  s.tv.OnFocusedNodeChanged = [&](TreeList&, TreeNode, TreeNode to) {
    order.push_back("focus " + to.Text());
  };
  s.tv.OnClick = [&](Control&) { order.push_back("click " + s.tv.FocusedNode().Text()); };
  s.tv.OnDblClick = [&](Control&) { order.push_back("dblclick"); };
  Point at;
  s.tv.OnContextPopup = [&](Control&, Point p) { at = p; };

  EXPECT_TRUE(s.tv.HandleInput({{"type", "click"}, {"node", s.row.Id()}}));
  EXPECT_TRUE(s.tv.HandleInput({{"type", "dblclick"}, {"node", s.row.Id()}}));
  EXPECT_TRUE(
      s.tv.HandleInput({{"type", "contextmenu"}, {"node", s.cell.Id()}, {"x", 40}, {"y", 300}}));
  EXPECT_EQ(order, (std::vector<std::string>{"focus Row 1", "click Row 1", "dblclick",
                                             "focus Col 1 (Name)"}));
  EXPECT_EQ(at, (Point{40, 300}));
  EXPECT_TRUE(s.row.Selected() == false && s.cell.Selected());

  int stale = s.links.Id();
  s.tv.Remove(s.links);
  EXPECT_FALSE(s.tv.HandleInput({{"type", "select"}, {"node", stale}}));
  EXPECT_FALSE(s.tv.HandleInput({{"type", "expand"}, {"node", "x"}}));
}

TEST(TreeListTest, DisplayOrderWalksParentsBeforeChildren) {
  Sample s;
  std::vector<std::string> texts;
  for (TreeNode n = s.tv.First(); n; n = n.Next()) texts.push_back(n.Text());
  EXPECT_EQ(texts, (std::vector<std::string>{"Frame 1 (top)", "Tables (1)", "Table", "Row 1",
                                             "Col 1 (Name)", "Links (0)"}));
  EXPECT_EQ(s.links.Prev(), s.cell);
  EXPECT_EQ(s.tables.Prev(), s.frame);
  EXPECT_FALSE(s.frame.Prev().Valid());
  EXPECT_EQ(s.tv.Last(), s.links);
}

TEST(TreeListTest, MultipleSelectionKeepsOrderAndDropsRemovedNodes) {
  Sample s;
  s.tv.SetMultiSelect(true);
  s.tv.Select(s.row);
  s.tv.Select(s.frame, true);
  s.tv.Select(s.links, true);
  ASSERT_EQ(s.tv.SelectionCount(), 3u);
  EXPECT_EQ(s.tv.Selection(0), s.row);
  s.tv.Remove(s.table);  // takes the selected row with it
  EXPECT_EQ(s.tv.SelectionCount(), 2u);
  EXPECT_EQ(s.tv.Selection(0), s.frame);
  s.tv.Select(s.tables);  // without add: only this one
  EXPECT_EQ(s.tv.SelectionCount(), 1u);
  EXPECT_FALSE(s.frame.Selected());
}

TEST(TreeListTest, MoveRefusesCyclesAndDropReportsNodes) {
  Sample s;
  EXPECT_FALSE(s.tv.MoveTo(s.tables, s.cell));
  EXPECT_TRUE(s.tv.MoveTo(s.row, TreeNode()));
  EXPECT_EQ(s.tv.RootCount(), 2u);
  EXPECT_EQ(s.row.Level(), 0);

  TreeNode target;
  std::vector<TreeNode> dropped;
  s.tv.OnDragDrop = [&](TreeList&, TreeNode t, std::vector<TreeNode> nodes) {
    target = t;
    dropped = std::move(nodes);
  };
  s.tv.HandleInput({{"type", "dragstart"}});
  EXPECT_TRUE(s.tv.Dragging());
  s.tv.HandleInput({{"type", "drop"}, {"target", s.links.Id()}, {"nodes", {s.cell.Id(), 999}}});
  EXPECT_FALSE(s.tv.Dragging());
  EXPECT_EQ(target, s.links);
  EXPECT_EQ(dropped, std::vector<TreeNode>{s.cell});
}

TEST(TreeListTest, InPlaceEditingCanBeRefusedOrCommitted) {
  Sample s;
  s.tv.OnEditing = [](TreeList&, TreeNode n, bool& allow) { allow = n.Level() > 0; };
  std::string edited;
  s.tv.OnEdited = [&](TreeList&, TreeNode, const std::string& text) { edited = text; };
  EXPECT_FALSE(s.tv.StartEditing(s.frame));
  ASSERT_TRUE(s.tv.HandleInput({{"type", "edit-start"}, {"node", s.row.Id()}}));
  EXPECT_EQ(s.tv.EditText(), "Row 1");
  s.tv.HandleInput({{"type", "edit-text"}, {"text", "Renamed"}});
  s.tv.HandleInput({{"type", "edit-end"}, {"accept", false}});
  EXPECT_EQ(s.row.Text(), "Row 1");
  s.tv.StartEditing(s.row);
  s.tv.HandleInput({{"type", "edit-end"}, {"text", "Renamed"}});
  EXPECT_EQ(s.row.Text(), "Renamed");
  EXPECT_EQ(edited, "Renamed");
}

TEST(TreeListTest, ThousandsOfNodesAreOneChangeForTheDisplay) {
  TreeList tv("tv");
  int wakes = 0;
  TakeChanges();
  SetChangeListener([&] { ++wakes; });
  TreeNode group = tv.Add("Links");
  for (int i = 0; i < 2000; ++i) group.AddChild("link " + std::to_string(i)).SetValue(i + 1);
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(TakeChanges().changed, std::vector<ControlId>{tv.Id()});
  EXPECT_EQ(tv.NodeCount(), 2001u);
  EXPECT_EQ(group.Item(1999).Value(), 2000);
  tv.Clear();
  EXPECT_EQ(wakes, 2);
  SetChangeListener(nullptr);
}

}  // namespace
}  // namespace vt::widgets
