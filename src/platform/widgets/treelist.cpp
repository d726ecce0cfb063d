#include "platform/widgets/treelist.h"

#include <algorithm>
#include <charconv>

namespace vt::widgets {
namespace detail {

struct TreeNodeData {
  TreeList* tree = nullptr;  // null once removed
  int id = 0;
  TreeNodeData* parent = nullptr;
  std::vector<std::string> texts;
  int image = -1;
  int selected_image = -1;
  bool expanded = false;
  bool selected = false;
  std::vector<std::shared_ptr<TreeNodeData>> children;
};

}  // namespace detail

using detail::TreeNodeData;

namespace {

int IndexIn(const std::vector<std::shared_ptr<TreeNodeData>>& list, const TreeNodeData* node) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].get() == node) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

// ---- TreeNode ----

bool TreeNode::Valid() const {
  auto n = Lock();
  return n && n->tree;
}

bool TreeNode::operator==(const TreeNode& other) const {
  auto a = Lock();
  auto b = other.Lock();
  return a == b;
}

#define VT_NODE_OR(fallback) \
  auto n = Lock();           \
  if (!n || !n->tree) return fallback

int TreeNode::Id() const {
  VT_NODE_OR(0);
  return n->id;
}

TreeList* TreeNode::Owner() const {
  VT_NODE_OR(nullptr);
  return n->tree;
}

std::string TreeNode::Text(int column) const {
  VT_NODE_OR(std::string());
  if (column < 0 || static_cast<size_t>(column) >= n->texts.size()) return std::string();
  return n->texts[column];
}

void TreeNode::SetText(int column, const std::string& text) {
  VT_NODE_OR();
  if (column < 0 || column > 255) return;
  if (static_cast<size_t>(column) >= n->texts.size()) n->texts.resize(column + 1);
  if (n->texts[column] == text) return;
  n->texts[column] = text;
  n->tree->Changed();
}

int TreeNode::Value() const {
  std::string text = Text(1);
  int value = 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  while (begin < end && *begin == ' ') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || begin == end) return 0;
  return value;
}

void TreeNode::SetValue(int value) {
  SetText(1, std::to_string(value));
}

int TreeNode::ImageIndex() const {
  VT_NODE_OR(-1);
  return n->image;
}

void TreeNode::SetImageIndex(int index) {
  VT_NODE_OR();
  if (n->image == index) return;
  n->image = index;
  n->tree->Changed();
}

int TreeNode::SelectedIndex() const {
  VT_NODE_OR(-1);
  return n->selected_image;
}

void TreeNode::SetSelectedIndex(int index) {
  VT_NODE_OR();
  if (n->selected_image == index) return;
  n->selected_image = index;
  n->tree->Changed();
}

TreeNode TreeNode::Parent() const {
  VT_NODE_OR(TreeNode());
  if (!n->parent) return TreeNode();
  auto& siblings = n->parent->parent ? n->parent->parent->children : n->tree->roots_;
  int i = IndexIn(siblings, n->parent);
  return i < 0 ? TreeNode() : TreeNode(siblings[i]);
}

size_t TreeNode::Count() const {
  VT_NODE_OR(0);
  return n->children.size();
}

TreeNode TreeNode::Item(size_t index) const {
  VT_NODE_OR(TreeNode());
  return index < n->children.size() ? TreeNode(n->children[index]) : TreeNode();
}

int TreeNode::Index() const {
  VT_NODE_OR(-1);
  return IndexIn(n->tree->SiblingsOf(n->parent), n.get());
}

int TreeNode::Level() const {
  VT_NODE_OR(-1);
  int level = 0;
  for (auto* p = n->parent; p; p = p->parent) ++level;
  return level;
}

bool TreeNode::IsAncestorOf(const TreeNode& node) const {
  auto self = Lock();
  auto other = node.Lock();
  if (!self || !other || !self->tree) return false;
  for (auto* p = other->parent; p; p = p->parent) {
    if (p == self.get()) return true;
  }
  return false;
}

