#pragma once
// The worker threads of the network fetches and the way back to the UI thread. Internal to the
// browser library.

#include <atomic>
#include <functional>
#include <memory>

namespace vt::browser::detail {

// Runs `work` on a new thread. `cancel` is set when the process shuts down, and the thread is
// joined then, so no fetch outlives the objects it reports to.
void RunOnNetworkThread(std::shared_ptr<std::atomic<bool>> cancel, std::function<void()> work);

// Queues `task` for the UI thread's message loop (callable from any thread).
void PostToUi(std::function<void()> task);

}  // namespace vt::browser::detail
