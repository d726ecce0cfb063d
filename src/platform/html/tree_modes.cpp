// The insertion modes of tree construction, one function each (characters are handled in
// TreeConstruction::ProcessChars).
#include <algorithm>
#include <iterator>

#include "platform/html/foreign.h"
#include "platform/html/tree_construction.h"

namespace vt::html {

using dom::Element;
using dom::Namespace;
using dom::Node;
using dom::TreeBuilder;
using K = Token::Kind;
using M = TreeConstruction::Mode;
using S = Tokenizer::State;
using enum Tag;

namespace {

bool IsStart(const Token& t, Tag tag) {
  return t.kind == K::kStartTag && t.tag == tag;
}
bool IsEnd(const Token& t, Tag tag) {
  return t.kind == K::kEndTag && t.tag == tag;
}
bool OneOf(Tag tag, std::initializer_list<Tag> tags) {
  return std::find(tags.begin(), tags.end(), tag) != tags.end();
}
bool IsStartOf(const Token& t, std::initializer_list<Tag> tags) {
  return t.kind == K::kStartTag && OneOf(t.tag, tags);
}
bool IsEndOf(const Token& t, std::initializer_list<Tag> tags) {
  return t.kind == K::kEndTag && OneOf(t.tag, tags);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

Token FakeStartTag(Tag tag, std::string name) {
  Token t;
  t.kind = K::kStartTag;
  t.tag = tag;
  t.name = std::move(name);
  return t;
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

}  // namespace

void TreeConstruction::Initial(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data), document_);
    case K::kDoctype: {
      SetQuirksFromDoctype(t);
      info_.has_doctype = true;
      info_.doctype_has_public = t.has_public;
      info_.doctype_has_system = t.has_system;
      info_.doctype_public_id = t.public_id;
      info_.doctype_system_id = t.system_id;
      TreeBuilder::InsertRaw(document_, TreeBuilder::MakeDoctype(t.name), nullptr);
      mode_ = M::kBeforeHtml;
      return;
    }
    default:
      info_.mode = DocumentInfo::Mode::kQuirks;
      mode_ = M::kBeforeHtml;
      return ProcessIn(mode_, t);
  }
}

void TreeConstruction::BeforeHtml(Token& t) {
  if (t.kind == K::kDoctype) return;
  if (t.kind == K::kComment) return InsertComment(std::move(t.data), document_);
  if (IsStart(t, html_)) {
    auto e = CreateElement(t, Namespace::kHtml);
    Element* raw = e.get();
    TreeBuilder::InsertRaw(document_, std::move(e), nullptr);
    Push(raw);
    mode_ = M::kBeforeHead;
    return;
  }
  if (t.kind == K::kEndTag && !OneOf(t.tag, {head_, body_, html_, br_})) return;
  auto e = TreeBuilder::NewElement("html", Namespace::kHtml, static_cast<std::uint16_t>(html_), {});
  Element* raw = e.get();
  TreeBuilder::InsertRaw(document_, std::move(e), nullptr);
  Push(raw);
  mode_ = M::kBeforeHead;
  ProcessIn(mode_, t);
}

void TreeConstruction::BeforeHead(Token& t) {
  if (t.kind == K::kComment) return InsertComment(std::move(t.data));
  if (t.kind == K::kDoctype) return;
  if (IsStart(t, html_)) return InBody(t);
  if (IsStart(t, head_)) {
    head_element_ = InsertHtmlElement(t);
    mode_ = M::kInHead;
    return;
  }
  if (t.kind == K::kEndTag && !OneOf(t.tag, {head_, body_, html_, br_})) return;
  head_element_ = InsertHtmlElement(head_, "head");
  mode_ = M::kInHead;
  ProcessIn(mode_, t);
}

void TreeConstruction::InHead(Token& t) {
  if (t.kind == K::kComment) return InsertComment(std::move(t.data));
  if (t.kind == K::kDoctype) return;
  if (t.kind == K::kStartTag) {
    switch (t.tag) {
      case html_:
        return InBody(t);
      case base_:
      case basefont_:
      case bgsound_:
      case link_:
      case meta_:
        InsertHtmlElement(t);
        Pop();
        return;
      case title_:
        return GenericTextElement(t, S::kRcdata);
      case noscript_:
        InsertHtmlElement(t);
        mode_ = M::kInHeadNoscript;
        return;
      case noframes_:
      case style_:
        return GenericTextElement(t, S::kRawtext);
      case script_:
        return GenericTextElement(t, S::kScriptData);
      case template_:
        if (!AttachDeclarativeShadowRoot(t)) InsertHtmlElement(t);
        InsertMarker();
        frameset_ok_ = false;
        mode_ = M::kInTemplate;
        template_modes_.push_back(M::kInTemplate);
        return;
      case head_:
        return;
      default:
        break;
    }
  } else if (t.kind == K::kEndTag) {
    switch (t.tag) {
      case head_:
        Pop();
        mode_ = M::kAfterHead;
        return;
      case body_:
      case html_:
      case br_:
        break;
      case template_:
        if (!OnStack(template_)) return;
        GenerateAllImpliedEndTagsThoroughly();
        PopUntil(template_);
        ClearFormattingToMarker();
        if (!template_modes_.empty()) template_modes_.pop_back();
        ResetInsertionMode();
        return;
      default:
        return;
    }
  }
  Pop();
  mode_ = M::kAfterHead;
  ProcessIn(mode_, t);
}

