#pragma once
// Hosting HTML documents: the COM face of a document (the HTML document class that can be created
// with CoCreateInstance and loaded from a stream or a URL moniker, its client site, ambient
// properties and ready-state notifications), and the host's UI handler that a browser consults
// before it shows a context menu on a page.
//
// Everything runs on the UI thread.
#include <memory>
#include <string>

#include "platform/com/connection.h"
#include "platform/com/dispatch.h"
#include "platform/com/stream.h"
#include "platform/com/unknown.h"
#include "platform/dom/document.h"

namespace vt::browser {

using com::BOOL;
using com::DISPID;
using com::DWORD;
using com::GUID;
using com::HRESULT;
using com::ULONG;

// The in-process HTML document class.
inline constexpr GUID CLSID_HTMLDocument = com::MakeGuid("{25336920-03F9-11CF-8FD0-00AA00686F13}");

// Download-control flags of the ambient property DISPID_AMBIENT_DLCONTROL.
inline constexpr std::int32_t DLCTL_DLIMAGES = 0x10;
inline constexpr std::int32_t DLCTL_NO_SCRIPTS = 0x80;
inline constexpr std::int32_t DLCTL_NO_JAVA = 0x100;
inline constexpr std::int32_t DLCTL_NO_RUNACTIVEXCTLS = 0x200;
inline constexpr std::int32_t DLCTL_NO_DLACTIVEXCTLS = 0x400;
inline constexpr std::int32_t DLCTL_DOWNLOADONLY = 0x800;
inline constexpr std::int32_t DLCTL_FORCEOFFLINE = 0x10000000;

inline constexpr HRESULT INET_E_DATA_NOT_AVAILABLE = com::MakeHresult(0x800C0007u);

// The document object model of an HTML document object.
struct IHTMLDocument2 : com::IDispatch {
  static constexpr GUID kIid = com::MakeGuid("{332C4425-26CB-11D0-B483-00C04FD90119}");
  using Base = com::IDispatch;
  // The document itself (never null).
  virtual std::shared_ptr<dom::Document> DomDocument() = 0;
};

struct IMoniker : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{0000000F-0000-0000-C000-000000000046}");
  using Base = com::IUnknown;
  // The address the moniker names.
  virtual HRESULT GetDisplayName(std::string* name) = 0;
};

struct IBindCtx : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{0000000E-0000-0000-C000-000000000046}");
  using Base = com::IUnknown;
};

// A moniker naming `url` (context is not used).
HRESULT CreateURLMoniker(IMoniker* context, const char* url, IMoniker** out);
HRESULT CreateBindCtx(DWORD reserved, IBindCtx** out);

struct IPersistMoniker : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{79EAC9C9-BAF9-11CE-8C82-00AA004BA90B}");
  using Base = com::IUnknown;
  // Loads what the moniker names; E_PENDING while the load goes on.
  virtual HRESULT Load(BOOL fully_available, IMoniker* moniker, IBindCtx* context, DWORD mode) = 0;
};

struct IOleContainer;

struct IOleClientSite : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{00000118-0000-0000-C000-000000000046}");
  using Base = com::IUnknown;
  virtual HRESULT SaveObject() = 0;
  virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** out) = 0;
  virtual HRESULT GetContainer(IOleContainer** out) = 0;
  virtual HRESULT ShowObject() = 0;
  virtual HRESULT OnShowWindow(BOOL show) = 0;
  virtual HRESULT RequestNewObjectLayout() = 0;
};

struct IOleObject : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{00000112-0000-0000-C000-000000000046}");
  using Base = com::IUnknown;
  virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
  virtual HRESULT GetClientSite(IOleClientSite** out) = 0;
};

struct IOleControl : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{B196B288-BAB4-101A-B69C-00AA00341D07}");
  using Base = com::IUnknown;
  // The document reads the ambient property `dispid` from its client site's IDispatch again.
  virtual HRESULT OnAmbientPropertyChange(DISPID dispid) = 0;
};

struct IPropertyNotifySink : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{9BFBBC02-EFF1-101A-84ED-00AA00341D07}");
  using Base = com::IUnknown;
  virtual HRESULT OnChanged(DISPID dispid) = 0;
  virtual HRESULT OnRequestEdit(DISPID dispid) = 0;
};

// Registers the HTML document class in the process (idempotent). The internet session does this
// when it is first used, so CoCreateInstance(CLSID_HTMLDocument) works in every program that
// loads pages.
void RegisterHtmlDocumentClass();

// ---- the host's UI handler

struct POINT {
  long x = 0;
  long y = 0;
};

inline constexpr DWORD CONTEXT_MENU_DEFAULT = 0;
inline constexpr DWORD CONTEXT_MENU_IMAGE = 1;
inline constexpr DWORD CONTEXT_MENU_ANCHOR = 5;

struct DOCHOSTUIINFO;
struct IOleInPlaceActiveObject;
struct IOleInPlaceFrame;
struct IOleInPlaceUIWindow;
struct IDropTarget;
struct IDataObject;
struct MSGINFO;

// What a browser asks its host before it does things its own way. S_FALSE: "do it your way".
struct IDocHostUIHandler : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{BD3F23C0-D43E-11CF-893B-00AA00BDCE1A}");
  using Base = com::IUnknown;
  // S_OK: the host showed its own menu (the browser shows none); S_FALSE: the browser's menu.
  virtual HRESULT ShowContextMenu(DWORD id, const POINT* point, com::IUnknown* command_target,
                                  com::IDispatch* object) = 0;
  virtual HRESULT GetHostInfo(DOCHOSTUIINFO* info) = 0;
  virtual HRESULT ShowUI(DWORD id, IOleInPlaceActiveObject* active, com::IUnknown* command_target,
                         IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) = 0;
  virtual HRESULT HideUI() = 0;
  virtual HRESULT UpdateUI() = 0;
  virtual HRESULT EnableModeless(BOOL enable) = 0;
  virtual HRESULT OnDocWindowActivate(BOOL activate) = 0;
  virtual HRESULT OnFrameWindowActivate(BOOL activate) = 0;
  virtual HRESULT ResizeBorder(const void* border, IOleInPlaceUIWindow* window,
                               BOOL frame_window) = 0;
  virtual HRESULT TranslateAccelerator(const MSGINFO* message, const GUID* group,
                                       DWORD command) = 0;
  virtual HRESULT GetOptionKeyPath(std::string* key, DWORD reserved) = 0;
  virtual HRESULT GetDropTarget(IDropTarget* drop_target, IDropTarget** out) = 0;
  virtual HRESULT GetExternal(com::IDispatch** out) = 0;
  virtual HRESULT TranslateUrl(DWORD translate, const std::string& url, std::string* out) = 0;
  virtual HRESULT FilterDataObject(IDataObject* object, IDataObject** out) = 0;
};

// Asks the UI handler set on `document` (ICustomDoc::SetUIHandler) to show its context menu at
// the screen point; true when it did, false when the browser is to show its own.
bool AskHostForContextMenu(dom::Document& document, long x, long y);

}  // namespace vt::browser
