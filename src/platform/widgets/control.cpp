#include "platform/widgets/control.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <unordered_map>

#include "platform/msgloop/unwind.h"
#include "platform/widgets/dialogs.h"

namespace vt::widgets {

class ChangeTracker {
 public:
  static ChangeTracker& Get() {
    static ChangeTracker tracker;
    return tracker;
  }

  void Mark(Control& control) {
    if (control.dirty_) return;
    control.dirty_ = true;
    changed_.push_back(control.Id());
    Wake();
  }
  void Removed(ControlId id) {
    removed_.push_back(id);
    Wake();
  }
  void Cursor() {
    cursor_ = true;
    Wake();
  }
  ChangeSet Take() {
    ChangeSet set;
    set.cursor_changed = cursor_;
    cursor_ = false;
    std::vector<ControlId> changed;
    changed.swap(changed_);
    for (ControlId id : changed) {
      if (Control* c = FindControl(id)) {
        c->dirty_ = false;
        set.changed.push_back(id);
      }
    }
    set.removed.swap(removed_);
    woken_ = false;
    return set;
  }
  bool Pending() const { return cursor_ || !changed_.empty() || !removed_.empty(); }
  void SetListener(std::function<void()> wake) { wake_ = std::move(wake); }

  std::map<ControlId, Control*> live;  // ordered by id = creation order
  ControlId next_id = 1;
  Control* focused = nullptr;

 private:
  void Wake() {
    if (woken_) return;
    woken_ = true;
    if (wake_) wake_();
  }
  std::vector<ControlId> changed_;
  std::vector<ControlId> removed_;
  bool cursor_ = false;
  bool woken_ = false;
  std::function<void()> wake_;
};

namespace {
std::string& TitleStorage() {
  static std::string title = "Vellumtrace";
  return title;
}
}  // namespace

Control::Control(std::string kind, std::string name, Control* parent)
    : id_(ChangeTracker::Get().next_id++), kind_(std::move(kind)), name_(std::move(name)) {
  ChangeTracker::Get().live.emplace(id_, this);
  if (parent) SetParent(parent);
  ChangeTracker::Get().Mark(*this);
}

Control::~Control() {
  Detach();
}

namespace {
std::map<std::uintptr_t, Control*>& WindowControls() {
  static std::map<std::uintptr_t, Control*> windows;
  return windows;
}
}  // namespace

void Control::Detach() {
  auto& tracker = ChangeTracker::Get();
  if (tracker.focused == this) tracker.focused = nullptr;
  for (Control* child : children_) child->parent_ = nullptr;
  children_.clear();
  if (parent_) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    parent_->Changed();
    parent_ = nullptr;
  }
  tracker.live.erase(id_);
  tracker.Removed(id_);
  std::erase_if(WindowControls(), [this](const auto& entry) { return entry.second == this; });
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (!visible_ && Focused()) ChangeTracker::Get().focused = nullptr;
  Changed();
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void Control::SetHint(const std::string& hint) {
  if (hint_ == hint) return;
  hint_ = hint;
  Changed();
}

void Control::SetShowHint(bool show) {
  if (show_hint_ == show) return;
  show_hint_ = show;
  Changed();
}

void Control::SetCaption(const std::string& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  Changed();
}

void Control::SetBounds(const Rect& bounds) {
  if (bounds_ == bounds) return;
  bounds_ = bounds;
  Changed();
}

void Control::SetWidth(int width) {
  Rect r = bounds_;
  r.width = width;
  SetBounds(r);
}

void Control::SetHeight(int height) {
  Rect r = bounds_;
  r.height = height;
  SetBounds(r);
}

void Control::SetAlign(Align align) {
  if (align_ == align) return;
  align_ = align;
  Changed();
}

void Control::SetParent(Control* parent) {
  if (parent == parent_) return;
  for (Control* p = parent; p; p = p->parent_) {
    if (p == this) return;  // would make a cycle
  }
  if (parent_) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    parent_->Changed();
  }
  parent_ = parent;
  if (parent_) {
    parent_->children_.push_back(this);
    parent_->Changed();
  }
  Changed();
}

Control* Control::FindChild(const std::string& name) const {
  for (Control* child : children_) {
    if (child->name_ == name) return child;
    if (Control* found = child->FindChild(name)) return found;
  }
  return nullptr;
}

bool Control::Focused() const {
  return ChangeTracker::Get().focused == this;
}

bool Control::CanFocus() const {
  for (const Control* c = this; c; c = c->parent_) {
    if (!c->visible_ || !c->enabled_) return false;
  }
  return true;
}

