#include "platform/dom/document.h"

#include "platform/dom/charset.h"
#include "platform/dom/internal.h"
#include "platform/dom/url.h"

namespace vt::dom {

namespace {

const Element* FirstChildElement(const Node* parent, std::string_view name) {
  if (!parent) return nullptr;
  for (const auto& c : parent->children()) {
    const Element* e = AsElement(c.get());
    if (e && e->Is(name)) return e;
  }
  return nullptr;
}

ElementPtr Share(const Element* e) {
  if (!e) return nullptr;
  return std::static_pointer_cast<Element>(const_cast<Element*>(e)->shared_from_this());
}

// Strips a UTF-8 byte-order mark; decodes UTF-16 text that starts with its byte-order mark.
std::string SourceText(std::string_view bytes) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    return DecodePage(bytes).text;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return DecodeToUtf8(bytes, "utf-8");
}

}  // namespace

std::shared_ptr<Document> Document::Create(std::string url) {
  std::shared_ptr<Document> doc(new Document(std::move(url)));
  doc->window_ = std::make_shared<Window>(doc.get());
  return doc;
}

Document::Document(std::string url)
    : url_(std::move(url)), selection_(std::make_unique<Selection>(this)) {
  ReplaceTree(TreeBuilder::ParseDocument(""));
}

Document::~Document() {
  if (auto* root = static_cast<DocumentNode*>(root_.get())) root->owner = nullptr;
  if (window_) window_->document_ = nullptr;
}

void Document::ReplaceTree(NodePtr root) {
  if (root_) static_cast<DocumentNode*>(root_.get())->owner = nullptr;
  root_ = std::move(root);
  static_cast<DocumentNode*>(root_.get())->owner = this;
  ++structure_version_;
  ++collection_version_;
  ++membership_version_;
  ++base_source_version_;
  all_.clear();
  numbered_version_ = 0;
  if (selection_) selection_->empty();
}

ParsedPage ParsedPage::Parse(std::string_view bytes, std::string_view content_type) {
  DecodedText decoded = DecodePage(bytes, content_type);
  ParsedPage page;
  page.root_ = TreeBuilder::ParseDocument(decoded.text);
  page.charset_ = std::move(decoded.charset);
  return page;
}

ParsedPage::~ParsedPage() = default;

void Document::Load(std::string_view bytes, std::string url, std::string_view content_type) {
  Load(ParsedPage::Parse(bytes, content_type), std::move(url));
}

void Document::Load(ParsedPage&& page, std::string url) {
  if (!page.root_) throw DomError("The page was already handed to a document.");
  url_ = std::move(url);
  charset_ = std::move(page.charset_);
  ReplaceTree(std::move(page.root_));
  page.root_ = nullptr;
  dirty_ = false;
  Notify({Change::Kind::kReplaced, nullptr, {}});
}

void Document::LoadSource(std::string_view html) {
  ReplaceTree(TreeBuilder::ParseDocument(SourceText(html)));
  charset_ = "utf-8";
  dirty_ = false;
  Notify({Change::Kind::kReplaced, nullptr, {}});
}

std::string Document::Save(bool clear_dirty) {
  std::string out = Serialize();
  if (clear_dirty) dirty_ = false;
  return out;
}

std::string Document::Serialize(const SerializeOptions& options) const {
  std::string out;
  out.reserve(4096);
  SerializeChildren(*root_, out, SerializeFlags{options.annotate_source_index});
  return out;
}

void Document::SetURL(std::string url) {
  url_ = std::move(url);
  base_version_ = 0;
}

std::string Document::BaseURL() const {
  if (base_version_ == base_source_version_ && !base_.empty()) return base_;
  std::string base = url_;
  for (const auto& e : AllElements()) {
    if (e->Is("base") && e->hasAttribute("href")) {
      base = ResolveUrl(url_, e->getAttribute("href"));
      break;
    }
  }
  base_ = base;
  base_version_ = base_source_version_;
  return base;
}

std::string Document::ResolveURL(std::string_view reference) const {
  return ResolveUrl(BaseURL(), reference);
}

ElementPtr Document::documentElement() const {
  return Share(FirstChildElement(root_.get(), "html"));
}

ElementPtr Document::head() const {
  return Share(FirstChildElement(FirstChildElement(root_.get(), "html"), "head"));
}

