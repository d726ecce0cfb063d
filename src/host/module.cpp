#include "host/module.h"

#include "host/ExplorerBand.h"
#include "host/bandstate.h"
#include "host/clsids.h"
#include "platform/com/classfactory.h"

namespace vt {

using namespace com;

namespace {
using TExplorerBandFactory = ClassFactory<TExplorerBand>;
DWORD g_band_registration = 0;
}  // namespace

HRESULT StartBandModule() {
  SetBandActive(true);
  if (g_band_registration != 0) return S_OK;
  // Factories live as long as the module: this one is never freed.
  static TExplorerBandFactory* factory = new TExplorerBandFactory();
  DWORD cookie = 0;
  const HRESULT hr = CoRegisterClassObject(CLSID_ExplorerBand, factory, CLSCTX_INPROC_SERVER,
                                           REGCLS_MULTIPLEUSE, &cookie);
  if (SUCCEEDED(hr)) g_band_registration = cookie;
  return hr;
}

void StopBandModule() {
  if (g_band_registration == 0) return;
  CoRevokeClassObject(g_band_registration);
  g_band_registration = 0;
}

}  // namespace vt
