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

DBTreeList::DBTreeList(std::string name, Control* parent)
    : TreeList("treelist", std::move(name), parent),
      link_({[this] { FullRefresh(); }, [this] { FollowCurrentRow(); },
             [this] {
               // A cancelled insert or edit leaves the rows as they were; a rebuild held back
               // while the row was being written runs now.
               if (rebuild_pending_ && !link_.Writing()) FullRefresh();
             }}) {}

DBTreeList::~DBTreeList() = default;

void DBTreeList::SetDataSource(ado::DataSource* source) {
  link_.SetSource(source);
  FullRefresh();
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

void DBTreeList::FullRefresh() {
  if (link_.Writing()) {
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

  if (link_.Active()) {
    ado::DataSet& ds = *link_.DataSet();
    int key_index = ds.FindFieldIndex(key_field_);
    int parent_index = ds.FindFieldIndex(parent_field_);
    int display_index = ds.FindFieldIndex(display_field_);
    std::vector<int> extra_index;
    for (const auto& f : extra_fields_) extra_index.push_back(ds.FindFieldIndex(f));
    if (key_index >= 0) {
      if (!ds.Eof()) {
        current_key = ds.FieldAt(key_index).AsInteger();
        have_current = true;
      }
      link_.ForEachRow([&](const DataLink::RowPlace&) {
        Row row;
        row.key = ds.FieldAt(key_index).AsInteger();
        if (parent_index >= 0) {
          ado::Variant p = ds.FieldAt(parent_index).Value();
          if (!p.IsNull()) row.parent = p.AsInteger();
        }
        row.texts.push_back(display_index >= 0 ? ds.FieldAt(display_index).AsString() : "");
        row.texts.push_back(std::to_string(row.key));
        for (int i : extra_index) row.texts.push_back(i >= 0 ? ds.FieldAt(i).AsString() : "");
        rows.push_back(std::move(row));
      });
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
    DataLink::SyncGuard guard(link_);
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
    DataLink::SyncGuard guard(link_);
    SetFocusedNode(focus);
  }
  rebuilding_ = false;
  EndUpdate();
  if (FocusedKey() != focused_key) TreeList::FocusChanged(TreeNode(), FocusedNode());
}

void DBTreeList::FollowCurrentRow() {
  ado::DataSet* ds = link_.DataSet();
  if (!ds || !ds->Active() || ds->Eof()) return;
  int key_index = ds->FindFieldIndex(key_field_);
  if (key_index < 0) return;
  TreeNode node = FindNodeByKey(ds->FieldAt(key_index).AsInteger());
  if (!node || node == FocusedNode()) return;
  DataLink::SyncGuard guard(link_);  // the data set is already on the row
  SetFocusedNode(node);
}

void DBTreeList::FocusChanged(TreeNode old_node, TreeNode new_node) {
  if (!link_.Syncing() && new_node && link_.DataSet() && link_.DataSet()->Active() &&
      !link_.Writing()) {
    DataLink::SyncGuard guard(link_);
    LocateKey(new_node.Value());
  }
  // A rebuild reports its net change once, after the nodes are in place.
  if (!rebuilding_) TreeList::FocusChanged(old_node, new_node);
}

bool DBTreeList::LocateKey(int key) {
  ado::DataSet* ds = link_.DataSet();
  if (!ds || !ds->Active()) return false;
  if (auto* table = dynamic_cast<ado::Table*>(ds))
    return table->Locate(key_field_, ado::Variant(key));
  int key_index = ds->FindFieldIndex(key_field_);
  if (key_index < 0) return false;
  for (ds->First(); !ds->Eof(); ds->Next()) {
    if (ds->FieldAt(key_index).AsInteger() == key) return true;
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
  ado::DataSet* ds = link_.DataSet();
  if (!ds || !ds->Active() || link_.Writing()) return false;
  {
    DataLink::SyncGuard guard(link_);
    if (!LocateKey(key)) return false;
    ds->Edit();
    try {
      ds->FieldByName(field).SetValue(value);
      ds->Post();
    } catch (...) {
      if (link_.Writing()) ds->Cancel();
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
  ado::DataSet* ds = link_.DataSet();
  if (!ds || !ds->Active() || link_.Writing()) return 0;
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
    DataLink::SyncGuard guard(link_);
    for (int key : order) {
      if (LocateKey(key)) {
        ds->Delete();
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
