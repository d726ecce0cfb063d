#include "platform/widgets/containers.h"

#include <algorithm>

#include "platform/widgets/menu.h"

namespace vt::widgets {

// ---- ToolBar ----

ToolBar::ToolBar(std::string name, Control* parent) : Control("toolbar", std::move(name), parent) {
  SetAlign(Align::Top);
}

void ToolBar::SetFlat(bool on) {
  if (flat_ == on) return;
  flat_ = on;
  Changed();
}

void ToolBar::SetShowCaptions(bool on) {
  if (show_captions_ == on) return;
  show_captions_ = on;
  Changed();
}

void ToolBar::DescribeState(Json& out) const {
  out["flat"] = flat_;
  out["showCaptions"] = show_captions_;
}

// ---- ToolButton ----

namespace {
const char* StyleName(ToolButtonStyle style) {
  switch (style) {
    case ToolButtonStyle::Button:
      return "button";
    case ToolButtonStyle::Check:
      return "check";
    case ToolButtonStyle::DropDown:
      return "dropdown";
    case ToolButtonStyle::Separator:
      return "separator";
  }
  return "button";
}
}  // namespace

ToolButton::ToolButton(std::string name, Control* parent, const std::string& caption,
                       ToolButtonStyle style)
    : Control("toolbutton", std::move(name), parent), style_(style) {
  SetCaption(caption);
}

void ToolButton::SetStyle(ToolButtonStyle style) {
  if (style_ == style) return;
  style_ = style;
  Changed();
}

void ToolButton::SetDown(bool down) {
  if (down_ == down) return;
  down_ = down;
  if (down_ && grouped_ && Parent()) {
    for (Control* c : Parent()->Children()) {
      auto* b = dynamic_cast<ToolButton*>(c);
      if (b && b != this && b->grouped_ && b->style_ == ToolButtonStyle::Check && b->down_) {
        b->down_ = false;
        b->Changed();
      }
    }
  }
  Changed();
}

void ToolButton::SetImageIndex(int index) {
  if (image_index_ == index) return;
  image_index_ = index;
  Changed();
}

PopupMenu* ToolButton::DropdownMenu() const {
  return menu_ ? dynamic_cast<PopupMenu*>(FindControl(menu_)) : nullptr;
}

void ToolButton::SetDropdownMenu(PopupMenu* menu) {
  menu_ = menu ? menu->Id() : 0;
  Changed();
}

void ToolButton::Click(Point screen) {
  if (!CanFocus() || style_ == ToolButtonStyle::Separator) return;
  if (style_ == ToolButtonStyle::Check) SetDown(grouped_ ? true : !down_);
  Raise(OnClick, *this);
  if (style_ == ToolButtonStyle::DropDown) {
    if (PopupMenu* menu = DropdownMenu()) menu->Popup(screen.x, screen.y);
  }
}

void ToolButton::DoClick(const Json& input) {
  Click({JsonInt(input, "x", 0), JsonInt(input, "y", 0)});
}

void ToolButton::DescribeState(Json& out) const {
  out["style"] = StyleName(style_);
  out["down"] = down_;
  out["imageIndex"] = image_index_;
  if (PopupMenu* menu = DropdownMenu()) out["menu"] = menu->Id();
}

// ---- TabSheet / PageControl ----

TabSheet::TabSheet(std::string name, Control* page_control, const std::string& caption)
    : Control("tabsheet", std::move(name), page_control) {
  SetCaption(caption);
  SetAlign(Align::Client);
}

void TabSheet::SetTabVisible(bool on) {
  if (tab_visible_ == on) return;
  tab_visible_ = on;
  Changed();
  if (Parent()) Parent()->Changed();
}

int TabSheet::PageIndex() const {
  auto* pc = dynamic_cast<PageControl*>(Parent());
  if (!pc) return -1;
  auto pages = pc->Pages();
  auto it = std::find(pages.begin(), pages.end(), this);
  return it == pages.end() ? -1 : static_cast<int>(it - pages.begin());
}

void TabSheet::DescribeState(Json& out) const {
  out["tabVisible"] = tab_visible_;
  out["pageIndex"] = PageIndex();
}

PageControl::PageControl(std::string name, Control* parent)
    : Control("pagecontrol", std::move(name), parent) {}

std::vector<TabSheet*> PageControl::Pages() const {
  std::vector<TabSheet*> pages;
  for (Control* c : Children()) {
    if (auto* t = dynamic_cast<TabSheet*>(c)) pages.push_back(t);
  }
  return pages;
}

TabSheet* PageControl::Page(int index) const {
  auto pages = Pages();
  return index >= 0 && index < static_cast<int>(pages.size()) ? pages[index] : nullptr;
}

int PageControl::ActivePageIndex() const {
  auto pages = Pages();
  // With no choice made yet the first sheet shows, as on a freshly built form.
  if (!active_) return pages.empty() ? -1 : 0;
  auto it =
      std::find_if(pages.begin(), pages.end(), [&](TabSheet* t) { return t->Id() == active_; });
  return it == pages.end() ? (pages.empty() ? -1 : 0) : static_cast<int>(it - pages.begin());
}

void PageControl::SetActivePageIndex(int index) {
  TabSheet* page = Page(index);
  ControlId id = page ? page->Id() : 0;
  if (id == active_) return;
  active_ = id;
  Changed();
}

void PageControl::SetMultiLine(bool on) {
  if (multi_line_ == on) return;
  multi_line_ = on;
  Changed();
}

bool PageControl::HandleOwnInput(const std::string& type, const Json& input) {
  if (type != "select-tab") return false;
  TabSheet* page = Page(JsonInt(input, "index", -1));
  if (!page || !page->TabVisible() || !page->Enabled()) return false;
  if (page == ActivePage()) return true;
  bool allow = true;
  if (OnChanging) OnChanging(*this, allow);
  if (!allow) return true;
  active_ = page->Id();
  Changed();
  Raise(OnChange, *this);
  return true;
}

void PageControl::DescribeState(Json& out) const {
  Json tabs = Json::array();
  for (TabSheet* t : Pages()) {
    tabs.push_back({{"id", t->Id()},
                    {"name", t->Name()},
                    {"caption", t->Caption()},
                    {"visible", t->TabVisible()}});
  }
  out["tabs"] = std::move(tabs);
  out["activePageIndex"] = ActivePageIndex();
  out["multiLine"] = multi_line_;
}

// ---- Splitter ----

Splitter::Splitter(std::string name, Control* parent, Control* pane, SplitOrientation orientation)
    : Control("splitter", std::move(name), parent),
      pane_(pane ? pane->Id() : 0),
      orientation_(orientation) {
  SetAlign(orientation == SplitOrientation::Horizontal ? Align::Top : Align::Left);
}

void Splitter::SetThickness(int pixels) {
  if (thickness_ == pixels || pixels < 1) return;
  thickness_ = pixels;
  Changed();
}

void Splitter::SetMinSize(int pixels) {
  if (min_size_ == pixels || pixels < 0) return;
  min_size_ = pixels;
  Changed();
}

int Splitter::PaneSize() const {
  Control* pane = Pane();
  if (!pane) return 0;
  return orientation_ == SplitOrientation::Horizontal ? pane->Height() : pane->Width();
}

void Splitter::MoveTo(int size) {
  Control* pane = Pane();
  if (!pane) return;
  bool horizontal = orientation_ == SplitOrientation::Horizontal;
  int extent = Parent() ? (horizontal ? Parent()->Height() : Parent()->Width()) : 0;
  int high = extent > 0 ? extent - thickness_ - min_size_ : size;
  size = std::max(min_size_, std::min(size, std::max(high, min_size_)));
  if (horizontal) {
    pane->SetHeight(size);
  } else {
    pane->SetWidth(size);
  }
  Changed();
  Raise(OnMoved, *this);
}

bool Splitter::HandleOwnInput(const std::string& type, const Json& input) {
  if (type != "move") return false;
  auto it = input.find("size");
  if (it == input.end() || !it->is_number()) return false;
  MoveTo(JsonInt(input, "size", PaneSize()));
  return true;
}

void Splitter::DescribeState(Json& out) const {
  out["orientation"] = orientation_ == SplitOrientation::Horizontal ? "horizontal" : "vertical";
  out["thickness"] = thickness_;
  out["minSize"] = min_size_;
  out["pane"] = pane_ && Pane() ? Json(pane_) : Json(nullptr);
  out["paneSize"] = PaneSize();
}

}  // namespace vt::widgets
