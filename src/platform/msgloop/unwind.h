#pragma once
// Deferred deletion for objects whose calls let the message loop run.
//
// A handler that lets pending messages run (a parse, a timer tick, a modal box) can see a message
// close the very object it works on, while it and its callers still have to return through that
// object. Such calls hold a LoopScope for their whole length, and so does every control event and
// timer handler (widgets::RunGuarded); an object released through RunWhenUnwound or
// DeleteWhenUnwound while any LoopScope is on the thread's stack is deleted when the outermost one
// unwinds, after every caller has returned. Objects released together are deleted in the order of
// their release.
//
// A call that holds a LoopScope still has to notice that its object was closed meanwhile and stop
// there: the scope keeps the memory, not the object's purpose.
//
// Threading: per thread.
#include <functional>

namespace vt::msgloop {

class LoopScope {
 public:
  LoopScope();
  ~LoopScope();
  LoopScope(const LoopScope&) = delete;
  LoopScope& operator=(const LoopScope&) = delete;

  // Whether a LoopScope is on this thread's stack.
  static bool Active();
};

// Runs `destroy` now when no LoopScope is on this thread's stack, otherwise as the outermost one
// unwinds. `destroy` must not throw.
void RunWhenUnwound(std::function<void()> destroy);

template <class T>
void DeleteWhenUnwound(T* object) {
  if (object) RunWhenUnwound([object] { delete object; });
}

}  // namespace vt::msgloop
