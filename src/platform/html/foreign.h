#pragma once
// Name adjustments for SVG and MathML elements made by the parser.

#include <string>
#include <vector>

#include "platform/dom/node.h"

namespace vt::html {

// "foreignobject" -> "foreignObject"; other names unchanged.
void AdjustSvgTagName(std::string& name);
// Attribute names of SVG elements ("viewbox" -> "viewBox").
void AdjustSvgAttributes(std::vector<dom::Attribute>& attrs);
// "definitionurl" -> "definitionURL".
void AdjustMathMlAttributes(std::vector<dom::Attribute>& attrs);

}  // namespace vt::html
