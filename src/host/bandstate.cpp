#include "host/bandstate.h"

#include "host/clsids.h"

namespace vt {

namespace {
bool g_band_active = true;  // the module sets it when it starts
}  // namespace

bool BandActive() {
  return g_band_active;
}
void SetBandActive(bool active) {
  g_band_active = active;
}

std::string BandClsidText() {
  return com::ToString(CLSID_ExplorerBand);
}

}  // namespace vt