TreeNode TreeNode::Prev() const {
  VT_NODE_OR(TreeNode());
  auto& siblings = n->tree->SiblingsOf(n->parent);
  int i = IndexIn(siblings, n.get());
  if (i <= 0) return Parent();
  // The last node below the previous sibling.
  std::shared_ptr<TreeNodeData> p = siblings[i - 1];
  while (!p->children.empty()) p = p->children.back();
  return TreeNode(p);
}

TreeNode TreeNode::Next() const {
  VT_NODE_OR(TreeNode());
  if (!n->children.empty()) return TreeNode(n->children.front());
  TreeNodeData* child = n.get();
  for (TreeNodeData* p = n->parent;; p = p->parent) {
    auto& siblings = n->tree->SiblingsOf(p);
    int i = IndexIn(siblings, child);
    if (i >= 0 && static_cast<size_t>(i) + 1 < siblings.size()) return TreeNode(siblings[i + 1]);
    if (!p) return TreeNode();
    child = p;
  }
}

bool TreeNode::Expanded() const {
  VT_NODE_OR(false);
  return n->expanded;
}

void TreeNode::Expand(bool recurse) {
  VT_NODE_OR();
  TreeList* tree = n->tree;
  bool was = n->expanded;
  n->expanded = true;
  if (recurse) tree->SetExpandedAll(n->children, true);
  tree->Changed();
  if (!was && tree->OnExpanded) tree->OnExpanded(*tree, *this);
}

void TreeNode::Collapse(bool recurse) {
  VT_NODE_OR();
  TreeList* tree = n->tree;
  bool was = n->expanded;
  n->expanded = false;
  if (recurse) tree->SetExpandedAll(n->children, false);
  tree->Changed();
  if (was && tree->OnCollapsed) tree->OnCollapsed(*tree, *this);
}

bool TreeNode::Selected() const {
  VT_NODE_OR(false);
  return n->selected;
}

void TreeNode::SetSelected(bool selected) {
  VT_NODE_OR();
  if (selected) {
    n->tree->Select(*this, true);
  } else if (n->selected) {
    n->selected = false;
    auto& sel = n->tree->selection_;
    sel.erase(std::remove_if(sel.begin(), sel.end(),
                             [&](const std::weak_ptr<TreeNodeData>& w) { return w.lock() == n; }),
              sel.end());
    n->tree->Changed();
  }
}

bool TreeNode::Focused() const {
  VT_NODE_OR(false);
  return n->tree->focused_.lock() == n;
}

void TreeNode::SetFocused() {
  VT_NODE_OR();
  n->tree->SetFocusedNode(*this);
}

void TreeNode::MakeVisible() {
  VT_NODE_OR();
  n->tree->MakeVisible(*this);
}

TreeNode TreeNode::AddChild(const std::string& text) {
  VT_NODE_OR(TreeNode());
  return n->tree->AddChild(*this, text);
}

void TreeNode::Delete() {
  VT_NODE_OR();
  n->tree->Remove(*this);
}

#undef VT_NODE_OR

// ---- TreeList ----

TreeList::TreeList(std::string name, Control* parent)
    : TreeList("treelist", std::move(name), parent) {}

TreeList::TreeList(std::string kind, std::string name, Control* parent)
    : Control(std::move(kind), std::move(name), parent), columns_{{"", true, 0}, {"", false, 0}} {}

TreeList::~TreeList() {
  // Handles must see the nodes as gone even if someone still shares one.
  for (auto& [id, node] : by_id_) node->tree = nullptr;
}

void TreeList::SetColumns(std::vector<TreeColumn> columns) {
  columns_ = std::move(columns);
  SaveLayout();
  Changed();
}

void TreeList::SetColumnWidth(int column, int width) {
  if (column < 0 || static_cast<size_t>(column) >= columns_.size() || width < 0) return;
  if (columns_[static_cast<size_t>(column)].width == width) return;
  columns_[static_cast<size_t>(column)].width = width;
  SaveLayout();
  Changed();
}

