#pragma once
// IDispatch, the late-bound interface that event sinks implement, with the DISPIDs of the
// browser's events. DispatchSink turns a function into an event sink.
#include <functional>

#include "platform/com/variant.h"

namespace vt::com {

// Type information is not provided by any object here; the interface exists for signatures.
struct ITypeInfo : IUnknown {
  static constexpr GUID kIid = MakeGuid("{00020401-0000-0000-C000-000000000046}");
  using Base = IUnknown;
};

struct IDispatch : IUnknown {
  static constexpr GUID kIid = MakeGuid("{00020400-0000-0000-C000-000000000046}");
  using Base = IUnknown;
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) = 0;
  virtual HRESULT GetIDsOfNames(const GUID& iid, const char* const* names, UINT count, LCID lcid,
                                DISPID* ids) = 0;
  // params may be null for a call without arguments; result, excepInfo, argErr may be null.
  virtual HRESULT Invoke(DISPID member, const GUID& iid, LCID lcid, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) = 0;
};

inline constexpr GUID IID_IDispatch = IDispatch::kIid;
inline constexpr GUID IID_NULL = GUID_NULL;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

// Invoke flags.
inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

// Reserved DISPIDs.
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_READYSTATE = -525;
inline constexpr DISPID DISPID_AMBIENT_DLCONTROL = -5512;

// Events of the browser object (DWebBrowserEvents and DWebBrowserEvents2).
inline constexpr DISPID DISPID_BEFORENAVIGATE = 100;
inline constexpr DISPID DISPID_NAVIGATECOMPLETE = 101;
inline constexpr DISPID DISPID_STATUSTEXTCHANGE = 102;
inline constexpr DISPID DISPID_QUIT = 103;
inline constexpr DISPID DISPID_DOWNLOADCOMPLETE = 104;
inline constexpr DISPID DISPID_COMMANDSTATECHANGE = 105;
inline constexpr DISPID DISPID_DOWNLOADBEGIN = 106;
inline constexpr DISPID DISPID_NEWWINDOW = 107;
inline constexpr DISPID DISPID_PROGRESSCHANGE = 108;
inline constexpr DISPID DISPID_WINDOWMOVE = 109;
inline constexpr DISPID DISPID_WINDOWRESIZE = 110;
inline constexpr DISPID DISPID_WINDOWACTIVATE = 111;
inline constexpr DISPID DISPID_PROPERTYCHANGE = 112;
inline constexpr DISPID DISPID_TITLECHANGE = 113;
inline constexpr DISPID DISPID_TITLEICONCHANGE = 114;
inline constexpr DISPID DISPID_FRAMEBEFORENAVIGATE = 200;
inline constexpr DISPID DISPID_FRAMENAVIGATECOMPLETE = 201;
inline constexpr DISPID DISPID_FRAMENEWWINDOW = 204;
inline constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
inline constexpr DISPID DISPID_NEWWINDOW2 = 251;
inline constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;
inline constexpr DISPID DISPID_ONQUIT = 253;
inline constexpr DISPID DISPID_ONVISIBLE = 254;
inline constexpr DISPID DISPID_ONTOOLBAR = 255;
inline constexpr DISPID DISPID_ONMENUBAR = 256;
inline constexpr DISPID DISPID_ONSTATUSBAR = 257;
inline constexpr DISPID DISPID_ONFULLSCREEN = 258;
inline constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;
inline constexpr DISPID DISPID_ONTHEATERMODE = 260;
inline constexpr DISPID DISPID_ONADDRESSBAR = 261;
inline constexpr DISPID DISPID_WINDOWSETRESIZABLE = 262;
inline constexpr DISPID DISPID_WINDOWCLOSING = 263;
inline constexpr DISPID DISPID_WINDOWSETLEFT = 264;
inline constexpr DISPID DISPID_WINDOWSETTOP = 265;
inline constexpr DISPID DISPID_WINDOWSETWIDTH = 266;
inline constexpr DISPID DISPID_WINDOWSETHEIGHT = 267;
inline constexpr DISPID DISPID_CLIENTTOHOSTWINDOW = 268;
inline constexpr DISPID DISPID_SETSECURELOCKICON = 269;
inline constexpr DISPID DISPID_FILEDOWNLOAD = 270;
inline constexpr DISPID DISPID_NAVIGATEERROR = 271;
inline constexpr DISPID DISPID_PRIVACYIMPACTEDSTATECHANGE = 272;

// Calls a method (DISPATCH_METHOD) with arguments in declaration order.
HRESULT InvokeMethod(IDispatch* target, DISPID member, std::vector<VARIANT> args,
                     VARIANT* result = nullptr);

// An IDispatch whose Invoke calls a function; GetTypeInfoCount answers 0, the other type
// methods E_NOTIMPL. Exceptions of the function become DISP_E_EXCEPTION. It also answers
// QueryInterface for `eventsIid` (an events dispinterface ID) when one is given.
class DispatchSink : public ComObject<IDispatch> {
 public:
  using Handler = std::function<HRESULT(DISPID member, DISPPARAMS* params, VARIANT* result)>;
  explicit DispatchSink(Handler handler, const GUID& eventsIid = GUID_NULL)
      : handler_(std::move(handler)), eventsIid_(eventsIid) {}

  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
  HRESULT GetIDsOfNames(const GUID& iid, const char* const* names, UINT count, LCID lcid,
                        DISPID* ids) override;
  HRESULT Invoke(DISPID member, const GUID& iid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

 protected:
  void* QueryOtherInterface(const GUID& iid) override;

 private:
  Handler handler_;
  GUID eventsIid_;
};

}  // namespace vt::com
