#include <algorithm>

#include "platform/dom/internal.h"

namespace vt::dom {

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view TrimAsciiSpace(std::string_view text) {
  while (!text.empty() && IsHtmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsHtmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::size_t CountCodePoints(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::size_t ByteOffsetOfChar(std::string_view text, std::size_t chars) {
  std::size_t i = 0;
  while (i < text.size() && chars > 0) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    --chars;
  }
  return i;
}

const Node* NextInOrder(const Node* node, const Node* root, bool skip_children) {
  if (!skip_children && !node->children().empty()) return node->children().front().get();
  while (node && node != root) {
    const Node* parent = node->parent();
    if (!parent) return nullptr;
    const auto& siblings = parent->children();
    for (std::size_t i = 0; i + 1 < siblings.size(); ++i) {
      if (siblings[i].get() == node) return siblings[i + 1].get();
    }
    node = parent;
  }
  return nullptr;
}

}  // namespace vt::dom
