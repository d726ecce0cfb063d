#pragma once
// The style sheet that every generated page links: "Vellumtrace.css" in the program folder.
#include <cstdint>
#include <string>

namespace vt {

inline constexpr const char* kStyleSheetName = "Vellumtrace.css";

// The sheet for a font: eleven lines, each ending in CR LF. `size` is in points and is written
// with the unit px; `color` is a colour value 0x00BBGGRR, written as #RRGGBB in upper case.
std::string StyleSheetText(const std::string& family, int size, std::uint32_t color);

// "RRGGBB" of a colour value 0x00BBGGRR.
std::string HexRgb(std::uint32_t color);

}  // namespace vt
