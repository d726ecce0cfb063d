#pragma once
// Pieces shared by the files of the document model; not part of its interface.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dom/node.h"
#include "platform/text/utf8.h"

namespace vt::dom {

class Document;

// The root of a document's tree; knows the document it belongs to.
class DocumentNode final : public Node {
 public:
  DocumentNode() : Node(NodeType::kDocument) {}
  Document* owner = nullptr;
};

// Builds trees from mark-up with the HTML parser.
class TreeBuilder {
 public:
  // A whole document: a DocumentNode with the doctype, comments and the HTML element.
  static std::shared_ptr<DocumentNode> ParseDocument(std::string_view utf8);
  // A fragment parsed as the content of `context` (null: as body content).
  static std::vector<NodePtr> ParseFragment(std::string_view utf8, const Element* context);
  static NodePtr MakeDoctype(std::string name);
  // Replaces the parser behind ParseDocument for the whole process (benchmarks compare a peer
  // parser this way; null restores ours). Answers the previous one. Not for use while parsing.
  using DocumentParser = std::shared_ptr<DocumentNode> (*)(std::string_view utf8);
  static DocumentParser SetDocumentParser(DocumentParser parser);

  // Raw edits for a parser building a new, detached tree: no checks, no change notes. `before`
  // is a child of `parent` or null (append); children are searched from the end.
  static ElementPtr NewElement(std::string name, Namespace ns, std::uint16_t tag,
                               std::vector<Attribute> attrs);
  static std::uint16_t TagNumber(const Element& e) { return e.tag_; }
  static std::vector<Attribute>& MutableAttributes(Element& e) { return e.attrs_; }
  static std::string& MutableData(Node& n) { return n.data_; }
  static void InsertRaw(Node* parent, NodePtr child, const Node* before);
  // Takes `child` out of its parent (if any); answers it.
  static NodePtr DetachRaw(Node* child);
  // Moves every child of `from` to the end of `to`.
  static void MoveChildrenRaw(Node* from, Node* to);
  // Makes the children of `holder` the template content of `element` (detached nodes).
  static void SetTemplateContent(Element& element, Node* holder);

 private:
  struct Impl;
};

// Mark-up of nodes (HTML serialisation: void elements, raw text elements, escaping).
struct SerializeFlags {
  bool annotate_source_index = false;
};
void SerializeNode(const Node& node, std::string& out, SerializeFlags flags = {});
void SerializeChildren(const Node& node, std::string& out, SerializeFlags flags = {});
void AppendEscapedText(std::string_view text, std::string& out, bool attribute);
bool IsVoidElement(const Element& element);

// Rendered text of a subtree (innerText); with `max_chars`, at least that many characters of its
// beginning (all of it when shorter), walking no further than they need.
std::string RenderedText(const Node& root, std::size_t max_chars = std::string::npos);
// Whether the text of a text node is shown (no hidden or replaced element above it).
bool IsTextShown(const Node& text);

// What the document's own style sheets say of an element's display and visibility ("" = nothing).
struct SheetValues {
  std::string display, visibility;
  bool display_important = false, visibility_important = false;
};
struct SheetCascade;
std::shared_ptr<SheetCascade> BuildCascade(const Document& document);
// The values for `element` in `cascade` (its document's), or null when no rule applies to it.
const SheetValues* SheetValuesOf(const SheetCascade* cascade, const Element& element);
// The cascade of the document holding `node`, or null when detached.
const SheetCascade* CascadeOf(const Node& node);

// A deep copy of a node (template content included), detached.
NodePtr CloneNode(const Node& node);

// Document-order walk without recursion. `enter` returns false to skip a node's children;
// `leave` runs after a node's children (also for skipped ones).
template <class Enter, class Leave>
void WalkTree(const Node& root, Enter&& enter, Leave&& leave) {
  struct Level {
    const Node* node;
    std::size_t next;
  };
  std::vector<Level> stack;
  if (!enter(root)) {
    leave(root);
    return;
  }
  stack.push_back({&root, 0});
  while (!stack.empty()) {
    Level& top = stack.back();
    const auto& kids = top.node->children();
    if (top.next < kids.size()) {
      const Node* child = kids[top.next++].get();
      if (enter(*child)) {
        stack.push_back({child, 0});
      } else {
        leave(*child);
      }
    } else {
      const Node* done = top.node;
      stack.pop_back();
      leave(*done);
    }
  }
}

// The next node after `node` in document order within `root` (skipping `node`'s children when
// `skip_children`), or null.
const Node* NextInOrder(const Node* node, const Node* root, bool skip_children = false);

// ASCII helpers.
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string_view TrimAsciiSpace(std::string_view text);
inline bool IsHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// UTF-8 helpers.
using text::AppendUtf8;
// Number of code points of valid UTF-8 text.
std::size_t CountCodePoints(std::string_view text);
// Byte offset of the code point `chars` (clamped to the end).
std::size_t ByteOffsetOfChar(std::string_view text, std::size_t chars);

}  // namespace vt::dom
