#pragma once
// Browser objects: a page view that navigates, holds the document it shows, loads the frames of
// that document into child browsers and raises the DWebBrowserEvents2 events.
//
// Navigation is asynchronous. Navigate(url) fires BeforeNavigate2 at once (a sink may cancel by
// setting Cancel), then DownloadBegin, and starts the load through the process's internet
// session; the rest happens in later turns of the UI message loop: NavigateComplete2 when the
// new document is in place, TitleChange, DownloadComplete, the frames of the document (each frame
// fires its own events, its DocumentComplete before its parent's), and finally DocumentComplete
// of the navigated browser. Busy is true from Navigate until that last DocumentComplete. A load
// that fails (no such host, refused, timed out, an HTTP error status, too large, missing file)
// shows a small error page naming the reason, and its navigation completes like any other.
//
// Events are delivered through IDispatch::Invoke to every sink advised on the browser's
// DWebBrowserEvents2 connection point and then to the sinks of each ancestor browser (a page
// with frames reports its frames' events to whoever listens on the page's browser); pDisp of an
// event is the browser it concerns. Arguments are in DISPPARAMS last-first, as Windows passes
// them:
//   BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
//       URL .. Headers are VT_BYREF|VT_VARIANT, Cancel is VT_BYREF|VT_BOOL
//   NavigateComplete2(pDisp, URL), DocumentComplete(pDisp, URL)   URL is VT_BYREF|VT_VARIANT
//   DownloadBegin(), DownloadComplete(), TitleChange(Text), OnQuit()
//
// The methods of IWebBrowser2 return their values directly and never throw. Everything runs on
// the UI thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/connection.h"
#include "platform/com/dispatch.h"
#include "platform/com/ole.h"
#include "platform/com/unknown.h"
#include "platform/dom/document.h"

namespace vt::browser {

using com::DWORD;
using com::GUID;
using com::HRESULT;

inline constexpr GUID DIID_DWebBrowserEvents2 =
    com::MakeGuid("{34A715A0-6587-11D0-924A-0020AFC7AC4D}");
inline constexpr GUID IID_IWebBrowser = com::MakeGuid("{EAB22AC1-30C1-11CF-A7EB-0000C05BAE0B}");
inline constexpr GUID IID_IWebBrowserApp = com::SID_SWebBrowserApp;

// Commands of ExecWB.
inline constexpr DWORD OLECMDID_PRINT = 6;
inline constexpr DWORD OLECMDID_COPY = 12;
inline constexpr DWORD OLECMDID_SELECTALL = 17;
inline constexpr DWORD OLECMDEXECOPT_DODEFAULT = 0;
inline constexpr DWORD OLECMDEXECOPT_PROMPTUSER = 1;
inline constexpr DWORD OLECMDEXECOPT_DONTPROMPTUSER = 2;
inline constexpr HRESULT OLECMDERR_E_NOTSUPPORTED = com::MakeHresult(0x80040100u);

enum READYSTATE : std::int32_t {
  READYSTATE_UNINITIALIZED = 0,
  READYSTATE_LOADING = 1,
  READYSTATE_LOADED = 2,
  READYSTATE_INTERACTIVE = 3,
  READYSTATE_COMPLETE = 4,
};

// Flags of BeforeNavigate2.
inline constexpr std::int32_t navHyperlink = 0x40;

// DISPIDs of the browser's own properties (answered by IDispatch::Invoke as property gets).
inline constexpr com::DISPID DISPID_BROWSER_DOCUMENT = 203;
inline constexpr com::DISPID DISPID_BROWSER_LOCATIONNAME = 210;
inline constexpr com::DISPID DISPID_BROWSER_LOCATIONURL = 211;
inline constexpr com::DISPID DISPID_BROWSER_BUSY = 212;

struct IWebBrowser2 : com::IDispatch {
  static constexpr GUID kIid = com::MakeGuid("{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}");
  using Base = com::IDispatch;

