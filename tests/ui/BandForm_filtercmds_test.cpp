// The Filter tab's commands on a dissected page: the tree menu's enabling, the page menu's order
// and tags, Select Table, following a link, and the web search of a selection.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "band_fixture.h"
#include "platform/ado/table.h"
#include "platform/clipboard/clipboard.h"
#include "storage/datamodule.h"

namespace vt {
namespace {

using widgets::Json;

class FilterCommandsTest : public testing::BandFixture {
 protected:
  // Right-clicks the filter tree and answers the menu's items by name: visible and enabled.
  std::map<std::string, std::pair<bool, bool>> RightClick() {
    form_->tv.HandleInput({{"type", "contextmenu"}, {"x", 10}, {"y", 10}});
    std::map<std::string, std::pair<bool, bool>> items;
    for (const char* name : {"FilterInNewWindow", "SaveToSnippets", "SendViaEmail",
                             "CopyToClipboard", "FollowHyperlink", "ExpandAll", "CollapseAll"}) {
      widgets::MenuItem* item = form_->Popup_TvFilter.Items().FindByName(name);
      EXPECT_NE(item, nullptr) << name;
      if (item) items[name] = {item->Visible(), item->Enabled()};
    }
    form_->Popup_TvFilter.CloseUp();
    return items;
  }
  widgets::TreeNode NodeWithText(const std::string& text) { return form_->tv.FindByText(0, text); }
  void Focus(const std::string& text) {
    widgets::TreeNode node = NodeWithText(text);
    ASSERT_TRUE(node) << text;
    form_->tv.SetFocusedNode(node);
    form_->tv.HandleInput({{"type", "click"}});
  }
};

constexpr const char* kPage =
    "<html><head><title>T</title></head><body>"
    "<table><tr><td>one</td><td>two</td></tr></table>"
    "<p><a href='next.html'>next page</a></p>"
    "</body></html>";

TEST_F(FilterCommandsTest, TreeMenuOnAnEmptyTreeDisablesEveryEntryCommand) {
  StartedForm();
  auto items = RightClick();
  for (const auto& [name, state] : items) {
    if (name == "FollowHyperlink") {
      EXPECT_FALSE(state.first) << "hidden";
    } else {
      EXPECT_FALSE(state.second) << name << " is disabled";
    }
  }
}

TEST_F(FilterCommandsTest, TreeMenuOnALinkShowsFollowHyperlinkAndItFollowsTheLink) {
  StartedForm();
  const std::string next = WritePage("next.html", "<p>the next page</p>");
  Visit(WritePage("page.html", kPage));
  ASSERT_GT(form_->tv.NodeCount(), 0u);
  Focus("one two");
  auto items = RightClick();
  EXPECT_TRUE(items["FilterInNewWindow"].second);
  EXPECT_FALSE(items["FollowHyperlink"].first) << "a table is no link";
  EXPECT_TRUE(items["ExpandAll"].second);

  widgets::TreeNode link = form_->tv.FindByText(0, "next page");
  ASSERT_TRUE(link);
  form_->tv.SetFocusedNode(link);
  form_->tv.HandleInput({{"type", "click"}});
  items = RightClick();
  EXPECT_TRUE(items["FollowHyperlink"].first);
  form_->tv.HandleInput({{"type", "dblclick"}});
  Tick();
  Visit(next);
  EXPECT_EQ(browser_->LocationURL(), next);
}

TEST_F(FilterCommandsTest, SelectTableOnACellSelectsItsTableButNotOnTheFirstEntry) {
  StartedForm();
  if (!form_->sb_Filter.Down()) form_->sb_Filter.HandleInput({{"type", "click"}});
  ASSERT_TRUE(session_->FilterMode);
  Visit(WritePage("page.html", kPage));
  Focus("Col 2 (two)");
  const int cell = session_->SelectedIndex;
  ASSERT_GT(cell, 0);
  widgets::MenuItem* select = session_->FindMenuItemByTag(21);
  ASSERT_NE(select, nullptr);
  EXPECT_EQ(select->Caption(), "Select Table");
  select->Click();
  const Tnode* entry = session_->Entry(session_->SelectedIndex + 1);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Table, 1);
  EXPECT_EQ(entry->Row, 0) << "the table's own entry";
  EXPECT_EQ(form_->tv.FocusedNode().Text(0), "one two");

