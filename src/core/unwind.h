#pragma once
// Deferred deletion for objects that let the message loop run inside their own calls.
//
// The parser, the band's timer tick and its start-up let pending messages run while they work. A
// message handled meanwhile can close the band: its form and page session are then no longer
// wanted, yet the calls suspended further up the stack still run on them once the loop returns.
// Each such call holds a LoopScope for its whole length; an object released while any LoopScope
// is on the thread's stack is deleted when the outermost one unwinds, after every caller has
// returned. Objects released together are deleted in the order of their release.
//
// A call that holds a LoopScope still has to notice that its object was closed meanwhile (the
// form's torn-down state, the session's release) and stop there: the scope keeps the memory, not
// the object's purpose.
//
// Threading: per thread; the band's objects live on the UI thread.
#include <functional>

namespace vt {

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

}  // namespace vt
