#pragma once
// VARIANT, the tagged value of dispatch calls and events, and DISPPARAMS, the argument list of
// IDispatch::Invoke. Strings are UTF-8 std::string (in place of BSTR). A VARIANT holding an
// interface owns one reference to it. A by-reference VARIANT points at storage its creator owns
// (the caller of an event keeps the Cancel flag alive while the event runs).
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/unknown.h"

namespace vt::com {

struct IDispatch;

enum VARTYPE : std::uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_INT = 22,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

constexpr VARTYPE operator|(VARTYPE a, VARTYPE b) {
  return static_cast<VARTYPE>(static_cast<std::uint16_t>(a) | static_cast<std::uint16_t>(b));
}

// "VT_BSTR", "VT_BYREF|VT_VARIANT", ... for messages.
std::string VarTypeName(VARTYPE vt);

class VARIANT {
 public:
  VARIANT();  // VT_EMPTY
  VARIANT(const VARIANT& other);
  VARIANT(VARIANT&& other) noexcept;
  VARIANT& operator=(const VARIANT& other);
  VARIANT& operator=(VARIANT&& other) noexcept;
  ~VARIANT();
  VARIANT(bool value);
  VARIANT(std::int32_t value);
  VARIANT(double value);
  VARIANT(std::string value);
  VARIANT(std::string_view value) : VARIANT(std::string(value)) {}
  VARIANT(const char* value) : VARIANT(std::string(value)) {}
  explicit VARIANT(IUnknown* value);   // VT_UNKNOWN, AddRef'ed
  explicit VARIANT(IDispatch* value);  // VT_DISPATCH, AddRef'ed

  static VARIANT Null();
  static VARIANT Int16(std::int16_t value);
  static VARIANT UInt32(std::uint32_t value);
  static VARIANT Int64(std::int64_t value);
  static VARIANT Error(HRESULT code);  // VT_ERROR; Missing() marks an omitted optional argument
  static VARIANT Missing() { return Error(DISP_E_PARAMNOTFOUND); }
  static VARIANT Bytes(std::string bytes);  // VT_ARRAY|VT_UI1, e.g. post data
  // By reference (VT_BYREF|VT_VARIANT, VT_BYREF|VT_BOOL): target must outlive this value.
  static VARIANT RefVariant(VARIANT* target);
  static VARIANT RefBool(VARIANT_BOOL* target);

  VARTYPE vt() const { return vt_; }
  bool IsEmpty() const { return vt_ == VT_EMPTY; }
  bool IsNull() const { return vt_ == VT_NULL; }
  bool IsByRef() const { return (vt_ & VT_BYREF) != 0; }

  // The value a VT_BYREF|VT_VARIANT points at (following chains); the value itself otherwise.
  const VARIANT& Deref() const;
  VARIANT& Deref();

  // Typed reads. Each looks through VT_BYREF|VT_VARIANT first and answers nullopt (or null)
  // when the value has another type; numbers widen and narrow only when the value fits.
  std::optional<bool> GetBool() const;  // VT_BOOL, VT_BYREF|VT_BOOL
  std::optional<std::int32_t> GetInt32() const;
  std::optional<std::int64_t> GetInt64() const;
  std::optional<double> GetDouble() const;
  std::optional<std::string> GetString() const;  // VT_BSTR
  std::optional<std::string> GetBytes() const;   // VT_ARRAY|VT_UI1
  std::optional<HRESULT> GetError() const;       // VT_ERROR
  IUnknown* GetUnknown() const;                  // VT_UNKNOWN or VT_DISPATCH; not AddRef'ed
  IDispatch* GetDispatch() const;                // VT_DISPATCH; not AddRef'ed
  VARIANT* GetVariantRef() const;                // VT_BYREF|VT_VARIANT target
  VARIANT_BOOL* GetBoolRef() const;              // VT_BYREF|VT_BOOL target

  // Writes a by-reference boolean (an event's Cancel): through VT_BYREF|VT_BOOL, or into the
  // target of VT_BYREF|VT_VARIANT. False when this value is not by reference.
  bool SetBoolRef(bool value) const;

  void Clear() { *this = VARIANT(); }

  // Same type and same value (interfaces by pointer, references by target).
  friend bool operator==(const VARIANT& a, const VARIANT& b);

 private:
  static VARIANT Tagged(VARTYPE vt, std::int64_t number, void* ref);

  VARTYPE vt_ = VT_EMPTY;
  std::int64_t int_ = 0;
  double double_ = 0;
  std::string text_;
  ComPtr<IUnknown> unknown_;
  ComPtr<IDispatch> dispatch_;
  void* ref_ = nullptr;
};

// The arguments of Invoke. As on Windows, rgvarg holds the arguments last-first: the named
// arguments come first (rgvarg[k] is the argument whose DISPID is rgdispidNamedArgs[k]), then
// the positional ones in reverse order of declaration.
struct DISPPARAMS {
  std::vector<VARIANT> rgvarg;
  std::vector<DISPID> rgdispidNamedArgs;

  UINT cArgs() const { return static_cast<UINT>(rgvarg.size()); }
  UINT cNamedArgs() const { return static_cast<UINT>(rgdispidNamedArgs.size()); }
};

// DISPPARAMS from positional arguments written in declaration order.
DISPPARAMS MakeDispParams(std::vector<VARIANT> argsInDeclarationOrder);

// Argument `index` (0-based, declaration order): the named argument with DISPID index if there
// is one, else the positional one. Null when the call did not pass it.
const VARIANT* GetArg(const DISPPARAMS* params, UINT index);
VARIANT* GetArg(DISPPARAMS* params, UINT index);

struct EXCEPINFO {
  WORD wCode = 0;
  std::string bstrSource;
  std::string bstrDescription;
  HRESULT scode = S_OK;
};

}  // namespace vt::com
