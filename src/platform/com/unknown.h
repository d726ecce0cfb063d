#pragma once
// IUnknown, the smart pointer ComPtr and ComObject, the base that implements reference counting
// and QueryInterface for a class's interfaces.
//
// Interfaces are structs of pure virtual functions deriving from IUnknown (directly or through
// another interface). Each declares its interface ID and its direct base interface:
//
//   struct IFoo : IUnknown {
//     static constexpr GUID kIid = MakeGuid("{...}");
//     using Base = IUnknown;
//     virtual HRESULT Frob(int n) = 0;
//   };
//
// A COM class derives from ComObject<the interfaces it implements>; QueryInterface then answers
// IUnknown, every listed interface and every base interface of them:
//
//   class TFoo : public ComObject<IFoo, IObjectWithSite> { ... };
//   ComPtr<TFoo> foo = MakeCom<TFoo>(args...);        // one reference, owned by foo
//
// Objects are deleted by their last Release. Nothing may throw across an interface method.
#include <atomic>
#include <cstddef>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/types.h"

namespace vt::com {

struct IUnknown {
  static constexpr GUID kIid = MakeGuid("{00000000-0000-0000-C000-000000000046}");

  // On success *out holds an AddRef'ed pointer to the interface iid; otherwise *out is null and
  // the result is E_NOINTERFACE (E_POINTER when out is null).
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;  // objects die through Release, never through delete
};

template <class T>
constexpr const GUID& IidOf() {
  return T::kIid;
}

// Owns one reference to an interface (or a COM class). Copying AddRefs, destruction Releases.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes its own reference: the caller keeps the one it had (see Attach for the other way).
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.get())) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(ComPtr<U>&& other) noexcept : p_(other.Detach()) {}
  ~ComPtr() { reset(); }

  ComPtr& operator=(const ComPtr& other) {
    reset(other.p_);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != std::addressof(other)) {
      T* old = std::exchange(p_, std::exchange(other.p_, nullptr));
      if (old) old->Release();
    }
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    reset();
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Points at p (taking a reference to it) and releases the old pointer.
  void reset(T* p = nullptr) {
    if (p) p->AddRef();
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // Takes over a reference the caller owns.
  void Attach(T* p) {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // Gives up the reference without releasing it; the caller owns it now.
  [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }

  // For out parameters: releases the current pointer and gives the slot to fill.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  T** operator&() { return put(); }

  // QueryInterface for U; an empty pointer when the object lacks it.
  template <class U>
  ComPtr<U> As() const {
    ComPtr<U> result;
    if (p_) p_->QueryInterface(IidOf<U>(), result.put_void());
    return result;
  }
  template <class U>
  HRESULT As(ComPtr<U>& out) const {
    if (!p_) {
      out = nullptr;
      return E_POINTER;
    }
    return p_->QueryInterface(IidOf<U>(), out.put_void());
  }

  // Hands out an AddRef'ed copy into a raw out parameter (as interface methods do).
  HRESULT CopyTo(T** out) const {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Takes over the reference a raw pointer carries (the result of an out parameter).
template <class T>
ComPtr<T> AttachCom(T* p) {
  ComPtr<T> result;
  result.Attach(p);
  return result;
}

// Answers iid from an object: *out gets an AddRef'ed pointer or null. Null object: E_POINTER.
template <class T>
HRESULT QueryInterfaceOf(T* object, const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!object) return E_POINTER;
  return object->QueryInterface(iid, out);
}

// Module-wide counts behind DllCanUnloadNow: live counted COM objects and server locks.
long ModuleObjectCount();
long ModuleLockCount();
void ModuleLock();
void ModuleUnlock();
// S_OK when no counted object is alive and no server lock is held, else S_FALSE.
HRESULT ModuleCanUnloadNow();

namespace detail {
void CountObject(int delta);

// Finds iid on I or one of its base interfaces and casts p accordingly.
template <class I>
void* FindInterface(I* p, const GUID& iid) {
  if (iid == I::kIid) return p;
  if constexpr (!std::is_same_v<I, IUnknown>) {
    using B = typename I::Base;
    static_assert(std::is_base_of_v<B, I> && !std::is_same_v<B, I>,
                  "an interface declares its direct base interface as Base");
    return FindInterface<B>(static_cast<B*>(p), iid);
  } else {
    return nullptr;
  }
}

template <bool Counted, class... Interfaces>
class ComObjectImpl : public Interfaces... {
  static_assert(sizeof...(Interfaces) > 0, "a COM object implements at least one interface");

 public:
  ComObjectImpl(const ComObjectImpl&) = delete;
  ComObjectImpl& operator=(const ComObjectImpl&) = delete;

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    void* found = nullptr;
    // The first listed interface answers IUnknown, so the object's identity is stable.
    ((found || (found = FindInterface<Interfaces>(static_cast<Interfaces*>(this), iid))), ...);
    if (!found) found = QueryOtherInterface(iid);
    if (!found) return E_NOINTERFACE;
    AddRef();
    *out = found;
    return S_OK;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // The canonical IUnknown of the object (no reference taken).
  IUnknown* GetUnknown() {
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    return static_cast<IUnknown*>(static_cast<First*>(this));
  }

 protected:
  ComObjectImpl() {
    if constexpr (Counted) CountObject(+1);
  }
  ~ComObjectImpl() override {
    if constexpr (Counted) CountObject(-1);
  }
  // Interfaces answered beyond the listed ones (for example an event dispinterface ID answered
  // with the object's IDispatch). Return the interface pointer without AddRef, or null.
  virtual void* QueryOtherInterface(const GUID& iid) { return nullptr; }

 private:
  std::atomic<ULONG> refs_{0};
};
}  // namespace detail

// The base of COM classes; its objects count for ModuleCanUnloadNow.
template <class... Interfaces>
using ComObject = detail::ComObjectImpl<true, Interfaces...>;
// The same for objects that live as long as the module (class factories) and so never keep it
// loaded by themselves.
template <class... Interfaces>
using ComObjectUncounted = detail::ComObjectImpl<false, Interfaces...>;

// Creates a COM object; the returned pointer owns its only reference.
template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace vt::com
