#include "platform/widgets/cursor.h"

#include "platform/widgets/control.h"

namespace vt::widgets {
namespace {
Cursor& Current() {
  static Cursor cursor = Cursor::Default;
  return cursor;
}
}  // namespace

Cursor ScreenCursor() {
  return Current();
}

void SetScreenCursor(Cursor cursor) {
  if (Current() == cursor) return;
  Current() = cursor;
  NoteCursorChanged();
}

const char* CursorName(Cursor cursor) {
  return cursor == Cursor::HourGlass ? "wait" : "default";
}

HourGlass::HourGlass() : previous_(ScreenCursor()) {
  SetScreenCursor(Cursor::HourGlass);
}
HourGlass::~HourGlass() {
  SetScreenCursor(previous_);
}

}  // namespace vt::widgets
