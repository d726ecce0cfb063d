#pragma once
// The tree list: a tree of nodes with text columns (column 0 shown, further columns usually
// hidden; column 1 carries the node's integer value as text), an image and a selected image,
// expansion, one focused node and a (multiple) selection.
//
// Nodes are reached through TreeNode handles. A handle never dangles: once its node is removed
// (or the tree destroyed) it reports Valid() == false, reads as empty/0/-1 and ignores writes.
// Adding and removing nodes report one change to the display per burst (see control.h); wrap
// large rebuilds in BeginUpdate/EndUpdate to skip intermediate work as well.

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/widgets/control.h"

namespace vt::widgets {

class TreeList;
namespace detail {
struct TreeNodeData;
}

class TreeNode {
 public:
  TreeNode() = default;

  bool Valid() const;
  explicit operator bool() const { return Valid(); }
  bool operator==(const TreeNode& other) const;
  int Id() const;  // unique within its tree; 0 when gone
  TreeList* Owner() const;

  std::string Text(int column = 0) const;  // empty for a missing column
  void SetText(const std::string& text) { SetText(0, text); }
  void SetText(int column, const std::string& text);
  // Column 1 as an integer: 0 when it is not a decimal integer.
  int Value() const;
  void SetValue(int value);  // column 1 = decimal text
  int ImageIndex() const;    // -1 = none
  void SetImageIndex(int index);
  int SelectedIndex() const;  // image shown while the node is focused; -1 = none
  void SetSelectedIndex(int index);

  TreeNode Parent() const;  // empty for a root node
  size_t Count() const;     // direct children
  bool HasChildren() const { return Count() > 0; }
  TreeNode Item(size_t index) const;  // empty past the end
  int Index() const;                  // position among its siblings; -1 when gone
  int Level() const;                  // 0 for root nodes; -1 when gone
  bool IsAncestorOf(const TreeNode& node) const;
  // Neighbours in display order (depth first, parents before children), regardless of
  // expansion; empty at either end.
  TreeNode Prev() const;
  TreeNode Next() const;

  bool Expanded() const;
  void Expand(bool recurse = false);
  void Collapse(bool recurse = false);
  bool Selected() const;
  void SetSelected(bool selected);  // adds to or removes from the selection
  bool Focused() const;
  void SetFocused();  // TreeList::SetFocusedNode
  void MakeVisible();

  TreeNode AddChild(const std::string& text);
  void Delete();  // removes the node and everything below it

 private:
  friend class TreeList;
  explicit TreeNode(std::weak_ptr<detail::TreeNodeData> data) : data_(std::move(data)) {}
  std::shared_ptr<detail::TreeNodeData> Lock() const { return data_.lock(); }
  std::weak_ptr<detail::TreeNodeData> data_;
};

struct TreeColumn {
  std::string caption;
  bool visible = true;
  int width = 0;
};

class TreeList : public Control {
 public:
  // A new tree has two columns: 0 shown, 1 hidden (the value column).
  explicit TreeList(std::string name, Control* parent = nullptr);
  ~TreeList() override;

  // Columns.
  const std::vector<TreeColumn>& Columns() const { return columns_; }
  void SetColumns(std::vector<TreeColumn> columns);
  bool ShowHeader() const { return show_header_; }
  void SetShowHeader(bool show);
  bool ShowGrid() const { return show_grid_; }
  void SetShowGrid(bool show);
  bool MultiSelect() const { return multi_select_; }
  void SetMultiSelect(bool on);
  // Image names the display maps node image indexes to (e.g. "table", "image", "link").
  void SetImageList(std::vector<std::string> names);
  // Keeps the column layout (captions, visibility, widths) under this key of HKEY_CURRENT_USER,
  // in the value "<control name>.Layout" (a JSON array); setting the key applies a stored
  // layout. Column changes are written from then on; registry failures are ignored.
  void SetLayoutKey(std::string key);
  const std::string& LayoutKey() const { return layout_key_; }
  void SetColumnWidth(int column, int width);

  // Nodes.
  TreeNode Add(const std::string& text);  // at the root, after the last root node
  TreeNode AddChild(const TreeNode& parent, const std::string& text);  // root when parent empty
  // Inserts before `sibling` (at the end of the root when `sibling` is empty or gone).
  TreeNode Insert(const TreeNode& sibling, const std::string& text);
  void Remove(const TreeNode& node);
  void Clear();  // removes all nodes
  // Moves `node` under `new_parent` (root when empty), after its last child. Refused (false)
  // when new_parent is the node itself or below it.
  bool MoveTo(const TreeNode& node, const TreeNode& new_parent);
  // The same, placed before `before` (a child of new_parent); at the end when `before` is empty.
  bool MoveTo(const TreeNode& node, const TreeNode& new_parent, const TreeNode& before);
  void Refresh() { Changed(); }
  size_t RootCount() const { return roots_.size(); }
  TreeNode Root(size_t index) const;
  size_t NodeCount() const { return by_id_.size(); }
  TreeNode FindNode(int id) const;  // by node id; empty when absent
  // First node in display order whose column text equals `text`; empty when none.
  TreeNode FindByText(int column, const std::string& text) const;
  // Calls fn for every node in display order; stops early when fn returns false. Nodes that fn
  // removes are skipped.
  void ForEachNode(const std::function<bool(const TreeNode&)>& fn) const;
  TreeNode First() const { return Root(0); }
  TreeNode Last() const;  // last node in display order

