#include "platform/com/connection.h"

#include <algorithm>
#include <exception>

namespace vt::com {

HRESULT ConnectionPoint::GetConnectionInterface(GUID* iid) {
  if (!iid) return E_POINTER;
  *iid = eventsIid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = container_;
  if (!container_) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  Sink entry;
  void* events = nullptr;
  if (FAILED(sink->QueryInterface(eventsIid_, &events)) || !events) {
    if (FAILED(sink->QueryInterface(IID_IDispatch, &events)) || !events) {
      return CONNECT_E_CANNOTCONNECT;
    }
  }
  entry.events.Attach(static_cast<IUnknown*>(events));
  sink->QueryInterface(IID_IDispatch, entry.dispatch.put_void());
  entry.cookie = nextCookie_++;
  *cookie = entry.cookie;
  sinks_.push_back(std::move(entry));
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(),
                         [cookie](const Sink& s) { return s.cookie == cookie; });
  if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  Sink gone = std::move(*it);  // released after the list is consistent again
  sinks_.erase(it);
  return S_OK;
}

void ConnectionPoint::UnadviseAll() {
  std::vector<Sink> gone;
  gone.swap(sinks_);
}

bool ConnectionPoint::IsAdvised(DWORD cookie) const {
  return std::any_of(sinks_.begin(), sinks_.end(),
                     [cookie](const Sink& s) { return s.cookie == cookie; });
}

int ConnectionPoint::Fire(DISPID member, DISPPARAMS* params) {
  ComPtr<ConnectionPoint> self(this);  // a sink may drop the source's last reference
  const std::vector<Sink> snapshot = sinks_;
  int called = 0;
  std::exception_ptr failure;
  for (const Sink& s : snapshot) {
    if (!s.dispatch || !IsAdvised(s.cookie)) continue;
    try {
      s.dispatch->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr,
                         nullptr, nullptr);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    ++called;
  }
  if (failure) std::rethrow_exception(failure);
  return called;
}

int ConnectionPoint::ForEachSink(const std::function<void(IUnknown* sink)>& fn) {
  ComPtr<ConnectionPoint> self(this);
  const std::vector<Sink> snapshot = sinks_;
  int called = 0;
  std::exception_ptr failure;
  for (const Sink& s : snapshot) {
    if (!IsAdvised(s.cookie)) continue;
    try {
      fn(s.events.get());
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    ++called;
  }
  if (failure) std::rethrow_exception(failure);
  return called;
}

HRESULT FindConnectionPointIn(std::initializer_list<ConnectionPoint*> points, const GUID& iid,
                              IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (ConnectionPoint* point : points) {
    if (point && point->EventsIid() == iid) {
      *out = point;
      point->AddRef();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

}  // namespace vt::com
