// The Snippets tab on a started band: saving what the filter tab shows (the page menu's Save
// items, the filter tree's save, the snippet menu's Selected Item), compiling an article, the
// snippet filter with its history, renaming in place and deleting.
#include <gtest/gtest.h>

#include "band_fixture.h"
#include "host/OurNSHandler.h"
#include "platform/ado/table.h"
#include "platform/browser/windows.h"
#include "platform/dom/document.h"
#include "platform/dom/selection.h"
#include "platform/registry/registry.h"
#include "publishing/ArticleCompiler.h"
#include "storage/SnippetStore.h"

namespace vt {
namespace {

constexpr const char* kPage =
    "<html><head><title>Field Notes</title></head><body>"
    "<p id=intro>Leeks want slow butter and patience.</p>"
    "<table><tr><td>one</td><td>two</td></tr></table>"
    "<img src='http://127.0.0.1:9/nowhere.png'>"
    "</body></html>";

class SnippetTabTest : public testing::BandFixture {
 protected:
  TBandForm& Form() { return *form_; }
  widgets::MenuItem* SnippetItem(const char* name) {
    widgets::MenuItem* item = form_->Popup_TvSnippets.Items().FindByName(name);
    EXPECT_NE(item, nullptr) << name;
    return item;
  }
  // A root snippet made with "&Root Snippet" and named in the rename box.
  int Root(const std::string& name) {
    SnippetItem("SnRootSnippet")->Click();
    EXPECT_TRUE(form_->Edit7.Visible());
    form_->Edit7.SetText(name);
    form_->Edit7.HandleInput({{"type", "key"}, {"key", "Enter"}});
    return session_->LastSnippetID;
  }
  void FocusSnippet(int id) {
    widgets::TreeNode node = form_->DBTL1.FindNodeByKey(id);
    ASSERT_TRUE(node) << id;
    form_->DBTL1.SetFocusedNode(node);
  }
  void PickFilterNode(const std::string& text) {
    widgets::TreeNode node = form_->tv.FindByText(0, text);
    ASSERT_TRUE(node) << text;
    form_->tv.SetFocusedNode(node);
    form_->tv.HandleInput({{"type", "click"}});
  }
  std::string Field(int id, const std::string& field) {
    ado::Variant v = session_->SNIPPETS->LookupValue("ID", {ado::Variant(id)}, field);
    return v.IsNull() ? "NULL" : v.AsString();
  }
  std::vector<int> ChildrenOf(int id) {
    std::vector<int> out;
    widgets::TreeNode node = form_->DBTL1.FindNodeByKey(id);
    for (size_t i = 0; node && i < node.Count(); ++i) out.push_back(node.Item(i).Value());
    return out;
  }
  void FilterOn() {
    if (!form_->sb_Filter.Down()) form_->sb_Filter.HandleInput({{"type", "click"}});
    ASSERT_TRUE(session_->FilterMode);
  }
};

TEST_F(SnippetTabTest, PageMenuAndFilterTreeSavesGoBelowTheFocusedSnippet) {
  StartedForm();
  FilterOn();
  Visit(WritePage("notes.html", kPage));
  const int root = Root("Research");
  ASSERT_GT(root, 0);
  FocusSnippet(root);

  // "Save" ▸ "Item to Snippets" with a cell picked: the cell's mark-up, named after the entry.
  PickFilterNode("Col 2 (two)");
  widgets::MenuItem* item = session_->FindMenuItemByTag(6);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Caption(), "Item to Snippets");
  EXPECT_EQ(item->Parent()->Caption(), "Save");
  item->Click();
  const int cell = session_->LastSnippetID;
  EXPECT_EQ(Field(cell, "Name"), "two");
  EXPECT_NE(Field(cell, "Snippet").find(">two</BODY>"), std::string::npos)
      << Field(cell, "Snippet");
  EXPECT_EQ(Field(cell, "Parent_ID"), std::to_string(root));
  EXPECT_EQ(Form().DBTL1.FocusedKey(), root) << "the parent stays focused";

