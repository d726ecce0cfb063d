#pragma once
// Status bar with text panels, and the busy lamp (lit or dark, a colour, a hint).

#include <string>
#include <vector>

#include "platform/widgets/control.h"

namespace vt::widgets {

class StatusBar : public Control {
 public:
  // A new status bar has one panel.
  explicit StatusBar(std::string name, Control* parent = nullptr);

  size_t PanelCount() const { return panels_.size(); }
  void SetPanelCount(size_t count);  // at least 1; new panels are empty
  // Text of a panel; empty past the end.
  std::string PanelText(size_t index) const;
  // Sets a panel's text; a panel past the end is added (with empty panels before it).
  void SetPanelText(size_t index, const std::string& text);
  int PanelWidth(size_t index) const;  // 0 = takes the rest
  void SetPanelWidth(size_t index, int width);

 protected:
  void DescribeState(Json& out) const override;

 private:
  struct Panel {
    std::string text;
    int width = 0;
  };
  std::vector<Panel> panels_;
};

enum class LedColor { Green, Red, Yellow, Blue, Gray };
const char* LedColorName(LedColor color);

class BusyLed : public Control {
 public:
  // A new lamp is lit and green.
  explicit BusyLed(std::string name, Control* parent = nullptr);

  bool Lit() const { return lit_; }
  void SetLit(bool lit);
  LedColor Color() const { return color_; }
  void SetColor(LedColor color);

 protected:
  void DescribeState(Json& out) const override;

 private:
  bool lit_ = true;
  LedColor color_ = LedColor::Green;
};

}  // namespace vt::widgets
