#pragma once
// Streams: IStream over memory (CreateStreamOnHGlobal) and the persistence interfaces of objects
// that load and save themselves through a stream. Single-threaded objects.
#include <cstdint>
#include <string>

#include "platform/com/unknown.h"

namespace vt::com {

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

inline constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHresult(0x80030001u);

struct ISequentialStream : IUnknown {
  static constexpr GUID kIid = MakeGuid("{0C733A30-2A1C-11CE-ADE5-00AA0044773D}");
  using Base = IUnknown;
  // Copies up to `size` bytes; *read (may be null) gets the count. S_OK also at the end.
  virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
  virtual HRESULT Write(const void* buffer, ULONG size, ULONG* written) = 0;
};

struct IStream : ISequentialStream {
  static constexpr GUID kIid = MakeGuid("{0000000C-0000-0000-C000-000000000046}");
  using Base = ISequentialStream;
  // Moves the position; STG_E_INVALIDFUNCTION for a position before the start.
  virtual HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* new_position) = 0;
  virtual HRESULT SetSize(std::uint64_t size) = 0;
};

// A stream over growable memory, empty and positioned at 0. The memory handle of the Windows
// call is not modelled: pass nullptr; delete_on_release is accepted (the memory always goes with
// the stream).
HRESULT CreateStreamOnHGlobal(void* memory, BOOL delete_on_release, IStream** out);

// The whole content of a stream from its current position to the end.
std::string ReadAllFromStream(IStream* stream);

struct IPersistStreamInit : IUnknown {
  static constexpr GUID kIid = MakeGuid("{7FD52380-4E07-101B-AE2D-08002B2EC713}");
  using Base = IUnknown;
  virtual HRESULT GetClassID(GUID* clsid) = 0;
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, BOOL clear_dirty) = 0;
  virtual HRESULT GetSizeMax(std::uint64_t* size) = 0;
  virtual HRESULT InitNew() = 0;
};

}  // namespace vt::com
