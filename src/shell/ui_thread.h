#pragma once
// How the display server's socket threads reach the system: they never touch its state, they hand a
// task to the UI thread and, where they need an answer, wait for it.
#include <functional>
#include <memory>

namespace vt::shell {

class UiThread {
 public:
  virtual ~UiThread() = default;
  // Runs `task` on the UI thread and waits until it has run; an exception it throws is rethrown
  // here. Called on the UI thread itself, it runs the task at once.
  virtual void Run(std::function<void()> task) = 0;
  // Queues `task` for the UI thread and returns at once.
  virtual void Post(std::function<void()> task) = 0;
  // Runs `task` on the UI thread once `ms` milliseconds have passed (UI thread only).
  virtual void PostAfter(int ms, std::function<void()> task) { Post(std::move(task)); }
};

}  // namespace vt::shell

namespace vt::msgloop {
class MessageLoop;
}

namespace vt::shell {

// The thread of `loop` (the process's UI loop); the loop must outlive the answer.
std::unique_ptr<UiThread> MessageLoopUiThread(msgloop::MessageLoop& loop);

}  // namespace vt::shell
