#pragma once
// Pluggable protocols: the interfaces between the internet session and a protocol handler.
//
// For each request the session creates a protocol object and calls Start(url, sink, bind info,
// flags, 0). The handler reports through the sink: ReportProgress (for example the MIME type),
// ReportData when bytes can be read, ReportResult when the request is over. The session then
// calls Read until it answers S_FALSE (or E_PENDING with nothing read after the result came),
// and finally Terminate. A handler that answers Start with INET_E_USE_DEFAULT_PROTOCOLHANDLER
// hands the request back to the built-in protocols. Sink calls are made on the UI thread; a
// handler that works elsewhere asks for the UI thread with Switch and is called back through
// Continue.
//
// Strings are UTF-8, null-terminated.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/classfactory.h"
#include "platform/com/unknown.h"

namespace vt::browser {

using com::DWORD;
using com::GUID;
using com::HRESULT;
using com::ULONG;

struct PROTOCOLDATA {
  DWORD grfFlags = 0;
  DWORD dwState = 0;
  void* pData = nullptr;
  ULONG cbData = 0;
};

// What a request asks for (the parts handlers read).
struct BINDINFO {
  ULONG cbSize = sizeof(BINDINFO);
  std::string szExtraInfo;
  DWORD grfBindInfoF = 0;
  DWORD dwBindVerb = 0;  // BINDVERB_GET
  std::string szCustomVerb;
  DWORD dwOptions = 0;
  DWORD dwCodePage = 65001;  // UTF-8
};

inline constexpr DWORD BINDVERB_GET = 0;
inline constexpr DWORD BINDVERB_POST = 1;

// Bind flags (grfBINDF).
inline constexpr DWORD BINDF_ASYNCHRONOUS = 0x1;
inline constexpr DWORD BINDF_ASYNCSTORAGE = 0x2;
inline constexpr DWORD BINDF_NOWRITECACHE = 0x200;
inline constexpr DWORD BINDF_PULLDATA = 0x80;
inline constexpr DWORD BINDF_FROMURLMON = 0x10000;

// Bind string types of IInternetBindInfo::GetBindString.
inline constexpr ULONG BINDSTRING_HEADERS = 1;
inline constexpr ULONG BINDSTRING_ACCEPT_MIMES = 2;
inline constexpr ULONG BINDSTRING_USER_AGENT = 10;
inline constexpr ULONG BINDSTRING_URL = 14;

// Flags of ReportData.
inline constexpr DWORD BSCF_FIRSTDATANOTIFICATION = 0x1;
inline constexpr DWORD BSCF_INTERMEDIATEDATANOTIFICATION = 0x2;
inline constexpr DWORD BSCF_LASTDATANOTIFICATION = 0x4;
inline constexpr DWORD BSCF_DATAFULLYAVAILABLE = 0x8;
inline constexpr DWORD BSCF_AVAILABLEDATASIZEUNKNOWN = 0x10;

// Status codes of ReportProgress.
inline constexpr ULONG BINDSTATUS_FINDINGRESOURCE = 1;
inline constexpr ULONG BINDSTATUS_CONNECTING = 2;
inline constexpr ULONG BINDSTATUS_REDIRECTING = 3;
inline constexpr ULONG BINDSTATUS_BEGINDOWNLOADDATA = 4;
inline constexpr ULONG BINDSTATUS_DOWNLOADINGDATA = 5;
inline constexpr ULONG BINDSTATUS_ENDDOWNLOADDATA = 6;
inline constexpr ULONG BINDSTATUS_MIMETYPEAVAILABLE = 13;
inline constexpr ULONG BINDSTATUS_CACHEFILENAMEAVAILABLE = 14;

// Flags of Start.
inline constexpr DWORD PI_PARSE_URL = 0x1;
inline constexpr DWORD PI_FILTER_MODE = 0x2;
inline constexpr DWORD PI_FORCE_ASYNC = 0x4;

// Origins of Seek.
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

struct IInternetBindInfo : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{79EAC9E1-BAF9-11CE-8C82-00AA004BA90B}");
  using Base = com::IUnknown;
  virtual HRESULT GetBindInfo(DWORD* grfBINDF, BINDINFO* bindinfo) = 0;
  // Up to `max` strings of kind `type` appended to *strings, their count in *fetched.
  virtual HRESULT GetBindString(ULONG type, std::vector<std::string>* strings, ULONG max,
                                ULONG* fetched) = 0;
};

struct IInternetProtocolSink : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{79EAC9E5-BAF9-11CE-8C82-00AA004BA90B}");
  using Base = com::IUnknown;
  virtual HRESULT Switch(PROTOCOLDATA* data) = 0;
  virtual HRESULT ReportProgress(ULONG status, const char* text) = 0;
  virtual HRESULT ReportData(DWORD flags, ULONG progress, ULONG progress_max) = 0;
  virtual HRESULT ReportResult(HRESULT result, DWORD error, const char* text) = 0;
};

struct IInternetProtocolRoot : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{79EAC9E3-BAF9-11CE-8C82-00AA004BA90B}");
  using Base = com::IUnknown;
  virtual HRESULT Start(const char* url, IInternetProtocolSink* sink, IInternetBindInfo* bind_info,
                        DWORD flags, std::uintptr_t reserved) = 0;
  virtual HRESULT Continue(PROTOCOLDATA* data) = 0;
  virtual HRESULT Abort(HRESULT reason, DWORD options) = 0;
  virtual HRESULT Terminate(DWORD options) = 0;
  virtual HRESULT Suspend() = 0;
  virtual HRESULT Resume() = 0;
};

struct IInternetProtocol : IInternetProtocolRoot {
  static constexpr GUID kIid = com::MakeGuid("{79EAC9E4-BAF9-11CE-8C82-00AA004BA90B}");
  using Base = IInternetProtocolRoot;
  // Copies up to `size` bytes into `buffer`; *read gets the count. S_FALSE: no more data ever;
  // S_OK or E_PENDING: more may follow.
  virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
  virtual HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* new_position) = 0;
  virtual HRESULT LockRequest(DWORD options) = 0;
  virtual HRESULT UnlockRequest() = 0;
};

// The process's internet session: the namespace handlers registered by scheme.
struct IInternetSession : com::IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{79EAC9E7-BAF9-11CE-8C82-00AA004BA90B}");
  using Base = com::IUnknown;
  // Every later request whose scheme is `scheme` (any case) first goes to a new object of
  // `factory`. The most recent registration of a scheme is asked first. Patterns are accepted
  // and ignored (a handler sees every request of its scheme).
  virtual HRESULT RegisterNameSpace(com::IClassFactory* factory, const GUID& clsid,
                                    const char* scheme, ULONG pattern_count,
                                    const char* const* patterns, DWORD reserved) = 0;
  // Withdraws the registration of `factory` for `scheme`; S_OK also when there was none.
  virtual HRESULT UnregisterNameSpace(com::IClassFactory* factory, const char* scheme) = 0;
  virtual HRESULT RegisterMimeFilter(com::IClassFactory* factory, const GUID& clsid,
                                     const char* type) = 0;
  virtual HRESULT UnregisterMimeFilter(com::IClassFactory* factory, const char* type) = 0;
};

// The process's internet session (mode and reserved must be 0).
HRESULT CoInternetGetSession(DWORD mode, IInternetSession** session, DWORD reserved);

}  // namespace vt::browser
