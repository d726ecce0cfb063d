#include "storage/SnippetStore.h"

#include <signal.h>
#include <sys/wait.h>

#include "../platform/browser/test_server.h"
#include "platform/ado/table.h"
#include "platform/dom/document.h"
#include "platform/dom/selection.h"
#include "platform/widgets/dbtreelist.h"
#include "platform/widgets/dialogs.h"
#include "storage/SnippetProperties.h"
#include "storage/urlRecords.h"
#include "storage_fixture.h"

namespace vt {
namespace {

using testing::StorageTest;

class SnippetStoreTest : public StorageTest {
 protected:
  void SetUp() override {
    Open();
    tree = std::make_unique<widgets::DBTreeList>("DBTL1");
    tree->SetMultiSelect(true);
    tree->SetDataSource(&module->DS_Snippets);
    session->SnippetTree = tree.get();
  }
  void TearDown() override {
    session->SnippetTree = nullptr;
    tree.reset();
  }
  TmyDOM& s() { return *session; }

  // A root snippet made directly, as an earlier save would have left it.
  int32_t Root(const std::string& name) {
    s().ParentKey.reset();
    AddSnippet(s(), "", "");
    RenameSnippet(s(), s().LastSnippetID, name);
    return s().LastSnippetID;
  }
  void Focus(int32_t id) {
    ASSERT_TRUE(tree->FindNodeByKey(id)) << id;
    tree->SetFocusedNode(tree->FindNodeByKey(id));
  }
  // Shows a page served over HTTP (so that it has a host).
  void ShowServed(const std::string& html) {
    server.server().Get("/page.html", [html](const httplib::Request&, httplib::Response& r) {
      r.set_content(html, "text/html; charset=utf-8");
    });
    web = browser::WebBrowser::Create();
    web->Navigate(server.Url("/page.html"));
    ASSERT_TRUE(msgloop::PumpUntil([&] { return !web->Busy(); }, msgloop::Milliseconds(20000)));
    session->Browser = BrowserRef(web.get());
    session->RefreshDocuments();
    ASSERT_TRUE(session->Document);
  }

