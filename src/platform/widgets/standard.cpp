#include "platform/widgets/standard.h"

#include <algorithm>

namespace vt::widgets {

int Utf8Length(const std::string& text) {
  int n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

namespace {
Form* OwningForm(Control* c) {
  for (Control* p = c->Parent(); p; p = p->Parent()) {
    if (auto* f = dynamic_cast<Form*>(p)) return f;
  }
  return nullptr;
}
}  // namespace

// ---- Label ----

Label::Label(std::string name, Control* parent, const std::string& caption)
    : Control("label", std::move(name), parent) {
  SetCaption(caption);
}

void Label::SetBold(bool bold) {
  if (bold_ == bold) return;
  bold_ = bold;
  Changed();
}

void Label::DescribeState(Json& out) const {
  out["caption"] = Caption();
  out["bold"] = bold_;
}

// ---- Button ----

Button::Button(std::string name, Control* parent, const std::string& caption)
    : Control("button", std::move(name), parent) {
  SetCaption(caption);
}

void Button::SetDefault(bool on) {
  if (default_ == on) return;
  default_ = on;
  Changed();
}

void Button::SetCancel(bool on) {
  if (cancel_ == on) return;
  cancel_ = on;
  Changed();
}

void Button::Click() {
  if (!CanFocus()) return;
  Raise(OnClick, *this);
  if (modal_result_ != ModalResult::None) {
    if (Form* form = OwningForm(this)) form->Close(modal_result_);
  }
}

void Button::DoClick(const Json&) {
  Click();
}

void Button::DescribeState(Json& out) const {
  out["caption"] = Caption();
  out["default"] = default_;
  out["cancel"] = cancel_;
}

// ---- CheckBox ----

CheckBox::CheckBox(std::string name, Control* parent, const std::string& caption)
    : Control("checkbox", std::move(name), parent) {
  SetCaption(caption);
}

void CheckBox::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Changed();
  Raise(OnClick, *this);
}

void CheckBox::DoClick(const Json& input) {
  SetChecked(JsonBool(input, "checked", !checked_));
}

void CheckBox::DescribeState(Json& out) const {
  out["caption"] = Caption();
  out["checked"] = checked_;
}

// ---- Edit ----

Edit::Edit(std::string name, Control* parent) : Edit("edit", std::move(name), parent) {}
Edit::Edit(std::string kind, std::string name, Control* parent)
    : Control(std::move(kind), std::move(name), parent) {}

void Edit::SetText(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  int len = Utf8Length(text_);
  sel_start_ = std::min(sel_start_, len);
  sel_length_ = std::min(sel_length_, len - sel_start_);
  Changed();
  Raise(OnChange, *this);
}

void Edit::SetReadOnly(bool on) {
  if (read_only_ == on) return;
  read_only_ = on;
  Changed();
}

void Edit::SetSelStart(int pos) {
  sel_start_ = std::clamp(pos, 0, Utf8Length(text_));
  sel_length_ = 0;
  Changed();
}

void Edit::SelectAll() {
  sel_start_ = 0;
  sel_length_ = Utf8Length(text_);
  Changed();
}

void Edit::PlaceOver(ControlId tree, int node) {
  over_tree_ = node ? tree : 0;
  over_node_ = node;
  Changed();
}

void Edit::DescribeState(Json& out) const {
  out["text"] = text_;
  out["readOnly"] = read_only_;
  out["selStart"] = sel_start_;
  out["selLength"] = sel_length_;
  if (over_node_) out["over"] = {{"control", over_tree_}, {"node", over_node_}};
}

bool Edit::HandleOwnInput(const std::string& type, const Json& input) {
  if (type != "text" || read_only_) return false;
  auto it = input.find("text");
  if (it == input.end() || !it->is_string()) return false;
  std::string text = it->get<std::string>();
  int len = Utf8Length(text);
  sel_start_ = std::clamp(JsonInt(input, "selStart", len), 0, len);
  sel_length_ = 0;
  if (text == text_) return true;
  text_ = std::move(text);  // the display shows it already: no redraw
  Raise(OnChange, *this);
  return true;
}

// ---- Memo ----

Memo::Memo(std::string name, Control* parent) : Edit("memo", std::move(name), parent) {}

std::vector<std::string> Memo::Lines() const {
  std::vector<std::string> lines;
  const std::string& t = Text();
  if (t.empty()) return lines;
  size_t start = 0;
  while (true) {
    size_t nl = t.find('\n', start);
    std::string line = t.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return lines;
}

void Memo::SetLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  SetText(text);
}

// ---- ListBox ----

ListBox::ListBox(std::string name, Control* parent) : ListBox("listbox", std::move(name), parent) {}
ListBox::ListBox(std::string kind, std::string name, Control* parent)
    : Control(std::move(kind), std::move(name), parent) {}

void ListBox::SortItems() {
  if (!sorted_) return;
  std::string selected = SelectedText();
  bool had = item_index_ >= 0;
  std::stable_sort(items_.begin(), items_.end());
  item_index_ = had ? IndexOf(selected) : -1;
}

void ListBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  item_index_ = -1;
  SortItems();
  Changed();
}

