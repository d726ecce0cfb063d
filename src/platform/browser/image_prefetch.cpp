#include "platform/browser/image_prefetch.h"

#include <algorithm>

#include "platform/browser/url.h"
#include "platform/browser/url_cache.h"

namespace vt::browser::detail {
namespace {
constexpr size_t kMaxImagesPerPage = 200;
constexpr size_t kParallel = 4;
}  // namespace

void ImagePrefetch::Start(const dom::Document& doc) {
  Cancel();
  auto& session = InternetSession::Process();
  if (!session.PrefetchImages() || !session.Cache()) return;
  for (const auto& img : doc.images().ToVector()) {
    std::string url = StripFragment(img->href());
    const std::string scheme = SchemeOf(url);
    if (scheme != "http" && scheme != "https") continue;
    if (std::find(queue_.begin(), queue_.end(), url) != queue_.end()) continue;
    if (session.Cache()->Lookup(url)) continue;
    queue_.push_back(url);
    if (queue_.size() == kMaxImagesPerPage) break;
  }
  Next();
}

void ImagePrefetch::Cancel() {
  auto active = std::move(active_);
  active_.clear();
  for (auto& r : active) r->Cancel();
  queue_.clear();
  next_ = 0;
  // Completions already posted find the old token empty.
  *self_ = nullptr;
  self_ = std::make_shared<ImagePrefetch*>(this);
}

void ImagePrefetch::Next() {
  while (active_.size() < kParallel && next_ < queue_.size()) {
    const std::string url = queue_[next_++];
    std::weak_ptr<ImagePrefetch*> token = self_;
    auto slot = std::make_shared<std::weak_ptr<LoadRequest>>();
    auto request = InternetSession::Process().Load(url, [token, slot](LoadResult) {
      // The session keeps a good answer in the cache; nothing else to do with it here.
      auto owner = token.lock();
      if (!owner || !*owner) return;
      ImagePrefetch& self = **owner;
      auto done = slot->lock();
      self.active_.erase(std::remove(self.active_.begin(), self.active_.end(), done),
                         self.active_.end());
      self.Next();
    });
    *slot = request;
    active_.push_back(std::move(request));
  }
}

}  // namespace vt::browser::detail
