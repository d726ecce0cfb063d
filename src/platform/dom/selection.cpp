#include "platform/dom/selection.h"

#include <algorithm>
#include <functional>

#include "platform/dom/document.h"
#include "platform/dom/internal.h"

namespace vt::dom {

namespace {

long LengthOf(const Node& n) {
  if (n.type() == NodeType::kText || n.type() == NodeType::kComment) {
    return static_cast<long>(n.data().size());
  }
  return static_cast<long>(n.children().size());
}

long IndexInParent(const Node& n) {
  const Node* parent = n.parent();
  if (!parent) return 0;
  const auto& kids = parent->children();
  for (std::size_t i = 0; i < kids.size(); ++i) {
    if (kids[i].get() == &n) return static_cast<long>(i);
  }
  return 0;
}

std::vector<const Node*> Ancestry(const Node* n) {
  std::vector<const Node*> chain;
  for (; n; n = n->parent()) chain.push_back(n);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

// -1, 0 or 1 as point a lies before, at or after point b (both in one tree).
int Compare(const Node* an, long ao, const Node* bn, long bo) {
  if (an == bn) return ao < bo ? -1 : (ao > bo ? 1 : 0);
  const auto a = Ancestry(an);
  const auto b = Ancestry(bn);
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  if (i == a.size()) {
    // a's node holds b's node: compare a's offset with the child of a that leads to b.
    const long child = IndexInParent(*b[i]);
    return ao <= child ? -1 : 1;
  }
  if (i == b.size()) {
    const long child = IndexInParent(*a[i]);
    return child < bo ? -1 : 1;
  }
  return IndexInParent(*a[i]) < IndexInParent(*b[i]) ? -1 : 1;
}

int Compare(const Boundary& a, const Boundary& b) {
  return Compare(a.node.get(), a.offset, b.node.get(), b.offset);
}

bool SameTree(const Node* a, const Node* b) {
  if (!a || !b) return false;
  while (a->parent()) a = a->parent();
  while (b->parent()) b = b->parent();
  return a == b;
}

const Node* CommonAncestor(const Node* a, const Node* b) {
  const auto x = Ancestry(a);
  const auto y = Ancestry(b);
  const Node* common = nullptr;
  for (std::size_t i = 0; i < x.size() && i < y.size() && x[i] == y[i]; ++i) common = x[i];
  return common;
}

// Calls `whole` for every child fully inside the range and `partial` for children that hold a
// boundary (children of `container`).
void ForChildren(const Node& container, const Boundary& start, const Boundary& end,
                 const std::function<void(const NodePtr&)>& whole,
                 const std::function<void(const NodePtr&)>& partial) {
  const auto kids = container.children();  // a copy: the callbacks may edit the tree
  for (std::size_t i = 0; i < kids.size(); ++i) {
    const long at = static_cast<long>(i);
    const bool ends_before_start = Compare(&container, at + 1, start.node.get(), start.offset) <= 0;
    const bool starts_after_end = Compare(&container, at, end.node.get(), end.offset) >= 0;
    if (ends_before_start || starts_after_end) continue;
    const bool inside = Compare(&container, at, start.node.get(), start.offset) >= 0 &&
                        Compare(&container, at + 1, end.node.get(), end.offset) <= 0;
    if (inside) {
      whole(kids[i]);
    } else {
      partial(kids[i]);
    }
  }
}

NodePtr ShallowClone(const Node& n) {
  if (n.type() == NodeType::kText) return Node::MakeText(n.data());
  if (n.type() == NodeType::kComment) return Node::MakeComment(n.data());
  const Element* e = AsElement(&n);
  if (!e) return nullptr;
  ElementPtr copy = Element::Create(e->localName(), e->ns());
  for (const auto& a : e->attributes()) copy->setAttribute(a.name, a.value);
  return copy;
}

void CloneInto(const Node& container, const Boundary& start, const Boundary& end, Node& into) {
  if (container.type() == NodeType::kText) {
    const long from = &container == start.node.get() ? start.offset : 0;
    const long to = &container == end.node.get() ? end.offset : LengthOf(container);
    if (to > from) {
      into.AppendChild(Node::MakeText(container.data().substr(
          static_cast<std::size_t>(from), static_cast<std::size_t>(to - from))));
    }
    return;
  }
  ForChildren(
      container, start, end,
      [&](const NodePtr& child) {
        if (NodePtr copy = CloneNode(*child)) into.AppendChild(std::move(copy));
      },
      [&](const NodePtr& child) {
        if (child->type() == NodeType::kText) {
          CloneInto(*child, start, end, into);
          return;
        }
        NodePtr copy = ShallowClone(*child);
        if (!copy) return;
        CloneInto(*child, start, end, *copy);
        into.AppendChild(std::move(copy));
      });
}

void DeleteIn(Node& container, const Boundary& start, const Boundary& end) {
  if (container.type() == NodeType::kText) {
    const long from = &container == start.node.get() ? start.offset : 0;
    const long to = &container == end.node.get() ? end.offset : LengthOf(container);
    if (to > from) {
      std::string text = container.data();
      text.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
      container.SetData(std::move(text));
    }
    return;
  }
  ForChildren(
      container, start, end, [&](const NodePtr& child) { container.RemoveChild(child.get()); },
      [&](const NodePtr& child) { DeleteIn(*child, start, end); });
}

// The range content copied below a holder element.
ElementPtr CloneContents(const Boundary& start, const Boundary& end) {
  ElementPtr holder = Element::Create("div");
  if (!SameTree(start.node.get(), end.node.get()) || Compare(start, end) >= 0) return holder;
  const Node* common = CommonAncestor(start.node.get(), end.node.get());
  if (common) CloneInto(*common, start, end, *holder);
  return holder;
}

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
         (static_cast<unsigned char>(c) >= 0x80);
}

char Fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

NodePtr CloneNode(const Node& node) {
  NodePtr copy = ShallowClone(node);
  if (!copy) return nullptr;
  if (const Element* e = AsElement(&node); e && e->templateContent()) {
    static_cast<Element&>(*copy).setInnerHTML(e->innerHTML());
    return copy;
  }
  for (const auto& c : node.children()) {
    if (NodePtr child = CloneNode(*c)) copy->AppendChild(std::move(child));
  }
  return copy;
}

// ---------------------------------------------------------------------------------------------

TextRange::TextRange(Boundary start, Boundary end)
    : start_(std::move(start)), end_(std::move(end)) {
  if (start_.node && end_.node && SameTree(start_.node.get(), end_.node.get()) &&
      Compare(start_, end_) > 0) {
    std::swap(start_, end_);
  }
}

std::string TextRange::text() const {
  ElementPtr holder = CloneContents(start_, end_);
  return holder->innerText();
}

std::string TextRange::htmlText() const {
  return CloneContents(start_, end_)->innerHTML();
}

bool TextRange::collapsed() const {
  return !start_.node || (start_.node == end_.node && start_.offset == end_.offset);
}

void TextRange::collapse(bool to_start) {
  if (to_start) {
    end_ = start_;
  } else {
    start_ = end_;
  }
}

void TextRange::moveToElementText(const ElementPtr& element) {
  if (!element) return;
  start_ = {element, 0};
  end_ = {element, static_cast<long>(element->children().size())};
}

ElementPtr TextRange::parentElement() const {
  if (!start_.node || !end_.node || !SameTree(start_.node.get(), end_.node.get())) return nullptr;
  const Node* common = CommonAncestor(start_.node.get(), end_.node.get());
  while (common && !common->IsElement()) common = common->parent();
  if (!common) return nullptr;
  return std::static_pointer_cast<Element>(const_cast<Node*>(common)->shared_from_this());
}

void TextRange::select() {
  if (!start_.node) return;
  if (Document* doc = start_.node->document()) doc->selection().SetTextRange(start_, end_);
}

bool TextRange::findText(std::string_view wanted, long count, long flags) {
  if (wanted.empty() || !start_.node) return false;
  const bool match_case = (flags & 4) != 0;
  const bool whole_word = (flags & 2) != 0;
  // The searched stretch: to the range's end, or to the end of the body for a collapsed range.
  Boundary limit = end_;
  if (collapsed()) {
    Document* doc = start_.node->document();
    ElementPtr body = doc ? doc->body() : nullptr;
    if (!body) return false;
    limit = {body, static_cast<long>(body->children().size())};
  }
  // The shown text of the stretch, white-space runs folded to one space, with the origin of every
  // byte.
  std::string flat;
  std::vector<std::pair<const Node*, long>> origin;
  const Node* common = CommonAncestor(start_.node.get(), limit.node.get());
  if (!common) return false;
  for (const Node* n = common; n; n = NextInOrder(n, common)) {
    if (n->type() != NodeType::kText || !IsTextShown(*n)) continue;
    const long from = n == start_.node.get() ? start_.offset : 0;
    long to = n == limit.node.get() ? limit.offset : LengthOf(*n);
    if (Compare(n, 0, limit.node.get(), limit.offset) >= 0) break;
    if (Compare(n, LengthOf(*n), start_.node.get(), start_.offset) <= 0 && n != start_.node.get()) {
      continue;
    }
    const std::string& data = n->data();
    for (long i = from; i < to; ++i) {
      const char c = data[static_cast<std::size_t>(i)];
      if (IsHtmlSpace(c)) {
        if (!flat.empty() && flat.back() == ' ') continue;
        flat += ' ';
      } else {
        flat += match_case ? c : Fold(c);
      }
      origin.emplace_back(n, i);
    }
  }
  std::string needle;
  for (char c : wanted) needle += IsHtmlSpace(c) ? ' ' : (match_case ? c : Fold(c));
  std::size_t pos = 0;
  while ((pos = flat.find(needle, pos)) != std::string::npos) {
    const std::size_t stop = pos + needle.size();
    const bool word_ok = !whole_word || ((pos == 0 || !IsWordChar(flat[pos - 1])) &&
                                         (stop >= flat.size() || !IsWordChar(flat[stop])));
    if (word_ok) {
      const auto& first = origin[pos];
      const auto& last = origin[stop - 1];
      auto share = [](const Node* n) { return const_cast<Node*>(n)->shared_from_this(); };
      start_ = {share(first.first), first.second};
      end_ = {share(last.first), last.second + 1};
      // A match that ends inside a multi-byte character covers all of it.
      const std::string& data = last.first->data();
      while (static_cast<std::size_t>(end_.offset) < data.size() &&
             (static_cast<unsigned char>(data[static_cast<std::size_t>(end_.offset)]) & 0xC0) ==
                 0x80) {
        ++end_.offset;
      }
      (void)count;
      return true;
    }
    ++pos;
  }
  return false;
}

void TextRange::pasteHTML(std::string_view html) {
  if (!start_.node) return;
  if (SameTree(start_.node.get(), end_.node.get()) && Compare(start_, end_) < 0) {
    const Node* common = CommonAncestor(start_.node.get(), end_.node.get());
    if (common) DeleteIn(const_cast<Node&>(*common), start_, end_);
  }
  // Where the new nodes go: into the element at the start, splitting a text node there.
  NodePtr parent = start_.node;
  const Node* before = nullptr;
  if (parent->type() == NodeType::kText) {
    NodePtr text = parent;
    parent = text->parent() ? text->parent()->shared_from_this() : nullptr;
    if (!parent) return;
    const std::size_t split = static_cast<std::size_t>(start_.offset);
    std::string tail = text->data().substr(std::min(split, text->data().size()));
    const auto& kids = parent->children();
    const long index = IndexInParent(*text);
    before = static_cast<std::size_t>(index + 1) < kids.size() ? kids[index + 1].get() : nullptr;
    if (!tail.empty()) {
      NodePtr tail_node = Node::MakeText(std::move(tail));
      parent->InsertBefore(tail_node, before);
      before = tail_node.get();
      text->SetData(text->data().substr(0, split));
    }
  } else {
    const auto& kids = parent->children();
    before = static_cast<std::size_t>(start_.offset) < kids.size()
                 ? kids[static_cast<std::size_t>(start_.offset)].get()
                 : nullptr;
  }
  const Element* context = AsElement(parent.get());
  std::vector<NodePtr> nodes = TreeBuilder::ParseFragment(html, context);
  for (auto& n : nodes) parent->InsertBefore(n, before);
  const auto& kids = parent->children();
  long after = static_cast<long>(kids.size());
  if (before) after = IndexInParent(*before);
  start_ = end_ = {parent, after};
}

// ---------------------------------------------------------------------------------------------

std::string Selection::type() const {
  switch (kind_) {
    case Kind::kText:
      return start_.node && !(start_.node == end_.node && start_.offset == end_.offset) &&
                     start_.node->document() == document_
                 ? "Text"
                 : "None";
    case Kind::kControl:
      return control_ && control_->document() == document_ ? "Control" : "None";
    default:
      return "None";
  }
}

std::shared_ptr<TextRange> Selection::createRange() const {
  const std::string t = type();
  if (t == "Text") return std::make_shared<TextRange>(start_, end_);
  if (t == "Control") {
    NodePtr parent = control_->parent()->shared_from_this();
    const long index = IndexInParent(*control_);
    return std::make_shared<TextRange>(Boundary{parent, index}, Boundary{parent, index + 1});
  }
  auto range = document_->CreateBodyRange();
  range->collapse(true);
  return range;
}

void Selection::clear() {
  const std::string t = type();
  if (t == "Text") {
    TextRange range(start_, end_);
    range.pasteHTML("");
  } else if (t == "Control") {
    if (Node* parent = control_->parent()) parent->RemoveChild(control_.get());
  }
  empty();
}

void Selection::empty() {
  kind_ = Kind::kNone;
  start_ = end_ = {};
  control_.reset();
}

bool Selection::SetText(Position anchor, Position focus) {
  auto locate = [&](const Position& p, Boundary& out) {
    ElementPtr e = document_->ElementAt(p.source_index);
    if (!e) return false;
    // Walk the element's text nodes until the offset (in characters) is reached.
    long left = std::max(0L, p.offset);
    const Node* last_text = nullptr;
    for (const Node* n = e.get(); n; n = NextInOrder(n, e.get())) {
      if (n->type() != NodeType::kText) continue;
      last_text = n;
      const long chars = static_cast<long>(CountCodePoints(n->data()));
      if (left <= chars) {
        out = {const_cast<Node*>(n)->shared_from_this(),
               static_cast<long>(ByteOffsetOfChar(n->data(), static_cast<std::size_t>(left)))};
        return true;
      }
      left -= chars;
    }
    if (last_text) {
      out = {const_cast<Node*>(last_text)->shared_from_this(), LengthOf(*last_text)};
    } else {
      out = {e, static_cast<long>(e->children().size())};
    }
    return true;
  };
  Boundary a, b;
  if (!locate(anchor, a) || !locate(focus, b)) return false;
  SetTextRange(std::move(a), std::move(b));
  return true;
}

void Selection::SetTextRange(Boundary start, Boundary end) {
  if (!start.node || !end.node) {
    empty();
    return;
  }
  if (SameTree(start.node.get(), end.node.get()) && Compare(start, end) > 0) std::swap(start, end);
  kind_ = Kind::kText;
  start_ = std::move(start);
  end_ = std::move(end);
  control_.reset();
}

void Selection::SetControl(const ElementPtr& element) {
  if (!element || !element->parent()) {
    empty();
    return;
  }
  kind_ = Kind::kControl;
  control_ = element;
  start_ = end_ = {};
}

ElementPtr Selection::control() const {
  return type() == "Control" ? control_ : nullptr;
}

}  // namespace vt::dom
