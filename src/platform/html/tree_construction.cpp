#include "platform/html/tree_construction.h"

#include <algorithm>
#include <initializer_list>

#include "platform/html/foreign.h"

namespace vt::html {

using dom::Element;
using dom::ElementPtr;
using dom::Namespace;
using dom::Node;
using dom::NodePtr;
using dom::TreeBuilder;
using K = Token::Kind;
using M = TreeConstruction::Mode;
using enum Tag;

namespace {

constexpr std::size_t kTagCount = static_cast<std::size_t>(Tag::kCount);

struct TagSet {
  std::array<bool, kTagCount> bits{};
  constexpr TagSet(std::initializer_list<Tag> tags) {
    for (Tag t : tags) bits[static_cast<std::size_t>(t)] = true;
  }
  constexpr bool operator[](Tag t) const { return bits[static_cast<std::size_t>(t)]; }
};

constexpr TagSet kSpecialHtml = {
    address_,    applet_,  area_,   article_, aside_,     base_,     basefont_, bgsound_,
    blockquote_, body_,    br_,     button_,  caption_,   center_,   col_,      colgroup_,
    dd_,         details_, dir_,    div_,     dl_,        dt_,       embed_,    fieldset_,
    figcaption_, figure_,  footer_, form_,    frame_,     frameset_, h1_,       h2_,
    h3_,         h4_,      h5_,     h6_,      head_,      header_,   hgroup_,   hr_,
    html_,       iframe_,  img_,    input_,   keygen_,    li_,       link_,     listing_,
    main_,       marquee_, menu_,   meta_,    nav_,       noembed_,  noframes_, noscript_,
    object_,     ol_,      p_,      param_,   plaintext_, pre_,      script_,   search_,
    section_,    source_,  style_,  summary_, table_,     tbody_,    td_,       template_,
    textarea_,   tfoot_,   th_,     thead_,   title_,     tr_,       track_,    ul_,
    wbr_,        xmp_};
constexpr TagSet kFormatting = {a_,    b_, big_,   code_,   em_,     font_, i_,
                                nobr_, s_, small_, strike_, strong_, tt_,   u_};
constexpr TagSet kImpliedEnd = {dd_, dt_, li_, optgroup_, option_, p_, rb_, rp_, rt_, rtc_};
constexpr TagSet kImpliedEndThorough = {caption_, colgroup_, dd_,    dt_, li_,    optgroup_,
                                        option_,  p_,        rb_,    rp_, rt_,    rtc_,
                                        tbody_,   td_,       tfoot_, th_, thead_, tr_};
constexpr TagSet kDefaultScopeHtml = {applet_, caption_, html_,   table_,   td_,
                                      th_,     marquee_, object_, template_};
constexpr TagSet kHeadings = {h1_, h2_, h3_, h4_, h5_, h6_};
constexpr TagSet kTableParts = {table_, tbody_, tfoot_, thead_, tr_};

bool IsSpaceChar(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

std::size_t LeadingSpace(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsSpaceChar(s[i])) ++i;
  return i;
}

bool AllSpace(std::string_view s) {
  return LeadingSpace(s) == s.size();
}

bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCaseAscii(s.substr(0, prefix.size()), prefix);
}

constexpr std::string_view kQuirkyPublicPrefixes[] = {
    "+//Silmaril//dtd html Pro v0r11 19970101//",
    "-//AS//DTD HTML 3.0 asWedit + extensions//",
    "-//AdvaSoft Ltd//DTD HTML 3.0 asWedit + extensions//",
    "-//IETF//DTD HTML 2.0 Level 1//",
    "-//IETF//DTD HTML 2.0 Level 2//",
    "-//IETF//DTD HTML 2.0 Strict Level 1//",
    "-//IETF//DTD HTML 2.0 Strict Level 2//",
    "-//IETF//DTD HTML 2.0 Strict//",
    "-//IETF//DTD HTML 2.0//",
    "-//IETF//DTD HTML 2.1E//",
    "-//IETF//DTD HTML 3.0//",
    "-//IETF//DTD HTML 3.2 Final//",
    "-//IETF//DTD HTML 3.2//",
    "-//IETF//DTD HTML 3//",
    "-//IETF//DTD HTML Level 0//",
    "-//IETF//DTD HTML Level 1//",
    "-//IETF//DTD HTML Level 2//",
    "-//IETF//DTD HTML Level 3//",
    "-//IETF//DTD HTML Strict Level 0//",
    "-//IETF//DTD HTML Strict Level 1//",
    "-//IETF//DTD HTML Strict Level 2//",
    "-//IETF//DTD HTML Strict Level 3//",
    "-//IETF//DTD HTML Strict//",
    "-//IETF//DTD HTML//",
    "-//Metrius//DTD Metrius Presentational//",
    "-//Microsoft//DTD Internet Explorer 2.0 HTML Strict//",
    "-//Microsoft//DTD Internet Explorer 2.0 HTML//",
    "-//Microsoft//DTD Internet Explorer 2.0 Tables//",
    "-//Microsoft//DTD Internet Explorer 3.0 HTML Strict//",
    "-//Microsoft//DTD Internet Explorer 3.0 HTML//",
    "-//Microsoft//DTD Internet Explorer 3.0 Tables//",
    "-//Netscape Comm. Corp.//DTD HTML//",
    "-//Netscape Comm. Corp.//DTD Strict HTML//",
    "-//O'Reilly and Associates//DTD HTML 2.0//",
    "-//O'Reilly and Associates//DTD HTML Extended 1.0//",
    "-//O'Reilly and Associates//DTD HTML Extended Relaxed 1.0//",
    "-//SQ//DTD HTML 2.0 HoTMetaL + extensions//",
    "-//SoftQuad Software//DTD HoTMetaL PRO 6.0::19990601::extensions to HTML 4.0//",
    "-//SoftQuad//DTD HoTMetaL PRO 4.0::19971010::extensions to HTML 4.0//",
    "-//Spyglass//DTD HTML 2.0 Extended//",
    "-//Sun Microsystems Corp.//DTD HotJava HTML//",
    "-//Sun Microsystems Corp.//DTD HotJava Strict HTML//",
    "-//W3C//DTD HTML 3 1995-03-24//",
    "-//W3C//DTD HTML 3.2 Draft//",
    "-//W3C//DTD HTML 3.2 Final//",
    "-//W3C//DTD HTML 3.2//",
    "-//W3C//DTD HTML 3.2S Draft//",
    "-//W3C//DTD HTML 4.0 Frameset//",
    "-//W3C//DTD HTML 4.0 Transitional//",
    "-//W3C//DTD HTML Experimental 19960712//",
    "-//W3C//DTD HTML Experimental 970421//",
    "-//W3C//DTD W3 HTML//",
    "-//W3O//DTD W3 HTML 3.0//",
    "-//WebTechs//DTD Mozilla HTML 2.0//",
    "-//WebTechs//DTD Mozilla HTML//",
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Set-up and the main loop.

TreeConstruction::TreeConstruction(std::string_view normalised_text, const ParseOptions& options)
    : text_(normalised_text), tokenizer_(normalised_text), options_(options) {
  open_.reserve(64);
}

TreeConstruction::~TreeConstruction() = default;

void TreeConstruction::RunDocument(dom::DocumentNode* document, DocumentInfo* info) {
  document_ = document;
  Run();
  if (info) *info = info_;
}

std::vector<NodePtr> TreeConstruction::RunFragment(std::string_view context_name, Namespace ns,
                                                   const Element* form) {
  fragment_ = true;
  std::string name(context_name);
  std::string lower = name;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  Tag tag = LookupTag(lower);
  context_ = TreeBuilder::NewElement(name, ns, static_cast<std::uint16_t>(tag), {});
  fragment_root_ =
      TreeBuilder::NewElement("html", Namespace::kHtml, static_cast<std::uint16_t>(html_), {});
  Push(fragment_root_.get());
  if (ns == Namespace::kHtml) {
    switch (tag) {
      case title_:
      case textarea_:
        tokenizer_.SetState(Tokenizer::State::kRcdata);
        break;
      case style_:
      case xmp_:
      case iframe_:
      case noembed_:
      case noframes_:
        tokenizer_.SetState(Tokenizer::State::kRawtext);
        break;
      case script_:
        tokenizer_.SetState(Tokenizer::State::kScriptData);
        break;
      case plaintext_:
        tokenizer_.SetState(Tokenizer::State::kPlaintext);
        break;
      default:
        break;
    }
    if (tag == template_) template_modes_.push_back(M::kInTemplate);
  }
  ResetInsertionMode();
  // The form pointer only matters for FORM elements the fragment opens; keep a stand-in.
  ElementPtr form_stand_in;
  if (form) {
    form_stand_in =
        TreeBuilder::NewElement("form", Namespace::kHtml, static_cast<std::uint16_t>(form_), {});
    form_element_ = form_stand_in.get();
  }
  Run();
  std::vector<NodePtr> nodes;
  nodes.reserve(fragment_root_->children().size());
  while (!fragment_root_->children().empty()) {
    nodes.push_back(TreeBuilder::DetachRaw(fragment_root_->children().front().get()));
  }
  return nodes;
}

void TreeConstruction::Run() {
  for (;;) {
    if (!open_.empty()) {
      Element* adjusted = AdjustedCurrent();
      tokenizer_.SetCdataAllowed(adjusted->ns() != Namespace::kHtml);
    }
    Token& t = tokenizer_.Next();
    if (t.kind == K::kCharacters && skip_newline_) {
      skip_newline_ = false;
      if (!t.data.empty() && t.data[0] == '\n') t.data.erase(0, 1);
      if (t.data.empty()) continue;
    }
    skip_newline_ = false;
    Dispatch(t);
    if (t.kind == K::kEof) break;
  }
  // Stop parsing: every element still open is popped.
  while (!open_.empty()) Pop();
  // Template contents go where the document model keeps them.
  for (auto& [templ, holder] : templates_) TreeBuilder::SetTemplateContent(*templ, holder.get());
}

void TreeConstruction::Dispatch(Token& t) {
  if (open_.empty() || t.kind == K::kEof) return ProcessIn(mode_, t);
  Element* node = AdjustedCurrent();
  if (node->ns() == Namespace::kHtml) return ProcessIn(mode_, t);
  if (IsMathMlTextIntegrationPoint(node)) {
    if (t.kind == K::kCharacters) return ProcessIn(mode_, t);
    if (t.kind == K::kStartTag && t.tag != mglyph_ && t.tag != malignmark_) {
      return ProcessIn(mode_, t);
    }
  }
  if (node->ns() == Namespace::kMathMl && TagOf(node) == annotation_xml_ &&
      t.kind == K::kStartTag && t.tag == svg_) {
    return ProcessIn(mode_, t);
  }
  if (IsHtmlIntegrationPoint(node) && (t.kind == K::kStartTag || t.kind == K::kCharacters)) {
    return ProcessIn(mode_, t);
  }
  ProcessForeign(t);
}

void TreeConstruction::ProcessIn(Mode mode, Token& t) {
  if (t.kind == K::kCharacters) return ProcessChars(mode, t.data);
  switch (mode) {
    case M::kInitial:
      return Initial(t);
    case M::kBeforeHtml:
      return BeforeHtml(t);
    case M::kBeforeHead:
      return BeforeHead(t);
    case M::kInHead:
      return InHead(t);
    case M::kInHeadNoscript:
      return InHeadNoscript(t);
    case M::kAfterHead:
      return AfterHead(t);
    case M::kInBody:
      return InBody(t);
    case M::kText:
      return Text(t);
    case M::kInTable:
      return InTable(t);
    case M::kInTableText:
      return InTableText(t);
    case M::kInCaption:
      return InCaption(t);
    case M::kInColumnGroup:
      return InColumnGroup(t);
    case M::kInTableBody:
      return InTableBody(t);
    case M::kInRow:
      return InRow(t);
    case M::kInCell:
      return InCell(t);
    case M::kInTemplate:
      return InTemplate(t);
    case M::kAfterBody:
      return AfterBody(t);
    case M::kInFrameset:
      return InFrameset(t);
    case M::kAfterFrameset:
      return AfterFrameset(t);
    case M::kAfterAfterBody:
      return AfterAfterBody(t);
    case M::kAfterAfterFrameset:
      return AfterAfterFrameset(t);
  }
}

// Characters, a run at a time: white space and other characters are told apart only where the
// mode cares, and the rest of a run is reprocessed when the mode changes part-way.
void TreeConstruction::ProcessChars(Mode mode, std::string_view text) {
  if (text.empty()) return;
  auto fake = [&](Token& t) { ProcessIn(mode_, t); };
  switch (mode) {
    case M::kInitial:
    case M::kBeforeHtml:
    case M::kBeforeHead: {
      std::size_t ws = LeadingSpace(text);
      if (ws == text.size()) return;
      text.remove_prefix(ws);
      Token t;
      if (mode == M::kInitial) {
        info_.mode = DocumentInfo::Mode::kQuirks;
        mode_ = M::kBeforeHtml;
      } else if (mode == M::kBeforeHtml) {
        auto html = TreeBuilder::NewElement("html", Namespace::kHtml,
                                            static_cast<std::uint16_t>(html_), {});
        Element* raw = html.get();
        TreeBuilder::InsertRaw(document_, std::move(html), nullptr);
        Push(raw);
        mode_ = M::kBeforeHead;
      } else {
        head_element_ = InsertHtmlElement(head_, "head");
        mode_ = M::kInHead;
      }
      (void)fake;
      return ProcessChars(mode_, text);
    }
    case M::kInHead:
    case M::kInHeadNoscript:
    case M::kAfterHead: {
      std::size_t ws = LeadingSpace(text);
      if (ws) {
        if (mode == M::kInHeadNoscript) {
          ProcessChars(M::kInHead, text.substr(0, ws));
        } else {
          InsertCharacters(text.substr(0, ws));
        }
      }
      if (ws == text.size()) return;
      text.remove_prefix(ws);
      if (mode == M::kInHead) {
        Pop();
        mode_ = M::kAfterHead;
      } else if (mode == M::kInHeadNoscript) {
        Pop();
        mode_ = M::kInHead;
      } else {
        InsertHtmlElement(body_, "body");
        mode_ = M::kInBody;
      }
      return ProcessChars(mode_, text);
    }
    case M::kInBody:
    case M::kInCaption:
    case M::kInCell:
    case M::kInTemplate: {
      std::string cleaned;
      if (text.find('\0') != std::string_view::npos) {
        cleaned.reserve(text.size());
        for (char c : text) {
          if (c != '\0') cleaned.push_back(c);
        }
        text = cleaned;
        if (text.empty()) return;
      }
      ReconstructFormatting();
      InsertCharacters(text);
      if (frameset_ok_ && !AllSpace(text)) frameset_ok_ = false;
      return;
    }
    case M::kText:
      return InsertCharacters(text);
    case M::kInTable:
    case M::kInTableBody:
    case M::kInRow: {
      Element* cur = Current();
      if (cur->ns() == Namespace::kHtml && (kTableParts[TagOf(cur)] || TagOf(cur) == template_)) {
        pending_table_text_.clear();
        pending_table_text_dirty_ = false;
        original_mode_ = mode_;
        mode_ = M::kInTableText;
        return ProcessChars(M::kInTableText, text);
      }
      foster_parenting_ = true;
      ProcessChars(M::kInBody, text);
      foster_parenting_ = false;
      return;
    }
    case M::kInTableText: {
      for (char c : text) {
        if (c == '\0') continue;
        if (!IsSpaceChar(c)) pending_table_text_dirty_ = true;
        pending_table_text_.push_back(c);
      }
      return;
    }
    case M::kInColumnGroup: {
      std::size_t ws = LeadingSpace(text);
      if (ws) InsertCharacters(text.substr(0, ws));
      if (ws == text.size()) return;
      text.remove_prefix(ws);
      if (!CurrentIs(colgroup_)) return;  // ignored
      Pop();
      mode_ = M::kInTable;
      return ProcessChars(mode_, text);
    }
    case M::kAfterBody:
    case M::kAfterAfterBody: {
      std::size_t ws = LeadingSpace(text);
      if (ws) ProcessChars(M::kInBody, text.substr(0, ws));
      if (ws == text.size()) return;
      text.remove_prefix(ws);
      mode_ = M::kInBody;
      return ProcessChars(mode_, text);
    }
    case M::kInFrameset:
    case M::kAfterFrameset:
    case M::kAfterAfterFrameset: {
      // Only white space is kept.
      std::string spaces;
      for (char c : text) {
        if (IsSpaceChar(c)) spaces.push_back(c);
      }
      if (spaces.empty()) return;
      if (mode == M::kAfterAfterFrameset) return ProcessChars(M::kInBody, spaces);
      return InsertCharacters(spaces);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Elements and the stack.

Tag TreeConstruction::TagOf(const Element* e) {
  return static_cast<Tag>(TreeBuilder::TagNumber(*e));
}

bool TreeConstruction::IsHtml(const Element* e, Tag tag) {
  return e->ns() == Namespace::kHtml && TagOf(e) == tag;
}

bool TreeConstruction::IsSpecial(const Element* e) {
  Tag t = TagOf(e);
  switch (e->ns()) {
    case Namespace::kHtml:
      return kSpecialHtml[t];
    case Namespace::kMathMl:
      return t == mi_ || t == mo_ || t == mn_ || t == ms_ || t == mtext_ || t == annotation_xml_;
    case Namespace::kSvg:
      return t == foreignobject_ || t == desc_ || t == title_;
  }
  return false;
}

bool TreeConstruction::IsMathMlTextIntegrationPoint(const Element* e) {
  if (e->ns() != Namespace::kMathMl) return false;
  Tag t = TagOf(e);
  return t == mi_ || t == mo_ || t == mn_ || t == ms_ || t == mtext_;
}

bool TreeConstruction::IsHtmlIntegrationPoint(const Element* e) {
  Tag t = TagOf(e);
  if (e->ns() == Namespace::kSvg) return t == foreignobject_ || t == desc_ || t == title_;
  if (e->ns() == Namespace::kMathMl && t == annotation_xml_) {
    for (const auto& a : e->attributes()) {
      if (a.name == "encoding") {
        return EqualsIgnoreCaseAscii(a.value, "text/html") ||
               EqualsIgnoreCaseAscii(a.value, "application/xhtml+xml");
      }
    }
  }
  return false;
}

Element* TreeConstruction::AdjustedCurrent() const {
  if (fragment_ && open_.size() == 1) return context_.get();
  return open_.back();
}

void TreeConstruction::Push(Element* e) {
  open_.push_back(e);
  if (e->ns() == Namespace::kHtml) {
    Tag t = TagOf(e);
    ++counts_[static_cast<std::size_t>(t)];
    if (kFormatting[t]) open_formatting_.insert(e);
  }
}

void TreeConstruction::RemoveFromStack(std::size_t index) {
  Element* e = open_[index];
  open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(index));
  if (e->ns() == Namespace::kHtml) {
    Tag t = TagOf(e);
    --counts_[static_cast<std::size_t>(t)];
    if (kFormatting[t]) open_formatting_.erase(e);
    if (t == option_ && selectedcontent_seen_) MaybeCloneOption(e);
  }
}

// A SELECT's SELECTEDCONTENT element shows a copy of the selected option: the first option,
// or the last one marked `selected`.
void TreeConstruction::MaybeCloneOption(Element* option) {
  Element* select = nullptr;
  for (Node* n = option->parent(); n; n = n->parent()) {
    Element* e = dom::AsElement(n);
    if (e && IsHtml(e, select_)) {
      select = e;
      break;
    }
  }
  if (!select || select->hasAttribute("multiple")) return;
  Element* shown = nullptr;
  dom::WalkTree(
      *select,
      [&](const Node& n) {
        if (shown) return false;
        const Element* e = dom::AsElement(&n);
        if (e && e->ns() == Namespace::kHtml && e->localName() == "selectedcontent") {
          shown = const_cast<Element*>(e);
          return false;
        }
        return true;
      },
      [](const Node&) {});
  if (!shown) return;
  for (Node* n = option->parent(); n; n = n->parent()) {
    if (n == shown) return;  // an option inside the copy would copy itself
  }
  bool marked = option->hasAttribute("selected");
  int& state = select_state_[select];  // 0: nothing shown, 1: first option, 2: a marked one
  if (!marked && state != 0) return;
  state = marked ? 2 : 1;
  // What the copy replaces may still be on the stack: keep it alive until the parse ends.
  while (!shown->children().empty()) {
    detached_.push_back(TreeBuilder::DetachRaw(shown->children().back().get()));
  }
  for (const auto& child : option->children()) {
    TreeBuilder::InsertRaw(shown, dom::CloneNode(*child), nullptr);
  }
}

void TreeConstruction::ReplaceOnStack(std::size_t index, Element* e) {
  if (Element* old = open_[index]; old && old->ns() == Namespace::kHtml) {
    Tag t = TagOf(old);
    --counts_[static_cast<std::size_t>(t)];
    if (kFormatting[t]) open_formatting_.erase(old);
  }
  open_[index] = e;
  if (e->ns() == Namespace::kHtml) {
    Tag t = TagOf(e);
    ++counts_[static_cast<std::size_t>(t)];
    if (kFormatting[t]) open_formatting_.insert(e);
  }
}

void TreeConstruction::Pop() {
  RemoveFromStack(open_.size() - 1);
}

void TreeConstruction::PopUntil(Tag tag) {
  while (!open_.empty()) {
    bool done = CurrentIs(tag);
    Pop();
    if (done) return;
  }
}

void TreeConstruction::PopUntilOneOf(std::initializer_list<Tag> tags) {
  while (!open_.empty()) {
    Element* cur = Current();
    bool done = cur->ns() == Namespace::kHtml &&
                std::find(tags.begin(), tags.end(), TagOf(cur)) != tags.end();
    Pop();
    if (done) return;
  }
}

int TreeConstruction::StackIndexOf(const Element* e) const {
  for (std::size_t i = open_.size(); i-- > 0;) {
    if (open_[i] == e) return static_cast<int>(i);
  }
  return -1;
}

namespace {
bool IsScopeBoundary(const Element* e, Tag tag_of_e, int scope) {
  switch (e->ns()) {
    case Namespace::kHtml:
      if (scope == 3) return tag_of_e == html_ || tag_of_e == table_ || tag_of_e == template_;
      if (kDefaultScopeHtml[tag_of_e]) return true;
      if (scope == 1) return tag_of_e == ol_ || tag_of_e == ul_;
      if (scope == 2) return tag_of_e == button_;
      return false;
    case Namespace::kMathMl:
      if (scope == 3) return false;
      return tag_of_e == mi_ || tag_of_e == mo_ || tag_of_e == mn_ || tag_of_e == ms_ ||
             tag_of_e == mtext_ || tag_of_e == annotation_xml_;
    case Namespace::kSvg:
      if (scope == 3) return false;
      return tag_of_e == foreignobject_ || tag_of_e == desc_ || tag_of_e == title_;
  }
  return false;
}
}  // namespace

bool TreeConstruction::InScope(Tag tag, Scope scope) const {
  if (!OnStack(tag)) return false;
  for (std::size_t i = open_.size(); i-- > 0;) {
    const Element* e = open_[i];
    Tag t = TagOf(e);
    if (e->ns() == Namespace::kHtml && t == tag) return true;
    if (IsScopeBoundary(e, t, static_cast<int>(scope))) return false;
  }
  return false;
}

bool TreeConstruction::ElementInScope(const Element* target) const {
  for (std::size_t i = open_.size(); i-- > 0;) {
    const Element* e = open_[i];
    if (e == target) return true;
    if (IsScopeBoundary(e, TagOf(e), 0)) return false;
  }
  return false;
}

bool TreeConstruction::HeadingInScope() const {
  if (!OnStack(h1_) && !OnStack(h2_) && !OnStack(h3_) && !OnStack(h4_) && !OnStack(h5_) &&
      !OnStack(h6_)) {
    return false;
  }
  for (std::size_t i = open_.size(); i-- > 0;) {
    const Element* e = open_[i];
    Tag t = TagOf(e);
    if (e->ns() == Namespace::kHtml && kHeadings[t]) return true;
    if (IsScopeBoundary(e, t, 0)) return false;
  }
  return false;
}

void TreeConstruction::GenerateImpliedEndTags(Tag except) {
  while (!open_.empty()) {
    Element* cur = Current();
    if (cur->ns() != Namespace::kHtml) return;
    Tag t = TagOf(cur);
    if (!kImpliedEnd[t] || t == except) return;
    Pop();
  }
}

void TreeConstruction::GenerateAllImpliedEndTagsThoroughly() {
  while (!open_.empty()) {
    Element* cur = Current();
    if (cur->ns() != Namespace::kHtml || !kImpliedEndThorough[TagOf(cur)]) return;
    Pop();
  }
}

void TreeConstruction::ClosePElement() {
  GenerateImpliedEndTags(p_);
  PopUntil(p_);
}

void TreeConstruction::ClearStackBackTo(std::initializer_list<Tag> tags) {
  while (open_.size() > 1) {
    Element* cur = Current();
    if (cur->ns() == Namespace::kHtml &&
        std::find(tags.begin(), tags.end(), TagOf(cur)) != tags.end()) {
      return;
    }
    Pop();
  }
}

void TreeConstruction::CloseCell() {
  GenerateImpliedEndTags();
  PopUntilOneOf({td_, th_});
  ClearFormattingToMarker();
  mode_ = M::kInRow;
}

void TreeConstruction::ResetInsertionMode() {
  for (std::size_t i = open_.size(); i-- > 0;) {
    Element* node = open_[i];
    bool last = i == 0;
    if (last && fragment_) node = context_.get();
    if (node->ns() == Namespace::kHtml) {
      switch (TagOf(node)) {
        case td_:
        case th_:
          if (!last) {
            mode_ = M::kInCell;
            return;
          }
          break;
        case tr_:
          mode_ = M::kInRow;
          return;
        case tbody_:
        case thead_:
        case tfoot_:
          mode_ = M::kInTableBody;
          return;
        case caption_:
          mode_ = M::kInCaption;
          return;
        case colgroup_:
          mode_ = M::kInColumnGroup;
          return;
        case table_:
          mode_ = M::kInTable;
          return;
        case template_:
          mode_ = template_modes_.empty() ? M::kInBody : template_modes_.back();
          return;
        case head_:
          if (!last) {
            mode_ = M::kInHead;
            return;
          }
          break;
        case body_:
          mode_ = M::kInBody;
          return;
        case frameset_:
          mode_ = M::kInFrameset;
          return;
        case html_:
          mode_ = head_element_ ? M::kAfterHead : M::kBeforeHead;
          return;
        default:
          break;
      }
    }
    if (last) {
      mode_ = M::kInBody;
      return;
    }
  }
  mode_ = M::kInBody;
}

// ---------------------------------------------------------------------------------------------
// Creating and inserting nodes.

Node* TreeConstruction::ContentOf(Element* templ) {
  auto it = content_of_.find(templ);
  if (it != content_of_.end()) return it->second;
  auto holder = TreeBuilder::NewElement("#content", Namespace::kHtml, 0, {});
  Node* raw = holder.get();
  templates_.emplace_back(templ, std::move(holder));
  content_of_.emplace(templ, raw);
  return raw;
}

TreeConstruction::Place TreeConstruction::AppropriatePlace(Element* override_target) {
  Element* target = override_target ? override_target : Current();
  Place place{target, nullptr};
  if (foster_parenting_ && target->ns() == Namespace::kHtml && kTableParts[TagOf(target)]) {
    int last_template = -1, last_table = -1;
    for (std::size_t i = open_.size(); i-- > 0;) {
      if (last_template < 0 && IsHtml(open_[i], template_)) last_template = static_cast<int>(i);
      if (last_table < 0 && IsHtml(open_[i], table_)) last_table = static_cast<int>(i);
      if (last_table >= 0 && (last_template >= 0 || !OnStack(template_))) break;
    }
    if (last_template >= 0 && (last_table < 0 || last_template > last_table)) {
      return {ContentOf(open_[static_cast<std::size_t>(last_template)]), nullptr};
    }
    if (last_table < 0) return {open_[0], nullptr};
    Element* table = open_[static_cast<std::size_t>(last_table)];
    if (table->parent()) return {table->parent(), table};
    place = {open_[static_cast<std::size_t>(last_table) - 1], nullptr};
  } else if (open_.size() >= options_.max_tree_depth && target->parent() &&
             target->parent()->IsElement()) {
    // At the depth browsers allow (kMaxTreeDepth elements), content goes beside the current node.
    place.parent = target->parent();
  }
  if (Element* e = dom::AsElement(place.parent); e && IsHtml(e, template_)) {
    return {ContentOf(e), nullptr};
  }
  return place;
}

ElementPtr TreeConstruction::CreateElement(Token& t, Namespace ns) {
  return TreeBuilder::NewElement(std::move(t.name), ns, static_cast<std::uint16_t>(t.tag),
                                 std::move(t.attrs));
}

Element* TreeConstruction::InsertAt(const Place& place, ElementPtr e) {
  Element* raw = e.get();
  if (!selectedcontent_seen_ && raw->localName().size() == 15 &&
      raw->localName() == "selectedcontent") {
    selectedcontent_seen_ = true;
  }
  TreeBuilder::InsertRaw(place.parent, std::move(e), place.before);
  Push(raw);
  return raw;
}

Element* TreeConstruction::InsertHtmlElement(Token& t) {
  Place place = AppropriatePlace();
  return InsertAt(place, CreateElement(t, Namespace::kHtml));
}

Element* TreeConstruction::InsertHtmlElement(Tag tag, std::string_view name) {
  Place place = AppropriatePlace();
  return InsertAt(place, TreeBuilder::NewElement(std::string(name), Namespace::kHtml,
                                                 static_cast<std::uint16_t>(tag), {}));
}

Element* TreeConstruction::InsertForeignElement(Token& t, Namespace ns) {
  Place place = AppropriatePlace();
  return InsertAt(place, CreateElement(t, ns));
}

void TreeConstruction::InsertCharacters(std::string_view text) {
  Place place = AppropriatePlace();
  if (place.parent->type() == dom::NodeType::kDocument) return;
  const auto& kids = place.parent->children();
  Node* previous = nullptr;
  if (!place.before) {
    if (!kids.empty()) previous = kids.back().get();
  } else {
    for (std::size_t i = kids.size(); i-- > 0;) {
      if (kids[i].get() == place.before) {
        if (i > 0) previous = kids[i - 1].get();
        break;
      }
    }
  }
  if (previous && previous->type() == dom::NodeType::kText) {
    TreeBuilder::MutableData(*previous).append(text);
    return;
  }
  TreeBuilder::InsertRaw(place.parent, Node::MakeText(std::string(text)), place.before);
}

void TreeConstruction::InsertComment(std::string text, Node* parent) {
  Place place = parent ? Place{parent, nullptr} : AppropriatePlace();
  TreeBuilder::InsertRaw(place.parent, Node::MakeComment(std::move(text)), place.before);
}

void TreeConstruction::GenericTextElement(Token& t, Tokenizer::State state) {
  InsertHtmlElement(t);
  tokenizer_.SetState(state);
  original_mode_ = mode_;
  mode_ = M::kText;
}

void TreeConstruction::AddMissingAttributes(Element* e, std::vector<dom::Attribute>& attrs) {
  auto& have = TreeBuilder::MutableAttributes(*e);
  std::unordered_set<std::string> names;
  for (const auto& a : have) names.insert(a.name);
  for (auto& a : attrs) {
    if (names.insert(a.name).second) have.push_back(std::move(a));
  }
}

// ---------------------------------------------------------------------------------------------
// Active formatting elements.

int TreeConstruction::FormattingIndexOf(const Element* e) const {
  for (std::size_t i = afe_.size(); i-- > 0;) {
    if (afe_[i] == e) return static_cast<int>(i);
  }
  return -1;
}

void TreeConstruction::PushFormatting(Element* e) {
  // At most three equal elements after the last marker: the earliest goes.
  int equal = 0;
  std::size_t earliest = 0;
  const auto& attrs = e->attributes();
  for (std::size_t i = afe_.size(); i-- > 0;) {
    const Element* other = afe_[i];
    if (!other) break;
    if (TagOf(other) != TagOf(e) || other->localName() != e->localName()) continue;
    const auto& oattrs = other->attributes();
    if (oattrs.size() != attrs.size()) continue;
    bool same = true;
    for (const auto& a : attrs) {
      auto it = std::find_if(oattrs.begin(), oattrs.end(),
                             [&](const dom::Attribute& b) { return b.name == a.name; });
      if (it == oattrs.end() || it->value != a.value) {
        same = false;
        break;
      }
    }
    if (!same) continue;
    ++equal;
    earliest = i;
  }
  if (equal >= 3) afe_.erase(afe_.begin() + static_cast<std::ptrdiff_t>(earliest));
  afe_.push_back(e);
}

void TreeConstruction::ClearFormattingToMarker() {
  while (!afe_.empty()) {
    Element* e = afe_.back();
    afe_.pop_back();
    if (!e) return;
  }
}

void TreeConstruction::ReconstructFormatting() {
  if (afe_.empty()) return;
  auto open = [&](const Element* e) { return !e || open_formatting_.count(e) != 0; };
  if (open(afe_.back())) return;
  std::size_t i = afe_.size() - 1;
  while (i > 0) {
    if (open(afe_[i - 1])) break;
    --i;
  }
  for (; i < afe_.size(); ++i) {
    Element* old = afe_[i];
    auto copy = TreeBuilder::NewElement(old->localName(), Namespace::kHtml,
                                        TreeBuilder::TagNumber(*old), old->attributes());
    afe_[i] = InsertAt(AppropriatePlace(), std::move(copy));
  }
}

bool TreeConstruction::AdoptionAgency(Token& t) {
  const Tag subject = t.tag;
  if (CurrentIs(subject) && Current()->localName() == t.name && FormattingIndexOf(Current()) < 0) {
    Pop();
    return true;
  }
  for (int outer = 0; outer < 8; ++outer) {
    int fi = -1;
    for (std::size_t i = afe_.size(); i-- > 0;) {
      if (!afe_[i]) break;
      if (IsHtml(afe_[i], subject)) {
        fi = static_cast<int>(i);
        break;
      }
    }
    if (fi < 0) return false;
    Element* formatting = afe_[static_cast<std::size_t>(fi)];
    int si = StackIndexOf(formatting);
    if (si < 0) {
      afe_.erase(afe_.begin() + fi);
      return true;
    }
    if (!ElementInScope(formatting)) return true;
    int fb = -1;
    for (std::size_t i = static_cast<std::size_t>(si) + 1; i < open_.size(); ++i) {
      if (IsSpecial(open_[i])) {
        fb = static_cast<int>(i);
        break;
      }
    }
    if (fb < 0) {
      while (open_.size() > static_cast<std::size_t>(si)) Pop();
      afe_.erase(afe_.begin() + fi);
      return true;
    }
    Element* furthest = open_[static_cast<std::size_t>(fb)];
    Element* common = open_[static_cast<std::size_t>(si) - 1];
    std::size_t bookmark = static_cast<std::size_t>(fi);
    Element* last = furthest;
    int ni = fb;
    std::vector<NodePtr> keep;  // new elements not yet in the tree
    for (int inner = 1;; ++inner) {
      --ni;
      Element* node = open_[static_cast<std::size_t>(ni)];
      if (node == formatting) break;
      int ai = FormattingIndexOf(node);
      if (inner > 3 && ai >= 0) {
        afe_.erase(afe_.begin() + ai);
        if (static_cast<std::size_t>(ai) < bookmark) --bookmark;
        ai = -1;
      }
      if (ai < 0) {
        RemoveFromStack(static_cast<std::size_t>(ni));
        continue;
      }
      auto copy = TreeBuilder::NewElement(node->localName(), Namespace::kHtml,
                                          TreeBuilder::TagNumber(*node), node->attributes());
      Element* fresh = copy.get();
      keep.push_back(std::move(copy));
      afe_[static_cast<std::size_t>(ai)] = fresh;
      ReplaceOnStack(static_cast<std::size_t>(ni), fresh);
      if (last == furthest) bookmark = static_cast<std::size_t>(ai) + 1;
      TreeBuilder::InsertRaw(fresh, TreeBuilder::DetachRaw(last), nullptr);
      last = fresh;
    }
    {
      NodePtr moving = TreeBuilder::DetachRaw(last);
      Place place = AppropriatePlace(common);
      TreeBuilder::InsertRaw(place.parent, std::move(moving), place.before);
    }
    auto copy =
        TreeBuilder::NewElement(formatting->localName(), Namespace::kHtml,
                                TreeBuilder::TagNumber(*formatting), formatting->attributes());
    Element* fresh = copy.get();
    TreeBuilder::MoveChildrenRaw(furthest, fresh);
    TreeBuilder::InsertRaw(furthest, std::move(copy), nullptr);
    // The list: the old entry goes, the new one takes the bookmark.
    int old_index = FormattingIndexOf(formatting);
    afe_.insert(afe_.begin() + static_cast<std::ptrdiff_t>(bookmark), fresh);
    if (old_index >= 0) {
      std::size_t at = static_cast<std::size_t>(old_index);
      if (at >= bookmark) ++at;
      afe_.erase(afe_.begin() + static_cast<std::ptrdiff_t>(at));
    }
    // The stack: the old element goes, the new one sits just below the furthest block.
    RemoveFromStack(static_cast<std::size_t>(StackIndexOf(formatting)));
    int fbi = StackIndexOf(furthest);
    open_.insert(open_.begin() + fbi + 1, nullptr);
    ReplaceOnStack(static_cast<std::size_t>(fbi) + 1, fresh);
  }
  return true;
}

void TreeConstruction::AnyOtherEndTag(Token& t) {
  for (std::size_t i = open_.size(); i-- > 0;) {
    Element* node = open_[i];
    if (node->ns() == Namespace::kHtml && node->localName() == t.name) {
      GenerateImpliedEndTags(t.tag == kUnknown ? Tag::kCount : t.tag);
      while (open_.size() > i) Pop();
      return;
    }
    if (IsSpecial(node)) return;  // ignored
  }
}

// ---------------------------------------------------------------------------------------------
// Doctype.

void TreeConstruction::SetQuirksFromDoctype(const Token& t) {
  const std::string& pub = t.public_id;
  const std::string& sys = t.system_id;
  auto quirks = [&] {
    if (t.force_quirks || t.name != "html") return true;
    if (t.has_public) {
      if (EqualsIgnoreCaseAscii(pub, "-//W3O//DTD W3 HTML Strict 3.0//EN//") ||
          EqualsIgnoreCaseAscii(pub, "-/W3C/DTD HTML 4.0 Transitional/EN") ||
          EqualsIgnoreCaseAscii(pub, "HTML")) {
        return true;
      }
      for (std::string_view prefix : kQuirkyPublicPrefixes) {
        if (StartsWithIgnoreCase(pub, prefix)) return true;
      }
      if (!t.has_system && (StartsWithIgnoreCase(pub, "-//W3C//DTD HTML 4.01 Frameset//") ||
                            StartsWithIgnoreCase(pub, "-//W3C//DTD HTML 4.01 Transitional//"))) {
        return true;
      }
    }
    return t.has_system &&
           EqualsIgnoreCaseAscii(sys, "http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd");
  };
  if (quirks()) {
    info_.mode = DocumentInfo::Mode::kQuirks;
  } else if (t.has_public &&
             (StartsWithIgnoreCase(pub, "-//W3C//DTD XHTML 1.0 Frameset//") ||
              StartsWithIgnoreCase(pub, "-//W3C//DTD XHTML 1.0 Transitional//") ||
              (t.has_system &&
               (StartsWithIgnoreCase(pub, "-//W3C//DTD HTML 4.01 Frameset//") ||
                StartsWithIgnoreCase(pub, "-//W3C//DTD HTML 4.01 Transitional//"))))) {
    info_.mode = DocumentInfo::Mode::kLimitedQuirks;
  }
}

}  // namespace vt::html
