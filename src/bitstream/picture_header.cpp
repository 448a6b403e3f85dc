#include "bitstream/picture_header.h"

#include <initializer_list>


namespace tavrin {
namespace {

// The estimation counts each picture type carries, in header order.
constexpr std::initializer_list<EstimationItem> kIntraCounts{
    EstOpaque,      EstTransparent,    EstIntraCae, EstInterCae,   EstNoUpdate,
    EstUpsampling,  EstIntraBlocks,    EstNotCodedBlocks, EstDctCoefs, EstDctLines,
    EstVlcSymbols,  EstVlcBits,        EstSadct};
constexpr std::initializer_list<EstimationItem> kPredictedCounts{
    EstOpaque,     EstTransparent, EstIntraCae,   EstInterCae,      EstNoUpdate,
    EstUpsampling, EstIntraBlocks, EstNotCodedBlocks, EstDctCoefs,  EstDctLines,
    EstVlcSymbols, EstVlcBits,     EstInterBlocks, EstInter4vBlocks, EstApm,
    EstNpm,        EstForwBackMcQ, EstHalfpel2,   EstHalfpel4,      EstSadct,
    EstQuarterpel};
constexpr std::initializer_list<EstimationItem> kBidirCounts{
    EstOpaque,     EstTransparent, EstIntraCae,    EstInterCae,      EstNoUpdate,
    EstUpsampling, EstIntraBlocks, EstNotCodedBlocks, EstDctCoefs,   EstDctLines,
    EstVlcSymbols, EstVlcBits,     EstInterBlocks, EstInter4vBlocks, EstApm,
    EstNpm,        EstForwBackMcQ, EstHalfpel2,    EstHalfpel4,      EstInterpolateMcQ,
    EstSadct,      EstQuarterpel};
constexpr std::initializer_list<EstimationItem> kSpriteCounts{
    EstIntraBlocks, EstNotCodedBlocks, EstDctCoefs, EstDctLines,  EstVlcSymbols,
    EstVlcBits,     EstInterBlocks,    EstInter4vBlocks, EstApm,  EstNpm,
    EstForwBackMcQ, EstHalfpel2,       EstHalfpel4, EstInterpolateMcQ, EstQuarterpel};

void ReadEstimationCounts(BitReader& r, SequenceHeader& s, int32_t codingType) {
  const std::initializer_list<EstimationItem>* list = nullptr;
  switch (codingType) {
    case 0: list = &kIntraCounts; break;
    case 1: list = &kPredictedCounts; break;
    case 2: list = &kBidirCounts; break;
    default: list = &kSpriteCounts; break;
  }
  for (EstimationItem item : *list) {
    if (s.estimationFlags[item])
      s.estimationCounts[item] = static_cast<int32_t>(r.GetBits(item == EstVlcBits ? 4 : 8));
  }
}

// Full picture time: I and P pictures count their seconds from the previous
// I or P picture, B pictures from the older of the two most recent ones.
void UpdatePictureTime(PictureHeader& p, int32_t resolution) {
  int64_t seconds;
  if (p.vopCodingType == 2) {
    seconds = p.pastAnchorSeconds + p.moduloTimeBase;
  } else {
    p.pastAnchorSeconds = p.anchorSeconds;
    p.anchorSeconds += p.moduloTimeBase;
    seconds = p.anchorSeconds;
  }
  p.vopTime = seconds * resolution + p.vopTimeIncrement;
}

constexpr uint8_t kGroupOfPicturesCode = 0xB3;
constexpr uint8_t kPictureCode = 0xB6;

// The group-of-pictures header after its start code: time_code (hours,
// minutes, marker, seconds), closed_gov, broken_link.  A time code whose
// marker bit is 0 is not trusted and changes nothing.
void ReadGroupOfPictures(BitReader& r, PictureHeader& p) {
  const int64_t hours = r.GetBits(5);
  const int64_t minutes = r.GetBits(6);
  if (!r.GetBit()) return;
  const int64_t seconds = r.GetBits(6);
  p.anchorSeconds = (hours * 60 + minutes) * 60 + seconds;
}

}  // namespace

int32_t FindPictureStartCode(BitReader& r, PictureHeader& p) {
  while (r.NextStartCode()) {
    const uint8_t code = *r.bytePos++;
    if (code == kPictureCode) return 1;
    if (code == kGroupOfPicturesCode) ReadGroupOfPictures(r, p);
  }
  return 0;
}

void ReadTrailingGroupOfPictures(BitReader& r, PictureHeader& p) {
  while (r.NextStartCode()) {
    const uint8_t code = *r.bytePos++;
    if (code == kPictureCode) return;
    if (code == kGroupOfPicturesCode) ReadGroupOfPictures(r, p);
  }
}

int32_t ParsePictureHeader(BitReader& r, SequenceHeader& s, PictureHeader& p, int32_t sourceType) {
  p.vopCodingType = static_cast<int32_t>(r.GetBits(2));
  // modulo_time_base: one 1 bit per elapsed second, ended by a 0.  Past the
  // valid data every bit reads 0, so this always ends.
  p.moduloTimeBase = 0;
  while (r.GetBit()) ++p.moduloTimeBase;
  if (!r.GetBit()) return kUnsupportedHeader;
  p.vopTimeIncrement = static_cast<int32_t>(r.GetBits(s.vopTimeIncrementBits));
  if (!r.GetBit()) return kUnsupportedHeader;
  UpdatePictureTime(p, s.vopTimeIncrementResolution);
  p.vopCoded = r.GetBit();
  if (!p.vopCoded) return 0;
  const bool globalMotion = p.vopCodingType == 3 && s.spriteEnable == kSpriteGlobalMotion;
  if (p.vopCodingType == 1 || globalMotion) p.vopRoundingType = r.GetBit();
  if (sourceType == kSourceTypeUnpadded) p.vopRoundingType = 0;
  // The reduced-resolution flag follows the rounding type in I and P
  // pictures of layers that enable it.
  p.vopReducedResolution = 0;
  if (s.reducedResolutionVopEnable && (p.vopCodingType == 0 || p.vopCodingType == 1))
    p.vopReducedResolution = r.GetBit();
  if (!s.complexityEstimationDisable && (s.estimationMethod == 0 || s.estimationMethod == 1))
    ReadEstimationCounts(r, s, p.vopCodingType);
  p.intraDcVlcThr = static_cast<int32_t>(r.GetBits(3));
  p.topFieldFirst = p.alternateVerticalScanFlag = 0;
  if (s.interlaced) {
    p.topFieldFirst = r.GetBit();
    p.alternateVerticalScanFlag = r.GetBit();
  }
  p.trajectory.points = 0;
  if (globalMotion && !ReadWarpingTrajectory(r, s.globalMotion.warpingPoints, p.trajectory))
    return kUnsupportedHeader;
  p.vopQuant = static_cast<int32_t>(r.GetBits(s.quantPrecision));
  if (p.vopCodingType != 0) p.vopFcodeForward = static_cast<int32_t>(r.GetBits(3));
  if (p.vopCodingType == 2) p.vopFcodeBackward = static_cast<int32_t>(r.GetBits(3));
  return 0;
}

}  // namespace tavrin