// A template that declares a shadow root for the element it is in goes on the stack but not in
// the tree: its content is the host's shadow tree.
bool TreeConstruction::AttachDeclarativeShadowRoot(Token& t) {
  if (!options_.declarative_shadow_roots) return false;
  const std::string* mode = t.Attr("shadowrootmode");
  if (!mode || !(EqualsIgnoreCase(*mode, "open") || EqualsIgnoreCase(*mode, "closed"))) {
    return false;
  }
  Element* host = AdjustedCurrent();
  if (host == open_[0] || host->ns() != Namespace::kHtml) return false;
  const std::string& name = host->localName();
  static constexpr Tag kHosts[] = {article_, aside_, blockquote_, body_, div_,     footer_,
                                   h1_,      h2_,    h3_,         h4_,   h5_,      h6_,
                                   header_,  main_,  nav_,        p_,    section_, span_};
  bool valid = name.find('-') != std::string::npos ||
               std::find(std::begin(kHosts), std::end(kHosts), TagOf(host)) != std::end(kHosts);
  if (!valid || !shadow_hosts_.insert(host).second) return false;
  dom::ElementPtr templ = CreateElement(t, Namespace::kHtml);
  Push(templ.get());
  detached_.push_back(std::move(templ));
  return true;
}

void TreeConstruction::InHeadNoscript(Token& t) {
  if (t.kind == K::kDoctype) return;
  if (IsStart(t, html_)) return InBody(t);
  if (IsEnd(t, noscript_)) {
    Pop();
    mode_ = M::kInHead;
    return;
  }
  if (t.kind == K::kComment ||
      IsStartOf(t, {basefont_, bgsound_, link_, meta_, noframes_, style_})) {
    return InHead(t);
  }
  if (IsStartOf(t, {head_, noscript_})) return;
  if (t.kind == K::kEndTag && t.tag != br_) return;
  Pop();
  mode_ = M::kInHead;
  ProcessIn(mode_, t);
}

void TreeConstruction::AfterHead(Token& t) {
  if (t.kind == K::kComment) return InsertComment(std::move(t.data));
  if (t.kind == K::kDoctype) return;
  if (t.kind == K::kStartTag) {
    switch (t.tag) {
      case html_:
        return InBody(t);
      case body_:
        InsertHtmlElement(t);
        frameset_ok_ = false;
        mode_ = M::kInBody;
        return;
      case frameset_:
        InsertHtmlElement(t);
        mode_ = M::kInFrameset;
        return;
      case base_:
      case basefont_:
      case bgsound_:
      case link_:
      case meta_:
      case noframes_:
      case script_:
      case style_:
      case template_:
      case title_: {
        Element* head = head_element_;
        Push(head);
        InHead(t);
        int at = StackIndexOf(head);
        if (at >= 0) RemoveFromStack(static_cast<std::size_t>(at));
        return;
      }
      case head_:
        return;
      default:
        break;
    }
  } else if (t.kind == K::kEndTag) {
    if (t.tag == template_) return InHead(t);
    if (!OneOf(t.tag, {body_, html_, br_})) return;
  }
  InsertHtmlElement(body_, "body");
  mode_ = M::kInBody;
  ProcessIn(mode_, t);
}

void TreeConstruction::InBody(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data));
    case K::kDoctype:
      return;
    case K::kStartTag:
      return InBodyStart(t);
    case K::kEndTag:
      return InBodyEnd(t);
    case K::kEof:
      if (!template_modes_.empty()) return InTemplate(t);
      return;  // stop parsing
    case K::kCharacters:
      return ProcessChars(M::kInBody, t.data);
  }
}

