#include "platform/dom/style.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/dom/internal.h"

namespace vt::dom {

namespace {

struct Declaration {
  std::string name;  // lower case
  std::string value;
};

// Splits at `sep` outside quotes and brackets.
std::vector<std::string_view> SplitTopLevel(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  int depth = 0;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (depth == 0 && (sep == ' ' ? IsHtmlSpace(c) : c == sep)) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::vector<Declaration> Parse(std::string_view css) {
  std::vector<Declaration> out;
  for (auto part : SplitTopLevel(css, ';')) {
    const auto colon = part.find(':');
    if (colon == std::string_view::npos) continue;
    auto name = TrimAsciiSpace(part.substr(0, colon));
    auto value = TrimAsciiSpace(part.substr(colon + 1));
    if (name.empty()) continue;
    out.push_back({ToLowerAscii(name), std::string(value)});
  }
  return out;
}

std::string Format(const std::vector<Declaration>& decls) {
  std::string out;
  for (const auto& d : decls) {
    if (!out.empty()) out += ' ';
    out += d.name;
    out += ": ";
    out += d.value;
    out += ';';
  }
  return out;
}

struct Border {
  std::string width, style, color;
};

bool IsStyleKeyword(std::string_view word) {
  static constexpr std::array<std::string_view, 10> kStyles = {
      "none",   "hidden", "dotted", "dashed", "solid",
      "double", "groove", "ridge",  "inset",  "outset"};
  const std::string lower = ToLowerAscii(word);
  return std::find(kStyles.begin(), kStyles.end(), lower) != kStyles.end();
}

bool IsWidthWord(std::string_view word) {
  const std::string lower = ToLowerAscii(word);
  if (lower == "thin" || lower == "medium" || lower == "thick") return true;
  if (lower.empty()) return false;
  const char c = lower[0];
  return (c >= '0' && c <= '9') || c == '.' ||
         ((c == '+' || c == '-') && lower.size() > 1 &&
          ((lower[1] >= '0' && lower[1] <= '9') || lower[1] == '.'));
}

// A width word: a bare number is in pixels.
std::string NormalizeWidth(std::string_view word) {
  std::string lower = ToLowerAscii(word);
  const bool bare = !lower.empty() && std::all_of(lower.begin(), lower.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
  });
  if (bare) lower += "px";
  return lower;
}

std::string JoinWords(std::string_view value, std::string (*normalize)(std::string_view)) {
  std::string out;
  for (auto word : SplitTopLevel(TrimAsciiSpace(value), ' ')) {
    if (word.empty()) continue;
    if (!out.empty()) out += ' ';
    out += normalize(word);
  }
  return out;
}

std::string NormalizeStyleWord(std::string_view w) {
  return ToLowerAscii(w);
}
std::string KeepWord(std::string_view w) {
  return std::string(w);
}

Border ParseShorthand(std::string_view value) {
  Border b;
  auto add = [](std::string& to, std::string word) {
    if (!to.empty()) to += ' ';
    to += word;
  };
  for (auto word : SplitTopLevel(TrimAsciiSpace(value), ' ')) {
    if (word.empty()) continue;
    if (IsStyleKeyword(word)) {
      add(b.style, ToLowerAscii(word));
    } else if (IsWidthWord(word)) {
      add(b.width, NormalizeWidth(word));
    } else {
      add(b.color, std::string(word));
    }
  }
  return b;
}

bool IsBorderPart(std::string_view name) {
  return name == "border" || name == "border-width" || name == "border-style" ||
         name == "border-color";
}

bool IsSideBorder(std::string_view name) {
  for (std::string_view side : {"border-top", "border-right", "border-bottom", "border-left"}) {
    if (name.substr(0, side.size()) == side) {
      auto rest = name.substr(side.size());
      if (rest.empty() || rest == "-width" || rest == "-style" || rest == "-color") return true;
    }
  }
  return false;
}

Border ReadBorder(const std::vector<Declaration>& decls) {
  Border b;
  for (const auto& d : decls) {
    if (d.name == "border") {
      b = ParseShorthand(d.value);
    } else if (d.name == "border-width") {
      b.width = JoinWords(d.value, NormalizeWidth);
    } else if (d.name == "border-style") {
      b.style = JoinWords(d.value, NormalizeStyleWord);
    } else if (d.name == "border-color") {
      b.color = JoinWords(d.value, KeepWord);
    }
  }
  return b;
}

void WriteBorder(std::vector<Declaration>& decls, const Border& b, bool drop_sides) {
  std::size_t at = decls.size();
  std::vector<Declaration> kept;
  for (auto& d : decls) {
    if (IsBorderPart(d.name) || (drop_sides && IsSideBorder(d.name))) {
      at = std::min(at, kept.size());
    } else {
      kept.push_back(std::move(d));
    }
  }
  at = std::min(at, kept.size());
  std::vector<Declaration> parts;
  if (!b.width.empty() && !b.style.empty() && !b.color.empty()) {
    parts.push_back({"border", b.width + " " + b.style + " " + b.color});
  } else {
    if (!b.width.empty()) parts.push_back({"border-width", b.width});
    if (!b.style.empty()) parts.push_back({"border-style", b.style});
    if (!b.color.empty()) parts.push_back({"border-color", b.color});
  }
  kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at), parts.begin(), parts.end());
  decls = std::move(kept);
}

