// The macroblock layers are not decoded yet: these entry points leave
// currentPicture exactly as it is and say so with kNotDecodedYet.  The
// driver around them (counters, anchor times, padding, the rotation of the
// picture records) is complete.
#include "picture/picture_decoders.h"

namespace tavrin {
namespace {
constexpr int32_t kNotDecodedYet = kInvalidMacroblockCode;
}

int32_t DecodeIntraPictureOwn(DecoderContext&) { return kNotDecodedYet; }
int32_t DecodePredictedPictureOwn(DecoderContext&) { return kNotDecodedYet; }

}  // namespace tavrin
