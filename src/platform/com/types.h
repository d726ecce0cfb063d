#pragma once
// The plain integer types of the component object model, with their usual widths.
#include <cstdint>

namespace vt::com {

using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using WORD = std::uint16_t;
using BOOL = std::int32_t;  // TRUE is 1 in most places; test against 0, never against TRUE
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using VARIANT_BOOL = std::int16_t;
// A window handle: a number naming a window of the message loop (0 is no window).
using HWND = std::uintptr_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

}  // namespace vt::com
