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

}  // namespace

void RunOnNetworkThread(std::shared_ptr<std::atomic<bool>> cancel, std::function<void()> work) {
  NetworkThreads::Get().Run(std::move(cancel), std::move(work));
}

void PostToUi(std::function<void()> task) {
  msgloop::PostToUiThread(std::move(task));
}

}  // namespace vt::browser::detail
