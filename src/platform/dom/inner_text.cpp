// Rendered text of a subtree, following what a browser's default style sheet does with each
// element (inline styles with display, visibility and white-space are honoured; style sheets are
// not).
#include <algorithm>

#include "platform/dom/internal.h"
#include "platform/dom/style.h"

namespace vt::dom {

namespace {

enum class Display : std::uint8_t {
  kInline,
  kBlock,      // block-level: one line break before and after
  kParagraph,  // P: two line breaks before and after
  kRow,        // TR: a line break after every row but the last of its table
  kCell,       // TD, TH: a tab after every cell but the last of its row
  kRowGroup,   // THEAD, TBODY, TFOOT, COLGROUP: no breaks of their own
  kReplaced,   // rendered, but its content is not text (IMG, INPUT, IFRAME ...)
  kNone,       // not rendered
};

bool NameIn(const std::string& name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string InlineProperty(const Element& e, std::string_view property) {
  const std::string style = e.getAttribute("style");
  if (style.empty()) return {};
  // Cheap test before the real parse: most style attributes do not name the property.
  if (ToLowerAscii(style).find(property) == std::string::npos) return {};
  Style s(std::static_pointer_cast<Element>(const_cast<Element&>(e).shared_from_this()));
  std::string value = ToLowerAscii(s.getPropertyValue(property));
  if (auto bang = value.find('!'); bang != std::string::npos) value.erase(bang);
  return std::string(TrimAsciiSpace(value));
}

Display DefaultDisplay(const Element& e) {
  if (e.ns() == Namespace::kSvg) {
    return NameIn(e.localName(), {"svg", "text", "tspan", "textPath", "a", "g", "switch"})
               ? Display::kInline
               : Display::kNone;
  }
  if (e.ns() != Namespace::kHtml) return Display::kInline;
  const std::string& n = e.localName();
  if (n == "p") return Display::kParagraph;
  if (n == "tr") return Display::kRow;
  if (n == "td" || n == "th") return Display::kCell;
  if (NameIn(n, {"thead", "tbody", "tfoot", "colgroup", "col"})) return Display::kRowGroup;
  if (NameIn(n, {"head", "script", "style", "template", "title", "meta", "link", "base", "basefont",
                 "noembed", "noframes", "param", "datalist", "area", "rp"})) {
    return Display::kNone;
  }
  if (NameIn(n,
             {"html",       "body",      "address", "blockquote", "center",   "div",     "figure",
              "figcaption", "footer",    "form",    "header",     "hr",       "legend",  "listing",
              "main",       "plaintext", "pre",     "xmp",        "dialog",   "article", "aside",
              "h1",         "h2",        "h3",      "h4",         "h5",       "h6",      "hgroup",
              "nav",        "section",   "dir",     "dd",         "dl",       "dt",      "menu",
              "ol",         "ul",        "li",      "fieldset",   "details",  "summary", "table",
              "caption",    "frameset",  "frame",   "search",     "optgroup", "option"})) {
    return Display::kBlock;
  }
  if (NameIn(n, {"img", "input", "textarea", "iframe", "video", "audio", "canvas", "embed", "meter",
                 "progress", "applet"})) {
    return Display::kReplaced;
  }
  return Display::kInline;
}

Display DisplayOf(const Element& e, const SheetCascade* cascade) {
  if (e.ns() == Namespace::kHtml) {
    if (e.hasAttribute("hidden")) return Display::kNone;
    if (e.Is("input") && EqualsIgnoreCase(e.getAttribute("type"), "hidden")) return Display::kNone;
    if (e.Is("dialog") && !e.hasAttribute("open")) return Display::kNone;
    if (e.Is("audio") && !e.hasAttribute("controls")) return Display::kNone;
  }
  Display d = DefaultDisplay(e);
  std::string display = InlineProperty(e, "display");
  if (const SheetValues* sheet = SheetValuesOf(cascade, e);
      sheet && !sheet->display.empty() && (display.empty() || sheet->display_important)) {
    display = sheet->display;
  }
  if (display.empty()) return d;
  if (display == "none") return Display::kNone;
  if (d == Display::kNone || d == Display::kReplaced) return d;
  if (display == "block" || display == "flex" || display == "grid" || display == "list-item" ||
      display == "table" || display == "flow-root" || display == "table-caption") {
    return d == Display::kParagraph ? d : Display::kBlock;
  }
  if (display == "inline" || display == "inline-block" || display == "inline-flex" ||
      display == "inline-grid" || display == "inline-table" || display == "contents") {
    return Display::kInline;
  }
  if (display == "table-row") return Display::kRow;
  if (display == "table-cell") return Display::kCell;
  return d;
}

bool IsTableStructure(const Node* n) {
  const Element* e = AsElement(n);
  return e && e->ns() == Namespace::kHtml &&
         NameIn(e->localName(), {"table", "thead", "tbody", "tfoot", "tr", "colgroup"});
}

bool IsRowElement(const Node* n) {
  const Element* e = AsElement(n);
  return e && e->Is("tr");
}

bool IsCellElement(const Node* n) {
  const Element* e = AsElement(n);
  return e && (e->Is("td") || e->Is("th"));
}

bool IsSection(const Element* e) {
  return e && (e->Is("thead") || e->Is("tbody") || e->Is("tfoot"));
}

// Whether a child of a table or section carries a row: a TR, or a section with a TR in it.
bool BearsRow(const Node* child) {
  if (IsRowElement(child)) return true;
  const Element* e = AsElement(child);
  if (!IsSection(e)) return false;
  for (const auto& c : e->children()) {
    if (IsRowElement(c.get())) return true;
  }
  return false;
}

// Position of the last child of `parent` for which `test` holds, or -1.
template <class Test>
long LastChildWhere(const Node& parent, Test test) {
  const auto& kids = parent.children();
  for (std::size_t i = kids.size(); i > 0; --i) {
    if (test(kids[i - 1].get())) return static_cast<long>(i - 1);
  }
  return -1;
}

// Position of `child` among the children of `parent` (which holds it).
long PositionIn(const Node& parent, const Node* child) {
  const auto& kids = parent.children();
  for (std::size_t i = 0; i < kids.size(); ++i) {
    if (kids[i].get() == child) return static_cast<long>(i);
  }
  return -1;
}

int PreserveMode(const Element& e) {
  // 0 inherit, 1 collapse, 2 preserve spaces and line breaks, 3 preserve line breaks only.
  const std::string ws = InlineProperty(e, "white-space");
  if (ws == "pre" || ws == "pre-wrap" || ws == "break-spaces") return 2;
  if (ws == "pre-line") return 3;
  if (ws == "normal" || ws == "nowrap") return 1;
  if (e.ns() == Namespace::kHtml &&
      NameIn(e.localName(), {"pre", "listing", "xmp", "plaintext", "textarea"})) {
    return 2;
  }
  return 0;
}

class Collector {
 public:
  // The rendered text of `root`, or its first `max_chars` characters (at least) when it is
  // longer: the walk stops there. The text only ever grows at its end, so a cut walk gives the
  // same beginning as a whole one.
  std::string Run(const Node& root, std::size_t max_chars) {
    cascade_ = CascadeOf(root);
    max_chars_ = max_chars;
    if (!Enter(root, true)) {
      Leave(root, true);
      return std::move(out_);
    }
    walk_.push_back({&root});
    while (!walk_.empty() && !Full()) {
      Frame& top = walk_.back();
      const auto& kids = top.node->children();
      if (top.next < kids.size()) {
        const Node* child = kids[top.next++].get();
        if (Enter(*child, false)) {
          walk_.push_back({child});
        } else {
          Leave(*child, false);
        }
      } else {
        const Node* done = top.node;
        walk_.pop_back();
        Leave(*done, walk_.empty());
      }
    }
    return std::move(out_);
  }

 private:
  static constexpr long kUnknown = -2;

  // A node whose children are being walked, with what its children need to know of their
  // siblings, found once per parent so that wide rows and tables cost no more than narrow ones.
  struct Frame {
    const Node* node;
    std::size_t next = 0;       // the child walked next; the current child is next - 1
    long last_cell = kUnknown;  // position of the last TD or TH child, -1 for none
    long last_row = kUnknown;   // position of the last child that carries a row
    long summary = kUnknown;    // position of the first SUMMARY child
    int rows_after = -1;        // (root only) whether rows follow the root's section: 0 or 1
  };

  static long LastCell(Frame& f) {
    if (f.last_cell == kUnknown) f.last_cell = LastChildWhere(*f.node, IsCellElement);
    return f.last_cell;
  }
  static long LastRow(Frame& f) {
    if (f.last_row == kUnknown) f.last_row = LastChildWhere(*f.node, BearsRow);
    return f.last_row;
  }
  static long Position(const Frame& f) { return static_cast<long>(f.next) - 1; }

  // Whether a row follows the current child of walk_[level] in its table: a later row of its
  // own parent or, when that parent is a section, a later row-carrying sibling of the section.
  bool RowFollows(std::size_t level) {
    Frame& parent = walk_[level];
    if (LastRow(parent) > Position(parent)) return true;
    const Element* section = AsElement(parent.node);
    if (!IsSection(section) || !section->parent()) return false;
    if (level > 0) return LastRow(walk_[level - 1]) > Position(walk_[level - 1]);
    // The section is the root of the walk: its table lies outside it.
    if (parent.rows_after < 0) {
      const Node& table = *section->parent();
      parent.rows_after = LastChildWhere(table, BearsRow) > PositionIn(table, section) ? 1 : 0;
    }
    return parent.rows_after == 1;
  }

  // Whether enough text is there (counting characters as they come).
  bool Full() {
    if (max_chars_ == std::string::npos) return false;
    for (; counted_ < out_.size(); ++counted_) {
      if ((static_cast<unsigned char>(out_[counted_]) & 0xC0) != 0x80) ++chars_;
    }
    return chars_ >= max_chars_;
  }

  struct Level {
    const Element* element;
    Display display;
    int preserve;  // effective mode
    bool hidden_text;
  };

  bool Enter(const Node& n, bool is_root) {
    const Level* top = stack_.empty() ? nullptr : &stack_.back();
    switch (n.type()) {
      case NodeType::kDocument:
        return true;
      case NodeType::kText:
        if (top && (top->display == Display::kReplaced || top->hidden_text)) return false;
        if (IsTableStructure(n.parent()) && TrimAsciiSpace(n.data()).empty()) return false;
        Text(n.data(), top ? top->preserve : 1);
        return false;
      case NodeType::kElement:
        break;
      default:
        return false;
    }
    const auto& e = static_cast<const Element&>(n);
    if (top && top->display == Display::kReplaced) return false;
    if (!is_root && ClosedDetailsHides()) return false;
    Display d = DisplayOf(e, cascade_);
    if (is_root && (d == Display::kNone || d == Display::kReplaced)) d = Display::kBlock;
    if (d == Display::kNone) return false;
    if (e.Is("br")) {
      Literal("\r\n");
      return false;
    }
    int preserve = PreserveMode(e);
    if (preserve == 0) preserve = top ? top->preserve : 1;
    bool hidden = top && top->hidden_text;
    std::string visibility = InlineProperty(e, "visibility");
    if (const SheetValues* sheet = SheetValuesOf(cascade_, e);
        sheet && !sheet->visibility.empty() &&
        (visibility.empty() || sheet->visibility_important)) {
      visibility = sheet->visibility;
    }
    if (visibility == "hidden" || visibility == "collapse") hidden = true;
    if (visibility == "visible") hidden = false;
    stack_.push_back({&e, d, preserve, hidden});
    BlockBreaks(d);
    switch (d) {
      case Display::kRow:
      case Display::kCell:
        pending_space_ = false;
        line_start_ = true;
        break;
      case Display::kReplaced:
        // Takes room on the line: spaces on both sides stay separate.
        pending_space_ = pending_space_ && !line_start_;
        if (pending_space_) Flush();
        line_start_ = false;
        break;
      default:
        break;
    }
    return true;
  }

  void Leave(const Node& n, bool is_root) {
    if (n.type() != NodeType::kElement || stack_.empty() || stack_.back().element != &n) return;
    const Level level = stack_.back();
    stack_.pop_back();
    BlockBreaks(level.display);
    // The walk stands at the parent of `n`, whose current child `n` is.
    switch (level.display) {
      case Display::kRow:
        pending_space_ = false;
        if (!is_root && RowFollows(walk_.size() - 1)) Literal("\r\n");
        break;
      case Display::kCell:
        pending_space_ = false;
        if (!is_root && LastCell(walk_.back()) > Position(walk_.back())) {
          Literal("\t");
          line_start_ = true;
        }
        break;
      default:
        break;
    }
  }

  // A closed DETAILS shows its first SUMMARY child only. `e` is the current child of the walk.
  bool ClosedDetailsHides() {
    Frame& parent = walk_.back();
    const Element* details = AsElement(parent.node);
    if (!details || !details->Is("details") || details->hasAttribute("open")) return false;
    if (parent.summary == kUnknown) {
      const auto& kids = details->children();
      parent.summary = -1;
      for (std::size_t i = 0; i < kids.size(); ++i) {
        const Element* s = AsElement(kids[i].get());
        if (s && s->Is("summary")) {
          parent.summary = static_cast<long>(i);
          break;
        }
      }
    }
    return parent.summary != Position(parent);
  }

  // Blocks want a line break before and after them, paragraphs two.
  void BlockBreaks(Display d) {
    if (d == Display::kBlock) Breaks(1);
    if (d == Display::kParagraph) Breaks(2);
  }

  void Breaks(int count) {
    pending_space_ = false;
    breaks_ = std::max(breaks_, count);
  }

  // Writes the pending line breaks (never at the very start).
  void FlushBreaks() {
    if (breaks_ > 0 && !out_.empty()) {
      for (int i = 0; i < breaks_; ++i) out_ += "\r\n";
      line_start_ = true;
      pending_space_ = false;
    }
    breaks_ = 0;
  }

  void Flush() {
    FlushBreaks();
    if (pending_space_ && !line_start_) out_ += ' ';
    pending_space_ = false;
  }

  void Literal(std::string_view text) {
    FlushBreaks();
    pending_space_ = false;
    out_ += text;
    line_start_ = text.back() == '\n';
  }

  void Text(std::string_view text, int preserve) {
    if (preserve == 2) {
      if (text.empty()) return;
      Flush();
      for (char c : text) {
        if (c == '\n') {
          out_ += "\r\n";
        } else if (c != '\r') {
          out_ += c;
        }
      }
      line_start_ = text.back() == '\n';
      return;
    }
    for (char c : text) {
      if (IsHtmlSpace(c)) {
        if (preserve == 3 && c == '\n') {
          Literal("\r\n");
          continue;
        }
        if (breaks_ == 0 && !line_start_) pending_space_ = true;
        continue;
      }
      if (breaks_ > 0 || pending_space_) Flush();
      out_ += c;
      line_start_ = false;
    }
  }

  const SheetCascade* cascade_ = nullptr;
  std::string out_;
  std::size_t max_chars_ = std::string::npos;
  std::size_t counted_ = 0;  // bytes of out_ counted into chars_
  std::size_t chars_ = 0;
  std::vector<Frame> walk_;
  std::vector<Level> stack_;
  int breaks_ = 0;
  bool pending_space_ = false;
  bool line_start_ = true;
};

bool Rendered(const Element& e) {
  const SheetCascade* cascade = CascadeOf(e);
  for (const Node* n = &e; n; n = n->parent()) {
    const Element* el = AsElement(n);
    if (el && DisplayOf(*el, cascade) == Display::kNone) return false;
  }
  return true;
}

}  // namespace

bool IsTextShown(const Node& text) {
  const SheetCascade* cascade = CascadeOf(text);
  for (const Node* n = text.parent(); n; n = n->parent()) {
    const Element* el = AsElement(n);
    if (!el) continue;
    const Display d = DisplayOf(*el, cascade);
    if (d == Display::kNone || d == Display::kReplaced) return false;
  }
  return true;
}

std::string RenderedText(const Node& root, std::size_t max_chars) {
  if (const Element* e = AsElement(&root); e && !Rendered(*e)) return root.TextContent();
  return Collector().Run(root, max_chars);
}

}  // namespace vt::dom
