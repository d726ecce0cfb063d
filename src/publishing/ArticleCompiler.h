#pragma once
// The article compiler and the view of one stored snippet.
//
// An article is a snippet and everything below it in the snippet tree, in the order the tree
// shows them: each snippet becomes a full-width table with a heading cell (class "chead": the
// snippet's name in bold and its source address) above a cell with the snippet's mark-up.
//
// Threading: the UI thread only. The session is borrowed.
#include <cstdint>
#include <string>

namespace vt {

class TmyDOM;
namespace widgets {
class TreeList;
}

// The article mark-up of snippet `snippet_id` and its descendants in the session's snippet tree
// (session.SnippetTree); shows "Compiled N snippets" on the session's status bar. An ID that no
// tree node carries gives "" and "Compiled 0 snippets". Database and tree failures are thrown to
// the caller.
std::string CompileSnippets(TmyDOM& session, std::int32_t snippet_id);

// The same over an explicit tree whose nodes carry snippet IDs as their value (column 1).
std::string CompileSnippets(TmyDOM& session, widgets::TreeList& tree, std::int32_t snippet_id);

// "http://vellumtrace.localhost/viewsnippet?id=" + the ID in decimal. The session is not used.
std::string SnippetViewUrl(TmyDOM* session, std::int32_t snippet_id);

// Opens the view of the snippet in a new browser window.
void ViewSnippetInNewWindow(TmyDOM& session, std::int32_t snippet_id);

// "http://vellumtrace.localhost/compilesnippets?id=" + the ID in decimal: the article of the
// snippet and everything below it.
std::string CompiledArticleUrl(std::int32_t snippet_id);

// Opens the article of the snippet and its subtree in a new browser window (the band's state is
// saved first, through the session's BeforeNewWindow).
void CompileSnippetsInNewWindow(TmyDOM& session, std::int32_t snippet_id);

}  // namespace vt
