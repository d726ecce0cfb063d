#include "platform/dom/node.h"

#include <algorithm>

#include "platform/dom/collection.h"
#include "platform/dom/document.h"
#include "platform/dom/internal.h"
#include "platform/dom/style.h"

namespace vt::dom {

namespace {

class PlainNode final : public Node {
 public:
  explicit PlainNode(NodeType type) : Node(type) {}
};

}  // namespace

Node::~Node() {
  // Children are released without recursion so that a very deep tree cannot exhaust the stack:
  // the subtrees this node alone keeps alive are flattened into a work list first.
  std::vector<NodePtr> pending = std::move(children_);
  for (auto& child : pending) child->parent_ = nullptr;
  while (!pending.empty()) {
    NodePtr node = std::move(pending.back());
    pending.pop_back();
    if (node.use_count() == 1) {
      for (auto& grandchild : node->children_) {
        grandchild->parent_ = nullptr;
        pending.push_back(std::move(grandchild));
      }
      node->children_.clear();
    }
  }
}

ElementPtr Node::parentElement() const {
  Element* parent = AsElement(parent_);
  if (!parent) return nullptr;
  return std::static_pointer_cast<Element>(parent->shared_from_this());
}

void Node::SetData(std::string text) {
  if (type_ != NodeType::kText && type_ != NodeType::kComment) return;
  data_ = std::move(text);
  NoteStructureChange();
}

Document* Node::document() const {
  const Node* top = this;
  while (top->parent_) top = top->parent_;
  if (top->type_ != NodeType::kDocument) return nullptr;
  return static_cast<const DocumentNode*>(top)->owner;
}

void Node::NoteStructureChange() const {
  if (Document* doc = document()) {
    Node* here = const_cast<Node*>(this);
    while (here && !here->IsElement()) here = here->parent_;
    doc->NoteStructureChange(static_cast<Element*>(here));
  }
}

void Node::AdoptChild(Node* child) {
  if (child->parent_) child->parent_->DetachChild(child);
  child->parent_ = this;
}

void Node::DetachChild(Node* child) {
  auto it = std::find_if(children_.begin(), children_.end(),
                         [child](const NodePtr& p) { return p.get() == child; });
  if (it == children_.end()) return;
  NodePtr keep = *it;  // the caller still holds it; keep it alive past the erase
  children_.erase(it);
  child->parent_ = nullptr;
}

void Node::AppendChild(NodePtr child) {
  InsertBefore(std::move(child), nullptr);
}

void Node::InsertBefore(NodePtr child, const Node* before) {
  if (!child || child.get() == this) throw DomError("A node cannot be inserted into itself.");
  if (child->type_ == NodeType::kDocument) throw DomError("A document cannot be inserted.");
  for (const Node* up = this; up; up = up->parent_) {
    if (up == child.get()) throw DomError("A node cannot be inserted into its own descendant.");
  }
  if (type_ == NodeType::kText || type_ == NodeType::kComment || type_ == NodeType::kDoctype) {
    throw DomError("This node cannot hold children.");
  }
  AdoptChild(child.get());
  auto pos = children_.end();
  if (before) {
    pos = std::find_if(children_.begin(), children_.end(),
                       [before](const NodePtr& p) { return p.get() == before; });
  }
  children_.insert(pos, std::move(child));
  NoteStructureChange();
}

NodePtr Node::RemoveChild(const Node* child) {
  auto it = std::find_if(children_.begin(), children_.end(),
                         [child](const NodePtr& p) { return p.get() == child; });
  if (it == children_.end()) return nullptr;
  NodePtr removed = std::move(*it);
  children_.erase(it);
  removed->parent_ = nullptr;
  NoteStructureChange();
  return removed;
}

void Node::RemoveAllChildren() {
  if (children_.empty()) return;
  std::vector<NodePtr> old = std::move(children_);
  children_.clear();
  for (auto& child : old) child->parent_ = nullptr;
  NoteStructureChange();
}

std::string Node::TextContent() const {
  std::string out;
  WalkTree(
      *this,
      [&](const Node& n) {
        if (n.type() == NodeType::kText) out += n.data();
        return n.type() == NodeType::kElement || n.type() == NodeType::kDocument;
      },
      [](const Node&) {});
  return out;
}

NodePtr Node::MakeText(std::string text) {
  auto node = std::make_shared<PlainNode>(NodeType::kText);
  node->data_ = std::move(text);
  return node;
}

NodePtr Node::MakeComment(std::string text) {
  auto node = std::make_shared<PlainNode>(NodeType::kComment);
  node->data_ = std::move(text);
  return node;
}

NodePtr TreeBuilder::MakeDoctype(std::string name) {
  auto node = std::make_shared<PlainNode>(NodeType::kDoctype);
  node->data_ = std::move(name);
  return node;
}

ElementPtr AsElement(const NodePtr& node) {
  if (!node || !node->IsElement()) return nullptr;
  return std::static_pointer_cast<Element>(node);
}

// ---------------------------------------------------------------------------------------------

Element::Element(Key, std::string name, Namespace ns)
    : Node(NodeType::kElement), name_(std::move(name)), ns_(ns) {}

Element::~Element() = default;

ElementPtr Element::Create(std::string_view name, Namespace ns) {
  std::string local = ns == Namespace::kHtml ? ToLowerAscii(name) : std::string(name);
  return std::make_shared<Element>(Key{}, std::move(local), ns);
}

std::string Element::tagName() const {
  return ns_ == Namespace::kHtml ? ToUpperAscii(name_) : name_;
}

std::string Element::getAttribute(std::string_view name) const {
  for (const auto& a : attrs_) {
    if (EqualsIgnoreCase(a.name, name)) return a.value;
  }
  return {};
}

bool Element::hasAttribute(std::string_view name) const {
  return std::any_of(attrs_.begin(), attrs_.end(),
                     [&](const Attribute& a) { return EqualsIgnoreCase(a.name, name); });
}

void Element::setAttribute(std::string_view name, std::string_view value) {
  for (auto& a : attrs_) {
    if (EqualsIgnoreCase(a.name, name)) {
      if (a.value == value) return;
      a.value = std::string(value);
      NoteAttributeChange(a.name, false);
      return;
    }
  }
  attrs_.push_back(
      {ns_ == Namespace::kHtml ? ToLowerAscii(name) : std::string(name), std::string(value)});
  NoteAttributeChange(attrs_.back().name, true);
}

void Element::removeAttribute(std::string_view name) {
  auto it = std::find_if(attrs_.begin(), attrs_.end(),
                         [&](const Attribute& a) { return EqualsIgnoreCase(a.name, name); });
  if (it == attrs_.end()) return;
  std::string removed = std::move(it->name);
  attrs_.erase(it);
  NoteAttributeChange(removed, true);
}

void Element::NoteAttributeChange(std::string_view name, bool added_or_removed) const {
  if (Document* doc = document())
    doc->NoteAttributeChange(const_cast<Element*>(this), name, added_or_removed);
}

int Element::sourceIndex() const {
  Document* doc = document();
  if (!doc) return -1;
  if (numbered_at_ != doc->structure_version()) doc->EnsureNumbered();
  return source_index_;
}

Style Element::style() {
  return Style(std::static_pointer_cast<Element>(shared_from_this()));
}

std::string Element::innerText() const {
  return RenderedText(*this);
}

std::string Element::InnerTextPrefix(std::size_t max_chars) const {
  return RenderedText(*this, max_chars);
}

void Element::setInnerText(std::string_view text) {
  std::vector<NodePtr> old = std::move(children_);
  children_.clear();
  for (auto& c : old) c->parent_ = nullptr;
  std::string run;
  auto flush = [&] {
    if (run.empty()) return;
    NodePtr t = MakeText(std::move(run));
    run.clear();
    t->parent_ = this;
    children_.push_back(std::move(t));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      flush();
      NodePtr br = Create("br");
      br->parent_ = this;
      children_.push_back(std::move(br));
    } else {
      run += c;
    }
  }
  flush();
  NoteStructureChange();
}

