#include "platform/msgloop/message_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vt::msgloop {
namespace {

using std::chrono::milliseconds;

class MessageLoopTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
  MessageLoop loop_{clock_};
  std::vector<std::string> log_;

  HWND Window(const std::string& name) {
    return loop_.CreateWindowHandle([this, name](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
      log_.push_back(name + ":" + std::to_string(msg) + ":" + std::to_string(w) + ":" +
                     std::to_string(l));
      return 7;
    });
  }
};

TEST_F(MessageLoopTest, PostedMessagesReachTheirWindowsInOrder) {
  EXPECT_EQ(&UiLoop(), &loop_);
  EXPECT_TRUE(IsUiThread());
  const HWND a = Window("a");
  const HWND b = Window("b");
  EXPECT_NE(a, b);
  loop_.PostMessage(a, WM_USER, 1, 2);
  loop_.PostMessage(b, WM_USER + 1, 3, -4);
  loop_.PostTask([this] { log_.push_back("task"); });
  loop_.PostMessage(a, WM_CLOSE);
  EXPECT_TRUE(log_.empty());  // nothing runs before the loop is let run
  EXPECT_EQ(loop_.ProcessMessages(), 4);
  EXPECT_EQ(log_, (std::vector<std::string>{"a:1024:1:2", "b:1025:3:-4", "task", "a:16:0:0"}));
  EXPECT_EQ(loop_.SendMessage(b, WM_USER, 9, 9), 7);
  EXPECT_EQ(log_.back(), "b:1024:9:9");

  // A destroyed window's queued messages and timers are gone; its handle is never reused.
  loop_.PostMessage(a, WM_USER);
  loop_.SetTimer(a, 1, 10);
  loop_.DestroyWindowHandle(a);
  EXPECT_FALSE(loop_.IsWindow(a));
  clock_->Advance(milliseconds(20));
  log_.clear();
  EXPECT_EQ(loop_.ProcessMessages(), 0);
  EXPECT_EQ(loop_.SendMessage(a, WM_USER), 0);
  EXPECT_TRUE(log_.empty());
  EXPECT_NE(Window("c"), a);
}

TEST_F(MessageLoopTest, ProcessMessagesRunsOnlyWhatWasPendingWhenCalled) {
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    loop_.PostTask(again);  // reposting itself must not keep ProcessMessages busy forever
  };
  loop_.PostTask(again);
  EXPECT_EQ(loop_.ProcessMessages(), 1);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(loop_.ProcessMessages(), 1);
  EXPECT_EQ(runs, 2);
}

TEST_F(MessageLoopTest, TimersFireWhenDueAndCanBeReArmedAndKilled) {
  const HWND w = Window("w");
  ASSERT_EQ(loop_.SetTimer(w, 5, 250), 5u);
  EXPECT_EQ(loop_.SetTimer(12345, 1, 250), 0u);  // no such window
  loop_.ProcessMessages();
  clock_->Advance(milliseconds(249));
  loop_.ProcessMessages();
  EXPECT_TRUE(log_.empty());
  clock_->Advance(milliseconds(1));
  loop_.ProcessMessages();
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0], "w:275:5:0");  // WM_TIMER with the timer id

  // Far overdue: still one tick per ProcessMessages, not a burst of catch-up ticks.
  clock_->Advance(milliseconds(5000));
  loop_.ProcessMessages();
  EXPECT_EQ(log_.size(), 2u);

  // Re-arming restarts the interval.
  clock_->Advance(milliseconds(200));
  loop_.SetTimer(w, 5, 100);
  clock_->Advance(milliseconds(99));
  loop_.ProcessMessages();
  EXPECT_EQ(log_.size(), 2u);
  clock_->Advance(milliseconds(1));
  loop_.ProcessMessages();
  EXPECT_EQ(log_.size(), 3u);

  EXPECT_TRUE(loop_.KillTimer(w, 5));
  EXPECT_FALSE(loop_.KillTimer(w, 5));
  clock_->Advance(milliseconds(1000));
  loop_.ProcessMessages();
  EXPECT_EQ(log_.size(), 3u);
}

TEST_F(MessageLoopTest, CallbackTimerKilledInsideItsOwnTickStops) {
  int ticks = 0;
  UINT_PTR id = 0;
  id = loop_.SetTimer(10, [&] {
    ++ticks;
    if (ticks == 2) loop_.KillTimer(0, id);
  });
  ASSERT_NE(id, 0u);
  for (int i = 0; i < 5; ++i) {
    clock_->Advance(milliseconds(10));
    loop_.ProcessMessages();
  }
  EXPECT_EQ(ticks, 2);
}

TEST_F(MessageLoopTest, TimerTicksInsideANestedProcessMessages) {
  // A long operation started by a message lets the loop run; the timer ticks inside it.
  std::vector<std::string> order;
  loop_.SetTimer(250, [&] { order.push_back("tick"); });
  const HWND w = loop_.CreateWindowHandle([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    order.push_back("parse begins");
    clock_->Advance(milliseconds(300));
    loop_.ProcessMessages();
    order.push_back("parse ends");
    return 0;
  });
  loop_.PostMessage(w, WM_USER);
  loop_.ProcessMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"parse begins", "tick", "parse ends"}));
}

TEST_F(MessageLoopTest, TimerTicksNestedInsideItsOwnTickWhenTheTickLetsTheLoopRun) {
  // The outer tick runs a long operation that lets the loop run; a later tick of the same timer
  // runs nested (only refreshing, as its caller expects) and then the outer tick finishes.
  int depth = 0, maxDepth = 0, ticks = 0;
  loop_.SetTimer(250, [&] {
    ++ticks;
    maxDepth = std::max(maxDepth, ++depth);
    if (ticks == 1) {
      clock_->Advance(milliseconds(250));
      loop_.ProcessMessages();
      loop_.ProcessMessages();  // not due again yet: no second nested tick
    }
    --depth;
  });
  clock_->Advance(milliseconds(250));
  loop_.ProcessMessages();
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(maxDepth, 2);
}

