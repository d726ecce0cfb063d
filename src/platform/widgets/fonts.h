#pragma once
// The font families installed on the machine, as fontconfig knows them.

#include <string>
#include <vector>

namespace vt::widgets {

// Family names, sorted and without duplicates; empty when fontconfig cannot be read.
std::vector<std::string> InstalledFontFamilies();

}  // namespace vt::widgets
