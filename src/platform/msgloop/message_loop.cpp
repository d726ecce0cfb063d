#include "platform/msgloop/message_loop.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vt::msgloop {

namespace {

std::mutex g_uiMutex;
MessageLoop* g_ui = nullptr;

}  // namespace

MessageLoop::MessageLoop(std::shared_ptr<Clock> clock)
    : clock_(clock ? std::move(clock) : MakeRealClock()), thread_(std::this_thread::get_id()) {
  clock_->AddWaiter(mutex_, cv_);
  std::lock_guard lock(g_uiMutex);
  shadowed_ = g_ui;
  g_ui = this;
}

MessageLoop::~MessageLoop() {
  {
    std::lock_guard lock(g_uiMutex);
    if (g_ui == this) {
      g_ui = shadowed_;
    } else {
      for (MessageLoop* l = g_ui; l; l = l->shadowed_) {
        if (l->shadowed_ == this) {
          l->shadowed_ = shadowed_;
          break;
        }
      }
    }
  }
  clock_->RemoveWaiter(cv_);
  // Pending tasks die with the queue; a RunOnLoopThread caller still waiting gets
  // std::future_error (broken promise) instead of hanging.
  std::deque<Posted> pending;
  {
    std::lock_guard lock(mutex_);
    pending.swap(queue_);
  }
}

MessageLoop& UiLoop() {
  {
    std::lock_guard lock(g_uiMutex);
    if (g_ui) return *g_ui;
  }
  static MessageLoop* processLoop = new MessageLoop();  // lives until the process ends
  std::lock_guard lock(g_uiMutex);
  return g_ui ? *g_ui : *processLoop;
}

bool IsUiThread() {
  std::lock_guard lock(g_uiMutex);
  return g_ui && g_ui->IsLoopThread();  // never makes the caller the UI thread
}

void MessageLoop::RequireLoopThread(const char* what) const {
  if (!IsLoopThread()) {
    throw std::logic_error(std::string(what) +
                           " may only be called on the thread of its message loop");
  }
}

void MessageLoop::Enqueue(MSG msg) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({nextSeq_++, std::move(msg)});
  }
  cv_.notify_all();
}

void MessageLoop::PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Enqueue({hwnd, message, wParam, lParam, nullptr});
}

void MessageLoop::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  Enqueue({0, message, wParam, lParam, nullptr});
}

void MessageLoop::PostTask(std::function<void()> task) {
  if (!task) return;
  Enqueue({0, WM_NULL, 0, 0, std::move(task)});
}

void MessageLoop::PostQuitMessage(int exitCode) {
  Enqueue({0, WM_QUIT, static_cast<WPARAM>(exitCode), 0, nullptr});
}

HWND MessageLoop::CreateWindowHandle(WindowProc proc) {
  RequireLoopThread("CreateWindowHandle");
  std::lock_guard lock(mutex_);
  const HWND hwnd = nextWindow_++;
  windows_[hwnd] = std::move(proc);
  return hwnd;
}

void MessageLoop::DestroyWindowHandle(HWND hwnd) {
  RequireLoopThread("DestroyWindowHandle");
  WindowProc gone;
  std::vector<Posted> dropped;  // destroyed outside the lock: tasks may own anything
  std::lock_guard lock(mutex_);
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return;
  gone = std::move(it->second);
  windows_.erase(it);
  std::erase_if(timers_, [hwnd](const auto& t) { return t.first.first == hwnd; });
  for (auto q = queue_.begin(); q != queue_.end();) {
    if (q->msg.hwnd == hwnd) {
      dropped.push_back(std::move(*q));
      q = queue_.erase(q);
    } else {
      ++q;
    }
  }
}

bool MessageLoop::IsWindow(HWND hwnd) const {
  std::lock_guard lock(mutex_);
  return windows_.count(hwnd) != 0;
}

WindowProc MessageLoop::SetWindowProc(HWND hwnd, WindowProc proc) {
  RequireLoopThread("SetWindowProc");
  std::lock_guard lock(mutex_);
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return nullptr;
  return std::exchange(it->second, std::move(proc));
}

LRESULT MessageLoop::SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  RequireLoopThread("SendMessage");
  WindowProc proc;
  {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    if (it == windows_.end()) return 0;
    proc = it->second;
  }
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

UINT_PTR MessageLoop::SetTimer(HWND hwnd, UINT_PTR id, UINT intervalMs, TimerCallback callback) {
  RequireLoopThread("SetTimer");
  std::lock_guard lock(mutex_);
  if (hwnd != 0 && windows_.count(hwnd) == 0) return 0;
  if (hwnd == 0 && !callback) {
    auto existing = timers_.find({0, id});
    if (existing == timers_.end()) return 0;  // a window-less timer needs its callback
    callback = existing->second.callback;
  }
  const UINT interval = std::max<UINT>(intervalMs, 1);
  timers_[{hwnd, id}] = {interval, clock_->Now() + Milliseconds(interval), std::move(callback),
                         nextGeneration_++};
  cv_.notify_all();
  return id;
}

UINT_PTR MessageLoop::SetTimer(UINT intervalMs, TimerCallback callback) {
  RequireLoopThread("SetTimer");
  UINT_PTR id;
  {
    std::lock_guard lock(mutex_);
    id = nextTimerId_++;
  }
  return SetTimer(0, id, intervalMs, std::move(callback));
}

