#include "platform/widgets/timer.h"

#include "platform/msgloop/message_loop.h"

namespace vt::widgets {

Timer::Timer(std::string name)
    : name_(std::move(name)), loop_(&msgloop::UiLoop()), alive_(std::make_shared<bool>(true)) {
  Update();
}

Timer::~Timer() {
  *alive_ = false;
  if (timer_id_) loop_->KillTimer(0, timer_id_);
}

void Timer::SetInterval(unsigned ms) {
  if (interval_ == ms) return;
  interval_ = ms;
  Update();
}

void Timer::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  Update();
}

void Timer::Update() {
  auto& loop = *loop_;
  bool run = enabled_ && interval_ > 0;
  if (!run) {
    if (timer_id_) loop.KillTimer(0, timer_id_);
    timer_id_ = 0;
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  auto tick = [this, alive] {
    auto a = alive.lock();
    if (a && *a) Tick();
  };
  if (timer_id_) {
    loop.SetTimer(0, timer_id_, interval_, tick);  // re-arm with the new interval
  } else {
    timer_id_ = loop.SetTimer(interval_, tick);
  }
}

void Timer::Tick() {
  if (!OnTimer) return;
  if (!sender_) {
    sender_ = std::make_unique<Control>("timer", name_);
    sender_->Hide();
  }
  // Keep the handler alive even if it replaces itself or the timer is destroyed meanwhile.
  NotifyEvent handler = OnTimer;
  Control* sender = sender_.get();
  std::shared_ptr<bool> keep = alive_;
  RunGuarded([&] { handler(*sender); });
}

}  // namespace vt::widgets
