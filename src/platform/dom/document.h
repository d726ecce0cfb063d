#pragma once
// An HTML document, its window and its event dispatch.
//
// Create documents with Document::Create; the document owns its tree, its window and its
// selection. Loading replaces the whole tree: elements of the old tree stay valid as detached
// nodes. Everything runs on the UI thread, except ParsedPage::Parse, which builds a tree that no
// document holds yet and may run on any thread.
//
// Event sinks, embedded objects and the window's service provider are COM objects: the document
// keeps one reference to each while it holds it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/com/ole.h"
#include "platform/com/unknown.h"
#include "platform/dom/collection.h"
#include "platform/dom/node.h"
#include "platform/dom/selection.h"
#include "platform/dom/style.h"

namespace vt::dom {

class Window;
struct SheetCascade;

// What the system changed in a document (for the display's mirror of it).
struct Change {
  enum class Kind : std::uint8_t {
    kAttribute,  // an attribute of `element` (`name`); "style" for style changes
    kChildren,   // the children of `element` were replaced or edited (inner/outer HTML, text)
    kReplaced,   // the whole document was loaded anew (element is null)
    kTitle,      // the title changed
  };
  Kind kind;
  Element* element = nullptr;
  std::string name;
};

// The event object of the event being dispatched.
struct EventObject {
  std::string type;  // "click", "mousemove"
  ElementPtr srcElement;
  int clientX = 0, clientY = 0;
  int screenX = 0, screenY = 0;
  int button = 0;
  bool ctrlKey = false, shiftKey = false, altKey = false;
  // A sink sets this to false to cancel the browser's default action (following a link).
  bool returnValue = true;
};

struct SerializeOptions {
  // Adds data-vt-si="<sourceIndex>" to every element, so that a copy parsed elsewhere can name
  // elements by their index here.
  bool annotate_source_index = false;
};

// A page's tree built from its bytes before any document holds it. Parse touches nothing shared,
// so it may run on a worker thread; the page is then handed whole to the UI thread, where
// Document::Load adopts it. Move-only.
class ParsedPage {
 public:
  // Decodes `bytes` as Document::Load does and builds their tree. Throws DomError when the
  // mark-up cannot be parsed.
  static ParsedPage Parse(std::string_view bytes, std::string_view content_type = {});
  ParsedPage(ParsedPage&&) noexcept = default;
  ParsedPage& operator=(ParsedPage&&) noexcept = default;
  ~ParsedPage();
  // Name of the charset the bytes were decoded from.
  const std::string& charset() const { return charset_; }

 private:
  friend class Document;
  ParsedPage() = default;
  NodePtr root_;
  std::string charset_;
};

class Document : public std::enable_shared_from_this<Document> {
 public:
  // An empty document ("about:blank": HTML, HEAD and BODY, no content).
  static std::shared_ptr<Document> Create(std::string url = "about:blank");
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Loads a page from its bytes: decoded from `content_type`'s charset, a byte-order mark, a
  // META declaration or, failing those, UTF-8 when the bytes are valid UTF-8, else windows-1252.
  // Replaces the tree; `url` becomes the document's URL.
  void Load(std::string_view bytes, std::string url, std::string_view content_type = {});
  // The same with a page parsed beforehand (on any thread); `page` is emptied.
  void Load(ParsedPage&& page, std::string url);
  // Replaces the tree with `html`, which is UTF-8 text (as the system's own text always is; a
  // byte-order mark is honoured, a META charset is not). The URL is kept. Clears the dirty flag.
  void LoadSource(std::string_view html);
  // The document's source as text: the tree serialised (doctype included). Clears the dirty flag
  // when `clear_dirty` is set.
  std::string Save(bool clear_dirty = true);
  // True after a change made through this interface since the last Load or Save.
  bool IsDirty() const { return dirty_; }
  // The tree serialised for display.
  std::string Serialize(const SerializeOptions& options = {}) const;
  // Name of the charset the last Load decoded ("utf-8", "windows-1252", ...).
  const std::string& charset() const { return charset_; }

  const std::string& URL() const { return url_; }
  void SetURL(std::string url);
  // The base of relative addresses: the first BASE element's href, else the URL.
  std::string BaseURL() const;
  // An address of the document resolved against its base ("" stays "").
  std::string ResolveURL(std::string_view reference) const;

  // The document node (parent of the doctype, comments and the HTML element).
  const NodePtr& root() const { return root_; }
  ElementPtr documentElement() const;
  ElementPtr head() const;
  // The BODY (or FRAMESET) element; null when there is none.
  ElementPtr body() const;
  // The first element with this id, or null.
  ElementPtr getElementById(std::string_view id) const;
  // The element at `source_index`, or null.
  ElementPtr ElementAt(int source_index) const;
  // Number of elements in the document.
  int ElementCount() const;

  std::string title() const;
  void setTitle(std::string_view title);

  ElementCollection all() const;
  ElementCollection images() const;
  ElementCollection links() const;
  ElementCollection forms() const;
  ElementCollection tags(std::string_view name) const;

  Selection& selection() { return *selection_; }
  // A text range over the whole body.
  std::shared_ptr<TextRange> CreateBodyRange();
  // "Copy" is enabled when something is selected; other commands are not known: false.
  bool queryCommandEnabled(std::string_view command);

  const std::shared_ptr<Window>& parentWindow() const { return window_; }
  // The frames of the document's window (set by the browser that loads them).
  const std::vector<std::shared_ptr<Window>>& frames() const;