void TreeConstruction::InBodyStart(Token& t) {
  switch (t.tag) {
    case html_:
      if (OnStack(template_)) return;
      return AddMissingAttributes(open_[0], t.attrs);
    case base_:
    case basefont_:
    case bgsound_:
    case link_:
    case meta_:
    case noframes_:
    case script_:
    case style_:
    case template_:
    case title_:
      return InHead(t);
    case body_:
      if (open_.size() < 2 || !IsHtml(open_[1], body_) || OnStack(template_)) return;
      frameset_ok_ = false;
      return AddMissingAttributes(open_[1], t.attrs);
    case frameset_: {
      if (open_.size() < 2 || !IsHtml(open_[1], body_) || !frameset_ok_) return;
      // The list of formatting elements may still name elements of the body: keep them alive.
      detached_.push_back(TreeBuilder::DetachRaw(open_[1]));
      while (open_.size() > 1) Pop();
      InsertHtmlElement(t);
      mode_ = M::kInFrameset;
      return;
    }
    case address_:
    case article_:
    case aside_:
    case blockquote_:
    case center_:
    case details_:
    case dialog_:
    case dir_:
    case div_:
    case dl_:
    case fieldset_:
    case figcaption_:
    case figure_:
    case footer_:
    case header_:
    case hgroup_:
    case main_:
    case menu_:
    case nav_:
    case ol_:
    case p_:
    case search_:
    case section_:
    case summary_:
    case ul_:
      if (InScope(p_, Scope::kButton)) ClosePElement();
      InsertHtmlElement(t);
      return;
    case h1_:
    case h2_:
    case h3_:
    case h4_:
    case h5_:
    case h6_:
      if (InScope(p_, Scope::kButton)) ClosePElement();
      if (Current()->ns() == Namespace::kHtml &&
          OneOf(TagOf(Current()), {h1_, h2_, h3_, h4_, h5_, h6_})) {
        Pop();
      }
      InsertHtmlElement(t);
      return;
    case pre_:
    case listing_:
      if (InScope(p_, Scope::kButton)) ClosePElement();
      InsertHtmlElement(t);
      skip_newline_ = true;
      frameset_ok_ = false;
      return;
    case form_: {
      if (form_element_ && !OnStack(template_)) return;
      if (InScope(p_, Scope::kButton)) ClosePElement();
      Element* e = InsertHtmlElement(t);
      if (!OnStack(template_)) form_element_ = e;
      return;
    }
    case li_:
    case dd_:
    case dt_: {
      frameset_ok_ = false;
      for (std::size_t i = open_.size(); i-- > 0;) {
        Element* node = open_[i];
        Tag nt = TagOf(node);
        bool match =
            node->ns() == Namespace::kHtml && (t.tag == li_ ? nt == li_ : (nt == dd_ || nt == dt_));
        if (match) {
          GenerateImpliedEndTags(nt);
          PopUntil(nt);
          break;
        }
        if (IsSpecial(node) && !IsHtml(node, address_) && !IsHtml(node, div_) &&
            !IsHtml(node, p_)) {
          break;
        }
      }
      if (InScope(p_, Scope::kButton)) ClosePElement();
      InsertHtmlElement(t);
      return;
    }
    case plaintext_:
      if (InScope(p_, Scope::kButton)) ClosePElement();
      InsertHtmlElement(t);
      tokenizer_.SetState(S::kPlaintext);
      return;
    case button_:
      if (InScope(button_)) {
        GenerateImpliedEndTags();
        PopUntil(button_);
      }
      ReconstructFormatting();
      InsertHtmlElement(t);
      frameset_ok_ = false;
      return;
    case a_: {
      for (std::size_t i = afe_.size(); i-- > 0;) {
        Element* e = afe_[i];
        if (!e) break;
        if (IsHtml(e, a_)) {
          Token end;
          end.kind = K::kEndTag;
          end.tag = a_;
          end.name = "a";
          if (!AdoptionAgency(end)) AnyOtherEndTag(end);
          int fi = FormattingIndexOf(e);
          if (fi >= 0) afe_.erase(afe_.begin() + fi);
          int si = StackIndexOf(e);
          if (si >= 0) RemoveFromStack(static_cast<std::size_t>(si));
          break;
        }
      }
      ReconstructFormatting();
      PushFormatting(InsertHtmlElement(t));
      return;
    }
    case b_:
    case big_:
    case code_:
    case em_:
    case font_:
    case i_:
    case s_:
    case small_:
    case strike_:
    case strong_:
    case tt_:
    case u_:
      ReconstructFormatting();
      PushFormatting(InsertHtmlElement(t));
      return;
    case nobr_:
      ReconstructFormatting();
      if (InScope(nobr_)) {
        Token end;
        end.kind = K::kEndTag;
        end.tag = nobr_;
        end.name = "nobr";
        if (!AdoptionAgency(end)) AnyOtherEndTag(end);
        ReconstructFormatting();
      }
      PushFormatting(InsertHtmlElement(t));
      return;
    case applet_:
    case marquee_:
    case object_:
      ReconstructFormatting();
      InsertHtmlElement(t);
      InsertMarker();
      frameset_ok_ = false;
      return;
    case table_:
      if (info_.mode != DocumentInfo::Mode::kQuirks && InScope(p_, Scope::kButton)) {
        ClosePElement();
      }
      InsertHtmlElement(t);
      frameset_ok_ = false;
      mode_ = M::kInTable;
      return;
    case area_:
    case br_:
    case embed_:
    case img_:
    case keygen_:
    case wbr_:
      ReconstructFormatting();
      InsertHtmlElement(t);
      Pop();
      frameset_ok_ = false;
      return;
    case input_: {
      if (fragment_ && IsHtml(context_.get(), select_)) return;
      if (InScope(select_)) PopUntil(select_);
      ReconstructFormatting();
      const std::string* type = t.Attr("type");
      bool hidden = type && EqualsIgnoreCase(*type, "hidden");
      InsertHtmlElement(t);
      Pop();
      if (!hidden) frameset_ok_ = false;
      return;
    }
    case param_:
    case source_:
    case track_:
      InsertHtmlElement(t);
      Pop();
      return;
    case hr_:
      if (InScope(p_, Scope::kButton)) ClosePElement();
      if (InScope(select_)) GenerateImpliedEndTags();
      InsertHtmlElement(t);
      Pop();
      frameset_ok_ = false;
      return;
    case image_:
      t.tag = img_;
      t.name = "img";
      return InBodyStart(t);
    case textarea_:
      InsertHtmlElement(t);
      skip_newline_ = true;
      tokenizer_.SetState(S::kRcdata);
      original_mode_ = mode_;
      frameset_ok_ = false;
      mode_ = M::kText;
      return;
    case xmp_:
      if (InScope(p_, Scope::kButton)) ClosePElement();
      ReconstructFormatting();
      frameset_ok_ = false;
      return GenericTextElement(t, S::kRawtext);
    case iframe_:
      frameset_ok_ = false;
      return GenericTextElement(t, S::kRawtext);
    case noembed_:
      return GenericTextElement(t, S::kRawtext);
    case select_:
      if (fragment_ && IsHtml(context_.get(), select_)) return;
      if (InScope(select_)) {
        PopUntil(select_);
        return;
      }
      ReconstructFormatting();
      InsertHtmlElement(t);
      frameset_ok_ = false;
      return;
    case option_:
      if (InScope(select_)) {
        GenerateImpliedEndTags(optgroup_);
      } else if (CurrentIs(option_)) {
        Pop();
      }
      ReconstructFormatting();
      InsertHtmlElement(t);
      return;
    case optgroup_:
      if (InScope(select_)) {
        GenerateImpliedEndTags();
      } else if (CurrentIs(option_)) {
        Pop();
      }
      ReconstructFormatting();
      InsertHtmlElement(t);
      return;
    case rb_:
    case rtc_:
      if (InScope(ruby_)) GenerateImpliedEndTags();
      InsertHtmlElement(t);
      return;
    case rp_:
    case rt_:
      if (InScope(ruby_)) GenerateImpliedEndTags(rtc_);
      InsertHtmlElement(t);
      return;
    case math_:
      ReconstructFormatting();
      AdjustMathMlAttributes(t.attrs);
      InsertForeignElement(t, Namespace::kMathMl);
      if (t.self_closing) Pop();
      return;
    case svg_:
      ReconstructFormatting();
      AdjustSvgAttributes(t.attrs);
      InsertForeignElement(t, Namespace::kSvg);
      if (t.self_closing) Pop();
      return;
    case caption_:
    case col_:
    case colgroup_:
    case frame_:
    case head_:
    case tbody_:
    case td_:
    case tfoot_:
    case th_:
    case thead_:
    case tr_:
      return;
    default:
      ReconstructFormatting();
      InsertHtmlElement(t);
      return;
  }
}

