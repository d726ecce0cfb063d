#pragma once
// Tree construction: the insertion modes, the stack of open elements and the list of active
// formatting elements, fed by the tokenizer, building nodes of the document model directly.
// One instance per parse; see parser.h for the entry points.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/dom/internal.h"
#include "platform/html/parser.h"
#include "platform/html/tags.h"
#include "platform/html/tokenizer.h"

namespace vt::html {

class TreeConstruction {
 public:
  enum class Mode : std::uint8_t {
    kInitial,
    kBeforeHtml,
    kBeforeHead,
    kInHead,
    kInHeadNoscript,
    kAfterHead,
    kInBody,
    kText,
    kInTable,
    kInTableText,
    kInCaption,
    kInColumnGroup,
    kInTableBody,
    kInRow,
    kInCell,
    kInTemplate,
    kAfterBody,
    kInFrameset,
    kAfterFrameset,
    kAfterAfterBody,
    kAfterAfterFrameset
  };

  TreeConstruction(std::string_view normalised_text, const ParseOptions& options);
  ~TreeConstruction();

  // Parses a document into `document`.
  void RunDocument(dom::DocumentNode* document, DocumentInfo* info);
  // Parses a fragment in the context of an element named `context_name` in `ns`; `form` is the
  // nearest FORM at or above the context, if any. Answers the fragment's nodes.
  std::vector<dom::NodePtr> RunFragment(std::string_view context_name, dom::Namespace ns,
                                        const dom::Element* form);

 private:
  struct Place {
    dom::Node* parent;
    const dom::Node* before;
  };

  void Run();
  void Dispatch(Token& t);
  void ProcessIn(Mode mode, Token& t);
  void ProcessChars(Mode mode, std::string_view text);
  void ProcessForeign(Token& t);

  // The insertion modes (characters go through ProcessChars).
  void Initial(Token& t);
  void BeforeHtml(Token& t);
  void BeforeHead(Token& t);
  void InHead(Token& t);
  void InHeadNoscript(Token& t);
  void AfterHead(Token& t);
  void InBody(Token& t);
  void InBodyStart(Token& t);
  void InBodyEnd(Token& t);
  void Text(Token& t);
  void InTable(Token& t);
  void InTableText(Token& t);
  void InCaption(Token& t);
  void InColumnGroup(Token& t);
  void InTableBody(Token& t);
  void InRow(Token& t);
  void InCell(Token& t);
  void InTemplate(Token& t);
  void AfterBody(Token& t);
  void InFrameset(Token& t);
  void AfterFrameset(Token& t);
  void AfterAfterBody(Token& t);
  void AfterAfterFrameset(Token& t);

  // Elements and the stack of open elements.
  static Tag TagOf(const dom::Element* e);
  static bool IsHtml(const dom::Element* e, Tag tag);
  static bool IsSpecial(const dom::Element* e);
  static bool IsHtmlIntegrationPoint(const dom::Element* e);
  static bool IsMathMlTextIntegrationPoint(const dom::Element* e);
  dom::Element* Current() const { return open_.back(); }
  dom::Element* AdjustedCurrent() const;
  bool CurrentIs(Tag tag) const { return IsHtml(Current(), tag); }
  void Push(dom::Element* e);
  void Pop();
  void RemoveFromStack(std::size_t index);
  void ReplaceOnStack(std::size_t index, dom::Element* e);  // `open_[index]` may be null
  void MaybeCloneOption(dom::Element* option);
  void PopUntil(Tag tag);  // pops until an HTML element `tag` has been popped
  void PopUntilOneOf(std::initializer_list<Tag> tags);
  bool OnStack(Tag tag) const { return counts_[static_cast<std::size_t>(tag)] != 0; }
  int StackIndexOf(const dom::Element* e) const;

  enum class Scope : std::uint8_t { kDefault, kListItem, kButton, kTable };
  bool InScope(Tag tag, Scope scope = Scope::kDefault) const;
  bool ElementInScope(const dom::Element* e) const;
  bool HeadingInScope() const;
  void GenerateImpliedEndTags(Tag except = Tag::kUnknown);
  void GenerateAllImpliedEndTagsThoroughly();
  void ClosePElement();
  void ClearStackBackTo(std::initializer_list<Tag> tags);
  void CloseCell();
  void ResetInsertionMode();

  // Node creation and insertion.
  Place AppropriatePlace(dom::Element* override_target = nullptr);
  dom::Node* ContentOf(dom::Element* templ);
  dom::ElementPtr CreateElement(Token& t, dom::Namespace ns);
  dom::Element* InsertHtmlElement(Token& t);
  dom::Element* InsertHtmlElement(Tag tag, std::string_view name);
  dom::Element* InsertForeignElement(Token& t, dom::Namespace ns);
  dom::Element* InsertAt(const Place& place, dom::ElementPtr e);
  void InsertCharacters(std::string_view text);
  void InsertComment(std::string text, dom::Node* parent = nullptr);
  void GenericTextElement(Token& t, Tokenizer::State state);
  bool AttachDeclarativeShadowRoot(Token& t);
  void AddMissingAttributes(dom::Element* e, std::vector<dom::Attribute>& attrs);

  // Active formatting elements (null entries are markers).
  void PushFormatting(dom::Element* e);
  void InsertMarker() { afe_.push_back(nullptr); }
  void ClearFormattingToMarker();
  void ReconstructFormatting();
  int FormattingIndexOf(const dom::Element* e) const;
  bool AdoptionAgency(Token& t);  // false: act as for "any other end tag"
  void AnyOtherEndTag(Token& t);

  void SetQuirksFromDoctype(const Token& t);

  std::string_view text_;
  Tokenizer tokenizer_;
  ParseOptions options_;
  dom::DocumentNode* document_ = nullptr;
  DocumentInfo info_;

  Mode mode_ = Mode::kInitial;
  Mode original_mode_ = Mode::kInitial;
  std::vector<Mode> template_modes_;
  std::vector<dom::Element*> open_;
  std::array<std::uint32_t, static_cast<std::size_t>(Tag::kCount)> counts_{};
  std::vector<dom::Element*> afe_;
  std::unordered_set<const dom::Element*> open_formatting_;  // formatting elements on the stack
  dom::Element* head_element_ = nullptr;
  dom::Element* form_element_ = nullptr;
  bool frameset_ok_ = true;
  bool foster_parenting_ = false;
  bool skip_newline_ = false;
  bool fragment_ = false;
  dom::ElementPtr context_;  // fragment case: a stand-in for the context element
  dom::ElementPtr fragment_root_;
  std::string pending_table_text_;
  bool pending_table_text_dirty_ = false;  // holds something other than white space
  std::vector<std::pair<dom::Element*, dom::ElementPtr>> templates_;  // template -> content
  std::unordered_map<const dom::Element*, dom::Node*> content_of_;
  bool selectedcontent_seen_ = false;
  std::unordered_set<const dom::Element*> shadow_hosts_;
  std::vector<dom::NodePtr> detached_;  // removed by the parser, perhaps still referenced
  std::unordered_map<const dom::Element*, int> select_state_;
};

}  // namespace vt::html
