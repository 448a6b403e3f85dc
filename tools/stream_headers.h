// The tool's own reading of the MPEG-4 Visual (ISO/IEC 14496-2) headers it
// needs to show a stream and to order its pictures: the video object layer
// header (video_object_layer) and the video object plane header
// (video_object_plane).  The tool reaches the decoder only through its
// exported interface, so it reads these itself.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavrin::tool {

// Flags of the complexity estimation header; each is 1 when the matching
// count is present in picture headers.  Flags that are not read stay false.
struct ComplexityEstimation {
  int estimationMethod = 0;
  bool shapeComplexityEstimationDisable = true;
  bool opaque = false, transparent = false, intraCae = false, interCae = false, noUpdate = false,
       upsampling = false;
  bool textureComplexityEstimationSet1Disable = true;
  bool intraBlocks = false, interBlocks = false, inter4vBlocks = false, notCodedBlocks = false;
  bool textureComplexityEstimationSet2Disable = true;
  bool dctCoefs = false, dctLines = false, vlcSymbols = false, vlcBits = false;
  bool motionCompensationComplexityDisable = true;
  bool apm = false, npm = false, interpolateMcQ = false, forwBackMcQ = false, halfpel2 = false, halfpel4 = false;
  bool version2ComplexityEstimationDisable = true;
  bool sadct = false, quarterpel = false;
};

enum class LayerShape { kRectangular = 0, kBinary = 1, kBinaryOnly = 2, kGrayscale = 3 };
enum class SpriteMode { kNone = 0, kStatic = 1, kGlobalMotionCompensation = 2, kReserved = 3 };

// Elements of the video object layer header, named after the standard's
// elements.  Elements absent from a header keep the values below.
struct VideoObjectLayer {
  int videoObjectLayerId = 0;  // low 4 bits of the start code
  bool randomAccessibleVol = false;
  int videoObjectTypeIndication = 0;
  bool isObjectLayerIdentifier = false;
  int videoObjectLayerVerid = 1;  // 1 when no layer identifier is present
  int videoObjectLayerPriority = 0;
  int aspectRatioInfo = 0;
  int parWidth = 0, parHeight = 0;  // only with aspect_ratio_info 15
  bool volControlParameters = false;
  int chromaFormat = 1;  // 1 = 4:2:0; 1 when the control parameters are absent
  bool lowDelay = false;
  bool vbvParameters = false;
  uint32_t bitRate = 0;        // units of 400 bits per second
  uint32_t vbvBufferSize = 0;  // units of 16384 bits
  uint32_t vbvOccupancy = 0;   // units of 64 bits
  LayerShape videoObjectLayerShape = LayerShape::kRectangular;
  int vopTimeIncrementResolution = 0;
  // Significant bits of the resolution (30000 -> 15, 16 -> 5): the size of
  // vop_time_increment as the decoder reads it.
  int vopTimeIncrementBits = 0;
  // The size the standard gives and encoders write: the fewest bits that
  // hold 0 to resolution - 1, at least 1 (30000 -> 15, 16 -> 4).  It is one
  // less than vopTimeIncrementBits when the resolution is a power of two;
  // such streams then read differently in the decoder.  This reading uses
  // this size.
  int codedTimeIncrementBits = 0;
  bool fixedVopRate = false;
  int fixedVopTimeIncrement = 0;
  int videoObjectLayerWidth = 0;
  int videoObjectLayerHeight = 0;
  bool interlaced = false;
  bool obmcDisable = true;
  SpriteMode spriteEnable = SpriteMode::kNone;
  int noOfSpriteWarpingPoints = 0;
  int spriteWarpingAccuracy = 0;
  bool spriteBrightnessChange = false;
  bool not8Bit = false;
  int quantPrecision = 5;
  int bitsPerPixel = 8;
  int quantType = 0;  // 0 H.263 method, 1 matrix (MPEG) method
  bool loadIntraQuantMat = false;
  bool loadNonintraQuantMat = false;
  // In raster order; the standard's default matrices unless loaded.  Only
  // meaningful with quant_type 1.
  std::array<uint8_t, 64> intraQuantMat{};
  std::array<uint8_t, 64> nonintraQuantMat{};
  bool quarterSample = false;
  bool complexityEstimationDisable = true;
  ComplexityEstimation complexityEstimation;
  bool resyncMarkerDisable = true;
  bool dataPartitioned = false;
  bool reversibleVlc = false;
  bool newpredEnable = false;
  int requestedUpstreamMessageType = 0;
  bool newpredSegmentType = false;
  bool reducedResolutionVopEnable = false;
  bool scalability = false;

  // True when parsing reached the end of the fields above (scalability).
  bool complete = false;

  // Short-header (baseline H.263) streams have no layer header: the fields
  // above are what their pictures imply (short_header.h), read from the
  // first picture's header, whose source format (1 sub-QCIF ... 5 16CIF)
  // gives the size.
  bool shortVideoHeader = false;
  int sourceFormat = 0;
};

