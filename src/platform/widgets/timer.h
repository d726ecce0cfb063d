#pragma once
// A timer component on the UI message loop: while enabled, OnTimer runs every Interval
// milliseconds. A handler that lets the loop run can see the next tick inside itself.
// Failures thrown by OnTimer go to the top-level error handler (an error message box).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/widgets/control.h"

namespace vt::msgloop {
class MessageLoop;
}

namespace vt::widgets {

class Timer {
 public:
  // A new timer is enabled with an interval of 1000 ms and runs on the UI loop of the moment
  // (the loop must outlive it); ticks without an OnTimer handler do nothing.
  explicit Timer(std::string name = "Timer1");
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  const std::string& Name() const { return name_; }
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);  // 0 stops the timer, as a disabled one
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Running() const { return timer_id_ != 0; }

  NotifyEvent OnTimer;  // the sender is a placeholder control named after the timer

 private:
  void Update();
  void Tick();

  std::string name_;
  unsigned interval_ = 1000;
  bool enabled_ = true;
  std::uintptr_t timer_id_ = 0;
  msgloop::MessageLoop* loop_;
  std::shared_ptr<bool> alive_;
  std::unique_ptr<Control> sender_;
};

}  // namespace vt::widgets
