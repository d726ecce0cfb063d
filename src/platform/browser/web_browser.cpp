#include "platform/browser/web_browser.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "platform/browser/document_loader.h"
#include "platform/browser/image_prefetch.h"
#include "platform/browser/network_threads.h"
#include "platform/browser/session.h"
#include "platform/browser/url.h"
#include "platform/browser/window_list_internal.h"
#include "platform/msgloop/message_loop.h"

namespace vt::browser {
namespace {

// Bounds that keep a hostile or broken page (frames that load themselves) from growing without
// end: frames inside frames, and frames of one document.
constexpr int kMaxFrameDepth = 6;
constexpr size_t kMaxFramesPerDocument = 64;

// Kept for the whole process (never destroyed), so that no browser outlives it at exit.
std::unordered_map<int, WebBrowser*>& LiveBrowsers() {
  static auto* browsers = new std::unordered_map<int, WebBrowser*>();
  return *browsers;
}
int NextBrowserId() {
  static int next = 0;
  return ++next;
}

// The service provider of the windows of a browser's documents. It holds the browser weakly:
// documents outlive the browsers that showed them.
class BrowserServices final : public com::ComObjectUncounted<com::IServiceProvider> {
 public:
  explicit BrowserServices(WebBrowser* browser) : browser_(browser) {}
  void Detach() { browser_ = nullptr; }
  HRESULT QueryService(const GUID& service, const GUID& iid, void** out) override {
    if (!out) return com::E_POINTER;
    *out = nullptr;
    if (!browser_) return com::E_NOINTERFACE;
    return browser_->QueryService(service, iid, out);
  }

 private:
  WebBrowser* browser_;
};

}  // namespace

struct WebBrowser::State {
  std::shared_ptr<dom::Document> document;
  std::string location;     // "" before the first page
  std::string pending_url;  // the address of the running navigation
  std::string load_error;   // of the shown page
  long http_status = 0;
  bool busy = false;
  READYSTATE ready = READYSTATE_UNINITIALIZED;
  std::uint64_t navigation = 0;      // grows with every navigation; late results compare it
  std::uint64_t navigate_calls = 0;  // grows with every Navigate call (a newer one wins)
  std::shared_ptr<LoadRequest> load;
  bool document_shown = false;  // the running navigation reached NavigateComplete2
  std::vector<WebBrowser*> frames_loading;
  int depth = 0;
  com::ComPtr<BrowserServices> services;
  detail::ImagePrefetch images;
};

// Drives one browser's navigation and its events. A friend of WebBrowser.
class NavigationDriver {
 public:
  explicit NavigationDriver(WebBrowser& b) : b_(b), s_(*b.state_) {}

  // Fires `member` to this browser's sinks and then to each ancestor's.
  void Fire(com::DISPID member, std::vector<com::VARIANT> args) {
    std::vector<com::ComPtr<WebBrowser>> chain;
    for (WebBrowser* p = &b_; p; p = p->parent_) chain.emplace_back(p);
    com::DISPPARAMS params = com::MakeDispParams(std::move(args));
    for (auto& p : chain) p->events_->Fire(member, &params);
  }

  com::VARIANT Self() { return com::VARIANT(static_cast<com::IDispatch*>(&b_)); }

  // BeforeNavigate2; true when a sink cancelled.
  bool BeforeNavigate(const std::string& url) {
    com::VARIANT url_v(url), flags_v(std::int32_t{0}), target_v(std::string{}), post_v,
        headers_v(std::string{});
    com::VARIANT_BOOL cancel = com::VARIANT_FALSE;
    Fire(com::DISPID_BEFORENAVIGATE2,
         {Self(), com::VARIANT::RefVariant(&url_v), com::VARIANT::RefVariant(&flags_v),
          com::VARIANT::RefVariant(&target_v), com::VARIANT::RefVariant(&post_v),
          com::VARIANT::RefVariant(&headers_v), com::VARIANT::RefBool(&cancel)});
    return cancel != com::VARIANT_FALSE;
  }

  void FireWithUrl(com::DISPID member, const std::string& url) {
    com::VARIANT url_v(url);
    Fire(member, {Self(), com::VARIANT::RefVariant(&url_v)});
  }