  // Starts a navigation to `url` (what a user types is accepted: "example.com", "/tmp/a.html").
  // S_OK also when a sink cancels it; E_INVALIDARG for an empty address. A javascript: address
  // is ignored (no script runs in these pages).
  virtual HRESULT Navigate(const std::string& url) noexcept = 0;
  // The shown document; null before the first navigation completes its load.
  virtual std::shared_ptr<dom::Document> Document() noexcept = 0;
  // "" before the first page, "about:blank" for the blank page, else the address shown.
  virtual std::string LocationURL() noexcept = 0;
  // The shown page's title, or its address when it has no title; "" before the first page.
  virtual std::string LocationName() noexcept = 0;
  virtual bool Busy() noexcept = 0;
  virtual READYSTATE ReadyState() noexcept = 0;
  // Cancels the running navigation and the loads of its frames. A page whose document is
  // already shown completes (DocumentComplete) with the frames it has; a navigation stopped
  // before that leaves the previous page. DownloadComplete is fired when something was loading.
  virtual HRESULT Stop() noexcept = 0;
  // Loads the shown address again.
  virtual HRESULT Refresh() noexcept = 0;
  // The window handle of the browser (a number naming it to the message loop and the display).
  virtual com::HWND HWND() noexcept = 0;
  // OLECMDID_COPY, OLECMDID_SELECTALL and OLECMDID_PRINT are carried out by the display and
  // reported to the observers; S_OK. Other commands: OLECMDERR_E_NOTSUPPORTED.
  virtual HRESULT ExecWB(DWORD command, DWORD options, const com::VARIANT* in = nullptr,
                         com::VARIANT* out = nullptr) noexcept = 0;
  // Shows or hides the explorer bar whose class is `clsid` (38-character text); reported to the
  // observers. E_INVALIDARG when `clsid` is not a class ID.
  virtual HRESULT ShowBrowserBar(const std::string& clsid, bool show,
                                 const com::VARIANT* size = nullptr) noexcept = 0;
  // Closes a top-level window: fires OnQuit, stops, leaves the window list.
  virtual HRESULT Quit() noexcept = 0;

