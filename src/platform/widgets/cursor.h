#pragma once
// The process-wide mouse cursor that the display shows over every window.

namespace vt::widgets {

enum class Cursor { Default, HourGlass };

Cursor ScreenCursor();
void SetScreenCursor(Cursor cursor);    // the display hears of it through TakeChanges
const char* CursorName(Cursor cursor);  // "default", "wait"

// Shows the hourglass while it lives and then restores the cursor it found.
class HourGlass {
 public:
  HourGlass();
  ~HourGlass();
  HourGlass(const HourGlass&) = delete;
  HourGlass& operator=(const HourGlass&) = delete;

 private:
  Cursor previous_;
};

}  // namespace vt::widgets
