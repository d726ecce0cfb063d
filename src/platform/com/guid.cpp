#include "platform/com/guid.h"

#include <cstdio>
#include <random>

namespace vt::com {

std::string ToString(const GUID& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), unsigned{g.Data2}, unsigned{g.Data3},
                unsigned{g.Data4[0]}, unsigned{g.Data4[1]}, unsigned{g.Data4[2]},
                unsigned{g.Data4[3]}, unsigned{g.Data4[4]}, unsigned{g.Data4[5]},
                unsigned{g.Data4[6]}, unsigned{g.Data4[7]});
  return text;
}

GUID CreateGuid() {
  thread_local std::mt19937_64 engine = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  const std::uint64_t hi = engine();
  const std::uint64_t lo = engine();
  GUID g;
  g.Data1 = static_cast<std::uint32_t>(hi >> 32);
  g.Data2 = static_cast<std::uint16_t>(hi >> 16);
  g.Data3 = static_cast<std::uint16_t>((hi & 0x0FFF) | 0x4000);  // version 4
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<std::uint8_t>(lo >> (56 - 8 * i));
  g.Data4[0] = static_cast<std::uint8_t>((g.Data4[0] & 0x3F) | 0x80);  // RFC 4122 variant
  return g;
}

std::size_t GuidHash::operator()(const GUID& g) const noexcept {
  std::uint64_t h = (std::uint64_t{g.Data1} << 32) ^ (std::uint64_t{g.Data2} << 16) ^ g.Data3;
  for (std::uint8_t b : g.Data4) h = h * 1099511628211ull ^ b;
  return static_cast<std::size_t>(h ^ (h >> 29));
}

}  // namespace vt::com
