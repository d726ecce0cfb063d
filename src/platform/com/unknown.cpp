#include "platform/com/unknown.h"

namespace vt::com {

namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

long ModuleObjectCount() {
  return g_objects.load();
}
long ModuleLockCount() {
  return g_locks.load();
}
void ModuleLock() {
  ++g_locks;
}
void ModuleUnlock() {
  --g_locks;
}
HRESULT ModuleCanUnloadNow() {
  return g_objects.load() == 0 && g_locks.load() == 0 ? S_OK : S_FALSE;
}

void detail::CountObject(int delta) {
  g_objects += delta;
}

}  // namespace vt::com