TEST_F(MessageLoopTest, GetMessageLoopEndsOnItsOwnQuitInsideAnOuterLoop) {
  // A nested GetMessage loop that quits on thread message WM_USER + 1, as a document loader does.
  std::vector<std::string> order;
  const HWND w = Window("w");
  loop_.PostTask([&] {
    order.push_back("inner begins");
    loop_.PostMessage(w, WM_USER, 1);
    loop_.PostThreadMessage(WM_USER + 1);
    MSG msg;
    while (loop_.GetMessage(msg)) {
      if (msg.hwnd == 0 && msg.message == WM_USER + 1) {
        loop_.PostQuitMessage(0);
      } else {
        loop_.DispatchMessage(msg);
      }
    }
    order.push_back("inner ends");
  });
  loop_.PostTask([&] { order.push_back("after"); });
  loop_.ProcessMessages();
  // The inner loop ran everything queued meanwhile, including the outer loop's next task.
  EXPECT_EQ(order, (std::vector<std::string>{"inner begins", "after", "inner ends"}));
  EXPECT_EQ(log_, (std::vector<std::string>{"w:1024:1:0"}));

  // ProcessMessages leaves WM_QUIT for the loop that runs around it.
  loop_.PostQuitMessage(3);
  loop_.PostTask([&] { order.push_back("never"); });
  EXPECT_EQ(loop_.ProcessMessages(), 0);
  EXPECT_EQ(loop_.Run(), 3);
  EXPECT_EQ(order.back(), "inner ends");
}

TEST_F(MessageLoopTest, BlockingWaitWakesWhenTheFakeClockAdvances) {
  int ticks = 0;
  loop_.SetTimer(1000, [&] { ++ticks; });
  std::thread advancer([clock = clock_] {
    std::this_thread::sleep_for(milliseconds(20));
    clock->Advance(milliseconds(1000));
  });
  MSG msg;
  ASSERT_TRUE(loop_.GetMessage(msg));  // blocks until the advance makes the timer due
  EXPECT_EQ(msg.message, WM_TIMER);
  loop_.DispatchMessage(msg);
  EXPECT_EQ(ticks, 1);
  advancer.join();

  // With auto-advance, waiting for a timer jumps the clock instead of blocking.
  clock_->SetAutoAdvance(true);
  const TimePoint before = clock_->Now();
  ASSERT_TRUE(loop_.GetMessage(msg));
  loop_.DispatchMessage(msg);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(clock_->Now() - before, milliseconds(1000));
}

TEST_F(MessageLoopTest, OtherThreadsRunCodeOnTheLoopThread) {
  const std::thread::id uiThread = std::this_thread::get_id();
  std::atomic<bool> done{false};
  int result = 0;
  std::string error;
  std::thread worker([&] {
    EXPECT_FALSE(IsUiThread());
    result = RunOnUiThread([&] {
      EXPECT_EQ(std::this_thread::get_id(), uiThread);
      return 41 + 1;
    });
    try {
      RunOnUiThread([]() -> int { throw std::runtime_error("failed on the UI thread"); });
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
    // Off the loop thread, loop-only calls refuse.
    try {
      loop_.ProcessMessages();
    } catch (const std::logic_error&) {
      error += " / refused";
    }
    PostToUiThread([&] { done = true; });
  });
  EXPECT_TRUE(loop_.PumpUntil([&] { return done.load(); }, milliseconds(5000)));
  worker.join();
  EXPECT_EQ(result, 42);
  EXPECT_EQ(error, "failed on the UI thread / refused");
  // On the loop thread itself, RunOnUiThread runs at once.
  EXPECT_EQ(RunOnUiThread([] { return 5; }), 5);
}

TEST_F(MessageLoopTest, PostsFromManyThreadsAllArriveInEachThreadsOrder) {
  constexpr int kThreads = 4, kEach = 2000;
  std::vector<int> last(kThreads, -1);
  int received = 0;
  bool ordered = true;
  const HWND w = loop_.CreateWindowHandle([&](HWND, UINT, WPARAM thread, LPARAM n) -> LRESULT {
    ordered = ordered && n == last[thread] + 1;
    last[thread] = static_cast<int>(n);
    ++received;
    return 0;
  });
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([this, w, t] {
      for (int n = 0; n < kEach; ++n) loop_.PostMessage(w, WM_USER, t, n);
    });
  }
  EXPECT_TRUE(loop_.PumpUntil([&] { return received == kThreads * kEach; }, milliseconds(20000)));
  for (auto& p : posters) p.join();
  EXPECT_TRUE(ordered);
}

TEST_F(MessageLoopTest, PumpUntilGivesUpAfterItsTimeout) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(loop_.PumpUntil([] { return false; }, milliseconds(30)));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(30));
  EXPECT_LT(took, milliseconds(1000));
}

TEST(MessageLoopLifetimeTest, CallerWaitingOnADestroyedLoopIsReleased) {
  auto loop = std::make_unique<MessageLoop>(std::make_shared<FakeClock>());
  std::atomic<bool> threw{false};
  std::thread worker([&, l = loop.get()] {
    try {
      l->RunOnLoopThread([] { return 1; });
    } catch (const std::future_error&) {
      threw = true;
    }
  });
  while (!loop->WaitMessage(milliseconds(10))) {
  }
  loop.reset();  // the task never ran
  worker.join();
  EXPECT_TRUE(threw);
}

}  // namespace
}  // namespace vt::msgloop
