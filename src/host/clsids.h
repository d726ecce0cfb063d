#pragma once
// The fixed class identifiers of the band module's COM classes.
#include "platform/com/guid.h"

namespace vt {

// The explorer bar (TExplorerBand).
inline constexpr com::GUID CLSID_ExplorerBand =
    com::MakeGuid("{DD8E695B-AB7D-4629-9942-A007CBF1C8AF}");
// The browser helper object (TIEBrowserHelper).
inline constexpr com::GUID CLSID_IEBrowserHelper =
    com::MakeGuid("{BEC5C2AA-30BB-438E-9D4C-2C6326C56025}");
// The private-host protocol handler.
inline constexpr com::GUID CLSID_NSHandler =
    com::MakeGuid("{CA7006D3-631F-41EC-93FC-6922E56CEBC6}");
// The document host UI handler.
inline constexpr com::GUID CLSID_DocHostUIHandler =
    com::MakeGuid("{5290DD89-61B9-4F64-A570-BAFF2204F62A}");

// The band's class identifier in its 38-character registry form ("{...}").
std::string BandClsidText();

}  // namespace vt
