// The part of a page's own style sheets that decides what is shown: `display` and `visibility`
// from the rules of its STYLE elements, for simple selectors (type, universal, id, class and
// attribute selectors joined by descendant and child combinators). Rules with any other selector,
// and media blocks for another screen than a 1280 pixel wide one, are left out.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <unordered_map>

#include "platform/dom/document.h"
#include "platform/dom/internal.h"

namespace vt::dom {

namespace {

constexpr int kViewportWidth = 1280;

struct Simple {     // one compound selector
  std::string tag;  // lower case, "" = any
  std::string id;
  std::vector<std::string> classes;
  struct Attr {
    std::string name, value;
    char op = 0;  // 0 presence, '=' equals, '~' word
  };
  std::vector<Attr> attrs;
};

struct Selector {
  std::vector<Simple> parts;      // left to right
  std::vector<char> combinators;  // between parts: ' ' or '>'
  int specificity = 0;
};

struct Rule {
  Selector selector;
  std::string display, visibility;
  bool display_important = false, visibility_important = false;
  int order = 0;
};

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80 || c == '\\';
}

std::string ReadName(std::string_view s, std::size_t& i) {
  std::string out;
  while (i < s.size() && IsNameChar(s[i])) {
    if (s[i] == '\\' && i + 1 < s.size()) ++i;
    out += s[i++];
  }
  return out;
}

// Parses one selector; false for anything this sheet reader does not handle.
bool ParseSelector(std::string_view text, Selector& out) {
  text = TrimAsciiSpace(text);
  std::size_t i = 0;
  Simple current;
  bool have = false;
  auto finish = [&]() {
    out.parts.push_back(std::move(current));
    current = Simple{};
    have = false;
  };
  while (i < text.size()) {
    const char c = text[i];
    if (IsHtmlSpace(c) || c == '>') {
      char comb = ' ';
      while (i < text.size() && (IsHtmlSpace(text[i]) || text[i] == '>')) {
        if (text[i] == '>') comb = '>';
        ++i;
      }
      if (!have) return false;
      finish();
      out.combinators.push_back(comb);
      continue;
    }
    if (c == '*') {
      ++i;
      have = true;
    } else if (c == '#') {
      ++i;
      current.id = ReadName(text, i);
      if (current.id.empty()) return false;
      out.specificity += 10000;
      have = true;
    } else if (c == '.') {
      ++i;
      std::string cls = ReadName(text, i);
      if (cls.empty()) return false;
      current.classes.push_back(std::move(cls));
      out.specificity += 100;
      have = true;
    } else if (c == '[') {
      const auto close = text.find(']', i);
      if (close == std::string_view::npos) return false;
      std::string_view inner = TrimAsciiSpace(text.substr(i + 1, close - i - 1));
      i = close + 1;
      Simple::Attr a;
      const auto eq = inner.find('=');
      if (eq == std::string_view::npos) {
        a.name = ToLowerAscii(inner);
      } else {
        std::string_view name = inner.substr(0, eq);
        if (!name.empty() && name.back() == '~') {
          a.op = '~';
          name.remove_suffix(1);
        } else if (!name.empty() && !IsNameChar(name.back())) {
          return false;  // ^= $= *= |= are not handled
        } else {
          a.op = '=';
        }
        a.name = ToLowerAscii(TrimAsciiSpace(name));
        std::string_view value = TrimAsciiSpace(inner.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
          value = value.substr(1, value.size() - 2);
        }
        a.value = std::string(value);
      }
      current.attrs.push_back(std::move(a));
      out.specificity += 100;
      have = true;
    } else if (IsNameChar(c)) {
      current.tag = ToLowerAscii(ReadName(text, i));
      out.specificity += 1;
      have = true;
    } else {
      return false;  // pseudo-classes, sibling combinators ...
    }
  }
  if (!have) return false;
  finish();
  return true;
}

bool HasWord(std::string_view list, std::string_view word) {
  std::size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && IsHtmlSpace(list[i])) ++i;
    std::size_t j = i;
    while (j < list.size() && !IsHtmlSpace(list[j])) ++j;
    if (list.substr(i, j - i) == word) return true;
    i = j;
  }
  return false;
}

bool MatchesSimple(const Element& e, const Simple& s) {
  if (!s.tag.empty() && !EqualsIgnoreCase(e.localName(), s.tag)) return false;
  if (!s.id.empty() && e.getAttribute("id") != s.id) return false;
  if (!s.classes.empty()) {
    const std::string cls = e.getAttribute("class");
    for (const auto& c : s.classes) {
      if (!HasWord(cls, c)) return false;
    }
  }
  for (const auto& a : s.attrs) {
    if (!e.hasAttribute(a.name)) return false;
    if (a.op == '=' && e.getAttribute(a.name) != a.value) return false;
    if (a.op == '~' && !HasWord(e.getAttribute(a.name), a.value)) return false;
  }
  return true;
}

