#pragma once
// A tree list bound to a data set: one node per row, in the data set's row order. A row whose
// parent field is null, names no row of the data set or names the row itself is a root; rows
// whose parent links run in a circle are shown as a root at the first of them, so every row stays
// reachable. Column 0 shows the display field, column 1 holds the key as decimal text (so
// TreeNode::Value() is the key), further columns the extra fields given.
//
// The focused node and the data set's current row follow each other. The nodes are built from
// the data set when it is opened, re-read or closed, and on FullRefresh() (never while a row is
// being written: moving the cursor then would post it); a rebuild keeps the focused node where its
// row remains, and expansion and selection too. A table is read with one statement of the key,
// parent, display and extra fields only. A row that is posted changes, adds or moves only its own
// node, so a table of many large rows is not read again for each change.
//
// The tree writes the data set itself for: re-parenting by drag and drop (the parent field of each
// dropped row becomes the target's key; a drop that would put a row below itself, as the data set
// links the rows, is refused), renaming in its own editor (the display field), and
// DeleteSelection (the selected rows and every row below them, in one transaction for a table).

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/ado/dataset.h"
#include "platform/widgets/datalink.h"
#include "platform/widgets/treelist.h"

namespace vt::widgets {

class DBTreeList : public TreeList {
 public:
  explicit DBTreeList(std::string name, Control* parent = nullptr);
  ~DBTreeList() override;

  // Not owned; both must outlive the binding (SetDataSource(nullptr) releases it).
  void SetDataSource(ado::DataSource* source);
  ado::DataSource* DataSource() const { return link_.Source(); }
  void SetKeyField(std::string name);      // default "ID"
  void SetParentField(std::string name);   // default "Parent_ID"
  void SetDisplayField(std::string name);  // default "Name"
  // Fields shown (hidden) after the key, as columns 2, 3 ...
  void SetExtraFields(std::vector<std::string> names);
  const std::string& KeyField() const { return key_field_; }
  const std::string& ParentField() const { return parent_field_; }
  const std::string& DisplayField() const { return display_field_; }

  // Rebuilds the nodes from the data set now (or once the row being written is posted); the
  // focused node stays where its row remains, and the cursor goes back to it.
  void FullRefresh();
  // The node of the row with that key; empty when none.
  TreeNode FindNodeByKey(int key) const;
  // The focused node's key; 0 when no node is focused.
  int FocusedKey() const;
  // Deletes the rows of the selected nodes (the focused node when nothing is selected) and of
  // every node below them, then focuses the node that followed them (or the one before).
  // Returns the number of rows deleted.
  int DeleteSelection();

 protected:
  void DescribeState(Json& out) const override;
  void FocusChanged(TreeNode old_node, TreeNode new_node) override;
  void NodeEdited(TreeNode node, const std::string& text) override;
  void NodesDropped(TreeNode target, std::vector<TreeNode> nodes) override;

 private:
  struct Row {
    int key = 0;
    std::optional<int> parent;
    std::vector<std::string> texts;  // display, key, extras
  };
  // The current row of the data set as a node's content; false at Eof or without a key field.
  bool ReadCurrentRow(Row& row);
  // Adds the node of a row that was not shown (at its place in key order) or updates and, when
  // its parent changed, moves the node of one that was.
  void RowPosted();
  // Places `node` below `parent` (root when empty) among its siblings in key order.
  void PlaceInKeyOrder(TreeNode node, const TreeNode& parent);
  TreeNode InsertInKeyOrder(const TreeNode& parent, int key, const std::string& text);
  ado::DataSet* bound() const { return link_.DataSet(); }
  // Rebuilds now, or once the row being written is posted. keep_focus: the focused node stays
  // where its row remains; otherwise the current row decides.
  void Reload(bool keep_focus);
  void Rebuild(bool keep_focus);
  void FollowCurrentRow();
  bool LocateKey(int key);  // moves the data set to the row; false when there is none
  bool WriteField(int key, const std::string& field, const ado::Variant& value);

  DataLink link_;
  std::string key_field_ = "ID";
  std::string parent_field_ = "Parent_ID";
  std::string display_field_ = "Name";
  std::vector<std::string> extra_fields_;
  bool rebuilding_ = false;  // focus events of a rebuild are reported once, at its end
  bool rebuild_pending_ = false;
  std::unordered_map<int, int> node_by_key_;  // key -> node id
  std::unordered_set<int> hidden_expanded_;   // expanded nodes the last rebuild left out
};

}  // namespace vt::widgets