void TreeList::SetShowHeader(bool show) {
  if (show_header_ == show) return;
  show_header_ = show;
  Changed();
}

void TreeList::SetShowGrid(bool show) {
  if (show_grid_ == show) return;
  show_grid_ = show;
  Changed();
}

void TreeList::SetMultiSelect(bool on) {
  if (multi_select_ == on) return;
  multi_select_ = on;
  Changed();
}

void TreeList::SetImageList(std::vector<std::string> names) {
  image_list_ = std::move(names);
  Changed();
}

std::vector<TreeList::NodePtr>& TreeList::SiblingsOf(TreeNodeData* parent) {
  return parent ? parent->children : roots_;
}

TreeList::NodePtr TreeList::NewNode(TreeNodeData* parent, const std::string& text) {
  auto node = std::make_shared<TreeNodeData>();
  node->tree = this;
  node->id = next_node_id_++;
  node->parent = parent;
  node->texts.push_back(text);
  by_id_.emplace(node->id, node.get());
  return node;
}

TreeNode TreeList::Add(const std::string& text) {
  return AddChild(TreeNode(), text);
}

TreeNode TreeList::AddChild(const TreeNode& parent, const std::string& text) {
  auto p = parent.Lock();
  if (p && p->tree != this) return TreeNode();
  TreeNodeData* raw = p && p->tree ? p.get() : nullptr;
  auto node = NewNode(raw, text);
  SiblingsOf(raw).push_back(node);
  Changed();
  return TreeNode(node);
}

TreeNode TreeList::Insert(const TreeNode& sibling, const std::string& text) {
  auto s = sibling.Lock();
  if (!s || s->tree != this) return Add(text);
  auto& siblings = SiblingsOf(s->parent);
  auto node = NewNode(s->parent, text);
  siblings.insert(siblings.begin() + IndexIn(siblings, s.get()), node);
  Changed();
  return TreeNode(node);
}

void TreeList::Unregister(TreeNodeData& node, bool& lost_focus) {
  for (auto& child : node.children) Unregister(*child, lost_focus);
  if (focused_.lock().get() == &node) {
    focused_.reset();
    lost_focus = true;
  }
  if (editing_.lock().get() == &node) editing_.reset();
  if (node.selected) {
    node.selected = false;
    selection_.erase(std::remove_if(selection_.begin(), selection_.end(),
                                    [&](const std::weak_ptr<TreeNodeData>& w) {
                                      return w.lock().get() == &node;
                                    }),
                     selection_.end());
  }
  by_id_.erase(node.id);
  node.tree = nullptr;
}

void TreeList::Remove(const TreeNode& handle) {
  auto node = handle.Lock();
  if (!node || node->tree != this) return;
  bool lost_focus = false;
  Unregister(*node, lost_focus);
  auto& siblings = SiblingsOf(node->parent);
  siblings.erase(siblings.begin() + IndexIn(siblings, node.get()));
  node->parent = nullptr;
  Changed();
  if (lost_focus) FocusChanged(TreeNode(), TreeNode());
}

void TreeList::Clear() {
  if (roots_.empty()) return;
  bool lost_focus = false;
  for (auto& root : roots_) Unregister(*root, lost_focus);
  roots_.clear();
  selection_.clear();
  top_.reset();
  Changed();
  if (lost_focus) FocusChanged(TreeNode(), TreeNode());
}

bool TreeList::MoveTo(const TreeNode& handle, const TreeNode& new_parent) {
  return MoveTo(handle, new_parent, TreeNode());
}

