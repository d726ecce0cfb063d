#include "shell/ui_thread.h"

#include <algorithm>
#include <memory>

#include "platform/msgloop/message_loop.h"

namespace vt::shell {
namespace {

class LoopThread final : public UiThread {
 public:
  explicit LoopThread(msgloop::MessageLoop& loop) : loop_(loop) {}
  void Run(std::function<void()> task) override { loop_.RunOnLoopThread(task); }
  void Post(std::function<void()> task) override { loop_.PostTask(std::move(task)); }
  void PostAfter(int ms, std::function<void()> task) override {
    // The timer belongs to the loop, which may outlive this object.
    auto id = std::make_shared<msgloop::UINT_PTR>(0);
    msgloop::MessageLoop& loop = loop_;
    *id = loop.SetTimer(static_cast<msgloop::UINT>(std::max(ms, 1)),
                        [&loop, id, task = std::move(task)] {
                          loop.KillTimer(0, *id);  // once
                          task();
                        });
  }

 private:
  msgloop::MessageLoop& loop_;
};

}  // namespace

std::unique_ptr<UiThread> MessageLoopUiThread(msgloop::MessageLoop& loop) {
  return std::make_unique<LoopThread>(loop);
}

}  // namespace vt::shell
