#include "config/RegControls.h"

#include <algorithm>

namespace vt {

TRegComboBox::TRegComboBox(std::string name, widgets::Control* parent, registry::Store* store)
    : widgets::ComboBox(std::move(name), parent, widgets::ComboStyle::DropDown), store_(store) {}

registry::Store& TRegComboBox::Store() const {
  return store_ ? *store_ : registry::DefaultStore();
}

registry::Hive TRegComboBox::Root() const {
  return reg_location_ == RegLocation::LocalMachine ? registry::HKEY_LOCAL_MACHINE
                                                    : registry::HKEY_CURRENT_USER;
}

void TRegComboBox::SetRegKey(std::string key) {
  if (key.empty() || key == reg_key_) return;
  if (key.back() == '\\') key.pop_back();
  reg_key_ = std::move(key);
}

void TRegComboBox::SetRegLocation(RegLocation location) {
  if (location == reg_location_) return;
  reg_location_ = location;
  if (loading_) return;
  for (registry::Hive hive : {registry::HKEY_CURRENT_USER, registry::HKEY_LOCAL_MACHINE}) {
    try {
      Store().DeleteKey(hive, reg_key_);
    } catch (const std::exception&) {
    }
  }
  SaveHistory();
}

void TRegComboBox::Loaded() {
  loading_ = false;
  if (reg_enabled_) LoadHistory();
}

void TRegComboBox::LoadHistory() {
  std::vector<std::string> names;
  try {
    if (auto key = Store().OpenKey(Root(), reg_key_)) names = key->ValueNames();
  } catch (const std::exception&) {
    names.clear();
  }
  SetItems(std::move(names));
}

void TRegComboBox::AddToHistory() {
  const std::string text = Text();
  if (text.empty()) return;
  const std::string selected = SelectedText();
  items_.erase(std::remove(items_.begin(), items_.end(), text), items_.end());
  // A sorted box still shows the new entry first until the list is loaded again.
  items_.insert(items_.begin(), text);
  item_index_ = selected == text ? 0 : IndexOf(selected);
  Changed();
  SaveHistory();
}

void TRegComboBox::SaveHistory() {
  try {
    registry::Store& store = Store();
    // One write: the old list is never gone from disk without the new one in its place.
    registry::Batch batch(store);
    store.DeleteKey(Root(), reg_key_);
    registry::Key key = store.CreateKey(Root(), reg_key_);
    const size_t n = std::min(items_.size(), static_cast<size_t>(std::max(reg_max_count_, 0)));
    for (size_t i = 0; i < n; ++i) key.WriteString(items_[i], "");
    batch.Commit();
  } catch (const std::exception&) {
  }
}

}  // namespace vt
