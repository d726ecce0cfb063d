// Tree edits without checks for parsers that build a tree nobody else sees yet.
#include <algorithm>

#include "platform/dom/internal.h"

namespace vt::dom {

ElementPtr TreeBuilder::NewElement(std::string name, Namespace ns, std::uint16_t tag,
                                   std::vector<Attribute> attrs) {
  auto e = std::make_shared<Element>(Element::Key{}, std::move(name), ns);
  e->tag_ = tag;
  e->attrs_ = std::move(attrs);
  if (ns == Namespace::kHtml && e->name_ == "template") {
    e->template_content_ = std::make_unique<std::vector<NodePtr>>();
  }
  return e;
}

void TreeBuilder::InsertRaw(Node* parent, NodePtr child, const Node* before) {
  child->parent_ = parent;
  auto& kids = parent->children_;
  if (!before) {
    kids.push_back(std::move(child));
    return;
  }
  auto it = std::find_if(kids.rbegin(), kids.rend(),
                         [before](const NodePtr& p) { return p.get() == before; });
  kids.insert(it == kids.rend() ? kids.end() : std::prev(it.base()), std::move(child));
}

NodePtr TreeBuilder::DetachRaw(Node* child) {
  Node* parent = child->parent_;
  if (!parent) return child->shared_from_this();
  auto& kids = parent->children_;
  auto it = std::find_if(kids.rbegin(), kids.rend(),
                         [child](const NodePtr& p) { return p.get() == child; });
  NodePtr result = std::move(*it);
  kids.erase(std::prev(it.base()));
  child->parent_ = nullptr;
  return result;
}

void TreeBuilder::MoveChildrenRaw(Node* from, Node* to) {
  for (auto& c : from->children_) {
    c->parent_ = to;
    to->children_.push_back(std::move(c));
  }
  from->children_.clear();
}

void TreeBuilder::SetTemplateContent(Element& element, Node* holder) {
  if (!element.template_content_) return;
  for (auto& c : holder->children_) c->parent_ = nullptr;
  *element.template_content_ = std::move(holder->children_);
  holder->children_.clear();
}

}  // namespace vt::dom
