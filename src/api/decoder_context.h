// The whole decoding state of one stream, in groups: bit reader, sequence
// header, picture header, frame store, picture state and input.  It is
// value-initialised (all zero) when allocated; every field no step sets
// stays 0.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "bitstream/picture_buffer.h"
#include "primitives/primitive_types.h"

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
  int32_t newpredEnable;
  int32_t reducedResolutionVopEnable;
  int32_t scalability;
};

// Video object plane elements of the most recent picture header.
struct PictureHeader {
  int32_t vopCodingType;  // 0 I, 1 P, 2 B, 3 S
  int32_t moduloTimeBase;
  int32_t vopTimeIncrement;
  int32_t vopCoded;
  int32_t vopRoundingType;
  int32_t vopReducedResolution;  // read only when the layer enables it
  int32_t intraDcVlcThr;
  int32_t vopQuant;
  int32_t vopFcodeForward;
  int32_t vopFcodeBackward;
  int32_t spatialRefX;
  int32_t spatialRefY;
  // Picture times in clock ticks since the stream's start: whole seconds
  // counted by modulo_time_base plus vop_time_increment.  An I or P picture
  // counts its seconds from the previous I or P picture; a B picture from the
  // older of the two most recent ones, which precedes it in display order.
  int64_t vopTime;
  int64_t anchorSeconds;      // seconds of the most recent I or P header
  int64_t pastAnchorSeconds;  // seconds of the one before
};

// Per-stream storage sized from the picture size, and reference bookkeeping.
struct FrameStore {
  int32_t decodeCalls;
  int32_t mbWidth;
  int32_t mbHeight;
  int16_t* predRowY;       // (mbWidth + 1) * 16
  int16_t* predRowCb;      // mbWidth * 8 + 8
  int16_t* predRowCr;      // mbWidth * 8 + 8
  int16_t* predColY;       // 16
  int16_t* predColCb;      // 8
  int16_t* predColCr;      // 8
  uint8_t* qpRow;          // mbWidth + 1
  int16_t* mvRow;          // (mbWidth + 2) * 16
  uint8_t* blockFlagRow;   // mbWidth * 4 + 8
  uint8_t* mbStateMap;     // mbWidth * mbHeight
  int32_t anchorsRearranged;
  int64_t pastAnchorTime;    // full time of the older of the two newest I/P pictures
  int64_t futureAnchorTime;  // full time of the newest I/P picture
  int16_t* mvStore;          // mbWidth * mbHeight * 16 (allocated twice that)
  PictureBuffer currentPicture;
  PictureBuffer forwardReference;
  PictureBuffer backwardReference;
  int32_t contentSerial;  // the tag of the picture being decoded (contentTags)
};

struct PictureState {
  PictureBuffer* outputPicture;  // the record to show, or null
  int32_t picturesTotal;
  int32_t iPictures;
  int32_t pPictures;
  int32_t bPictures;
  int32_t sPictures;
};

struct InputState {
  int32_t sourceType;
  int32_t inputLength;    // valid bytes in inputBytes
  uint8_t* filterBuffer;  // the decoder's post-filter scratch
  int32_t filterBufferSize;
  // The bytes handed over last: inputCapacity bytes followed by
  // kInputPadding bytes that are zero after every copy.
  uint8_t* inputBytes;
  int32_t inputCapacity;
};

struct DecoderContext {
  BitReader reader;
  SequenceHeader sequence;
  PictureHeader picture;
  FrameStore store;
  PictureState state;
  InputState input;
};

}  // namespace tavrin
