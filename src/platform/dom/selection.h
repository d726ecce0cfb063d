#pragma once
// The document's selection and text ranges.
//
// A position in a document is a node and an offset: for a text node the offset counts bytes of
// its UTF-8 text (always on a character boundary), for other nodes it counts children. The display
// names positions by an element's sourceIndex and a character offset into that element's text
// (Position).
//
// A range whose nodes were removed from the document reads as empty text.

#include <memory>
#include <string>
#include <string_view>

#include "platform/dom/node.h"

namespace vt::dom {

class Document;

// A boundary point: `node` and an offset inside it (see above).
struct Boundary {
  NodePtr node;
  long offset = 0;
};

// A place named from outside: the element with sourceIndex `source_index` and `offset`
// characters into its text content.
struct Position {
  int source_index = 0;
  long offset = 0;
};

class TextRange {
 public:
  // A range between two points of one tree (in document order).
  TextRange(Boundary start, Boundary end);

  // The text of the range as a browser renders it (see Element::innerText).
  std::string text() const;
  // The mark-up of the range: the selected nodes, with the partly selected elements that enclose
  // them cloned around the selected part.
  std::string htmlText() const;
  // Looks for `text` from the start of the range (to its end, or to the end of the body when the
  // range is collapsed), ignoring case unless `flags` has 4 (match case); flag 2 asks for whole
  // words. On success the range covers the match and the answer is true; otherwise the range
  // stays as it was.
  bool findText(std::string_view text, long count = 0, long flags = 0);
  // Replaces the content of the range by `html` (parsed in the context of the element that holds
  // the start); the range then collapses behind the inserted nodes.
  void pasteHTML(std::string_view html);

  // Makes the range cover the content of `element`.
  void moveToElementText(const ElementPtr& element);
  // Collapses to the start (or the end).
  void collapse(bool to_start = true);
  // The innermost element holding the whole range; null when the range is detached.
  ElementPtr parentElement() const;
  // Makes this range the document's selection.
  void select();
  bool collapsed() const;

  const Boundary& start() const { return start_; }
  const Boundary& end() const { return end_; }

 private:
  Boundary start_, end_;
};

class Selection {
 public:
  explicit Selection(Document* document) : document_(document) {}

  // "None", "Text" or "Control".
  std::string type() const;
  // A new text range over the selection (collapsed at the body's start for none; around the
  // element for a control selection).
  std::shared_ptr<TextRange> createRange() const;
  // Deletes the selected content from the document; the selection becomes "None".
  void clear();
  // Cancels the selection without touching the document.
  void empty();

  // Set by the display: a text selection between two positions (in either order), or a control
  // selection of one element. Answers false (selection unchanged) when a position names no
  // element.
  bool SetText(Position anchor, Position focus);
  void SetTextRange(Boundary start, Boundary end);
  void SetControl(const ElementPtr& element);
  // The controlled element of a "Control" selection, or null.
  ElementPtr control() const;
  // The selected range; meaningful only for "Text".
  const Boundary& start() const { return start_; }
  const Boundary& end() const { return end_; }

 private:
  enum class Kind { kNone, kText, kControl };
  Document* document_;
  Kind kind_ = Kind::kNone;
  Boundary start_, end_;
  ElementPtr control_;
};

}  // namespace vt::dom
