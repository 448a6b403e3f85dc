// The ten exported functions.  Each looks its handle up in the registry and
// forwards to the decoder; nothing but 1, 0 or a setter's value crosses the
// boundary, and no exception leaves it.
#include <new>

#include "api/decoder.h"
#include "api/registry.h"
#include "tavrin.h"

using tavrin::Decoder;

namespace {

constexpr uint32_t kVersion = 0x01000001u;

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
  Decoder* decoder = tavrin::registry::Find(handle);
  return decoder ? decoder->DecodeOneFrame(frame, picture) : 0;
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_ReleaseDecoder(TavrinHandle handle) {
  Decoder* decoder = tavrin::registry::Remove(handle);
  if (decoder == nullptr) return 0;
  delete decoder;
  return 1;
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_ResizeBitmap(TavrinHandle handle, int32_t width,
                                                          int32_t height) {
  Decoder* decoder = tavrin::registry::Find(handle);
  if (decoder == nullptr) return 0;
  decoder->Resize(width, height);
  return 1;
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetVideoQuality(TavrinHandle handle, int32_t value) {
  Decoder* decoder = tavrin::registry::Find(handle);
  return decoder ? decoder->SetVideoQuality(value) : 0;
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetPostFilter(TavrinHandle handle, int32_t value) {
  Decoder* decoder = tavrin::registry::Find(handle);
  return decoder ? decoder->SetPostFilter(value) : 0;
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetBrightness(TavrinHandle handle, int32_t value) {
  Decoder* decoder = tavrin::registry::Find(handle);
  return decoder ? decoder->SetBrightness(value) : 0;
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetContrast(TavrinHandle handle, int32_t value) {
  Decoder* decoder = tavrin::registry::Find(handle);
  return decoder ? decoder->SetContrast(value) : 0;
}

TAVRIN_API int32_t TAVRIN_CALL TavrinDecoder_SetSaturation(TavrinHandle handle, int32_t value) {
  Decoder* decoder = tavrin::registry::Find(handle);
  return decoder ? decoder->SetSaturation(value) : 0;
}

}  // extern "C"
