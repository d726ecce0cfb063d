#pragma once
// The interface of the small in-process server library the activation tests load.
#include "platform/com/unknown.h"

namespace vt::com::testing {

inline constexpr GUID kCounterClsid = MakeGuid("{5B0C3F1A-8E2D-4C67-9A41-2F6D1E7B9C03}");

struct ICounter : IUnknown {
  static constexpr GUID kIid = MakeGuid("{9E4A6B2C-1D3F-4E58-8B7A-6C5D4E3F2A10}");
  using Base = IUnknown;
  virtual int Increment() = 0;
  // Live objects of the library that created this one.
  virtual long LibraryObjectCount() = 0;
};

}  // namespace vt::com::testing
