#include "platform/widgets/indicators.h"

namespace vt::widgets {

StatusBar::StatusBar(std::string name, Control* parent)
    : Control("statusbar", std::move(name), parent), panels_(1) {
  SetAlign(Align::Bottom);
}

void StatusBar::SetPanelCount(size_t count) {
  if (count == 0) count = 1;
  if (count == panels_.size()) return;
  panels_.resize(count);
  Changed();
}

std::string StatusBar::PanelText(size_t index) const {
  return index < panels_.size() ? panels_[index].text : std::string();
}

void StatusBar::SetPanelText(size_t index, const std::string& text) {
  if (index >= panels_.size()) panels_.resize(index + 1);
  if (panels_[index].text == text) return;
  panels_[index].text = text;
  Changed();
}

int StatusBar::PanelWidth(size_t index) const {
  return index < panels_.size() ? panels_[index].width : 0;
}

void StatusBar::SetPanelWidth(size_t index, int width) {
  if (index >= panels_.size()) panels_.resize(index + 1);
  if (panels_[index].width == width) return;
  panels_[index].width = width;
  Changed();
}

void StatusBar::DescribeState(Json& out) const {
  Json panels = Json::array();
  for (const auto& p : panels_) panels.push_back({{"text", p.text}, {"width", p.width}});
  out["panels"] = std::move(panels);
}

const char* LedColorName(LedColor color) {
  switch (color) {
    case LedColor::Green:
      return "green";
    case LedColor::Red:
      return "red";
    case LedColor::Yellow:
      return "yellow";
    case LedColor::Blue:
      return "blue";
    case LedColor::Gray:
      return "gray";
  }
  return "green";
}

BusyLed::BusyLed(std::string name, Control* parent) : Control("led", std::move(name), parent) {}

void BusyLed::SetLit(bool lit) {
  if (lit_ == lit) return;
  lit_ = lit;
  Changed();
}

void BusyLed::SetColor(LedColor color) {
  if (color_ == color) return;
  color_ = color;
  Changed();
}

void BusyLed::DescribeState(Json& out) const {
  out["lit"] = lit_;
  out["color"] = LedColorName(color_);
}

}  // namespace vt::widgets