  // Starts loading `url`; BeforeNavigate2 has been fired.
  void Begin(const std::string& url) {
    CancelRunning(false);
    const auto id = ++s_.navigation;
    s_.busy = true;
    s_.ready = READYSTATE_LOADING;
    s_.pending_url = url;
    s_.document_shown = false;
    b_.NotifyState();
    Fire(com::DISPID_DOWNLOADBEGIN, {});
    if (id != s_.navigation) return;
    com::ComPtr<WebBrowser> keep(&b_);
    // The page is parsed on a worker; Stop or a newer navigation abandons that parse.
    s_.load = LoadAndParse(url, [keep, id](LoadResult r, dom::ParsedPage page) {
      NavigationDriver(*keep).OnLoaded(id, std::move(r), std::move(page));
    });
  }

  void OnLoaded(std::uint64_t id, LoadResult r, dom::ParsedPage page) {
    if (id != s_.navigation) return;
    s_.load = nullptr;
    if (r.url.empty()) r.url = s_.pending_url;
    auto doc = dom::Document::Create(r.url);
    doc->Load(std::move(page), r.url);
    DropFrames();
    doc->parentWindow()->SetName(b_.frame_name_);
    doc->parentWindow()->SetServiceProvider(s_.services.get());
    s_.document = doc;
    s_.location = r.url;
    s_.load_error = r.ok ? "" : r.error;
    s_.http_status = r.status;
    s_.document_shown = true;
    s_.ready = READYSTATE_INTERACTIVE;
    if (b_.parent_) NavigationDriver(*b_.parent_).RefreshFrameWindows();
    b_.NotifyDocument();
    b_.NotifyState();
    s_.images.Start(*doc);

    FireWithUrl(com::DISPID_NAVIGATECOMPLETE2, r.url);
    if (id != s_.navigation) return;
    Fire(com::DISPID_TITLECHANGE, {com::VARIANT(b_.LocationName())});
    if (id != s_.navigation) return;
    Fire(com::DISPID_DOWNLOADCOMPLETE, {});
    if (id != s_.navigation) return;
    LoadFrames(id);
    if (id != s_.navigation) return;
    if (s_.frames_loading.empty()) Complete(id);
  }

  // Creates the browsers of the document's FRAME and IFRAME elements and navigates them.
  void LoadFrames(std::uint64_t id) {
    if (s_.depth >= kMaxFrameDepth) return;
    auto& doc = s_.document;
    std::vector<dom::ElementPtr> elements;
    for (const auto& e : doc->all().ToVector()) {
      if (e->Is("frame") || e->Is("iframe")) elements.push_back(e);
      if (elements.size() == kMaxFramesPerDocument) break;
    }
    if (elements.empty()) return;
    std::vector<std::pair<com::ComPtr<WebBrowser>, std::string>> children;
    for (const auto& e : elements) {
      com::ComPtr<WebBrowser> child(new WebBrowser());
      child->parent_ = &b_;
      child->frame_name_ = e->getAttribute("name");
      child->state_->depth = s_.depth + 1;
      // Until its own page arrives a frame shows a blank document, as a new frame does.
      auto blank = dom::Document::Create("about:blank");
      blank->parentWindow()->SetName(child->frame_name_);
      blank->parentWindow()->SetServiceProvider(child->state_->services.get());
      child->state_->document = blank;
      std::string src = e->getAttribute("src");
      std::string url = src.empty() ? "about:blank" : doc->ResolveURL(src);
      if (SchemeOf(url) == "javascript") url = "about:blank";  // scripts never run here
      b_.frames_.push_back(child);
      children.emplace_back(child, url);
    }
    std::vector<com::ComPtr<com::IUnknown>> objects;
    for (auto& f : b_.frames_) objects.emplace_back(static_cast<IWebBrowser2*>(f.get()));
    doc->SetContainerObjects(std::move(objects));
    RefreshFrameWindows();
    for (auto& [child, url] : children) s_.frames_loading.push_back(child.get());
    for (auto& [child, url] : children) {
      if (id != s_.navigation) return;
      if (child->parent_ != &b_) continue;  // dropped by a nested navigation
      NavigationDriver driver(*child);
      if (driver.BeforeNavigate(url) || child->parent_ != &b_) {
        FrameDone(child.get());
        continue;
      }
      driver.Begin(url);
    }
  }

  // The frame windows of the shown document, in frame order.
  void RefreshFrameWindows() {
    if (!s_.document) return;
    std::vector<std::shared_ptr<dom::Window>> windows;
    for (auto& f : b_.frames_) {
      auto& doc = f->state_->document;
      if (doc) windows.push_back(doc->parentWindow());
    }
    s_.document->parentWindow()->SetFrames(std::move(windows));
  }

  // A frame finished (or will never load): the parent completes after its last frame.
  void FrameDone(WebBrowser* child) {
    auto it = std::find(s_.frames_loading.begin(), s_.frames_loading.end(), child);
    if (it == s_.frames_loading.end()) return;
    s_.frames_loading.erase(it);
    if (s_.frames_loading.empty() && s_.busy && s_.document_shown) Complete(s_.navigation);
  }

