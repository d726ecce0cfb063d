#include "shell/ui_thread.h"

#include "platform/msgloop/message_loop.h"

namespace vt::shell {
namespace {

class LoopThread final : public UiThread {
 public:
  explicit LoopThread(msgloop::MessageLoop& loop) : loop_(loop) {}
  void Run(std::function<void()> task) override { loop_.RunOnLoopThread(task); }
  void Post(std::function<void()> task) override { loop_.PostTask(std::move(task)); }

 private:
  msgloop::MessageLoop& loop_;
};

}  // namespace

std::unique_ptr<UiThread> MessageLoopUiThread(msgloop::MessageLoop& loop) {
  return std::make_unique<LoopThread>(loop);
}

}  // namespace vt::shell
