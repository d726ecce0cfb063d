#pragma once
// The private host: every page the system generates (snippet views, compiled articles, filter
// views) is addressed under this name. It can never be a real internet host.
#include <string_view>

namespace vt {

inline constexpr std::string_view kPrivateHost = "vellumtrace.localhost";

}  // namespace vt
