#pragma once
// Process-wide state of the band module shared by the band objects, the band forms and the
// browser helper objects. UI thread only; nothing here is locked.

namespace vt {

// The band-active flag. Set when the module starts and each time a band form binds its page
// session; cleared before a command opens a browser window that must not get a band. While it
// is clear, band objects and browser helper objects do nothing.
bool BandActive();
void SetBandActive(bool active);

}  // namespace vt