  // Expansion and visibility.
  void ExpandAll();
  void CollapseAll();
  void MakeVisible(const TreeNode& node);  // expands its ancestors; the display scrolls to it
  TreeNode TopNode() const;                // the node last made visible

  // Focus and selection. Setting the focused node makes it visible and raises
  // OnFocusedNodeChanged when it differs from the previous one (also when removal clears it).
  TreeNode FocusedNode() const;
  void SetFocusedNode(const TreeNode& node);
  void Select(const TreeNode& node, bool add = false);  // without add: the only selected node
  void ClearSelection();
  size_t SelectionCount() const;
  TreeNode Selection(size_t index) const;  // in the order of selecting

  // The tree's own in-place editor.
  bool IsEditing() const { return Valid(editing_); }
  TreeNode EditingNode() const;
  const std::string& EditText() const { return edit_text_; }
  // Starts editing a node's column-0 text; OnEditing may refuse. Returns whether it started.
  bool StartEditing(const TreeNode& node);
  void SetEditText(const std::string& text);
  // Ends editing; with accept the text becomes the node's text and OnEdited runs.
  void EndEditing(bool accept);

  // Drag and drop.
  bool Dragging() const { return dragging_; }

  std::function<void(TreeList& sender, TreeNode old_node, TreeNode new_node)> OnFocusedNodeChanged;
  std::function<void(TreeList& sender, TreeNode node, bool& allow)> OnEditing;
  std::function<void(TreeList& sender, TreeNode node, const std::string& text)> OnEdited;
  std::function<void(TreeList& sender, TreeNode node)> OnExpanded;
  std::function<void(TreeList& sender, TreeNode node)> OnCollapsed;
  // Nodes dropped onto `target` (empty target = the empty area below the nodes).
  std::function<void(TreeList& sender, TreeNode target, std::vector<TreeNode> nodes)> OnDragDrop;
  // Asked while dragging over a target; accept defaults to true.
  std::function<void(TreeList& sender, TreeNode target, bool& accept)> OnDragOver;

 protected:
  TreeList(std::string kind, std::string name, Control* parent);
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;
  void DoClick(const Json& input) override;
  void DoDblClick(const Json& input) override;
  void DoContextPopup(Point screen, const Json& input) override;
  // Hooks for data-bound trees; the defaults raise the matching event.
  virtual void FocusChanged(TreeNode old_node, TreeNode new_node);
  virtual void NodeEdited(TreeNode node, const std::string& text);
  virtual void NodesDropped(TreeNode target, std::vector<TreeNode> nodes);
  // Node named by the input's "node" field; empty when absent or stale.
  TreeNode InputNode(const Json& input, const char* key = "node") const;
  // Whether the description carries the children of collapsed nodes (default), or only their
  // number ("childCount"): for large trees whose display draws only what is expanded.
  void SetDescribeCollapsedChildren(bool on) { describe_collapsed_children_ = on; }

 private:
  friend class TreeNode;
  using NodePtr = std::shared_ptr<detail::TreeNodeData>;
  static bool Valid(const std::weak_ptr<detail::TreeNodeData>& w) { return !w.expired(); }
  TreeNode Wrap(const NodePtr& node) const { return TreeNode(node); }
  NodePtr NewNode(detail::TreeNodeData* parent, const std::string& text);
  std::vector<NodePtr>& SiblingsOf(detail::TreeNodeData* parent);
  void Unregister(detail::TreeNodeData& node, bool& lost_focus);
  void SetExpandedAll(std::vector<NodePtr>& nodes, bool expand);
  void DescribeNodes(const std::vector<NodePtr>& nodes, Json& out) const;

  std::vector<TreeColumn> columns_;
  std::vector<std::string> image_list_;
  bool show_header_ = false;
  bool show_grid_ = true;
  bool multi_select_ = false;
  std::vector<NodePtr> roots_;
  std::unordered_map<int, detail::TreeNodeData*> by_id_;
  int next_node_id_ = 1;
  std::weak_ptr<detail::TreeNodeData> focused_;
  std::weak_ptr<detail::TreeNodeData> top_;
  std::vector<std::weak_ptr<detail::TreeNodeData>> selection_;
  std::weak_ptr<detail::TreeNodeData> editing_;
  std::string edit_text_;
  bool dragging_ = false;
  bool right_click_focus_ = true;
  bool describe_collapsed_children_ = true;
  std::string layout_key_;
  void SaveLayout() const;
  // Ctrl or Shift clicks of a multi-selecting tree; false for a plain click.
  bool ExtendSelection(const TreeNode& node, const Json& input);
};

}  // namespace vt::widgets
