#include "platform/msgloop/unwind.h"

#include <utility>
#include <vector>

namespace vt::msgloop {
namespace {

thread_local int t_depth = 0;

std::vector<std::function<void()>>& Pending() {
  thread_local std::vector<std::function<void()>> pending;
  return pending;
}

void RunPending() {
  // A deletion may release further objects; with no scope left they run at once, inside it.
  while (!Pending().empty()) {
    std::vector<std::function<void()>> now = std::exchange(Pending(), {});
    for (auto& destroy : now) destroy();
  }
}

}  // namespace

LoopScope::LoopScope() {
  ++t_depth;
}

LoopScope::~LoopScope() {
  if (--t_depth == 0) RunPending();
}

bool LoopScope::Active() {
  return t_depth > 0;
}

void RunWhenUnwound(std::function<void()> destroy) {
  if (!destroy) return;
  if (t_depth > 0) {
    Pending().push_back(std::move(destroy));
    return;
  }
  destroy();
}

}  // namespace vt::msgloop
