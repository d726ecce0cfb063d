#include "platform/widgets/dbtreelist.h"

#include <algorithm>
#include <functional>
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
      link_({[this] { Reload(false); }, [this] { FollowCurrentRow(); },
             [this] {
               // A cancelled insert or edit leaves the rows as they were; a rebuild held back
               // while the row was being written runs now.
               if (rebuild_pending_ && !link_.Writing()) Reload(false);
             }}) {
  link_.SetRowHandlers(
      [this] {
        if (rebuild_pending_) {
          Reload(false);
        } else {
          RowPosted();
        }
      },
      // Re-read (a requery moves the cursor to the first row): the focus stays.
      [this] { FullRefresh(); });
  SetDescribeCollapsedChildren(false);
}

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
  Reload(true);
}

void DBTreeList::Reload(bool keep_focus) {
  if (link_.Writing()) {
    rebuild_pending_ = true;
    return;
  }
  rebuild_pending_ = false;
  Rebuild(keep_focus);
}

void DBTreeList::Rebuild(bool keep_focus) {
  std::vector<Row> rows;
  int current_key = 0;
  bool have_current = false;

  if (link_.Active()) {
    DataLink::SyncGuard guard(link_);
    int key_index = bound()->FindFieldIndex(key_field_);
    int parent_index = bound()->FindFieldIndex(parent_field_);
    int display_index = bound()->FindFieldIndex(display_field_);
    std::vector<int> extra_index;
    for (const auto& f : extra_fields_) extra_index.push_back(bound()->FindFieldIndex(f));
    if (key_index >= 0) {
      if (!bound()->Eof()) {
        current_key = bound()->FieldAt(key_index).AsInteger();
        have_current = true;
      }
      if (auto* table = dynamic_cast<ado::Table*>(bound())) {
        // One statement over the fields the nodes show: the rows' other columns are never read.
        std::string fields = bound()->FieldDefAt(key_index).name;
        auto add = [&](int i) {
          if (i >= 0) fields += ";" + bound()->FieldDefAt(i).name;
        };
        add(parent_index);
        add(display_index);
        for (int i : extra_index) add(i);
        table->ScanFields(fields, [&](const std::vector<ado::Variant>& v) {
          Row row;
          size_t at = 0;
          row.key = v[at++].AsInteger();
          if (parent_index >= 0) {
            const ado::Variant& p = v[at++];
            if (!p.IsNull()) row.parent = p.AsInteger();
          }
          row.texts.push_back(display_index >= 0 ? v[at++].AsString() : std::string());
          row.texts.push_back(std::to_string(row.key));
          for (int i : extra_index) row.texts.push_back(i >= 0 ? v[at++].AsString() : "");
          rows.push_back(std::move(row));
        });
      } else {
        for (bound()->First(); !bound()->Eof(); bound()->Next()) {
          Row row;
          if (ReadCurrentRow(row)) rows.push_back(std::move(row));
        }
        if (have_current) {
          for (bound()->First(); !bound()->Eof(); bound()->Next()) {
            if (bound()->FieldAt(key_index).AsInteger() == current_key) break;
          }
        }
      }
    }
  }

  // Remember what the user sees, by key; nodes a filter hid keep their expansion for when they
  // come back.
  std::unordered_set<int> expanded = std::move(hidden_expanded_);
  hidden_expanded_.clear();
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
    for (int key : expanded) {
      if (!node_by_key_.count(key)) hidden_expanded_.insert(key);
    }
  }
  // Either the current row decides the focus, or the focused node stays where its row remains
  // (and the cursor goes back to it); the other is the fallback.
  TreeNode focus = FindNodeByKey(keep_focus || !have_current ? focused_key : current_key);
  if (!focus) focus = FindNodeByKey(keep_focus && have_current ? current_key : focused_key);
  {
    DataLink::SyncGuard guard(link_);
    SetFocusedNode(focus);
    if (focus && (!have_current || focus.Value() != current_key)) LocateKey(focus.Value());
  }
  rebuilding_ = false;
  EndUpdate();
  if (FocusedKey() != focused_key) TreeList::FocusChanged(TreeNode(), FocusedNode());
}