void TreeConstruction::InBodyEnd(Token& t) {
  switch (t.tag) {
    case template_:
      return InHead(t);
    case body_:
      if (!InScope(body_)) return;
      mode_ = M::kAfterBody;
      return;
    case html_:
      if (!InScope(body_)) return;
      mode_ = M::kAfterBody;
      return ProcessIn(mode_, t);
    case address_:
    case article_:
    case aside_:
    case blockquote_:
    case button_:
    case center_:
    case details_:
    case dialog_:
    case dir_:
    case div_:
    case dl_:
    case fieldset_:
    case figcaption_:
    case figure_:
    case footer_:
    case header_:
    case hgroup_:
    case listing_:
    case main_:
    case menu_:
    case nav_:
    case ol_:
    case pre_:
    case search_:
    case section_:
    case select_:
    case summary_:
    case ul_:
      if (!InScope(t.tag)) return;
      GenerateImpliedEndTags();
      PopUntil(t.tag);
      return;
    case form_:
      if (!OnStack(template_)) {
        Element* node = form_element_;
        form_element_ = nullptr;
        if (!node || !ElementInScope(node)) return;
        GenerateImpliedEndTags();
        int at = StackIndexOf(node);
        if (at >= 0) RemoveFromStack(static_cast<std::size_t>(at));
      } else {
        if (!InScope(form_)) return;
        GenerateImpliedEndTags();
        PopUntil(form_);
      }
      return;
    case p_:
      if (!InScope(p_, Scope::kButton)) InsertHtmlElement(p_, "p");
      ClosePElement();
      return;
    case li_:
      if (!InScope(li_, Scope::kListItem)) return;
      GenerateImpliedEndTags(li_);
      PopUntil(li_);
      return;
    case dd_:
    case dt_:
      if (!InScope(t.tag)) return;
      GenerateImpliedEndTags(t.tag);
      PopUntil(t.tag);
      return;
    case h1_:
    case h2_:
    case h3_:
    case h4_:
    case h5_:
    case h6_:
      if (!HeadingInScope()) return;
      GenerateImpliedEndTags();
      PopUntilOneOf({h1_, h2_, h3_, h4_, h5_, h6_});
      return;
    case a_:
    case b_:
    case big_:
    case code_:
    case em_:
    case font_:
    case i_:
    case nobr_:
    case s_:
    case small_:
    case strike_:
    case strong_:
    case tt_:
    case u_:
      if (!AdoptionAgency(t)) AnyOtherEndTag(t);
      return;
    case applet_:
    case marquee_:
    case object_:
      if (!InScope(t.tag)) return;
      GenerateImpliedEndTags();
      PopUntil(t.tag);
      ClearFormattingToMarker();
      return;
    case br_: {
      Token start = FakeStartTag(br_, "br");
      return InBodyStart(start);
    }
    default:
      return AnyOtherEndTag(t);
  }
}