  // "Page to Snippets": the page under its title; its picture, not in the cache, becomes the
  // placeholder of the program folder.
  session_->FindMenuItemByTag(7)->Click();
  const int page = session_->LastSnippetID;
  EXPECT_EQ(Field(page, "Name"), "Field Notes");
  const std::string stored = Field(page, "Snippet");
  EXPECT_NE(stored.find("Leeks want slow butter"), std::string::npos);
  EXPECT_EQ(stored.find("nowhere.png"), std::string::npos) << stored;
  EXPECT_NE(stored.find("_blank.gif"), std::string::npos) << stored;

  // "Selection to Snippets": named after the selected text.
  auto range = session_->Document->CreateBodyRange();
  range->moveToElementText(session_->Document->getElementById("intro"));
  range->select();
  session_->FindMenuItemByTag(8)->Click();
  EXPECT_EQ(Field(session_->LastSnippetID, "Name"), "Leeks want slow butter and patience.");

  // The filter tree's "&Save to Snippets" on the Images group: the list page, under its title.
  PickFilterNode("Images (1)");
  form_->tv.HandleInput({{"type", "contextmenu"}, {"x", 10}, {"y", 10}});
  widgets::MenuItem* save = form_->Popup_TvFilter.Items().FindByName("SaveToSnippets");
  ASSERT_TRUE(save->Enabled());
  ASSERT_TRUE(form_->Popup_TvFilter.ChooseItem(save));
  const int group = session_->LastSnippetID;
  EXPECT_EQ(Field(group, "Name"), "All Images at Field Notes");
  EXPECT_NE(Field(group, "Snippet").find("<img"), std::string::npos);

  // "Selected Item" on the same group entry stores the list page too, not an empty page; the
  // group entry has no text of its own, so the snippet is named after the page.
  SnippetItem("SnSelectedItem")->Click();
  const int listed = session_->LastSnippetID;
  EXPECT_EQ(Field(listed, "Name"), "Field Notes");
  EXPECT_NE(Field(listed, "Snippet").find("<img"), std::string::npos);