ElementPtr Document::body() const {
  const Element* html = FirstChildElement(root_.get(), "html");
  if (!html) return nullptr;
  for (const auto& c : html->children()) {
    const Element* e = AsElement(c.get());
    if (e && (e->Is("body") || e->Is("frameset"))) return Share(e);
  }
  return nullptr;
}

ElementPtr Document::getElementById(std::string_view id) const {
  for (const auto& e : AllElements()) {
    if (e->getAttribute("id") == id) return e;
  }
  return nullptr;
}

ElementPtr Document::ElementAt(int source_index) const {
  const auto& all = AllElements();
  if (source_index < 0 || static_cast<std::size_t>(source_index) >= all.size()) return nullptr;
  return all[static_cast<std::size_t>(source_index)];
}

int Document::ElementCount() const {
  return static_cast<int>(AllElements().size());
}

std::string Document::title() const {
  for (const auto& e : AllElements()) {
    if (!e->Is("title")) continue;
    // Leading and trailing white space stripped, inner runs collapsed to one space.
    std::string out;
    bool space = false;
    for (char c : e->TextContent()) {
      if (IsHtmlSpace(c)) {
        space = !out.empty();
      } else {
        if (space) out += ' ';
        space = false;
        out += c;
      }
    }
    return out;
  }
  return {};
}

void Document::setTitle(std::string_view title) {
  ElementPtr element;
  for (const auto& e : AllElements()) {
    if (e->Is("title")) {
      element = e;
      break;
    }
  }
  if (!element) {
    ElementPtr where = head();
    if (!where) return;
    element = Element::Create("title");
    where->AppendChild(element);
  }
  element->RemoveAllChildren();
  if (!title.empty()) element->AppendChild(Node::MakeText(std::string(title)));
  Notify({Change::Kind::kTitle, element.get(), {}});
}

ElementCollection Document::all() const {
  return ElementCollection(weak_from_this(), ElementCollection::Kind::kAll);
}
ElementCollection Document::images() const {
  return ElementCollection(weak_from_this(), ElementCollection::Kind::kImages);
}
ElementCollection Document::links() const {
  return ElementCollection(weak_from_this(), ElementCollection::Kind::kLinks);
}
ElementCollection Document::forms() const {
  return ElementCollection(weak_from_this(), ElementCollection::Kind::kForms);
}
ElementCollection Document::tags(std::string_view name) const {
  return ElementCollection(weak_from_this(), ElementCollection::Kind::kTag, std::string(name));
}

std::shared_ptr<TextRange> Document::CreateBodyRange() {
  ElementPtr b = body();
  if (!b) return std::make_shared<TextRange>(Boundary{root_, 0}, Boundary{root_, 0});
  auto range = std::make_shared<TextRange>(Boundary{b, 0}, Boundary{b, 0});
  range->moveToElementText(b);
  return range;
}

bool Document::queryCommandEnabled(std::string_view command) {
  if (EqualsIgnoreCase(command, "copy")) return selection_->type() != "None";
  return false;
}

const std::vector<std::shared_ptr<Window>>& Document::frames() const {
  return window_->frames();
}

bool Document::attachEvent(std::string_view event, com::IDispatch* sink) {
  if (!sink) return false;
  std::string name = ToLowerAscii(event);
  for (const auto& s : sinks_) {
    if (s.event == name && s.sink.get() == sink) return true;
  }
  sinks_.push_back({std::move(name), com::ComPtr<com::IDispatch>(sink)});
  return true;
}

void Document::detachEvent(std::string_view event, com::IDispatch* sink) {
  const std::string name = ToLowerAscii(event);
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->event == name && it->sink.get() == sink) {
      sinks_.erase(it);
      return;
    }
  }
}

int Document::SinkCount(std::string_view event) const {
  const std::string name = ToLowerAscii(event);
  int count = 0;
  for (const auto& s : sinks_) count += s.event == name ? 1 : 0;
  return count;
}

