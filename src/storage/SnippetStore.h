#pragma once
// The snippet store: whole pages, selections and dissected elements kept as complete pages in
// table SNIPPETS, in a tree whose rows name their parent by Parent_ID. These are operations of
// the page session; the snippet tree is the session's SnippetTree (a data-bound tree list over
// SNIPPETS), the preview browser its SnippetPreview. UI thread only.
//
// Where a new snippet goes is the session's ParentKey: empty = a new root, a positive ID = a new
// child of that snippet, a negative value = the snippet -ParentKey is overwritten in place (it
// keeps its ID and its place in the tree). BlankSnippet makes the next child an empty
// "New Snippet". Callers set both before a save; ParentKey keeps its value between saves.
//
// Failures: the save operations catch nothing; database errors and a missing document reach the
// command that called them.
#include <cstdint>
#include <string>

namespace vt {

class TmyDOM;
namespace widgets {
class DBTreeList;
}

inline constexpr const char* kNewSnippetName = "New Snippet";

// Stores `html` wrapped in the page template as a snippet named `name` (or after the page's
// title, or "New Snippet"), linked to the browser's current page, where ParentKey says. Shows
// "Snippet saved as "<name>"" once the content is stored. Sets LastSnippetID.
void AddSnippet(TmyDOM& session, const std::string& html, const std::string& name);

// The whole page body as a child of the focused snippet; the parent stays focused.
void SavePageAsSnippet(TmyDOM& session);
// The selected text of the page (or of the selected element's frame), named after its first 50
// characters, as a child of the focused snippet.
void SaveSelectionAsSnippet(TmyDOM& session);
// The element of the selected filter entry (its mark-up, or the filter page of a frame or group
// entry), named after the entry, as a child of the focused snippet. Nothing without a selected
// entry.
void SaveItemAsSnippet(TmyDOM& session);
// The filter tree's save: the selected entry's filter page under its title, as a child of the
// focused snippet. Nothing without a selected entry.
void SaveFilterEntryAsSnippet(TmyDOM& session);

// Navigates the preview browser to the focused snippet's view (or stops it while it is busy).
// Nothing without a focused node, during a drag, or when the snippet no longer exists.
void PreviewSnippet(TmyDOM& session);

// Makes the node of snippet `id` visible, focused and selected; nothing for id <= 0 or an ID no
// node carries.
void FocusSnippet(TmyDOM& session, std::int32_t id);

// Gives snippet `id` (> 0) a new, non-empty name by an SQL update and re-reads SNIPPETS. Returns
// false (and changes nothing) for an empty name or an ID <= 0. Errors are shown as ExecuteSQL's.
bool RenameSnippet(TmyDOM& session, std::int32_t id, const std::string& name);

// Makes snippet `id` a root (Parent_ID 0) and focuses its node. False when there is no such row.
bool MoveSnippetToRoot(TmyDOM& session, std::int32_t id);

// The session's snippet tree; nullptr when it has none.
widgets::DBTreeList* SnippetTreeOf(TmyDOM& session);

// Clears the tree's selection and makes the node of `key` visible, focused and selected; false
// (and the tree unchanged) when no node has that key.
bool RefocusSnippetTree(TmyDOM& session, std::int32_t key);

}  // namespace vt