  EXPECT_EQ(ChildrenOf(root), (std::vector<int>{cell, page, page + 1, group, listed}));
  EXPECT_EQ(Form().DBTL1.FocusedKey(), root);
}

TEST_F(SnippetTabTest, SelectedItemNeedsFilterModeAndAPickedEntry) {
  StartedForm();
  Visit(WritePage("notes.html", kPage));
  auto enabled = [&](const char* name) {
    Form().SnippetMenuPopup();
    return SnippetItem(name)->Enabled();
  };
  if (session_->FilterMode) form_->sb_Filter.HandleInput({{"type", "click"}});
  PickFilterNode("Col 2 (two)");
  EXPECT_FALSE(enabled("SnSelectedItem")) << "filter mode is off";
  FilterOn();
  EXPECT_TRUE(enabled("SnSelectedItem"));
  session_->SelectedIndex = -1;
  EXPECT_FALSE(enabled("SnSelectedItem"));
  // Without a picked entry the command stores nothing.
  const int before = session_->SNIPPETS->RecordCount();
  SaveItemAsSnippet(*session_);
  EXPECT_EQ(session_->SNIPPETS->RecordCount(), before);
}

TEST_F(SnippetTabTest, CompileOpensTheArticleOfTheFocusedSnippetInANewWindow) {
  StartedForm();
  ASSERT_EQ(RegisterPrivateHostHandler(), com::S_OK);
  Form().SnippetMenuPopup();
  EXPECT_FALSE(SnippetItem("SnCompile")->Enabled()) << "no snippet focused";
  const int root = Root("Article");
  session_->ParentKey = root;
  AddSnippet(*session_, "<p>Chapter one text</p>", "Chapter one");
  Root("Elsewhere");
  FocusSnippet(root);
  Form().SnippetMenuPopup();
  ASSERT_TRUE(SnippetItem("SnCompile")->Enabled());
  EXPECT_EQ(SnippetItem("SnCompile")->Caption(), "&Compile to Article");
  const size_t windows = browser::BrowserWindows().size();
  SnippetItem("SnCompile")->Click();
  auto opened = browser::BrowserWindows();
  ASSERT_EQ(opened.size(), windows + 1);
  com::ComPtr<browser::WebBrowser> window = opened.back();
  for (int i = 0; i < 40 && window->Busy(); ++i) {
    Tick();
    if (window->Busy() && loop_.WaitMessage(std::chrono::milliseconds(200)))
      loop_.ProcessMessages();
  }
  EXPECT_EQ(window->LocationURL(),
            "http://vellumtrace.localhost/compilesnippets?id=" + std::to_string(root));
  ASSERT_TRUE(window->Document());
  dom::ElementCollection heads = window->Document()->tags("TD");
  std::vector<std::string> names;
  for (long i = 0; i < heads.length(); ++i) {
    if (heads.item(i)->getAttribute("class") == "chead")
      names.push_back(heads.item(i)->innerText());
  }
  ASSERT_EQ(names.size(), 2u) << "the snippet and its child, not the other root";
  EXPECT_EQ(names[0].rfind("Article", 0), 0u);
  EXPECT_EQ(names[1].rfind("Chapter one", 0), 0u);
  EXPECT_NE(window->Document()->body()->innerHTML().find("Chapter one text"), std::string::npos);
  window->Quit();
}

TEST_F(SnippetTabTest, RenameBoxStoresOnEnterOrLeavingAndKeepsTheNameOnEscape) {
  StartedForm();
  const int id = Root("O'Neil's 100%_notes");
  EXPECT_EQ(Field(id, "Name"), "O'Neil's 100%_notes");
  FocusSnippet(id);

  SnippetItem("SnName")->Click();
  ASSERT_TRUE(Form().Edit7.Visible());
  EXPECT_EQ(Form().Edit7.Text(), "O'Neil's 100%_notes");
  Form().Edit7.SetText("thrown away");
  Form().Edit7.HandleInput({{"type", "key"}, {"key", "Escape"}});
  EXPECT_FALSE(Form().Edit7.Visible());
  EXPECT_EQ(Field(id, "Name"), "O'Neil's 100%_notes");
  EXPECT_TRUE(Form().DBTL1.Focused()) << "Escape gives the tree the focus";

  Form().DBTL1.HandleInput({{"type", "key"}, {"key", "F2"}});
  ASSERT_TRUE(Form().Edit7.Visible());
  Form().Edit7.SetFocus();
  Form().Edit7.SetText("Kept by leaving");
  Form().DBTL1.SetFocus();  // the user clicks elsewhere
  EXPECT_FALSE(Form().Edit7.Visible());
  EXPECT_EQ(Field(id, "Name"), "Kept by leaving");
  EXPECT_EQ(Form().DBTL1.FindNodeByKey(id).Text(), "Kept by leaving");
}

TEST_F(SnippetTabTest, DeleteAsksThenRemovesTheSubtreeAndFocusesTheNodeBefore) {
  StartedForm();
  const int first = Root("First");
  const int second = Root("Second");
  FocusSnippet(second);
  SnippetItem("SnEmptySnippet")->Click();
  const int child = session_->LastSnippetID;
  Form().Edit7.HandleInput({{"type", "key"}, {"key", "Escape"}});
  ASSERT_EQ(ChildrenOf(second), std::vector<int>{child});
  FocusSnippet(second);
  Form().DBTL1.Select(Form().DBTL1.FindNodeByKey(second));
  {
    widgets::ScriptedAnswers no({widgets::ModalResult::No});
    Form().DBTL1.HandleInput({{"type", "key"}, {"key", "Delete"}});
    ASSERT_EQ(no.Shown().size(), 1u);
    EXPECT_EQ(no.Shown()[0].text, "Delete selected snippets and all snippets below it?");
    EXPECT_EQ(no.Shown()[0].caption, "Confirm");
    EXPECT_EQ(no.Shown()[0].icon, widgets::MessageIcon::Warning);
    EXPECT_EQ(no.Shown()[0].buttons, widgets::MessageButtons::YesNo);
  }
  EXPECT_EQ(session_->SNIPPETS->RecordCount(), 3);
  {
    widgets::ScriptedAnswers yes({widgets::ModalResult::Yes});
    SnippetItem("SnDelete")->Click();
  }
  EXPECT_EQ(session_->SNIPPETS->RecordCount(), 1);
  EXPECT_FALSE(Form().DBTL1.FindNodeByKey(child));
  EXPECT_EQ(Form().DBTL1.FocusedKey(), first);
}

TEST_F(SnippetTabTest, FilterByNameContentAndDomainWithTheHistoryOfTwentyMostRecentFirst) {
  StartedForm();
  const int leeks = Root("Leek 'soup' 100%");
  Root("Bread");
  auto shown = [&] {
    std::vector<std::string> names;
    Form().DBTL1.ForEachNode([&](const widgets::TreeNode& n) {
      names.push_back(n.Text());
      return true;
    });
    return names;
  };
  auto enter = [&](const std::string& text) {
    Form().RegCombo1.SetText(text);
    Form().RegCombo1.HandleInput({{"type", "key"}, {"key", "Enter"}});
    Tick();
    Tick();
  };
  Form().Drop_SnippetFilterField.SetItemIndex(2);  // Name
  Form().SnippetFilterFieldChange();
  enter("'soup' 100%");
  EXPECT_EQ(session_->SNIPPETS->Filter(), "Name like '%''soup'' 100%%' ");
  EXPECT_EQ(shown(), std::vector<std::string>{"Leek 'soup' 100%"});

  // The same text again leaves the tree as it is: nodes keep their identity.
  const int node_id = Form().DBTL1.FindNodeByKey(leeks).Id();
  enter("'soup' 100%");
  EXPECT_EQ(Form().DBTL1.FindNodeByKey(leeks).Id(), node_id);

  // An empty text shows every snippet again.
  enter("");
  EXPECT_EQ(session_->SNIPPETS->Filter(), "");
  EXPECT_EQ(shown().size(), 2u);

  // Content: the stored page.
  Form().Drop_SnippetFilterField.SetItemIndex(3);
  Form().SnippetFilterFieldChange();
  enter("Vellumtrace");  // every snippet's page carries the template's default title
  EXPECT_EQ(shown().size(), 2u);
  enter("no such words");
  EXPECT_TRUE(shown().empty());

  // Domain on a page without a host.
  Form().Drop_SnippetFilterField.SetItemIndex(1);
  Form().SnippetFilterFieldChange();
  EXPECT_EQ(session_->SNIPPETS->Filter(), "Domain = '***' ");
  EXPECT_FALSE(Form().RegCombo1.Enabled());
  EXPECT_TRUE(shown().empty());

  // The history keeps the 20 most recent texts, the newest first.
  Form().Drop_SnippetFilterField.SetItemIndex(2);
  Form().SnippetFilterFieldChange();
  for (int i = 1; i <= 22; ++i) enter("text " + std::to_string(i));
  auto key = registry::OpenKey(registry::HKEY_CURRENT_USER, "\\Software\\Vellumtrace\\History1");
  ASSERT_TRUE(key);
  const std::vector<std::string> names = key->ValueNames();
  ASSERT_EQ(names.size(), 20u);
  EXPECT_EQ(names.front(), "text 22");
  EXPECT_EQ(names.back(), "text 3");
}

}  // namespace
}  // namespace vt
