#pragma once
// The HTML tokenizer: turns UTF-8 text into start and end tags, comments, doctypes and runs of
// characters, with the states of the HTML syntax (the tree builder switches it into RCDATA,
// RAWTEXT, script data and PLAINTEXT after the elements that need them).
//
// The text must outlive the tokenizer. It is read as UTF-8 and must already be normalised: no
// CR (use NormaliseInput first). Parse errors are not reported; the tokenizer recovers from each
// as HTML does. One tokenizer per text; not thread-safe.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/dom/node.h"
#include "platform/html/tags.h"

namespace vt::html {

struct Token {
  enum class Kind : std::uint8_t { kDoctype, kStartTag, kEndTag, kComment, kCharacters, kEof };
  Kind kind = Kind::kEof;
  std::string name;  // tag name (lower case) or doctype name
  Tag tag = Tag::kUnknown;
  bool self_closing = false;
  std::vector<dom::Attribute> attrs;  // start tags, duplicates dropped
  std::string data;                   // comment text or characters
  // Doctypes.
  bool has_name = false, has_public = false, has_system = false, force_quirks = false;
  std::string public_id, system_id;

  // The value of attribute `name`, or null.
  const std::string* Attr(std::string_view attr_name) const;
};

// Replaces CR LF and lone CR by LF, NUL-free invalid UTF-8 sequences by U+FFFD. Answers `text`
// itself when it needs no change (most pages), else a view of `storage`.
std::string_view NormaliseInput(std::string_view text, std::string& storage);

class Tokenizer {
 public:
  enum class State : std::uint8_t {
    kData,
    kRcdata,
    kRawtext,
    kScriptData,
    kPlaintext,
    kTagOpen,
    kEndTagOpen,
    kTagName,
    kRcdataLessThan,
    kRcdataEndTagOpen,
    kRcdataEndTagName,
    kRawtextLessThan,
    kRawtextEndTagOpen,
    kRawtextEndTagName,
    kScriptDataLessThan,
    kScriptDataEndTagOpen,
    kScriptDataEndTagName,
    kScriptDataEscapeStart,
    kScriptDataEscapeStartDash,
    kScriptDataEscaped,
    kScriptDataEscapedDash,
    kScriptDataEscapedDashDash,
    kScriptDataEscapedLessThan,
    kScriptDataEscapedEndTagOpen,
    kScriptDataEscapedEndTagName,
    kScriptDataDoubleEscapeStart,
    kScriptDataDoubleEscaped,
    kScriptDataDoubleEscapedDash,
    kScriptDataDoubleEscapedDashDash,
    kScriptDataDoubleEscapedLessThan,
    kScriptDataDoubleEscapeEnd,
    kBeforeAttributeName,
    kAttributeName,
    kAfterAttributeName,
    kBeforeAttributeValue,
    kAttributeValueDoubleQuoted,
    kAttributeValueSingleQuoted,
    kAttributeValueUnquoted,
    kAfterAttributeValueQuoted,
    kSelfClosingStartTag,
    kBogusComment,
    kMarkupDeclarationOpen,
    kCommentStart,
    kCommentStartDash,
    kComment,
    kCommentLessThan,
    kCommentLessThanBang,
    kCommentLessThanBangDash,
    kCommentLessThanBangDashDash,
    kCommentEndDash,
    kCommentEnd,
    kCommentEndBang,
    kDoctype,
    kBeforeDoctypeName,
    kDoctypeName,
    kAfterDoctypeName,
    kAfterDoctypePublicKeyword,
    kBeforeDoctypePublicIdentifier,
    kDoctypePublicIdentifierDoubleQuoted,
    kDoctypePublicIdentifierSingleQuoted,
    kAfterDoctypePublicIdentifier,
    kBetweenDoctypePublicAndSystemIdentifiers,
    kAfterDoctypeSystemKeyword,
    kBeforeDoctypeSystemIdentifier,
    kDoctypeSystemIdentifierDoubleQuoted,
    kDoctypeSystemIdentifierSingleQuoted,
    kAfterDoctypeSystemIdentifier,
    kBogusDoctype,
    kCdataSection,
    kCdataSectionBracket,
    kCdataSectionEnd
  };

  explicit Tokenizer(std::string_view normalised_text) : in_(normalised_text) {}

  // The next token; a kEof token at the end (and on every call after it). The token stays
  // valid until the next call; its strings and attributes may be moved out.
  Token& Next();

  void SetState(State state) { state_ = state; }
  // The name of the last start tag emitted (for "appropriate end tag" checks); tests set it.
  void SetLastStartTag(std::string_view name) { last_start_tag_ = name; }
  // Whether "<![CDATA[" opens a CDATA section (the adjusted current node is foreign).
  void SetCdataAllowed(bool allowed) { cdata_allowed_ = allowed; }

 private:
  bool Step();  // runs until a token is complete; false at the end of the text
  void EmitChar(char c) { chars_.push_back(c); }
  void EmitCurrentTag();
  void EmitComment();
  void EmitDoctype();
  void StartTag(Token::Kind kind);
  void StartAttribute();
  void EndAttributeName();
  void FinishAttribute();
  bool IsAppropriateEndTag() const;
  // Consumes a character reference after '&' (at pos_), appending what it stands for.
  void ConsumeCharacterReference(std::string& out, bool in_attribute);
  bool StartsWithIgnoreCase(std::string_view word) const;
  // Raw-text end tag handling shared by RCDATA, RAWTEXT and script data.
  bool RawEndTagName(State text_state);

  std::string_view in_;
  std::size_t pos_ = 0;
  State state_ = State::kData;

  Token out_;             // the token handed out
  Token tag_;             // the tag, comment or doctype being built
  bool pending_ = false;  // tag_ is complete and waits behind the characters in chars_
  bool eof_ = false;
  std::string chars_;
  std::string temp_;  // the temporary buffer
  std::string last_start_tag_;
  bool cdata_allowed_ = false;
  bool attr_dropped_ = false;
  bool in_attribute_ = false;
  std::unordered_set<std::string> attr_names_;  // for tags with many attributes
};

}  // namespace vt::html