bool DBTreeList::ReadCurrentRow(Row& row) {
  if (!bound() || !bound()->Active() || bound()->Eof()) return false;
  int key_index = bound()->FindFieldIndex(key_field_);
  if (key_index < 0) return false;
  int parent_index = bound()->FindFieldIndex(parent_field_);
  int display_index = bound()->FindFieldIndex(display_field_);
  row.key = bound()->FieldAt(key_index).AsInteger();
  row.parent.reset();
  if (parent_index >= 0) {
    ado::Variant p = bound()->FieldAt(parent_index).Value();
    if (!p.IsNull()) row.parent = p.AsInteger();
  }
  row.texts.clear();
  row.texts.push_back(display_index >= 0 ? bound()->FieldAt(display_index).AsString() : "");
  row.texts.push_back(std::to_string(row.key));
  for (const auto& f : extra_fields_) {
    int i = bound()->FindFieldIndex(f);
    row.texts.push_back(i >= 0 ? bound()->FieldAt(i).AsString() : "");
  }
  return true;
}

TreeNode DBTreeList::InsertInKeyOrder(const TreeNode& parent, int key, const std::string& text) {
  // Rows come in key order, so a new row usually goes last: look from the end.
  size_t count = parent ? parent.Count() : RootCount();
  size_t at = count;
  while (at > 0) {
    TreeNode sibling = parent ? parent.Item(at - 1) : Root(at - 1);
    if (sibling.Value() < key) break;
    --at;
  }
  if (at == count) return AddChild(parent, text);
  TreeNode before = parent ? parent.Item(at) : Root(at);
  return Insert(before, text);
}

void DBTreeList::PlaceInKeyOrder(TreeNode node, const TreeNode& parent) {
  const int key = node.Value();
  size_t count = parent ? parent.Count() : RootCount();
  TreeNode before;
  for (size_t i = count; i > 0; --i) {
    TreeNode sibling = parent ? parent.Item(i - 1) : Root(i - 1);
    if (sibling == node) continue;
    if (sibling.Value() < key) break;
    before = sibling;
  }
  MoveTo(node, parent, before);
}

void DBTreeList::RowPosted() {
  Row row;
  if (!ReadCurrentRow(row)) return;
  TreeNode node = FindNodeByKey(row.key);
  TreeNode parent;
  if (row.parent && *row.parent != row.key) parent = FindNodeByKey(*row.parent);
  if (!node) {
    // A new row: shown when the filter lets it through.
    auto* table = dynamic_cast<ado::Table*>(bound());
    if (table && !table->CurrentRowInFilter()) return;
    DataLink::SyncGuard guard(link_);
    node = InsertInKeyOrder(parent, row.key, row.texts[0]);
    node_by_key_[row.key] = node.Id();
  } else {
    if (parent && (parent == node || node.IsAncestorOf(parent))) {
      // The links now run in a circle: the rebuild shows it from its first row.
      FullRefresh();
      return;
    }
    DataLink::SyncGuard guard(link_);
    if (node.Text() != row.texts[0]) node.SetText(row.texts[0]);
    if (node.Parent() != parent) PlaceInKeyOrder(node, parent);
  }
  for (size_t c = 1; c < row.texts.size(); ++c) {
    if (node.Text(static_cast<int>(c)) != row.texts[c])
      node.SetText(static_cast<int>(c), row.texts[c]);
  }
  FollowCurrentRow();
}

void DBTreeList::FollowCurrentRow() {
  if (!bound() || !bound()->Active() || bound()->Eof()) return;
  int key_index = bound()->FindFieldIndex(key_field_);
  if (key_index < 0) return;
  TreeNode node = FindNodeByKey(bound()->FieldAt(key_index).AsInteger());
  if (!node || node == FocusedNode()) return;
  DataLink::SyncGuard guard(link_);  // the data set is already on the row
  SetFocusedNode(node);
}

void DBTreeList::FocusChanged(TreeNode old_node, TreeNode new_node) {
  if (!link_.Syncing() && new_node && bound() && bound()->Active() && !link_.Writing()) {
    DataLink::SyncGuard guard(link_);
    LocateKey(new_node.Value());
  }
  // A rebuild reports its net change once, after the nodes are in place.
  if (!rebuilding_) TreeList::FocusChanged(old_node, new_node);
}