  session_->SelectedIndex = 0;
  select->Click();
  EXPECT_EQ(session_->SelectedIndex, 0) << "the first entry selects nothing";
}

TEST_F(FilterCommandsTest, PageMenuFindsTheFilterSubmenuForTagTwenty) {
  StartedForm();
  widgets::MenuItem* twenty = session_->FindMenuItemByTag(20);
  ASSERT_NE(twenty, nullptr);
  EXPECT_EQ(twenty->Caption(), "Filter");
  for (int tag : {1, 10, 11, 21, 18, 2, 3, 4, 14, 22}) {
    EXPECT_NE(session_->FindMenuItemByTag(tag), nullptr) << tag;
  }
}

TEST(WebSearch, TakesTheFirstFiftyCharactersWithBlanksAsPlus) {
  EXPECT_EQ(WebSearchAddress("  two words "), "https://www.bing.com/search?q=two+words");
  EXPECT_EQ(WebSearchAddress(std::string(60, 'x')),
            "https://www.bing.com/search?q=" + std::string(50, 'x'));
  EXPECT_EQ(WebSearchAddress("   "), "");
  EXPECT_EQ(WebSearchAddress(""), "");
  EXPECT_EQ(WebSearchAddress("ééé ü"), "https://www.bing.com/search?q=ééé+ü");
}

// The snippet tab's Copy and Send via E-mail take the focused snippet's stored row; when the row
// is gone (deleted behind the tree's back) both do nothing rather than send something else.
TEST_F(FilterCommandsTest, SnippetCopyAndMailTakeTheStoredRowAndDoNothingWhenItIsGone) {
  StartedForm();
  const std::filesystem::path mailer = dir_ / "mailer.sh";
  std::ofstream(mailer) << "#!/bin/sh\ntouch \"$0.called\"\n";
  ::chmod(mailer.c_str(), 0755);
  setenv("VELLUMTRACE_MAILER", mailer.c_str(), 1);
  ExecuteSQL(*session_,
             "INSERT INTO SNIPPETS (Name, Snippet) VALUES ('Kept', '<p>kept words</p>')");
  ado::Table* snippets = session_->SNIPPETS;
  ASSERT_NE(snippets, nullptr);
  snippets->Requery();
  form_->DBTL1.FullRefresh();
  ASSERT_TRUE(snippets->Locate("Name", ado::Variant(std::string("Kept"))));
  const int id = snippets->FieldByName("ID").AsInteger();
  widgets::TreeNode node = form_->DBTL1.FindNodeByKey(id);
  ASSERT_TRUE(node);
  form_->DBTL1.SetFocusedNode(node);

  widgets::MenuItem* copy = form_->Popup_TvSnippets.Items().FindByName("SnCopy");
  widgets::MenuItem* mail = form_->Popup_TvSnippets.Items().FindByName("SnSendMail");
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(mail, nullptr);
  copy->Click();
  const clipboard::ClipboardContents copied = clipboard::LastContents();
  const std::string* text = copied.Find(clipboard::CF_TEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(text->find("<title>Kept</title>"), std::string::npos);
  EXPECT_NE(text->find("<p>kept words</p>"), std::string::npos);
  mail->Click();
  EXPECT_TRUE(std::filesystem::exists(mailer.string() + ".called"));
  std::filesystem::remove(mailer.string() + ".called");

  ExecuteSQL(*session_, "DELETE FROM SNIPPETS WHERE ID = " + std::to_string(id));
  const std::uint64_t before = clipboard::LastContents().sequence;
  copy->Click();
  mail->Click();
  EXPECT_EQ(clipboard::LastContents().sequence, before) << "nothing copied";
  EXPECT_FALSE(std::filesystem::exists(mailer.string() + ".called")) << "no mail started";
  unsetenv("VELLUMTRACE_MAILER");
}

}  // namespace
}  // namespace vt