  // Event sinks by event name ("onclick", "onmousemove"; any case). attachEvent adds the sink
  // once (a second attach of the same sink is ignored) and answers true; detachEvent removes it.
  bool attachEvent(std::string_view event, com::IDispatch* sink);
  void detachEvent(std::string_view event, com::IDispatch* sink);
  int SinkCount(std::string_view event) const;
  // Fires `event` ("click", "mousemove") on `target`: window.event holds the event object for the
  // duration, each sink of "on" + type is invoked (DISPID 0, DISPATCH_METHOD, no arguments), and
  // window.event is emptied again, even when a sink fails. Answers the number of sinks invoked;
  // `return_value`, when given, receives the event's returnValue after the sinks ran.
  int FireEvent(const ElementPtr& target, EventObject event, bool* return_value = nullptr);
  int FireEvent(const ElementPtr& target, std::string_view type, bool* return_value = nullptr);

  // Embedded objects (the browsers of the document's frames), in frame order; set by the browser.
  void SetContainerObjects(std::vector<com::ComPtr<com::IUnknown>> objects);
  const std::vector<com::ComPtr<com::IUnknown>>& ContainerObjects() const { return container_; }
  // The host's UI handler (set through the host's document interface); kept, not called.
  void SetUIHandler(com::ComPtr<com::IUnknown> handler) { ui_handler_ = std::move(handler); }
  const com::ComPtr<com::IUnknown>& UIHandler() const { return ui_handler_; }

  // Observers of changes made through this interface (not of loads by the parser itself, except
  // as one kReplaced). Answers an id for RemoveObserver.
  using Observer = std::function<void(const Change&)>;
  int AddObserver(Observer observer);
  void RemoveObserver(int id);

  // Internal bookkeeping used by nodes; versions grow with every change.
  std::uint64_t structure_version() const { return structure_version_; }
  // Grows with every change of the tree or of an attribute other than "style" (the cascade and the
  // base address follow it).
  std::uint64_t collection_version() const { return collection_version_; }
  // Grows only when the tree changes or an attribute other than "style" comes or goes: what a
  // collection holds depends on nothing else, so rewriting links' addresses or marking elements
  // keeps the collections.
  std::uint64_t membership_version() const { return membership_version_; }
  void NoteStructureChange(Element* where);
  void NoteAttributeChange(Element* where, std::string_view name, bool added_or_removed);
  // Numbers every element (sourceIndex) when the tree changed since the last numbering.
  void EnsureNumbered() const;
  const std::vector<ElementPtr>& AllElements() const;
  // The display rules of the document's STYLE elements, rebuilt after a change.
  const SheetCascade& Cascade() const;

 private:
  explicit Document(std::string url);
  void ReplaceTree(NodePtr root);
  void Notify(const Change& change);

  std::string url_;
  std::string charset_ = "utf-8";
  NodePtr root_;
  std::shared_ptr<Window> window_;
  std::unique_ptr<Selection> selection_;
  bool dirty_ = false;
  std::uint64_t structure_version_ = 1;
  std::uint64_t collection_version_ = 1;
  std::uint64_t membership_version_ = 1;
  mutable std::uint64_t numbered_version_ = 0;
  mutable std::vector<ElementPtr> all_;
  std::uint64_t base_source_version_ = 1;  // grows with the tree and with any BASE's attributes
  mutable std::uint64_t base_version_ = 0;
  mutable std::string base_;
  mutable std::shared_ptr<SheetCascade> cascade_;
  mutable std::uint64_t cascade_version_ = 0;

  struct Sink {
    std::string event;  // lower case
    com::ComPtr<com::IDispatch> sink;
  };
  std::vector<Sink> sinks_;
  std::vector<com::ComPtr<com::IUnknown>> container_;
  com::ComPtr<com::IUnknown> ui_handler_;
  std::vector<std::pair<int, Observer>> observers_;
  int next_observer_ = 1;
};

// The window of a document (a top-level window or a frame).
class Window {
 public:
  explicit Window(Document* document) : document_(document) {}
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The frame's name (the FRAME or IFRAME name attribute; "" for a top-level window).
  const std::string& name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // The event being dispatched in this window, or null.
  const std::shared_ptr<EventObject>& event() const { return event_; }

  // The window's document, or null once that document is gone.
  std::shared_ptr<Document> document() const;

  // Child windows of FRAME and IFRAME elements, in document order; set by the browser.
  const std::vector<std::shared_ptr<Window>>& frames() const { return frames_; }
  void SetFrames(std::vector<std::shared_ptr<Window>> frames) { frames_ = std::move(frames); }
  long framesLength() const { return static_cast<long>(frames_.size()); }
  // Frame `index`, or null past the end.
  std::shared_ptr<Window> frame(long index) const;

  // The service provider that answers the window's QueryService (set by the hosting browser).
  void SetServiceProvider(com::IServiceProvider* provider);
  const com::ComPtr<com::IServiceProvider>& serviceProvider() const { return services_; }
  // Forwards to the service provider; E_NOINTERFACE without one.
  com::HRESULT QueryService(const com::GUID& service, const com::GUID& iid, void** out) const;

 private:
  friend class Document;
  Document* document_;  // the document that owns this window (cleared when it goes)
  std::string name_;
  std::shared_ptr<EventObject> event_;
  std::vector<std::shared_ptr<Window>> frames_;
  com::ComPtr<com::IServiceProvider> services_;
};

}  // namespace vt::dom