int Document::FireEvent(const ElementPtr& target, EventObject event, bool* return_value) {
  const std::string name = "on" + ToLowerAscii(event.type);
  // The sinks are taken first: a sink may attach or detach sinks while it runs.
  std::vector<com::ComPtr<com::IDispatch>> targets;
  for (const auto& s : sinks_) {
    if (s.event == name) targets.push_back(s.sink);
  }
  auto object = std::make_shared<EventObject>(std::move(event));
  object->srcElement = target;
  std::shared_ptr<Window> window = window_;  // the document may be replaced by a sink
  struct Restore {
    std::shared_ptr<Window> window;
    std::shared_ptr<EventObject> previous;
    ~Restore() { window->event_ = std::move(previous); }
  } restore{window, window->event_};
  window->event_ = object;
  for (const auto& sink : targets) {
    com::DISPPARAMS params;
    sink->Invoke(com::DISPID_VALUE, com::IID_NULL, com::LOCALE_USER_DEFAULT, com::DISPATCH_METHOD,
                 &params, nullptr, nullptr, nullptr);
  }
  if (return_value) *return_value = object->returnValue;
  return static_cast<int>(targets.size());
}

int Document::FireEvent(const ElementPtr& target, std::string_view type, bool* return_value) {
  EventObject event;
  event.type = std::string(type);
  return FireEvent(target, std::move(event), return_value);
}

void Document::SetContainerObjects(std::vector<com::ComPtr<com::IUnknown>> objects) {
  container_ = std::move(objects);
}

int Document::AddObserver(Observer observer) {
  observers_.emplace_back(next_observer_, std::move(observer));
  return next_observer_++;
}

void Document::RemoveObserver(int id) {
  for (auto it = observers_.begin(); it != observers_.end(); ++it) {
    if (it->first == id) {
      observers_.erase(it);
      return;
    }
  }
}

void Document::Notify(const Change& change) {
  if (observers_.empty()) return;
  auto copy = observers_;  // an observer may remove itself
  for (const auto& [id, observer] : copy) observer(change);
}

void Document::NoteStructureChange(Element* where) {
  ++structure_version_;
  ++collection_version_;
  ++membership_version_;
  ++base_source_version_;
  dirty_ = true;
  Notify({Change::Kind::kChildren, where, {}});
}

void Document::NoteAttributeChange(Element* where, std::string_view name, bool added_or_removed) {
  if (name != "style") ++collection_version_;
  // No collection is chosen by its members' style, and marking an element sets one.
  if (added_or_removed && name != "style") ++membership_version_;
  if (where && where->Is("base")) ++base_source_version_;
  dirty_ = true;
  Notify({Change::Kind::kAttribute, where, std::string(name)});
}

void Document::EnsureNumbered() const {
  if (numbered_version_ == structure_version_) return;
  all_.clear();
  const std::uint64_t version = structure_version_;
  int index = 0;
  WalkTree(
      *root_,
      [&](const Node& n) {
        if (n.IsElement()) {
          const auto& e = static_cast<const Element&>(n);
          e.source_index_ = index++;
          e.numbered_at_ = version;
          all_.push_back(Share(&e));
          return true;
        }
        return n.type() == NodeType::kDocument;
      },
      [](const Node&) {});
  numbered_version_ = version;
}

const SheetCascade& Document::Cascade() const {
  if (!cascade_ || cascade_version_ != collection_version_) {
    cascade_ = BuildCascade(*this);
    cascade_version_ = collection_version_;
  }
  return *cascade_;
}

const std::vector<ElementPtr>& Document::AllElements() const {
  EnsureNumbered();
  return all_;
}

std::shared_ptr<Document> Node::ownerDocument() const {
  Document* doc = document();
  return doc ? doc->shared_from_this() : nullptr;
}

// ---------------------------------------------------------------------------------------------

Window::~Window() = default;

std::shared_ptr<Document> Window::document() const {
  if (!document_) return nullptr;
  return document_->shared_from_this();
}

std::shared_ptr<Window> Window::frame(long index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= frames_.size()) return nullptr;
  return frames_[static_cast<std::size_t>(index)];
}

void Window::SetServiceProvider(com::IServiceProvider* provider) {
  services_ = provider;
}

com::HRESULT Window::QueryService(const com::GUID& service, const com::GUID& iid,
                                  void** out) const {
  if (!out) return com::E_POINTER;
  *out = nullptr;
  if (!services_) return com::E_NOINTERFACE;
  return services_->QueryService(service, iid, out);
}

}  // namespace vt::dom
