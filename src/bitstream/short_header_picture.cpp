#include "bitstream/short_header_picture.h"

namespace tavrin {
namespace {

constexpr int32_t kStartCodeBits = 22;

// The picture header after the start code, up to the source format; false
// (with refusal set) when the fixed bits are wrong or the format is not
// one this decoder reads.
bool ReadFormat(BitReader& r, ShortHeaderPicture& p) {
  p.temporalReference = static_cast<int32_t>(r.GetBits(8));
  const int32_t marker = r.GetBit();
  const int32_t zero = r.GetBit();
  p.splitScreen = r.GetBit();
  p.documentCamera = r.GetBit();
  p.freezeRelease = r.GetBit();
  p.sourceFormat = static_cast<int32_t>(r.GetBits(3));
  if (marker != 1 || zero != 0 || p.sourceFormat == 0) {
    p.refusal = kShortHeaderMalformed;
  } else if (p.sourceFormat == kExtendedPictureType) {
    p.refusal = kShortHeaderVersion2;
  } else if (p.sourceFormat == kReservedFormat) {
    p.refusal = kShortHeaderReservedFormat;
  }
  return p.refusal == kShortHeaderAccepted;
}

}  // namespace

bool ShortHeaderPictureSize(int32_t sourceFormat, int32_t& width, int32_t& height) {
  switch (sourceFormat) {
    case kSubQcif: width = 128; height = 96; return true;
    case kQcif: width = 176; height = 144; return true;
    case kCif: width = 352; height = 288; return true;
    case k4Cif: width = 704; height = 576; return true;
    case k16Cif: width = 1408; height = 1152; return true;
    default: return false;
  }
}

int32_t FindShortHeaderPicture(BitReader& r) {
  if (r.bitPos != 0) {
    r.bitPos = 0;
    ++r.bytePos;
    r.KeepInBounds();
  }
  const int32_t last = r.BytesLeft() - 2;
  for (int32_t i = 0; i < last; ++i) {
    if (IsShortHeaderStart(r.bytePos + i, 3)) {
      r.bytePos += i;
      r.SkipBits(kStartCodeBits);
      return 1;
    }
  }
  return 0;
}

int32_t ParseShortHeaderPicture(BitReader& r, ShortHeaderPicture& p) {
  p = ShortHeaderPicture{};
  if (!ReadFormat(r, p)) return kUnsupportedHeader;
  p.codingType = r.GetBit();
  p.unrestrictedVectors = r.GetBit();
  p.arithmeticCoding = r.GetBit();
  p.advancedPrediction = r.GetBit();
  p.pbFrames = r.GetBit();
  p.quant = static_cast<int32_t>(r.GetBits(5));
  p.continuousPresence = r.GetBit();
  if (p.unrestrictedVectors || p.arithmeticCoding || p.advancedPrediction || p.pbFrames) {
    p.refusal = kShortHeaderOptionalModes;
  } else if (p.continuousPresence) {
    p.refusal = kShortHeaderContinuousPresence;
  } else if (p.quant == 0) {
    p.refusal = kShortHeaderMalformed;
  }
  if (p.refusal != kShortHeaderAccepted) return kUnsupportedHeader;
  // PEI and PSPARE: spare bytes, each announced by a 1.  Past the data
  // every bit reads 0, so this ends.
  while (r.GetBit()) {
    r.SkipBits(8);
    ++p.spareBytes;
  }
  return 0;
}

bool BeginsWithShortHeader(const BitReader& r) {
  const uint8_t* p = r.bufferStart;
  const int32_t n = r.dataLength;
  if (IsShortHeaderStart(p, n)) return true;
  return n >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] <= 0x1F &&
         IsShortHeaderStart(p + 4, n - 4);
}

int32_t OpenShortHeaderSequence(BitReader& r, SequenceHeader& s, ShortHeaderState& state) {
  if (!BeginsWithShortHeader(r)) return kMissingLayerStartCode;
  s.shortVideoHeader = 1;
  s.vopTimeIncrementResolution = kShortHeaderTicksPerSecond;
  s.vopTimeIncrementBits = TimeIncrementBits(kShortHeaderTicksPerSecond);
  s.videoObjectLayerVerid = 1;
  s.chromaFormat = 1;
  s.obmcDisable = 1;
  s.quantPrecision = 5;
  s.bitsPerPixel = 8;
  s.quantType = 0;
  s.complexityEstimationDisable = 1;
  s.resyncMarkerDisable = 1;  // groups of blocks take the packets' place
  r.bytePos = r.bufferStart;
  r.bitPos = 0;
  if (!FindShortHeaderPicture(r)) return kMissingLayerStartCode;
  if (ParseShortHeaderPicture(r, state.picture) != 0) return kUnsupportedHeader;
  int32_t width = 0;
  int32_t height = 0;
  ShortHeaderPictureSize(state.picture.sourceFormat, width, height);
  s.videoObjectLayerWidth = s.width = width;
  s.videoObjectLayerHeight = s.height = height;
  state.sourceFormat = state.picture.sourceFormat;
  const int32_t mbRows = height / 16;
  state.rowsPerGroup = mbRows <= 18 ? 1 : mbRows <= 36 ? 2 : 4;
  state.groupCount = mbRows / state.rowsPerGroup;
  return 0;
}

int32_t ReadShortHeaderPicture(BitReader& r, ShortHeaderState& state, PictureHeader& picture) {
  if (!FindShortHeaderPicture(r)) return 0;
  ShortHeaderPicture& p = state.picture;
  if (ParseShortHeaderPicture(r, p) != 0 || p.sourceFormat != state.sourceFormat) return 0;
  // The temporal reference counts modulo 256; the time runs on.
  const int32_t step = state.pictures == 0 ? p.temporalReference
                                           : (p.temporalReference - state.lastReference) & 255;
  state.ticks += int64_t{step} * kShortHeaderTicksPerReference;
  state.lastReference = p.temporalReference;
  ++state.pictures;
  picture.vopCodingType = p.codingType;
  picture.vopCoded = 1;
  picture.vopRoundingType = 0;
  picture.vopReducedResolution = 0;
  picture.intraDcVlcThr = 0;
  picture.vopQuant = p.quant;
  picture.vopFcodeForward = 1;
  picture.moduloTimeBase = 0;
  picture.vopTime = state.ticks;
  picture.vopTimeIncrement = static_cast<int32_t>(state.ticks % kShortHeaderTicksPerSecond);
  return 1;
}

void ReadGroupOfBlocksHeader(BitReader& r, GroupOfBlocksHeader& header) {
  if (r.ShowBits(17) != 1) r.SkipBits(8 - r.bitPos);
  r.SkipBits(17);
  header.groupNumber = static_cast<int32_t>(r.GetBits(5));
  header.frameId = static_cast<int32_t>(r.GetBits(2));
  header.quant = static_cast<int32_t>(r.GetBits(5));
}

}  // namespace tavrin
