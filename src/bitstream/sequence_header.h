// The video object layer header: its elements, and the parser that reads
// them and checks them against what the picture decoders implement.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "bitstream/global_motion_syntax.h"

namespace tavrin {

// The items of complexity estimation, in the order of the layer header.
enum EstimationItem : int32_t {
  EstOpaque,
  EstTransparent,
  EstIntraCae,
  EstInterCae,
  EstNoUpdate,
  EstUpsampling,
  EstIntraBlocks,
  EstInterBlocks,
  EstInter4vBlocks,
  EstNotCodedBlocks,
  EstDctCoefs,
  EstDctLines,
  EstVlcSymbols,
  EstVlcBits,
  EstApm,
  EstNpm,
  EstInterpolateMcQ,
  EstForwBackMcQ,
  EstHalfpel2,
  EstHalfpel4,
  EstSadct,
  EstQuarterpel,
  EstimationItemCount
};

// Video object layer elements, in the order they are read.
struct SequenceHeader {
  int32_t videoObjectLayerId;
  int32_t shortVideoHeader;  // 1 when no layer start code was found
  int32_t randomAccessibleVol;
  int32_t videoObjectTypeIndication;
  int32_t isObjectLayerIdentifier;
  int32_t videoObjectLayerVerid;  // 1 when the header carries no identifier
  int32_t videoObjectLayerPriority;
  int32_t aspectRatioInfo;
  int32_t parWidth;
  int32_t parHeight;
  int32_t volControlParameters;
  int32_t chromaFormat;
  int32_t lowDelay;
  int32_t vbvParameters;
  int32_t firstHalfBitRate;
  int32_t latterHalfBitRate;
  int32_t firstHalfVbvBufferSize;
  int32_t latterHalfVbvBufferSize;
  int32_t firstHalfVbvOccupancy;
  int32_t latterHalfVbvOccupancy;
  int32_t videoObjectLayerShape;
  int32_t vopTimeIncrementResolution;  // clock ticks per second
  int32_t vopTimeIncrementBits;        // bits of each picture's vop_time_increment
  int32_t fixedVopRate;
  int32_t fixedVopTimeIncrement;
  int32_t videoObjectLayerWidth;   // as the header says
  int32_t videoObjectLayerHeight;
  int32_t width;   // the picture size in force: the host's after creation
  int32_t height;
  int32_t interlaced;
  int32_t obmcDisable;
  int32_t spriteEnable;
  GlobalMotionLayer globalMotion;  // with sprite_enable 2
  int32_t not8Bit;
  int32_t quantPrecision;  // always 5
  int32_t bitsPerPixel;    // always 8
  int32_t quantType;       // 0 H.263 quantisation, 1 matrix quantisation
  int32_t loadIntraQuantMat;
  uint8_t intraQuantMat[64];  // raster order
  int32_t loadNonintraQuantMat;
  uint8_t nonintraQuantMat[64];
  int32_t quarterSample;
  int32_t complexityEstimationDisable;
  int32_t estimationMethod;
  int32_t shapeComplexityEstimationDisable;
  int32_t textureComplexityEstimationSet1Disable;
  int32_t textureComplexityEstimationSet2Disable;
  int32_t motionCompensationComplexityDisable;
  int32_t version2ComplexityEstimationDisable;
  int32_t estimationFlags[EstimationItemCount];   // one per item, 1 = counted
  int32_t estimationCounts[EstimationItemCount];  // the counts of the last picture header
  int32_t resyncMarkerDisable;
  int32_t dataPartitioned;
  int32_t reversibleVlc;  // with data partitioning: residuals in the reversible codes
  int32_t newpredEnable;
  int32_t reducedResolutionVopEnable;
  int32_t scalability;
};

// Results of the header parsers.
inline constexpr int32_t kMissingLayerStartCode = -3;
inline constexpr int32_t kUnsupportedHeader = -4;

// Parses the layer header from its start code on: 0, kMissingLayerStartCode
// or kUnsupportedHeader.  Elements read before a failure keep their values.
int32_t ParseVideoObjectLayer(BitReader& reader, SequenceHeader& sequence);

// Reads a quantiser matrix in zigzag order into raster order; a 0 ends the
// list and the last value stored fills the rest.  Always 0.
int32_t ReadQuantMatrix(BitReader& reader, uint8_t* destination);

// The number of bits of each picture's vop_time_increment for a
// vop_time_increment_resolution.
int32_t TimeIncrementBits(int32_t resolution);

}  // namespace tavrin
