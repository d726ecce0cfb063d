#include "platform/browser/network_threads.h"

#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/msgloop/message_loop.h"

namespace vt::browser::detail {
namespace {

class NetworkThreads {
 public:
  static NetworkThreads& Get() {
    static NetworkThreads threads;
    return threads;
  }

  // The UI loop is made first, so that it is still there while the threads are joined.
  NetworkThreads() { msgloop::UiLoop(); }

  void Run(std::shared_ptr<std::atomic<bool>> cancel, std::function<void()> work) {
    std::lock_guard lock(mutex_);
    ReapFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back(Worker{cancel, done, std::thread([work = std::move(work), done] {
                                work();
                                done->store(true);
                              })});
  }

  ~NetworkThreads() {
    std::list<Worker> workers;
    {
      std::lock_guard lock(mutex_);
      workers.swap(workers_);
    }
    for (auto& w : workers) w.cancel->store(true);
    for (auto& w : workers) {
      if (w.thread.joinable()) w.thread.join();
    }
  }

 private:
  struct Worker {
    std::shared_ptr<std::atomic<bool>> cancel;
    std::shared_ptr<std::atomic<bool>> done;
    std::thread thread;
  };

  void ReapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (it->done->load()) {
        it->thread.join();
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::mutex mutex_;
  std::list<Worker> workers_;
};

// Whether the process has begun to end (its static objects are being destroyed): from then on
// detached work posts nothing, since the loop it would post to may be gone. Never destroyed.
struct ExitGate {
  std::mutex mutex;
  bool closed = false;
};
ExitGate& Gate() {
  static auto* gate = new ExitGate();
  return *gate;
}
// Closes the gate when static objects are destroyed; made after the UI loop, so it goes first.
struct ExitWatch {
  ExitWatch() {
    msgloop::UiLoop();
    Gate();
  }
  ~ExitWatch() {
    std::lock_guard lock(Gate().mutex);
    Gate().closed = true;
  }
};

}  // namespace

void RunDetached(std::function<void()> work) {
  static ExitWatch watch;
  std::thread(std::move(work)).detach();
}

bool UiHandOff::Post(std::function<void()>& task) {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  std::lock_guard gate(Gate().mutex);
  if (Gate().closed) return false;
  PostToUi(std::move(task));
  return true;
}

void UiHandOff::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
}

bool UiHandOff::Closed() {
  std::lock_guard lock(mutex_);
  return closed_;
}

void RunOnNetworkThread(std::shared_ptr<std::atomic<bool>> cancel, std::function<void()> work) {
  NetworkThreads::Get().Run(std::move(cancel), std::move(work));
}

void PostToUi(std::function<void()> task) {
  msgloop::PostToUiThread(std::move(task));
}

}  // namespace vt::browser::detail
