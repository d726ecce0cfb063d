#pragma once
// The document event sinks: TBrowserClick and TBrowserMouseMove are handed to a document's
// attachEvent for "onclick" and "onmousemove" and forward every event to the page session's
// handler. The page session owns them; a sink whose session has gone is told so (ClearNotification)
// and then answers every event with S_OK and nothing done. UI thread.
#include <functional>

#include "platform/com/dispatch.h"

namespace vt {

class TBrowserEventSink : public com::ComObject<com::IDispatch> {
 public:
  using Notification = std::function<void(com::IDispatch* sender)>;
  explicit TBrowserEventSink(Notification notification = {})
      : notification_(std::move(notification)) {}

  void ClearNotification() { notification_ = nullptr; }

  com::HRESULT GetTypeInfoCount(com::UINT* count) override;
  com::HRESULT GetTypeInfo(com::UINT index, com::LCID lcid, com::ITypeInfo** out) override;
  com::HRESULT GetIDsOfNames(const com::GUID& iid, const char* const* names, com::UINT count,
                             com::LCID lcid, com::DISPID* ids) override;
  // Any member, any arguments: calls the notification with this sink as sender; S_OK.
  com::HRESULT Invoke(com::DISPID member, const com::GUID& iid, com::LCID lcid, com::WORD flags,
                      com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excepInfo,
                      com::UINT* argErr) override;

 private:
  Notification notification_;
};

// The click sink and the mouse-move sink differ only in their use.
class TBrowserClick final : public TBrowserEventSink {
 public:
  using TBrowserEventSink::TBrowserEventSink;
};
class TBrowserMouseMove final : public TBrowserEventSink {
 public:
  using TBrowserEventSink::TBrowserEventSink;
};

}  // namespace vt
