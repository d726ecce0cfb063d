#include "shell/event_hub.h"

namespace vt::shell {

uint64_t EventHub::Publish(std::string json) {
  uint64_t seq;
  {
    std::lock_guard lock(mutex_);
    seq = ++last_;
    events_.push_back({seq, std::move(json)});
    while (events_.size() > history_) events_.pop_front();
  }
  changed_.notify_all();
  return seq;
}

std::vector<HubEvent> EventHub::WaitAfter(uint64_t seq, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return closed_ || last_ > seq; });
  std::vector<HubEvent> out;
  if (closed_ || last_ <= seq) return out;
  if (events_.empty() || events_.front().seq > seq + 1) {
    out.push_back({last_, R"({"type":"resync"})"});
    return out;
  }
  for (const auto& e : events_)
    if (e.seq > seq) out.push_back(e);
  return out;
}

uint64_t EventHub::LastSeq() const {
  std::lock_guard lock(mutex_);
  return last_;
}

void EventHub::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool EventHub::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace vt::shell
