#include "platform/widgets/dbtreelist.h"

#include <algorithm>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "platform/ado/table.h"
#include "platform/widgets/internal.h"

namespace vt::widgets {

using detail::FlagScope;

namespace {

bool Writing(const ado::DataSet& ds) {
  return ds.State() == ado::DataSetState::Insert || ds.State() == ado::DataSetState::Edit;
}

}  // namespace

DBTreeList::DBTreeList(std::string name, Control* parent)
    : TreeList("treelist", std::move(name), parent) {}

DBTreeList::~DBTreeList() {
  Unbind();
}

void DBTreeList::SetDataSource(ado::DataSource* source) {
  Unbind();
  source_ = source;
  Bind();
}

void DBTreeList::SetKeyField(std::string name) {
  key_field_ = std::move(name);
  FullRefresh();
}

void DBTreeList::SetParentField(std::string name) {
  parent_field_ = std::move(name);
  FullRefresh();
}

void DBTreeList::SetDisplayField(std::string name) {
  display_field_ = std::move(name);
  FullRefresh();
}

void DBTreeList::SetExtraFields(std::vector<std::string> names) {
  extra_fields_ = std::move(names);
  FullRefresh();
}

void DBTreeList::Bind() {
  bound_ = source_ ? source_->GetDataSet() : nullptr;
  if (bound_) listener_ = bound_->AddListener([this](ado::DataEvent e) { OnData(e); });
  FullRefresh();
}

void DBTreeList::Unbind() {
  if (bound_ && listener_) bound_->RemoveListener(listener_);
  bound_ = nullptr;
  listener_ = 0;
}

void DBTreeList::OnData(ado::DataEvent event) {
  if (syncing_) return;
  switch (event) {
    case ado::DataEvent::Opened:
    case ado::DataEvent::Refreshed:
    case ado::DataEvent::Posted:
    case ado::DataEvent::Deleted:
    case ado::DataEvent::Closed:
      FullRefresh();
      break;
    case ado::DataEvent::Scrolled:
      FollowCurrentRow();
      break;
    case ado::DataEvent::StateChanged:
      // A cancelled insert or edit leaves the rows as they were; a rebuild held back while the
      // row was being written runs now.
      if (rebuild_pending_ && !Writing(*bound_)) FullRefresh();
      break;
  }
}

void DBTreeList::FullRefresh() {
  if (bound_ && bound_->Active() && Writing(*bound_)) {
    rebuild_pending_ = true;
    return;
  }
  rebuild_pending_ = false;
  Rebuild();
}

void DBTreeList::Rebuild() {
  struct Row {
    int key;
    std::optional<int> parent;
    std::vector<std::string> texts;
  };
  std::vector<Row> rows;
  int current_key = 0;
  bool have_current = false;

  if (bound_ && bound_->Active() && (!source_ || source_->Enabled())) {
    FlagScope guard(syncing_);
    int key_index = bound_->FindFieldIndex(key_field_);
    int parent_index = bound_->FindFieldIndex(parent_field_);
    int display_index = bound_->FindFieldIndex(display_field_);
    std::vector<int> extra_index;
    for (const auto& f : extra_fields_) extra_index.push_back(bound_->FindFieldIndex(f));
    if (key_index >= 0) {
      if (!bound_->Eof()) {
        current_key = bound_->FieldAt(key_index).AsInteger();
        have_current = true;
      }
      auto* table = dynamic_cast<ado::Table*>(bound_);
      int64_t bookmark = table ? table->Bookmark() : 0;
      for (bound_->First(); !bound_->Eof(); bound_->Next()) {
        Row row;
        row.key = bound_->FieldAt(key_index).AsInteger();
        if (parent_index >= 0) {
          ado::Variant p = bound_->FieldAt(parent_index).Value();
          if (!p.IsNull()) row.parent = p.AsInteger();
        }
        row.texts.push_back(display_index >= 0 ? bound_->FieldAt(display_index).AsString() : "");
        row.texts.push_back(std::to_string(row.key));
        for (int i : extra_index) row.texts.push_back(i >= 0 ? bound_->FieldAt(i).AsString() : "");
        rows.push_back(std::move(row));
      }
      // Put the cursor back where it was.
      if (have_current) {
        if (table && bookmark) {
          table->GotoBookmark(bookmark);
        } else {
          for (bound_->First(); !bound_->Eof(); bound_->Next()) {
            if (bound_->FieldAt(key_index).AsInteger() == current_key) break;
          }
        }
      }
    }
  }

  // Remember what the user sees, by key.
  std::unordered_set<int> expanded;
  ForEachNode([&](const TreeNode& n) {
    if (n.Expanded()) expanded.insert(n.Value());
    return true;
  });
  int focused_key = FocusedKey();
  std::vector<int> selected_keys;
  for (size_t i = 0; i < SelectionCount(); ++i) selected_keys.push_back(Selection(i).Value());

  // Parent links by key; a link to a missing row, to the row itself, or one that closes a circle
  // makes a root.
  std::unordered_map<int, size_t> index_of;
  for (size_t i = 0; i < rows.size(); ++i) index_of.emplace(rows[i].key, i);  // first row wins
  std::vector<std::optional<size_t>> parent_of(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].parent) continue;
    auto it = index_of.find(*rows[i].parent);
    if (it != index_of.end() && it->second != i) parent_of[i] = it->second;
  }
  std::vector<std::vector<size_t>> children(rows.size());
  std::vector<size_t> roots;
  std::vector<char> state(rows.size(), 0);  // 0 unseen, 1 on the walk, 2 done
  for (size_t i = 0; i < rows.size(); ++i) {
    // Walk up until a known row or a root; a row met twice on one walk closes a circle.
    std::vector<size_t> path;
    size_t at = i;
    while (state[at] == 0) {
      state[at] = 1;
      path.push_back(at);
      if (!parent_of[at]) break;
      at = *parent_of[at];
    }
    if (state[at] == 1) parent_of[at].reset();  // breaks the circle at `at`
    for (size_t p : path) state[p] = 2;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    if (parent_of[i]) {
      children[*parent_of[i]].push_back(i);
    } else {
      roots.push_back(i);
    }
  }

  BeginUpdate();
  FlagScope quiet(rebuilding_);
  {
    FlagScope guard(syncing_);
    Clear();
    node_by_key_.clear();
    std::vector<std::pair<size_t, TreeNode>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.emplace_back(*it, TreeNode());
    while (!stack.empty()) {
      auto [i, parent] = stack.back();
      stack.pop_back();
      TreeNode node = AddChild(parent, rows[i].texts[0]);
      node_by_key_.emplace(rows[i].key, node.Id());
      for (size_t c = 1; c < rows[i].texts.size(); ++c)
        node.SetText(static_cast<int>(c), rows[i].texts[c]);
      if (expanded.count(rows[i].key)) node.Expand();
      for (auto it = children[i].rbegin(); it != children[i].rend(); ++it)
        stack.emplace_back(*it, node);
    }
    for (int key : selected_keys) {
      if (TreeNode n = FindNodeByKey(key)) Select(n, true);
    }
  }
  // The current row decides the focus; without one the previous focus stays where it can.
  TreeNode focus = FindNodeByKey(have_current ? current_key : focused_key);
  {
    FlagScope guard(syncing_);
    SetFocusedNode(focus);
  }
  rebuilding_ = false;
  EndUpdate();
  if (FocusedKey() != focused_key) TreeList::FocusChanged(TreeNode(), FocusedNode());
}