void TreeConstruction::Text(Token& t) {
  if (t.kind == K::kEof) {
    Pop();
    mode_ = original_mode_;
    return ProcessIn(mode_, t);
  }
  if (t.kind == K::kEndTag) {
    Pop();
    mode_ = original_mode_;
  }
}

void TreeConstruction::InTable(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data));
    case K::kDoctype:
      return;
    case K::kEof:
      return InBody(t);
    case K::kCharacters:
      return ProcessChars(M::kInTable, t.data);
    case K::kStartTag:
      switch (t.tag) {
        case caption_:
          ClearStackBackTo({table_, template_, html_});
          InsertMarker();
          InsertHtmlElement(t);
          mode_ = M::kInCaption;
          return;
        case colgroup_:
          ClearStackBackTo({table_, template_, html_});
          InsertHtmlElement(t);
          mode_ = M::kInColumnGroup;
          return;
        case col_:
          ClearStackBackTo({table_, template_, html_});
          InsertHtmlElement(colgroup_, "colgroup");
          mode_ = M::kInColumnGroup;
          return ProcessIn(mode_, t);
        case tbody_:
        case tfoot_:
        case thead_:
          ClearStackBackTo({table_, template_, html_});
          InsertHtmlElement(t);
          mode_ = M::kInTableBody;
          return;
        case td_:
        case th_:
        case tr_:
          ClearStackBackTo({table_, template_, html_});
          InsertHtmlElement(tbody_, "tbody");
          mode_ = M::kInTableBody;
          return ProcessIn(mode_, t);
        case table_:
          if (!InScope(table_, Scope::kTable)) return;
          PopUntil(table_);
          ResetInsertionMode();
          return ProcessIn(mode_, t);
        case style_:
        case script_:
        case template_:
          return InHead(t);
        case input_: {
          const std::string* type = t.Attr("type");
          if (!type || !EqualsIgnoreCase(*type, "hidden")) break;
          InsertHtmlElement(t);
          Pop();
          return;
        }
        case form_:
          if (OnStack(template_) || form_element_) return;
          form_element_ = InsertHtmlElement(t);
          Pop();
          return;
        default:
          break;
      }
      break;
    case K::kEndTag:
      switch (t.tag) {
        case table_:
          if (!InScope(table_, Scope::kTable)) return;
          PopUntil(table_);
          ResetInsertionMode();
          return;
        case body_:
        case caption_:
        case col_:
        case colgroup_:
        case html_:
        case tbody_:
        case td_:
        case tfoot_:
        case th_:
        case thead_:
        case tr_:
          return;
        case template_:
          return InHead(t);
        default:
          break;
      }
      break;
  }
  foster_parenting_ = true;
  InBody(t);
  foster_parenting_ = false;
}

