#pragma once
// The worker threads of the network fetches and the way back to the UI thread. Internal to the
// browser library.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace vt::browser::detail {

// Runs `work` on a new thread. `cancel` is set when the process shuts down, and the thread is
// joined then, so no fetch outlives the objects it reports to.
void RunOnNetworkThread(std::shared_ptr<std::atomic<bool>> cancel, std::function<void()> work);

// Queues `task` for the UI thread's message loop (callable from any thread).
void PostToUi(std::function<void()> task);

// Runs `work` on a thread of its own that the process does not wait for when it ends: for work
// that cannot be interrupted once started (the HTML parser on a hostile page), which Stop
// abandons rather than waits for. `work` must own everything it touches and reach the UI thread
// only through an UiHandOff.
void RunDetached(std::function<void()> work);

// The way back to the UI thread of one detached piece of work, which the UI thread can close.
// Post and Close exclude each other, so once Close returns nothing more is posted; nothing is
// posted either once the process has begun to end.
class UiHandOff {
 public:
  // Any thread: queues `task` for the UI thread and answers true; answers false when closed,
  // leaving `task` with the caller.
  bool Post(std::function<void()>& task);
  // Any thread.
  void Close();
  bool Closed();

 private:
  std::mutex mutex_;
  bool closed_ = false;
};

}  // namespace vt::browser::detail