  browser::testing::TestServer server;
  com::ComPtr<browser::WebBrowser> web;
  std::unique_ptr<widgets::DBTreeList> tree;
};

TEST_F(SnippetStoreTest, APageSavedUnderTheFocusedSnippetBecomesItsChildAndTheParentStaysFocused) {
  ShowServed(
      "<html><head><title>Quarterly Notes</title></head><body><p>Alpha <b>beta</b>"
      "</p></body></html>");
  const int32_t parent = Root("Research");
  Focus(parent);
  SavePageAsSnippet(s());

  const int32_t child = s().LastSnippetID;
  const std::string url_id =
      Sql("SELECT ID FROM URL WHERE URL = '" + server.Url("/page.html") + "'");
  EXPECT_EQ(Sql("SELECT Name, Title, Domain, URL_ID, Parent_ID FROM SNIPPETS WHERE ID = " +
                std::to_string(child)),
            "Quarterly Notes|Quarterly Notes|127.0.0.1|" + url_id.substr(0, url_id.size() - 1) +
                "|" + std::to_string(parent) + "\n");
  const std::string page = Sql("SELECT Snippet FROM SNIPPETS WHERE ID = " + std::to_string(child));
  EXPECT_NE(page.find("<p>Alpha <b>beta</b></p>"), std::string::npos) << page;
  EXPECT_NE(page.find("<title>Quarterly Notes</title>"), std::string::npos);
  EXPECT_NE(page.find("<base href=\"" + server.Url("/page.html") + "\">"), std::string::npos);
  EXPECT_EQ(Status(), "Snippet saved as \"Quarterly Notes\"");
  EXPECT_EQ(tree->FocusedKey(), parent);
  ASSERT_EQ(tree->SelectionCount(), 1u);
  EXPECT_EQ(tree->Selection(0).Value(), parent);
  EXPECT_EQ(tree->FindNodeByKey(child).Parent().Value(), parent);
}

TEST_F(SnippetStoreTest, TheBlankFlagDoesNotSurviveARootSave) {
  ShowPage("<html><head><title>Page T</title></head><body><p>x</p></body></html>");
  // "Empty Snippet" without a focused node: a blank root.
  s().ParentKey.reset();
  s().BlankSnippet = true;
  AddSnippet(s(), "", "");
  const int32_t root = s().LastSnippetID;
  EXPECT_FALSE(s().BlankSnippet);
  EXPECT_EQ(Sql("SELECT Name, quote(Parent_ID), quote(URL_ID), quote(Domain), quote(Title) "
                "FROM SNIPPETS"),
            "New Snippet|NULL|NULL|NULL|NULL\n");
  // The next save as a child is a normal child.
  Focus(root);
  SavePageAsSnippet(s());
  EXPECT_EQ(
      Sql("SELECT Name, Parent_ID FROM SNIPPETS WHERE ID = " + std::to_string(s().LastSnippetID)),
      "Page T|" + std::to_string(root) + "\n");

  // A raised flag with a parent gives an empty child called "New Snippet" and no page link.
  s().ParentKey = root;
  s().BlankSnippet = true;
  AddSnippet(s(), "", "");
  EXPECT_EQ(Sql("SELECT Name, Parent_ID, quote(URL_ID), quote(Title) FROM SNIPPETS WHERE ID = " +
                std::to_string(s().LastSnippetID)),
            "New Snippet|" + std::to_string(root) + "|NULL|NULL\n");
}

TEST_F(SnippetStoreTest, ReplaceKeepsIdAndParentAndRenewsEverythingElse) {
  ShowPage("<html><head><title>Old page</title></head><body><p>old</p></body></html>");
  const int32_t root = Root("Top");
  s().ParentKey = root;
  AddSnippet(s(), "<p>old</p>", "");
  const int32_t id = s().LastSnippetID;
  Exec("UPDATE SNIPPETS SET DateCreated = '2001-01-01 00:00:00' WHERE ID = " + std::to_string(id));
  ShowPage("<html><head><title>New page</title></head><body><p>fresh</p></body></html>");
  // The cursor stands elsewhere: the replace still writes the snippet the key names.
  s().SNIPPETS->First();
  s().ParentKey = -id;
  AddSnippet(s(), s().GetPageBodyHtml(), "");
  EXPECT_EQ(s().LastSnippetID, id);
  EXPECT_EQ(Sql("SELECT ID, Parent_ID, Name, Title, DateCreated > '2001-01-01 00:00:00' FROM "
                "SNIPPETS WHERE ID = " +
                std::to_string(id)),
            std::to_string(id) + "|" + std::to_string(root) + "|New page|New page|1\n");
  EXPECT_NE(Sql("SELECT Snippet FROM SNIPPETS WHERE ID = " + std::to_string(id)).find("fresh"),
            std::string::npos);
  EXPECT_EQ(Sql("SELECT count(*) FROM SNIPPETS"), "2\n");

  // A key naming a deleted snippet fails instead of overwriting another row.
  Exec("DELETE FROM SNIPPETS WHERE ID = " + std::to_string(id));
  EXPECT_THROW(AddSnippet(s(), "<p>x</p>", ""), std::runtime_error);
  EXPECT_EQ(Sql("SELECT Name FROM SNIPPETS"), "Top\n");
}

TEST_F(SnippetStoreTest, ASelectionIsNamedAfterItsFirstFiftyCleanCharacters) {
  ShowPage("<html><head><title>Sel Page</title></head><body><p id=a>" + std::string(30, 'x') +
           " \"quoted\" 100% of_it and then some more words</p><p id=b>\t\r\n</p></body></html>");
  const int32_t root = Root("R");
  Focus(root);
  auto range = s().Document->CreateBodyRange();
  range->moveToElementText(s().Document->getElementById("a"));
  range->select();
  SaveSelectionAsSnippet(s());
  const std::string name =
      Sql("SELECT Name FROM SNIPPETS WHERE ID = " + std::to_string(s().LastSnippetID));
  EXPECT_EQ(name, std::string(30, 'x') + " quoted 100 ofit\n");

  // Only characters the cleaning drops: the snippet is named after the page.
  range->moveToElementText(s().Document->getElementById("b"));
  range->select();
  SaveSelectionAsSnippet(s());
  EXPECT_EQ(Sql("SELECT Name FROM SNIPPETS WHERE ID = " + std::to_string(s().LastSnippetID)),
            "Sel Page\n");
  EXPECT_EQ(tree->FocusedKey(), root);
}

TEST_F(SnippetStoreTest, WithoutADocumentTheSnippetIsCalledNewSnippet) {
  const int32_t root = Root("R");
  s().ParentKey = root;
  AddSnippet(s(), "<p>x</p>", "");
  EXPECT_EQ(Sql("SELECT Name, Domain, URL_ID FROM SNIPPETS WHERE ID = " +
                std::to_string(s().LastSnippetID)),
            "New Snippet||0\n");
  EXPECT_EQ(Status(), "Snippet saved as \"New Snippet\"");
}

TEST_F(SnippetStoreTest, ASnippetHiddenByTheFilterStillGetsItsContent) {
  const int32_t root = Root("Kept");
  s().SNIPPETS->SetFilter("Name like '%Kept%' ");
  tree->FullRefresh();
  s().ParentKey = root;
  AddSnippet(s(), "<p>content that must not be lost</p>", "Other name");
  EXPECT_NE(Sql("SELECT Snippet FROM SNIPPETS WHERE Name = 'Other name'")
                .find("content that must not be lost"),
            std::string::npos);
  EXPECT_EQ(Status(), "Snippet saved as \"Other name\"");
}

TEST_F(SnippetStoreTest, NamesWithQuotesAndWildcardsAreStoredAsTyped) {
  const int32_t root = Root("x");
  const std::string name = "O'Brien's 100% \"raw_data\"";
  EXPECT_TRUE(RenameSnippet(s(), root, name));
  EXPECT_EQ(Sql("SELECT Name FROM SNIPPETS"), name + "\n");
  EXPECT_EQ(tree->FindNodeByKey(root).Text(), name);
  EXPECT_FALSE(RenameSnippet(s(), root, ""));
  EXPECT_FALSE(RenameSnippet(s(), 0, "y"));
  EXPECT_EQ(Sql("SELECT Name FROM SNIPPETS"), name + "\n");
}

TEST_F(SnippetStoreTest, MoveToRootWritesZeroAndFocusesTheNode) {
  const int32_t a = Root("A");
  s().ParentKey = a;
  AddSnippet(s(), "", "B");
  const int32_t b = s().LastSnippetID;
  EXPECT_TRUE(MoveSnippetToRoot(s(), b));
  EXPECT_EQ(Sql("SELECT Parent_ID FROM SNIPPETS WHERE ID = " + std::to_string(b)), "0\n");
  EXPECT_FALSE(tree->FindNodeByKey(b).Parent());
  EXPECT_EQ(tree->FocusedKey(), b);
  EXPECT_FALSE(MoveSnippetToRoot(s(), 999));
}

TEST_F(SnippetStoreTest, FocusSnippetIgnoresUnknownAndNonPositiveIds) {
  const int32_t a = Root("A");
  const int32_t b = Root("B");
  FocusSnippet(s(), b);
  EXPECT_EQ(tree->FocusedKey(), b);
  FocusSnippet(s(), 0);
  FocusSnippet(s(), -a);
  FocusSnippet(s(), 12345);
  EXPECT_EQ(tree->FocusedKey(), b);
}

TEST_F(SnippetStoreTest, PreviewNavigatesOrStopsABusyPreview) {
  auto preview = browser::WebBrowser::Create();
  session->SnippetPreview = BrowserRef(preview.get());
  const int32_t a = Root("A");
  PreviewSnippet(s());  // nothing focused
  EXPECT_EQ(preview->LocationURL(), "");
  Focus(a);
  // A slow page keeps the preview busy.
  server.server().Get("/slow", [](const httplib::Request&, httplib::Response& r) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    r.set_content("<p>slow</p>", "text/html");
  });
  preview->Navigate(server.Url("/slow"));
  ASSERT_TRUE(preview->Busy());
  PreviewSnippet(s());
  EXPECT_EQ(Status(), "Snippet preview is busy...");
  EXPECT_FALSE(preview->Busy());
  // A snippet that is gone is not previewed.
  Exec("DELETE FROM SNIPPETS");
  s().SetStatusText("");
  PreviewSnippet(s());
  EXPECT_FALSE(preview->Busy());
}

TEST_F(SnippetStoreTest, ATenMegabytePageIsStoredWhole) {
  std::string body;
  const std::string words(10 * 1024, 'w');
  while (body.size() < 10u * 1024 * 1024) body += "<p>" + words + "</p>";
  const int32_t root = Root("R");
  s().ParentKey = root;
  AddSnippet(s(), body, "Big");
  EXPECT_EQ(Sql("SELECT length(Snippet) > 10485760 FROM SNIPPETS WHERE Name = 'Big'"), "1\n");
}

TEST_F(SnippetStoreTest, PropertiesShowTheSnippetAndItsPageAndOkStoresNameAndNote) {
  ShowPage(
      "<html><head><title>Props</title><meta name=keywords content='kw1, kw2'></head>"
      "<body><p>x</p></body></html>");
  UpdateVisit(s(), s().Browser->LocationURL(), "Props");
  const int32_t root = Root("R");
  s().ParentKey = root;
  AddSnippet(s(), "<p>x</p>", "Named");
  const int32_t id = s().LastSnippetID;
  {
    TfrmSnipProperties dialog(s(), id);
    EXPECT_EQ(dialog.Caption(), "Snippet Properties");
    EXPECT_EQ(dialog.EditName.Text(), "Named");
    EXPECT_EQ(dialog.EditUrl.Text(), s().Browser->LocationURL());
    EXPECT_EQ(dialog.EditHits.Text(), "1");
    EXPECT_FALSE(dialog.EditFirstVisit.Text().empty());
    EXPECT_FALSE(dialog.EditLastVisit.Text().empty());
    EXPECT_TRUE(dialog.EditUrl.ReadOnly());
    dialog.EditName.SetText("Renamed 'it'");
    dialog.MemoNote.SetText("a note");
    dialog.OkClick();
  }
  EXPECT_EQ(Sql("SELECT Name, Note FROM SNIPPETS WHERE ID = " + std::to_string(id)),
            "Renamed 'it'|a note\n");

  // A snippet whose page row is gone shows empty page fields.
  Exec("UPDATE SNIPPETS SET URL_ID = 4242 WHERE ID = " + std::to_string(id));
  TfrmSnipProperties orphan(s(), id);
  EXPECT_EQ(orphan.EditName.Text(), "Renamed 'it'");
  EXPECT_EQ(orphan.EditUrl.Text(), "");
  EXPECT_EQ(orphan.EditHits.Text(), "");
  TfrmSnipProperties none(s(), 999);
  EXPECT_EQ(none.EditName.Text(), "");
}

// A process killed in the middle of a burst of saves keeps every save it had reported.
TEST_F(SnippetStoreTest, SavesReportedBeforeAKillSurviveIt) {
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  pid_t child = fork();
  if (child == 0) {
    close(pipefd[0]);
    TmyDOM cs;
    TDataModule1 m;
    AttachDataModule(cs, m);
    SetStorageMessageBox([](const std::string&, const std::string&) {});
    OpenDatabase(cs, app);
    for (int i = 0;; ++i) {
      cs.ParentKey.reset();
      AddSnippet(cs, "<p>body " + std::to_string(i) + "</p>", "");
      cs.ParentKey = cs.LastSnippetID;
      AddSnippet(cs, "<p>child " + std::to_string(i) + "</p>", "c" + std::to_string(i));
      if (write(pipefd[1], &i, sizeof i) != sizeof i) _exit(1);
    }
  }
  close(pipefd[1]);
  int last = -1, got = 0;
  while (got < 40 && read(pipefd[0], &last, sizeof last) == sizeof last) ++got;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(pipefd[0]);
  ASSERT_EQ(got, 40);
  EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok\n");
  for (int i = 0; i <= last; ++i) {
    EXPECT_EQ(Sql("SELECT count(*) FROM SNIPPETS WHERE Name = 'c" + std::to_string(i) +
                  "' AND Snippet LIKE '%child " + std::to_string(i) + "<%'"),
              "1\n")
        << i;
  }
}

}  // namespace
}  // namespace vt
