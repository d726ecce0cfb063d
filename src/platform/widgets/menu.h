#pragma once
// Menus: items with captions (& marks the accelerator letter, "&&" a literal ampersand, a caption
// of "-" a separator), tags, visible, enabled, checked and sub-items. A PopupMenu opens at a screen
// point; the display shows it and reports the chosen item, whose OnClick then runs. A MainMenu is
// a menu bar of a form.
//
// Ownership: a menu owns its items; an item owns its sub-items. Item pointers stay valid until
// the item is removed or the menu destroyed.

#include <memory>
#include <string>
#include <vector>

#include "platform/widgets/control.h"

namespace vt::widgets {

class Menu;

class MenuItem {
 public:
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  int Id() const { return id_; }  // unique within its menu
  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool IsSeparator() const { return caption_ == "-"; }
  // The caption as shown: accelerator marks removed ("&Save" -> "Save", "A&&B" -> "A&B").
  std::string DisplayCaption() const;
  // The accelerator letter in lower case, or 0.
  char Accelerator() const;
  int Tag() const { return tag_; }
  void SetTag(int tag);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  // Radio group; 0 = none. Checking an item of a group unchecks its siblings of that group.
  int GroupIndex() const { return group_; }
  void SetGroupIndex(int group);
  bool AutoCheck() const { return auto_check_; }  // a click toggles the check mark first
  void SetAutoCheck(bool on) { auto_check_ = on; }

  MenuItem* Parent() const { return parent_; }
  Menu* Owner() const { return owner_; }
  size_t Count() const { return items_.size(); }
  MenuItem* Item(size_t index) const;  // nullptr past the end
  MenuItem* Add(const std::string& caption, int tag = 0, const std::string& name = {});
  MenuItem* AddSeparator();
  void Remove(MenuItem* item);  // frees the item and its sub-items
  void Clear();
  int IndexOf(const MenuItem* item) const;  // -1 when not a direct sub-item
  // Depth-first search of the sub-items (not this item); nullptr when absent.
  MenuItem* FindByName(const std::string& name);
  MenuItem* FindByCaption(const std::string& caption);  // compares DisplayCaption

  // Runs the item as a click of the user: toggles an auto-check item, then OnClick. Does nothing
  // when the item or one of its parents is hidden or disabled; returns whether it ran.
  bool Click();

  NotifyEvent OnClick;  // sender is the owning menu

  Json Describe() const;

 private:
  friend class Menu;
  MenuItem(Menu* owner, MenuItem* parent, std::string caption, int tag, std::string name);
  void Changed();

  Menu* owner_;
  MenuItem* parent_;
  int id_;
  std::string name_;
  std::string caption_;
  int tag_;
  bool visible_ = true;
  bool enabled_ = true;
  bool checked_ = false;
  bool auto_check_ = false;
  int group_ = 0;
  std::vector<std::unique_ptr<MenuItem>> items_;
};

class Menu : public Control {
 public:
  // The root item holds the top-level items; it has no caption and is never shown.
  MenuItem& Items() { return *root_; }
  const MenuItem& Items() const { return *root_; }
  MenuItem* Add(const std::string& caption, int tag = 0, const std::string& name = {}) {
    return root_->Add(caption, tag, name);
  }
  MenuItem* FindItem(int id);  // nullptr when no item of the menu has that id

 protected:
  Menu(std::string kind, std::string name, Control* parent);
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;
  // Display input "choose" with an item id; the default runs the item.
  virtual void Choose(MenuItem& item);

 private:
  friend class MenuItem;
  int next_item_id_ = 1;
  std::unique_ptr<MenuItem> root_;
};

class PopupMenu : public Menu {
 public:
  explicit PopupMenu(std::string name, Control* parent = nullptr);

  // Raises OnPopup (so handlers can enable and hide items), then opens at the screen point.
  // Returns at once: the display reports the choice ("choose") or the dismissal ("dismiss").
  void Popup(int x, int y);
  bool IsOpen() const { return open_; }
  Point PopupPoint() const { return point_; }
  void CloseUp();  // closes without a choice
  // Runs `item` as the user's choice from the open menu (what "choose" input does).
  bool ChooseItem(MenuItem* item);

  NotifyEvent OnPopup;

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;
  void Choose(MenuItem& item) override;

 private:
  bool open_ = false;
  Point point_;
};

class MainMenu : public Menu {
 public:
  explicit MainMenu(std::string name, Control* parent = nullptr);
};

}  // namespace vt::widgets
