// An in-process server library: one class (a counter) behind an exported DllGetClassObject.
#include "test_server.h"
#include "platform/com/classfactory.h"

namespace {

using namespace vt::com;
using vt::com::testing::ICounter;

class Counter : public ComObject<ICounter> {
 public:
  int Increment() override { return ++value_; }
  long LibraryObjectCount() override { return ModuleObjectCount(); }

 private:
  int value_ = 0;
};

ClassFactory<Counter> g_factory;  // lives as long as the library; never deleted by Release

struct PinFactory {
  PinFactory() { g_factory.AddRef(); }
} g_pin;

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const GUID& clsid,
                                                                            const GUID& iid,
                                                                            void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != vt::com::testing::kCounterClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return ModuleCanUnloadNow();
}
