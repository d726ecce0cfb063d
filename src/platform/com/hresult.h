#pragma once
// Status codes of COM calls, with the numeric values other components expect.
#include <cstdint>
#include <string>

namespace vt::com {

using HRESULT = std::int32_t;

constexpr HRESULT MakeHresult(std::uint32_t bits) {
  return static_cast<HRESULT>(bits);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
inline constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
inline constexpr HRESULT E_PENDING = MakeHresult(0x8000000Au);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
inline constexpr HRESULT E_HANDLE = MakeHresult(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);

inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = MakeHresult(0x80040003u);
inline constexpr HRESULT OLE_E_NOCONNECTION = MakeHresult(0x80040004u);
inline constexpr HRESULT OLE_E_NOTRUNNING = MakeHresult(0x80040005u);
inline constexpr HRESULT OLE_E_BLANK = MakeHresult(0x80040007u);
inline constexpr HRESULT OLE_E_NOT_INPLACEACTIVE = MakeHresult(0x80040010u);
inline constexpr HRESULT OLE_E_CANT_BINDTOSOURCE = MakeHresult(0x8004000Au);
inline constexpr HRESULT OLE_S_USEREG = MakeHresult(0x00040000u);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111u);
inline constexpr HRESULT REGDB_E_READREGDB = MakeHresult(0x80040150u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = MakeHresult(0x80040151u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHresult(0x800401F0u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHresult(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHresult(0x800401F9u);
inline constexpr HRESULT CO_E_OBJNOTREG = MakeHresult(0x800401FBu);

inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHresult(0x80040200u);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHresult(0x80040201u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHresult(0x80040202u);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHresult(0x80040201u);
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeHresult(0x80040200u);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHresult(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHresult(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHresult(0x80020006u);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHresult(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeHresult(0x80020009u);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000Bu);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHresult(0x8002000Eu);

inline constexpr HRESULT INET_E_INVALID_URL = MakeHresult(0x800C0002u);
inline constexpr HRESULT INET_E_NO_SESSION = MakeHresult(0x800C0003u);
inline constexpr HRESULT INET_E_CANNOT_CONNECT = MakeHresult(0x800C0004u);
inline constexpr HRESULT INET_E_RESOURCE_NOT_FOUND = MakeHresult(0x800C0005u);
inline constexpr HRESULT INET_E_OBJECT_NOT_FOUND = MakeHresult(0x800C0006u);
inline constexpr HRESULT INET_E_DATA_NOT_AVAILABLE = MakeHresult(0x800C0007u);
inline constexpr HRESULT INET_E_DOWNLOAD_FAILURE = MakeHresult(0x800C0008u);
inline constexpr HRESULT INET_E_CONNECTION_TIMEOUT = MakeHresult(0x800C000Bu);
inline constexpr HRESULT INET_E_INVALID_REQUEST = MakeHresult(0x800C000Cu);
inline constexpr HRESULT INET_E_UNKNOWN_PROTOCOL = MakeHresult(0x800C000Du);
inline constexpr HRESULT INET_E_USE_DEFAULT_PROTOCOLHANDLER = MakeHresult(0x800C0011u);

constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}

// "E_NOINTERFACE (0x80004002)" for the codes above, "0x8007001F" for any other.
std::string HresultText(HRESULT hr);

}  // namespace vt::com