bool TreeList::MoveTo(const TreeNode& handle, const TreeNode& new_parent, const TreeNode& before) {
  auto node = handle.Lock();
  if (!node || node->tree != this) return false;
  auto parent = new_parent.Lock();
  if (parent && parent->tree != this) return false;
  for (auto* p = parent.get(); p; p = p->parent) {
    if (p == node.get()) return false;
  }
  auto& old_siblings = SiblingsOf(node->parent);
  old_siblings.erase(old_siblings.begin() + IndexIn(old_siblings, node.get()));
  node->parent = parent.get();
  auto& siblings = SiblingsOf(node->parent);
  auto b = before.Lock();
  int at = b && b.get() != node.get() ? IndexIn(siblings, b.get()) : -1;
  if (at < 0) {
    siblings.push_back(node);
  } else {
    siblings.insert(siblings.begin() + at, node);
  }
  Changed();
  return true;
}

TreeNode TreeList::Root(size_t index) const {
  return index < roots_.size() ? TreeNode(roots_[index]) : TreeNode();
}

TreeNode TreeList::FindNode(int id) const {
  auto it = by_id_.find(id);
  if (it == by_id_.end()) return TreeNode();
  TreeNodeData* node = it->second;
  auto& siblings = const_cast<TreeList*>(this)->SiblingsOf(node->parent);
  int i = IndexIn(siblings, node);
  return i < 0 ? TreeNode() : TreeNode(siblings[i]);
}

void TreeList::ForEachNode(const std::function<bool(const TreeNode&)>& fn) const {
  // Depth first over the child lists directly: linear, unlike repeated Next() steps.
  std::vector<NodePtr> stack(roots_.rbegin(), roots_.rend());
  while (!stack.empty()) {
    NodePtr node = std::move(stack.back());
    stack.pop_back();
    if (!node->tree) continue;  // removed by fn meanwhile
    if (!fn(TreeNode(node))) return;
    stack.insert(stack.end(), node->children.rbegin(), node->children.rend());
  }
}

TreeNode TreeList::FindByText(int column, const std::string& text) const {
  TreeNode found;
  ForEachNode([&](const TreeNode& n) {
    if (n.Text(column) != text) return true;
    found = n;
    return false;
  });
  return found;
}

TreeNode TreeList::Last() const {
  if (roots_.empty()) return TreeNode();
  NodePtr p = roots_.back();
  while (!p->children.empty()) p = p->children.back();
  return TreeNode(p);
}

void TreeList::SetExpandedAll(std::vector<NodePtr>& nodes, bool expand) {
  for (auto& node : nodes) {
    node->expanded = expand;
    SetExpandedAll(node->children, expand);
  }
}

void TreeList::ExpandAll() {
  SetExpandedAll(roots_, true);
  Changed();
}

void TreeList::CollapseAll() {
  SetExpandedAll(roots_, false);
  Changed();
}

void TreeList::MakeVisible(const TreeNode& handle) {
  auto node = handle.Lock();
  if (!node || node->tree != this) return;
  for (auto* p = node->parent; p; p = p->parent) p->expanded = true;
  top_ = node;
  Changed();
}

TreeNode TreeList::TopNode() const {
  auto t = top_.lock();
  return t && t->tree ? TreeNode(t) : TreeNode();
}

TreeNode TreeList::FocusedNode() const {
  auto f = focused_.lock();
  return f && f->tree ? TreeNode(f) : TreeNode();
}

void TreeList::SetFocusedNode(const TreeNode& handle) {
  auto node = handle.Lock();
  if (node && node->tree != this) return;
  auto old = focused_.lock();
  if (node) MakeVisible(handle);
  if (old == node) return;
  focused_ = node;
  Changed();
  FocusChanged(old ? TreeNode(old) : TreeNode(), node ? TreeNode(node) : TreeNode());
}

void TreeList::FocusChanged(TreeNode old_node, TreeNode new_node) {
  if (OnFocusedNodeChanged) OnFocusedNodeChanged(*this, old_node, new_node);
}

void TreeList::Select(const TreeNode& handle, bool add) {
  auto node = handle.Lock();
  if (!node || node->tree != this) return;
  if (!add || !multi_select_) {
    if (selection_.size() == 1 && selection_.front().lock() == node) return;
    for (auto& w : selection_) {
      if (auto s = w.lock()) s->selected = false;
    }
    selection_.clear();
  } else if (node->selected) {
    return;
  }
  node->selected = true;
  selection_.push_back(node);
  Changed();
}

