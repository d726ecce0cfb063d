#include "config/StyleSheet.h"

#include <cstdio>

namespace vt {

std::string HexRgb(std::uint32_t color) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                (color >> 16) & 0xFF);
  return text;
}

std::string StyleSheetText(const std::string& family, int size, std::uint32_t color) {
  const std::string f = "font-family: " + family + "; ";
  const std::string s = "font-size: " + std::to_string(size) + "px; ";
  const std::string c = "color: #" + HexRgb(color);
  const std::string crlf = "\r\n";
  std::string sheet;
  for (const char* tag : {"p  {", "li {", "td {", "ol {"}) sheet += tag + f + s + "}" + crlf;
  for (const char* tag : {"h1 {", "h2 {", "h3 {", "h4 {", "td {"}) sheet += tag + f + "}" + crlf;
  sheet += "body  {" + f + s + c + "}" + crlf;
  sheet += ".chead {color: #FFFFFF; background-color: #000099}" + crlf;
  return sheet;
}

}  // namespace vt