void ListBox::AddItem(const std::string& item) {
  if (sorted_) {
    auto pos = std::upper_bound(items_.begin(), items_.end(), item);
    int at = static_cast<int>(pos - items_.begin());
    items_.insert(pos, item);
    if (item_index_ >= at) ++item_index_;
  } else {
    items_.push_back(item);
  }
  Changed();
}

void ListBox::Clear() {
  if (items_.empty() && item_index_ < 0) return;
  items_.clear();
  item_index_ = -1;
  Changed();
}

void ListBox::SetItemIndex(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  if (item_index_ == index) return;
  item_index_ = index;
  Changed();
}

std::string ListBox::SelectedText() const {
  return item_index_ >= 0 ? items_[item_index_] : std::string();
}

int ListBox::IndexOf(const std::string& item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void ListBox::SetSorted(bool on) {
  if (sorted_ == on) return;
  sorted_ = on;
  SortItems();
  Changed();
}

void ListBox::UserSelected() {
  Raise(OnClick, *this);
}

void ListBox::DoClick(const Json& input) {
  if (input.contains("index")) SetItemIndex(JsonInt(input, "index", -1));
  Raise(OnClick, *this);
}

void ListBox::DoDblClick(const Json& input) {
  if (input.contains("index")) SetItemIndex(JsonInt(input, "index", -1));
  Raise(OnDblClick, *this);
}

void ListBox::DoContextPopup(Point screen, const Json& input) {
  int index = JsonInt(input, "index", -1);
  hot_index_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
  Control::DoContextPopup(screen, input);
}

bool ListBox::HandleOwnInput(const std::string& type, const Json& input) {
  if (type != "select") return false;
  int index = JsonInt(input, "index", -2);
  if (index < -1 || index >= static_cast<int>(items_.size())) return false;
  SetItemIndex(index);
  UserSelected();
  return true;
}

void ListBox::DescribeState(Json& out) const {
  out["items"] = items_;
  out["itemIndex"] = item_index_;
  out["sorted"] = sorted_;
}

// ---- ComboBox ----

ComboBox::ComboBox(std::string name, Control* parent, ComboStyle style)
    : ListBox("combobox", std::move(name), parent), style_(style) {}

void ComboBox::SetStyle(ComboStyle style) {
  if (style_ == style) return;
  style_ = style;
  Changed();
}

std::string ComboBox::Text() const {
  return style_ == ComboStyle::DropDownList ? SelectedText() : text_;
}

void ComboBox::SetText(const std::string& text) {
  if (style_ == ComboStyle::DropDownList) {
    SetItemIndex(IndexOf(text));
    return;
  }
  if (text_ == text) return;
  text_ = text;
  sel_start_ = Utf8Length(text_);
  Changed();
}

void ComboBox::SetSelStart(int pos) {
  sel_start_ = std::clamp(pos, 0, Utf8Length(Text()));
  Changed();
}

void ComboBox::SetDroppedDown(bool on) {
  if (dropped_down_ == on) return;
  dropped_down_ = on;
  Changed();
  if (on) Raise(OnDropDown, *this);
}

void ComboBox::SetItemIndexAndText(int index) {
  SetItemIndex(index);
  if (style_ == ComboStyle::DropDown && item_index_ >= 0) SetText(items_[item_index_]);
}

void ComboBox::UserSelected() {
  dropped_down_ = false;
  if (style_ == ComboStyle::DropDown && item_index_ >= 0) {
    text_ = items_[item_index_];
    sel_start_ = Utf8Length(text_);
  }
  Changed();
  Raise(OnClick, *this);
  if (OnSelect) {
    OnSelect(*this);
  } else {
    Raise(OnChange, *this);
  }
}

bool ComboBox::HandleOwnInput(const std::string& type, const Json& input) {
  if (type == "text") {
    if (style_ != ComboStyle::DropDown) return false;
    auto it = input.find("text");
    if (it == input.end() || !it->is_string()) return false;
    std::string text = it->get<std::string>();
    int len = Utf8Length(text);
    sel_start_ = std::clamp(JsonInt(input, "selStart", len), 0, len);
    if (text == text_) return true;
    text_ = std::move(text);
    item_index_ = IndexOf(text_);
    Raise(OnChange, *this);
    return true;
  }
  if (type == "dropdown") {
    SetDroppedDown(JsonBool(input, "open", true));
    return true;
  }
  return ListBox::HandleOwnInput(type, input);
}

void ComboBox::DescribeState(Json& out) const {
  ListBox::DescribeState(out);
  out["style"] = style_ == ComboStyle::DropDown ? "dropdown" : "dropdownlist";
  out["text"] = Text();
  out["selStart"] = sel_start_;
  out["droppedDown"] = dropped_down_;
}

}  // namespace vt::widgets
