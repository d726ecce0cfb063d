#pragma once
// The stream of state changes pushed to the display. The UI thread publishes; each display stream
// (a socket thread) waits for what came after the last event it sent. Events are JSON texts with a
// sequence number; a stream that fell behind the kept history is told to fetch the whole state
// again. Thread-safe.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace vt::shell {

struct HubEvent {
  uint64_t seq;
  std::string json;
};

class EventHub {
 public:
  explicit EventHub(size_t history = 4096) : history_(history) {}

  // Appends one event and wakes the streams; answers its sequence number (1, 2, ...).
  uint64_t Publish(std::string json);

  // The events after `seq`, waiting up to `timeout` while there are none. When events after `seq`
  // were already dropped from the history the answer is one {"type":"resync"} event. Empty on
  // time-out or once the hub is closed.
  std::vector<HubEvent> WaitAfter(uint64_t seq, std::chrono::milliseconds timeout);

  uint64_t LastSeq() const;
  // Ends every wait at once; later waits return at once.
  void Close();
  bool Closed() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<HubEvent> events_;
  uint64_t last_ = 0;
  size_t history_;
  bool closed_ = false;
};

}  // namespace vt::shell
