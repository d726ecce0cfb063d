// Pointing the images of cut-out mark-up at local files: a copy of the cached picture in the
// cache folder, or the placeholder in the program folder.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "config/myRegistry.h"
#include "core/IECache.h"
#include "core/myDOM.h"
#include "platform/browser/url.h"
#include "platform/dom/document.h"

namespace vt {
namespace fs = std::filesystem;

namespace {

bool NamesExistingFile(const std::string& url) {
  const auto path = browser::FilePathFromUrl(url);
  std::error_code ec;
  return path && fs::is_regular_file(*path, ec);
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// The address of a file of a program-wide folder (which ends with "/").
std::string FolderFileUrl(const std::string& folder, const std::string& name) {
  return browser::FileUrlFromPath(folder + name);
}

bool IsPictureCopyable(const std::string& local_file, const std::string& headers) {
  const std::string ext = Upper(fs::path(local_file).extension().string());
  if (ext != ".JPG" && ext != ".JPEG" && ext != ".GIF" && ext != ".PNG") return false;
  return headers.find("image/gif") != std::string::npos ||
         headers.find("image/jpeg") != std::string::npos ||
         headers.find("image/png") != std::string::npos;
}

}  // namespace

TIECache& TmyDOM::Cache() {
  if (!UrlCache) UrlCache = std::make_shared<TIECache>();
  return *UrlCache;
}

void TmyDOM::FixImageLinks(const DocumentRef& document) {
  if (!document) return;
  dom::ElementCollection images = document->images();
  // The collection is live; its length does not change here (only src is written).
  for (long i = 0; i < images.length(); ++i) {
    dom::ElementPtr image = images.item(i);
    if (!image) continue;
    const std::string href = image->href();
    const bool local = NamesExistingFile(href);
    TIECache& cache = Cache();
    cache.LocalFileName.clear();
    cache.LookupCacheEntry(href);
    const bool cached = !cache.LocalFileName.empty();
    if (local) continue;
    if (cached) {
      if (!IsPictureCopyable(cache.LocalFileName, cache.HeaderInfo)) continue;
      const std::string name = fs::path(cache.LocalFileName).filename().string();
      const std::string target = CacheDir() + name;
      // A copy already there is kept; a failed copy still points the image at the target.
      std::error_code ec;
      if (fs::path(target).is_absolute() && !fs::exists(target, ec)) {
        fs::create_directories(fs::path(target).parent_path(), ec);
        fs::copy_file(cache.LocalFileName, target, fs::copy_options::skip_existing, ec);
      }
      image->setSrc(FolderFileUrl(CacheDir(), name));
    } else {
      image->setSrc(FolderFileUrl(AppDir(), "_blank.gif"));
    }
  }
}

void TmyDOM::GrabImage(const DocumentRef& document) {
  if (!document) return;
  dom::ElementCollection images = document->images();
  for (long i = 0; i < images.length(); ++i) {
    dom::ElementPtr image = images.item(i);
    if (!image) continue;
    const std::string src = browser::PercentDecode(image->src(), true);
    const std::size_t slash = src.rfind('/');
    const std::string file = slash == std::string::npos ? src : src.substr(slash + 1);
    // The path part of the address: what comes after the scheme and host, up to the file name.
    std::string path = slash == std::string::npos ? std::string() : src.substr(0, slash + 1);
    if (const std::size_t scheme = path.find("://"); scheme != std::string::npos) {
      const std::size_t start = path.find('/', scheme + 3);
      path = start == std::string::npos ? std::string() : path.substr(start);
    }
    if (file == "_blank.gif") {
      image->setSrc(FolderFileUrl(AppDir(), "_blank.gif"));
    } else if (path.find("cache") != std::string::npos) {
      image->setSrc(FolderFileUrl(CacheDir(), file));
    }
  }
}

}  // namespace vt
