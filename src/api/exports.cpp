// The ten exported functions.  Each looks its handle up in the registry and
// forwards to the decoder; nothing but 1, 0 or a setter's value crosses the
// boundary, and no exception leaves it.
#include <cstddef>
#include <new>

#include "api/decoder.h"
#include "api/registry.h"
#include "tavrin.h"

using tavrin::Decoder;

namespace {

constexpr uint32_t kVersion = 0x01000001u;

// The records keep their field order with natural alignment: the offsets of
// the native 32-bit interface, and on 64-bit builds the same order with
// pointer-sized pointers.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(DecoderInput, data) == 0 && offsetof(DecoderInput, reserved0) == 4 &&
              offsetof(DecoderInput, width) == 8 && offsetof(DecoderInput, height) == 12 &&
              offsetof(DecoderInput, length) == 16 && offsetof(DecoderInput, reserved1) == 20 &&
              offsetof(DecoderInput, sourceType) == 24 && offsetof(DecoderInput, reserved2) == 28);
static_assert(offsetof(DecoderOutput, timeResolution) == 12 &&
              offsetof(DecoderOutput, planeY) == 16 && offsetof(DecoderOutput, planeCb) == 20 &&
              offsetof(DecoderOutput, planeCr) == 24 && offsetof(DecoderOutput, strideY) == 28 &&
              offsetof(DecoderOutput, strideCb) == 32 && offsetof(DecoderOutput, strideCr) == 36);
#else
static_assert(offsetof(DecoderInput, data) == 0 && offsetof(DecoderInput, reserved0) == 8 &&
              offsetof(DecoderInput, width) == 12 && offsetof(DecoderInput, height) == 16 &&
              offsetof(DecoderInput, length) == 20 && offsetof(DecoderInput, reserved1) == 24 &&
              offsetof(DecoderInput, sourceType) == 28 && offsetof(DecoderInput, reserved2) == 32);
static_assert(offsetof(DecoderOutput, timeResolution) == 12 &&
              offsetof(DecoderOutput, planeY) == 16 && offsetof(DecoderOutput, planeCb) == 24 &&
              offsetof(DecoderOutput, planeCr) == 32 && offsetof(DecoderOutput, strideY) == 40 &&
              offsetof(DecoderOutput, strideCb) == 44 && offsetof(DecoderOutput, strideCr) == 48);
#endif
static_assert(sizeof(TavrinHandle) == sizeof(void*));

// Runs call on the decoder a handle names; 0 for a handle that names none.
template <typename Call>
int32_t OnDecoder(TavrinHandle handle, Call call) {
  Decoder* decoder = tavrin::registry::Find(handle);
  return decoder ? call(*decoder) : 0;
}

}  // namespace

extern "C" {

TAVRIN_API uint32_t TAVRIN_CALL GetMorvelDllVersion(void) { return kVersion; }

TAVRIN_API TavrinHandle TAVRIN_CALL TavrinDecoder_CreateDecoder(const DecoderInput* header,
                                                                 DecoderOutput* info) {
  try {
    Decoder* decoder = new (std::nothrow) Decoder(header, info);
    if (decoder == nullptr) return 0;
    tavrin::registry::Insert(decoder);
    return reinterpret_cast<TavrinHandle>(decoder);
  } catch (...) {
    // Only the registry's own bookkeeping can throw (out of memory).
    return 0;
  }
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_DecoderOneFrame(TavrinHandle handle,
                                                              const DecoderInput* frame,
                                                              DecoderOutput* picture) {
  return OnDecoder(handle, [&](Decoder& d) { return d.DecodeOneFrame(frame, picture); });
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_ReleaseDecoder(TavrinHandle handle) {
  Decoder* decoder = tavrin::registry::Remove(handle);
  if (decoder == nullptr) return 0;
  delete decoder;
  return 1;
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_ResizeBitmap(TavrinHandle handle, int32_t width,
                                                          int32_t height) {
  return OnDecoder(handle, [&](Decoder& d) {
    d.Resize(width, height);
    return 1;
  });
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetVideoQuality(TavrinHandle handle, int32_t value) {
  return OnDecoder(handle, [&](Decoder& d) { return d.SetVideoQuality(value); });
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetPostFilter(TavrinHandle handle, int32_t value) {
  return OnDecoder(handle, [&](Decoder& d) { return d.SetPostFilter(value); });
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetBrightness(TavrinHandle handle, int32_t value) {
  return OnDecoder(handle, [&](Decoder& d) { return d.SetBrightness(value); });
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetContrast(TavrinHandle handle, int32_t value) {
  return OnDecoder(handle, [&](Decoder& d) { return d.SetContrast(value); });
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetSaturation(TavrinHandle handle, int32_t value) {
  return OnDecoder(handle, [&](Decoder& d) { return d.SetSaturation(value); });
}

}  // extern "C"