bool DBTreeList::LocateKey(int key) {
  if (!bound() || !bound()->Active()) return false;
  if (auto* table = dynamic_cast<ado::Table*>(bound()))
    return table->Locate(key_field_, ado::Variant(key));
  int key_index = bound()->FindFieldIndex(key_field_);
  if (key_index < 0) return false;
  for (bound()->First(); !bound()->Eof(); bound()->Next()) {
    if (bound()->FieldAt(key_index).AsInteger() == key) return true;
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
  if (!bound() || !bound()->Active() || link_.Writing()) return false;
  {
    DataLink::SyncGuard guard(link_);
    if (!LocateKey(key)) return false;
    bound()->Edit();
    try {
      bound()->FieldByName(field).SetValue(value);
      bound()->Post();
    } catch (...) {
      if (link_.Writing()) bound()->Cancel();
      throw;
    }
  }
  return true;
}

void DBTreeList::NodeEdited(TreeNode node, const std::string& text) {
  int key = node.Value();
  if (!text.empty()) WriteField(key, display_field_, ado::Variant(text));
  TreeList::NodeEdited(FindNodeByKey(key), text);
}

void DBTreeList::NodesDropped(TreeNode target, std::vector<TreeNode> nodes) {
  if (target) {
    int target_key = target.Value();
    auto* table = dynamic_cast<ado::Table*>(bound());
    bool moved = false;
    for (const TreeNode& n : nodes) {
      if (!n || n == target || n.Parent() == target) continue;
      // Below itself the row would close a circle of parent links, and a circle is a tree of
      // rows that nothing leads to. The data set decides, since a filter may hide the links.
      if (n.IsAncestorOf(target)) continue;
      if (table && table->Active() &&
          table->ParentChainReaches(key_field_, parent_field_, ado::Variant(target_key),
                                    ado::Variant(n.Value())))
        continue;
      if (!WriteField(n.Value(), parent_field_, ado::Variant(target_key))) continue;
      moved = true;
      DataLink::SyncGuard guard(link_);
      PlaceInKeyOrder(n, target);
    }
    if (moved) target.Expand();
  }
  std::vector<TreeNode> fresh;
  for (const TreeNode& n : nodes) {
    if (n) fresh.push_back(n);
  }
  TreeList::NodesDropped(target, std::move(fresh));
}

int DBTreeList::DeleteSelection() {
  if (!bound() || !bound()->Active() || link_.Writing()) return 0;
  std::vector<TreeNode> picked;
  for (size_t i = 0; i < SelectionCount(); ++i) picked.push_back(Selection(i));
  if (picked.empty() && FocusedNode()) picked.push_back(FocusedNode());
  if (picked.empty()) return 0;

  // Every key below the picked nodes: as the data set links the rows for a table (a filter may
  // hide some of them), as the tree shows them otherwise; children before their parents.
  auto* table = dynamic_cast<ado::Table*>(bound());
  std::unordered_set<int> doomed;
  std::vector<int> order;
  if (table) {
    std::vector<ado::Variant> roots;
    for (const TreeNode& n : picked) roots.push_back(ado::Variant(n.Value()));
    for (const auto& k : table->SubtreeKeys(key_field_, parent_field_, roots)) {
      if (doomed.insert(k.AsInteger()).second) order.push_back(k.AsInteger());
    }
  } else {
    std::function<void(const TreeNode&)> collect = [&](const TreeNode& n) {
      if (!n || doomed.count(n.Value())) return;
      doomed.insert(n.Value());
      for (size_t c = 0; c < n.Count(); ++c) collect(n.Item(c));
      order.push_back(n.Value());
    };
    for (const TreeNode& n : picked) collect(n);
  }

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
    if (table) {
      std::vector<ado::Variant> keys;
      keys.reserve(order.size());
      for (int k : order) keys.push_back(ado::Variant(k));
      deleted = table->DeleteKeys(key_field_, keys);  // all or nothing
    } else {
      for (int key : order) {
        if (LocateKey(key)) {
          bound()->Delete();
          ++deleted;
        }
      }
    }
    ClearSelection();
    BeginUpdate();
    for (int key : order) {
      auto it = node_by_key_.find(key);
      if (it == node_by_key_.end()) continue;
      if (TreeNode n = FindNode(it->second)) Remove(n);
      node_by_key_.erase(it);
    }
    EndUpdate();
    if (next_key) LocateKey(next_key);
  }
  if (TreeNode n = FindNodeByKey(next_key)) {
    DataLink::SyncGuard guard(link_);
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
