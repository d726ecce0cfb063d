#pragma once
// The clock of a message loop: real time, or a fake one that tests move by hand so that timers
// become due without anyone sleeping.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace vt::msgloop {

using TimePoint = std::chrono::steady_clock::time_point;
using Milliseconds = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
  // Blocks on cv (lock held, released while waiting) until notified, until this clock reaches
  // timerDue, or until the real time realDeadline, whichever comes first. Spurious returns are
  // allowed; the caller re-checks.
  virtual void Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                    std::optional<TimePoint> timerDue, std::optional<TimePoint> realDeadline) = 0;
  // A loop registers the mutex and condition variable it waits on, so that a clock that jumps
  // can wake it.
  virtual void AddWaiter(std::mutex& mutex, std::condition_variable& cv) {}
  virtual void RemoveWaiter(std::condition_variable& cv) {}
};

class RealClock : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  void Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
            std::optional<TimePoint> timerDue, std::optional<TimePoint> realDeadline) override;
};

std::shared_ptr<Clock> MakeRealClock();

// Time moves only by Advance (from any thread), or, with auto-advance on, by jumping to the next
// timer whenever a loop would otherwise wait for one.
class FakeClock : public Clock {
 public:
  FakeClock();
  TimePoint Now() const override { return now_.load(); }
  void Advance(Milliseconds by);
  void SetAutoAdvance(bool on) { autoAdvance_ = on; }

  void Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
            std::optional<TimePoint> timerDue, std::optional<TimePoint> realDeadline) override;
  void AddWaiter(std::mutex& mutex, std::condition_variable& cv) override;
  void RemoveWaiter(std::condition_variable& cv) override;

 private:
  std::atomic<TimePoint> now_;
  std::atomic<bool> autoAdvance_{false};
  std::mutex waitersMutex_;
  std::vector<std::pair<std::mutex*, std::condition_variable*>> waiters_;
};

}  // namespace vt::msgloop
