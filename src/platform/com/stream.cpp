#include "platform/com/stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vt::com {

namespace {

class MemoryStream final : public ComObject<IStream> {
 public:
  HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
    if (!buffer && size > 0) return E_POINTER;
    const std::uint64_t left = position_ < data_.size() ? data_.size() - position_ : 0;
    const ULONG n = static_cast<ULONG>(std::min<std::uint64_t>(size, left));
    if (n > 0) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    if (read) *read = n;
    return S_OK;
  }
  HRESULT Write(const void* buffer, ULONG size, ULONG* written) override {
    if (!buffer && size > 0) return E_POINTER;
    try {
      if (position_ + size > data_.size()) data_.resize(position_ + size);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    if (size > 0) std::memcpy(data_.data() + position_, buffer, size);
    position_ += size;
    if (written) *written = size;
    return S_OK;
  }
  HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* new_position) override {
    std::int64_t base = 0;
    if (origin == STREAM_SEEK_CUR) {
      base = static_cast<std::int64_t>(position_);
    } else if (origin == STREAM_SEEK_END) {
      base = static_cast<std::int64_t>(data_.size());
    } else if (origin != STREAM_SEEK_SET) {
      return STG_E_INVALIDFUNCTION;
    }
    if (base + move < 0) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<std::uint64_t>(base + move);
    if (new_position) *new_position = position_;
    return S_OK;
  }
  HRESULT SetSize(std::uint64_t size) override {
    try {
      data_.resize(size);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

 private:
  std::string data_;
  std::uint64_t position_ = 0;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(void*, BOOL, IStream** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    *out = MakeCom<MemoryStream>().Detach();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

std::string ReadAllFromStream(IStream* stream) {
  std::string out;
  if (!stream) return out;
  char buffer[16384];
  for (;;) {
    ULONG n = 0;
    if (FAILED(stream->Read(buffer, sizeof buffer, &n)) || n == 0) break;
    out.append(buffer, n);
  }
  return out;
}

}  // namespace vt::com