void TreeList::ClearSelection() {
  if (selection_.empty()) return;
  for (auto& w : selection_) {
    if (auto s = w.lock()) s->selected = false;
  }
  selection_.clear();
  Changed();
}

size_t TreeList::SelectionCount() const {
  return selection_.size();
}

TreeNode TreeList::Selection(size_t index) const {
  if (index >= selection_.size()) return TreeNode();
  auto s = selection_[index].lock();
  return s && s->tree ? TreeNode(s) : TreeNode();
}

TreeNode TreeList::EditingNode() const {
  auto e = editing_.lock();
  return e && e->tree ? TreeNode(e) : TreeNode();
}

bool TreeList::StartEditing(const TreeNode& handle) {
  auto node = handle.Lock();
  if (!node || node->tree != this) return false;
  bool allow = true;
  if (OnEditing) OnEditing(*this, handle, allow);
  if (!allow || !handle.Valid()) return false;
  editing_ = node;
  edit_text_ = node->texts.empty() ? std::string() : node->texts[0];
  Changed();
  return true;
}

void TreeList::SetEditText(const std::string& text) {
  if (!IsEditing() || edit_text_ == text) return;
  edit_text_ = text;
}

void TreeList::EndEditing(bool accept) {
  TreeNode node = EditingNode();
  editing_.reset();
  std::string text = std::move(edit_text_);
  edit_text_.clear();
  Changed();
  if (!node || !accept) return;
  node.SetText(text);
  NodeEdited(node, text);
}

void TreeList::NodeEdited(TreeNode node, const std::string& text) {
  if (OnEdited) OnEdited(*this, node, text);
}

void TreeList::NodesDropped(TreeNode target, std::vector<TreeNode> nodes) {
  if (OnDragDrop) OnDragDrop(*this, target, std::move(nodes));
}

TreeNode TreeList::InputNode(const Json& input, const char* key) const {
  return FindNode(JsonInt(input, key, 0));
}

void TreeList::DoClick(const Json& input) {
  if (TreeNode node = InputNode(input)) {
    if (!ExtendSelection(node, input)) Select(node);
    SetFocusedNode(node);
  }
  Raise(OnClick, *this);
}

bool TreeList::ExtendSelection(const TreeNode& node, const Json& input) {
  if (!multi_select_) return false;
  if (JsonBool(input, "shift", false)) {
    // Everything shown between the focused node and the clicked one, in display order.
    TreeNode anchor = FocusedNode();
    if (!anchor) return false;
    std::vector<TreeNode> range;
    bool inside = false;
    ForEachNode([&](const TreeNode& n) {
      for (TreeNode p = n.Parent(); p; p = p.Parent()) {
        if (!p.Expanded()) return true;  // hidden below a collapsed node
      }
      const bool end = n == anchor || n == node;
      if (!inside && !end) return true;
      range.push_back(n);
      if (inside && end) return false;  // the second end
      inside = true;
      return anchor != node;
    });
    if (!JsonBool(input, "ctrl", false)) ClearSelection();
    for (const TreeNode& n : range) Select(n, true);
    return true;
  }
  if (JsonBool(input, "ctrl", false)) {
    if (node.Selected()) {
      TreeNode(node).SetSelected(false);
    } else {
      Select(node, true);
    }
    return true;
  }
  return false;
}

void TreeList::DoDblClick(const Json& input) {
  if (TreeNode node = InputNode(input)) {
    Select(node);
    SetFocusedNode(node);
  }
  Raise(OnDblClick, *this);
}

void TreeList::DoContextPopup(Point screen, const Json& input) {
  if (right_click_focus_) {
    if (TreeNode node = InputNode(input)) {
      if (!node.Selected()) Select(node);
      SetFocusedNode(node);
    }
  }
  Control::DoContextPopup(screen, input);
}

