#include "platform/dom/collection.h"

#include "platform/dom/document.h"
#include "platform/dom/internal.h"

namespace vt::dom {

struct ElementCollection::Impl {
  NodePtr scope;                                 // an element's collection
  std::weak_ptr<const Document> document_scope;  // a document's collection
  bool of_document = false;
  Kind kind = Kind::kNone;
  std::string tag;             // lower case; for kTag and for the filter of `base`
  std::shared_ptr<Impl> base;  // set for tags() of a collection: filter of the base's items
  std::vector<ElementPtr> items;
  std::uint64_t version = 0;  // membership version of the document the items belong to
  const Document* document = nullptr;

  bool Matches(const Element& e) const {
    switch (kind) {
      case Kind::kAll:
        return true;
      case Kind::kTag:
        return tag == "*" || EqualsIgnoreCase(e.localName(), tag);
      case Kind::kImages:
        return e.Is("img");
      case Kind::kLinks:
        return (e.Is("a") || e.Is("area")) && e.hasAttribute("href");
      case Kind::kForms:
        return e.Is("form");
      default:
        return false;
    }
  }

  void Rebuild(const Node* root, const std::vector<ElementPtr>* source) {
    items.clear();
    if (base) {
      for (const auto& e : base->Current()) {
        if (tag == "*" || EqualsIgnoreCase(e->localName(), tag)) items.push_back(e);
      }
      return;
    }
    if (!root) return;
    if (kind == Kind::kRows) {
      CollectRows();
      return;
    }
    if (kind == Kind::kCells) {
      for (const auto& c : root->children()) {
        const Element* e = AsElement(c.get());
        if (e && (e->Is("td") || e->Is("th"))) items.push_back(AsElement(c));
      }
      return;
    }
    if (source) {
      if (kind == Kind::kAll) {
        items = *source;
        return;
      }
      for (const auto& e : *source) {
        if (Matches(*e)) items.push_back(e);
      }
      return;
    }
    WalkTree(
        *root,
        [&](const Node& n) {
          if (&n != root && n.IsElement()) {
            const auto& e = static_cast<const Element&>(n);
            if (Matches(e)) {
              items.push_back(
                  std::static_pointer_cast<Element>(const_cast<Element&>(e).shared_from_this()));
            }
          }
          return n.IsElement() || n.type() == NodeType::kDocument;
        },
        [](const Node&) {});
  }

  void CollectRows() {
    auto rows_of = [&](const Node& section) {
      for (const auto& c : section.children()) {
        const Element* e = AsElement(c.get());
        if (e && e->Is("tr")) items.push_back(AsElement(c));
      }
    };
    auto sections = [&](std::string_view name) {
      for (const auto& c : scope->children()) {
        const Element* e = AsElement(c.get());
        if (e && e->Is(name)) rows_of(*e);
      }
    };
    sections("thead");
    for (const auto& c : scope->children()) {
      const Element* e = AsElement(c.get());
      if (!e) continue;
      if (e->Is("tr")) items.push_back(AsElement(c));
      if (e->Is("tbody")) rows_of(*e);
    }
    sections("tfoot");
  }

  const std::vector<ElementPtr>& Current() {
    Impl* bottom = this;
    while (bottom->base) bottom = bottom->base.get();
    std::shared_ptr<const Document> owner;
    const Document* doc = nullptr;
    const Node* root = nullptr;
    if (bottom->of_document) {
      owner = bottom->document_scope.lock();
      doc = owner.get();
      root = doc ? doc->root().get() : nullptr;
    } else if (bottom->scope) {
      root = bottom->scope.get();
      doc = root->document();
    }
    if (doc && doc == document && version == doc->membership_version()) return items;
    const std::vector<ElementPtr>* source =
        doc && !base && root == doc->root().get() ? &doc->AllElements() : nullptr;
    Rebuild(base ? nullptr : root, source);
    document = doc;
    version = doc ? doc->membership_version() : 0;
    return items;
  }
};

ElementCollection::ElementCollection() : impl_(std::make_shared<Impl>()) {}

ElementCollection::ElementCollection(NodePtr scope, Kind kind, std::string tag)
    : impl_(std::make_shared<Impl>()) {
  impl_->scope = std::move(scope);
  impl_->kind = kind;
  impl_->tag = ToLowerAscii(tag);
}

const std::vector<ElementPtr>& ElementCollection::Items() const {
  return impl_->Current();
}

long ElementCollection::length() const {
  return static_cast<long>(Items().size());
}

ElementPtr ElementCollection::item(long index) const {
  const auto& items = Items();
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return nullptr;
  return items[static_cast<std::size_t>(index)];
}

ElementPtr ElementCollection::namedItem(std::string_view name) const {
  for (const auto& e : Items()) {
    if (e->getAttribute("id") == name || e->getAttribute("name") == name) return e;
  }
  return nullptr;
}

ElementCollection ElementCollection::tags(std::string_view name) const {
  ElementCollection result;
  result.impl_->base = impl_;
  result.impl_->kind = Kind::kTag;
  result.impl_->tag = ToLowerAscii(name);
  return result;
}

ElementCollection::ElementCollection(std::weak_ptr<const Document> document, Kind kind,
                                     std::string tag)
    : impl_(std::make_shared<Impl>()) {
  impl_->document_scope = std::move(document);
  impl_->of_document = true;
  impl_->kind = kind;
  impl_->tag = ToLowerAscii(tag);
}

std::vector<ElementPtr> ElementCollection::ToVector() const {
  return Items();
}

}  // namespace vt::dom
