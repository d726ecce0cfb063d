#include "publishing/ArticleCompiler.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "../search/test_program.h"
#include "golden.h"
#include "platform/ado/table.h"
#include "platform/widgets/treelist.h"
#include "publishing/PageTemplate.h"

namespace vt {
namespace {

using testing::Golden;

// The snippet tree as the snippets tab shows it:
//   Alpha
//     Xray
//       Delta
//     Bravo's <draft>
//   Charlie
// Xray is stored after Bravo, so the tree's order differs from the order of the IDs.
class ArticleCompilerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_.Session().SnippetTree = &tree_;
    program_.Session().Connection->Execute(
        "INSERT INTO URL (URL, Title) VALUES ('http://example.com/a.html?x=1&y=2', 'A')");
    const int url_id = static_cast<int>(program_.Scalar("SELECT MAX(ID) FROM URL"));
    alpha_ = AddSnippet("Alpha", "<p>Alpha <b>text</b></p>", url_id);
    bravo_ = AddSnippet("Bravo's <draft>", "<i>Bravo</i>", 999);  // no such URL row
    xray_ = AddSnippet("Xray", "<p>Xray</p>", std::nullopt);
    delta_ = AddSnippet("Delta", "<u>Delta</u>", std::nullopt);
    charlie_ = AddSnippet("Charlie", "<p>Charlie</p>", url_id);

    widgets::TreeNode alpha = Node(tree_.Add("Alpha"), alpha_);
    widgets::TreeNode xray = Node(alpha.AddChild("Xray"), xray_);
    Node(xray.AddChild("Delta"), delta_);
    Node(alpha.AddChild("Bravo's <draft>"), bravo_);
    Node(tree_.Add("Charlie"), charlie_);
  }

  int AddSnippet(const std::string& name, const std::string& markup, std::optional<int> url_id) {
    ado::Table& snippets = *program_.Session().SNIPPETS;
    snippets.Insert();
    snippets.FieldByName("Name").SetValue(name);
    snippets.FieldByName("Snippet").SetValue(markup);
    if (url_id) snippets.FieldByName("URL_ID").SetValue(*url_id);
    snippets.Post();
    return snippets.FieldByName("ID").AsInteger();
  }

  static widgets::TreeNode Node(widgets::TreeNode node, int id) {
    node.SetValue(id);
    return node;
  }

  testing::TestProgram program_;
  widgets::TreeList tree_{"DBTL1"};
  int alpha_ = 0, bravo_ = 0, xray_ = 0, delta_ = 0, charlie_ = 0;
};

TEST_F(ArticleCompilerTest, ArticleFollowsTheTreeAndStopsAfterTheSubtree) {
  std::string article = CompileSnippets(program_.Session(), alpha_);
  EXPECT_EQ(program_.StatusText(), "Compiled 4 snippets");
  // As the protocol handler serves it: default title, no base.
  EXPECT_EQ(WrapInPageTemplateFor("/home/ann/.local/share/vellumtrace/", article, "", ""),
            Golden("compiled_article.html"));
}

TEST_F(ArticleCompilerTest, LastSiblingGivesOnlyItsOwnSubtree) {
  EXPECT_EQ(CompileSnippets(program_.Session(), bravo_), Golden("one_snippet.html"));
  EXPECT_EQ(program_.StatusText(), "Compiled 1 snippets");

  std::string xray = CompileSnippets(program_.Session(), xray_);
  EXPECT_EQ(program_.StatusText(), "Compiled 2 snippets");
  EXPECT_NE(xray.find("<u>Delta</u>"), std::string::npos);
  EXPECT_EQ(xray.find("Bravo"), std::string::npos);

  std::string charlie = CompileSnippets(program_.Session(), charlie_);
  EXPECT_EQ(program_.StatusText(), "Compiled 1 snippets");
  EXPECT_NE(charlie.find("<br>http://example.com/a.html?x=1&amp;y=2 , keywords"),
            std::string::npos);
}

TEST_F(ArticleCompilerTest, UnknownIdGivesAnEmptyArticle) {
  EXPECT_EQ(CompileSnippets(program_.Session(), 4711), "");
  EXPECT_EQ(program_.StatusText(), "Compiled 0 snippets");
}

TEST_F(ArticleCompilerTest, NodeWithoutItsRowShowsNothingOfAnotherSnippet) {
  Node(tree_.Root(1).AddChild("gone"), 5000);
  std::string article = CompileSnippets(program_.Session(), charlie_);
  EXPECT_EQ(program_.StatusText(), "Compiled 2 snippets");
  EXPECT_NE(article.find("</table><p><p><table width=\"100%\" border=0><tr><td class=chead><b></b>"
                         "<br> , keywords, description, date created</td></tr><tr><td></td></tr>"),
            std::string::npos);
  // The name and the mark-up of Charlie, once each: the missing row does not repeat them.
  std::size_t charlie = 0;
  for (auto at = article.find("Charlie"); at != std::string::npos;
       at = article.find("Charlie", at + 1))
    ++charlie;
  EXPECT_EQ(charlie, 2u);
}

TEST_F(ArticleCompilerTest, ClosedSnippetTableIsTheCallersError) {
  program_.Session().SNIPPETS->Close();
  EXPECT_THROW(CompileSnippets(program_.Session(), alpha_), std::exception);
}

TEST(SnippetViewUrl, AddressesThePrivateHost) {
  EXPECT_EQ(SnippetViewUrl(nullptr, 42), "http://vellumtrace.localhost/viewsnippet?id=42");
}

}  // namespace
}  // namespace vt
