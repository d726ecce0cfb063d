#pragma once
// The UI thread's message loop: posted messages, window handles with their handlers, timers,
// and calls from other threads into the UI thread.
//
// Threads: a loop belongs to the thread that created it. Only PostMessage, PostThreadMessage,
// PostTask and RunOnLoopThread (and the free PostToUiThread / RunOnUiThread) may be called from
// other threads; everything else throws std::logic_error off the loop thread.
//
// Order: posted messages run in posting order and before timers. ProcessMessages runs the
// messages posted before it was called and the timers due, each timer at most once per call,
// then returns; handlers may call it again (re-entrancy), so a timer can tick inside any
// handler that lets the loop run -- its own handler included, as a window timer does.
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <unordered_map>

#include "platform/msgloop/clock.h"

namespace vt::msgloop {

using HWND = std::uintptr_t;  // 0 is no window (thread messages)
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_PARENTNOTIFY = 0x0210;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

inline constexpr WPARAM VK_TAB = 9;
inline constexpr WPARAM VK_RETURN = 13;
inline constexpr WPARAM VK_ESCAPE = 27;
inline constexpr WPARAM VK_DELETE = 46;

struct MSG {
  HWND hwnd = 0;
  UINT message = WM_NULL;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::function<void()> task;  // set for posted tasks, which DispatchMessage runs
};

using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
using TimerCallback = std::function<void()>;

class MessageLoop {
 public:
  // Binds the loop to the calling thread. The first loop alive becomes the process's UI loop
  // (UiLoop()); a later one on the same process shadows it while it lives (tests do this).
  explicit MessageLoop(std::shared_ptr<Clock> clock = MakeRealClock());
  ~MessageLoop();
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  bool IsLoopThread() const { return std::this_thread::get_id() == thread_; }
  Clock& GetClock() const { return *clock_; }

  // --- any thread ---
  void PostMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  void PostThreadMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  void PostTask(std::function<void()> task);
  // Runs fn on the loop thread and returns its result, or rethrows its exception. Called on the
  // loop thread it runs fn at once; from another thread it blocks until the loop ran it (if the
  // loop is destroyed first, std::future_error is thrown).
  template <class F>
  std::invoke_result_t<F&> RunOnLoopThread(F&& fn);

  // --- loop thread only ---
  // A new window handle (never reused) whose messages go to proc.
  HWND CreateWindowHandle(WindowProc proc);
  // Forgets the window, its timers and its queued messages.
  void DestroyWindowHandle(HWND hwnd);
  bool IsWindow(HWND hwnd) const;
  // Replaces the window's handler and returns the previous one (for hooks that chain to it).
  WindowProc SetWindowProc(HWND hwnd, WindowProc proc);
  // Calls the window's handler at once; 0 for an unknown window.
  LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Starts (or re-arms with a new interval) timer `id` of a window: WM_TIMER with wParam = id
  // goes to the window's handler, or to `callback` when one is given. Returns id, 0 when hwnd
  // is not a window. An interval of 0 counts as 1 ms.
  UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT intervalMs, TimerCallback callback = nullptr);
  // A timer without a window; returns its new id (re-arm it with SetTimer(0, id, ...)).
  UINT_PTR SetTimer(UINT intervalMs, TimerCallback callback);
  bool KillTimer(HWND hwnd, UINT_PTR id);

  // Runs what is pending and due, then returns how many messages it ran (see the header
  // comment). A pending WM_QUIT stops it and stays queued for the GetMessage loop around it.
  int ProcessMessages();
  // Takes the next message without blocking; false when nothing is pending or due.
  bool PeekMessage(MSG& msg);
  // Blocks until a message arrives or a timer is due; false when it is WM_QUIT.
  bool GetMessage(MSG& msg);
  // Runs the message: its task, its timer, or its window's handler. Thread messages without a
  // task go nowhere (the GetMessage loop that wants them reads them itself).
  LRESULT DispatchMessage(const MSG& msg);
  bool TranslateMessage(const MSG&) { return false; }
  // Posts WM_QUIT (wParam = exitCode).
  void PostQuitMessage(int exitCode);
  // GetMessage / DispatchMessage until WM_QUIT; returns its exit code.
  int Run();
  // Blocks until something is pending or due or `timeout` of real time passed; true when
  // something is there.
  bool WaitMessage(std::optional<Milliseconds> timeout = std::nullopt);
  // Lets the loop run until pred() holds (true) or `timeout` of real time passed (false).
  bool PumpUntil(const std::function<bool()>& pred, Milliseconds timeout);

 private:
  struct Posted {
    std::uint64_t seq;
    MSG msg;
  };
  struct Timer {
    UINT interval;
    TimePoint due;
    TimerCallback callback;
    std::uint64_t generation;  // changes at re-arm and kill, so stale ticks are dropped
  };
  using TimerKey = std::pair<HWND, UINT_PTR>;

  void RequireLoopThread(const char* what) const;
  void Enqueue(MSG msg);
  // Next posted message with seq <= maxSeq or a due timer (not in `skip`); lock held.
  bool TakeNext(MSG& msg, std::uint64_t maxSeq, const std::map<TimerKey, bool>* skip,
                bool stopAtQuit);
  std::optional<TimePoint> NextTimerDue() const;
  LRESULT FireTimer(HWND hwnd, UINT_PTR id, std::uint64_t generation);

  std::shared_ptr<Clock> clock_;
  std::thread::id thread_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Posted> queue_;
  std::uint64_t nextSeq_ = 1;
  std::map<TimerKey, Timer> timers_;
  std::uint64_t nextGeneration_ = 1;
  UINT_PTR nextTimerId_ = 0x7F000000;
  std::unordered_map<HWND, WindowProc> windows_;
  HWND nextWindow_ = 0x10000;
  MessageLoop* shadowed_ = nullptr;
};

// The process's UI loop. If no loop exists yet, the calling thread becomes the UI thread and
// gets one that lives until the process ends: call it first on the main thread.
MessageLoop& UiLoop();
// Whether the caller runs on the UI loop's thread; false while no loop exists.
bool IsUiThread();

// The UI loop's operations as free functions.
inline void PostToUiThread(std::function<void()> task) {
  UiLoop().PostTask(std::move(task));
}
inline int ProcessMessages() {
  return UiLoop().ProcessMessages();
}
inline bool PumpUntil(const std::function<bool()>& pred, Milliseconds timeout) {
  return UiLoop().PumpUntil(pred, timeout);
}
inline bool PumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  return UiLoop().PumpUntil(pred, Milliseconds(timeoutMs));
}
template <class F>
std::invoke_result_t<F&> RunOnUiThread(F&& fn) {
  return UiLoop().RunOnLoopThread(std::forward<F>(fn));
}

template <class F>
std::invoke_result_t<F&> MessageLoop::RunOnLoopThread(F&& fn) {
  using R = std::invoke_result_t<F&>;
  if (IsLoopThread()) return fn();
  auto task = std::make_shared<std::packaged_task<R()>>(std::forward<F>(fn));
  std::future<R> result = task->get_future();
  // The queue holds the only reference, so a loop destroyed unrun breaks the promise.
  PostTask([task = std::move(task)] { (*task)(); });
  return result.get();
}

}  // namespace vt::msgloop
