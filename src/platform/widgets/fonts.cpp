#include "platform/widgets/fonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>

namespace vt::widgets {

std::vector<std::string> InstalledFontFamilies() {
  std::vector<std::string> families;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return families;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  if (FcFontSet* set = FcFontList(config, pattern, objects)) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      // A font may name its family in several languages; the first name is the usual one.
      if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch && family) {
        families.emplace_back(reinterpret_cast<const char*>(family));
      }
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  std::sort(families.begin(), families.end());
  families.erase(std::unique(families.begin(), families.end()), families.end());
  return families;
}

}  // namespace vt::widgets