void TreeConstruction::InTableText(Token& t) {
  std::string text = std::move(pending_table_text_);
  pending_table_text_.clear();
  mode_ = original_mode_;
  if (pending_table_text_dirty_) {
    foster_parenting_ = true;
    ProcessChars(M::kInBody, text);
    foster_parenting_ = false;
  } else if (!text.empty()) {
    InsertCharacters(text);
  }
  pending_table_text_dirty_ = false;
  ProcessIn(mode_, t);
}

void TreeConstruction::InCaption(Token& t) {
  if (IsEnd(t, caption_) || IsEnd(t, table_) ||
      IsStartOf(t, {caption_, col_, colgroup_, tbody_, td_, tfoot_, th_, thead_, tr_})) {
    if (!InScope(caption_, Scope::kTable)) return;
    GenerateImpliedEndTags();
    PopUntil(caption_);
    ClearFormattingToMarker();
    mode_ = M::kInTable;
    if (!IsEnd(t, caption_)) ProcessIn(mode_, t);
    return;
  }
  if (IsEndOf(t, {body_, col_, colgroup_, html_, tbody_, td_, tfoot_, th_, thead_, tr_})) return;
  InBody(t);
}

void TreeConstruction::InColumnGroup(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data));
    case K::kDoctype:
      return;
    case K::kEof:
      return InBody(t);
    case K::kStartTag:
      if (t.tag == html_) return InBody(t);
      if (t.tag == col_) {
        InsertHtmlElement(t);
        Pop();
        return;
      }
      if (t.tag == template_) return InHead(t);
      break;
    case K::kEndTag:
      if (t.tag == colgroup_) {
        if (!CurrentIs(colgroup_)) return;
        Pop();
        mode_ = M::kInTable;
        return;
      }
      if (t.tag == col_) return;
      if (t.tag == template_) return InHead(t);
      break;
    case K::kCharacters:
      return ProcessChars(M::kInColumnGroup, t.data);
  }
  if (!CurrentIs(colgroup_)) return;
  Pop();
  mode_ = M::kInTable;
  ProcessIn(mode_, t);
}

void TreeConstruction::InTableBody(Token& t) {
  if (IsStart(t, tr_)) {
    ClearStackBackTo({tbody_, tfoot_, thead_, template_, html_});
    InsertHtmlElement(t);
    mode_ = M::kInRow;
    return;
  }
  if (IsStartOf(t, {th_, td_})) {
    ClearStackBackTo({tbody_, tfoot_, thead_, template_, html_});
    InsertHtmlElement(tr_, "tr");
    mode_ = M::kInRow;
    return ProcessIn(mode_, t);
  }
  if (IsEndOf(t, {tbody_, tfoot_, thead_})) {
    if (!InScope(t.tag, Scope::kTable)) return;
    ClearStackBackTo({tbody_, tfoot_, thead_, template_, html_});
    Pop();
    mode_ = M::kInTable;
    return;
  }
  if (IsStartOf(t, {caption_, col_, colgroup_, tbody_, tfoot_, thead_}) || IsEnd(t, table_)) {
    if (!InScope(tbody_, Scope::kTable) && !InScope(thead_, Scope::kTable) &&
        !InScope(tfoot_, Scope::kTable)) {
      return;
    }
    ClearStackBackTo({tbody_, tfoot_, thead_, template_, html_});
    Pop();
    mode_ = M::kInTable;
    return ProcessIn(mode_, t);
  }
  if (IsEndOf(t, {body_, caption_, col_, colgroup_, html_, td_, th_, tr_})) return;
  InTable(t);
}

