#include "platform/widgets/menu.h"

#include <gtest/gtest.h>

namespace vt::widgets {
namespace {

TEST(MenuTest, CaptionsShowWithoutAcceleratorMarks) {
  PopupMenu menu("Popup_TvSnippets");
  MenuItem* edit = menu.Add("&Edit ...");
  MenuItem* amp = menu.Add("Tom && Jerry");
  EXPECT_EQ(edit->DisplayCaption(), "Edit ...");
  EXPECT_EQ(edit->Accelerator(), 'e');
  EXPECT_EQ(amp->DisplayCaption(), "Tom & Jerry");
  EXPECT_EQ(amp->Accelerator(), 0);
  EXPECT_TRUE(menu.Add("-")->IsSeparator());
  Json d = menu.Describe();
  EXPECT_EQ(d["items"][0]["caption"], "Edit ...");
  EXPECT_EQ(d["items"][0]["accelerator"], "e");
  EXPECT_EQ(d["items"][2]["separator"], true);
}

TEST(MenuTest, PopupRaisesOnPopupFirstAndChoiceRunsTheItem) {
  PopupMenu menu("Popup_TvFilter");
  MenuItem* sub = menu.Add("Filter", 20);
  MenuItem* item = sub->Add("Item in New Window", 10);
  std::vector<std::string> order;
  menu.OnPopup = [&](Control&) {
    order.push_back("popup");
    item->SetEnabled(true);
  };
  item->OnClick = [&](Control& sender) { order.push_back("click " + sender.Name()); };
  item->SetEnabled(false);
  menu.Popup(120, 340);
  EXPECT_TRUE(menu.IsOpen());
  EXPECT_EQ(menu.Describe()["x"], 120);
  EXPECT_TRUE(menu.HandleInput({{"type", "choose"}, {"item", item->Id()}}));
  EXPECT_FALSE(menu.IsOpen());
  EXPECT_EQ(order, (std::vector<std::string>{"popup", "click Popup_TvFilter"}));
  EXPECT_FALSE(menu.HandleInput({{"type", "choose"}, {"item", 9999}}));
}

TEST(MenuTest, HiddenOrDisabledItemsAndTheirChildrenDoNotRun) {
  PopupMenu menu("Popup_Main");
  MenuItem* tools = menu.Add("Tools");
  MenuItem* settings = tools->Add("&Settings");
  int runs = 0;
  settings->OnClick = [&](Control&) { ++runs; };
  tools->SetEnabled(false);
  EXPECT_FALSE(settings->Click());
  tools->SetEnabled(true);
  settings->SetVisible(false);
  EXPECT_FALSE(settings->Click());
  settings->SetVisible(true);
  EXPECT_TRUE(settings->Click());
  EXPECT_EQ(runs, 1);
}

TEST(MenuTest, AutoCheckTogglesAndRadioGroupsStayExclusive) {
  MainMenu menu("MainMenu1");
  MenuItem* slim = menu.Add("Slim View");
  slim->SetAutoCheck(true);
  bool seen = false;
  slim->OnClick = [&](Control&) { seen = slim->Checked(); };
  slim->Click();
  EXPECT_TRUE(seen);
  slim->Click();
  EXPECT_FALSE(slim->Checked());

  MenuItem* a = menu.Add("a");
  MenuItem* b = menu.Add("b");
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  a->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(menu.Items().FindByCaption("b"), b);
}

TEST(MenuTest, RemovingItemsKeepsOtherIdsValid) {
  PopupMenu menu("p");
  MenuItem* a = menu.Add("a");
  MenuItem* b = menu.Add("b");
  int b_id = b->Id();
  menu.Items().Remove(a);
  EXPECT_EQ(menu.Items().Count(), 1u);
  EXPECT_EQ(menu.FindItem(b_id), b);
  EXPECT_EQ(menu.Items().IndexOf(b), 0);
}

}  // namespace
}  // namespace vt::widgets