void DBTreeList::FollowCurrentRow() {
  if (!bound_ || !bound_->Active() || bound_->Eof()) return;
  int key_index = bound_->FindFieldIndex(key_field_);
  if (key_index < 0) return;
  TreeNode node = FindNodeByKey(bound_->FieldAt(key_index).AsInteger());
  if (!node || node == FocusedNode()) return;
  FlagScope guard(syncing_);  // the data set is already on the row
  SetFocusedNode(node);
}

void DBTreeList::FocusChanged(TreeNode old_node, TreeNode new_node) {
  if (!syncing_ && new_node && bound_ && bound_->Active() && !Writing(*bound_)) {
    FlagScope guard(syncing_);
    LocateKey(new_node.Value());
  }
  // A rebuild reports its net change once, after the nodes are in place.
  if (!rebuilding_) TreeList::FocusChanged(old_node, new_node);
}

bool DBTreeList::LocateKey(int key) {
  if (!bound_ || !bound_->Active()) return false;
  if (auto* table = dynamic_cast<ado::Table*>(bound_))
    return table->Locate(key_field_, ado::Variant(key));
  int key_index = bound_->FindFieldIndex(key_field_);
  if (key_index < 0) return false;
  for (bound_->First(); !bound_->Eof(); bound_->Next()) {
    if (bound_->FieldAt(key_index).AsInteger() == key) return true;
  }
  return false;
}

