#include "platform/widgets/menu.h"

#include <algorithm>
#include <cctype>

namespace vt::widgets {

MenuItem::MenuItem(Menu* owner, MenuItem* parent, std::string caption, int tag, std::string name)
    : owner_(owner),
      parent_(parent),
      id_(owner ? owner->next_item_id_++ : 0),
      name_(std::move(name)),
      caption_(std::move(caption)),
      tag_(tag) {}

void MenuItem::Changed() {
  if (owner_) owner_->Changed();
}

void MenuItem::SetCaption(const std::string& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  Changed();
}

std::string MenuItem::DisplayCaption() const {
  std::string out;
  for (size_t i = 0; i < caption_.size(); ++i) {
    if (caption_[i] == '&') {
      if (i + 1 < caption_.size() && caption_[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption_[i];
  }
  return out;
}

char MenuItem::Accelerator() const {
  for (size_t i = 0; i + 1 < caption_.size(); ++i) {
    if (caption_[i] != '&') continue;
    if (caption_[i + 1] == '&') {
      ++i;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(caption_[i + 1]);
    return c < 0x80 ? static_cast<char>(std::tolower(c)) : 0;
  }
  return 0;
}

void MenuItem::SetTag(int tag) {
  if (tag_ == tag) return;
  tag_ = tag;
  Changed();
}

void MenuItem::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

void MenuItem::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void MenuItem::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  if (checked_ && group_ != 0 && parent_) {
    for (auto& sibling : parent_->items_) {
      if (sibling.get() != this && sibling->group_ == group_) sibling->checked_ = false;
    }
  }
  Changed();
}

void MenuItem::SetGroupIndex(int group) {
  if (group_ == group) return;
  group_ = group;
  Changed();
}

MenuItem* MenuItem::Item(size_t index) const {
  return index < items_.size() ? items_[index].get() : nullptr;
}

MenuItem* MenuItem::Add(const std::string& caption, int tag, const std::string& name) {
  items_.push_back(std::unique_ptr<MenuItem>(new MenuItem(owner_, this, caption, tag, name)));
  Changed();
  return items_.back().get();
}

MenuItem* MenuItem::AddSeparator() {
  return Add("-");
}

void MenuItem::Remove(MenuItem* item) {
  auto it = std::find_if(items_.begin(), items_.end(),
                         [item](const std::unique_ptr<MenuItem>& p) { return p.get() == item; });
  if (it == items_.end()) return;
  items_.erase(it);
  Changed();
}

void MenuItem::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

int MenuItem::IndexOf(const MenuItem* item) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == item) return static_cast<int>(i);
  }
  return -1;
}

MenuItem* MenuItem::FindByName(const std::string& name) {
  for (auto& item : items_) {
    if (item->name_ == name) return item.get();
    if (MenuItem* found = item->FindByName(name)) return found;
  }
  return nullptr;
}

MenuItem* MenuItem::FindByCaption(const std::string& caption) {
  for (auto& item : items_) {
    if (item->DisplayCaption() == caption) return item.get();
    if (MenuItem* found = item->FindByCaption(caption)) return found;
  }
  return nullptr;
}

bool MenuItem::Click() {
  for (const MenuItem* p = this; p; p = p->parent_) {
    if (!p->visible_ || !p->enabled_) return false;
  }
  if (IsSeparator()) return false;
  if (auto_check_) SetChecked(group_ != 0 ? true : !checked_);
  if (OnClick && owner_) OnClick(*owner_);
  return true;
}

Json MenuItem::Describe() const {
  Json out = {{"id", id_}, {"tag", tag_}, {"visible", visible_}, {"enabled", enabled_}};
  if (IsSeparator()) {
    out["separator"] = true;
  } else {
    out["caption"] = DisplayCaption();
    char acc = Accelerator();
    if (acc) out["accelerator"] = std::string(1, acc);
    out["checked"] = checked_;
    if (group_ != 0) out["group"] = group_;
  }
  if (!name_.empty()) out["name"] = name_;
  Json items = Json::array();
  for (const auto& item : items_) items.push_back(item->Describe());
  out["items"] = std::move(items);
  return out;
}

// ---- Menu ----

Menu::Menu(std::string kind, std::string name, Control* parent)
    : Control(std::move(kind), std::move(name), parent),
      root_(new MenuItem(this, nullptr, std::string(), 0, std::string())) {}

namespace {
MenuItem* FindById(MenuItem& item, int id) {
  if (item.Id() == id) return &item;
  for (size_t i = 0; i < item.Count(); ++i) {
    if (MenuItem* found = FindById(*item.Item(i), id)) return found;
  }
  return nullptr;
}
}  // namespace

MenuItem* Menu::FindItem(int id) {
  if (id <= 0) return nullptr;
  return FindById(*root_, id);
}

void Menu::DescribeState(Json& out) const {
  out["items"] = root_->Describe()["items"];
}

bool Menu::HandleOwnInput(const std::string& type, const Json& input) {
  if (type != "choose") return false;
  MenuItem* item = FindItem(JsonInt(input, "item", 0));
  if (!item) return false;
  Choose(*item);
  return true;
}

void Menu::Choose(MenuItem& item) {
  item.Click();
}

// ---- PopupMenu ----

PopupMenu::PopupMenu(std::string name, Control* parent)
    : Menu("popupmenu", std::move(name), parent) {}

void PopupMenu::Popup(int x, int y) {
  Raise(OnPopup, *this);
  open_ = true;
  point_ = {x, y};
  Changed();
}

void PopupMenu::CloseUp() {
  if (!open_) return;
  open_ = false;
  Changed();
}

bool PopupMenu::ChooseItem(MenuItem* item) {
  if (!item || item->Owner() != this) return false;
  CloseUp();
  return item->Click();
}

void PopupMenu::Choose(MenuItem& item) {
  ChooseItem(&item);
}

void PopupMenu::DescribeState(Json& out) const {
  Menu::DescribeState(out);
  out["open"] = open_;
  out["x"] = point_.x;
  out["y"] = point_.y;
}

bool PopupMenu::HandleOwnInput(const std::string& type, const Json& input) {
  if (type == "dismiss") {
    CloseUp();
    return true;
  }
  return Menu::HandleOwnInput(type, input);
}

MainMenu::MainMenu(std::string name, Control* parent) : Menu("mainmenu", std::move(name), parent) {}

}  // namespace vt::widgets
