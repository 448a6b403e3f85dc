#include "bitstream/sequence_header.h"

#include <algorithm>

#include "primitives/scan_tables.h"

namespace tavrin {
namespace {

// Reads the complexity-estimation header; false on a 0 marker bit.
bool ReadComplexityEstimationHeader(BitReader& r, SequenceHeader& s) {
  auto flag = [&](EstimationItem item) { s.estimationFlags[item] = r.GetBit(); };
  s.estimationMethod = static_cast<int32_t>(r.GetBits(2));
  if (s.estimationMethod == 0 || s.estimationMethod == 1) {
    s.shapeComplexityEstimationDisable = r.GetBit();
    if (!s.shapeComplexityEstimationDisable) {
      for (EstimationItem i : {EstOpaque, EstTransparent, EstIntraCae, EstInterCae, EstNoUpdate,
                               EstUpsampling})
        flag(i);
    }
    s.textureComplexityEstimationSet1Disable = r.GetBit();
    if (!s.textureComplexityEstimationSet1Disable) {
      for (EstimationItem i : {EstIntraBlocks, EstInterBlocks, EstInter4vBlocks, EstNotCodedBlocks})
        flag(i);
    }
    if (!r.GetBit()) return false;
    s.textureComplexityEstimationSet2Disable = r.GetBit();
    if (!s.textureComplexityEstimationSet2Disable) {
      for (EstimationItem i : {EstDctCoefs, EstDctLines, EstVlcSymbols, EstVlcBits}) flag(i);
    }
    s.motionCompensationComplexityDisable = r.GetBit();
    if (!s.motionCompensationComplexityDisable) {
      for (EstimationItem i : {EstApm, EstNpm, EstInterpolateMcQ, EstForwBackMcQ, EstHalfpel2,
                               EstHalfpel4})
        flag(i);
    }
  }
  if (!r.GetBit()) return false;
  if (s.estimationMethod == 1) {
    s.version2ComplexityEstimationDisable = r.GetBit();
    if (!s.version2ComplexityEstimationDisable) {
      flag(EstSadct);
      flag(EstQuarterpel);
    }
  }
  return true;
}

}  // namespace

int32_t TimeIncrementBits(int32_t resolution) {
  // The fewest bits that hold every increment from 0 to resolution - 1, and
  // at least one: 25 and 30 give 5, 1000 gives 10, 30000 gives 15, and a
  // power of two such as 16 gives 4, as encoders write it.
  int32_t bits = 1;
  while (bits < 16 && (1 << bits) < resolution) ++bits;
  return bits;
}

int32_t ReadQuantMatrix(BitReader& reader, uint8_t* destination) {
  int32_t k = 0;
  uint8_t last = 0;
  for (; k < 64; ++k) {
    const uint8_t value = static_cast<uint8_t>(reader.GetBits(8));
    if (value == 0) break;
    destination[kZigzagScan[k]] = last = value;
  }
  // A matrix whose very first value is 0 has nothing to repeat; it is left
  // all 0 and the layer parser refuses it.
  for (; k < 64; ++k) destination[kZigzagScan[k]] = last;
  return 0;
}

int32_t ParseVideoObjectLayer(BitReader& r, SequenceHeader& s) {
  const uint32_t startCode = r.ShowBits(32);
  if (startCode < 0x120 || startCode > 0x12F) {
    s.shortVideoHeader = 1;
    return kMissingLayerStartCode;
  }
  r.SkipBits(32);
  s.videoObjectLayerId = static_cast<int32_t>(startCode & 0xF);
  s.shortVideoHeader = 0;

  auto bits = [&](int32_t n) { return static_cast<int32_t>(r.GetBits(n)); };
  auto marker = [&] { return r.GetBit() == 1; };

  s.randomAccessibleVol = bits(1);
  s.videoObjectTypeIndication = bits(8);
  s.isObjectLayerIdentifier = bits(1);
  if (s.isObjectLayerIdentifier) {
    s.videoObjectLayerVerid = bits(4);
    s.videoObjectLayerPriority = bits(3);
  } else {
    s.videoObjectLayerVerid = 1;
  }
  s.aspectRatioInfo = bits(4);
  if (s.aspectRatioInfo == 15) {
    s.parWidth = bits(8);
    s.parHeight = bits(8);
  }
  s.volControlParameters = bits(1);
  if (s.volControlParameters) {
    s.chromaFormat = bits(2);
    if (s.chromaFormat != 1) return kUnsupportedHeader;
    s.lowDelay = bits(1);
    s.vbvParameters = bits(1);
    if (s.vbvParameters) {
      s.firstHalfBitRate = bits(15);
      if (!marker()) return kUnsupportedHeader;
      s.latterHalfBitRate = bits(15);
      if (!marker()) return kUnsupportedHeader;
      s.firstHalfVbvBufferSize = bits(15);
      if (!marker()) return kUnsupportedHeader;
      s.latterHalfVbvBufferSize = bits(3);
      s.firstHalfVbvOccupancy = bits(11);
      if (!marker()) return kUnsupportedHeader;
      s.latterHalfVbvOccupancy = bits(15);
      if (!marker()) return kUnsupportedHeader;
    }
  }
  s.videoObjectLayerShape = bits(2);
  if (s.videoObjectLayerShape != 0) return kUnsupportedHeader;
  if (!marker()) return kUnsupportedHeader;
  s.vopTimeIncrementResolution = bits(16);
  if (s.vopTimeIncrementResolution == 0) return kUnsupportedHeader;
  s.vopTimeIncrementBits = TimeIncrementBits(s.vopTimeIncrementResolution);
  if (!marker()) return kUnsupportedHeader;
  s.fixedVopRate = bits(1);
  if (s.fixedVopRate) s.fixedVopTimeIncrement = bits(s.vopTimeIncrementBits);
  if (!marker()) return kUnsupportedHeader;
  s.videoObjectLayerWidth = s.width = bits(13);
  if (!marker()) return kUnsupportedHeader;
  s.videoObjectLayerHeight = s.height = bits(13);
  if (!marker()) return kUnsupportedHeader;
  s.interlaced = bits(1);
  s.obmcDisable = bits(1);
  // Overlapped block motion compensation is not implemented: the luma of
  // inter macroblocks would come out wrong, so such streams are refused.
  if (!s.obmcDisable) return kUnsupportedHeader;
  s.spriteEnable = bits(s.videoObjectLayerVerid == 1 ? 1 : 2);
  // Global motion compensation is decoded; static sprites are not.
  if (s.spriteEnable != kSpriteNone && s.spriteEnable != kSpriteGlobalMotion)
    return kUnsupportedHeader;
  if (s.spriteEnable == kSpriteGlobalMotion && !ReadGlobalMotionLayer(r, s.globalMotion))
    return kUnsupportedHeader;
  s.not8Bit = bits(1);
  if (s.not8Bit) return kUnsupportedHeader;
  s.quantPrecision = 5;
  s.bitsPerPixel = 8;
  s.quantType = bits(1);
  if (s.quantType) {
    s.loadIntraQuantMat = bits(1);
    if (s.loadIntraQuantMat) {
      ReadQuantMatrix(r, s.intraQuantMat);
      // A loaded matrix that starts with the terminating 0 is malformed.
      if (s.intraQuantMat[0] == 0) return kUnsupportedHeader;
    } else {
      std::copy(kDefaultIntraQuantMat.begin(), kDefaultIntraQuantMat.end(), s.intraQuantMat);
    }
    s.loadNonintraQuantMat = bits(1);
    if (s.loadNonintraQuantMat) {
      ReadQuantMatrix(r, s.nonintraQuantMat);
      if (s.nonintraQuantMat[0] == 0) return kUnsupportedHeader;
    } else {
      std::copy(kDefaultNonintraQuantMat.begin(), kDefaultNonintraQuantMat.end(),
                s.nonintraQuantMat);
    }
  }
  if (s.videoObjectLayerVerid != 1) {
    s.quarterSample = bits(1);  // vectors in quarter samples
  }
  s.complexityEstimationDisable = bits(1);
  if (!s.complexityEstimationDisable && !ReadComplexityEstimationHeader(r, s))
    return kUnsupportedHeader;
  s.resyncMarkerDisable = bits(1);
  s.dataPartitioned = bits(1);
  s.reversibleVlc = s.dataPartitioned ? bits(1) : 0;
  if (s.videoObjectLayerVerid != 1) {
    s.newpredEnable = bits(1);
    if (s.newpredEnable) return kUnsupportedHeader;
    s.reducedResolutionVopEnable = bits(1);
  }
  s.scalability = bits(1);
  if (s.scalability) return kUnsupportedHeader;
  return 0;
}

}  // namespace tavrin
