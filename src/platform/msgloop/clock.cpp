#include "platform/msgloop/clock.h"

#include <algorithm>

namespace vt::msgloop {

void RealClock::Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                     std::optional<TimePoint> timerDue, std::optional<TimePoint> realDeadline) {
  std::optional<TimePoint> until = timerDue;
  if (realDeadline && (!until || *realDeadline < *until)) until = realDeadline;
  if (until) {
    cv.wait_until(lock, *until);
  } else {
    cv.wait(lock);
  }
}

std::shared_ptr<Clock> MakeRealClock() {
  return std::make_shared<RealClock>();
}

FakeClock::FakeClock() : now_(TimePoint{} + std::chrono::hours(24)) {}

void FakeClock::Advance(Milliseconds by) {
  TimePoint current = now_.load();
  while (!now_.compare_exchange_weak(current, current + by)) {
  }
  // Taking each waiter's mutex orders this wake-up against its check-then-wait.
  std::lock_guard guard(waitersMutex_);
  for (auto& [mutex, cv] : waiters_) {
    std::lock_guard waiterLock(*mutex);
    cv->notify_all();
  }
}

void FakeClock::Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                     std::optional<TimePoint> timerDue, std::optional<TimePoint> realDeadline) {
  if (timerDue && autoAdvance_) {
    TimePoint current = now_.load();
    while (current < *timerDue && !now_.compare_exchange_weak(current, *timerDue)) {
    }
    return;
  }
  if (realDeadline) {
    cv.wait_until(lock, *realDeadline);
  } else {
    cv.wait(lock);
  }
}

void FakeClock::AddWaiter(std::mutex& mutex, std::condition_variable& cv) {
  std::lock_guard guard(waitersMutex_);
  waiters_.emplace_back(&mutex, &cv);
}

void FakeClock::RemoveWaiter(std::condition_variable& cv) {
  std::lock_guard guard(waitersMutex_);
  std::erase_if(waiters_, [&](const auto& w) { return w.second == &cv; });
}

}  // namespace vt::msgloop
