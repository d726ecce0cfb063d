#include "platform/html/tokenizer.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/html/char_refs.h"

namespace vt::html {

namespace {

using S = Tokenizer::State;

inline bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f';
}
inline bool IsAlpha(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsUpper(int c) {
  return c >= 'A' && c <= 'Z';
}
inline char Lower(int c) {
  return static_cast<char>(IsUpper(c) ? c + 32 : c);
}

constexpr char kReplacement[] = "\xEF\xBF\xBD";
// Long runs of text go to the tree builder in pieces of about this size.
constexpr std::size_t kCharChunk = 1 << 16;

// Length of the valid UTF-8 sequence at `p` (1..4), or 0 when it is not one.
std::size_t Utf8Length(const unsigned char* p, const unsigned char* end) {
  unsigned c = p[0];
  std::size_t avail = static_cast<std::size_t>(end - p);
  auto cont = [&](std::size_t i) { return i < avail && (p[i] & 0xC0) == 0x80; };
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (avail < 2) return 0;
    unsigned c1 = p[1];
    if (c == 0xE0 && c1 < 0xA0) return 0;
    if (c == 0xED && c1 > 0x9F) return 0;  // surrogates
    return cont(1) && cont(2) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (avail < 2) return 0;
    unsigned c1 = p[1];
    if (c == 0xF0 && c1 < 0x90) return 0;
    if (c == 0xF4 && c1 > 0x8F) return 0;
    return cont(1) && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

// How many bytes an invalid sequence at `p` spans (the maximal prefix of a valid one, at least 1).
std::size_t InvalidLength(const unsigned char* p, const unsigned char* end) {
  std::size_t n = 1;
  unsigned c = p[0];
  std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
  unsigned lo = 0x80, hi = 0xBF;
  if (c == 0xE0) lo = 0xA0;
  if (c == 0xED) hi = 0x9F;
  if (c == 0xF0) lo = 0x90;
  if (c == 0xF4) hi = 0x8F;
  if (c > 0xF4) need = 1;
  while (n < need && p + n < end) {
    unsigned b = p[n];
    if (b < lo || b > hi) break;
    lo = 0x80;
    hi = 0xBF;
    ++n;
  }
  return n;
}

// The windows-1252 meaning of the C1 controls that numeric references name.
constexpr std::uint16_t kC1Replacements[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

void AppendCodePoint(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

const std::string* Token::Attr(std::string_view attr_name) const {
  for (const auto& a : attrs) {
    if (a.name == attr_name) return &a.value;
  }
  return nullptr;
}

namespace {

// The end of the run from p of ASCII bytes other than CR: eight at a time while it lasts.
const unsigned char* CleanRun(const unsigned char* p, const unsigned char* end) {
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    const std::uint64_t x = word ^ 0x0D0D0D0D0D0D0D0Dull;  // a CR byte becomes zero
    if ((word & 0x8080808080808080ull) != 0 ||
        ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0) {
      break;
    }
    p += 8;
  }
  while (p < end && *p < 0x80 && *p != '\r') ++p;
  return p;
}

}  // namespace

std::string_view NormaliseInput(std::string_view text, std::string& storage) {
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = begin + text.size();
  const unsigned char* p = begin;
  // Fast scan: stop at the first CR or invalid sequence.
  for (;;) {
    p = CleanRun(p, end);
    if (p == end) return text;
    if (*p == '\r') break;
    std::size_t n = Utf8Length(p, end);
    if (n == 0) break;
    p += n;
  }
  storage.clear();
  storage.reserve(text.size() + 16);
  storage.append(text.data(), static_cast<std::size_t>(p - begin));
  while (p < end) {
    const unsigned char* run = CleanRun(p, end);
    storage.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(run - p));
    p = run;
    if (p == end) break;
    if (*p == '\r') {
      storage.push_back('\n');
      ++p;
      if (p < end && *p == '\n') ++p;
      continue;
    }
    std::size_t n = Utf8Length(p, end);
    if (n == 0) {
      storage.append(kReplacement);
      p += InvalidLength(p, end);
      continue;
    }
    storage.append(reinterpret_cast<const char*>(p), n);
    p += n;
  }
  return storage;
}

// ---------------------------------------------------------------------------------------------

void Tokenizer::StartTag(Token::Kind kind) {
  tag_.kind = kind;
  tag_.name.clear();
  tag_.tag = Tag::kUnknown;
  tag_.self_closing = false;
  tag_.attrs.clear();
  attr_names_.clear();
  attr_dropped_ = false;
  in_attribute_ = false;
}

void Tokenizer::StartAttribute() {
  FinishAttribute();
  tag_.attrs.emplace_back();
  in_attribute_ = true;
}

void Tokenizer::EndAttributeName() {
  // A second attribute of the same name is dropped (its value is still read).
  auto& attrs = tag_.attrs;
  const std::string& name = attrs.back().name;
  std::size_t count = attrs.size();
  if (count <= 16) {
    for (std::size_t i = 0; i + 1 < count; ++i) {
      if (attrs[i].name == name) {
        attr_dropped_ = true;
        return;
      }
    }
    if (count == 16) {
      for (const auto& a : attrs) attr_names_.insert(a.name);
    }
    return;
  }
  if (!attr_names_.insert(name).second) attr_dropped_ = true;
}

void Tokenizer::FinishAttribute() {
  if (!in_attribute_) return;
  in_attribute_ = false;
  if (attr_dropped_) {
    tag_.attrs.pop_back();
    attr_dropped_ = false;
  }
}

void Tokenizer::EmitCurrentTag() {
  FinishAttribute();
  tag_.tag = LookupTag(tag_.name);
  if (tag_.kind == Token::Kind::kStartTag) {
    last_start_tag_ = tag_.name;
  } else {
    tag_.attrs.clear();
    tag_.self_closing = false;
  }
  pending_ = true;
}

void Tokenizer::EmitComment() {
  tag_.kind = Token::Kind::kComment;
  pending_ = true;
}

void Tokenizer::EmitDoctype() {
  tag_.kind = Token::Kind::kDoctype;
  pending_ = true;
}

bool Tokenizer::IsAppropriateEndTag() const {
  return tag_.kind == Token::Kind::kEndTag && !last_start_tag_.empty() &&
         tag_.name == last_start_tag_;
}

bool Tokenizer::StartsWithIgnoreCase(std::string_view word) const {
  if (in_.size() - pos_ < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (Lower(static_cast<unsigned char>(in_[pos_ + i])) != word[i]) return false;
  }
  return true;
}

void Tokenizer::ConsumeCharacterReference(std::string& out, bool in_attribute) {
  // pos_ is just past the '&'.
  const std::size_t n = in_.size();
  auto at = [&](std::size_t i) -> int { return i < n ? static_cast<unsigned char>(in_[i]) : -1; };
  int c = at(pos_);
  if (c == '#') {
    std::size_t p = pos_ + 1;
    bool hex = at(p) == 'x' || at(p) == 'X';
    if (hex) ++p;
    auto digit = [&](int d) -> int {
      if (d >= '0' && d <= '9') return d - '0';
      if (hex && d >= 'a' && d <= 'f') return d - 'a' + 10;
      if (hex && d >= 'A' && d <= 'F') return d - 'A' + 10;
      return -1;
    };
    if (digit(at(p)) < 0) {
      out.push_back('&');  // "&#" or "&#x" without digits stays as written
      return;
    }
    std::uint32_t value = 0;
    int d;
    while ((d = digit(at(p))) >= 0) {
      value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
      if (value > 0x10FFFF) value = 0x110000;  // stays out of range, cannot overflow
      ++p;
    }
    if (at(p) == ';') ++p;
    pos_ = p;
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
      value = 0xFFFD;
    } else if (value >= 0x80 && value <= 0x9F) {
      value = kC1Replacements[value - 0x80];
    }
    AppendCodePoint(out, value);
    return;
  }
  if (!IsAlpha(c) && !(c >= '0' && c <= '9')) {
    out.push_back('&');
    return;
  }
  // The longest name in the table that the text starts with.
  std::size_t len = 0;
  while (len < kMaxCharRefName &&
         ((at(pos_ + len) >= '0' && at(pos_ + len) <= '9') || IsAlpha(at(pos_ + len)))) {
    ++len;
  }
  if (at(pos_ + len) == ';') ++len;
  const CharRef* match = nullptr;
  for (std::size_t l = len; l > 0 && !match; --l) {
    match = FindCharRef(in_.substr(pos_, l));
  }
  if (!match) {
    out.push_back('&');
    return;
  }
  std::string_view name = match->name;
  if (in_attribute && name.back() != ';') {
    int next = at(pos_ + name.size());
    if (next == '=' || IsAlpha(next) || (next >= '0' && next <= '9')) {
      out.push_back('&');  // "&copy=" in a URL stays as written
      return;
    }
  }
  out.append(match->value);
  pos_ += name.size();
}

bool Tokenizer::RawEndTagName(State text_state) {
  // The end tag name states of RCDATA, RAWTEXT and script data (escaped): answers true when the
  // state changed to one that continues the tag.
  int c = pos_ < in_.size() ? static_cast<unsigned char>(in_[pos_]) : -1;
  if (IsAlpha(c)) {
    tag_.name.push_back(Lower(c));
    temp_.push_back(static_cast<char>(c));
    ++pos_;
    return true;
  }
  if (IsAppropriateEndTag()) {
    if (IsSpace(c)) {
      ++pos_;
      state_ = S::kBeforeAttributeName;
      return true;
    }
    if (c == '/') {
      ++pos_;
      state_ = S::kSelfClosingStartTag;
      return true;
    }
    if (c == '>') {
      ++pos_;
      state_ = S::kData;
      EmitCurrentTag();
      return true;
    }
  }
  chars_.append("</");
  chars_.append(temp_);
  state_ = text_state;
  return true;
}

Token& Tokenizer::Next() {
  for (;;) {
    if (!chars_.empty() && (pending_ || eof_ || chars_.size() >= kCharChunk)) {
      out_.kind = Token::Kind::kCharacters;
      out_.data.swap(chars_);
      chars_.clear();
      return out_;
    }
    if (pending_) {
      pending_ = false;
      std::swap(out_, tag_);
      return out_;
    }
    if (eof_) {
      out_.kind = Token::Kind::kEof;
      return out_;
    }
    if (!Step()) eof_ = true;
  }
}

bool Tokenizer::Step() {
  const std::size_t n = in_.size();
  const char* text = in_.data();
  while (!pending_) {
    const int c = pos_ < n ? static_cast<unsigned char>(text[pos_]) : -1;
    switch (state_) {
      case S::kData: {
        if (c == -1) return false;
        if (c == '<') {
          ++pos_;
          state_ = S::kTagOpen;
        } else if (c == '&') {
          ++pos_;
          ConsumeCharacterReference(chars_, false);
        } else if (c == 0) {
          ++pos_;
          chars_.push_back('\0');  // the tree builder decides what a NUL means
        } else {
          std::size_t start = pos_;
          while (pos_ < n && text[pos_] != '<' && text[pos_] != '&' && text[pos_] != '\0') ++pos_;
          chars_.append(text + start, pos_ - start);
          // Hand long runs to the tree builder in pieces so the buffer stays small.
          if (chars_.size() >= kCharChunk) return true;
        }
        break;
      }
      case S::kRcdata:
      case S::kRawtext:
      case S::kScriptData:
      case S::kPlaintext: {
        if (c == -1) return false;
        const bool refs = state_ == S::kRcdata;
        const bool tags = state_ != S::kPlaintext;
        if (c == '<' && tags) {
          ++pos_;
          state_ = state_ == S::kRcdata    ? S::kRcdataLessThan
                   : state_ == S::kRawtext ? S::kRawtextLessThan
                                           : S::kScriptDataLessThan;
        } else if (c == '&' && refs) {
          ++pos_;
          ConsumeCharacterReference(chars_, false);
        } else if (c == 0) {
          ++pos_;
          chars_.append(kReplacement);
        } else {
          std::size_t start = pos_;
          while (pos_ < n) {
            char d = text[pos_];
            if (d == '\0' || (tags && d == '<') || (refs && d == '&')) break;
            ++pos_;
          }
          chars_.append(text + start, pos_ - start);
          if (chars_.size() >= kCharChunk) return true;
        }
        break;
      }
      case S::kTagOpen:
        if (c == '!') {
          ++pos_;
          state_ = S::kMarkupDeclarationOpen;
        } else if (c == '/') {
          ++pos_;
          state_ = S::kEndTagOpen;
        } else if (IsAlpha(c)) {
          StartTag(Token::Kind::kStartTag);
          state_ = S::kTagName;
        } else if (c == '?') {
          tag_.data.clear();
          state_ = S::kBogusComment;
        } else {
          chars_.push_back('<');
          state_ = S::kData;
        }
        break;
      case S::kEndTagOpen:
        if (IsAlpha(c)) {
          StartTag(Token::Kind::kEndTag);
          state_ = S::kTagName;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
        } else if (c == -1) {
          chars_.append("</");
          return false;
        } else {
          tag_.data.clear();
          state_ = S::kBogusComment;
        }
        break;
      case S::kTagName: {
        if (c == -1) return false;
        ++pos_;
        if (IsSpace(c)) {
          state_ = S::kBeforeAttributeName;
        } else if (c == '/') {
          state_ = S::kSelfClosingStartTag;
        } else if (c == '>') {
          state_ = S::kData;
          EmitCurrentTag();
        } else if (c == 0) {
          tag_.name.append(kReplacement);
        } else {
          tag_.name.push_back(Lower(c));
        }
        break;
      }
      case S::kRcdataLessThan:
      case S::kRawtextLessThan:
        if (c == '/') {
          ++pos_;
          temp_.clear();
          state_ = state_ == S::kRcdataLessThan ? S::kRcdataEndTagOpen : S::kRawtextEndTagOpen;
        } else {
          chars_.push_back('<');
          state_ = state_ == S::kRcdataLessThan ? S::kRcdata : S::kRawtext;
        }
        break;
      case S::kRcdataEndTagOpen:
      case S::kRawtextEndTagOpen:
      case S::kScriptDataEndTagOpen:
      case S::kScriptDataEscapedEndTagOpen: {
        const S text_state = state_ == S::kRcdataEndTagOpen       ? S::kRcdata
                             : state_ == S::kRawtextEndTagOpen    ? S::kRawtext
                             : state_ == S::kScriptDataEndTagOpen ? S::kScriptData
                                                                  : S::kScriptDataEscaped;
        if (IsAlpha(c)) {
          StartTag(Token::Kind::kEndTag);
          state_ = text_state == S::kRcdata       ? S::kRcdataEndTagName
                   : text_state == S::kRawtext    ? S::kRawtextEndTagName
                   : text_state == S::kScriptData ? S::kScriptDataEndTagName
                                                  : S::kScriptDataEscapedEndTagName;
        } else {
          chars_.append("</");
          state_ = text_state;
        }
        break;
      }
      case S::kRcdataEndTagName:
        RawEndTagName(S::kRcdata);
        break;
      case S::kRawtextEndTagName:
        RawEndTagName(S::kRawtext);
        break;
      case S::kScriptDataEndTagName:
        RawEndTagName(S::kScriptData);
        break;
      case S::kScriptDataEscapedEndTagName:
        RawEndTagName(S::kScriptDataEscaped);
        break;
      case S::kScriptDataLessThan:
        if (c == '/') {
          ++pos_;
          temp_.clear();
          state_ = S::kScriptDataEndTagOpen;
        } else if (c == '!') {
          ++pos_;
          chars_.append("<!");
          state_ = S::kScriptDataEscapeStart;
        } else {
          chars_.push_back('<');
          state_ = S::kScriptData;
        }
        break;
      case S::kScriptDataEscapeStart:
      case S::kScriptDataEscapeStartDash:
        if (c == '-') {
          ++pos_;
          chars_.push_back('-');
          state_ = state_ == S::kScriptDataEscapeStart ? S::kScriptDataEscapeStartDash
                                                       : S::kScriptDataEscapedDashDash;
        } else {
          state_ = S::kScriptData;
        }
        break;
      case S::kScriptDataEscaped:
      case S::kScriptDataEscapedDash:
      case S::kScriptDataEscapedDashDash:
      case S::kScriptDataDoubleEscaped:
      case S::kScriptDataDoubleEscapedDash:
      case S::kScriptDataDoubleEscapedDashDash: {
        if (c == -1) return false;
        const bool dbl = state_ == S::kScriptDataDoubleEscaped ||
                         state_ == S::kScriptDataDoubleEscapedDash ||
                         state_ == S::kScriptDataDoubleEscapedDashDash;
        const S base = dbl ? S::kScriptDataDoubleEscaped : S::kScriptDataEscaped;
        ++pos_;
        if (c == '-') {
          chars_.push_back('-');
          if (state_ == base) {
            state_ = dbl ? S::kScriptDataDoubleEscapedDash : S::kScriptDataEscapedDash;
          } else {
            state_ = dbl ? S::kScriptDataDoubleEscapedDashDash : S::kScriptDataEscapedDashDash;
          }
        } else if (c == '<') {
          if (dbl) {
            chars_.push_back('<');
            state_ = S::kScriptDataDoubleEscapedLessThan;
          } else {
            state_ = S::kScriptDataEscapedLessThan;
          }
        } else if (c == '>' && (state_ == S::kScriptDataEscapedDashDash ||
                                state_ == S::kScriptDataDoubleEscapedDashDash)) {
          chars_.push_back('>');
          state_ = S::kScriptData;
        } else if (c == 0) {
          chars_.append(kReplacement);
          state_ = base;
        } else {
          chars_.push_back(static_cast<char>(c));
          state_ = base;
        }
        break;
      }
      case S::kScriptDataEscapedLessThan:
        if (c == '/') {
          ++pos_;
          temp_.clear();
          state_ = S::kScriptDataEscapedEndTagOpen;
        } else if (IsAlpha(c)) {
          temp_.clear();
          chars_.push_back('<');
          state_ = S::kScriptDataDoubleEscapeStart;
        } else {
          chars_.push_back('<');
          state_ = S::kScriptDataEscaped;
        }
        break;
      case S::kScriptDataDoubleEscapeStart:
      case S::kScriptDataDoubleEscapeEnd: {
        const bool start = state_ == S::kScriptDataDoubleEscapeStart;
        if (IsSpace(c) || c == '/' || c == '>') {
          ++pos_;
          chars_.push_back(static_cast<char>(c));
          if (temp_ == "script") {
            state_ = start ? S::kScriptDataDoubleEscaped : S::kScriptDataEscaped;
          } else {
            state_ = start ? S::kScriptDataEscaped : S::kScriptDataDoubleEscaped;
          }
        } else if (IsAlpha(c)) {
          ++pos_;
          temp_.push_back(Lower(c));
          chars_.push_back(static_cast<char>(c));
        } else {
          state_ = start ? S::kScriptDataEscaped : S::kScriptDataDoubleEscaped;
        }
        break;
      }
      case S::kScriptDataDoubleEscapedLessThan:
        if (c == '/') {
          ++pos_;
          temp_.clear();
          chars_.push_back('/');
          state_ = S::kScriptDataDoubleEscapeEnd;
        } else {
          state_ = S::kScriptDataDoubleEscaped;
        }
        break;
      case S::kBeforeAttributeName:
        if (IsSpace(c)) {
          ++pos_;
        } else if (c == '/' || c == '>' || c == -1) {
          state_ = S::kAfterAttributeName;
        } else if (c == '=') {
          ++pos_;
          StartAttribute();
          tag_.attrs.back().name.push_back('=');
          state_ = S::kAttributeName;
        } else {
          StartAttribute();
          state_ = S::kAttributeName;
        }
        break;
      case S::kAttributeName: {
        if (IsSpace(c) || c == '/' || c == '>' || c == -1) {
          EndAttributeName();
          state_ = S::kAfterAttributeName;
        } else if (c == '=') {
          ++pos_;
          EndAttributeName();
          state_ = S::kBeforeAttributeValue;
        } else if (c == 0) {
          ++pos_;
          tag_.attrs.back().name.append(kReplacement);
        } else {
          ++pos_;
          tag_.attrs.back().name.push_back(Lower(c));
        }
        break;
      }
      case S::kAfterAttributeName:
        if (IsSpace(c)) {
          ++pos_;
        } else if (c == '/') {
          ++pos_;
          state_ = S::kSelfClosingStartTag;
        } else if (c == '=') {
          ++pos_;
          state_ = S::kBeforeAttributeValue;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitCurrentTag();
        } else if (c == -1) {
          return false;
        } else {
          StartAttribute();
          state_ = S::kAttributeName;
        }
        break;
      case S::kBeforeAttributeValue:
        if (IsSpace(c)) {
          ++pos_;
        } else if (c == '"') {
          ++pos_;
          state_ = S::kAttributeValueDoubleQuoted;
        } else if (c == '\'') {
          ++pos_;
          state_ = S::kAttributeValueSingleQuoted;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitCurrentTag();
        } else {
          state_ = S::kAttributeValueUnquoted;
        }
        break;
      case S::kAttributeValueDoubleQuoted:
      case S::kAttributeValueSingleQuoted: {
        if (c == -1) return false;
        const char quote = state_ == S::kAttributeValueDoubleQuoted ? '"' : '\'';
        std::string& value = tag_.attrs.back().value;
        ++pos_;
        if (c == quote) {
          state_ = S::kAfterAttributeValueQuoted;
        } else if (c == '&') {
          ConsumeCharacterReference(value, true);
        } else if (c == 0) {
          value.append(kReplacement);
        } else {
          std::size_t start = pos_ - 1;
          while (pos_ < n && text[pos_] != quote && text[pos_] != '&' && text[pos_] != '\0') {
            ++pos_;
          }
          value.append(text + start, pos_ - start);
        }
        break;
      }
      case S::kAttributeValueUnquoted: {
        if (c == -1) return false;
        ++pos_;
        if (IsSpace(c)) {
          state_ = S::kBeforeAttributeName;
        } else if (c == '&') {
          ConsumeCharacterReference(tag_.attrs.back().value, true);
        } else if (c == '>') {
          state_ = S::kData;
          EmitCurrentTag();
        } else if (c == 0) {
          tag_.attrs.back().value.append(kReplacement);
        } else {
          tag_.attrs.back().value.push_back(static_cast<char>(c));
        }
        break;
      }
      case S::kAfterAttributeValueQuoted:
        if (IsSpace(c)) {
          ++pos_;
          state_ = S::kBeforeAttributeName;
        } else if (c == '/') {
          ++pos_;
          state_ = S::kSelfClosingStartTag;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitCurrentTag();
        } else if (c == -1) {
          return false;
        } else {
          state_ = S::kBeforeAttributeName;
        }
        break;
      case S::kSelfClosingStartTag:
        if (c == '>') {
          ++pos_;
          tag_.self_closing = true;
          state_ = S::kData;
          EmitCurrentTag();
        } else if (c == -1) {
          return false;
        } else {
          state_ = S::kBeforeAttributeName;
        }
        break;
      case S::kBogusComment: {
        if (c == -1) {
          EmitComment();
          return false;
        }
        ++pos_;
        if (c == '>') {
          state_ = S::kData;
          EmitComment();
        } else if (c == 0) {
          tag_.data.append(kReplacement);
        } else {
          tag_.data.push_back(static_cast<char>(c));
        }
        break;
      }
      case S::kMarkupDeclarationOpen:
        tag_.data.clear();
        if (in_.substr(pos_, 2) == "--") {
          pos_ += 2;
          state_ = S::kCommentStart;
        } else if (StartsWithIgnoreCase("doctype")) {
          pos_ += 7;
          state_ = S::kDoctype;
        } else if (in_.substr(pos_, 7) == "[CDATA[") {
          pos_ += 7;
          if (cdata_allowed_) {
            state_ = S::kCdataSection;
          } else {
            tag_.data = "[CDATA[";
            state_ = S::kBogusComment;
          }
        } else {
          state_ = S::kBogusComment;
        }
        break;
      case S::kCommentStart:
        if (c == '-') {
          ++pos_;
          state_ = S::kCommentStartDash;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitComment();
        } else {
          state_ = S::kComment;
        }
        break;
      case S::kCommentStartDash:
        if (c == '-') {
          ++pos_;
          state_ = S::kCommentEnd;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitComment();
        } else if (c == -1) {
          EmitComment();
          return false;
        } else {
          tag_.data.push_back('-');
          state_ = S::kComment;
        }
        break;
      case S::kComment: {
        if (c == -1) {
          EmitComment();
          return false;
        }
        ++pos_;
        if (c == '<') {
          tag_.data.push_back('<');
          state_ = S::kCommentLessThan;
        } else if (c == '-') {
          state_ = S::kCommentEndDash;
        } else if (c == 0) {
          tag_.data.append(kReplacement);
        } else {
          std::size_t start = pos_ - 1;
          while (pos_ < n && text[pos_] != '<' && text[pos_] != '-' && text[pos_] != '\0') ++pos_;
          tag_.data.append(text + start, pos_ - start);
        }
        break;
      }
      case S::kCommentLessThan:
        if (c == '!') {
          ++pos_;
          tag_.data.push_back('!');
          state_ = S::kCommentLessThanBang;
        } else if (c == '<') {
          ++pos_;
          tag_.data.push_back('<');
        } else {
          state_ = S::kComment;
        }
        break;
      case S::kCommentLessThanBang:
        if (c == '-') {
          ++pos_;
          state_ = S::kCommentLessThanBangDash;
        } else {
          state_ = S::kComment;
        }
        break;
      case S::kCommentLessThanBangDash:
        if (c == '-') {
          ++pos_;
          state_ = S::kCommentLessThanBangDashDash;
        } else {
          state_ = S::kCommentEndDash;
        }
        break;
      case S::kCommentLessThanBangDashDash:
        state_ = S::kCommentEnd;
        break;
      case S::kCommentEndDash:
        if (c == '-') {
          ++pos_;
          state_ = S::kCommentEnd;
        } else if (c == -1) {
          EmitComment();
          return false;
        } else {
          tag_.data.push_back('-');
          state_ = S::kComment;
        }
        break;
      case S::kCommentEnd:
        if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitComment();
        } else if (c == '!') {
          ++pos_;
          state_ = S::kCommentEndBang;
        } else if (c == '-') {
          ++pos_;
          tag_.data.push_back('-');
        } else if (c == -1) {
          EmitComment();
          return false;
        } else {
          tag_.data.append("--");
          state_ = S::kComment;
        }
        break;
      case S::kCommentEndBang:
        if (c == '-') {
          ++pos_;
          tag_.data.append("--!");
          state_ = S::kCommentEndDash;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitComment();
        } else if (c == -1) {
          EmitComment();
          return false;
        } else {
          tag_.data.append("--!");
          state_ = S::kComment;
        }
        break;
      case S::kDoctype:
        tag_.name.clear();
        tag_.public_id.clear();
        tag_.system_id.clear();
        tag_.has_name = tag_.has_public = tag_.has_system = tag_.force_quirks = false;
        if (IsSpace(c)) ++pos_;
        if (c == -1) {
          tag_.force_quirks = true;
          EmitDoctype();
          return false;
        }
        state_ = S::kBeforeDoctypeName;
        break;
      case S::kBeforeDoctypeName:
        if (IsSpace(c)) {
          ++pos_;
        } else if (c == '>') {
          ++pos_;
          tag_.force_quirks = true;
          state_ = S::kData;
          EmitDoctype();
        } else if (c == -1) {
          tag_.force_quirks = true;
          EmitDoctype();
          return false;
        } else {
          tag_.has_name = true;
          state_ = S::kDoctypeName;
        }
        break;
      case S::kDoctypeName:
        if (c == -1) {
          tag_.force_quirks = true;
          EmitDoctype();
          return false;
        }
        ++pos_;
        if (IsSpace(c)) {
          state_ = S::kAfterDoctypeName;
        } else if (c == '>') {
          state_ = S::kData;
          EmitDoctype();
        } else if (c == 0) {
          tag_.name.append(kReplacement);
        } else {
          tag_.name.push_back(Lower(c));
        }
        break;
      case S::kAfterDoctypeName:
        if (IsSpace(c)) {
          ++pos_;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitDoctype();
        } else if (c == -1) {
          tag_.force_quirks = true;
          EmitDoctype();
          return false;
        } else if (StartsWithIgnoreCase("public")) {
          pos_ += 6;
          state_ = S::kAfterDoctypePublicKeyword;
        } else if (StartsWithIgnoreCase("system")) {
          pos_ += 6;
          state_ = S::kAfterDoctypeSystemKeyword;
        } else {
          tag_.force_quirks = true;
          state_ = S::kBogusDoctype;
        }
        break;
      case S::kAfterDoctypePublicKeyword:
      case S::kBeforeDoctypePublicIdentifier:
      case S::kAfterDoctypeSystemKeyword:
      case S::kBeforeDoctypeSystemIdentifier: {
        const bool pub =
            state_ == S::kAfterDoctypePublicKeyword || state_ == S::kBeforeDoctypePublicIdentifier;
        const bool keyword =
            state_ == S::kAfterDoctypePublicKeyword || state_ == S::kAfterDoctypeSystemKeyword;
        if (IsSpace(c)) {
          ++pos_;
          if (keyword) {
            state_ = pub ? S::kBeforeDoctypePublicIdentifier : S::kBeforeDoctypeSystemIdentifier;
          }
        } else if (c == '"' || c == '\'') {
          ++pos_;
          if (pub) {
            tag_.has_public = true;
            state_ = c == '"' ? S::kDoctypePublicIdentifierDoubleQuoted
                              : S::kDoctypePublicIdentifierSingleQuoted;
          } else {
            tag_.has_system = true;
            state_ = c == '"' ? S::kDoctypeSystemIdentifierDoubleQuoted
                              : S::kDoctypeSystemIdentifierSingleQuoted;
          }
        } else if (c == '>') {
          ++pos_;
          tag_.force_quirks = true;
          state_ = S::kData;
          EmitDoctype();
        } else if (c == -1) {
          tag_.force_quirks = true;
          EmitDoctype();
          return false;
        } else {
          tag_.force_quirks = true;
          state_ = S::kBogusDoctype;
        }
        break;
      }
      case S::kDoctypePublicIdentifierDoubleQuoted:
      case S::kDoctypePublicIdentifierSingleQuoted:
      case S::kDoctypeSystemIdentifierDoubleQuoted:
      case S::kDoctypeSystemIdentifierSingleQuoted: {
        const bool pub = state_ == S::kDoctypePublicIdentifierDoubleQuoted ||
                         state_ == S::kDoctypePublicIdentifierSingleQuoted;
        const char quote = state_ == S::kDoctypePublicIdentifierDoubleQuoted ||
                                   state_ == S::kDoctypeSystemIdentifierDoubleQuoted
                               ? '"'
                               : '\'';
        std::string& id = pub ? tag_.public_id : tag_.system_id;
        if (c == -1) {
          tag_.force_quirks = true;
          EmitDoctype();
          return false;
        }
        ++pos_;
        if (c == quote) {
          state_ = pub ? S::kAfterDoctypePublicIdentifier : S::kAfterDoctypeSystemIdentifier;
        } else if (c == 0) {
          id.append(kReplacement);
        } else if (c == '>') {
          tag_.force_quirks = true;
          state_ = S::kData;
          EmitDoctype();
        } else {
          id.push_back(static_cast<char>(c));
        }
        break;
      }
      case S::kAfterDoctypePublicIdentifier:
      case S::kBetweenDoctypePublicAndSystemIdentifiers:
        if (IsSpace(c)) {
          ++pos_;
          state_ = S::kBetweenDoctypePublicAndSystemIdentifiers;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitDoctype();
        } else if (c == '"' || c == '\'') {
          ++pos_;
          tag_.has_system = true;
          state_ = c == '"' ? S::kDoctypeSystemIdentifierDoubleQuoted
                            : S::kDoctypeSystemIdentifierSingleQuoted;
        } else if (c == -1) {
          tag_.force_quirks = true;
          EmitDoctype();
          return false;
        } else {
          tag_.force_quirks = true;
          state_ = S::kBogusDoctype;
        }
        break;
      case S::kAfterDoctypeSystemIdentifier:
        if (IsSpace(c)) {
          ++pos_;
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
          EmitDoctype();
        } else if (c == -1) {
          tag_.force_quirks = true;
          EmitDoctype();
          return false;
        } else {
          state_ = S::kBogusDoctype;  // not quirks: only the identifiers were misspelt
        }
        break;
      case S::kBogusDoctype:
        if (c == -1) {
          EmitDoctype();
          return false;
        }
        ++pos_;
        if (c == '>') {
          state_ = S::kData;
          EmitDoctype();
        }
        break;
      case S::kCdataSection: {
        if (c == -1) return false;
        ++pos_;
        if (c == ']') {
          state_ = S::kCdataSectionBracket;
        } else {
          std::size_t start = pos_ - 1;
          while (pos_ < n && text[pos_] != ']') ++pos_;
          chars_.append(text + start, pos_ - start);
        }
        break;
      }
      case S::kCdataSectionBracket:
        if (c == ']') {
          ++pos_;
          state_ = S::kCdataSectionEnd;
        } else {
          chars_.push_back(']');
          state_ = S::kCdataSection;
        }
        break;
      case S::kCdataSectionEnd:
        if (c == ']') {
          ++pos_;
          chars_.push_back(']');
        } else if (c == '>') {
          ++pos_;
          state_ = S::kData;
        } else {
          chars_.append("]]");
          state_ = S::kCdataSection;
        }
        break;
    }
  }
  return true;
}

}  // namespace vt::html