struct LayerHeaderResult {
  VideoObjectLayer layer;
  // Empty when the header reads well; else what is wrong with it (missing
  // start code, a marker bit that is 0, the bytes end too early, a time
  // resolution of 0), in words.
  std::string error;
  // Features of the stream that the decoder does not support, in plain
  // words ("static sprites", "data partitioning", ...), in the order
  // the header carries them.  Empty for a stream the decoder takes.
  std::vector<std::string> refusals;
  // Things the decoder takes but reads differently from the standard, in
  // words (a power-of-two time resolution).
  std::vector<std::string> warnings;

  bool ok() const { return error.empty(); }
  bool supported() const { return error.empty() && refusals.empty(); }
  // The refusals joined into one phrase ("static sprites and data
  // partitioning"); empty when there is none.
  std::string RefusalReason() const;
  // Empty when the decoder takes the stream; else why not, in the words the
  // tool prints ("the stream uses data partitioning, which the decoder does
  // not support").  Every host of the tool's code says it the same way.
  std::string DecoderRefusal() const;
};

// Reads the video object layer header that starts at the first video object
// layer start code (00 00 01 20..2F) in `bytes`; for bytes that begin with a
// short-header picture, what that picture implies (short_header.h).
LayerHeaderResult ParseVideoObjectLayer(std::span<const uint8_t> bytes);

// The standard's default matrices (raster order) and zigzag scan.
extern const std::array<uint8_t, 64> kDefaultIntraQuantMatrix;
extern const std::array<uint8_t, 64> kDefaultNonintraQuantMatrix;
extern const std::array<uint8_t, 64> kZigzagScan;

// Number of significant bits of a time resolution: 1, plus 1 for every
// halving until the value is 1 (16 -> 5).
int TimeIncrementBits(int resolution);
// The fewest bits that hold 0 to resolution - 1, at least 1 (16 -> 4).
int CodedTimeIncrementBits(int resolution);

struct Ratio {
  int num = 0;
  int den = 0;
};

// Pixel aspect ratio from aspect_ratio_info (0:0 when unspecified or
// reserved).
Ratio PixelAspectRatio(const VideoObjectLayer& layer);

// The picture rate the header states: resolution / fixed increment, reduced,
// or 0:0 when the rate is not fixed.
Ratio FixedFrameRate(const VideoObjectLayer& layer);

enum class CodingType { kIntra = 0, kPredicted = 1, kBidirectional = 2, kSprite = 3 };

// 'I', 'P', 'B' or 'S'.
char CodingTypeLetter(CodingType type);

// Elements of a video object plane header.
struct PictureHeader {
  CodingType vopCodingType = CodingType::kIntra;
  int moduloTimeBase = 0;  // number of 1 bits: whole seconds since the previous reference time
  int vopTimeIncrement = 0;
  bool vopCoded = true;
  // The rest is read only for coded pictures of the streams the decoder
  // supports; `detailsKnown` tells whether it was.
  bool detailsKnown = false;
  int vopRoundingType = 0;  // read for P pictures (and S pictures with global motion compensation)
  bool vopReducedResolution = false;
  int intraDcVlcThr = 0;
  bool topFieldFirst = false;
  bool alternateVerticalScanFlag = false;
  int vopQuant = 0;
  int vopFcodeForward = 0;   // P, B and S pictures
  int vopFcodeBackward = 0;  // B pictures
  // S pictures with global motion: the warping points' differences in half
  // samples (du, dv of each point, the first one's displacement first).
  int warpingPoints = 0;
  std::array<int, 3> du{}, dv{};
  // With detailsKnown: where the macroblock data starts, in bits from the
  // start of the bytes given to ParsePictureHeader.
  std::size_t macroblockBit = 0;
  // Short-header pictures: the temporal reference (0..255, in 1001 ticks
  // of 30000 per second; -1 for other pictures), the source format, and
  // why the decoder refuses the picture in words ("H.263 version 2
  // (extended picture type)"), empty when it decodes it.
  int temporalReference = -1;
  int sourceFormat = 0;
  std::string refusal;
};

struct PictureHeaderResult {
  PictureHeader header;
  std::string error;  // empty when the header reads well
  bool ok() const { return error.empty(); }
};

// Reads the header of the picture that starts at the first picture start
// code (00 00 01 B6) in `bytes`, with the layer header it belongs to; the
// time increment is read with `codedTimeIncrementBits`.  For
// pictures of a stream the decoder refuses, or sprite pictures, only the
// elements up to vop_coded are read.  Pictures of short-header layers are
// read as short_header.h says.
PictureHeaderResult ParsePictureHeader(std::span<const uint8_t> bytes, const VideoObjectLayer& layer);

}  // namespace tavrin::tool
