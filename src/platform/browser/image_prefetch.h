#pragma once
// Fetches the pictures of a shown page into the URL cache in the background, a few at a time,
// as a browser does when it draws the page. Internal to the browser library; UI thread.

#include <memory>
#include <string>
#include <vector>

#include "platform/browser/session.h"
#include "platform/dom/document.h"

namespace vt::browser::detail {

class ImagePrefetch {
 public:
  ImagePrefetch() = default;
  ~ImagePrefetch() { Cancel(); }
  ImagePrefetch(const ImagePrefetch&) = delete;
  ImagePrefetch& operator=(const ImagePrefetch&) = delete;

  // Replaces what was queued with the http(s) images of `doc` that the cache does not hold yet.
  void Start(const dom::Document& doc);
  void Cancel();
  // Images queued or on their way.
  size_t Pending() const { return queue_.size() - next_ + active_.size(); }

 private:
  void Next();

  std::vector<std::string> queue_;
  size_t next_ = 0;
  std::vector<std::shared_ptr<LoadRequest>> active_;
  std::shared_ptr<ImagePrefetch*> self_ = std::make_shared<ImagePrefetch*>(this);
};

}  // namespace vt::browser::detail
