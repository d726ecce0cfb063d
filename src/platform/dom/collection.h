#pragma once
// Element collections: live lists of elements in document order (all, images, links, forms,
// tags(name), a table's rows, a row's cells). A collection re-reads the tree only after it changed,
// so item(i) in a loop is O(1) amortised. Cheap to copy (copies share their cache).

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dom/node.h"

namespace vt::dom {

class Document;

class ElementCollection {
 public:
  // Which elements a collection holds, below its scope.
  enum class Kind : std::uint8_t {
    kAll,     // every descendant element
    kTag,     // descendants with a tag name ("*" = all)
    kImages,  // IMG
    kLinks,   // A and AREA with an href
    kForms,   // FORM
    kRows,    // rows of a TABLE
    kCells,   // TD and TH of a TR
    kNone,    // always empty
  };

  ElementCollection();  // empty
  // Elements of `kind` below the element `scope`. `tag` for kTag.
  ElementCollection(NodePtr scope, Kind kind, std::string tag = {});
  // Elements of `kind` in a document, whatever tree it holds now; empty once it is gone.
  ElementCollection(std::weak_ptr<const Document> document, Kind kind, std::string tag = {});

  long length() const;
  // Element at `index`, or null past either end.
  ElementPtr item(long index) const;
  // First element whose id or name is `name`, or null.
  ElementPtr namedItem(std::string_view name) const;
  // The elements of this collection with tag name `name` (any case), document order.
  ElementCollection tags(std::string_view name) const;

  // A snapshot of the current elements.
  std::vector<ElementPtr> ToVector() const;

 private:
  struct Impl;
  const std::vector<ElementPtr>& Items() const;
  std::shared_ptr<Impl> impl_;
};

}  // namespace vt::dom
