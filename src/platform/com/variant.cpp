#include "platform/com/variant.h"

#include <algorithm>
#include <limits>

#include "platform/com/dispatch.h"

namespace vt::com {

std::string VarTypeName(VARTYPE vt) {
  std::string prefix;
  if (vt & VT_BYREF) prefix += "VT_BYREF|";
  if (vt & VT_ARRAY) prefix += "VT_ARRAY|";
  switch (static_cast<VARTYPE>(vt & 0x0FFF)) {
    case VT_EMPTY:
      return prefix + "VT_EMPTY";
    case VT_NULL:
      return prefix + "VT_NULL";
    case VT_I2:
      return prefix + "VT_I2";
    case VT_I4:
      return prefix + "VT_I4";
    case VT_R8:
      return prefix + "VT_R8";
    case VT_BSTR:
      return prefix + "VT_BSTR";
    case VT_DISPATCH:
      return prefix + "VT_DISPATCH";
    case VT_ERROR:
      return prefix + "VT_ERROR";
    case VT_BOOL:
      return prefix + "VT_BOOL";
    case VT_VARIANT:
      return prefix + "VT_VARIANT";
    case VT_UNKNOWN:
      return prefix + "VT_UNKNOWN";
    case VT_UI1:
      return prefix + "VT_UI1";
    case VT_UI4:
      return prefix + "VT_UI4";
    case VT_I8:
      return prefix + "VT_I8";
    case VT_INT:
      return prefix + "VT_INT";
    default:
      return prefix + "VT_" + std::to_string(vt & 0x0FFF);
  }
}

VARIANT::VARIANT() = default;
VARIANT::VARIANT(const VARIANT& other) = default;
VARIANT::VARIANT(VARIANT&& other) noexcept = default;
VARIANT& VARIANT::operator=(const VARIANT& other) = default;
VARIANT& VARIANT::operator=(VARIANT&& other) noexcept = default;
VARIANT::~VARIANT() = default;

VARIANT::VARIANT(bool value) : vt_(VT_BOOL), int_(value ? VARIANT_TRUE : VARIANT_FALSE) {}
VARIANT::VARIANT(std::int32_t value) : vt_(VT_I4), int_(value) {}
VARIANT::VARIANT(double value) : vt_(VT_R8), double_(value) {}
VARIANT::VARIANT(std::string value) : vt_(VT_BSTR), text_(std::move(value)) {}
VARIANT::VARIANT(IUnknown* value) : vt_(VT_UNKNOWN), unknown_(value) {}
VARIANT::VARIANT(IDispatch* value) : vt_(VT_DISPATCH), dispatch_(value) {}

VARIANT VARIANT::Tagged(VARTYPE vt, std::int64_t number, void* ref) {
  VARIANT v;
  v.vt_ = vt;
  v.int_ = number;
  v.ref_ = ref;
  return v;
}

VARIANT VARIANT::Null() {
  return Tagged(VT_NULL, 0, nullptr);
}
VARIANT VARIANT::Int16(std::int16_t value) {
  return Tagged(VT_I2, value, nullptr);
}
VARIANT VARIANT::UInt32(std::uint32_t value) {
  return Tagged(VT_UI4, value, nullptr);
}
VARIANT VARIANT::Int64(std::int64_t value) {
  return Tagged(VT_I8, value, nullptr);
}
VARIANT VARIANT::Error(HRESULT code) {
  return Tagged(VT_ERROR, code, nullptr);
}
VARIANT VARIANT::RefVariant(VARIANT* target) {
  return Tagged(VT_BYREF | VT_VARIANT, 0, target);
}
VARIANT VARIANT::RefBool(VARIANT_BOOL* target) {
  return Tagged(VT_BYREF | VT_BOOL, 0, target);
}
VARIANT VARIANT::Bytes(std::string bytes) {
  VARIANT v = Tagged(VT_ARRAY | VT_UI1, 0, nullptr);
  v.text_ = std::move(bytes);
  return v;
}

const VARIANT& VARIANT::Deref() const {
  const VARIANT* v = this;
  // A cycle of references is a caller's bug; stop after a sane depth rather than loop.
  for (int depth = 0; depth < 16 && v->vt_ == (VT_BYREF | VT_VARIANT) && v->ref_; ++depth) {
    v = static_cast<const VARIANT*>(v->ref_);
  }
  return *v;
}
VARIANT& VARIANT::Deref() {
  return const_cast<VARIANT&>(std::as_const(*this).Deref());
}

std::optional<bool> VARIANT::GetBool() const {
  const VARIANT& v = Deref();
  if (v.vt_ == VT_BOOL) return v.int_ != 0;
  if (v.vt_ == (VT_BYREF | VT_BOOL) && v.ref_) return *static_cast<VARIANT_BOOL*>(v.ref_) != 0;
  return std::nullopt;
}

std::optional<std::int64_t> VARIANT::GetInt64() const {
  const VARIANT& v = Deref();
  switch (v.vt_) {
    case VT_I2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_INT:
      return v.int_;
    default:
      return std::nullopt;
  }
}

std::optional<std::int32_t> VARIANT::GetInt32() const {
  auto value = GetInt64();
  if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
      *value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*value);
}

