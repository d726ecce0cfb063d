#pragma once
// TOurNSHandler: the protocol handler of the private host. Registered for the whole http scheme
// of the process's internet session, it hands every other address back to the built-in protocols
// and answers an address of the private host at once, inside Start, with one complete page: a
// stored snippet (viewsnippet?id=), a compiled article (compilesnippets?id=) or the filter view
// of an element of a shown page (filter?window=&id=).
//
// One object per request (the class factory makes a new one for every bind). UI thread: the
// answer is built in Start, which lets the message loop run, so other requests, navigations and
// timer ticks can run in the middle of it.
#include <string>

#include "host/UI_Less.h"
#include "platform/browser/protocol.h"
#include "platform/com/stream.h"

namespace vt {

class TmyDOM;

class TOurNSHandler final : public com::ComObject<browser::IInternetProtocol> {
 public:
  ~TOurNSHandler() override;
  // IInternetProtocolRoot
  com::HRESULT Start(const char* url, browser::IInternetProtocolSink* sink,
                     browser::IInternetBindInfo* bind_info, com::DWORD flags,
                     std::uintptr_t reserved) override;
  com::HRESULT Continue(browser::PROTOCOLDATA* data) override;
  com::HRESULT Abort(com::HRESULT reason, com::DWORD options) override;
  com::HRESULT Terminate(com::DWORD options) override;
  com::HRESULT Suspend() override;
  com::HRESULT Resume() override;
  // IInternetProtocol
  com::HRESULT Read(void* buffer, com::ULONG size, com::ULONG* read) override;
  com::HRESULT Seek(std::int64_t move, com::DWORD origin, std::uint64_t* new_position) override;
  com::HRESULT LockRequest(com::DWORD options) override;
  com::HRESULT UnlockRequest() override;

  // Builds the answer for the stored URL into the data stream (exposed for tests).
  void NsGetOurData();
  std::int32_t TotalSize() const { return total_size_; }

 private:
  // Withdraws the hidden loader from its document (which otherwise keeps both alive) and drops it.
  void CloseLoader();
  std::string Dispatch(const std::string& command, const std::string& query,
                       const std::string& id_key, const std::string& id_value, TmyDOM* first,
                       TmyDOM* selected);
  std::string FilterPage(TmyDOM* first, TmyDOM& session, const std::string& query);
  std::string LoaderPass(TmyDOM& session, const std::string& markup, bool fix_images);

  std::string url_;
  std::int32_t delivered_ = 0;
  std::int32_t total_size_ = 0;
  com::ComPtr<browser::IInternetProtocolSink> sink_;
  com::ComPtr<com::IStream> stream_;
  com::ComPtr<TUILess> loader_;
};

// The value after the first key + "=" of `query` up to the next "&" or the end; "" when absent.
std::string GetQueryValue(const std::string& query, const std::string& key);

// Registers TOurNSHandler's class factory for http in the process's internet session (what the
// band module does when it starts; idempotent). Answers the registration's result.
com::HRESULT RegisterPrivateHostHandler();

// The complete page the private host answers for `url` (runs a request as the browser does).
// Empty when the request failed. For tools and tests.
std::string FetchPrivatePage(const std::string& url);

}  // namespace vt