bool MatchesFrom(const Element& e, const Selector& sel, std::size_t part) {
  if (!MatchesSimple(e, sel.parts[part])) return false;
  if (part == 0) return true;
  const char comb = sel.combinators[part - 1];
  for (const Node* up = e.parent(); up; up = up->parent()) {
    const Element* a = AsElement(up);
    if (!a) return false;
    if (MatchesFrom(*a, sel, part - 1)) return true;
    if (comb == '>') return false;
  }
  return false;
}

// Whether a media query list applies to a 1280 pixel wide screen.
bool MediaApplies(std::string_view query) {
  const std::string q = ToLowerAscii(query);
  if (q.find("not ") != std::string::npos) return false;  // negations: not worth the risk
  if (q.find("print") != std::string::npos && q.find("screen") == std::string::npos) return false;
  std::size_t pos = 0;
  bool any_feature = false;
  while ((pos = q.find('(', pos)) != std::string::npos) {
    const auto close = q.find(')', pos);
    if (close == std::string::npos) return false;
    std::string_view feature = std::string_view(q).substr(pos + 1, close - pos - 1);
    pos = close + 1;
    any_feature = true;
    const auto colon = feature.find(':');
    if (colon == std::string_view::npos) return false;
    const auto name = TrimAsciiSpace(feature.substr(0, colon));
    const auto value = TrimAsciiSpace(feature.substr(colon + 1));
    // Lengths in px, em or rem (16 pixels to the em).
    double px = 0;
    if (value.size() > 2 && value.substr(value.size() - 2) == "px") {
      px = std::atof(std::string(value.substr(0, value.size() - 2)).c_str());
    } else if (value.size() > 3 && value.substr(value.size() - 3) == "rem") {
      px = 16 * std::atof(std::string(value.substr(0, value.size() - 3)).c_str());
    } else if (value.size() > 2 && value.substr(value.size() - 2) == "em") {
      px = 16 * std::atof(std::string(value.substr(0, value.size() - 2)).c_str());
    } else {
      return false;
    }
    if (name == "min-width" && kViewportWidth < px) return false;
    if (name == "max-width" && kViewportWidth > px) return false;
    if (name != "min-width" && name != "max-width") return false;
  }
  if (q.find(',') != std::string::npos && any_feature) return false;  // lists with features: unsure
  return true;
}

class SheetReader {
 public:
  explicit SheetReader(std::vector<Rule>& rules) : rules_(rules) {}

  void Read(std::string_view css) {
    std::string text = StripComments(css);
    Block(text);
  }

 private:
  static std::string StripComments(std::string_view css) {
    std::string out;
    out.reserve(css.size());
    for (std::size_t i = 0; i < css.size(); ++i) {
      if (css[i] == '/' && i + 1 < css.size() && css[i + 1] == '*') {
        const auto end = css.find("*/", i + 2);
        if (end == std::string_view::npos) break;
        i = end + 1;
        continue;
      }
      out += css[i];
    }
    return out;
  }

  // The index just after the block that opens at `open` ('{'), or the end.
  static std::size_t BlockEnd(std::string_view s, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < s.size(); ++i) {
      if (s[i] == '{') ++depth;
      if (s[i] == '}' && --depth == 0) return i + 1;
    }
    return s.size();
  }

  void Block(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
      const auto open = s.find('{', i);
      if (open == std::string_view::npos) return;
      std::string_view prelude = TrimAsciiSpace(s.substr(i, open - i));
      // A stray ';' ends at-rules without blocks (@import, @charset).
      while (!prelude.empty() && prelude.front() == '@' &&
             prelude.find(';') != std::string_view::npos) {
        prelude = TrimAsciiSpace(prelude.substr(prelude.find(';') + 1));
      }
      const std::size_t end = BlockEnd(s, open);
      std::string_view body = s.substr(open + 1, end > open + 1 ? end - open - 2 : 0);
      if (!prelude.empty() && prelude.front() == '@') {
        if (prelude.substr(0, 6) == "@media" && MediaApplies(prelude.substr(6))) Block(body);
      } else {
        Rules(prelude, body);
      }
      i = end;
    }
  }

  void Rules(std::string_view selectors, std::string_view body) {
    Rule proto;
    bool wanted = false;
    std::size_t start = 0;
    while (start <= body.size()) {
      auto semi = body.find(';', start);
      if (semi == std::string_view::npos) semi = body.size();
      std::string_view decl = body.substr(start, semi - start);
      start = semi + 1;
      const auto colon = decl.find(':');
      if (colon == std::string_view::npos) continue;
      const std::string name = ToLowerAscii(TrimAsciiSpace(decl.substr(0, colon)));
      std::string value = ToLowerAscii(TrimAsciiSpace(decl.substr(colon + 1)));
      bool important = false;
      if (auto bang = value.find('!'); bang != std::string::npos) {
        important = value.find("important", bang) != std::string::npos;
        value = std::string(TrimAsciiSpace(std::string_view(value).substr(0, bang)));
      }
      if (name == "display") {
        proto.display = value;
        proto.display_important = important;
        wanted = true;
      } else if (name == "visibility") {
        proto.visibility = value;
        proto.visibility_important = important;
        wanted = true;
      }
    }
    if (!wanted) return;
    std::size_t from = 0;
    while (from <= selectors.size()) {
      auto comma = selectors.find(',', from);
      if (comma == std::string_view::npos) comma = selectors.size();
      Rule rule = proto;
      if (ParseSelector(selectors.substr(from, comma - from), rule.selector)) {
        rule.order = static_cast<int>(rules_.size());
        rules_.push_back(std::move(rule));
      }
      from = comma + 1;
    }
  }

  std::vector<Rule>& rules_;
};

}  // namespace

