#pragma once
// The standard controls: panel, label, button, check box, edit box, memo, list box and combo box
// (editable, or a drop-down list).
//
// Events follow the desktop toolkit the system was written for: text typed by the user and a
// program's SetText on an edit box both raise OnChange; a selection made by the user in a list
// raises OnClick (and, for combo boxes, OnSelect, or OnChange when OnSelect is not set); setting
// an item index from code raises nothing.

#include <string>
#include <vector>

#include "platform/widgets/control.h"
#include "platform/widgets/dialogs.h"

namespace vt::widgets {

class Panel : public Control {
 public:
  explicit Panel(std::string name, Control* parent = nullptr)
      : Control("panel", std::move(name), parent) {}
};

class Label : public Control {
 public:
  explicit Label(std::string name, Control* parent = nullptr, const std::string& caption = {});
  bool Bold() const { return bold_; }
  void SetBold(bool bold);

 protected:
  void DescribeState(Json& out) const override;

 private:
  bool bold_ = false;
};

// A push button. A click runs OnClick and then, when ModalResult is set, closes the form the
// button sits on with that result.
class Button : public Control {
 public:
  explicit Button(std::string name, Control* parent = nullptr, const std::string& caption = {});
  ModalResult GetModalResult() const { return modal_result_; }
  void SetModalResult(ModalResult result) { modal_result_ = result; }
  bool Default() const { return default_; }  // Enter in the form presses it
  void SetDefault(bool on);
  bool Cancel() const { return cancel_; }  // Escape in the form presses it
  void SetCancel(bool on);
  void Click();  // as a user's click; nothing when disabled

 protected:
  void DescribeState(Json& out) const override;
  void DoClick(const Json& input) override;

 private:
  ModalResult modal_result_ = ModalResult::None;
  bool default_ = false;
  bool cancel_ = false;
};

class CheckBox : public Control {
 public:
  explicit CheckBox(std::string name, Control* parent = nullptr, const std::string& caption = {});
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);  // raises OnClick when it changes, as a user's click does

 protected:
  void DescribeState(Json& out) const override;
  void DoClick(const Json& input) override;

 private:
  bool checked_ = false;
};

// Single-line edit box. Input "text {text, selStart?}" is the user's edit.
class Edit : public Control {
 public:
  explicit Edit(std::string name, Control* parent = nullptr);

  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);  // raises OnChange when it changes
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool on);
  // Selection and caret in Unicode characters; the caret is at SelStart + SelLength.
  int SelStart() const { return sel_start_; }
  int SelLength() const { return sel_length_; }
  void SetSelStart(int pos);  // clamped to the text; clears the selection
  void SelectAll();
  // Asks the display to place the box over a node's text cell of a tree list (node 0 = none).
  void PlaceOver(ControlId tree, int node);

  NotifyEvent OnChange;

 protected:
  Edit(std::string kind, std::string name, Control* parent);
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;

 private:
  std::string text_;
  bool read_only_ = false;
  int sel_start_ = 0;
  int sel_length_ = 0;
  ControlId over_tree_ = 0;
  int over_node_ = 0;
};

// Multi-line edit box; Text() joins the lines with CR LF.
class Memo : public Edit {
 public:
  explicit Memo(std::string name, Control* parent = nullptr);
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);
};

class ListBox : public Control {
 public:
  explicit ListBox(std::string name, Control* parent = nullptr);

  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  void AddItem(const std::string& item);  // sorted lists insert in order
  void Clear();
  size_t Count() const { return items_.size(); }
  int ItemIndex() const { return item_index_; }  // -1 = none
  void SetItemIndex(int index);                  // out of range = none
  std::string SelectedText() const;              // empty when none
  int IndexOf(const std::string& item) const;    // exact; -1 when absent
  bool Sorted() const { return sorted_; }
  void SetSorted(bool on);
  // Item under the pointer of the last right click (-1 below the last item).
  int HotIndex() const { return hot_index_; }

 protected:
  ListBox(std::string kind, std::string name, Control* parent);
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;
  void DoClick(const Json& input) override;
  void DoDblClick(const Json& input) override;
  void DoContextPopup(Point screen, const Json& input) override;
  // The user picked an item (input "select {index}"); the default raises OnClick.
  virtual void UserSelected();
  void SortItems();
  std::vector<std::string> items_;
  int item_index_ = -1;

 private:
  bool sorted_ = false;
  int hot_index_ = -1;
};

enum class ComboStyle { DropDown, DropDownList };

// Editable combo box (DropDown) or drop-down list. In a drop-down list Text() is the selected
// item. Input: "text {text}" (typing, editable only), "select {index}" (a choice from the list),
// "dropdown" (list opened).
class ComboBox : public ListBox {
 public:
  explicit ComboBox(std::string name, Control* parent = nullptr,
                    ComboStyle style = ComboStyle::DropDown);

  ComboStyle Style() const { return style_; }
  void SetStyle(ComboStyle style);
  std::string Text() const;
  void SetText(const std::string& text);  // editable: raises nothing; list: selects the item
  int SelStart() const { return sel_start_; }
  void SetSelStart(int pos);  // caret, in Unicode characters
  bool DroppedDown() const { return dropped_down_; }
  void SetDroppedDown(bool on);
  void SetItemIndexAndText(int index);  // selects, and copies the item into the text

  NotifyEvent OnChange;
  NotifyEvent OnSelect;
  NotifyEvent OnDropDown;

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;
  void UserSelected() override;

 private:
  ComboStyle style_;
  std::string text_;
  int sel_start_ = 0;
  bool dropped_down_ = false;
};

// Number of Unicode characters in UTF-8 text.
int Utf8Length(const std::string& text);

}  // namespace vt::widgets