  // Window properties. A top-level window keeps its size within the screen (at least 100 x 100,
  // at most the screen's size); the place is kept as given.
  virtual bool AddressBar() noexcept = 0;
  virtual void SetAddressBar(bool shown) noexcept = 0;
  virtual bool MenuBar() noexcept = 0;
  virtual void SetMenuBar(bool shown) noexcept = 0;
  virtual bool StatusBar() noexcept = 0;
  virtual void SetStatusBar(bool shown) noexcept = 0;
  virtual long Width() noexcept = 0;
  virtual void SetWidth(long width) noexcept = 0;
  virtual long Height() noexcept = 0;
  virtual void SetHeight(long height) noexcept = 0;
  virtual long Left() noexcept = 0;
  virtual void SetLeft(long left) noexcept = 0;
  virtual long Top() noexcept = 0;
  virtual void SetTop(long top) noexcept = 0;
  virtual bool Visible() noexcept = 0;
  virtual void SetVisible(bool visible) noexcept = 0;
  // The status text the page would show ("" when none).
  virtual std::string StatusText() noexcept = 0;
  virtual void SetStatusText(const std::string& text) noexcept = 0;
};

class WebBrowser;

// What the display needs to hear of one browser. Called on the UI thread, after the change.
class BrowserObserver {
 public:
  virtual ~BrowserObserver() = default;
  // `browser` shows a new document (a navigation reached NavigateComplete2). Observers of a
  // browser also hear of the new documents of its frames (then `browser` is the frame's).
  virtual void OnDocumentChanged(WebBrowser& browser) {}
  // Busy, LocationURL or LocationName changed.
  virtual void OnStateChanged(WebBrowser& browser) {}
  // ExecWB of copy, select all or print.
  virtual void OnCommand(WebBrowser& browser, DWORD command, DWORD options) {}
  virtual void OnBrowserBar(WebBrowser& browser, const std::string& clsid, bool show) {}
  // AddressBar, MenuBar, StatusBar, Width, Height, Left, Top, Visible or the status text.
  virtual void OnWindowChanged(WebBrowser& browser) {}
  virtual void OnQuit(WebBrowser& browser) {}
};

// One ExecWB call as the browser recorded it.
struct ExecutedCommand {
  DWORD command;
  DWORD options;
};

class WebBrowser final
    : public com::ComObjectUncounted<IWebBrowser2, com::IConnectionPointContainer,
                                     com::IServiceProvider> {
 public:
  // A browser embedded in a form (a preview browser): not a window of the window list.
  static com::ComPtr<WebBrowser> Create();

  // IWebBrowser2
  HRESULT Navigate(const std::string& url) noexcept override;
  std::shared_ptr<dom::Document> Document() noexcept override;
  std::string LocationURL() noexcept override;
  std::string LocationName() noexcept override;
  bool Busy() noexcept override;
  READYSTATE ReadyState() noexcept override;
  HRESULT Stop() noexcept override;
  HRESULT Refresh() noexcept override;
  com::HWND HWND() noexcept override;
  HRESULT ExecWB(DWORD command, DWORD options, const com::VARIANT* in = nullptr,
                 com::VARIANT* out = nullptr) noexcept override;
  HRESULT ShowBrowserBar(const std::string& clsid, bool show,
                         const com::VARIANT* size = nullptr) noexcept override;
  HRESULT Quit() noexcept override;
  bool AddressBar() noexcept override { return address_bar_; }
  void SetAddressBar(bool shown) noexcept override;
  bool MenuBar() noexcept override { return menu_bar_; }
  void SetMenuBar(bool shown) noexcept override;
  bool StatusBar() noexcept override { return status_bar_; }
  void SetStatusBar(bool shown) noexcept override;
  long Width() noexcept override { return width_; }
  void SetWidth(long width) noexcept override;
  long Height() noexcept override { return height_; }
  void SetHeight(long height) noexcept override;
  long Left() noexcept override { return left_; }
  void SetLeft(long left) noexcept override;
  long Top() noexcept override { return top_; }
  void SetTop(long top) noexcept override;
  bool Visible() noexcept override { return visible_; }
  void SetVisible(bool visible) noexcept override;
  std::string StatusText() noexcept override { return status_text_; }
  void SetStatusText(const std::string& text) noexcept override;

  // IDispatch: property gets of Document, LocationName, LocationURL, Busy and the ready state.
  HRESULT GetTypeInfoCount(com::UINT* count) override;
  HRESULT GetTypeInfo(com::UINT index, com::LCID lcid, com::ITypeInfo** out) override;
  HRESULT GetIDsOfNames(const GUID& iid, const char* const* names, com::UINT count, com::LCID lcid,
                        com::DISPID* ids) override;
  HRESULT Invoke(com::DISPID member, const GUID& iid, com::LCID lcid, com::WORD flags,
                 com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excep,
                 com::UINT* arg_err) override;

  // IConnectionPointContainer: DWebBrowserEvents2 (sinks answering it or IDispatch).
  HRESULT FindConnectionPoint(const GUID& iid, com::IConnectionPoint** out) override;

  // IServiceProvider: SID_SWebBrowserApp (and IID_IWebBrowserApp, IID_IWebBrowser2) answer
  // this browser.
  HRESULT QueryService(const GUID& service, const GUID& iid, void** out) override;

  // --- Beyond the interface -------------------------------------------------------------
  // Unique among the live browsers of the process (frames included); never 0.
  int Id() const { return id_; }
  // The browser whose document holds this browser's frame; null for a top browser.
  WebBrowser* Parent() const { return parent_; }
  WebBrowser* TopLevel();
  // The name of the FRAME or IFRAME element this browser shows ("" for a top browser).
  const std::string& FrameName() const { return frame_name_; }
  // The browsers of the shown document's frames, in frame order.
  const std::vector<com::ComPtr<WebBrowser>>& Frames() const { return frames_; }
  // True for a window made by CreateBrowserWindow (until Quit).
  bool IsTopLevelWindow() const { return top_level_window_; }
  // How the load of the shown page went: "" when its bytes arrived, else the sentence its error
  // page shows; and the HTTP status of that load (0 for other protocols and for no answer).
  const std::string& LoadError() const;
  long HttpStatus() const;
  // Pictures of the shown page still being fetched into the URL cache. They load in the
  // background after the page; a stopped or replaced page stops them.
  size_t ImagesPending() const;
  // The ExecWB commands carried out so far, oldest first.
  const std::vector<ExecutedCommand>& ExecutedCommands() const { return commands_; }
  // Which explorer bars were last shown (true) or hidden (false), by class ID text.
  bool BrowserBarShown(const std::string& clsid) const;

  void AddObserver(BrowserObserver* observer);
  void RemoveObserver(BrowserObserver* observer);

  // The browser with this Id, or null.
  static WebBrowser* FromId(int id);

  ~WebBrowser() override;

 private:
  friend class NavigationDriver;
  friend com::ComPtr<WebBrowser> CreateBrowserWindow();
  WebBrowser();

  void* QueryOtherInterface(const GUID& iid) override;
  template <class F>
  void ForEachObserver(F&& f);
  void NotifyDocument();
  void NotifyState();
  void NotifyWindow() noexcept;

  struct State;
  std::unique_ptr<State> state_;

  int id_;
  com::HWND hwnd_;
  WebBrowser* parent_ = nullptr;
  std::string frame_name_;
  std::vector<com::ComPtr<WebBrowser>> frames_;
  com::ComPtr<com::ConnectionPoint> events_;
  bool top_level_window_ = false;
  bool address_bar_ = true, menu_bar_ = true, status_bar_ = true, visible_ = false;
  long width_ = 800, height_ = 600, left_ = 0, top_ = 0;
  std::string status_text_;
  std::vector<ExecutedCommand> commands_;
  std::vector<std::pair<std::string, bool>> bars_;
  std::vector<BrowserObserver*> observers_;
};

}  // namespace vt::browser