void Control::SetFocus() {
  auto& tracker = ChangeTracker::Get();
  Control* old = tracker.focused;
  if (old == this) return;
  tracker.focused = this;
  if (old) {
    old->Changed();
    Raise(old->OnExit, *old);
  }
  // A handler of the old control may have moved the focus on; respect that.
  if (tracker.focused != this) return;
  Changed();
  Raise(OnEnter, *this);
}

void Control::BeginUpdate() {
  ++update_count_;
}

void Control::EndUpdate() {
  if (update_count_ == 0) return;
  if (--update_count_ == 0 && changed_while_updating_) {
    changed_while_updating_ = false;
    Changed();
  }
}

void Control::Changed() {
  if (update_count_ > 0) {
    changed_while_updating_ = true;
    return;
  }
  ChangeTracker::Get().Mark(*this);
}

Json Control::Describe() const {
  Json out = {{"id", id_},
              {"kind", kind_},
              {"name", name_},
              {"visible", visible_},
              {"enabled", enabled_},
              {"focused", Focused()},
              {"align", AlignName(align_)},
              {"bounds",
               {{"left", bounds_.left},
                {"top", bounds_.top},
                {"width", bounds_.width},
                {"height", bounds_.height}}}};
  out["parent"] = parent_ ? Json(parent_->id_) : Json(nullptr);
  if (!caption_.empty()) out["caption"] = caption_;
  if (!hint_.empty() && show_hint_) out["hint"] = hint_;
  Json kids = Json::array();
  for (const Control* child : children_) kids.push_back(child->id_);
  out["children"] = std::move(kids);
  DescribeState(out);
  return out;
}

Json Control::DescribeTree() const {
  Json out = Describe();
  Json kids = Json::array();
  for (const Control* child : children_) kids.push_back(child->DescribeTree());
  out["controls"] = std::move(kids);
  return out;
}

void Control::DoClick(const Json&) {
  Raise(OnClick, *this);
}
void Control::DoDblClick(const Json&) {
  Raise(OnDblClick, *this);
}
void Control::DoContextPopup(Point screen, const Json&) {
  if (OnContextPopup) OnContextPopup(*this, screen);
}
void Control::DoKeyDown(KeyEvent& key, const Json&) {
  if (OnKeyDown) OnKeyDown(*this, key);
}

bool Control::HandleInput(const Json& input) {
  if (!input.is_object()) return false;
  // "event" is accepted as another name of the field.
  const std::string type = JsonString(input, "type", JsonString(input, "event"));
  if (type.empty() || !CanFocus() || !AcceptsInputUnderModal(*this)) return false;
  // A handler may destroy the control: nothing below touches it after the dispatch.
  bool handled = true;
  bool ok = RunGuarded([&] {
    if (type == "click") {
      DoClick(input);
    } else if (type == "dblclick") {
      DoDblClick(input);
    } else if (type == "contextmenu") {
      DoContextPopup({JsonInt(input, "x", 0), JsonInt(input, "y", 0)}, input);
    } else if (type == "key") {
      KeyEvent key;
      key.text = JsonString(input, "key");
      key.key = KeyFromName(key.text);
      key.shift = JsonBool(input, "shift", false);
      key.ctrl = JsonBool(input, "ctrl", false);
      key.alt = JsonBool(input, "alt", false);
      DoKeyDown(key, input);
      // Keys nobody swallowed reach the form's default and cancel buttons.
      if (key.key == Key::Enter || key.key == Key::Escape) {
        for (Control* p = this; p; p = p->Parent()) {
          if (auto* form = dynamic_cast<Form*>(p)) {
            form->DialogKey(key.key);
            break;
          }
        }
      }
    } else if (type == "focus") {
      SetFocus();
    } else if (type == "blur") {
      if (Focused()) {
        ChangeTracker::Get().focused = nullptr;
        Changed();
        Raise(OnExit, *this);
      }
    } else if (type == "resize") {
      Rect r = bounds_;
      r.width = std::max(0, JsonInt(input, "width", r.width));
      r.height = std::max(0, JsonInt(input, "height", r.height));
      if (!(r == bounds_)) {
        bounds_ = r;  // the display already shows this size; no redraw needed
        Raise(OnResize, *this);
      }
    } else {
      handled = HandleOwnInput(type, input);
    }
  });
  return ok ? handled : true;
}