bool MessageLoop::KillTimer(HWND hwnd, UINT_PTR id) {
  RequireLoopThread("KillTimer");
  TimerCallback gone;
  std::lock_guard lock(mutex_);
  auto it = timers_.find({hwnd, id});
  if (it == timers_.end()) return false;
  gone = std::move(it->second.callback);
  timers_.erase(it);
  return true;
}

std::optional<TimePoint> MessageLoop::NextTimerDue() const {
  std::optional<TimePoint> next;
  for (const auto& [key, timer] : timers_) {
    if (!next || timer.due < *next) next = timer.due;
  }
  return next;
}

bool MessageLoop::TakeNext(MSG& msg, std::uint64_t maxSeq, const std::map<TimerKey, bool>* skip,
                           bool stopAtQuit) {
  if (!queue_.empty() && queue_.front().seq <= maxSeq) {
    if (stopAtQuit && queue_.front().msg.message == WM_QUIT && !queue_.front().msg.task) {
      return false;
    }
    msg = std::move(queue_.front().msg);
    queue_.pop_front();
    return true;
  }
  const TimePoint now = clock_->Now();
  auto due = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due > now || (skip && skip->count(it->first))) continue;
    if (due == timers_.end() || it->second.due < due->second.due) due = it;
  }
  if (due == timers_.end()) return false;
  Timer& timer = due->second;
  timer.due = now + Milliseconds(timer.interval);
  const TimerKey key = due->first;
  const std::uint64_t generation = timer.generation;
  msg = MSG{key.first, WM_TIMER, key.second, 0,
            [this, key, generation] { FireTimer(key.first, key.second, generation); }};
  return true;
}

LRESULT MessageLoop::FireTimer(HWND hwnd, UINT_PTR id, std::uint64_t generation) {
  TimerCallback callback;
  WindowProc proc;
  {
    std::lock_guard lock(mutex_);
    auto it = timers_.find({hwnd, id});
    if (it == timers_.end() || it->second.generation != generation) return 0;  // killed
    callback = it->second.callback;
    if (!callback) {
      auto w = windows_.find(hwnd);
      if (w == windows_.end()) return 0;
      proc = w->second;
    }
  }
  if (callback) {
    callback();
    return 0;
  }
  return proc ? proc(hwnd, WM_TIMER, id, 0) : 0;
}

int MessageLoop::ProcessMessages() {
  RequireLoopThread("ProcessMessages");
  std::uint64_t maxSeq;
  {
    std::lock_guard lock(mutex_);
    maxSeq = nextSeq_ - 1;
  }
  std::map<TimerKey, bool> fired;
  int ran = 0;
  for (;;) {
    MSG msg;
    {
      std::lock_guard lock(mutex_);
      if (!TakeNext(msg, maxSeq, &fired, true)) break;
      if (msg.message == WM_TIMER && msg.task) fired[{msg.hwnd, msg.wParam}] = true;
    }
    ++ran;
    DispatchMessage(msg);
  }
  return ran;
}

bool MessageLoop::PeekMessage(MSG& msg) {
  RequireLoopThread("PeekMessage");
  std::lock_guard lock(mutex_);
  return TakeNext(msg, UINT64_MAX, nullptr, false);
}

bool MessageLoop::GetMessage(MSG& msg) {
  RequireLoopThread("GetMessage");
  std::unique_lock lock(mutex_);
  while (!TakeNext(msg, UINT64_MAX, nullptr, false)) {
    clock_->Wait(lock, cv_, NextTimerDue(), std::nullopt);
  }
  return msg.message != WM_QUIT;
}

LRESULT MessageLoop::DispatchMessage(const MSG& msg) {
  RequireLoopThread("DispatchMessage");
  if (msg.task) {
    msg.task();
    return 0;
  }
  if (msg.hwnd == 0) return 0;
  WindowProc proc;
  {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(msg.hwnd);
    if (it == windows_.end()) return 0;
    proc = it->second;
  }
  return proc ? proc(msg.hwnd, msg.message, msg.wParam, msg.lParam) : 0;
}

int MessageLoop::Run() {
  MSG msg;
  while (GetMessage(msg)) DispatchMessage(msg);
  return static_cast<int>(msg.wParam);
}

bool MessageLoop::WaitMessage(std::optional<Milliseconds> timeout) {
  RequireLoopThread("WaitMessage");
  std::optional<TimePoint> deadline;
  if (timeout) deadline = std::chrono::steady_clock::now() + *timeout;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!queue_.empty()) return true;
    const std::optional<TimePoint> due = NextTimerDue();
    if (due && *due <= clock_->Now()) return true;
    if (deadline && std::chrono::steady_clock::now() >= *deadline) return false;
    clock_->Wait(lock, cv_, due, deadline);
  }
}

bool MessageLoop::PumpUntil(const std::function<bool()>& pred, Milliseconds timeout) {
  RequireLoopThread("PumpUntil");
  const TimePoint deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const int ran = ProcessMessages();
    if (pred()) return true;
    const TimePoint now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto left = std::chrono::duration_cast<Milliseconds>(deadline - now);
    if (ran == 0 && WaitMessage(Milliseconds(0))) {
      // Only a WM_QUIT is waiting, which belongs to an outer loop: just let time pass.
      std::this_thread::sleep_for(std::min(left, Milliseconds(5)));
    } else {
      WaitMessage(std::min(left, Milliseconds(50)) + Milliseconds(1));
    }
  }
}

}  // namespace vt::msgloop