std::optional<double> VARIANT::GetDouble() const {
  const VARIANT& v = Deref();
  if (v.vt_ == VT_R8) return v.double_;
  if (auto i = GetInt64()) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<std::string> VARIANT::GetString() const {
  const VARIANT& v = Deref();
  if (v.vt_ == VT_BSTR) return v.text_;
  return std::nullopt;
}

std::optional<std::string> VARIANT::GetBytes() const {
  const VARIANT& v = Deref();
  if (v.vt_ == (VT_ARRAY | VT_UI1)) return v.text_;
  return std::nullopt;
}

std::optional<HRESULT> VARIANT::GetError() const {
  const VARIANT& v = Deref();
  if (v.vt_ == VT_ERROR) return static_cast<HRESULT>(v.int_);
  return std::nullopt;
}

IUnknown* VARIANT::GetUnknown() const {
  const VARIANT& v = Deref();
  if (v.vt_ == VT_UNKNOWN) return v.unknown_.get();
  if (v.vt_ == VT_DISPATCH) return v.dispatch_.get();
  return nullptr;
}

IDispatch* VARIANT::GetDispatch() const {
  const VARIANT& v = Deref();
  return v.vt_ == VT_DISPATCH ? v.dispatch_.get() : nullptr;
}

VARIANT* VARIANT::GetVariantRef() const {
  return vt_ == (VT_BYREF | VT_VARIANT) ? static_cast<VARIANT*>(ref_) : nullptr;
}

VARIANT_BOOL* VARIANT::GetBoolRef() const {
  const VARIANT& v = Deref();
  return v.vt_ == (VT_BYREF | VT_BOOL) ? static_cast<VARIANT_BOOL*>(v.ref_) : nullptr;
}

bool VARIANT::SetBoolRef(bool value) const {
  if (VARIANT_BOOL* target = GetBoolRef()) {
    *target = value ? VARIANT_TRUE : VARIANT_FALSE;
    return true;
  }
  if (vt_ == (VT_BYREF | VT_VARIANT) && ref_) {
    const_cast<VARIANT&>(Deref()) = VARIANT(value);
    return true;
  }
  return false;
}

bool operator==(const VARIANT& a, const VARIANT& b) {
  if (a.vt_ != b.vt_) return false;
  switch (static_cast<int>(a.vt_)) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_R8:
      return a.double_ == b.double_;
    case VT_BSTR:
    case VT_ARRAY | VT_UI1:
      return a.text_ == b.text_;
    case VT_UNKNOWN:
      return a.unknown_ == b.unknown_;
    case VT_DISPATCH:
      return a.dispatch_ == b.dispatch_;
    default:
      return (a.vt_ & VT_BYREF) ? a.ref_ == b.ref_ : a.int_ == b.int_;
  }
}

DISPPARAMS MakeDispParams(std::vector<VARIANT> args) {
  std::reverse(args.begin(), args.end());
  DISPPARAMS params;
  params.rgvarg = std::move(args);
  return params;
}

const VARIANT* GetArg(const DISPPARAMS* params, UINT index) {
  if (!params) return nullptr;
  const UINT named = std::min(params->cNamedArgs(), params->cArgs());
  for (UINT k = 0; k < named; ++k) {
    if (params->rgdispidNamedArgs[k] == static_cast<DISPID>(index)) return &params->rgvarg[k];
  }
  const UINT positional = params->cArgs() - named;
  if (index >= positional) return nullptr;
  return &params->rgvarg[params->cArgs() - 1 - index];
}

VARIANT* GetArg(DISPPARAMS* params, UINT index) {
  return const_cast<VARIANT*>(GetArg(static_cast<const DISPPARAMS*>(params), index));
}

}  // namespace vt::com
