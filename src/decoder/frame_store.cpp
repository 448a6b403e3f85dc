#include "decoder/frame_store.h"

#include "primitives/dispatch/primitive_table.h"

namespace tavrin {
namespace {

// Rows of slack before and after each plane's border area: motion
// compensation may end a little past a border (one sample for an odd vector
// at the clipping bound; up to three chroma samples for a chroma vector
// averaged from four separately clipped luma vectors), and the planes must
// hold those reads.  Quarter-sample prediction reads no further: its
// vectors are clipped in quarter samples, and its filter reads the block
// and one column and row more, as half-sample interpolation does.
constexpr int32_t kGuardRows = 4;
constexpr int32_t kGuardBytes = 64;

bool AllocatePlane(int32_t rows, int32_t stride, int32_t border, uint8_t*& allocation,
                   uint8_t*& base, uint8_t*& origin) {
  const int64_t bytes = int64_t{rows + 2 * kGuardRows} * stride + kGuardBytes;
  if (bytes > INT32_MAX) return false;
  allocation = primitives.AllocBytes(static_cast<int32_t>(bytes));
  if (allocation == nullptr) return false;
  primitives.ZeroBytes(allocation, static_cast<int32_t>(bytes));
  base = allocation + kGuardRows * stride;
  origin = base + border * stride + border;
  return true;
}

bool AllocatePicture(PictureBuffer& p, int32_t width, int32_t height, int32_t mbWidth,
                     int32_t mbHeight) {
  const int32_t mbs = mbWidth * mbHeight;
  p.strideY = LumaStride(width);
  p.strideCr = p.strideCb = ChromaStride(width);
  p.contentTags = primitives.AllocInts(mbs);
  if (p.contentTags == nullptr) return false;
  primitives.ZeroBytes(p.contentTags, mbs * 4);
  const int32_t segments = 2 * BorderSegmentCount(mbWidth, mbHeight);
  p.paddedTags = primitives.AllocInts(segments);
  if (p.paddedTags == nullptr) return false;
  primitives.ZeroBytes(p.paddedTags, segments * 4);
  const int32_t lumaRows = AlignedLumaSize(height) + 32;
  const int32_t chromaRows = AlignedChromaSize(height) + 16;
  return AllocatePlane(lumaRows, p.strideY, 16, p.allocationY, p.baseY, p.originY) &&
         AllocatePlane(chromaRows, p.strideCb, 8, p.allocationCb, p.baseCb, p.originCb) &&
         AllocatePlane(chromaRows, p.strideCr, 8, p.allocationCr, p.baseCr, p.originCr);
}

void ReleasePicture(PictureBuffer& p) {
  primitives.FreeAligned(p.allocationY);
  primitives.FreeAligned(p.allocationCb);
  primitives.FreeAligned(p.allocationCr);
  primitives.FreeAligned(p.contentTags);
  primitives.FreeAligned(p.paddedTags);
  p = PictureBuffer{};
}

template <typename T>
void Release(T*& array) {
  primitives.FreeAligned(array);
  array = nullptr;
}

}  // namespace

int32_t AllocateFrameStore(DecoderContext& context) {
  FrameStore& f = context.store;
  const int32_t width = context.sequence.width;
  const int32_t height = context.sequence.height;
  f.decodeCalls = 0;
  if (width < 1 || height < 1 || width > kMaxPictureDimension || height > kMaxPictureDimension)
    return kFrameStoreAllocationFailed;
  f.mbWidth = (width + 15) / 16;
  f.mbHeight = (height + 15) / 16;
  const int32_t mbs = f.mbWidth * f.mbHeight;

  f.predRowY = primitives.AllocShorts((f.mbWidth + 1) * 16);
  f.predRowCb = primitives.AllocShorts(f.mbWidth * 8 + 8);
  f.predRowCr = primitives.AllocShorts(f.mbWidth * 8 + 8);
  f.predColY = primitives.AllocShorts(16);
  f.predColCb = primitives.AllocShorts(8);
  f.predColCr = primitives.AllocShorts(8);
  f.qpRow = primitives.AllocBytes(f.mbWidth + 1);
  f.mvRow = primitives.AllocShorts((f.mbWidth + 2) * 16);
  f.blockFlagRow = primitives.AllocBytes(f.mbWidth * 4 + 8);
  f.mbStateMap = primitives.AllocBytes(mbs);
  f.mvStore = primitives.AllocShorts(mbs * 16 * 2);
  if (!f.predRowY || !f.predRowCb || !f.predRowCr || !f.predColY || !f.predColCb ||
      !f.predColCr || !f.qpRow || !f.mvRow || !f.blockFlagRow || !f.mbStateMap || !f.mvStore)
    return kFrameStoreAllocationFailed;
  // The side arrays start cleared, so that nothing a picture reads before
  // writing it is indeterminate.
  primitives.ZeroBytes(f.predRowY, (f.mbWidth + 1) * 32);
  primitives.ZeroBytes(f.predRowCb, f.mbWidth * 16 + 16);
  primitives.ZeroBytes(f.predRowCr, f.mbWidth * 16 + 16);
  primitives.ZeroBytes(f.predColY, 32);
  primitives.ZeroBytes(f.predColCb, 16);
  primitives.ZeroBytes(f.predColCr, 16);
  primitives.ZeroBytes(f.qpRow, f.mbWidth + 1);
  primitives.ZeroBytes(f.mvRow, (f.mbWidth + 2) * 32);
  primitives.ZeroBytes(f.blockFlagRow, f.mbWidth * 4 + 8);
  primitives.ZeroBytes(f.mbStateMap, mbs);
  primitives.ZeroBytes(f.mvStore, mbs * 64);

  if (!AllocateResilienceState(f.resilience, mbs, context.sequence.dataPartitioned != 0))
    return kFrameStoreAllocationFailed;
  for (PictureBuffer* p : {&f.currentPicture, &f.forwardReference, &f.backwardReference}) {
    if (!AllocatePicture(*p, width, height, f.mbWidth, f.mbHeight)) return kFrameStoreAllocationFailed;
  }
  if (context.sequence.interlaced && !AllocateInterlacedState(f.interlaced, mbs))
    return kFrameStoreAllocationFailed;
  f.contentSerial = 0;
  return 0;
}

int32_t ReleaseFrameStore(DecoderContext& context) {
  FrameStore& f = context.store;
  f.decodeCalls = 0;
  f.contentSerial = 0;
  Release(f.predRowY);
  Release(f.predRowCb);
  Release(f.predRowCr);
  Release(f.predColY);
  Release(f.predColCb);
  Release(f.predColCr);
  Release(f.qpRow);
  Release(f.mvRow);
  Release(f.blockFlagRow);
  Release(f.mbStateMap);
  Release(f.mvStore);
  ReleaseResilienceState(f.resilience);
  ReleasePicture(f.currentPicture);
  ReleasePicture(f.forwardReference);
  ReleasePicture(f.backwardReference);
  ReleaseInterlacedState(f.interlaced);
  return 0;
}

}  // namespace tavrin