  void Complete(std::uint64_t id) {
    if (id != s_.navigation || !s_.busy) return;
    s_.busy = false;
    s_.ready = READYSTATE_COMPLETE;
    b_.NotifyState();
    FireWithUrl(com::DISPID_DOCUMENTCOMPLETE, s_.location);
    if (id != s_.navigation) return;
    if (b_.parent_) NavigationDriver(*b_.parent_).FrameDone(&b_);
  }

  // Ends the running load and the frames' loads without events. `keep_frames` keeps the
  // frame browsers of a shown document (Stop); otherwise they are dropped with it.
  void CancelRunning(bool keep_frames) {
    s_.images.Cancel();
    if (s_.load) {
      auto load = std::move(s_.load);
      load->Cancel();
    }
    s_.frames_loading.clear();
    for (auto& f : b_.frames_) {
      NavigationDriver(*f).CancelRunning(true);
      auto& fs = *f->state_;
      if (fs.busy) {
        fs.busy = false;
        fs.ready = fs.document ? READYSTATE_COMPLETE : READYSTATE_UNINITIALIZED;
        f->NotifyState();
      }
    }
    if (!keep_frames) DropFrames();
  }

  void DropFrames() {
    auto frames = std::move(b_.frames_);
    b_.frames_.clear();
    s_.frames_loading.clear();
    for (auto& f : frames) {
      NavigationDriver(*f).CancelRunning(false);
      f->state_->busy = false;
      f->parent_ = nullptr;
    }
  }

  // Stop: true when something was loading.
  bool Stop() {
    const bool was_busy = s_.busy;
    const bool shown = s_.document_shown;
    const auto id = ++s_.navigation;  // results still on their way are now stale
    CancelRunning(true);
    if (!was_busy) return false;
    s_.busy = false;
    s_.ready = s_.document ? READYSTATE_COMPLETE : READYSTATE_UNINITIALIZED;
    b_.NotifyState();
    Fire(com::DISPID_DOWNLOADCOMPLETE, {});
    // A page already shown is complete with what it has; otherwise the old page stays.
    if (shown && id == s_.navigation) {
      FireWithUrl(com::DISPID_DOCUMENTCOMPLETE, s_.location);
      if (id == s_.navigation && b_.parent_) NavigationDriver(*b_.parent_).FrameDone(&b_);
    } else if (b_.parent_) {
      NavigationDriver(*b_.parent_).FrameDone(&b_);
    }
    return true;
  }

