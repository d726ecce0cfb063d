#include "platform/widgets/timer.h"

#include <gtest/gtest.h>

#include "platform/msgloop/message_loop.h"
#include "platform/widgets/dialogs.h"

namespace vt::widgets {
namespace {

using namespace std::chrono_literals;

TEST(TimerTest, TicksOnTheLoopOnlyWhileEnabled) {
  msgloop::MessageLoop loop;
  Timer timer("Timer1");
  timer.SetEnabled(false);
  timer.SetInterval(10);
  int ticks = 0;
  timer.OnTimer = [&](Control& sender) {
    EXPECT_EQ(sender.Name(), "Timer1");
    ++ticks;
  };
  loop.PumpUntil([] { return false; }, 40ms);
  EXPECT_EQ(ticks, 0);
  timer.SetEnabled(true);
  EXPECT_TRUE(loop.PumpUntil([&] { return ticks >= 2; }, 2000ms));
  timer.SetEnabled(false);
  int seen = ticks;
  loop.PumpUntil([] { return false; }, 40ms);
  EXPECT_EQ(ticks, seen);
}

TEST(TimerTest, AFailingTickIsShownAndTheTimerKeepsRunning) {
  msgloop::MessageLoop loop;
  ClearMessageLog();
  Timer timer;
  timer.SetInterval(5);
  int ticks = 0;
  timer.OnTimer = [&](Control&) {
    if (++ticks == 1) throw std::runtime_error("tick failed");
  };
  EXPECT_TRUE(loop.PumpUntil([&] { return ticks >= 2; }, 2000ms));
  ASSERT_FALSE(MessageLog().empty());
  EXPECT_EQ(MessageLog()[0].text, "tick failed");
}

TEST(ModalLoopTest, MessageBoxWaitsInTheUiLoopUntilTheDisplayAnswers) {
  msgloop::MessageLoop loop;
  UseDisplayForModals(true);
  // The display's answer arrives from another thread, as the display server's would.
  std::thread display([&] {
    std::this_thread::sleep_for(30ms);
    loop.PostTask([] {
      for (Control* c : TopLevelControls()) {
        if (c->Kind() == "messagebox" && c->Visible())
          c->HandleInput({{"type", "answer"}, {"button", "no"}});
      }
    });
  });
  ModalResult answer = MessageBox("Delete selected snippets and all snippets below it?", "Confirm",
                                  MessageIcon::Warning, MessageButtons::YesNo);
  display.join();
  UseDisplayForModals(false);
  EXPECT_EQ(answer, ModalResult::No);
}

TEST(ModalLoopTest, AQuitRequestEndsTheModalLoopAsCancel) {
  msgloop::MessageLoop loop;
  UseDisplayForModals(true);
  loop.PostTask([&] { loop.PostQuitMessage(0); });
  auto start = std::chrono::steady_clock::now();
  ModalResult answer =
      MessageBox("Still there?", "Vellumtrace", MessageIcon::Question, MessageButtons::YesNo);
  UseDisplayForModals(false);
  EXPECT_EQ(answer, ModalResult::Cancel);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
  msgloop::MSG msg;
  EXPECT_FALSE(loop.GetMessage(msg));  // the quit is still there for the outer loop
}

}  // namespace
}  // namespace vt::widgets