bool TreeList::HandleOwnInput(const std::string& type, const Json& input) {
  if (type == "select") {  // keyboard navigation or a selection made in the display
    TreeNode node = InputNode(input);
    if (!node) return false;
    Select(node, JsonBool(input, "add", false));
    SetFocusedNode(node);
    return true;
  }
  if (type == "expand" || type == "collapse") {
    TreeNode node = InputNode(input);
    if (!node) return false;
    if (type == "expand") {
      node.Expand();
    } else {
      node.Collapse();
    }
    return true;
  }
  if (type == "edit-start") return StartEditing(InputNode(input));
  if (type == "edit-text") {
    if (!IsEditing()) return false;
    SetEditText(JsonString(input, "text"));
    return true;
  }
  if (type == "edit-end") {
    if (!IsEditing()) return false;
    if (input.contains("text")) SetEditText(JsonString(input, "text"));
    EndEditing(JsonBool(input, "accept", true));
    return true;
  }
  if (type == "column-width") {
    SetColumnWidth(JsonInt(input, "column", -1), JsonInt(input, "width", -1));
    return true;
  }
  if (type == "dragstart") {
    dragging_ = true;
    return true;
  }
  if (type == "dragend") {
    dragging_ = false;
    return true;
  }
  if (type == "dragover") {
    bool accept = true;
    if (OnDragOver) OnDragOver(*this, InputNode(input, "target"), accept);
    return accept;
  }
  if (type == "drop") {
    std::vector<TreeNode> nodes;
    auto it = input.find("nodes");
    if (it != input.end() && it->is_array()) {
      for (const auto& id : *it) {
        if (!id.is_number_integer()) continue;
        if (TreeNode n = FindNode(id.get<int>())) nodes.push_back(n);
      }
    }
    TreeNode target = InputNode(input, "target");
    dragging_ = false;
    if (nodes.empty()) return false;
    NodesDropped(target, std::move(nodes));
    return true;
  }
  return false;
}

void TreeList::DescribeNodes(const std::vector<NodePtr>& nodes, Json& out) const {
  out = Json::array();
  for (const auto& n : nodes) {
    Json node = {{"id", n->id},
                 {"text", n->texts.empty() ? std::string() : n->texts[0]},
                 {"image", n->image},
                 {"selectedImage", n->selected_image},
                 {"expanded", n->expanded},
                 {"selected", n->selected}};
    if (n->texts.size() > 1) node["value"] = n->texts[1];
    if (n->texts.size() > 2) {  // extra columns
      Json cells = Json::array();
      for (const auto& t : n->texts) cells.push_back(t);
      node["cells"] = std::move(cells);
    }
    Json children = Json::array();
    if (n->expanded || describe_collapsed_children_) {
      DescribeNodes(n->children, children);
    } else if (!n->children.empty()) {
      node["childCount"] = n->children.size();
    }
    node["children"] = std::move(children);
    out.push_back(std::move(node));
  }
}

void TreeList::DescribeState(Json& out) const {
  Json columns = Json::array();
  for (const auto& c : columns_) {
    columns.push_back({{"caption", c.caption}, {"visible", c.visible}, {"width", c.width}});
  }
  out["columns"] = std::move(columns);
  out["showHeader"] = show_header_;
  out["showGrid"] = show_grid_;
  out["multiSelect"] = multi_select_;
  out["imageList"] = image_list_;
  Json nodes;
  DescribeNodes(roots_, nodes);
  out["nodes"] = std::move(nodes);
  TreeNode f = FocusedNode();
  out["focusedNode"] = f ? Json(f.Id()) : Json(nullptr);
  TreeNode t = TopNode();
  out["topNode"] = t ? Json(t.Id()) : Json(nullptr);
  TreeNode e = EditingNode();
  if (e) out["editing"] = {{"node", e.Id()}, {"text", edit_text_}};
  out["dragging"] = dragging_;
}

}  // namespace vt::widgets
