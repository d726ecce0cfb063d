#include "platform/widgets/control.h"

#include <gtest/gtest.h>

#include "platform/widgets/dialogs.h"
#include "platform/widgets/indicators.h"

namespace vt::widgets {
namespace {

class ChangeTrackingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TakeChanges();
    SetChangeListener([this] { ++wakes_; });
  }
  void TearDown() override { SetChangeListener(nullptr); }
  int wakes_ = 0;
};

TEST_F(ChangeTrackingTest, BurstOfChangesWakesTheDisplayOnceAndListsEachControlOnce) {
  StatusBar sb("sb1");
  BusyLed led("led1");
  EXPECT_EQ(wakes_, 1);
  for (int i = 0; i < 100; ++i) sb.SetPanelText(0, "Parsing " + std::to_string(i));
  led.SetColor(LedColor::Red);
  EXPECT_EQ(wakes_, 1);
  ChangeSet set = TakeChanges();
  EXPECT_EQ(set.changed, (std::vector<ControlId>{sb.Id(), led.Id()}));
  EXPECT_FALSE(HasPendingChanges());

  led.SetColor(LedColor::Red);  // unchanged value: nothing to redraw
  EXPECT_FALSE(HasPendingChanges());
  led.SetLit(false);
  EXPECT_EQ(wakes_, 2);
  EXPECT_EQ(TakeChanges().changed, std::vector<ControlId>{led.Id()});
}

TEST_F(ChangeTrackingTest, DestroyedControlsAreReportedRemovedNotChanged) {
  ControlId id;
  {
    BusyLed led("led3");
    id = led.Id();
    TakeChanges();
    led.SetColor(LedColor::Yellow);
  }
  ChangeSet set = TakeChanges();
  EXPECT_TRUE(set.changed.empty());
  EXPECT_EQ(set.removed, std::vector<ControlId>{id});
  EXPECT_EQ(FindControl(id), nullptr);
}

TEST_F(ChangeTrackingTest, BeginUpdateHoldsChangesUntilTheOutermostEndUpdate) {
  StatusBar sb("sb1");
  TakeChanges();
  sb.BeginUpdate();
  sb.BeginUpdate();
  sb.SetPanelText(0, "a");
  sb.EndUpdate();
  EXPECT_FALSE(HasPendingChanges());
  sb.EndUpdate();
  EXPECT_EQ(TakeChanges().changed, std::vector<ControlId>{sb.Id()});
  sb.BeginUpdate();
  sb.EndUpdate();  // nothing changed inside
  EXPECT_FALSE(HasPendingChanges());
}

TEST(ControlTreeTest, ParentsListChildrenAndForgetThemWhenDestroyed) {
  Control form("form", "TBandForm");
  auto bar = std::make_unique<StatusBar>("sb1", &form);
  BusyLed led("led1", &form);
  EXPECT_EQ(form.FindChild("led1"), &led);
  EXPECT_EQ(form.Describe()["children"], Json::array({bar->Id(), led.Id()}));
  bar.reset();
  EXPECT_EQ(form.Children(), std::vector<Control*>{&led});
  EXPECT_EQ(led.Describe()["parent"], form.Id());
  led.SetParent(&led);  // a cycle is refused
  EXPECT_EQ(led.Parent(), &form);
}

TEST(ControlInputTest, FocusInputMovesFocusWithExitBeforeEnter) {
  Control a("edit", "Edit7");
  Control b("treelist", "DBTL1");
  std::vector<std::string> order;
  a.OnEnter = [&](Control&) { order.push_back("enter a"); };
  a.OnExit = [&](Control&) { order.push_back("exit a"); };
  b.OnEnter = [&](Control&) { order.push_back("enter b"); };
  EXPECT_TRUE(a.HandleInput({{"type", "focus"}}));
  EXPECT_TRUE(b.HandleInput({{"event", "focus"}}));
  EXPECT_EQ(order, (std::vector<std::string>{"enter a", "exit a", "enter b"}));
  EXPECT_EQ(FocusedControl(), &b);
}

TEST(ControlInputTest, DisabledHiddenOrMalformedInputIsRefused) {
  Control c("button", "b");
  int clicks = 0;
  c.OnClick = [&](Control&) { ++clicks; };
  EXPECT_FALSE(c.HandleInput(Json::array()));
  EXPECT_FALSE(c.HandleInput({{"type", 5}}));
  EXPECT_FALSE(c.HandleInput({{"type", "warp"}}));
  c.SetEnabled(false);
  EXPECT_FALSE(c.HandleInput({{"type", "click"}}));
  c.SetEnabled(true);
  Control parent("panel", "p");
  c.SetParent(&parent);
  parent.Hide();
  EXPECT_FALSE(c.HandleInput({{"type", "click"}}));
  parent.Show();
  EXPECT_TRUE(c.HandleInput({{"type", "click"}}));
  EXPECT_EQ(clicks, 1);
}

TEST(ControlInputTest, KeysArriveByTheirDomNames) {
  Control c("edit", "e");
  std::vector<Key> keys;
  c.OnKeyDown = [&](Control&, KeyEvent& k) { keys.push_back(k.key); };
  for (const char* name : {"Enter", "Escape", "Delete", "Insert", "Tab", "q"}) {
    c.HandleInput({{"type", "key"}, {"key", name}});
  }
  EXPECT_EQ(keys, (std::vector<Key>{Key::Enter, Key::Escape, Key::Delete, Key::Insert, Key::Tab,
                                    Key::Other}));
}

TEST(ControlInputTest, FailureInAHandlerBecomesAnErrorMessageBox) {
  ClearMessageLog();
  Control c("button", "b");
  c.OnClick = [](Control&) { throw std::runtime_error("Table is not open"); };
  EXPECT_TRUE(c.HandleInput({{"type", "click"}}));
  ASSERT_EQ(MessageLog().size(), 1u);
  EXPECT_EQ(MessageLog()[0].text, "Table is not open");
  EXPECT_EQ(MessageLog()[0].caption, "Vellumtrace");
  EXPECT_EQ(MessageLog()[0].icon, MessageIcon::Error);
}

TEST(IndicatorTest, StatusBarAndLedDescribeTheirState) {
  StatusBar sb("sb1");
  sb.SetPanelText(0, "Parsing complete.");
  EXPECT_EQ(sb.Describe()["panels"][0]["text"], "Parsing complete.");
  EXPECT_EQ(sb.PanelText(3), "");
  sb.SetPanelText(2, "x");
  EXPECT_EQ(sb.PanelCount(), 3u);

  BusyLed led("led1");
  led.SetHint("Ready");
  led.SetColor(LedColor::Yellow);
  Json d = led.Describe();
  EXPECT_EQ(d["kind"], "led");
  EXPECT_EQ(d["name"], "led1");
  EXPECT_EQ(d["color"], "yellow");
  EXPECT_EQ(d["lit"], true);
  EXPECT_EQ(d["hint"], "Ready");
}

}  // namespace
}  // namespace vt::widgets