void TreeConstruction::InRow(Token& t) {
  if (IsStartOf(t, {th_, td_})) {
    ClearStackBackTo({tr_, template_, html_});
    InsertHtmlElement(t);
    mode_ = M::kInCell;
    InsertMarker();
    return;
  }
  if (IsEnd(t, tr_)) {
    if (!InScope(tr_, Scope::kTable)) return;
    ClearStackBackTo({tr_, template_, html_});
    Pop();
    mode_ = M::kInTableBody;
    return;
  }
  if (IsStartOf(t, {caption_, col_, colgroup_, tbody_, tfoot_, thead_, tr_}) || IsEnd(t, table_)) {
    if (!InScope(tr_, Scope::kTable)) return;
    ClearStackBackTo({tr_, template_, html_});
    Pop();
    mode_ = M::kInTableBody;
    return ProcessIn(mode_, t);
  }
  if (IsEndOf(t, {tbody_, tfoot_, thead_})) {
    if (!InScope(t.tag, Scope::kTable)) return;
    if (!InScope(tr_, Scope::kTable)) return;
    ClearStackBackTo({tr_, template_, html_});
    Pop();
    mode_ = M::kInTableBody;
    return ProcessIn(mode_, t);
  }
  if (IsEndOf(t, {body_, caption_, col_, colgroup_, html_, td_, th_})) return;
  InTable(t);
}

void TreeConstruction::InCell(Token& t) {
  if (IsEndOf(t, {td_, th_})) {
    if (!InScope(t.tag, Scope::kTable)) return;
    GenerateImpliedEndTags();
    PopUntil(t.tag);
    ClearFormattingToMarker();
    mode_ = M::kInRow;
    return;
  }
  if (IsStartOf(t, {caption_, col_, colgroup_, tbody_, td_, tfoot_, th_, thead_, tr_})) {
    if (!InScope(td_, Scope::kTable) && !InScope(th_, Scope::kTable)) return;
    CloseCell();
    return ProcessIn(mode_, t);
  }
  if (IsEndOf(t, {body_, caption_, col_, colgroup_, html_})) return;
  if (IsEndOf(t, {table_, tbody_, tfoot_, thead_, tr_})) {
    if (!InScope(t.tag, Scope::kTable)) return;
    CloseCell();
    return ProcessIn(mode_, t);
  }
  InBody(t);
}

void TreeConstruction::InTemplate(Token& t) {
  switch (t.kind) {
    case K::kCharacters:
    case K::kComment:
    case K::kDoctype:
      return InBody(t);
    case K::kStartTag: {
      switch (t.tag) {
        case base_:
        case basefont_:
        case bgsound_:
        case link_:
        case meta_:
        case noframes_:
        case script_:
        case style_:
        case template_:
        case title_:
          return InHead(t);
        default:
          break;
      }
      Mode next = M::kInBody;
      if (OneOf(t.tag, {caption_, colgroup_, tbody_, tfoot_, thead_})) next = M::kInTable;
      if (t.tag == col_) next = M::kInColumnGroup;
      if (t.tag == tr_) next = M::kInTableBody;
      if (t.tag == td_ || t.tag == th_) next = M::kInRow;
      if (!template_modes_.empty()) template_modes_.pop_back();
      template_modes_.push_back(next);
      mode_ = next;
      return ProcessIn(mode_, t);
    }
    case K::kEndTag:
      if (t.tag == template_) return InHead(t);
      return;
    case K::kEof:
      if (!OnStack(template_)) return;  // stop parsing
      PopUntil(template_);
      ClearFormattingToMarker();
      if (!template_modes_.empty()) template_modes_.pop_back();
      ResetInsertionMode();
      return ProcessIn(mode_, t);
  }
}

void TreeConstruction::AfterBody(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data), open_[0]);
    case K::kDoctype:
      return;
    case K::kEof:
      return;
    case K::kCharacters:
      return ProcessChars(M::kAfterBody, t.data);
    case K::kStartTag:
      if (t.tag == html_) return InBody(t);
      break;
    case K::kEndTag:
      if (t.tag == html_) {
        if (!fragment_) mode_ = M::kAfterAfterBody;
        return;
      }
      break;
  }
  mode_ = M::kInBody;
  ProcessIn(mode_, t);
}

void TreeConstruction::InFrameset(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data));
    case K::kCharacters:
      return ProcessChars(M::kInFrameset, t.data);
    case K::kStartTag:
      switch (t.tag) {
        case html_:
          return InBody(t);
        case frameset_:
          InsertHtmlElement(t);
          return;
        case frame_:
          InsertHtmlElement(t);
          Pop();
          return;
        case noframes_:
          return InHead(t);
        default:
          return;
      }
    case K::kEndTag:
      if (t.tag == frameset_) {
        if (open_.size() == 1) return;
        Pop();
        if (!fragment_ && !CurrentIs(frameset_)) mode_ = M::kAfterFrameset;
      }
      return;
    default:
      return;
  }
}