std::vector<Declaration> Read(const Element& e) {
  return Parse(e.getAttribute("style"));
}

void Write(Element& e, const std::vector<Declaration>& decls) {
  std::string text = Format(decls);
  if (text.empty() && !e.hasAttribute("style")) return;
  e.setAttribute("style", text);
}

}  // namespace

std::string Style::border() const {
  Border b = ReadBorder(Read(*element_));
  std::string out;
  for (const std::string* part : {&b.width, &b.style, &b.color}) {
    if (part->empty()) continue;
    if (!out.empty()) out += ' ';
    out += *part;
  }
  return out;
}

std::string Style::borderWidth() const {
  return ReadBorder(Read(*element_)).width;
}
std::string Style::borderStyle() const {
  return ReadBorder(Read(*element_)).style;
}
std::string Style::borderColor() const {
  return ReadBorder(Read(*element_)).color;
}

void Style::setBorder(std::string_view value) {
  auto decls = Read(*element_);
  WriteBorder(decls, ParseShorthand(value), true);
  Write(*element_, decls);
}

namespace {
// Rewrites one part of the border, keeping the other two.
void SetBorderPart(Element& element, std::string Border::*part, std::string value) {
  auto decls = Read(element);
  Border b = ReadBorder(decls);
  b.*part = std::move(value);
  WriteBorder(decls, b, false);
  Write(element, decls);
}
}  // namespace

void Style::setBorderWidth(std::string_view value) {
  SetBorderPart(*element_, &Border::width, JoinWords(value, NormalizeWidth));
}

void Style::setBorderStyle(std::string_view value) {
  SetBorderPart(*element_, &Border::style, JoinWords(value, NormalizeStyleWord));
}

void Style::setBorderColor(std::string_view value) {
  SetBorderPart(*element_, &Border::color, JoinWords(value, KeepWord));
}

std::string Style::getPropertyValue(std::string_view name) const {
  const std::string lower = ToLowerAscii(name);
  std::string value;
  for (const auto& d : Read(*element_)) {
    if (d.name == lower) value = d.value;
  }
  return value;
}

void Style::setProperty(std::string_view name, std::string_view value) {
  const std::string lower = ToLowerAscii(name);
  auto decls = Read(*element_);
  auto it = std::find_if(decls.begin(), decls.end(),
                         [&](const Declaration& d) { return d.name == lower; });
  const auto trimmed = TrimAsciiSpace(value);
  if (trimmed.empty()) {
    decls.erase(std::remove_if(decls.begin(), decls.end(),
                               [&](const Declaration& d) { return d.name == lower; }),
                decls.end());
  } else if (it != decls.end()) {
    it->value = std::string(trimmed);
  } else {
    decls.push_back({lower, std::string(trimmed)});
  }
  Write(*element_, decls);
}

std::string Style::cssText() const {
  return Format(Read(*element_));
}

}  // namespace vt::dom