 private:
  WebBrowser& b_;
  WebBrowser::State& s_;
};

WebBrowser::WebBrowser()
    : state_(std::make_unique<State>()),
      id_(NextBrowserId()),
      hwnd_(msgloop::UiLoop().CreateWindowHandle([](auto...) { return msgloop::LRESULT{0}; })) {
  events_ = com::MakeCom<com::ConnectionPoint>(DIID_DWebBrowserEvents2,
                                               static_cast<com::IConnectionPointContainer*>(this));
  state_->services = com::MakeCom<BrowserServices>(this);
  LiveBrowsers()[id_] = this;
}

WebBrowser::~WebBrowser() {
  LiveBrowsers().erase(id_);
  if (msgloop::UiLoop().IsLoopThread() && msgloop::UiLoop().IsWindow(hwnd_)) {
    msgloop::UiLoop().DestroyWindowHandle(hwnd_);
  }
  if (state_->load) state_->load->Cancel();
  state_->services->Detach();
  events_->DisconnectContainer();
  events_->UnadviseAll();
  for (auto& f : frames_) f->parent_ = nullptr;
}

com::ComPtr<WebBrowser> WebBrowser::Create() {
  return com::ComPtr<WebBrowser>(new WebBrowser());
}

WebBrowser* WebBrowser::FromId(int id) {
  auto it = LiveBrowsers().find(id);
  return it == LiveBrowsers().end() ? nullptr : it->second;
}

WebBrowser* WebBrowser::TopLevel() {
  WebBrowser* b = this;
  while (b->parent_) b = b->parent_;
  return b;
}

HRESULT WebBrowser::Navigate(const std::string& url) noexcept {
  try {
    if (url.empty()) return com::E_INVALIDARG;
    const std::string target = NormalizeTypedUrl(url);
    // Script addresses would run a script in the page; pages here run none.
    if (SchemeOf(target) == "javascript") return com::S_OK;
    const auto call = ++state_->navigate_calls;
    com::ComPtr<WebBrowser> keep(this);
    NavigationDriver driver(*this);
    if (driver.BeforeNavigate(target)) return com::S_OK;
    if (call != state_->navigate_calls) return com::S_OK;  // a sink navigated elsewhere
    driver.Begin(target);
    return com::S_OK;
  } catch (...) {
    return com::E_FAIL;
  }
}

std::shared_ptr<dom::Document> WebBrowser::Document() noexcept {
  return state_->document;
}

std::string WebBrowser::LocationURL() noexcept {
  try {
    return state_->location;
  } catch (...) {
    return {};
  }
}

std::string WebBrowser::LocationName() noexcept {
  try {
    if (!state_->document) return {};
    std::string title = state_->document->title();
    return title.empty() ? state_->location : title;
  } catch (...) {
    return {};
  }
}

const std::string& WebBrowser::LoadError() const {
  return state_->load_error;
}
long WebBrowser::HttpStatus() const {
  return state_->http_status;
}
size_t WebBrowser::ImagesPending() const {
  return state_->images.Pending();
}

bool WebBrowser::Busy() noexcept {
  return state_->busy;
}
READYSTATE WebBrowser::ReadyState() noexcept {
  return state_->ready;
}

HRESULT WebBrowser::Stop() noexcept {
  try {
    com::ComPtr<WebBrowser> keep(this);
    NavigationDriver(*this).Stop();
    return com::S_OK;
  } catch (...) {
    return com::E_FAIL;
  }
}

HRESULT WebBrowser::Refresh() noexcept {
  try {
    if (state_->location.empty()) return com::S_OK;
    com::ComPtr<WebBrowser> keep(this);
    NavigationDriver(*this).Begin(state_->location);
    return com::S_OK;
  } catch (...) {
    return com::E_FAIL;
  }
}

com::HWND WebBrowser::HWND() noexcept {
  return hwnd_;
}

HRESULT WebBrowser::ExecWB(DWORD command, DWORD options, const com::VARIANT*,
                           com::VARIANT*) noexcept {
  if (command != OLECMDID_COPY && command != OLECMDID_SELECTALL && command != OLECMDID_PRINT) {
    return OLECMDERR_E_NOTSUPPORTED;
  }
  try {
    // Selecting everything is the document's business; the display draws it.
    if (command == OLECMDID_SELECTALL && state_->document && state_->document->body()) {
      state_->document->CreateBodyRange()->select();
    }
    commands_.push_back({command, options});
    ForEachObserver([&](BrowserObserver* o) { o->OnCommand(*this, command, options); });
    return com::S_OK;
  } catch (...) {
    return com::E_FAIL;
  }
}

HRESULT WebBrowser::ShowBrowserBar(const std::string& clsid, bool show,
                                   const com::VARIANT*) noexcept {
  try {
    auto guid = com::ParseGuid(clsid);
    if (!guid) return com::E_INVALIDARG;
    const std::string key = com::ToString(*guid);
    auto it = std::find_if(bars_.begin(), bars_.end(), [&](auto& b) { return b.first == key; });
    if (it == bars_.end()) {
      bars_.emplace_back(key, show);
    } else {
      it->second = show;
    }
    ForEachObserver([&](BrowserObserver* o) { o->OnBrowserBar(*this, key, show); });
    return com::S_OK;
  } catch (...) {
    return com::E_FAIL;
  }
}

bool WebBrowser::BrowserBarShown(const std::string& clsid) const {
  auto guid = com::ParseGuid(clsid);
  if (!guid) return false;
  const std::string key = com::ToString(*guid);
  for (auto& [k, shown] : bars_) {
    if (k == key) return shown;
  }
  return false;
}

HRESULT WebBrowser::Quit() noexcept {
  try {
    com::ComPtr<WebBrowser> keep(this);
    NavigationDriver driver(*this);
    driver.Fire(com::DISPID_ONQUIT, {});
    driver.CancelRunning(true);
    state_->images.Cancel();
    state_->busy = false;
    ForEachObserver([&](BrowserObserver* o) { o->OnQuit(*this); });
    if (top_level_window_) {
      top_level_window_ = false;
      detail::RemoveFromWindowList(this);
    }
    return com::S_OK;
  } catch (...) {
    return com::E_FAIL;
  }
}

void WebBrowser::SetAddressBar(bool shown) noexcept {
  address_bar_ = shown;
  NotifyWindow();
}
void WebBrowser::SetMenuBar(bool shown) noexcept {
  menu_bar_ = shown;
  NotifyWindow();
}
void WebBrowser::SetStatusBar(bool shown) noexcept {
  status_bar_ = shown;
  NotifyWindow();
}
void WebBrowser::SetWidth(long width) noexcept {
  width_ = top_level_window_ ? detail::ClampToScreenWidth(width) : std::max(0L, width);
  NotifyWindow();
}
void WebBrowser::SetHeight(long height) noexcept {
  height_ = top_level_window_ ? detail::ClampToScreenHeight(height) : std::max(0L, height);
  NotifyWindow();
}
void WebBrowser::SetLeft(long left) noexcept {
  left_ = left;
  NotifyWindow();
}
void WebBrowser::SetTop(long top) noexcept {
  top_ = top;
  NotifyWindow();
}
void WebBrowser::SetVisible(bool visible) noexcept {
  visible_ = visible;
  NotifyWindow();
}
void WebBrowser::SetStatusText(const std::string& text) noexcept {
  try {
    status_text_ = text;
    NotifyWindow();
  } catch (...) {
  }
}

HRESULT WebBrowser::GetTypeInfoCount(com::UINT* count) {
  if (!count) return com::E_POINTER;
  *count = 0;
  return com::S_OK;
}
HRESULT WebBrowser::GetTypeInfo(com::UINT, com::LCID, com::ITypeInfo** out) {
  if (out) *out = nullptr;
  return com::E_NOTIMPL;
}
HRESULT WebBrowser::GetIDsOfNames(const GUID&, const char* const*, com::UINT, com::LCID,
                                  com::DISPID*) {
  return com::E_NOTIMPL;
}
HRESULT WebBrowser::Invoke(com::DISPID member, const GUID&, com::LCID, com::WORD flags,
                           com::DISPPARAMS*, com::VARIANT* result, com::EXCEPINFO*, com::UINT*) {
  if (!(flags & com::DISPATCH_PROPERTYGET)) return com::DISP_E_MEMBERNOTFOUND;
  com::VARIANT value;
  switch (member) {
    case DISPID_BROWSER_LOCATIONNAME:
      value = com::VARIANT(LocationName());
      break;
    case DISPID_BROWSER_LOCATIONURL:
      value = com::VARIANT(LocationURL());
      break;
    case DISPID_BROWSER_BUSY:
      value = com::VARIANT(Busy());
      break;
    case com::DISPID_READYSTATE:
      value = com::VARIANT(static_cast<std::int32_t>(ReadyState()));
      break;
    default:
      return com::DISP_E_MEMBERNOTFOUND;
  }
  if (result) *result = std::move(value);
  return com::S_OK;
}

HRESULT WebBrowser::FindConnectionPoint(const GUID& iid, com::IConnectionPoint** out) {
  return com::FindConnectionPointIn({events_.get()}, iid, out);
}

HRESULT WebBrowser::QueryService(const GUID& service, const GUID& iid, void** out) {
  if (!out) return com::E_POINTER;
  *out = nullptr;
  if (service == com::SID_SWebBrowserApp || service == IWebBrowser2::kIid ||
      service == IID_IWebBrowser) {
    return QueryInterface(iid, out);
  }
  return com::E_NOINTERFACE;
}

void* WebBrowser::QueryOtherInterface(const GUID& iid) {
  if (iid == IID_IWebBrowserApp || iid == IID_IWebBrowser) return static_cast<IWebBrowser2*>(this);
  return nullptr;
}

void WebBrowser::AddObserver(BrowserObserver* observer) {
  if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}
void WebBrowser::RemoveObserver(BrowserObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

template <class F>
void WebBrowser::ForEachObserver(F&& f) {
  auto copy = observers_;
  for (auto* o : copy) {
    if (std::find(observers_.begin(), observers_.end(), o) == observers_.end()) continue;
    try {
      f(o);
    } catch (...) {
      // An observer's failure is its own; the browser and the other observers go on.
    }
  }
}

void WebBrowser::NotifyDocument() {
  // A frame's new document changes what its ancestors show as well.
  std::vector<com::ComPtr<WebBrowser>> chain;
  for (WebBrowser* p = this; p; p = p->parent_) chain.emplace_back(p);
  for (auto& p : chain) {
    p->ForEachObserver([&](BrowserObserver* o) { o->OnDocumentChanged(*this); });
  }
}
void WebBrowser::NotifyState() {
  ForEachObserver([&](BrowserObserver* o) { o->OnStateChanged(*this); });
}
void WebBrowser::NotifyWindow() noexcept {
  try {
    ForEachObserver([&](BrowserObserver* o) { o->OnWindowChanged(*this); });
  } catch (...) {
  }
}

}  // namespace vt::browser
