#pragma once
// The base of every control model: identity, common properties, the parent/child tree,
// change tracking for the display, keyboard focus and the entry point for display input.
//
// Threading: everything here runs on the UI thread. Nothing is locked.
// Ownership: a control does not own its children; whoever creates a control owns it (forms
// usually hold their controls as members). Destroying a control detaches it from its parent
// and its children and reports it as removed to the display.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vt::widgets {

using Json = nlohmann::json;
using ControlId = std::int64_t;  // process-wide, never reused; doubles as the window handle

enum class Align { None, Top, Bottom, Left, Right, Client };

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Keys the display reports. Names on the wire are those of DOM KeyboardEvent.key.
enum class Key {
  None,
  Enter,
  Escape,
  Delete,
  Insert,
  Tab,
  Backspace,
  Space,
  Up,
  Down,
  Left,
  Right,
  Home,
  End,
  PageUp,
  PageDown,
  F1,
  F2,
  Other
};

struct KeyEvent {
  Key key = Key::None;  // set to Key::None in a handler to swallow the key
  std::string text;     // the wire name, e.g. "Enter" or "a"
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

Key KeyFromName(const std::string& name);
const char* KeyName(Key key);

class Control;
using NotifyEvent = std::function<void(Control& sender)>;
using KeyHandler = std::function<void(Control& sender, KeyEvent& key)>;
using PointEvent = std::function<void(Control& sender, Point screen)>;

class Control {
 public:
  Control(std::string kind, std::string name, Control* parent = nullptr);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlId Id() const { return id_; }
  ControlId Handle() const { return id_; }
  const std::string& Kind() const { return kind_; }
  const std::string& Name() const { return name_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool show);
  // Caption or text, for the controls that show one (labels, buttons, forms, tabs).
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // Layout. The display lays out by align and reports real sizes back with "resize" input.
  const Rect& Bounds() const { return bounds_; }
  void SetBounds(const Rect& bounds);
  int Width() const { return bounds_.width; }
  int Height() const { return bounds_.height; }
  void SetWidth(int width);
  void SetHeight(int height);
  Align GetAlign() const { return align_; }
  void SetAlign(Align align);

  Control* Parent() const { return parent_; }
  void SetParent(Control* parent);  // nullptr detaches; order among siblings is insertion order
  const std::vector<Control*>& Children() const { return children_; }
  Control* FindChild(const std::string& name) const;  // depth-first, nullptr when absent

  // Keyboard focus (one control of the process holds it).
  void SetFocus();
  bool Focused() const;
  bool CanFocus() const;  // visible and enabled, with every ancestor visible and enabled

  // Drawable state for the display: common fields plus the kind's own (DescribeState).
  Json Describe() const;
  // The control and every descendant, nested under "controls".
  Json DescribeTree() const;

  // Display input. Returns false when the input does not apply (unknown type, control disabled
  // or hidden, a stale node or item). Failures raised by event handlers are shown as an error
  // message box and count as handled.
  bool HandleInput(const Json& input);

  // Suspends change notifications; EndUpdate reports one change when anything changed.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return update_count_ > 0; }

  // Marks the control for a redraw; the display hears of it once until it takes the change.
  void Changed();

  NotifyEvent OnClick;
  NotifyEvent OnDblClick;
  PointEvent OnContextPopup;  // right click, with the pointer's screen position
  KeyHandler OnKeyDown;
  NotifyEvent OnEnter;  // gained focus
  NotifyEvent OnExit;   // lost focus
  NotifyEvent OnResize;

 protected:
  virtual void DescribeState(Json& out) const {}
  // Input types of the kind; return false when unknown. Common types are handled first.
  virtual bool HandleOwnInput(const std::string& type, const Json& input) { return false; }
  // Default reactions that kinds refine. Each raises the matching event.
  virtual void DoClick(const Json& input);
  virtual void DoDblClick(const Json& input);
  virtual void DoContextPopup(Point screen, const Json& input);
  virtual void DoKeyDown(KeyEvent& key, const Json& input);
  static void Raise(const NotifyEvent& event, Control& sender) {
    if (event) event(sender);
  }

 private:
  void Detach();

  ControlId id_;
  std::string kind_;
  std::string name_;
  std::string caption_;
  std::string hint_;
  bool visible_ = true;
  bool enabled_ = true;
  bool show_hint_ = true;
  Rect bounds_;
  Align align_ = Align::None;
  Control* parent_ = nullptr;
  std::vector<Control*> children_;
  int update_count_ = 0;
  bool changed_while_updating_ = false;
  bool dirty_ = false;
  friend class ChangeTracker;
};

// What changed since the display last asked.
struct ChangeSet {
  std::vector<ControlId> changed;  // live controls to describe again, in order of first change
  std::vector<ControlId> removed;  // controls destroyed since
  bool cursor_changed = false;     // the process-wide cursor (cursor.h)
  bool empty() const { return changed.empty() && removed.empty() && !cursor_changed; }
};

// The display's subscription: `wake` runs (on the UI thread) each time the set of pending changes
// goes from empty to non-empty; the display then calls TakeChanges, possibly later. One call per
// burst, however many controls or nodes changed.
void SetChangeListener(std::function<void()> wake);
ChangeSet TakeChanges();
bool HasPendingChanges();
void NoteCursorChanged();  // used by cursor.cpp

// Live controls by id; nullptr when the id names no live control.
Control* FindControl(ControlId id);
// The oldest live control of that name; nullptr when none (names repeat across band windows).
Control* FindControlByName(const std::string& name);
// Live controls without a parent (forms, popup menus, dialogs), in creation order.
std::vector<Control*> TopLevelControls();
Control* FocusedControl();

// The control that draws a message-loop window in the display (a form's own window handle, as a
// band site receives it). SetWindowControl(window, nullptr) forgets the window; a control's
// entries go when it is destroyed. WindowControl answers nullptr for a window no control draws.
void SetWindowControl(std::uintptr_t window, Control* control);
Control* WindowControl(std::uintptr_t window);

// The handler of failures that no one else caught: shows an error message box captioned with
// the application title. RunGuarded runs `fn` under it and returns false when it failed; every
// control event and timer handler runs so, under a msgloop::LoopScope.
void HandleException(const std::exception& error);
bool RunGuarded(const std::function<void()>& fn);
void SetApplicationTitle(const std::string& title);
const std::string& ApplicationTitle();

// Helpers for kinds reading display input safely.
int JsonInt(const Json& input, const char* key, int fallback);
std::string JsonString(const Json& input, const char* key, const std::string& fallback = {});
bool JsonBool(const Json& input, const char* key, bool fallback);

const char* AlignName(Align align);

}  // namespace vt::widgets
