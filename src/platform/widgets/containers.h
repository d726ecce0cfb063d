#pragma once
// Tool bars with buttons, the page control with its tab sheets, and splitters.

#include <string>
#include <vector>

#include "platform/widgets/control.h"

namespace vt::widgets {

class PopupMenu;

class ToolBar : public Control {
 public:
  explicit ToolBar(std::string name, Control* parent = nullptr);
  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  bool ShowCaptions() const { return show_captions_; }
  void SetShowCaptions(bool on);

 protected:
  void DescribeState(Json& out) const override;

 private:
  bool flat_ = true;
  bool show_captions_ = false;
};

enum class ToolButtonStyle { Button, Check, DropDown, Separator };

// A tool-bar button. A click of a check button toggles Down first (a grouped one only goes
// down, and releases the other grouped check buttons of its bar), then raises OnClick. A click
// of a drop-down button raises OnClick and then opens its menu at the point the display gives.
class ToolButton : public Control {
 public:
  ToolButton(std::string name, Control* parent, const std::string& caption = {},
             ToolButtonStyle style = ToolButtonStyle::Button);

  ToolButtonStyle Style() const { return style_; }
  void SetStyle(ToolButtonStyle style);
  bool Down() const { return down_; }
  void SetDown(bool down);  // from code: raises nothing
  bool Grouped() const { return grouped_; }
  void SetGrouped(bool on) { grouped_ = on; }
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int index);
  PopupMenu* DropdownMenu() const;        // nullptr when none or destroyed
  void SetDropdownMenu(PopupMenu* menu);  // not owned
  // As a user's click; does nothing when disabled. `screen` is where a drop-down menu opens.
  void Click(Point screen = {});

 protected:
  void DescribeState(Json& out) const override;
  void DoClick(const Json& input) override;

 private:
  ToolButtonStyle style_;
  bool down_ = false;
  bool grouped_ = false;
  int image_index_ = -1;
  ControlId menu_ = 0;
};

class TabSheet : public Control {
 public:
  TabSheet(std::string name, Control* page_control, const std::string& caption);
  bool TabVisible() const { return tab_visible_; }
  void SetTabVisible(bool on);
  int PageIndex() const;  // position among the page control's sheets; -1 when not on one

 protected:
  void DescribeState(Json& out) const override;

 private:
  bool tab_visible_ = true;
};

// The sheets are the children of kind "tabsheet", in order. Input "select-tab {index}" is the
// user's tab click: OnChanging may refuse it, then OnChange follows.
class PageControl : public Control {
 public:
  explicit PageControl(std::string name, Control* parent = nullptr);

  std::vector<TabSheet*> Pages() const;
  size_t PageCount() const { return Pages().size(); }
  TabSheet* Page(int index) const;  // nullptr out of range
  int ActivePageIndex() const;      // -1 when none
  TabSheet* ActivePage() const { return Page(ActivePageIndex()); }
  void SetActivePageIndex(int index);  // from code: raises nothing; out of range = none
  bool MultiLine() const { return multi_line_; }
  void SetMultiLine(bool on);

  NotifyEvent OnChange;
  std::function<void(PageControl& sender, bool& allow)> OnChanging;

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;

 private:
  ControlId active_ = 0;
  bool multi_line_ = false;
};

enum class SplitOrientation { Horizontal, Vertical };

// Splits its parent between a resized pane (above, or left of, the bar) and the rest. The
// display drags the bar and reports the pane's new size with "move {size}"; the size is kept
// between MinSize and the parent's extent less the bar and MinSize.
class Splitter : public Control {
 public:
  Splitter(std::string name, Control* parent, Control* pane,
           SplitOrientation orientation = SplitOrientation::Horizontal);

  SplitOrientation Orientation() const { return orientation_; }
  int Thickness() const { return thickness_; }
  void SetThickness(int pixels);
  int MinSize() const { return min_size_; }
  void SetMinSize(int pixels);
  Control* Pane() const { return FindControl(pane_); }  // nullptr once destroyed
  int PaneSize() const;  // height (horizontal bar) or width of the pane
  // Sets the pane's size as a drag does, clamped, and raises OnMoved.
  void MoveTo(int size);

  NotifyEvent OnMoved;

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;

 private:
  ControlId pane_;
  SplitOrientation orientation_;
  int thickness_ = 5;
  int min_size_ = 1;
};

}  // namespace vt::widgets
