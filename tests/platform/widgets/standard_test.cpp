#include "platform/widgets/standard.h"

#include <gtest/gtest.h>

#include "platform/widgets/containers.h"
#include "platform/widgets/cursor.h"
#include "platform/widgets/menu.h"

namespace vt::widgets {
namespace {

TEST(ComboBoxTest, ChoiceFromTheListRaisesClickThenSelectOrChange) {
  ComboBox drop("Drop_SnippetFilterField", nullptr, ComboStyle::DropDownList);
  drop.SetItems({"[None]", "Domain", "Name", "Content"});
  std::vector<std::string> events;
  drop.OnClick = [&](Control&) { events.push_back("click"); };
  drop.OnChange = [&](Control& c) {
    events.push_back("change " + static_cast<ComboBox&>(c).Text());
  };
  drop.SetItemIndex(2);  // from code: no events
  EXPECT_EQ(drop.Text(), "Name");
  EXPECT_TRUE(drop.HandleInput({{"type", "select"}, {"index", 1}}));
  EXPECT_EQ(events, (std::vector<std::string>{"click", "change Domain"}));
  EXPECT_FALSE(drop.HandleInput({{"type", "select"}, {"index", 4}}));
  EXPECT_FALSE(drop.HandleInput({{"type", "text"}, {"text", "typed"}}));  // not editable

  ComboBox reg("RegCombo1");
  reg.SetSorted(true);
  reg.SetItems({"zeta", "alpha"});
  EXPECT_EQ(reg.Items(), (std::vector<std::string>{"alpha", "zeta"}));
  int selects = 0, changes = 0;
  reg.OnSelect = [&](Control&) { ++selects; };
  reg.OnChange = [&](Control&) { ++changes; };
  reg.HandleInput({{"type", "select"}, {"index", 1}});
  EXPECT_EQ(reg.Text(), "zeta");
  EXPECT_EQ(selects, 1);
  EXPECT_EQ(changes, 0);  // OnSelect takes the place of OnChange
  reg.HandleInput({{"type", "text"}, {"text", "zet"}});
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(reg.ItemIndex(), -1);
}

TEST(ComboBoxTest, EnterCanBeSwallowedAndTextPutBackWithTheCaretAtItsEnd) {
  ComboBox reg("RegCombo2");
  bool swallowed = false;
  reg.OnKeyDown = [&](Control&, KeyEvent& key) {
    if (key.key != Key::Enter) return;
    reg.SetItems({"Wörter"});
    reg.SetText("Wörter");
    key.key = Key::None;
    swallowed = true;
  };
  reg.HandleInput({{"type", "key"}, {"key", "Enter"}});
  EXPECT_TRUE(swallowed);
  EXPECT_EQ(reg.SelStart(), 6);  // characters, not bytes
  EXPECT_EQ(reg.Describe()["text"], "Wörter");
}

TEST(EditTest, UserAndCodeEditsRaiseChangeOnceAndSelectAllCountsCharacters) {
  Edit edit("Edit7");
  int changes = 0;
  edit.OnChange = [&](Control&) { ++changes; };
  edit.SetText("Notizen über");
  edit.SetText("Notizen über");
  EXPECT_EQ(changes, 1);
  edit.SelectAll();
  EXPECT_EQ(edit.SelLength(), 12);
  EXPECT_TRUE(edit.HandleInput({{"type", "text"}, {"text", "Notes"}}));
  EXPECT_EQ(edit.Text(), "Notes");
  EXPECT_EQ(changes, 2);
  edit.PlaceOver(42, 7);
  EXPECT_EQ(edit.Describe()["over"], (Json{{"control", 42}, {"node", 7}}));
  edit.SetReadOnly(true);
  EXPECT_FALSE(edit.HandleInput({{"type", "text"}, {"text", "x"}}));

  Memo memo("Note");
  memo.SetText("a\r\nb\nc");
  EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(ListBoxTest, RightClickRemembersTheItemUnderThePointer) {
  ListBox lb("lb1");
  lb.SetItems({"cat", "catalog", "dog"});
  int hot = -2;
  lb.OnContextPopup = [&](Control&, Point) { hot = lb.HotIndex(); };
  lb.HandleInput({{"type", "contextmenu"}, {"index", 1}, {"x", 5}, {"y", 6}});
  EXPECT_EQ(hot, 1);
  lb.HandleInput({{"type", "contextmenu"}, {"index", 3}});  // below the last item
  EXPECT_EQ(hot, -1);
  int clicks = 0;
  lb.OnClick = [&](Control&) { ++clicks; };
  lb.HandleInput({{"type", "click"}, {"index", 2}});
  EXPECT_EQ(lb.SelectedText(), "dog");
  EXPECT_EQ(clicks, 1);
  lb.SetSorted(true);
  lb.AddItem("bird");
  EXPECT_EQ(lb.Items().front(), "bird");
  EXPECT_EQ(lb.SelectedText(), "dog");  // the selection follows its item
}

TEST(DialogControlsTest, ButtonsWithAModalResultCloseTheirFormAndKeysPressDefaults) {
  Form dlg("TfrmUrlProperties");
  Panel panel("pnl", &dlg);
  Button ok("OK", &panel, "OK");
  ok.SetModalResult(ModalResult::Ok);
  ok.SetDefault(true);
  Button cancel("Cancel", &panel, "Cancel");
  cancel.SetModalResult(ModalResult::Cancel);
  cancel.SetCancel(true);
  Edit field("Title", &panel);
  {
    ScopedModalScript script([&](Form&) {
      field.HandleInput({{"type", "key"}, {"key", "Escape"}});
    });
    EXPECT_EQ(dlg.ShowModal(), ModalResult::Cancel);
  }
  {
    ScopedModalScript script([&](Form&) {
      field.HandleInput({{"type", "key"}, {"key", "Enter"}});
    });
    EXPECT_EQ(dlg.ShowModal(), ModalResult::Ok);
  }
  {
    ScopedModalScript script([&](Form&) { ok.HandleInput({{"type", "click"}}); });
    EXPECT_EQ(dlg.ShowModal(), ModalResult::Ok);
  }
}

TEST(ToolButtonTest, CheckButtonsToggleBeforeClickAndDropDownsOpenTheirMenu) {
  ToolBar bar("ToolBar1");
  ToolButton menu_button("sb_menu", &bar, "Menu", ToolButtonStyle::DropDown);
  ToolButton filter("sb_Filter", &bar, "Filter", ToolButtonStyle::Check);
  PopupMenu popup("Popup_Main");
  menu_button.SetDropdownMenu(&popup);
  bool down_in_handler = false;
  filter.OnClick = [&](Control&) { down_in_handler = filter.Down(); };
  filter.HandleInput({{"type", "click"}});
  EXPECT_TRUE(down_in_handler);
  filter.HandleInput({{"type", "click"}});
  EXPECT_FALSE(filter.Down());
  filter.SetDown(true);  // from code: no click
  EXPECT_FALSE(down_in_handler);

  menu_button.HandleInput({{"type", "click"}, {"x", 3}, {"y", 24}});
  EXPECT_TRUE(popup.IsOpen());
  EXPECT_EQ(popup.PopupPoint(), (Point{3, 24}));
  menu_button.SetEnabled(false);
  popup.CloseUp();
  menu_button.Click();
  EXPECT_FALSE(popup.IsOpen());
}

TEST(PageControlTest, TabClicksAskChangingThenRaiseChange) {
  PageControl page1("page1");
  TabSheet filter("filter_tab", &page1, "Filter");
  TabSheet snippets("snippet_tab", &page1, "Snippets");
  TabSheet search("search_tab", &page1, "Search");
  EXPECT_EQ(page1.ActivePageIndex(), 0);
  page1.SetActivePageIndex(2);
  EXPECT_EQ(page1.ActivePage(), &search);
  bool allow = false;
  int changes = 0;
  page1.OnChanging = [&](PageControl&, bool& a) { a = allow; };
  page1.OnChange = [&](Control&) { ++changes; };
  page1.HandleInput({{"type", "select-tab"}, {"index", 1}});
  EXPECT_EQ(page1.ActivePageIndex(), 2);
  allow = true;
  page1.HandleInput({{"type", "select-tab"}, {"index", 1}});
  EXPECT_EQ(page1.ActivePageIndex(), 1);
  EXPECT_EQ(changes, 1);
  snippets.SetTabVisible(false);
  EXPECT_FALSE(page1.HandleInput({{"type", "select-tab"}, {"index", 1}}));
  EXPECT_EQ(page1.Describe()["tabs"][1]["visible"], false);
}

TEST(SplitterTest, DragsAreClampedToTheParentLessBarAndMinimum) {
  Panel tab("snippet_tab");
  tab.SetHeight(400);
  Panel upper("upper", &tab);
  Splitter split("Splitter1", &tab, &upper);
  int moves = 0;
  split.OnMoved = [&](Control&) { ++moves; };
  EXPECT_TRUE(split.HandleInput({{"type", "move"}, {"size", 120}}));
  EXPECT_EQ(upper.Height(), 120);
  split.MoveTo(1000);
  EXPECT_EQ(upper.Height(), 394);  // 400 - 5 (bar) - 1 (minimum lower pane)
  split.MoveTo(-3);
  EXPECT_EQ(upper.Height(), 1);
  EXPECT_EQ(moves, 3);
  EXPECT_FALSE(split.HandleInput({{"type", "move"}}));
}

TEST(CursorTest, HourGlassRestoresTheCursorItFoundAndTellsTheDisplay) {
  TakeChanges();
  {
    HourGlass wait;
    EXPECT_EQ(ScreenCursor(), Cursor::HourGlass);
    { HourGlass nested; }
    EXPECT_EQ(ScreenCursor(), Cursor::HourGlass);
    EXPECT_TRUE(TakeChanges().cursor_changed);
  }
  EXPECT_EQ(ScreenCursor(), Cursor::Default);
  EXPECT_TRUE(TakeChanges().cursor_changed);
}

}  // namespace
}  // namespace vt::widgets