TreeNode DBTreeList::FindNodeByKey(int key) const {
  auto it = node_by_key_.find(key);
  return it == node_by_key_.end() ? TreeNode() : FindNode(it->second);
}

int DBTreeList::FocusedKey() const {
  TreeNode f = FocusedNode();
  return f ? f.Value() : 0;
}

bool DBTreeList::WriteField(int key, const std::string& field, const ado::Variant& value) {
  if (!bound_ || !bound_->Active() || Writing(*bound_)) return false;
  {
    FlagScope guard(syncing_);
    if (!LocateKey(key)) return false;
    bound_->Edit();
    try {
      bound_->FieldByName(field).SetValue(value);
      bound_->Post();
    } catch (...) {
      if (Writing(*bound_)) bound_->Cancel();
      throw;
    }
  }
  return true;
}

void DBTreeList::NodeEdited(TreeNode node, const std::string& text) {
  int key = node.Value();
  if (!text.empty()) {
    WriteField(key, display_field_, ado::Variant(text));
    FullRefresh();
  }
  TreeList::NodeEdited(FindNodeByKey(key), text);
}

void DBTreeList::NodesDropped(TreeNode target, std::vector<TreeNode> nodes) {
  if (target) {
    int target_key = target.Value();
    bool moved = false;
    for (const TreeNode& n : nodes) {
      // A node cannot go below itself: that would cut its subtree off the tree.
      if (!n || n == target || n.IsAncestorOf(target) || n.Parent() == target) continue;
      moved = WriteField(n.Value(), parent_field_, ado::Variant(target_key)) || moved;
    }
    if (moved) {
      FullRefresh();
      if (TreeNode t = FindNodeByKey(target_key)) t.Expand();
    }
    target = FindNodeByKey(target_key);
  }
  std::vector<TreeNode> fresh;
  for (const TreeNode& n : nodes) {
    if (n) fresh.push_back(n);
  }
  TreeList::NodesDropped(target, std::move(fresh));
}

int DBTreeList::DeleteSelection() {
  if (!bound_ || !bound_->Active() || Writing(*bound_)) return 0;
  std::vector<TreeNode> picked;
  for (size_t i = 0; i < SelectionCount(); ++i) picked.push_back(Selection(i));
  if (picked.empty() && FocusedNode()) picked.push_back(FocusedNode());
  if (picked.empty()) return 0;

  // Every key below the picked nodes, children before their parents.
  std::set<int> doomed;
  std::vector<int> order;
  std::function<void(const TreeNode&)> collect = [&](const TreeNode& n) {
    if (!n || doomed.count(n.Value())) return;
    doomed.insert(n.Value());
    for (size_t c = 0; c < n.Count(); ++c) collect(n.Item(c));
    order.push_back(n.Value());
  };
  for (const TreeNode& n : picked) collect(n);

  // The node to focus afterwards: the first one after the deleted nodes, else the one before.
  int next_key = 0;
  TreeNode first = picked.front();
  for (TreeNode n = first.Next(); n; n = n.Next()) {
    if (!doomed.count(n.Value())) {
      next_key = n.Value();
      break;
    }
  }
  if (!next_key) {
    for (TreeNode n = first.Prev(); n; n = n.Prev()) {
      if (!doomed.count(n.Value())) {
        next_key = n.Value();
        break;
      }
    }
  }

  int deleted = 0;
  {
    FlagScope guard(syncing_);
    for (int key : order) {
      if (LocateKey(key)) {
        bound_->Delete();
        ++deleted;
      }
    }
    if (next_key) LocateKey(next_key);
  }
  ClearSelection();
  FullRefresh();
  if (TreeNode n = FindNodeByKey(next_key)) {
    SetFocusedNode(n);
    Select(n);
  }
  return deleted;
}

void DBTreeList::DescribeState(Json& out) const {
  TreeList::DescribeState(out);
  out["dataBound"] = true;
  out["keyField"] = key_field_;
  out["parentField"] = parent_field_;
  out["displayField"] = display_field_;
}

}  // namespace vt::widgets
