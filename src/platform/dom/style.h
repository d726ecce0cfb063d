#pragma once
// An element's inline style: a view onto its style attribute. Reads parse the attribute; writes
// rewrite it, keeping every other declaration as it was.
//
// The border properties follow the browser's rules: `border` is the shorthand of width, style and
// colour ("solid red 2px" reads back as width "2px", style "solid", colour "red"); setting it
// replaces every border declaration, setting it to "" removes them. A bare number width is taken
// as pixels ("0" -> "0px"); style keywords are lower-cased.

#include <string>
#include <string_view>

#include "platform/dom/node.h"

namespace vt::dom {

class Style {
 public:
  explicit Style(ElementPtr element) : element_(std::move(element)) {}

  std::string border() const;
  std::string borderWidth() const;
  std::string borderStyle() const;
  std::string borderColor() const;
  void setBorder(std::string_view value);
  void setBorderWidth(std::string_view value);
  void setBorderStyle(std::string_view value);
  void setBorderColor(std::string_view value);

  // Any other property by its CSS name ("display"); "" when not set.
  std::string getPropertyValue(std::string_view name) const;
  void setProperty(std::string_view name, std::string_view value);  // "" removes it
  std::string cssText() const;

 private:
  ElementPtr element_;
};

}  // namespace vt::dom
