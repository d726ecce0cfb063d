#include "publishing/ArticleCompiler.h"

#include <stdexcept>

#include "core/myDOM.h"
#include "core/privatehost.h"
#include "platform/ado/table.h"
#include "platform/widgets/treelist.h"
#include "publishing/PageTemplate.h"
#include "storage/urlRecords.h"

namespace vt {
namespace {

// One snippet as a heading row over a content row, followed by two empty paragraphs.
void AppendSnippet(std::string& out, const std::string& name, const std::string& source_url,
                   const std::string& markup) {
  out += "<table width=\"100%\" border=0>";
  out += "<tr><td class=chead>";
  out += "<b>";
  out += EscapeHtmlText(name);
  out += "</b>";
  out += "<br>";
  out += EscapeHtmlText(source_url);
  out += " ";
  out += ", keywords, description, date created";
  out += "</td></tr>";
  out += "<tr><td>";
  out += markup;
  out += "</td></tr>";
  out += "</table>";
  out += "<p><p>";
}

widgets::TreeNode FindSnippetNode(const widgets::TreeList& tree, std::int32_t snippet_id) {
  return tree.FindByText(1, std::to_string(snippet_id));
}

}  // namespace

std::string CompileSnippets(TmyDOM& session, widgets::TreeList& tree, std::int32_t snippet_id) {
  std::string out;
  int count = 0;
  const widgets::TreeNode start = FindSnippetNode(tree, snippet_id);
  // The walk follows the tree's display order and stops at the first node outside the start
  // node's subtree, so the nodes after the subtree are never part of the article, even when the
  // start node is the last of its siblings.
  for (widgets::TreeNode node = start; node && (node == start || start.IsAncestorOf(node));
       node = node.Next()) {
    if (session.SNIPPETS == nullptr) throw std::runtime_error("Table SNIPPETS is not open");
    ado::Table& snippets = *session.SNIPPETS;
    std::string name, markup, source_url;
    if (snippets.Locate("ID", ado::Variant(node.Value()), ado::loCaseInsensitive)) {
      markup = snippets.FieldByName("Snippet").AsString();
      name = snippets.FieldByName("Name").AsString();
      ado::Variant url_id = snippets.FieldByName("URL_ID").Value();
      if (!url_id.IsNull()) source_url = GetUrlById(session, url_id.AsInteger());
    }
    ++count;
    AppendSnippet(out, name, source_url, markup);
  }
  session.SetStatusText("Compiled " + std::to_string(count) + " snippets");
  return out;
}

std::string CompileSnippets(TmyDOM& session, std::int32_t snippet_id) {
  auto* tree = dynamic_cast<widgets::TreeList*>(session.SnippetTree);
  if (tree == nullptr) throw std::runtime_error("The snippet tree is not available");
  return CompileSnippets(session, *tree, snippet_id);
}

std::string SnippetViewUrl(TmyDOM* /*session*/, std::int32_t snippet_id) {
  return "http://" + std::string(kPrivateHost) + "/viewsnippet" +
         "?id=" + std::to_string(snippet_id);
}

void ViewSnippetInNewWindow(TmyDOM& session, std::int32_t snippet_id) {
  session.OpenInNewWindow(SnippetViewUrl(&session, snippet_id));
}

std::string CompiledArticleUrl(std::int32_t snippet_id) {
  return "http://" + std::string(kPrivateHost) + "/compilesnippets" +
         "?id=" + std::to_string(snippet_id);
}

void CompileSnippetsInNewWindow(TmyDOM& session, std::int32_t snippet_id) {
  session.OpenInNewWindow(CompiledArticleUrl(snippet_id));
}

}  // namespace vt
