#pragma once
// Loading a URL into a document without a browser around it (for invisible documents that
// parse a page or a piece of mark-up). UI thread.

#include <functional>
#include <memory>
#include <string>

#include "platform/browser/session.h"
#include "platform/dom/document.h"

namespace vt::browser {

// Loads `url` through the process's internet session into `doc`: its tree is replaced and its
// URL set, exactly as a browser would show the answer (a failed load leaves the error page in
// it). `done` runs later on the UI thread with S_OK, or with INET_E_DOWNLOAD_FAILURE when the
// load failed; never when the request is cancelled first.
std::shared_ptr<LoadRequest> LoadDocumentFromUrl(std::shared_ptr<dom::Document> doc,
                                                 const std::string& url,
                                                 std::function<void(HRESULT)> done);

// Puts the outcome of a load into `doc`: the page, a page around a picture or a plain text,
// or the error page naming the reason.
void FillDocument(dom::Document& doc, const LoadResult& result);

}  // namespace vt::browser
