#pragma once
// The band module's start-up inside the browser process: raises the band-active flag and makes
// the band's class factory the process's class object of CLSID_ExplorerBand, so that the shell
// creates band objects through CoCreateInstance as it would from the registry. UI thread only.
#include "platform/com/com.h"

namespace vt {

// Idempotent: a second call keeps the first registration. Answers the registration's HRESULT
// (S_OK when already started).
com::HRESULT StartBandModule();

// Revokes the band's class object (the shell's end, and tests); nothing when not started.
void StopBandModule();

}  // namespace vt