void SetChangeListener(std::function<void()> wake) {
  ChangeTracker::Get().SetListener(std::move(wake));
}
ChangeSet TakeChanges() {
  return ChangeTracker::Get().Take();
}
bool HasPendingChanges() {
  return ChangeTracker::Get().Pending();
}
void NoteCursorChanged() {
  ChangeTracker::Get().Cursor();
}

Control* FindControl(ControlId id) {
  auto& live = ChangeTracker::Get().live;
  auto it = live.find(id);
  return it == live.end() ? nullptr : it->second;
}

std::vector<Control*> TopLevelControls() {
  std::vector<Control*> out;
  for (auto& [id, c] : ChangeTracker::Get().live) {
    if (!c->Parent()) out.push_back(c);
  }
  return out;
}

Control* FindControlByName(const std::string& name) {
  for (auto& [id, c] : ChangeTracker::Get().live) {
    if (c->Name() == name) return c;
  }
  return nullptr;
}

Control* FocusedControl() {
  return ChangeTracker::Get().focused;
}

void SetWindowControl(std::uintptr_t window, Control* control) {
  if (control) {
    WindowControls()[window] = control;
  } else {
    WindowControls().erase(window);
  }
}

Control* WindowControl(std::uintptr_t window) {
  auto& windows = WindowControls();
  auto it = windows.find(window);
  return it == windows.end() ? nullptr : it->second;
}

void SetApplicationTitle(const std::string& title) {
  TitleStorage() = title;
}
const std::string& ApplicationTitle() {
  return TitleStorage();
}

void HandleException(const std::exception& error) {
  MessageBox(error.what(), ApplicationTitle(), MessageIcon::Error, MessageButtons::Ok);
}

bool RunGuarded(const std::function<void()>& fn) {
  // A handler may close the object it belongs to; that object is freed once the handler is done.
  msgloop::LoopScope scope;
  try {
    fn();
    return true;
  } catch (const std::exception& e) {
    HandleException(e);
  } catch (...) {
    HandleException(std::runtime_error("Unknown error"));
  }
  return false;
}

int JsonInt(const Json& input, const char* key, int fallback) {
  auto it = input.find(key);
  if (it == input.end()) return fallback;
  if (it->is_number_integer()) {
    auto v = it->get<std::int64_t>();
    if (v < INT32_MIN || v > INT32_MAX) return fallback;
    return static_cast<int>(v);
  }
  if (it->is_number()) {
    double d = it->get<double>();
    if (!(d >= INT32_MIN && d <= INT32_MAX)) return fallback;
    return static_cast<int>(d);
  }
  return fallback;
}

std::string JsonString(const Json& input, const char* key, const std::string& fallback) {
  auto it = input.find(key);
  if (it == input.end() || !it->is_string()) return fallback;
  return it->get<std::string>();
}

bool JsonBool(const Json& input, const char* key, bool fallback) {
  auto it = input.find(key);
  if (it == input.end() || !it->is_boolean()) return fallback;
  return it->get<bool>();
}

const char* AlignName(Align align) {
  switch (align) {
    case Align::None:
      return "none";
    case Align::Top:
      return "top";
    case Align::Bottom:
      return "bottom";
    case Align::Left:
      return "left";
    case Align::Right:
      return "right";
    case Align::Client:
      return "client";
  }
  return "none";
}

namespace {
struct KeyNameEntry {
  Key key;
  const char* name;
};
constexpr KeyNameEntry kKeyNames[] = {
    {Key::Enter, "Enter"},
    {Key::Escape, "Escape"},
    {Key::Delete, "Delete"},
    {Key::Insert, "Insert"},
    {Key::Tab, "Tab"},
    {Key::Backspace, "Backspace"},
    {Key::Space, " "},
    {Key::Up, "ArrowUp"},
    {Key::Down, "ArrowDown"},
    {Key::Left, "ArrowLeft"},
    {Key::Right, "ArrowRight"},
    {Key::Home, "Home"},
    {Key::End, "End"},
    {Key::PageUp, "PageUp"},
    {Key::PageDown, "PageDown"},
    {Key::F1, "F1"},
    {Key::F2, "F2"},
};
}  // namespace

Key KeyFromName(const std::string& name) {
  if (name.empty()) return Key::None;
  if (name == "Esc") return Key::Escape;
  if (name == "Del") return Key::Delete;
  if (name == "Spacebar") return Key::Space;
  for (const auto& e : kKeyNames) {
    if (name == e.name) return e.key;
  }
  return Key::Other;
}

const char* KeyName(Key key) {
  for (const auto& e : kKeyNames) {
    if (e.key == key) return e.name;
  }
  return key == Key::None ? "" : "Other";
}

}  // namespace vt::widgets