std::string Element::innerHTML() const {
  std::string out;
  if (template_content_) {
    for (const auto& c : *template_content_) SerializeNode(*c, out);
  } else {
    SerializeChildren(*this, out);
  }
  return out;
}

std::string Element::outerHTML() const {
  std::string out;
  SerializeNode(*this, out);
  return out;
}

void Element::setInnerHTML(std::string_view html) {
  std::vector<NodePtr> parsed = TreeBuilder::ParseFragment(html, this);
  if (template_content_) {
    *template_content_ = std::move(parsed);
    NoteStructureChange();
    return;
  }
  std::vector<NodePtr> old = std::move(children_);
  children_.clear();
  for (auto& c : old) c->parent_ = nullptr;
  for (auto& n : parsed) {
    n->parent_ = this;
    children_.push_back(std::move(n));
  }
  NoteStructureChange();
}

void Element::setOuterHTML(std::string_view html) {
  Node* parent = parent_;
  if (!parent || parent->type() == NodeType::kDocument) {
    throw DomError("The outer HTML of an element without a parent element cannot be set.");
  }
  std::vector<NodePtr> parsed = TreeBuilder::ParseFragment(html, AsElement(parent));
  NodePtr self = shared_from_this();  // stays alive (detached) for the caller
  auto& siblings = parent->children_;
  auto it = std::find(siblings.begin(), siblings.end(), self);
  std::size_t pos = static_cast<std::size_t>(it - siblings.begin());
  siblings.erase(it);
  parent_ = nullptr;
  for (auto& n : parsed) n->parent_ = parent;
  siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(pos),
                  std::make_move_iterator(parsed.begin()), std::make_move_iterator(parsed.end()));
  parent->NoteStructureChange();
}

ElementCollection Element::all() {
  return ElementCollection(shared_from_this(), ElementCollection::Kind::kAll);
}

ElementCollection Element::rows() {
  if (!Is("table")) return ElementCollection();
  return ElementCollection(shared_from_this(), ElementCollection::Kind::kRows);
}

ElementCollection Element::cells() {
  if (!Is("tr")) return ElementCollection();
  return ElementCollection(shared_from_this(), ElementCollection::Kind::kCells);
}

namespace {
std::string Resolved(const Element& e, std::string_view attr) {
  if (!e.hasAttribute(attr)) return {};
  std::string value = e.getAttribute(attr);
  if (Document* doc = e.document()) return doc->ResolveURL(value);
  return value;
}
}  // namespace

std::string Element::src() const {
  return Resolved(*this, "src");
}
void Element::setSrc(std::string_view url) {
  setAttribute("src", url);
}

std::string Element::href() const {
  if (Is("img")) return src();
  return Resolved(*this, "href");
}
void Element::setHref(std::string_view url) {
  setAttribute(Is("img") ? "src" : "href", url);
}

}  // namespace vt::dom
