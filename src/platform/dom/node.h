#pragma once
// The nodes of an HTML document tree: elements, text, comments and the doctype.
//
// Ownership: a parent owns its children (std::shared_ptr); the link back to the parent is a plain
// pointer that the parent clears when it lets a child go or is destroyed. Anyone may keep a node
// alive with its shared_ptr: after the node is removed, or its document is replaced or destroyed,
// the node is a detached subtree whose reads stay safe (parent null, document null,
// sourceIndex -1).
//
// Threads: a tree belongs to the UI thread; nothing here is locked.
// Errors: operations that cannot be done (writing the outer HTML of a detached element, mark-up
// that cannot be parsed) throw vt::dom::DomError.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vt::dom {

class Document;
class Element;
class ElementCollection;
class Style;

class DomError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class NodeType : std::uint8_t { kDocument, kElement, kText, kComment, kDoctype };
enum class Namespace : std::uint8_t { kHtml, kSvg, kMathMl };

class Node;
using NodePtr = std::shared_ptr<Node>;
using ElementPtr = std::shared_ptr<Element>;

class Node : public std::enable_shared_from_this<Node> {
 public:
  virtual ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  NodeType type() const { return type_; }
  bool IsElement() const { return type_ == NodeType::kElement; }

  // The node that holds this one, or null for a root or a detached node.
  Node* parent() const { return parent_; }
  // The parent when it is an element (the HTML element's parent is the document node: null).
  ElementPtr parentElement() const;
  const std::vector<NodePtr>& children() const { return children_; }

  // Text, comment and doctype content (the doctype's name); empty for elements.
  const std::string& data() const { return data_; }
  // Replaces the content of a text or comment node.
  void SetData(std::string text);

  // The document whose tree holds this node, or null when detached.
  Document* document() const;
  std::shared_ptr<Document> ownerDocument() const;

  // Tree edits; `child` is taken out of any tree it was in. Throws DomError when the insertion
  // would make a node its own ancestor.
  void AppendChild(NodePtr child);
  void InsertBefore(NodePtr child, const Node* before);
  // Removes `child` (a child of this node); returns it, now detached.
  NodePtr RemoveChild(const Node* child);
  // Detaches every child.
  void RemoveAllChildren();

  // The concatenated text of all descendant text nodes (no rendering rules).
  std::string TextContent() const;

  static NodePtr MakeText(std::string text);
  static NodePtr MakeComment(std::string text);

 protected:
  explicit Node(NodeType type) : type_(type) {}
  // Called after a change below this node, on the tree that holds it.
  void NoteStructureChange() const;

 private:
  friend class Element;
  friend class Document;
  friend class TreeBuilder;
  void AdoptChild(Node* child);
  void DetachChild(Node* child);

  NodeType type_;
  Node* parent_ = nullptr;
  std::vector<NodePtr> children_;
  std::string data_;
};

struct Attribute {
  std::string name;  // lower case for HTML elements
  std::string value;
};

class Element final : public Node {
  struct Key {
    explicit Key() = default;
  };

 public:
  Element(Key, std::string name, Namespace ns);
  // A new, detached element; `name` is lower-cased for HTML.
  static ElementPtr Create(std::string_view name, Namespace ns = Namespace::kHtml);
  ~Element() override;

  // Upper case for HTML elements ("TABLE"); foreign elements keep their case ("svg", "path").
  std::string tagName() const;
  // The local name as stored ("table", "foreignObject").
  const std::string& localName() const { return name_; }
  Namespace ns() const { return ns_; }
  bool Is(std::string_view lower_name) const {
    return ns_ == Namespace::kHtml && name_ == lower_name;
  }

  // Attributes (names compare without regard to case). "Not found" is an empty string; use
  // hasAttribute to tell an empty value from a missing one.
  const std::vector<Attribute>& attributes() const { return attrs_; }
  std::string getAttribute(std::string_view name) const;
  bool hasAttribute(std::string_view name) const;
  void setAttribute(std::string_view name, std::string_view value);
  void removeAttribute(std::string_view name);

  // Position among all elements of the document in document order, 0-based; -1 when detached.
  // Renumbered lazily after a change, O(1) amortised.
  int sourceIndex() const;

  // The inline style (a view onto the style attribute).
  Style style();

  // Text as a browser renders it: CR LF between blocks, rows and at BR, a tab between the cells of
  // a row, nothing of SCRIPT, STYLE, HEAD, TEMPLATE or hidden elements, white space collapsed.
  std::string innerText() const;
  // The beginning of innerText(): at least its first `max_chars` characters (all of it when it
  // is shorter), rendered without walking the rest of the subtree. For labels that keep only a
  // few characters of a large element.
  std::string InnerTextPrefix(std::size_t max_chars) const;
  // Replaces the children by one text node (CR LF / LF become BR elements, as a browser does).
  void setInnerText(std::string_view text);

  std::string innerHTML() const;
  std::string outerHTML() const;
  // Parses `html` as a fragment in the context of this element and replaces the children.
  void setInnerHTML(std::string_view html);
  // Parses `html` in the context of the parent and puts the result in place of this element,
  // which becomes detached. Throws DomError when the element has no parent element.
  void setOuterHTML(std::string_view html);

  // All descendant elements in document order.
  ElementCollection all();
  // TABLE: its rows (THEAD rows, then TBODY and direct rows in order, then TFOOT; not the rows of
  // nested tables). Other elements: empty.
  ElementCollection rows();
  // TR: its TD and TH children. Other elements: empty.
  ElementCollection cells();

  // IMG `src`, A / AREA / LINK `href`: absolute against the document base ("" when missing).
  std::string src() const;
  void setSrc(std::string_view url);
  // For IMG, the absolute address of the image (as src); for A, AREA and LINK the absolute href.
  std::string href() const;
  void setHref(std::string_view url);
  // META `name` and `content`; any element's `id`, `name`, `className`.
  std::string name() const { return getAttribute("name"); }
  std::string content() const { return getAttribute("content"); }
  std::string id() const { return getAttribute("id"); }

  // TEMPLATE: the content fragment's children (not part of the document's element list).
  const std::vector<NodePtr>* templateContent() const { return template_content_.get(); }

 private:
  friend class Node;
  friend class Document;
  friend class TreeBuilder;
  void NoteAttributeChange(std::string_view name, bool added_or_removed) const;

  std::string name_;
  Namespace ns_;
  std::uint16_t tag_ = 0;  // the parser's tag number, for fragment contexts
  std::vector<Attribute> attrs_;
  std::unique_ptr<std::vector<NodePtr>> template_content_;
  mutable int source_index_ = -1;
  mutable std::uint64_t numbered_at_ = 0;  // document version the index belongs to
};

// Casts to Element when `node` is one, else null.
inline Element* AsElement(Node* node) {
  return node && node->IsElement() ? static_cast<Element*>(node) : nullptr;
}
inline const Element* AsElement(const Node* node) {
  return node && node->IsElement() ? static_cast<const Element*>(node) : nullptr;
}
ElementPtr AsElement(const NodePtr& node);

}  // namespace vt::dom
