#pragma once
// Connection points: an event source (IConnectionPointContainer) hands out one connection point
// per events interface; sinks Advise it and get a cookie, Unadvise with that cookie.
// ConnectionPoint is the reusable implementation: it keeps the sinks and fires events at them.
#include <functional>
#include <vector>

#include "platform/com/dispatch.h"

namespace vt::com {

struct IConnectionPointContainer;

struct IConnectionPoint : IUnknown {
  static constexpr GUID kIid = MakeGuid("{B196B286-BAB4-101A-B69C-00AA00341D07}");
  using Base = IUnknown;
  virtual HRESULT GetConnectionInterface(GUID* iid) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** out) = 0;
  // *cookie is non-zero on success; CONNECT_E_CANNOTCONNECT when the sink lacks the interface.
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  // CONNECT_E_NOCONNECTION for a cookie that is not (or no longer) advised.
  virtual HRESULT Unadvise(DWORD cookie) = 0;
};

struct IConnectionPointContainer : IUnknown {
  static constexpr GUID kIid = MakeGuid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
  using Base = IUnknown;
  // CONNECT_E_NOCONNECTION (with *out null) when the object raises no such events.
  virtual HRESULT FindConnectionPoint(const GUID& iid, IConnectionPoint** out) = 0;
};

// One events interface of a source. The container owns its points and passes itself as a
// non-owning back pointer; it calls DisconnectContainer() when it goes away.
// Advise accepts a sink answering the events interface or, for dispatch events, IDispatch.
// Cookies count up from 1 and are never reused. Firing is re-entrancy safe: a sink that
// unadvises itself or another sink during an event is fine; sinks unadvised before their turn
// are skipped, sinks advised during the event first hear the next one.
class ConnectionPoint : public ComObject<IConnectionPoint> {
 public:
  ConnectionPoint(const GUID& eventsIid, IConnectionPointContainer* container)
      : eventsIid_(eventsIid), container_(container) {}

  HRESULT GetConnectionInterface(GUID* iid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT Unadvise(DWORD cookie) override;

  // Invokes `member` (DISPATCH_METHOD) on every advised dispatch sink; returns how many were
  // called. The result of each sink is ignored, as event sources do. A sink that throws (a
  // bug: nothing should cross an interface method) does not keep the others from hearing the
  // event; the first such exception is rethrown once all sinks ran.
  int Fire(DISPID member, DISPPARAMS* params);
  // Calls fn with each advised sink's events-interface pointer (cast it to the interface).
  int ForEachSink(const std::function<void(IUnknown* sink)>& fn);

  const GUID& EventsIid() const { return eventsIid_; }
  std::size_t SinkCount() const { return sinks_.size(); }
  void DisconnectContainer() { container_ = nullptr; }
  // Drops every sink (when the source shuts down).
  void UnadviseAll();

 private:
  struct Sink {
    DWORD cookie;
    ComPtr<IUnknown> events;     // the sink queried for the events interface (or IDispatch)
    ComPtr<IDispatch> dispatch;  // the sink's IDispatch when it has one
  };
  bool IsAdvised(DWORD cookie) const;

  GUID eventsIid_;
  IConnectionPointContainer* container_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
};

// FindConnectionPoint over a fixed set of points: a container's usual implementation.
HRESULT FindConnectionPointIn(std::initializer_list<ConnectionPoint*> points, const GUID& iid,
                              IConnectionPoint** out);

}  // namespace vt::com