struct SheetCascade {
  std::vector<Rule> rules;
  std::unordered_map<std::string, std::vector<const Rule*>> by_id, by_class, by_tag;
  std::vector<const Rule*> other;
  std::unordered_map<const Element*, SheetValues> values;
};

std::shared_ptr<SheetCascade> BuildCascade(const Document& doc) {
  auto cascade = std::make_shared<SheetCascade>();
  SheetReader reader(cascade->rules);
  for (const auto& e : doc.AllElements()) {
    if (!e->Is("style")) continue;
    const std::string media = e->getAttribute("media");
    if (!media.empty() && !MediaApplies(media)) continue;
    reader.Read(e->TextContent());
  }
  if (cascade->rules.empty()) return cascade;
  for (const auto& r : cascade->rules) {
    const Simple& key = r.selector.parts.back();
    if (!key.id.empty()) {
      cascade->by_id[key.id].push_back(&r);
    } else if (!key.classes.empty()) {
      cascade->by_class[key.classes.front()].push_back(&r);
    } else if (!key.tag.empty()) {
      cascade->by_tag[key.tag].push_back(&r);
    } else {
      cascade->other.push_back(&r);
    }
  }
  std::vector<const Rule*> candidates;
  for (const auto& e : doc.AllElements()) {
    candidates.clear();
    auto add = [&](const auto& map, const std::string& key) {
      auto it = map.find(key);
      if (it != map.end())
        candidates.insert(candidates.end(), it->second.begin(), it->second.end());
    };
    if (e->hasAttribute("id")) add(cascade->by_id, e->getAttribute("id"));
    const std::string cls = e->getAttribute("class");
    std::size_t i = 0;
    while (i < cls.size()) {
      while (i < cls.size() && IsHtmlSpace(cls[i])) ++i;
      std::size_t j = i;
      while (j < cls.size() && !IsHtmlSpace(cls[j])) ++j;
      if (j > i) add(cascade->by_class, cls.substr(i, j - i));
      i = j;
    }
    add(cascade->by_tag, ToLowerAscii(e->localName()));
    candidates.insert(candidates.end(), cascade->other.begin(), cascade->other.end());
    if (candidates.empty()) continue;
    SheetValues v;
    long display_rank = -1, visibility_rank = -1;
    for (const Rule* r : candidates) {
      if (!MatchesFrom(*e, r->selector, r->selector.parts.size() - 1)) continue;
      const long rank = (static_cast<long>(r->selector.specificity) << 20) + r->order;
      if (!r->display.empty()) {
        const long rk = rank + (r->display_important ? (1L << 50) : 0);
        if (rk > display_rank) {
          display_rank = rk;
          v.display = r->display;
          v.display_important = r->display_important;
        }
      }
      if (!r->visibility.empty()) {
        const long rk = rank + (r->visibility_important ? (1L << 50) : 0);
        if (rk > visibility_rank) {
          visibility_rank = rk;
          v.visibility = r->visibility;
          v.visibility_important = r->visibility_important;
        }
      }
    }
    if (!v.display.empty() || !v.visibility.empty()) cascade->values.emplace(e.get(), std::move(v));
  }
  return cascade;
}

const SheetCascade* CascadeOf(const Node& node) {
  Document* doc = node.document();
  return doc ? &doc->Cascade() : nullptr;
}

const SheetValues* SheetValuesOf(const SheetCascade* cascade, const Element& e) {
  if (!cascade) return nullptr;
  auto it = cascade->values.find(&e);
  return it == cascade->values.end() ? nullptr : &it->second;
}

}  // namespace vt::dom