void TreeConstruction::AfterFrameset(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data));
    case K::kCharacters:
      return ProcessChars(M::kAfterFrameset, t.data);
    case K::kStartTag:
      if (t.tag == html_) return InBody(t);
      if (t.tag == noframes_) return InHead(t);
      return;
    case K::kEndTag:
      if (t.tag == html_) mode_ = M::kAfterAfterFrameset;
      return;
    default:
      return;
  }
}

void TreeConstruction::AfterAfterBody(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data), document_);
    case K::kDoctype:
      return InBody(t);
    case K::kEof:
      return;
    case K::kCharacters:
      return ProcessChars(M::kAfterAfterBody, t.data);
    case K::kStartTag:
      if (t.tag == html_) return InBody(t);
      break;
    default:
      break;
  }
  mode_ = M::kInBody;
  ProcessIn(mode_, t);
}

void TreeConstruction::AfterAfterFrameset(Token& t) {
  switch (t.kind) {
    case K::kComment:
      return InsertComment(std::move(t.data), document_);
    case K::kDoctype:
      return InBody(t);
    case K::kCharacters:
      return ProcessChars(M::kAfterAfterFrameset, t.data);
    case K::kStartTag:
      if (t.tag == html_) return InBody(t);
      if (t.tag == noframes_) return InHead(t);
      return;
    default:
      return;
  }
}

// Tokens inside SVG and MathML.
void TreeConstruction::ProcessForeign(Token& t) {
  switch (t.kind) {
    case K::kCharacters: {
      std::string_view text = t.data;
      std::string fixed;
      if (text.find('\0') != std::string_view::npos) {
        for (char c : t.data) {
          if (c == '\0') {
            fixed.append("\xEF\xBF\xBD");
          } else {
            fixed.push_back(c);
          }
        }
        text = fixed;
      }
      for (char c : t.data) {
        // A NUL (now U+FFFD) leaves the frameset-ok flag alone.
        if (!(c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == '\0')) {
          frameset_ok_ = false;
          break;
        }
      }
      InsertCharacters(text);
      return;
    }
    case K::kComment:
      return InsertComment(std::move(t.data));
    case K::kDoctype:
    case K::kEof:
      return;
    case K::kStartTag: {
      bool breakout = false;
      switch (t.tag) {
        case b_:
        case big_:
        case blockquote_:
        case body_:
        case br_:
        case center_:
        case code_:
        case dd_:
        case div_:
        case dl_:
        case dt_:
        case em_:
        case embed_:
        case h1_:
        case h2_:
        case h3_:
        case h4_:
        case h5_:
        case h6_:
        case head_:
        case hr_:
        case i_:
        case img_:
        case li_:
        case listing_:
        case menu_:
        case meta_:
        case nobr_:
        case ol_:
        case p_:
        case pre_:
        case ruby_:
        case s_:
        case small_:
        case span_:
        case strong_:
        case strike_:
        case sub_:
        case sup_:
        case table_:
        case tt_:
        case u_:
        case ul_:
        case var_:
          breakout = true;
          break;
        case font_:
          breakout = t.Attr("color") || t.Attr("face") || t.Attr("size");
          break;
        default:
          break;
      }
      if (breakout) {
        while (!open_.empty()) {
          Element* cur = Current();
          if (cur->ns() == Namespace::kHtml || IsMathMlTextIntegrationPoint(cur) ||
              IsHtmlIntegrationPoint(cur)) {
            break;
          }
          Pop();
        }
        return ProcessIn(mode_, t);
      }
      Namespace ns = AdjustedCurrent()->ns();
      if (ns == Namespace::kMathMl) AdjustMathMlAttributes(t.attrs);
      if (ns == Namespace::kSvg) {
        AdjustSvgTagName(t.name);
        AdjustSvgAttributes(t.attrs);
      }
      InsertForeignElement(t, ns);
      if (t.self_closing) Pop();
      return;
    }
    case K::kEndTag: {
      if (t.tag == br_ || t.tag == p_) {
        while (!open_.empty()) {
          Element* cur = Current();
          if (cur->ns() == Namespace::kHtml || IsMathMlTextIntegrationPoint(cur) ||
              IsHtmlIntegrationPoint(cur)) {
            break;
          }
          Pop();
        }
        return ProcessIn(mode_, t);
      }
      for (std::size_t i = open_.size(); i-- > 0;) {
        Element* node = open_[i];
        if (i == 0) return;
        if (LowerAscii(node->localName()) == t.name) {
          while (open_.size() > i) Pop();
          return;
        }
        if (open_[i - 1]->ns() == Namespace::kHtml) return ProcessIn(mode_, t);
      }
      return;
    }
  }
}

}  // namespace vt::html
