#pragma once
// The shell's band interfaces (Windows interface IDs and slot order): what a band site asks of
// a band object, and what the band asks of its site.
#include <cstdint>

#include "platform/com/com.h"
#include "platform/msgloop/message_loop.h"

namespace vt::shell {

using com::BOOL;
using com::DWORD;
using com::GUID;
using com::HRESULT;
using com::HWND;
using com::IUnknown;
using com::UINT;
using com::ULONG;
using com::VARIANT;

struct POINTL {
  std::int32_t x = 0;
  std::int32_t y = 0;
};
struct RECT {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};
using COLORREF = DWORD;
using HMENU = std::uintptr_t;
using MSG = msgloop::MSG;

// DESKBANDINFO masks and mode flags.
inline constexpr DWORD DBIM_MINSIZE = 0x0001;
inline constexpr DWORD DBIM_MAXSIZE = 0x0002;
inline constexpr DWORD DBIM_INTEGRAL = 0x0004;
inline constexpr DWORD DBIM_ACTUAL = 0x0008;
inline constexpr DWORD DBIM_TITLE = 0x0010;
inline constexpr DWORD DBIM_MODEFLAGS = 0x0020;
inline constexpr DWORD DBIM_BKCOLOR = 0x0040;
inline constexpr DWORD DBIMF_NORMAL = 0x0000;
inline constexpr DWORD DBIMF_VARIABLEHEIGHT = 0x0008;

struct DESKBANDINFO {
  DWORD dwMask = 0;
  POINTL ptMinSize;
  POINTL ptMaxSize;
  POINTL ptIntegral;
  POINTL ptActual;
  char16_t wszTitle[256] = {};
  DWORD dwModeFlags = 0;
  COLORREF crBkgnd = 0;
};

struct IDockingWindow : com::IOleWindow {
  static constexpr GUID kIid = com::MakeGuid("{012DD920-7B26-11D0-8CA9-00A0C92DBFE8}");
  using Base = com::IOleWindow;
  virtual HRESULT ShowDW(BOOL show) = 0;
  virtual HRESULT CloseDW(DWORD reserved) = 0;
  virtual HRESULT ResizeBorderDW(const RECT* border, IUnknown* site, BOOL reserved) = 0;
};

struct IDeskBand : IDockingWindow {
  static constexpr GUID kIid = com::MakeGuid("{EB0FE172-1A3A-11D0-89B3-00A0C90A90AC}");
  using Base = IDockingWindow;
  virtual HRESULT GetBandInfo(DWORD band_id, DWORD view_mode, DESKBANDINFO* info) = 0;
};

struct IInputObject : IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{68284FAA-6A48-11D0-8C78-00C04FD918B4}");
  using Base = IUnknown;
  virtual HRESULT UIActivateIO(BOOL activate, MSG* msg) = 0;
  virtual HRESULT HasFocusIO() = 0;
  virtual HRESULT TranslateAcceleratorIO(MSG* msg) = 0;
};

struct IInputObjectSite : IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{F1DB8392-7331-11D0-8C99-00A0C92DBFE8}");
  using Base = IUnknown;
  virtual HRESULT OnFocusChangeIS(IUnknown* object, BOOL focus) = 0;
};

struct CMINVOKECOMMANDINFO {
  DWORD cbSize = 0;
  DWORD fMask = 0;
  HWND hwnd = 0;
  const char* lpVerb = nullptr;
  const char* lpParameters = nullptr;
  const char* lpDirectory = nullptr;
  int nShow = 0;
};

struct IContextMenu : IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{000214E4-0000-0000-C000-000000000046}");
  using Base = IUnknown;
  virtual HRESULT QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) = 0;
  virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) = 0;
  virtual HRESULT GetCommandString(std::uintptr_t command, UINT type, UINT* reserved, char* name,
                                   UINT size) = 0;
};

struct IStream : IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{0000000C-0000-0000-C000-000000000046}");
  using Base = IUnknown;
};

struct IPersist : IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{0000010C-0000-0000-C000-000000000046}");
  using Base = IUnknown;
  virtual HRESULT GetClassID(GUID* clsid) = 0;
};

struct IPersistStreamInit : IPersist {
  static constexpr GUID kIid = com::MakeGuid("{7FD52380-4E07-101B-AE2D-08002B2EC713}");
  using Base = IPersist;
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, BOOL clear_dirty) = 0;
  virtual HRESULT GetSizeMax(std::uint64_t* size) = 0;
  virtual HRESULT InitNew() = 0;
};

struct OLECMD {
  ULONG cmdID = 0;
  DWORD cmdf = 0;
};
struct OLECMDTEXT;

struct IOleCommandTarget : IUnknown {
  static constexpr GUID kIid = com::MakeGuid("{B722BCCB-4E68-101B-A2BC-00AA00404770}");
  using Base = IUnknown;
  virtual HRESULT QueryStatus(const GUID* group, ULONG count, OLECMD* commands,
                              OLECMDTEXT* text) = 0;
  virtual HRESULT Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in,
                       VARIANT* out) = 0;
};

}  // namespace vt::shell
