#include "picture/driver.h"

#include <utility>

#include "bitstream/picture_header.h"
#include "bitstream/short_header_picture.h"
#include "picture/border_padding.h"
#include "picture/concealment.h"
#include "picture/motion_compensation.h"
#include "picture/picture_decoders.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/reconstruction/second_path_block_routines.h"

namespace tavrin {
namespace {

// The three records around B pictures.  After an I or P picture the newest
// anchor is in forwardReference and the one before it in currentPicture.  A
// B picture needs the older anchor in forwardReference, the newer one in
// backwardReference and a free currentPicture: the first B picture after an
// anchor turns the three records round (current to forward, forward to
// backward, backward to current) and sets anchorsRearranged; further B
// pictures find them in place and overwrite currentPicture.
void ArrangeForBidirectional(DecoderContext& context) {
  FrameStore& f = context.store;
  if (f.anchorsRearranged) return;
  PictureBuffer free = f.backwardReference;
  f.backwardReference = f.forwardReference;
  f.forwardReference = f.currentPicture;
  f.currentPicture = free;
  f.anchorsRearranged = 1;
}

// Before an I or P picture: the newest anchor must be in forwardReference,
// where P pictures predict from.  After B pictures it is in
// backwardReference.
void RestoreAnchorOrder(DecoderContext& context) {
  FrameStore& f = context.store;
  if (!f.anchorsRearranged) return;
  std::swap(f.forwardReference, f.backwardReference);
  f.anchorsRearranged = 0;
}

// After a new I or P picture: it becomes the forward reference and the
// picture to show, the previous reference's planes become the next
// currentPicture, and the anchor times move on.
void RotateAnchors(DecoderContext& context) {
  FrameStore& f = context.store;
  std::swap(f.currentPicture, f.forwardReference);
  context.state.outputPicture = &f.forwardReference;
  f.pastAnchorTime = f.futureAnchorTime;
  f.futureAnchorTime = context.picture.vopTime;
  if (f.resilience.anchorsDecoded < 2) ++f.resilience.anchorsDecoded;
  KeepAnchorStatus(f.resilience, f.mbWidth * f.mbHeight, context.picture.vopCodingType == 0);
}

}  // namespace

void DecodeByType(DecoderContext& context, int32_t videoQuality) {
  FrameStore& f = context.store;
  PictureState& state = context.state;
  const PictureHeader& header = context.picture;
  const bool pad = context.input.sourceType != kSourceTypeUnpadded;
  // S pictures are decoded when they carry global motion (the only kind of
  // sprite the layer header lets through); they are anchors as P pictures.
  const bool globalMotion =
      header.vopCodingType == 3 && context.sequence.spriteEnable == kSpriteGlobalMotion;

  if (header.vopCoded && !header.vopReducedResolution &&
      (header.vopCodingType <= 2 || globalMotion)) {
    if (header.vopCodingType == 2) ArrangeForBidirectional(context);
    StartPictureContent(f);
  }
  // Each picture's walk marks what it lost (DamageMap); a picture decoded
  // some other way conceals nothing.
  f.resilience.lostCount = 0;
  if (header.vopCoded && !header.vopReducedResolution) {
    switch (header.vopCodingType) {
      case 0:
        if (f.decodeCalls == 0) {
          state.outputPicture = nullptr;
          f.anchorsRearranged = 0;
        }
        RestoreAnchorOrder(context);
        RememberAnchorMotion(context);
        MarkPictureWritten(f);
        if (context.sequence.shortVideoHeader) {
          DecodeShortHeaderPicture(context, videoQuality);
        } else if (videoQuality == 1) {
          DecodeIntraPictureSecondPath(context);
          blockRoutines.endSimdState();
        } else {
          DecodeIntraPicture(context);
        }
        ConcealPicture(context);
        ++state.iPictures;
        if (pad) PadChangedBorders(f);
        RotateAnchors(context);
        break;
      case 1:
      case 3:
        if (header.vopCodingType == 3 && !globalMotion) {
          ++state.sPictures;
          break;
        }
        RestoreAnchorOrder(context);
        if (context.sequence.shortVideoHeader) {
          DecodeShortHeaderPicture(context, videoQuality);
        } else if (videoQuality == 1) {
          DecodePredictedPictureSecondPath(context);
          blockRoutines.endSimdState();
        } else {
          DecodePredictedPicture(context);
        }
        ConcealPicture(context);
        ++(header.vopCodingType == 1 ? state.pPictures : state.sPictures);
        if (pad) PadChangedBorders(f);
        RotateAnchors(context);
        break;
      case 2:
        DecodeBidirectionalPicture(context);
        ConcealPicture(context);
        ++state.bPictures;
        state.outputPicture = &f.currentPicture;
        break;
    }
  }
  ++state.picturesTotal;
  f.currentPicture.time = header.vopTimeIncrement;
}

void DecodePicture(DecoderContext& context, int32_t videoQuality) {
  BitReader& r = context.reader;
  r.bytePos = r.bufferStart;
  r.bitPos = 0;
  r.dataLength = context.input.inputLength;
  if (context.sequence.shortVideoHeader) {
    if (ReadShortHeaderPicture(r, context.shortHeader, context.picture)) DecodeByType(context, videoQuality);
  } else if (FindPictureStartCode(r, context.picture) &&
      ParsePictureHeader(r, context.sequence, context.picture, context.input.sourceType) == 0) {
    DecodeByType(context, videoQuality);
    ReadTrailingGroupOfPictures(r, context.picture);
  }
  ++context.store.decodeCalls;
}

}  // namespace tavrin
