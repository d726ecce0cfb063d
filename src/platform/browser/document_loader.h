#pragma once
// Loading a URL into documents: the load through the process's internet session, then the
// parse of the answer on a worker thread, so that no page, however large or hostile, holds the
// UI thread while it is parsed. The document itself is only touched on the UI thread, once its
// tree is built.

#include <functional>
#include <memory>
#include <string>

#include "platform/browser/session.h"
#include "platform/dom/document.h"

namespace vt::browser {

// Loads `url` and parses the answer off the UI thread. `done` runs later on the UI thread with the
// load's outcome (its body already parsed and dropped) and the page to show: the answer, a page
// around a picture or a plain text, or the error page naming the reason. Cancel() on the answer
// stops the load, or abandons a parse still running (its result is thrown away when it ends); then
// `done` is never called. UI thread.
std::shared_ptr<LoadRequest> LoadAndParse(const std::string& url,
                                          std::function<void(LoadResult, dom::ParsedPage)> done);

// Parses started by LoadAndParse that have not ended yet, abandoned ones included (for
// diagnostics: an abandoned parse goes on until the HTML parser returns). Any thread.
int PageParsesRunning();

// Loads `url` into `doc`: its tree is replaced and its URL set, exactly as a browser would show
// the answer (a failed load leaves the error page in it). `done` runs later on the UI thread with
// S_OK, or with INET_E_DOWNLOAD_FAILURE when the load failed; never when the request is cancelled
// first. UI thread.
std::shared_ptr<LoadRequest> LoadDocumentFromUrl(std::shared_ptr<dom::Document> doc,
                                                 const std::string& url,
                                                 std::function<void(HRESULT)> done);

// The page that the outcome of a load shows, parsed. Touches nothing shared: any thread.
dom::ParsedPage ParseLoadResult(const LoadResult& result);

// Puts the outcome of a load into `doc` (parsing it here). UI thread.
void FillDocument(dom::Document& doc, const LoadResult& result);

}  // namespace vt::browser
